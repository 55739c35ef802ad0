// Decoding, line formats, address classes and the row patching after stores.
#include <gtest/gtest.h>

#include <memory>

#include "debugger/Disassembler.h"
#include "machine/Cpu.h"

namespace tolvane::debugger {
namespace {

class DisassemblerTest : public ::testing::Test {
 protected:
  std::unique_ptr<Word[]> mem{new Word[kMemoryWords]()};
  SymbolIndex symbols;
  Disassembler dis;

  void SetUp() override { dis.Attach(mem.get(), &symbols); }

  std::string RowAt(Word a) {
    int r = dis.FindRowOfAddress(a);
    EXPECT_GE(r, 0);
    return r < 0 ? "" : std::string(dis.Row(r).text);
  }
};

TEST_F(DisassemblerTest, LineFormats) {
  symbols.Assign({{"MAIN", 0x0100}, {"BUF", 0x0300}, {"=5", 0x0302}, {"LONGNAME9", 0x0120}});
  struct Case {
    Word first, second;
    const char* text;  // the row at 0100H
  } cases[] = {
      {0x1010, 0x0200, "0100  1010 0200  MAIN     LD      GR1,#0200"},
      {0x1012, 0x0200, "0100  1012 0200  MAIN     LD      GR1,#0200,GR2"},
      {0x1010, 0x0300, "0100  1010 0300  MAIN     LD      GR1,BUF"},
      {0x2070, 0x0302, "0100  2070 0302  MAIN     ADDA    GR7,=5"},
      {0x1412, 0x9999, "0100  1412       MAIN     LD      GR1,GR2"},
      {0x6400, 0x0100, "0100  6400 0100  MAIN     JUMP    MAIN"},
      {0x6110, 0x0100, "0100  6110 0100  MAIN     JMI     MAIN"},  // the unused r field is ignored
      {0xF000, 0x0002, "0100  F000 0002  MAIN     SVC     #0002"},
      {0x7130, 0x0000, "0100  7130       MAIN     POP     GR3"},
      {0x8100, 0x0000, "0100  8100       MAIN     RET     "},
      {0x0000, 0x0000, "0100  0000       MAIN     NOP     "},
      {0x0100, 0x1010, "0100  0100       MAIN     ****    "},  // undefined operation code
      {0x1080, 0x0200, "0100  1080 0200  MAIN     ****    "},  // GR8 does not exist
      {0x1018, 0x0200, "0100  1018 0200  MAIN     ****    "},
  };
  for (const Case& c : cases) {
    mem[0x100] = c.first;
    mem[0x101] = c.second;
    dis.BuildUnAsmTable();
    std::string text(c.text);
    // Undefined words take one row; shown with one word.
    if (text.find("****") != std::string::npos) text = text.substr(0, 10) + "       " + text.substr(17);
    EXPECT_EQ(RowAt(0x100), text) << std::hex << c.first;
  }
  // A label longer than the column pushes the mnemonic right.
  mem[0x120] = 0;
  dis.BuildUnAsmTable();
  EXPECT_EQ(RowAt(0x120), "0120  0000       LONGNAME9NOP     ");
}

TEST_F(DisassemblerTest, DecodeAtFillsTheScratch) {
  symbols.Assign({{"MAIN", 0x0100}, {"BUF", 0x0300}});
  mem[0x100] = 0x1012;
  mem[0x101] = 0x0300;
  EXPECT_EQ(dis.DecodeAt(0x100), 2);
  EXPECT_EQ(dis.Scratch().label, "MAIN");
  EXPECT_EQ(dis.Scratch().mnemonic, "LD");
  EXPECT_EQ(dis.Scratch().operand, "GR1,BUF,GR2");
  EXPECT_EQ(dis.DecodeAt(0x102), 1);
  EXPECT_EQ(dis.Scratch().label, "");
  EXPECT_EQ(dis.Scratch().mnemonic, "NOP");
  EXPECT_EQ(dis.Scratch().operand, "");
}

TEST_F(DisassemblerTest, TableCoversMemoryAndFindsSecondWords) {
  // Zero memory: 65536 one-word NOP rows.
  dis.BuildUnAsmTable();
  EXPECT_EQ(dis.RowCount(), 65536);
  EXPECT_EQ(std::string(dis.Row(0x1234).text), "1234  0000                NOP     ");

  mem[0x100] = 0x1010;   // two words
  mem[0xFFFF] = 0x6400;  // a jump at FFFFH takes 0000H as its second word
  dis.BuildUnAsmTable();
  EXPECT_EQ(dis.RowCount(), 65535);
  EXPECT_EQ(dis.FindRowOfAddress(0x100), 0x100);
  EXPECT_EQ(dis.FindRowOfAddress(0x101), 0x100);  // second word finds its instruction
  EXPECT_EQ(dis.FindRowOfAddress(0x102), 0x101);
  EXPECT_EQ(dis.Row(dis.RowCount() - 1).address, 0xFFFF);
  EXPECT_EQ(std::string(dis.Row(dis.RowCount() - 1).text), "FFFF  6400 0000  " + std::string(9, ' ') + "JUMP    #0000");
  // A row ending at FFFFH: 0000H is a row of its own, not a second word.
  EXPECT_EQ(dis.FindRowOfAddress(0), 0);
}

TEST_F(DisassemblerTest, RowLengthsAgreeWithTheMachine) {
  // Every first word: a two-word row exactly when the machine executes a
  // two-word instruction; everything it does not execute is one "****" row.
  for (unsigned w = 0; w <= 0xFFFF; ++w) {
    mem[0x200] = static_cast<Word>(w);
    int n = dis.DecodeAt(0x200);
    int machine = InstructionWords(static_cast<Word>(w));
    ASSERT_EQ(n, machine == 0 ? 1 : machine) << std::hex << w;
    ASSERT_EQ(dis.Scratch().mnemonic == "****", machine == 0) << std::hex << w;
  }
}

TEST_F(DisassemblerTest, RowsCoverMemoryOnceInOrder) {
  std::uint32_t seed = 7;
  for (std::size_t a = 0; a < kMemoryWords; ++a) {
    seed = seed * 1103515245u + 12345u;
    mem[a] = static_cast<Word>(seed >> 12);
  }
  Word data[] = {0x10, 0x11, 0x5000};
  dis.SetDataAddresses(data, 3);
  dis.BuildUnAsmTable();
  unsigned next = 0;
  for (int r = 0; r < dis.RowCount(); ++r) {
    SUnAsmTbl row = dis.Row(r);
    ASSERT_EQ(row.address, next) << r;
    ASSERT_EQ(dis.FindRowOfAddress(row.address), r);
    // The word columns show the row's length.
    bool two = row.text.substr(10, 1) == " " && row.text.substr(11, 4) != "    ";
    next += two ? 2 : 1;
  }
  EXPECT_GE(next, 0x10000u);
}

TEST_F(DisassemblerTest, AddressClassesAndDataRows) {
  // origin 0100H, code 0100H-010FH, data 0110H-0111H, stack 0112H-0121H.
  dis.SetLayout(0x100, 0x122, 0x112);
  Word data[] = {0x110, 0x111};
  dis.SetDataAddresses(data, 2);
  EXPECT_TRUE(dis.IsProgramCodeAddress(0x100));
  EXPECT_FALSE(dis.IsProgramCodeAddress(0x110));
  EXPECT_TRUE(dis.IsDataAddress(0x111));
  EXPECT_FALSE(dis.IsProgramCodeAddress(0x112));
  EXPECT_TRUE(dis.IsStackAddress(0x112));
  EXPECT_TRUE(dis.IsStackAddress(0x121));
  EXPECT_FALSE(dis.IsStackAddress(0x122));
  EXPECT_FALSE(dis.IsProgramCodeAddress(0x0FF));

  mem[0x110] = 0x1010;  // looks like an instruction
  mem[0x111] = 0x0041;
  dis.BuildUnAsmTable();
  EXPECT_EQ(RowAt(0x110), "0110  1010                ****    ");
  EXPECT_EQ(RowAt(0x111), "0111  0041                ****    ");
  dis.SetDataAsCode(true);
  dis.BuildUnAsmTable();
  EXPECT_EQ(RowAt(0x110), "0110  1010 0041           LD      GR1,#0041");
}

TEST_F(DisassemblerTest, StoresPatchOneRowOrAskForRebuild) {
  symbols.Assign({{"RES", 0x111}});
  dis.SetLayout(0x100, 0x122, 0x112);
  Word data[] = {0x110, 0x111};
  dis.SetDataAddresses(data, 2);
  mem[0x11A] = 0x1010;  // a two-word row inside the stack area
  dis.BuildUnAsmTable();
  const int rows = dis.RowCount();

  struct Case {
    Word address;
    Disassembler::StoreOutcome outcome;
  } cases[] = {
      {0x111, Disassembler::StoreOutcome::Patched},  // data
      {0x120, Disassembler::StoreOutcome::Patched},  // stack
      {0x105, Disassembler::StoreOutcome::Rebuild},  // program code
      {0x050, Disassembler::StoreOutcome::Rebuild},  // outside data and stack
      {0xF800, Disassembler::StoreOutcome::Rebuild},
  };
  for (const Case& c : cases) EXPECT_EQ(dis.UnAsmStoreAt(c.address), c.outcome) << std::hex << c.address;

  mem[0x111] = 0x0007;
  EXPECT_EQ(dis.UnAsmStoreAt(0x111), Disassembler::StoreOutcome::Patched);
  EXPECT_EQ(RowAt(0x111), "0111  0007       RES      ****    ");
  EXPECT_EQ(dis.RowCount(), rows);

  // A store into the second word of a two-word row turns that row into a data
  // line for the second word; the first word then has no row of its own.
  int row = dis.FindRowOfAddress(0x11A);
  mem[0x11B] = 0x0F00;
  EXPECT_EQ(dis.UnAsmStoreAt(0x11B), Disassembler::StoreOutcome::Patched);
  EXPECT_EQ(dis.FindRowOfAddress(0x11B), row);
  EXPECT_EQ(dis.Row(row).address, 0x11B);
  EXPECT_EQ(std::string(dis.Row(row).text), "011B  0F00                ****    ");
  EXPECT_EQ(dis.FindRowOfAddress(0x11A), row - 1);  // finds the row before it (one word back)
  EXPECT_EQ(dis.RowCount(), rows);

  // Data decoded as code always rebuilds.
  dis.SetDataAsCode(true);
  EXPECT_EQ(dis.UnAsmStoreAt(0x111), Disassembler::StoreOutcome::Rebuild);
}

TEST_F(DisassemblerTest, RefreshWithoutRowIsReported) {
  // 0001H-0002H as a two-word row patched at 0002H, then 0001H has no row:
  // 0000H is the row before it only when it is a one-word row.
  mem[0x0000] = 0x1010;  // 0000H-0001H one row
  mem[0x0002] = 0x1010;  // 0002H-0003H one row
  dis.BuildUnAsmTable();
  EXPECT_TRUE(dis.UnAsmRefreshAt(0x0001));  // row of 0000H becomes 0001H
  EXPECT_TRUE(dis.UnAsmRefreshAt(0x0003));  // row of 0002H becomes 0003H
  // 0000H now has no row and is not preceded by anything.
  EXPECT_EQ(dis.FindRowOfAddress(0x0000), -1);
  EXPECT_FALSE(dis.UnAsmRefreshAt(0x0000));
}

TEST_F(DisassemblerTest, LongLabelsSurvivePatchesAndRebuilds) {
  std::string longName(200, 'L');
  symbols.Assign({{longName, 0x0110}});
  dis.SetLayout(0x100, 0x122, 0x112);
  Word data[] = {0x110};
  dis.SetDataAddresses(data, 1);
  dis.BuildUnAsmTable();
  // Patch the same data row many times: the text stays right, the storage bounded.
  for (int i = 0; i < 100000; ++i) {
    mem[0x110] = static_cast<Word>(i);
    ASSERT_EQ(dis.UnAsmStoreAt(0x110), Disassembler::StoreOutcome::Patched);
  }
  EXPECT_EQ(RowAt(0x110), "0110  869F       " + longName + "****    ");
  EXPECT_EQ(RowAt(0x111), "0111  0000                NOP     ");
}

}  // namespace
}  // namespace tolvane::debugger
