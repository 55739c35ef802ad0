#include "forms/dlgBreakPoint_f.h"

namespace tolvane::forms {

TdlgBreakPoint::TdlgBreakPoint(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgBreakPoint"));
  setWindowTitle(QString::fromUtf8(u8"BreakPoint"));
  setModal(true);
  resize(400, 260);
}

}  // namespace tolvane::forms
