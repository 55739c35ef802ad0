#include "forms/dlgRegisterDataChange_f.h"

#include "debugger/ExecutionControl.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

TdlgRegisterDataChange::TdlgRegisterDataChange(QWidget* parent)
    : TDataChangeDialog(parent, QStringLiteral("dlgRegisterDataChange"), UiText(u8"レジスタの変更"),
                        QStringLiteral("HID00000045.htm")) {}

debugger::DialogResult TdlgRegisterDataChange::Submit(const std::string& name, const std::string& data) {
  // The name is the register the dialog was opened on.
  const std::optional<Register> reg = ParseRegisterName(name);
  if (!reg) return debugger::DialogResult::From(debugger::Refusal::InvalidValue, name);
  const debugger::Entry value = *reg == Register::FR ? debugger::ReadFlagsEntry(data) : debugger::ReadValueEntry(data);
  if (!value.Ok()) return debugger::DialogResult::From(value.refusal, data);
  return debugger::DialogResult::From(Core()->SetRegister(*reg, value.address), data);
}

}  // namespace tolvane::forms
