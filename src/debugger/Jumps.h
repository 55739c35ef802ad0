#pragma once
// The jump commands of the debug window's pane menus: where "jump to an
// address" and "jump to a label" land in the disassembly, and "jump to an
// address" in the memory dump. The window and `tolvane-cli debug` share them.
#include <string>
#include <string_view>

#include "common/MessageBox.h"
#include "common/Word.h"
#include "debugger/Disassembler.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::debugger {

struct JumpResult {
  enum class Outcome {
    Jump,      // `row` (disassembly) or `address` (memory) is the target
    Invalid,   // the text is no address or label: report it and ask again
    NotFound,  // nothing to jump to: report it and end the command
  };
  Outcome outcome = Outcome::Jump;
  int row = -1;
  Word address = 0;
  BoxKind kind = BoxKind::Information;  // of the report
  std::string message;                  // CP932; empty for Jump

  bool Jumps() const { return outcome == Outcome::Jump; }
};

// One to four hexadecimal digits. The row that starts at the address or at one
// of the two words before it, so that both words of a two-word instruction and
// a data line patched onto the second word of one still find their row.
JumpResult JumpToAddressInDisassembly(const Disassembler& rows, std::string_view text);
// A label of the program (upper-case letters and digits, a letter first).
// Its row; a name that is not in the symbol table (or lies at 0000H) has none.
JumpResult JumpToLabelInDisassembly(const Disassembler& rows, const SymbolIndex& symbols, std::string_view text);
// One to four hexadecimal digits; every address has its cell.
JumpResult JumpToAddressInMemory(std::string_view text);

// text + "にはジャンプできません。" (CP932).
std::string CannotJumpMessage(std::string_view text);

}  // namespace tolvane::debugger
