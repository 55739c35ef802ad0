#include "forms/dlgMemoryDataChange_f.h"

#include "debugger/ExecutionControl.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

TdlgMemoryDataChange::TdlgMemoryDataChange(QWidget* parent)
    : TDataChangeDialog(parent, QStringLiteral("dlgMemoryDataChange"), U(u8"メモリの変更"),
                        QStringLiteral("HID00000044.htm")) {}

debugger::DialogResult TdlgMemoryDataChange::Submit(const std::string& name, const std::string& data) {
  return Core()->ChangeMemory(name, data);
}

}  // namespace tolvane::forms
