#include "common/FileNameMarks.h"

#include <algorithm>

#include "common/ChangeExtension.h"

namespace tolvane {

void FileNameMarks::Add(const std::string& path) {
  const bool ascii = std::all_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (path.empty() || ascii) return;
  auto add = [&](const std::string& name) {
    if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
  };
  add(path);
  for (const char* extension : {".cas", ".obj", ".lst", ".exe", ".sym"}) add(ChangeExtension(path, extension));
  std::stable_sort(names_.begin(), names_.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

const std::string* FileNameMarks::Match(std::string_view line, std::size_t at) const {
  for (const std::string& name : names_)
    if (line.compare(at, name.size(), name) == 0) return &name;
  return nullptr;
}

}  // namespace tolvane
