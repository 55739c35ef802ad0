// The text rules every front end reads typed text by.
#include <gtest/gtest.h>

#include <optional>

#include "common/Cp932.h"
#include "common/TextRules.h"

namespace tolvane {
namespace {

struct WordCase {
  const char* text;
  std::optional<Word> want;
};

void ExpectWords(std::optional<Word> (*read)(std::string_view), std::initializer_list<WordCase> cases) {
  for (const WordCase& c : cases) EXPECT_EQ(read(c.text), c.want) << "'" << c.text << "'";
}

TEST(TextRules, Addresses) {
  ExpectWords(ParseAddress, {{"ffff", 0xFFFF},
                             {"0", 0},
                             {"1A0", 0x1A0},
                             {"aBcD", 0xABCD},
                             {"12345", std::nullopt},
                             {"10H", std::nullopt},
                             {"#0100", std::nullopt},
                             {" 100", std::nullopt},
                             {"100 ", std::nullopt},
                             {"", std::nullopt},
                             {"G", std::nullopt},
                             {"-1", std::nullopt}});
  // Full-width digits are not hexadecimal digits.
  EXPECT_EQ(ParseAddress(Cp932Text(u8"１２")), std::nullopt);
  // The adapter's form also takes CASL II's "#" and blanks around.
  ExpectWords(ParseHexWord, {{"#0100", 0x100}, {" 1a0 ", 0x1A0}, {"#", std::nullopt}, {"#10000", std::nullopt}});
}

TEST(TextRules, WordValues) {
  ExpectWords(ParseWordValue, {{"5", 5},
                               {"10", 0x10},  // digits without a sign are hexadecimal
                               {"#5", 5},
                               {"#FFFF", 0xFFFF},
                               {"-1", 0xFFFF},
                               {"+5", 5},
                               {"-32768", 0x8000},
                               {"+65535", 0xFFFF},
                               {"'A'", 0x41},
                               {"' '", 0x20},
                               {" 5 ", 5},
                               {"#10000", std::nullopt},
                               {"65536", std::nullopt},
                               {"-32769", std::nullopt},
                               {"+65536", std::nullopt},
                               {"'AB'", std::nullopt},
                               {"'\x7F'", std::nullopt},
                               {"+", std::nullopt},
                               {"#", std::nullopt},
                               {"", std::nullopt},
                               {"   ", std::nullopt},
                               {"1G", std::nullopt}});
}

TEST(TextRules, FlagDigits) {
  ExpectWords(ParseFlagDigits, {{"000", 0}, {"001", 1}, {"010", 2}, {"100", 4}, {"101", 5}, {"110", 6}});
  for (const char* bad : {"011", "111", "7", "0000", "", "00", " 000"})
    EXPECT_EQ(ParseFlagDigits(bad), std::nullopt) << bad;
}

TEST(TextRules, LenientHexOfTheOptions) {
  ExpectWords(ReadLenientHex, {{"8000", 0x8000},
                               {"0x200", 0x200},
                               {"0X1f", 0x1F},
                               {"  100", 0x100},
                               {"12345", 0x2345},
                               {"12G", 0x12},
                               {"0x", 0},
                               {"#100", std::nullopt},
                               {"", std::nullopt},
                               {"G", std::nullopt}});
}

TEST(TextRules, RegisterNames) {
  struct Case {
    const char* text;
    std::optional<Register> want;
  } cases[] = {{"GR0", Register::GR0}, {"gr1", Register::GR1}, {"Gr7", Register::GR7}, {"PR", Register::PR},
               {"sp", Register::SP},   {"fR", Register::FR},   {"GR8", std::nullopt},  {"GR", std::nullopt},
               {" GR1", std::nullopt}, {"GR10", std::nullopt}, {"", std::nullopt},     {"R1", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(ParseRegisterName(c.text), c.want) << c.text;
  for (int i = 0; i < kRegisterCount; ++i)
    EXPECT_EQ(ParseRegisterName(RegisterName(static_cast<Register>(i))), static_cast<Register>(i));
  // Source code writes general registers in upper case only.
  EXPECT_TRUE(IsGeneralRegisterName("GR7"));
  EXPECT_FALSE(IsGeneralRegisterName("gr7"));
  EXPECT_FALSE(IsGeneralRegisterName("PR"));
}

TEST(TextRules, Labels) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {{"LOOP", true},       {"A1234567", true}, {"X", true},   {"loop", false}, {"1ABC", false},
               {"A12345678", false}, {"LA-1", false},    {"", false},   {"A B", false},  {"=1", false},
               {"GR1", false},       {"GR0", false},     {"GR8", true}, {"GR", true},    {"PR", true}};
  for (const Case& c : cases) EXPECT_EQ(IsLabelText(c.text), c.ok) << c.text;
}

}  // namespace
}  // namespace tolvane
