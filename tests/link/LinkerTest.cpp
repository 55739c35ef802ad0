#include <gtest/gtest.h>

#include "LinkFixtures.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "link/LineMap.h"
#include "link/Linker.h"
#include "link/LoadModule.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

// An object of `t` code words (value 0x1000 + i) with one START label.
ObjectFile Program(const std::string& entry, Word t, Word entryOffset = 0) {
  ObjectFile o;
  o.entries = {{entry, entryOffset}};
  for (Word i = 0; i < t; ++i) o.code.push_back(static_cast<Word>(0x1000 + i));
  o.labels = {{entry, entryOffset}};
  return o;
}

class Linking : public ScratchDir {
 protected:
  // Writes the objects as a0.obj, a1.obj, ... and links them.
  bool LinkObjects(const std::vector<ObjectFile>& objects, BuildOptions options = {}) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < objects.size(); ++i) {
      names.push_back(P("a" + std::to_string(i) + ".obj"));
      WriteObject(names.back(), objects[i]);
    }
    sink.lines.clear();
    return Link(names, options, sink);
  }
  LoadModule Exe(const std::string& name = "a0.exe") {
    LoadModule m;
    RecordingBox box;
    EXPECT_TRUE(ReadLoadModule(P(name), m, box));
    return m;
  }
  SymbolTable Sym(const std::string& name = "a0.sym") {
    SymbolTable s;
    RecordingBox box;
    EXPECT_TRUE(ReadSymbolFile(P(name), s, box));
    return s;
  }
  std::vector<std::string> Expect(std::vector<std::string> errors, bool withTotal = false) {
    std::vector<std::string> lines = {"LINK[" + P("a0.exe") + "]"};
    for (auto& e : errors) lines.push_back(" Error:  " + e);
    if (withTotal) lines.push_back("   0 Errors");
    return lines;
  }
  bool NoOutput() const { return !fs::exists(dir / "a0.exe") && !fs::exists(dir / "a0.sym"); }

  RecordingSink sink;
};

TEST_F(Linking, HeaderOfOneObject) {
  // Origin 0100H, 0010H words, stack 0800H, entry at offset 3.
  ASSERT_TRUE(LinkObjects({Program("MAIN", 0x10, 3)}));
  EXPECT_EQ(sink.lines, Expect({}, true));
  ByteVec expected;
  PutString(expected, P("a0.exe"));
  for (Word w : {0x0100, 0x0103, 0x0910, 0x0110, 0x0010}) PutWord(expected, w);
  for (Word i = 0; i < 0x10; ++i) PutWord(expected, static_cast<Word>(0x1000 + i));
  PutWord(expected, 0);
  EXPECT_EQ(ReadBytes(dir / "a0.exe"), expected);
  EXPECT_EQ(Sym(), (SymbolTable{{"MAIN", 0x0103}}));
}

TEST_F(Linking, RelocationExternalsLabelsAndDataAcrossObjects) {
  // a0: MAIN calls SUB (external) and loads its own DATA; its literal is relocated.
  ObjectFile a = Program("MAIN", 0);
  a.code = {0x8000, 0x0000, 0x1010, 0x0004, 0x0005, 0x0007, 0x0000};
  a.externals = {{"SUB", 0x0001}};
  a.relocations = {0x0001, 0x0003, 0x0004};
  a.labels = {{"MAIN", 0}, {"DATA", 5}, {"=3", 4}};
  a.dataAddresses = {5, 6};
  // a1: SUB refers to itself through an external of its own name and to MAIN.
  ObjectFile b = Program("SUB", 0);
  b.code = {0x1210, 0x0000, 0x1220, 0x0000, 0x8100};
  b.externals = {{"SUB", 0x0001}, {"MAIN", 0x0003}};
  b.relocations = {0x0001, 0x0003};
  b.labels = {{"SUB", 0}, {"L1", 4}};
  b.dataAddresses = {4};
  BuildOptions options;
  options.origin = 0x2000;
  options.stackSize = 0x0100;
  ASSERT_TRUE(LinkObjects({a, b}, options));
  EXPECT_EQ(sink.lines, Expect({}, true));

  LoadModule m = Exe();
  EXPECT_EQ(m.origin, 0x2000);
  EXPECT_EQ(m.start, 0x2000);
  EXPECT_EQ(m.stackLimit, 0x200C);
  EXPECT_EQ(m.initialSp, 0x210C);
  std::vector<Word> image = {0x8000, 0x2007, 0x1010, 0x2004, 0x2005, 0x0007, 0x0000,  // base 2000
                             0x1210, 0x2007, 0x1220, 0x2000, 0x8100};                 // base 2007
  EXPECT_EQ(m.image, image);
  EXPECT_EQ(m.dataAddresses, (std::vector<Word>{0x2005, 0x2006, 0x200B}));
  EXPECT_EQ(Sym(), (SymbolTable{{"MAIN", 0x2000}, {"DATA", 0x2005}, {"=3", 0x2004}, {"SUB", 0x2007}, {"L1", 0x200B}}));
}

TEST_F(Linking, StartIsTheFirstEntryAndRelocationWrapsModulo65536) {
  ObjectFile a = Program("FIRST", 2, 1);
  a.entries.push_back({"SECOND", 0});
  a.code = {0xFFFF, 0x0000};
  a.relocations = {0};  // FFFFH + 0100H wraps to 00FFH
  ASSERT_TRUE(LinkObjects({a, Program("THIRD", 1)}));
  LoadModule m = Exe();
  EXPECT_EQ(m.start, 0x0101);
  EXPECT_EQ(m.image[0], 0x00FF);
}

TEST_F(Linking, NoSymbolFileWhenNotWanted) {
  BuildOptions options;
  options.symbolFile = 0;
  ASSERT_TRUE(LinkObjects({Program("MAIN", 1)}, options));
  EXPECT_TRUE(fs::exists(dir / "a0.exe"));
  EXPECT_FALSE(fs::exists(dir / "a0.sym"));
}

TEST_F(Linking, DuplicateEntriesAreReportedPerLaterCopy) {
  std::string dup = Cp932Text(u8"外部参照のSTART命令のラベル(MAIN)が重複している。");
  EXPECT_FALSE(LinkObjects({Program("MAIN", 1), Program("MAIN", 1)}));
  EXPECT_EQ(sink.lines, Expect({dup}));
  EXPECT_TRUE(NoOutput());
  // Three copies: the first and the second each find a later one.
  EXPECT_FALSE(LinkObjects({Program("MAIN", 1), Program("MAIN", 1), Program("X", 1), Program("MAIN", 1)}));
  EXPECT_EQ(sink.lines, Expect({dup, dup}));
  // Case matters.
  EXPECT_TRUE(LinkObjects({Program("MAIN", 1), Program("Main", 1)}));
}

TEST_F(Linking, UnresolvedExternalsAreAllReportedAfterDuplicates) {
  ObjectFile a = Program("MAIN", 4);
  a.externals = {{"NOPE", 1}, {"SUB", 2}, {"ALSO", 3}};
  std::string dup = Cp932Text(u8"外部参照のSTART命令のラベル(MAIN)が重複している。");
  EXPECT_FALSE(LinkObjects({a, Program("SUB", 1), Program("MAIN", 1)}));
  EXPECT_EQ(sink.lines, Expect({dup, Cp932Text(u8"外部参照ラベルNOPEが参照できません。"),
                                Cp932Text(u8"外部参照ラベルALSOが参照できません。")}));
  EXPECT_TRUE(NoOutput());
}

// An external label nobody defines is reported with the source file and line
// of the reference in its record (the text stays as it was), so that a message
// window can jump to it: from the line map beside the object file, or from the
// maps given with objects in memory. Without a map the record names no source.
TEST_F(Linking, AnUnresolvedReferenceNamesItsSourceLine) {
  ObjectFile main = Program("MAIN", 2), sub = Program("SUB", 4);
  sub.externals = {{"NOPE", 3}};
  const LineMapSource subLines{"src/sub.cas", {}, {{0, 1, 1, true}, {1, 1, 4, true}, {2, 2, 7, true}}};
  const std::string text = " Error:  " + Cp932Text(u8"外部参照ラベルNOPEが参照できません。");
  auto unresolved = [&]() -> const Diagnostic* {
    for (const Diagnostic& d : sink.records)
      if (MessageLine(d) == text) return &d;
    return nullptr;
  };

  EXPECT_FALSE(LinkObjects({main, sub}));  // no maps beside the objects
  ASSERT_NE(unresolved(), nullptr);
  EXPECT_EQ(unresolved()->file, "");
  EXPECT_EQ(unresolved()->line, 0);

  LineMap map;
  ASSERT_TRUE(FingerprintFile(P("a1.obj"), map.target));
  map.sources = {subLines};
  ASSERT_TRUE(WriteLineMap(ObjectLineMapPath(P("a1.obj")), map));
  sink.records.clear();
  sink.lines.clear();
  EXPECT_FALSE(Link({P("a0.obj"), P("a1.obj")}, BuildOptions{}, sink));
  ASSERT_NE(unresolved(), nullptr);
  EXPECT_EQ(unresolved()->file, "src/sub.cas");
  EXPECT_EQ(unresolved()->line, 7);

  sink.records.clear();
  LoadModule module;
  EXPECT_FALSE(tolvane::LinkObjects({main, sub}, {LineMapSource{}, subLines}, "m", BuildOptions{}, sink, module));
  ASSERT_NE(unresolved(), nullptr);
  EXPECT_EQ(unresolved()->file, "src/sub.cas");
  EXPECT_EQ(unresolved()->line, 7);
}

// The link's lines go out as records: its progress and total name the load
// module, its errors point into no source, and each text is the line itself.
TEST_F(Linking, EveryLineIsARecord) {
  struct Case {
    const char* what;
    std::vector<ObjectFile> objects;
    std::vector<Severity> severities;
  };
  ObjectFile unresolved = Program("MAIN", 2);
  unresolved.externals = {{"NOPE", 1}};
  const Case cases[] = {
      {"success", {Program("MAIN", 2)}, {Severity::Info, Severity::Info}},
      {"duplicate and unresolved",
       {unresolved, Program("MAIN", 1)},
       {Severity::Info, Severity::Error, Severity::Error}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sink.records.clear();
    LinkObjects(c.objects);
    ASSERT_EQ(sink.records.size(), c.severities.size());
    for (std::size_t i = 0; i < c.severities.size(); ++i) {
      const Diagnostic& d = sink.records[i];
      EXPECT_EQ(MessageLine(d), sink.lines[i]);
      EXPECT_EQ(d.severity, c.severities[i]) << i;
      EXPECT_EQ(d.line, 0);
      EXPECT_EQ(d.file, d.severity == Severity::Info ? P("a0.exe") : std::string()) << i;
    }
  }
  // An object that cannot be read: an error about no source.
  sink.records.clear();
  sink.lines.clear();
  EXPECT_FALSE(Link({P("missing.obj")}, BuildOptions{}, sink));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(MessageLine(sink.records[1]), sink.lines[1]);
  EXPECT_EQ(sink.records[1].severity, Severity::Error);
  EXPECT_TRUE(sink.records[1].file.empty());
}

struct LimitCase {
  const char* what;
  Word origin;
  Word stack;
  std::vector<Word> sizes;  // code words per object
  const char8_t* error;     // nullptr: the link succeeds
};

// Each of the linker's codes, from the smallest link that gives it, with its
// message line as the record formats it.
TEST_F(Linking, EachCodeComesFromItsFault) {
  struct Case {
    DiagCode code;
    std::vector<ObjectFile> objects;
    BuildOptions options;
    const char8_t* text;  // after " Error:  "; empty: only the code is checked
    const char* subject;
  };
  ObjectFile noEntry = Program("MAIN", 2);
  noEntry.entries.clear();
  ObjectFile external = Program("MAIN", 2);
  external.externals = {{"NOPE", 1}};
  const Case cases[] = {
      {DiagCode::NoObjectFiles, {}, {}, u8"リンクするオブジェクトファイルが指定されていません。", ""},
      {DiagCode::OriginOutOfRange,
       {Program("MAIN", 2)},
       {1, 1, 1, 0x00FF, 0x0800},
       u8"プログラムの配置開始番地は100H～EFFFHの範囲でなければなりません。",
       ""},
      {DiagCode::StackTooLarge,
       {Program("MAIN", 2)},
       {1, 1, 1, 0x0100, 0xEF00},
       u8"スタックのサイズが大きすぎます。",
       ""},
      {DiagCode::NoStartLabel,
       {noEntry},
       {},
       u8"実行開始番地が決まりません。どのオブジェクトファイルにもSTART命令のラベルがありません。",
       ""},
      {DiagCode::NoStackRoom, {Program("MAIN", 2)}, {1, 1, 1, 0xE000, 0x1000}, u8"スタック領域が確保できません。", ""},
      {DiagCode::ProgramTooLargeToLoad,
       {Program("MAIN", 0xF000)},
       {},
       u8"プログラムが大きすぎてメモリに格納できません。",
       ""},
      {DiagCode::EntryDuplicated,
       {Program("MAIN", 1), Program("MAIN", 1)},
       {},
       u8"外部参照のSTART命令のラベル(MAIN)が重複している。",
       "MAIN"},
      {DiagCode::ExternalUnresolved, {external}, {}, u8"外部参照ラベルNOPEが参照できません。", "NOPE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(CodeId(c.code));
    sink.records.clear();
    if (c.objects.empty())
      EXPECT_FALSE(Link({}, c.options, sink));
    else
      EXPECT_FALSE(LinkObjects(c.objects, c.options));
    const Diagnostic* got = nullptr;
    for (const Diagnostic& d : sink.records)
      if (d.severity == Severity::Error && !got) got = &d;
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->code, c.code);
    EXPECT_EQ(got->subject, c.subject);
    EXPECT_EQ(MessageLine(*got), " Error:  " + Cp932Text(c.text));
  }
  // An object that is not there names its path.
  sink.records.clear();
  EXPECT_FALSE(Link({P("gone.obj")}, BuildOptions{}, sink));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].code, DiagCode::ObjectUnreadable);
  EXPECT_EQ(sink.records[1].subject, P("gone.obj"));
  EXPECT_EQ(MessageLine(sink.records[1]), " Error:  " + P("gone.obj") + Cp932Text(u8"がオープンできません。"));
  // Progress and total.
  sink.records.clear();
  EXPECT_TRUE(LinkObjects({Program("MAIN", 2)}));
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[0].code, DiagCode::LinkStart);
  EXPECT_EQ(sink.records[1].code, DiagCode::LinkTotal);
  EXPECT_EQ(MessageLine(sink.records[1]), "   0 Errors");
}

TEST_F(Linking, OriginStackAndSizeLimits) {
  const char8_t* kOrigin = u8"プログラムの配置開始番地は100H～EFFFHの範囲でなければなりません。";
  const char8_t* kStackSize = u8"スタックのサイズが大きすぎます。";
  const char8_t* kTooLarge = u8"プログラムが大きすぎてメモリに格納できません。";
  const char8_t* kStackArea = u8"スタック領域が確保できません。";
  const LimitCase cases[] = {
      {"origin 00FF", 0x00FF, 0, {1}, kOrigin},
      {"origin 0100", 0x0100, 0, {1}, nullptr},
      {"origin EFFF, empty program", 0xEFFF, 0, {0}, nullptr},
      {"origin F000", 0xF000, 0, {0}, kOrigin},
      {"stack EEFF passes the size check", 0x0100, 0xEEFF, {0}, nullptr},
      {"stack EEFF then has no room", 0x0100, 0xEEFF, {1}, kStackArea},
      {"stack EF00", 0x0100, 0xEF00, {0}, kStackSize},
      {"origin checked before stack", 0x0000, 0xFFFF, {0}, kOrigin},
      {"end EFFF with no stack", 0x0100, 0, {0xEEFF}, nullptr},
      {"last word at EFFF fits, SP F000 does not", 0x0100, 0, {0xEF00}, kStackArea},
      {"last word at F000", 0x0100, 0, {0xEF01}, kTooLarge},
      {"second object reaches F000", 0x0100, 0, {0x8000, 0x6F01}, kTooLarge},
      {"end E000 + stack 2100 does not wrap", 0x0100, 0x2100, {0xDF00}, kStackArea},
      {"end E000 + stack 0FFF", 0x0100, 0x0FFF, {0xDF00}, nullptr},
  };
  for (const LimitCase& c : cases) {
    std::vector<ObjectFile> objects;
    for (std::size_t i = 0; i < c.sizes.size(); ++i) objects.push_back(Program("P" + std::to_string(i), c.sizes[i]));
    fs::remove(dir / "a0.exe");
    BuildOptions options;
    options.origin = c.origin;
    options.stackSize = c.stack;
    bool ok = LinkObjects(objects, options);
    if (!c.error) {
      EXPECT_TRUE(ok) << c.what;
      EXPECT_EQ(sink.lines, Expect({}, true)) << c.what;
      continue;
    }
    EXPECT_FALSE(ok) << c.what;
    EXPECT_EQ(sink.lines, Expect({Cp932Text(c.error)})) << c.what;
    EXPECT_FALSE(fs::exists(dir / "a0.exe")) << c.what;
  }
}

TEST_F(Linking, BadInputsStopTheLinkWithTheirMessage) {
  ObjectFile notObj = Program("B", 1);
  notObj.fileName = "b.exe";
  WriteObject(dir / "a0.obj", Program("A", 1));
  WriteObject(dir / "a1.obj", notObj);
  WriteObject(dir / "a2.obj", Program("C", 1));

  struct Case {
    std::vector<std::string> names;
    std::string error;
  } cases[] = {
      {{"a0.obj", "missing.obj", "a1.obj"}, P("missing.obj") + Cp932Text(u8"がオープンできません。")},
      {{"a0.obj", "a1.obj", "missing.obj"}, P("a1.obj") + Cp932Text(u8"はCASLのオブジェクトファイルではありません。")},
  };
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (const auto& n : c.names) names.push_back(P(n));
    sink.lines.clear();
    EXPECT_FALSE(Link(names, {}, sink));
    EXPECT_EQ(sink.lines, Expect({c.error}));
    EXPECT_TRUE(NoOutput());
  }
}

TEST_F(Linking, ObjectsWithoutAnyEntryGiveAClearError) {
  ObjectFile a = Program("X", 2);
  a.entries.clear();
  EXPECT_FALSE(LinkObjects({a, a}));
  EXPECT_EQ(
      sink.lines,
      Expect({Cp932Text(u8"実行開始番地が決まりません。どのオブジェクトファイルにもSTART命令のラベルがありません。")}));
  EXPECT_TRUE(NoOutput());

  sink.lines.clear();
  EXPECT_FALSE(Link({}, {}, sink));
  EXPECT_EQ(
      sink.lines,
      (std::vector<std::string>{" Error:  " + Cp932Text(u8"リンクするオブジェクトファイルが指定されていません。")}));
}

TEST_F(Linking, SourceNamesManyInputsAndLongPaths) {
  // Twelve inputs named as sources, in a folder whose path is far beyond 255 bytes.
  fs::path deep = dir;
  for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  fs::create_directories(deep);
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) {
    std::string base = (deep / ("prog" + std::to_string(i))).string();
    ObjectFile o = Program("P" + std::to_string(i), 2);
    o.relocations = {1};
    o.code[1] = 1;  // points at its own second word
    WriteObject(base + ".obj", o);
    names.push_back(base + ".cas");
  }
  ASSERT_GT(names[0].size(), 360u);
  RecordingSink longSink;
  ASSERT_TRUE(Link(names, {}, longSink));
  std::string exe = (deep / "prog0.exe").string();
  EXPECT_EQ(longSink.lines, (std::vector<std::string>{"LINK[" + exe + "]", "   0 Errors"}));
  LoadModule m;
  RecordingBox box;
  ASSERT_TRUE(ReadLoadModule(exe, m, box));
  EXPECT_EQ(m.fileName, exe);
  ASSERT_EQ(m.image.size(), 24u);
  for (Word i = 0; i < 12; ++i) EXPECT_EQ(m.image[2 * i + 1], 0x0100 + 2 * i + 1) << i;
  SymbolTable s;
  ASSERT_TRUE(ReadSymbolFile(ChangeExtension(exe, ".sym"), s, box));
  EXPECT_EQ(s.size(), 12u);
}

TEST_F(Linking, MoreSymbolsThanTheSymbolFileCanCountAreRefused) {
  // Two objects of 40,000 labels each: 80,000 records do not fit the word count.
  ObjectFile a = Program("A", 1), b = Program("B", 1);
  for (int i = 0; i < 40000; ++i) {
    a.labels.push_back({"L" + std::to_string(i), 0});
    b.labels.push_back({"M" + std::to_string(i), 0});
  }
  EXPECT_FALSE(LinkObjects({a, b}));
  EXPECT_EQ(sink.lines, Expect({P("a0.sym") + Cp932Text(u8"の表の項目数が65535を超えています。")}));
  EXPECT_TRUE(NoOutput());
  // Without a symbol file the same objects link.
  BuildOptions noSym;
  noSym.symbolFile = 0;
  EXPECT_TRUE(LinkObjects({a, b}, noSym));
}

TEST_F(Linking, OutputThatCannotBeWrittenIsReported) {
  fs::create_directory(dir / "a0.exe");  // a folder where the load module should go
  EXPECT_FALSE(LinkObjects({Program("MAIN", 1)}));
  EXPECT_EQ(sink.lines.back(), " Error:  " + P("a0.exe") + Cp932Text(u8"はフォルダのため書き込めません。"));
  fs::remove(dir / "a0.exe");
  fs::create_directory(dir / "a0.sym");
  EXPECT_FALSE(LinkObjects({Program("MAIN", 1)}));
  EXPECT_EQ(sink.lines.back(), " Error:  " + P("a0.sym") + Cp932Text(u8"はフォルダのため書き込めません。"));
}

}  // namespace
}  // namespace tolvane::test
