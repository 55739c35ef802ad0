// The session state and its one table: the phase each transition leads to,
// the commands it enables and the status line it shows; and that execution
// control tells its port once per change.
#include <gtest/gtest.h>

#include <functional>

#include "DebuggerTestSupport.h"
#include "debugger/SessionState.h"

namespace tolvane::debugger {
namespace {

// "End Start Go Animate Trace Step Pause BreakPoint Watch JumpPopups WatchPopup BackStep" as 0/1.
std::string Bits(const CommandSet& on) {
  std::string s;
  for (int i = 0; i < kCommandCount; ++i) s += on[static_cast<std::size_t>(i)] ? '1' : '0';
  return s;
}

TEST(SessionStateTest, EachPhaseEnablesItsCommandsAndShowsItsStatus) {
  using S = SessionState;
  struct Case {
    const char* how;
    std::function<void(S&)> go;
    Phase phase;
    const char* enabled;  // without anything to undo
    const std::string& status;
  } cases[] = {
      {"start-up", [](S&) {}, Phase::Idle, "000000000000", std::string()},
      {"plain run", [](S& s) { s.BeginPlainRun(); }, Phase::PlainRun, "100000000000", std::string()},
      {"plain end", [](S& s) { s.BeginPlainRun(), s.Finish(), s.ProgramEnded(); }, Phase::Ended, "010000000000",
       std::string()},
      {"debugging", [](S& s) { s.BeginDebugging(); }, Phase::Stopped, "101111011110", StatusKeysText()},
      {"go", [](S& s) { s.BeginDebugging(), s.Begin(Runner::Go); }, Phase::Going, "100000111110", StatusGoText()},
      {"animate", [](S& s) { s.BeginDebugging(), s.Begin(Runner::Animate); }, Phase::Animating, "100000111110",
       StatusAnimateText()},
      {"trace", [](S& s) { s.BeginDebugging(), s.Begin(Runner::Trace); }, Phase::Tracing, "100000011110",
       StatusTraceText()},
      {"step", [](S& s) { s.BeginDebugging(), s.Begin(Runner::Step); }, Phase::Stepping, "100000011110",
       StatusStepText()},
      {"long step", [](S& s) { s.BeginDebugging(), s.Begin(Runner::Step), s.StepRunsLong(); }, Phase::StepRunning,
       "100000111110", StatusStepText()},
      {"stop", [](S& s) { s.BeginDebugging(), s.Begin(Runner::Go), s.Finish(); }, Phase::Stopped, "101111011110",
       StatusKeysText()},
      // The final RET keeps the tables open for the next start; End Program closes them.
      {"end", [](S& s) { s.BeginDebugging(), s.ProgramEnded(); }, Phase::Ended, "010000011010", std::string()},
      {"end program", [](S& s) { s.BeginDebugging(), s.EndedByUser(); }, Phase::Ended, "010000000000", std::string()},
      {"plain run after an end", [](S& s) { s.BeginDebugging(), s.ProgramEnded(), s.BeginPlainRun(); }, Phase::PlainRun,
       "100000011010", std::string()},
      // End Program during GO: the user sees the end before the loop returns.
      {"end during go", [](S& s) { s.BeginDebugging(), s.Begin(Runner::Go), s.EndedByUser(); }, Phase::Ended,
       "010000000000", std::string()},
      {"shell reset", [](S& s) { s.BeginDebugging(), s.ProgramEnded(), s.Reset(); }, Phase::Idle, "000000000000",
       std::string()},
  };
  for (const Case& c : cases) {
    SessionState s;
    c.go(s);
    EXPECT_EQ(s.CurrentPhase(), c.phase) << c.how;
    EXPECT_EQ(Bits(EnabledCommands(s, false)), c.enabled) << c.how;
    EXPECT_EQ(StatusOf(s), c.status) << c.how;
  }
}

TEST(SessionStateTest, BackStepIsOfferedOnlyWhereTheProgramStandsStill) {
  for (int p = 0; p < kPhaseCount; ++p) {
    SessionState s;
    switch (static_cast<Phase>(p)) {
      case Phase::Idle:
        break;
      case Phase::PlainRun:
        s.BeginPlainRun();
        break;
      case Phase::Stopped:
        s.BeginDebugging();
        break;
      case Phase::Going:
        s.BeginDebugging(), s.Begin(Runner::Go);
        break;
      case Phase::Animating:
        s.BeginDebugging(), s.Begin(Runner::Animate);
        break;
      case Phase::Tracing:
        s.BeginDebugging(), s.Begin(Runner::Trace);
        break;
      case Phase::Stepping:
        s.BeginDebugging(), s.Begin(Runner::Step);
        break;
      case Phase::StepRunning:
        s.BeginDebugging(), s.Begin(Runner::Step), s.StepRunsLong();
        break;
      case Phase::Ended:
        s.BeginDebugging(), s.ProgramEnded();
        break;
    }
    ASSERT_EQ(s.CurrentPhase(), static_cast<Phase>(p));
    const bool still = p == static_cast<int>(Phase::Stopped) || p == static_cast<int>(Phase::Ended);
    EXPECT_EQ(EnabledCommands(s, true)[static_cast<std::size_t>(Command::BackStep)], still)
        << PhaseName(s.CurrentPhase());
  }
}

TEST(SessionStateTest, DerivedFlagsAndRequests) {
  SessionState s;
  EXPECT_FALSE(s.RequestPause());  // nothing runs
  s.BeginDebugging();
  EXPECT_TRUE(s.DebuggingActive());
  EXPECT_FALSE(s.RequestPause());
  s.Begin(Runner::Step);
  EXPECT_TRUE(s.Busy());
  EXPECT_FALSE(s.RequestPause());  // a short step is not paused
  s.StepRunsLong();
  EXPECT_TRUE(s.RequestPause());
  s.Finish();
  EXPECT_FALSE(s.PauseRequested());
  s.Begin(Runner::Go);
  EXPECT_TRUE(s.GoRunning() && s.Executing());
  s.EndedByUser();
  EXPECT_TRUE(s.EndRequested() && s.Executing() && !s.DebuggingActive());
  s.Finish();
  s.Loaded();
  EXPECT_FALSE(s.EndRequested());
  // A note stands in for the status until the next command; GO adds the pause key.
  s.BeginDebugging();
  s.SetNote("N");
  EXPECT_EQ(StatusOf(s), "N");
  s.Begin(Runner::Go);
  EXPECT_EQ(StatusOf(s), StatusGoText());
  s.SetNote("N");
  EXPECT_NE(StatusOf(s).find("N "), std::string::npos);
}

class SessionPortTest : public testing::DebuggerFixture {};

// Each command tells the port each phase it enters once, with the whole view.
TEST_F(SessionPortTest, ThePortIsToldOncePerChange) {
  testing::ProgramImage p = testing::EchoProgram();
  std::string exe = p.Write("once");
  ui.Clear();
  ASSERT_TRUE(ec.StartDebugging(exe, options));
  auto states = [&] {
    std::vector<std::string> s;
    for (const std::string& c : ui.calls)
      if (c.rfind("state ", 0) == 0) s.push_back(c.substr(6));
    ui.Clear();
    return s;
  };
  EXPECT_EQ(states(), std::vector<std::string>{"Stopped"});
  ec.Trace();
  EXPECT_EQ(states(), (std::vector<std::string>{"Tracing", "Stopped"}));  // Back Step comes on with the stop
  EXPECT_TRUE(ec.IsEnabled(Command::BackStep));
  ec.Trace();
  EXPECT_EQ(states(), (std::vector<std::string>{"Tracing", "Stopped"}));
  console.lines = {"A"};
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(states(), (std::vector<std::string>{"Going", "Ended"}));
  EXPECT_EQ(ec.View().phase, Phase::Ended);
  ec.ResetSession();
  EXPECT_EQ(states(), std::vector<std::string>{"Idle"});
  ec.ResetSession();
  EXPECT_TRUE(states().empty());  // nothing changed
}

}  // namespace
}  // namespace tolvane::debugger
