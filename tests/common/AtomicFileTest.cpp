// Replacing files whole: never half a file, never through a link, nothing left
// behind when the disk refuses the bytes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/AtomicFile.h"

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
