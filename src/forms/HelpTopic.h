#pragma once
#include <QString>

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
bool OpenHelpTopic(QWidget* owner, const QString& topic);

}  // namespace tolvane::forms
