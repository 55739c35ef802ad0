#pragma once
#include <QDialog>

namespace tolvane::forms {

// The register edit (form `dlgRegisterDataChange`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgRegisterDataChange : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgRegisterDataChange(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
