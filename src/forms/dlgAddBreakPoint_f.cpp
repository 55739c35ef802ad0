#include "forms/dlgAddBreakPoint_f.h"

#include "debugger/ExecutionControl.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

TdlgAddBreakPoint::TdlgAddBreakPoint(QWidget* parent)
    : TAddEntryDialog(parent, QStringLiteral("dlgAddBreakPoint"), UiText(u8"ブレークポイントの追加"),
                      QStringLiteral("HID00000042.htm")) {}

debugger::DialogResult TdlgAddBreakPoint::Submit(debugger::AddBy by, const std::string& text) {
  // The core repaints the disassembly's marks and the list.
  const debugger::Entry e = debugger::ReadEntry(by, text, Core()->Symbols());
  if (!e.Ok()) return debugger::DialogResult::From(e.refusal);
  return debugger::DialogResult::From(Core()->AddBreakpoint(e.address, e.label));
}

}  // namespace tolvane::forms
