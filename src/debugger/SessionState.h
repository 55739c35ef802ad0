#pragma once
// The state of the program under the run and debug commands, in one place:
// the phase the user sees (what runs, what the commands may do), the command
// whose loop executes the program, and the requests the loops look at between
// instructions. The enabled commands and the status line follow from it
// through one table (EnabledCommands, StatusOf); execution control tells its
// port once whenever that view changes.
#include <bitset>
#include <cstdint>
#include <string>

namespace tolvane::debugger {

// The command groups whose enabled state follows the session. Each is a
// main-menu item and, where one exists, its toolbar button; JumpPopups stands
// for the three jump items of the debug window's pane menus, WatchPopup for the
// watch pane's "add watch" item.
enum class Command : int {
  End,         // mnuEndProgram, smnuEndProgram
  Start,       // mnuDebugStart, smnuDebugStart
  Go,          // mnuGo, smnuGo
  Animate,     // mnuGoAnimate, smnuGoAnimate
  Trace,       // mnuTrace, smnuTrace
  Step,        // mnuStep, smnuStep
  Pause,       // mnuPause, smnuPause
  BreakPoint,  // mnuBreakPoint
  Watch,       // mnuWatch
  JumpPopups,  // pmnuUnAssemblePaneJumpAddress, pmnuUnAssemblePaneJumpLabel, pmnuMemoryDumpPaneJumpAddress
  WatchPopup,  // pmnuWatch
  BackStep,    // mnuBackStep, smnuBackStep
};
inline constexpr int kCommandCount = 12;
using CommandSet = std::bitset<kCommandCount>;

// The status-line texts (CP932).
const std::string& StatusKeysText();     // "   Ｆ５-実行(GO)　 Ｆ６-アニメート実行 ..."
const std::string& StatusGoText();       // "   「実行(GO)」の実行中です。 　 （Ｆ３-一時停止）"
const std::string& StatusAnimateText();  // "   「アニメート実行」の実行中です。 ..."
const std::string& StatusTraceText();    // "   「トレース」の実行中です。"
const std::string& StatusStepText();     // "   「ステップ」の実行中です。"

enum class Phase : std::uint8_t {
  Idle,         // nothing loaded since start-up or the shell reset
  PlainRun,     // Run or Run EXE executes the program
  Stopped,      // debugging: the program waits for the next command
  Going,        // GO runs
  Animating,    // animate runs
  Tracing,      // a trace executes its instruction (an IN may wait)
  Stepping,     // a step executes its instruction and the routine it calls
  StepRunning,  // a step's called routine runs long: it can be paused or ended
  Ended,        // the program ended, or the user ended it
};
inline constexpr int kPhaseCount = 9;
const char* PhaseName(Phase phase);

// The command whose loop executes the program. It stays on the call stack
// after an End Program given during one of its turns until it notices the
// request, so it is kept apart from the phase the user already sees.
enum class Runner : std::uint8_t { None, Plain, Go, Animate, Trace, Step };

class SessionState {
 public:
  // ---- transitions ----
  // The shell reset (the last source closed): nothing is loaded.
  void Reset();
  // A program was loaded: the end requested for the previous one is over.
  void Loaded();
  // Run or Run EXE executes the loaded program.
  void BeginPlainRun();
  // Debugging starts (or resumes after Back Step from the end): stopped, with
  // the breakpoint and watch tables open for editing.
  void BeginDebugging();
  // A debugger command starts executing the program.
  void Begin(Runner runner);
  // A step's called routine has run long enough to need turns.
  void StepRunsLong() { stepLong_ = true; }
  // The executing command returns; the program waits for the next one while
  // it is still being debugged.
  void Finish();
  // The program's final RET. The tables stay open: the next start uses them.
  void ProgramEnded();
  // End Program (or an error that ends the program): the running loop stops
  // at its next look at the request.
  void EndedByUser();

  bool RequestPause();  // false (nothing changes) when nothing can be paused
  void ClearPause() { pauseRequested_ = false; }
  // A note that replaces the phase's status text until the next transition
  // (an undefined instruction, say, which the program cannot get past).
  void SetNote(std::string note) { note_ = std::move(note); }
  void ClearNote() { note_.clear(); }

  // ---- the view ----
  Phase CurrentPhase() const;
  Runner CurrentRunner() const { return runner_; }
  bool TablesOpen() const { return tablesOpen_; }
  const std::string& Note() const { return note_; }

  // The flags the execution-control rules are written in, derived.
  bool DebuggingActive() const { return life_ == Life::Debugging; }
  bool GoRunning() const { return runner_ == Runner::Go; }
  bool AnimateRunning() const { return runner_ == Runner::Animate; }
  bool PauseRequested() const { return pauseRequested_; }
  bool EndRequested() const { return endRequested_; }
  // Also for the machine's continuous run, which reads them after its call-outs.
  const bool& PauseFlag() const { return pauseRequested_; }
  const bool& EndFlag() const { return endRequested_; }
  // Some command executes the program (possibly waiting for input inside it).
  bool Executing() const { return runner_ != Runner::None; }
  // A trace or step executes its instruction or routine.
  bool Busy() const { return runner_ == Runner::Trace || runner_ == Runner::Step; }
  bool StepRunning() const { return runner_ == Runner::Step && stepLong_; }

 private:
  enum class Life : std::uint8_t { Idle, PlainRun, Debugging, Ended };
  Life life_ = Life::Idle;
  Runner runner_ = Runner::None;
  bool stepLong_ = false;
  bool pauseRequested_ = false;
  bool endRequested_ = false;
  bool tablesOpen_ = false;
  std::string note_;
};

// The commands enabled in the session's phase (one table for every phase).
// `canGoBack`: Back Step has recorded instructions to undo.
CommandSet EnabledCommands(const SessionState& state, bool canGoBack);
// The debug window's status line in that phase (CP932).
std::string StatusOf(const SessionState& state);

// What the port is told when it changes.
struct SessionView {
  Phase phase = Phase::Idle;
  CommandSet enabled;
  std::string status;
  bool operator==(const SessionView&) const = default;
};
SessionView ViewOf(const SessionState& state, bool canGoBack);

}  // namespace tolvane::debugger
