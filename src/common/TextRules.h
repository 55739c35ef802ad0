#pragma once
// How typed text reads as an address, a word, a register or a label. Every
// front end (the IDE's dialogs, `tolvane-cli debug`, the debug adapter, the
// options) reads through these rules, so that the same text means the same
// thing wherever it is typed. The text is CP932 bytes; only ASCII characters
// carry meaning here (a full-width digit is not a digit).
#include <optional>
#include <string>
#include <string_view>

#include "common/Word.h"

namespace tolvane {

// The registers in the order of the register file (CCpu's indices).
enum class Register { GR0, GR1, GR2, GR3, GR4, GR5, GR6, GR7, FR, PR, SP };
inline constexpr int kRegisterCount = 11;

constexpr int RegisterIndex(Register r) { return static_cast<int>(r); }
// "GR0".."GR7", "FR", "PR", "SP".
const char* RegisterName(Register r);
// A register name typed by a person, in either case ("gr1", "Pr"); nothing
// before or after it.
std::optional<Register> ParseRegisterName(std::string_view text);
// A general register as source code writes it: "GR0".."GR7", upper case only,
// as the assembler reads its operands.
bool IsGeneralRegisterName(std::string_view text);

// An address: one to four hexadecimal digits of either case and nothing else
// (no "#", "H", sign or blank).
std::optional<Word> ParseAddress(std::string_view text);
// A hexadecimal word as the debug adapter's clients hand it over: an address,
// optionally written as CASL II writes constants ("#0100"); blanks around it
// are ignored.
std::optional<Word> ParseHexWord(std::string_view text);
// A value typed to be stored in a word or register. Blanks around it are
// ignored; then one of
//   1-4 hexadecimal digits ("41", "ffff"), as the debugger has always shown words;
//   "#" and 1-4 hexadecimal digits ("#0041"), as CASL II writes them;
//   a decimal number with its sign, -32768 to +65535 ("+65", "-1");
//   one character 20H-7EH in single quotes ("'A'").
// A decimal number without a sign is read as hexadecimal: "10" is 0010H.
std::optional<Word> ParseWordValue(std::string_view text);
// The three flag digits OF SF ZF that FR can hold: "000", "001", "010",
// "100", "101" or "110".
std::optional<Word> ParseFlagDigits(std::string_view text);
// The options' stack size and origin, which keep whatever the user typed and
// are read leniently when applied: leading blanks skipped, an optional "0x",
// then hexadecimal digits up to the first other character, the low 16 bits
// kept ("12345" is 2345H). Empty when no digit follows.
std::optional<Word> ReadLenientHex(std::string_view text);

// A label of the program: one to eight characters, an upper-case letter
// first, then upper-case letters and digits; GR0-GR7 are register names and
// never labels.
bool IsLabelText(std::string_view text);

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

}  // namespace tolvane
