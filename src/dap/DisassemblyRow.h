#pragma once
// The parts of a disassembly row ("0100  1010 0200  LOOP     LD      GR1,#0200")
// as a debugger protocol hands them out one by one.
#include <string>
#include <string_view>

namespace tolvane::dap {

struct RowParts {
  std::string words;        // "1010 0200" (one or two words)
  std::string label;        // "LOOP", or empty
  std::string instruction;  // "LD      GR1,#0200", "****" for data
};

// The row's columns are fixed: address, words, the label in nine places, the
// mnemonic in eight, the operand. A row too short for a column leaves it empty.
RowParts SplitDisassemblyRow(std::string_view text);

}  // namespace tolvane::dap
