#include "forms/HelpTopic.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>

#include "forms/DialogPort.h"
#include "forms/HelpViewer_f.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

namespace {
QString& FolderOverride() {
  static QString folder;
  return folder;
}
}  // namespace

QString HelpFolder() {
  if (!FolderOverride().isEmpty()) return FolderOverride();
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"));
}

void SetHelpFolder(const QString& folder) { FolderOverride() = folder; }

bool OpenHelpTopic(QWidget* owner, const QString& topic) {
  (void)owner;  // the viewer finds the modal dialog that asks by itself
  const qsizetype hash = topic.indexOf(QLatin1Char('#'));
  const QFileInfo page(QDir(HelpFolder()).filePath(hash < 0 ? topic : topic.left(hash)));
  if (!page.isFile()) {
    Dialogs().Ask(BoxKind::Error, UiText(u8"ヘルプファイルが見つかりません。"));
    return false;
  }
  THelpViewer::Instance().ShowPage(page.absoluteFilePath(), hash < 0 ? QString() : topic.mid(hash + 1));
  return true;
}

QString HelpTopicFor(const QWidget* widget) {
  // The windows and dialogs by form name; the dialogs' topics are those of
  // their Help buttons.
  static const QHash<QString, QString> topics = {
      {QStringLiteral("dlgAddWatch"), QStringLiteral("HID00000013.htm")},
      {QStringLiteral("dlgWatch"), QStringLiteral("HID00000014.htm")},
      {QStringLiteral("dlgAddBreakPoint"), QStringLiteral("HID00000042.htm")},
      {QStringLiteral("dlgBreakPoint"), QStringLiteral("HID00000043.htm")},
      {QStringLiteral("dlgMemoryDataChange"), QStringLiteral("HID00000044.htm")},
      {QStringLiteral("dlgRegisterDataChange"), QStringLiteral("HID00000045.htm")},
      {QStringLiteral("dlgOption"), QStringLiteral("HID00000046.htm")},
      {QStringLiteral("dlgProject"), QStringLiteral("HID00000047.htm")},
      {QStringLiteral("frmEditor"), QStringLiteral("windows.html#editor")},
      {QStringLiteral("frmList"), QStringLiteral("windows.html#listing")},
      {QStringLiteral("frmMessage"), QStringLiteral("windows.html#message")},
      {QStringLiteral("frmStandardIo"), QStringLiteral("windows.html#console")},
      {QStringLiteral("frmDebug"), QStringLiteral("windows.html#debug")},
      {QStringLiteral("FindDialog1"), QStringLiteral("windows.html#find")},
      {QStringLiteral("ReplaceDialog1"), QStringLiteral("windows.html#find")},
      {QStringLiteral("dlgAbout"), QStringLiteral("windows.html#help")},
  };
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    const auto it = topics.constFind(w->objectName());
    if (it != topics.constEnd()) return *it;
  }
  return QStringLiteral("index.html");
}

namespace {
class HelpKey : public QObject {
 public:
  explicit HelpKey(QObject* owner) : QObject(owner) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1 ||
        static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier)
      return QObject::eventFilter(watched, event);
    // The window system's window passes the key on to the focus widget: it is
    // taken there.
    if (!watched->isWidgetType()) return false;
    // The key goes to the focus widget (or its window when nothing has the focus).
    auto* at = static_cast<QWidget*>(watched);
    OpenHelpTopic(at ? at->window() : nullptr, HelpTopicFor(at));
    return true;
  }
};
}  // namespace

void InstallHelpKey(QObject* owner) { qApp->installEventFilter(new HelpKey(owner)); }

}  // namespace tolvane::forms
