#include "dap/CallChain.h"

#include <cstdio>

#include "common/InstructionSet.h"

namespace tolvane::dap {

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

bool NearestLabel(const debugger::SymbolIndex& symbols, Word address, std::string& label, Word& labelAddress) {
  bool found = false;
  for (const SymbolRecord& r : symbols.Records()) {
    if (r.name.empty() || r.name[0] == '=' || r.address > address) continue;
    // Of several labels at one address the first one is the name (LabelOfAddress).
    if (!found || r.address > labelAddress) {
      label = r.name;
      labelAddress = r.address;
      found = true;
    }
  }
  return found && symbols.Loaded();
}

std::string FrameName(const CallFrame& frame, const debugger::SymbolIndex& symbols) {
  if (frame.entryKnown) {
    const std::string& name = symbols.LabelOfAddress(frame.entry);
    if (!name.empty() && name[0] != '=') return name;
  }
  std::string label;
  Word at = 0;
  if (NearestLabel(symbols, frame.pc, label, at)) {
    if (at == frame.pc) return label;
    return label + "+" + std::to_string(frame.pc - at);
  }
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%04X", static_cast<unsigned>(frame.entryKnown ? frame.entry : frame.pc));
  return buf;
}

}  // namespace tolvane::dap
