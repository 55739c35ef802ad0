#pragma once
// A folder of the fuzzer's own for the files a target writes. Outputs never
// name anything outside it (a path such as /dev/null would be replaced by a
// regular file when a fuzzer runs as root), and it is removed when the
// fuzzer exits normally.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tolvane::fuzz {

inline const std::string& ScratchFolder() {
  // Never destroyed: the exit handler below still needs it after the
  // statics are gone.
  static const std::string* const dir = [] {
    auto* path = new std::string((std::filesystem::temp_directory_path() / "tolvane-fuzz-XXXXXX").string());
    if (!::mkdtemp(path->data())) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ScratchFolder(), ec);
    });
    return path;
  }();
  return *dir;
}

}  // namespace tolvane::fuzz
