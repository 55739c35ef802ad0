#include "forms/dlgMemoryDataChange_f.h"

#include "debugger/ExecutionControl.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

TdlgMemoryDataChange::TdlgMemoryDataChange(QWidget* parent)
    : TDataChangeDialog(parent, QStringLiteral("dlgMemoryDataChange"), UiText(u8"メモリの変更"),
                        QStringLiteral("HID00000044.htm")) {}

debugger::DialogResult TdlgMemoryDataChange::Submit(const std::string& name, const std::string& data) {
  // The name is the address the dialog was opened on, four digits.
  const debugger::Entry value = debugger::ReadValueEntry(data);
  if (!value.Ok()) return debugger::DialogResult::From(value.refusal, data);
  return debugger::DialogResult::From(Core()->SetMemory(ParseAddress(name).value_or(0), value.address), data);
}

}  // namespace tolvane::forms
