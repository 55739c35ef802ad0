#include "app/CoreBinding.h"

#include <QApplication>
#include <QEventLoop>
#include <QLayout>
#include <QTimer>

#include "app/SourceDebug.h"
#include "asm/Assembler.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "debugger/SourceLines.h"
#include "forms/DialogPort.h"
#include "forms/WindowTurn.h"
#include "forms/dlgAddBreakPoint_f.h"
#include "forms/dlgAddWatch_f.h"
#include "forms/dlgBreakPoint_f.h"
#include "forms/dlgMemoryDataChange_f.h"
#include "forms/dlgRegisterDataChange_f.h"
#include "forms/dlgWatch_f.h"
#include "forms/frmDebug_f.h"
#include "forms/frmStandardIo_f.h"
#include "link/Linker.h"

namespace tolvane::app {

using debugger::Command;

CoreBinding::CoreBinding(forms::TfrmMain& main, forms::TfrmStandardIo* console, forms::TfrmDebug* debug)
    : main_(main), console_(console), debug_(debug) {
  execution_ = std::make_unique<debugger::ExecutionControl>(*this, *this);
  source_ = new SourceDebug(main, *execution_);
  debugger::ExecutionControl* core = execution_.get();
  auto* memory = main.findChild<forms::TdlgMemoryDataChange*>();
  auto* registers = main.findChild<forms::TdlgRegisterDataChange*>();
  if (memory) memory->Bind(core);
  if (registers) registers->Bind(core);
  breakPoints_ = main.findChild<forms::TdlgBreakPoint*>();
  if (breakPoints_) breakPoints_->Bind(core, main.findChild<forms::TdlgAddBreakPoint*>());
  if (auto* watches = main.findChild<forms::TdlgWatch*>()) watches->Bind(core, main.findChild<forms::TdlgAddWatch*>());
  if (debug_) {
    debug_->Bind(core);
    debug_->SetEditDialogs(memory, registers);
  }
}

CoreBinding::~CoreBinding() {
  // The windows outlive the binding: they must not read a core that is gone.
  delete source_.data();
  if (debug_) debug_->Bind(nullptr);
  for (forms::TDebugDialog* d : main_.findChildren<forms::TDebugDialog*>()) d->Bind(nullptr);
}

bool CoreBinding::Assemble(const std::string& sourcePath, const BuildOptions& options, MessageSink& sink) {
  return tolvane::Assemble(sourcePath, options, sink) == 1;
}

bool CoreBinding::Link(const std::vector<std::string>& paths, const BuildOptions& options, MessageSink& sink) {
  return tolvane::Link(paths, options, sink);
}

bool CoreBinding::RunProgram(const std::string& target, const BuildOptions& options) {
  return execution_->RunProgram(target, options);
}

bool CoreBinding::StartDebugging(const std::string& target, const BuildOptions& options) {
  // Source-line debugging starts with the session (SessionChanged).
  starting_ = true;
  const bool started = execution_->StartDebugging(target, options);
  starting_ = false;
  return started;
}

SourceDebug& CoreBinding::Source() { return *source_; }

std::vector<std::string> CoreBinding::SourcesChangedSinceBuild(const std::string& target) const {
  return debugger::ChangedSources(ChangeExtension(target, ".exe"));
}

bool CoreBinding::DebuggingActive() const { return execution_->DebuggingActive(); }
bool CoreBinding::DebuggingGuard() { return execution_->DebuggingGuard(); }
void CoreBinding::Go() { execution_->Go(); }
void CoreBinding::GoAnimate() { execution_->GoAnimate(); }
void CoreBinding::Trace() { execution_->Trace(); }
void CoreBinding::Step() { execution_->Step(); }
void CoreBinding::BackStep() { execution_->BackStep(); }
void CoreBinding::Pause() { execution_->Pause(); }
void CoreBinding::EndProgram() { execution_->EndProgram(); }

void CoreBinding::ResetDebuggerCommands() { execution_->ResetSession(); }

BoxAnswer CoreBinding::ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  return forms::Dialogs().ShowMessageBox(kind, text, buttons);
}

void CoreBinding::SessionChanged(const debugger::SessionView& view) {
  status_ = view.status;
  const auto on = [&view](Command c) { return view.enabled[static_cast<std::size_t>(c)]; };
  if (debug_) {
    debug_->SetStatusText(forms::FromCp932(view.status));
    debug_->SetJumpPopupsEnabled(on(Command::JumpPopups));
    debug_->SetWatchPopupEnabled(on(Command::WatchPopup));
  }
  main_.ApplyDebuggerCommands(view.enabled);
  main_.DebuggingLayout(execution_->DebuggingActive());
  if (!source_) return;
  // The source pages debug while the program is live: from the start, and
  // again after Back Step from the end.
  if (execution_->DebuggingActive() != source_->Active()) {
    if (source_->Active())
      source_->Ended();
    else
      source_->Started(!starting_);
  }
  // A note about an earlier command goes when the next one runs the program.
  switch (view.phase) {
    case debugger::Phase::PlainRun:
    case debugger::Phase::Going:
    case debugger::Phase::Animating:
    case debugger::Phase::Tracing:
    case debugger::Phase::Stepping:
      source_->ClearNote();
      break;
    default:
      break;
  }
}

void CoreBinding::ShowDebugWindow() {
  if (!debug_) return;
  if (debug_->Panel1() && !debug_->Panel1()->isVisible()) {
    debug_->Panel1()->show();
    // The panes are laid out now, so that what follows scrolls them in their
    // real size.
    if (QLayout* layout = debug_->widget() ? debug_->widget()->layout() : nullptr) layout->activate();
  }
  if (!debug_->isVisible()) debug_->show();
}

void CoreBinding::OnPanesChanged(const debugger::PanesChanged& change) {
  if (debug_) debug_->ShowPanes(change);
  if (change.focus.kind != debugger::Focus::Kind::None && change.focus.pane == debugger::Pane::Disassembly)
    source_->ShowCurrentLine();
  if (change.which.Has(debugger::Pane::Breakpoints)) {
    source_->BreakpointsChanged();
    if (breakPoints_ && breakPoints_->isVisible()) breakPoints_->Reload();
  }
}

void CoreBinding::SetPointer(debugger::Pointer pointer) {
  if (pointerOverridden_) {
    QApplication::restoreOverrideCursor();
    pointerOverridden_ = false;
  }
  if (pointer == debugger::Pointer::Default) return;
  QApplication::setOverrideCursor(pointer == debugger::Pointer::Wait ? Qt::WaitCursor : Qt::BusyCursor);
  pointerOverridden_ = true;
}

void CoreBinding::ProcessEvents() { forms::WindowSystemTurn(); }

void CoreBinding::WaitMilliseconds(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool CoreBinding::ConsoleInputPending() { return console_ && console_->ConsoleInputPending(); }

void CoreBinding::ConsoleCancelInput() {
  if (console_) console_->ConsoleCancelInput();
}

Bytes CoreBinding::ConsoleReadLine() {
  if (!console_) return "\x1A";
  return console_->ReadLine();
}

void CoreBinding::ConsoleWrite(const Bytes& text) {
  if (console_) console_->ConsoleWriteOutput(text);
}

void CoreBinding::ConsoleMessage(const Bytes& text) {
  if (console_) console_->ConsoleWriteMessage(text);
}

void CoreBinding::ConsoleWithdrawOutput() {
  if (console_) console_->WithdrawLastOutput();
}

void CoreBinding::ConsoleWithdrawMessage() {
  if (console_) console_->WithdrawLastMessage();
}

void CoreBinding::ConsoleWithdrawInput() {
  if (console_) console_->WithdrawLastInput();
}

void CoreBinding::ConsoleEchoInput(const Bytes& line) {
  if (console_) console_->EchoInput(line);
}

}  // namespace tolvane::app
