#include "build/ProjectFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/BinaryIo.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "common/SourceEncoding.h"
#include "common/SourceLines.h"

namespace tolvane::build {

namespace {

// The system's description of an error number, as CP932 message text.
std::string SystemError(int error) { return DisplayPath(std::strerror(error)); }

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 (after its byte-order mark) to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, std::size_t from, bool bigEndian) {
  std::string out;
  auto unit = [&](std::size_t at) {
    const auto a = static_cast<unsigned char>(bytes[at]), b = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  for (std::size_t at = from; at + 1 < bytes.size(); at += 2) {
    char32_t c = unit(at);
    if (c >= 0xD800 && c <= 0xDBFF && at + 3 < bytes.size()) {
      const char32_t low = unit(at + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        at += 2;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(c, out);
  }
  return out;
}

// A project's lines; a final line break ends the last entry rather than
// starting an empty one.
std::vector<std::string> EntryLines(const std::string& text) {
  std::vector<LineSpan> spans = SplitLines(text, LoneCr::EndsLine);
  if (spans.back().length == 0) spans.pop_back();
  std::vector<std::string> lines;
  for (const LineSpan& span : spans) lines.push_back(text.substr(span.offset, span.length));
  return lines;
}

// Keeps the lines before the first character CP932 cannot hold; the caller
// refuses the file.
bool Unconvertible(const std::string& path, const std::string& text, const std::vector<std::size_t>& unheld,
                   std::vector<std::string>& lines, std::string& error, bool* unconvertible) {
  if (unconvertible) *unconvertible = true;
  lines = EntryLines(text.substr(0, unheld.front()));
  error = DisplayPath(path) + Cp932Text(u8": Shift-JIS(CP932)で表せない文字があります。");
  return false;
}

}  // namespace

bool ReadProjectFile(const std::string& path, std::vector<std::string>& lines, std::string& error,
                     bool* unconvertible) {
  lines.clear();
  if (unconvertible) *unconvertible = false;
  std::string bytes;
  errno = 0;
  const FileReadResult result = ReadWholeFile(path, bytes);
  if (result != FileReadResult::Ok && result != FileReadResult::CannotClose) {
    // Something that is not a file at all is named as what it is.
    if (const PathKind kind = KindBehindPath(path); kind != PathKind::File && kind != PathKind::Missing) {
      error = DisplayPath(path) + InputProblemText(path);
      return false;
    }
    int why = errno;
    if (why == 0) why = IsFile(path) ? EIO : (std::filesystem::exists(path) ? EISDIR : ENOENT);
    error = DisplayPath(path) + ": " + SystemError(why);
    return false;
  }
  // The editor reads UTF-16 with its mark too; such a project converts
  // through UTF-8.
  const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
  DecodedText decoded =
      DecodeToCp932(utf16 ? std::string(kUtf8ByteOrderMark) + Utf16ToUtf8(bytes, 2, bytes[0] == '\xFE') : bytes);
  std::string text = std::move(decoded.cp932);
  if (!decoded.unheld.empty()) return Unconvertible(path, text, decoded.unheld, lines, error, unconvertible);
  lines = EntryLines(text);
  return true;
}

bool WriteProjectFile(const std::string& path, const std::vector<std::string>& entries, std::string& error) {
  std::string bytes;
  for (const std::string& entry : entries) bytes += entry + "\r\n";
  // Replaced whole once every byte is on disk: a failed write leaves the old
  // project file as it was. A project reached through a link is the user's
  // file, as in the editor: its target is replaced.
  int why = 0;
  if (!WriteFileAtomically(path, bytes, {.followLink = true, .keepMode = true, .sync = true}, &why)) {
    error = DisplayPath(path) + ": " + SystemError(why);
    return false;
  }
  return true;
}

EntryProblem CheckEntryName(const std::string& cp932) {
  if (cp932.empty()) return EntryProblem::Empty;
  if (cp932 == "." || cp932 == "..") return EntryProblem::NotBareName;
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    const auto c = static_cast<unsigned char>(cp932[i]);
    if (IsCp932LeadByte(c) && i + 1 < cp932.size()) {
      ++i;  // the second byte may be 5CH without being a separator
      continue;
    }
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return EntryProblem::NotBareName;
  }
  return EntryProblem::None;
}

std::string ShownEntry(const std::string& cp932) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t i = 0;
  for (; i < cp932.size() && i < kShownEntryBytes; ++i) {
    const auto c = static_cast<unsigned char>(cp932[i]);
    const auto next = i + 1 < cp932.size() ? static_cast<unsigned char>(cp932[i + 1]) : 0;
    if (IsCp932LeadByte(c) && ((next >= 0x40 && next <= 0x7E) || (next >= 0x80 && next <= 0xFC))) {
      if (i + 2 > kShownEntryBytes) break;  // the cut never splits a character
      out += cp932.substr(i, 2);
      ++i;
    } else if (c < 0x20 || c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD || IsCp932LeadByte(c)) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (i < cp932.size()) out += "\x81\x63";  // "…"
  return out;
}

bool IsSourceName(const std::string& name) {
  const std::string stem = ChangeExtension(name, "");
  return stem.size() + 4 == name.size() && FoldCase(name.substr(stem.size())) == ".cas";
}

bool IsProjectName(const std::string& name) {
  return name.size() > 4 && FoldCase(name.substr(name.size() - 4)) == ".mak";
}

std::string FoldCase(const std::string& cp932) {
  std::string out = cp932;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

std::string FileSystemName(const std::string& entry) { return Cp932ToUtf8(entry); }

bool EntryName(const std::string& fileSystemName, std::string& entry) { return Utf8ToCp932(fileSystemName, entry); }

std::string DisplayPath(const std::string& fileSystemPath) {
  std::string cp932;
  return Utf8ToCp932(fileSystemPath, cp932) ? cp932 : fileSystemPath;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string EntryPath(const std::string& folder, const std::string& entry) {
  return FolderIndex(folder).EntryPath(entry);
}

std::string FolderIndex::EntryPath(const std::string& entry) {
  std::string exact = folder_ + FileSystemName(entry);
  if (IsFile(exact)) return exact;
  if (!scanned_) Scan();
  const auto it = byFoldedName_.find(FoldCase(entry));
  return it == byFoldedName_.end() ? exact : folder_ + it->second;
}

void FolderIndex::Scan() {
  scanned_ = true;
  ++scans_;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder_.empty() ? std::string(".") : folder_, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::string asEntry;
    if (!EntryName(name, asEntry)) continue;
    std::error_code fileError;
    if (!it->is_regular_file(fileError)) continue;
    // Several candidates (a folder where case matters): the same one every time.
    auto [at, added] = byFoldedName_.try_emplace(FoldCase(asEntry), name);
    if (!added && name < at->second) at->second = name;
  }
}

std::vector<std::string> EntryPaths(const std::string& folder, const std::vector<std::string>& entries) {
  FolderIndex index(folder);
  std::vector<std::string> paths;
  paths.reserve(entries.size());
  for (const std::string& entry : entries) paths.push_back(index.EntryPath(entry));
  return paths;
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace tolvane::build
