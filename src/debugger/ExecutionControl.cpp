#include "debugger/ExecutionControl.h"

#include <algorithm>
#include <cstdio>

#include "common/Cp932.h"
#include "common/TextRules.h"
#include "debugger/Formats.h"
#include "machine/Cpu.h"
#include "machine/StepJournal.h"

namespace tolvane::debugger {

#define TOLVANE_TEXT(fn, literal)                    \
  const std::string& fn() {                          \
    static const std::string s = Cp932Text(literal); \
    return s;                                        \
  }
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

std::string UndefinedWordStatusText(Word word, Word pr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(pr));
  std::string text = "   " + std::string(buf) + Cp932Text(u8"番地の命令(");
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(word));
  return text + buf + Cp932Text(u8")は未定義です。先に進めません。");
}

std::string StepLimitMessage(std::uint64_t instructions) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "Stopped after %llu instructions (step limit)",
                static_cast<unsigned long long>(instructions));
  return buf;
}

// ---- machine hooks ----

void ExecutionControl::Hooks::UnAsmStoreAt(Word address) { stores.Note(address); }

void ExecutionControl::Hooks::UnAsmRefreshAt(Word address) {
  ExecutionControl& o = owner_;
  o.FlushStores();
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
    : ui_(ui), console_(console), journal_(std::make_unique<StepJournal>()), hooks_(*this) {
  disassembler_.Attach(memory_.data(), &symbols_);
  shown_ = ViewOf(state_, false);
}

ExecutionControl::~ExecutionControl() = default;

std::size_t ExecutionControl::BackStepsAvailable() const { return journal_->Size(); }

void ExecutionControl::Announce() {
  // Back Step undoes only while nothing executes.
  SessionView view = ViewOf(state_, !journal_->Empty());
  if (view == shown_) return;
  shown_ = std::move(view);
  ui_.SessionChanged(shown_);
}

void ExecutionControl::ReportStop(int withdrawnOutputs) {
  Stopped stop;
  stop.reason = lastStop_;
  stop.pr = cpu_.GetPR();
  if (sourceLines_) stop.source = sourceLines_->Locate(stop.pr);
  stop.withdrawnOutputs = withdrawnOutputs;
  ui_.OnStopped(stop);
}

void ExecutionControl::ResetSession() {
  state_.Reset();
  Announce();
}

void ExecutionControl::FlushStores() {
  StoreLog& log = hooks_.stores;
  if (log.Empty()) return;
  // Decoding all memory again, or patching a row, after every store of a loop
  // would dominate a run: the rows follow the stores once, before anything
  // looks at them. A store into code decodes the whole listing again; stores
  // into data and the stack then become their data lines, in the order made.
  const std::vector<Word>& stored = log.Addresses();
  if (std::any_of(stored.begin(), stored.end(), [&](Word a) { return disassembler_.StoreNeedsRebuild(a); })) Rebuild();
  for (Word a : stored)
    if (!disassembler_.StoreNeedsRebuild(a) && !disassembler_.UnAsmRefreshAt(a)) hooks_.ReportMissingRow();
  log.Clear();
}

Pointer ExecutionControl::SwapPointer(Pointer pointer) {
  Pointer previous = pointer_;
  pointer_ = pointer;
  if (pointer != previous) ui_.SetPointer(pointer);
  return previous;
}

void ExecutionControl::ShowDisassembly() {
  hooks_.stores.Clear();  // the listing is made from memory as it is now
  Pointer previous = SwapPointer(Pointer::Wait);
  disassembler_.BuildUnAsmTable();
  // A new listing: it is shown from the top, with the row of PR as its start.
  PanesChanged shown = PanesChanged::Of(Pane::Disassembly);
  shown.rebuilt = shown.scrollToTop = true;
  const int row = disassembler_.FindRowOfAddress(cpu_.GetPR());
  if (row >= 0) shown.focus = Focus::Row(Focus::Kind::Start, row);
  ui_.OnPanesChanged(shown);
  if (row < 0) ui_.ShowMessageBox(BoxKind::Error, DisassemblyFailedMessage());
  SwapPointer(previous);
}

void ExecutionControl::RedisassembleKeepView() {
  hooks_.stores.Clear();  // the listing is made from memory as it is now
  Rebuild();
}

void ExecutionControl::Rebuild() {
  Pointer previous = SwapPointer(Pointer::Wait);
  disassembler_.BuildUnAsmTable();
  PanesChanged rebuilt = PanesChanged::Of(Pane::Disassembly);
  rebuilt.rebuilt = true;
  ui_.OnPanesChanged(rebuilt);
  SwapPointer(previous);
}

void ExecutionControl::ShowMemoryPane() {
  panes_.ShowMemory(memory_);
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Memory));
}

void ExecutionControl::ShowRegisterPane() {
  panes_.ShowRegisters(cpu_);
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Registers));
}

void ExecutionControl::ResetMemoryDump() {
  panes_.ShowMemory(memory_);
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Memory, Focus::Cell(Focus::Kind::Start, program_.header.start)));
}

void ExecutionControl::MarkRowOfPr() {
  const int row = disassembler_.FindRowOfAddress(cpu_.GetPR());
  if (row >= 0) ui_.OnPanesChanged(PanesChanged::Of({}, Focus::Row(Focus::Kind::PrMoved, row)));
}

void ExecutionControl::TakeStop() {
  panes_.TakeStop(cpu_, memory_);
  panes_.TakeWatchesAtStop(watches_);
  // The disassembly marks the rows of changed words too.
  ui_.OnPanesChanged(PanesChanged::Of(Pane::ChangeMarks | Pane::Disassembly));
}

bool ExecutionControl::DisassemblyRowChanged(int row) const {
  if (row < 0 || row >= disassembler_.RowCount()) return false;
  const unsigned first = disassembler_.Row(row).address;
  const unsigned next = row + 1 < disassembler_.RowCount() ? disassembler_.Row(row + 1).address : kMemoryWords;
  for (unsigned a = first; a < next && a < first + 2; ++a)
    if (panes_.WordChanged(static_cast<Word>(a))) return true;
  return false;
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
  if (hooks_.journal) journal_->StoreOutside(pushedAt, memory_[pushedAt]);
  cpu_.Initialize(memory_, program_.header.start, program_.header.initialSp, program_.header.stackLimit);
  if (hooks_.journal) journal_->ChangedOutside();
}

void ExecutionControl::SetRecording(bool on) {
  recording_ = on;
  if (!on) journal_->Clear();
  hooks_.journal = on && state_.DebuggingActive() ? journal_.get() : nullptr;
  Announce();
}

std::size_t ExecutionControl::BackStep(std::size_t count) {
  if (state_.Executing() || ui_.ConsoleInputPending() || journal_->Empty()) return 0;
  ui_.ShowDebugWindow();
  TakeStop();  // the change marks show what going back changed
  StepJournal::Undone u = journal_->StepBack(cpu_, memory_, count);
  const std::size_t undone = u.steps;
  // The undone INs' lines are read again, in order, before anything new.
  replay_.insert(replay_.begin(), u.lines.begin(), u.lines.end());
  if (!state_.DebuggingActive()) {
    // Back over the end: the lines it wrote go first, so that the console
    // reads as if the program had never ended.
    for (; endMessages_ > 0; --endMessages_) console_.ConsoleWithdrawMessage();
  }
  for (std::size_t i = 0; i < u.lines.size(); ++i) console_.ConsoleWithdrawInput();
  for (int i = 0; i < u.outputs; ++i) console_.ConsoleWithdrawOutput();
  // What was undone no longer counts as executed.
  instructions_ -= std::min<std::uint64_t>(instructions_, undone);
  if (!state_.DebuggingActive()) {
    // Back from the end (or from End Program): the program is live again.
    state_.BeginDebugging();
    hooks_.journal = recording_ ? journal_.get() : nullptr;
  }
  state_.ClearNote();
  lastStop_ = StopReason::Stepped;
  Announce();
  // The restored words may be code: the disassembly is made anew.
  RefreshAllPanes();
  Announce();
  ReportStop(u.outputs);
  return undone;
}

bool ExecutionControl::Load(const std::string& fileName, const BuildOptions& options) {
  state_.Loaded();
  endLinesDue_ = false;
  endMessages_ = 0;
  // A new load ends what Back Step could undo.
  hooks_.journal = nullptr;
  journal_->Clear();
  replay_.clear();
  Announce();
  hooks_.stores.Clear();
  // End Program is enabled by the phase the command enters after the load.
  bool ok = LoadProgram(fileName, options.symbolicDebug != 0, cpu_, memory_, program_, ui_);
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

StopReason ExecutionControl::PlainRun(const std::string& fileName, const BuildOptions& options,
                                      std::uint64_t maxSteps) {
  if (state_.Executing()) return StopReason::Refused;
  if (!Load(fileName, options)) return lastStop_ = StopReason::LoadFailed;
  hooks_.unAsmTracking = false;
  PlainRunTurn turn(ui_, state_.EndFlag());
  state_.BeginPlainRun();
  Announce();
  // The machine asks the turn port after every input too, so an End Program
  // given while an IN waited stops the run before the next instruction.
  const RunResult result = RunToEnd(cpu_, memory_, console_, maxSteps, &turn, PlainRunTurn::kPlainInterval);
  state_.Finish();
  lastStop_ = result.stop;
  switch (result.stop) {
    case StopReason::ProgramEnd:
      state_.ProgramEnded();
      Announce();
      console_.ConsoleMessage(kProgramTerminatedNormally);
      ReinitializeIfEnded();
      if (showRegistersAfterRun_) WriteRegisterDump();
      break;
    case StopReason::StackOverflow:
      console_.ConsoleMessage(StackOverflowMessage());
      EndWith(StopReason::StackOverflow);
      break;
    case StopReason::UndefinedWord:
      console_.ConsoleMessage(UndefinedWordMessage(memory_[cpu_.GetPR()], cpu_.GetPR()));
      EndWith(StopReason::UndefinedWord);
      break;
    case StopReason::StepLimit:
      console_.ConsoleMessage(StepLimitMessage(result.steps));
      EndWith(StopReason::StepLimit);
      // Where the run was stopped is the point of a step limit: the registers always show it.
      if (!showRegistersAfterRun_) WriteRegisterDump();
      break;
    default:
      // End Program during a turn or while an IN waited: its lines now, after the machine stopped.
      lastStop_ = StopReason::EndedByUser;
      WriteDueEndLines();
      break;
  }
  Announce();
  ReportStop();
  return lastStop_;
}

// ---- start of debugging ----

bool ExecutionControl::StartDebugging(const std::string& fileName, const BuildOptions& options) {
  if (state_.Executing()) return false;
  ui_.ShowDebugWindow();
  if (!Load(fileName, options)) {
    lastStop_ = StopReason::LoadFailed;
    return false;
  }
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
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Watches));
  state_.BeginDebugging();
  hooks_.journal = recording_ ? journal_.get() : nullptr;
  hooks_.unAsmTracking = false;
  hooks_.memoryChanged = false;
  lastDebuggedPath_ = program_.exePath;
  instructions_ = 0;
  lastStop_ = StopReason::Stepped;
  Announce();
  return true;
}

// ---- shared end and stop handling ----

void ExecutionControl::ProgramEndHandling() {
  WriteEndMessage(kProgramTerminatedNormally);
  WriteEndDump();
  state_.ProgramEnded();
  lastStop_ = StopReason::ProgramEnd;
  Announce();
  ui_.ShowMessageBox(BoxKind::Information, ProgramEndedMessage());
}

void ExecutionControl::WriteEndMessage(const Bytes& text) {
  console_.ConsoleMessage(text);
  ++endMessages_;
}

void ExecutionControl::WriteEndDump() {
  if (!showRegistersAfterRun_) return;
  WriteRegisterDump();
  ++endMessages_;
}

void ExecutionControl::WriteEndLines() {
  endLinesDue_ = false;
  WriteEndMessage(kProgramTerminatedAbnormally);
  WriteEndDump();
}

void ExecutionControl::WriteDueEndLines() {
  if (endLinesDue_) WriteEndLines();
}

void ExecutionControl::EndProgram() {
  // A command executing the program reports the stop when it returns.
  const bool executing = state_.Executing();
  EndWith(StopReason::EndedByUser);
  if (!executing) ReportStop();
}

void ExecutionControl::EndWith(StopReason why) {
  if (ui_.ConsoleInputPending()) ui_.ConsoleCancelInput();
  const bool executing = state_.Executing();
  state_.EndedByUser();
  hooks_.unAsmTracking = false;
  lastStop_ = why;
  // A command that executes the program (End Program came in one of its turns,
  // or while its IN waited) finishes its instruction first; the lines then
  // show the state it leaves, the one the panes show.
  if (executing)
    endLinesDue_ = true;
  else
    WriteEndLines();
  Announce();
}

bool ExecutionControl::DebuggingGuard() {
  if (!state_.DebuggingActive()) return false;
  BoxAnswer a = ui_.ShowMessageBox(BoxKind::Confirm, DebuggingGuardMessage(), BoxButtons::YesNo);
  if (a == BoxAnswer::Yes) {
    EndProgram();
    return false;
  }
  return true;
}

bool ExecutionControl::Pause() {
  if (ui_.ConsoleInputPending()) return false;
  return state_.RequestPause();
}

bool ExecutionControl::RefreshPanes() {
  FlushStores();
  int row = disassembler_.FindRowOfAddress(cpu_.GetPR());
  if (row < 0) {
    ui_.ShowMessageBox(BoxKind::Error, DisassemblyFailedMessage());
    // The refresh that closes a run the user has ended must not end (and
    // report) the program a second time.
    if (!state_.EndRequested()) EndWith(StopReason::NoRow);
    return false;
  }
  PanesChanged shown = PanesChanged::Of(Pane::Registers | Pane::Watches, Focus::Row(Focus::Kind::Next, row));
  panes_.ShowRegisters(cpu_);
  watches_.RefreshWatches(memory_.data());
  if (hooks_.memoryChanged) {
    shown.which = shown.which | Pane::Disassembly | Pane::Memory;
    panes_.ShowMemory(memory_);
    hooks_.memoryChanged = false;
  }
  ui_.OnPanesChanged(shown);
  return true;
}

bool ExecutionControl::RefreshAllPanes() {
  RedisassembleKeepView();
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Breakpoints));
  hooks_.memoryChanged = true;  // the memory dump and the rows are shown anew too
  return RefreshPanes();
}

namespace {

// A jump by address: the view comes to the target from the pane's start.
PanesChanged JumpFromStartTo(Focus target) {
  PanesChanged c = PanesChanged::Of({}, target);
  c.fromStart = true;
  return c;
}

}  // namespace

Refusal ExecutionControl::Jump(JumpKind kind, Word address) {
  switch (kind) {
    case JumpKind::DisassemblyAddress: {
      const int row = RowForAddressJump(disassembler_, address);
      if (row < 0) return Refusal::CannotJump;
      ui_.OnPanesChanged(JumpFromStartTo(Focus::Row(Focus::Kind::Jump, row)));
      break;
    }
    case JumpKind::DisassemblyLabel: {
      const int row = RowForLabelJump(disassembler_, address);
      if (row < 0) return Refusal::CannotJump;
      ui_.OnPanesChanged(PanesChanged::Of({}, Focus::Row(Focus::Kind::Jump, row)));
      break;
    }
    case JumpKind::MemoryAddress:
      ui_.OnPanesChanged(JumpFromStartTo(Focus::Cell(Focus::Kind::Jump, address)));
      break;
  }
  return Refusal::None;
}

// ---- GO and animate ----

bool ExecutionControl::Go() { return RunContinuous(false); }
bool ExecutionControl::GoAnimate() { return RunContinuous(true); }

bool ExecutionControl::RunContinuous(bool animate) {
  // Only from a stop: not twice, not over a trace or step waiting for input
  // inside the machine, not after the end.
  if (state_.CurrentPhase() != Phase::Stopped || ui_.ConsoleInputPending()) return false;
  state_.ClearPause();  // a pause that came too late for the last run
  state_.Begin(animate ? Runner::Animate : Runner::Go);
  hooks_.goRunning = state_.GoRunning();
  Announce();
  TakeStop();
  Pointer previous = SwapPointer(Pointer::Background);
  RunLoop();
  SwapPointer(previous);
  state_.Finish();
  hooks_.goRunning = false;
  WriteDueEndLines();
  Announce();
  ReportStop();
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
  const ExecStatus s = RunHooked(cpu_, memory_, machineConsole_, hooks_, breakpoints_.EnabledBits(), state_.EndFlag(),
                                 state_.PauseFlag(), limit, executed);
  hooks_.unAsmTracking = false;
  instructions_ += executed;
  return s;
}

void ExecutionControl::StopHere(StopReason why) {
  state_.ClearPause();
  // A refresh that finds no row for PR has ended the program (and says so).
  if (state_.GoRunning() && !RefreshPanes()) return;
  lastStop_ = why;
}

void ExecutionControl::ReportUndefinedWord() {
  hooks_.undefinedTried = false;
  if (!state_.Note().empty()) return;  // said once for this command
  const Word pr = cpu_.GetPR();
  console_.ConsoleMessage(UndefinedWordMessage(memory_[pr], pr));
  state_.SetNote(UndefinedWordStatusText(memory_[pr], pr));
  lastStop_ = StopReason::UndefinedWord;
  Announce();
}

void ExecutionControl::RunLoop() {
  ui_.ShowDebugWindow();
  bool turnDue = true;  // the first instruction follows a turn
  unsigned sinceTurn = 0;
  auto lastTurn = std::chrono::steady_clock::now();
  for (;;) {
    if (turnDue || state_.AnimateRunning()) {
      FlushStores();
      ui_.ShowDebugWindow();                              // the user may have closed it meanwhile
      if (!state_.AnimateRunning()) ui_.ProcessEvents();  // animate's wait is its turn
      turnDue = false;
      sinceTurn = 0;
      lastTurn = std::chrono::steady_clock::now();
      // Whatever arrived in the turn applies before the next instruction.
      if (state_.EndRequested()) {
        if (state_.GoRunning()) RefreshPanes();
        return;
      }
      if (state_.PauseRequested()) {
        StopHere(StopReason::Paused);
        return;
      }
    }

    ExecStatus s;
    hooks_.undefinedTried = false;
    if (state_.AnimateRunning()) {
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
      if (state_.GoRunning()) RefreshPanes();
      ProgramEndHandling();
      return;
    }
    if (s == ExecStatus::StackOverflow) {
      FlushStores();
      WriteEndMessage(StackOverflowMessage());
      EndWith(StopReason::StackOverflow);
    }
    if (state_.EndRequested()) {
      if (state_.GoRunning()) RefreshPanes();
      return;
    }
    if (hooks_.undefinedTried) {
      // The word at PR can never be executed: going on would try it for ever.
      // The run stops there and says why, as trace and step do.
      StopHere(StopReason::UndefinedWord);
      if (!state_.EndRequested()) ReportUndefinedWord();
      return;
    }
    if (breakpoints_.IsEnabledAt(cpu_.GetPR())) {
      StopHere(StopReason::Breakpoint);
      return;
    }
    if (state_.PauseRequested()) {
      StopHere(StopReason::Paused);
      return;
    }
    if (!state_.AnimateRunning() && (sinceTurn >= kTurnInstructions || std::chrono::steady_clock::now() - lastTurn >=
                                                                           std::chrono::milliseconds(kTurnMillis)))
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
    if (state_.EndRequested()) break;
    if (TurnDue(sinceTurn, lastTurn)) {
      // A routine that runs long (or never returns) keeps the window system
      // alive and can be paused or ended like a GO.
      if (!state_.StepRunning()) {
        state_.StepRunsLong();
        Announce();
      }
      FlushStores();
      ui_.ProcessEvents();
      sinceTurn = 0;
      lastTurn = std::chrono::steady_clock::now();
      if (state_.EndRequested()) break;
      if (state_.PauseRequested()) {
        lastStop_ = StopReason::Paused;
        break;
      }
    }
  }
  hooks_.callExecuted = false;
  hooks_.retExecuted = false;
  state_.ClearPause();
  return result;
}

void ExecutionControl::SingleStep(bool overCall) {
  if (state_.CurrentPhase() != Phase::Stopped || ui_.ConsoleInputPending()) return;
  ui_.ShowDebugWindow();
  state_.Begin(overCall ? Runner::Step : Runner::Trace);
  lastStop_ = StopReason::Stepped;
  Announce();
  TakeStop();
  hooks_.callExecuted = false;
  hooks_.retExecuted = false;
  hooks_.undefinedTried = false;
  ExecStatus s = ExecuteTracked();
  if (overCall && hooks_.callExecuted && s == ExecStatus::Continue && !state_.EndRequested()) s = RunCalledRoutine();
  hooks_.callExecuted = false;
  hooks_.retExecuted = false;
  state_.Finish();
  // Ended by the user while the instruction waited for input (or while a
  // stepped routine ran): the panes and the end's lines show where it stopped.
  if (state_.EndRequested()) {
    FlushStores();
    RefreshPanes();
    WriteDueEndLines();
    Announce();
    ReportStop();
    return;
  }
  ReinitializeIfEnded();
  if (!RefreshPanes()) {
    ReportStop();
    return;
  }
  if (s == ExecStatus::ProgramEnd) {
    ProgramEndHandling();
  } else if (s == ExecStatus::StackOverflow) {
    WriteEndMessage(StackOverflowMessage());
    EndWith(StopReason::StackOverflow);
  } else if (hooks_.undefinedTried) {
    ReportUndefinedWord();
  }
  Announce();
  ReportStop();
}

// ---- edits from the panes and dialogs ----

Refusal ExecutionControl::SetMemory(Word address, Word value) {
  // Going back before the edit undoes it with the steps.
  if (hooks_.journal) {
    journal_->StoreOutside(address, memory_[address]);
    journal_->ChangedOutside();
  }
  memory_[address] = value;
  // A word stuck at may have become an instruction.
  state_.ClearNote();
  Announce();
  ShowMemoryPane();
  RedisassembleKeepView();
  RefreshWatches();
  // The word may have changed the length of an instruction before PR, so that
  // the row of PR now has another index; the mark follows PR, not the index.
  MarkRowOfPr();
  return Refusal::None;
}

Refusal ExecutionControl::SetRegister(Register r, Word value) {
  switch (r) {
    case Register::PR:
      cpu_.SetPR(value);
      break;
    case Register::SP:
      cpu_.SetSP(value);
      break;
    case Register::FR:
      if (value > 6 || value == 3) return Refusal::InvalidFlags;
      cpu_.SetFR(value);
      break;
    default:
      cpu_.SetRegister(RegisterIndex(r), value);
      break;
  }
  if (hooks_.journal) journal_->ChangedOutside();
  ShowRegisterPane();
  // The next instruction is where PR now points.
  if (r == Register::PR) {
    state_.ClearNote();
    Announce();
    MarkRowOfPr();
  }
  return Refusal::None;
}

BreakpointTable::Toggle ExecutionControl::ToggleBreakpointAt(Word address) {
  auto t = breakpoints_.ToggleBreakpointAt(address, symbols_);
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Breakpoints));
  return t;
}

Refusal ExecutionControl::AddBreakpoint(Word address, const std::string& label) {
  const Refusal r = breakpoints_.Add(Entry::Of(address, label), symbols_);
  if (r == Refusal::None) ui_.OnPanesChanged(PanesChanged::Of(Pane::Breakpoints));
  return r;
}

void ExecutionControl::SwitchBreakpoint(int index) {
  breakpoints_.SwitchEnabled(index);
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Breakpoints));
}

void ExecutionControl::DeleteBreakpoint(int index) {
  breakpoints_.Delete(index);
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Breakpoints));
}

void ExecutionControl::ClearBreakpoints() {
  breakpoints_.ClearBreakpoints();
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Breakpoints));
}

void ExecutionControl::ClearWatches() {
  watches_.ClearWatches();
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Watches));
}

void ExecutionControl::FillWatchesFromSymbols() {
  watches_.FillWatchesFromSymbols(symbols_, memory_.data());
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Watches));
}

void ExecutionControl::RefreshWatches() {
  watches_.RefreshWatches(memory_.data());
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Watches));
}

void ExecutionControl::CommitWatchWorkingCopy() {
  watches_.CommitWorkingCopy(memory_.data());
  ui_.OnPanesChanged(PanesChanged::Of(Pane::Watches));
}

}  // namespace tolvane::debugger
