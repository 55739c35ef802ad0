#pragma once
// The open project of the IDE: its file, its folder, its entries and whether
// the entries differ from the file. At most one project is open.
#include <string>
#include <vector>

#include "build/ProjectFile.h"

namespace tolvane::build {

class Project {
 public:
  bool IsOpen() const { return open_; }
  bool IsModified() const { return modified_; }
  // The project file's path (file-system bytes); kUnsavedProjectName while the
  // project has never been saved.
  const std::string& FileName() const { return fileName_; }
  bool IsSaved() const { return fileName_ != kUnsavedProjectName; }
  // The folder the entries are found in, with trailing separator: the folder of
  // the project last opened or first saved; empty before that.
  const std::string& Directory() const { return directory_; }
  // Where the entries are looked up: the project's folder once the project has
  // a file, the current folder (empty prefix) while it has none.
  std::string EntryFolder() const { return IsSaved() ? directory_ : std::string(); }
  // The entries in link order (CP932 names); the first is the main routine.
  const std::vector<std::string>& Entries() const { return entries_; }
  std::string MainRoutine() const { return entries_.empty() ? std::string() : entries_.front(); }

  // Position of `name` in the entries, letter case ignored; -1 when absent.
  int Find(const std::string& name) const;

  // A project read from `path` (its entries checked by the caller) is now the
  // open one, unmodified; its folder becomes the project's folder.
  void Opened(const std::string& path, std::vector<std::string> entries);
  // A project that was never opened nor saved, open now (Project New, or Add
  // without a project).
  void OpenUnsaved();
  // The entries were written to `path` (the caller names the file).
  void Saved();
  void SetFileName(const std::string& path);
  // Forgets the project: no entries, unsaved name, not modified; the folder stays.
  void Close();

  // Entry edits; each marks the project modified.
  void Add(const std::string& name);
  bool RemoveAt(int index);
  bool MoveUp(int index);
  bool MoveDown(int index);
  // A renamed file: the entry `oldName` (letter case ignored) becomes `newName`
  // in place. False when no entry has the old name.
  bool Rename(const std::string& oldName, const std::string& newName);
  void MarkModified() { modified_ = true; }

 private:
  bool open_ = false;
  bool modified_ = false;
  std::string fileName_ = kUnsavedProjectName;
  std::string directory_;
  std::vector<std::string> entries_;
};

}  // namespace tolvane::build
