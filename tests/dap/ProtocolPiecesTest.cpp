// The pieces of the adapter around the protocol: base64,
// the build's message lines, disassembly rows and breakpoint lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dap/Base64.h"
#include "dap/DisassemblyRow.h"
#include "dap/SourceSteps.h"

namespace tolvane::dap {
namespace {

TEST(ProtocolPiecesTest, Base64) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {std::string("\x00\xFF\x10", 3), "AP8Q"}};
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(Base64Encode(bytes), text);
    std::string back;
    ASSERT_TRUE(Base64Decode(text, back)) << text;
    EXPECT_EQ(back, bytes);
  }
  std::string out;
  for (const char* bad : {"Z", "Zg=a", "Z!==", "Zh==", "Zg==="}) EXPECT_FALSE(Base64Decode(bad, out)) << bad;
}

TEST(ProtocolPiecesTest, DisassemblyRows) {
  struct Case {
    const char* row;
    const char* words;
    const char* label;
    const char* instruction;
  };
  const Case cases[] = {
      {"0100  1010 0200  LOOP     LD      GR1,#0200", "1010 0200", "LOOP", "LD      GR1,#0200"},
      {"0102  8100                RET     ", "8100", "", "RET"},
      {"0103  0041       BUF      ****    ", "0041", "BUF", "****"},
      {"0104  1234", "1234", "", ""},
  };
  for (const Case& c : cases) {
    const RowParts p = SplitDisassemblyRow(c.row);
    EXPECT_EQ(p.words, c.words) << c.row;
    EXPECT_EQ(p.label, c.label) << c.row;
    EXPECT_EQ(p.instruction, c.instruction) << c.row;
  }
}

TEST(ProtocolPiecesTest, BreakpointLines) {
  // Address order: line 3 (two words), a DC on line 4, an IN macro on line 6,
  // line 9, and line 5 placed last (a second program in the file).
  const std::vector<LineRun> runs = {
      {0x0100, 2, 3, true}, {0x0102, 1, 4, false}, {0x0103, 12, 6, true}, {0x010F, 1, 9, true}, {0x0110, 1, 5, true}};
  struct Case {
    int asked;
    bool placed;
    int line;
    Word address;
  };
  const Case cases[] = {{1, true, 3, 0x0100}, {3, true, 3, 0x0100}, {4, true, 5, 0x0110},
                        {6, true, 6, 0x0103}, {7, true, 9, 0x010F}, {10, false, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    const std::optional<LinePlace> p = PlaceOnLine(runs, c.asked);
    ASSERT_EQ(p.has_value(), c.placed);
    if (!p) continue;
    EXPECT_EQ(p->line, c.line);
    EXPECT_EQ(p->address, c.address);
  }
}

}  // namespace
}  // namespace tolvane::dap
