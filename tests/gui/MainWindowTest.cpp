// The main window: start-up, docking, the command table and the enabling rules.
#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QWheelEvent>
#include <QtTest>

#include "forms/UiFonts.h"
#include "forms/frmDebug_f.h"
#include "forms/frmList_f.h"
#include "forms/frmMessage_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
QStringList EnabledOf(const TfrmMain* main, const QStringList& names) {
  QStringList on;
  for (const QString& n : names)
    if (main->IsEnabled(n)) on << n;
  return on;
}

QStringList AllItemNames() {
  QStringList names;
  for (const CommandRow& row : CommandTable()) {
    if (!row.caption) continue;
    names << QString::fromLatin1(row.name);
    if (row.hint) names << QStringLiteral("s") + QString::fromLatin1(row.name);
  }
  return names;
}

QStringList Sorted(QStringList l) {
  l.sort();
  return l;
}
}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void startUpCreatesSeventeenWindowsInOrder() {
    ShellFixture f;
    QCOMPARE(
        f.shell.CreationOrder(),
        QStringList({"frmMain", "frmMessage", "frmStandardIo", "Debug", "dlgUnAsmInfo", "dlgAbout", "dlgAddBreakPoint",
                     "dlgOption", "dlgProject", "dlgAddWatch", "dlgBreakPoint", "dlgMemoryDataChange",
                     "dlgRegisterDataChange", "dlgWatch", "frmEditor", "frmList", "frmDebug"}));
    QCOMPARE(f.Main()->windowTitle(), QStringLiteral("Tolvane"));
    // The splash is released once creation is over.
    QVERIFY(f.Main()->Splash() == nullptr);
    QCoreApplication::processEvents();
    QVERIFY(f.Main()->findChild<QWidget*>("frmSplash") == nullptr);
  }

  void splashIsUpWhileTheWindowsAreCreated() {
    TfrmMain main;
    QVERIFY(main.Splash() && main.Splash()->isVisible());
    QCOMPARE(main.frameGeometry(), main.WorkArea());
    main.ReleaseSplash();
    QVERIFY(main.Splash() == nullptr);
  }

  void firstShowDocksWindowsIntoTheirAreas() {
    ShellFixture f;
    const auto& w = f.Main()->Windows();
    struct Case {
      QDockWidget* dock;
      TfrmMain::DockArea area;
      QString caption;
    };
    const Case cases[] = {
        {w.editor, TfrmMain::DockArea::Edit, UiText(u8"ソースコード")},
        {w.list, TfrmMain::DockArea::Edit, UiText(u8"リスティングファイル")},
        {w.message, TfrmMain::DockArea::Message, UiText(u8"メッセージ")},
        {w.standardIo, TfrmMain::DockArea::Message, UiText(u8"標準入出力")},
        {w.debug, TfrmMain::DockArea::Debug, QString()},
    };
    for (const Case& c : cases) {
      TfrmMain::DockArea area{};
      QVERIFY2(f.Main()->DockedIn(c.dock, &area), qPrintable(c.dock->objectName()));
      QCOMPARE(static_cast<int>(area), static_cast<int>(c.area));
      if (!c.caption.isEmpty()) QCOMPARE(c.dock->windowTitle(), c.caption);
    }
    // Editor and listing share the editing area as tabs, messages and console the bottom.
    QVERIFY(f.Main()->tabifiedDockWidgets(w.editor).contains(w.list));
    QVERIFY(f.Main()->tabifiedDockWidgets(w.message).contains(w.standardIo));
    // The message page and the editor page are in front.
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"ソースコード"));
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Message), UiText(u8"メッセージ"));
    // No page tabs of the editor or the listing viewer are visible yet.
    auto* pages = w.editor->findChild<QTabWidget*>("PageControl1");
    for (int i = 0; i < pages->count(); ++i) QVERIFY(!pages->isTabVisible(i));
    QCOMPARE(pages->count(), 10);
    for (int i = 1; i <= 10; ++i) QVERIFY(w.editor->findChild<QWidget*>(QStringLiteral("reditEditor%1").arg(i)));
  }

  void dockingAreasAcceptAndRefuseAsTabled() {
    ShellFixture f;
    const auto& w = f.Main()->Windows();
    using A = TfrmMain::DockArea;
    struct Case {
      QDockWidget* dock;
      bool edit, message, debug;
    };
    const Case cases[] = {
        {w.editor, true, false, false},     {w.list, true, false, false},  {w.message, false, true, false},
        {w.standardIo, false, true, false}, {w.debug, false, false, true},
    };
    for (const Case& c : cases) {
      QCOMPARE(f.Main()->AreaAccepts(A::Edit, c.dock), c.edit);
      QCOMPARE(f.Main()->AreaAccepts(A::Message, c.dock), c.message);
      QCOMPARE(f.Main()->AreaAccepts(A::Debug, c.dock), c.debug);
    }
    for (A a : {A::Edit, A::Message, A::Debug}) QVERIFY(f.Main()->findChild<QObject*>(TfrmMain::AreaName(a)));
    QCOMPARE(f.Main()->tabPosition(Qt::LeftDockWidgetArea), QTabWidget::South);
    QCOMPARE(f.Main()->tabPosition(Qt::BottomDockWidgetArea), QTabWidget::South);
  }

  void aFloatingWindowAboveTheScreenComesBack() {
    ShellFixture f;
    QDockWidget* message = f.Main()->Windows().message;
    message->setFloating(true);
    message->move(50, -200);
    QTRY_VERIFY(message->frameGeometry().top() >= f.Main()->WorkArea().top());
    QCOMPARE(message->x(), 50);
  }

  void sizeRulesFollowTheWorkArea() {
    ShellFixture f;
    const QRect work = f.Main()->WorkArea();
    QCoreApplication::processEvents();
    // At start the editing area has 80 % of the width, the message area 20 % of the height.
    QVERIFY(qAbs(f.Main()->EditAreaWidth() - int(work.width() * 0.8)) <= 12);
    QVERIFY(qAbs(f.Main()->Windows().message->height() - int(work.height() * 0.2)) <= 12);
    QCOMPARE(f.Main()->minimumSize(), QSize(work.width() / 2, work.height() / 2));
    // At most the work area, frame included.
    QCOMPARE(f.Main()->maximumSize() + (f.Main()->frameGeometry().size() - f.Main()->size()), work.size());
    QCOMPARE(f.Main()->Windows().editor->maximumWidth(), work.width() - 60);
    // View Debug Window narrows the editing area, View Source Code widens it again.
    f.Main()->RunCommand("mnuDebugWindow");
    QCoreApplication::processEvents();
    const int narrow = f.Main()->EditAreaWidth();
    f.Main()->RunCommand("mnuSourceCode");
    QCoreApplication::processEvents();
    const int wide = f.Main()->EditAreaWidth();
    // (never below what the editor needs to show its status panels)
    const int expected = std::max(int(work.width() * 0.3), f.Main()->Windows().editor->minimumSizeHint().width());
    QVERIFY2(qAbs(narrow - expected) <= 12, qPrintable(QString::number(narrow)));
    QVERIFY(qAbs(wide - int(work.width() * 0.8)) <= 12);
  }

  void commandTableMenusCaptionsShortcutsAndToolbar() {
    ShellFixture f;
    QMenuBar* bar = f.Main()->menuBar();
    QStringList menus;
    for (QAction* a : bar->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({UiText(u8"ファイル(&F)"), UiText(u8"編集(&E)"), UiText(u8"表示(&V)"),
                                 UiText(u8"プロジェクト(&P)"), UiText(u8"実行(&R)"), UiText(u8"オプション(&O)"),
                                 UiText(u8"ヘルプ(&H)")}));
    struct Case {
      const char* name;
      const char8_t* caption;
      const char* shortcut;
    };
    const Case cases[] = {
        {"mnuOpen", u8"開く(&O)...", "Ctrl+O"},
        {"mnuProjectOpen", u8"プロジェクトを開く(&J)...", "Ctrl+F11"},
        {"mnuAllSave", u8"全て保存(&V)", "Ctrl+Shift+S"},
        {"mnuExit", u8"終了(&X)", "Alt+X"},
        {"mnuCopy", u8"ｺﾋﾟｰ(&C)", "Ctrl+C"},
        {"mnuReplace", u8"置換(&R)...", "Ctrl+R"},
        {"mnuRun", u8"実行(&R)", "F9"},
        {"mnuBuild", u8"ビルド(&M)", "Ctrl+F9"},
        {"mnuGo", u8"実行(GO)(&G)", "F5"},
        {"mnuPause", u8"一時停止(&P)", "F3"},
        {"mnuBreakPoint", u8"ブレークポイントの設定／解除(&B)...", ""},
        {"mnuEndProgram", u8"プログラムの終了(&E)", "Ctrl+F2"},
        {"mnuContents", u8"Tolvaneのヘルプ(&C)", ""},
    };
    for (const Case& c : cases) {
      QAction* a = f.Main()->Item(c.name);
      QVERIFY2(a, c.name);
      QCOMPARE(a->text(), UiText(c.caption));
      QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(c.shortcut)));
    }
    // The toolbar, left to right, with hints as tooltips.
    QStringList buttons;
    for (QAction* a : f.Main()->findChild<QToolBar*>("ToolBar1")->actions())
      buttons << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    QCOMPARE(buttons, ToolbarLayout());
    QCOMPARE(f.Main()->Item("smnuCopy")->toolTip(), UiText(u8"コピー (Ctrl+C)"));
    QCOMPARE(f.Main()->Item("smnuDebugWindow")->toolTip(), UiText(u8"デバッグウインドウ"));
  }

  void itemsEnabledAtStart() {
    ShellFixture f;
    QCOMPARE(Sorted(EnabledOf(f.Main(), AllItemNames())),
             Sorted({"mnuNew",          "mnuOpen",          "mnuProjectNew",
                     "mnuProjectOpen",  "mnuPrintSetup",    "mnuExit",
                     "mnuSourceCode",   "mnuListingFile",   "mnuDebugWindow",
                     "mnuStandardIo",   "mnuMessageWindow", "mnuOption",
                     "mnuContents",     "mnuAbout",         "smnuNew",
                     "smnuOpen",        "smnuSourceCode",   "smnuListingFile",
                     "smnuDebugWindow", "smnuStandardIo",   "smnuMessageWindow",
                     "mnuNextError",    "mnuPreviousError"}));
    for (const char* p : {"pmnuSave", "pmnuCut", "pmnuProjectAdd", "pmnuPrint"}) QVERIFY(!f.Main()->IsEnabled(p));
  }

  void newEnablesTheEditingGroupAndCloseResetsTheShell() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    QCOMPARE(Sorted(EnabledOf(f.Main(), TfrmMain::EditingGroup())), Sorted(TfrmMain::EditingGroup()));
    QVERIFY(f.Main()->Windows().list->pmnuPrint()->isEnabled());
    // Build results switch Link, Run EXE and Debug Start on.
    f.Main()->SetEnabled({"mnuLink", "mnuRunExe", "mnuDebugStart", "smnuDebugStart", "mnuEndProgram"}, true);
    f.Main()->Windows().message->AppendMessageLine("line");
    // Closing the untitled page asks; No discards it, and the last close resets the shell.
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuClose");
    QCOMPARE(f.Editor()->OpenCount(), 0);
    QVERIFY(EnabledOf(f.Main(), TfrmMain::EditingGroup()).isEmpty());
    QVERIFY(EnabledOf(f.Main(), TfrmMain::ProjectGroup()).isEmpty());
    QVERIFY(!f.Main()->IsEnabled("mnuLink") && !f.Main()->IsEnabled("mnuRunExe"));
    QVERIFY(!f.Main()->IsEnabled("mnuDebugStart") && !f.Main()->IsEnabled("smnuDebugStart"));
    QVERIFY(f.Main()->Windows().message->Lines().empty());
    QVERIFY(!f.Main()->Windows().list->pmnuPrint()->isEnabled());
    // The reset leaves End Program alone.
    QVERIFY(f.Main()->IsEnabled("mnuEndProgram"));
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  void closingTheLastFileAsksAboutTheProjectAndCancelKeepsIt() {
    ShellFixture f;
    f.Write("a.cas", "A");
    f.Write("p.mak", "a.cas\r\n");
    QVERIFY(f.Main()->OpenProjectPath(f.Path("p.mak")));
    f.Main()->MarkProjectModified();
    f.dialogs.Answer(BoxAnswer::Cancel);
    f.Main()->RunCommand("mnuClose");
    QCOMPARE(f.dialogs.Texts(), QStringList({f.Path("p.mak") + UiText(u8"に変更を保存しますか？")}));
    QCOMPARE(f.Editor()->OpenCount(), 0);
    QVERIFY(f.Main()->ProjectOpen());
    QVERIFY(f.Main()->IsEnabled("mnuSave") && f.Main()->IsEnabled("mnuProjectEdit"));
    // No closes the project, and the shell resets.
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuAllClose");
    QVERIFY(!f.Main()->ProjectOpen());
    QVERIFY(!f.Main()->IsEnabled("mnuSave") && !f.Main()->IsEnabled("mnuProjectEdit"));
    // Cut, Copy and Delete with no file open do nothing.
    f.Main()->SetEnabled(TfrmMain::SelectionGroup(), true);
    f.Main()->RunCommand("mnuCut");
    f.Main()->RunCommand("mnuDelete");
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  void closeOfOneOfTwoFilesKeepsTheEditingState() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    f.Main()->RunCommand("mnuNew");
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuClose");
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QVERIFY(f.Main()->IsEnabled("mnuSave"));
    // Close All asks about the remaining page; Cancel keeps everything.
    f.dialogs.Answer(BoxAnswer::Cancel);
    f.Main()->RunCommand("mnuAllClose");
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QVERIFY(f.Main()->IsEnabled("mnuSave"));
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuAllClose");
    QCOMPARE(f.Editor()->OpenCount(), 0);
    QVERIFY(!f.Main()->IsEnabled("mnuSave"));
  }

  void openEnablesOnlyWhenTheFileOpened() {
    ShellFixture f;
    const QString a = f.Write("a.cas", "PGM START\n RET\n END\n");
    f.dialogs.OpenAnswer(f.Path("missing.cas"));
    f.Main()->RunCommand("mnuOpen");
    QCOMPARE(f.Editor()->OpenCount(), 0);
    QCOMPARE(f.dialogs.plain.size(), 1);
    QVERIFY(!f.Main()->IsEnabled("mnuSave"));
    f.dialogs.OpenAnswer(a);
    f.Main()->RunCommand("mnuOpen");
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QVERIFY(f.Main()->IsEnabled("mnuSave"));
    QCOMPARE(QDir::currentPath(), QFileInfo(a).absolutePath());
  }

  void openWithTenFilesWarnsBeforeAnyDialog() {
    ShellFixture f;
    for (int i = 0; i < 10; ++i) f.Main()->RunCommand("mnuNew");
    QCOMPARE(f.Editor()->OpenCount(), 10);
    f.Main()->RunCommand("mnuOpen");
    QCOMPARE(f.dialogs.openDialogs, 0);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Warning);
    QCOMPARE(f.dialogs.boxes[0].text, UiText(u8"これ以上開けません。"));
    // New refuses an eleventh page with an information box.
    f.Main()->RunCommand("mnuNew");
    QCOMPARE(f.dialogs.boxes.size(), 2);
    QCOMPARE(f.dialogs.boxes[1].kind, BoxKind::Information);
    QCOMPARE(f.Editor()->OpenCount(), 10);
  }

  void selectionGroupFollowsTheSelection() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    EditorControl* e = f.Editor()->PageEditor(1);
    e->insertPlainText("ABC");
    QVERIFY(EnabledOf(f.Main(), TfrmMain::SelectionGroup()).isEmpty());
    f.Main()->RunCommand("mnuSelectAll");
    QCOMPARE(Sorted(EnabledOf(f.Main(), TfrmMain::SelectionGroup())), Sorted(TfrmMain::SelectionGroup()));
    QTextCursor c = e->textCursor();
    c.clearSelection();
    e->setTextCursor(c);
    QVERIFY(EnabledOf(f.Main(), TfrmMain::SelectionGroup()).isEmpty());
  }

  void debuggingGuardAsksAndNoAbandonsTheCommand() {
    ShellFixture f;
    f.fake.debugging = true;
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuNew");
    QCOMPARE(f.Editor()->OpenCount(), 0);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].text, UiText(u8"デバッグ中です。デバッグを終了しますか？"));
    QCOMPARE(f.dialogs.boxes[0].buttons, BoxButtons::YesNo);
    // Yes ends the program and lets the command proceed.
    f.dialogs.Answer(BoxAnswer::Yes);
    f.Main()->RunCommand("mnuNew");
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QCOMPARE(f.fake.endProgramCalls, 1);
    // View commands have no guard.
    f.fake.debugging = true;
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuMessageWindow");
    QVERIFY(f.dialogs.boxes.isEmpty());
  }

  void everyGuardedCommandAsksAndNoLeavesItUndone() {
    // The commands that ask about ending a debugged program, and the two that
    // refuse instead; the debugging commands themselves must never ask.
    const QStringList asking = {
        "mnuNew",         "mnuOpen",          "mnuProjectNew", "mnuProjectOpen", "mnuSave",       "mnuSaveAs",
        "mnuProjectSave", "mnuProjectSaveAs", "mnuAllSave",    "mnuClose",       "mnuAllClose",   "mnuPrintSetup",
        "mnuExit",        "mnuUnDo",          "mnuReDo",       "mnuCut",         "mnuCopy",       "mnuPaste",
        "mnuDelete",      "mnuSelectAll",     "mnuFind",       "mnuReplace",     "mnuProjectAdd", "mnuProjectDelete",
        "mnuProjectEdit", "mnuAssemble",      "mnuLink",       "mnuBuild",       "mnuOption"};
    const QStringList refusing = {"mnuRun", "mnuRunExe"};
    QStringList tableAsking, tableRefusing;
    for (const CommandRow& row : CommandTable()) {
      if (row.guard == CommandGuard::Ask) tableAsking << QString::fromLatin1(row.name);
      if (row.guard == CommandGuard::Refuse) tableRefusing << QString::fromLatin1(row.name);
    }
    QCOMPARE(Sorted(tableAsking), Sorted(asking));
    QCOMPARE(Sorted(tableRefusing), Sorted(refusing));

    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    f.Editor()->PageEditor(1)->insertPlainText("TEXT");
    for (const QString& name : asking + refusing) {
      f.dialogs.Clear();
      f.fake.debugging = true;
      const bool asks = asking.contains(name);
      if (asks) f.dialogs.Answer(BoxAnswer::No);
      QVERIFY2(f.Main()->RunCommand(name), qPrintable(name));
      // One box, and nothing of the command itself happened.
      QCOMPARE(f.dialogs.Texts(),
               QStringList(asks ? UiText(u8"デバッグ中です。デバッグを終了しますか？")
                                : UiText(u8"デバッグ中です。デバッグを終了してから実行してください。")));
      QVERIFY2(f.fake.debugging && f.fake.endProgramCalls == 0, qPrintable(name));
      QCOMPARE(f.dialogs.openDialogs, 0);
      QVERIFY2(f.dialogs.unexpected.isEmpty(), qPrintable(name));
    }
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QCOMPARE(f.Editor()->PageEditor(1)->toPlainText(), QStringLiteral("TEXT"));
    QVERIFY(f.fake.assembled.isEmpty() && f.fake.linked.empty() && f.fake.ran.isEmpty());
    QVERIFY(f.Main()->isVisible());
  }

  void closeQueryAsksEveryModifiedPageThenTheProject() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    const QString b = f.Write("b.cas", "X");
    QVERIFY(f.Main()->OpenPath(b));
    f.Editor()->PageEditor(2)->insertPlainText("Y");
    f.Write("p.mak", "b.cas\r\n");
    f.Main()->ProjectState().Opened(PathBytes(f.Path("p.mak")), {"b.cas"});
    f.Main()->MarkProjectModified();
    // No, No, then Cancel on the project: the window stays.
    f.dialogs.Answer(BoxAnswer::No);
    f.dialogs.Answer(BoxAnswer::No);
    f.dialogs.Answer(BoxAnswer::Cancel);
    QVERIFY(!f.Main()->close());
    QVERIFY(f.Main()->isVisible());
    QCOMPARE(f.dialogs.Texts(),
             QStringList({UiText(u8"Noname1.casに変更を保存しますか？"), b + UiText(u8"に変更を保存しますか？"),
                          f.Path("p.mak") + UiText(u8"に変更を保存しますか？")}));
    // While debugging, the guard's No keeps the window before anything else is asked.
    f.dialogs.Clear();
    f.fake.debugging = true;
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(!f.Main()->close());
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(f.fake.debugging);
    // Everything answered No: the window closes.
    f.fake.debugging = false;
    f.Main()->ProjectState().Saved();
    f.dialogs.Clear();
    f.dialogs.Answer(BoxAnswer::No);
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(f.Main()->close());
  }

  void closeQueryKeepsTheWindowWhenTheSaveDoesNotHappen() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    f.Editor()->PageEditor(1)->insertPlainText("TEXT");
    // Yes, then the save dialog is cancelled: the text is not lost.
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(QString());
    QVERIFY(!f.Main()->close());
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QCOMPARE(f.Editor()->PageEditor(1)->toPlainText(), QStringLiteral("TEXT"));
    // Yes and a save that succeeds: the window closes.
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(f.Path("kept.cas"));
    QVERIFY(f.Main()->close());
    QCOMPARE(f.Read("kept.cas"), QByteArray("TEXT"));
  }

  void editCommandsActOnTheCurrentPage() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    EditorControl* ed = f.Editor()->PageEditor(1);
    ed->insertPlainText("ABC");
    f.Main()->RunCommand("mnuSelectAll");
    f.Main()->RunCommand("mnuCopy");
    f.Main()->RunCommand("mnuDelete");
    QCOMPARE(ed->toPlainText(), QString());
    f.Main()->RunCommand("mnuPaste");
    f.Main()->RunCommand("mnuPaste");
    QCOMPARE(ed->toPlainText(), QStringLiteral("ABCABC"));
    f.Main()->RunCommand("mnuSelectAll");
    f.Main()->RunCommand("mnuCut");
    QCOMPARE(ed->toPlainText(), QString());
    f.Main()->RunCommand("mnuUnDo");
    QCOMPARE(ed->toPlainText(), QStringLiteral("ABCABC"));
    // The popup's print item makes the editor the print target.
    f.Main()->printTarget = 0;
    f.Editor()->PopupAction("pmnuPrint")->trigger();
    QCOMPARE(f.Main()->printTarget, 1);
  }

  void shortcutsReachTheirCommands() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    QApplication::setActiveWindow(f.Main());
    f.Main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.Main()));
    QTest::keyClick(f.Main(), Qt::Key_F9);
    QCOMPARE(f.fake.ran, QStringList({f.Path("a.cas")}));
    QTest::keyClick(f.Main(), Qt::Key_F9, Qt::ControlModifier);  // Build
    QCOMPARE(f.fake.linked.size(), size_t(2));
    // A disabled item's shortcut does nothing.
    f.Main()->SetEnabled({"mnuRun"}, false);
    QTest::keyClick(f.Main(), Qt::Key_F9);
    QCOMPARE(f.fake.ran.size(), 1);
  }

  void onlyOpenPagesAreReachableFromTheTabBar() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    auto* tabs = f.Editor()->findChild<QTabWidget*>("PageControl1");
    QVERIFY(tabs);
    const auto stillOnTheOpenPage = [&] {
      QCOMPARE(tabs->currentIndex(), 0);
      QCOMPARE(f.Editor()->CurrentPage(), 1);
    };
    QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
    stillOnTheOpenPage();
    QTest::keyClick(tabs, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    stillOnTheOpenPage();
    QTabBar* bar = tabs->tabBar();
    for (int delta : {-120, 120}) {
      QWheelEvent wheel(QPointF(5, 5), bar->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(bar, &wheel);
      stillOnTheOpenPage();
    }
    // With a second file both open pages stay reachable.
    QVERIFY(f.Main()->OpenPath(f.Write("b.cas", "B")));
    tabs->setCurrentIndex(0);
    QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(f.Editor()->CurrentPage(), 2);
    QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(f.Editor()->CurrentPage() == 1 || f.Editor()->CurrentPage() == 2);
    QVERIFY(tabs->currentIndex() < 2);
  }

  void viewCommandsBringTheirPageToTheFront() {
    ShellFixture f;
    f.Main()->RunCommand("mnuStandardIo");
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Message), UiText(u8"標準入出力"));
    f.Main()->RunCommand("mnuListingFile");
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"リスティングファイル"));
    f.Main()->RunCommand("mnuMessageWindow");
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Message), UiText(u8"メッセージ"));
    f.Main()->RunCommand("mnuSourceCode");
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"ソースコード"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
