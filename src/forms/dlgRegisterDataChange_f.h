#pragma once
#include "forms/DebugDialogBase.h"

namespace tolvane::forms {

// The register edit (form `dlgRegisterDataChange`, caption "レジスタの変更"),
// opened by a double-click on the register pane: `lblName` names the register
// ("GR0" ... "GR7", "PR", "SP", "FR"), `editData` holds its value in
// hexadecimal, or for FR the three digits OF, SF, ZF. OK sets the register.
// Created at start-up, shown modally and hidden again, never destroyed.
class TdlgRegisterDataChange : public TDataChangeDialog {
  Q_OBJECT
 public:
  explicit TdlgRegisterDataChange(QWidget* parent = nullptr);

 protected:
  debugger::DialogResult Submit(const std::string& name, const std::string& data) override;
};

}  // namespace tolvane::forms
