// The console window: its key rules, IN and OUT through the machine's console
// port, the trim, the close refusal and the popup menu.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <vector>

#include "common/Cp932.h"
#include "forms/DialogPort.h"
#include "forms/Utf8.h"
#include "forms/frmStandardIo_f.h"
#include "machine/Cpu.h"
#include "machine/Svc.h"

using namespace tolvane;
using namespace tolvane::forms;

namespace {

// Records the message boxes instead of showing them.
class RecordingDialogs : public DialogPort {
 public:
  struct Box {
    BoxKind kind;
    QString text;
  };
  std::vector<Box> boxes;
  BoxAnswer Ask(BoxKind kind, const QString& text, BoxButtons) override {
    boxes.push_back({kind, text});
    return BoxAnswer::Ok;
  }
  void ShowPlain(const QString& text) override { boxes.push_back({BoxKind::Error, text}); }
  QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&, const QString&) override {
    return {};
  }
  bool GetText(QWidget*, const QString&, const QString&, QString&) override { return false; }
};

void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(target, &release);
}

// Typed text one character at a time, as a keyboard (or an input method that
// delivers key events with text) would; works for kana, which keyClicks does not.
void Type(QWidget* target, const QString& text) {
  for (const QChar c : text) Key(target, 0, Qt::NoModifier, QString(c));
}

}  // namespace

class ConsoleWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TfrmStandardIo> console_;
  RecordingDialogs dialogs_;
  Memory memory_{};
  CCpu cpu_;

  QWidget* memo() { return console_->memoStandardIo(); }
  QStringList Lines() { return console_->Text().split(QLatin1Char('\n')); }

  // Runs IN with the buffer at 1000H and the length word at 2000H while
  // `typing` is carried out from inside the console's wait.
  void In(const std::function<void()>& typing) {
    QTimer::singleShot(0, this, typing);
    SvcIn(cpu_, memory_, *console_, 0x1000, 0x2000);
  }

 private slots:
  void init() {
    SetDialogs(&dialogs_);
    dialogs_.boxes.clear();
    memory_.fill(0x5555);
    console_ = std::make_unique<TfrmStandardIo>();
    console_->show();
  }
  void cleanup() {
    console_.reset();
    SetDialogs(nullptr);
  }

  void startsWithPromptReadOnly() {
    QCOMPARE(console_->objectName(), QStringLiteral("frmStandardIo"));
    QCOMPARE(console_->windowTitle(), UiText(u8"標準入出力"));
    QCOMPARE(console_->memoStandardIo()->objectName(), QStringLiteral("memoStandardIo"));
    QCOMPARE(console_->Text(), QStringLiteral(">"));
    QVERIFY(console_->memoStandardIo()->isReadOnly());
    QVERIFY(!console_->ConsoleInputPending());
    QCOMPARE(console_->memoStandardIo()->textCursor().position(), 1);
    // Typing while no IN waits changes nothing.
    Type(memo(), QStringLiteral("X"));
    Key(memo(), Qt::Key_Return);
    QCOMPARE(console_->Text(), QStringLiteral(">"));
  }

  void enterStoresTheLine() {
    In([this] {
      QVERIFY(console_->ConsoleInputPending());
      QVERIFY(!console_->memoStandardIo()->isReadOnly());
      Type(memo(), QStringLiteral("ABC"));
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(memory_[0x1000], Word{0x0041});
    QCOMPARE(memory_[0x1001], Word{0x0042});
    QCOMPARE(memory_[0x1002], Word{0x0043});
    QCOMPARE(memory_[0x1003], Word{0x5555});
    QCOMPARE(memory_[0x2000], Word{3});
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">ABC"), QStringLiteral(">")}));
    QVERIFY(!console_->ConsoleInputPending());
    QVERIFY(console_->memoStandardIo()->isReadOnly());
  }

  void inputLinesAndTheWaitAreMarked() {
    console_->ConsoleWrite(QStringLiteral("OUT"));
    auto* memo = console_->memoStandardIo();
    In([&] {
      // Waiting: the input line stands out, and a screen reader is told.
      QCOMPARE(memo->extraSelections().size(), 1);
      QCOMPARE(memo->extraSelections().first().cursor.blockNumber(), 1);
      QCOMPARE(memo->accessibleDescription(), UiText(u8"入力待ち"));
      Type(memo, QStringLiteral("IN"));
      Key(memo, Qt::Key_Return);
    });
    console_->ConsoleWrite(QStringLiteral("OUT2"));
    In([&] { Key(memo, Qt::Key_Z, Qt::ControlModifier); });
    console_->EchoInput("AGAIN");
    QCOMPARE(Lines(), (QStringList{">OUT", ">IN", ">OUT2", ">^Z", ">AGAIN", ">"}));
    const bool input[] = {false, true, false, true, true, false};
    for (int line = 0; line < 6; ++line) QCOMPARE(console_->IsInputLine(line), input[line]);
    // Typed text has a look of its own; the output after the same prompt has not.
    const QTextBlock typed = memo->document()->findBlockByNumber(1);
    const QTextBlock output = memo->document()->findBlockByNumber(2);
    QVERIFY(typed.begin().fragment().isValid());
    QTextCursor at(typed);
    at.setPosition(typed.position() + 2);
    QVERIFY(at.charFormat().fontUnderline());
    at.setPosition(output.position() + 2);
    QVERIFY(!at.charFormat().fontUnderline());
    QVERIFY(memo->extraSelections().isEmpty());
    QVERIFY(memo->accessibleDescription().isEmpty());
  }

  void emptyLineAndEnterOnKeypad() {
    In([this] { Key(memo(), Qt::Key_Enter, Qt::KeypadModifier); });
    QCOMPARE(memory_[0x2000], Word{0});
    QCOMPARE(memory_[0x1000], Word{0x5555});
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">"), QStringLiteral(">")}));
  }

  void ctrlZEndsInput() {
    In([this] {
      Type(memo(), QStringLiteral("AB"));
      Key(memo(), Qt::Key_Z, Qt::ControlModifier);
    });
    QCOMPARE(memory_[0x2000], Word{0xFFFF});
    QCOMPARE(memory_[0x1000], Word{0x5555});
    QCOMPARE(memory_[0x1001], Word{0x5555});
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">AB^Z"), QStringLiteral(">")}));
    QCOMPARE(console_->ConsoleTakeLine(), std::string("AB\x1A"));
  }

  void longLineIsCutAt256() {
    In([this] {
      Type(memo(), QString(300, QLatin1Char('x')));
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(memory_[0x2000], Word{256});
    QCOMPARE(memory_[0x10FF], Word{'x'});
    QCOMPARE(memory_[0x1100], Word{0x5555});
  }

  void lineBufferHoldsAtMost1023Bytes() {
    // Full-width characters take two bytes each; a cut never splits one.
    In([this] {
      Type(memo(), QString(600, QChar(0x3042)));  // あ
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(console_->ConsoleTakeLine().size(), std::size_t{1022});
    In([this] {
      Type(memo(), QString(1500, QLatin1Char('y')));
      Key(memo(), Qt::Key_Z, Qt::ControlModifier);
    });
    const std::string line = console_->ConsoleTakeLine();
    QCOMPARE(line.size(), std::size_t{1023});
    QCOMPARE(line.back(), '\x1A');
    QCOMPARE(memory_[0x2000], Word{0xFFFF});
  }

  // A huge paste (or endless typing) is cut at the line's limit as it
  // arrives: the console never holds more than one full input line.
  void pastedTextIsCutAtTheLineLimit() {
    In([this] {
      Type(memo(), QStringLiteral("ab"));
      QApplication::clipboard()->setText(QString(10'000'000, QLatin1Char('p')) + QStringLiteral("\nq"));
      Key(memo(), Qt::Key_V, Qt::ControlModifier);
      QCOMPARE(Lines().last().size(), 1 + 1023);
      Type(memo(), QStringLiteral("zz"));  // the line is full: refused
      QCOMPARE(Lines().last().size(), 1 + 1023);
      // Room made by deleting a character takes one more (a double-byte one
      // needs two bytes and does not fit).
      Key(memo(), Qt::Key_Backspace);
      Type(memo(), UiText(u8"あ"));
      Type(memo(), QStringLiteral("z"));
      Key(memo(), Qt::Key_Return);
    });
    const std::string line = console_->ConsoleTakeLine();
    QCOMPARE(line.size(), std::size_t{1023});
    QCOMPARE(line.substr(0, 3), std::string("abp"));
    QCOMPARE(line.back(), 'z');
    QCOMPARE(memory_[0x2000], Word{256});
    QVERIFY(console_->Text().size() < 3000);
  }

  void japaneseInputIsStoredSignExtended() {
    In([this] {
      Type(memo(), UiText(u8"あｱ"));
      Key(memo(), Qt::Key_Return);
    });
    // あ is 82H A0H in CP932, the half-width ｱ is B1H.
    QCOMPARE(memory_[0x2000], Word{3});
    QCOMPARE(memory_[0x1000], Word{0xFF82});
    QCOMPARE(memory_[0x1001], Word{0xFFA0});
    QCOMPARE(memory_[0x1002], Word{0xFFB1});
    QCOMPARE(Lines().first(), UiText(u8">あｱ"));
  }

  void inputMethodTextJoinsTheInputLine() {
    console_->ConsoleWrite(QStringLiteral("old"));
    In([this] {
      QTextCursor start = console_->memoStandardIo()->textCursor();
      start.setPosition(1);
      console_->memoStandardIo()->setTextCursor(start);
      QInputMethodEvent commit;
      commit.setCommitString(UiText(u8"漢字") + QString::fromUcs4(U"\U0001F600"));
      QApplication::sendEvent(memo(), &commit);
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">old"), UiText(u8">漢字"), QStringLiteral(">")}));
    QCOMPARE(memory_[0x2000], Word{4});
  }

  void charactersWithoutCp932FormAreRefused() {
    In([this] {
      Type(memo(), QStringLiteral("A"));
      Key(memo(), 0, Qt::NoModifier, QString::fromUcs4(U"\U0001F600"));
      Type(memo(), QStringLiteral("B"));
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(console_->ConsoleTakeLine(), std::string("AB"));
  }

  void backspaceKeepsThePrompt() {
    In([this] {
      Key(memo(), Qt::Key_Backspace);
      Key(memo(), Qt::Key_Backspace);
      QCOMPARE(console_->Text(), QStringLiteral(">"));
      Type(memo(), QStringLiteral("AB"));
      Key(memo(), Qt::Key_Backspace);
      QCOMPARE(console_->Text(), QStringLiteral(">A"));
      Key(memo(), Qt::Key_Backspace);
      Key(memo(), Qt::Key_Backspace);
      QCOMPARE(console_->Text(), QStringLiteral(">"));
      Type(memo(), QStringLiteral("C"));
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(console_->ConsoleTakeLine(), std::string("C"));
  }

  void arrowsCannotLeaveTheInputLine() {
    console_->ConsoleWrite(QStringLiteral("first"));
    In([this] {
      Type(memo(), QStringLiteral("AB"));
      Key(memo(), Qt::Key_Left);
      Key(memo(), Qt::Key_Up);
      Type(memo(), QStringLiteral("C"));
      // A click (here: a caret put anywhere) goes back to the end of the line.
      QTextCursor start = console_->memoStandardIo()->textCursor();
      start.setPosition(0);
      console_->memoStandardIo()->setTextCursor(start);
      console_->memoStandardIoClick();
      Type(memo(), QStringLiteral("D"));
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(console_->ConsoleTakeLine(), std::string("ABCD"));
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">first"), QStringLiteral(">ABCD"), QStringLiteral(">")}));
  }

  void enterSendsTheLastLineWhereverTheCaretIs() {
    console_->ConsoleWrite(QStringLiteral("out"));
    In([this] {
      Type(memo(), QStringLiteral("in"));
      QTextCursor start = console_->memoStandardIo()->textCursor();
      start.setPosition(2);
      console_->memoStandardIo()->setTextCursor(start);
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(console_->ConsoleTakeLine(), std::string("in"));
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">out"), QStringLiteral(">in"), QStringLiteral(">")}));
  }

  void typingIntoHistoryGoesToTheInputLine() {
    console_->ConsoleWrite(QStringLiteral("old"));
    In([this] {
      QTextCursor start = console_->memoStandardIo()->textCursor();
      start.setPosition(1);
      console_->memoStandardIo()->setTextCursor(start);
      Type(memo(), QStringLiteral("N"));
      start = console_->memoStandardIo()->textCursor();
      start.setPosition(0);
      start.setPosition(3, QTextCursor::KeepAnchor);
      console_->memoStandardIo()->setTextCursor(start);
      Key(memo(), Qt::Key_Delete);
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">old"), QStringLiteral(">N"), QStringLiteral(">")}));
  }

  void ctrlZIsTakenFromUndoWhileInputPends() {
    QAction undo(QStringLiteral("undo"));
    undo.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    console_->SetUndoAction(&undo);
    QSignalSpy pending(console_.get(), &TfrmStandardIo::inputPendingChanged);
    In([&] {
      QVERIFY(undo.shortcut().isEmpty());
      Key(memo(), Qt::Key_Return);
    });
    QCOMPARE(undo.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(pending.count(), 2);
    QCOMPARE(pending.at(0).at(0).toBool(), true);
    QCOMPARE(pending.at(1).at(0).toBool(), false);
  }

  void outWritesAfterThePrompt() {
    memory_[0x3000] = 0x0048;
    memory_[0x3001] = 0xFF49;  // only the low byte counts
    memory_[0x4000] = 2;
    SvcOut(cpu_, memory_, *console_, 0x3000, 0x4000);
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">HI"), QStringLiteral(">")}));
    memory_[0x4000] = 0;
    SvcOut(cpu_, memory_, *console_, 0x3000, 0x4000);
    memory_[0x4000] = 0xFFFF;
    SvcOut(cpu_, memory_, *console_, 0x3000, 0x4000);
    QCOMPARE(Lines(),
             (QStringList{QStringLiteral(">HI"), QStringLiteral(">"), QStringLiteral(">"), QStringLiteral(">")}));
  }

  void writeConvertsCp932AndBreaksLines() {
    ConsolePort& port = *console_;
    port.ConsoleWrite(Cp932Text(u8"スタックオーバーフロー"));
    port.ConsoleWrite(std::string("GR0=0001\r\n>PR=0002"));
    QCOMPARE(Lines(), (QStringList{UiText(u8">スタックオーバーフロー"), QStringLiteral(">GR0=0001"),
                                   QStringLiteral(">PR=0002"), QStringLiteral(">")}));
    QCOMPARE(console_->memoStandardIo()->textCursor().position(),
             console_->memoStandardIo()->document()->characterCount() - 1);
  }

  void writeShowsTheConsole() {
    console_->hide();
    console_->ConsoleWrite(QStringLiteral("x"));
    QVERIFY(console_->isVisible());
    // With the main window's show command connected, the console asks it instead.
    int asked = 0;
    connect(console_.get(), &TfrmStandardIo::showRequested, this, [&] { ++asked; });
    console_->ConsoleWrite(QStringLiteral("y"));
    QCOMPARE(asked, 1);
  }

  void trimKeepsTheTextBelow32000() {
    const QString line = QString(99, QLatin1Char('z'));
    for (int i = 0; i < 400; ++i) console_->ConsoleWrite(QString::number(i) + line);
    // Each line: ">" + number + 99 characters + CR LF.
    const QTextDocument* document = console_->memoStandardIo()->document();
    const int length = document->characterCount() - 1 + document->blockCount() - 1;
    QVERIFY2(length <= TfrmStandardIo::kTrimLength, qPrintable(QString::number(length)));
    QVERIFY(length > TfrmStandardIo::kTrimLength - 200);
    const QStringList lines = Lines();
    QCOMPARE(lines.last(), QStringLiteral(">"));
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral(">399") + line);
    QVERIFY(!lines.first().startsWith(QStringLiteral(">0z")));
    // One long write is trimmed at once, not one line per later write; a line
    // longer than the limit goes as well.
    console_->ConsoleWrite(QString(31800, QLatin1Char('v')));
    QCOMPARE(Lines().size(), 3);
    QCOMPARE(Lines().first(), QStringLiteral(">399") + line);
    console_->ConsoleWrite(QString(40000, QLatin1Char('w')));
    QCOMPARE(console_->Text(), QStringLiteral(">"));
  }

  void closeIsRefusedWhileInputPends() {
    In([this] {
      QVERIFY(!console_->close());
      QVERIFY(console_->isVisible());
      QCOMPARE(dialogs_.boxes.size(), std::size_t{1});
      QCOMPARE(dialogs_.boxes[0].kind, BoxKind::Warning);
      QCOMPARE(dialogs_.boxes[0].text, UiText(u8"INマクロの実行中は閉じれません。"));
      Key(memo(), Qt::Key_Return);
    });
    QVERIFY(console_->close());
    QVERIFY(!console_->isVisible());
  }

  void cancelEndsTheWaitWithAnEmptyLine() {
    In([this] {
      Type(memo(), QStringLiteral("part"));
      console_->ConsoleCancelInput();
    });
    QCOMPARE(memory_[0x2000], Word{0});
    QVERIFY(!console_->ConsoleInputPending());
    QCOMPARE(Lines(), (QStringList{QStringLiteral(">part"), QStringLiteral(">")}));
  }

  void quittingEndsTheWait() {
    QTimer::singleShot(0, this, [] { QCoreApplication::exit(0); });
    QCOMPARE(console_->ConsoleReadLine(), std::string("\x1A"));
    QVERIFY(!console_->ConsoleInputPending());
    // A program that reads again gets the end of input at once instead of a
    // wait that nothing would end.
    In([] {});
    QCOMPARE(memory_[0x2000], Word{0xFFFF});
    QVERIFY(!console_->ConsoleInputPending());
  }

  void popupMenu() {
    QCOMPARE(console_->pmnuStandardIo()->objectName(), QStringLiteral("pmnuStandardIo"));
    QCOMPARE(console_->pmnuPrint()->text(), UiText(u8"印刷(&P)"));
    QCOMPARE(console_->pmnuSelectAll()->text(), UiText(u8"全て選択(&L)"));
    QCOMPARE(console_->pmnuCopy()->text(), UiText(u8"コピー(&C)"));
    QVERIFY(!console_->pmnuCopy()->isEnabled());
    console_->ConsoleWrite(QStringLiteral("copy me"));
    console_->pmnuStandardIoPopup();
    QVERIFY(!console_->pmnuCopy()->isEnabled());
    console_->pmnuSelectAll()->trigger();
    QVERIFY(console_->pmnuCopy()->isEnabled());
    console_->pmnuCopy()->trigger();
    QVERIFY(!console_->pmnuCopy()->isEnabled());
    QVERIFY(!console_->memoStandardIo()->textCursor().hasSelection());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral(">copy me\n>"));

    QSignalSpy target(console_.get(), &TfrmStandardIo::printTargetChanged);
    QSignalSpy print(console_.get(), &TfrmStandardIo::printRequested);
    console_->pmnuPrint()->trigger();
    QCOMPARE(target.count(), 1);
    QCOMPARE(target.at(0).at(0).toInt(), 3);
    QCOMPARE(print.count(), 1);
  }

  void losingTheFocusMakesItThePrintTarget() {
    QWidget other;
    auto* edit = new QLineEdit(&other);
    other.show();
    QSignalSpy target(console_.get(), &TfrmStandardIo::printTargetChanged);
    console_->activateWindow();
    console_->memoStandardIo()->setFocus();
    QTRY_VERIFY(console_->memoStandardIo()->hasFocus());
    other.activateWindow();
    edit->setFocus();
    QTRY_COMPARE(target.count(), 1);
    QCOMPARE(target.at(0).at(0).toInt(), 3);
  }
};

QTEST_MAIN(ConsoleWindowTest)
#include "ConsoleWindowTest.moc"
