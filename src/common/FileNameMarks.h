#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// The tools write their message lines in CP932 but name files by the bytes
// they were given, which on this system are UTF-8. Whoever shows such a line
// registers the paths it handed to the tools here and then splits each line
// into ordinary text and file names, to convert each part the right way.
class FileNameMarks {
 public:
  // Registers a path and the names the tools derive from it (.cas, .obj, .lst,
  // .exe, .sym). ASCII names read the same either way and are left out.
  void Add(const std::string& path);
  void Clear() { names_.clear(); }
  bool Empty() const { return names_.empty(); }

  // Walks `line`: `text(run)` for each run of ordinary text, `name(n)` for each
  // registered name found (the longest one where several start at one place).
  template <class Text, class Name>
  void Split(std::string_view line, Text&& text, Name&& name) const {
    std::size_t done = 0;
    for (std::size_t at = 0; at < line.size();) {
      const std::string* found = Match(line, at);
      if (!found) {
        ++at;
        continue;
      }
      if (at > done) text(line.substr(done, at - done));
      name(*found);
      at += found->size();
      done = at;
    }
    if (done < line.size()) text(line.substr(done));
  }

 private:
  const std::string* Match(std::string_view line, std::size_t at) const;
  std::vector<std::string> names_;  // longest first
};

}  // namespace tolvane
