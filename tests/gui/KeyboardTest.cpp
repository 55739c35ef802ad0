// The keyboard ways a user expects: F1 opens the help of the window or dialog
// that holds the focus, and the message window's diagnostics are reached with
// Enter and the next/previous-error keys.
#include <QDialog>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QtTest>

#include "common/Cp932.h"
#include "forms/HelpTopic.h"
#include "forms/HelpViewer_f.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"
#include "forms/frmDebug_f.h"
#include "forms/frmList_f.h"
#include "forms/frmMessage_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/Records.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
const QString kSourceHelp = QStringLiteral(TOLVANE_SOURCE_DIR "/help");

// The page the viewer shows, with its place: "windows.html#editor".
QString Shown() {
  const QUrl url = THelpViewer::Instance().Source();
  const QString file = QFileInfo(url.toLocalFile()).fileName();
  return url.hasFragment() ? file + QLatin1Char('#') + url.fragment() : file;
}
}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    InstallFontSubstitutions();
    SetHelpFolder(kSourceHelp);
  }
  void cleanup() { THelpViewer::Instance().hide(); }

  void f1OpensTheTopicOfTheFocusedWindow() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A\tSTART\r\n")));
    QApplication::setActiveWindow(f.Main());
    struct Case {
      QWidget* focus;
      const char* topic;
    };
    const Case cases[] = {
        {f.Editor()->PageEditor(1), "windows.html#editor"},
        {f.Main()->Windows().message->memoMessage(), "windows.html#message"},
        {f.Main()->Windows().standardIo->memoStandardIo(), "windows.html#console"},
        {f.Main()->Windows().list->PageControl1(), "windows.html#listing"},
        // Nothing of a docked window: the main window's topic, the index.
        {f.Main()->menuBar(), "index.html"},
    };
    for (const Case& c : cases) {
      THelpViewer::Instance().Browser()->clear();
      QTest::keyClick(c.focus, Qt::Key_F1);
      QCOMPARE(Shown(), QString::fromLatin1(c.topic));
    }
    QVERIFY(f.dialogs.boxes.isEmpty());
  }

  // In a modal dialog F1 opens the dialog's own topic, as its Help button does.
  void f1InAModalDialog() {
    ShellFixture f;
    QString shown;
    bool stayedOpen = false;
    QTimer::singleShot(0, f.Main(), [&] {
      auto* options = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(options && options->objectName() == QLatin1String("dlgOption"));
      QWidget* focus = options->focusWidget() ? options->focusWidget() : options;
      QTest::keyClick(focus, Qt::Key_F1);
      shown = Shown();
      stayedOpen = options->isVisible();
      options->reject();
    });
    f.Main()->RunCommand("mnuOption");
    QCOMPARE(shown, QStringLiteral("HID00000046.htm"));
    QVERIFY(stayedOpen);
    QCOMPARE(HelpTopicFor(nullptr), QStringLiteral("index.html"));
  }

  // Every command is reachable: each menu's letters (and the menu bar's) are
  // its own, and no two commands share a shortcut.
  void everyCommandHasAKeyOfItsOwn() {
    ShellFixture f;
    const auto letter = [](const QString& caption) {
      const qsizetype at = caption.indexOf(QLatin1Char('&'));
      return at >= 0 && at + 1 < caption.size() ? caption.at(at + 1).toUpper() : QChar();
    };
    QStringList barLetters;
    for (QAction* menuAction : f.Main()->menuBar()->actions()) {
      barLetters << letter(menuAction->text());
      QStringList letters;
      for (QAction* item : menuAction->menu()->actions()) {
        if (item->isSeparator()) continue;
        const QChar l = letter(item->text());
        QVERIFY2(!l.isNull(), qPrintable(item->text()));
        QVERIFY2(!letters.contains(l), qPrintable(menuAction->text() + QStringLiteral(": ") + item->text()));
        letters << l;
      }
    }
    QCOMPARE(QSet<QString>(barLetters.begin(), barLetters.end()).size(), barLetters.size());
    QStringList shortcuts;
    for (const CommandRow& row : CommandTable()) {
      if (!row.shortcut) continue;
      const QString key = QKeySequence(QString::fromLatin1(row.shortcut)).toString();
      QVERIFY2(!shortcuts.contains(key), row.shortcut);
      shortcuts << key;
    }
    // The captions keep their words; Debug Start and Animate took other letters.
    QCOMPARE(f.Main()->Item("mnuDebugStart")->text(), UiText(u8"デバッグ開始(&D)"));
    QCOMPARE(f.Main()->Item("mnuGoAnimate")->text(), UiText(u8"アニメート実行(&N)"));
    QCOMPARE(f.Main()->Item("mnuAssemble")->shortcut(), QKeySequence(QStringLiteral("Ctrl+F7")));

    // Assemble's key assembles the current file.
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A")));
    QApplication::setActiveWindow(f.Main());
    QTest::keyClick(f.Main(), Qt::Key_F7, Qt::ControlModifier);
    QCOMPARE(f.fake.assembled, QStringList{f.Path("a.cas")});
  }

  // Enter on a diagnostic jumps like a double-click; F11 and Shift+F11 walk the
  // diagnostics in both directions, going round at the ends.
  void messageLinesFromTheKeyboard() {
    ShellFixture f;
    const QString a = f.Write("a.cas", "L1\r\nL2\r\nL3\r\nL4\r\nL5\r\n");
    const QString b = f.Write("b.cas", "M1\r\nM2\r\n");
    QVERIFY(f.Main()->OpenPath(a));
    QVERIFY(f.Main()->OpenPath(b));
    TfrmMessage* message = f.Main()->Windows().message;
    const std::string pathA = QFile::encodeName(a).toStdString(), pathB = QFile::encodeName(b).toStdString();
    const auto say = [&](const std::string& file, int line, Severity severity, const std::string& text) {
      message->AppendDiagnostic(RecordOf(file, line, severity, text));
    };
    say(pathA, 0, Severity::Info, "Assemble[" + pathA + "]");  // line 0
    say(pathA, 4, Severity::Error, " (  4) : Error  x");       // 1
    say(pathA, 2, Severity::Error, " (  2) : Error  y");       // 2
    say(pathA, 0, Severity::Info, "   2 Errors");              // 3
    say(pathB, 0, Severity::Info, "Assemble[" + pathB + "]");  // 4
    say(pathB, 2, Severity::Error, " (  2) : Error  z");       // 5
    say(pathB, 0, Severity::Info, "   1 Errors");              // 6
    QSignalSpy jumps(message, &TfrmMessage::sourceLineRequested);
    const auto lastJump = [&] {
      const QList<QVariant> args = jumps.takeLast();
      return QFileInfo(args.at(0).toString()).fileName() + QLatin1Char(':') + args.at(1).toString();
    };
    const auto caretLine = [&] { return message->memoMessage()->textCursor().blockNumber(); };

    // Enter on a line that is no diagnostic does nothing; on one it jumps.
    QPlainTextEdit* memo = message->memoMessage();
    QTextCursor cursor(memo->document()->findBlockByNumber(3));
    memo->setTextCursor(cursor);
    QTest::keyClick(memo, Qt::Key_Return);
    QCOMPARE(jumps.size(), 0);
    memo->setTextCursor(QTextCursor(memo->document()->findBlockByNumber(2)));
    QTest::keyClick(memo, Qt::Key_Enter);
    QCOMPARE(lastJump(), QStringLiteral("a.cas:2"));
    QCOMPARE(f.Editor()->CurrentPage(), 1);
    QCOMPARE(f.Editor()->PageEditor(1)->textCursor().blockNumber(), 1);

    // The keys, through the main window, from the end of the lines after a build.
    memo->moveCursor(QTextCursor::End);
    QApplication::setActiveWindow(f.Main());
    struct Step {
      Qt::KeyboardModifiers modifiers;
      const char* jump;
      int line;
    };
    const Step steps[] = {
        {Qt::NoModifier, "a.cas:4", 1}, {Qt::NoModifier, "a.cas:2", 2},    {Qt::NoModifier, "b.cas:2", 5},
        {Qt::NoModifier, "a.cas:4", 1}, {Qt::ShiftModifier, "b.cas:2", 5}, {Qt::ShiftModifier, "a.cas:2", 2},
    };
    for (const Step& s : steps) {
      QTest::keyClick(f.Main(), Qt::Key_F11, s.modifiers);
      QCOMPARE(lastJump(), QString::fromLatin1(s.jump));
      QCOMPARE(caretLine(), s.line);
    }
    QCOMPARE(f.Editor()->CurrentPage(), 1);
    QCOMPARE(f.Main()->Item("mnuNextError")->shortcut(), QKeySequence(Qt::Key_F11));

    // Without diagnostics the keys do nothing.
    message->ClearMessages();
    message->AppendMessageLine("   0 Errors");
    QVERIFY(!message->GoToDiagnostic(1));
    QVERIFY(!message->GoToDiagnostic(-1));
    QCOMPARE(jumps.size(), 0);
  }
};

QTEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
