// The build steps and commands over recording tools: which entries are
// assembled, the refusals (and that nothing ran before them), the order of the
// steps, the boxes and the names of what is built and run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "BuildTestSupport.h"
#include "build/Builder.h"
#include "common/ChangeExtension.h"

using namespace tolvane;
using namespace tolvane::build;
using namespace tolvane::test;

namespace {

struct Fixture {
  ScratchFolder dir;
  std::vector<std::string> events;
  FakeTools tools;
  RecordingSink sink;
  RecordingListings listings;
  Builder builder{tools, sink, &listings};
  BuildOptions options;
  Project project;
  Workspace workspace;

  Fixture() {
    tools.events = &events;
    sink.events = &events;
    listings.events = &events;
  }
  // A saved project read from `bytes` (its entries as the dialog would hold them).
  void OpenProject(const std::string& bytes) {
    dir.Write("p.mak", bytes);
    std::vector<std::string> entries;
    ReadEntries(dir.Path("p.mak"), entries);
    project.Opened(dir.Path("p.mak"), entries);
  }
  void Page(const std::string& path, bool modified = false) {
    workspace.pages.push_back({path, modified});
    workspace.currentPage = static_cast<int>(workspace.pages.size());
  }
};

Notice Err(const char8_t* text) { return {NoticeKind::Error, Cp932Text(text)}; }
Notice Err(const std::string& cp932) { return {NoticeKind::Error, cp932}; }

}  // namespace

TEST(Builder, ProjectBuildAssemblesSourcesInFileOrderAndLinksEveryEntry) {
  Fixture f;
  for (const char* name : {"main.cas", "lib.obj", "SUB.CAS", "x.cas.obj", "Mixed.Cas"}) f.dir.Write(name, "x");
  f.OpenProject("main.cas\r\nlib.obj\r\nSUB.CAS\r\nx.cas.obj\r\nMixed.Cas\r\n");
  const BuildResult r = f.builder.BuildCommand(f.workspace, f.project, f.options);
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(r.assembled, kStepSucceeded);
  EXPECT_EQ(r.linked, kStepSucceeded);
  EXPECT_FALSE(r.notice);
  const std::string d = f.dir.Folder();
  EXPECT_EQ(f.events, (std::vector<std::string>{"close listings", "clear", "assemble " + d + "main.cas",
                                                "listing " + d + "main.cas", "assemble " + d + "SUB.CAS",
                                                "listing " + d + "SUB.CAS", "assemble " + d + "Mixed.Cas",
                                                "listing " + d + "Mixed.Cas", "link " + d + "main.cas"}));
  ASSERT_EQ(f.tools.linked.size(), 1u);
  EXPECT_EQ(f.tools.linked[0],
            (std::vector<std::string>{d + "main.cas", d + "lib.obj", d + "SUB.CAS", d + "x.cas.obj", d + "Mixed.Cas"}));
  EXPECT_EQ(r.target, d + "main.cas");
  // Without listings none is opened.
  f.options.listing = 0;
  f.listings.opened.clear();
  f.builder.BuildCommand(f.workspace, f.project, f.options);
  EXPECT_TRUE(f.listings.opened.empty());
}

TEST(Builder, AFailedSourceStillLetsTheOthersAssembleButStopsTheLink) {
  Fixture f;
  for (const char* name : {"a.cas", "b.cas", "c.cas"}) f.dir.Write(name, "x");
  f.OpenProject("a.cas\r\nb.cas\r\nc.cas\r\n");
  f.tools.failing = {f.dir.Path("a.cas")};
  const BuildResult r = f.builder.BuildCommand(f.workspace, f.project, f.options);
  EXPECT_EQ(f.tools.assembled.size(), 3u);
  EXPECT_EQ(f.listings.opened.size(), 3u);  // the failed one's listing too
  EXPECT_TRUE(f.tools.linked.empty());
  EXPECT_EQ(r.assembled, kStepFailed);
  EXPECT_EQ(r.linked, kStepNotRun);
  EXPECT_EQ(r.notice, Err(u8"アセンブル中にエラーが発生しました。"));
  // A failing link after a good assembly.
  f.tools.failing.clear();
  f.tools.linkResult = false;
  const BuildResult l = f.builder.BuildCommand(f.workspace, f.project, f.options);
  EXPECT_EQ(l.assembled, kStepSucceeded);
  EXPECT_EQ(l.linked, kStepFailed);
  EXPECT_EQ(l.notice, Err(u8"リンク中にエラーが発生しました。"));
  EXPECT_FALSE(l.Succeeded());
}

TEST(Builder, RefusalsComeBeforeAnyToolRunsInTheirOrder) {
  struct Case {
    const char* what;
    std::string project;  // the .mak bytes ("" for no project file at all)
    bool modifiedPage;
    bool modifiedProject;
    Notice notice;
  };
  const std::string mak = "p.mak";
  const Case cases[] = {
      {"modified page first",
       "main.cas\r\n",
       true,
       true,
       {NoticeKind::Warning, Cp932Text(u8"page.casを保存してください。")}},
      {"then the modified project", "main.cas\r\n", false, true, {NoticeKind::Warning, ""}},
      {"an entry missing on disk", "main.cas\r\ngone.cas\r\n", false, false, Err(u8"gone.casが存在しません。")},
      {"an entry outside the folder", "main.cas\r\n../main.cas\r\n", false, false,
       Err(u8"\tの2行目の../main.casはプロジェクトファイルと同じディレクトリのファイル名ではありません。")},
      {"an absolute entry", "/tmp/main.cas\r\n", false, false,
       Err(u8"\tの1行目の/tmp/main.casはプロジェクトファイルと同じディレクトリのファイル名ではありません。")},
      {"an empty line", "main.cas\r\n\r\n", false, false, {NoticeKind::Error, ""}},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.dir.Write("main.cas", "x");
    f.OpenProject(c.project);
    if (c.modifiedProject) f.project.MarkModified();
    f.Page("page.cas", c.modifiedPage);
    Notice want = c.notice;
    if (want.text.empty() && want.kind == NoticeKind::Warning)
      want.text = f.dir.Path(mak) + Cp932Text(u8"を保存してください。");
    if (want.text.empty()) want.text = f.dir.Path(mak) + Cp932Text(u8"の2行目が空です。");
    if (want.text[0] == '\t') want.text = f.dir.Path(mak) + want.text.substr(1);  // (the project's path first)
    const BuildResult r = f.builder.BuildCommand(f.workspace, f.project, f.options);
    EXPECT_EQ(r.assembled, kStepRefused) << c.what;
    EXPECT_EQ(r.notice, want) << c.what;
    EXPECT_TRUE(f.tools.assembled.empty() && f.tools.linked.empty()) << c.what;
    EXPECT_EQ(f.sink.clears, 0) << c.what;  // the message window keeps the last build's lines
    // Link reads the same file with the same checks (it does not look at pages
    // nor at missing files: the linker reports those).
    if (!c.modifiedPage && std::string(c.what) != "an entry missing on disk") {
      const BuildResult l = f.builder.LinkCommand(f.workspace, f.project, f.options);
      EXPECT_EQ(l.linked, kStepRefused) << c.what;
      EXPECT_EQ(l.notice, want) << c.what;
      EXPECT_TRUE(f.tools.linked.empty()) << c.what;
    }
  }
}

TEST(Builder, AnUnreadableProjectFileIsTheSystemsFailure) {
  Fixture f;
  f.OpenProject("main.cas\r\n");
  std::filesystem::remove(f.dir.Path("p.mak"));
  const BuildResult r = f.builder.BuildCommand(f.workspace, f.project, f.options);
  EXPECT_EQ(r.assembled, kStepRefused);
  ASSERT_TRUE(r.notice);
  EXPECT_EQ(r.notice->kind, NoticeKind::Failure);
  EXPECT_EQ(r.notice->text.rfind(f.dir.Path("p.mak") + ": ", 0), 0u);
}

TEST(Builder, AProjectWrittenWithOtherLetterCaseBuildsTheFilesOnDisk) {
  Fixture f;
  f.dir.Write("main.cas", "x");
  f.dir.Write("sub.obj", "x");
  f.OpenProject("MAIN.CAS\r\nSUB.OBJ\r\n");
  const BuildResult r = f.builder.RunCommand(f.workspace, f.project, f.options);
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(f.tools.assembled, std::vector<std::string>{f.dir.Path("main.cas")});
  EXPECT_EQ(f.tools.linked[0], (std::vector<std::string>{f.dir.Path("main.cas"), f.dir.Path("sub.obj")}));
  EXPECT_EQ(r.target, f.dir.Path("main.cas"));
}

TEST(Builder, SingleFileStepsUseTheCurrentPage) {
  Fixture f;
  // No page at all.
  EXPECT_EQ(f.builder.AssembleCommand(f.workspace, f.options).notice, Err(u8"アセンブルできません。"));
  EXPECT_EQ(f.builder.BuildCommand(f.workspace, f.project, f.options).notice, Err(u8"アセンブルできません。"));
  EXPECT_EQ(f.builder.LinkCommand(f.workspace, f.project, f.options).notice, Err(u8"リンクできません。"));
  EXPECT_EQ(f.builder.RunCommand(f.workspace, f.project, f.options).notice, Err(u8"アセンブルできません。"));
  EXPECT_TRUE(f.tools.assembled.empty() && f.tools.linked.empty());
  f.events.clear();
  // Assemble looks at the current page only; Build at every page.
  f.Page("other.cas", true);
  f.Page(f.dir.Path("a.cas"));
  BuildResult r = f.builder.AssembleCommand(f.workspace, f.options);
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(f.events, (std::vector<std::string>{"close listings", "clear", "assemble " + f.dir.Path("a.cas"),
                                                "listing " + f.dir.Path("a.cas")}));
  r = f.builder.BuildCommand(f.workspace, f.project, f.options);
  EXPECT_EQ(r.notice, (Notice{NoticeKind::Warning, Cp932Text(u8"other.casを保存してください。")}));
  // Link does not care about modified pages.
  f.events.clear();
  r = f.builder.LinkCommand(f.workspace, f.project, f.options);
  EXPECT_EQ(f.events, (std::vector<std::string>{"clear", "link " + f.dir.Path("a.cas")}));
  // With a project open, Assemble still takes the current page.
  f.dir.Write("main.cas", "x");
  f.OpenProject("main.cas\r\n");
  f.tools.assembled.clear();
  f.builder.AssembleCommand(f.workspace, f.options);
  EXPECT_EQ(f.tools.assembled, std::vector<std::string>{f.dir.Path("a.cas")});
}

TEST(Builder, TargetsOfRunExeAndDebugStart) {
  Fixture f;
  std::string target;
  EXPECT_EQ(RunExeTarget(f.workspace, f.project, target), Err(u8"実行できません。"));
  EXPECT_EQ(DebugStartTarget(f.workspace, f.project, target), Err(u8"実行できません。"));
  // A single file needs its load module for Debug Start, not for Run EXE.
  f.Page(f.dir.Path("a.cas"));
  EXPECT_FALSE(RunExeTarget(f.workspace, f.project, target));
  EXPECT_EQ(target, f.dir.Path("a.cas"));
  EXPECT_EQ(DebugStartTarget(f.workspace, f.project, target),
            Err(f.dir.Path("a.exe") + Cp932Text(u8"が存在しません。")));
  f.dir.Write("a.exe", "x");
  EXPECT_FALSE(DebugStartTarget(f.workspace, f.project, target));
  // With a project: its folder and main routine, the load module unchecked.
  f.OpenProject("Main.cas\r\nsub.cas\r\n");
  EXPECT_FALSE(DebugStartTarget(f.workspace, f.project, target));
  EXPECT_EQ(target, f.dir.Path("Main.cas"));
  EXPECT_EQ(ChangeExtension(Target(f.workspace, f.project), ".exe"), f.dir.Path("Main.exe"));
}

TEST(Builder, ProjectOpenChecksEveryEntryOnDisk) {
  ScratchFolder dir;
  dir.Write("a.cas", "x");
  dir.Write("b.obj", "x");
  dir.Write("p.mak", "a.cas\r\nb.obj\r\nc.cas\r\n");
  std::vector<std::string> entries;
  EXPECT_EQ(ReadProjectForOpen(dir.Path("p.mak"), entries),
            Err(Cp932Text(u8"c.casが存在しません。") + "\n" + Cp932Text(u8"同じディレクトリに追加してください。")));
  EXPECT_TRUE(entries.empty());
  dir.Write("C.CAS", "x");
  EXPECT_FALSE(ReadProjectForOpen(dir.Path("p.mak"), entries));
  EXPECT_EQ(entries, (std::vector<std::string>{"a.cas", "b.obj", "c.cas"}));
}

// A refused line is named by the project file and its line number, cut when
// long, with control bytes and stray CP932 bytes shown as \xNN: the message
// stays short and never carries an escape sequence, a NUL or a lead byte
// that would swallow the text after it.
TEST(Builder, ARefusedEntryIsShownShortAndHarmless) {
  const std::string tail = Cp932Text(u8"はプロジェクトファイルと同じディレクトリのファイル名ではありません。");
  struct Case {
    const char* what;
    std::string line;
    std::string shown;
  } cases[] = {
      {"an escape sequence", "a\x1B]0;owned\x07.cas", "a\\x1B]0;owned\\x07.cas"},
      {"a NUL byte", std::string("a\0b/c", 5), "a\\x00b/c"},
      {"a trailing lead byte", "dir/\x83", "dir/\\x83"},
      {"a lead byte before a byte that cannot follow it", "x/\x83\x09", "x/\\x83\\x09"},
      {"whole characters kept", Cp932Text(u8"../メイン.cas"), Cp932Text(u8"../メイン.cas")},
      {"a 10 MB line", "../" + std::string(10 * 1024 * 1024, 'a'), "../" + std::string(77, 'a') + Cp932Text(u8"…")},
      {"a cut after a whole character", "../" + std::string(75, 'a') + Cp932Text(u8"ソース"),
       "../" + std::string(75, 'a') + Cp932Text(u8"ソ…")},
      {"a cut that would split a character", "../" + std::string(76, 'a') + Cp932Text(u8"ソース"),
       "../" + std::string(76, 'a') + Cp932Text(u8"…")},
  };
  for (const Case& c : cases) {
    ScratchFolder dir;
    dir.Write("p.mak", "main.cas\r\n" + c.line + "\r\n");
    std::vector<std::string> entries;
    EXPECT_EQ(ReadEntries(dir.Path("p.mak"), entries),
              Err(dir.Path("p.mak") + Cp932Text(u8"の2行目の") + c.shown + tail))
        << c.what;
  }
}

// Something that is not a file, where a file is read, is named as what it is
// (it used to be reported as missing). Nothing blocks on a FIFO.
TEST(Builder, InputsThatAreNotFilesSayWhatTheyAre) {
  Fixture f;
  f.dir.Write("main.cas", "x");
  std::filesystem::create_directory(f.dir.Path("dir.cas"));
  ASSERT_EQ(mkfifo(f.dir.Path("fifo.obj").c_str(), 0600), 0);
  const std::string folder = Cp932Text(u8"はフォルダのため読み込めません。");
  const std::string fifo = Cp932Text(u8"は名前付きパイプのため読み込めません。");
  // Files on a command line.
  EXPECT_EQ(f.builder.BuildFiles({f.dir.Path("dir.cas")}, f.options).notice, Err(f.dir.Path("dir.cas") + folder));
  EXPECT_EQ(f.builder.BuildFiles({f.dir.Path("main.cas"), f.dir.Path("fifo")}, f.options).notice,
            Err(f.dir.Path("fifo.obj") + fifo));
  // Project entries, at a build and at Project Open.
  f.OpenProject("main.cas\r\ndir.cas\r\nfifo.obj\r\n");
  EXPECT_EQ(f.builder.BuildCommand(f.workspace, f.project, f.options).notice, Err("dir.cas" + folder));
  std::vector<std::string> entries;
  EXPECT_EQ(ReadProjectForOpen(f.dir.Path("p.mak"), entries), Err("dir.cas" + folder));
  // The project file itself.
  ASSERT_EQ(mkfifo(f.dir.Path("q.mak").c_str(), 0600), 0);
  EXPECT_EQ(ReadEntries(f.dir.Path("q.mak"), entries), (Notice{NoticeKind::Failure, f.dir.Path("q.mak") + fifo}));
  // Debug Start's load module.
  std::filesystem::create_directory(f.dir.Path("prog.exe"));
  Workspace one;
  one.pages.push_back({f.dir.Path("prog.cas"), false});
  one.currentPage = 1;
  std::string target;
  EXPECT_EQ(DebugStartTarget(one, Project(), target), Err(f.dir.Path("prog.exe") + folder));
}

TEST(Builder, FilesFromACommandLineFollowTheSameRules) {
  Fixture f;
  f.dir.Write("m.CAS", "x");
  f.dir.Write("s.obj", "x");
  BuildResult r = f.builder.BuildFiles({f.dir.Path("m.CAS"), f.dir.Path("s")}, f.options);
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(f.tools.assembled, std::vector<std::string>{f.dir.Path("m.CAS")});
  EXPECT_EQ(f.tools.linked[0], (std::vector<std::string>{f.dir.Path("m.CAS"), f.dir.Path("s")}));
  EXPECT_EQ(r.target, f.dir.Path("m.CAS"));
  f.tools.assembled.clear();
  r = f.builder.BuildFiles({f.dir.Path("m.CAS"), f.dir.Path("t.obj")}, f.options);
  EXPECT_EQ(r.notice, Err(f.dir.Path("t.obj") + Cp932Text(u8"が存在しません。")));
  EXPECT_TRUE(f.tools.assembled.empty());
}

TEST(Builder, TheRealToolsBuildATwoFileProjectNamedAfterItsMainRoutine) {
  ScratchFolder dir;
  const std::string cases = std::string(TOLVANE_SOURCE_DIR) + "/tests/e2e/run/cases/";
  std::filesystem::copy_file(cases + "twomain.cas", dir.Path("twomain.cas"));
  std::filesystem::copy_file(cases + "twosub.cas", dir.Path("twosub.cas"));
  dir.Write("p.mak", "twomain.cas\r\ntwosub.cas\r\n");
  std::vector<std::string> entries;
  ASSERT_FALSE(ReadProjectForOpen(dir.Path("p.mak"), entries));
  Project project;
  project.Opened(dir.Path("p.mak"), entries);
  CoreTools tools;
  RecordingSink sink;
  Builder builder(tools, sink);
  const BuildResult r = builder.BuildCommand({}, project, BuildOptions{});
  EXPECT_TRUE(r.Succeeded());
  for (const char* name : {"twomain.obj", "twosub.obj", "twomain.lst", "twosub.lst", "twomain.exe", "twomain.sym"})
    EXPECT_TRUE(IsFile(dir.Path(name))) << name;
  EXPECT_FALSE(IsFile(dir.Path("twosub.exe")));
}

// A project file named on a command line and the IDE's open project build
// from one plan: the same steps, boxes and program for every kind of project.
TEST(Builder, ACommandLineProjectBuildsAsTheOpenProjectDoes) {
  const std::string projects[] = {
      "main.cas\r\nlib.obj\r\nSUB.CAS\r\n",  // sources and an object, other letter case
      "main.cas\r\ngone.cas\r\n",            // a missing entry: refused by its name
      "main.cas\r\n../main.cas\r\n",         // outside the folder
      "main.cas\r\n\r\nlib.obj\r\n",         // an empty line
      "",                                    // no entries: nothing assembled, the link says so
  };
  for (const std::string& mak : projects) {
    Fixture ide, cli;
    for (Fixture* f : {&ide, &cli})
      for (const char* name : {"main.cas", "lib.obj", "sub.cas"}) f->dir.Write(name, "x");
    ide.OpenProject(mak);
    cli.dir.Write("p.mak", mak);
    const BuildResult a = ide.builder.BuildCommand(ide.workspace, ide.project, ide.options);
    std::vector<std::string> seen;
    const BuildResult b = cli.builder.BuildProjectFile(cli.dir.Path("p.mak"), cli.options,
                                                       [&](const std::vector<std::string>& e) { seen = e; });
    // Each in its own folder: compared without it.
    const auto bare = [](const Fixture& f, std::string text) {
      for (std::size_t at; (at = text.find(f.dir.Folder())) != std::string::npos;)
        text.erase(at, f.dir.Folder().size());
      return text;
    };
    // (Only the IDE has a listing viewer to close.)
    for (Fixture* f : {&ide, &cli}) std::erase(f->events, "close listings");
    ASSERT_EQ(ide.events.size(), cli.events.size()) << mak;
    for (std::size_t i = 0; i < ide.events.size(); ++i) EXPECT_EQ(bare(ide, ide.events[i]), bare(cli, cli.events[i]));
    EXPECT_EQ(a.assembled, b.assembled) << mak;
    EXPECT_EQ(a.linked, b.linked) << mak;
    ASSERT_EQ(a.notice.has_value(), b.notice.has_value()) << mak;
    if (a.notice) {
      EXPECT_EQ(bare(ide, a.notice->text), bare(cli, b.notice->text)) << mak;
    }
    EXPECT_EQ(bare(ide, a.target), bare(cli, b.target)) << mak;
    if (b.assembled != kStepRefused) {
      EXPECT_EQ(seen, ide.project.Entries()) << mak;
    }
  }
}
