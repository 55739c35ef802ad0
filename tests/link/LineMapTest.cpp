// The line maps beside objects and load modules: bounded reads, checked
// arithmetic, and a bad map costing only its own lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "LinkFixtures.h"
#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "link/LineMap.h"
#include "link/Linker.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHead = "TOLVANE-LINEMAP 1\nTARGET 1 0\nSOURCE 1 0 a.cas\n";

TEST(LineMapParse, RunsMustFitTheMemoryAndFollowEachOther) {
  struct Case {
    const char* runs;
    bool ok;
  } cases[] = {
      {"RUN FFFF 1 1 C\n", true},
      {"RUN 0000 65536 1 D\n", true},
      {"RUN 0001 4294967295 1 C\n", false},  // 1 + count wraps to 0 in 32 bits
      {"RUN 0000 4294967296 1 C\n", false},
      {"RUN 0000 18446744073709551615 1 C\n", false},
      {"RUN 0001 65536 1 C\n", false},
      {"RUN 0010 2 1 C\nRUN 0012 1 2 C\n", true},
      {"RUN 0010 2 1 C\nRUN 0011 1 2 C\n", false},  // overlapping
      {"RUN 0010 2 1 C\nRUN 0000 1 2 C\n", false},  // going back
      {"RUN 0000 1 2147483648 C\n", false},         // line beyond 32 bits
  };
  for (const Case& c : cases) {
    LineMap map;
    EXPECT_EQ(ParseLineMap(std::string(kHead) + c.runs + "END\n", map), c.ok) << c.runs;
  }
}

class LineMapFiles : public ScratchDir {
 protected:
  // An object of `words` code words with its map: one run per word, lines from 1.
  void ObjectWithMap(const std::string& name, Word words, const std::string& source) {
    ObjectFile o;
    o.entries = {{"E" + name.substr(0, 1), 0}};
    o.code.assign(words, 0x1234);
    WriteObject(P(name + ".obj"), o);
    LineMap map;
    ASSERT_TRUE(FingerprintFile(P(name + ".obj"), map.target));
    LineMapSource s{source, {}, {}};
    for (Word i = 0; i < words; ++i) s.runs.push_back({i, 1, i + 1, true});
    map.sources.push_back(s);
    ASSERT_TRUE(WriteLineMap(P(name + ".olm"), map));
  }
  std::vector<std::string> ModuleSources() {
    LineMap module;
    if (!ReadLineMap(P("a.elm"), module)) return {"(no module map)"};
    std::vector<std::string> paths;
    for (const LineMapSource& s : module.sources) paths.push_back(s.path);
    return paths;
  }
  bool LinkAB() {
    sink.lines.clear();
    return Link({P("a.obj"), P("b.obj")}, BuildOptions{}, sink);
  }
  std::vector<std::string> Notes() const {
    std::vector<std::string> notes;
    for (const std::string& l : sink.lines)
      if (l.rfind(" Error:", 0) != 0 && l.rfind("LINK[", 0) != 0 && l.find("Errors") == std::string::npos)
        notes.push_back(l);
    return notes;
  }
  RecordingSink sink;
};

TEST_F(LineMapFiles, ReadsAreBoundedAndNeverWait) {
  LineMap map;
  EXPECT_EQ(ReadLineMapFile(P("none.elm"), map), LineMapRead::Missing);
  // Larger than any map can be: refused by its size, without reading it (sparse).
  { std::ofstream(P("big.elm")) << "x"; }
  fs::resize_file(dir / "big.elm", kMaxLineMapBytes + 1);
  EXPECT_EQ(ReadLineMapFile(P("big.elm"), map), LineMapRead::TooLarge);
  ASSERT_EQ(mkfifo(P("fifo.elm").c_str(), 0600), 0);  // no writer: a read would wait for ever
  EXPECT_EQ(ReadLineMapFile(P("fifo.elm"), map), LineMapRead::Unreadable);
  fs::create_directory(dir / "dir.elm");
  EXPECT_EQ(ReadLineMapFile(P("dir.elm"), map), LineMapRead::Unreadable);
  { std::ofstream(P("bad.elm")) << "TOLVANE-LINEMAP 1\n"; }
  EXPECT_EQ(ReadLineMapFile(P("bad.elm"), map), LineMapRead::Malformed);
}

// One object's map that is too large, malformed or does not fit where the
// object is placed costs that object's lines and one note; the other's stay.
TEST_F(LineMapFiles, ABadObjectMapCostsOnlyItsOwnLines) {
  const std::string tooLarge = Cp932Text(u8"は大きすぎるため読み込めません。行の情報なしで続けます。");
  const std::string unreadable = Cp932Text(u8"は行対応表として読めません。行の情報なしで続けます。");
  struct Case {
    const char* what;
    std::function<void()> spoil;  // makes b.olm bad
    std::string note;
  } cases[] = {
      {"over the size limit",
       [&] {
         std::ofstream(P("b.olm"), std::ios::app) << "x";
         fs::resize_file(dir / "b.olm", kMaxLineMapBytes + 1);
       },
       tooLarge},
      {"a run count wrapping past 2^32",
       [&] {
         LineMap map;
         ASSERT_TRUE(ReadLineMap(P("b.olm"), map));
         std::string text = FormatLineMap(map);
         text.replace(text.find("RUN 0000 1 1 C"), 14, "RUN 0001 4294967295 1 C");
         std::ofstream(P("b.olm"), std::ios::trunc) << text;
       },
       unreadable},
      {"a run that fits the object but not its place",
       [&] {
         LineMap map;
         ASSERT_TRUE(ReadLineMap(P("b.olm"), map));
         map.sources[0].runs.push_back({0xFFF0, 0x10, 9, true});
         ASSERT_TRUE(WriteLineMap(P("b.olm"), map));
       },
       unreadable},
      {"a folder", [&] { fs::remove(dir / "b.olm"), fs::create_directory(dir / "b.olm"); }, unreadable},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir / "b.olm");
    ObjectWithMap("a", 3, "a.cas");
    ObjectWithMap("b", 2, "b.cas");
    c.spoil();
    ASSERT_TRUE(LinkAB()) << c.what;
    EXPECT_EQ(Notes(), std::vector<std::string>{" " + P("b.olm") + c.note}) << c.what;
    EXPECT_EQ(ModuleSources(), std::vector<std::string>{"a.cas"}) << c.what;
  }
  // Both good: both sources, no note.
  fs::remove_all(dir / "b.olm");
  ObjectWithMap("b", 2, "b.cas");
  ASSERT_TRUE(LinkAB());
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(ModuleSources(), (std::vector<std::string>{"a.cas", "b.cas"}));
}

// A folder, FIFO or device named like the module's map is neither removed nor
// replaced: the link says so and goes on.
TEST_F(LineMapFiles, NodesNamedLikeTheMapStay) {
  ObjectWithMap("a", 3, "a.cas");
  ObjectWithMap("b", 2, "b.cas");
  struct Case {
    const char* what;
    std::function<void()> make;
    PathKind kind;
  } cases[] = {
      {"an empty folder", [&] { fs::create_directory(dir / "a.elm"); }, PathKind::Folder},
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(P("a.elm").c_str(), 0600), 0); }, PathKind::Fifo},
  };
  for (const Case& c : cases) {
    c.make();
    ASSERT_TRUE(LinkAB()) << c.what;
    EXPECT_EQ(KindOfPath(P("a.elm")), c.kind) << c.what;
    EXPECT_EQ(Notes(), std::vector<std::string>{" " + P("a.elm") + RefusedOutputText(c.kind)}) << c.what;
    // Without any lines the stale map would be removed: a node is not.
    fs::remove(dir / "a.olm");
    fs::remove(dir / "b.olm");
    ASSERT_TRUE(LinkAB()) << c.what;
    EXPECT_EQ(KindOfPath(P("a.elm")), c.kind) << c.what;
    fs::remove(dir / "a.elm");
    ObjectWithMap("a", 3, "a.cas");
    ObjectWithMap("b", 2, "b.cas");
  }
}

}  // namespace
}  // namespace tolvane::test
