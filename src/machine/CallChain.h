#pragma once
// The routines the program is in, read from its stack. The machine keeps no
// frame pointers: a CALL pushes its return address and nothing else, and the
// routine may push words of its own on top. So every word between SP and the
// bottom of the stack that is the address right after a CALL in the program's
// code is taken as the return address of a call that has not returned yet. A
// pushed word that happens to be such an address is taken for one too; there
// is no way to tell them apart afterwards.
#include <cstddef>
#include <functional>
#include <vector>

#include "common/Word.h"

namespace tolvane {

// Where the load module put the program and its stack.
struct StackLayout {
  Word start = 0;       // the program's start address (the outermost routine)
  Word initialSp = 0;   // the end-of-program address F000H lies at initialSp - 1
  Word stackLimit = 0;  // the lowest word the stack may use
};

struct CallFrame {
  // The innermost frame: PR. The others: the CALL that is still running.
  Word pc = 0;
  // Where the routine begins: the CALL's address operand, or the start address
  // for the outermost frame. Unknown when the CALL added an index register
  // (its value at the time of the call is gone).
  Word entry = 0;
  bool entryKnown = false;
  // The stack word that holds this routine's return address (initialSp - 1,
  // the end-of-program address, for the outermost frame).
  Word returnSlot = 0;
  bool outermost = false;
};

// True for a word of the program's instructions (the disassembler knows).
using CodeTest = std::function<bool(Word)>;

// The frames, innermost first, the outermost (the main program) last. At most
// `maxFrames`; the scan covers SP ... initialSp - 2.
std::vector<CallFrame> ReadCallChain(const Word* memory, Word pr, Word sp, const StackLayout& layout,
                                     const CodeTest& isCode, std::size_t maxFrames = 256);

// The stack slot of the innermost frame's return address: a state whose slot is
// lower is inside a routine called from the frame of a state with a higher one.
Word InnermostReturnSlot(const Word* memory, Word pr, Word sp, const StackLayout& layout, const CodeTest& isCode);

}  // namespace tolvane
