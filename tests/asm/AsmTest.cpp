#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "asm/AsmCore.h"
#include "asm/Assembler.h"
#include "common/BinaryIo.h"
#include "common/Cp932.h"

using namespace tolvane;
namespace fs = std::filesystem;

namespace {

class RecordingSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override { lines.push_back(Cp932ToUtf8(line)); }
  // The records as sent; the default passes each line on to `lines`.
  void AppendDiagnostic(const Diagnostic& d) override {
    records.push_back(d);
    MessageSink::AppendDiagnostic(d);
  }
  std::vector<std::string> lines;
  std::vector<Diagnostic> records;
};

struct Run {
  RecordingSink sink;
  std::unique_ptr<Assembler> as = std::make_unique<Assembler>(sink);
  std::string listing;
  // Diagnostic lines only (UTF-8).
  std::vector<std::string> Errors() const { return sink.lines; }
  std::string Listing() const { return Cp932ToUtf8(listing); }
};

// Assembles UTF-8 source text (converted to CP932) in memory.
std::unique_ptr<Run> AsmText(const std::string& utf8, bool listing = true) {
  auto r = std::make_unique<Run>();
  std::string src;
  EXPECT_TRUE(Utf8ToCp932(utf8, src));
  r->as->AssembleText(src, listing ? &r->listing : nullptr);
  return r;
}

std::string Hex(Word w) {
  char b[8];
  std::snprintf(b, sizeof b, "%04X", w);
  return b;
}
std::string Words(const Assembler& a, int from, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) {
    if (i) s += ' ';
    s += Hex(a.codeImage[from + i]);
  }
  return s;
}

// ---------------------------------------------------------------- analysis

struct AnalyseCase {
  const char* text;
  const char* label;
  const char* mnemonic;
  const char* op1;
  const char* op2;
  const char* op3;
  const char* error;  // "" for none
};

TEST(AnalyseLine, FieldsAndDiagnostics) {
  const AnalyseCase cases[] = {
      {"LBL LD GR1,GR2", "LBL", "LD_reg", "GR1", "GR2", "", ""},
      {" LD GR1,GR2,GR3", "", "LD", "GR1", "GR2", "GR3", ""},
      {" ST GR1,GR2", "", "ST", "GR1", "GR2", "", ""},
      {" LD GR1,GR8", "", "LD", "GR1", "GR8", "", ""},
      {" LD GR1,GR2 comment", "", "LD", "GR1", "GR2", "", ""},  // field 4 ends the line: no rewrite
      {" LD GR1,GR2 ;c", "", "LD_reg", "GR1", "GR2", "", ""},
      {" LD GR1, A", "", "LD", "GR1", "", "", "オペランドが正しくありません。"},
      {"ABCDEFGHI LD GR1,A", "ABCDEFGH", "", "", "", "", "ラベルが８文字を超えています。"},
      {"lbl LD GR1,A", "", "", "", "", "", "ラベルの１文字目が英大文字でありません。"},
      {"AB$ NOP", "AB", "", "", "", "", "ラベルに英数字以外の文字があります。"},
      {" ABCDEFG", "", "ABCDEF", "", "", "", "CASLIIにない命令があります。"},
      {" Ld GR1,A", "", "L", "", "", "", "CASLIIにない命令があります。"},
      {" LD GR1,#", "", "LD", "GR1", "#", "", "#だけになっています。"},
      {" LD GR1,=#", "", "LD", "GR1", "=#", "", "#だけになっています。"},
      {" LD GR1,='A''B'", "", "LD", "GR1", "='A''B'", "", ""},
      {" PUSH ='A',GR1", "", "PUSH", "='A'", "", "", "不必要な文字があります。"},
      {" PUSH =1,GR1", "", "PUSH", "=1", "GR1", "", ""},
      {" LD GR1,='AB'C", "", "LD", "GR1", "='AB'C", "", ""},
      {" LD GR1,=''", "", "LD", "GR1", "=''", "", "文字定数の文字数は0ではいけません。"},
      {" LD GR1,='AB", "", "LD", "GR1", "='AB", "", " ' が閉じていません。"},
      {" LD GR1,='A;B' ;x", "", "LD", "GR1", "='A;B'", "", ""},
      {" LD GR1,=X", "", "LD", "GR1", "=", "", "第２オペランドに不正な文字があります。"},
      {" LD G$,A", "", "LD", "G", "", "", "第１オペランドに不正な文字があります。"},
      {" LD GR1,12A", "", "LD", "GR1", "12", "", "第２オペランドに不正な文字があります。"},
      {" LD GR1,#12G", "", "LD", "GR1", "#12", "", "第２オペランドに不正な文字があります。"},
      {" LD GR1,#12345", "", "LD", "GR1", "#12345", "", ""},
      {" LD GR1,-", "", "LD", "GR1", "", "", "オペランドが正しくありません。"},
      {" LD GR1,LONGLABEL", "", "LD", "GR1", "LONGLABE", "", "オペランド部のラベルが８文字を超えています。"},
      {" LD GR1,", "", "LD", "GR1", "", "", "オペランドが正しくありません。"},
      {" LD GR1,A,X1", "", "LD", "GR1", "A", "", "オペランドが正しくありません。"},
      {" LD GR1,A,GR12", "", "LD", "GR1", "A", "GR1", "第３オペランドが正しくありません。"},
      {" LD GR1,A,GR1,", "", "LD", "GR1", "A", "GR1", "第１オペランドに不正な文字があります。"},
      {" LD GR1,A GR2 X", "", "LD", "GR1", "A", "", ""},
      {"   ; comment", "", "", "", "", "", ""},
      {"", "", "", "", "", "", "空白行は認められません。"},
      {" \t ", "", "", "", "", "", "空白行は認められません。"},
      {"LBL", "LBL", "", "", "", "", ""},
      {"LBL;c", "LBL", "", "", "", "", ""},
  };
  for (const AnalyseCase& c : cases) {
    RecordingSink sink;
    Assembler a(sink);
    auto line = std::make_unique<SAsmLine>();
    line->lineNumber = 7;
    std::string text;
    ASSERT_TRUE(Utf8ToCp932(c.text, text));
    a.AnalyseLine(*line, text);
    EXPECT_STREQ(line->label, c.label) << c.text;
    EXPECT_STREQ(line->mnemonic, c.mnemonic) << c.text;
    EXPECT_STREQ(line->operand1, c.op1) << c.text;
    EXPECT_STREQ(line->operand2, c.op2) << c.text;
    EXPECT_STREQ(line->operand3, c.op3) << c.text;
    if (c.error[0]) {
      ASSERT_EQ(sink.lines.size(), 1u) << c.text;
      EXPECT_EQ(sink.lines[0], std::string(" (  7) : Error  ") + c.error) << c.text;
    } else {
      EXPECT_TRUE(sink.lines.empty()) << c.text << ": " << (sink.lines.empty() ? "" : sink.lines[0]);
    }
  }
}

TEST(AnalyseLine, DcOperands) {
  struct Case {
    const char* text;
    std::vector<std::string> ops;  // stored operands when accepted
    const char* error;
  } cases[] = {
      {" DC 'IT''S'", {"'IT'S'"}, ""},
      {" DC 'A B;C'", {"'A B;C'"}, ""},
      {" DC 'AB',3,#FFFF,LBL,-", {"'AB'", "3", "#FFFF", "LBL", "-"}, ""},
      {" DC ''", {"''"}, ""},
      {" DC 1, 2", {}, "オペランドが正しくありません。"},
      {" DC 1,", {}, "オペランドが正しくありません。"},
      {" DC #,1", {}, "#だけになっています。"},
      {" DC #12345", {}, "オペランドが正しくありません。"},
      {" DC #12G", {}, "オペランドが正しくありません。"},
      {" DC 12A", {}, "オペランドが正しくありません。"},
      {" DC AB$", {}, "オペランド部のラベルに英数字以外の文字があります。"},
      {" DC ABCDEFGHI", {}, "オペランド部のラベルが８文字を超えています。"},
      {" DC 'AB'C", {}, "不必要な文字があります。"},
      {" DC 'AB", {}, " ' がありません。"},
      {" DC =1", {}, "オペランドが正しくありません。"},
      {" DC", {}, ""},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    Assembler a(sink);
    auto line = std::make_unique<SAsmLine>();
    line->lineNumber = 1;
    a.AnalyseLine(*line, c.text);
    ASSERT_EQ(line->dcCount, static_cast<int>(c.ops.size())) << c.text;
    for (std::size_t k = 0; k < c.ops.size(); ++k) EXPECT_EQ(line->dcOperands[k], c.ops[k]) << c.text;
    if (c.error[0]) {
      ASSERT_EQ(sink.lines.size(), 1u) << c.text;
      EXPECT_EQ(sink.lines[0], std::string(" (  1) : Error  ") + c.error) << c.text;
    } else {
      EXPECT_TRUE(sink.lines.empty()) << c.text;
    }
  }
}

TEST(LineReader, PiecesOf255BytesAndLineEnds) {
  std::string text = std::string(300, 'A') + "\nB\r\nC\rD\n" + std::string(254, 'E') + "\r\nF";
  text += std::string("G\0H\n", 4);
  LineReader r(text);
  std::vector<std::string> lines;
  std::string_view l;
  while (r.Next(l)) lines.emplace_back(l);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], std::string(255, 'A'));
  EXPECT_EQ(lines[1], std::string(45, 'A'));
  EXPECT_EQ(lines[2], "B");
  EXPECT_EQ(lines[3], "C");                    // cut at the lone CR
  EXPECT_EQ(lines[4], std::string(254, 'E'));  // CR LF counts as one byte
  EXPECT_EQ(lines[5], "FG");                   // cut at the NUL
  // Final line without a line break is still a line.
  LineReader r2("X\nY");
  int n = 0;
  while (r2.Next(l)) ++n;
  EXPECT_EQ(n, 2);
}

// ---------------------------------------------------------------- operand rules

TEST(CheckLine, RulesPerInstruction) {
  struct Case {
    const char* line;
    const char* error;
  } cases[] = {
      {" ST GR1,GR2", "予約語(GR0～GR7)はラベルに使用できません。"},
      {" LD GR1,GR2", ""},
      {" LD GR1", "第２オペランドが正しくありません。"},
      {" LD A,B", "第１オペランドは汎用レジスタ名でなければなりません。"},
      {" LD GR1,A,GR0", "第３オペランドは指標レジスタ名でなければなりません。"},
      {" JUMP", "第１オペランドが正しくありません。"},
      {" JUMP X,GR0", "第２オペランドは指標レジスタ名でなければなりません。"},
      {" JUMP GR1", "予約語(GR0～GR7)はラベルに使用できません。"},
      {" IN BUF", "オペランドにはラベルしか書けません。"},
      {" IN BUF,LEN,GR1", "この命令には第３オペランドはありません。"},
      {" OUT BUF,GR1", "予約語(GR0～GR7)はラベルに使用できません。"},
      {" DS 65535", ""},
      {" DS 65536", "オペランドが65535を超えています。"},  // and it does not fit (below)
      {" DS -1", "領域の語数は負であってはなりません。"},
      {" DS #10", ""},
      {" DS 1,2", "この命令には第２オペランドはありません。"},
      {" DC 1,'',2", "文字定数の文字数は0であってはなりません。"},
      {" DC", ""},
      {" POP GR0", ""},
      {" POP", "オペランドには汎用レジスタしか書けません。"},
      {" POP GR1,GR2", "この命令には第２オペランドはありません。"},
      {" RET 1", "この命令にはオペランドはありません。"},
      {" RPUSH 1", "このマクロ命令にはオペランドがあってはなりません。"},
      {"GR3 NOP", "予約語(GR0～GR7)はラベルに使用できません。"},
      {" FOO", "命令部にCASLIIにない命令があります。"},
      {"LBL", "命令部が存在しません。"},
      {"X START", "START - END が対応していません。"},
  };
  for (const Case& c : cases) {
    // Inside a program, followed by its END; a label X keeps the END happy.
    std::string src = "MAIN START\n" + std::string(c.line) + "\nX DS 0\n END\n";
    auto r = AsmText(src, false);
    std::vector<std::string> want = {};
    if (c.error[0]) want.push_back(std::string(" (  2) : Error  ") + c.error);
    std::vector<std::string> got = r->Errors();
    if (std::string(c.line) == " DS 65536")
      want.push_back(" (  2) : Error  プログラムが大きすぎてメモリに格納できません。");
    if (std::string(c.line) == "X START") {
      // X is defined twice in the program (the START label and X DS 0)
      got.erase(std::remove_if(got.begin(), got.end(),
                               [](const std::string& s) { return s.find("ラベル(X)") != std::string::npos; }),
                got.end());
    }
    EXPECT_EQ(got, want) << c.line;
  }
}

TEST(CheckLine, StartEndShape) {
  auto r = AsmText(" LD GR1,A\nA START\n END\nB START\n LD GR1,A\n END\n END\n", false);
  EXPECT_EQ(r->Errors(), (std::vector<std::string>{
                             " (  1) : Error  START命令から始まっていません。",
                             " (  7) : Error  START - END が対になっていません。",
                         }));
  auto s = AsmText("A START B,C\n END\nC START 1\n END\n START\n END X\n", false);
  EXPECT_EQ(s->Errors(), (std::vector<std::string>{
                             " (  1) : Error  オペランド部には実行開始番地を表すラベルしか書けません。",
                             " (  3) : Error  オペランド部のラベルが英大文字で始まっていません。",
                             " (  5) : Error  START命令にはラベルを書かなければなりません。",
                             " (  6) : Error  END命令にラベルまたはオペランドがあってはなりません。",
                             " (   ) : Error  START命令のラベル(B)が参照できません。",
                         }));
}

// ---------------------------------------------------------------- generation

TEST(Generate, InstructionWords) {
  struct Case {
    const char* line;
    const char* words;
  } cases[] = {
      {" LD GR1,ADR,GR2", "1012 0002"},
      {" LD GR3,GR4", "1434"},
      {" LAD GR0,-1", "1200 FFFF"},
      {" ADDA GR1,#8000", "2010 8000"},
      {" JUMP 5,GR7", "6407 0005"},
      {" SVC 2", "F000 0002"},
      {" RET", "8100"},
      {" NOP", "0000"},
      {" POP GR7", "7170"},
      {" LD GR1,65537", "1010 0001"},
      {" LD GR1,#12345", "1010 2345"},
      {" CPL GR7,GR1", "4571"},
      {" DC 'AB',3,#FFFF,-", "0041 0042 0003 FFFF 0000"},
      {" DC 'ｱ'", "FFB1"},
      {" DC 'あ'", "FF82 FFA0"},
      {" RPUSH", "7001 0000 7002 0000 7003 0000 7004 0000 7005 0000 7006 0000 7007 0000"},
      {" RPOP", "7170 7160 7150 7140 7130 7120 7110"},
      {" SLA GR2,-32768", "5020 8000"},
  };
  for (const Case& c : cases) {
    auto r = AsmText("MAIN START\n" + std::string(c.line) + "\nADR RET\n END\n", false);
    std::string want = c.words;
    int count = static_cast<int>((want.size() + 1) / 5);
    EXPECT_EQ(Words(*r->as, 0, count), want) << c.line;
    EXPECT_EQ(r->as->errorCount, 0) << c.line;
  }
}

TEST(Generate, MacroInWithReferences) {
  auto r = AsmText("MAIN START\n DS 32\n IN BUF,LEN\n RET\nBUF DS 80\nLEN DS 1\n END\n", false);
  EXPECT_EQ(Words(*r->as, 0x20, 12), "7001 0000 7002 0000 1210 002D 1220 007D F000 0001 7120 7110");
  ASSERT_EQ(r->as->referenceTable.size(), 2u);
  EXPECT_EQ(r->as->referenceTable[0].address, 0x25);
  EXPECT_EQ(r->as->referenceTable[1].address, 0x27);
}

TEST(Generate, DcDataAddressesAndReference) {
  auto r = AsmText("MAIN START\n DS 16\n DC 'AB',3,#FFFF,LBL\nLBL RET\n END\n", false);
  EXPECT_EQ(Words(*r->as, 0x10, 5), "0041 0042 0003 FFFF 0015");
  std::vector<Word> data(r->as->dataAddressList.begin() + 16, r->as->dataAddressList.end());
  EXPECT_EQ(data, (std::vector<Word>{0x10, 0x12, 0x13, 0x14}));
}

TEST(Generate, LiteralsStoredOncePerTextAndProgram) {
  auto r = AsmText(
      "A START\n LD GR1,=1\n LD GR2,=1\n LD GR3,=#0001\n LD GR4,=1\n LD GR5,='A''B'\n END\n"
      "B START\n LD GR1,=1\n END\n",
      false);
  Assembler& a = *r->as;
  EXPECT_EQ(a.errorCount, 0);
  // A: 10 words, then =1 at 000A, =#0001 at 000B, 'A''B' at 000C..000E
  EXPECT_EQ(Words(a, 0, 10), "1010 000A 1020 000A 1030 000B 1040 000A 1050 000C");
  EXPECT_EQ(Words(a, 10, 5), "0001 0001 0041 0027 0042");
  // B's own =1 after its instruction
  EXPECT_EQ(Words(a, 15, 3), "1010 0011 0001");
  ASSERT_EQ(a.fileLiterals.size(), 6u);
  EXPECT_EQ(a.fileLiterals[1].first, 0);
  EXPECT_EQ(a.fileLiterals[5].programNumber, 2);
  std::vector<Word> data = a.dataAddressList;
  EXPECT_EQ(data, (std::vector<Word>{10, 11, 12, 13, 14, 17}));
}

TEST(Generate, CapacityOfTheImage) {
  // The last word of the program at FFFC: two literal words fit, the third does not.
  auto r = AsmText("MAIN START\n DS 65526\n LD GR1,=1\n LD GR2,=2\n LD GR3,=3\n END\n", false);
  EXPECT_EQ(r->Errors(), std::vector<std::string>{});
  auto s = AsmText("MAIN START\n DS 65527\n LD GR1,=1\n LD GR2,=2\n LD GR3,=3\n END\n", false);
  EXPECT_EQ(s->as->codeImage[0xFFFD], 1);
  EXPECT_EQ(s->as->codeImage[0xFFFE], 2);
  EXPECT_EQ(s->Errors(), std::vector<std::string>{" (   ) : Error  プログラムが大きすぎてメモリに格納できません。"});
  auto t = AsmText("MAIN START\n DS 65534\n LD GR1,A\n DC 1,2\n DS 2\nA DS 0\n END\n", false);
  EXPECT_EQ(t->Errors(), (std::vector<std::string>{
                             " (  3) : Error  プログラムが大きすぎてメモリに格納できません。",
                             " (  4) : Error  プログラムが大きすぎてメモリに格納できません。",
                             " (  5) : Error  プログラムが大きすぎてメモリに格納できません。",
                         }));
  EXPECT_EQ(t->as->locationCounter, 65535);
}

// ---------------------------------------------------------------- symbols

TEST(Symbols, ProgramsEntriesAndExternals) {
  auto r = AsmText(
      "MAIN START BEGIN\n JUMP MAIN\n DS 1\nBEGIN CALL SUB\n CALL EXT\n DC EXT\nL RET\n END\n"
      "SUB START\n JUMP L\nL RET\n END\n",
      false);
  Assembler& a = *r->as;
  EXPECT_EQ(a.errorCount, 0);
  EXPECT_EQ(Words(a, 0, 2), "6400 0000");  // JUMP MAIN: the START location
  EXPECT_EQ(a.symbolTable[0].address, 3);  // MAIN's entry: BEGIN
  EXPECT_EQ(Words(a, 3, 2), "8000 0009");  // CALL SUB: SUB's entry address
  EXPECT_EQ(Words(a, 9, 2), "6400 000B");  // SUB's own L, not MAIN's
  std::vector<int> states;
  for (const SRefTbl& ref : a.referenceTable) states.push_back(ref.state);
  EXPECT_EQ(states, (std::vector<int>{RefLocal, RefOtherProgram, RefExternal, RefExternal, RefLocal}));
}

TEST(Symbols, DuplicateAndCrossProgramDiagnosticsInOrder) {
  auto r = AsmText(
      "MAIN START\nX NOP\nY NOP\nX NOP\nX NOP\nY NOP\n END\n NOP\n"
      "MAIN START\n JUMP LOOP\n END\nS START\nLOOP NOP\n END\nMAIN START\n END\n",
      false);
  EXPECT_EQ(r->Errors(), (std::vector<std::string>{
                             " (   ) : Error  ラベル(X)が重複しています。",
                             " (   ) : Error  ラベル(X)が重複しています。",
                             " (   ) : Error  ラベル(Y)が重複しています。",
                             " (   ) : Error  ラベル(X)が重複しています。",
                             " (   ) : Error  START命令のラベル(MAIN)が重複しています。",
                             " (   ) : Error  START命令のラベル(MAIN)が重複しています。",
                             " (   ) : Error  外部参照ラベル(LOOP)はSTART命令のラベルでなければなりません。",
                         }));
}

TEST(Symbols, MissingEndAndEmptyFile) {
  auto r = AsmText("", false);
  EXPECT_EQ(r->Errors(), std::vector<std::string>{" (   ) : Error  END文で終了していません。"});
  auto s = AsmText("MAIN START\n NOP\n", false);
  EXPECT_EQ(s->Errors(), (std::vector<std::string>{
                             " (   ) : Error  END文で終了していません。",
                             " (   ) : Error  START - END が対になっていません。（STARTが重複しています。）",
                         }));
  auto t = AsmText("MAIN START\n END\n; done\n", false);
  EXPECT_EQ(t->Errors(), std::vector<std::string>{});
}

TEST(Symbols, ManyLabelsAndDuplicatesStayLinear) {
  // 100,000 distinct labels, then one label defined 50,000 times: the pairwise
  // report count (1,249,975,000) must come from counting, not from pairs.
  std::string src = "MAIN START\n";
  for (int i = 0; i < 100000; ++i) src.append("L").append(std::to_string(i)).append(" DS 0\n");
  for (int i = 0; i < 50000; ++i) src += "D DS 0\n";
  src += " END\n";
  auto start = std::chrono::steady_clock::now();
  auto r = AsmText(src, true);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);
  EXPECT_EQ(r->as->errorCount, 1249975000LL);
  EXPECT_EQ(r->Errors().size(), 20u);
  EXPECT_NE(r->listing.find("      Too Many Errors\n"), std::string::npos);
}

// ---------------------------------------------------------------- driver

TEST(Driver, TwentyErrorsAndMore) {
  std::string src = "MAIN START\n";
  for (int i = 0; i < 20; ++i) src += " FOO\n";
  src += " END\n";
  auto r = AsmText(src, true);
  EXPECT_EQ(r->Errors().size(), 20u);
  EXPECT_NE(r->listing.find("\n     20 Errors\n"), std::string::npos);
  auto s = AsmText("MAIN START\n FOO\n" + src.substr(11), true);
  EXPECT_EQ(s->Errors().size(), 20u);
  EXPECT_EQ(s->as->errorCount, 21);
  EXPECT_NE(s->listing.find("\n      Too Many Errors\n"), std::string::npos);
  // A line that breaks two rules yields two lines with the same number.
  auto t = AsmText("MAIN START\nA$B\n END\n", false);
  EXPECT_EQ(t->Errors(), (std::vector<std::string>{" (  2) : Error  ラベルに英数字以外の文字があります。",
                                                   " (  2) : Error  命令部が存在しません。"}));
}

// Each diagnostic about a source comes from the smallest source that shows
// its fault, with its code, the field it marks (byte column and length in the
// assembler's line, -1 for the whole line) and its message line unchanged.
TEST(Diagnostics, EachCodeComesFromItsFaultAndMarksItsField) {
  struct Case {
    DiagCode code;
    const char* source;  // UTF-8
    int line;
    int column, length;
    const char* text;  // the message line
    const char* subject = "";
  };
  // The diagnostic of the case's code is checked (a fault may bring others).
  const Case cases[] = {
      // Reading the fields.
      {DiagCode::BlankLine, "P START\n\n RET\n END\n", 2, -1, 0, " (  2) : Error  空白行は認められません。"},
      {DiagCode::LabelNotLetterFirst, "P START\n1A NOP\n END\n", 2, 0, 2,
       " (  2) : Error  ラベルの１文字目が英大文字でありません。"},
      {DiagCode::LabelBadCharacter, "P START\nA$ NOP\n END\n", 2, 0, 2,
       " (  2) : Error  ラベルに英数字以外の文字があります。"},
      {DiagCode::LabelTooLong, "P START\nABCDEFGHI NOP\n END\n", 2, 0, 9,
       " (  2) : Error  ラベルが８文字を超えています。"},
      {DiagCode::MnemonicUnknown, "P START\n Ld GR1,A\n END\n", 2, 1, 2,
       " (  2) : Error  CASLIIにない命令があります。"},
      {DiagCode::Operand1BadCharacter, "P START\n LD G$,A\n END\n", 2, 4, 2,
       " (  2) : Error  第１オペランドに不正な文字があります。"},
      {DiagCode::Operand2BadCharacter, "P START\n LD GR1,12A\n END\n", 2, 8, 3,
       " (  2) : Error  第２オペランドに不正な文字があります。"},
      {DiagCode::HashOnly, "P START\n LD GR1,#\n END\n", 2, 8, 1, " (  2) : Error  #だけになっています。"},
      {DiagCode::OperandLabelTooLong, "P START\n LD GR1,LONGLABEL\n END\n", 2, 8, 9,
       " (  2) : Error  オペランド部のラベルが８文字を超えています。"},
      {DiagCode::QuoteNotClosed, "P START\n LD GR1,='AB\n END\n", 2, 8, 4, " (  2) : Error   ' が閉じていません。"},
      {DiagCode::LiteralStringEmpty, "P START\n LD GR1,=''\n END\n", 2, 8, 3,
       " (  2) : Error  文字定数の文字数は0ではいけません。"},
      {DiagCode::ExtraCharacters, "P START\n PUSH ='A'B\n END\n", 2, 6, 5, " (  2) : Error  不必要な文字があります。"},
      {DiagCode::OperandInvalid, "P START\n LD GR1,\n END\n", 2, 8, 0,
       " (  2) : Error  オペランドが正しくありません。"},
      {DiagCode::Operand3Invalid, "P START\n LD GR1,A,GR12\n END\n", 2, 10, 4,
       " (  2) : Error  第３オペランドが正しくありません。"},
      {DiagCode::OperandLabelBadCharacter, "P START\n DC 1,A$\n END\n", 2, 6, 2,
       " (  2) : Error  オペランド部のラベルに英数字以外の文字があります。"},
      {DiagCode::QuoteMissing, "P START\n DC 'AB\n END\n", 2, 4, 3, " (  2) : Error   ' がありません。"},
      // The operand rules.
      {DiagCode::InstructionMissing, "P START\nLBL\n END\n", 2, 0, 3, " (  2) : Error  命令部が存在しません。"},
      {DiagCode::ReservedLabel, "P START\nGR1 NOP\n END\n", 2, 0, 3,
       " (  2) : Error  予約語(GR0～GR7)はラベルに使用できません。"},
      {DiagCode::ReservedLabel, "P START\n JUMP GR1\n END\n", 2, 6, 3,
       " (  2) : Error  予約語(GR0～GR7)はラベルに使用できません。"},
      {DiagCode::StartNotFirst, " NOP\n END\n", 1, 1, 3, " (  1) : Error  START命令から始まっていません。"},
      {DiagCode::InstructionUnknown, "P START\n FOO\n END\n", 2, 1, 3,
       " (  2) : Error  命令部にCASLIIにない命令があります。"},
      {DiagCode::Operand1NotRegister, "P START\n LD A,B\n END\n", 2, 4, 1,
       " (  2) : Error  第１オペランドは汎用レジスタ名でなければなりません。"},
      {DiagCode::Operand3NotIndexRegister, "P START\n LD GR1,A,GR0\n END\n", 2, 10, 3,
       " (  2) : Error  第３オペランドは指標レジスタ名でなければなりません。"},
      {DiagCode::Operand2Wrong, "P START\n LD GR1\n END\n", 2, -1, 0,
       " (  2) : Error  第２オペランドが正しくありません。"},
      {DiagCode::Operand2NotIndexRegister, "P START\n JUMP A,B\n END\n", 2, 8, 1,
       " (  2) : Error  第２オペランドは指標レジスタ名でなければなりません。"},
      {DiagCode::Operand1Wrong, "P START\n JUMP\n END\n", 2, -1, 0,
       " (  2) : Error  第１オペランドが正しくありません。"},
      {DiagCode::NoOperand3Allowed, "P START\n JUMP A,GR1,GR2\n END\n", 2, 12, 3,
       " (  2) : Error  この命令には第３オペランドはありません。"},
      {DiagCode::StartEndMismatch, "P START\nQ START\n END\n", 2, 2, 5,
       " (  2) : Error  START - END が対応していません。"},
      {DiagCode::StartWithoutLabel, " START\n END\n", 1, 1, 5,
       " (  1) : Error  START命令にはラベルを書かなければなりません。"},
      {DiagCode::StartOperandNotLetter, "P START 1\n END\n", 1, 8, 1,
       " (  1) : Error  オペランド部のラベルが英大文字で始まっていません。"},
      {DiagCode::StartOperandNotLabel, "P START A,B\n END\n", 1, 8, 3,
       " (  1) : Error  オペランド部には実行開始番地を表すラベルしか書けません。"},
      {DiagCode::EndWithoutStart, "P START\n END\n END\n", 3, 1, 3,
       " (  3) : Error  START - END が対になっていません。"},
      {DiagCode::EndWithFields, "P START\n END A\n", 2, -1, 0,
       " (  2) : Error  END命令にラベルまたはオペランドがあってはなりません。"},
      {DiagCode::InOutLabelsOnly, "P START\n IN 1,A\n END\n", 2, 4, 3,
       " (  2) : Error  オペランドにはラベルしか書けません。"},
      {DiagCode::MacroWithOperands, "P START\n RPUSH A\n END\n", 2, 7, 1,
       " (  2) : Error  このマクロ命令にはオペランドがあってはなりません。"},
      {DiagCode::DsOver65535, "P START\n DS 70000\n END\n", 2, 4, 5,
       " (  2) : Error  オペランドが65535を超えています。"},
      {DiagCode::DsNegative, "P START\n DS -1\n END\n", 2, 4, 2,
       " (  2) : Error  領域の語数は負であってはなりません。"},
      {DiagCode::NoOperand2Allowed, "P START\n DS 1,2\n END\n", 2, 6, 1,
       " (  2) : Error  この命令には第２オペランドはありません。"},
      {DiagCode::DcStringEmpty, "P START\n DC 1,''\n END\n", 2, 6, 2,
       " (  2) : Error  文字定数の文字数は0であってはなりません。"},
      {DiagCode::RegisterOnly, "P START\n POP A\n END\n", 2, 5, 1,
       " (  2) : Error  オペランドには汎用レジスタしか書けません。"},
      {DiagCode::NoOperandsAllowed, "P START\n RET A\n END\n", 2, 5, 1,
       " (  2) : Error  この命令にはオペランドはありません。"},
      // The program as a whole: these name no line but the label they are about.
      {DiagCode::ProgramTooLarge, "P START\n DS 65535\n NOP\n END\n", 3, -1, 0,
       " (  3) : Error  プログラムが大きすぎてメモリに格納できません。"},
      {DiagCode::LabelDuplicated, "P START\nA NOP\nA NOP\n END\n", 0, -1, 0,
       " (   ) : Error  ラベル(A)が重複しています。", "A"},
      {DiagCode::EndMissing, "P START\n NOP\n", 0, -1, 0, " (   ) : Error  END文で終了していません。"},
      {DiagCode::StartDuplicated, "P START\n END\nQ START\n", 0, -1, 0,
       " (   ) : Error  START - END が対になっていません。（STARTが重複しています。）"},
      {DiagCode::StartLabelDuplicated, "P START\n RET\n END\nP START\n RET\n END\n", 0, -1, 0,
       " (   ) : Error  START命令のラベル(P)が重複しています。", "P"},
      {DiagCode::StartEntryUnknown, "P START Q\n RET\n END\n", 0, -1, 0,
       " (   ) : Error  START命令のラベル(Q)が参照できません。", "Q"},
      {DiagCode::ExternalNotStartLabel, "P START\n CALL X\n RET\n END\nQ START\nX RET\n END\n", 0, -1, 0,
       " (   ) : Error  外部参照ラベル(X)はSTART命令のラベルでなければなりません。", "X"},
      // The characters of the source.
      {DiagCode::LoneCarriageReturn, "P START\n RET\rX\n END\n", 2, -1, 0,
       " (  2) : Warning  行の途中にCR(復帰)だけの改行があります。そこから行末まではアセンブルされません。"},
      {DiagCode::CharacterNotCp932, "P START\n DC '\xF0\x9F\x98\x80'\n RET\n END\n", 2, -1, 0,
       " (  2) : Error  Shift-JIS(CP932)で表せない文字があります。"},
  };
  std::set<DiagCode> seen;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(CodeId(c.code)) + " " + c.source);
    RecordingSink sink;
    Assembler a(sink);
    a.AssembleFileBytes(c.source, nullptr);  // the bytes of a file: UTF-8 read as such
    std::size_t k = 0;
    while (k < sink.records.size() && sink.records[k].code != c.code) ++k;
    ASSERT_LT(k, sink.records.size()) << (sink.lines.size() > 1 ? sink.lines[1] : "");
    const Diagnostic& d = sink.records[k];
    EXPECT_EQ(d.line, c.line);
    EXPECT_EQ(d.column, c.column);
    EXPECT_EQ(d.length, c.length);
    EXPECT_EQ(d.subject, c.subject);
    EXPECT_EQ(sink.lines[k], c.text);
    seen.insert(d.code);
  }
  // Every code about a source's lines is in the table.
  for (int k = 0; k <= static_cast<int>(DiagCode::LineMapUnreadable); ++k) {
    const auto code = static_cast<DiagCode>(k);
    if (ShapeOf(code) != DiagShape::SourceLine || code == DiagCode::NulCharacter) continue;
    EXPECT_TRUE(seen.count(code)) << CodeId(code);
  }
}

// A lone CR or a NUL still ends the line for the assembler, but says so: a
// warning with the line, no error, and the same words as without the rest.
TEST(Driver, LoneCrAndNulAreReportedNotCounted) {
  static constexpr char kSource[] = "P START\n LD GR1,A\r LD GR2,B\n RET\nA DC 1\0 DC 2\nB DC 3\n END\n";
  const std::string src(kSource, sizeof kSource - 1);
  const std::string cut = "P START\n LD GR1,A\n RET\nA DC 1\nB DC 3\n END\n";
  auto r = AsmText(src, true);
  auto twin = AsmText(cut, true);
  EXPECT_EQ(r->Errors(),
            (std::vector<std::string>{
                " (  2) : Warning  行の途中にCR(復帰)だけの改行があります。そこから行末まではアセンブルされません。",
                " (  4) : Warning  行の途中にNUL文字があります。そこから行末まではアセンブルされません。"}));
  ASSERT_EQ(r->sink.records.size(), 2u);
  EXPECT_EQ(r->sink.records[0].severity, Severity::Warning);
  EXPECT_EQ(r->sink.records[0].line, 2);
  EXPECT_EQ(r->sink.records[1].line, 4);
  EXPECT_EQ(r->as->errorCount, 0);
  EXPECT_TRUE(r->as->errorList.empty());
  EXPECT_EQ(Words(*r->as, 0, 6), Words(*twin->as, 0, 6));
  EXPECT_EQ(r->as->locationCounter, twin->as->locationCounter);
  EXPECT_EQ(r->listing.find("Warning"), std::string::npos);
  EXPECT_NE(r->listing.find("\n      0 Errors\n"), std::string::npos) << r->Listing();
  // CR LF is a line end like LF: no warning.
  EXPECT_TRUE(AsmText("P START\r\n RET\r\n END\r\n", false)->Errors().empty());
}

TEST(Driver, BadBytesNeverCrash) {
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage.push_back(static_cast<char>((i * 7919 + (i >> 3)) & 0xFF));
  auto r = AsmText("", false);  // warm-up for the converter
  RecordingSink sink;
  Assembler a(sink);
  std::string listing;
  a.AssembleText(garbage, &listing);
  EXPECT_GT(a.errorCount, 0);
  EXPECT_FALSE(listing.empty());
}

class DriverFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tolvane_asm_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  static std::string Read(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  fs::path dir_;
};

TEST_F(DriverFiles, SuccessWritesObjectAndListing) {
  std::string p = Write("prog.cas", "MAIN START\r\n LD GR1,=5\r\n RET\r\n END");
  RecordingSink sink;
  EXPECT_EQ(Assemble(p, BuildOptions{}, sink), 1);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"Assemble[" + p + "]", "   0 Errors"}));
  std::string obj = Read((dir_ / "prog.obj").string());
  BinaryReader rd;
  rd.SetBytes(reinterpret_cast<const std::uint8_t*>(obj.data()), obj.size());
  std::string name;
  ASSERT_TRUE(rd.GetString(name, 4096));
  EXPECT_EQ(name, (dir_ / "prog.obj").string());
  std::string lst = Read((dir_ / "prog.lst").string());
  EXPECT_NE(lst.find("        0003: 0005              =5\tDC\t5\n"), std::string::npos) << lst;
}

// Every line goes out as a record about the source (as the assembler was given
// it, whatever its name holds) whose text is the line itself.
TEST_F(DriverFiles, EveryLineIsARecordAboutItsSource) {
  struct Case {
    const char* what;
    const char* source;
    struct Expected {
      std::int32_t line;
      Severity severity;
      const char* text;  // UTF-8; "Assemble[" lines are checked by their path
    };
    std::vector<Expected> records;
  };
  const Case cases[] = {
      {"clean", "MAIN START\n RET\n END\n", {{0, Severity::Info, nullptr}, {0, Severity::Info, "   0 Errors"}}},
      {"errors with and without a line",
       "MAIN START\n FOO\n\n RET\n",
       {{0, Severity::Info, nullptr},
        {2, Severity::Error, " (  2) : Error  命令部にCASLIIにない命令があります。"},
        {3, Severity::Error, " (  3) : Error  空白行は認められません。"},
        {0, Severity::Error, " (   ) : Error  END文で終了していません。"},
        {0, Severity::Error, " (   ) : Error  START - END が対になっていません。（STARTが重複しています。）"},
        {0, Severity::Info, "   4 Errors"}}},
  };
  // A name that reads like a message line and holds a character CP932 has not.
  const std::string name = "a (1) : Error  [x]\xE3\x80\x9C.cas";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string p = Write(name, c.source);
    RecordingSink sink;
    Assemble(p, BuildOptions{}, sink);
    ASSERT_EQ(sink.records.size(), c.records.size());
    ASSERT_EQ(sink.lines.size(), sink.records.size());
    for (std::size_t i = 0; i < c.records.size(); ++i) {
      const Diagnostic& got = sink.records[i];
      EXPECT_EQ(got.file, p);
      EXPECT_EQ(got.line, c.records[i].line) << i;
      EXPECT_EQ(got.severity, c.records[i].severity) << i;
      EXPECT_EQ(Cp932ToUtf8(MessageLine(got)), sink.lines[i]);
      EXPECT_EQ(sink.lines[i], c.records[i].text ? std::string(c.records[i].text) : Cp932ToUtf8("Assemble[" + p + "]"));
    }
  }
  // A file error is about the source too; past twenty errors the closing line
  // is still only a summary.
  RecordingSink sink;
  const std::string missing = (dir_ / "gone.cas").string();
  Assemble(missing, BuildOptions{}, sink);
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].file, missing);
  EXPECT_EQ(sink.records[1].severity, Severity::Error);
  std::string many = "MAIN START\n";
  for (int i = 0; i < 25; ++i) many += " FOO\n";
  sink.records.clear();
  Assemble(Write("many.cas", many + " RET\n END\n"), BuildOptions{}, sink);
  ASSERT_EQ(sink.records.size(), 22u);
  EXPECT_EQ(sink.records[20].line, 21);
  EXPECT_EQ(MessageLine(sink.records[21]), "      Too Many Errors");
  EXPECT_EQ(sink.records[21].severity, Severity::Info);
}

TEST_F(DriverFiles, ListingOffLeavesOldListing) {
  std::string p = Write("p.cas", "MAIN START\n END\n");
  Write("p.lst", "old");
  RecordingSink sink;
  BuildOptions o;
  o.listing = 0;
  EXPECT_EQ(Assemble(p, o, sink), 1);
  EXPECT_EQ(Read((dir_ / "p.lst").string()), "old");
}

TEST_F(DriverFiles, ErrorsWriteNoObject) {
  std::string p = Write("e.cas", "MAIN START\n FOO\n END\n");
  RecordingSink sink;
  EXPECT_EQ(Assemble(p, BuildOptions{}, sink), 0);
  EXPECT_FALSE(fs::exists(dir_ / "e.obj"));
  EXPECT_TRUE(fs::exists(dir_ / "e.lst"));
  EXPECT_EQ(sink.lines.back(), "   1 Errors");
}

TEST_F(DriverFiles, FilesThatCannotBeRead) {
  RecordingSink sink;
  std::string missing = (dir_ / "none.cas").string();
  EXPECT_EQ(Assemble(missing, BuildOptions{}, sink), 0);
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{"Assemble[" + missing + "]", " Error:  " + missing + "がオープンできません。"}));
  sink.lines.clear();
  fs::create_directories(dir_ / "d.cas");
  std::string d = (dir_ / "d.cas").string();
  EXPECT_EQ(Assemble(d, BuildOptions{}, sink), 0);
  EXPECT_EQ(sink.lines.back(), " Error:  " + d + "がオープンできません。");
  if (::geteuid() != 0) {  // root reads anything
    sink.lines.clear();
    std::string u = Write("u.cas", "MAIN START\n END\n");
    fs::permissions(u, fs::perms::none);
    EXPECT_EQ(Assemble(u, BuildOptions{}, sink), 0);
    EXPECT_EQ(sink.lines.back(), " Error:  " + u + "がオープンできません。");
  }
}

TEST_F(DriverFiles, ListingThatCannotBeWritten) {
  std::string p = Write("q.cas", "MAIN START\n END\n");
  fs::create_directories(dir_ / "q.lst");  // a directory where the listing goes: named as a folder
  RecordingSink sink;
  EXPECT_EQ(Assemble(p, BuildOptions{}, sink), 0);
  std::string lst = (dir_ / "q.lst").string();
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{"Assemble[" + p + "]", " Error:  " + lst + "はフォルダのため書き込めません。"}));
  EXPECT_FALSE(fs::exists(dir_ / "q.obj"));
}

TEST_F(DriverFiles, ObjectThatCannotBeWritten) {
  std::string p = Write("o.cas", "MAIN START\n END\n");
  fs::create_directories(dir_ / "o.obj");
  RecordingSink sink;
  BuildOptions o;
  o.listing = 0;
  EXPECT_EQ(Assemble(p, o, sink), 0);
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{"Assemble[" + p + "]", "   0 Errors",
                                      " Error:  " + (dir_ / "o.obj").string() + "はフォルダのため書き込めません。"}));
}

TEST_F(DriverFiles, SourceNamedLikeItsOutputsIsNotOverwritten) {
  std::string text = "MAIN START\n END\n";
  std::string p = Write("s.lst", text);
  RecordingSink sink;
  EXPECT_EQ(Assemble(p, BuildOptions{}, sink), 0);
  EXPECT_EQ(Read(p), text);
  std::string q = Write("t.obj", text);
  BuildOptions o;
  o.listing = 0;
  EXPECT_EQ(Assemble(q, o, sink), 0);
  EXPECT_EQ(Read(q), text);
}

TEST_F(DriverFiles, LongPath) {
  fs::path deep = dir_;
  for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  fs::create_directories(deep);
  std::string p = (deep / "prog.cas").string();
  ASSERT_GT(p.size(), 300u);
  std::ofstream(p) << "MAIN START\n END\n";
  RecordingSink sink;
  EXPECT_EQ(Assemble(p, BuildOptions{}, sink), 1);
  std::string obj = Read((deep / "prog.obj").string());
  EXPECT_EQ(obj.substr(0, p.size() - 3), p.substr(0, p.size() - 3));
}

TEST_F(DriverFiles, TooManyLabelsForTheObjectFormat) {
  std::string src = "MAIN START\n";
  for (int i = 0; i < 70000; ++i) src.append("L").append(std::to_string(i)).append(" DS 0\n");
  src += " RET\n END\n";
  std::string p = Write("big.cas", src);
  RecordingSink sink;
  BuildOptions o;
  o.listing = 0;
  EXPECT_EQ(Assemble(p, o, sink), 0);
  EXPECT_EQ(sink.lines.back(), " Error:  " + (dir_ / "big.obj").string() + "の表の項目数が65535を超えています。");
}

}  // namespace

#include "link/ObjectFile.h"

namespace {

// The object file as the linker's reader sees it matches the assembler's tables.
TEST_F(DriverFiles, ObjectFileReadsBackThroughTheLinkerReader) {
  std::string src = Read(std::string(TOLVANE_SOURCE_DIR) + "/examples/decimal.cas");
  std::string p = Write("decimal.cas", src);
  RecordingSink sink;
  ASSERT_EQ(Assemble(p, BuildOptions{}, sink), 1);
  ObjectFile obj;
  ASSERT_TRUE(ReadObjectFile((dir_ / "decimal.obj").string(), obj, sink));

  RecordingSink sink2;
  Assembler a(sink2);
  a.AssembleText(src, nullptr);
  EXPECT_EQ(obj.fileName, (dir_ / "decimal.obj").string());
  ASSERT_EQ(obj.code.size(), static_cast<std::size_t>(a.locationCounter));
  for (std::size_t i = 0; i < obj.code.size(); ++i) EXPECT_EQ(obj.code[i], a.codeImage[i]) << i;
  EXPECT_EQ(obj.entries, (std::vector<SymbolRecord>{{"MAIN", 0}, {"PRTDEC", 0x0F}}));
  EXPECT_TRUE(obj.externals.empty());
  EXPECT_EQ(obj.relocations.size(), a.referenceTable.size() + a.fileLiterals.size());
  EXPECT_EQ(obj.dataAddresses, a.dataAddressList);
  // labels, then one row per distinct literal of each program
  EXPECT_EQ(obj.labels.front(), (SymbolRecord{"MAIN", 0}));
  EXPECT_EQ(obj.labels[a.symbolTable.size()], (SymbolRecord{"=1234", 0x0D}));
  EXPECT_EQ(obj.labels.back(), (SymbolRecord{"=5", 0x78}));
}

}  // namespace

namespace {

// ---------------------------------------------------------------- UTF-8 sources

// A UTF-8 source (with or without a mark) assembles to the words, listing and
// diagnostics of its CP932 twin; a character CP932 cannot hold is refused
// where it would change the line and passes in a comment.
TEST(Utf8Source, AssemblesLikeItsCp932Twin) {
  const std::string utf8 =
      "PROG\tSTART\t; \xE6\x8C\xA8\xE6\x8B\xB6\r\n"  // "挨拶"
      "\tOUT\tMSG,LEN\n\tRET\n"
      "MSG\tDC\t'\xE3\x81\x93\xE3\x82\x93'\n"  // "こん"
      "LEN\tDC\t2\n"
      "BAD\tLD\tGR1,\xE3\x81\x82\n"  // "あ" outside a string: the analyser's error
      "\tEND\n";
  std::string cp932;
  ASSERT_TRUE(Utf8ToCp932(utf8, cp932));
  for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8}) {
    RecordingSink twinSink, sink;
    Assembler twin(twinSink), a(sink);
    std::string twinListing, listing;
    twin.AssembleText(cp932, &twinListing);
    a.AssembleFileBytes(bytes, &listing);
    EXPECT_EQ(listing, twinListing);
    EXPECT_EQ(sink.lines, twinSink.lines);
    EXPECT_EQ(a.locationCounter, twin.locationCounter);
    EXPECT_EQ(a.codeImage, twin.codeImage);
    EXPECT_FALSE(sink.lines.empty());  // the twin's own diagnostic for line 6
  }
}

TEST(Utf8Source, CharactersCp932CannotHold) {
  const std::string smile = "\xF0\x9F\x98\x80";
  const struct {
    const char* what;
    std::string line2;
    std::vector<std::string> errors;
  } cases[] = {
      {"in a string constant", " DC '" + smile + "'", {" (  2) : Error  Shift-JIS(CP932)で表せない文字があります。"}},
      {"in a comment", " DC 'A' ; " + smile, {}},
      {"a quoted ';' does not start the comment",
       " DC ';" + smile + "'",
       {" (  2) : Error  Shift-JIS(CP932)で表せない文字があります。"}},
      {"two on one line count once",
       " DC '" + smile + smile + "'",
       {" (  2) : Error  Shift-JIS(CP932)で表せない文字があります。"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingSink sink;
    Assembler a(sink);
    a.AssembleFileBytes("P START\n" + c.line2 + "\n RET\n END\n", nullptr);
    EXPECT_EQ(sink.lines, c.errors);
  }
}

}  // namespace
