#pragma once
#include <QDialog>

namespace tolvane::forms {

// The add-breakpoint dialog (form `dlgAddBreakPoint`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgAddBreakPoint : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgAddBreakPoint(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
