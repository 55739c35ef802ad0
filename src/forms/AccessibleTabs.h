#pragma once

class QTabBar;

namespace tolvane::forms {

// A tab bar whose pages exist for good but are shown only while in use (the
// editor's and the listing viewer's ten pages): screen readers are told only of
// the tabs shown. Qt's own description lists hidden tabs as ordinary ones with
// no name.
void ExposeOnlyShownTabs(QTabBar* bar);

// Tells screen readers that the tabs shown have changed.
void ShownTabsChanged(QTabBar* bar);

}  // namespace tolvane::forms
