#pragma once
// The source lines of the program being debugged: the line map the linker left
// beside the load module (link/LineMap.h), checked against the files on disk.
// A source whose bytes differ from those that were built is dropped as a
// whole: the debugger then shows its code by disassembly only, never at a
// wrong line. Both the IDE and tolvane-cli take the lines from here.
#include <cstdint>
#include <string>
#include <vector>

#include "common/Word.h"
#include "link/LineMap.h"

namespace tolvane::debugger {

// Status texts (CP932).
std::string SourceChangedMessage(const std::string& path);  // path + "はビルド後に変更されています。..."
std::string SourceMissingMessage(const std::string& path);  // path + "が見つかりません。..."
std::string SourceEditedMessage(const std::string& path);
std::string SourceLongLinesMessage(
    const std::string& path);  // the assembler numbered it otherwise   // path + "は編集中です。..."
std::string ModuleChangedMessage(const std::string& path);  // the load module does not match its map
std::string LineMapUnreadableMessage(const std::string& path);
std::string NoInstructionOnLineMessage();  // "この行には命令がありません。..."
std::string NotASourceMessage(const std::string& path);  // path + "はデバッグ中のプログラムのソースではありません。"
std::string NoSourceLinesMessage();  // no lines at all: disassembly only
std::string BreakpointDroppedMessage(const std::string& path, int line);

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
    std::string dropped;  // why the source has no lines (its status text), or empty
  };

  // Reads and checks the map beside `modulePath`. Returns the status texts of
  // what was dropped (none when there is no map at all: debugging simply has
  // no lines then).
  std::vector<std::string> Load(const std::string& modulePath);
  void Clear() { sources_.clear(); }
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

  // An absolute, normalised form of a path (relative to `base` when it does
  // not name a file relative to the current directory).
  static std::string Resolve(const std::string& path, const std::string& base = std::string());

 private:
  std::vector<Source> sources_;
};

class ExecutionControl;

// A breakpoint on a source line is the breakpoint on the line's first
// instruction word, in the one breakpoint table. Toggling a line that holds
// breakpoints on any of its instruction words removes them; otherwise adds
// one on its first instruction word.
enum class LineToggle { Added, Removed, NoInstruction };
LineToggle ToggleBreakpointOnLine(ExecutionControl& ec, const SourceLines& lines, int source, std::int32_t line);

}  // namespace tolvane::debugger
