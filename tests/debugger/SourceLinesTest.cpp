// Line maps from the assembler and the linker, and the debugger's source lines
// read back from them: which words each line produced, checked against the
// files on disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DebuggerTestSupport.h"
#include "asm/Assembler.h"
#include "common/Cp932.h"
#include "debugger/ExecutionControl.h"
#include "debugger/SourceLines.h"
#include "link/LineMap.h"
#include "link/Linker.h"

namespace tolvane::debugger {
namespace {

namespace fs = std::filesystem;
using testing::FakeConsole;
using testing::FakeUi;
using testing::NullSink;

// Two programs in one file, a macro of each kind, literals (one used twice),
// DS and DC.
const char* const kMain =
    "; two programs\n"   // 1
    "MAIN\tSTART\n"      // 2
    "\tLD\tGR1,=5\n"     // 3  0000-0001
    "\tADDA\tGR1,=5\n"   // 4  0002-0003
    "\tOUT\tBUF,LEN\n"   // 5  0004-000F
    "\tRPUSH\n"          // 6  0010-001D
    "\tRPOP\n"           // 7  001E-0024
    "\tCALL\tSUB2\n"     // 8  0025-0026
    "\tRET\n"            // 9  0027
    "BUF\tDS\t3\n"       // 10 0028-002A
    "LEN\tDC\t3\n"       // 11 002B
    "\tEND\n"            // 12 =5 at 002C, for line 3
    "SUB\tSTART\n"       // 13
    "\tLD\tGR0,='AB'\n"  // 14 002D-002E
    "\tRET\n"            // 15 002F
    "\tEND\n";           // 16 'AB' at 0030-0031, for line 14
const char* const kSecond =
    "SUB2\tSTART\n"  // 1
    "\tNOP\n"        // 2  0000 (0032 linked)
    "\tRET\n"        // 3  0001 (0033)
    "\tEND\n";       // 4

class SourceLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tolvane-lines-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    Write("main.cas", kMain);
    Write("second.cas", kSecond);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
  bool Build() {
    NullSink sink;
    BuildOptions options;
    options.listing = 0;
    return Assemble(P("main.cas"), options, sink) == 1 && Assemble(P("second.cas"), options, sink) == 1 &&
           Link({P("main.cas"), P("second.cas")}, options, sink);
  }

  fs::path dir_;
};

TEST_F(SourceLinesTest, ObjectMapHasEveryLineThatProducedWords) {
  NullSink sink;
  BuildOptions options;
  options.listing = 0;
  ASSERT_EQ(Assemble(P("main.cas"), options, sink), 1);
  LineMap map;
  ASSERT_TRUE(ReadLineMap(P("main.olm"), map));
  FileFingerprint obj;
  ASSERT_TRUE(FingerprintFile(P("main.obj"), obj));
  EXPECT_EQ(map.target, obj);
  ASSERT_EQ(map.sources.size(), 1u);
  EXPECT_EQ(map.sources[0].path, P("main.cas"));
  EXPECT_EQ(map.sources[0].fingerprint, FingerprintOf(kMain));
  const std::vector<LineRun> expected = {
      {0x0000, 2, 3, true},   {0x0002, 2, 4, true},  {0x0004, 12, 5, true}, {0x0010, 14, 6, true},
      {0x001E, 7, 7, true},   {0x0025, 2, 8, true},  {0x0027, 1, 9, true},  {0x0028, 3, 10, false},
      {0x002B, 1, 11, false}, {0x002C, 1, 3, false}, {0x002D, 2, 14, true}, {0x002F, 1, 15, true},
      {0x0030, 2, 14, false},
  };
  EXPECT_EQ(map.sources[0].runs, expected);
}

TEST_F(SourceLinesTest, LinkedFilesMapToTheirOwnLinesAtAbsoluteAddresses) {
  ASSERT_TRUE(Build());
  SourceLines lines;
  EXPECT_TRUE(lines.Load(P("main.exe")).empty());
  ASSERT_EQ(lines.Sources().size(), 2u);
  struct Case {
    Word address;
    const char* file;
    int line;
    bool code;
  } cases[] = {
      {0x0100, "main.cas", 3, true},   {0x0101, "main.cas", 3, true},   {0x010F, "main.cas", 5, true},
      {0x0128, "main.cas", 10, false}, {0x012C, "main.cas", 3, false},  {0x0131, "main.cas", 14, false},
      {0x0132, "second.cas", 2, true}, {0x0133, "second.cas", 3, true},
  };
  for (const Case& c : cases) {
    SourceLocation at = lines.Locate(c.address);
    ASSERT_TRUE(at.Found()) << std::hex << c.address;
    EXPECT_EQ(fs::path(lines.Sources()[at.source].path).filename(), c.file) << std::hex << c.address;
    EXPECT_EQ(at.line, c.line) << std::hex << c.address;
    EXPECT_EQ(at.code, c.code) << std::hex << c.address;
  }
  EXPECT_FALSE(lines.Locate(0x0134).Found());  // the stack
  EXPECT_FALSE(lines.Locate(0x00FF).Found());

  const int main = lines.FindSource(P("main.cas"));
  const int second = lines.FindSource("second.cas");  // by its name, as typed
  ASSERT_GE(main, 0);
  ASSERT_GE(second, 0);
  EXPECT_EQ(lines.FindSource("second.cas", false), -1);
  EXPECT_EQ(lines.FindSource("other.cas"), -1);
  Word address = 0;
  EXPECT_TRUE(lines.InstructionOfLine(main, 5, address));
  EXPECT_EQ(address, 0x0104);
  EXPECT_TRUE(lines.InstructionOfLine(second, 3, address));
  EXPECT_EQ(address, 0x0133);
  for (int line : {1, 2, 10, 11, 12, 16, 99}) EXPECT_FALSE(lines.InstructionOfLine(main, line, address)) << line;
  EXPECT_EQ(lines.LinesOfAddresses(main, {0x0106, 0x0104, 0x0128, 0x0132}), (std::vector<std::int32_t>{5}));
}

// Where a line's breakpoint goes, or why it cannot: the one rule both front
// ends follow.
TEST_F(SourceLinesTest, ResolveLineGivesTheAddressOrTheRefusal) {
  ASSERT_TRUE(Build());
  std::string changed = kSecond;
  changed[changed.find("NOP")] = 'n';
  Write("second.cas", changed);
  SourceLines lines;
  lines.Load(P("main.exe"));
  struct Case {
    std::string path;
    int line;
    bool byName;
    Word address;         // when found
    std::string refusal;  // empty: found
  } cases[] = {
      {P("main.cas"), 5, false, 0x0104, ""},
      {"main.cas", 9, true, 0x0127, ""},  // by its name, as typed
      {"main.cas", 9, false, 0, NotASourceMessage("main.cas")},
      {P("main.cas"), 11, false, 0, NoInstructionOnLineMessage()},  // DC
      {P("main.cas"), 0, false, 0, NoInstructionOnLineMessage()},
      {P("other.cas"), 1, false, 0, NotASourceMessage(P("other.cas"))},
      {P("second.cas"), 2, false, 0, SourceChangedMessage(P("second.cas"))},
  };
  for (const Case& c : cases) {
    const LineTarget t = lines.ResolveLine(c.path, c.line, c.byName);
    EXPECT_EQ(t.refusal, c.refusal) << c.path << ":" << c.line;
    if (t.Found()) {
      EXPECT_EQ(t.address, c.address) << c.path << ":" << c.line;
    }
  }
  EXPECT_EQ(ChangedSources(P("main.exe")), std::vector<std::string>{P("second.cas")});
  Write("second.cas", kSecond);
  EXPECT_TRUE(ChangedSources(P("main.exe")).empty());
  SourceLines none;
  EXPECT_EQ(none.ResolveLine(P("main.cas"), 5, false).refusal, NoSourceLinesMessage());
}

// A line's text for the terminal's stops, read from the file once; lines end
// in LF or CR LF, the last one perhaps in neither.
TEST_F(SourceLinesTest, LineTextsComeFromTheFileAsBuilt) {
  Write("crlf.cas", "CRLF\tSTART\r\n\tNOP\t; first\r\n\tRET\r\n\tEND");
  NullSink sink;
  BuildOptions options;
  options.listing = 0;
  ASSERT_EQ(Assemble(P("crlf.cas"), options, sink), 1);
  ASSERT_TRUE(Link({P("crlf.cas")}, options, sink));
  SourceLines lines;
  ASSERT_TRUE(lines.Load(P("crlf.exe")).empty());
  const int s = lines.FindSource(P("crlf.cas"));
  ASSERT_GE(s, 0);
  EXPECT_EQ(lines.LineText(s, 1), "CRLF\tSTART");
  EXPECT_EQ(lines.LineText(s, 2), "\tNOP\t; first");
  EXPECT_EQ(lines.LineText(s, 4), "\tEND");
  EXPECT_EQ(lines.LineText(s, 5), "");
  EXPECT_EQ(lines.LineText(s, 0), "");
  EXPECT_EQ(lines.LineText(s + 1, 1), "");
}

// The folder of a build moved (or another folder is current): the sources are
// found beside the load module.
TEST_F(SourceLinesTest, SourcesAreFoundBesideTheLoadModule) {
  ASSERT_TRUE(Build());
  const fs::path moved = dir_.string() + "-moved";
  fs::rename(dir_, moved);
  const std::string exe = (moved / "main.exe").string();
  SourceLines lines;
  EXPECT_TRUE(lines.Load(exe).empty());
  EXPECT_FALSE(lines.Empty());
  const int main = lines.FindSource((moved / "main.cas").string(), false);
  ASSERT_GE(main, 0);
  EXPECT_EQ(lines.Locate(0x0104).line, 5);
  EXPECT_EQ(lines.LineText(main, 5), "\tOUT\tBUF,LEN");
  fs::rename(moved, dir_);
}

TEST_F(SourceLinesTest, ChangedFilesFallBackToNoLines) {
  ASSERT_TRUE(Build());
  SourceLines lines;
  // A source changed after the build (same size, other bytes): that source goes.
  std::string changed = kSecond;
  changed[changed.find("NOP")] = 'n';
  Write("second.cas", changed);
  std::vector<std::string> messages = lines.Load(P("main.exe"));
  EXPECT_EQ(messages, std::vector<std::string>{SourceChangedMessage(P("second.cas"))});
  const int second = lines.FindSource("second.cas");
  ASSERT_GE(second, 0);  // still known, with the reason
  EXPECT_EQ(lines.Sources()[second].dropped, SourceChangedMessage(P("second.cas")));
  Word address = 0;
  EXPECT_FALSE(lines.InstructionOfLine(second, 2, address));
  EXPECT_FALSE(lines.Locate(0x0132).Found());
  EXPECT_TRUE(lines.Locate(0x0100).Found());

  fs::remove(dir_ / "second.cas");
  EXPECT_EQ(lines.Load(P("main.exe")), std::vector<std::string>{SourceMissingMessage(P("second.cas"))});

  // The load module itself replaced: nothing of the map is trusted.
  Write("second.cas", kSecond);
  std::string exe;
  {
    std::ifstream in(dir_ / "main.exe", std::ios::binary);
    exe.assign(std::istreambuf_iterator<char>(in), {});
  }
  exe.back() ^= 1;
  Write("main.exe", exe);
  EXPECT_EQ(lines.Load(P("main.exe")), std::vector<std::string>{ModuleChangedMessage(P("main.exe"))});
  EXPECT_TRUE(lines.Empty());

  Write("main.elm", "TOLVANE-LINEMAP 1\nTARGET 1 0\n");  // cut short
  EXPECT_EQ(lines.Load(P("main.exe")), std::vector<std::string>{LineMapUnreadableMessage(P("main.elm"))});

  // A line of 255 bytes or more is several lines to the assembler: its
  // numbers would part from the editor's, so the source goes.
  Write("long.cas", "LONG\tSTART\n\tNOP\t;" + std::string(249, 'x') + ";ok\n\tRET\n\tEND\n");
  {
    NullSink sink;
    BuildOptions options;
    options.listing = 0;
    ASSERT_EQ(Assemble(P("long.cas"), options, sink), 1);
    ASSERT_TRUE(Link({P("long.cas")}, options, sink));
  }
  EXPECT_EQ(lines.Load(P("long.exe")), std::vector<std::string>{SourceLongLinesMessage(P("long.cas"))});

  // No map at all: no lines and nothing to say.
  fs::remove(dir_ / "main.elm");
  EXPECT_TRUE(lines.Load(P("main.exe")).empty());
  EXPECT_TRUE(lines.Empty());
}

TEST_F(SourceLinesTest, AnObjectWhoseMapIsStaleAddsNoLines) {
  NullSink sink;
  BuildOptions options;
  options.listing = 0;
  ASSERT_EQ(Assemble(P("second.cas"), options, sink), 1);
  // The object replaced by other bytes after its map was written (another
  // tool, say): the linker leaves its lines out.
  ASSERT_EQ(Assemble(P("main.cas"), options, sink), 1);
  fs::copy_file(dir_ / "main.olm", dir_ / "keep.olm");
  Write("main.cas", std::string(kMain).replace(std::string(kMain).find("RPOP"), 4, "NOP "));
  ASSERT_EQ(Assemble(P("main.cas"), options, sink), 1);
  fs::copy_file(dir_ / "keep.olm", dir_ / "main.olm", fs::copy_options::overwrite_existing);
  ASSERT_TRUE(Link({P("main.cas"), P("second.cas")}, options, sink));
  LineMap module;
  ASSERT_TRUE(ReadLineMap(P("main.elm"), module));
  ASSERT_EQ(module.sources.size(), 1u);
  EXPECT_EQ(module.sources[0].path, P("second.cas"));

  // Without any map no module map is left behind either.
  fs::remove(dir_ / "second.olm");
  ASSERT_TRUE(Link({P("main.cas"), P("second.cas")}, options, sink));
  EXPECT_FALSE(fs::exists(dir_ / "main.elm"));
}

TEST(LineMapFormat, RoundTripsAndRefusesMalformedText) {
  LineMap map;
  map.target = {12, 0xABCDEF0123456789ULL};
  map.sources.push_back({"dir with space/a.cas", {5, 1}, {{0x0100, 2, 3, true}, {0xFFFF, 1, 70000, false}}});
  map.sources.push_back({"b.cas", {0, 0}, {}});
  const std::string text = FormatLineMap(map);
  EXPECT_EQ(text,
            "TOLVANE-LINEMAP 1\nTARGET 12 ABCDEF0123456789\n"
            "SOURCE 5 0000000000000001 dir with space/a.cas\nRUN 0100 2 3 C\nRUN FFFF 1 70000 D\n"
            "SOURCE 0 0000000000000000 b.cas\nEND\n");
  LineMap back;
  ASSERT_TRUE(ParseLineMap(text, back));
  EXPECT_EQ(back, map);

  const char* const bad[] = {
      "",
      "TOLVANE-LINEMAP 2\nTARGET 1 0\nEND\n",
      "TOLVANE-LINEMAP 1\nTARGET 1 0\n",                                     // no END
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nEND",                                  // cut in the last line
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nEND\nRUN 0000 1 1 C\n",                // after END
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nRUN 0000 1 1 C\nEND\n",                // run without a source
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nSOURCE 1 0 a\nRUN FFFF 2 1 C\nEND\n",  // past FFFF
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nSOURCE 1 0 a\nRUN 0000 0 1 C\nEND\n",  // empty run
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nSOURCE 1 0 a\nRUN 0000 1 0 C\nEND\n",  // line 0
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nSOURCE 1 0 a\nRUN 0000 1 1 X\nEND\n",
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nSOURCE 1 0 a\nRUN 0000 1 1 C x\nEND\n",
      "TOLVANE-LINEMAP 1\nTARGET 1 0\nSOURCE 1 0\nEND\n",  // no path
      "TOLVANE-LINEMAP 1\nTARGET x 0\nEND\n",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseLineMap(text, back)) << text;
}

// A line's breakpoint is the table's breakpoint on its first instruction word.
TEST_F(SourceLinesTest, ToggleOnALineUsesTheOneBreakpointTable) {
  ASSERT_TRUE(Build());
  FakeUi ui;
  FakeConsole console(ui);
  ExecutionControl ec(ui, console);
  BuildOptions options;
  ASSERT_TRUE(ec.StartDebugging(P("main.exe"), options));
  SourceLines lines;
  ASSERT_TRUE(lines.Load(P("main.exe")).empty());
  const int main = lines.FindSource(P("main.cas"));

  EXPECT_EQ(ToggleBreakpointOnLine(ec, lines, main, 5), LineToggle::Added);
  ASSERT_EQ(ec.Breakpoints().Count(), 1);
  EXPECT_EQ(ec.Breakpoints().Rows()[0].address, 0x0104);
  EXPECT_EQ(ToggleBreakpointOnLine(ec, lines, main, 11), LineToggle::NoInstruction);  // DC
  EXPECT_EQ(ToggleBreakpointOnLine(ec, lines, main, 1), LineToggle::NoInstruction);   // comment
  EXPECT_EQ(ec.Breakpoints().Count(), 1);

  // One set inside the macro's words from the disassembly belongs to the line too.
  ec.ToggleBreakpointAt(0x010C);
  EXPECT_EQ(ToggleBreakpointOnLine(ec, lines, main, 5), LineToggle::Removed);
  EXPECT_EQ(ec.Breakpoints().Count(), 0);

  // GO stops at a line's breakpoint.
  ASSERT_EQ(ToggleBreakpointOnLine(ec, lines, main, 9), LineToggle::Added);
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(lines.Locate(ec.Cpu().GetPR()).line, 9);
  EXPECT_TRUE(ec.DebuggingActive());
}

}  // namespace
}  // namespace tolvane::debugger
