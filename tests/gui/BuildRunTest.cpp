// The build and run commands over a stand-in core: which files take part, the
// refusals with their boxes, the message window, and the items they switch.
#include <QLabel>
#include <QStatusBar>
#include <QtTest>

#include "forms/UiFonts.h"
#include "forms/frmMessage_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
std::vector<std::string> PathsAsBytes(const QStringList& paths) {
  std::vector<std::string> out;
  for (const QString& p : paths) out.push_back(QFile::encodeName(p).toStdString());
  return out;
}
}  // namespace

class BuildRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void assembleRefusesWithoutASavedPage() {
    ShellFixture f;
    f.Main()->AssembleCurrent();
    f.Main()->RunCommand("mnuNew");
    // Offered to save first; declined, the command refuses as it always did.
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuAssemble");
    QCOMPARE(f.dialogs.boxes.size(), 3);
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QCOMPARE(f.dialogs.boxes[0].text, UiText(u8"アセンブルできません。"));
    QCOMPARE(f.dialogs.boxes[1].text, UiText(u8"Noname1.casに変更を保存しますか？"));
    QCOMPARE(f.dialogs.boxes[2].kind, BoxKind::Warning);
    QCOMPARE(f.dialogs.boxes[2].text, UiText(u8"Noname1.casを保存してください。"));
    QVERIFY(f.fake.assembled.isEmpty());
    QVERIFY(!f.Main()->IsEnabled("mnuLink"));
  }

  void assembleClearsMessagesAndEnablesLink() {
    ShellFixture f;
    const QString a = f.Write("a.cas", "A");
    QVERIFY(f.Main()->OpenPath(a));
    f.Main()->Windows().message->AppendMessageLine("old line");
    f.Main()->RunCommand("mnuAssemble");
    QCOMPARE(f.fake.assembled, QStringList({a}));
    QCOMPARE(f.Main()->Windows().message->Lines().size(), size_t(1));
    QVERIFY(f.Main()->IsEnabled("mnuLink"));
    QVERIFY(f.dialogs.boxes.isEmpty());
    // A failing assembly: the error box, Link stays as it was.
    f.fake.assembleResult = false;
    f.Main()->RunCommand("mnuAssemble");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"アセンブル中にエラーが発生しました。")}));
  }

  void buildOffersToSaveTheOtherPages() {
    ShellFixture f;
    const QString a = f.Write("a.cas", "A"), b = f.Write("b.cas", "B");
    QVERIFY(f.Main()->OpenPath(b));
    f.Editor()->PageEditor(1)->insertPlainText("X");  // another page, unsaved
    QVERIFY(f.Main()->OpenPath(a));
    f.dialogs.Answer(BoxAnswer::Yes);
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.dialogs.Texts(), QStringList({b + UiText(u8"に変更を保存しますか？")}));
    QCOMPARE(f.Read(b), QByteArray("XB"));
    QVERIFY(!f.Editor()->PageModified(1));
    QCOMPARE(f.fake.assembled, QStringList({a}));
    QCOMPARE(f.fake.linked.size(), size_t(1));
    QVERIFY(f.dialogs.AllAnswersUsed());
  }

  void debugStartKeyBeforeAnyBuildSaysWhyAndOffersToBuild() {
    ShellFixture f;
    QVERIFY(!f.Main()->IsEnabled("mnuDebugStart"));
    auto* key = f.Main()->findChild<QAction*>(QStringLiteral("actDebugStartUnavailable"));
    QVERIFY(key);
    QCOMPARE(key->shortcut(), QKeySequence(Qt::Key_F4));
    key->trigger();
    QCOMPARE(f.dialogs.Texts(),
             QStringList{UiText(u8"デバッグするプログラムがありません。ソースファイルを開いてビルド(Ctrl+F9)すると、"
                                u8"デバッグを開始(F4)できます。")});
    const QString a = f.Write("a.cas", "A");
    QVERIFY(f.Main()->OpenPath(a));
    // No: nothing is built.
    f.dialogs.Clear();
    f.dialogs.Answer(BoxAnswer::No);
    key->trigger();
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"まだビルドしていません。ビルドしてデバッグを開始しますか？")});
    QVERIFY(f.fake.assembled.isEmpty());
    // Yes: built, linked and started.
    f.Write("a.exe", "X");  // what the stand-in linker would have written
    f.dialogs.Answer(BoxAnswer::Yes);
    key->trigger();
    QCOMPARE(f.fake.assembled, QStringList({a}));
    QCOMPARE(f.fake.debugged.size(), 1);
    QCOMPARE(f.dialogs.Texts().size(), 2);
    QVERIFY(f.dialogs.AllAnswersUsed());
    // Once Debug Start is on, F4 is its key alone.
    QVERIFY(f.Main()->IsEnabled("mnuDebugStart"));
    QVERIFY(key->shortcut().isEmpty());
  }

  void waitingForInputShowsInTheStatusLine() {
    ShellFixture f;
    auto* waiting = f.Main()->statusBar()->findChild<QLabel*>(QStringLiteral("lblInputWaiting"));
    QVERIFY(waiting);
    QVERIFY(!waiting->isVisible());
    TfrmStandardIo* console = f.Main()->Windows().standardIo;
    console->ConsoleBeginInput();
    QVERIFY(waiting->isVisible());
    QVERIFY(waiting->text().startsWith(UiText(u8"入力待ち")));
    console->ConsoleCancelInput();
    QVERIFY(!waiting->isVisible());
  }

  void linkWithoutAPageAndItsOutcomes() {
    ShellFixture f;
    f.Main()->RunCommand("mnuLink");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"リンクできません。")}));
    const QString a = f.Write("a.cas", "A");
    QVERIFY(f.Main()->OpenPath(a));
    // Link does not care about unsaved text: it links what is on disk.
    f.Editor()->PageEditor(1)->insertPlainText("x");
    f.Main()->RunCommand("mnuLink");
    QCOMPARE(f.fake.linked.size(), size_t(1));
    QCOMPARE(f.fake.linked[0], PathsAsBytes({a}));
    for (const char* n : {"mnuRunExe", "mnuDebugStart", "smnuDebugStart"}) QVERIFY(f.Main()->IsEnabled(n));
    f.fake.linkResult = false;
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuLink");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"リンク中にエラーが発生しました。")}));
  }

  void buildChecksEveryPageAndStopsAfterAFailedAssembly() {
    ShellFixture f;
    const QString a = f.Write("a.cas", "A");
    f.Main()->RunCommand("mnuNew");  // modified, not the page being built
    QVERIFY(f.Main()->OpenPath(a));
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.dialogs.Texts(),
             QStringList({UiText(u8"Noname1.casに変更を保存しますか？"), UiText(u8"Noname1.casを保存してください。")}));
    QVERIFY(f.fake.assembled.isEmpty());
    // Cancel: nothing more is said, nothing is built.
    f.dialogs.Clear();
    f.dialogs.Answer(BoxAnswer::Cancel);
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"Noname1.casに変更を保存しますか？")}));
    QVERIFY(f.fake.assembled.isEmpty());
    f.dialogs.Clear();
    f.dialogs.Answer(BoxAnswer::No);
    f.Editor()->ActivatePage(1);
    f.Main()->RunCommand("mnuClose");
    f.fake.assembleResult = false;
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"Noname1.casに変更を保存しますか？"),
                                             UiText(u8"アセンブル中にエラーが発生しました。")}));
    QVERIFY(f.fake.linked.empty());
    f.fake.assembleResult = true;
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.fake.linked.size(), size_t(1));
    for (const char* n : {"mnuLink", "mnuRunExe", "mnuDebugStart", "smnuDebugStart"}) QVERIFY(f.Main()->IsEnabled(n));
    // The linker's lines follow the assembler's.
    const auto& lines = f.Main()->Windows().message->Lines();
    QCOMPARE(lines.size(), size_t(2));
    QVERIFY(lines[0].rfind("Assemble[", 0) == 0 && lines[1].rfind("LINK[", 0) == 0);
  }

  void runHoldsTheBuildItemsWhileTheProgramRuns() {
    ShellFixture f;
    f.Main()->RunCommand("mnuRun");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"アセンブルできません。")}));
    const QString a = f.Write("a.cas", "A");
    QVERIFY(f.Main()->OpenPath(a));
    QStringList enabledDuringRun;
    f.fake.duringRun = [&] {
      for (const QString& n : TfrmMain::RunHoldGroup())
        if (f.Main()->IsEnabled(n)) enabledDuringRun << n;
      QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Message), UiText(u8"標準入出力"));
      QVERIFY(f.Main()->IsRunning());
    };
    f.Main()->RunCommand("mnuRun");
    QCOMPARE(f.fake.ran, QStringList({a}));
    QVERIFY(enabledDuringRun.isEmpty());
    for (const QString& n : TfrmMain::RunHoldGroup()) QVERIFY2(f.Main()->IsEnabled(n), qPrintable(n));
    // Run EXE runs without building.
    f.fake.assembled.clear();
    f.Main()->RunCommand("mnuRunExe");
    QCOMPARE(f.fake.ran.size(), 2);
    QVERIFY(f.fake.assembled.isEmpty());
  }

  void runAndRunExeRefuseWhileDebugging() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    f.fake.debugging = true;
    f.Main()->RunCommand("mnuRun");
    f.Main()->RunCommand("mnuRunExe");
    const QString refusal = UiText(u8"デバッグ中です。デバッグを終了してから実行してください。");
    QCOMPARE(f.dialogs.Texts(), QStringList({refusal, refusal}));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Information);
    QVERIFY(f.fake.ran.isEmpty() && f.fake.assembled.isEmpty());
  }

  void runExeAndDebugStartWithoutATarget() {
    ShellFixture f;
    f.Main()->RunCommand("mnuRunExe");
    f.Main()->RunCommand("mnuDebugStart");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"実行できません。"), UiText(u8"実行できません。")}));
    const QString a = f.Write("a.cas", "A");
    QVERIFY(f.Main()->OpenPath(a));
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuDebugStart");
    QCOMPARE(f.dialogs.Texts(), QStringList({f.Path("a.exe") + UiText(u8"が存在しません。")}));
    f.Write("a.exe", "x");
    f.Main()->RunCommand("mnuDebugStart");
    QCOMPARE(f.fake.debugged, QStringList({a}));
  }

  void doubleClickOnADiagnosticShowsItsSourceLine() {
    ShellFixture f;
    const QString a = f.Write("a.cas", "L1\r\nL2\r\nL3\r\nL4\r\n");
    QVERIFY(f.Main()->OpenPath(a));
    f.fake.assembleResult = false;
    f.fake.diagnostics = {{3, Severity::Error, " (  3) : Error  something"}, {0, Severity::Info, "   1 Errors"}};
    f.Main()->RunCommand("mnuAssemble");
    f.Main()->RunCommand("mnuListingFile");
    QVERIFY(f.Main()->Windows().message->ActivateLine(1));
    QCOMPARE(f.Editor()->PageEditor(1)->textCursor().blockNumber(), 2);
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"ソースコード"));
    // The source is opened again when it was closed meanwhile.
    QVERIFY(f.Main()->OpenPath(f.Write("b.cas", "B")));
    f.Editor()->ActivatePage(1);
    f.Main()->RunCommand("mnuClose");
    QCOMPARE(f.Editor()->PagePath(1), f.Path("b.cas"));
    QVERIFY(f.Main()->Windows().message->ActivateLine(1));
    QCOMPARE(f.Editor()->OpenCount(), 2);
    QCOMPARE(f.Editor()->CurrentPage(), 2);
    QCOMPARE(f.Editor()->PageEditor(2)->textCursor().blockNumber(), 2);
  }

  void projectBuildAssemblesSourcesAndLinksEveryEntry() {
    ShellFixture f;
    f.Write("main.cas", "M");
    f.Write("sub.cas", "S");
    f.Write("lib.obj", "O");
    f.Write("p.mak", "main.cas\r\nlib.obj\r\nsub.cas\r\n");
    QVERIFY(f.Main()->OpenProjectPath(f.Path("p.mak")));
    f.fake.assembleResult = false;  // every assembly fails, each is still tried
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.fake.assembled, QStringList({f.Path("main.cas"), f.Path("sub.cas")}));
    QVERIFY(f.fake.linked.empty());
    f.fake.assembleResult = true;
    f.fake.assembled.clear();
    f.Main()->RunCommand("mnuRun");
    QCOMPARE(f.fake.linked.size(), size_t(1));
    QCOMPARE(f.fake.linked[0], PathsAsBytes({f.Path("main.cas"), f.Path("lib.obj"), f.Path("sub.cas")}));
    QCOMPARE(f.fake.ran, QStringList({f.Path("main.cas")}));
    // A missing entry is reported before anything is assembled.
    f.Write("p.mak", "main.cas\r\ngone.cas\r\n");
    f.fake.assembled.clear();
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"gone.casが存在しません。")}));
    QVERIFY(f.fake.assembled.isEmpty());
    // So is an entry that names a folder, said as such; a blank line in the
    // middle is named by its number, and an entry outside the folder is no
    // entry at all.
    QVERIFY(QDir(f.Dir()).mkdir("folder.cas"));
    const std::pair<const char*, QString> refusals[] = {
        {"main.cas\r\nfolder.cas\r\n", UiText(u8"folder.casはフォルダのため読み込めません。")},
        {"main.cas\r\n\r\nsub.cas\r\n", f.Path("p.mak") + UiText(u8"の2行目が空です。")},
        {"main.cas\r\n../sub.cas\r\n",
         f.Path("p.mak") +
             UiText(u8"の2行目の../sub.casはプロジェクトファイルと同じディレクトリのファイル名ではありません。")},
    };
    for (const auto& [project, text] : refusals) {
      f.Write("p.mak", project);
      f.dialogs.Clear();
      f.Main()->RunCommand("mnuBuild");
      QCOMPARE(f.dialogs.boxes.size(), 1);
      QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
      QCOMPARE(f.dialogs.boxes[0].text, text);
      QVERIFY(f.fake.assembled.isEmpty());
    }
    // A modified project blocks Build and Link.
    f.Main()->MarkProjectModified();
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuBuild");
    f.Main()->RunCommand("mnuLink");
    const QString save = f.Path("p.mak") + UiText(u8"を保存してください。");
    QCOMPARE(f.dialogs.Texts(), QStringList({save, save}));
  }
};

QTEST_MAIN(BuildRunTest)
#include "BuildRunTest.moc"
