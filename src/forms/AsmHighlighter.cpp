#include "forms/AsmHighlighter.h"

#include <QApplication>
#include <QPalette>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace tolvane::forms {

namespace {

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
  const QColor rgb = c.toRgb();
  return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

QColor Mix(const QColor& a, const QColor& b, double amountOfB) {
  const QColor x = a.toRgb(), y = b.toRgb();
  auto mix = [&](double p, double q) { return p + (q - p) * amountOfB; };
  return QColor::fromRgbF(static_cast<float>(mix(x.redF(), y.redF())), static_cast<float>(mix(x.greenF(), y.greenF())),
                          static_cast<float>(mix(x.blueF(), y.blueF())));
}

constexpr double kReadable = 4.5;

// A colour of the given hue and saturation, as light (on a dark background) or
// as dark (on a light one) as it must be to reach `wanted` contrast with the
// background, starting from a comfortable lightness. When the background
// allows no such colour, the one with the most contrast.
QColor Readable(const QColor& background, double hue, double saturation, double wanted = kReadable) {
  const bool dark = SourceColours::IsDark(background);
  const double step = dark ? 0.02 : -0.02;
  double lightness = dark ? 0.72 : 0.34;
  QColor best;
  double bestContrast = 0;
  for (; lightness >= 0 && lightness <= 1; lightness += step) {
    const QColor c = QColor::fromHslF(static_cast<float>(hue / 360.0), static_cast<float>(saturation),
                                      static_cast<float>(lightness));
    const double contrast = SourceColours::Contrast(c, background);
    if (contrast >= wanted) return c;
    if (contrast > bestContrast) {
      bestContrast = contrast;
      best = c;
    }
  }
  return best;
}

// Hue (degrees) and saturation of each kind of piece, in TokenKind order:
// neighbouring kinds get hues well apart so that a line reads at a glance.
struct Hue {
  double hue;
  double saturation;
};
constexpr Hue kHues[kTokenKinds] = {
    {28, 0.85},   // Label: amber brown
    {215, 0.85},  // Machine instruction: blue
    {285, 0.65},  // Directive: purple
    {262, 0.60},  // Macro: indigo
    {180, 0.90},  // Register: teal
    {15, 0.90},   // Number: vermilion
    {350, 0.75},  // String: crimson
    {320, 0.70},  // Literal: magenta
    {125, 0.45},  // Comment: muted green
};

}  // namespace

double SourceColours::Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool SourceColours::IsDark(const QColor& background) {
  return Contrast(Qt::white, background) > Contrast(Qt::black, background);
}

SourceColours SourceColours::Derive(const QColor& text, const QColor& background) {
  SourceColours c;
  c.text = text.isValid() ? text : QApplication::palette().color(QPalette::Text);
  c.background = background.isValid() ? background : QApplication::palette().color(QPalette::Base);
  for (int k = 0; k < kTokenKinds; ++k) c.tokens[k] = Readable(c.background, kHues[k].hue, kHues[k].saturation);
  // The gutter sets itself off by a shade; its numbers are quieter than the
  // text but stay readable.
  const QColor against = IsDark(c.background) ? QColor(Qt::white) : QColor(Qt::black);
  c.gutterBackground = Mix(c.background, against, 0.07);
  c.gutterText = Mix(c.text, c.gutterBackground, 0.35);
  if (Contrast(c.gutterText, c.gutterBackground) < kReadable) c.gutterText = c.text;
  // A warm wash behind the whole line that keeps the text on it readable.
  const QColor warm = QColor::fromHslF(48.0f / 360.0f, 1.0f, 0.5f);
  for (double amount = IsDark(c.background) ? 0.30 : 0.40; amount > 0.05; amount -= 0.05) {
    c.markedLine = Mix(c.background, warm, amount);
    if (Contrast(c.text, c.markedLine) >= kReadable || Contrast(c.text, c.background) < kReadable) break;
  }
  // A cool wash, told apart from the warm one, for the line being executed.
  const QColor cool = QColor::fromHslF(200.0f / 360.0f, 1.0f, 0.5f);
  for (double amount = IsDark(c.background) ? 0.30 : 0.35; amount > 0.05; amount -= 0.05) {
    c.executionLine = Mix(c.background, cool, amount);
    if (Contrast(c.text, c.executionLine) >= kReadable || Contrast(c.text, c.background) < kReadable) break;
  }
  c.breakpointMark = Readable(c.gutterBackground, 0, 0.85, 3.0);
  // Olive, as the disassembly marks a disabled breakpoint.
  c.disabledBreakpointMark = Readable(c.gutterBackground, 60, 1.0, 3.0);
  c.currentLineMark = Readable(c.gutterBackground, 45, 1.0, 3.0);
  return c;
}

// ---------------------------------------------------------------------------

AsmHighlighter::AsmHighlighter(QTextDocument* document, const SourceColours& colours) : QSyntaxHighlighter(document) {
  setObjectName(QStringLiteral("AsmHighlighter"));
  TakeColours(colours);
}

void AsmHighlighter::TakeColours(const SourceColours& colours) {
  for (int k = 0; k < kTokenKinds; ++k) {
    QTextCharFormat format;
    format.setForeground(colours.tokens[k]);
    formats_[k] = format;
  }
}

void AsmHighlighter::SetColours(const SourceColours& colours) {
  bool same = true;
  for (int k = 0; k < kTokenKinds; ++k) same = same && formats_[k].foreground().color() == colours.tokens[k];
  if (same) return;  // options applied again without a new colour: nothing to paint
  TakeColours(colours);
  rehighlight();
}

AsmHighlighter* AsmHighlighter::Of(QTextDocument* document) {
  return document ? document->findChild<AsmHighlighter*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void AsmHighlighter::highlightBlock(const QString& text) {
  ScanLineTokens(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())),
      tokens_);
  for (const LineToken& t : tokens_) setFormat(t.start, t.length, formats_[static_cast<int>(t.kind)]);
}

}  // namespace tolvane::forms
