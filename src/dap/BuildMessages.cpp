#include "dap/BuildMessages.h"

namespace tolvane::dap {

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The file named in "Assemble[FILE]" or "LINK[FILE]".
bool Bracketed(std::string_view line, std::string_view head, std::string& file) {
  if (!StartsWith(line, head) || line.size() <= head.size() || line.back() != ']') return false;
  file = std::string(line.substr(head.size(), line.size() - head.size() - 1));
  return true;
}

}  // namespace

MessagePlace BuildMessageReader::Read(std::string_view line) {
  MessagePlace place;
  std::string file;
  if (Bracketed(line, "Assemble[", file)) {
    source_ = file;
    place.file = file;
    return place;
  }
  if (Bracketed(line, "LINK[", file)) {
    source_.clear();
    place.file = file;
    return place;
  }
  // " (%3d) : Error  " and " (   ) : Error  ".
  const std::size_t close = line.find(") : Error");
  if (StartsWith(line, " (") && close != std::string_view::npos && close >= 2) {
    place.file = source_;
    place.error = true;
    std::int32_t n = 0;
    bool digits = false;
    for (char c : line.substr(2, close - 2)) {
      if (c == ' ') continue;
      if (c < '0' || c > '9' || n > 9999999) return place;
      n = n * 10 + (c - '0');
      digits = true;
    }
    if (digits) place.line = n;
    return place;
  }
  if (StartsWith(line, " Error:")) {
    place.error = true;
    return place;
  }
  // "%4d Errors" closes an assembly; "      Too Many Errors" too.
  std::string_view rest = line;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (rest == "Too Many Errors") {
    place.file = source_;
    place.error = true;
  } else if (rest.size() > 7 && rest.substr(rest.size() - 7) == " Errors") {
    const std::string_view count = rest.substr(0, rest.size() - 7);
    if (count.find_first_not_of("0123456789") == std::string_view::npos) {
      place.file = source_;
      place.error = count.find_first_not_of('0') != std::string_view::npos;
    }
  }
  return place;
}

}  // namespace tolvane::dap
