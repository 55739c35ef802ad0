#pragma once
// Debugging in the source pages: the line the program stands at is shown in
// the page of its source (opened when needed, read-only while debugging), and
// breakpoints are set on lines from the gutter beside the text (a click, or
// Ctrl+B on the caret's line). A line's breakpoint is the breakpoint on its
// first instruction word in the one breakpoint table, so the gutter and the
// disassembly always show the same marks. Before debugging starts, the gutter
// keeps the lines the user marked; starting applies them to the table.
#include <QObject>
#include <QPointer>
#include <set>
#include <string>

#include "debugger/SourceLines.h"

class QLabel;

namespace tolvane::debugger {
class ExecutionControl;
}

namespace tolvane::forms {
class TfrmMain;
class TfrmEditor;
}  // namespace tolvane::forms

namespace tolvane::app {

class SourceDebug : public QObject {
  Q_OBJECT
 public:
  SourceDebug(forms::TfrmMain& main, debugger::ExecutionControl& execution);

  // Debugging has started (the program is loaded and its table set up), or
  // the program is live again after Back Step from its end (`resumed`):
  // reads the program's lines and applies the gutter's breakpoints.
  void Started(bool resumed = false);
  // Debugging has ended: the pages become editable, the line mark goes.
  void Ended();
  // PR may have moved: the line mark follows it.
  void ShowCurrentLine();
  // The breakpoint table changed: the gutters follow it.
  void BreakpointsChanged();
  // A gutter click or Ctrl+B on line `line` of page `page`.
  void ToggleLine(int page, int line);
  // The status note of the last command goes.
  void ClearNote() { ShowStatus(std::string()); }

  const debugger::SourceLines& Lines() const { return lines_; }
  bool Active() const { return active_; }
  // The last status text shown (CP932), for the tests.
  const std::string& StatusText() const { return status_; }

 private:
  forms::TfrmEditor* Editor() const;
  // The source of the program that page `page` shows, or -1.
  int SourceOfPage(int page) const;
  // The page showing source `source`, opened when `open`; 0 when none.
  int PageOfSource(int source, bool open);
  void ApplyGutterBreakpoints();
  void ClearOtherPagesMarks();
  void ApplyReadOnly();
  void ShowStatus(const std::string& cp932);

  forms::TfrmMain& main_;
  debugger::ExecutionControl& execution_;
  debugger::SourceLines lines_;
  bool active_ = false;
  QPointer<QLabel> label_;
  std::string status_;
  std::set<std::string> unopenable_;  // sources the editor refused to open this session
};

}  // namespace tolvane::app
