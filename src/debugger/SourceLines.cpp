#include "debugger/SourceLines.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "common/BinaryIo.h"
#include "common/Cp932.h"
#include "common/SourceEncoding.h"
#include "common/SourceLines.h"
#include "debugger/ExecutionControl.h"

namespace tolvane::debugger {

namespace fs = std::filesystem;

std::string SourceChangedMessage(const std::string& path) {
  return path + Cp932Text(u8"はビルド後に変更されています。逆アセンブルのみでデバッグします。");
}
std::string SourceMissingMessage(const std::string& path) {
  return path + Cp932Text(u8"が見つかりません。逆アセンブルのみでデバッグします。");
}
std::string SourceEditedMessage(const std::string& path) {
  return path + Cp932Text(u8"は編集中です。逆アセンブルのみでデバッグします。");
}
std::string SourceLongLinesMessage(const std::string& path) {
  return path + Cp932Text(u8"に255バイト以上の行があります。逆アセンブルのみでデバッグします。");
}
std::string ModuleChangedMessage(const std::string& path) {
  return path + Cp932Text(u8"は行対応表と一致しません。逆アセンブルのみでデバッグします。");
}
std::string LineMapUnreadableMessage(const std::string& path) {
  return path + Cp932Text(u8"は行対応表として読めません。逆アセンブルのみでデバッグします。");
}
std::string NoInstructionOnLineMessage() {
  return Cp932Text(u8"この行には命令がありません。ブレークポイントは設定できません。");
}
std::string NotASourceMessage(const std::string& path) {
  return path + Cp932Text(u8"はデバッグ中のプログラムのソースではありません。");
}
std::string NoSourceLinesMessage() {
  return Cp932Text(u8"ソースの行の情報がありません。逆アセンブルのみでデバッグします。");
}
std::string BreakpointDroppedMessage(const std::string& path, int line) {
  return path + "(" + std::to_string(line) + ")" + Cp932Text(u8"には命令がないため、ブレークポイントを外しました。");
}

std::string RebuildQuestion(const std::vector<std::string>& paths) {
  std::string names;
  for (const std::string& p : paths) names += (names.empty() ? "" : Cp932Text(u8"、")) + p;
  return names + Cp932Text(
                     u8"はビルド後に変更されています。ビルドしてからデバッグしますか？\n"
                     u8"（「いいえ」: 変更されたソースは逆アセンブルのみでデバッグします）");
}

namespace {
// The assembler reads a line of 255 bytes or more as several lines, so its
// line numbers part from the editor's after such a line.
bool HasLongLine(std::string_view bytes) {
  const std::vector<LineSpan> lines = SplitLines(bytes, LoneCr::InLine);
  return std::any_of(lines.begin(), lines.end(), [](const LineSpan& line) { return line.length >= 255; });
}
}  // namespace

std::string SourceLines::Resolve(const std::string& path, const std::string& base) {
  std::error_code ec;
  fs::path p(path);
  if (p.is_relative()) {
    fs::path fromCwd = fs::absolute(p, ec);
    if (!base.empty() && !fs::exists(fromCwd, ec)) {
      fs::path fromBase = fs::absolute(fs::path(base).parent_path() / p, ec);
      if (fs::exists(fromBase, ec)) fromCwd = fromBase;
    }
    p = fromCwd;
  }
  fs::path canonical = fs::weakly_canonical(p, ec);
  return (ec ? p.lexically_normal() : canonical).string();
}

std::vector<std::string> SourceLines::Load(const std::string& modulePath) {
  Clear();
  std::vector<std::string> messages;
  const std::string mapPath = ModuleLineMapPath(modulePath);
  std::error_code ec;
  if (!fs::exists(mapPath, ec)) return messages;
  LineMap map;
  if (!ReadLineMap(mapPath, map)) {
    messages.push_back(LineMapUnreadableMessage(mapPath));
    return messages;
  }
  FileFingerprint module;
  if (!FingerprintFile(modulePath, module) || !(module == map.target)) {
    messages.push_back(ModuleChangedMessage(modulePath));
    return messages;
  }
  for (LineMapSource& s : map.sources) {
    Source source{s.path, Resolve(s.path, modulePath), std::move(s.runs), std::string()};
    if (!fs::is_regular_file(source.resolved, ec)) {
      // Built elsewhere (or the folder moved): the file beside the load module.
      const fs::path beside = fs::path(modulePath).parent_path() / fs::path(s.path).filename();
      if (fs::is_regular_file(beside, ec)) source.resolved = Resolve(beside.string());
    }
    // A dropped source stays known by its path, so that a breakpoint asked
    // for on it is refused with the reason.
    std::string bytes;
    if (ReadWholeFile(source.resolved, bytes) != FileReadResult::Ok) {
      source.dropped = SourceMissingMessage(s.path);
    } else if (!(FingerprintOf(bytes) == s.fingerprint)) {
      source.dropped = SourceChangedMessage(s.path);
      source.changed = true;
    } else if (HasLongLine(DecodeToCp932(bytes).cp932)) {
      source.dropped = SourceLongLinesMessage(s.path);
    }
    if (!source.dropped.empty()) {
      source.runs.clear();
      messages.push_back(source.dropped);
    }
    sources_.push_back(std::move(source));
  }
  return messages;
}

void SourceLines::Drop(int source, const std::string& why) {
  if (source < 0 || source >= static_cast<int>(sources_.size())) return;
  sources_[static_cast<std::size_t>(source)].runs.clear();
  sources_[static_cast<std::size_t>(source)].dropped = why;
}

bool SourceLines::Empty() const {
  return std::all_of(sources_.begin(), sources_.end(), [](const Source& s) { return s.runs.empty(); });
}

SourceLocation SourceLines::Locate(Word address) const {
  for (std::size_t i = 0; i < sources_.size(); ++i) {
    const std::vector<LineRun>& runs = sources_[i].runs;
    auto it =
        std::upper_bound(runs.begin(), runs.end(), address, [](Word a, const LineRun& r) { return a < r.address; });
    if (it == runs.begin()) continue;
    --it;
    if (address < it->address + it->count) return {static_cast<int>(i), it->line, it->code};
  }
  return {};
}

int SourceLines::FindSource(const std::string& path, bool byName) const {
  const std::string resolved = Resolve(path);
  const int n = static_cast<int>(sources_.size());
  for (int i = 0; i < n; ++i)
    if (sources_[static_cast<std::size_t>(i)].resolved == resolved) return i;
  if (!byName) return -1;
  for (int i = 0; i < n; ++i)
    if (sources_[static_cast<std::size_t>(i)].path == path) return i;
  for (int i = 0; i < n; ++i)
    if (fs::path(sources_[static_cast<std::size_t>(i)].path).filename() == fs::path(path)) return i;
  return -1;
}

bool SourceLines::InstructionOfLine(int source, std::int32_t line, Word& address) const {
  if (source < 0 || source >= static_cast<int>(sources_.size())) return false;
  for (const LineRun& r : sources_[static_cast<std::size_t>(source)].runs) {
    if (r.line == line && r.code) {
      address = r.address;
      return true;
    }
  }
  return false;
}

std::vector<std::int32_t> SourceLines::LinesOfAddresses(int source, const std::vector<Word>& addresses) const {
  std::vector<std::int32_t> lines;
  for (Word a : addresses) {
    SourceLocation at = Locate(a);
    if (at.source == source && at.code) lines.push_back(at.line);
  }
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

LineTarget SourceLines::ResolveLine(const std::string& path, std::int32_t line, bool byName) const {
  LineTarget t;
  t.source = FindSource(path, byName);
  if (t.source < 0) {
    t.refusal = Empty() ? NoSourceLinesMessage() : NotASourceMessage(path);
  } else if (const std::string& why = sources_[static_cast<std::size_t>(t.source)].dropped; !why.empty()) {
    t.refusal = why;
  } else if (!InstructionOfLine(t.source, line, t.address)) {
    t.refusal = NoInstructionOnLineMessage();
  }
  return t;
}

std::string_view SourceLines::LineText(int source, std::int32_t line) {
  if (source < 0 || source >= static_cast<int>(sources_.size()) || line < 1) return {};
  texts_.resize(sources_.size());
  Text& t = texts_[static_cast<std::size_t>(source)];
  if (!t.read) {
    t.read = true;
    if (ReadWholeFile(sources_[static_cast<std::size_t>(source)].resolved, t.bytes) != FileReadResult::Ok ||
        t.bytes.size() > UINT32_MAX)
      t.bytes.clear();
    // The lines as the assembler numbered and shows them: a UTF-8 source decoded.
    t.bytes = DecodeToCp932(t.bytes).cp932;
    for (const LineSpan& span : SplitLines(t.bytes, LoneCr::InLine))
      t.lines.emplace_back(static_cast<std::uint32_t>(span.offset), static_cast<std::uint32_t>(span.length));
  }
  if (static_cast<std::size_t>(line) > t.lines.size()) return {};
  const auto [from, length] = t.lines[static_cast<std::size_t>(line - 1)];
  return std::string_view(t.bytes).substr(from, length);
}

std::vector<std::string> ChangedSources(const std::string& modulePath) {
  SourceLines lines;
  lines.Load(modulePath);
  std::vector<std::string> changed;
  for (const SourceLines::Source& s : lines.Sources())
    if (s.changed) changed.push_back(s.path);
  return changed;
}

LineToggle ToggleBreakpointOnLine(ExecutionControl& ec, const SourceLines& lines, int source, std::int32_t line) {
  Word first = 0;
  if (!lines.InstructionOfLine(source, line, first)) return LineToggle::NoInstruction;
  bool removed = false;
  // Rows go as they are found; the indices after a deleted one move down.
  for (int i = ec.Breakpoints().Count() - 1; i >= 0; --i) {
    SourceLocation at = lines.Locate(ec.Breakpoints().Rows()[static_cast<std::size_t>(i)].address);
    if (at.source == source && at.line == line && at.code) {
      ec.DeleteBreakpoint(i);
      removed = true;
    }
  }
  if (removed) return LineToggle::Removed;
  ec.ToggleBreakpointAt(first);
  return LineToggle::Added;
}

}  // namespace tolvane::debugger
