#pragma once
#include <QDialog>

namespace tolvane::forms {

// The notice that the disassembly is being redone (form `dlgUnAsmInfo`). Created at start-up, shown modally and hidden
// again, never destroyed.
class TdlgUnAsmInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgUnAsmInfo(QWidget* parent = nullptr);
};

}  // namespace tolvane::forms
