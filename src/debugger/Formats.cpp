#include "debugger/Formats.h"

#include <cstdio>

#include "common/Cp932.h"
#include "common/TextRules.h"

namespace tolvane::debugger {

std::string RegisterBinaryText(Word w) {
  std::string s;
  s.reserve(20);
  for (int bit = 15; bit >= 0; --bit) {
    if (bit % 4 == 3) s += ' ';
    s += (w >> bit) & 1 ? '1' : '0';
  }
  return s;
}

std::string RegisterLogicalText(Word w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5d", static_cast<int>(w));
  return buf;
}

std::string RegisterArithmeticText(Word w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%6d", static_cast<int>(static_cast<std::int16_t>(w)));
  return buf;
}

std::string FlagBitsText(Word fr) {
  std::string s = "000";
  if (fr & 4) s[0] = '1';
  if (fr & 2) s[1] = '1';
  if (fr & 1) s[2] = '1';
  return s;
}

std::string MemoryRowAddressText(int row) { return Hex4(static_cast<Word>(row * 8)); }

std::string MemoryCharText(Word w) {
  unsigned b = w & 0xFF;
  return std::string(1, b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.');
}

std::string MemoryDumpLine(const Word* memory, int row) {
  std::string s = MemoryRowAddressText(row) + " ";
  for (int k = 0; k < 8; ++k) {
    s += ' ';
    s += Hex4(memory[(row * 8 + k) & 0xFFFF]);
  }
  s += "  ";
  for (int k = 0; k < 8; ++k) s += MemoryCharText(memory[(row * 8 + k) & 0xFFFF]);
  return s;
}

std::string MemoryTooltipText(Word address, Word value) {
  static const std::string kFormat = Cp932Text(u8"%.4hX番地\n 16進数   %.4hX\n 論理値 %6hu\n 算術値 %6hd\n 文字　 %6c");
  unsigned b = value & 0xFF;
  int ch = b >= 0x20 && b <= 0x7E ? static_cast<int>(b) : '.';
  char buf[128];
  std::snprintf(buf, sizeof buf, kFormat.c_str(), static_cast<unsigned short>(address),
                static_cast<unsigned short>(value), static_cast<unsigned short>(value), static_cast<short>(value), ch);
  return buf;
}

std::string WatchLogicalText(Word w) { return std::to_string(static_cast<unsigned>(w)); }

std::string WatchArithmeticText(Word w) { return std::to_string(static_cast<int>(static_cast<std::int16_t>(w))); }

}  // namespace tolvane::debugger
