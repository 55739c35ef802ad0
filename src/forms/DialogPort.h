#pragma once
#include <QColor>
#include <QString>
#include <string>

#include "common/MessageBox.h"

class QWidget;

namespace tolvane::forms {

// Every modal question the windows ask goes through this one port: message
// boxes, the file dialogs and the input query. The running program installs
// the Qt implementation; tests install a scripted one that answers from a
// queue and records what was asked.
class DialogPort : public MessageBoxPort {
 public:
  // A message box; the caption and icon follow from `kind` ("エラー", "警告",
  // "情報", "確認"). Returns the button pressed.
  virtual BoxAnswer Ask(BoxKind kind, const QString& text, BoxButtons buttons = BoxButtons::Ok) = 0;

  // A box without caption and icon for the text of a failure (file system
  // errors reported as they come).
  virtual void ShowPlain(const QString& text) = 0;

  // Open dialog. `filter` uses Qt's syntax ("CASLソースファイル(*.cas);;全て(*.*)").
  // Returns the chosen absolute path, or an empty string when cancelled.
  virtual QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                  const QString& filter) = 0;

  // Save dialog preset with `presetName` (a bare file name or a path);
  // `defaultSuffix` is appended when the typed name has none.
  virtual QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& presetName,
                                  const QString& filter, const QString& defaultSuffix) = 0;

  // Input query: one line of text. False when cancelled; `text` holds the
  // preset on entry and the typed text on exit.
  virtual bool GetText(QWidget* parent, const QString& caption, const QString& prompt, QString& text) = 0;

  // Colour dialog preset with `initial`. Returns the chosen colour, or an
  // invalid one when cancelled (which is all a port without dialogs does).
  virtual QColor GetColor(QWidget* parent, const QColor& initial);

  // The core's boxes (CP932 text) end up in Ask.
  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& cp932Text, BoxButtons buttons) override;
};

// Real Qt dialogs, modal to the active window.
class QtDialogPort : public DialogPort {
 public:
  BoxAnswer Ask(BoxKind kind, const QString& text, BoxButtons buttons) override;
  void ShowPlain(const QString& text) override;
  QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                          const QString& filter) override;
  QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& presetName, const QString& filter,
                          const QString& defaultSuffix) override;
  bool GetText(QWidget* parent, const QString& caption, const QString& prompt, QString& text) override;
  QColor GetColor(QWidget* parent, const QColor& initial) override;
};

// The port in use by every window. Until something is installed it is a
// process-wide QtDialogPort. Installing nullptr restores that default.
DialogPort& Dialogs();
void SetDialogs(DialogPort* port);

// CP932 bytes <-> QString for the windows.
QString FromCp932(const std::string& cp932);
// Strict: false when some character has no CP932 form.
bool ToCp932(const QString& text, std::string& out);
// Lenient, for texts known to be convertible (paths typed by the user may not be).
std::string ToCp932OrEmpty(const QString& text);

// A path <-> the file-system bytes the core's tools take. File names on this
// system are bytes, normally UTF-8; Qt's own name decoding turns every byte
// that is not UTF-8 into U+FFFD, after which the file cannot be found again.
// These keep such a byte as an escape character of its own (U+DC80 to
// U+DCFF), so that every name survives the trip through a QString. Use them
// wherever a path crosses between the windows and the file system or the
// core's tools (FileNames.cpp).
std::string PathBytes(const QString& path);
QString PathFromBytes(const std::string& bytes);

}  // namespace tolvane::forms
