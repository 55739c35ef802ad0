#pragma once
#include <QPointer>
#include <memory>
#include <string>

#include "debugger/ExecutionControl.h"
#include "forms/frmMain_f.h"
#include "machine/Svc.h"

namespace tolvane::forms {
class TfrmStandardIo;
class TfrmDebug;
class TdlgBreakPoint;
}  // namespace tolvane::forms

namespace tolvane::app {

// Binds the shell's commands to the assembler, the linker and execution
// control, and execution control's outside world to the windows: message boxes
// to the dialog port, command enabling to the main window's items, IN/OUT to the
// console window, window-system turns to the Qt event loop, the panes'
// records and the status line to the debug window. The debug window and
// the debugger's dialogs (found among the main window's children) are bound
// to execution control here.
class SourceDebug;

class CoreBinding : public forms::ShellCore, public debugger::DebuggerUiPort, public ConsolePort {
 public:
  CoreBinding(forms::TfrmMain& main, forms::TfrmStandardIo* console, forms::TfrmDebug* debug);
  ~CoreBinding() override;

  // ShellCore
  bool Assemble(const std::string& sourcePath, const BuildOptions& options, MessageSink& sink) override;
  bool Link(const std::vector<std::string>& paths, const BuildOptions& options, MessageSink& sink) override;
  bool RunProgram(const std::string& target, const BuildOptions& options) override;
  bool StartDebugging(const std::string& target, const BuildOptions& options) override;
  bool DebuggingActive() const override;
  bool DebuggingGuard() override;
  void Go() override;
  void GoAnimate() override;
  void Trace() override;
  void Step() override;
  void BackStep() override;
  void Pause() override;
  void EndProgram() override;
  void ResetDebuggerCommands() override;
  std::string LoadModulePath() const override { return execution_->Program().exePath; }
  std::vector<std::string> SourcesChangedSinceBuild(const std::string& target) const override;

  // DebuggerUiPort
  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override;
  void SessionChanged(const debugger::SessionView& view) override;
  void ShowDebugWindow() override;
  void SetPointer(debugger::Pointer pointer) override;
  void ProcessEvents() override;
  void WaitMilliseconds(int ms) override;
  bool ConsoleInputPending() override;
  void ConsoleCancelInput() override;

  // The debug window's panes, the source pages' current line and breakpoint marks.
  void OnPanesChanged(const debugger::PanesChanged& change) override;

  // ConsolePort
  Bytes ConsoleReadLine() override;
  void ConsoleWrite(const Bytes& text) override;
  void ConsoleMessage(const Bytes& text) override;
  void ConsoleWithdrawOutput() override;
  void ConsoleWithdrawMessage() override;
  void ConsoleWithdrawInput() override;
  void ConsoleEchoInput(const Bytes& line) override;

  debugger::ExecutionControl& Execution() { return *execution_; }
  const std::string& StatusText() const { return status_; }
  SourceDebug& Source();

 private:
  forms::TfrmMain& main_;
  forms::TfrmStandardIo* console_;
  QPointer<forms::TfrmDebug> debug_;
  QPointer<forms::TdlgBreakPoint> breakPoints_;
  std::unique_ptr<debugger::ExecutionControl> execution_;
  QPointer<SourceDebug> source_;  // a child of the main window, deleted with the binding
  std::string status_;
  bool pointerOverridden_ = false;
  bool starting_ = false;  // Debug Start is loading the program (not Back Step resuming it)
};

}  // namespace tolvane::app
