#include "forms/HelpTopic.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
  const QFileInfo page(QDir(HelpFolder()).filePath(topic));
  if (!page.isFile()) {
    Dialogs().Ask(BoxKind::Error, U(u8"ヘルプファイルが見つかりません。"));
    return false;
  }
  THelpViewer::Instance().ShowPage(page.absoluteFilePath());
  return true;
}

}  // namespace tolvane::forms
