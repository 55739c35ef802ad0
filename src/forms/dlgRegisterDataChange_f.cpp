#include "forms/dlgRegisterDataChange_f.h"

#include "debugger/ExecutionControl.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

TdlgRegisterDataChange::TdlgRegisterDataChange(QWidget* parent)
    : TDataChangeDialog(parent, QStringLiteral("dlgRegisterDataChange"), U(u8"レジスタの変更"),
                        QStringLiteral("HID00000045.htm")) {}

debugger::DialogResult TdlgRegisterDataChange::Submit(const std::string& name, const std::string& data) {
  return Core()->ChangeRegister(name, data);
}

}  // namespace tolvane::forms
