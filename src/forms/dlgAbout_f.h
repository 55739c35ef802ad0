#pragma once
#include <QDialog>

namespace tolvane::forms {

// The about box (form `dlgAbout`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgAbout(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
