#pragma once
#include <string>

#include "common/Word.h"

namespace tolvane::debugger {

// Four upper-case hexadecimal digits, as every address and word is shown.
std::string Hex4(Word w);
// Writes the four digits to out[0..3].
inline void PutHex4(char* out, Word w) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out[0] = kDigits[(w >> 12) & 0xF];
  out[1] = kDigits[(w >> 8) & 0xF];
  out[2] = kDigits[(w >> 4) & 0xF];
  out[3] = kDigits[w & 0xF];
}

}  // namespace tolvane::debugger
