// Text checks, symbol look-ups and the pane formats.
#include <gtest/gtest.h>

#include "common/Cp932.h"
#include "common/TextRules.h"
#include "debugger/Formats.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::debugger {
namespace {

TEST(TextChecks, Hex4) {
  EXPECT_EQ(Hex4(0x1A0), "01A0");
  EXPECT_EQ(Hex4(0xFFFF), "FFFF");
}

TEST(SymbolIndex, FirstRecordForLookUpsLastForDisassembly) {
  SymbolIndex s;
  s.Assign({{"MAIN", 0x100}, {"ALIAS", 0x100}, {"DUP", 0x200}, {"DUP", 0x300}, {"=1", 0x400}});
  EXPECT_EQ(s.AddressOfLabel("DUP"), 0x200);
  EXPECT_EQ(s.AddressOfLabel("dup"), 0);  // case-sensitive
  EXPECT_EQ(s.AddressOfLabel("NONE"), 0);
  EXPECT_EQ(s.LabelOfAddress(0x100), "MAIN");
  EXPECT_EQ(s.LabelOfAddress(0x101), "");
  ASSERT_NE(s.DisassemblyLabelAt(0x100), nullptr);
  EXPECT_EQ(*s.DisassemblyLabelAt(0x100), "ALIAS");
  EXPECT_TRUE(s.LabelExists("=1"));
  EXPECT_FALSE(s.LabelExists("MAI"));

  // A new table forgets the old addresses; a table not loaded finds nothing.
  s.Assign({{"B", 0x300}});
  EXPECT_EQ(s.DisassemblyLabelAt(0x100), nullptr);
  EXPECT_EQ(s.LabelOfAddress(0x300), "B");
  s.Assign({{"C", 0x500}}, false);
  EXPECT_FALSE(s.LabelExists("C"));
  EXPECT_EQ(s.AddressOfLabel("C"), 0);
  EXPECT_EQ(s.DisassemblyLabelAt(0x500), nullptr);
  EXPECT_EQ(s.DisassemblyLabelAt(0x300), nullptr);
}

TEST(PaneFormats, FlagText) {
  struct Case {
    Word fr;
    const char* text;
    const char* bits;
  } cases[] = {
      {0, "(OF=0 SF=0 ZF=0) plus", "000"},          {1, "(OF=0 SF=0 ZF=1) zero", "001"},
      {2, "(OF=0 SF=1 ZF=0) minus", "010"},         {4, "(OF=1 SF=0 ZF=0) plus overflow", "100"},
      {5, "(OF=1 SF=0 ZF=1) zero overflow", "101"}, {6, "(OF=1 SF=1 ZF=0) minus overflow", "110"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FlagText(c.fr), c.text);
    EXPECT_EQ(FlagBitsText(c.fr), c.bits);
    EXPECT_EQ(ParseFlagDigits(c.bits), c.fr);
  }
}

TEST(PaneFormats, RegisterFields) {
  EXPECT_EQ(Hex4(0x1a), "001A");
  EXPECT_EQ(RegisterBinaryText(0x8001), " 1000 0000 0000 0001");
  EXPECT_EQ(RegisterBinaryText(0), " 0000 0000 0000 0000");
  EXPECT_EQ(RegisterLogicalText(0x8000), "32768");
  EXPECT_EQ(RegisterLogicalText(5), "    5");
  EXPECT_EQ(RegisterArithmeticText(0x8000), "-32768");
  EXPECT_EQ(RegisterArithmeticText(0xFFFF), "    -1");
  EXPECT_EQ(RegisterArithmeticText(7), "     7");
}

TEST(PaneFormats, MemoryCellsAndTooltip) {
  struct Case {
    Word w;
    const char* ch;
  } cases[] = {{0x0041, "A"}, {0x00FF, "."}, {0x1F00, "."}, {0x007F, "."}, {0x0020, " "}, {0xFF7E, "~"}};
  for (const Case& c : cases) EXPECT_EQ(MemoryCharText(c.w), c.ch) << c.w;
  EXPECT_EQ(MemoryRowAddressText(0x21), "0108");

  EXPECT_EQ(MemoryTooltipText(0x0123, 0x8000),
            Cp932Text(u8"0123番地\n 16進数   8000\n 論理値  32768\n 算術値 -32768\n 文字　      ."));
  EXPECT_EQ(MemoryTooltipText(0xFFFF, 0x0041),
            Cp932Text(u8"FFFF番地\n 16進数   0041\n 論理値     65\n 算術値     65\n 文字　      A"));

  Word mem[16] = {0x48, 0x49, 0, 0, 0, 0, 0, 0xFFFF, 1};
  EXPECT_EQ(MemoryDumpLine(mem, 0), "0000  0048 0049 0000 0000 0000 0000 0000 FFFF  HI......");
}

TEST(PaneFormats, WatchValuesAndRegisterDump) {
  EXPECT_EQ(WatchLogicalText(0xFFFF), "65535");
  EXPECT_EQ(WatchArithmeticText(0xFFFF), "-1");
  EXPECT_EQ(WatchArithmeticText(0x8000), "-32768");
  EXPECT_EQ(RegisterDumpText({1, 2, 3, 4, 5, 6, 7, 0xABCD}, 0x0100, 0x0FFF, 5),
            "GR0=0001 GR1=0002 GR2=0003 GR3=0004 GR4=0005 GR5=0006 GR6=0007 GR7=ABCD\r\n"
            ">PR=0100 SP=0FFF FR=(OF=1 SF=0 ZF=1) zero overflow");
}

}  // namespace
}  // namespace tolvane::debugger
