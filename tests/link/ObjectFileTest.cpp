#include <gtest/gtest.h>

#include "LinkFixtures.h"
#include "common/Cp932.h"
#include "link/ObjectFile.h"

namespace tolvane::test {
namespace {

ObjectFile Sample() {
  ObjectFile o;
  o.fileName = "sample.obj";
  o.entries = {{"MAIN", 0x0000}, {"SUB", 0x0004}};
  o.externals = {{"OTHER", 0x0002}};
  o.code = {0x1210, 0x0005, 0x8000, 0x0000, 0x8100, 0x0100};
  o.relocations = {0x0001, 0x0002};
  o.labels = {{"MAIN", 0x0000}, {"SUB", 0x0004}, {"='A'", 0x0005}};
  o.dataAddresses = {0x0005};
  return o;
}

ObjectReadError Parse(const ByteVec& b, ObjectFile& out) { return ParseObjectFile(b.data(), b.size(), out); }

TEST(ObjectReader, ReadsAllSevenTablesBigEndian) {
  ByteVec bytes = ObjectBytes(Sample());
  // "sample.obj\0", E = 2, "MAIN\0" 00 00: the words are high byte first.
  ASSERT_GE(bytes.size(), 20u);
  EXPECT_EQ(bytes[11], 0x00);
  EXPECT_EQ(bytes[12], 0x02);
  ObjectFile out;
  ASSERT_EQ(Parse(bytes, out), ObjectReadError::None);
  EXPECT_EQ(out, Sample());
  EXPECT_EQ(out.code[5], 0x0100);  // stored as the bytes 01 00
}

TEST(ObjectReader, EmptyTablesAndExtraBytesAfterTheLastTable) {
  ObjectFile o;
  o.fileName = "x.obj";
  ByteVec bytes = ObjectBytes(o);
  EXPECT_EQ(bytes.size(), 6u + 12u);
  ObjectFile out;
  EXPECT_EQ(Parse(bytes, out), ObjectReadError::None);
  EXPECT_EQ(out, o);
  // Nothing follows the data address table; bytes after it are not read.
  bytes.push_back(0xAB);
  EXPECT_EQ(Parse(bytes, out), ObjectReadError::None);
  EXPECT_EQ(out, o);
}

TEST(ObjectReader, SignatureIsTheStoredNameNotTheFileName) {
  struct Case {
    const char* stored;
    ObjectReadError expected;
  } cases[] = {
      {"prog.obj", ObjectReadError::None},      {"dir/prog.obj.renamed", ObjectReadError::None},  // contains ".obj"
      {"prog.OBJ", ObjectReadError::NotObject},                                                   // case as written
      {"prog.exe", ObjectReadError::NotObject}, {"", ObjectReadError::NotObject},
  };
  for (const Case& c : cases) {
    ObjectFile o = Sample();
    o.fileName = c.stored;
    ObjectFile out;
    EXPECT_EQ(Parse(ObjectBytes(o), out), c.expected) << c.stored;
  }
}

TEST(ObjectReader, LongStoredPathIsAccepted) {
  ObjectFile o = Sample();
  o.fileName = std::string(1000, 'd') + "/p.obj";
  ObjectFile out;
  EXPECT_EQ(Parse(ObjectBytes(o), out), ObjectReadError::None);
  EXPECT_EQ(out.fileName, o.fileName);
}

// Every cut of a valid file is refused, whatever table it falls into.
TEST(ObjectReader, EveryTruncationIsRefused) {
  ByteVec bytes = ObjectBytes(Sample());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    ByteVec cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    ObjectFile out;
    ObjectReadError e = Parse(cut, out);
    EXPECT_NE(e, ObjectReadError::None) << "length " << n;
    EXPECT_EQ(out, ObjectFile{}) << "length " << n;
  }
}

TEST(ObjectReader, BadContentsAreRefusedWithTheirReason) {
  struct Case {
    const char* what;
    ObjectFile object;
    ObjectReadError expected;
  };
  std::vector<Case> cases;
  {
    ObjectFile o = Sample();
    o.labels[0].name = std::string(255, 'L');
    cases.push_back({"255-byte name", o, ObjectReadError::None});
    o.labels[0].name = std::string(256, 'L');
    cases.push_back({"256-byte name", o, ObjectReadError::NameTooLong});
  }
  {
    ObjectFile o = Sample();
    o.relocations.push_back(static_cast<Word>(o.code.size()));
    cases.push_back({"relocation at T", o, ObjectReadError::RelocationOutsideCode});
    o = Sample();
    o.relocations.push_back(0xFFFF);
    cases.push_back({"relocation at FFFF", o, ObjectReadError::RelocationOutsideCode});
  }
  {
    ObjectFile o = Sample();
    o.externals[0].address = static_cast<Word>(o.code.size());
    cases.push_back({"external at T", o, ObjectReadError::ExternalOutsideCode});
  }
  for (const Case& c : cases) {
    ObjectFile out;
    EXPECT_EQ(Parse(ObjectBytes(c.object), out), c.expected) << c.what;
  }
}

TEST(ObjectReader, CountsLargerThanTheFileAndUnterminatedNames) {
  ByteVec b;
  PutString(b, "a.obj");
  PutWord(b, 0xFFFF);  // E far beyond the data
  PutString(b, "X");
  PutWord(b, 0);
  ObjectFile out;
  EXPECT_EQ(Parse(b, out), ObjectReadError::Truncated);

  b.clear();
  PutString(b, "a.obj");
  PutWord(b, 0);
  PutWord(b, 0);
  PutWord(b, 0x8000);  // T words that are not there
  PutWord(b, 1);
  EXPECT_EQ(Parse(b, out), ObjectReadError::Truncated);

  b.clear();
  PutString(b, "a.obj");
  PutWord(b, 1);
  for (const char c : std::string("NAMEWITHOUTEND")) b.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(Parse(b, out), ObjectReadError::Unterminated);

  b.assign({'a', '.', 'o', 'b', 'j'});  // signature without its terminator
  EXPECT_EQ(Parse(b, out), ObjectReadError::NotObject);
}

class ObjectFileOnDisk : public ScratchDir {};

TEST_F(ObjectFileOnDisk, ReportsOneErrorLineNamingThePath) {
  struct Case {
    std::string file;
    ByteVec bytes;  // empty: the file is not created
    std::string message;
  };
  ObjectFile wrong = Sample();
  wrong.fileName = "prog.exe";
  ByteVec cut = ObjectBytes(Sample());
  cut.resize(cut.size() - 3);
  std::vector<Case> cases = {
      {"missing.obj", {}, Cp932Text(u8"がオープンできません。")},
      {"wrong.obj", ObjectBytes(wrong), Cp932Text(u8"はCASLのオブジェクトファイルではありません。")},
      {"cut.obj", cut, Cp932Text(u8"は壊れています。(ファイルが途中で終わっています)")},
  };
  for (const Case& c : cases) {
    if (!c.bytes.empty()) WriteBytes(dir / c.file, c.bytes);
    RecordingSink sink;
    ObjectFile out;
    EXPECT_FALSE(ReadObjectFile(P(c.file), out, sink)) << c.file;
    ASSERT_EQ(sink.lines.size(), 1u) << c.file;
    EXPECT_EQ(sink.lines[0], " Error:  " + P(c.file) + c.message);
  }
  // A folder is not a file that can be opened.
  RecordingSink sink;
  ObjectFile out;
  EXPECT_FALSE(ReadObjectFile(dir.string(), out, sink));
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0], " Error:  " + dir.string() + Cp932Text(u8"がオープンできません。"));
}

TEST_F(ObjectFileOnDisk, RenamedFileKeepsItsStoredSignature) {
  WriteObject(dir / "prog.obj", Sample());
  std::filesystem::copy_file(dir / "prog.obj", dir / "prog.bin");
  RecordingSink sink;
  ObjectFile out;
  EXPECT_TRUE(ReadObjectFile(P("prog.bin"), out, sink));
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_EQ(out.fileName, "sample.obj");
}

}  // namespace
}  // namespace tolvane::test
