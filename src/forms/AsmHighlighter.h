#pragma once
// Syntax colours of a source page: the colour of each kind of piece the
// assembler finds in a line, worked out from the page's text and background
// colours, and the highlighter that paints them.
#include <QColor>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <array>
#include <vector>

#include "asm/LineTokens.h"

class QTextDocument;

namespace tolvane::forms {

// Every colour a source page draws besides its plain text. Each is chosen for
// the background: a dark background gets light colours and a light one dark
// colours, each kept at a contrast ratio of at least 4.5 to the background
// where the background allows it (the ratio readable text needs).
struct SourceColours {
  QColor text;        // plain text (the options' text colour)
  QColor background;  // the page (the options' background colour)
  std::array<QColor, kTokenKinds> tokens;
  QColor gutterBackground;  // the line-number column
  QColor gutterText;        // line numbers
  QColor markedLine;        // background of a line the user was sent to (a diagnostic's)
  QColor breakpointMark;    // marks in the gutter
  QColor disabledBreakpointMark;
  QColor currentLineMark;
  QColor executionLine;  // background of the line the debugged program stands at

  QColor Token(TokenKind kind) const { return tokens[static_cast<int>(kind)]; }
  // An invalid colour stands for the application palette's text or base colour.
  static SourceColours Derive(const QColor& text, const QColor& background);
  // The contrast ratio of two colours, 1 (same luminance) to 21 (black on white).
  static double Contrast(const QColor& a, const QColor& b);
  // Whether light text reads better on `background` than dark text.
  static bool IsDark(const QColor& background);
};

// Colours one document's lines as the assembler reads them. A line's colours
// depend on that line only, so an edit repaints just the lines it touched.
// The highlighter belongs to its document and moves with it between pages.
class AsmHighlighter : public QSyntaxHighlighter {
  Q_OBJECT
 public:
  AsmHighlighter(QTextDocument* document, const SourceColours& colours);
  // New colours, and every line painted again.
  void SetColours(const SourceColours& colours);
  QTextCharFormat Format(TokenKind kind) const { return formats_[static_cast<int>(kind)]; }
  // The document's highlighter, or null.
  static AsmHighlighter* Of(QTextDocument* document);

 protected:
  void highlightBlock(const QString& text) override;

 private:
  void TakeColours(const SourceColours& colours);

  std::array<QTextCharFormat, kTokenKinds> formats_;
  std::vector<LineToken> tokens_;  // kept to spare an allocation per line
};

}  // namespace tolvane::forms
