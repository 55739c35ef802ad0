// Running and stepping: configurationDone's first run, continue, the steps
// by line and by instruction, pause, going back, and what the client is told
// after each.
#include "common/Cp932.h"
#include "dap/Server.h"
#include "dap/SourceSteps.h"
#include "debugger/TerminalRun.h"
#include "machine/StdioRun.h"

namespace tolvane::dap {

void Server::ConfigurationDone(Request& r) {
  if (configured_) throw Refusal{"configurationDone was already sent"};
  configured_ = true;
  Respond(r);
  if (!noDebug_ && stopOnEntry_) {
    SendStopped(Stop{"entry", {}});
    return;
  }
  // A run looks for breakpoints after each instruction: one on the very
  // first would be passed over.
  if (!noDebug_) {
    std::vector<int> hit = CountHits(Pr());
    if (!hit.empty()) {
      SendStopped(Stop{"breakpoint", hit});
      return;
    }
  }
  Forward([this] { return RunFree(std::nullopt); });
}

void Server::ExceptionInfo(Request& r) {
  if (!exception_) throw Refusal{"the program is not stopped at an exception"};
  Respond(r, {{"exceptionId", exception_->id}, {"description", exception_->text}, {"breakMode", "always"}});
}

Server::Exception Server::UndefinedException() const {
  return Exception{"UndefinedInstruction", debugger::UndefinedWordMessage(ec_->Mem()[Pr()], Pr())};
}

void Server::Continue(Request& r) {
  Respond(r, {{"allThreadsContinued", true}});
  Forward([this] { return RunFree(std::nullopt); });
}

void Server::Next(Request& r) {
  const bool instruction = Granular(r);
  Respond(r);
  Forward([this, instruction] { return instruction ? NextInstruction() : StepLine(true); });
}

void Server::StepIn(Request& r) {
  const bool instruction = Granular(r);
  Respond(r);
  Forward([this, instruction] { return instruction ? TraceOnce() : StepLine(false); });
}

void Server::StepOut(Request& r) {
  Respond(r);
  Forward([this] {
    const std::vector<CallFrame> frames = Frames(2);
    // In the main program there is nothing to return to but the end.
    if (frames.front().outermost) return RunFree(std::nullopt);
    const Word slot = frames.front().returnSlot;
    return RunFree(ReturnTarget{ec_->Mem()[slot], slot});
  });
}

void Server::Pause(Request& r) {
  if (!running_) {
    Respond(r);  // stopped already
    return;
  }
  if (inputWaiting_)
    throw Refusal{"an IN is waiting for a line: type it into the debug console (^Z alone: end of input)"};
  userPause_ = true;
  ec_->Pause();
  Respond(r);
}

template <class F>
void Server::Forward(F step) {
  if (terminatedSent_) return;
  userPause_ = false;
  const bool giveUp = reportedUndefinedAt_ && *reportedUndefinedAt_ == Pr() && IsUndefinedAt(Pr());
  reportedUndefinedAt_.reset();
  exception_.reset();
  if (Live() && giveUp) {
    // The program was shown where it cannot go on: going on ends it.
    ec_->EndProgram();
  }
  Stop stop{"ended", {}};
  if (Live()) {
    running_ = true;
    stop = step();
    running_ = false;
  }
  Finish(stop);
}

// What the client is told after a run request.
void Server::Finish(const Stop& stop) {
  if (quit_) return;
  if (!Live()) {
    if (lastStop_ == StopReason::StackOverflow && !terminateRequested_) {
      // Stopped where the stack overflowed, for a look; going on ends the session.
      lastStop_ = StopReason::EndedByUser;
      exception_ = Exception{"StackOverflow", Cp932ToUtf8(debugger::StackOverflowMessage())};
      SendStopped(Stop{"exception", {}});
      return;
    }
    SendEnd();
    return;
  }
  if (exception_) {
    if (exception_->id == "UndefinedInstruction") reportedUndefinedAt_ = Pr();
    SendStopped(Stop{"exception", {}});
    return;
  }
  SendStopped(stop);
}

void Server::SendStopped(const Stop& stop) {
  ReportWithdrawals();
  json body{{"reason", stop.reason}, {"threadId", kThreadId}, {"allThreadsStopped", true}};
  if (!stop.hitIds.empty()) body["hitBreakpointIds"] = stop.hitIds;
  if (stop.reason == "exception" && exception_) {
    body["description"] = exception_->text;
    body["text"] = exception_->text;
  }
  Event("stopped", std::move(body));
}

void Server::SendEnd() {
  if (terminatedSent_) return;
  terminatedSent_ = true;
  Event("exited", {{"exitCode", RunExitStatus(lastStop_)}});
  Event("terminated");
}

Server::Stop Server::TraceOnce() {
  const Word pr = Pr();
  const bool undefined = IsUndefinedAt(pr);
  ec_->Trace();
  if (quit_ || !Live()) return Stop{"ended", {}};
  if (undefined && Pr() == pr) exception_ = UndefinedException();
  return Stop{"step", {}};
}

Server::Stop Server::NextInstruction() {
  if (IsCallAt(Pr())) return RunFree(ReturnTarget{static_cast<Word>(Pr() + 2), static_cast<Word>(Sp() - 1)});
  return TraceOnce();
}

// Steps until a line begins (IsStepStop); `over` steps over routines.
Server::Stop Server::StepLine(bool over) {
  for (int n = 1;; ++n) {
    Stop s = over ? NextInstruction() : TraceOnce();
    if (s.reason != "step" || exception_ || quit_ || !Live()) return s;
    if (IsStepStop(lines_, Pr()) || n >= kMaxLineSteps) return s;
    if (n % 64 == 0) {
      Pump();
      if (userPause_ || quit_) return Stop{"pause", {}};
    }
  }
}

// GO until a breakpoint whose hit count says stop, a pause, an exception,
// the end, or (with a target) the return from the routine.
Server::Stop Server::RunFree(std::optional<ReturnTarget> target) {
  if (target) {
    tempStop_ = target->address;
    SyncTable();
  }
  Stop result{"pause", {}};
  for (;;) {
    const bool ran = ec_->Go();
    if (!ran || quit_ || !Live()) break;
    if (!exception_ && lastStop_ == StopReason::UndefinedWord) exception_ = UndefinedException();
    if (exception_) {
      result.reason = "exception";
      break;
    }
    const Word pr = Pr();
    if (target && pr == target->address && Sp() > target->slot) {
      result.reason = "step";
      break;
    }
    std::vector<int> hit = CountHits(pr);
    if (!hit.empty()) {
      result = Stop{"breakpoint", std::move(hit)};
      break;
    }
    if (userPause_) break;
    // A breakpoint whose count has not come, or the return address reached
    // by a deeper call of the same routine: on.
    if (IsUserBreakpointAt(pr) || (target && pr == target->address)) continue;
    break;
  }
  if (target) {
    tempStop_.reset();
    SyncTable();
  }
  return result;
}

// Goes back to the latest recorded state before this one for which `wanted`
// holds; false (at the oldest recorded state) when none does. Each Back Step
// shows the whole machine anew, which costs a full disassembly; so this goes
// back by windows that double and traces forward through each window to
// look at every state, which is cheap.
template <class F>
bool Server::GoBack(F wanted) {
  const std::size_t recorded = ec_->BackStepsAvailable();
  muted_ = true;
  std::size_t done = 0, window = 1;
  bool found = false;
  while (done < recorded && !quit_) {
    const std::size_t w = std::min(window, recorded - done);
    ec_->BackStep(w);  // the state `done + w` steps back
    std::optional<std::size_t> best;
    if (wanted()) best = done + w;
    for (std::size_t j = done + w - 1; j > done; --j) {
      ec_->Trace();
      if (wanted()) best = j;
    }
    // Here: `done + 1` steps back (or `done + w` when w is 1).
    if (best) {
      if (*best > done + 1) ec_->BackStep(*best - (done + 1));
      found = true;
      break;
    }
    if (w > 1) ec_->BackStep(w - 1);
    done += w;
    window *= 2;
    Pump();
    if (userPause_ || terminateRequested_) break;
  }
  muted_ = false;
  return found;
}

void Server::Backward(Request& r, bool toBreakpoint) {
  if (terminatedSent_) throw Refusal{"the program has ended"};
  if (ec_->BackStepsAvailable() == 0) throw Refusal{"nothing to go back to: no executed instruction is recorded"};
  const bool instruction = Granular(r);
  Respond(r);
  userPause_ = false;
  exception_.reset();
  reportedUndefinedAt_.reset();
  lastStop_ = StopReason::EndedByUser;
  const Word slot = FrameSlot();
  bool found;
  running_ = true;
  if (toBreakpoint) {
    found = GoBack([this] { return ec_->Breakpoints().IsEnabledAt(Pr()); });
  } else {
    // Back over a routine as `next` goes over it: to a state in this frame or an outer one.
    found =
        GoBack([this, slot, instruction] { return FrameSlot() >= slot && (instruction || IsStepStop(lines_, Pr())); });
  }
  running_ = false;
  if (quit_) return;
  if (terminateRequested_ || !Live()) {
    SendEnd();
    return;
  }
  if (!found && !userPause_) Output("console", "went back to the oldest recorded instruction\n");
  if (toBreakpoint && found)
    SendStopped(Stop{"breakpoint", BreakpointIdsAt(Pr())});
  else
    SendStopped(Stop{userPause_ ? "pause" : "step", {}});
}

}  // namespace tolvane::dap
