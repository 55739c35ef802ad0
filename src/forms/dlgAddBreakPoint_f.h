#pragma once
#include "forms/DebugDialogBase.h"

namespace tolvane::forms {

// The add-breakpoint dialog (form `dlgAddBreakPoint`, caption
// "ブレークポイントの追加"): a label or an address becomes an enabled breakpoint.
// Created at start-up, shown modally and hidden again, never destroyed.
class TdlgAddBreakPoint : public TAddEntryDialog {
  Q_OBJECT
 public:
  explicit TdlgAddBreakPoint(QWidget* parent = nullptr);

 protected:
  debugger::DialogResult Submit(debugger::AddBy by, const std::string& text) override;
};

}  // namespace tolvane::forms
