#pragma once
#include <QString>
#include <QStringList>

namespace tolvane::forms {

// The source files opened or saved last, newest first, at most kMax. Kept with
// the other settings (the application's settings, group "RecentFiles"), so that
// the list outlives the program; every change is written at once.
class TRecentFiles {
 public:
  static constexpr int kMax = 8;

  // Reads the stored list (paths that are no longer files stay until chosen).
  TRecentFiles();

  const QStringList& Files() const { return files_; }
  // Puts `path` (made absolute) first; the oldest beyond kMax goes.
  void Add(const QString& path);
  void Remove(const QString& path);

 private:
  void Store() const;
  QStringList files_;
};

}  // namespace tolvane::forms
