#pragma once
#include <cstddef>
#include <string>

namespace tolvane {

// CP932 <-> UTF-8 through glibc iconv ("CP932" matches the Windows table,
// including 0x1A, 0x1C and 0x7F as themselves).

// Converts CP932 bytes to UTF-8. Bytes that are not valid CP932 become U+FFFD.
std::string Cp932ToUtf8(const std::string& cp932);

// Converts UTF-8 to CP932. Returns false when some character has no CP932
// form (or the input is not UTF-8); `badOffset` then receives the byte offset
// in `utf8` of the first such character and `out` holds the text before it.
bool Utf8ToCp932(const std::string& utf8, std::string& out, std::size_t* badOffset = nullptr);

// CP932 bytes of a UTF-8 text known to be convertible (the program's own
// Japanese messages, written readably in the source).
std::string Cp932Text(const char* utf8);
inline std::string Cp932Text(const char8_t* utf8) { return Cp932Text(reinterpret_cast<const char*>(utf8)); }

}  // namespace tolvane
