#include "app/CoreBinding.h"

#include <QApplication>
#include <QEventLoop>
#include <QLayout>
#include <QTimer>

#include "app/SourceDebug.h"
#include "asm/Assembler.h"
#include "common/Cp932.h"
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
  if (!execution_->StartDebugging(target, options)) return false;
  source_->Started();
  return true;
}

SourceDebug& CoreBinding::Source() { return *source_; }

bool CoreBinding::DebuggingActive() const { return execution_->DebuggingActive(); }
bool CoreBinding::DebuggingGuard() { return execution_->DebuggingGuard(); }
void CoreBinding::Go() { execution_->Go(); }
void CoreBinding::GoAnimate() { execution_->GoAnimate(); }
void CoreBinding::Trace() { execution_->Trace(); }
void CoreBinding::Step() { execution_->Step(); }
void CoreBinding::BackStep() { execution_->BackStep(); }
void CoreBinding::Pause() { execution_->Pause(); }
void CoreBinding::EndProgram() { execution_->EndProgram(); }

void CoreBinding::ResetDebuggerCommands() {
  for (Command c : {Command::Start, Command::Go, Command::Animate, Command::Trace, Command::Pause, Command::Step,
                    Command::BreakPoint, Command::Watch, Command::JumpPopups, Command::WatchPopup, Command::BackStep})
    execution_->SetCommandEnabled(c, false);
  execution_->ClearStatus();
}

BoxAnswer CoreBinding::ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  return forms::Dialogs().ShowMessageBox(kind, text, buttons);
}

void CoreBinding::SetStatusText(const std::string& text) {
  status_ = text;
  if (debug_) debug_->SetStatusText(forms::FromCp932(text));
}

void CoreBinding::SetCommandEnabled(Command command, bool enabled) {
  // Start comes back when debugging ends, however it ends.
  if (command == Command::Start && enabled) source_->Ended();
  QStringList names;
  switch (command) {
    case Command::End:
      names = {"mnuEndProgram", "smnuEndProgram"};
      break;
    case Command::Start:
      names = {"mnuDebugStart", "smnuDebugStart"};
      break;
    case Command::Go:
      names = {"mnuGo", "smnuGo"};
      break;
    case Command::Animate:
      names = {"mnuGoAnimate", "smnuGoAnimate"};
      break;
    case Command::Trace:
      names = {"mnuTrace", "smnuTrace"};
      break;
    case Command::Step:
      names = {"mnuStep", "smnuStep"};
      break;
    case Command::BackStep:
      names = {"mnuBackStep", "smnuBackStep"};
      break;
    case Command::Pause:
      names = {"mnuPause", "smnuPause"};
      break;
    case Command::BreakPoint:
      names = {"mnuBreakPoint"};
      break;
    case Command::Watch:
      names = {"mnuWatch"};
      break;
    case Command::JumpPopups:
      if (debug_) debug_->SetJumpPopupsEnabled(enabled);
      return;
    case Command::WatchPopup:
      if (debug_) debug_->SetWatchPopupEnabled(enabled);
      return;
  }
  main_.SetEnabled(names, enabled);
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

void CoreBinding::DisassemblyRebuilt(int rowCount, bool scrollToTop) {
  if (debug_) debug_->DisassemblyRebuilt(rowCount, scrollToTop);
}
void CoreBinding::ScrollDisassemblyRowToTop(int row) {
  if (debug_) debug_->ScrollDisassemblyRowToTop(row);
}
void CoreBinding::SelectDisassemblyRow(int row) {
  if (debug_) debug_->SelectDisassemblyRow(row);
  source_->ShowCurrentLine();
}
void CoreBinding::MarkDisassemblyRow(int row) {
  if (debug_) debug_->MarkDisassemblyRow(row);
  source_->ShowCurrentLine();
}
void CoreBinding::FillVisibleDisassembly() {
  if (debug_) debug_->FillVisibleDisassembly();
}
void CoreBinding::BreakpointsChanged() {
  if (debug_) debug_->BreakpointsChanged();
  source_->BreakpointsChanged();
  if (breakPoints_ && breakPoints_->isVisible()) breakPoints_->Reload();
}
void CoreBinding::RefreshMemoryDump() {
  if (debug_) debug_->RefreshMemoryDump();
}
void CoreBinding::ResetMemoryDump(Word startAddress) {
  if (debug_) debug_->ResetMemoryDump(startAddress);
}
void CoreBinding::SelectMemoryCell(Word address) {
  if (debug_) debug_->SelectMemoryCell(address);
}
void CoreBinding::RefreshRegisters() {
  if (debug_) debug_->RefreshRegisters();
}
void CoreBinding::RefreshWatches() {
  if (debug_) debug_->RefreshWatches();
}
void CoreBinding::ChangeMarksReset() {
  if (debug_) debug_->ChangeMarksReset();
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
  if (console_) console_->ConsoleWriteCp932(text);
}

void CoreBinding::ConsoleWithdrawOutput() {
  if (console_) console_->WithdrawLastOutput();
}

}  // namespace tolvane::app
