#pragma once
#include <unistd.h>
// Fakes for the debugger core: a UI port that records every call and answers
// message boxes from a script, a console with scripted input, and a builder that
// writes small hand-assembled load modules.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/MessageSink.h"
#include "debugger/ExecutionControl.h"
#include "link/LoadModule.h"

namespace tolvane::debugger::testing {

inline const char* CommandName(Command c) {
  static const char* const kNames[] = {"End",   "Start",      "Go",    "Animate",    "Trace",     "Step",
                                       "Pause", "BreakPoint", "Watch", "JumpPopups", "WatchPopup"};
  return kNames[static_cast<int>(c)];
}

class FakeUi : public DebuggerUiPort {
 public:
  std::vector<std::string> calls;
  std::deque<BoxAnswer> answers;   // for boxes with buttons other than OK
  std::vector<std::string> boxes;  // "kind:text"
  std::function<void()> onTurn;    // run at each ProcessEvents
  std::function<void(int)> onWait;
  int turns = 0;
  int waits = 0;
  bool inputPending = false;
  bool cancelled = false;
  bool recordSelects = true;

  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override {
    static const char* const kKinds[] = {"Error", "Warning", "Information", "Confirm"};
    std::string s = std::string(kKinds[static_cast<int>(kind)]) + ":" + text;
    boxes.push_back(s);
    calls.push_back("box " + s);
    if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
    if (answers.empty()) ADD_FAILURE() << "unexpected question " << text;
    BoxAnswer a = answers.empty() ? BoxAnswer::No : answers.front();
    if (!answers.empty()) answers.pop_front();
    return a;
  }
  void SetStatusText(const std::string& text) override { calls.push_back("status " + text); }
  void SetCommandEnabled(Command c, bool on) override {
    calls.push_back(std::string("enable ") + CommandName(c) + (on ? "=1" : "=0"));
  }
  void ShowDebugWindow() override { calls.push_back("show"); }
  void SetPointer(Pointer p) override { calls.push_back("pointer " + std::to_string(static_cast<int>(p))); }
  void ProcessEvents() override {
    ++turns;
    calls.push_back("turn");
    if (onTurn) onTurn();
  }
  void WaitMilliseconds(int ms) override {
    ++waits;
    calls.push_back("wait " + std::to_string(ms));
    if (onWait) onWait(ms);
  }
  bool ConsoleInputPending() override { return inputPending; }
  void ConsoleCancelInput() override {
    calls.push_back("cancel input");
    cancelled = true;
  }
  void DisassemblyRebuilt(int rows, bool top) override {
    calls.push_back("rebuilt " + std::to_string(rows) + (top ? " top" : " keep"));
  }
  void ScrollDisassemblyRowToTop(int row) override { calls.push_back("scroll " + std::to_string(row)); }
  void SelectDisassemblyRow(int row) override {
    if (recordSelects) calls.push_back("select " + std::to_string(row));
  }
  void MarkDisassemblyRow(int row) override { calls.push_back("mark " + std::to_string(row)); }
  void FillVisibleDisassembly() override { calls.push_back("fill"); }
  void BreakpointsChanged() override { calls.push_back("breakpoints"); }
  void RefreshMemoryDump() override { calls.push_back("memory"); }
  void ResetMemoryDump(Word start) override { calls.push_back("reset memory " + std::to_string(start)); }
  void SelectMemoryCell(Word address) override { calls.push_back("cell " + std::to_string(address)); }
  void RefreshRegisters() override { calls.push_back("registers"); }
  void ChangeMarksReset() override { calls.push_back("marks reset"); }
  void RefreshWatches() override { calls.push_back("watches"); }

  bool Called(const std::string& call) const {
    for (const auto& c : calls)
      if (c == call) return true;
    return false;
  }
  int Count(const std::string& call) const {
    int n = 0;
    for (const auto& c : calls) n += c == call;
    return n;
  }
};

// Input lines come from `lines`; `onRead` runs while the input is pending (the
// UI's pending flag is set), as the window system would let the user act then.
class FakeConsole : public ConsolePort {
 public:
  explicit FakeConsole(FakeUi& ui) : ui_(ui) {}
  std::vector<std::string> written;
  std::deque<std::string> lines;
  std::function<void()> onRead;
  int reads = 0;

  Bytes ConsoleReadLine() override {
    ++reads;
    ui_.calls.push_back("read");
    ui_.inputPending = true;
    ui_.cancelled = false;
    if (onRead) onRead();
    ui_.inputPending = false;
    if (ui_.cancelled) return "";
    if (lines.empty()) return "\x1A";
    std::string l = lines.front();
    lines.pop_front();
    return l;
  }
  void ConsoleWrite(const Bytes& text) override {
    written.push_back(text);
    ui_.calls.push_back("console " + text);
  }

 private:
  FakeUi& ui_;
};

class NullSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string&) override {}
};

// A hand-assembled program: words from `origin`, its labels and data words.
struct ProgramImage {
  Word origin = 0x0100;
  Word start = 0x0100;
  std::vector<Word> words;
  std::vector<std::pair<std::string, Word>> symbols;
  std::vector<Word> data;
  Word stack = 0x0010;

  Word End() const { return static_cast<Word>(origin + words.size()); }
  // Writes NAME.exe and NAME.sym under the test's temporary folder; returns the .exe path.
  std::string Write(const std::string& name) const {
    namespace fs = std::filesystem;
    // One folder per process: ctest runs the tests of this program side by side.
    fs::path dir = fs::path(::testing::TempDir()) / ("tolvane_debugger_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string exe = (dir / (name + ".exe")).string();
    std::string sym = (dir / (name + ".sym")).string();
    LoadModule m;
    m.origin = origin;
    m.start = start;
    m.stackLimit = End();
    m.initialSp = static_cast<Word>(End() + stack);
    m.image = words;
    m.dataAddresses = data;
    SymbolTable t;
    for (const auto& [n, a] : symbols) t.push_back({n, a});
    NullSink sink;
    EXPECT_TRUE(WriteLoadModule(exe, m, sink));
    EXPECT_TRUE(WriteSymbolFile(sym, t, sink));
    return exe;
  }
};

// The fixture most tests share: a UI, a console and execution control over them.
class DebuggerFixture : public ::testing::Test {
 protected:
  FakeUi ui;
  FakeConsole console{ui};
  ExecutionControl ec{ui, console};
  BuildOptions options;

  bool Start(const ProgramImage& p, const std::string& name = "prog") {
    std::string exe = p.Write(name);
    ui.calls.clear();
    return ec.StartDebugging(exe, options);
  }
  Word PR() const { return ec.Cpu().GetPR(); }
  // The enabled state of every command, as "End=0 Start=1 ...".
  std::string Enabling() const {
    std::string s;
    for (int i = 0; i < kCommandCount; ++i) {
      if (i) s += ' ';
      s += CommandName(static_cast<Command>(i));
      s += ec.IsEnabled(static_cast<Command>(i)) ? "=1" : "=0";
    }
    return s;
  }
};

}  // namespace tolvane::debugger::testing
