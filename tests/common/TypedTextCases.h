#pragma once
// One table of texts a person types where the debugger wants a word, a
// register or a label. The core's tests, `tolvane-cli debug`, the debug
// adapter and the IDE's dialogs each run the same rows, so that a text means
// the same wherever it is typed. Where a front end deliberately reads by
// another rule the row says so.
#include <cstdint>
#include <optional>
#include <vector>

namespace tolvane::typed {

struct ValueCase {
  const char* text;
  // The word rule (ParseWordValue) of the memory and register dialogs, `set`
  // and the adapter's setVariable; nullopt: refused with "…は正しいデータではありません。".
  std::optional<std::uint16_t> value;
  // The options' stack and origin texts, which keep what was typed and are
  // read leniently when applied (ReadLenientHex): a rule of its own.
  std::optional<std::uint16_t> options;
  // `tolvane-cli debug` splits its command line at blanks, so a text with
  // blanks (or none at all) cannot reach its `set` as one word.
  bool reachesCli = true;
};

inline const std::vector<ValueCase>& ValueCases() {
  static const std::vector<ValueCase> cases = {
      {"5", 0x0005, 0x0005},
      {"#5", 0x0005, std::nullopt},
      {"-1", 0xFFFF, std::nullopt},
      {"+5", 0x0005, std::nullopt},
      {"'A'", 0x0041, std::nullopt},
      {"#FFFF", 0xFFFF, std::nullopt},
      {"ffff", 0xFFFF, 0xFFFF},
      {"10", 0x0010, 0x0010},  // digits without a sign are hexadecimal everywhere
      {"-32768", 0x8000, std::nullopt},
      {"#10000", std::nullopt, std::nullopt},
      {"65536", std::nullopt, 0x5536},
      {"-32769", std::nullopt, std::nullopt},
      {"1G", std::nullopt, 0x0001},
      {"0x200", std::nullopt, 0x0200},
      {"", std::nullopt, std::nullopt, false},
      {"   ", std::nullopt, std::nullopt, false},
      {" 5 ", 0x0005, 0x0005, false},
  };
  return cases;
}

// Register names as typed: either case.
struct RegisterCase {
  const char* text;
  int index;  // in the register file (GR0-GR7, FR, PR, SP), -1: no register
};
inline const std::vector<RegisterCase>& RegisterCases() {
  static const std::vector<RegisterCase> cases = {
      {"GR1", 1}, {"gr1", 1}, {"Gr7", 7}, {"pr", 9}, {"SP", 10}, {"GR8", -1},
  };
  return cases;
}

// Texts given where a label is asked for: GR0-GR7 are register names, never
// labels ("ラベルとして正しくありません。…"), while a well-formed name that
// the program lacks is "このラベルは存在しません。".
struct LabelCase {
  const char* text;
  bool wellFormed;
};
inline const std::vector<LabelCase>& LabelCases() {
  static const std::vector<LabelCase> cases = {
      {"GR1", false}, {"GR0", false}, {"gr1", false}, {"NOSUCH", true}, {"GR8", true},
  };
  return cases;
}

}  // namespace tolvane::typed
