#include "common/SourceEncoding.h"

#include "common/Cp932.h"

namespace tolvane {

std::size_t Utf8SequenceLength(std::string_view s, std::size_t p) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(p);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;  // overlong
    if (c == 0xED) hi = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;  // overlong
    if (c == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (p + n > s.size()) return 0;
  if (b(p + 1) < lo || b(p + 1) > hi) return 0;
  for (std::size_t i = 2; i < n; ++i)
    if (b(p + i) < 0x80 || b(p + i) > 0xBF) return 0;
  return n;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t p = 0; p < bytes.size();) {
    const std::size_t n = Utf8SequenceLength(bytes, p);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

EncodingGuess DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with(kUtf8ByteOrderMark)) return {TextEncoding::Utf8, true};
  bool nonAscii = false;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      nonAscii = true;
      break;
    }
  }
  if (nonAscii && IsValidUtf8(bytes)) return {TextEncoding::Utf8, false};
  return {TextEncoding::Cp932, false};
}

std::string UnheldCharacterText() { return Cp932Text(u8"Shift-JIS(CP932)で表せない文字があります。"); }

DecodedText DecodeToCp932(std::string_view bytes) {
  DecodedText result;
  result.from = DetectEncoding(bytes);
  if (result.from.encoding == TextEncoding::Cp932) {
    result.cp932 = std::string(bytes);
    return result;
  }
  if (result.from.byteOrderMark) bytes.remove_prefix(kUtf8ByteOrderMark.size());
  // A marked file need not be valid UTF-8 throughout: a broken sequence is
  // treated like a character CP932 cannot hold. Converted line by line, so
  // that the work for each such character is bounded by its line.
  result.cp932.reserve(bytes.size());
  std::string part;
  while (!bytes.empty()) {
    const std::size_t nl = bytes.find('\n');
    std::string_view line = bytes.substr(0, nl == std::string_view::npos ? bytes.size() : nl + 1);
    bytes.remove_prefix(line.size());
    while (!line.empty()) {
      std::size_t bad = 0;
      const bool whole = Utf8ToCp932(std::string(line), part, &bad);
      result.cp932 += part;
      if (whole) break;
      result.unheld.push_back(result.cp932.size());
      result.cp932 += kUnheldCharacter;
      const std::size_t n = Utf8SequenceLength(line, bad);
      line.remove_prefix(bad + (n == 0 ? 1 : n));
    }
  }
  return result;
}

}  // namespace tolvane
