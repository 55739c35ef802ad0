#pragma once
// The project file (.mak): CP932 text, one entry per line, the first entry the
// main routine. Entries are bare file names in the project file's folder.
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tolvane::build {

// The name a project has until it is first saved.
inline constexpr const char* kUnsavedProjectName = "Project.Mak";

// Reads a project file into its lines (CP932). A byte-order mark selects UTF-8
// or UTF-16 (converted to CP932), otherwise the bytes are CP932; CR, LF and
// CR LF end a line, and a break at the very end makes no extra line. False with
// `error` (the path and the system's description) when the file cannot be read,
// and with `unconvertible` set when a marked text holds a character that CP932
// cannot; `lines` then holds the lines before it.
bool ReadProjectFile(const std::string& path, std::vector<std::string>& lines, std::string& error,
                     bool* unconvertible = nullptr);

// Writes the entries, each followed by CR LF, no byte-order mark. The file is
// replaced only once every byte is written. False with `error` otherwise.
bool WriteProjectFile(const std::string& path, const std::vector<std::string>& entries, std::string& error);

// The entry rules.

// What is wrong with a text as a project entry.
enum class EntryProblem {
  None,
  Empty,        // an empty line
  NotBareName,  // a folder separator, ".", "..", a drive or control bytes: not a name in the project's folder
};
EntryProblem CheckEntryName(const std::string& cp932);

// A line of a project file as message text (CP932): at most kShownEntryBytes
// bytes of it, then "…"; control bytes and bytes that are no CP932 character
// (a lead byte at the end, say) shown as "\xNN", so that a message never
// carries an escape sequence, a NUL, or a byte that swallows the text after it.
inline constexpr std::size_t kShownEntryBytes = 80;
std::string ShownEntry(const std::string& cp932);

// True for a name the build assembles: its extension (the one ChangeExtension
// replaces) is ".cas" in any letter case. Works on CP932 names and on
// file-system names alike.
bool IsSourceName(const std::string& name);
// True for a project file's name: ".mak" in any letter case.
bool IsProjectName(const std::string& name);

// Letter case folded for comparisons: ASCII letters only, and never the second
// byte of a CP932 double-byte character.
std::string FoldCase(const std::string& cp932);
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// CP932 entry <-> file-system name (UTF-8 on this system). FileSystemName
// cannot fail; EntryName fails for a name that CP932 cannot hold.
std::string FileSystemName(const std::string& entry);
bool EntryName(const std::string& fileSystemName, std::string& entry);

// A file-system path as message text (CP932): converted where CP932 can hold
// it, otherwise its own bytes (which the front ends know how to show).
std::string DisplayPath(const std::string& fileSystemPath);

// Path pieces of file-system paths ('/' separates folders).
std::string FolderOf(const std::string& path);  // with the trailing separator; empty for a bare name
std::string NameOf(const std::string& path);    // the part after the last separator

// The file-system path of entry `entry` in `folder` (with trailing separator,
// or empty for the current folder). When no file has the entry's exact name,
// a file whose name differs only in letter case is taken (a project written
// where names ignore case); otherwise the exact name.
std::string EntryPath(const std::string& folder, const std::string& entry);

// EntryPath for many entries of one folder: the folder is read at most once,
// on the first entry without a file of its exact name, however many entries
// differ in letter case (a project of thousands of entries written where
// names ignore case would otherwise read the folder once per entry).
class FolderIndex {
 public:
  explicit FolderIndex(std::string folder) : folder_(std::move(folder)) {}
  std::string EntryPath(const std::string& entry);
  // How often the folder was read (for the tests).
  int Scans() const { return scans_; }

 private:
  void Scan();

  std::string folder_;
  int scans_ = 0;
  bool scanned_ = false;
  // Entry name with letter case folded -> the file-system name taken for it.
  std::unordered_map<std::string, std::string> byFoldedName_;
};

// The paths of `entries` in `folder`, in order (FolderIndex).
std::vector<std::string> EntryPaths(const std::string& folder, const std::vector<std::string>& entries);

// True when a regular file exists at `path`.
bool IsFile(const std::string& path);

}  // namespace tolvane::build
