#pragma once
#include <QDialog>
#include <QPointer>

#include "forms/DebugDialogBase.h"

class QPushButton;

namespace tolvane::forms {

class TdlgAddWatch;

// The watch list (form `dlgWatch`, caption "Watch"). Opening it copies the
// watch pane's addresses and labels into a working copy, shown in `lstvWatch`;
// "追加..." and "削除" change only the copy, "ＯＫ" writes it back to the pane in
// address order, and closing by the title bar leaves the pane as it was.
// Created at start-up, shown modally and hidden again, never destroyed.
class TdlgWatch : public TDebugDialog {
  Q_OBJECT
 public:
  explicit TdlgWatch(QWidget* parent = nullptr);

  void Bind(debugger::ExecutionControl* core, TdlgAddWatch* addDialog);
  QTreeWidget* List() const { return list_; }
  void Reload();

 public slots:
  void btnAddClick();
  void btnDeleteClick();
  void btnOkClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  QPointer<TdlgAddWatch> add_;
  TReportList* list_ = nullptr;
  QPushButton* btnAdd_ = nullptr;
  QPushButton* btnOk_ = nullptr;
};

}  // namespace tolvane::forms
