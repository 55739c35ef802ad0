// What a user of any editor expects of the shell: the title names the current
// file, a tab closes with its own button, and File lists the files used last.
#include <QAccessible>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QWindow>
#include <QtTest>

#include "forms/FindDialogs_f.h"
#include "forms/RecentFiles.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"
#include "forms/frmList_f.h"
#include "forms/frmMessage_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
QStringList RecentItems(TfrmMain* main) {
  QStringList texts;
  emit main->RecentFilesMenu()->aboutToShow();
  for (QAction* a : main->RecentFilesMenu()->actions()) texts << a->text();
  return texts;
}
}  // namespace

// Notes whether the main window was on the screen and painted when a box came.
class WatchingDialogs : public ScriptedDialogs {
 public:
  std::function<bool()> painted;
  QList<bool> paintedAtBox;
  BoxAnswer Ask(BoxKind kind, const QString& text, BoxButtons buttons) override {
    paintedAtBox << (painted && painted());
    return ScriptedDialogs::Ask(kind, text, buttons);
  }
};

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class ShellComfortTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  // The first start's notice stands over the painted main window.
  void firstStartNoticeOverThePaintedWindow() {
    SettingsFolder settings(false);  // nothing stored yet: the notice comes
    WatchingDialogs dialogs;
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
      app::Shell shell;
      shell.Create();
      PaintCounter counter;
      shell.Main()->installEventFilter(&counter);
      dialogs.painted = [&] {
        QWindow* window = shell.Main()->windowHandle();
        return shell.Main()->isVisible() && window && window->isExposed() && counter.paints > 0;
      };
      shell.Main()->show();
      QTRY_COMPARE(dialogs.boxes.size(), 1);
      QCOMPARE(dialogs.paintedAtBox, QList<bool>{true});
      QCOMPARE(dialogs.boxes.at(0).kind, BoxKind::Information);
    }
    QDir::setCurrent(oldCwd);
  }

  void titleNamesTheCurrentFile() {
    ShellFixture f;
    QCOMPARE(f.Main()->windowTitle(), QStringLiteral("Tolvane"));
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    QCOMPARE(f.Main()->windowTitle(), QStringLiteral("a.cas - Tolvane"));
    QVERIFY(f.Main()->OpenPath(f.Write("b.cas", "B")));
    QCOMPARE(f.Main()->windowTitle(), QStringLiteral("b.cas - Tolvane"));
    f.Editor()->ActivatePage(1);
    QCOMPARE(f.Main()->windowTitle(), QStringLiteral("a.cas - Tolvane"));
    f.dialogs.SaveAnswer(f.Path("c.cas"));
    QVERIFY(f.Main()->SaveAsCommand());
    QCOMPARE(f.Main()->windowTitle(), QStringLiteral("c.cas - Tolvane"));
    f.Main()->RunCommand("mnuAllClose");
    QCOMPARE(f.Main()->windowTitle(), QStringLiteral("Tolvane"));
  }

  // A tab's close button is File > Close for that page: unsaved text is asked
  // about, Cancel keeps the page.
  void tabCloseButtonsClosePages() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    QVERIFY(f.Main()->OpenPath(f.Write("b.cas", "B")));
    auto* tabs = f.Editor()->findChild<QTabWidget*>("PageControl1");
    QVERIFY(tabs && tabs->tabsClosable());
    const auto closeButton = [&](int index) { return tabs->tabBar()->tabButton(index, QTabBar::RightSide); };
    QVERIFY(closeButton(0) && closeButton(0)->isVisibleTo(tabs));
    QVERIFY(!closeButton(5)->isVisibleTo(tabs));

    f.Editor()->PageEditor(1)->insertPlainText(QStringLiteral("x"));
    f.dialogs.Answer(BoxAnswer::Cancel);
    QTest::mouseClick(closeButton(0), Qt::LeftButton);
    QCOMPARE(f.dialogs.Texts(), QStringList{f.Path("a.cas") + UiText(u8"に変更を保存しますか？")});
    QCOMPARE(f.Editor()->OpenCount(), 2);

    f.dialogs.Answer(BoxAnswer::No);
    QTest::mouseClick(closeButton(0), Qt::LeftButton);
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QCOMPARE(f.Editor()->PagePath(1), f.Path("b.cas"));
    // The last page closes as Close does: the shell is reset.
    QTest::mouseClick(closeButton(0), Qt::LeftButton);
    QCOMPARE(f.Editor()->OpenCount(), 0);
    QVERIFY(!f.Main()->IsEnabled("mnuSave"));
    QVERIFY(f.dialogs.AllAnswersUsed());
  }

  // What a screen reader hears: names for the text controls and the toolbar,
  // and only the tabs that are shown.
  void accessibleNamesAndShownTabsOnly() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    const auto name = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
    QToolBar* toolBar = f.Main()->findChild<QToolBar*>("ToolBar1");
    QVERIFY(toolBar);
    QCOMPARE(name(toolBar), UiText(u8"ツールバー"));
    QCOMPARE(name(f.Editor()->PageEditor(1)), UiText(u8"ソースコード: a.cas"));
    QCOMPARE(name(f.Main()->Windows().message->memoMessage()), UiText(u8"メッセージ"));
    QCOMPARE(name(f.Main()->Windows().standardIo->memoStandardIo()), UiText(u8"標準入出力"));
    // The find field is named by its label.
    QCOMPARE(name(f.Main()->FindReplace()->FindDialog1()->editFind()), UiText(u8"検索する文字列"));

    // The editor's tab bar: one open page, one tab to hear of; then two.
    const auto tabNames = [](QTabBar* bar) {
      QStringList names;
      QAccessibleInterface* list = QAccessible::queryAccessibleInterface(bar);
      for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* tab = list->child(i);
        if (tab->role() == QAccessible::PageTab) names << tab->text(QAccessible::Name);
      }
      return names;
    };
    QTabBar* bar = f.Editor()->findChild<QTabWidget*>("PageControl1")->tabBar();
    QCOMPARE(tabNames(bar), QStringList{QStringLiteral("a.cas")});
    QVERIFY(f.Main()->OpenPath(f.Write("b.cas", "B")));
    QCOMPARE(tabNames(bar), QStringList({QStringLiteral("a.cas"), QStringLiteral("b.cas")}));
    // Pressing the second tab's entry brings its page forward.
    QAccessibleInterface* second = QAccessible::queryAccessibleInterface(bar)->child(1);
    QCOMPARE(QAccessible::queryAccessibleInterface(bar)->indexOfChild(second), 1);
    f.Editor()->ActivatePage(1);
    second->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(f.Editor()->CurrentPage(), 2);
    // The listing viewer's ten pages, none loaded: nothing to hear of.
    QCOMPARE(tabNames(f.Main()->Windows().list->PageControl1()->tabBar()), QStringList());
  }

  // The tab bar's own notices give a tab by its index among all tabs, hidden
  // ones included: each finds its tab (a shown one by its name), so that none
  // ends in "Cannot create accessible child interface" (the editor with two
  // pages open after one was closed, the listing viewer with none).
  void tabNoticesFindTheirTab() {
    ShellFixture f;
    for (const char* name : {"a.cas", "b.cas", "c.cas"}) QVERIFY(f.Main()->OpenPath(f.Write(name, "A")));
    f.Editor()->ActivatePage(2);
    QVERIFY(f.Editor()->CloseCurrent());
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
          if (m.contains(QStringLiteral("Cannot create accessible child interface"))) warnings << m;
        });
    for (QTabBar* bar : {f.Editor()->findChild<QTabWidget*>("PageControl1")->tabBar(),
                         f.Main()->Windows().list->PageControl1()->tabBar()}) {
      for (int tab = 0; tab < bar->count(); ++tab) {
        QAccessibleEvent event(bar, QAccessible::Focus);
        event.setChild(tab);
        QAccessibleInterface* item = event.accessibleInterface();
        QVERIFY(item);
        QCOMPARE(item->parent(), QAccessible::queryAccessibleInterface(bar));
        QCOMPARE(QAccessible::queryAccessibleInterface(bar)->indexOfChild(item), tab);
        if (bar->isTabVisible(tab)) {
          QCOMPARE(item->role(), QAccessible::PageTab);
          QCOMPARE(item->text(QAccessible::Name), bar->tabText(tab));
        } else {
          QVERIFY(item->state().invisible);
          QVERIFY(item->text(QAccessible::Name).isEmpty());
        }
      }
    }
    qInstallMessageHandler(previous);
    QCOMPARE(warnings, QStringList());
  }

  void recentFilesAreKeptWithTheSettings() {
    ShellFixture f;
    QVERIFY(!f.Main()->RecentFilesMenu()->menuAction()->isEnabled());
    for (int i = 1; i <= TRecentFiles::kMax + 2; ++i) {
      const QString name = QStringLiteral("f%1.cas").arg(i);
      QVERIFY(f.Main()->OpenPath(f.Write(name, "A")));
      if (i < TRecentFiles::kMax + 2) f.Main()->RunCommand("mnuClose");
    }
    // Newest first, bounded; opened again it moves to the top.
    QStringList items = RecentItems(f.Main());
    QCOMPARE(items.size(), TRecentFiles::kMax);
    QCOMPARE(items.first(), QStringLiteral("&1 ") + f.Path("f10.cas"));
    QCOMPARE(items.last(), QStringLiteral("&8 ") + f.Path("f3.cas"));
    // Stored at once, with the other settings.
    QCOMPARE(TRecentFiles().Files().first(), f.Path("f10.cas"));
    QVERIFY(f.Main()->RecentFilesMenu()->menuAction()->isEnabled());

    // Choosing one opens it (or brings its page forward).
    f.Main()->RecentFilesMenu()->actions().at(4)->trigger();
    QCOMPARE(f.Editor()->OpenCount(), 2);
    QCOMPARE(f.Editor()->PagePath(2), f.Path("f6.cas"));
    QCOMPARE(RecentItems(f.Main()).first(), QStringLiteral("&1 ") + f.Path("f6.cas"));
    RecentItems(f.Main());
    f.Main()->RecentFilesMenu()->actions().at(1)->trigger();  // f10, open already
    QCOMPARE(f.Editor()->OpenCount(), 2);
    QCOMPARE(f.Editor()->CurrentPage(), 1);

    // A file that is gone: the editor says so and it leaves the list.
    QVERIFY(QFile::remove(f.Path("f5.cas")));
    const QStringList shown = RecentItems(f.Main());
    const int before = shown.size();
    QCOMPARE(shown.at(5), QStringLiteral("&6 ") + f.Path("f5.cas"));
    f.Main()->RecentFilesMenu()->actions().at(5)->trigger();
    QCOMPARE(f.dialogs.plain.size(), 1);
    QVERIFY(f.dialogs.plain.first().startsWith(f.Path("f5.cas")));
    QCOMPARE(RecentItems(f.Main()).size(), before - 1);
    QVERIFY(!TRecentFiles().Files().contains(f.Path("f5.cas")));

    // Saving a page moves its file to the top, as opening it does.
    const QString saved = f.Editor()->PagePath(f.Editor()->CurrentPage());
    f.Main()->RecentFiles().Add(f.Path("f4.cas"));
    QCOMPARE(RecentItems(f.Main()).first(), QStringLiteral("&1 ") + f.Path("f4.cas"));
    f.Editor()->PageEditor(f.Editor()->CurrentPage())->insertPlainText(QStringLiteral("B"));
    f.Main()->RunCommand("mnuSave");
    QVERIFY(!f.Editor()->PageModified(f.Editor()->CurrentPage()));
    QCOMPARE(RecentItems(f.Main()).first(), QStringLiteral("&1 ") + saved);
    QCOMPARE(TRecentFiles().Files().first(), saved);
  }
};

QTEST_MAIN(ShellComfortTest)
#include "ShellComfortTest.moc"
