#include "debugger/TextChecks.h"

namespace tolvane::debugger {

std::string Hex4(Word w) {
  std::string s(4, '0');
  PutHex4(s.data(), w);
  return s;
}

}  // namespace tolvane::debugger
