// The project file's bytes, the entry rules and the open project's state.
#include <gtest/gtest.h>

#include "BuildTestSupport.h"
#include "build/Project.h"
#include "build/ProjectFile.h"

using namespace tolvane;
using namespace tolvane::build;
using tolvane::test::ScratchFolder;

namespace {
const std::string kMain = Cp932Text(u8"メイン.cas");  // 83 81 83 43 83 93 ...
const std::string kSo = Cp932Text(u8"ソース.obj");    // ソ is 83 5C: its second byte is a backslash
// Bytes of a literal that holds zero bytes.
template <std::size_t N>
std::string Raw(const char (&s)[N]) {
  return std::string(s, N - 1);
}
}  // namespace

TEST(ProjectFile, WritesCp932LinesEachEndedByCrLfAndReadsThemBack) {
  ScratchFolder dir;
  const std::vector<std::string> entries = {kMain, "sub.CAS", kSo};
  std::string error;
  ASSERT_TRUE(WriteProjectFile(dir.Path("p.mak"), entries, error)) << error;
  EXPECT_EQ(dir.Read("p.mak"), kMain + "\r\nsub.CAS\r\n" + kSo + "\r\n");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadProjectFile(dir.Path("p.mak"), lines, error));
  EXPECT_EQ(lines, entries);
  // Replacing a file leaves no sibling behind; an empty project is an empty file.
  ASSERT_TRUE(WriteProjectFile(dir.Path("p.mak"), {}, error));
  EXPECT_EQ(dir.Read("p.mak"), "");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"p.mak"});
}

TEST(ProjectFile, ReadsEveryLineBreakAndByteOrderMark) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"CR LF", "a.cas\r\nb.obj\r\n", {"a.cas", "b.obj"}},
      {"LF", "a.cas\nb.obj\n", {"a.cas", "b.obj"}},
      {"CR", "a.cas\rb.obj\r", {"a.cas", "b.obj"}},
      {"mixed, no final break", "a.cas\r\nb.obj\nc.cas", {"a.cas", "b.obj", "c.cas"}},
      {"blank line kept", "a.cas\r\n\r\nb.obj\r\n", {"a.cas", "", "b.obj"}},
      {"empty file", "", {}},
      {"UTF-8 mark", "\xEF\xBB\xBF" + Cp932ToUtf8(kMain) + "\r\nx.obj\r\n", {kMain, "x.obj"}},
      {"UTF-16LE mark",
       Raw("\xFF\xFE"
           "a\0.\0c\0a\0s\0\r\0\n\0\xBD\x30\xFC\x30.\0o\0b\0j\0"),
       {"a.cas", Cp932Text(u8"ソー.obj")}},
      {"UTF-16BE mark", Raw("\xFE\xFF\0a\0.\0c\0a\0s\0\n"), {"a.cas"}},
      // Without a mark: valid UTF-8 holding Japanese is UTF-8, anything else CP932.
      {"UTF-8 without a mark", Cp932ToUtf8(kMain) + "\nx.obj\n", {kMain, "x.obj"}},
      {"CP932 Japanese", kMain + "\r\n", {kMain}},
  };
  ScratchFolder dir;
  for (const Case& c : cases) {
    dir.Write("p.mak", c.bytes);
    std::vector<std::string> lines;
    std::string error;
    EXPECT_TRUE(ReadProjectFile(dir.Path("p.mak"), lines, error)) << c.what;
    EXPECT_EQ(lines, c.lines) << c.what;
  }
}

TEST(ProjectFile, ReadFailuresSayWhy) {
  ScratchFolder dir;
  std::vector<std::string> lines;
  std::string error;
  bool unconvertible = true;
  EXPECT_FALSE(ReadProjectFile(dir.Path("none.mak"), lines, error, &unconvertible));
  EXPECT_EQ(error.rfind(dir.Path("none.mak") + ": ", 0), 0u) << error;
  EXPECT_FALSE(unconvertible);
  // A folder is no project file.
  std::filesystem::create_directory(dir.Path("folder.mak"));
  EXPECT_FALSE(ReadProjectFile(dir.Path("folder.mak"), lines, error));
  // A marked file holding a character CP932 has no form for.
  dir.Write("emoji.mak",
            "\xEF\xBB\xBF"
            "a.cas\r\n\xF0\x9F\x98\x80.cas\r\n");
  EXPECT_FALSE(ReadProjectFile(dir.Path("emoji.mak"), lines, error, &unconvertible));
  EXPECT_TRUE(unconvertible);
  // Writing into a missing folder fails and names the file.
  EXPECT_FALSE(WriteProjectFile(dir.Path("no/p.mak"), {"a.cas"}, error));
  EXPECT_EQ(error.rfind(dir.Path("no/p.mak") + ": ", 0), 0u) << error;
}

TEST(EntryRules, OnlyBareNamesInTheProjectFolderAreEntries) {
  struct Case {
    std::string name;
    EntryProblem problem;
  } cases[] = {
      {"main.cas", EntryProblem::None},
      {kMain, EntryProblem::None},
      {kSo, EntryProblem::None},  // 5CH as a second byte is no separator
      {"a b.cas", EntryProblem::None},
      {"", EntryProblem::Empty},
      {".", EntryProblem::NotBareName},
      {"..", EntryProblem::NotBareName},
      {"../up.cas", EntryProblem::NotBareName},
      {"sub/a.cas", EntryProblem::NotBareName},
      {"..\\up.cas", EntryProblem::NotBareName},
      {"/etc/passwd", EntryProblem::NotBareName},
      {"C:main.cas", EntryProblem::NotBareName},
      {"a\tb.cas", EntryProblem::NotBareName},
      {std::string("a\0b", 3), EntryProblem::NotBareName},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckEntryName(c.name), c.problem) << c.name;
}

TEST(EntryRules, SourcesAreTheCasExtensionInAnyCase) {
  struct Case {
    std::string name;
    bool source;
  } cases[] =
      {
          {"a.cas", true},     {"A.CAS", true},  {"a.Cas", true},      {kMain, true},
          {"dir/x.cas", true}, {"a.obj", false}, {"a.cas.obj", false}, {"a.casx", false},
          {"cas", false},      {"a.ca", false},  {".cas", false},  // a leading dot is no extension
          {"x.cas/y", false},
      };
  for (const Case& c : cases) EXPECT_EQ(IsSourceName(c.name), c.source) << c.name;
}

TEST(EntryRules, LetterCaseFoldsOnlyAsciiLettersOutsideDoubleByteCharacters) {
  EXPECT_TRUE(SameNameIgnoringCase("Main.CAS", "main.cas"));
  EXPECT_TRUE(SameNameIgnoringCase(Cp932Text(u8"メインA.cas"), Cp932Text(u8"メインa.CAS")));
  // 83 41 (ア) and 83 61 (ャ) differ only in what would be a letter's case.
  EXPECT_FALSE(SameNameIgnoringCase("\x83\x41.cas", "\x83\x61.cas"));
  EXPECT_FALSE(SameNameIgnoringCase("a.cas", "a.cas "));
}

TEST(EntryRules, EntriesAreFoundByTheirFileSystemNameAndInAnyLetterCase) {
  ScratchFolder dir;
  dir.Write(Cp932ToUtf8(kMain), "M");
  dir.Write("sub.cas", "S");
  dir.Write("Two.cas", "T");
  dir.Write("two.cas", "t");
  EXPECT_EQ(EntryPath(dir.Folder(), kMain), dir.Path(Cp932ToUtf8(kMain)));
  EXPECT_EQ(EntryPath(dir.Folder(), "SUB.CAS"), dir.Path("sub.cas"));  // a project written on Windows
  EXPECT_EQ(EntryPath(dir.Folder(), "Two.cas"), dir.Path("Two.cas"));  // the exact name first
  EXPECT_EQ(EntryPath(dir.Folder(), "TWO.CAS"), dir.Path("Two.cas"));  // then always the same one
  EXPECT_EQ(EntryPath(dir.Folder(), "gone.cas"), dir.Path("gone.cas"));
  // Many entries of one folder: the folder is read once, whatever the case.
  for (int i = 0; i < 50; ++i) dir.Write("m" + std::to_string(i) + ".cas", "x");
  std::vector<std::string> entries = {"SUB.CAS", "TWO.CAS", "gone.cas", kMain};
  for (int i = 0; i < 50; ++i) entries.push_back("M" + std::to_string(i) + ".CAS");
  FolderIndex index(dir.Folder());
  for (const std::string& e : entries) EXPECT_EQ(index.EntryPath(e), EntryPath(dir.Folder(), e)) << e;
  EXPECT_EQ(index.Scans(), 1);
  EXPECT_EQ(EntryPaths(dir.Folder(), entries)[4], dir.Path("m0.cas"));
  FolderIndex exact(dir.Folder());
  exact.EntryPath("sub.cas");
  EXPECT_EQ(exact.Scans(), 0);  // exact names need no reading of the folder
  // A name the file system holds but CP932 cannot is no entry.
  std::string entry;
  EXPECT_FALSE(EntryName("\xF0\x9F\x98\x80.cas", entry));
  EXPECT_TRUE(EntryName(Cp932ToUtf8(kMain), entry));
  EXPECT_EQ(entry, kMain);
}

TEST(Project, EditsKeepTheMainRoutineFirstAndMarkTheProjectModified) {
  Project p;
  EXPECT_FALSE(p.IsOpen());
  EXPECT_EQ(p.FileName(), "Project.Mak");
  p.OpenUnsaved();
  p.Add("a.cas");
  p.Add("b.obj");
  p.Add("C.cas");
  EXPECT_TRUE(p.IsOpen() && p.IsModified());
  EXPECT_EQ(p.MainRoutine(), "a.cas");
  EXPECT_EQ(p.Find("c.CAS"), 2);
  EXPECT_EQ(p.Find("d.cas"), -1);
  EXPECT_TRUE(p.MoveUp(2));
  EXPECT_TRUE(p.MoveUp(1));
  EXPECT_EQ(p.MainRoutine(), "C.cas");
  EXPECT_FALSE(p.MoveUp(0));
  EXPECT_FALSE(p.MoveDown(2));
  EXPECT_TRUE(p.MoveDown(0));
  EXPECT_EQ(p.Entries(), (std::vector<std::string>{"a.cas", "C.cas", "b.obj"}));
  // A renamed file keeps its place.
  EXPECT_TRUE(p.Rename("A.CAS", "main.cas"));
  EXPECT_FALSE(p.Rename("none.cas", "x.cas"));
  EXPECT_EQ(p.MainRoutine(), "main.cas");
  EXPECT_TRUE(p.RemoveAt(0));
  EXPECT_FALSE(p.RemoveAt(5));
  EXPECT_EQ(p.MainRoutine(), "C.cas");
  p.Close();
  EXPECT_FALSE(p.IsOpen() || p.IsModified());
  EXPECT_TRUE(p.Entries().empty());
  EXPECT_EQ(p.MainRoutine(), "");
}

TEST(Project, TheEntryFolderIsTheProjectFilesFolderOnceItHasOne) {
  Project p;
  p.Opened("/a/p.mak", {"x.cas"});
  EXPECT_EQ(p.Directory(), "/a/");
  EXPECT_EQ(p.EntryFolder(), "/a/");
  EXPECT_FALSE(p.IsModified());
  // Saving under another name keeps the folder the entries were found in.
  p.SetFileName("/b/q.mak");
  EXPECT_EQ(p.EntryFolder(), "/a/");
  // Closing keeps the folder; a new project looks in the current folder until
  // it is first saved, which gives it its own folder.
  p.Close();
  EXPECT_EQ(p.Directory(), "/a/");
  p.OpenUnsaved();
  EXPECT_EQ(p.EntryFolder(), "");
  p.SetFileName("/c/n.mak");
  EXPECT_EQ(p.EntryFolder(), "/c/");
}
