// Whole sessions of `tolvane-cli dap` over pipes, as an editor drives it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "DapClient.h"

namespace tolvane::dap {
namespace {

namespace fs = std::filesystem;
using testing::DapClient;
using testing::json;

// Counts to three through a routine, then echoes a line.
const char* const kCount =
    "; count to three, then echo a line\n"  // 1
    "MAIN    START\n"                       // 2
    "        LAD     GR1,0\n"               // 3  0100
    "LOOP    CALL    INC\n"                 // 4  0102
    "        CPA     GR1,=3\n"              // 5  0104
    "        JMI     LOOP\n"                // 6  0106
    "        IN      BUF,LEN\n"             // 7  0108
    "        OUT     BUF,LEN\n"             // 8
    "        RET\n"                         // 9
    "; add one to GR1\n"                    // 10
    "INC     LAD     GR1,1,GR1\n"           // 11
    "        RET\n"                         // 12
    "BUF     DS      16\n"                  // 13
    "LEN     DS      1\n"                   // 14
    "        END\n";                        // 15

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tolvane-dap-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }

  // initialize and launch; the rest of the launch arguments in `launch`.
  void Launch(DapClient& c, const std::string& program, json launch = json::object()) {
    const json caps = c.Request("initialize", {{"adapterID", "tolvane"}, {"linesStartAt1", true}});
    EXPECT_TRUE(caps.value("supportsStepBack", false));
    launch["program"] = program;
    c.Request("launch", launch);
    c.Event("initialized");
  }

  // The register's value text in the Registers scope.
  static std::string Register(DapClient& c, const std::string& name) {
    const json body = c.Request("variables", {{"variablesReference", 1}});
    for (const json& v : body["variables"])
      if (v["name"] == name) return v["value"];
    return "?";
  }
  static int TopLine(DapClient& c) { return c.Request("stackTrace", {{"threadId", 1}})["stackFrames"][0]["line"]; }

  fs::path dir_;
};

TEST_F(SessionTest, BreakpointStepsBackAndForthToTheEnd) {
  DapClient c(TOLVANE_CLI, dir_.string());
  const std::string source = Write("count.cas", kCount);
  Launch(c, source, {{"input", json::array({"HELLO"})}});

  // A comment line: the breakpoint goes to the next line with an instruction;
  // a DS line has none after it.
  const json bps = c.Request("setBreakpoints", {{"source", {{"path", source}}},
                                                {"breakpoints", json::array({{{"line", 10}}, {{"line", 14}}})}});
  ASSERT_EQ(bps["breakpoints"].size(), 2u);
  EXPECT_EQ(bps["breakpoints"][0]["verified"], true);
  EXPECT_EQ(bps["breakpoints"][0]["line"], 11);
  EXPECT_EQ(bps["breakpoints"][1]["verified"], false);
  EXPECT_FALSE(bps["breakpoints"][1].value("message", "").empty());

  c.Request("configurationDone");
  json stopped = c.Stopped();
  EXPECT_EQ(stopped["reason"], "breakpoint");
  EXPECT_EQ(stopped["hitBreakpointIds"], json::array({bps["breakpoints"][0]["id"]}));

  // The routine's frame on its line, and the CALL below it.
  const json frames = c.Request("stackTrace", {{"threadId", 1}})["stackFrames"];
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0]["name"], "INC");
  EXPECT_EQ(frames[0]["line"], 11);
  EXPECT_EQ(frames[0]["source"]["path"], fs::weakly_canonical(source).string());
  EXPECT_EQ(frames[1]["name"], "MAIN");
  EXPECT_EQ(frames[1]["line"], 4);
  EXPECT_EQ(Register(c, "GR1"), "0000 (0, 0)");

  c.Request("next", {{"threadId", 1}});
  EXPECT_EQ(c.Stopped()["reason"], "step");
  EXPECT_EQ(TopLine(c), 12);
  EXPECT_EQ(Register(c, "GR1"), "0001 (1, 1)");

  c.Request("stepBack", {{"threadId", 1}});
  EXPECT_EQ(c.Stopped()["reason"], "step");
  EXPECT_EQ(TopLine(c), 11);
  EXPECT_EQ(Register(c, "GR1"), "0000 (0, 0)");

  c.Request("stepOut", {{"threadId", 1}});
  EXPECT_EQ(c.Stopped()["reason"], "step");
  EXPECT_EQ(c.Request("stackTrace", {{"threadId", 1}})["stackFrames"].size(), 1u);
  EXPECT_EQ(TopLine(c), 5);

  c.Request("continue", {{"threadId", 1}});
  EXPECT_EQ(c.Stopped()["reason"], "breakpoint");
  EXPECT_EQ(Register(c, "GR1"), "0001 (1, 1)");

  c.Request("setBreakpoints", {{"source", {{"path", source}}}, {"breakpoints", json::array()}});
  c.Request("continue", {{"threadId", 1}});
  EXPECT_EQ(c.Event("exited")["body"]["exitCode"], 0);
  c.Event("terminated");
  EXPECT_EQ(c.Output("stdout"), "HELLO\n");
  EXPECT_NE(c.Output("console").find("Program terminated normally"), std::string::npos);
  c.Request("disconnect");
  EXPECT_EQ(c.Exit(), 0);
}

TEST_F(SessionTest, InLinesFromTheDebugConsole) {
  DapClient c(TOLVANE_CLI, dir_.string());
  Launch(c, Write("echo.cas", "ECHO START\n IN BUF,LEN\n OUT BUF,LEN\n RET\nBUF DS 8\nLEN DS 1\n END\n"));
  c.Request("configurationDone");
  // The IN waits: it cannot be paused, and the console's next line is its input.
  for (json m = c.Next(); !m.is_null(); m = c.Next())
    if (m["type"] == "event" && m["event"] == "output" &&
        m["body"]["output"].get<std::string>().find("IN is waiting") == 0)
      break;
  EXPECT_NE(c.Refused("pause", {{"threadId", 1}}).find("IN is waiting"), std::string::npos);
  c.Request("evaluate", {{"expression", "ABC"}, {"context", "repl"}});
  EXPECT_EQ(c.Event("exited")["body"]["exitCode"], 0);
  EXPECT_EQ(c.Output("stdout"), "ABC\n");
}

TEST_F(SessionTest, PauseAndTerminateAnEndlessLoop) {
  DapClient c(TOLVANE_CLI, dir_.string());
  Launch(c, Write("loop.cas", "MAIN START\nLOOP JUMP LOOP\n END\n"));
  c.Request("configurationDone");
  c.Request("pause", {{"threadId", 1}});
  EXPECT_EQ(c.Stopped()["reason"], "pause");
  c.Request("terminate");
  EXPECT_EQ(c.Event("exited")["body"]["exitCode"], 3);
  c.Event("terminated");
  EXPECT_NE(c.Output("console").find("Program terminated abnormally"), std::string::npos);
  c.Request("disconnect");
  EXPECT_EQ(c.Exit(), 0);
}

TEST_F(SessionTest, ExceptionsStopTheProgramThenEndIt) {
  struct Case {
    const char* name;
    const char* source;
    const char* id;
    const char* text;  // the start of the stop's text
    int line;          // where the program stopped
  };
  const Case cases[] = {
      {"stack overflow", "MAIN START\nREC CALL REC\n END\n", "StackOverflow", "スタックオーバーフロー", 2},
      {"undefined instruction", "MAIN START\n JUMP DATA\nDATA DC #FF00\n END\n", "UndefinedInstruction",
       "Undefined instruction FF00 at PR=", 3},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    DapClient c(TOLVANE_CLI, dir_.string());
    Launch(c, Write("ex.cas", k.source));
    c.Request("configurationDone");
    const json stopped = c.Stopped();
    EXPECT_EQ(stopped["reason"], "exception");
    EXPECT_EQ(stopped.value("text", "").rfind(k.text, 0), 0u) << stopped.dump();
    const json info = c.Request("exceptionInfo", {{"threadId", 1}});
    EXPECT_EQ(info["exceptionId"], k.id);
    // The state can still be looked at, and going on ends the program abnormally.
    EXPECT_EQ(c.Request("stackTrace", {{"threadId", 1}})["stackFrames"][0]["line"], k.line);
    c.Request("continue", {{"threadId", 1}});
    EXPECT_EQ(c.Event("exited")["body"]["exitCode"], 3);
    c.Request("disconnect");
    EXPECT_EQ(c.Exit(), 0);
  }
}

TEST_F(SessionTest, BuildErrorsCarryTheirFileAndLine) {
  DapClient c(TOLVANE_CLI, dir_.string());
  const std::string source = Write("bad.cas", "BAD START\n LD GR9,X\n RET\nX DC 1\n END\n");
  c.Request("initialize", {{"adapterID", "tolvane"}});
  EXPECT_NE(c.Refused("launch", {{"program", source}}).find("build failed"), std::string::npos);
  bool located = false;
  for (const json& m : c.Seen())
    if (m["type"] == "event" && m["event"] == "output" && m["body"].contains("line"))
      located = m["body"]["line"] == 2 && m["body"]["category"] == "stderr" &&
                m["body"]["source"]["path"] == fs::weakly_canonical(source).string();
  EXPECT_TRUE(located);
  c.Request("disconnect");
  EXPECT_EQ(c.Exit(), 0);
}

TEST_F(SessionTest, BadInputGetsErrorsAndTheAdapterGoesOn) {
  DapClient c(TOLVANE_CLI, dir_.string());
  c.Request("initialize", {{"adapterID", "tolvane"}});
  EXPECT_NE(c.Refused("frobnicate").find("unknown request"), std::string::npos);
  EXPECT_NE(c.Refused("stackTrace", {{"threadId", 1}}).find("no program"), std::string::npos);
  EXPECT_NE(c.Refused("launch").find("'program' is missing"), std::string::npos);
  EXPECT_NE(c.Refused("launch", {{"program", 5}}).find("'program'"), std::string::npos);
  EXPECT_NE(c.Refused("launch", {{"program", "x.cas"}, {"stopOnEntry", "yes"}}).find("stopOnEntry"), std::string::npos);
  c.Raw(rpc::EncodeFrame("this is not JSON"));
  c.Raw("Content-Type: nothing\r\n\r\n");
  c.Raw(rpc::EncodeFrame("{\"seq\":9,\"type\":\"request\",\"command\":\"threads\",\"arguments\":[1]}"));
  const json r = c.Next();
  ASSERT_FALSE(r.is_null());
  c.Request("threads");
  c.Request("disconnect");
  EXPECT_EQ(c.Exit(), 0);
}

TEST_F(SessionTest, MemoryDisassemblyAndInstructionBreakpoints) {
  DapClient c(TOLVANE_CLI, dir_.string());
  const std::string source = Write("count.cas", kCount);
  Launch(c, source, {{"stopOnEntry", true}, {"input", "X\n"}});
  c.Request("configurationDone");
  EXPECT_EQ(c.Stopped()["reason"], "entry");

  // LEN's word: read as bytes (high byte first), written, evaluated.
  const json len = c.Request("evaluate", {{"expression", "LEN"}, {"context", "watch"}});
  const std::string ref = len["memoryReference"];
  c.Request("writeMemory", {{"memoryReference", ref}, {"data", Base64Encode(std::string("\x12\x34", 2))}});
  EXPECT_EQ(c.Request("evaluate", {{"expression", "LEN"}})["result"], "1234 (4660, 4660, '4')");
  EXPECT_EQ(c.Request("readMemory", {{"memoryReference", ref}, {"count", 2}})["data"], Base64Encode("\x12\x34"));
  c.Request("setVariable", {{"variablesReference", 3}, {"name", "LEN"}, {"value", "-1"}});
  EXPECT_EQ(c.Request("evaluate", {{"expression", "LEN"}})["result"], "FFFF (65535, -1)");
  EXPECT_NE(c.Refused("setVariable", {{"variablesReference", 1}, {"name", "GR1"}, {"value", "xyz"}}), "");

  // Disassembly from PR: the current instruction with its label and line.
  const json dis =
      c.Request("disassemble", {{"memoryReference", "0x0100"}, {"instructionCount", 3}, {"instructionOffset", -1}});
  ASSERT_EQ(dis["instructions"].size(), 3u);
  EXPECT_EQ(dis["instructions"][1]["address"], "0x0100");
  EXPECT_EQ(dis["instructions"][1]["instruction"], "LAD     GR1,#0000");
  EXPECT_EQ(dis["instructions"][1]["symbol"], "MAIN");
  EXPECT_EQ(dis["instructions"][1]["line"], 3);

  // An instruction breakpoint on the CPA, hit the second time only; then back to the first.
  const json ib =
      c.Request("setInstructionBreakpoints",
                {{"breakpoints", json::array({{{"instructionReference", "0x0104"}, {"hitCondition", "==2"}}})}});
  EXPECT_EQ(ib["breakpoints"][0]["line"], 5);
  c.Request("continue", {{"threadId", 1}});
  EXPECT_EQ(c.Stopped()["reason"], "breakpoint");
  EXPECT_EQ(Register(c, "GR1"), "0002 (2, 2)");
  c.Request("reverseContinue", {{"threadId", 1}});
  EXPECT_EQ(c.Stopped()["reason"], "breakpoint");
  EXPECT_EQ(Register(c, "GR1"), "0001 (1, 1)");
  EXPECT_EQ(TopLine(c), 5);
  c.Request("disconnect");
  EXPECT_EQ(c.Exit(), 0);
}

}  // namespace
}  // namespace tolvane::dap
