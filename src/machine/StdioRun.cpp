#include "machine/StdioRun.h"

#include "common/Cp932.h"

namespace tolvane {

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not one.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

Bytes InputLineToCp932(const std::string& utf8) {
  Bytes out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t n = Utf8Length(utf8, i);
    if (n == 0) {  // not UTF-8: keep the byte
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    std::string piece;
    if (n == 1) {
      out.push_back(utf8[i]);
    } else if (Utf8ToCp932(utf8.substr(i, n), piece)) {
      out += piece;
    } else {
      out.push_back('?');
    }
    i += n;
  }
  return out;
}

bool ReadBoundedLine(std::FILE* in, std::size_t keep, std::string& line) {
  line.clear();
  int c;
  bool any = false, cut = false, endMark = false;
  while ((c = std::getc(in)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < keep) {
      line.push_back(static_cast<char>(c));
    } else {
      cut = true;
      endMark = endMark || c == 0x1A;
    }
  }
  if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
  if (endMark && line.find('\x1A') == std::string::npos) line.push_back('\x1A');
  return any;
}

Bytes StdioConsole::ConsoleReadLine() {
  if (ended_) return "\x1A";
  std::string line;
  const bool any = ReadBoundedLine(in_, kInputLineKeep, line);
  if (std::feof(in_) || std::ferror(in_)) {
    ended_ = true;
    if (!any) return "\x1A";
  }
  return InputLineToCp932(line);
}

void StdioConsole::ConsoleWrite(const Bytes& text) {
  std::string u = Cp932ToUtf8(text);
  u.push_back('\n');
  std::fwrite(u.data(), 1, u.size(), out_);
  std::fflush(out_);
}

void StdioConsole::ConsoleMessage(const Bytes& text) {
  if (err_ == nullptr) return ConsoleWrite(text);
  std::string u = Cp932ToUtf8(text);
  std::string lf;
  lf.reserve(u.size() + 1);
  for (std::size_t i = 0; i < u.size(); ++i) {
    if (u[i] == '\r' && i + 1 < u.size() && u[i + 1] == '\n') continue;
    lf.push_back(u[i]);
  }
  lf.push_back('\n');
  std::fwrite(lf.data(), 1, lf.size(), err_);
  std::fflush(err_);
}

}  // namespace tolvane
