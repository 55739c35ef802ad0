#pragma once
#include <QDialog>

namespace tolvane::forms {

// The options dialog (form `dlgOption`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgOption : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgOption(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
