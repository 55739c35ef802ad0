// Replacing files whole: never half a file, never through a link, nothing left
// behind when the disk refuses the bytes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/AtomicFile.h"
#include "common/Cp932.h"

using namespace tolvane;
namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tolvane_atomic_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(name.front() == '/' ? name : Path(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(AtomicFileTest, ReplacesTheWholeFileAndLeavesNothingBehind) {
  Put("a.obj", "old contents, longer than the new ones");
  std::string big(200000, 'x');  // more than one buffer
  for (const std::string& bytes : {std::string("new"), big, std::string()}) {
    int error = -1;
    ASSERT_TRUE(WriteFileAtomically(Path("a.obj"), bytes, {}, &error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(Get("a.obj"), bytes);
    EXPECT_EQ(Names(), std::vector<std::string>{"a.obj"});
  }
  // A new file gets the usual permissions (0666 less the umask).
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_TRUE(WriteFileAtomically(Path("fresh.lst"), "L"));
  struct stat st {};
  ASSERT_EQ(stat(Path("fresh.lst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  // keepMode: the replaced file's permissions.
  chmod(Path("a.obj").c_str(), 0640);
  ASSERT_TRUE(WriteFileAtomically(Path("a.obj"), "kept", {.keepMode = true}));
  ASSERT_EQ(stat(Path("a.obj").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(AtomicFileTest, LinksAreReplacedNotWrittenThrough) {
  fs::create_directories(dir_ / "outside");
  Put("outside/victim", "VICTIM");
  Put("source.cas", "SOURCE");
  fs::create_symlink(dir_ / "outside" / "victim", dir_ / "out.sym");
  fs::create_hard_link(dir_ / "source.cas", dir_ / "out.lst");
  ASSERT_TRUE(WriteFileAtomically(Path("out.sym"), "SYM"));
  ASSERT_TRUE(WriteFileAtomically(Path("out.lst"), "LST"));
  EXPECT_EQ(Get("outside/victim"), "VICTIM");
  EXPECT_EQ(Get("source.cas"), "SOURCE");
  EXPECT_FALSE(fs::is_symlink(dir_ / "out.sym"));
  EXPECT_EQ(Get("out.sym"), "SYM");
  EXPECT_EQ(Get("out.lst"), "LST");
  // An editor saving the file it reached through a link writes the link's target.
  fs::create_symlink("source.cas", dir_ / "edit.cas");
  AtomicFile file({.followLink = true});
  ASSERT_TRUE(file.Open(Path("edit.cas")));
  EXPECT_EQ(fs::path(file.Target()).filename(), "source.cas");
  ASSERT_TRUE(file.Write("EDITED") && file.Commit());
  EXPECT_TRUE(fs::is_symlink(dir_ / "edit.cas"));
  EXPECT_EQ(Get("source.cas"), "EDITED");
}

// The disk refusing bytes (here a file size limit, which fails writes as a
// full disk does) leaves the old file as it was and no temporary file.
TEST_F(AtomicFileTest, AFailedWriteKeepsTheOldFile) {
  Put("keep.cas", "OLD");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto handler = signal(SIGXFSZ, SIG_IGN);
  struct Case {
    std::size_t size;
    bool sync;
  } cases[] = {{100, false}, {5000, false}, {5000, true}, {300000, false}};
  for (const Case& c : cases) {
    rlimit limit{1000, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    int error = 0;
    const bool ok = WriteFileAtomically(Path("keep.cas"), std::string(c.size, 'N'), {.sync = c.sync}, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    if (c.size < 1000) {
      EXPECT_TRUE(ok);
      Put("keep.cas", "OLD");
      continue;
    }
    EXPECT_FALSE(ok) << c.size;
    EXPECT_EQ(error, EFBIG) << c.size;
    EXPECT_EQ(Get("keep.cas"), "OLD") << c.size;
    EXPECT_EQ(Names(), std::vector<std::string>{"keep.cas"}) << c.size;
  }
  signal(SIGXFSZ, handler);
  // A folder that does not exist: nothing to create.
  AtomicFile file;
  EXPECT_FALSE(file.Open(Path("missing/x.obj")));
  EXPECT_EQ(file.Error(), ENOENT);
  EXPECT_FALSE(file.Write("x"));
  EXPECT_FALSE(file.Commit());
  // A folder where the file should go is refused at once, and stays.
  fs::create_directories(dir_ / "x.lst");
  EXPECT_FALSE(file.Open(Path("x.lst")));
  EXPECT_EQ(file.Error(), EISDIR);
  EXPECT_TRUE(fs::is_directory(dir_ / "x.lst"));
}

// Only a file, a link or nothing is replaced. A device, FIFO, socket or folder
// by the output's name is refused and stays what it was (run as root, the
// rename would otherwise take a device away from the whole machine). The
// nodes are made here, never taken from /dev.
TEST_F(AtomicFileTest, NodesThatAreNotFilesAreNeverReplaced) {
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(mknod(Path("null.obj").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
  }
  ASSERT_EQ(mkfifo(Path("pipe.lst").c_str(), 0600), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sockPath = Path("sock.exe");
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::create_directories(dir_ / "dir.sym");
  fs::create_symlink("pipe.lst", dir_ / "tolink.cas");
  struct Case {
    const char* name;
    AtomicFile::Options options;
    PathKind kind;
    int error;
    const char8_t* text;
  } cases[] = {
      {"null.obj", {}, PathKind::Device, EINVAL, u8"はデバイスのため書き込めません。"},
      {"pipe.lst", {}, PathKind::Fifo, EINVAL, u8"は名前付きパイプのため書き込めません。"},
      {"sock.exe", {}, PathKind::Socket, EINVAL, u8"はソケットのため書き込めません。"},
      {"dir.sym", {}, PathKind::Folder, EISDIR, u8"はフォルダのため書き込めません。"},
      // An editor following a link to a FIFO is refused at the FIFO.
      {"tolink.cas", {.followLink = true}, PathKind::Fifo, EINVAL, u8"は名前付きパイプのため書き込めません。"},
  };
  for (const Case& c : cases) {
    if (!root && c.kind == PathKind::Device) continue;
    const PathKind before = KindOfPath(Path(c.name));
    AtomicFile file(c.options);
    EXPECT_FALSE(file.Open(Path(c.name)) && file.Write("X") && file.Commit()) << c.name;
    EXPECT_EQ(file.Refused(), c.kind) << c.name;
    EXPECT_EQ(file.Error(), c.error) << c.name;
    EXPECT_EQ(OutputFailureText(file, Cp932Text(u8"がオープンできません。")), Cp932Text(c.text)) << c.name;
    EXPECT_EQ(KindOfPath(Path(c.name)), before) << c.name;
  }
  close(sock);
  // Without followLink the link itself is the output: replaced, the FIFO kept.
  ASSERT_TRUE(WriteFileAtomically(Path("tolink.cas"), "SOURCE"));
  EXPECT_EQ(KindOfPath(Path("tolink.cas")), PathKind::File);
  EXPECT_EQ(KindOfPath(Path("pipe.lst")), PathKind::Fifo);

  // A node that takes the name while the file is being written is refused
  // at the rename, and the temporary file goes.
  AtomicFile late;
  ASSERT_TRUE(late.Open(Path("late.obj")));
  ASSERT_TRUE(late.Write("late"));
  ASSERT_EQ(mkfifo(Path("late.obj").c_str(), 0600), 0);
  EXPECT_FALSE(late.Commit());
  EXPECT_EQ(late.Refused(), PathKind::Fifo);
  EXPECT_EQ(KindOfPath(Path("late.obj")), PathKind::Fifo);
  for (const std::string& name : Names()) EXPECT_EQ(name.find(".late.obj-"), std::string::npos) << name;
}

// A signal that ends the process leaves no hidden temporary file: its handler
// removes every one still being written (here in a child process, ended by
// SIGTERM while two outputs are half written and a third was committed).
TEST_F(AtomicFileTest, ASignalsHandlerRemovesTheTemporaryFiles) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGTERM, [](int) {
      RemoveTemporaryFilesNow();
      _exit(7);
    });
    AtomicFile done, listing, object;
    if (!done.Open(Path("done.exe")) || !done.Write("whole") || !done.Commit()) _exit(1);
    if (!listing.Open(Path("big.lst")) || !listing.Write(std::string(300000, 'L'))) _exit(1);
    if (!object.Open(Path("big.obj")) || !object.Write("half")) _exit(1);
    raise(SIGTERM);
    _exit(2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(Names(), std::vector<std::string>{"done.exe"});
  EXPECT_EQ(Get("done.exe"), "whole");
}

TEST_F(AtomicFileTest, AnUncommittedFileIsDiscarded) {
  Put("x.exe", "OLD");
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(Path("x.exe")));
    EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), dir_);
    ASSERT_TRUE(file.Write("half"));
  }
  EXPECT_EQ(Get("x.exe"), "OLD");
  EXPECT_EQ(Names(), std::vector<std::string>{"x.exe"});
}

TEST_F(AtomicFileTest, SameFileComparesIdentityNotSpelling) {
  Put("a.cas", "A");
  Put("b.cas", "A");
  fs::create_hard_link(dir_ / "a.cas", dir_ / "hard.lst");
  fs::create_symlink("a.cas", dir_ / "soft.lst");
  fs::create_directories(dir_ / "sub");
  struct Case {
    std::string a, b;
    bool same;
  } cases[] = {
      {Path("a.cas"), Path("hard.lst"), true},
      {Path("a.cas"), Path("soft.lst"), true},
      {Path("a.cas"), Path("sub/../a.cas"), true},
      {Path("a.cas"), Path("b.cas"), false},  // equal contents are not the same file
      {Path("a.cas"), Path("none.lst"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameFile(c.a, c.b), c.same) << c.a << " " << c.b;
}

}  // namespace
