#pragma once
// Words and registers as the adapter shows them and reads them back: the
// notations of the register and watch panes, the names a user types for a
// register, a label or an address, memory references, and hit counts.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/Word.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::dap {

// The register pane's four notations and the watch pane's character column.
enum class Notation { Hex, Binary, Logical, Arithmetic, Character };
inline constexpr Notation kRegisterNotations[] = {Notation::Hex, Notation::Binary, Notation::Logical,
                                                  Notation::Arithmetic};
// The pane's column caption ("16進数", "2進数", "論理値", "算術値", "文字"), UTF-8.
const char* NotationName(Notation n);
// "0041", "0000 0000 0100 0001", "65", "65", "A" (the low byte when 20H-7EH, else ".").
std::string NotationText(Notation n, Word w);
// Reads a value written in the notation: 1-4 hexadecimal digits (a leading "#"
// allowed, as ParseHexWord), 16 binary digits with any spaces, 0-65535,
// -32768-32767, one character. False for anything else. A value typed over a
// whole word or register reads by ParseWordValue (common/TextRules.h).
bool ParseNotation(Notation n, std::string_view text, Word& out);

// A register's value in one line: "FFFF (65535, -1)".
std::string RegisterValueText(Word w);
// A memory word's: "0041 (65, 65, 'A')"; the character only when printable.
std::string WordValueText(Word w);

// What a typed name stands for. Registers go by their index in CCpu::Registers.
struct Target {
  enum class Kind { Register, Address } kind = Kind::Address;
  int reg = 0;
  Word address = 0;
  std::string label;  // the label typed, for a label (CP932)
};
// A register name (ParseRegisterName: either case); then a label of the
// program (exactly as written); then an address as ParseHexWord reads it. Blanks around the text are ignored. On
// failure `error` says why (UTF-8).
std::optional<Target> ParseTarget(std::string_view text, const debugger::SymbolIndex& symbols, std::string& error);
// "GR0".."GR7", "FR", "PR", "SP" for CCpu indices 0-10.
const char* RegisterName(int index);

// Memory references: a word address as "0x0100". Also taken back: "0100" and
// "#0100". The protocol counts bytes, two per word, the high byte first.
std::string MemoryReference(Word address);
bool ParseMemoryReference(std::string_view text, Word& address);

// A breakpoint's hit count: "N" or ">=N" (from the N-th hit on), "==N" or "=N"
// (the N-th hit only), ">N", "<N", "<=N", "%N" (every N-th hit). The empty
// text stops at every hit.
struct HitCondition {
  enum class Op { Always, Eq, Ge, Gt, Le, Lt, Every } op = Op::Always;
  std::uint64_t n = 0;
  bool Met(std::uint64_t hits) const;
};
bool ParseHitCondition(std::string_view text, HitCondition& out);

}  // namespace tolvane::dap
