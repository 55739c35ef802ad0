#pragma once
// Diagnostic records for the windows' tests, written as the line they show.
#include <string>

#include "common/Diagnostic.h"

namespace tolvane::testing {

// "Assemble[FILE]" and "LINK[FILE]" become the tools' progress records (the
// message window notes the names in them); any other text is a record whose
// line is that text, about `file` and `line`.
inline Diagnostic RecordOf(const std::string& file, int line, Severity severity, const std::string& text) {
  for (const auto& [head, code] : {std::pair{std::string("Assemble["), DiagCode::AssembleStart},
                                   std::pair{std::string("LINK["), DiagCode::LinkStart}})
    if (text.starts_with(head) && text.ends_with("]"))
      return {code, severity, file, line, -1, 0, text.substr(head.size(), text.size() - head.size() - 1), {}};
  return {DiagCode::None, severity, file, line, -1, 0, {}, text};
}

}  // namespace tolvane::testing
