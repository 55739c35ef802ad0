#include "debugger/SessionState.h"

#include "common/Cp932.h"

namespace tolvane::debugger {

#define TOLVANE_TEXT(fn, literal)                    \
  const std::string& fn() {                          \
    static const std::string s = Cp932Text(literal); \
    return s;                                        \
  }
TOLVANE_TEXT(StatusKeysText, u8"   Ｆ５-実行(GO)　 Ｆ６-アニメート実行 　Ｆ７-トレース　 Ｆ８-ステップ　 ")
TOLVANE_TEXT(StatusGoText, u8"   「実行(GO)」の実行中です。 　 （Ｆ３-一時停止）")
TOLVANE_TEXT(StatusAnimateText, u8"   「アニメート実行」の実行中です。 　 （Ｆ３-一時停止）")
TOLVANE_TEXT(StatusTraceText, u8"   「トレース」の実行中です。")
TOLVANE_TEXT(StatusStepText, u8"   「ステップ」の実行中です。")
TOLVANE_TEXT(PauseHintText, u8" 　 （Ｆ３-一時停止）")
#undef TOLVANE_TEXT

namespace {

const std::string& NoText() {
  static const std::string s;
  return s;
}

struct PhaseRow {
  Phase phase;
  const char* name;
  // One character per Command, in its order (End, Start, Go, Animate, Trace,
  // Step, Pause, BreakPoint, Watch, JumpPopups, WatchPopup, BackStep): '1'
  // enabled, '0' disabled, 't' while the breakpoint and watch tables are open
  // (from the start of debugging until End Program), 'b' when Back Step has
  // something to undo.
  const char* commands;
  const std::string& (*status)();
};

// clang-format off
constexpr PhaseRow kPhases[kPhaseCount] = {
    //                             EStGATSPBWJPK
    {Phase::Idle,        "Idle",        "000000000000", NoText},
    {Phase::PlainRun,    "PlainRun",    "1000000tt0t0", NoText},
    {Phase::Stopped,     "Stopped",     "1011110tt1tb", StatusKeysText},
    {Phase::Going,       "Going",       "1000001tt1t0", StatusGoText},
    {Phase::Animating,   "Animating",   "1000001tt1t0", StatusAnimateText},
    // A trace or step waiting for input takes no other run command.
    {Phase::Tracing,     "Tracing",     "1000000tt1t0", StatusTraceText},
    {Phase::Stepping,    "Stepping",    "1000000tt1t0", StatusStepText},
    {Phase::StepRunning, "StepRunning", "1000001tt1t0", StatusStepText},
    {Phase::Ended,       "Ended",       "0100000tt0tb", NoText},
};
// clang-format on

constexpr bool RowsInOrder() {
  for (int i = 0; i < kPhaseCount; ++i) {
    if (static_cast<int>(kPhases[i].phase) != i) return false;
    int n = 0;
    while (kPhases[i].commands[n]) ++n;
    if (n != kCommandCount) return false;
  }
  return true;
}
static_assert(RowsInOrder(), "one row per phase, in order, with a cell per command");

const PhaseRow& RowOf(Phase phase) { return kPhases[static_cast<int>(phase)]; }

}  // namespace

const char* PhaseName(Phase phase) { return RowOf(phase).name; }

void SessionState::Reset() { *this = SessionState{}; }

void SessionState::Loaded() {
  endRequested_ = false;
  pauseRequested_ = false;
  note_.clear();
}

void SessionState::BeginPlainRun() {
  life_ = Life::PlainRun;
  runner_ = Runner::Plain;
  note_.clear();
}

void SessionState::BeginDebugging() {
  life_ = Life::Debugging;
  tablesOpen_ = true;
  endRequested_ = false;
  pauseRequested_ = false;
  note_.clear();
}

void SessionState::Begin(Runner runner) {
  runner_ = runner;
  stepLong_ = false;
  note_.clear();
}

void SessionState::Finish() {
  runner_ = Runner::None;
  stepLong_ = false;
  pauseRequested_ = false;
}

void SessionState::ProgramEnded() {
  life_ = Life::Ended;
  note_.clear();
}

void SessionState::EndedByUser() {
  life_ = Life::Ended;
  endRequested_ = true;
  tablesOpen_ = false;
  note_.clear();
}

bool SessionState::RequestPause() {
  if (runner_ != Runner::Go && runner_ != Runner::Animate && !StepRunning()) return false;
  pauseRequested_ = true;
  return true;
}

Phase SessionState::CurrentPhase() const {
  switch (life_) {
    case Life::Idle:
      return Phase::Idle;
    case Life::PlainRun:
      return Phase::PlainRun;
    case Life::Ended:
      return Phase::Ended;
    case Life::Debugging:
      break;
  }
  switch (runner_) {
    case Runner::Go:
      return Phase::Going;
    case Runner::Animate:
      return Phase::Animating;
    case Runner::Trace:
      return Phase::Tracing;
    case Runner::Step:
      return stepLong_ ? Phase::StepRunning : Phase::Stepping;
    case Runner::None:
    case Runner::Plain:
      break;
  }
  return Phase::Stopped;
}

CommandSet EnabledCommands(const SessionState& state, bool canGoBack) {
  const char* cells = RowOf(state.CurrentPhase()).commands;
  CommandSet on;
  for (int i = 0; i < kCommandCount; ++i) {
    const char c = cells[i];
    on[static_cast<std::size_t>(i)] = c == '1' || (c == 't' && state.TablesOpen()) || (c == 'b' && canGoBack);
  }
  return on;
}

std::string StatusOf(const SessionState& state) {
  const Phase phase = state.CurrentPhase();
  if (!state.Note().empty() && (phase == Phase::Stopped || phase == Phase::Going || phase == Phase::Animating))
    return phase == Phase::Stopped ? state.Note() : state.Note() + PauseHintText();
  return RowOf(phase).status();
}

SessionView ViewOf(const SessionState& state, bool canGoBack) {
  return {state.CurrentPhase(), EnabledCommands(state, canGoBack), StatusOf(state)};
}

}  // namespace tolvane::debugger
