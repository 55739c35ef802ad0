#include "forms/UiFonts.h"

#include <QFontDatabase>
#include <QStringList>

#include "forms/Utf8.h"

namespace tolvane::forms {

QString FontGothic() { return UiText(u8"ＭＳ ゴシック"); }
QString FontPGothic() { return UiText(u8"ＭＳ Ｐゴシック"); }
QString FontMincho() { return UiText(u8"ＭＳ 明朝"); }
QString FontFixedSys() { return QStringLiteral("FixedSys"); }

namespace {
// The installed family closest to the wish, so that a machine without the IPA
// fonts still gets a fixed-pitch font for the panes.
QStringList FixedCandidates() {
  return {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
          QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")};
}
}  // namespace

void InstallFontSubstitutions() {
  const QStringList fixed = FixedCandidates();
  QFont::insertSubstitutions(FontGothic(), fixed);
  QFont::insertSubstitutions(FontFixedSys(), fixed);
  QFont::insertSubstitutions(FontMincho(), QStringList{QStringLiteral("IPAMincho")} + fixed);
  QFont::insertSubstitutions(FontPGothic(), {QStringLiteral("IPAPGothic"), QStringLiteral("IPAPゴシック"),
                                             QStringLiteral("IPAGothic"), QStringLiteral("Sans Serif")});
}

QFont MakeFont(const QString& name, int pointSize) {
  QFont font(name, UsableFontSize(pointSize));
  if (name != FontPGothic()) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
  }
  return font;
}

int UsableFontSize(int points) { return points >= kMinFontPoints && points <= kMaxFontPoints ? points : 12; }

QFont GothicPixels(int pixels) {
  QFont font(FontGothic());
  font.setPixelSize(pixels);
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

}  // namespace tolvane::forms
