#include "forms/HelpTopic.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "forms/DialogPort.h"

namespace tolvane::forms {

QString HelpFolder() { return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help")); }

bool OpenHelpTopic(QWidget* owner, const QString& topic) {
  (void)owner;
  const QFileInfo page(QDir(HelpFolder()).filePath(topic));
  if (!page.isFile()) {
    Dialogs().Ask(BoxKind::Error, QString::fromUtf8(u8"ヘルプファイルが見つかりません。"));
    return false;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(page.absoluteFilePath()));
  return true;
}

}  // namespace tolvane::forms
