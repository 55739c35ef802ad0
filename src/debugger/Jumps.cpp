#include "debugger/Jumps.h"

#include "common/TextRules.h"

namespace tolvane::debugger {

Entry ReadJumpEntry(JumpKind kind, std::string_view text, const SymbolIndex& symbols) {
  if (kind != JumpKind::DisassemblyLabel) {
    const std::optional<Word> a = ParseAddress(text);
    if (!a) return Entry::Refuse(Refusal::InvalidJumpText);
    return Entry::Of(*a);
  }
  if (!IsLabelText(text)) return Entry::Refuse(Refusal::InvalidJumpText);
  const Word address = symbols.AddressOfLabel(text);
  if (address == 0) return Entry::Refuse(Refusal::CannotJump);
  return Entry::Of(address, std::string(text));
}

int RowForAddressJump(const Disassembler& rows, Word address) {
  int row = rows.FindRowOfAddress(address);
  // FindRowOfAddress already looks one word back; this looks one further, and
  // wraps like every address computation of the machine.
  if (row < 0) row = rows.FindRowOfAddress(static_cast<Word>(address - 1));
  return row;
}

int RowForLabelJump(const Disassembler& rows, Word address) { return rows.FindRowOfAddress(address); }

}  // namespace tolvane::debugger
