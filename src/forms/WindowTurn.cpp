#include "forms/WindowTurn.h"

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QElapsedTimer>
#include <QEventLoop>

namespace tolvane::forms {

void WindowSystemTurn() { WindowSystemTurn(QAccessible::isActive()); }

void WindowSystemTurn(bool toolListening) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (!dispatcher) return;
  const bool handled = dispatcher->processEvents(QEventLoop::AllEvents);
  // Without a tool listening, or with nothing asked, the program goes on at once.
  if (!handled || !toolListening) return;
  QElapsedTimer turn, quiet;
  turn.start();
  quiet.start();
  while (quiet.elapsed() < kQuestionGapMillis && turn.elapsed() < kLongestTurnMillis) {
    if (dispatcher->processEvents(QEventLoop::AllEvents)) quiet.restart();
  }
}

}  // namespace tolvane::forms
