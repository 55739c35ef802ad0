#pragma once
#include "forms/DockForm.h"

namespace tolvane::forms {

// The debug window (form `frmDebug`, caption "デバッグウインドウ"), docked into
// the main window's debug panel. Its panes (`Panel1`, hidden until a program is
// debugged) are filled in by the debugger's windows.
class TfrmDebug : public TDockForm {
  Q_OBJECT
 public:
  explicit TfrmDebug(QWidget* parent = nullptr);

  QWidget* Panel1() const { return panel1_; }

 private:
  QWidget* panel1_ = nullptr;
};

}  // namespace tolvane::forms
