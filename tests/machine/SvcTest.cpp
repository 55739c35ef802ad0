#include <gtest/gtest.h>

#include "MachineTestSupport.h"
#include "machine/Svc.h"

namespace tolvane::test {
namespace {

struct SvcMachine {
  std::unique_ptr<Memory> mem = NewMemory();
  CCpu cpu;
  ScriptConsole console;
};

struct InCase {
  const char* name;
  Bytes line;
  Word gr1, gr2;
  Word length;                 // stored at gr2
  std::vector<Word> expected;  // words expected from gr1 on
};

TEST(SvcIn, StoresSignExtendedBytesAndTheLength) {
  const InCase cases[] = {
      {"ascii", "ABC", 0x0300, 0x0400, 3, {0x0041, 0x0042, 0x0043, 0x7777}},
      {"empty line", "", 0x0300, 0x0400, 0, {0x7777}},
      {"half-width katakana", "\xB1", 0x0300, 0x0400, 1, {0xFFB1, 0x7777}},
      {"double-byte character", "\x82\xA0", 0x0300, 0x0400, 2, {0xFF82, 0xFFA0, 0x7777}},
      {"wraps past FFFFH", "XYZ", 0xFFFF, 0x0400, 3, {0x0058, 0x0059, 0x005A}},
      {"end of input", "AB\x1A", 0x0300, 0x0400, 0xFFFF, {0x7777, 0x7777, 0x7777}},
      {"end of input alone", "\x1A", 0x0300, 0x0400, 0xFFFF, {0x7777}},
  };
  for (const InCase& c : cases) {
    SCOPED_TRACE(c.name);
    SvcMachine m;
    m.mem->fill(0x7777);
    m.console.input.push_back(c.line);
    SvcIn(m.cpu, *m.mem, m.console, c.gr1, c.gr2);
    EXPECT_EQ((*m.mem)[c.gr2], c.length);
    for (std::size_t i = 0; i < c.expected.size(); ++i)
      EXPECT_EQ((*m.mem)[static_cast<Word>(c.gr1 + i)], c.expected[i]) << "word " << i;
  }
}

TEST(SvcIn, LongLineIsCutAt256) {
  SvcMachine m;
  m.console.input.push_back(Bytes(300, 'a'));
  SvcIn(m.cpu, *m.mem, m.console, 0x1000, 0x2000);
  EXPECT_EQ((*m.mem)[0x2000], 256);
  EXPECT_EQ((*m.mem)[0x1000 + 255], 'a');
  EXPECT_EQ((*m.mem)[0x1000 + 256], 0);
}

TEST(SvcIn, LengthWordInsideTheBufferIsWrittenLast) {
  SvcMachine m;
  m.console.input.push_back("HELLO");
  SvcIn(m.cpu, *m.mem, m.console, 0x1000, 0x1001);
  EXPECT_EQ((*m.mem)[0x1000], 'H');
  EXPECT_EQ((*m.mem)[0x1001], 5);
  EXPECT_EQ((*m.mem)[0x1002], 'L');
}

struct OutCase {
  const char* name;
  std::vector<Word> words;
  Word length;
  Bytes expected;
};

TEST(SvcOut, WritesLowBytesOfTheGivenLength) {
  const OutCase cases[] = {
      {"HI", {0x0048, 0x0049, 0x0021}, 2, "HI"},
      {"high bytes ignored", {0xFF48, 0x1249}, 2, "HI"},
      {"sign-extended CP932", {0xFF82, 0xFFA0}, 2, "\x82\xA0"},
      {"zero length", {0x0048}, 0, ""},
      {"negative length", {0x0048}, 0xFFFF, ""},
      {"most negative length", {0x0048}, 0x8000, ""},
      {"ends at a 00H byte", {0x0041, 0x0100, 0x0042}, 3, "A"},
  };
  for (const OutCase& c : cases) {
    SCOPED_TRACE(c.name);
    SvcMachine m;
    for (std::size_t i = 0; i < c.words.size(); ++i) (*m.mem)[0x0300 + i] = c.words[i];
    (*m.mem)[0x0400] = c.length;
    const Memory before = *m.mem;
    SvcOut(m.cpu, *m.mem, m.console, 0x0300, 0x0400);
    ASSERT_EQ(m.console.output.size(), 1u);
    EXPECT_EQ(m.console.output[0], c.expected);
    EXPECT_TRUE(*m.mem == before);
  }
}

TEST(SvcOut, LongLinesAreCutAt511AndAddressesWrap) {
  SvcMachine m;
  m.mem->fill('x');
  (*m.mem)[0x0400] = 2000;
  SvcOut(m.cpu, *m.mem, m.console, 0xFF00, 0x0400);
  ASSERT_EQ(m.console.output.size(), 1u);
  EXPECT_EQ(m.console.output[0].size(), 511u);
}

}  // namespace
}  // namespace tolvane::test
