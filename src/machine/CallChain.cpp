#include "machine/CallChain.h"

#include "common/InstructionSet.h"

namespace tolvane {

namespace {

constexpr std::uint8_t kCallCode = OpCodeOf("CALL");

// The address operand of the CALL that returns to `returnAddress`, if the two
// words before it are a CALL in the program's code.
bool CallBefore(const Word* memory, Word returnAddress, const CodeTest& isCode, Word& site) {
  site = static_cast<Word>(returnAddress - 2);
  if (!isCode(site) || !isCode(static_cast<Word>(site + 1))) return false;
  const Word first = memory[site];
  return DefinedInstruction(first) != nullptr && DecodeFields(first).op == kCallCode;
}

}  // namespace

std::vector<CallFrame> ReadCallChain(const Word* memory, Word pr, Word sp, const StackLayout& layout,
                                     const CodeTest& isCode, std::size_t maxFrames) {
  std::vector<CallFrame> frames;
  if (maxFrames == 0) return frames;
  frames.push_back(CallFrame{pr, 0, false, 0, false});
  // Full integers: SP may have run past the bottom (POP makes no test).
  const unsigned bottom = layout.initialSp == 0 ? 0x10000u : layout.initialSp;
  bool truncated = false;
  for (unsigned a = sp; a + 1 < bottom; ++a) {
    const Word slot = static_cast<Word>(a);
    Word site;
    if (!CallBefore(memory, memory[slot], isCode, site)) continue;
    if (frames.size() == maxFrames) {
      truncated = true;
      break;
    }
    CallFrame& inner = frames.back();
    inner.returnSlot = slot;
    inner.entryKnown = DecodeFields(memory[site]).x == 0;
    inner.entry = inner.entryKnown ? memory[static_cast<Word>(site + 1)] : 0;
    frames.push_back(CallFrame{site, 0, false, 0, false});
  }
  if (!truncated) {
    CallFrame& outer = frames.back();
    outer.entry = layout.start;
    outer.entryKnown = true;
    outer.returnSlot = static_cast<Word>(layout.initialSp - 1);
    outer.outermost = true;
  }
  return frames;
}

Word InnermostReturnSlot(const Word* memory, Word pr, Word sp, const StackLayout& layout, const CodeTest& isCode) {
  return ReadCallChain(memory, pr, sp, layout, isCode, 2).front().returnSlot;
}

}  // namespace tolvane
