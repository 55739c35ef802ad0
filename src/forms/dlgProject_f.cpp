#include "forms/dlgProject_f.h"

namespace tolvane::forms {

TdlgProject::TdlgProject(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgProject"));
  setWindowTitle(QString::fromUtf8(u8"プロジェクトの管理"));
  setModal(true);
  resize(512, 320);
}

}  // namespace tolvane::forms
