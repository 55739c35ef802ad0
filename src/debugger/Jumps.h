#pragma once
// The jump commands of the debug window's pane menus: where "jump to an
// address" and "jump to a label" land in the disassembly, and "jump to an
// address" in the memory dump. The window and `tolvane-cli debug` share them.
#include <string_view>

#include "common/Word.h"
#include "debugger/Disassembler.h"
#include "debugger/Refusal.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::debugger {

enum class JumpKind { DisassemblyAddress, DisassemblyLabel, MemoryAddress };

// The text typed into a jump box: 1-4 hexadecimal digits, or for a jump by
// label a label of the program, whose address the entry carries. Refused with
// InvalidJumpText (report it and ask again) or, for a label the program does
// not have (or one at 0000H), CannotJump (report it and end the command).
Entry ReadJumpEntry(JumpKind kind, std::string_view text, const SymbolIndex& symbols);

// The row that starts at the address or at one of the two words before it, so
// that both words of a two-word instruction and a data line patched onto the
// second word of one still find their row; -1 when there is none.
int RowForAddressJump(const Disassembler& rows, Word address);
// The row of a label's address; -1 when there is none.
int RowForLabelJump(const Disassembler& rows, Word address);

}  // namespace tolvane::debugger
