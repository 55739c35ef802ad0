#include "build/Project.h"

#include <utility>

namespace tolvane::build {

int Project::Find(const std::string& name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (SameNameIgnoringCase(entries_[i], name)) return static_cast<int>(i);
  return -1;
}

void Project::Opened(const std::string& path, std::vector<std::string> entries) {
  open_ = true;
  modified_ = false;
  fileName_ = path;
  directory_ = FolderOf(path);
  entries_ = std::move(entries);
}

void Project::OpenUnsaved() {
  open_ = true;
  fileName_ = kUnsavedProjectName;
}

void Project::Saved() { modified_ = false; }

void Project::SetFileName(const std::string& path) {
  // The first save gives a new project its folder; a saved project keeps the
  // folder its entries were found in.
  if (!IsSaved()) directory_ = FolderOf(path);
  fileName_ = path;
}

void Project::Close() {
  open_ = false;
  modified_ = false;
  fileName_ = kUnsavedProjectName;
  entries_.clear();
}

void Project::Add(const std::string& name) {
  entries_.push_back(name);
  modified_ = true;
}

bool Project::RemoveAt(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return false;
  entries_.erase(entries_.begin() + index);
  modified_ = true;
  return true;
}

bool Project::MoveUp(int index) {
  if (index <= 0 || index >= static_cast<int>(entries_.size())) return false;
  std::swap(entries_[index - 1], entries_[index]);
  modified_ = true;
  return true;
}

bool Project::MoveDown(int index) {
  if (index < 0 || index + 1 >= static_cast<int>(entries_.size())) return false;
  std::swap(entries_[index], entries_[index + 1]);
  modified_ = true;
  return true;
}

bool Project::Rename(const std::string& oldName, const std::string& newName) {
  const int k = Find(oldName);
  if (k < 0) return false;
  entries_[k] = newName;
  modified_ = true;
  return true;
}

}  // namespace tolvane::build
