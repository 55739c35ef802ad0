#include "forms/DialogPort.h"

namespace tolvane::forms {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (80H-FFH) becomes U+DC00 + b

// The code point of the well-formed UTF-8 sequence at bytes[i] and its length,
// or length 0 when there is none (overlong forms and surrogates included).
std::size_t DecodeOne(const std::string& bytes, std::size_t i, char32_t& cp) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
  const unsigned char lead = b(0);
  std::size_t n;
  char32_t min;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    n = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > bytes.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

QString PathFromBytes(const std::string& bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const std::size_t n = DecodeOne(bytes, i, cp);
    if (n == 0) {
      out.append(QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i]))));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      out.append(QChar(QChar::highSurrogate(cp)));
      out.append(QChar(QChar::lowSurrogate(cp)));
    } else {
      out.append(QChar(static_cast<char16_t>(cp)));
    }
    i += n;
  }
  return out;
}

std::string PathBytes(const QString& name) {
  std::string out;
  out.reserve(static_cast<std::size_t>(name.size()));
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
      AppendUtf8(out, QChar::surrogateToUcs4(c, name[i + 1].unicode()));
      ++i;
    } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
      out.push_back(static_cast<char>(c - kEscapeBase));
    } else if (QChar::isSurrogate(c)) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace tolvane::forms
