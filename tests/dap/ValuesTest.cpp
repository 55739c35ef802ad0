// Words and registers as the adapter shows them and reads them back.
#include <gtest/gtest.h>

#include <vector>

#include "dap/Values.h"
#include "machine/Cpu.h"

namespace tolvane::dap {
namespace {

// A text, whether the parser takes it, and the word it gives.
struct WordCase {
  const char* text;
  bool ok;
  Word w;
};
template <class Parse>
void ExpectWords(const std::vector<WordCase>& cases, Parse parse) {
  for (const WordCase& c : cases) {
    SCOPED_TRACE(c.text);
    Word w = 0;
    ASSERT_EQ(parse(c.text, w), c.ok);
    if (c.ok) {
      EXPECT_EQ(w, c.w);
    }
  }
}

TEST(ValuesTest, NotationsShowAWord) {
  struct Case {
    Word w;
    const char* hex;
    const char* binary;
    const char* logical;
    const char* arithmetic;
    const char* character;
    const char* registerText;
    const char* wordText;
  };
  const Case cases[] = {
      {0x0041, "0041", "0000 0000 0100 0001", "65", "65", "A", "0041 (65, 65)", "0041 (65, 65, 'A')"},
      {0xFFFF, "FFFF", "1111 1111 1111 1111", "65535", "-1", ".", "FFFF (65535, -1)", "FFFF (65535, -1)"},
      {0x8000, "8000", "1000 0000 0000 0000", "32768", "-32768", ".", "8000 (32768, -32768)", "8000 (32768, -32768)"},
      {0x0000, "0000", "0000 0000 0000 0000", "0", "0", ".", "0000 (0, 0)", "0000 (0, 0)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NotationText(Notation::Hex, c.w), c.hex);
    EXPECT_EQ(NotationText(Notation::Binary, c.w), c.binary);
    EXPECT_EQ(NotationText(Notation::Logical, c.w), c.logical);
    EXPECT_EQ(NotationText(Notation::Arithmetic, c.w), c.arithmetic);
    EXPECT_EQ(NotationText(Notation::Character, c.w), c.character);
    EXPECT_EQ(RegisterValueText(c.w), c.registerText);
    EXPECT_EQ(WordValueText(c.w), c.wordText);
  }
}

TEST(ValuesTest, NotationsReadAValueBack) {
  struct Case {
    Notation n;
    const char* text;
    bool ok;
    Word w;
  };
  const Case cases[] = {
      {Notation::Hex, "41", true, 0x0041},
      {Notation::Hex, "#ffff", true, 0xFFFF},
      {Notation::Hex, " 0100 ", true, 0x0100},
      {Notation::Hex, "12345", false, 0},
      {Notation::Hex, "0x10", false, 0},
      {Notation::Binary, "0000 0000 0100 0001", true, 0x0041},
      {Notation::Binary, "1", true, 0x0001},
      {Notation::Binary, "1 0000 0000 0000 0000", false, 0},
      {Notation::Binary, "102", false, 0},
      {Notation::Logical, "65535", true, 0xFFFF},
      {Notation::Logical, "65536", false, 0},
      {Notation::Logical, "-1", false, 0},
      {Notation::Arithmetic, "-32768", true, 0x8000},
      {Notation::Arithmetic, "+5", true, 0x0005},
      {Notation::Arithmetic, "32768", false, 0},
      {Notation::Arithmetic, "", false, 0},
      {Notation::Character, "A", true, 0x0041},
      {Notation::Character, "AB", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Word w = 0;
    ASSERT_EQ(ParseNotation(c.n, c.text, w), c.ok);
    if (c.ok) {
      EXPECT_EQ(w, c.w);
    }
  }
}

TEST(ValuesTest, TypedNamesAreRegistersLabelsOrAddresses) {
  debugger::SymbolIndex symbols;
  symbols.Assign({{"ABC", 0x0120}, {"LOOP", 0x0105}});
  struct Case {
    const char* text;
    bool ok;
    Target::Kind kind;
    int reg;
    Word address;
  };
  const Case cases[] = {
      {"GR7", true, Target::Kind::Register, 7, 0},
      {"gr1", true, Target::Kind::Register, 1, 0},
      {" PR ", true, Target::Kind::Register, CCpu::kPR, 0},
      {"FR", true, Target::Kind::Register, CCpu::kFR, 0},
      {"ABC", true, Target::Kind::Address, 0, 0x0120},  // a label before the address ABC
      {"ABD", true, Target::Kind::Address, 0, 0x0ABD},
      {"#0100", true, Target::Kind::Address, 0, 0x0100},
      {"LOOP", true, Target::Kind::Address, 0, 0x0105},
      {"LOOPX", false, Target::Kind::Address, 0, 0},
      {"GR8", false, Target::Kind::Address, 0, 0},
      {"12345", false, Target::Kind::Address, 0, 0},
      {"", false, Target::Kind::Address, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const std::optional<Target> t = ParseTarget(c.text, symbols, error);
    ASSERT_EQ(t.has_value(), c.ok);
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(t->kind, c.kind);
    if (c.kind == Target::Kind::Register)
      EXPECT_EQ(t->reg, c.reg);
    else
      EXPECT_EQ(t->address, c.address);
  }
}

TEST(ValuesTest, MemoryReferences) {
  EXPECT_EQ(MemoryReference(0x0100), "0x0100");
  EXPECT_EQ(MemoryReference(0xFFFF), "0xFFFF");
  ExpectWords({{"0x0100", true, 0x0100},
               {"0X00000100", true, 0x0100},
               {"0100", true, 0x0100},
               {"#ffff", true, 0xFFFF},
               {"0x10000", false, 0},
               {"0x", false, 0},
               {"LOOP", false, 0}},
              [](const char* t, Word& w) { return ParseMemoryReference(t, w); });
}

TEST(ValuesTest, HitCounts) {
  struct Case {
    const char* text;
    bool ok;
    const char* stops;  // hits 1 to 7: '1' where the breakpoint stops
  };
  const Case cases[] = {
      {"", true, "1111111"},    {"3", true, "0011111"},  {">=3", true, "0011111"}, {"==3", true, "0010000"},
      {"= 3", true, "0010000"}, {">3", true, "0001111"}, {"<3", true, "1100000"},  {"<=3", true, "1110000"},
      {"%3", true, "0010010"},  {"%0", false, ""},       {"3x", false, ""},        {">", false, ""},
      {"-1", false, ""},        {"!=3", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    HitCondition h;
    ASSERT_EQ(ParseHitCondition(c.text, h), c.ok);
    if (!c.ok) continue;
    std::string stops;
    for (std::uint64_t hits = 1; hits <= 7; ++hits) stops += h.Met(hits) ? '1' : '0';
    EXPECT_EQ(stops, c.stops);
  }
}

}  // namespace
}  // namespace tolvane::dap
