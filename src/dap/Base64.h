#pragma once
// The protocol carries memory contents in base64 (RFC 4648, with padding).
#include <string>
#include <string_view>

namespace tolvane::dap {

std::string Base64Encode(std::string_view bytes);
// False for text that is not base64 (blanks and line ends are skipped).
bool Base64Decode(std::string_view text, std::string& bytes);

}  // namespace tolvane::dap
