#pragma once
// The line map: which source line produced which words. The assembler keeps one
// beside each object file (".olm", addresses relative to the object's first
// word) and the linker joins them into one beside the load module (".elm",
// absolute addresses), so that a debugger can show the source line of PR and
// set breakpoints on lines. The object, load module and symbol files stay as
// they are; a missing or unreadable map only means debugging without lines.
//
// The file is CP932 text, one record a line, fields separated by one space:
//   TOLVANE-LINEMAP 1
//   TARGET size hash        the file the map belongs to (.obj or .exe)
//   SOURCE size hash path   a source file as the assembler was given it
//   RUN address count line kind   words address..address+count-1 (hex address,
//                                 decimal count and line) of that source;
//                                 kind C (instructions) or D (data)
//   END
// size and hash (64-bit FNV-1a, 16 hex digits) identify the bytes of a file,
// so a file changed since the build is recognised by its content.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/MessageSink.h"
#include "common/Word.h"

namespace tolvane {

struct FileFingerprint {
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
  friend bool operator==(const FileFingerprint&, const FileFingerprint&) = default;
};

FileFingerprint FingerprintOf(std::string_view bytes);
// False when the file cannot be read.
bool FingerprintFile(const std::string& path, FileFingerprint& out);

struct LineRun {
  Word address = 0;
  Word count = 0;
  std::int32_t line = 0;  // from 1
  bool code = true;       // instruction words (false: DC, DS, literals)
  friend bool operator==(const LineRun&, const LineRun&) = default;
};

struct LineMapSource {
  std::string path;  // as the assembler was given it (CP932 bytes)
  FileFingerprint fingerprint;
  std::vector<LineRun> runs;  // ascending addresses, not overlapping
  friend bool operator==(const LineMapSource&, const LineMapSource&) = default;
};

struct LineMap {
  FileFingerprint target;
  std::vector<LineMapSource> sources;
  friend bool operator==(const LineMap&, const LineMap&) = default;
};

// No map of a program that fits the machine comes near this: at most 65536
// runs of about 30 bytes, and a source line per object. A larger file is not
// read at all (it would cost its size in memory), only noted.
constexpr std::size_t kMaxLineMapBytes = std::size_t{16} * 1024 * 1024;

std::string ObjectLineMapPath(const std::string& objectPath);  // ".olm"
std::string ModuleLineMapPath(const std::string& modulePath);  // ".elm"

std::string FormatLineMap(const LineMap& map);
// False for anything that is not a well-formed map of this version: among
// others a run that is empty, reaches past FFFFH or does not follow the
// source's previous run. `out` is then empty.
bool ParseLineMap(std::string_view text, LineMap& out);

// Written to a temporary name and renamed, so a reader never sees half a map.
// On failure no map (neither a stale nor a partial one) is left at `path`,
// and `why` (when given) holds the reason as text after the path (CP932).
bool WriteLineMap(const std::string& path, const LineMap& map, std::string* why = nullptr);

enum class LineMapRead { Ok, Missing, TooLarge, Unreadable, Malformed };
// Reads a map of at most kMaxLineMapBytes from a regular file.
LineMapRead ReadLineMapFile(const std::string& path, LineMap& out);
bool ReadLineMap(const std::string& path, LineMap& out);
// The note for a map that exists but was not used (TooLarge, Unreadable,
// Malformed), after its path (CP932).
std::string LineMapProblemText(LineMapRead problem);

// Removes a stale map. Only a file or a link by that name is removed: a folder
// or a device that happens to carry the name is left alone.
void RemoveLineMap(const std::string& path);

// The linker's part: the maps of `objects` (placed at `bases`) joined into
// the map of the load module at `modulePath`, written beside it. An object
// without a map, or whose map belongs to other bytes than the object file now
// holds, adds no lines; a map that is there but cannot be used (too large,
// unreadable, malformed, not fitting at its base) adds none either and gets
// one line on `sink`, as does a module map that cannot be written. Without
// any lines no map is left beside the module.
void WriteModuleLineMap(const std::string& modulePath, const std::vector<std::string>& objectPaths,
                        const std::vector<std::uint32_t>& bases, MessageSink& sink);

}  // namespace tolvane
