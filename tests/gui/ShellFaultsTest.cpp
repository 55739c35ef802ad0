// Faults a new user meets in the shell: where the main window's frame goes,
// the size of a window that starts floating, the editor's share when the debug
// window is shown again, and what one undo step takes back.
#include <QDockWidget>
#include <QScreen>
#include <QtTest>

#include "forms/DockForm.h"
#include "forms/UiFonts.h"
#include "forms/frmDebug_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

class ShellFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  // The frame, title bar included, covers the work area; the client area is
  // what remains inside the window system's borders.
  void mainWindowFrameFillsTheWorkArea() {
    const QRect work(0, 30, 1600, 940);
    struct Case {
      QMargins frame;
      QRect client;
    };
    const Case cases[] = {
        {QMargins(0, 0, 0, 0), QRect(0, 30, 1600, 940)},
        {QMargins(1, 22, 1, 4), QRect(1, 52, 1598, 914)},
    };
    for (const Case& c : cases) QCOMPARE(TfrmMain::ClientRectInside(work, c.frame), c.client);

    ShellFixture f;
    const QRect area = f.Main()->WorkArea();
    QVERIFY(area.contains(f.Main()->frameGeometry()));
    QCOMPARE(f.Main()->frameGeometry(), area);
  }

  void aWindowThatStartsFloatingFitsTheScreen() {
    const QRect work(0, 0, 1600, 1000);
    const QSize margins(2, 24);
    struct Case {
      QRect frame;
      QSize minimum;
      QRect expected;
      QSize preferred = {};  // the window's own floating size, if it has one
    };
    const Case cases[] = {
        // A 1600-pixel console comes out at half the screen, inside it.
        {QRect(0, 760, 1600, 240), QSize(60, 60), QRect(0, 760, 800, 240)},
        // A small window keeps its size and place.
        {QRect(100, 100, 400, 300), QSize(60, 60), QRect(100, 100, 400, 300)},
        // Off the right and bottom edges: moved back onto the work area.
        {QRect(1500, 900, 400, 300), QSize(60, 60), QRect(1200, 700, 400, 300)},
        // Above and left of the screen: its title bar comes back on it.
        {QRect(-50, -20, 300, 200), QSize(60, 60), QRect(0, 0, 300, 200)},
        // Never smaller than the window needs.
        {QRect(0, 0, 1500, 900), QSize(900, 100), QRect(0, 0, 902, 500)},
        // A window with a floating size of its own takes it, beyond half the
        // screen, but no more than the screen.
        {QRect(500, 80, 1100, 700), QSize(60, 60), QRect(500, 80, 932, 534), QSize(930, 510)},
        {QRect(100, 100, 400, 300), QSize(60, 60), QRect(0, 0, 1600, 1000), QSize(2000, 1200)},
    };
    for (const Case& c : cases)
      QCOMPARE(TDockForm::FloatingFrame(c.frame, work, c.minimum, margins, c.preferred), c.expected);

    // The console of the running shell, floated out of the message area.
    ShellFixture f;
    QDockWidget* console = f.Main()->Windows().standardIo;
    const QRect area = f.Main()->WorkArea();
    QVERIFY(console->width() > area.width() / 2);
    console->setFloating(true);
    QTRY_VERIFY(console->frameGeometry().width() <= area.width() / 2);
    QVERIFY(area.contains(console->frameGeometry()));
  }

  void showingTheDebugWindowAgainGivesTheEditorItsShare() {
    ShellFixture f;
    const QRect work = f.Main()->WorkArea();
    QDockWidget* debug = f.Main()->Windows().debug;
    const int expected = std::max(int(work.width() * 0.3), f.Main()->Windows().editor->minimumSizeHint().width());
    for (int round = 0; round < 2; ++round) {
      debug->close();
      QCoreApplication::processEvents();
      QVERIFY(!debug->isVisible());
      f.Main()->RunCommand("mnuDebugWindow");
      QTRY_VERIFY(debug->isVisible());
      QTRY_VERIFY2(qAbs(f.Main()->EditAreaWidth() - expected) <= 12,
                   qPrintable(QStringLiteral("%1 against %2").arg(f.Main()->EditAreaWidth()).arg(expected)));
    }
  }

  // Each case types its keys into a fresh page, then undoes step by step.
  void undoStepsBreakAtNewLinesAndCaretJumps_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("afterEachUndo");
    // "|" Enter, "<" Left, ">" Right, "^" Home, "$" End, "#" mouse click at the start.
    QTest::newRow("typing after a new line") << "LINE1|X" << QStringList{"LINE1\n", "LINE1", ""};
    QTest::newRow("a run of typing is one step") << "ABC" << QStringList{""};
    QTest::newRow("caret jump by key") << "AB^C" << QStringList{"AB", ""};
    QTest::newRow("away and back is a jump too") << "AB<>C" << QStringList{"AB", ""};
    QTest::newRow("mouse click") << "AB#C" << QStringList{"AB", ""};
    QTest::newRow("indented new line") << "\tA|B" << QStringList{"\tA\n\t", "\tA", ""};
    QTest::newRow("backspace run after a jump") << "ABCD<<\b\b$E" << QStringList{"CD", "ABCD", ""};
  }

  void undoStepsBreakAtNewLinesAndCaretJumps() {
    QFETCH(QString, keys);
    QFETCH(QStringList, afterEachUndo);
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    EditorControl* editor = f.Editor()->PageEditor(f.Editor()->CurrentPage());
    editor->setFocus();
    for (QChar c : keys) {
      switch (c.unicode()) {
        case '|':
          QTest::keyClick(editor, Qt::Key_Return);
          break;
        case '<':
          QTest::keyClick(editor, Qt::Key_Left);
          break;
        case '>':
          QTest::keyClick(editor, Qt::Key_Right);
          break;
        case '^':
          QTest::keyClick(editor, Qt::Key_Home);
          break;
        case '$':
          QTest::keyClick(editor, Qt::Key_End);
          break;
        case '\b':
          QTest::keyClick(editor, Qt::Key_Backspace);
          break;
        case '\t':
          QTest::keyClick(editor, Qt::Key_Tab);
          break;
        case '#':
          QTest::mouseClick(editor->viewport(), Qt::LeftButton, {},
                            editor->cursorRect(QTextCursor(editor->document())).center());
          break;
        default:
          QTest::keyClicks(editor, QString(c));
      }
    }
    for (const QString& expected : afterEachUndo) {
      f.Main()->RunCommand("mnuUnDo");
      QCOMPARE(editor->toPlainText(), expected);
    }
  }
};

QTEST_MAIN(ShellFaultsTest)
#include "ShellFaultsTest.moc"
