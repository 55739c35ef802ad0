// The debugger's ports over the protocol: message boxes and the run's lines
// as output events, IN from the launch's input or the debug console.
#include "common/Cp932.h"
#include "dap/Server.h"

namespace tolvane::dap {

BoxAnswer Server::ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  if (!muted_) {
    std::string t = MessageText(text);
    std::replace(t.begin(), t.end(), '\n', ' ');
    Output(kind == BoxKind::Error ? "stderr" : "console", std::string(BoxCaption(kind)) + ": " + t + "\n");
  }
  return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Yes;
}

// IN: the launch's input lines first, then lines typed into the debug console.
Bytes Server::ConsoleReadLine() {
  if (!launchInput_.empty()) {
    Bytes line = std::move(launchInput_.front());
    launchInput_.pop_front();
    return line;
  }
  if (quit_) return Bytes(1, '\x1A');
  Output("console", "IN is waiting for a line: type it into the debug console (^Z alone: end of input)\n");
  inputWaiting_ = true;
  inputCancelled_ = false;
  typedLine_.reset();
  while (!typedLine_ && !inputCancelled_ && !quit_) Handle(transport_.Receive(true));
  inputWaiting_ = false;
  if (typedLine_) return *typedLine_;
  return quit_ ? Bytes(1, '\x1A') : Bytes();
}

void Server::ConsoleWrite(const Bytes& text) {
  if (muted_ && !withdrawn_.empty()) {
    // Going back replays steps that are still in the history: their output
    // lines stand again, and were never taken back in the client's console.
    outputs_.push_back(withdrawn_.back());
    withdrawn_.pop_back();
    return;
  }
  outputs_.push_back(text);
  if (outputs_.size() > kOutputsKept) outputs_.pop_front();
  if (!muted_) Output("stdout", Cp932ToUtf8(text) + "\n");
}

void Server::ConsoleMessage(const Bytes& text) {
  if (muted_) return;
  std::string t = text;
  for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.erase(p, 1);
  Output("console", MessageText(t) + "\n");
}

// The debug console cannot take back what it shows: it says which lines no longer stand.
// How a run request ended is told by the stop's record, never read from the console.
void Server::OnStopped(const debugger::Stopped& stop) { lastStop_ = stop.reason; }

void Server::ConsoleWithdrawOutput() {
  if (outputs_.empty()) {
    withdrawn_.emplace_back();
    return;
  }
  withdrawn_.push_back(std::move(outputs_.back()));
  outputs_.pop_back();
}

void Server::ReportWithdrawals() {
  std::size_t shown = 0;
  for (const Bytes& line : withdrawn_) {
    if (shown++ == kWithdrawalsShown) {
      Output("console", "withdrawn: " + std::to_string(withdrawn_.size() - kWithdrawalsShown) + " more output lines\n");
      break;
    }
    Output("console", line.empty() && outputs_.empty() ? "withdrawn: an earlier output line\n"
                                                       : "withdrawn: " + Cp932ToUtf8(line) + "\n");
  }
  withdrawn_.clear();
}

}  // namespace tolvane::dap
