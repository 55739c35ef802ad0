#pragma once
#include <QString>
#include <string>
#include <string_view>

namespace tolvane::forms {

// File names on this system are bytes, normally UTF-8. Qt's own name decoding
// turns every byte that is not UTF-8 into U+FFFD, after which the file cannot
// be found again. These two keep such a byte as an escape character of its own
// (U+DC80 to U+DCFF) so that every name survives the trip through a QString.
// Use them wherever a path crosses between the windows and the file system or
// the core's tools.
QString FileNameFromBytes(std::string_view bytes);
std::string FileNameBytes(const QString& name);

}  // namespace tolvane::forms
