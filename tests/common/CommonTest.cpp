#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <utility>

#include "common/BinaryIo.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "common/FileNameMarks.h"
#include "common/MessageBox.h"

using namespace tolvane;

TEST(ChangeExtension, Table) {
  struct Case {
    const char* path;
    const char* ext;
    const char* want;
  } cases[] = {
      {"prog.cas", ".obj", "prog.obj"},
      {"prog", ".obj", "prog.obj"},
      {"dir.v2/prog", ".lst", "dir.lst"},  // the scan does not stop at separators
      {".hidden", ".exe", ".hidden.exe"},  // a leading dot is not an extension
      {"a..b", ".sym", "a.sym"},           // a dot after a dot does not count; the one before it does
      {"a./b", ".obj", "a./b.obj"},        // nor one followed by a separator
      {"a.\\b", ".obj", "a.\\b.obj"},
      {"x.y.z", ".obj", "x.y.obj"},
      {"", ".obj", ".obj"},
  };
  for (const Case& c : cases) EXPECT_EQ(ChangeExtension(c.path, c.ext), c.want) << c.path;
}

TEST(Cp932, RoundTripAndSpecialBytes) {
  EXPECT_EQ(Cp932Text(u8"エラー"), "\x83\x47\x83\x89\x81\x5B");
  // Control bytes that some tables map elsewhere must stay themselves.
  std::string ctl = "\x1A\x1C\x7F";
  EXPECT_EQ(Cp932ToUtf8(ctl), ctl);
  std::string back;
  ASSERT_TRUE(Utf8ToCp932(Cp932ToUtf8("\x82\xA0 abc \xB1"), back));  // あ abc ｱ
  EXPECT_EQ(back, "\x82\xA0 abc \xB1");
}

TEST(Cp932, UnencodableCharacterIsReportedNotReplaced) {
  std::string out;
  std::size_t bad = 0;
  EXPECT_FALSE(
      Utf8ToCp932("ab\xF0\x9F\x98\x80"
                  "c",
                  out, &bad));
  EXPECT_EQ(bad, 2u);
  EXPECT_EQ(Cp932ToUtf8("a\x80z"), "a\xEF\xBF\xBDz");
}

// Each byte that is not CP932 (a stray trail byte, a lead byte at the end,
// 80H, A0H, FDH-FFH) becomes one U+FFFD, wherever and however often it comes.
TEST(Cp932, EveryInvalidByteBecomesOneReplacement) {
  const std::string r = "\xEF\xBF\xBD";
  const struct {
    std::string in, out;
  } cases[] = {
      {"\x80", r},
      {"a\x80\xA0z", "a" + r + r + "z"},
      {"\x82\xA0\xFF\x82\xA0", "\xE3\x81\x82" + r + "\xE3\x81\x82"},
      {"ab\x82", "ab" + r},  // a lead byte without its trail byte
      {"\xFD\xFE\xFF", r + r + r},
  };
  for (const auto& c : cases) EXPECT_EQ(Cp932ToUtf8(c.in), c.out);
  // Binary data: mostly replacements, in one linear pass.
  std::string binary;
  for (int i = 0; i < 200000; ++i) binary += (i % 3 == 0) ? 'A' : '\xFF';
  std::string want;
  for (int i = 0; i < 200000; ++i) want += (i % 3 == 0) ? std::string("A") : r;
  EXPECT_EQ(Cp932ToUtf8(binary), want);
}

TEST(BinaryIo, WordsAreBigEndianAndReadsStopAtTheEnd) {
  auto path = std::filesystem::temp_directory_path() / "tolvane_binio_test.bin";
  {
    BinaryWriter w;
    ASSERT_TRUE(w.Open(path.string()));
    w.PutString("x.obj");
    w.PutWord(0x0100);
    ASSERT_TRUE(w.Close());
  }
  BinaryReader r;
  ASSERT_EQ(r.Load(path.string()), BinaryReader::LoadResult::Ok);
  ASSERT_EQ(r.Size(), 8u);
  std::string s;
  Word v = 0;
  ASSERT_TRUE(r.GetString(s));
  EXPECT_EQ(s, "x.obj");
  ASSERT_TRUE(r.GetWord(v));
  EXPECT_EQ(v, 0x0100);
  EXPECT_FALSE(r.GetWord(v));
  EXPECT_FALSE(r.GetString(s));
  std::filesystem::remove(path);

  const std::uint8_t odd[] = {'a', 'b', 1};
  r.SetBytes(odd, sizeof odd);
  EXPECT_FALSE(r.GetString(s));  // no terminator
  r.SetBytes(odd, sizeof odd);
  EXPECT_FALSE(r.GetString(s, 1));  // longer than allowed
  r.SetBytes(odd, sizeof odd);
  EXPECT_FALSE(r.SkipWords(2));
  EXPECT_EQ(r.Load("/nonexistent/file"), BinaryReader::LoadResult::CannotOpen);
  EXPECT_EQ(r.Load("/tmp"), BinaryReader::LoadResult::CannotOpen);
}

// Reading never waits for a FIFO or reads an endless device, and a file larger
// than the caller's limit is refused before it is read.
TEST(BinaryIo, OnlyRegularFilesWithinTheLimitAreRead) {
  const auto dir = std::filesystem::temp_directory_path() / ("tolvane_read_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string fifo = (dir / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string sparse = (dir / "sparse.exe").string();
  {
    std::FILE* f = std::fopen(sparse.c_str(), "wb");
    if (f) std::fclose(f);
  }
  std::string out;
  EXPECT_EQ(ReadWholeFile(fifo, out), FileReadResult::CannotOpen);
  EXPECT_EQ(ReadWholeFile("/dev/zero", out), FileReadResult::CannotOpen);
  std::filesystem::resize_file(sparse, kMaxBinaryFileBytes + 1);
  EXPECT_EQ(ReadWholeFile(sparse, out, kMaxBinaryFileBytes), FileReadResult::TooLarge);
  EXPECT_TRUE(out.empty());
  BinaryReader r;
  EXPECT_EQ(r.Load(sparse), BinaryReader::LoadResult::TooLarge);
  std::filesystem::resize_file(sparse, 10);
  EXPECT_EQ(ReadWholeFile(sparse, out, 10), FileReadResult::Ok);
  EXPECT_EQ(out, std::string(10, '\0'));
  EXPECT_EQ(ReadWholeFile(sparse, out, 9), FileReadResult::TooLarge);
  std::filesystem::remove_all(dir);
}

TEST(FileNameMarks, SplitsLinesIntoTextAndRegisteredNames) {
  FileNameMarks marks;
  marks.Add("ascii/only.cas");  // reads the same either way: not registered
  EXPECT_TRUE(marks.Empty());
  marks.Add("\xE4\xBD\x9C/a.cas");  // 作/a.cas, as the file system names it
  std::vector<std::string> parts;
  marks.Split(
      "LINK[\xE4\xBD\x9C/a.exe]x\xE4\xBD\x9C/a.cas",
      [&](std::string_view t) { parts.push_back("T:" + std::string(t)); },
      [&](const std::string& n) { parts.push_back("N:" + n); });
  EXPECT_EQ(parts, (std::vector<std::string>{"T:LINK[", "N:\xE4\xBD\x9C/a.exe", "T:]x", "N:\xE4\xBD\x9C/a.cas"}));
  // The longest name wins where several start at one place.
  marks.Add("\xE4\xBD\x9C/a.cas.bak");
  parts.clear();
  marks.Split(
      "\xE4\xBD\x9C/a.cas.bak", [&](std::string_view t) { parts.push_back("T:" + std::string(t)); },
      [&](const std::string& n) { parts.push_back("N:" + n); });
  EXPECT_EQ(parts, (std::vector<std::string>{"N:\xE4\xBD\x9C/a.cas.bak"}));
}

TEST(BoxCaption, NamesEachKind) {
  const std::pair<BoxKind, const char8_t*> cases[] = {
      {BoxKind::Error, u8"エラー"},
      {BoxKind::Warning, u8"警告"},
      {BoxKind::Information, u8"情報"},
      {BoxKind::Confirm, u8"確認"},
  };
  for (const auto& [kind, caption] : cases)
    EXPECT_STREQ(BoxCaption(kind), reinterpret_cast<const char*>(caption)) << static_cast<int>(kind);
}
