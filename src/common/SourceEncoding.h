#pragma once
// Which encoding a text file (a source, a project) is in, and its text as the
// CP932 bytes the assembler, the project reader and the debugger work on.
//
// Students write in editors that save UTF-8, so both encodings are read; one
// rule decides, here, for every reader:
//   - a UTF-8 byte-order mark means UTF-8;
//   - otherwise bytes that are valid UTF-8 and contain a non-ASCII byte mean
//     UTF-8 (CP932 Japanese text is almost never valid UTF-8);
//   - otherwise CP932 (plain ASCII is the same in both).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

enum class TextEncoding { Cp932, Utf8 };

struct EncodingGuess {
  TextEncoding encoding = TextEncoding::Cp932;
  bool byteOrderMark = false;  // a UTF-8 mark leads the bytes
  bool operator==(const EncodingGuess&) const = default;
};

inline bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Length of the strict UTF-8 sequence at `at` (1 for ASCII), 0 when the bytes
// there are no valid sequence.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at);

EncodingGuess DetectEncoding(std::string_view bytes);

// Characters of a UTF-8 file that CP932 cannot hold stand in the CP932 text as
// this byte, and their offsets are listed, so that a reader can tell where
// they were (the assembler refuses them outside comments).
inline constexpr char kUnheldCharacter = '?';

struct DecodedText {
  std::string cp932;
  EncodingGuess from;
  std::vector<std::size_t> unheld;  // offsets in `cp932`, ascending
};

// The diagnostic for such a character (CP932 bytes).
std::string UnheldCharacterText();

// The bytes of a file as CP932 text; a CP932 file is returned as it is.
DecodedText DecodeToCp932(std::string_view bytes);

}  // namespace tolvane
