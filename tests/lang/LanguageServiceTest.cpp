// The language services on small sources whose answers are worked out by
// hand: two programs in one file (a label DATA in each) and a second file
// that calls them by their START labels.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/Cp932.h"
#include "lang/LanguageService.h"

using namespace tolvane;
using namespace tolvane::lang;

namespace {

const char* const kA =
    "MAIN\tSTART\n"            // 0
    "\tLD\tGR1,DATA\n"         // 1
    "\tCALL\tSUB\n"            // 2
    "LOOP\tADDA\tGR1,=1\n"     // 3
    "\tJUMP\tLOOP\t; again\n"  // 4
    "\tOUT\tMSG,LEN\n"         // 5
    "\tRET\n"                  // 6
    "DATA\tDC\t10,-1,#00FF\n"  // 7
    "MSG\tDC\t'A B'\n"         // 8
    "LEN\tDC\t3\n"             // 9
    "\tEND\n"                  // 10
    "SUB\tSTART\n"             // 11
    "DATA\tDS\t1\n"            // 12
    "\tLD\tGR2,DATA\n"         // 13
    "\tRET\n"                  // 14
    "\tEND\n";                 // 15

const char* const kB =
    "OTHER\tSTART\n"  // 0
    "\tCALL\tSUB\n"   // 1
    "\tCALL\tMAIN\n"  // 2
    "\tCALL\tFAR\n"   // 3
    "\tRET\n"         // 4
    "\tEND\n";        // 5

class LanguageServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service.SetDocument("a.cas", kA);
    service.SetDocument("b.cas", kB);
  }
  LanguageService service;
};

std::string Apply(std::string text, std::vector<TextEdit> edits) {
  // Later edits first, so that earlier positions stay valid.
  std::sort(edits.begin(), edits.end(), [](const TextEdit& x, const TextEdit& y) {
    return x.line != y.line ? x.line > y.line : x.span.start > y.span.start;
  });
  for (const TextEdit& e : edits) {
    std::size_t at = 0;
    for (int l = 0; l < e.line; ++l) at = text.find('\n', at) + 1;
    text.replace(at + e.span.start, e.span.length, e.text);
  }
  return text;
}

TEST_F(LanguageServiceTest, DefinitionFollowsProgramsThenStartLabelsAcrossFiles) {
  struct Case {
    const char* doc;
    Position at;
    const char* wantDoc;  // null: no definition
    int wantLine;
  } cases[] = {
      {"a.cas", {1, 8}, "a.cas", 7},                                    // DATA of the first program
      {"a.cas", {1, 12}, "a.cas", 7},                                   // cursor just after the name
      {"a.cas", {13, 8}, "a.cas", 12},                                  // the second program's own DATA
      {"a.cas", {2, 6}, "a.cas", 11},                                   // a START label of the same file
      {"a.cas", {4, 6}, "a.cas", 3},                                    // a label defined before its use
      {"a.cas", {3, 0}, "a.cas", 3},                                    // the definition itself
      {"b.cas", {1, 6}, "a.cas", 11},                                   // an external reference joined to another file
      {"b.cas", {2, 6}, "a.cas", 0},    {"b.cas", {3, 6}, nullptr, 0},  // nowhere: left to the linker
      {"a.cas", {1, 4}, nullptr, 0},                                    // a register
      {"a.cas", {4, 14}, nullptr, 0},                                   // the comment
      {"a.cas", {99, 0}, nullptr, 0},                                   // past the end
      {"none.cas", {0, 0}, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.doc) + ":" + std::to_string(c.at.line) + ":" + std::to_string(c.at.column));
    const auto def = service.Definition(c.doc, c.at);
    if (!c.wantDoc) {
      EXPECT_FALSE(def);
      continue;
    }
    ASSERT_TRUE(def);
    EXPECT_EQ(def->document, c.wantDoc);
    EXPECT_EQ(def->line, c.wantLine);
    EXPECT_EQ(def->span.start, 0);
  }
}

TEST_F(LanguageServiceTest, ReferencesKeepToWhatTheNameResolvesTo) {
  auto lines = [](const std::vector<Location>& locs) {
    std::vector<std::string> out;
    for (const Location& l : locs) out.push_back(l.document + ":" + std::to_string(l.line));
    std::sort(out.begin(), out.end());
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(lines(service.References("a.cas", {7, 0}, true)), (V{"a.cas:1", "a.cas:7"}));
  EXPECT_EQ(lines(service.References("a.cas", {13, 9}, true)), (V{"a.cas:12", "a.cas:13"}));
  EXPECT_EQ(lines(service.References("a.cas", {11, 0}, true)), (V{"a.cas:11", "a.cas:2", "b.cas:1"}));
  EXPECT_EQ(lines(service.References("a.cas", {11, 0}, false)), (V{"a.cas:2", "b.cas:1"}));
  EXPECT_EQ(lines(service.References("b.cas", {3, 6}, true)), (V{"b.cas:3"}));
  const auto refs = service.References("a.cas", {5, 9}, false);  // LEN in "OUT MSG,LEN"
  ASSERT_EQ(refs.size(), 1u);
  EXPECT_EQ(refs[0].span, (Span{9, 3}));
}

TEST_F(LanguageServiceTest, SymbolsArePerProgram) {
  const auto symbols = service.Symbols("a.cas");
  ASSERT_EQ(symbols.size(), 2u);
  EXPECT_EQ(symbols[0].name, "MAIN");
  EXPECT_EQ(symbols[0].endLine, 10);
  std::vector<std::pair<std::string, SymbolKind>> children;
  for (const Symbol& s : symbols[0].children) children.emplace_back(s.name, s.kind);
  EXPECT_EQ(children, (std::vector<std::pair<std::string, SymbolKind>>{{"LOOP", SymbolKind::Code},
                                                                       {"OUT MSG,LEN", SymbolKind::Macro},
                                                                       {"DATA", SymbolKind::Data},
                                                                       {"MSG", SymbolKind::Data},
                                                                       {"LEN", SymbolKind::Data}}));
  EXPECT_EQ(symbols[1].name, "SUB");
  ASSERT_EQ(symbols[1].children.size(), 1u);
  EXPECT_EQ(symbols[1].children[0].kind, SymbolKind::Area);
}

TEST_F(LanguageServiceTest, HoverTexts) {
  struct Case {
    Position at;
    std::vector<std::string> contains;
  } cases[] = {
      {{1, 2}, {Cp932Text(u8"LD（ロード）"), "LD r,adr[,x]", "LD r1,r2", "OF:0"}},
      {{5, 2}, {"OUT", Cp932Text(u8"出力文字長領域")}},
      {{0, 6}, {"START", Cp932Text(u8"プログラムの始まり")}},
      {{1, 4}, {"GR1", Cp932Text(u8"汎用レジスタ")}},
      {{3, 15}, {"=1", "0001"}},
      {{1, 9}, {"DATA\tDC\t10,-1,#00FF", "000A FFFF 00FF"}},
      {{5, 6}, {"MSG\tDC\t'A B'", "0041 0020 0042"}},
      {{13, 9}, {"DATA\tDS\t1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.at.line) + ":" + std::to_string(c.at.column));
    const auto h = service.HoverAt("a.cas", c.at);
    ASSERT_TRUE(h);
    for (const std::string& s : c.contains) EXPECT_NE(h->text.find(s), std::string::npos) << s;
  }
  EXPECT_FALSE(service.HoverAt("a.cas", {4, 14}));  // comment
  const auto far = service.HoverAt("b.cas", {3, 6});
  ASSERT_TRUE(far);
  EXPECT_NE(far->text.find(Cp932Text(u8"外部参照")), std::string::npos);
}

TEST_F(LanguageServiceTest, CompletionByColumn) {
  auto find = [](const std::vector<Completion>& items, const std::string& label) -> const Completion* {
    for (const Completion& c : items)
      if (c.label == label) return &c;
    return nullptr;
  };
  // The operation column: instructions, directives and macros, their operands
  // as placeholders (byte spans of the text).
  const auto ops = service.Complete("a.cas", {6, 2});
  ASSERT_TRUE(find(ops, "LD"));
  struct Insertion {
    const char* label;
    std::string text;
    std::vector<Span> placeholders;
  };
  const Insertion insertions[] = {
      {"LD", "LD\tr,adr", {{3, 1}, {5, 3}}},
      {"JUMP", "JUMP\tadr", {{5, 3}}},
      {"RET", "RET", {}},
      {"OUT", Cp932Text(u8"OUT\t出力領域,出力文字長領域"), {{4, 8}, {13, 14}}},
  };
  for (const Insertion& want : insertions) {
    const Completion* c = find(ops, want.label);
    ASSERT_TRUE(c) << want.label;
    EXPECT_EQ(c->text, want.text) << want.label;
    EXPECT_EQ(c->placeholders, want.placeholders) << want.label;
  }
  EXPECT_EQ(find(ops, "OUT")->kind, CompletionKind::Macro);
  EXPECT_EQ(find(ops, "DC")->kind, CompletionKind::Directive);
  EXPECT_FALSE(find(ops, "LD_reg"));
  // The operand column: registers, this program's labels, START labels anywhere.
  const auto operands = service.Complete("a.cas", {1, 8});
  for (const char* want : {"GR0", "GR7", "DATA", "LOOP", "MSG", "MAIN", "SUB", "OTHER"})
    EXPECT_TRUE(find(operands, want)) << want;
  EXPECT_FALSE(find(operands, "LD"));
  EXPECT_EQ(find(operands, "DATA")->detail, "DATA\tDC\t10,-1,#00FF");
  // Nothing in a comment or the label field.
  EXPECT_TRUE(service.Complete("a.cas", {4, 14}).empty());
  EXPECT_TRUE(service.Complete("a.cas", {3, 2}).empty());
}

TEST_F(LanguageServiceTest, SignatureHelpFollowsTheOperand) {
  const auto s = service.Signature("a.cas", {1, 9});
  ASSERT_TRUE(s);
  EXPECT_EQ(s->forms, (std::vector<std::string>{"LD r,adr[,x]", "LD r1,r2"}));
  EXPECT_EQ(s->parameters[0], (std::vector<std::string>{"r", "adr", "x"}));
  EXPECT_EQ(s->activeParameter, 1);
  EXPECT_EQ(s->activeForm, 0);
  service.SetDocument("c.cas", "\tLD\tGR1,GR2\n\tDC\t'A,B',");
  const auto reg = service.Signature("c.cas", {0, 9});
  ASSERT_TRUE(reg);
  EXPECT_EQ(reg->activeForm, 1);
  const auto dc = service.Signature("c.cas", {1, 10});  // the comma in the string does not count
  ASSERT_TRUE(dc);
  EXPECT_EQ(dc->activeParameter, 1);
  EXPECT_FALSE(service.Signature("a.cas", {1, 2}));  // on the instruction itself
}

TEST_F(LanguageServiceTest, RenameChangesEveryUseOfThatLabelOnly) {
  const RenameResult r = service.Rename("a.cas", {1, 9}, "VALUE");
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.edits.size(), 1u);
  const std::string renamed = Apply(kA, r.edits.at("a.cas"));
  EXPECT_NE(renamed.find("\tLD\tGR1,VALUE\n"), std::string::npos);
  EXPECT_NE(renamed.find("VALUE\tDC\t10"), std::string::npos);
  EXPECT_NE(renamed.find("\tLD\tGR2,DATA\n"), std::string::npos);  // the other program's DATA stays

  const RenameResult across = service.Rename("b.cas", {1, 6}, "SUBR");
  EXPECT_EQ(across.edits.at("a.cas").size(), 2u);
  EXPECT_EQ(across.edits.at("b.cas").size(), 1u);

  for (const char* bad : {"GR1", "loop", "TOOLONGNAME", "1A", "LOOP"}) {
    SCOPED_TRACE(bad);
    const RenameResult refused = service.Rename("a.cas", {1, 9}, bad);
    EXPECT_NE(refused.error, "");
    EXPECT_TRUE(refused.edits.empty());
  }
  EXPECT_NE(service.Rename("a.cas", {1, 4}, "X").error, "");  // a register is no label
}

TEST(LanguageServiceFormat, AlignsFieldsAndKeepsStrings) {
  struct Case {
    const char* line;
    const char* want;  // null: unchanged
  } cases[] = {
      {"LOOP\tADDA\tGR1,=1\t; add", "LOOP    ADDA    GR1,=1                  ; add"},
      {"MSG DC 'A  B;C' ;x", "MSG     DC      'A  B;C'                ;x"},
      {"\tRET", "        RET"},
      {"\tRET ;done", "        RET                             ;done"},
      {"ABCDEFGHI\tRET", "ABCDEFGHI RET"},
      {"; a comment line\t stays", nullptr},
      {"        RET", nullptr},
      {"   ", nullptr},
  };
  // Lines the assembler reads in two pieces of 255 bytes keep their bytes, and
  // so does a line that formatting would make that long.
  const std::string longLine = "A" + std::string(30, '\t') + "DC\t'" + std::string(230, 'x') + "'";
  const std::string nearLimit = "A DC '" + std::string(240, 'x') + "' ;c";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    LanguageService service;
    service.SetDocument("f.cas", c.line);
    const auto edits = service.Format("f.cas", {});
    if (!c.want) {
      EXPECT_TRUE(edits.empty());
      continue;
    }
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(Apply(c.line, edits), c.want);
  }
  for (const std::string& line : {longLine, nearLimit}) {
    LanguageService service;
    service.SetDocument("l.cas", line);
    EXPECT_TRUE(service.Format("l.cas", {}).empty()) << line.size();
  }
  LanguageService service;
  service.SetDocument("w.cas", "A\tLD\tGR1,B ;x");
  EXPECT_EQ(Apply("A\tLD\tGR1,B ;x", service.Format("w.cas", {4, 6, 10})), "A   LD    GR1,B     ;x");
}

TEST(LanguageServiceFormat, FormattedSourceAssemblesAlike) {
  LanguageService service;
  service.SetDocument("a.cas", kA);
  const std::string formatted = Apply(kA, service.Format("a.cas", {}));
  EXPECT_NE(formatted, kA);
  service.SetDocument("f.cas", formatted);
  EXPECT_TRUE(service.Diagnostics("a.cas").empty());
  EXPECT_TRUE(service.Diagnostics("f.cas").empty());
}

TEST(LanguageServiceDiagnostics, AssemblerRecordsOnEditorLinesAndFields) {
  struct Want {
    int line;
    Span span;  // the field marked on the editor's line
    DiagCode code;
    int assemblerLine;
    const char8_t* message;
  };
  const struct {
    const char* what;
    std::string source;
    std::vector<Want> want;
  } cases[] = {
      // A 300-byte comment is two lines to the assembler; its messages still
      // land on the editor's lines, and the field on the second piece of the
      // line is found where it stands in the editor's line.
      {"long line",
       "MAIN\tSTART\n;" + std::string(299, 'x') + "\n\tld\tGR1,A\n\tRET\n",
       {{1, {255, 45}, DiagCode::LabelNotLetterFirst, 3, u8"ラベルの１文字目が英大文字でありません。"},
        {2, {1, 2}, DiagCode::MnemonicUnknown, 4, u8"CASLIIにない命令があります。"},
        {3, {0, 4}, DiagCode::EndMissing, 0, u8"END文で終了していません。"},
        {0, {0, 10}, DiagCode::StartDuplicated, 0, u8"START - END が対になっていません。（STARTが重複しています。）"}}},
      {"operands, registers and labels",
       "MAIN\tSTART\n\tLD\tGR1,LONGLABEL\n\tLD\tGR1,A,GR0\nGR2\tNOP\nA\tNOP\nA\tRET\n\tEND\n",
       {{1, {8, 9}, DiagCode::OperandLabelTooLong, 2, u8"オペランド部のラベルが８文字を超えています。"},
        {2, {10, 3}, DiagCode::Operand3NotIndexRegister, 3, u8"第３オペランドは指標レジスタ名でなければなりません。"},
        {3, {0, 3}, DiagCode::ReservedLabel, 4, u8"予約語(GR0～GR7)はラベルに使用できません。"},
        {5, {0, 1}, DiagCode::LabelDuplicated, 0, u8"ラベル(A)が重複しています。"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LanguageService service;
    service.SetDocument("d.cas", c.source);
    const auto diags = service.Diagnostics("d.cas");
    ASSERT_EQ(diags.size(), c.want.size());
    for (std::size_t k = 0; k < diags.size(); ++k) {
      const PlacedDiagnostic& d = diags[k];
      const Want& w = c.want[k];
      SCOPED_TRACE(k);
      EXPECT_EQ(d.line, w.line);
      EXPECT_EQ(d.span, w.span);
      EXPECT_EQ(d.diagnostic.code, w.code);
      EXPECT_EQ(d.diagnostic.severity, Severity::Error);
      EXPECT_EQ(d.diagnostic.line, w.assemblerLine);
      EXPECT_EQ(d.diagnostic.message, Cp932Text(w.message));
    }
  }
}

TEST(LanguageServiceDiagnostics, EditsAnalyseAgain) {
  LanguageService service;
  service.SetDocument("e.cas", "MAIN\tSTART\n\tRET\n\tEND\n");
  EXPECT_TRUE(service.Diagnostics("e.cas").empty());
  ASSERT_TRUE(service.ChangeDocument("e.cas", {1, 1}, {1, 4}, "ld\tGR1,A\n\tRET"));
  EXPECT_EQ(service.Find("e.cas")->Text(), "MAIN\tSTART\n\tld\tGR1,A\n\tRET\n\tEND\n");
  ASSERT_EQ(service.Diagnostics("e.cas").size(), 1u);
  EXPECT_EQ(service.Diagnostics("e.cas")[0].line, 1);
  // Positions beyond the text are clamped, never read past it.
  ASSERT_TRUE(service.ChangeDocument("e.cas", {1, 0}, {99, 99}, ""));
  EXPECT_EQ(service.Find("e.cas")->Text(), "MAIN\tSTART\n");
  EXPECT_FALSE(service.ChangeDocument("none.cas", {0, 0}, {0, 0}, "x"));
}

TEST(LanguageServiceActions, QuickFixesMendTheSource) {
  struct Case {
    const char* document;
    const char* source;
    const char* want;
  } cases[] = {
      {"m.cas", "MAIN\tSTART\n\tRET\n", "MAIN\tSTART\n\tRET\n\tEND\n"},
      {"m.cas", "MAIN\tSTART\n\tRET", "MAIN\tSTART\n\tRET\n\tEND\n"},
      {"sum2.cas", "; sum\n\tRET\n\tEND\n", "; sum\nSUM2\tSTART\n\tRET\n\tEND\n"},
      {"9.cas", "\tRET\n\tEND\n", "MAIN\tSTART\n\tRET\n\tEND\n"},
      {"m.cas", "MAIN\tSTART\n\tJUMP\tloop\nLOOP\tRET\n\tEND\n", "MAIN\tSTART\n\tJUMP\tLOOP\nLOOP\tRET\n\tEND\n"},
      // A label defined in lower case, with its uses spelled the same way.
      {"m.cas", "MAIN\tSTART\n\tRET\nbuf\tDS\t6\n\tEND\n", "MAIN\tSTART\n\tRET\nBUF\tDS\t6\n\tEND\n"},
      {"m.cas", "MAIN\tSTART\n\tLAD\tGR1,buf\n\tRET\nbuf\tDS\t6\n\tEND\n",
       "MAIN\tSTART\n\tLAD\tGR1,BUF\n\tRET\nBUF\tDS\t6\n\tEND\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    LanguageService service;
    service.SetDocument(c.document, c.source);
    ASSERT_FALSE(service.Diagnostics(c.document).empty());
    const auto actions = service.CodeActions(c.document, 0, 100);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_GE(actions[0].diagnostic, 0);
    const std::string mended = Apply(c.source, actions[0].edits);
    EXPECT_EQ(mended, c.want);
    service.SetDocument("mended.cas", mended);
    EXPECT_TRUE(service.Diagnostics("mended.cas").empty());
  }
}

}  // namespace
