#include "forms/OptionFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "common/AtomicFile.h"
#include "forms/DialogPort.h"
#include "forms/Utf8.h"
#include "forms/dlgOption_f.h"

namespace tolvane::forms {

namespace {

// A format of our own whose file never exists: QSettings names its file in the
// same folder as the options' (custom formats share the INI path), without a
// store to read.
bool ReadNothing(QIODevice&, QSettings::SettingsMap&) { return true; }
bool WriteNothing(QIODevice&, const QSettings::SettingsMap&) { return false; }

QSettings::Format ProbeFormat() {
  static const QSettings::Format format =
      QSettings::registerFormat(QStringLiteral("tolvane-probe"), ReadNothing, WriteNothing);
  return format;
}

// The file the path leads to (a link followed), as the core sees it.
PathKind KindBehind(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink()) return info.exists() ? KindOfPath(PathBytes(info.canonicalFilePath())) : PathKind::Missing;
  return KindOfPath(PathBytes(path));
}

// True when the file reads as the options (an empty file counts: nothing is lost).
bool ReadsAsOptions(const QString& path) {
  if (QFileInfo(path).size() == 0) return true;
  QSettings settings(path, QSettings::IniFormat);
  settings.beginGroup(QStringLiteral("Option"));
  OptionValues values;
  return settings.status() == QSettings::NoError && ReadOptionValues(settings, values);
}

}  // namespace

QString OptionFilePath() {
  QString probe =
      QSettings(ProbeFormat(), QSettings::UserScope, QStringLiteral("ORVELL"), QStringLiteral("Tolvane")).fileName();
  probe.chop(QStringLiteral("tolvane-probe").size());
  return probe + QStringLiteral("conf");
}

QString OptionFileProblem(const QString& path) {
  const QFileInfo link(path);
  if (link.isSymLink() && !link.exists()) return path + UiText(u8"は存在しないファイルへのリンクです。");
  const PathKind kind = KindBehind(path);
  if (kind == PathKind::Missing || kind == PathKind::Link) return QString();
  if (kind != PathKind::File) return path + UiText(u8"は") + FromCp932(PathKindText(kind)) + UiText(u8"です。");
  if (QFileInfo(path).size() > kMaxOptionFileBytes) return path + UiText(u8"は大きすぎます。");
  return QString();
}

bool PrepareOptionFileForWrite(const QString& path, QString& why, QString& kept) {
  why.clear();
  kept.clear();
  why = OptionFileProblem(path);
  if (!why.isEmpty()) return false;
  if (!QFileInfo::exists(path) || ReadsAsOptions(path)) return true;
  // A link's target that is not an options file is someone else's file.
  if (QFileInfo(path).isSymLink()) {
    why = path + UiText(u8"のリンク先はオプションのファイルではないため、書き換えません。");
    return false;
  }
  QFile file(path);
  const QString bad = path + QStringLiteral(".bad");
  int error = 0;
  if (!file.open(QIODevice::ReadOnly) ||
      !WriteFileAtomically(PathBytes(bad), file.readAll().toStdString(), {}, &error)) {
    why = path + UiText(u8"の控えを") + bad + UiText(u8"に残せないため、書き換えません。");
    return false;
  }
  kept = UiText(u8"読めなかった") + path + UiText(u8"は") + bad + UiText(u8"に残しました。");
  return true;
}

bool SettingsFileUsable(const QString& path) {
  return OptionFileProblem(path).isEmpty() && (!QFileInfo::exists(path) || ReadsAsOptions(path));
}

}  // namespace tolvane::forms
