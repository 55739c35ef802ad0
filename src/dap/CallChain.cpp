#include "dap/CallChain.h"

#include <cstdio>

namespace tolvane::dap {

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
