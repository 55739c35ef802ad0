#pragma once
#include "forms/DebugDialogBase.h"

namespace tolvane::forms {

// The memory word edit (form `dlgMemoryDataChange`, caption "メモリの変更"),
// opened by a double-click on a word of the memory dump: `lblName` holds the
// address, `editData` the word, both as four hexadecimal digits. OK stores the
// typed word (one to four hexadecimal digits) and refreshes the panes.
// Created at start-up, shown modally and hidden again, never destroyed.
class TdlgMemoryDataChange : public TDataChangeDialog {
  Q_OBJECT
 public:
  explicit TdlgMemoryDataChange(QWidget* parent = nullptr);

 protected:
  debugger::DialogResult Submit(const std::string& name, const std::string& data) override;
};

}  // namespace tolvane::forms
