#include "forms/HelpViewer_f.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QScreen>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "forms/HelpTopic.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

THelpViewer& THelpViewer::Instance() {
  static QPointer<THelpViewer> viewer;
  if (!viewer) {
    viewer = new THelpViewer;
    // The viewer goes with the application.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, viewer, &QObject::deleteLater);
  }
  return *viewer;
}

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("frmHelp"));
  setWindowTitle(UiText(u8"Tolvane ヘルプ"));
  // Closing the main window ends the application even while help is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(900, 760);

  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  back_ = bar->addAction(UiText(u8"← 戻る"));
  back_->setObjectName(QStringLiteral("actBack"));
  back_->setShortcut(QKeySequence::Back);
  back_->setToolTip(UiText(u8"前のページに戻る (Alt+←)"));
  forward_ = bar->addAction(UiText(u8"進む →"));
  forward_->setObjectName(QStringLiteral("actForward"));
  forward_->setShortcut(QKeySequence::Forward);
  forward_->setToolTip(UiText(u8"次のページに進む (Alt+→)"));
  home_ = bar->addAction(UiText(u8"目次"));
  home_->setObjectName(QStringLiteral("actHome"));
  home_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
  home_->setToolTip(UiText(u8"ヘルプの目次 (Alt+Home)"));

  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("brwsHelp"));
  browser_->setAccessibleName(UiText(u8"ヘルプの本文"));
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(browser_, 1);

  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(home_, &QAction::triggered, this, &THelpViewer::Home);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, &THelpViewer::UpdateTitle);
}

QUrl THelpViewer::Source() const { return browser_->source(); }

void THelpViewer::Home() {
  browser_->setSource(QUrl::fromLocalFile(QDir(HelpFolder()).filePath(QStringLiteral("index.html"))));
}

void THelpViewer::UpdateTitle() {
  // "Tolvane ヘルプ - " and the page's title, unless that already names the help.
  const QString title = browser_->documentTitle();
  const QString help = UiText(u8"Tolvane ヘルプ");
  setWindowTitle(title.isEmpty() ? help : title.startsWith(help) ? title : help + QStringLiteral(" - ") + title);
}

void THelpViewer::ShowPage(const QString& file, const QString& fragment) {
  AttachTo(QApplication::activeModalWidget());
  QUrl url = QUrl::fromLocalFile(file);
  if (!fragment.isEmpty()) url.setFragment(fragment);
  browser_->setSource(url);
  if (!isVisible()) {
    // First shown beside the window that asked, on its screen.
    if (QWidget* active = QApplication::activeWindow()) {
      const QRect screen = active->screen() ? active->screen()->availableGeometry() : QRect();
      QRect frame(QPoint(), size());
      frame.moveCenter(active->frameGeometry().center());
      if (!screen.isEmpty()) {
        frame.moveRight(std::min(frame.right(), screen.right()));
        frame.moveBottom(std::min(frame.bottom(), screen.bottom()));
        frame.moveLeft(std::max(frame.left(), screen.left()));
        frame.moveTop(std::max(frame.top(), screen.top()));
      }
      move(frame.topLeft());
    }
  }
  show();
  raise();
  activateWindow();
}

void THelpViewer::AttachTo(QWidget* dialog) {
  if (dialog == this) dialog = nullptr;
  if (dialog == parentWidget()) return;
  // A modal dialog blocks every window that is not its own: the viewer
  // becomes one of its windows while it is open.
  const QRect geometry = this->geometry();
  const bool visible = isVisible();
  if (dialog_) dialog_->removeEventFilter(this);
  dialog_ = dialog;
  setParent(dialog, Qt::Window);
  if (dialog) dialog->installEventFilter(this);
  if (visible) {
    setGeometry(geometry);
    show();
  }
}

void THelpViewer::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool THelpViewer::eventFilter(QObject* watched, QEvent* event) {
  // The dialog closes: the viewer stays open on its own.
  if (watched == dialog_ && (event->type() == QEvent::Hide || event->type() == QEvent::Destroy)) AttachTo(nullptr);
  return QWidget::eventFilter(watched, event);
}

}  // namespace tolvane::forms
