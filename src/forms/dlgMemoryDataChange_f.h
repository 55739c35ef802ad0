#pragma once
#include <QDialog>

namespace tolvane::forms {

// The memory word edit (form `dlgMemoryDataChange`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgMemoryDataChange : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgMemoryDataChange(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
