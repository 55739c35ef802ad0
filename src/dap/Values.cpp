#include "dap/Values.h"

#include <cstdio>

#include "common/TextRules.h"
#include "debugger/Formats.h"
#include "machine/Cpu.h"
#include "machine/StdioRun.h"

namespace tolvane::dap {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ParseDecimal(std::string_view s, bool allowSign, long& out) {
  bool negative = false;
  if (allowSign && !s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 6) return false;
  long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = negative ? -v : v;
  return true;
}

bool Printable(Word w) {
  const unsigned b = w & 0xFF;
  return b >= 0x20 && b <= 0x7E;
}

}  // namespace

const char* NotationName(Notation n) {
  switch (n) {
    case Notation::Hex:
      return reinterpret_cast<const char*>(u8"16進数");
    case Notation::Binary:
      return reinterpret_cast<const char*>(u8"2進数");
    case Notation::Logical:
      return reinterpret_cast<const char*>(u8"論理値");
    case Notation::Arithmetic:
      return reinterpret_cast<const char*>(u8"算術値");
    case Notation::Character:
      break;
  }
  return reinterpret_cast<const char*>(u8"文字");
}

std::string NotationText(Notation n, Word w) {
  switch (n) {
    case Notation::Hex:
      return Hex4(w);
    case Notation::Binary:
      return debugger::RegisterBinaryText(w).substr(1);  // without the pane's leading blank
    case Notation::Logical:
      return debugger::WatchLogicalText(w);
    case Notation::Arithmetic:
      return debugger::WatchArithmeticText(w);
    case Notation::Character:
      break;
  }
  return debugger::MemoryCharText(w);
}

bool ParseNotation(Notation n, std::string_view text, Word& out) {
  text = Trim(text);
  long v = 0;
  switch (n) {
    case Notation::Hex:
      if (const std::optional<Word> w = ParseHexWord(text)) {
        out = *w;
        return true;
      }
      return false;
    case Notation::Binary: {
      int digits = 0;
      unsigned bits = 0;
      for (char c : text) {
        if (c == ' ') continue;
        if (c != '0' && c != '1') return false;
        bits = bits << 1 | static_cast<unsigned>(c - '0');
        ++digits;
      }
      if (digits < 1 || digits > 16) return false;
      out = static_cast<Word>(bits);
      return true;
    }
    case Notation::Logical:
      if (!ParseDecimal(text, false, v) || v > 65535) return false;
      out = static_cast<Word>(v);
      return true;
    case Notation::Arithmetic:
      if (!ParseDecimal(text, true, v) || v < -32768 || v > 32767) return false;
      out = static_cast<Word>(v);
      return true;
    case Notation::Character:
      if (text.size() != 1) return false;
      out = static_cast<Word>(static_cast<unsigned char>(text[0]));
      return Printable(out);
  }
  return false;
}

std::string RegisterValueText(Word w) {
  return Hex4(w) + " (" + debugger::WatchLogicalText(w) + ", " + debugger::WatchArithmeticText(w) + ")";
}

std::string WordValueText(Word w) {
  std::string s = Hex4(w) + " (" + debugger::WatchLogicalText(w) + ", " + debugger::WatchArithmeticText(w);
  if (Printable(w)) s += std::string(", '") + static_cast<char>(w & 0xFF) + "'";
  return s + ")";
}

const char* RegisterName(int index) {
  return index >= 0 && index < kRegisterCount ? tolvane::RegisterName(static_cast<Register>(index)) : "";
}

std::optional<Target> ParseTarget(std::string_view text, const debugger::SymbolIndex& symbols, std::string& error) {
  text = Trim(text);
  if (const std::optional<Register> r = ParseRegisterName(text))
    return Target{Target::Kind::Register, RegisterIndex(*r), 0, {}};
  const std::string cp932 = InputLineToCp932(std::string(text));
  if (symbols.LabelExists(cp932)) return Target{Target::Kind::Address, 0, symbols.AddressOfLabel(cp932), cp932};
  if (const std::optional<Word> address = ParseHexWord(text)) return Target{Target::Kind::Address, 0, *address, {}};
  if (IsLabelText(cp932))
    error = "no label " + std::string(text) + " in the program";
  else
    error = "not a register, a label or an address: " + std::string(text) +
            " (registers GR0-GR7, PR, SP, FR; addresses 1-4 hexadecimal digits)";
  return std::nullopt;
}

std::string MemoryReference(Word address) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", static_cast<unsigned>(address));
  return buf;
}

bool ParseMemoryReference(std::string_view text, Word& address) {
  text = Trim(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    // The client may hand back a longer form of the same number ("0x00000100").
    while (text.size() > 4 && text[0] == '0') text.remove_prefix(1);
  }
  const std::optional<Word> w = ParseHexWord(text);
  if (w) address = *w;
  return w.has_value();
}

bool HitCondition::Met(std::uint64_t hits) const {
  switch (op) {
    case Op::Always:
      return true;
    case Op::Eq:
      return hits == n;
    case Op::Ge:
      return hits >= n;
    case Op::Gt:
      return hits > n;
    case Op::Le:
      return hits <= n;
    case Op::Lt:
      return hits < n;
    case Op::Every:
      return n != 0 && hits % n == 0;
  }
  return true;
}

bool ParseHitCondition(std::string_view text, HitCondition& out) {
  text = Trim(text);
  if (text.empty()) {
    out = HitCondition{};
    return true;
  }
  struct Prefix {
    std::string_view text;
    HitCondition::Op op;
  };
  // Longer prefixes first, so that ">=" is not read as ">".
  static constexpr Prefix kPrefixes[] = {{"==", HitCondition::Op::Eq},  {">=", HitCondition::Op::Ge},
                                         {"<=", HitCondition::Op::Le},  {"=", HitCondition::Op::Eq},
                                         {">", HitCondition::Op::Gt},   {"<", HitCondition::Op::Lt},
                                         {"%", HitCondition::Op::Every}};
  HitCondition c{HitCondition::Op::Ge, 0};
  for (const Prefix& p : kPrefixes) {
    if (text.substr(0, p.text.size()) == p.text) {
      c.op = p.op;
      text = Trim(text.substr(p.text.size()));
      break;
    }
  }
  if (text.empty() || text.size() > 18) return false;
  std::uint64_t n = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    n = n * 10 + static_cast<std::uint64_t>(ch - '0');
  }
  if (c.op == HitCondition::Op::Every && n == 0) return false;
  c.n = n;
  out = c;
  return true;
}

}  // namespace tolvane::dap
