#pragma once
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include "app/Shell.h"
#include "forms/dlgOption_f.h"
#include "forms/frmEditor_f.h"
#include "forms/frmMain_f.h"
#include "support/FakeCore.h"
#include "support/ScriptedDialogs.h"

namespace tolvane::testing {

// Points the stored options at a fresh folder for the fixture's lifetime, so
// that no test reads or writes the user's own settings.
class SettingsFolder {
 public:
  // With `seed` the folder holds the default options already, as after a
  // first start (no notice at the main window's first show).
  explicit SettingsFolder(bool seed = true) {
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
      QSettings::setPath(format, QSettings::UserScope, dir_.path());
    if (!seed) return;
    QSettings settings(QStringLiteral("ORVELL"), QStringLiteral("Tolvane"));
    settings.beginGroup(QStringLiteral("Option"));
    forms::WriteOptionValues(settings, forms::OptionValues());
  }
  QString Dir() const { return dir_.path(); }
  // The settings file the options are stored in.
  QString File() const { return QSettings(QStringLiteral("ORVELL"), QStringLiteral("Tolvane")).fileName(); }

 private:
  QTemporaryDir dir_;
};

// A whole IDE (all seventeen windows) shown offscreen, working in a fresh
// temporary folder that is the current directory, with scripted dialogs and
// options stored in a folder of their own.
// With `fakeCore` the build and run commands talk to a FakeCore instead of the
// real tools.
class ShellFixture {
 public:
  explicit ShellFixture(bool fakeCore = true, bool seedOptions = true)
      : settings(seedOptions), oldCwd_(QDir::currentPath()) {
    QDir::setCurrent(dir_.path());
    shell.Create();
    if (fakeCore) shell.Main()->SetCore(&fake);
    shell.Main()->show();
    QCoreApplication::processEvents();
  }
  ~ShellFixture() {
    shell.Main()->SetCore(nullptr);
    QDir::setCurrent(oldCwd_);
  }

  forms::TfrmMain* Main() const { return shell.Main(); }
  forms::TfrmEditor* Editor() const { return shell.Editor(); }
  QString Dir() const { return dir_.path(); }
  QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }

  // Writes a file into the folder; returns its path.
  QString Write(const QString& name, const QByteArray& bytes) const {
    const QString path = Path(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return path;
  }
  QByteArray Read(const QString& name) const {
    QFile f(name.startsWith(QLatin1Char('/')) ? name : Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  ScriptedDialogs dialogs;
  FakeCore fake;
  SettingsFolder settings;

 private:
  QString oldCwd_;
  QTemporaryDir dir_;

 public:
  app::Shell shell;  // last: destroyed first
};

}  // namespace tolvane::testing
