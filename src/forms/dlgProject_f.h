#pragma once
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace tolvane::forms {

class TfrmMain;

// The project dialog (form `dlgProject`, caption "プロジェクトの管理"): the open
// project's entries, its main routine and file name, and the buttons that edit
// and save them. Created at start-up, shown modally and hidden again, never
// destroyed. The entries live in the main window's project; the list shows them.
class TdlgProject : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgProject(QWidget* parent = nullptr);

  // The main window whose project the dialog edits (set when it is registered).
  void SetMain(TfrmMain* main);
  // Shows the project's entries, main routine and file name again, keeping the
  // selected row where it can.
  void Refresh(int selectRow = -2);

  QLineEdit* editMainRoutin() const { return mainRoutine_; }
  QLabel* lblMakeFileName() const { return fileName_; }
  QListWidget* lstbProject() const { return list_; }

  void btnOKClick();
  void btnAddClick();
  void btnDeleteClick();
  void btnSaveClick();
  void btnSaveAsClick();
  void bbtnForUpClick();
  void bbtnFoDownClick();
  void btnHelpClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Move(int delta);

  TfrmMain* main_ = nullptr;
  QLineEdit* mainRoutine_ = nullptr;
  QLabel* fileName_ = nullptr;
  QListWidget* list_ = nullptr;
};

}  // namespace tolvane::forms
