#pragma once

class QTabBar;

namespace tolvane::forms {

// A tab bar whose pages exist for good but are shown only while in use (the
// editor's and the listing viewer's ten pages): screen readers are told of the
// tabs shown as page tabs; a hidden one stays in its place as an invisible
// item without role or name, so that the tab bar's own notices, which give a
// tab by its index among all tabs, find it. Qt's own description lists hidden
// tabs as ordinary ones with no name.
void ExposeOnlyShownTabs(QTabBar* bar);

// Tells screen readers that the tabs shown have changed.
void ShownTabsChanged(QTabBar* bar);

}  // namespace tolvane::forms
