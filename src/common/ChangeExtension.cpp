#include "common/ChangeExtension.h"

namespace tolvane {

std::string ChangeExtension(const std::string& path, const std::string& extension) {
  std::string out = path;
  for (std::size_t i = path.size(); i-- > 1;) {
    if (path[i] != '.') continue;
    if (path[i - 1] == '.') continue;
    if (i + 1 < path.size() && (path[i + 1] == '/' || path[i + 1] == '\\')) continue;
    out.resize(i);
    break;
  }
  out += extension;
  return out;
}

}  // namespace tolvane
