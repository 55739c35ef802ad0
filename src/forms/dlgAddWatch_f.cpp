#include "forms/dlgAddWatch_f.h"

#include "debugger/ExecutionControl.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

TdlgAddWatch::TdlgAddWatch(QWidget* parent)
    : TAddEntryDialog(parent, QStringLiteral("dlgAddWatch"), UiText(u8"ウォッチ式の追加"),
                      QStringLiteral("HID00000013.htm")) {}

debugger::DialogResult TdlgAddWatch::Submit(debugger::AddBy by, const std::string& text) {
  return Core()->Watches().AddToWorkingCopy(by, text, Core()->Symbols());
}

}  // namespace tolvane::forms
