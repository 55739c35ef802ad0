#include "forms/dlgUnAsmInfo_f.h"

#include <QLabel>
#include <QVBoxLayout>

#include "forms/Utf8.h"

namespace tolvane::forms {

TdlgUnAsmInfo::TdlgUnAsmInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgUnAsmInfo"));
  setWindowTitle(UiText(u8"情報"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(UiText(u8"プログラム領域にデータが格納されました。\n逆アセンブルをやり直しています。"), this);
  text->setObjectName(QStringLiteral("Label1"));
  layout->addWidget(text);
  resize(300, 120);
}

}  // namespace tolvane::forms
