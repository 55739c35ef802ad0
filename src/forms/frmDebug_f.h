#pragma once
#include <QDockWidget>

namespace tolvane::forms {

// The debug window (form `frmDebug`, caption "デバッグウインドウ"), docked into
// the main window's debug panel. Its panes (`Panel1`, hidden until a program is
// debugged) are filled in by the debugger's windows.
class TfrmDebug : public QDockWidget {
  Q_OBJECT
 public:
  explicit TfrmDebug(QWidget* parent = nullptr);

  QWidget* Panel1() const { return panel1_; }

 signals:
  // The main window's printTarget becomes `target` (4: the debug window).
  void printTargetChanged(int target);

 private:
  QWidget* panel1_ = nullptr;
};

}  // namespace tolvane::forms
