#include "link/LineMap.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "common/AtomicFile.h"
#include "common/BinaryIo.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"

namespace tolvane {

namespace {

constexpr std::string_view kHeader = "TOLVANE-LINEMAP 1";

std::string Hex16(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(v));
  return buf;
}

// Takes the next space-separated field off `rest`.
std::string_view Field(std::string_view& rest) {
  std::size_t sp = rest.find(' ');
  std::string_view f = rest.substr(0, sp);
  rest = sp == std::string_view::npos ? std::string_view() : rest.substr(sp + 1);
  return f;
}

template <class T>
bool Number(std::string_view text, T& out, int base = 10) {
  if (text.empty()) return false;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return ec == std::errc() && p == text.data() + text.size();
}

bool ParseFingerprint(std::string_view& rest, FileFingerprint& f) {
  return Number(Field(rest), f.size) && Number(Field(rest), f.hash, 16);
}

}  // namespace

FileFingerprint FingerprintOf(std::string_view bytes) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return {bytes.size(), h};
}

bool FingerprintFile(const std::string& path, FileFingerprint& out) {
  std::string bytes;
  // Only object files and load modules are fingerprinted: none is larger.
  if (ReadWholeFile(path, bytes, kMaxBinaryFileBytes) != FileReadResult::Ok) return false;
  out = FingerprintOf(bytes);
  return true;
}

std::string ObjectLineMapPath(const std::string& objectPath) { return ChangeExtension(objectPath, ".olm"); }
std::string ModuleLineMapPath(const std::string& modulePath) { return ChangeExtension(modulePath, ".elm"); }

std::string FormatLineMap(const LineMap& map) {
  std::string out(kHeader);
  out += "\nTARGET " + std::to_string(map.target.size) + ' ' + Hex16(map.target.hash) + '\n';
  for (const LineMapSource& s : map.sources) {
    out += "SOURCE " + std::to_string(s.fingerprint.size) + ' ' + Hex16(s.fingerprint.hash) + ' ' + s.path + '\n';
    for (const LineRun& r : s.runs) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "RUN %04X %u %d %c\n", static_cast<unsigned>(r.address),
                    static_cast<unsigned>(r.count), static_cast<int>(r.line), r.code ? 'C' : 'D');
      out += buf;
    }
  }
  out += "END\n";
  return out;
}

namespace {

bool ParseInto(std::string_view text, LineMap& out) {
  bool header = false, target = false, end = false;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    if (nl == std::string_view::npos) return false;  // cut short
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl + 1);
    if (end) return false;  // nothing may follow END
    if (!header) {
      if (line != kHeader) return false;
      header = true;
      continue;
    }
    std::string_view rest = line;
    std::string_view kind = Field(rest);
    if (kind == "TARGET" && !target) {
      if (!ParseFingerprint(rest, out.target) || !rest.empty()) return false;
      target = true;
    } else if (kind == "SOURCE" && target) {
      LineMapSource s;
      if (!ParseFingerprint(rest, s.fingerprint) || rest.empty()) return false;
      s.path = std::string(rest);
      out.sources.push_back(std::move(s));
    } else if (kind == "RUN" && !out.sources.empty()) {
      LineRun r;
      std::uint64_t count = 0;
      std::string_view k;
      if (!Number(Field(rest), r.address, 16) || !Number(Field(rest), count) || !Number(Field(rest), r.line) ||
          (k = Field(rest)).size() != 1 || (k[0] != 'C' && k[0] != 'D') || !rest.empty())
        return false;
      // In 64 bits: a count near 2^32 must not wrap back into the memory.
      if (count == 0 || count > kMemoryWords - r.address || r.line < 1) return false;
      std::vector<LineRun>& runs = out.sources.back().runs;
      if (!runs.empty() && r.address < std::uint64_t{runs.back().address} + runs.back().count) return false;
      r.count = static_cast<Word>(count);
      r.code = k[0] == 'C';
      runs.push_back(r);
    } else if (kind == "END" && target && rest.empty()) {
      end = true;
    } else {
      return false;
    }
  }
  return end;
}

}  // namespace

bool ParseLineMap(std::string_view text, LineMap& out) {
  out = LineMap();
  if (ParseInto(text, out)) return true;
  out = LineMap();  // nothing of a refused map is used
  return false;
}

bool WriteLineMap(const std::string& path, const LineMap& map, std::string* why) {
  AtomicFile file;
  const bool ok = file.Open(path) && file.Write(FormatLineMap(map)) && file.Commit();
  if (!ok && why) {
    *why = file.Refused() != PathKind::Missing ? RefusedOutputText(file.Refused())
                                               : OutputFailureText(file, Cp932Text(u8"に行対応表を書き込めません。"));
  }
  // No stale map may stay to describe a file it no longer matches.
  if (!ok) RemoveLineMap(path);
  return ok;
}

LineMapRead ReadLineMapFile(const std::string& path, LineMap& out) {
  out = LineMap();
  if (KindOfPath(path) == PathKind::Missing) return LineMapRead::Missing;
  std::string text;
  switch (ReadWholeFile(path, text, kMaxLineMapBytes)) {
    case FileReadResult::Ok:
    case FileReadResult::CannotClose:
      break;
    case FileReadResult::TooLarge:
      return LineMapRead::TooLarge;
    case FileReadResult::CannotOpen:
    case FileReadResult::ReadError:
      return LineMapRead::Unreadable;
  }
  return ParseLineMap(text, out) ? LineMapRead::Ok : LineMapRead::Malformed;
}

bool ReadLineMap(const std::string& path, LineMap& out) { return ReadLineMapFile(path, out) == LineMapRead::Ok; }

std::string LineMapProblemText(LineMapRead problem) {
  const std::string without = Cp932Text(u8"行の情報なしで続けます。");
  switch (problem) {
    case LineMapRead::TooLarge:
      return TooLargeText() + without;
    case LineMapRead::Unreadable:
    case LineMapRead::Malformed:
      return Cp932Text(u8"は行対応表として読めません。") + without;
    case LineMapRead::Ok:
    case LineMapRead::Missing:
      break;
  }
  return std::string();
}

void RemoveLineMap(const std::string& path) {
  const PathKind kind = KindOfPath(path);
  if (kind == PathKind::File || kind == PathKind::Link) ::unlink(path.c_str());
}

void WriteModuleLineMap(const std::string& modulePath, const std::vector<std::string>& objectPaths,
                        const std::vector<std::uint32_t>& bases, MessageSink& sink) {
  const std::string mapPath = ModuleLineMapPath(modulePath);
  LineMap module;
  for (std::size_t i = 0; i < objectPaths.size() && i < bases.size(); ++i) {
    LineMap object;
    FileFingerprint now;
    const std::string objectMap = ObjectLineMapPath(objectPaths[i]);
    const LineMapRead read = ReadLineMapFile(objectMap, object);
    if (read == LineMapRead::Missing) continue;
    // A map of other bytes (the object was made again without one) is stale, not wrong.
    if (read == LineMapRead::Ok && (!FingerprintFile(objectPaths[i], now) || !(now == object.target))) continue;
    // Every run must still lie inside the memory once the object is placed.
    const auto fits = [base = bases[i]](const LineMapSource& s) {
      return s.runs.empty() || std::uint64_t{base} + s.runs.back().address + s.runs.back().count <= kMemoryWords;
    };
    if (read != LineMapRead::Ok || !std::all_of(object.sources.begin(), object.sources.end(), fits)) {
      sink.AppendDiagnostic({DiagCode::LineMapUnreadable,
                             Severity::Warning,
                             {},
                             0,
                             -1,
                             0,
                             objectMap,
                             objectMap + LineMapProblemText(read == LineMapRead::Ok ? LineMapRead::Malformed : read)});
      continue;
    }
    for (LineMapSource& s : object.sources) {
      for (LineRun& r : s.runs) r.address = static_cast<Word>(r.address + bases[i]);
      module.sources.push_back(std::move(s));
    }
  }
  if (module.sources.empty() || !FingerprintFile(modulePath, module.target)) {
    RemoveLineMap(mapPath);
    return;
  }
  std::string why;
  if (!WriteLineMap(mapPath, module, &why))
    sink.AppendDiagnostic({DiagCode::LineMapNotWritten, Severity::Warning, {}, 0, -1, 0, mapPath, mapPath + why});
}

}  // namespace tolvane
