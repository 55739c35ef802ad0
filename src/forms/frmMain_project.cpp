// The main window's project commands: the File menu's project items, the
// Project menu, and the operations the project dialog and the editor call.
// The project's entries and rules live in the build core; this is the part
// that asks, shows and switches.
#include <QDir>
#include <QFileInfo>

#include "build/Builder.h"
#include "build/ProjectFile.h"
#include "forms/DialogPort.h"
#include "forms/Utf8.h"
#include "forms/dlgProject_f.h"
#include "forms/frmDebug_f.h"
#include "forms/frmEditor_f.h"
#include "forms/frmMain_f.h"

namespace tolvane::forms {

namespace {

const QString& NoProject() {
  static const QString s = UiText(u8"プロジェクトは存在しません。");
  return s;
}

// One box for every source the editor had no page left for, naming the first
// of them (a project of thousands would otherwise make a box too tall to read).
QString UnopenedSourcesText(const QStringList& names) {
  constexpr qsizetype kNamed = 20;
  QString text = UiText(u8"これ以上開けません。次のソースは開きませんでした。");
  for (qsizetype i = 0; i < names.size() && i < kNamed; ++i) text += QStringLiteral("\n") + names[i];
  if (names.size() > kNamed) text += QStringLiteral("\n") + UiText(u8"ほか%1個").arg(names.size() - kNamed);
  return text;
}
}  // namespace

TdlgProject* TfrmMain::ProjectDialog() const {
  return qobject_cast<TdlgProject*>(dialogs_.value(QStringLiteral("dlgProject")));
}

QString TfrmMain::ProjectFileName() const {
  return project_.IsSaved() ? PathFromBytes(project_.FileName()) : QString::fromLatin1(build::kUnsavedProjectName);
}

QString TfrmMain::ProjectFolder() const {
  if (!project_.IsSaved()) return QDir::currentPath();
  return QDir::cleanPath(PathFromBytes(project_.EntryFolder()));
}

void TfrmMain::ProjectChanged() {
  if (TdlgProject* dialog = ProjectDialog()) dialog->Refresh();
}

void TfrmMain::MarkProjectModified() {
  project_.MarkModified();
  ProjectChanged();
}

bool TfrmMain::CloseProject() {
  if (project_.IsModified()) {
    const BoxAnswer answer = Dialogs().Ask(BoxKind::Confirm, ProjectFileName() + UiText(u8"に変更を保存しますか？"),
                                           BoxButtons::YesNoCancel);
    if (answer == BoxAnswer::Cancel) return false;
    // A save that did not happen keeps the project rather than drop its changes.
    if (answer == BoxAnswer::Yes && !SaveProject()) return false;
  }
  project_.Close();
  ProjectChanged();
  return true;
}

bool TfrmMain::SaveProject() {
  if (!project_.IsSaved()) return ProjectSaveAsCommand();
  std::string error;
  if (!build::WriteProjectFile(project_.FileName(), project_.Entries(), error)) {
    Dialogs().ShowPlain(FromCp932(error));
    return false;
  }
  project_.Saved();
  ProjectChanged();
  return true;
}

bool TfrmMain::SaveProjectAs(const QString& path) {
  const QString directory = QFileInfo(path).absolutePath();
  if (!QDir::setCurrent(directory)) {
    const BoxAnswer answer = Dialogs().Ask(
        BoxKind::Confirm, UiText(u8"ディレクトリ") + directory + UiText(u8"が存在しません。作成しますか？"),
        BoxButtons::YesNoCancel);
    if (answer != BoxAnswer::Yes) return false;
    if (!QDir().mkdir(directory) || !QDir::setCurrent(directory)) {
      Dialogs().ShowPlain(directory + UiText(u8"を作成できません。"));
      return false;
    }
  }
  std::string error;
  if (!build::WriteProjectFile(PathBytes(QFileInfo(path).absoluteFilePath()), project_.Entries(), error)) {
    Dialogs().ShowPlain(FromCp932(error));
    return false;
  }
  project_.Saved();
  ProjectChanged();
  return true;
}

bool TfrmMain::ProjectSaveAsCommand() {
  if (!project_.IsOpen()) {
    Dialogs().Ask(BoxKind::Information, NoProject());
    return false;
  }
  const QString preset = QFileInfo(ProjectFileName()).fileName();
  const QString chosen = Dialogs().GetSaveFileName(this, QString(), preset, UiText(u8"CASLプロジェクトファイル(*.mak)"),
                                                   QStringLiteral("mak"));
  if (chosen.isEmpty() || !SaveProjectAs(chosen)) return false;
  project_.SetFileName(PathBytes(QFileInfo(chosen).absoluteFilePath()));
  ProjectChanged();
  return true;
}

void TfrmMain::mnuProjectSaveClick() {
  if (!project_.IsOpen()) {
    Dialogs().Ask(BoxKind::Information, NoProject());
    return;
  }
  SaveProject();
}

void TfrmMain::mnuProjectSaveAsClick() { ProjectSaveAsCommand(); }

void TfrmMain::mnuProjectNewClick() {
  if (!CloseProject()) return;
  CloseListings();
  // A cancelled close of the pages does not stop the new project.
  if (windows_.editor) windows_.editor->CloseAll();
  if (windows_.debug && windows_.debug->Panel1()) windows_.debug->Panel1()->hide();
  ClearMessages();
  // The new untitled page becomes the project's only entry.
  mnuNewClick();
  mnuProjectAddClick();
  EnableEditingGroup(true);
  EnableProjectGroup(true);
}

void TfrmMain::mnuProjectOpenClick() {
  const QString path = Dialogs().GetOpenFileName(this, QString(), QDir::currentPath(),
                                                 UiText(u8"CASLプロジェクトファイル(*.mak);;全て(*)"));
  if (path.isEmpty()) return;
  OpenProjectPath(path);
}

bool TfrmMain::OpenProjectPath(const QString& path) {
  const QFileInfo info(path);
  const std::string file = PathBytes(info.absoluteFilePath());
  // The file dialog leaves its folder current.
  QDir::setCurrent(info.absolutePath());
  std::vector<std::string> entries;
  // Every entry is checked before anything changes: a project that fails to
  // open leaves the open one, and its folder, as they were.
  if (const std::optional<build::Notice> refused = build::ReadProjectForOpen(file, entries)) {
    ShowNotice(*refused);
    return false;
  }
  if (!CloseProject()) return false;
  // Closing may have saved the old project over this very file: read it again.
  if (const std::optional<build::Notice> refused = build::ReadEntries(file, entries)) {
    ShowNotice(*refused);
    return false;
  }
  CloseListings();
  if (windows_.editor) windows_.editor->CloseAll();
  project_.Opened(file, entries);
  ProjectChanged();
  ActivatePage(DockArea::Edit, windows_.editor ? windows_.editor->windowTitle() : QString());
  if (windows_.debug && windows_.debug->Panel1()) windows_.debug->Panel1()->hide();
  ClearMessages();
  build::FolderIndex folder(project_.EntryFolder());
  QStringList unopened;
  for (const std::string& entry : entries) {
    if (!build::IsSourceName(entry) || !windows_.editor) continue;
    // The editor's own boxes apply, except that the sources beyond its last
    // page are told in one box rather than one box each.
    if (windows_.editor->OpenCount() >= TfrmEditor::kPages) {
      unopened << FromCp932(entry);
      continue;
    }
    windows_.editor->OpenFile(PathFromBytes(folder.EntryPath(entry)));
  }
  if (!unopened.isEmpty()) Dialogs().Ask(BoxKind::Information, UnopenedSourcesText(unopened));
  EnableEditingGroup(true);
  EnableProjectGroup(true);
  return true;
}

void TfrmMain::mnuProjectAddClick() {
  TfrmEditor* editor = windows_.editor;
  const int page = editor ? editor->CurrentPage() : 0;
  // Without a page there is no file to add (an empty entry would name none).
  if (page == 0) return;
  const QString name = QFileInfo(editor->PagePath(page)).fileName();
  std::string entry;
  if (!ToCp932(name, entry)) {
    Dialogs().Ask(BoxKind::Error,
                  name + UiText(u8"はShift-JIS(CP932)で表せない名前のため、プロジェクトに追加できません。"));
    return;
  }
  if (project_.Find(entry) >= 0) {
    Dialogs().Ask(BoxKind::Information, name + UiText(u8"は既に追加されています。"));
    return;
  }
  if (!project_.IsOpen()) project_.OpenUnsaved();
  project_.Add(entry);
  ProjectChanged();
}

void TfrmMain::mnuProjectDeleteClick() {
  TfrmEditor* editor = windows_.editor;
  const int page = editor ? editor->CurrentPage() : 0;
  const QString name = page ? QFileInfo(editor->PagePath(page)).fileName() : QString();
  std::string entry;
  const int k = ToCp932(name, entry) ? project_.Find(entry) : -1;
  if (k < 0) {
    Dialogs().Ask(BoxKind::Information, name + UiText(u8"は存在しません。"));
    return;
  }
  project_.RemoveAt(k);
  ProjectChanged();
  // The last entry gone: the project closes (asking first, as it is modified).
  if (project_.Entries().empty() && CloseProject()) EnableProjectGroup(false);
}

void TfrmMain::mnuProjectEditClick() { ShowDialog(QStringLiteral("dlgProject")); }

void TfrmMain::UpdateProjectAfterRename(const QString& oldPath, const QString& newPath) {
  if (!project_.IsOpen()) return;
  std::string oldEntry, newEntry;
  if (!ToCp932(QFileInfo(oldPath).fileName(), oldEntry) || project_.Find(oldEntry) < 0) return;
  const QString newName = QFileInfo(newPath).fileName();
  if (!ToCp932(newName, newEntry)) {
    Dialogs().Ask(BoxKind::Warning, newName + UiText(u8"はShift-JIS(CP932)で表せない名前のため、プロジェクトの") +
                                        QFileInfo(oldPath).fileName() + UiText(u8"をそのままにします。"));
    return;
  }
  // The entry keeps its place, so a renamed main routine stays the main routine.
  project_.Rename(oldEntry, newEntry);
  ProjectChanged();
}

}  // namespace tolvane::forms
