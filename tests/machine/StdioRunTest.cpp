#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "MachineTestSupport.h"
#include "common/Cp932.h"
#include "machine/RegisterDump.h"
#include "machine/StdioRun.h"

namespace tolvane::test {
namespace {

TEST(StdioInput, Utf8BecomesCp932AndOtherBytesPassThrough) {
  EXPECT_EQ(InputLineToCp932("ABC"), "ABC");
  EXPECT_EQ(InputLineToCp932("\xE3\x81\x82"), "\x82\xA0");   // あ
  EXPECT_EQ(InputLineToCp932("\xEF\xBD\xB1"), "\xB1");       // half-width ｱ
  EXPECT_EQ(InputLineToCp932("\x82\xA0"), "\x82\xA0");       // already CP932
  EXPECT_EQ(InputLineToCp932("a\xF0\x9F\x98\x80z"), "a?z");  // no CP932 form
}

TEST(StdioConsole, LinesEndsAndEndOfInput) {
  std::FILE* in = std::tmpfile();
  std::fputs("one\r\ntwo\n\nlast", in);
  std::rewind(in);
  StdioConsole console(in, stdout);
  EXPECT_EQ(console.ConsoleReadLine(), "one");
  EXPECT_EQ(console.ConsoleReadLine(), "two");
  EXPECT_EQ(console.ConsoleReadLine(), "");
  EXPECT_EQ(console.ConsoleReadLine(), "last");
  EXPECT_EQ(console.ConsoleReadLine(), "\x1A");
  EXPECT_EQ(console.ConsoleReadLine(), "\x1A");
  std::fclose(in);
}

// An endless line costs no memory: the console keeps what IN can store and
// drops the rest as it arrives, still seeing an end-of-input byte anywhere.
TEST(StdioConsole, LongLinesAreCutAsTheyArrive) {
  const std::string keep(kInputLineKeep, 'A');
  const struct {
    std::string line;
    std::string want;
  } cases[] = {
      {std::string(10 << 20, 'A'), keep},
      {keep + "\r", keep},                                                      // the CR of a line that just fits
      {keep + "B\r", keep},                                                     // a line that does not
      {std::string(5000, 'A') + "\x1A" + std::string(10, 'C'), keep + "\x1A"},  // Ctrl+Z in the dropped part
      {"AB\x1A" + std::string(5000, 'C'), "AB\x1A" + std::string(kInputLineKeep - 3, 'C')},
  };
  for (const auto& c : cases) {
    std::FILE* in = std::tmpfile();
    std::fwrite(c.line.data(), 1, c.line.size(), in);
    std::fputs("\nnext\n", in);
    std::rewind(in);
    StdioConsole console(in, stdout);
    EXPECT_EQ(console.ConsoleReadLine(), c.want) << c.line.size();
    EXPECT_EQ(console.ConsoleReadLine(), "next");
    std::fclose(in);
  }
}

TEST(RegisterDump, FlagTextForEveryReachableFlagValue) {
  const struct {
    Word fr;
    const char* text;
  } cases[] = {
      {0, "(OF=0 SF=0 ZF=0) plus"},          {1, "(OF=0 SF=0 ZF=1) zero"},
      {2, "(OF=0 SF=1 ZF=0) minus"},         {4, "(OF=1 SF=0 ZF=0) plus overflow"},
      {5, "(OF=1 SF=0 ZF=1) zero overflow"}, {6, "(OF=1 SF=1 ZF=0) minus overflow"},
  };
  for (const auto& c : cases) EXPECT_EQ(FlagText(c.fr), c.text) << c.fr;
}

TEST(RegisterDump, OneWriteThatTheConsolePromptMakesTwoLines) {
  CCpu cpu;
  for (int i = 0; i < 8; ++i) cpu.SetRegister(i, static_cast<Word>(i == 7 ? 0xABCD : i * 0x111));
  cpu.SetPR(0x0100);
  cpu.SetSP(0x0FFF);
  cpu.SetFR(6);
  EXPECT_EQ(RegisterDumpText(cpu),
            "GR0=0000 GR1=0111 GR2=0222 GR3=0333 GR4=0444 GR5=0555 GR6=0666 GR7=ABCD\r\n"
            ">PR=0100 SP=0FFF FR=(OF=1 SF=1 ZF=0) minus overflow");
}

TEST(StdioConsole, RunLinesGoToTheirOwnStream) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  StdioConsole console(stdin, out, err);
  console.ConsoleWrite("HI");
  console.ConsoleMessage("GR0=0000\r\n>PR=0100");  // the register dump's line break
  StdioConsole single(stdin, out);
  single.ConsoleMessage("END");
  auto contents = [](std::FILE* f) {
    std::rewind(f);
    std::string s;
    for (int c; (c = std::getc(f)) != EOF;) s.push_back(static_cast<char>(c));
    std::fclose(f);
    return s;
  };
  EXPECT_EQ(contents(out), "HI\nEND\n");
  EXPECT_EQ(contents(err), "GR0=0000\n>PR=0100\n");
}

}  // namespace
}  // namespace tolvane::test
