#pragma once
#include <QDialog>

namespace tolvane::forms {

// The watch list (form `dlgWatch`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgWatch : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgWatch(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
