#pragma once
#include <string>

namespace tolvane {

// Replaces the extension of `path` by `extension` (which carries its own dot).
// The extension dot is the last '.' that is not the first byte, is not preceded
// by another '.', and is not followed by '/' or '\'. The scan deliberately does
// not stop at directory separators. Without such a dot the extension is appended.
std::string ChangeExtension(const std::string& path, const std::string& extension);

}  // namespace tolvane
