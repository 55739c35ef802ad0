#pragma once
#include <QFont>
#include <QString>

namespace tolvane::forms {

// The windows name their fonts as the option texts do ("ＭＳ ゴシック",
// "ＭＳ Ｐゴシック", "ＭＳ 明朝", "FixedSys"); these are mapped onto the installed
// Japanese fonts (IPAGothic for the fixed-pitch ones, IPAPGothic for the
// proportional one). Call once after the QApplication exists.
void InstallFontSubstitutions();

// The names as the windows use them.
QString FontGothic();    // "ＭＳ ゴシック"  (fixed pitch)
QString FontPGothic();   // "ＭＳ Ｐゴシック" (proportional)
QString FontMincho();    // "ＭＳ 明朝"
QString FontFixedSys();  // "FixedSys"

// The sizes the options offer run from 8 to 72 points. A size outside them
// (a settings file edited by hand: 5000 points leaves a page blank) gives 12.
constexpr int kMinFontPoints = 8;
constexpr int kMaxFontPoints = 72;
int UsableFontSize(int points);

// A font of that name and point size (UsableFontSize). Every name but the
// proportional Gothic is forced to fixed pitch, so that text panes line up by
// character cells.
QFont MakeFont(const QString& name, int pointSize);

// The fixed-pitch Gothic at a pixel size: the text panes' font (message window,
// listing viewer, console), which follows the screen rather than the point size.
QFont GothicPixels(int pixels);

}  // namespace tolvane::forms
