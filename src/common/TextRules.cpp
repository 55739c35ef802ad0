#include "common/TextRules.h"

namespace tolvane {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A sign and at most six decimal digits, in [low, high].
std::optional<Word> SignedDecimal(std::string_view s, long low, long high) {
  if (s.empty() || (s[0] != '+' && s[0] != '-')) return std::nullopt;
  const bool negative = s[0] == '-';
  s.remove_prefix(1);
  if (s.empty() || s.size() > 6) return std::nullopt;
  long v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < low || v > high) return std::nullopt;
  return static_cast<Word>(v);
}

}  // namespace

const char* RegisterName(Register r) {
  static const char* const kNames[kRegisterCount] = {"GR0", "GR1", "GR2", "GR3", "GR4", "GR5",
                                                     "GR6", "GR7", "FR",  "PR",  "SP"};
  const int i = RegisterIndex(r);
  return i >= 0 && i < kRegisterCount ? kNames[i] : "";
}

std::optional<Register> ParseRegisterName(std::string_view text) {
  if (text.size() < 2 || text.size() > 3) return std::nullopt;
  for (int i = 0; i < kRegisterCount; ++i) {
    const std::string_view name = RegisterName(static_cast<Register>(i));
    if (name.size() != text.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < name.size() && same; ++k) same = Upper(text[k]) == name[k];
    if (same) return static_cast<Register>(i);
  }
  return std::nullopt;
}

bool IsGeneralRegisterName(std::string_view text) {
  return text.size() == 3 && text[0] == 'G' && text[1] == 'R' && text[2] >= '0' && text[2] <= '7';
}

std::optional<Word> ParseAddress(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned v = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<unsigned>(d);
  }
  return static_cast<Word>(v);
}

std::optional<Word> ParseHexWord(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text[0] == '#') text.remove_prefix(1);
  return ParseAddress(text);
}

std::optional<Word> ParseWordValue(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() == 3 && text[0] == '\'' && text[2] == '\'') {
    const auto c = static_cast<unsigned char>(text[1]);
    if (c < 0x20 || c > 0x7E) return std::nullopt;
    return static_cast<Word>(c);
  }
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) return SignedDecimal(text, -32768, 65535);
  if (!text.empty() && text[0] == '#') text.remove_prefix(1);
  return ParseAddress(text);
}

std::optional<Word> ParseFlagDigits(std::string_view text) {
  struct Row {
    std::string_view digits;
    Word fr;
  };
  static constexpr Row kRows[] = {{"000", 0}, {"001", 1}, {"010", 2}, {"100", 4}, {"101", 5}, {"110", 6}};
  for (const Row& r : kRows)
    if (text == r.digits) return r.fr;
  return std::nullopt;
}

std::optional<Word> ReadLenientHex(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') && HexDigit(text[i + 2]) >= 0)
    i += 2;
  unsigned v = 0;
  int digits = 0;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i, ++digits)
    v = ((v << 4) | static_cast<unsigned>(HexDigit(text[i]))) & 0xFFFF;
  if (digits == 0) return std::nullopt;
  return static_cast<Word>(v);
}

bool IsLabelText(std::string_view text) {
  if (text.empty() || text.size() > 8) return false;
  if (!IsUpper(text[0])) return false;
  for (char c : text.substr(1))
    if (!IsUpper(c) && !IsDigit(c)) return false;
  return !IsGeneralRegisterName(text);
}

std::string Hex4(Word w) {
  std::string s(4, '0');
  PutHex4(s.data(), w);
  return s;
}

}  // namespace tolvane
