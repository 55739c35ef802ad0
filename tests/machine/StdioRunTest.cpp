#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tolvane::test
