// The language services in source pages: errors underlined as the user
// types, completion, go to definition (also into another page), references, symbols,
// rename and formatting as one undo step.
#include <QAbstractItemView>
#include <QCompleter>
#include <QListWidget>
#include <QTabWidget>
#include <QTextBlock>
#include <QtTest>

#include "forms/EditorLanguage.h"
#include "forms/Utf8.h"
#include "forms/frmEditor_f.h"

using namespace tolvane::forms;

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
    const auto lines = p.Lang(0)->DiagnosticLines();
    QCOMPARE(lines.size(), 1u);
    QCOMPARE(lines[0].second, U(u8" (  4) : Error  CASLIIにない命令があります。"));
    // The hover over that line gives the same text.
    QTextCursor at(p.editors[0]->document()->findBlockByNumber(3));
    QVERIFY(p.Lang(0)->HoverText(at).contains(lines[0].second));
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
    QCOMPARE(list->item(0)->text(), U(u8"ラベル LOOP に直す"));
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
    for (int i = 0; i < completer->model()->rowCount(); ++i) labels << completer->model()->index(i, 0).data().toString();
    QVERIFY(labels.contains(QStringLiteral("LD")));
    QVERIFY(labels.contains(QStringLiteral("OUT")));
    QVERIFY(!labels.contains(QStringLiteral("GR1")));
    // Choosing LD writes its operand form and selects the first operand.
    completer->setCompletionPrefix(QStringLiteral("LD"));
    completer->popup()->setCurrentIndex(completer->completionModel()->index(0, 0));
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    QCOMPARE(p.editors[0]->document()->findBlockByNumber(3).text(), QStringLiteral("\tLD\tr,adr"));
    QCOMPARE(p.editors[0]->textCursor().selectedText(), QStringLiteral("r"));
    // Typing in the operand column opens the list of registers and labels by itself.
    QTest::keyClicks(p.editors[0], QStringLiteral("G"));
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(completer->completionPrefix(), QStringLiteral("G"));
    QCOMPARE(completer->currentCompletion(), QStringLiteral("GR0"));
  }

  void referencesRenameAndFormat() {
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
