#pragma once
// One turn of the window system for a running program (the plain run, GO and
// animate give one between instructions every few milliseconds).

namespace tolvane::forms {

// Handles what is pending, then returns. While an assistive tool (a screen
// reader) is reading the windows, the turn stays open for as long as its
// questions keep coming: it asks one thing at a time and waits for each
// answer, and every question waiting for the next turn made reading the
// windows during a run take tens of seconds.
void WindowSystemTurn();
// The same, `toolListening` saying whether such a tool reads the windows.
void WindowSystemTurn(bool toolListening);

// How long the turn waits for an assistive tool's next question (ms), and how
// long one turn may last at most.
inline constexpr int kQuestionGapMillis = 2;
inline constexpr int kLongestTurnMillis = 250;

}  // namespace tolvane::forms
