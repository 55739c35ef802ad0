#include "forms/dlgAbout_f.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms/HelpTopic.h"
#include "forms/Utf8.h"
#include "forms/frmSplash_f.h"

namespace tolvane::forms {

namespace {

QLabel* Label(const QString& text, const char* name, QWidget* parent, int pixels = 0, bool bold = false) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font = label->font();
  if (pixels > 0) font.setPixelSize(pixels);
  font.setBold(bold);
  label->setFont(font);
  return label;
}
}  // namespace

TdlgAbout::TdlgAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgAbout"));
  setWindowTitle(UiText(u8"ﾊﾞｰｼﾞｮﾝ情報"));
  setModal(true);
  // A fixed dialog border: the box keeps its size, with a close button only.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(363, 188);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  setPalette(white);

  icon_ = Label(QString(), "ProgramIcon", this);
  icon_->setPixmap(ProductPicture());
  icon_->setFixedSize(141, 148);
  name_ = Label(QStringLiteral("Tolvane"), "ProductName", this, 29, true);
  version_ = Label(QStringLiteral("Version 2.6.3"), "Label1", this, 19, true);
  auto* credits = Label(UiText(u8"CASL II 統合開発環境"), "Copyright", this);
  // One date a line: each fits the box, so that wrapping never cuts a date
  // ("2024年4" / "月").
  comments_ = Label(UiText(u8"初版 2019年4月\n2.6.3版 2024年4月"), "Comments", this);
  comments_->setWordWrap(true);

  // The link label: blue, underlined, a hand over it, reachable by the
  // keyboard too. With no maker's web page to show, it opens the help index
  // on this machine.
  link_ = Label(QString(), "StaticText1", this);
  link_->setTextFormat(Qt::RichText);
  link_->setText(QStringLiteral("<a href=\"help:index.html\" style=\"color:#0000ff\">%1</a>")
                     .arg(UiText(u8"Tolvaneのヘルプ (help/index.html)").toHtmlEscaped()));
  link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link_->setCursor(Qt::PointingHandCursor);
  link_->setToolTip(UiText(u8"ヘルプの目次を開きます"));
  connect(link_, &QLabel::linkActivated, this, &TdlgAbout::StaticText1Click);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("Button1"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &TdlgAbout::Button1Click);

  auto* text = new QVBoxLayout;
  text->setSpacing(2);
  text->addWidget(name_);
  text->addWidget(version_);
  text->addWidget(credits);
  text->addWidget(comments_);
  text->addWidget(link_);
  text->addStretch(1);
  text->addWidget(ok_, 0, Qt::AlignRight);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(icon_, 0, 0, Qt::AlignTop);
  layout->addLayout(text, 0, 1);
  layout->setColumnStretch(1, 1);
}

void TdlgAbout::Button1Click() { accept(); }

void TdlgAbout::StaticText1Click() {
  OpenHelpTopic(this, QStringLiteral("index.html"));
  // A focused link takes Enter for itself (and would open the help again):
  // once used, the focus goes back to OK, so that Enter closes the box.
  ok_->setFocus();
}

}  // namespace tolvane::forms
