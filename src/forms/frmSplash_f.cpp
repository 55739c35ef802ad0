#include "forms/frmSplash_f.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "forms/Utf8.h"

namespace tolvane::forms {

QPixmap ProductPicture() {
  QPixmap picture(141, 148);
  picture.fill(Qt::white);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  // A stylised machine word: a chip with sixteen pins on each side.
  QLinearGradient shade(0, 0, 141, 148);
  shade.setColorAt(0, QColor(0x2f, 0x5f, 0xa8));
  shade.setColorAt(1, QColor(0x12, 0x2a, 0x55));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x90, 0x90, 0x90));
  for (int i = 0; i < 8; ++i) {
    p.drawRect(8, 22 + i * 14, 14, 5);
    p.drawRect(119, 22 + i * 14, 14, 5);
  }
  p.setBrush(shade);
  p.drawRoundedRect(20, 12, 101, 124, 8, 8);
  p.setPen(Qt::white);
  QFont font;
  font.setBold(true);
  font.setPixelSize(22);
  p.setFont(font);
  p.drawText(QRect(20, 30, 101, 40), Qt::AlignCenter, QStringLiteral("CASL"));
  p.drawText(QRect(20, 72, 101, 40), Qt::AlignCenter, QStringLiteral("II"));
  return picture;
}

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("frmSplash"));
  setFixedSize(354, 263);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  panel->setAutoFillBackground(true);
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  panel->setPalette(white);

  name_ = new QLabel(QStringLiteral("Tolvane"), panel);
  name_->setObjectName(QStringLiteral("ProductName"));
  QFont nameFont = name_->font();
  nameFont.setBold(true);
  nameFont.setPixelSize(35);
  name_->setFont(nameFont);
  name_->setAlignment(Qt::AlignCenter);

  version_ = new QLabel(QStringLiteral("Version 2.6.3"), panel);
  version_->setObjectName(QStringLiteral("Version"));
  version_->setAlignment(Qt::AlignCenter);

  auto* picture = new QLabel(panel);
  picture->setObjectName(QStringLiteral("ProgramIcon"));
  picture->setPixmap(ProductPicture());
  picture->setAlignment(Qt::AlignCenter);

  auto* credits = new QLabel(UiText(u8"CASL II 統合開発環境 — Tolvane 開発チーム"), panel);
  credits->setObjectName(QStringLiteral("Copyright"));
  credits->setAlignment(Qt::AlignCenter);

  auto* inner = new QVBoxLayout(panel);
  inner->setContentsMargins(8, 4, 8, 4);
  inner->setSpacing(0);
  inner->addWidget(name_);
  inner->addWidget(version_);
  inner->addWidget(picture, 1);
  inner->addWidget(credits);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(panel);
}

void TfrmSplash::ShowCentred() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  show();
  raise();
  QApplication::processEvents();
}

}  // namespace tolvane::forms
