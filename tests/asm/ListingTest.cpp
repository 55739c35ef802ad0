#include <gtest/gtest.h>

#include <memory>

#include "asm/AsmCore.h"
#include "common/Cp932.h"

using namespace tolvane;

namespace {

class NullSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string&) override {}
};

std::string ListingOf(const std::string& utf8) {
  NullSink sink;
  auto a = std::make_unique<Assembler>(sink);
  std::string src, listing;
  EXPECT_TRUE(Utf8ToCp932(utf8, src));
  a->AssembleText(src, &listing);
  return Cp932ToUtf8(listing);
}

TEST(Listing, MacroExternalDsAndDc) {
  std::string src =
      "PRG\tSTART\n"
      "LBL\tIN\tBUF,LEN\n"
      "\tCALL\tEXT\n"
      "\tDS\t3\n"
      "\tDC\t'ABC',5\n"
      "\tRET\n"
      "BUF\tDS\t1\n"
      "LEN\tDS\t1\n"
      "\tEND\n";
  std::string want =
      "     1                          PRG\tSTART\n"
      "     2                          LBL\tIN\tBUF,LEN\n"
      "        0000: 7001 0000       1 LBL\tPUSH    0,GR1\n"
      "        0002: 7002 0000       1    \tPUSH    0,GR2\n"
      "        0004: 1210 0016       1    \tLAD     GR1,BUF     \n"
      "        0006: 1220 0017       1    \tLAD     GR2,LEN     \n"
      "        0008: F000 0001       1    \tSVC     1\n"
      "        000A: 7120            1    \tPOP     GR2\n"
      "        000B: 7110            1    \tPOP     GR1\n"
      "     3  000C: 8000 ---- E       \tCALL\tEXT\n"
      "     4  000E: 0000              \tDS\t3\n"
      "        000F: 0000\n"
      "        0010: 0000\n"
      "     5  0011: 0041              \tDC\t'ABC',5\n"
      "        0012: 0042\n"
      "        0013: 0043\n"
      "        0014: 0005              \n"
      "     6  0015: 8100              \tRET\n"
      "     7  0016: 0000              BUF\tDS\t1\n"
      "     8  0017: 0000              LEN\tDS\t1\n"
      "     9                          \tEND\n"
      "\n"
      "      0 Errors\n";
  EXPECT_EQ(ListingOf(src), want);
}

TEST(Listing, ErrorsHideLiteralsAndFollowTheirLines) {
  std::string src =
      "A\tSTART\n"
      "\tLD\tGR1,=1\n"
      "\tEND\n"
      "B\tSTART\n"
      "X\tLD\tGR9,=1\n"
      "X\tNOP\n"
      "\tEND\n";
  // The literal of A (at 0002) is not listed, so B's lines show addresses
  // two... one word lower than generated and the words found there.
  std::string want =
      "     1                          A\tSTART\n"
      "     2  0000: 1010 0002         \tLD\tGR1,=1\n"
      "     3                          \tEND\n"
      "     4                          B\tSTART\n"
      "     5  0002: 0001 1000         X\tLD\tGR9,=1\n"
      "(  5) : Error  第１オペランドは汎用レジスタ名でなければなりません。\n"
      "     6  0004: 0006              X\tNOP\n"
      "     7                          \tEND\n"
      "(   ) : Error  ラベル(X)が重複しています。\n"
      "\n"
      "      2 Errors\n";
  EXPECT_EQ(ListingOf(src), want);
}

TEST(Listing, RegisterMacrosAndLongLines) {
  std::string src = "P\tSTART\n\tRPUSH\n\tRPOP\n\tEND\n";
  std::string want =
      "     1                          P\tSTART\n"
      "     2                          \tRPUSH\n"
      "        0000: 7001 0000       1 \tPUSH    0,GR1\n"
      "        0002: 7002 0000       1 \tPUSH    0,GR2\n"
      "        0004: 7003 0000       1 \tPUSH    0,GR3\n"
      "        0006: 7004 0000       1 \tPUSH    0,GR4\n"
      "        0008: 7005 0000       1 \tPUSH    0,GR5\n"
      "        000A: 7006 0000       1 \tPUSH    0,GR6\n"
      "        000C: 7007 0000       1 \tPUSH    0,GR7\n"
      "     3                          \tRPOP\n"
      "        000E: 7170            1 \tPOP     GR7\n"
      "        000F: 7160            1 \tPOP     GR6\n"
      "        0010: 7150            1 \tPOP     GR5\n"
      "        0011: 7140            1 \tPOP     GR4\n"
      "        0012: 7130            1 \tPOP     GR3\n"
      "        0013: 7120            1 \tPOP     GR2\n"
      "        0014: 7110            1 \tPOP     GR1\n"
      "     4                          \tEND\n"
      "\n"
      "      0 Errors\n";
  EXPECT_EQ(ListingOf(src), want);

  // A 300-byte comment line is two lines: the second (45 bytes of 'x') is an
  // unknown instruction field... no: it has no blank, so it is a label field.
  std::string longLine = ";" + std::string(299, 'x');
  std::string l = ListingOf("P\tSTART\n" + longLine + "\n\tEND\n");
  EXPECT_NE(l.find("     2                          ;" + std::string(254, 'x') + "\n"), std::string::npos);
  EXPECT_NE(l.find("     3                          " + std::string(45, 'x') +
                   "\n"
                   "(  3) : Error  ラベルの１文字目が英大文字でありません。\n"),
            std::string::npos);
  EXPECT_NE(l.find("     4                          \tEND\n"), std::string::npos);
}

TEST(Listing, DsTooLargeShowsNoWords) {
  // The second DS does not fit: its line shows no words and the listing
  // stays bounded by the image.
  std::string l = ListingOf("P\tSTART\n\tDS\t65000\n\tDS\t65000\n\tEND\n");
  EXPECT_NE(l.find("     3                          \tDS\t65000\n"
                   "(  3) : Error  プログラムが大きすぎてメモリに格納できません。\n"),
            std::string::npos);
  EXPECT_LT(l.size(), 65100u * 20);
}

TEST(Listing, EmptyDcStringKeepsItsLine) {
  // Every DC operand has its group, the empty string too: one line with the
  // word at the current address, which it does not move.
  std::string src =
      "P\tSTART\n"
      "\tDC\t''\n"
      "\tDC\t1,'',2\n"
      "\tEND\n";
  std::string want =
      "     1                          P\tSTART\n"
      "     2  0000: 0001              \tDC\t''\n"
      "(  2) : Error  文字定数の文字数は0であってはなりません。\n"
      "     3  0000: 0001              \tDC\t1,'',2\n"
      "        0001: 0002              \n"
      "        0001: 0002              \n"
      "(  3) : Error  文字定数の文字数は0であってはなりません。\n"
      "     4                          \tEND\n"
      "\n"
      "      2 Errors\n";
  EXPECT_EQ(ListingOf(src), want);
}

// The listing prints what generation recorded for each statement: the rows
// of its addresses, a macro's expansion lines with their texts, an END's
// literals. Nothing is recorded when no listing is wanted.
TEST(Listing, PrintedFromWhatGenerationRecorded) {
  NullSink sink;
  const std::string src = "P\tSTART\nLBL\tOUT\tA,B\n\tDS\t2\n\tLD\tGR1,='AB'\nA\tDC\t'XY',P\nB\tDC\t2\n\tEND\n";
  auto a = std::make_unique<Assembler>(sink);
  std::string listing;
  a->AssembleText(src, &listing);
  ASSERT_EQ(a->listedStatements.size(), 7u);
  using Shape = ListingRow::Shape;
  struct Row {
    Word address;
    Shape shape;
    std::int32_t count;
    std::string text;
    bool operator==(const Row&) const = default;
  };
  auto rowsOf = [&](std::size_t statement) {
    const ListedStatement& s = a->listedStatements[statement];
    std::vector<Row> rows;
    for (std::size_t i = 0; i < s.rowCount; ++i) {
      const ListingRow& r = a->listingRows[s.firstRow + i];
      rows.push_back({r.address, r.shape, r.count, r.text});
    }
    return rows;
  };
  const ListedStatement& out = a->listedStatements[1];
  EXPECT_EQ(out.line, 2);
  EXPECT_EQ(out.text, "LBL\tOUT\tA,B");
  EXPECT_EQ(out.source, ListedStatement::Source::Before);
  EXPECT_EQ(out.labelLength, 3);
  EXPECT_EQ(rowsOf(1), (std::vector<Row>{{0x0000, Shape::TwoWords, 1, "PUSH    0,GR1"},
                                         {0x0002, Shape::TwoWords, 1, "PUSH    0,GR2"},
                                         {0x0004, Shape::TwoWords, 1, "LAD     GR1,A       "},
                                         {0x0006, Shape::TwoWords, 1, "LAD     GR2,B       "},
                                         {0x0008, Shape::TwoWords, 1, "SVC     2"},
                                         {0x000A, Shape::OneWord, 1, "POP     GR2"},
                                         {0x000B, Shape::OneWord, 1, "POP     GR1"}}));
  EXPECT_EQ(rowsOf(2), (std::vector<Row>{{0x000C, Shape::OneWord, 1, ""}, {0x000D, Shape::Bare, 1, ""}}));
  EXPECT_EQ(rowsOf(3), (std::vector<Row>{{0x000E, Shape::TwoWords, 1, ""}}));
  EXPECT_EQ(rowsOf(4),
            (std::vector<Row>{
                {0x0010, Shape::OneWord, 1, ""}, {0x0011, Shape::Bare, 1, ""}, {0x0012, Shape::OneWord, 1, ""}}));
  EXPECT_EQ(a->listedStatements[6].source, ListedStatement::Source::After);
  EXPECT_EQ(rowsOf(6),
            (std::vector<Row>{{0x0014, Shape::OneWord, 1, "='AB'\tDC\t'AB'"}, {0x0015, Shape::OneWord, 1, ""}}));
  EXPECT_NE(listing.find("        0014: 0041              ='AB'\tDC\t'AB'\n"
                         "        0015: 0042              \n"
                         "     7                          \tEND\n"),
            std::string::npos)
      << Cp932ToUtf8(listing);

  auto quiet = std::make_unique<Assembler>(sink);
  quiet->AssembleText(src, nullptr);
  EXPECT_TRUE(quiet->listedStatements.empty() && quiet->listingRows.empty());
}

}  // namespace
