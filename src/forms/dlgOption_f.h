#pragma once
#include <QColor>
#include <QDialog>
#include <QGroupBox>
#include <QString>
#include <functional>

#include "common/BuildOptions.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QTabWidget;

namespace tolvane::forms {

class TfrmEditor;
class TfrmList;

// The twelve options as they are stored (group "Option" of the settings
// "ORVELL"/"Tolvane") and held by the options dialog. Choices are radio-group
// item numbers: 0 is the first item ("yes" for every one of them).
struct OptionValues {
  int listingChoice = 0;                        // "L": 0 write the listing file, 1 do not
  QString stackText = QStringLiteral("0800");   // "ST": stack size in words, hexadecimal as typed
  QString originText = QStringLiteral("0100");  // "ORG": load origin, hexadecimal as typed
  int symbolFileChoice = 0;                     // "SYM": 0 the linker writes the symbol file
  int symbolicDebugChoice = 0;                  // "DOSYM": 0 symbolic debugging
  int runChoice = 0;                            // "Run": 0 show the registers after a run
  int unAsmChoice = 0;             // "UnAsmDataToMachine": 1 data words shown as instructions when they match one
  QString fontName;                // "FontName"; the default is set in the constructor
  int fontSize = 12;               // "FontSize", points
  quint32 fontColor = 0xFF000008;  // "FontColor": 0x00BBGGRR, or 0xFF000000 + system colour index
  quint32 backColor = 0xFF000005;  // "BackColor"
  bool autoIndentOption = true;    // "AutoIndent", stored as 0 or 1
  // "NewFileEncoding": 0 CP932, 1 UTF-8, 2 UTF-8 with a byte-order mark. Added
  // after the twelve: a store without it reads as 0 and is not a failed load.
  int newFileEncodingChoice = 0;

  OptionValues();
  bool operator==(const OptionValues&) const = default;
};

// Reads the twelve values in their order. False at the first value that is
// missing (integers) or not of its type; `values` is then incomplete.
bool ReadOptionValues(QSettings& settings, OptionValues& values);
// Writes the twelve values (integers as integers) and flushes them. False when
// they did not reach the store.
bool WriteOptionValues(QSettings& settings, const OptionValues& values);

// The stack and origin texts, read by ReadLenientHex (common/TextRules.h):
// leading spaces skipped, an optional "0x", then hexadecimal digits up to the
// first other character, the low 16 bits kept ("12345" gives 2345H). False
// when no digit is taken at all.
bool HexOptionValue(const QString& text, Word& value);

// Stored colour values <-> colours. A system colour (0xFF000000 + index) gives
// the application palette's colour of that role (8 window text: the text
// colour, 5 window: the base colour); an unknown index gives an invalid colour.
QColor ColorFromOption(quint32 stored);
quint32 OptionFromColor(const QColor& color);

// The sizes and names the editor page offers.
const QList<int>& FontSizes();
QStringList FontNames();

// A radio group: a frame with one button per item, addressed by item number.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent);
  int ItemIndex() const;  // -1 when none is checked
  void SetItemIndex(int index);
 signals:
  void clicked();

 private:
  QButtonGroup* buttons_;
};

// Where ApplyOptions sends the options; any part may be missing.
struct OptionTargets {
  TfrmEditor* editor = nullptr;
  TfrmList* list = nullptr;
  BuildOptions* buildOptions = nullptr;
  std::function<void(bool)> setShowRegistersAfterRun;
  std::function<void(bool)> setUnAsmDataAsCode;
};

// The options dialog (form `dlgOption`, caption "オプション"): five pages of
// controls over the option values it holds. Created at start-up, shown modally
// and hidden again, never destroyed.
class TdlgOption : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgOption(QWidget* parent = nullptr);

  void SetTargets(const OptionTargets& targets) { targets_ = targets; }
  const OptionValues& Values() const { return values_; }

  // Reads the stored options (the main window's first show). Missing or
  // mistyped values: a notice, every default, and the defaults written.
  // With `notice` the notice about a store that could not be read goes there
  // (start-up shows it once the main window is painted); without, it is shown
  // at once.
  void LoadOptions(const std::function<void(const QString&)>& notice = {});
  // Sends the current options to the editor, the listing viewer, the build
  // options and the debugger.
  void ApplyOptions();

  void FormShow();
  void btnDefaultClick();
  void btnOKClick();
  void btnForeColorClick();
  void btnBackColorClick();
  void radiogSYMClick();
  void radiogDOSYMClick();
  void btnHelpClick();

  // The colours being edited (taken over by OK).
  quint32 EditedForeColor() const { return editedFore_; }
  quint32 EditedBackColor() const { return editedBack_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowSample();
  // Writes the values; a failure is reported. True when they were stored.
  bool StoreValues();

  OptionValues values_;
  OptionTargets targets_;
  quint32 editedFore_ = 0;
  quint32 editedBack_ = 0;
  QTabWidget* pages_ = nullptr;
  QComboBox* fontName_ = nullptr;
  QComboBox* fontSize_ = nullptr;
  QLabel* sample_ = nullptr;
  TRadioGroup* autoIndent_ = nullptr;
  TRadioGroup* newFileEncoding_ = nullptr;
  TRadioGroup* listing_ = nullptr;
  QLineEdit* stack_ = nullptr;
  QLineEdit* origin_ = nullptr;
  TRadioGroup* symbolFile_ = nullptr;
  TRadioGroup* symbolicDebug_ = nullptr;
  TRadioGroup* unAsm_ = nullptr;
  TRadioGroup* run_ = nullptr;
};

}  // namespace tolvane::forms
