#pragma once
// The source lines of the program being debugged: the line map the linker left
// beside the load module (link/LineMap.h), checked against the files on disk.
// A source whose bytes differ from those that were built is dropped as a
// whole: the debugger then shows its code by disassembly only, never at a
// wrong line. Both the IDE and tolvane-cli take the lines from here.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Word.h"
#include "link/LineMap.h"

namespace tolvane::debugger {

// Status texts (CP932).
std::string SourceChangedMessage(const std::string& path);  // path + "はビルド後に変更されています。..."
std::string SourceMissingMessage(const std::string& path);  // path + "が見つかりません。..."
std::string SourceEditedMessage(const std::string& path);   // path + "は編集中です。..."
std::string SourceLongLinesMessage(const std::string& path);  // the assembler numbered it otherwise
std::string ModuleChangedMessage(const std::string& path);    // the load module does not match its map
std::string LineMapUnreadableMessage(const std::string& path);
std::string NoInstructionOnLineMessage();  // "この行には命令がありません。..."
std::string NotASourceMessage(const std::string& path);  // path + "はデバッグ中のプログラムのソースではありません。"
std::string NoSourceLinesMessage();  // no lines at all: disassembly only
std::string BreakpointDroppedMessage(const std::string& path, int line);
// Debug Start on sources changed after the build: build first (Yes), debug by
// disassembly only for them (No), or not at all (Cancel).
std::string RebuildQuestion(const std::vector<std::string>& paths);

// Where a breakpoint on a line of a source goes: the line's first instruction
// word, or why there is none.
struct LineTarget {
  int source = -1;
  Word address = 0;
  std::string refusal;  // the status text that says why not (CP932), empty when found
  bool Found() const { return refusal.empty(); }
};

struct SourceLocation {
  int source = -1;  // index into Sources(), -1: no line
  std::int32_t line = 0;
  bool code = false;
  bool Found() const { return source >= 0; }
};

class SourceLines {
 public:
  struct Source {
    std::string path;      // as the assembler was given it
    std::string resolved;  // absolute and normalised, for comparing with other paths
    std::vector<LineRun> runs;
    std::string dropped;   // why the source has no lines (its status text), or empty
    bool changed = false;  // dropped because the file differs from the build (a build mends that)
  };

  // Reads and checks the map beside `modulePath`. Returns the status texts of
  // what was dropped (none when there is no map at all: debugging simply has
  // no lines then). A source is looked for as the build named it, and else
  // under its name beside the load module (a folder moved, or debugged from
  // another folder).
  std::vector<std::string> Load(const std::string& modulePath);
  void Clear() {
    sources_.clear();
    texts_.clear();
  }
  // Drops the lines of one source, with the status text that says why (its
  // page was edited after the build, say).
  void Drop(int source, const std::string& why);
  bool Empty() const;

  const std::vector<Source>& Sources() const { return sources_; }
  // The line that produced the word at `address`.
  SourceLocation Locate(Word address) const;
  // A source by path: the same file (resolved path), else by the path as
  // stored, else by its last component (for a typed "FILE.cas"). -1 if none.
  // `byName` false: only the same file (a path of the IDE's own pages).
  int FindSource(const std::string& path, bool byName = true) const;
  // The first instruction word of a line; false when the line produced no
  // instruction (a comment, a directive, DC or DS).
  bool InstructionOfLine(int source, std::int32_t line, Word& address) const;
  // The lines of `source` whose instruction words hold one of `addresses`.
  std::vector<std::int32_t> LinesOfAddresses(int source, const std::vector<Word>& addresses) const;
  // A line of the source at `path` (FindSource with `byName`) as a breakpoint's
  // place, with the refusals both front ends give: no lines at all, not a
  // source of the program, a source without lines (and why), a line without
  // an instruction.
  LineTarget ResolveLine(const std::string& path, std::int32_t line, bool byName) const;
  // The text of a line (without its line end), empty past the end. The file is
  // read once, when a line of it is first asked for; what is kept is its bytes
  // and where each line starts.
  std::string_view LineText(int source, std::int32_t line);

  // An absolute, normalised form of a path (relative to `base` when it does
  // not name a file relative to the current directory).
  static std::string Resolve(const std::string& path, const std::string& base = std::string());

 private:
  struct Text {
    bool read = false;
    std::string bytes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> lines;  // offset and length of each line in `bytes`
  };
  std::vector<Source> sources_;
  std::vector<Text> texts_;  // by source, read on demand
};

// The sources of the load module's program that were changed after the build
// (by their map beside it): the debugger would have to leave their lines out,
// where building again would keep them. Paths as the build named them.
std::vector<std::string> ChangedSources(const std::string& modulePath);

class ExecutionControl;

// A breakpoint on a source line is the breakpoint on the line's first
// instruction word, in the one breakpoint table. Toggling a line that holds
// breakpoints on any of its instruction words removes them; otherwise adds
// one on its first instruction word.
enum class LineToggle { Added, Removed, NoInstruction };
LineToggle ToggleBreakpointOnLine(ExecutionControl& ec, const SourceLines& lines, int source, std::int32_t line);

}  // namespace tolvane::debugger
