// What a source page shows besides its text: the syntax colours, the
// line-number gutter with its marks, the line a diagnostic sends the user to,
// and the modified marks of the tabs.
#include <QAccessible>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

#include "app/CoreBinding.h"
#include "forms/AsmHighlighter.h"
#include "forms/LineGutter.h"
#include "forms/SourceView.h"
#include "forms/UiFonts.h"
#include "forms/frmMain_f.h"
#include "forms/frmMessage_f.h"
#include "support/EditorInput.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

constexpr int kPlain = -1;

// The colour the highlighter gave the character at `position` of line `line`
// (both from 0); invalid when the character is plain text.
QColor ColourAt(QPlainTextEdit* e, int line, int position) {
  const QTextBlock block = e->document()->findBlockByNumber(line);
  for (const QTextLayout::FormatRange& r : block.layout()->formats()) {
    if (position >= r.start && position < r.start + r.length) return r.format.foreground().color();
  }
  return QColor();
}

QColor Expected(QPlainTextEdit* e, int kind) {
  if (kind == kPlain) return QColor();
  return AsmHighlighter::Of(e->document())->Format(static_cast<TokenKind>(kind)).foreground().color();
}

QString Lines(int count) {
  QStringList lines;
  for (int i = 1; i <= count; ++i) lines << QStringLiteral("L%1\tNOP").arg(i);
  return lines.join(QLatin1Char('\n'));
}

// The centre of line `line` (from 1) in the gutter's coordinates.
QPoint RowCentre(QPlainTextEdit* e, LineGutter* g, int line) {
  const QRect row = e->cursorRect(QTextCursor(e->document()->findBlockByNumber(line - 1)));
  const QPoint inEditor = e->viewport()->mapTo(e, QPoint(0, row.center().y()));
  return QPoint(g->GutterWidth() / 2, g->mapFrom(e, inEditor).y());
}

QWidget* TabMark(TfrmEditor* e, int page) {
  return e->findChild<QTabWidget*>("PageControl1")->tabBar()->tabButton(page - 1, QTabBar::LeftSide);
}

const QColor kDarkText(0xE4, 0xD5, 0xD0);
const QColor kDarkBack(0x24, 0x27, 0x30);

}  // namespace

class SourceViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  // Each kind of piece at given positions of a few lines, on a dark background.
  void eachPieceGetsItsColourOnADarkBackground() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->SetEditorColors(kDarkText, kDarkBack);
    e->NewFile();
    EditorControl* ed = e->PageEditor(1);
    SetText(ed, QStringLiteral("MAIN\tSTART\t\t; entry\n"
                               "\tLD\tGR1,=#00FF,GR2\n"
                               "MSG\tDC\t'IT''S;',-5,#0A\n"
                               "\tIN\tBUF,LEN ignored\n"
                               "LD GR1,A\n"
                               "   ; only a comment\n"
                               "\tld\tgr1,12A"));
    const int L = static_cast<int>(TokenKind::Label), M = static_cast<int>(TokenKind::Machine),
              D = static_cast<int>(TokenKind::Directive), X = static_cast<int>(TokenKind::Macro),
              R = static_cast<int>(TokenKind::Register), N = static_cast<int>(TokenKind::Number),
              S = static_cast<int>(TokenKind::String), I = static_cast<int>(TokenKind::Literal),
              C = static_cast<int>(TokenKind::Comment);
    struct Row {
      int line;
      int position;
      int kind;
    };
    const Row rows[] = {
        {0, 0, L},      {0, 3, L},  {0, 4, kPlain}, {0, 5, D},      {0, 9, D},      {0, 12, C},      {0, 18, C},
        {1, 1, M},      {1, 4, R},  {1, 7, kPlain}, {1, 8, I},      {1, 13, I},     {1, 14, kPlain}, {1, 15, R},
        {2, 0, L},      {2, 4, D},  {2, 7, S},      {2, 13, S},     {2, 14, S},     {2, 15, kPlain}, {2, 16, N},
        {2, 19, N},     {2, 21, N}, {3, 1, X},      {3, 4, kPlain}, {3, 12, C},     {4, 0, L},       {4, 3, kPlain},
        {5, 0, kPlain}, {5, 3, C},  {6, 1, kPlain}, {6, 4, kPlain}, {6, 8, kPlain},
    };
    for (const Row& r : rows) {
      QCOMPARE(ColourAt(ed, r.line, r.position), Expected(ed, r.kind));
    }
    // Light colours on the dark page, each readable on it and all of them apart.
    const SourceColours colours = SourceColours::Derive(kDarkText, kDarkBack);
    QSet<QRgb> seen;
    for (int k = 0; k < kTokenKinds; ++k) {
      const QColor c = Expected(ed, k);
      QCOMPARE(c, colours.tokens[k]);
      QVERIFY(c.lightnessF() > kDarkBack.lightnessF());
      QVERIFY(SourceColours::Contrast(c, kDarkBack) >= 4.5);
      seen.insert(c.rgb());
    }
    QCOMPARE(seen.size(), kTokenKinds);
  }

  // Every colour stays readable whatever background the options choose.
  void coloursFollowTheBackgroundsLightness() {
    struct Case {
      QColor background;
      bool dark;
    };
    const Case cases[] = {
        {Qt::white, false},
        {Qt::black, true},
        {QColor(0, 0, 128), true},
        {QColor(255, 255, 0), false},
        {QColor(128, 128, 128), false},
        {QColor(0, 64, 0), true},
        {QColor(255, 240, 200), false},
    };
    for (const Case& c : cases) {
      QCOMPARE(SourceColours::IsDark(c.background), c.dark);
      const QColor text = c.dark ? QColor(Qt::white) : QColor(Qt::black);
      const SourceColours s = SourceColours::Derive(text, c.background);
      for (int k = 0; k < kTokenKinds; ++k)
        QVERIFY2(SourceColours::Contrast(s.tokens[k], c.background) >= 4.5, qPrintable(c.background.name()));
      QVERIFY(SourceColours::Contrast(s.gutterText, s.gutterBackground) >= 4.5);
      QVERIFY(SourceColours::Contrast(text, s.markedLine) >= 4.5);
      QVERIFY(s.markedLine != c.background);
    }
    // An invalid colour stands for the application palette's.
    const SourceColours system = SourceColours::Derive(QColor(), QColor());
    QCOMPARE(system.background, QApplication::palette().color(QPalette::Base));
    QCOMPARE(system.text, QApplication::palette().color(QPalette::Text));
  }

  void editsRecolourTheirLineAndOptionsRecolourEveryPage() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    QVERIFY(e->OpenFile(f.Write("a.cas", "\tRET\r\n")));
    e->NewFile();
    EditorControl* ed = e->PageEditor(2);
    ed->setFocus();
    Type(ed, QStringLiteral("\tLD"));
    QCOMPARE(ColourAt(ed, 0, 1), Expected(ed, static_cast<int>(TokenKind::Machine)));
    Type(ed, QStringLiteral("X"));  // LDX is no instruction
    QCOMPARE(ColourAt(ed, 0, 1), QColor());
    // New colours reach every page; no page changes its modified flag.
    const QColor before = ColourAt(e->PageEditor(1), 0, 1);
    e->SetEditorColors(kDarkText, kDarkBack);
    const QColor after = ColourAt(e->PageEditor(1), 0, 1);
    QVERIFY(after != before);
    QCOMPARE(after, SourceColours::Derive(kDarkText, kDarkBack).Token(TokenKind::Machine));
    QVERIFY(!e->PageModified(1));
    QVERIFY(e->PageModified(2));
    // The formats carry colours only, so the page's font applies to all of it.
    e->SetEditorFont(MakeFont(FontGothic(), 20));
    for (const QTextLayout::FormatRange& r : e->PageEditor(1)->document()->firstBlock().layout()->formats()) {
      QVERIFY(!r.format.hasProperty(QTextFormat::FontPointSize));
      QVERIFY(!r.format.hasProperty(QTextFormat::FontFamilies));
    }
    // Colours move with the text when a page closes, and a page that received
    // a fresh document colours what is opened into it.
    e->NewFile();
    SetText(e->PageEditor(3), QStringLiteral("\tIN\tA,B"));
    e->ActivatePage(2);
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(e->CloseCurrent());
    QCOMPARE(ColourAt(e->PageEditor(2), 0, 1), SourceColours::Derive(kDarkText, kDarkBack).Token(TokenKind::Macro));
    QVERIFY(e->OpenFile(f.Write("b.cas", "\tDS\t1")));
    QCOMPARE(e->CurrentPage(), 3);
    QCOMPARE(ColourAt(e->PageEditor(3), 0, 1), SourceColours::Derive(kDarkText, kDarkBack).Token(TokenKind::Directive));
  }

  void gutterNumbersTheLinesAndReportsClicks() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->NewFile();
    EditorControl* ed = e->PageEditor(1);
    LineGutter* g = e->PageGutter(1);
    QVERIFY(g && g->isVisible());
    QCOMPARE(g->accessibleName(), UiText(u8"行番号"));
    // Three digits at least; the text starts after the gutter.
    const int digit = QFontMetrics(ed->font()).horizontalAdvance(QLatin1Char('9'));
    const int narrow = g->GutterWidth();
    QCOMPARE(ed->viewport()->geometry().left(), g->geometry().left() + narrow + EditorControl::kInsetX);
    SetText(ed, Lines(999));
    QCOMPARE(g->GutterWidth(), narrow);
    QTest::keyClick(ed, Qt::Key_Return);
    QCOMPARE(ed->blockCount(), 1000);
    QCOMPARE(g->GutterWidth(), narrow + digit);
    QCOMPARE(ed->viewport()->geometry().left(), g->geometry().left() + narrow + digit + EditorControl::kInsetX);
    // The gutter follows the font.
    e->SetEditorFont(MakeFont(FontGothic(), 24));
    QVERIFY(g->GutterWidth() > narrow + digit);

    // A click on a row reports its line; below the last line nothing.
    SetText(ed, Lines(3));
    QSignalSpy clicked(g, &LineGutter::clicked);
    QTest::mouseClick(g, Qt::LeftButton, {}, RowCentre(ed, g, 3));
    QTest::mouseClick(g, Qt::LeftButton, {}, RowCentre(ed, g, 1));
    QTest::mouseClick(g, Qt::LeftButton, {}, QPoint(2, g->height() - 2));
    QTest::mouseClick(g, Qt::RightButton, {}, RowCentre(ed, g, 2));
    QCOMPARE(clicked.size(), 2);
    QCOMPARE(clicked[0][0].toInt(), 3);
    QCOMPARE(clicked[1][0].toInt(), 1);

    // Scrolled down, the gutter's rows are the lines shown beside them.
    SetText(ed, Lines(500));
    ed->verticalScrollBar()->setValue(ed->verticalScrollBar()->maximum());
    QCoreApplication::processEvents();
    const int first = ed->cursorForPosition(QPoint(0, 0)).blockNumber() + 1;
    QVERIFY(first > 400);
    QCOMPARE(g->LineAt(RowCentre(ed, g, first).y()), first);
    QCOMPARE(g->LineAt(RowCentre(ed, g, first + 5).y()), first + 5);
  }

  void gutterMarksFollowTheirLines() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->NewFile();
    e->NewFile();
    EditorControl* ed = e->PageEditor(2);
    LineGutter* g = e->PageGutter(2);
    SetText(ed, Lines(20));
    g->SetMarks(5, LineGutter::BreakpointMark);
    g->SetMarks(9, LineGutter::BreakpointMark | LineGutter::CurrentLineMark);
    g->SetMarks(99, LineGutter::BreakpointMark);  // no such line
    QCOMPARE(g->MarkedLines(LineGutter::BreakpointMark), QList<int>({5, 9}));
    // Two lines inserted above: the marks move down with their lines.
    QTextCursor c(ed->document());
    c.insertText(QStringLiteral("X\nY\n"));
    QCOMPARE(g->Marks(5), unsigned(LineGutter::NoMark));
    QCOMPARE(g->Marks(7), unsigned(LineGutter::BreakpointMark));
    QCOMPARE(g->MarkedLines(LineGutter::CurrentLineMark), QList<int>({11}));
    g->ClearMarks(LineGutter::CurrentLineMark);
    QCOMPARE(g->Marks(11), unsigned(LineGutter::BreakpointMark));
    QVERIFY(g->MarkedLines(LineGutter::CurrentLineMark).isEmpty());

    // The mark column makes room for itself and draws the marks in their rows
    // (the IDE shows it from the start, for breakpoints on lines).
    g->SetMarkColumnVisible(false);
    const int width = g->GutterWidth();
    g->SetMarkColumnVisible(true);
    QVERIFY(g->GutterWidth() > width);
    QCoreApplication::processEvents();
    const QImage picture = g->grab().toImage();
    const QFontMetrics metrics(ed->font());
    const QPoint mark(2 + metrics.height() / 2, RowCentre(ed, g, 7).y());
    const QColor breakpoint = SourceColours::Derive(QColor(), QColor()).breakpointMark;
    const qreal ratio = picture.devicePixelRatio();
    QCOMPARE(picture.pixelColor(mark * ratio).rgb(), breakpoint.rgb());
    QVERIFY(picture.pixelColor(QPoint(mark.x(), RowCentre(ed, g, 8).y()) * ratio).rgb() != breakpoint.rgb());

    // The marks travel with the text when the page before it closes.
    e->ActivatePage(1);
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(e->CloseCurrent());
    QCOMPARE(e->PageGutter(1)->MarkedLines(LineGutter::BreakpointMark), QList<int>({7, 11}));
  }

  // A disabled breakpoint is a sign as plain as an enabled one, and both show
  // round the arrow of the line the program stands at.
  void breakpointSignsShowUnderTheArrow() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->NewFile();
    EditorControl* ed = e->PageEditor(1);
    LineGutter* g = e->PageGutter(1);
    g->SetMarkColumnVisible(true);
    SetText(ed, Lines(8));
    g->SetMarks(2, LineGutter::DisabledBreakpointMark);
    g->SetMarks(3, LineGutter::DisabledBreakpointMark | LineGutter::CurrentLineMark);
    g->SetMarks(4, LineGutter::BreakpointMark);
    g->SetMarks(5, LineGutter::BreakpointMark | LineGutter::CurrentLineMark);
    g->SetMarks(6, LineGutter::CurrentLineMark);
    QCoreApplication::processEvents();
    const QImage picture = g->grab().toImage();
    const qreal ratio = picture.devicePixelRatio();
    const int side = QFontMetrics(ed->font()).height();
    // The pixels of a line's mark in the colour.
    auto count = [&](int line, const QColor& colour) {
      const int centre = RowCentre(ed, g, line).y();
      int n = 0;
      for (int y = centre - side / 2; y <= centre + side / 2; ++y)
        for (int x = 0; x < side + 4; ++x) n += picture.pixelColor(QPoint(x, y) * ratio).rgb() == colour.rgb();
      return n;
    };
    const SourceColours colours = SourceColours::Derive(QColor(), QColor());
    const int area = side * side;
    QVERIFY(count(2, colours.disabledBreakpointMark) > area / 4);
    QVERIFY(count(2, colours.disabledBreakpointMark) > count(2, colours.breakpointMark) + area / 4);
    for (const auto& [line, colour] : {std::pair{3, colours.disabledBreakpointMark}, {5, colours.breakpointMark}}) {
      QVERIFY2(count(line, colour) > area / 8, qPrintable(QString::number(line)));
      QVERIFY2(count(line, colour) < count(line - 1, colour), qPrintable(QString::number(line)));
    }
    QCOMPARE(count(6, colours.disabledBreakpointMark) + count(6, colours.breakpointMark), 0);
    // A screen reader hears which lines carry which marks.
    QTRY_COMPARE(g->accessibleDescription(),
                 UiText(u8"実行中の行 3,5,6; ブレークポイント 4,5; 無効なブレークポイント 2,3"));
  }

  // The line the debugged program stands at comes into view with lines of
  // context around it, and its page to the front of the editing area.
  void theExecutionLineComesForwardWithContext() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->NewFile();
    EditorControl* ed = e->PageEditor(1);
    SetText(ed, Lines(200));
    MarkedLine* marked = MarkedLine::Of(ed);
    QCoreApplication::processEvents();
    const int rows = ed->viewport()->height() / ed->cursorRect().height();
    QVERIFY(rows > 2 * kContextLines + 1);
    auto top = [&] { return ed->verticalScrollBar()->value(); };
    // Below the view: it ends kContextLines above the last row.
    marked->ShowExecutionLine(100);
    QCOMPARE(top() + rows - 1 - kContextLines, 100 - 1);
    // Above the view: kContextLines below the first row.
    marked->ShowExecutionLine(60);
    QCOMPARE(top(), 60 - 1 - kContextLines);
    // Inside the margins: the view stays.
    const int before = top();
    marked->ShowExecutionLine(60 + 2);
    QCOMPARE(top(), before);
    // With the listing in front, the source page comes to the front.
    f.Main()->RunCommand("mnuListingFile");
    QCoreApplication::processEvents();
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"リスティングファイル"));
    marked->ShowExecutionLine(61);
    QCoreApplication::processEvents();
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"ソースコード"));
    QVERIFY(!e->visibleRegion().isEmpty());
    // Taking the mark away leaves the listing where the user put it.
    f.Main()->RunCommand("mnuListingFile");
    marked->ShowExecutionLine(0);
    QCoreApplication::processEvents();
    QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"リスティングファイル"));
  }

  // The same on a real debugging session: trace and step, with the listing
  // in front, show the source page.
  void traceAndStepBringTheSourcePageForward() {
    ShellFixture f(false);
    const QString path = f.Write(QStringLiteral("prog.cas"),
                                 "PROG\tSTART\r\n\tLAD\tGR1,5\r\n\tCALL\tSUB\r\n\tRET\r\nSUB\tRET\r\n\tEND\r\n");
    QVERIFY(f.Main()->OpenPath(path));
    f.Main()->RunCommand("mnuBuild");
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuDebugStart");
    QVERIFY(f.shell.Core()->DebuggingActive());
    for (const char* command : {"mnuTrace", "mnuStep"}) {
      f.Main()->RunCommand("mnuListingFile");
      QCoreApplication::processEvents();
      QCOMPARE(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit), UiText(u8"リスティングファイル"));
      f.Main()->RunCommand(command);
      QCoreApplication::processEvents();
      QVERIFY2(f.Main()->ActivePageCaption(TfrmMain::DockArea::Edit) == UiText(u8"ソースコード"), command);
    }
  }

  // The message window's double-click sends the user to a diagnostic's line,
  // which stays marked until the user edits it or leaves it.
  void aDiagnosticsLineIsMarkedUntilTheUserLeavesIt() {
    ShellFixture f;
    const QString a = f.Write("a.cas", "L1\r\nL2\r\nL3\r\nL4\r\n");
    const QString b = f.Write("b.cas", "M1\r\nM2\r\n");
    QVERIFY(f.Main()->OpenPath(a));
    f.fake.assembleResult = false;
    f.fake.diagnostics = {{3, Severity::Error, " (  3) : Error  something"}, {0, Severity::Info, "   1 Errors"}};
    f.Main()->RunCommand("mnuAssemble");
    TfrmMessage* messages = f.Main()->Windows().message;
    QVERIFY(messages->ActivateLine(1));
    EditorControl* ed = f.Editor()->PageEditor(1);
    MarkedLine* marked = MarkedLine::Of(ed);
    QCOMPARE(marked->Line(), 3);
    const auto selections = ed->extraSelections();
    QCOMPARE(selections.size(), 1);
    QCOMPARE(selections[0].cursor.blockNumber(), 2);
    QVERIFY(selections[0].format.property(QTextFormat::FullWidthSelection).toBool());
    QCOMPARE(selections[0].format.background().color(), SourceColours::Derive(QColor(), QColor()).markedLine);
    // Moving inside the line keeps it; new colours keep it and recolour it.
    QTest::keyClick(ed, Qt::Key_End);
    f.Editor()->SetEditorColors(kDarkText, kDarkBack);
    QCOMPARE(marked->Line(), 3);
    QCOMPARE(ed->extraSelections().value(0).format.background().color(),
             SourceColours::Derive(kDarkText, kDarkBack).markedLine);
    // Leaving the line clears it.
    QTest::keyClick(ed, Qt::Key_Down);
    QCOMPARE(marked->Line(), 0);
    QVERIFY(ed->extraSelections().isEmpty());
    // So does an edit of the line.
    QVERIFY(messages->ActivateLine(1));
    QCOMPARE(marked->Line(), 3);
    Type(ed, QStringLiteral("Z"));
    QCOMPARE(ed->document()->findBlockByNumber(2).text(), QStringLiteral("ZL3"));
    QCOMPARE(marked->Line(), 0);
    QVERIFY(ed->extraSelections().isEmpty());
    // A mark on another page takes it from the first.
    QVERIFY(messages->ActivateLine(1));
    QVERIFY(f.Editor()->GoToLine(b, 2));
    QCOMPARE(marked->Line(), 0);
    QCOMPARE(MarkedLine::Of(f.Editor()->PageEditor(2))->Line(), 2);
    // Closing a page before it moves the marked text to another page: the
    // mark goes, and no page keeps a wash that belonged to another text.
    f.Editor()->ActivatePage(1);
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(f.Editor()->CloseCurrent());
    for (int i = 1; i <= 2; ++i) {
      QCOMPARE(MarkedLine::Of(f.Editor()->PageEditor(i))->Line(), 0);
      QVERIFY(f.Editor()->PageEditor(i)->extraSelections().isEmpty());
    }
  }

  void tabsShowWhichPagesAreModified() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    auto* tabs = e->findChild<QTabWidget*>("PageControl1");
    const QString modified = UiText(u8"変更あり");
    QVERIFY(e->OpenFile(f.Write("a.cas", "A")));
    QCOMPARE(TabMark(e, 1)->accessibleName(), QString());
    QCOMPARE(tabs->tabToolTip(0), f.Path("a.cas"));
    const int width = tabs->tabBar()->tabRect(0).width();
    e->PageEditor(1)->insertPlainText("x");
    QCOMPARE(TabMark(e, 1)->accessibleName(), modified);
    QCOMPARE(tabs->tabToolTip(0), f.Path("a.cas") + QLatin1Char('\n') + modified);
    // The caption stays the file name, and the tab keeps its width.
    QCOMPARE(tabs->tabText(0), QStringLiteral("a.cas"));
    QCOMPARE(tabs->tabBar()->tabRect(0).width(), width);
    QVERIFY(e->SaveCurrent());
    QCOMPARE(TabMark(e, 1)->accessibleName(), QString());
    // A new page is modified at once; the marks follow the pages when one closes.
    e->NewFile();
    QVERIFY(e->OpenFile(f.Write("b.cas", "B")));
    QCOMPARE(TabMark(e, 2)->accessibleName(), modified);
    QCOMPARE(tabs->tabText(1), QStringLiteral("Noname1.cas"));
    QCOMPARE(TabMark(e, 3)->accessibleName(), QString());
    e->ActivatePage(2);
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(e->CloseCurrent());
    QCOMPARE(tabs->tabText(1), QStringLiteral("b.cas"));
    QCOMPARE(TabMark(e, 2)->accessibleName(), QString());
    QCOMPARE(tabs->tabToolTip(2), QString());
    // Options do not mark pages modified.
    e->SetEditorFont(MakeFont(FontGothic(), 16));
    e->SetEditorColors(kDarkText, kDarkBack);
    QCOMPARE(TabMark(e, 1)->accessibleName(), QString());
    // A screen reader reads the caption as the tab's name and the state in its description.
    e->PageEditor(2)->insertPlainText("y");
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(tabs->tabBar());
    QVERIFY(bar);
    QAccessibleInterface* tab = nullptr;
    for (int i = 0; i < bar->childCount(); ++i) {
      QAccessibleInterface* child = bar->child(i);
      if (child && child->text(QAccessible::Name) == QStringLiteral("b.cas")) tab = child;
    }
    QVERIFY(tab);
    QVERIFY(tab->text(QAccessible::Description).contains(modified));
  }
};

QTEST_MAIN(SourceViewTest)
#include "SourceViewTest.moc"
