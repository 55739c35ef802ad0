#pragma once
// Execution control: the run and debug commands over the COMET II machine,
// independent of any window system. Everything it does to the outside goes
// through DebuggerUiPort (status line, command enabling, panes, message boxes,
// window-system turns, waiting) and the machine's ConsolePort (IN/OUT and the
// run's own console lines).
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "common/BuildOptions.h"
#include "common/MessageBox.h"
#include "common/TextRules.h"
#include "common/Word.h"
#include "debugger/Breakpoints.h"
#include "debugger/Disassembler.h"
#include "debugger/Jumps.h"
#include "debugger/PaneState.h"
#include "debugger/Refusal.h"
#include "debugger/SessionState.h"
#include "debugger/SourceLines.h"
#include "debugger/SymbolIndex.h"
#include "debugger/Watches.h"
#include "machine/Cpu.h"
#include "machine/Loader.h"
#include "machine/Svc.h"

namespace tolvane {
class StepJournal;
}

namespace tolvane::debugger {

enum class Pointer { Default, Wait, Background };

// Message-box and console texts (CP932).
const std::string& ProgramEndedMessage();           // "プログラムは終了しました。"
const std::string& DebuggingGuardMessage();         // "デバッグ中です。デバッグを終了しますか？"
const std::string& DisassemblyFailedMessage();      // "逆アセンブルがうまくいっていません。"
const std::string& DisassemblyRowMissingMessage();  // the two-line information of a store without a row
const std::string& StackOverflowMessage();          // "スタックオーバーフロー"
inline constexpr const char* kProgramTerminatedNormally = "Program terminated normally";
inline constexpr const char* kProgramTerminatedAbnormally = "Program terminated abnormally";
// "Undefined instruction FF00 at PR=0105: the program cannot go on"
std::string UndefinedWordMessage(Word word, Word pr);
// The status line at that word: "   0105番地の命令(FF00)は未定義です。先に進めません。"
std::string UndefinedWordStatusText(Word word, Word pr);
// "Stopped after 1000 instructions (step limit)"
std::string StepLimitMessage(std::uint64_t instructions);

// The panes a change concerns, as a set of flags.
enum class Pane : std::uint8_t {
  Disassembly = 1 << 0,  // the rows' words or change marks (ExecutionControl::Disassembly())
  Breakpoints = 1 << 1,  // the breakpoint table: its marks, its list
  Memory = 1 << 2,       // the words of the memory dump (ExecutionControl::Panes())
  Registers = 1 << 3,    // the registers (ExecutionControl::Panes())
  Watches = 1 << 4,      // the rows of ExecutionControl::Watches()
  ChangeMarks = 1 << 5,  // a run command starts from the values shown now: the change marks go
};
class PaneSet {
 public:
  constexpr PaneSet() = default;
  constexpr PaneSet(Pane p) : bits_(static_cast<std::uint8_t>(p)) {}  // NOLINT(google-explicit-constructor)
  constexpr PaneSet operator|(PaneSet o) const { return PaneSet(static_cast<std::uint8_t>(bits_ | o.bits_)); }
  constexpr bool Has(Pane p) const { return (bits_ & static_cast<std::uint8_t>(p)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const PaneSet&) const = default;

 private:
  constexpr explicit PaneSet(std::uint8_t bits) : bits_(bits) {}
  std::uint8_t bits_ = 0;
};
constexpr PaneSet operator|(Pane a, Pane b) { return PaneSet(a) | b; }

// What became current in a pane and why; each front end decides from the why
// how its view gets there.
struct Focus {
  enum class Kind : std::uint8_t {
    None,
    Next,     // the row of PR, where the program waits for the next command
    PrMoved,  // the row of PR after an edit of memory or PR, while the user may look elsewhere
    Jump,     // the row or cell the user asked to jump to
    Start,    // a new listing or memory dump begins at this row or cell
  };
  Kind kind = Kind::None;
  Pane pane = Pane::Disassembly;  // Disassembly (a row) or Memory (a cell)
  int row = -1;                   // the disassembly row
  Word address = 0;               // the memory cell
  bool operator==(const Focus&) const = default;
  static Focus Row(Kind kind, int row) {
    Focus f;
    f.kind = kind;
    f.row = row;
    return f;
  }
  static Focus Cell(Kind kind, Word address) {
    Focus f;
    f.kind = kind;
    f.pane = Pane::Memory;
    f.address = address;
    return f;
  }
};

// Some panes show other values, rows or a new current row.
struct PanesChanged {
  PaneSet which;  // the panes whose values or rows changed
  Focus focus;
  bool rebuilt = false;      // the disassembly rows were decoded anew: their number may differ
  bool scrollToTop = false;  // with rebuilt: the listing is shown from its beginning
  bool fromStart = false;    // a jump by address: the view comes to the focus from the pane's start
  bool operator==(const PanesChanged&) const = default;
  static PanesChanged Of(PaneSet which, Focus focus = {}) {
    PanesChanged c;
    c.which = which;
    c.focus = focus;
    return c;
  }
};

// A command that executed the program returned (or End Program ended it while
// nothing executed): why, where, and what Back Step took back from the console.
struct Stopped {
  StopReason reason = StopReason::Refused;
  Word pr = 0;
  SourceLocation source;     // the line of PR, when source lines are attached
  int withdrawnOutputs = 0;  // OUT lines that no longer stand (Back Step)
};

// What the debug window, the main window's commands and the console window do
// for execution control. Message boxes come from MessageBoxPort. Every method
// but ShowMessageBox has an empty default, so that a tool without windows only
// implements what it shows.
//
// Wiring in a window system: the menu items and buttons call the commands of
// ExecutionControl (Go, Trace, Pause, EndProgram, ...); ProcessEvents runs the
// pending events once and returns (the run loops call it between instructions,
// and a command handled there, such as Pause or EndProgram, calls back into
// ExecutionControl); WaitMilliseconds keeps handling events until the time is
// up; the console window implements ConsolePort (its ConsoleReadLine handles
// events until Enter, Ctrl+Z or ConsoleCancelInput ends the input) and answers
// ConsoleInputPending / ConsoleCancelInput here.
class DebuggerUiPort : public MessageBoxPort {
 public:
  // The session entered another phase, or what it enables or shows changed:
  // the commands to enable (all others disabled) and the debug window's status
  // line (CP932). Told once per change, with the whole view.
  virtual void SessionChanged(const SessionView& view) { (void)view; }
  // A command is about to show the machine: the debugger's panes should be in
  // view. Told at every turn of a run, so it should cost nothing when they are.
  virtual void ShowDebugWindow() {}
  // Panes show other values or rows, or another current row or cell.
  virtual void OnPanesChanged(const PanesChanged& change) { (void)change; }
  // A command that executed the program returned, or End Program ended it.
  virtual void OnStopped(const Stopped& stop) { (void)stop; }
  // The mouse pointer over the application; ExecutionControl restores the
  // previous one itself (a rebuild during GO returns to the background pointer).
  virtual void SetPointer(Pointer pointer) { (void)pointer; }
  // One turn of the window system: handle what is pending, then return. Commands
  // that arrive here (Pause, EndProgram, breakpoint and memory edits) call back
  // into ExecutionControl.
  virtual void ProcessEvents() {}
  // Waits without blocking the window system (animate's 80 ms).
  virtual void WaitMilliseconds(int ms) { (void)ms; }
  // The console's input state: an IN is waiting for a line. ConsoleCancelInput
  // ends that wait with an empty line (the read in ConsolePort returns "").
  virtual bool ConsoleInputPending() { return false; }
  virtual void ConsoleCancelInput() {}
};

class ExecutionControl {
 public:
  ExecutionControl(DebuggerUiPort& ui, ConsolePort& console);
  ExecutionControl(const ExecutionControl&) = delete;
  ExecutionControl& operator=(const ExecutionControl&) = delete;
  ~ExecutionControl();

  // ---- commands ----
  // The plain run: load and run to the end without the debugger, at most
  // `maxSteps` instructions when it is not 0. Every front end runs programs
  // through here, so that a run ends the same way in each. The result is
  // ProgramEnd, StackOverflow, UndefinedWord (the program cannot go on, and is
  // ended there), StepLimit, EndedByUser, LoadFailed or Refused.
  StopReason PlainRun(const std::string& fileName, const BuildOptions& options, std::uint64_t maxSteps = 0);
  // The plain run of the Run command: true when the program ended normally.
  bool RunProgram(const std::string& fileName, const BuildOptions& options) {
    return PlainRun(fileName, options) == StopReason::ProgramEnd;
  }
  // Loads the program and shows it in the debugger, stopped at its start.
  // Refused (false) while IsExecuting.
  bool StartDebugging(const std::string& fileName, const BuildOptions& options);
  // Continuous runs; false when refused (one is already running, or nothing is
  // being debugged, or a trace/step is waiting for input).
  bool Go();
  bool GoAnimate();
  // One instruction; Step runs a called routine to its return. They do nothing
  // while a run is in progress, an IN waits for input, or nothing is debugged.
  void Trace();
  void Step();
  // Undoes the last `count` executed instructions (registers, memory, the
  // console's OUT lines; an undone IN's line is read again when the program
  // gets there) and shows the state. Works while the program is stopped or
  // after it ended, until the next Debug Start; after an end the program is
  // live again. Returns the number of instructions undone (0: nothing
  // recorded, or a run or input is in progress).
  std::size_t BackStep(std::size_t count = 1);
  // Instructions that Back Step can undo now.
  std::size_t BackStepsAvailable() const;
  // Recording of executed instructions for Back Step (on while debugging;
  // off only for measuring what it costs).
  void SetRecording(bool on);
  // Asks a GO, animate or long step to stop after the current instruction;
  // false when refused (an IN is waiting, or nothing runs).
  bool Pause();
  // Ends the program (cancelling a waiting IN). A command executing the
  // program when this is called (End Program during one of its turns or while
  // its IN waits) stops before its next instruction; the termination line and
  // the register dump are written then, so that they show the state the panes
  // show.
  void EndProgram();
  // True: the caller abandons its command (the user chose to keep debugging).
  bool DebuggingGuard();
  // Shows the current state in the panes; false (after an error box and
  // EndProgram) when no disassembly row covers PR.
  bool RefreshPanes();
  // Shows the whole machine anew in every pane, as after the machine state was
  // replaced from outside (a restored state): the disassembly rebuilt with the
  // view kept, the breakpoint marks, the row of PR selected, the memory dump,
  // the registers and the watches. False as RefreshPanes.
  bool RefreshAllPanes();
  void WriteRegisterDump();

  // ---- debug window operations that need the core ----
  void ShowDisassembly();
  void RedisassembleKeepView();
  int FindRowOfAddress(Word address) const { return disassembler_.FindRowOfAddress(address); }
  void ResetMemoryDump();

  // The jump commands of the pane menus to an address the front end read
  // (ReadJumpEntry). A jump tells the port the target as a Jump focus (by
  // address `fromStart`: the view comes to it from the pane's start).
  // CannotJump when the disassembly has no row there.
  using JumpKind = debugger::JumpKind;
  Refusal Jump(JumpKind kind, Word address);

  // The memory and register changes (the change dialogs' OK, `set`, the
  // adapter's setVariable). FR takes only the six flag combinations
  // (0, 1, 2, 4, 5, 6); any other value is InvalidFlags.
  Refusal SetMemory(Word address, Word value);
  Refusal SetRegister(Register r, Word value);

  // ---- breakpoints and watches (the table plus the repaint) ----
  BreakpointTable::Toggle ToggleBreakpointAt(Word address);
  // An enabled breakpoint at the address, labelled with the label given or
  // else the address's label; AlreadySet when the address has one.
  Refusal AddBreakpoint(Word address, const std::string& label = {});
  void SwitchBreakpoint(int index);
  void DeleteBreakpoint(int index);
  void ClearBreakpoints();
  void ClearWatches();
  void FillWatchesFromSymbols();
  void RefreshWatches();
  // The watch list dialog's OK: write the working copy back and refresh.
  void CommitWatchWorkingCopy();

  // ---- options ----
  void SetShowRegistersAfterRun(bool on) { showRegistersAfterRun_ = on; }
  bool ShowRegistersAfterRun() const { return showRegistersAfterRun_; }
  void SetUnAsmDataAsCode(bool on) { disassembler_.SetDataAsCode(on); }
  // The source lines Stopped records are placed in (null: none); the caller keeps them.
  void AttachSourceLines(const SourceLines* lines) { sourceLines_ = lines; }

  // ---- state ----
  const SessionState& State() const { return state_; }
  // What the port was last told: the phase, the enabled commands, the status line.
  const SessionView& View() const { return shown_; }
  bool IsEnabled(Command c) const { return shown_.enabled[static_cast<std::size_t>(c)]; }
  const std::string& StatusText() const { return shown_.status; }
  // The shell reset (the last source closed): nothing is loaded any more, every
  // command of the session is off and the status line empty.
  void ResetSession();
  // Why the last command stopped (or the program ended).
  StopReason LastStop() const { return lastStop_; }

  bool DebuggingActive() const { return state_.DebuggingActive(); }
  bool IsGoRunning() const { return state_.GoRunning(); }
  bool IsAnimateRunning() const { return state_.AnimateRunning(); }
  bool PauseRequested() const { return state_.PauseRequested(); }
  bool EndRequested() const { return state_.EndRequested(); }
  bool IsBusy() const { return state_.Busy(); }  // a trace or step is executing
  // Some command is executing the program (a plain run, GO, animate, trace or
  // step, possibly waiting for input). Loading another program is refused then:
  // the running loop is still on the call stack and must return first.
  bool IsExecuting() const { return state_.Executing(); }
  const std::string& LastDebuggedPath() const { return lastDebuggedPath_; }
  // Instructions executed by the debugger commands since debugging started
  // (an undefined word counts each time it is tried).
  std::uint64_t InstructionCount() const { return instructions_; }

  CCpu& Cpu() { return cpu_; }
  const CCpu& Cpu() const { return cpu_; }
  Memory& Mem() { return memory_; }
  const Memory& Mem() const { return memory_; }
  const LoadedProgram& Program() const { return program_; }
  const SymbolIndex& Symbols() const { return symbols_; }
  Disassembler& Disassembly() { return disassembler_; }
  const Disassembler& Disassembly() const { return disassembler_; }
  BreakpointTable& Breakpoints() { return breakpoints_; }
  const BreakpointTable& Breakpoints() const { return breakpoints_; }
  WatchList& Watches() { return watches_; }
  const WatchList& Watches() const { return watches_; }
  // What the memory, register and watch panes show, with the change marks.
  const PaneState& Panes() const { return panes_; }
  // Whether a word of the disassembly row differs from the last stop (as the
  // memory pane shows it): the row is marked as changed.
  bool DisassemblyRowChanged(int row) const;

  // Turn pacing of the run loops: a turn after at most this many instructions
  // and at least every kTurnMillis of running.
  static constexpr unsigned kTurnInstructions = 4096;
  static constexpr int kTurnMillis = 5;
  static constexpr int kAnimateMillis = 80;
  // Instructions between looks at the clock.
  static constexpr unsigned kClockInterval = 1024;

 private:
  class Hooks : public MachineHooks {
   public:
    explicit Hooks(ExecutionControl& owner) : owner_(owner) { storeLog = &stores; }
    void UnAsmStoreAt(Word address) override;
    void UnAsmRefreshAt(Word address) override;
    void RefreshPanes() override;

    // A new instruction begins: its input call may report a missing row once.
    void NewInstruction() { rowMissingReported_ = false; }
    void ReportMissingRow();

    // The stores into memory since the rows were last brought up to date.
    StoreLog stores;

   private:
    ExecutionControl& owner_;
    bool rowMissingReported_ = false;
  };
  // The console as the debugger commands give it to the machine: lines read
  // by an IN that Back Step undid come back first, in order, without asking.
  class ReplayConsole : public ConsolePort {
   public:
    ReplayConsole(ConsolePort& console, std::deque<Bytes>& replay) : console_(console), replay_(replay) {}
    Bytes ConsoleReadLine() override;
    void ConsoleWrite(const Bytes& text) override { console_.ConsoleWrite(text); }
    void ConsoleMessage(const Bytes& text) override { console_.ConsoleMessage(text); }
    void ConsoleWithdrawOutput() override { console_.ConsoleWithdrawOutput(); }
    void ConsoleWithdrawMessage() override { console_.ConsoleWithdrawMessage(); }
    void ConsoleWithdrawInput() override { console_.ConsoleWithdrawInput(); }
    void ConsoleEchoInput(const Bytes& line) override { console_.ConsoleEchoInput(line); }

   private:
    ConsolePort& console_;
    std::deque<Bytes>& replay_;
  };
  bool Load(const std::string& fileName, const BuildOptions& options);
  ExecStatus ExecuteTracked();
  void ReinitializeIfEnded();
  void ProgramEndHandling();
  // End Program, or an error that ends the program, which is the stop's reason.
  void EndWith(StopReason why);
  // A line of the program's end (how it ended, the register dump when wanted):
  // Back Step over the end withdraws them.
  void WriteEndMessage(const Bytes& text);
  void WriteEndDump();
  // "Program terminated abnormally" and the register dump, when End Program
  // left them for the command that was executing.
  void WriteEndLines();
  void WriteDueEndLines();
  // After an undefined word was tried: says why the program cannot go on,
  // once per command that meets it.
  void ReportUndefinedWord();
  // Tells the port the session's view when it changed.
  void Announce();
  // Tells the port a command's stop (lastStop_, where PR is now).
  void ReportStop(int withdrawnOutputs = 0);
  bool RunContinuous(bool animate);
  // Ends a GO or animate at the current instruction (breakpoint or pause).
  void StopHere(StopReason why);
  void RunLoop();
  // GO's inner loop: up to `limit` instructions, stopping after one that ends
  // the program or overflows, or when a breakpoint, pause or end is due.
  ExecStatus GoBatch(unsigned limit, unsigned& executed);
  void SingleStep(bool overCall);
  // Runs a called routine to its return; the status that ends the program, or Continue.
  ExecStatus RunCalledRoutine();
  // Brings the disassembly rows up to date with the stores made since.
  void FlushStores();
  // The whole listing decoded again, the view kept, under the wait pointer.
  void Rebuild();
  // The pane refreshes, each after taking the values it shows.
  void ShowMemoryPane();
  void ShowRegisterPane();
  // The row of PR becomes the current row, where the view is.
  void MarkRowOfPr();
  // A run command starts: the change marks are taken from here.
  void TakeStop();
  // Shows a pointer and returns the one shown before, for restoring it.
  Pointer SwapPointer(Pointer pointer);
  bool TurnDue(unsigned& sinceTurn, std::chrono::steady_clock::time_point& lastTurn);

  DebuggerUiPort& ui_;
  ConsolePort& console_;
  std::deque<Bytes> replay_;  // lines of undone INs, the next one first
  ReplayConsole machineConsole_{console_, replay_};
  std::unique_ptr<StepJournal> journal_;
  bool recording_ = true;
  Hooks hooks_;

  CCpu cpu_;
  Memory memory_{};
  LoadedProgram program_;
  SymbolIndex symbols_;
  Disassembler disassembler_;
  BreakpointTable breakpoints_;
  WatchList watches_;
  PaneState panes_;

  SessionState state_;
  SessionView shown_;
  StopReason lastStop_ = StopReason::Refused;
  bool endLinesDue_ = false;  // End Program left its lines for the executing command
  int endMessages_ = 0;       // console lines written by the end since the program was last live
  Pointer pointer_ = Pointer::Default;
  std::uint64_t instructions_ = 0;
  std::string lastDebuggedPath_;
  bool showRegistersAfterRun_ = true;
  const SourceLines* sourceLines_ = nullptr;
};

}  // namespace tolvane::debugger
