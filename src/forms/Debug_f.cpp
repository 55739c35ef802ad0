#include "forms/Debug_f.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "forms/UiFonts.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

TDebug::TDebug(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("Debug"));
  setWindowTitle(QStringLiteral("Debug Window"));
  resize(500, 365);

  auto* bar = new QWidget(this);
  bar->setObjectName(QStringLiteral("Panel1"));
  bar->setFixedHeight(25);
  auto* barLayout = new QHBoxLayout(bar);
  barLayout->setContentsMargins(2, 0, 2, 0);
  clear_ = new QPushButton(UiText(u8"クリア"), bar);
  clear_->setObjectName(QStringLiteral("btnClear"));
  ok_ = new QPushButton(QStringLiteral("OK"), bar);
  ok_->setObjectName(QStringLiteral("btnOk"));
  barLayout->addWidget(clear_);
  barLayout->addWidget(ok_);
  barLayout->addStretch();

  text_ = new QTextEdit(this);
  text_->setObjectName(QStringLiteral("reditDebug"));
  text_->setAcceptRichText(false);
  text_->setLineWrapMode(QTextEdit::NoWrap);
  text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font(FontGothic());
  font.setPixelSize(16);
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter);
  text_->setFont(font);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(text_, 1);

  connect(clear_, &QPushButton::clicked, this, &TDebug::btnClearClick);
  connect(ok_, &QPushButton::clicked, this, &TDebug::btnOkClick);
}

void TDebug::Trace(const QString& line) { text_->append(line); }

void TDebug::btnClearClick() { text_->clear(); }

void TDebug::btnOkClick() { hide(); }

}  // namespace tolvane::forms
