// The language services in source pages: errors underlined as the user
// types, completion, go to definition (also into another page), references, symbols,
// rename and formatting as one undo step.
#include <QAbstractItemView>
#include <QCompleter>
#include <QListWidget>
#include <QTabWidget>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>

#include "forms/EditorLanguage.h"
#include "forms/Utf8.h"
#include "forms/frmEditor_f.h"
#include "support/ScriptedDialogs.h"

using namespace tolvane::forms;
using tolvane::testing::ScriptedDialogs;

namespace {

const char* const kSource =
    "MAIN\tSTART\n"     // 0
    "\tLD\tGR1,DATA\n"  // 1
    "\tCALL\tSUB\n"     // 2
    "\tRET\n"           // 3
    "DATA\tDC\t5\n"     // 4
    "\tEND\n";          // 5

// Two pages in tabs, as the editor holds them.
struct Pages {
  Pages() {
    for (EditorControl*& e : editors) {
      e = new EditorControl;
      new EditorLanguage(e);
      tabs.addTab(e, QStringLiteral("page"));
    }
    editors[0]->setPlainText(QString::fromLatin1(kSource));
    editors[1]->setPlainText(QStringLiteral("SUB\tSTART\n\tRET\n\tEND\n"));
    tabs.resize(600, 400);
    tabs.show();
  }
  EditorLanguage* Lang(int i) { return EditorLanguage::Of(editors[i]); }
  void Caret(int page, int line, int column) {
    QTextCursor c(editors[page]->document()->findBlockByNumber(line));
    c.setPosition(c.position() + column);
    editors[page]->setTextCursor(c);
  }
  // Keys as the user presses them: while the completion list is up it has
  // the keyboard. The list opens a moment after a key: the loop gets a turn.
  void Press(int key, const QString& text = QString()) {
    QAbstractItemView* popup = Lang(0)->Completer()->popup();
    QWidget* target = popup->isVisible() ? static_cast<QWidget*>(popup) : editors[0];
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(popup->isVisible() ? static_cast<QWidget*>(popup) : editors[0], &release);
    QCoreApplication::processEvents();
  }
  void Type(const QString& text) {
    for (QChar c : text) {
      if (c == u'\n')
        Press(Qt::Key_Return, QStringLiteral("\r"));
      else if (c == u'\t')
        Press(Qt::Key_Tab, QStringLiteral("\t"));
      else
        Press(0, QString(c));
    }
  }
  QTabWidget tabs;
  EditorControl* editors[2] = {};
};

}  // namespace

class EditorLanguageTest : public QObject {
  Q_OBJECT
 private slots:
  void errorsAreUnderlinedAsYouType() {
    Pages p;
    QTRY_VERIFY(p.Lang(0)->UnderlinedLines().empty());
    p.Caret(0, 3, 1);
    p.editors[0]->setFocus();
    QTest::keyClick(p.editors[0], Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClicks(p.editors[0], QStringLiteral("ld"));
    QTRY_COMPARE(p.Lang(0)->UnderlinedLines(), std::vector<int>{3});
    // Under the instruction field only.
    QCOMPARE(p.Lang(0)->Underlines().front(), (EditorLanguage::Underline{3, 1, 3}));
    const auto lines = p.Lang(0)->DiagnosticLines();
    QCOMPARE(lines.size(), 1u);
    QCOMPARE(lines[0].second, UiText(u8" (  4) : Error  CASLIIにない命令があります。"));
    // The hover over that line gives the same text.
    QTextCursor at(p.editors[0]->document()->findBlockByNumber(3));
    QVERIFY(p.Lang(0)->HoverText(at).contains(lines[0].second));
  }

  // The records count bytes of CP932; the page counts characters.
  void theUnderlineCoversTheFieldInCharacters() {
    Pages p;
    p.editors[0]->setPlainText(UiText(u8"MAIN\tSTART\n\tLD\tGR1,'あい',GR9\n\tRET\nあい\tDC\t1\n\tEND\n"));
    p.Lang(0)->DiagnosticLines();
    const std::vector<EditorLanguage::Underline> marks = p.Lang(0)->Underlines();
    // 'あい' is bytes 8-13 but characters 8-11; the label あい bytes 0-3 but characters 0-1.
    QVERIFY(std::find(marks.begin(), marks.end(), EditorLanguage::Underline{1, 8, 12}) != marks.end());
    QVERIFY(std::find(marks.begin(), marks.end(), EditorLanguage::Underline{3, 0, 2}) != marks.end());
  }

  void quickFixFromTheKeyboard() {
    Pages p;
    p.editors[0]->setPlainText(QStringLiteral("MAIN\tSTART\n\tJUMP\tloop\nLOOP\tRET\n\tEND\n"));
    p.editors[0]->setFocus();
    p.Caret(0, 1, 7);
    QTest::keyClick(p.editors[0], Qt::Key_Period, Qt::ControlModifier);
    QListWidget* list = p.Lang(0)->ReferenceList();
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), UiText(u8"ラベル LOOP に直す"));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(1).text(), QStringLiteral("\tJUMP\tLOOP"));
    QTRY_VERIFY(p.Lang(0)->UnderlinedLines().empty());
  }

  void definitionByKeyAndMouseAndAcrossPages() {
    Pages p;
    p.Caret(0, 1, 9);  // on DATA
    QTest::keyClick(p.editors[0], Qt::Key_F12);
    QCOMPARE(p.editors[0]->textCursor().blockNumber(), 4);

    p.Caret(0, 1, 10);
    const QRect r = p.editors[0]->cursorRect();
    p.Caret(0, 0, 0);
    QTest::mouseClick(p.editors[0]->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
    QCOMPARE(p.editors[0]->textCursor().blockNumber(), 4);

    p.Caret(0, 2, 7);  // on SUB, defined in the other page
    QTest::keyClick(p.editors[0], Qt::Key_F12);
    QCOMPARE(p.tabs.currentIndex(), 1);
    QCOMPARE(p.editors[1]->textCursor().blockNumber(), 0);
  }

  void completionByColumn() {
    Pages p;
    p.editors[0]->setFocus();
    p.Caret(0, 3, 1);  // the operation column of "\tRET"
    QTextCursor c = p.editors[0]->textCursor();
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(QString());
    p.editors[0]->setTextCursor(c);
    QTest::keyClick(p.editors[0], Qt::Key_Space, Qt::ControlModifier);
    QCompleter* completer = p.Lang(0)->Completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    QStringList labels;
    for (int i = 0; i < completer->model()->rowCount(); ++i)
      labels << completer->model()->index(i, 0).data().toString();
    QVERIFY(labels.contains(QStringLiteral("LD")));
    QVERIFY(labels.contains(QStringLiteral("OUT")));
    QVERIFY(!labels.contains(QStringLiteral("GR1")));
    // Choosing LD (Tab) writes its operand form and selects the first operand.
    completer->setCompletionPrefix(QStringLiteral("LD"));
    completer->popup()->setCurrentIndex(completer->completionModel()->index(0, 0));
    QTest::keyClick(completer->popup(), Qt::Key_Tab);
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(3).text(), QStringLiteral("\tLD\tr,adr"));
    QCOMPARE(p.editors[0]->textCursor().selectedText(), QStringLiteral("r"));
    // Typing in the operand column opens the list of registers and labels by itself.
    QTest::keyClicks(p.editors[0], QStringLiteral("G"));
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(completer->completionPrefix(), QStringLiteral("G"));
    QCOMPARE(completer->currentCompletion(), QStringLiteral("GR0"));
  }

  // The operands' places come as byte spans of CP932 text: a double-byte
  // operand name is selected whole, by its characters.
  void completionSelectsADoubleByteOperand() {
    Pages p;
    p.editors[0]->setFocus();
    p.Caret(0, 3, 1);  // the operation column of "\tRET"
    QTextCursor c = p.editors[0]->textCursor();
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(QString());
    p.editors[0]->setTextCursor(c);
    QTest::keyClick(p.editors[0], Qt::Key_Space, Qt::ControlModifier);
    QCompleter* completer = p.Lang(0)->Completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    completer->setCompletionPrefix(QStringLiteral("OUT"));
    completer->popup()->setCurrentIndex(completer->completionModel()->index(0, 0));
    QTest::keyClick(completer->popup(), Qt::Key_Tab);
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(3).text(), UiText(u8"\tOUT\t出力領域,出力文字長領域"));
    QCOMPARE(p.editors[0]->textCursor().selectedText(), UiText(u8"出力領域"));
  }

  void enterStartsALineUnlessAnItemWasChosen() {
    Pages p;
    p.editors[0]->setPlainText(QStringLiteral("ATOI\tSTART\n"));
    p.editors[0]->setFocus();
    p.Caret(0, 1, 0);
    QCompleter* completer = p.Lang(0)->Completer();
    // Typed straight in: the list opens by itself in the operands, and
    // "GR2" leaves nothing to complete; Enter makes the new lines.
    // (Each new line starts with the indentation of the one before.)
    p.Type(QStringLiteral("\tPUSH\t0,GR2\nPUSH\t0,G"));
    QVERIFY(completer->popup()->isVisible());  // GR0 to GR7
    p.Type(QStringLiteral("\nRET\n"));
    QCOMPARE(p.editors[0]->toPlainText(), QStringLiteral("ATOI\tSTART\n\tPUSH\t0,GR2\n\tPUSH\t0,G\n\tRET\n\t"));
    // An item the student moved to with the arrows is what Enter takes; Tab takes the highlighted one.
    p.Type(QStringLiteral("LD\tGR1,G"));
    QTRY_VERIFY(completer->popup()->isVisible());
    p.Press(Qt::Key_Down);
    p.Press(Qt::Key_Return, QStringLiteral("\r"));
    QCOMPARE(p.editors[0]->textCursor().block().text(), QStringLiteral("\tLD\tGR1,GR1"));
    p.Type(QStringLiteral(",G"));
    QTRY_VERIFY(completer->popup()->isVisible());
    p.Press(Qt::Key_Tab, QStringLiteral("\t"));
    QCOMPARE(p.editors[0]->textCursor().block().text(), QStringLiteral("\tLD\tGR1,GR1,GR0"));
    QVERIFY(!completer->popup()->isVisible());
  }

  void longListsKeepWholeItems() {
    Pages p;
    QString source = QStringLiteral("MAIN\tSTART\n\tLD\tGR1,\n");
    for (int i = 0; i < 3000; ++i) source += QStringLiteral("M%1\tDC\t%2\n").arg(i, 4, 10, QLatin1Char('0')).arg(i);
    source += QStringLiteral("LONGNAME\tDC\t1\n\tRET\n\tEND\n");
    p.editors[0]->setPlainText(source);
    p.editors[0]->setFocus();
    p.Caret(0, 1, 8);
    p.Lang(0)->ShowCompletion();
    QAbstractItemView* popup = p.Lang(0)->Completer()->popup();
    QTRY_VERIFY(popup->isVisible());
    // The list is as wide as its widest item, not only as the rows first in view.
    const int widest = popup->fontMetrics().horizontalAdvance(QStringLiteral("LONGNAME"));
    QVERIFY2(popup->viewport()->width() >= widest, qPrintable(QString::number(popup->viewport()->width())));
    QCOMPARE(popup->textElideMode(), Qt::ElideNone);
  }

  void listsCloseWithEscape() {
    ScriptedDialogs dialogs;
    Pages p;
    p.editors[0]->setFocus();
    QListWidget* list = p.Lang(0)->ReferenceList();
    for (int key : {int(Qt::Key_F12), int(Qt::Key_O)}) {
      p.Caret(0, 4, 0);
      QTest::keyClick(p.editors[0], Qt::Key(key),
                      key == Qt::Key_F12 ? Qt::ShiftModifier : Qt::ShiftModifier | Qt::ControlModifier);
      QTRY_VERIFY(list->isVisible());
      QTest::keyClick(list, Qt::Key_Escape);
      QVERIFY(!list->isVisible());
      QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(p.editors[0]));
    }
    // A label defined in lower case has its fix.
    p.editors[0]->setPlainText(QStringLiteral("MAIN\tSTART\n\tRET\nbuf\tDS\t6\n\tEND\n"));
    p.Caret(0, 2, 1);
    QTest::keyClick(p.editors[0], Qt::Key_Period, Qt::ControlModifier);
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(list->item(0)->text(), UiText(u8"ラベル BUF に直す"));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(2).text(), QStringLiteral("BUF\tDS\t6"));
    // Renaming onto a label that exists says why in a box.
    p.editors[0]->setPlainText(QString::fromLatin1(kSource));
    p.Caret(0, 4, 0);
    QVERIFY(!p.Lang(0)->Rename(QStringLiteral("MAIN")));
    QCOMPARE(dialogs.Texts(), QStringList{UiText(u8"ラベル(MAIN)が重複しています。")});
  }

  void referencesRenameAndFormat() {
    ScriptedDialogs dialogs;
    Pages p;
    p.editors[0]->setFocus();
    p.Caret(0, 4, 0);
    QTest::keyClick(p.editors[0], Qt::Key_F12, Qt::ShiftModifier);
    QListWidget* list = p.Lang(0)->ReferenceList();
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(list->count(), 2);
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(p.editors[0]->textCursor().blockNumber(), list->item(1)->data(Qt::UserRole + 1).toInt());

    // The page's symbols: the program and its label, each a jump.
    QTest::keyClick(p.editors[0], Qt::Key_O, Qt::ShiftModifier | Qt::ControlModifier);
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QStringLiteral("    DATA"));
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(p.editors[0]->textCursor().blockNumber(), 4);

    p.Caret(0, 4, 0);
    QVERIFY(!p.Lang(0)->Rename(QStringLiteral("gr1")));
    QVERIFY(p.Lang(0)->Rename(QStringLiteral("VALUE")));
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(1).text(), QStringLiteral("\tLD\tGR1,VALUE"));
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(4).text(), QStringLiteral("VALUE\tDC\t5"));

    const QString before = p.editors[0]->toPlainText();
    QTest::keyClick(p.editors[0], Qt::Key_F, Qt::ShiftModifier | Qt::AltModifier);
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(1).text(), QStringLiteral("        LD      GR1,VALUE"));
    p.editors[0]->undo();
    QCOMPARE(p.editors[0]->toPlainText(), before);
  }
};

QTEST_MAIN(EditorLanguageTest)
#include "EditorLanguageTest.moc"
