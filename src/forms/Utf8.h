#pragma once
#include <QString>

namespace tolvane::forms {

// The windows' own texts are written readably in the source as u8"..." literals.
inline QString UiText(const char8_t* utf8) { return QString::fromUtf8(reinterpret_cast<const char*>(utf8)); }

}  // namespace tolvane::forms
