#pragma once
#include <QDialog>

namespace tolvane::forms {

// The breakpoint list (form `dlgBreakPoint`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgBreakPoint : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgBreakPoint(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
