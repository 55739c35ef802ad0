#include "forms/dlgAddBreakPoint_f.h"

#include "debugger/ExecutionControl.h"

namespace tolvane::forms {

TdlgAddBreakPoint::TdlgAddBreakPoint(QWidget* parent)
    : TAddEntryDialog(parent, QStringLiteral("dlgAddBreakPoint"), QString::fromUtf8(u8"ブレークポイントの追加"),
                      QStringLiteral("HID00000042.htm")) {}

debugger::DialogResult TdlgAddBreakPoint::Submit(debugger::AddBy by, const std::string& text) {
  // The core repaints the disassembly's marks and the list.
  return Core()->AddBreakpoint(by, text);
}

}  // namespace tolvane::forms
