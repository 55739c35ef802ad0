#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tolvane {

// What stands at a path, as far as replacing it is concerned (symbolic links
// not followed).
enum class PathKind { Missing, File, Link, Folder, Device, Fifo, Socket };
PathKind KindOfPath(const std::string& path);
// The same with symbolic links followed (a link to nothing is Missing).
PathKind KindBehindPath(const std::string& path);
// "フォルダ", "デバイス", "名前付きパイプ", "ソケット" (CP932); empty for the others.
std::string PathKindText(PathKind kind);
// What is wrong with `path` as a file to read, after the path (CP932):
// "が存在しません。" when nothing is there, "は" + the kind + "のため読み込めません。"
// for a folder, device, FIFO or socket, empty for a regular file.
std::string InputProblemText(const std::string& path);

// Writes a file so that it is either wholly replaced or left as it was. The
// bytes go to a uniquely named temporary file in the target's folder, which is
// renamed over the target only after every write and the close succeeded; any
// failure removes the temporary file and leaves the old file untouched. Two
// processes writing the same target never see each other's half-written file.
//
// The rename replaces a symbolic or hard link by a new file instead of writing
// through it, which is what a tool's output needs. An editor saving the file a
// link led it to asks for `followLink` instead.
//
// Only a regular file, a symbolic link or nothing is ever replaced: renaming
// over a device, a FIFO or a socket would take it away from everyone who uses
// it (run as root, an output named /dev/null would replace the machine's), and
// a folder cannot be. Such a target is refused at Open and again at Commit;
// Refused() then says what it is.
class AtomicFile {
 public:
  struct Options {
    bool followLink = false;  // replace the file a symbolic link points to, not the link
    bool keepMode = false;    // give the new file the permissions of the file it replaces
    bool sync = false;        // force the bytes to the disk before the rename
  };

  AtomicFile() = default;
  explicit AtomicFile(Options options) : options_(options) {}
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();  // an uncommitted file is discarded

  // Creates the temporary file for `path`. False (with Error() set) when it
  // cannot be created.
  bool Open(const std::string& path);
  // Buffers the bytes; false once any write has failed.
  bool Write(const void* data, std::size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  // Writes what is buffered, closes and renames into place. False (with
  // Error() set) when any step failed; the target is then as it was.
  bool Commit();
  // Gives up: removes the temporary file.
  void Discard();

  // errno of the first failure, 0 when none: EISDIR for a folder in the way,
  // EINVAL for a device, FIFO or socket.
  int Error() const { return error_; }
  // What stood in the way when the target was refused; Missing otherwise.
  PathKind Refused() const { return refused_; }
  // The file that will be replaced (the link's target with `followLink`).
  const std::string& Target() const { return target_; }
  const std::string& TemporaryPath() const { return temporary_; }

 private:
  bool Flush();
  void Fail(int error);
  bool Replaceable();

  Options options_;
  std::string target_;
  std::string temporary_;
  std::string buffer_;
  int fd_ = -1;
  int slot_ = -1;  // in the table RemoveTemporaryFilesNow reads
  int error_ = 0;
  PathKind refused_ = PathKind::Missing;
};

// Removes the temporary file of every AtomicFile of this process that is still
// being written. Async-signal-safe: meant for a handler of a signal that ends
// the process, so that an interrupted tool leaves no hidden half-written file
// (up to the size of a whole output) behind.
void RemoveTemporaryFilesNow();

// Writes `bytes` to `path` through an AtomicFile. False with `*error` (errno)
// filled in when the file could not be replaced.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, AtomicFile::Options options = {},
                         int* error = nullptr);

// True when both paths name the same existing file (same device and inode,
// symbolic links followed), whatever their spelling.
bool SameFile(const std::string& a, const std::string& b);

// "は" + the kind + "のため書き込めません。" (CP932), after the path of an output
// that `kind` stands in the way of.
std::string RefusedOutputText(PathKind kind);

// The text after an output's path when `file` failed: the folder, device, FIFO
// or socket in the way (RefusedOutputText), or `usual` (the tool's own
// "がオープンできません。" or "がクローズできません。"),
// followed by "ディスクに空きがありません。" when the disk or the user's quota is
// full. CP932.
std::string OutputFailureText(const AtomicFile& file, const std::string& usual);

// The tools refuse to write an output that is one of their inputs (a listing
// name that links to the source, say): " Error:  " + path + this text (CP932).
std::string OutputIsAnInputText();

}  // namespace tolvane
