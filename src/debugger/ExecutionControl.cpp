#include "debugger/ExecutionControl.h"

#include <algorithm>
#include <cstdio>

#include "common/Cp932.h"
#include "debugger/Formats.h"
#include "debugger/TextChecks.h"
#include "machine/Cpu.h"
#include "machine/StepJournal.h"

namespace tolvane::debugger {

#define TOLVANE_TEXT(fn, literal)            \
  const std::string& fn() {                  \
    static const std::string s = J(literal); \
    return s;                                \
  }
TOLVANE_TEXT(StatusKeysText, u8"   Ｆ５-実行(GO)　 Ｆ６-アニメート実行 　Ｆ７-トレース　 Ｆ８-ステップ　 ")
TOLVANE_TEXT(StatusGoText, u8"   「実行(GO)」の実行中です。 　 （Ｆ３-一時停止）")
TOLVANE_TEXT(StatusAnimateText, u8"   「アニメート実行」の実行中です。 　 （Ｆ３-一時停止）")
TOLVANE_TEXT(StatusTraceText, u8"   「トレース」の実行中です。")
TOLVANE_TEXT(StatusStepText, u8"   「ステップ」の実行中です。")
TOLVANE_TEXT(ProgramEndedMessage, u8"プログラムは終了しました。")
TOLVANE_TEXT(DebuggingGuardMessage, u8"デバッグ中です。デバッグを終了しますか？")
TOLVANE_TEXT(DisassemblyFailedMessage, u8"逆アセンブルがうまくいっていません。")
TOLVANE_TEXT(DisassemblyRowMissingMessage,
             u8"逆アセンブルがうまくいっていませんので、\n逆アセンブルペインに一部の情報が反映されません。")
TOLVANE_TEXT(StackOverflowMessage, u8"スタックオーバーフロー")
#undef TOLVANE_TEXT

std::string UndefinedWordMessage(Word word, Word pr) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "Undefined instruction %04X at PR=%04X: the program cannot go on",
                static_cast<unsigned>(word), static_cast<unsigned>(pr));
  return buf;
}

std::string StepLimitMessage(std::uint64_t instructions) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "Stopped after %llu instructions (step limit)",
                static_cast<unsigned long long>(instructions));
  return buf;
}

// ---- machine hooks ----

void ExecutionControl::Hooks::UnAsmStoreAt(Word address) {
  ExecutionControl& o = owner_;
  rowMissingReported_ = false;  // a store is no input call
  if (o.disassembler_.StoreNeedsRebuild(address)) {
    // Decoding all memory again after every store of a loop would dominate a
    // run; the rebuild is made once, before anything looks at the rows.
    o.rebuildPending_ = true;
    return;
  }
  o.FlushPendingRebuild();
  if (o.disassembler_.UnAsmStoreAt(address) == Disassembler::StoreOutcome::NoRow) ReportMissingRow();
}

void ExecutionControl::Hooks::UnAsmRefreshAt(Word address) {
  ExecutionControl& o = owner_;
  o.FlushPendingRebuild();
  if (!o.disassembler_.UnAsmRefreshAt(address) && !rowMissingReported_) {
    // An input call patches up to 257 rows; one box tells the user all there
    // is to know, where one per missing row would be a wall of modal boxes.
    ReportMissingRow();
    rowMissingReported_ = true;
  }
}

void ExecutionControl::Hooks::ReportMissingRow() {
  owner_.ui_.ShowMessageBox(BoxKind::Information, DisassemblyRowMissingMessage());
}

void ExecutionControl::Hooks::RefreshPanes() { owner_.RefreshPanes(); }

Bytes ExecutionControl::ReplayConsole::ConsoleReadLine() {
  if (replay_.empty()) return console_.ConsoleReadLine();
  Bytes line = std::move(replay_.front());
  replay_.pop_front();
  // The console reads as it did when the line was typed.
  console_.ConsoleEchoInput(line);
  return line;
}

// ---- construction and small helpers ----

ExecutionControl::ExecutionControl(DebuggerUiPort& ui, ConsolePort& console)
    : ui_(ui), console_(console), journal_(std::make_unique<StepJournal>()), hooks_(*this), endEnabler_(*this) {
  disassembler_.Attach(memory_.data(), &symbols_);
}

ExecutionControl::~ExecutionControl() = default;

std::size_t ExecutionControl::BackStepsAvailable() const { return journal_->Size(); }

void ExecutionControl::SetCommandEnabled(Command c, bool on) {
  enabled_[static_cast<std::size_t>(c)] = on;
  ui_.SetCommandEnabled(c, on);
}

void ExecutionControl::Enable(std::initializer_list<Command> commands, bool on) {
  for (Command c : commands) SetCommandEnabled(c, on);
}

void ExecutionControl::SetStatus(const std::string& text) {
  status_ = text;
  ui_.SetStatusText(text);
}

void ExecutionControl::FlushPendingRebuild() {
  if (!rebuildPending_) return;
  rebuildPending_ = false;
  RedisassembleKeepView();
}

Pointer ExecutionControl::SwapPointer(Pointer pointer) {
  Pointer previous = pointer_;
  pointer_ = pointer;
  if (pointer != previous) ui_.SetPointer(pointer);
  return previous;
}

void ExecutionControl::ShowDisassembly() {
  rebuildPending_ = false;
  Pointer previous = SwapPointer(Pointer::Wait);
  disassembler_.BuildUnAsmTable();
  ui_.DisassemblyRebuilt(disassembler_.RowCount(), true);
  int row = disassembler_.FindRowOfAddress(cpu_.GetPR());
  if (row < 0) {
    ui_.ShowMessageBox(BoxKind::Error, DisassemblyFailedMessage());
  } else {
    ui_.ScrollDisassemblyRowToTop(row);
    ui_.SelectDisassemblyRow(row);
  }
  SwapPointer(previous);
}

void ExecutionControl::RedisassembleKeepView() {
  rebuildPending_ = false;
  Pointer previous = SwapPointer(Pointer::Wait);
  disassembler_.BuildUnAsmTable();
  ui_.DisassemblyRebuilt(disassembler_.RowCount(), false);
  SwapPointer(previous);
}

void ExecutionControl::ShowMemoryPane() {
  panes_.ShowMemory(memory_);
  ui_.RefreshMemoryDump();
}

void ExecutionControl::ShowRegisterPane() {
  panes_.ShowRegisters(cpu_);
  ui_.RefreshRegisters();
}

void ExecutionControl::ResetMemoryDump() {
  panes_.ShowMemory(memory_);
  ui_.ResetMemoryDump(program_.header.start);
}

void ExecutionControl::MarkRowOfPr() {
  const int row = disassembler_.FindRowOfAddress(cpu_.GetPR());
  if (row >= 0) ui_.MarkDisassemblyRow(row);
}

void ExecutionControl::TakeStop() {
  panes_.TakeStop(cpu_, memory_);
  ui_.ChangeMarksReset();
}

void ExecutionControl::WriteRegisterDump() {
  std::array<Word, 8> gr;
  for (int i = 0; i < 8; ++i) gr[static_cast<std::size_t>(i)] = cpu_.GetRegister(i);
  console_.ConsoleMessage(RegisterDumpText(gr, cpu_.GetPR(), cpu_.GetSP(), cpu_.GetFR()));
}

void ExecutionControl::ReinitializeIfEnded() {
  if (cpu_.GetPR() != kProgramEndAddress) return;
  // Back Step over the final RET undoes this restart with it.
  const Word pushedAt = static_cast<Word>(program_.header.initialSp - 1);
  if (hooks_.journal) journal_->RecordRestart(cpu_, pushedAt, memory_[pushedAt]);
  cpu_.Initialize(memory_, program_.header.start, program_.header.initialSp, program_.header.stackLimit);
}

void ExecutionControl::SetRecording(bool on) {
  recording_ = on;
  if (!on) journal_->Clear();
  hooks_.journal = on && debuggingActive_ ? journal_.get() : nullptr;
  UpdateBackStep();
}

void ExecutionControl::UpdateBackStep() {
  const bool on = !journal_->Empty() && !goRunning_ && !animateRunning_ && !busy_ && !stepRunning_;
  if (on != IsEnabled(Command::BackStep)) SetCommandEnabled(Command::BackStep, on);
}

std::size_t ExecutionControl::BackStep(std::size_t count) {
  if (IsExecuting() || stepRunning_ || ui_.ConsoleInputPending() || journal_->Empty()) return 0;
  ui_.ShowDebugWindow();
  TakeStop();  // the change marks show what going back changed
  std::size_t undone = 0;
  StepJournal::Undone u;
  while (undone < count && journal_->StepBack(cpu_, memory_, u)) {
    ++undone;
    if (u.input) {
      replay_.push_front(u.line);
      console_.ConsoleWithdrawInput();
    }
    for (int i = 0; i < u.outputs; ++i) console_.ConsoleWithdrawOutput();
  }
  // What was undone no longer counts as executed.
  instructions_ -= std::min<std::uint64_t>(instructions_, undone);
  if (!debuggingActive_) {
    // Back from the end (or from End Program): the program is live again.
    debuggingActive_ = true;
    endRequested_ = false;
    hooks_.journal = recording_ ? journal_.get() : nullptr;
    Enable({Command::End, Command::Go, Command::Animate, Command::Trace, Command::Step, Command::BreakPoint,
            Command::Watch, Command::JumpPopups, Command::WatchPopup},
           true);
    Enable({Command::Start}, false);
  }
  SetStatus(StatusKeysText());
  // The restored words may be code: the disassembly is made anew.
  RefreshAllPanes();
  UpdateBackStep();
  return undone;
}

bool ExecutionControl::Load(const std::string& fileName, const BuildOptions& options) {
  endRequested_ = false;
  // A new load ends what Back Step could undo.
  hooks_.journal = nullptr;
  journal_->Clear();
  replay_.clear();
  UpdateBackStep();
  rebuildPending_ = false;
  bool ok = LoadProgram(fileName, options.symbolicDebug != 0, cpu_, memory_, program_, ui_, &endEnabler_);
  // Whatever the load left behind is what the panes and look-ups work on.
  symbols_.Assign(program_.symbolTable, program_.symbols && ok);
  disassembler_.SetDataAddresses(program_.dataAddresses.data(), program_.dataAddresses.size());
  disassembler_.SetLayout(program_.header.origin, program_.header.initialSp, program_.header.stackLimit);
  return ok;
}

ExecStatus ExecutionControl::ExecuteTracked() {
  hooks_.NewInstruction();
  hooks_.unAsmTracking = true;
  ExecStatus s = cpu_.Execute(memory_, machineConsole_, &hooks_);
  hooks_.unAsmTracking = false;
  ++instructions_;
  return s;
}

// ---- the plain run ----

namespace {

// The machine's plain run calls this every kPlainInterval instructions and
// after every input or output; the window system gets its turn before the
// first instruction, then whenever kTurnMillis have passed since the last one.
// Pacing by time, not by a count of instructions, keeps the share of the turns
// the same however fast the machine runs, and a program that writes a lot (the
// slow instructions) still gets its turns, as every output asks for one.
class PlainRunTurn : public RunTurnPort {
 public:
  static constexpr unsigned kPlainInterval = 4096;
  PlainRunTurn(DebuggerUiPort& ui, const bool& endRequested) : ui_(ui), endRequested_(endRequested) {}
  bool Turn() override {
    const auto now = std::chrono::steady_clock::now();
    if (first_ || now - lastTurn_ >= std::chrono::milliseconds(ExecutionControl::kTurnMillis)) {
      first_ = false;
      ui_.ProcessEvents();
      lastTurn_ = std::chrono::steady_clock::now();
    }
    return !endRequested_;
  }

 private:
  DebuggerUiPort& ui_;
  const bool& endRequested_;
  bool first_ = true;
  std::chrono::steady_clock::time_point lastTurn_;
};

}  // namespace

RunOutcome ExecutionControl::PlainRun(const std::string& fileName, const BuildOptions& options,
                                      std::uint64_t maxSteps) {
  if (IsExecuting()) return RunOutcome::Refused;
  if (!Load(fileName, options)) return RunOutcome::LoadFailed;
  hooks_.unAsmTracking = false;
  PlainRunTurn turn(ui_, endRequested_);
  plainRunning_ = true;
  // The machine asks the turn port after every input too, so an End Program
  // given while an IN waited stops the run before the next instruction.
  const RunResult result = RunToEnd(cpu_, memory_, console_, maxSteps, &turn, PlainRunTurn::kPlainInterval);
  const bool wait = result.stop == RunStop::Undefined && ui_.WaitAtUndefinedWord();
  if (wait) {
    // An undefined instruction never advances: the program hangs there until
    // the user ends it, and the window system stays responsive meanwhile.
    while (!endRequested_) {
      ui_.ProcessEvents();
      if (!endRequested_) ui_.WaitMilliseconds(kTurnMillis);
    }
  }
  plainRunning_ = false;
  if (wait) return RunOutcome::EndedByUser;
  switch (result.stop) {
    case RunStop::ProgramEnd:
      Enable({Command::End, Command::Go, Command::Animate, Command::Trace, Command::Pause, Command::Step}, false);
      Enable({Command::Start}, true);
      console_.ConsoleMessage(kProgramTerminatedNormally);
      ReinitializeIfEnded();
      if (showRegistersAfterRun_) WriteRegisterDump();
      debuggingActive_ = false;
      return RunOutcome::NormalEnd;
    case RunStop::StackOverflow:
      console_.ConsoleMessage(StackOverflowMessage());
      EndProgram();
      return RunOutcome::StackOverflow;
    case RunStop::Undefined:
      console_.ConsoleMessage(UndefinedWordMessage(memory_[cpu_.GetPR()], cpu_.GetPR()));
      EndProgram();
      return RunOutcome::UndefinedWord;
    case RunStop::StepLimit:
      console_.ConsoleMessage(StepLimitMessage(result.steps));
      EndProgram();
      // Where the run was stopped is the point of a step limit: the registers always show it.
      if (!showRegistersAfterRun_) WriteRegisterDump();
      return RunOutcome::StepLimit;
    case RunStop::Stopped:
      break;
  }
  return RunOutcome::EndedByUser;  // End Program during a turn, which has written its lines
}

// ---- start of debugging ----

bool ExecutionControl::StartDebugging(const std::string& fileName, const BuildOptions& options) {
  if (IsExecuting()) return false;
  ui_.ShowDebugWindow();
  if (!Load(fileName, options)) return false;
  if (program_.exePath != lastDebuggedPath_) {
    ClearBreakpoints();
    watches_.ClearWatches();
  }
  panes_.TakeStop(cpu_, memory_);  // nothing is marked as changed at the start
  ShowDisassembly();
  ResetMemoryDump();
  ShowRegisterPane();
  if (symbols_.Loaded()) watches_.FillWatchesFromSymbols(symbols_, memory_.data());
  watches_.RefreshWatches(memory_.data());
  ui_.RefreshWatches();
  debuggingActive_ = true;
  hooks_.journal = recording_ ? journal_.get() : nullptr;
  hooks_.unAsmTracking = false;
  hooks_.memoryChanged = false;
  endRequested_ = false;
  pauseRequested_ = false;
  lastDebuggedPath_ = program_.exePath;
  instructions_ = 0;
  Enable({Command::Go, Command::Animate, Command::Trace, Command::Step, Command::BreakPoint, Command::Watch}, true);
  Enable({Command::Start}, false);
  SetStatus(StatusKeysText());
  Enable({Command::JumpPopups, Command::WatchPopup}, true);
  return true;
}

// ---- shared end and stop handling ----

void ExecutionControl::ProgramEndHandling() {
  console_.ConsoleMessage(kProgramTerminatedNormally);
  if (showRegistersAfterRun_) WriteRegisterDump();
  SetStatus(std::string());
  Enable({Command::End, Command::Go, Command::Animate, Command::Trace, Command::Pause, Command::Step}, false);
  Enable({Command::Start}, true);
  Enable({Command::JumpPopups}, false);
  ui_.ShowMessageBox(BoxKind::Information, ProgramEndedMessage());
  debuggingActive_ = false;
}

void ExecutionControl::StoppedHandling() {
  SetStatus(StatusKeysText());
  Enable({Command::Trace, Command::Step, Command::Animate, Command::Go}, true);
}

void ExecutionControl::EndProgram() {
  if (ui_.ConsoleInputPending()) ui_.ConsoleCancelInput();
  console_.ConsoleMessage(kProgramTerminatedAbnormally);
  if (showRegistersAfterRun_) WriteRegisterDump();
  endRequested_ = true;
  hooks_.unAsmTracking = false;
  debuggingActive_ = false;
  Enable({Command::End, Command::Go, Command::Animate, Command::Trace, Command::Pause, Command::Step,
          Command::BreakPoint, Command::Watch},
         false);
  Enable({Command::Start}, true);
  SetStatus(std::string());
  Enable({Command::JumpPopups, Command::WatchPopup}, false);
}

bool ExecutionControl::DebuggingGuard() {
  if (!debuggingActive_) return false;
  BoxAnswer a = ui_.ShowMessageBox(BoxKind::Confirm, DebuggingGuardMessage(), BoxButtons::YesNo);
  if (a == BoxAnswer::Yes) {
    EndProgram();
    return false;
  }
  return true;
}

bool ExecutionControl::Pause() {
  if (ui_.ConsoleInputPending()) return false;
  if (!goRunning_ && !animateRunning_ && !stepRunning_) return false;
  pauseRequested_ = true;
  return true;
}

bool ExecutionControl::RefreshPanes() {
  FlushPendingRebuild();
  int row = disassembler_.FindRowOfAddress(cpu_.GetPR());
  if (row < 0) {
    ui_.ShowMessageBox(BoxKind::Error, DisassemblyFailedMessage());
    // The refresh that closes a run the user has ended must not end (and
    // report) the program a second time.
    if (!endRequested_) EndProgram();
    return false;
  }
  ui_.SelectDisassemblyRow(row);
  ShowRegisterPane();
  watches_.RefreshWatches(memory_.data());
  ui_.RefreshWatches();
  if (hooks_.memoryChanged) {
    ui_.FillVisibleDisassembly();
    ShowMemoryPane();
    hooks_.memoryChanged = false;
  }
  return true;
}

bool ExecutionControl::RefreshAllPanes() {
  RedisassembleKeepView();
  ui_.BreakpointsChanged();
  hooks_.memoryChanged = true;  // the memory dump and the rows are shown anew too
  return RefreshPanes();
}

JumpResult ExecutionControl::Jump(JumpKind kind, const std::string& text) {
  JumpResult r;
  switch (kind) {
    case JumpKind::DisassemblyAddress:
      r = JumpToAddressInDisassembly(disassembler_, text);
      if (r.Jumps()) {
        ui_.SelectDisassemblyRow(0);
        ui_.SelectDisassemblyRow(r.row);
      }
      break;
    case JumpKind::DisassemblyLabel:
      r = JumpToLabelInDisassembly(disassembler_, symbols_, text);
      if (r.Jumps()) ui_.SelectDisassemblyRow(r.row);
      break;
    case JumpKind::MemoryAddress:
      r = JumpToAddressInMemory(text);
      if (r.Jumps()) {
        ui_.SelectMemoryCell(0);
        ui_.SelectMemoryCell(r.address);
      }
      break;
  }
  return r;
}

// ---- GO and animate ----

bool ExecutionControl::Go() { return RunContinuous(false); }
bool ExecutionControl::GoAnimate() { return RunContinuous(true); }

bool ExecutionControl::RunContinuous(bool animate) {
  if (goRunning_ || animateRunning_) return false;
  // A trace or step waiting for input inside the machine must not be overtaken
  // by a run started from that wait.
  if (busy_ || !debuggingActive_ || ui_.ConsoleInputPending()) return false;
  pauseRequested_ = false;  // a pause that came too late for the last run
  Enable({Command::Pause}, true);
  Enable({Command::Trace, Command::Step, Command::Animate, Command::Go, Command::BackStep}, false);
  (animate ? animateRunning_ : goRunning_) = true;
  hooks_.goRunning = goRunning_;
  SetStatus(animate ? StatusAnimateText() : StatusGoText());
  TakeStop();
  Pointer previous = SwapPointer(Pointer::Background);
  RunLoop();
  SwapPointer(previous);
  (animate ? animateRunning_ : goRunning_) = false;
  hooks_.goRunning = false;
  Enable({Command::Pause}, false);
  UpdateBackStep();
  return true;
}

bool ExecutionControl::TurnDue(unsigned& sinceTurn, std::chrono::steady_clock::time_point& lastTurn) {
  ++sinceTurn;
  if (sinceTurn >= kTurnInstructions) return true;
  if ((sinceTurn & (kClockInterval - 1)) != 0) return false;
  return std::chrono::steady_clock::now() - lastTurn >= std::chrono::milliseconds(kTurnMillis);
}

ExecStatus ExecutionControl::GoBatch(unsigned limit, unsigned& executed) {
  // A batch ends after an input call, so it holds at most one.
  hooks_.NewInstruction();
  hooks_.unAsmTracking = true;
  const ExecStatus s = RunHooked(cpu_, memory_, machineConsole_, hooks_, breakpoints_.EnabledBits(), endRequested_,
                                 pauseRequested_, limit, executed);
  hooks_.unAsmTracking = false;
  instructions_ += executed;
  return s;
}

void ExecutionControl::StopHere() {
  // A refresh that finds no row for PR has ended the program; the stop must
  // not switch the run commands on again.
  if (goRunning_ && !RefreshPanes()) return;
  StoppedHandling();
}

void ExecutionControl::RunLoop() {
  ui_.ShowDebugWindow();
  bool turnDue = true;  // the first instruction follows a turn
  unsigned sinceTurn = 0;
  auto lastTurn = std::chrono::steady_clock::now();
  for (;;) {
    if (turnDue || animateRunning_) {
      FlushPendingRebuild();
      ui_.ShowDebugWindow();                      // the user may have closed it meanwhile
      if (!animateRunning_) ui_.ProcessEvents();  // animate's wait is its turn
      turnDue = false;
      sinceTurn = 0;
      lastTurn = std::chrono::steady_clock::now();
      // Whatever arrived in the turn applies before the next instruction.
      if (endRequested_) {
        if (goRunning_) RefreshPanes();
        return;
      }
      if (pauseRequested_) {
        pauseRequested_ = false;
        StopHere();
        return;
      }
    }

    ExecStatus s;
    if (animateRunning_) {
      s = ExecuteTracked();
      ReinitializeIfEnded();
      RefreshPanes();
      ui_.WaitMilliseconds(kAnimateMillis);
    } else {
      unsigned n;
      s = GoBatch(std::min(kClockInterval, kTurnInstructions - sinceTurn), n);
      sinceTurn += n;
    }
    if (s == ExecStatus::ProgramEnd) {
      ReinitializeIfEnded();
      if (goRunning_) RefreshPanes();
      ProgramEndHandling();
      return;
    }
    if (s == ExecStatus::StackOverflow) {
      FlushPendingRebuild();
      console_.ConsoleMessage(StackOverflowMessage());
      EndProgram();
    }
    if (endRequested_) {
      if (goRunning_) RefreshPanes();
      return;
    }
    if (breakpoints_.IsEnabledAt(cpu_.GetPR()) || pauseRequested_) {
      pauseRequested_ = false;
      StopHere();
      return;
    }
    if (!animateRunning_ && (sinceTurn >= kTurnInstructions ||
                             std::chrono::steady_clock::now() - lastTurn >= std::chrono::milliseconds(kTurnMillis)))
      turnDue = true;
  }
}

// ---- trace and step ----

void ExecutionControl::Trace() { SingleStep(false); }
void ExecutionControl::Step() { SingleStep(true); }

ExecStatus ExecutionControl::RunCalledRoutine() {
  int depth = 0;
  unsigned sinceTurn = 0;
  auto lastTurn = std::chrono::steady_clock::now();
  ExecStatus result = ExecStatus::Continue;
  for (;;) {
    hooks_.callExecuted = false;
    ExecStatus s2 = ExecuteTracked();
    if (s2 == ExecStatus::StackOverflow || s2 == ExecStatus::ProgramEnd) {
      result = s2;
      break;
    }
    if (hooks_.callExecuted) ++depth;
    if (hooks_.retExecuted) {
      if (depth == 0) break;
      --depth;
    }
    hooks_.retExecuted = false;
    if (endRequested_) break;
    if (TurnDue(sinceTurn, lastTurn)) {
      // A routine that runs long (or never returns) keeps the window system
      // alive and can be paused or ended like a GO.
      if (!stepRunning_) {
        stepRunning_ = true;
        Enable({Command::Pause}, true);
        Enable({Command::Trace, Command::Step, Command::Animate, Command::Go}, false);
      }
      FlushPendingRebuild();
      ui_.ProcessEvents();
      sinceTurn = 0;
      lastTurn = std::chrono::steady_clock::now();
      if (endRequested_ || pauseRequested_) break;
    }
  }
  hooks_.callExecuted = false;
  hooks_.retExecuted = false;
  if (stepRunning_) {
    stepRunning_ = false;
    Enable({Command::Pause}, false);
    if (!endRequested_) Enable({Command::Trace, Command::Step, Command::Animate, Command::Go}, true);
  }
  pauseRequested_ = false;
  return result;
}

void ExecutionControl::SingleStep(bool overCall) {
  if (goRunning_ || animateRunning_ || busy_ || !debuggingActive_ || ui_.ConsoleInputPending()) return;
  ui_.ShowDebugWindow();
  SetStatus(overCall ? StatusStepText() : StatusTraceText());
  TakeStop();
  busy_ = true;
  Enable({Command::BackStep}, false);
  pauseRequested_ = false;
  hooks_.callExecuted = false;
  hooks_.retExecuted = false;
  ExecStatus s = ExecuteTracked();
  if (overCall && hooks_.callExecuted && s == ExecStatus::Continue && !endRequested_) s = RunCalledRoutine();
  hooks_.callExecuted = false;
  hooks_.retExecuted = false;
  busy_ = false;
  UpdateBackStep();
  // Ended by the user while the instruction waited for input (or while a stepped
  // routine ran): the end has already been reported and the commands switched.
  if (endRequested_) {
    FlushPendingRebuild();
    return;
  }
  ReinitializeIfEnded();
  if (!RefreshPanes()) return;
  if (s == ExecStatus::ProgramEnd) {
    ProgramEndHandling();
  } else if (s == ExecStatus::StackOverflow) {
    console_.ConsoleMessage(StackOverflowMessage());
    EndProgram();
  } else {
    SetStatus(StatusKeysText());
  }
}

// ---- edits from the panes and dialogs ----

DialogResult ExecutionControl::ChangeMemory(const std::string& addressText, const std::string& dataText) {
  if (!IsHexAddressText(dataText)) return DialogResult::Refuse(BoxKind::Error, NotValidDataMessage(dataText));
  memory_[HexTextValue(addressText)] = HexTextValue(dataText);
  ShowMemoryPane();
  RedisassembleKeepView();
  RefreshWatches();
  // The word may have changed the length of an instruction before PR, so that
  // the row of PR now has another index; the mark follows PR, not the index.
  MarkRowOfPr();
  return DialogResult::Accept();
}

DialogResult ExecutionControl::ChangeRegister(const std::string& name, const std::string& dataText) {
  if (!IsHexAddressText(dataText)) return DialogResult::Refuse(BoxKind::Error, NotValidDataMessage(dataText));
  Word value = HexTextValue(dataText);
  const bool pr = name == "PR";
  if (pr) {
    cpu_.SetPR(value);
  } else if (name == "SP") {
    cpu_.SetSP(value);
  } else if (name == "FR") {
    Word fr;
    if (!FlagBitsValue(dataText, fr)) return DialogResult::Refuse(BoxKind::Warning, NotValidDataMessage(dataText));
    cpu_.SetFR(fr);
  } else if (name.size() == 3 && name[0] == 'G' && name[1] == 'R' && name[2] >= '0' && name[2] <= '7') {
    cpu_.SetRegister(name[2] - '0', value);
  } else {
    return DialogResult::Refuse(BoxKind::Error, NotValidDataMessage(name));
  }
  ShowRegisterPane();
  // The next instruction is where PR now points.
  if (pr) MarkRowOfPr();
  return DialogResult::Accept();
}

BreakpointTable::Toggle ExecutionControl::ToggleBreakpointAt(Word address) {
  auto t = breakpoints_.ToggleBreakpointAt(address, symbols_);
  ui_.BreakpointsChanged();
  return t;
}

DialogResult ExecutionControl::AddBreakpoint(AddBy by, const std::string& text) {
  DialogResult r = breakpoints_.Add(by, text, symbols_);
  if (r.accepted) ui_.BreakpointsChanged();
  return r;
}

void ExecutionControl::SwitchBreakpoint(int index) {
  breakpoints_.SwitchEnabled(index);
  ui_.BreakpointsChanged();
}

void ExecutionControl::DeleteBreakpoint(int index) {
  breakpoints_.Delete(index);
  ui_.BreakpointsChanged();
}

void ExecutionControl::ClearBreakpoints() {
  breakpoints_.ClearBreakpoints();
  ui_.BreakpointsChanged();
}

void ExecutionControl::ClearWatches() {
  watches_.ClearWatches();
  ui_.RefreshWatches();
}

void ExecutionControl::FillWatchesFromSymbols() {
  watches_.FillWatchesFromSymbols(symbols_, memory_.data());
  ui_.RefreshWatches();
}

void ExecutionControl::RefreshWatches() {
  watches_.RefreshWatches(memory_.data());
  ui_.RefreshWatches();
}

void ExecutionControl::CommitWatchWorkingCopy() {
  watches_.CommitWorkingCopy(memory_.data());
  ui_.RefreshWatches();
}

}  // namespace tolvane::debugger
