#pragma once
#include <QString>

class QObject;
class QWidget;

namespace tolvane::forms {

// The folder of help pages: "help" beside the executable.
QString HelpFolder();
// Another folder of help pages (tests); an empty string goes back to the
// folder beside the executable.
void SetHelpFolder(const QString& folder);

// Opens one help page (a bare file name in the help folder, such as
// "index.html" or "HID00000046.htm") in the help viewer. A missing page is
// reported with "ヘルプファイルが見つかりません。" and gives false. `owner` is the
// window the page is shown for; a modal dialog that asks stays open and usable.
// A topic may name a place in its page: "windows.html#editor".
bool OpenHelpTopic(QWidget* owner, const QString& topic);

// The topic F1 opens for `widget`: that of the nearest window or dialog around
// it that has one ("index.html" when none has, the main window's topic).
QString HelpTopicFor(const QWidget* widget);

// Makes F1 open the topic of the window or dialog that holds the focus, modal
// dialogs included, for as long as `owner` lives.
void InstallHelpKey(QObject* owner);

}  // namespace tolvane::forms
