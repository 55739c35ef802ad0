// The project commands and the project dialog over a stand-in core: what they
// ask, what they write, what they open, and the faults they no longer have
// (a cancelled save dropping a project, a failed open moving its folder, the
// dialog's Add comparing with the wrong folder, names CP932 cannot hold).
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include "build/ProjectFile.h"
#include "common/Cp932.h"
#include "forms/DialogPort.h"
#include "forms/UiFonts.h"
#include "forms/dlgProject_f.h"
#include "forms/frmMessage_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
TdlgProject* Dialog(ShellFixture& f) { return f.Main()->findChild<TdlgProject*>(QStringLiteral("dlgProject")); }

QStringList Entries(ShellFixture& f) {
  QStringList out;
  for (const std::string& e : f.Main()->Project().Entries()) out << FromCp932(e);
  return out;
}

QStringList ListItems(TdlgProject* d) {
  QStringList out;
  for (int i = 0; i < d->lstbProject()->count(); ++i) out << d->lstbProject()->item(i)->text();
  return out;
}

}  // namespace

class ProjectTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void newProjectHoldsTheNewPageAndSavingItGoesThroughSaveAs() {
    ShellFixture f;
    f.Main()->RunCommand("mnuProjectNew");
    QCOMPARE(Entries(f), QStringList({"Noname1.cas"}));
    QVERIFY(f.Main()->ProjectOpen() && f.Main()->ProjectModified());
    for (const QString& n : TfrmMain::ProjectGroup()) QVERIFY2(f.Main()->IsEnabled(n), qPrintable(n));
    QVERIFY(f.Main()->IsEnabled("mnuSave"));
    TdlgProject* d = Dialog(f);
    QCOMPARE(d->lblMakeFileName()->text(), QStringLiteral("Project.Mak"));
    QCOMPARE(d->editMainRoutin()->text(), QStringLiteral("Noname1.cas"));
    QCOMPARE(ListItems(d), QStringList({"Noname1.cas"}));
    // Project Save on a project never saved shows Save As preset with its name.
    f.dialogs.SaveAnswer(f.Path("sub/p.mak"));
    f.dialogs.Answer(BoxAnswer::Yes);  // create the missing folder
    f.Main()->RunCommand("mnuProjectSave");
    QCOMPARE(f.dialogs.savePresets, QStringList({"Project.Mak"}));
    QCOMPARE(f.dialogs.Texts(),
             QStringList({UiText(u8"ディレクトリ") + f.Path("sub") + UiText(u8"が存在しません。作成しますか？")}));
    QCOMPARE(f.Read("sub/p.mak"), QByteArray("Noname1.cas\r\n"));
    QVERIFY(!f.Main()->ProjectModified());
    QCOMPARE(d->lblMakeFileName()->text(), f.Path("sub/p.mak"));
    QCOMPARE(QDir::currentPath(), f.Path("sub"));
    // Without a project both Save commands say so.
    QVERIFY(f.Main()->CloseProject());
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuProjectSave");
    f.Main()->RunCommand("mnuProjectSaveAs");
    QCOMPARE(f.dialogs.Texts(),
             QStringList({UiText(u8"プロジェクトは存在しません。"), UiText(u8"プロジェクトは存在しません。")}));
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  void aCancelledSaveAsNeverDropsAModifiedProject() {
    ShellFixture f;
    f.Main()->RunCommand("mnuProjectNew");
    // Project New: Yes to saving, then the Save As dialog is cancelled.
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(QString());
    f.Main()->RunCommand("mnuProjectNew");
    QCOMPARE(Entries(f), QStringList({"Noname1.cas"}));
    QVERIFY(f.Main()->ProjectModified());
    QCOMPARE(f.Editor()->OpenCount(), 1);  // nothing else happened
    // Project Open likewise.
    f.Write("a.cas", "A");
    f.Write("o.mak", "a.cas\r\n");
    f.dialogs.OpenAnswer(f.Path("o.mak"));
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(QString());
    f.Main()->RunCommand("mnuProjectOpen");
    QCOMPARE(Entries(f), QStringList({"Noname1.cas"}));
    // Deleting the last entry asks about the modified project; a cancelled save keeps it open.
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(QString());
    f.Main()->RunCommand("mnuProjectDelete");
    QVERIFY(f.Main()->ProjectOpen() && f.Main()->ProjectModified());
    QVERIFY(f.Main()->IsEnabled("mnuProjectEdit"));
    // The close query at exit: the window stays.
    f.Main()->RunCommand("mnuProjectAdd");
    f.Editor()->PageEditor(1)->document()->setModified(false);
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(QString());
    QVERIFY(!f.Main()->close());
    QVERIFY(f.Main()->ProjectModified());
    QVERIFY(f.dialogs.AllAnswersUsed());
    // A Yes whose write fails keeps it too.
    f.dialogs.Clear();
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(f.Path("a.cas/p.mak"));  // a file where the folder should be
    f.dialogs.Answer(BoxAnswer::Yes);             // "create" it: fails
    QVERIFY(!f.Main()->close());
    QVERIFY(f.Main()->ProjectOpen());
    QCOMPARE(f.dialogs.plain.size(), 1);
    // No closes.
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(f.Main()->close());
  }

  void openingOpensTheSourcesAndAFailedOpenChangesNothing() {
    ShellFixture f;
    QVERIFY(QDir(f.Dir()).mkpath("one"));
    QVERIFY(QDir(f.Dir()).mkpath("two"));
    for (const char* n : {"one/main.cas", "one/lib.obj", "one/Sub.CAS", "one/x.cas.obj", "two/a.cas"}) f.Write(n, "x");
    f.Write("one/p.mak", "main.cas\r\nlib.obj\r\nSub.CAS\r\nx.cas.obj\r\n");
    f.Main()->Windows().message->AppendMessageLine("old");
    f.dialogs.OpenAnswer(f.Path("one/p.mak"));
    f.Main()->RunCommand("mnuProjectOpen");
    QVERIFY(f.dialogs.boxes.isEmpty());
    // Sources by their extension in any case; objects stay closed.
    QCOMPARE(f.Editor()->OpenCount(), 2);
    QCOMPARE(f.Editor()->PagePath(1), f.Path("one/main.cas"));
    QCOMPARE(f.Editor()->PagePath(2), f.Path("one/Sub.CAS"));
    QVERIFY(f.Main()->Windows().message->Lines().empty());
    QCOMPARE(Dialog(f)->lblMakeFileName()->text(), f.Path("one/p.mak"));
    QCOMPARE(Dialog(f)->editMainRoutin()->text(), QStringLiteral("main.cas"));
    QVERIFY(f.Main()->IsEnabled("mnuProjectEdit") && f.Main()->IsEnabled("mnuBuild"));
    QCOMPARE(f.Main()->Target(), f.Path("one/main.cas"));
    // The third entry of another project is missing: reported, nothing changes,
    // and the open project still builds in its own folder.
    f.Write("two/q.mak", "a.cas\r\nb.cas\r\nc.cas\r\n");
    f.Write("two/b.cas", "x");
    f.dialogs.OpenAnswer(f.Path("two/q.mak"));
    f.Main()->RunCommand("mnuProjectOpen");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"c.casが存在しません。\n同じディレクトリに追加してください。")}));
    QCOMPARE(f.Main()->ProjectFileName(), f.Path("one/p.mak"));
    QCOMPARE(f.Main()->Target(), f.Path("one/main.cas"));
    QCOMPARE(f.Editor()->OpenCount(), 2);
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.fake.assembled, QStringList({f.Path("one/main.cas"), f.Path("one/Sub.CAS")}));
    // An entry naming a file outside the folder is refused the same way.
    f.Write("two/q.mak", "a.cas\r\n../one/main.cas\r\n");
    f.dialogs.Clear();
    f.dialogs.OpenAnswer(f.Path("two/q.mak"));
    f.Main()->RunCommand("mnuProjectOpen");
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.Main()->ProjectFileName(), f.Path("one/p.mak"));
  }

  // The sources beyond the editor's ten pages are told in one box that names
  // them (the first twenty of them), not in one box each.
  void sourcesBeyondTenPagesAreToldInOneBox() {
    const QString head = UiText(u8"これ以上開けません。次のソースは開きませんでした。");
    struct Case {
      int sources;
      QString text;
    } cases[] = {
        {12, head + "\ns11.cas\ns12.cas"},
        {40,
         [&] {
           QString t = head;
           for (int i = 11; i <= 30; ++i) t += QStringLiteral("\ns%1.cas").arg(i);
           return t + "\n" + UiText(u8"ほか10個");
         }()},
    };
    for (const Case& c : cases) {
      ShellFixture f;
      QByteArray mak;
      for (int i = 1; i <= c.sources; ++i) {
        f.Write(QStringLiteral("s%1.cas").arg(i), "x");
        mak += QStringLiteral("s%1.cas\r\n").arg(i).toLatin1();
      }
      f.Write("p.mak", mak);
      QVERIFY(f.Main()->OpenProjectPath(f.Path("p.mak")));
      QCOMPARE(f.Editor()->OpenCount(), 10);
      QCOMPARE(f.dialogs.Texts(), QStringList({c.text}));
      QCOMPARE(Entries(f).size(), c.sources);
    }
  }

  void projectFilesAreCp932AndNamesCp932CannotHoldAreRefused() {
    ShellFixture f;
    const QString main = UiText(u8"メイン.cas");
    f.Write(main, "x");
    f.Write("p.mak", QByteArray::fromStdString(Cp932Text(u8"メイン.cas\r\n")));
    QVERIFY(f.Main()->OpenProjectPath(f.Path("p.mak")));
    QCOMPARE(f.Editor()->PagePath(1), f.Path(main));
    QCOMPARE(Entries(f), QStringList({main}));
    // A page whose name CP932 cannot hold is not added.
    QVERIFY(f.Main()->OpenPath(f.Write(UiText(u8"\U0001F600.cas"), "x")));
    f.Main()->RunCommand("mnuProjectAdd");
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    QCOMPARE(Entries(f), QStringList({main}));
    // Adding the page again in other letter case is refused as already added.
    f.Write(UiText(u8"メイン.CAS"), "x");
    QVERIFY(f.Main()->OpenPath(f.Path(UiText(u8"メイン.CAS"))));
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuProjectAdd");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"メイン.CASは既に追加されています。")}));
    // Saving writes CP932 with CR LF.
    f.Main()->ProjectState().MarkModified();
    f.Main()->RunCommand("mnuProjectSave");
    QCOMPARE(f.Read("p.mak"), QByteArray::fromStdString(Cp932Text(u8"メイン.cas\r\n")));
    QVERIFY(!f.Main()->ProjectModified());
  }

  void addAndDeleteFromTheMenus() {
    ShellFixture f;
    // Add without a project opens a new one holding just that file.
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    f.Main()->RunCommand("mnuProjectAdd");
    QVERIFY(f.Main()->ProjectOpen());
    QCOMPARE(Entries(f), QStringList({"a.cas"}));
    QCOMPARE(Dialog(f)->lblMakeFileName()->text(), QStringLiteral("Project.Mak"));
    QVERIFY(f.Main()->OpenPath(f.Write("b.cas", "B")));
    f.Main()->RunCommand("mnuProjectAdd");
    QCOMPARE(Entries(f), QStringList({"a.cas", "b.cas"}));
    // Delete removes the current page's entry; a page not in the project is reported.
    f.Main()->RunCommand("mnuProjectDelete");
    QCOMPARE(Entries(f), QStringList({"a.cas"}));
    f.Main()->RunCommand("mnuProjectDelete");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"b.casは存在しません。")}));
    // Removing the last entry asks, then closes the project and its group.
    f.Main()->EnableProjectGroup(true);
    f.Editor()->ActivatePage(1);
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuProjectDelete");
    QCOMPARE(f.dialogs.Texts().last(), UiText(u8"Project.Makに変更を保存しますか？"));
    QVERIFY(!f.Main()->ProjectOpen());
    for (const QString& n : TfrmMain::ProjectGroup()) QVERIFY2(!f.Main()->IsEnabled(n), qPrintable(n));
    // With no page open, Add adds no empty entry.
    f.Main()->RunCommand("mnuAllClose");
    f.Main()->RunCommand("mnuProjectAdd");
    QVERIFY(!f.Main()->ProjectOpen());
    QVERIFY(Entries(f).isEmpty());
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  void renamedPagesRenameTheirEntryInPlace() {
    ShellFixture f;
    for (const char* n : {"main.cas", "sub.cas"}) f.Write(n, "x");
    f.Write("p.mak", "main.cas\r\nsub.cas\r\n");
    QVERIFY(f.Main()->OpenProjectPath(f.Path("p.mak")));
    // Save As of the main routine's page: the entry keeps its place and stays the main routine.
    f.Editor()->ActivatePage(1);
    f.dialogs.SaveAnswer(f.Path("first.cas"));
    f.Main()->RunCommand("mnuSaveAs");
    QCOMPARE(Entries(f), QStringList({"first.cas", "sub.cas"}));
    QCOMPARE(Dialog(f)->editMainRoutin()->text(), QStringLiteral("first.cas"));
    QVERIFY(f.Main()->ProjectModified());
    // Save All: an untitled page of a new project gets its name through the dialog.
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuProjectNew");
    QCOMPARE(Entries(f), QStringList({"Noname1.cas"}));
    f.dialogs.SaveAnswer(f.Path("named.cas"));
    f.dialogs.SaveAnswer(f.Path("named.mak"));  // Save All then saves the never-saved project
    f.Main()->RunCommand("mnuAllSave");
    QCOMPARE(Entries(f), QStringList({"named.cas"}));
    QCOMPARE(f.Read("named.mak"), QByteArray("named.cas\r\n"));
    QVERIFY(!f.Main()->ProjectModified());
    QVERIFY(f.dialogs.AllAnswersUsed());
  }

  void dialogButtonsEditTheProject() {
    ShellFixture f;
    for (const char* n : {"a.cas", "b.obj", "c.cas"}) f.Write(n, "x");
    f.Write("p.mak", "a.cas\r\nb.obj\r\nc.cas\r\n");
    QVERIFY(f.Main()->OpenProjectPath(f.Path("p.mak")));
    TdlgProject* d = Dialog(f);
    QCOMPARE(ListItems(d), QStringList({"a.cas", "b.obj", "c.cas"}));
    // Up on the first entry and Down on the last do nothing.
    d->lstbProject()->setCurrentRow(0);
    d->bbtnForUpClick();
    d->lstbProject()->setCurrentRow(2);
    d->bbtnFoDownClick();
    QVERIFY(!f.Main()->ProjectModified());
    // Moving the last entry to the top makes it the main routine and names the program.
    d->bbtnForUpClick();
    d->bbtnForUpClick();
    QCOMPARE(ListItems(d), QStringList({"c.cas", "a.cas", "b.obj"}));
    QCOMPARE(d->lstbProject()->currentRow(), 0);
    QCOMPARE(d->editMainRoutin()->text(), QStringLiteral("c.cas"));
    QVERIFY(f.Main()->ProjectModified());
    d->btnSaveClick();
    QCOMPARE(f.Read("p.mak"), QByteArray("c.cas\r\na.cas\r\nb.obj\r\n"));
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.fake.linked.size(), size_t(1));
    QCOMPARE(QString::fromStdString(f.fake.linked[0][0]), f.Path("c.cas"));
    // Down moves it back.
    d->lstbProject()->setCurrentRow(0);
    d->bbtnFoDownClick();
    QCOMPARE(ListItems(d), QStringList({"a.cas", "c.cas", "b.obj"}));
    QCOMPARE(d->lstbProject()->currentRow(), 1);
    // Delete with nothing selected removes nothing and changes nothing.
    d->btnSaveClick();
    d->lstbProject()->setCurrentRow(-1);
    d->btnDeleteClick();
    QCOMPARE(ListItems(d).size(), 3);
    QVERIFY(!f.Main()->ProjectModified());
    d->lstbProject()->setCurrentRow(0);
    d->btnDeleteClick();
    QCOMPARE(ListItems(d), QStringList({"c.cas", "b.obj"}));
    QCOMPARE(d->editMainRoutin()->text(), QStringLiteral("c.cas"));
    // Save As from the dialog renames the project.
    f.dialogs.SaveAnswer(f.Path("q.mak"));
    d->btnSaveAsClick();
    QCOMPARE(f.dialogs.savePresets.last(), QStringLiteral("p.mak"));
    QCOMPARE(d->lblMakeFileName()->text(), f.Path("q.mak"));
    QCOMPARE(f.Read("q.mak"), QByteArray("c.cas\r\nb.obj\r\n"));
    // Deleting down to one entry and then that one closes the project (asking
    // only when modified) and disables its items; the dialog stays.
    d->lstbProject()->setCurrentRow(1);
    d->btnDeleteClick();
    f.dialogs.Answer(BoxAnswer::No);
    d->btnDeleteClick();
    QCOMPARE(f.dialogs.Texts().last(), f.Path("q.mak") + UiText(u8"に変更を保存しますか？"));
    QVERIFY(!f.Main()->ProjectOpen());
    QVERIFY(ListItems(d).isEmpty());
    QVERIFY(d->editMainRoutin()->text().isEmpty());
    for (const char* n :
         {"mnuProjectDelete", "pmnuProjectDelete", "mnuProjectEdit", "mnuProjectSave", "mnuProjectSaveAs"})
      QVERIFY2(!f.Main()->IsEnabled(n), n);
    QVERIFY(f.Main()->IsEnabled("mnuProjectAdd"));
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  void dialogAddTakesFilesOfTheProjectsFolderOnly() {
    ShellFixture f;
    QVERIFY(QDir(f.Dir()).mkpath("proj"));
    QVERIFY(QDir(f.Dir()).mkpath("else"));
    for (const char* n : {"proj/a.cas", "proj/b.cas", "proj/lib.obj", "else/e.cas"}) f.Write(n, "x");
    f.Write("proj/p.mak", "a.cas\r\n");
    QVERIFY(f.Main()->OpenProjectPath(f.Path("proj/p.mak")));
    // Another folder is current now (a file opened from there): the project's folder still decides.
    QVERIFY(f.Main()->OpenPath(f.Path("else/e.cas")));
    QCOMPARE(QDir::currentPath(), f.Path("else"));
    TdlgProject* d = Dialog(f);
    f.dialogs.OpenAnswer(f.Path("proj/b.cas"));
    f.dialogs.OpenAnswer(f.Path("proj/lib.obj"));
    f.dialogs.OpenAnswer(f.Path("else/e.cas"));
    f.dialogs.OpenAnswer(f.Path("proj/B.cas"));
    d->btnAddClick();
    d->btnAddClick();
    d->btnAddClick();
    f.Write("proj/B.cas", "x");
    d->btnAddClick();
    QCOMPARE(ListItems(d), QStringList({"a.cas", "b.cas", "lib.obj"}));
    QCOMPARE(f.dialogs.Texts(),
             QStringList({UiText(u8"プロジェクトファイルと同じディレクトリのファイル\nしか追加できません。"),
                          UiText(u8"B.casは既に追加されています。")}));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Warning);
    // A source is opened in the editor, an object is not.
    QVERIFY(f.Editor()->PageOfPath(f.Path("proj/b.cas")) != 0);
    QCOMPARE(f.Editor()->PageOfPath(f.Path("proj/lib.obj")), 0);
    QVERIFY(f.Main()->ProjectModified());
    // Before its first save a project's folder is the current one.
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuProjectNew");
    QCOMPARE(f.Main()->ProjectFolder(), QDir::currentPath());
    f.dialogs.Clear();
    f.dialogs.OpenAnswer(f.Path("proj/a.cas"));
    d->btnAddClick();
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Warning);
  }
};

QTEST_MAIN(ProjectTest)
#include "ProjectTest.moc"
