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

#include "common/InstructionSet.h"
#include "common/MessageSink.h"
#include "debugger/ExecutionControl.h"
#include "link/LoadModule.h"

namespace tolvane::debugger::testing {

inline const char* CommandName(Command c) {
  static const char* const kNames[] = {"End",   "Start",      "Go",    "Animate",    "Trace",      "Step",
                                       "Pause", "BreakPoint", "Watch", "JumpPopups", "WatchPopup", "BackStep"};
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
  int sessionChanges = 0;
  std::string status;  // the status line as told

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
  // "state PHASE", then "status TEXT" when the status line changed with it.
  void SessionChanged(const SessionView& view) override {
    ++sessionChanges;
    calls.push_back(std::string("state ") + PhaseName(view.phase));
    if (view.status != status) calls.push_back("status " + view.status);
    status = view.status;
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
  // "panes" with the panes, "rebuilt [top]", the focus and "from start":
  // "panes registers watches next 3", "panes memory start cell 256".
  void OnPanesChanged(const PanesChanged& c) override {
    changes.push_back(c);
    calls.push_back(Describe(c));
  }
  // "stopped REASON" ("stopped Breakpoint"); "withdrew N" after it when Back Step withdrew output.
  void OnStopped(const Stopped& s) override {
    stops.push_back(s);
    calls.push_back(std::string("stopped ") + ReasonName(s.reason));
  }
  std::vector<PanesChanged> changes;
  std::vector<Stopped> stops;

  static std::string Describe(const PanesChanged& c) {
    static const std::pair<Pane, const char*> kPanes[] = {
        {Pane::Disassembly, "disassembly"}, {Pane::Breakpoints, "breakpoints"}, {Pane::Memory, "memory"},
        {Pane::Registers, "registers"},     {Pane::Watches, "watches"},         {Pane::ChangeMarks, "marks"}};
    static const char* const kKinds[] = {"", "next", "prmoved", "jump", "start"};
    std::string s = "panes";
    for (const auto& [pane, name] : kPanes)
      if (c.which.Has(pane)) s += std::string(" ") + name;
    if (c.rebuilt) s += c.scrollToTop ? " rebuilt top" : " rebuilt";
    if (c.focus.kind != Focus::Kind::None) {
      s += std::string(" ") + kKinds[static_cast<int>(c.focus.kind)];
      s +=
          c.focus.pane == Pane::Memory ? " cell " + std::to_string(c.focus.address) : " " + std::to_string(c.focus.row);
    }
    if (c.fromStart) s += " from start";
    return s;
  }
  static const char* ReasonName(StopReason r) {
    static const char* const kNames[] = {"ProgramEnd",  "StackOverflow", "UndefinedWord", "StepLimit",
                                         "EndedByUser", "Breakpoint",    "Paused",        "Stepped",
                                         "NoRow",       "LoadFailed",    "Refused"};
    return kNames[static_cast<int>(r)];
  }

  // Whether a PanesChanged record named the pane, and how many did.
  bool Told(Pane pane) const { return CountTold(pane) > 0; }
  int CountTold(Pane pane) const {
    int n = 0;
    for (const PanesChanged& c : changes) n += c.which.Has(pane);
    return n;
  }
  bool RebuiltKeepingView() const {
    for (const PanesChanged& c : changes)
      if (c.rebuilt && !c.scrollToTop) return true;
    return false;
  }
  // Whether a record made the row current for that reason.
  bool Focused(Focus::Kind kind, int row) const {
    for (const PanesChanged& c : changes)
      if (c.focus == Focus::Row(kind, row)) return true;
    return false;
  }
  void Clear() {
    calls.clear();
    changes.clear();
    stops.clear();
  }

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
  std::vector<std::string> written;  // every line, the run's own messages too
  std::vector<std::string> outputs;  // the program's lines still standing (withdrawals taken off)
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
    std::string l = "\x1A";
    if (ui_.cancelled) {
      l.clear();
    } else if (!lines.empty()) {
      l = lines.front();
      lines.pop_front();
    }
    screen_.push_back({Kind::Input, l});
    return l;
  }
  void ConsoleWrite(const Bytes& text) override {
    outputs.push_back(text);
    screen_.push_back({Kind::Output, text});
    written.push_back(text);
    ui_.calls.push_back("console " + text);
  }
  void ConsoleMessage(const Bytes& text) override {
    screen_.push_back({Kind::Message, text});
    written.push_back(text);
    ui_.calls.push_back("console " + text);
  }
  void ConsoleWithdrawOutput() override {
    ui_.calls.push_back("withdraw");
    if (outputs.empty())
      ADD_FAILURE() << "withdrawing an output line that was never written";
    else
      outputs.pop_back();
    Withdraw(Kind::Output);
  }
  void ConsoleWithdrawInput() override {
    ui_.calls.push_back("withdraw input");
    Withdraw(Kind::Input);
  }
  void ConsoleWithdrawMessage() override {
    ui_.calls.push_back("withdraw message");
    Withdraw(Kind::Message);
  }
  void ConsoleEchoInput(const Bytes& line) override {
    ui_.calls.push_back("echo " + line);
    screen_.push_back({Kind::Input, line});
  }

  // What a console window shows, in order: the input lines (typed, cancelled
  // or echoed) as "> " and the line, the program's output and the run's
  // messages, less what was withdrawn.
  std::vector<std::string> Screen() const {
    std::vector<std::string> lines;
    for (const Entry& e : screen_) lines.push_back(e.kind == Kind::Input ? "> " + e.text : e.text);
    return lines;
  }

 private:
  enum class Kind { Input, Output, Message };
  struct Entry {
    Kind kind;
    std::string text;
  };
  void Withdraw(Kind kind) {
    for (auto it = screen_.rbegin(); it != screen_.rend(); ++it) {
      if (it->kind != kind) continue;
      screen_.erase(std::next(it).base());
      return;
    }
    ADD_FAILURE() << "withdrawing a console line that is not shown";
  }

  FakeUi& ui_;
  std::vector<Entry> screen_;
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

// Reads a line into BUF and writes it back.
inline ProgramImage EchoProgram() {
  ProgramImage p;
  p.words = {0x1210, 0x0110, 0x1220, 0x0120, 0xF000, 0x0001, 0xF000, 0x0002, 0x8100};
  p.words.resize(0x21, 0);  // BUF 0110H-011FH, LEN 0120H
  p.symbols = {{"MAIN", 0x100}, {"BUF", 0x110}, {"LEN", 0x120}};
  for (Word a = 0x110; a <= 0x120; ++a) p.data.push_back(a);
  return p;
}

// Counts in GR1 forever.
inline ProgramImage ForeverProgram() {
  ProgramImage p;
  p.words = {0x2010, 0x0104, 0x6400, 0x0100, 0x0001};
  p.data = {0x104};
  return p;
}

// A reproducible stream of pseudo-random numbers (24 bits each).
class RandomWords {
 public:
  explicit RandomWords(std::uint32_t seed) : seed_(seed) {}
  std::uint32_t operator()() {
    seed_ = seed_ * 1664525u + 1013904223u;
    return seed_ >> 8;
  }

 private:
  std::uint32_t seed_;
};

// A random program of 0x80 two-word slots from 0100H: an instruction and its
// address (inside the program, on a slot, so that jumps land on instructions),
// or a one-word instruction and a NOP. With `ioEvery`, about one slot in that
// many is an IN or an OUT (wherever GR1 and GR2 point then).
inline ProgramImage RandomProgram(RandomWords& next, unsigned ioEvery = 0) {
  static const Word kOps[] = {0x10, 0x11, 0x12, 0x14, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x30,
                              0x31, 0x32, 0x34, 0x35, 0x36, 0x40, 0x41, 0x44, 0x45, 0x50, 0x51, 0x52, 0x53,
                              0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x70, 0x71, 0x80, 0x81, 0x00, 0xF0};
  ProgramImage p;
  p.stack = 0x40;
  for (int i = 0; i < 0x80; ++i) {
    if (ioEvery && next() % ioEvery == 0) {
      p.words.push_back(0xF000);
      p.words.push_back(static_cast<Word>(1 + next() % 2));
      continue;
    }
    Word first = static_cast<Word>(kOps[next() % (sizeof kOps / sizeof kOps[0])] << 8 | (next() & 0x77));
    p.words.push_back(first);
    if (InstructionWords(first) == 2)
      p.words.push_back(next() % 8 == 0 ? static_cast<Word>(next() & 3)
                                        : static_cast<Word>(0x100 + 2 * (next() % 0x80)));
    else
      p.words.push_back(0);
  }
  return p;
}

// The fixture most tests share: a UI, a console and execution control over them.
class DebuggerFixture : public ::testing::Test {
 protected:
  FakeUi ui;
  FakeConsole console{ui};
  ExecutionControl ec{ui, console};
  BuildOptions options;

  bool Start(const ProgramImage& p, const std::string& name = "prog") {
    std::string exe = p.Write(name);
    ui.Clear();
    return ec.StartDebugging(exe, options);
  }
  Word PR() const { return ec.Cpu().GetPR(); }
  // The enabled state of every command but Back Step (whose own tests look at
  // it), as "End=0 Start=1 ...".
  std::string Enabling() const {
    std::string s;
    for (int i = 0; i < kCommandCount; ++i) {
      if (static_cast<Command>(i) == Command::BackStep) continue;
      if (i) s += ' ';
      s += CommandName(static_cast<Command>(i));
      s += ec.IsEnabled(static_cast<Command>(i)) ? "=1" : "=0";
    }
    return s;
  }
};

}  // namespace tolvane::debugger::testing
