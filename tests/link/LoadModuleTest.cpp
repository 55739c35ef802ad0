#include <gtest/gtest.h>

#include "LinkFixtures.h"
#include "common/Cp932.h"
#include "link/LoadModule.h"

namespace tolvane::test {
namespace {

LoadModule SampleModule() {
  LoadModule m;
  m.origin = 0x0100;
  m.start = 0x0103;
  m.initialSp = 0x0910;
  m.stackLimit = 0x0110;
  m.image = {0x1234, 0x0000, 0xFFFF, 0x8100};
  m.dataAddresses = {0x0101, 0x0102};
  return m;
}

class ModuleFiles : public ScratchDir {};

TEST_F(ModuleFiles, LoadModuleLayoutAndRoundTrip) {
  RecordingSink sink;
  ASSERT_TRUE(WriteLoadModule(P("p.exe"), SampleModule(), sink));
  EXPECT_TRUE(sink.lines.empty());

  ByteVec expected;
  PutString(expected, P("p.exe"));
  for (Word w : {0x0100, 0x0103, 0x0910, 0x0110, 4, 0x1234, 0x0000, 0xFFFF, 0x8100, 2, 0x0101, 0x0102})
    PutWord(expected, static_cast<Word>(w));
  EXPECT_EQ(ReadBytes(dir / "p.exe"), expected);

  RecordingBox box;
  LoadModule m;
  ASSERT_TRUE(ReadLoadModule(P("p.exe"), m, box));
  EXPECT_TRUE(box.texts.empty());
  LoadModule want = SampleModule();
  want.fileName = P("p.exe");
  EXPECT_EQ(m, want);
}

TEST_F(ModuleFiles, SymbolFileLayoutAndRoundTrip) {
  SymbolTable symbols = {{"MAIN", 0x0100}, {"LOOP", 0x0105}, {"=#FFFF", 0x0120}};
  RecordingSink sink;
  ASSERT_TRUE(WriteSymbolFile(P("p.sym"), symbols, sink));
  ByteVec expected;
  PutString(expected, P("p.sym"));
  PutNamed(expected, symbols);
  EXPECT_EQ(ReadBytes(dir / "p.sym"), expected);

  RecordingBox box;
  SymbolTable read;
  ASSERT_TRUE(ReadSymbolFile(P("p.sym"), read, box));
  EXPECT_EQ(read, symbols);
}

TEST_F(ModuleFiles, EmptyTablesAndLargeImages) {
  RecordingSink sink;
  RecordingBox box;
  // No symbols at all is a valid symbol file.
  ASSERT_TRUE(WriteSymbolFile(P("e.sym"), {}, sink));
  SymbolTable read = {{"OLD", 1}};
  EXPECT_TRUE(ReadSymbolFile(P("e.sym"), read, box));
  EXPECT_TRUE(read.empty());

  // D = 0: the file ends right after the image.
  LoadModule m = SampleModule();
  m.dataAddresses.clear();
  ASSERT_TRUE(WriteLoadModule(P("d.exe"), m, sink));
  EXPECT_EQ(ReadBytes(dir / "d.exe").size(), P("d.exe").size() + 1 + 2 * (5 + 4 + 1));
  LoadModule back;
  EXPECT_TRUE(ReadLoadModule(P("d.exe"), back, box));
  EXPECT_TRUE(back.dataAddresses.empty());

  // A count of 8000H or more is unsigned; an image that ends exactly at FFFFH fits.
  for (auto [origin, n] : {std::pair<Word, std::size_t>{0x0100, 0x8000}, {0x0100, 0xFF00}, {0xFFFF, 1}}) {
    m.origin = origin;
    m.image.assign(n, 0xA5A5);
    m.image.back() = 0x5A5A;
    ASSERT_TRUE(WriteLoadModule(P("big.exe"), m, sink));
    ASSERT_TRUE(ReadLoadModule(P("big.exe"), back, box)) << n;
    EXPECT_EQ(back.image.size(), n);
    EXPECT_EQ(back.image.back(), 0x5A5A);
  }
  EXPECT_TRUE(box.texts.empty());
  EXPECT_TRUE(sink.lines.empty());
}

TEST_F(ModuleFiles, CopiedFileKeepsItsStoredPath) {
  RecordingSink sink;
  RecordingBox box;
  ASSERT_TRUE(WriteLoadModule(P("p.exe"), SampleModule(), sink));
  ASSERT_TRUE(WriteSymbolFile(P("p.sym"), {{"A", 1}}, sink));
  std::filesystem::copy_file(dir / "p.exe", dir / "copy.sym");
  std::filesystem::copy_file(dir / "p.sym", dir / "copy.exe");
  LoadModule m;
  SymbolTable s;
  EXPECT_TRUE(ReadLoadModule(P("copy.sym"), m, box));
  EXPECT_TRUE(ReadSymbolFile(P("copy.exe"), s, box));
  EXPECT_TRUE(box.texts.empty());
  EXPECT_EQ(m.fileName, P("p.exe"));
}

TEST_F(ModuleFiles, RefusedFilesShowOneErrorBox) {
  RecordingSink sink;
  ASSERT_TRUE(WriteLoadModule(P("p.exe"), SampleModule(), sink));
  ASSERT_TRUE(WriteSymbolFile(P("p.sym"), {{"A", 1}}, sink));
  ByteVec exe = ReadBytes(dir / "p.exe");
  ByteVec cutExe(exe.begin(), exe.end() - 1);
  WriteBytes(dir / "cut.exe", cutExe);
  ByteVec past;
  PutString(past, "x.exe");
  for (Word w : {0xFFFF, 0xFFFF, 0, 0, 2, 1, 2, 0}) PutWord(past, static_cast<Word>(w));
  WriteBytes(dir / "past.exe", past);

  struct Case {
    const char* file;
    bool symbol;
    std::string text;
  } cases[] = {
      {"none.exe", false, Cp932Text(u8"がオープンできません。")},
      {"none.sym", true, Cp932Text(u8"がオープンできません。")},
      {"p.sym", false, Cp932Text(u8"はCASLの実行可能ファイルではありません。")},
      {"p.exe", true, Cp932Text(u8"はCASLのシンボルファイルではありません。")},
      {"cut.exe", false, Cp932Text(u8"は壊れています。(ファイルが途中で終わっています)")},
      {"past.exe", false, Cp932Text(u8"は壊れています。(プログラムがFFFFH番地を超えています)")},
  };
  for (const Case& c : cases) {
    RecordingBox box;
    bool ok;
    if (c.symbol) {
      SymbolTable s = {{"OLD", 1}};
      ok = ReadSymbolFile(P(c.file), s, box);
      EXPECT_TRUE(s.empty()) << c.file;
    } else {
      LoadModule m = SampleModule();
      ok = ReadLoadModule(P(c.file), m, box);
      EXPECT_EQ(m, LoadModule{}) << c.file;
    }
    EXPECT_FALSE(ok) << c.file;
    ASSERT_EQ(box.texts.size(), 1u) << c.file;
    EXPECT_EQ(box.kinds[0], BoxKind::Error);
    EXPECT_EQ(box.texts[0], P(c.file) + c.text);
  }
}

// Every cut of a valid file is refused, never read past its end.
TEST(ModuleReaders, EveryTruncationIsRefused) {
  ByteVec exe;
  PutString(exe, "p.exe");
  for (Word w : {0x0100, 0x0100, 0x0200, 0x0104, 4, 1, 2, 3, 4, 2, 0x0100, 0x0101}) PutWord(exe, static_cast<Word>(w));
  ByteVec sym;
  PutString(sym, "p.sym");
  PutNamed(sym, {{"MAIN", 0x100}, {"=#0001", 0x0104}});
  LoadModule m;
  SymbolTable s;
  ASSERT_EQ(ParseLoadModule(exe.data(), exe.size(), m), ModuleReadError::None);
  ASSERT_EQ(ParseSymbolFile(sym.data(), sym.size(), s), ModuleReadError::None);
  for (std::size_t n = 0; n < exe.size(); ++n) {
    ByteVec cut(exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_NE(ParseLoadModule(cut.data(), cut.size(), m), ModuleReadError::None) << n;
  }
  for (std::size_t n = 0; n < sym.size(); ++n) {
    ByteVec cut(sym.begin(), sym.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_NE(ParseSymbolFile(cut.data(), cut.size(), s), ModuleReadError::None) << n;
  }
}

TEST(ModuleReaders, CountsLargerThanTheFileAndOverlongNames) {
  ByteVec b;
  PutString(b, "p.sym");
  PutWord(b, 0xFFFF);
  PutString(b, "A");
  PutWord(b, 1);
  SymbolTable s;
  EXPECT_EQ(ParseSymbolFile(b.data(), b.size(), s), ModuleReadError::Truncated);

  b.clear();
  PutString(b, "p.sym");
  PutNamed(b, {{std::string(256, 'N'), 1}});
  EXPECT_EQ(ParseSymbolFile(b.data(), b.size(), s), ModuleReadError::NameTooLong);

  b.clear();
  PutString(b, "p.exe");
  for (Word w : {0x0100, 0x0100, 0x0200, 0x0104, 0x0004, 1, 2, 3, 4, 0xFFFF}) PutWord(b, static_cast<Word>(w));
  LoadModule m;
  EXPECT_EQ(ParseLoadModule(b.data(), b.size(), m), ModuleReadError::Truncated);
}

}  // namespace
}  // namespace tolvane::test
