#pragma once
#include <QDialog>

namespace tolvane::forms {

// The project dialog (form `dlgProject`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgProject : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgProject(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
