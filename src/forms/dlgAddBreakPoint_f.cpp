#include "forms/dlgAddBreakPoint_f.h"

namespace tolvane::forms {

TdlgAddBreakPoint::TdlgAddBreakPoint(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgAddBreakPoint"));
  setWindowTitle(QString::fromUtf8(u8"ブレークポイントの追加"));
  setModal(true);
  resize(300, 160);
}

}  // namespace tolvane::forms
