#include "forms/RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

#include "forms/OptionFile.h"

namespace tolvane::forms {

namespace {
const QString kKey = QStringLiteral("RecentFiles/Files");
}  // namespace

TRecentFiles::TRecentFiles() {
  // Through the options' checks: a FIFO or a huge file there is never opened.
  const QString path = OptionFilePath();
  if (!SettingsFileUsable(path)) return;
  QSettings settings(path, QSettings::IniFormat);
  for (const QString& path : settings.value(kKey).toStringList()) {
    // A hand-edited list may hold empties, doubles or too many.
    if (path.isEmpty() || files_.contains(path)) continue;
    if (files_.size() == kMax) break;
    files_ << path;
  }
}

void TRecentFiles::Add(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  files_.removeAll(absolute);
  files_.prepend(absolute);
  while (files_.size() > kMax) files_.removeLast();
  Store();
}

void TRecentFiles::Remove(const QString& path) {
  if (files_.removeAll(QFileInfo(path).absoluteFilePath()) + files_.removeAll(path) > 0) Store();
}

void TRecentFiles::Store() const {
  // Never written through to something that is not the options' file.
  const QString path = OptionFilePath();
  if (!SettingsFileUsable(path)) return;
  QSettings settings(path, QSettings::IniFormat);
  settings.setValue(kKey, files_);
}

}  // namespace tolvane::forms
