#include "forms/dlgOption_f.h"

namespace tolvane::forms {

TdlgOption::TdlgOption(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgOption"));
  setWindowTitle(QString::fromUtf8(u8"オプション"));
  setModal(true);
  resize(333, 264);
}

}  // namespace tolvane::forms
