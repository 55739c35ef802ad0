#pragma once
#include "forms/DebugDialogBase.h"

namespace tolvane::forms {

// The add-watch dialog (form `dlgAddWatch`, caption "ウォッチ式の追加"): a label or
// an address joins the watch list dialog's working copy.
// Created at start-up, shown modally and hidden again, never destroyed.
class TdlgAddWatch : public TAddEntryDialog {
  Q_OBJECT
 public:
  explicit TdlgAddWatch(QWidget* parent = nullptr);

 protected:
  debugger::DialogResult Submit(debugger::AddBy by, const std::string& text) override;
};

}  // namespace tolvane::forms
