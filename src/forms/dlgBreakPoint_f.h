#pragma once
#include <QDialog>
#include <QPointer>

#include "forms/DebugDialogBase.h"

namespace tolvane::forms {

class TdlgAddBreakPoint;

// The breakpoint list (form `dlgBreakPoint`, caption "BreakPoint"): the list
// `lstvBreakPoint` (address, label, 1 enabled / 0 disabled) is a view of the
// debugger's breakpoint table; every button takes effect at once.
// Created at start-up, shown modally and hidden again, never destroyed.
class TdlgBreakPoint : public TDebugDialog {
  Q_OBJECT
 public:
  explicit TdlgBreakPoint(QWidget* parent = nullptr);

  void Bind(debugger::ExecutionControl* core, TdlgAddBreakPoint* addDialog);
  QTreeWidget* List() const { return list_; }
  // Shows the table anew (after any change to it).
  void Reload();

 public slots:
  void btnOnOffClick();
  void btnAddClick();
  void btnDeleteClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPointer<TdlgAddBreakPoint> add_;
  TReportList* list_ = nullptr;
};

}  // namespace tolvane::forms
