// Find and replace: the search and replace operations on a text control, and
// the two modeless dialogs of the main window acting on the current page.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "forms/EditorSearch.h"
#include "forms/FindDialogs_f.h"
#include "forms/UiFonts.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

enum class Op { Forward, Backward, Replace, ReplaceAll };

// The selection as [start, end) with the caret at the end when collapsed.
struct Selection {
  int start;
  int end;
};

void SetUp(QPlainTextEdit& edit, const QString& text, Selection selection) {
  edit.setPlainText(text);
  edit.document()->clearUndoRedoStacks();
  QTextCursor cursor = edit.textCursor();
  cursor.setPosition(selection.start);
  cursor.setPosition(selection.end, QTextCursor::KeepAnchor);
  edit.setTextCursor(cursor);
}

}  // namespace

// One operation on the control; its result as the operation gives it (a
// ReplaceStep as its number).
template <typename Options>
int Run(Op op, QPlainTextEdit& edit, const QString& pattern, const QString& replacement, const Options& options) {
  switch (op) {
    case Op::Forward:
      return SearchForward(&edit, pattern, options);
    case Op::Backward:
      return SearchBackward(&edit, pattern, options);
    case Op::Replace:
      return int(ReplaceNext(&edit, pattern, replacement, options));
    case Op::ReplaceAll:
      return ReplaceAll(&edit, pattern, replacement, options);
  }
  return 0;
}

class FindReplaceTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void operations_data() {
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<int>("startAfter");
    QTest::addColumn<int>("endAfter");
    const auto F = int(Op::Forward), B = int(Op::Backward), R = int(Op::Replace), A = int(Op::ReplaceAll);
    const int replaced = int(ReplaceStep::Replaced), found = int(ReplaceStep::Found), none = int(ReplaceStep::NotFound);
    // clang-format off
    QTest::newRow("case ignored")          << F << "abc ABC" << 0 << 0 << "ABC" << "" << false << 1 << "abc ABC" << 0 << 3;
    QTest::newRow("case matched")          << F << "abc ABC" << 0 << 0 << "ABC" << "" << true << 5 << "abc ABC" << 4 << 7;
    QTest::newRow("starts after selection")<< F << "abc abc" << 0 << 3 << "abc" << "" << true << 5 << "abc abc" << 4 << 7;
    QTest::newRow("no wrap-around")        << F << "abc abc" << 4 << 7 << "abc" << "" << true << -1 << "abc abc" << 7 << 7;
    QTest::newRow("only before the caret") << F << "abc xyz" << 5 << 5 << "abc" << "" << true << -1 << "abc xyz" << 5 << 5;
    QTest::newRow("line breaks count one") << F << "L1\nxx\nabc" << 2 << 2 << "abc" << "" << true << 7 << "L1\nxx\nabc" << 6 << 9;
    QTest::newRow("empty pattern")         << F << "abc" << 1 << 1 << "" << "" << true << -1 << "abc" << 1 << 1;
    // Lower-casing "İ" gives two characters: a folded copy would shift the match by one.
    QTest::newRow("folding keeps places")  << F << "İİ abc" << 0 << 0 << "ABC" << "" << false << 4 << "İİ abc" << 3 << 6;
    QTest::newRow("full-width letters")    << F << "xＡＢＣ" << 0 << 0 << "ａｂｃ" << "" << false << 2 << "xＡＢＣ" << 1 << 4;
    QTest::newRow("backward, no overlap")  << B << "aaa" << 3 << 3 << "aa" << "" << true << 1 << "aaa" << 0 << 2;
    QTest::newRow("backward before sel")   << B << "abc abc" << 4 << 7 << "abc" << "" << true << 1 << "abc abc" << 0 << 3;
    QTest::newRow("backward none")         << B << "xyz abc" << 5 << 7 << "abc" << "" << true << -1 << "xyz abc" << 5 << 5;
    QTest::newRow("backward case ignored") << B << "ABC abc" << 4 << 4 << "abc" << "" << false << 1 << "ABC abc" << 0 << 3;
    // Replace shows an occurrence before it changes it, and changes the one selected.
    QTest::newRow("replace finds first")   << R << "a1 a2" << 0 << 0 << "a" << "bb" << true << found << "a1 a2" << 0 << 1;
    QTest::newRow("replace the selection") << R << "a1 a2" << 0 << 1 << "a" << "bb" << true << replaced << "bb1 a2" << 4 << 5;
    QTest::newRow("replace the last")      << R << "a1 a2" << 3 << 4 << "a" << "bb" << true << replaced << "a1 bb2" << 3 << 5;
    QTest::newRow("selection not a match") << R << "A a" << 0 << 1 << "a" << "x" << true << found << "A a" << 2 << 3;
    QTest::newRow("selection, case ignored")<< R << "A a" << 0 << 1 << "a" << "x" << false << replaced << "x a" << 2 << 3;
    QTest::newRow("replace none")          << R << "xyz" << 0 << 0 << "a" << "x" << true << none << "xyz" << 0 << 0;
    QTest::newRow("replace empty pattern") << R << "xyz" << 0 << 0 << "" << "x" << true << none << "xyz" << 0 << 0;
    QTest::newRow("all a to aa")           << A << "aaa" << 1 << 2 << "a" << "aa" << true << 3 << "aaaaaa" << 6 << 6;
    QTest::newRow("all, case ignored")     << A << "abc ABC aBc!" << 0 << 0 << "abc" << "x" << false << 3 << "x x x!" << 5 << 5;
    QTest::newRow("all across lines")      << A << "ab\nab\nzab" << 0 << 0 << "ab" << "X" << true << 3 << "X\nX\nzX" << 6 << 6;
    QTest::newRow("all to nothing")        << A << "a-b-c" << 0 << 0 << "-" << "" << true << 2 << "abc" << 2 << 2;
    QTest::newRow("all none")              << A << "abc" << 1 << 1 << "x" << "y" << true << 0 << "abc" << 1 << 1;
    QTest::newRow("all empty pattern")     << A << "abc" << 1 << 1 << "" << "y" << true << 0 << "abc" << 1 << 1;
    // clang-format on
  }

  void operations() {
    QFETCH(int, op);
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(bool, matchCase);
    QFETCH(int, result);
    QFETCH(QString, textAfter);
    QFETCH(int, startAfter);
    QFETCH(int, endAfter);
    QPlainTextEdit edit;
    SetUp(edit, text, {selStart, selEnd});
    QCOMPARE(Run(Op(op), edit, pattern, replacement, matchCase), result);
    QCOMPARE(edit.toPlainText(), textAfter);
    QCOMPARE(edit.textCursor().selectionStart(), startAfter);
    QCOMPARE(edit.textCursor().selectionEnd(), endAfter);
  }

  // The dialogs' two further boxes, off at start: whole word and wrap-around.
  void wholeWordAndWrapAround_data() {
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<int>("startAfter");
    const auto F = int(Op::Forward), B = int(Op::Backward), R = int(Op::Replace), A = int(Op::ReplaceAll);
    const int found = int(ReplaceStep::Found);
    // clang-format off
    QTest::newRow("word skips GR10")       << F << "LD GR10,GR1" << 0 << "GR1" << true << false << 9 << "LD GR10,GR1" << 8;
    QTest::newRow("word at text edges")    << F << "GR1" << 0 << "GR1" << true << false << 1 << "GR1" << 0;
    QTest::newRow("word, _ is a letter")   << F << "A_GR1 GR1" << 0 << "GR1" << true << false << 7 << "A_GR1 GR1" << 6;
    QTest::newRow("word, none")            << F << "GR10 XGR1" << 0 << "GR1" << true << false << -1 << "GR10 XGR1" << 0;
    QTest::newRow("word backward")         << B << "GR1 GR12" << 8 << "GR1" << true << false << 1 << "GR1 GR12" << 0;
    QTest::newRow("word backward, cut")    << B << "GR1 GR12" << 7 << "GR1" << true << false << 1 << "GR1 GR12" << 0;
    QTest::newRow("word all")              << A << "GR1,GR10;GR1" << 0 << "GR1" << true << false << 2 << "GR2,GR10;GR2" << 12;
    QTest::newRow("word replace finds")    << R << "GR10 GR1" << 0 << "GR1" << true << false << found << "GR10 GR1" << 5;
    QTest::newRow("wrap forward")          << F << "abc xyz" << 5 << "abc" << false << true << 1 << "abc xyz" << 0;
    QTest::newRow("wrap backward")         << B << "xyz abc" << 1 << "abc" << false << true << 5 << "xyz abc" << 4;
    QTest::newRow("wrap, none at all")     << F << "xyz" << 2 << "abc" << false << true << -1 << "xyz" << 2;
    QTest::newRow("wrap replace finds")    << R << "a1 b" << 3 << "a" << false << true << found << "a1 b" << 0;
    QTest::newRow("no wrap by default")    << F << "abc xyz" << 5 << "abc" << false << false << -1 << "abc xyz" << 5;
    // clang-format on
  }

  void wholeWordAndWrapAround() {
    QFETCH(int, op);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(QString, pattern);
    QFETCH(bool, wholeWord);
    QFETCH(bool, wrap);
    QFETCH(int, result);
    QFETCH(QString, textAfter);
    QFETCH(int, startAfter);
    QPlainTextEdit edit;
    SetUp(edit, text, {caret, caret});
    QCOMPARE(Run(Op(op), edit, pattern, QStringLiteral("GR2"), SearchOptions{true, wholeWord, wrap}), result);
    QCOMPARE(edit.toPlainText(), textAfter);
    QCOMPARE(edit.textCursor().selectionStart(), startAfter);
  }

  // Replace All and Replace are one undo step each, which gives the old text back.
  void replacementsAreOneUndoStepEach() {
    QPlainTextEdit edit;
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("\tLD\tGR1,DATA%1\n").arg(i);
    SetUp(edit, text, {0, 0});
    QCOMPARE(ReplaceAll(&edit, QStringLiteral("gr1"), QStringLiteral("GR2"), false), 200);
    QVERIFY(!edit.toPlainText().contains(QLatin1String("GR1")));
    edit.undo();
    QCOMPARE(edit.toPlainText(), text);
    QVERIFY(!edit.document()->isUndoAvailable());

    SetUp(edit, QStringLiteral("x a y"), {2, 3});
    QCOMPARE(ReplaceNext(&edit, QStringLiteral("a"), QStringLiteral("bcd"), true), ReplaceStep::Replaced);
    edit.undo();
    QCOMPARE(edit.toPlainText(), QStringLiteral("x a y"));
    QVERIFY(!edit.document()->isUndoAvailable());
  }

  void findDialogFromTheMainWindow() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "LD GR1\r\nld gr1\r\n")));
    EditorControl* control = f.Editor()->PageEditor(1);
    f.Main()->RunCommand("mnuFind");
    TFindDialog* dialog = f.Main()->FindReplace()->FindDialog1();
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->objectName(), QStringLiteral("FindDialog1"));
    // At start: downward, case matched, whole word and wrap-around off.
    QVERIFY(dialog->SearchDown());
    QVERIFY(dialog->MatchCase());
    QVERIFY(!dialog->chkWholeWord()->isChecked() && !dialog->chkWrapAround()->isChecked());
    QVERIFY(!dialog->btnFindNext()->isEnabled());  // nothing to find yet
    // While it is open the page shows its selection without the focus.
    QVERIFY(control->palette().color(QPalette::Inactive, QPalette::Highlight).alpha() > 0);

    dialog->SetFindText(QStringLiteral("gr1"));
    QVERIFY(dialog->btnFindNext()->isEnabled());
    QTest::mouseClick(dialog->btnFindNext(), Qt::LeftButton);
    QCOMPARE(control->textCursor().selectedText(), QStringLiteral("gr1"));
    QCOMPARE(control->textCursor().selectionStart(), 10);
    QTest::mouseClick(dialog->btnFindNext(), Qt::LeftButton);
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"検索文字列 ' gr1 ' は見つかりませんでした。")});
    QCOMPARE(f.dialogs.boxes.at(0).kind, BoxKind::Information);
    // Upward with the case ignored walks back to the first line's GR1.
    dialog->SetSearchDown(false);
    dialog->SetMatchCase(false);
    QTest::mouseClick(dialog->btnFindNext(), Qt::LeftButton);
    QCOMPARE(control->textCursor().selectionStart(), 10);
    QTest::mouseClick(dialog->btnFindNext(), Qt::LeftButton);
    QCOMPARE(control->textCursor().selectedText(), QStringLiteral("GR1"));
    QCOMPARE(control->textCursor().selectionStart(), 3);
    // Ticked, wrap-around goes on from the other end instead of saying "not found".
    QTest::mouseClick(dialog->chkWrapAround(), Qt::LeftButton);
    QTest::mouseClick(dialog->btnFindNext(), Qt::LeftButton);
    QCOMPARE(control->textCursor().selectionStart(), 10);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    dialog->chkWrapAround()->setChecked(false);

    // Closing hides the unfocused selection again and gives the page the focus.
    QTest::mouseClick(dialog->btnCancel(), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(control->palette().color(QPalette::Inactive, QPalette::Highlight).alpha(), 0);
    QTRY_VERIFY(control->hasFocus());
    // It keeps its text and options for the next use.
    f.Main()->RunCommand("mnuFind");
    QCOMPARE(dialog->FindText(), QStringLiteral("gr1"));
    QVERIFY(!dialog->SearchDown() && !dialog->MatchCase());
    dialog->reject();
    // A hidden unfocused selection keeps the text in the page's own colour, also after the colours change.
    f.Editor()->SetEditorColors(Qt::white, Qt::black);
    QCOMPARE(control->palette().color(QPalette::Inactive, QPalette::HighlightedText), QColor(Qt::white));
    QCOMPARE(control->palette().color(QPalette::Inactive, QPalette::Highlight).alpha(), 0);
  }

  void replaceDialogActsOnTheCurrentPage() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "one one")));
    QVERIFY(f.Main()->OpenPath(f.Write("b.cas", "one two one")));
    f.Main()->RunCommand("mnuReplace");
    TReplaceDialog* dialog = f.Main()->FindReplace()->ReplaceDialog1();
    QCOMPARE(dialog->objectName(), QStringLiteral("ReplaceDialog1"));
    QVERIFY(dialog->isVisible());
    for (QPushButton* b : {dialog->btnFindNext(), dialog->btnReplace(), dialog->btnReplaceAll()})
      QVERIFY(!b->isEnabled());
    // Tab goes from the text to find to its replacement.
    dialog->editFind()->setFocus();
    QTest::keyClicks(dialog->editFind(), QStringLiteral("one"));
    QTest::keyClick(dialog->editFind(), Qt::Key_Tab);
    QCOMPARE(dialog->focusWidget(), dialog->editReplace());
    QTest::keyClicks(dialog->editReplace(), QStringLiteral("1"));
    QCOMPARE(dialog->FindText(), QStringLiteral("one"));
    // Page 2 is current: the first press of Replace shows the occurrence, the second replaces it.
    EditorControl* second = f.Editor()->PageEditor(2);
    QTest::mouseClick(dialog->btnReplace(), Qt::LeftButton);
    QCOMPARE(second->toPlainText(), QStringLiteral("one two one"));
    QCOMPARE(second->textCursor().selectionStart(), 0);
    QTest::mouseClick(dialog->btnReplace(), Qt::LeftButton);
    QCOMPARE(second->toPlainText(), QStringLiteral("1 two one"));
    QCOMPARE(second->textCursor().selectedText(), QStringLiteral("one"));
    // Another page made current meanwhile is where the next press acts.
    f.Editor()->ActivatePage(1);
    QTest::mouseClick(dialog->btnReplaceAll(), Qt::LeftButton);
    QCOMPARE(f.Editor()->PageEditor(1)->toPlainText(), QStringLiteral("1 1"));
    QCOMPARE(second->toPlainText(), QStringLiteral("1 two one"));
    QVERIFY(f.Editor()->PageModified(1));
    // Nothing left: Replace All and Find Next say so.
    QTest::mouseClick(dialog->btnReplaceAll(), Qt::LeftButton);
    QTest::mouseClick(dialog->btnFindNext(), Qt::LeftButton);
    QCOMPARE(f.dialogs.Texts(), QStringList(2, UiText(u8"検索文字列 ' one ' は見つかりませんでした。")));
    dialog->reject();
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  void findCommandsAskTheDebuggingGuard() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    f.fake.debugging = true;
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuFind");
    QVERIFY(!f.Main()->FindReplace()->FindDialog1()->isVisible());
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuReplace");
    QVERIFY(!f.Main()->FindReplace()->ReplaceDialog1()->isVisible());
    QCOMPARE(f.dialogs.Texts(), QStringList(2, UiText(u8"デバッグ中です。デバッグを終了しますか？")));
  }
};

QTEST_MAIN(FindReplaceTest)
#include "FindReplaceTest.moc"
