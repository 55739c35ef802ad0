#pragma once
// The routines the program is in, as the debug adapter names them. Reading the
// chain from the stack is the machine's part (machine/CallChain.h), shared with
// the grader, which names the source lines of a stopped program's calls.
#include <string>

#include "common/Word.h"
#include "debugger/SymbolIndex.h"
#include "machine/CallChain.h"

namespace tolvane::dap {

using tolvane::CallFrame;
using tolvane::CodeTest;
using tolvane::InnermostReturnSlot;
using tolvane::ReadCallChain;
using tolvane::StackLayout;

// The frame's name as a debugger shows it: the label of the routine's entry;
// without one, the nearest label at or before pc and the distance ("LOOP+3");
// without any label the address ("#0105"). CP932.
std::string FrameName(const CallFrame& frame, const debugger::SymbolIndex& symbols);

// The label at or nearest before `address` (literals left out); false when
// no label lies at or below it.
bool NearestLabel(const debugger::SymbolIndex& symbols, Word address, std::string& label, Word& labelAddress);

}  // namespace tolvane::dap
