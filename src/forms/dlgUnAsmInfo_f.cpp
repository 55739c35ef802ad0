#include "forms/dlgUnAsmInfo_f.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tolvane::forms {

TdlgUnAsmInfo::TdlgUnAsmInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgUnAsmInfo"));
  setWindowTitle(QString::fromUtf8(u8"情報"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(
      QString::fromUtf8(u8"プログラム領域にデータが格納されました。\n逆アセンブルをやり直しています。"), this);
  text->setObjectName(QStringLiteral("Label1"));
  layout->addWidget(text);
  resize(300, 120);
}

}  // namespace tolvane::forms
