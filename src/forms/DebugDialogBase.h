#pragma once
// What the debugger's small dialogs share: the entry dialogs that add a
// breakpoint or a watch by label or by address, and the dialogs that change one
// memory word or one register. Each has an OK that asks the debugger core,
// which either takes the text (the dialog closes) or answers with the message
// to show (the dialog stays open with the focus back in its edit field).
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <string>

#include "debugger/DialogResult.h"

class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tolvane::debugger {
class ExecutionControl;
}

namespace tolvane::forms {

// Shows the box of a refused OK and puts the focus back into `edit`; true when
// the result was accepted.
bool ReportDialogResult(const debugger::DialogResult& result, QLineEdit* edit);

// A dialog of the debugger: its form name and caption, the execution control
// it works on, and a Help button that opens its page of the help folder.
// Created at start-up, shown modally and hidden again, never destroyed.
class TDebugDialog : public QDialog {
  Q_OBJECT
 public:
  TDebugDialog(QWidget* parent, const QString& formName, const QString& caption, const QString& helpTopic);

  void Bind(debugger::ExecutionControl* core) { core_ = core; }
  debugger::ExecutionControl* Core() const { return core_; }

 public slots:
  void btnHelpClick();

 protected:
  // The row of OK (the default button, so that Enter in an edit is OK),
  // キャンセル (closes without action) and ヘルプ.
  QHBoxLayout* OkCancelHelpRow(QPushButton** ok);

 private:
  debugger::ExecutionControl* core_ = nullptr;
  QString helpTopic_;
};

// Radio group "追加" with "ラベル名で追加" (index 0, preselected) and
// "アドレスで追加" (index 1), the edit `editAddAddress` (it keeps its text
// between uses) and the buttons OK, キャンセル and ヘルプ. Showing the dialog
// and clicking the group focus the edit; Enter in the edit is OK.
class TAddEntryDialog : public TDebugDialog {
  Q_OBJECT
 public:
  TAddEntryDialog(QWidget* parent, const QString& formName, const QString& caption, const QString& helpTopic);

  int ItemIndex() const;  // RadioGroup1's index
  void SetItemIndex(int index);
  QLineEdit* Edit() const { return edit_; }

 public slots:
  void btnOkClick();

 protected:
  // The OK with the chosen way and the typed text (CP932).
  virtual debugger::DialogResult Submit(debugger::AddBy by, const std::string& text) = 0;
  void showEvent(QShowEvent* event) override;

 private:
  QGroupBox* group_ = nullptr;
  QRadioButton* byLabel_ = nullptr;
  QRadioButton* byAddress_ = nullptr;
  QLineEdit* edit_ = nullptr;
};

// `lblName` and `editData` on one line in the 16-pixel Gothic, and the buttons
// OK, キャンセル and ヘルプ. Showing it focuses the edit; Enter in the edit is OK.
class TDataChangeDialog : public TDebugDialog {
  Q_OBJECT
 public:
  TDataChangeDialog(QWidget* parent, const QString& formName, const QString& caption, const QString& helpTopic);

  // Sets the name and the data, then shows the dialog modally; the result of exec.
  int Open(const QString& name, const QString& data);
  // Sets them without showing (the dialog's state as Open leaves it).
  void Prepare(const QString& name, const QString& data);
  QLabel* NameLabel() const { return name_; }
  QLineEdit* DataEdit() const { return data_; }

 public slots:
  void btnOkClick();

 protected:
  // The OK with the name label and the typed data (CP932).
  virtual debugger::DialogResult Submit(const std::string& name, const std::string& data) = 0;
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* name_ = nullptr;
  QLineEdit* data_ = nullptr;
};

// A push button with an object name, for the dialogs' button columns. Enter
// presses the button that has the focus (the dialog's default button while
// the focus is elsewhere).
QPushButton* NamedButton(QWidget* parent, const QString& name, const QString& caption);

// The list of a list dialog (breakpoints, watches), read-only, in report
// style. For the keyboard: getting the focus it selects a row (the current
// one, else the first), so that the buttons that act on the selected row work
// at once; Delete asks to delete the selected row.
class TReportList : public QTreeWidget {
  Q_OBJECT
 public:
  using QTreeWidget::QTreeWidget;

 signals:
  void deleteRequested();

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// The list dialogs (breakpoints, watches): a report list with the given
// column captions, each `width` pixels wide; the list on the left and the
// buttons top to bottom on the right; the selected row (-1 for none).
TReportList* ReportList(QWidget* parent, const QString& name, const QStringList& captions, int width);
void ListAndButtons(QDialog* dialog, QTreeWidget* list, const QList<QPushButton*>& buttons);
int SelectedRow(const QTreeWidget* list);
// Fills the list with rows of texts, keeping the selected row where it was (or
// on the last row when that one is gone).
void FillReportList(QTreeWidget* list, const QList<QStringList>& rows);

}  // namespace tolvane::forms
