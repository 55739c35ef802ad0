// The pieces of a source line for the editor's colours, and the kind of each
// instruction name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "asm/AsmCore.h"
#include "asm/Instructions.h"
#include "asm/LineTokens.h"
#include "common/Cp932.h"

using namespace tolvane;

namespace {

char Code(TokenKind kind) {
  switch (kind) {
    case TokenKind::Label:
      return 'L';
    case TokenKind::Machine:
      return 'M';
    case TokenKind::Directive:
      return 'D';
    case TokenKind::Macro:
      return 'X';
    case TokenKind::Register:
      return 'R';
    case TokenKind::Number:
      return 'N';
    case TokenKind::String:
      return 'S';
    case TokenKind::Literal:
      return 'I';
    case TokenKind::Comment:
      return 'C';
  }
  return '?';
}

// One letter per character: the kind of the token that covers it, '.' for
// none. Also checks that the tokens are in order, apart and inside the line.
std::string Paint(std::string_view line) {
  std::vector<LineToken> tokens;
  ScanLineTokens(line, tokens);
  std::string paint(line.size(), '.');
  std::int32_t end = 0;
  for (const LineToken& t : tokens) {
    EXPECT_GE(t.start, end) << line;
    EXPECT_GT(t.length, 0) << line;
    EXPECT_LE(t.start + t.length, static_cast<std::int32_t>(line.size())) << line;
    end = t.start + t.length;
    for (std::int32_t i = t.start; i < end && i < static_cast<std::int32_t>(line.size()); ++i) paint[i] = Code(t.kind);
  }
  return paint;
}

struct Case {
  const char* line;
  const char* paint;
};

void ExpectPaints(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) EXPECT_EQ(Paint(c->line), c->paint) << "line: " << c->line;
}

}  // namespace

TEST(LineTokens, FieldsFollowTheColumnRules) {
  const Case cases[] = {
      {"MAIN\tSTART", "LLLL.DDDDD"},
      {"\tLD\tGR1,DATA", ".MM.RRR....."},
      // Without a leading blank the first word is the label field.
      {"LD GR1,A", "LL......"},
      {"\tRET\t; done", ".MMM.CCCCCC"},
      {"   ;comment; 'x'", "...CCCCCCCCCCCCC"},
      {"LAB;x", "LLLCC"},
      {"\tRET;x", ".MMMCC"},
      // What follows the operand field is ignored by the assembler.
      {"\tLD\tGR1,GR2 extra words", ".MM.RRR.RRR.CCCCCCCCCCC"},
      {"\tRET  stray", ".MMM......."},
      {"\tRET  stray more", ".MMM........CCCC"},
      {"", ""},
      {" \t ", "..."},
      // Instruction kinds, and names that are none.
      {"\tIN\tBUF,LEN", ".XX........"},
      {"\tRPUSH", ".XXXXX"},
      {"\tDS\t10", ".DD.NN"},
      {" END", ".DDD"},
      {"\tNOP", ".MMM"},
      {"\tFOO\tA", "......"},
      {"\tld\tgr1", "......."},
      {"\tLDX1", "....."},
      {"\tSTARTS", "......."},
      // Labels: eight characters at most, a letter first, no register name.
      {"ABCDEFGH\tNOP", "LLLLLLLL.MMM"},
      {"ABCDEFGHI\tNOP", "..........MMM"},
      {"GR3\tNOP", "....MMM"},
      {"lab\tNOP", "....MMM"},
      {"A-B\tNOP", "....MMM"},
      {"1AB\tNOP", "....MMM"},
  };
  ExpectPaints(std::begin(cases), std::end(cases));
}

TEST(LineTokens, OperandsOfTheGeneralForm) {
  const Case cases[] = {
      {"\tLAD\tGR1,-12", ".MMM.RRR.NNN"},
      {"\tLAD\tGR1,#00FF", ".MMM.RRR.NNNNN"},
      {"\tLAD\tGR1,#12345", ".MMM.RRR.NNNNNN"},  // any number of digits here
      {"\tLAD\tGR1,#ff", ".MMM.RRR...."},
      {"\tLAD\tGR1,#", ".MMM.RRR.."},
      {"\tLAD\tGR1,12A", ".MMM.RRR...."},
      {"\tLAD\tGR1,-", ".MMM.RRR.."},
      {"\tLAD\tGR1,-A", ".MMM.RRR..."},
      {"\tLD\tGR1,A,GR2", ".MM.RRR...RRR"},
      {"\tLD\tGR1,A,GR0", ".MM.RRR...RRR"},
      {"\tLD\tGR1,GR8", ".MM.RRR...."},
      {"\tLD\tGR1,GR12", ".MM.RRR....."},
      {"\tPOP\tGR7", ".MMM.RRR"},
      // A blank after a ',' ends the field: the rest is ignored.
      {"\tLD\tGR1, A", ".MM.RRR..C"},
  };
  ExpectPaints(std::begin(cases), std::end(cases));
}

TEST(LineTokens, LiteralsKeepTheirStringWhole) {
  const Case cases[] = {
      {"\tLD\tGR1,=10", ".MM.RRR.III"},
      {"\tLD\tGR1,=-1", ".MM.RRR.III"},
      {"\tLD\tGR1,=#FFFF", ".MM.RRR.IIIIII"},
      {"\tLD\tGR1,='A''B'", ".MM.RRR.IIIIIII"},
      // ';', ',' and blanks inside the string end nothing.
      {"\tLD\tGR1,='; ,' ;c", ".MM.RRR.IIIIII.CC"},
      // Operand 2 keeps what follows its closing quote.
      {"\tLD\tGR1,='AB'C", ".MM.RRR.IIIIII"},
      {"\tPUSH\t='A',GR1", ".MMMM.IIII.RRR"},
      {"\tLD\tGR1,=X", ".MM.RRR..."},
      {"\tLD\tGR1,=#", ".MM.RRR..."},
      {"\tLD\tGR1,=", ".MM.RRR.."},
      // Unclosed: the string runs to the end of the line, as the assembler reads it.
      {"\tLD\tGR1,='AB ;no", ".MM.RRR.IIIIIIII"},
      // A string where none belongs is still read as one.
      {"\tLD\tGR1,'A;B' ;c", ".MM.RRR.SSSSS.CC"},
  };
  ExpectPaints(std::begin(cases), std::end(cases));
}

TEST(LineTokens, DcOperandList) {
  const Case cases[] = {
      {"\tDC\t'IT''S',#0A,-,5,LABEL", ".DD.SSSSSSS.NNN.N.N......"},
      {"MSG\tDC\t'A B;C'\t;c", "LLL.DD.SSSSSSS.CC"},
      {"\tDC\t#12345,#1234", ".DD........NNNNN"},  // four hexadecimal digits at most here
      {"\tDC\t-5,5X,GR1", ".DD.NN......."},
      {"\tDC\t''", ".DD.SS"},
      {"\tDC\t'open; no comment", ".DD.SSSSSSSSSSSSSSSSS"},
      {"\tDC\t'AB'C,1", ".DD.SSSS..N"},
      {"\tDC\t1, 2", ".DD.N..C"},
      // Only an instruction field of exactly DC reads a list.
      {"\tDS\t'A'", ".DD.SSS"},
  };
  ExpectPaints(std::begin(cases), std::end(cases));
}

TEST(LineTokens, BytesAndUtf16FindTheSameFields) {
  const std::string utf8 = "表\tDC\t'日本;語',#0F ; 注釈";
  std::string bytes;
  ASSERT_TRUE(Utf8ToCp932(utf8, bytes));
  std::vector<LineToken> fromBytes;
  ScanLineTokens(bytes, fromBytes);
  const std::u16string wide = u"表\tDC\t'日本;語',#0F ; 注釈";
  std::vector<LineToken> fromWide;
  ScanLineTokens(wide, fromWide);
  ASSERT_EQ(fromBytes.size(), fromWide.size());
  // No label (表 is no letter), the directive, the string, the number, the comment.
  const TokenKind kinds[] = {TokenKind::Directive, TokenKind::String, TokenKind::Number, TokenKind::Comment};
  ASSERT_EQ(fromWide.size(), std::size(kinds));
  for (std::size_t i = 0; i < fromWide.size(); ++i) {
    EXPECT_EQ(fromBytes[i].kind, kinds[i]);
    EXPECT_EQ(fromWide[i].kind, kinds[i]);
  }
  EXPECT_EQ(fromWide[1], (LineToken{5, 6, TokenKind::String}));
  EXPECT_EQ(fromBytes[1], (LineToken{6, 9, TokenKind::String}));
  EXPECT_EQ(fromWide[3], (LineToken{16, 4, TokenKind::Comment}));
  // The scan replaces what the vector held.
  ScanLineTokens(std::u16string_view(u"\tNOP"), fromWide);
  EXPECT_EQ(fromWide, (std::vector<LineToken>{{1, 3, TokenKind::Machine}}));
}

// Every line the assembler reads without a fault gets the label, instruction
// and register operands the assembler found, at the same text.
TEST(LineTokens, AgreeWithTheAssemblersFields) {
  class Quiet : public MessageSink {
   public:
    void AppendMessageLine(const std::string&) override { ++count; }
    int count = 0;
  };
  std::vector<std::string> lines = {
      "LBL LD GR1,GR2", " LD GR1,GR2,GR3", " LD GR1,GR2 comment", "A1\tADDA\tGR0,='A;B'  ;x",
      " PUSH =1,GR1",   " LD GR1,='AB'C",  " LD GR1,A GR2 X",     "Z\tDC\t'IT''S',#0A,-,5,LABEL",
      "LBL;c",          " OUT\tA,B",       "X START ENTRY",       " SVC #0001,GR7",
  };
  const std::filesystem::path examples = std::filesystem::path(TOLVANE_SOURCE_DIR) / "examples";
  for (const auto& entry : std::filesystem::directory_iterator(examples)) {
    if (entry.path().extension() != ".cas") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    const std::string source = all.str();
    LineReader reader(source);
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
  }
  int compared = 0;
  for (const std::string& text : lines) {
    Quiet sink;
    Assembler a(sink);
    auto fields = std::make_unique<SAsmLine>();
    a.AnalyseLine(*fields, text);
    if (sink.count != 0) continue;
    ++compared;
    std::vector<LineToken> tokens;
    ScanLineTokens(text, tokens);
    auto textOf = [&](const LineToken& t) { return text.substr(t.start, t.length); };
    std::string label, instruction;
    std::vector<std::string> registers;
    for (const LineToken& t : tokens) {
      if (t.kind == TokenKind::Label) label = textOf(t);
      if (t.kind == TokenKind::Machine || t.kind == TokenKind::Directive || t.kind == TokenKind::Macro)
        instruction = textOf(t);
      if (t.kind == TokenKind::Register) registers.push_back(textOf(t));
    }
    EXPECT_EQ(label, fields->label) << text;
    std::string mnemonic = fields->mnemonic;
    if (mnemonic.ends_with("_reg")) mnemonic.resize(mnemonic.size() - 4);
    EXPECT_EQ(instruction, mnemonic) << text;
    std::vector<std::string> expected;
    if (mnemonic != "DC") {
      for (const char* operand : {fields->operand1, fields->operand2, fields->operand3})
        if (IsGeneralRegister(operand)) expected.emplace_back(operand);
    }
    EXPECT_EQ(registers, expected) << text;
  }
  EXPECT_GT(compared, 30);  // the examples were read
}

TEST(Instructions, KindOfEveryName) {
  struct NameKind {
    const char* name;
    InstructionKind kind;
  };
  const NameKind cases[] = {
      {"LD", InstructionKind::Machine},   {"LD_reg", InstructionKind::Machine},  {"SVC", InstructionKind::Machine},
      {"NOP", InstructionKind::Machine},  {"RET", InstructionKind::Machine},     {"POP", InstructionKind::Machine},
      {"JUMP", InstructionKind::Machine}, {"START", InstructionKind::Directive}, {"END", InstructionKind::Directive},
      {"DS", InstructionKind::Directive}, {"DC", InstructionKind::Directive},    {"IN", InstructionKind::Macro},
      {"OUT", InstructionKind::Macro},    {"RPUSH", InstructionKind::Macro},     {"RPOP", InstructionKind::Macro},
  };
  for (const NameKind& c : cases) {
    const InstructionDef* instruction = FindInstruction(c.name);
    ASSERT_NE(instruction, nullptr) << c.name;
    EXPECT_EQ(KindOf(*instruction), c.kind) << c.name;
  }
  EXPECT_EQ(FindInstruction("FOO"), nullptr);
  EXPECT_EQ(FindInstruction("ld"), nullptr);
}
