#include "debugger/TextChecks.h"

namespace tolvane::debugger {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsHexAddressText(std::string_view text) {
  if (text.empty() || text.size() > 4) return false;
  for (char c : text)
    if (HexDigit(c) < 0) return false;
  return true;
}

bool IsLabelText(std::string_view text) {
  if (text.empty() || text.size() > 8) return false;
  if (!IsUpper(text[0])) return false;
  for (char c : text.substr(1))
    if (!IsUpper(c) && !IsDigit(c)) return false;
  return true;
}

Word HexTextValue(std::string_view text) {
  unsigned v = 0;
  for (char c : text) {
    int d = HexDigit(c);
    if (d < 0) break;
    v = (v << 4) | static_cast<unsigned>(d);
  }
  return static_cast<Word>(v);
}

std::string Hex4(Word w) {
  std::string s(4, '0');
  PutHex4(s.data(), w);
  return s;
}

}  // namespace tolvane::debugger
