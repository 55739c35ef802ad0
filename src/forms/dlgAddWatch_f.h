#pragma once
#include <QDialog>

namespace tolvane::forms {

// The add-watch dialog (form `dlgAddWatch`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgAddWatch : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgAddWatch(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
