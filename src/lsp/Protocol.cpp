#include "lsp/Protocol.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/Cp932.h"

namespace tolvane::lsp {

namespace {

bool IsLead932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::size_t Utf8Length(unsigned char c) { return c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4; }

// Bytes of the character starting with `c`, and its UTF-16 code units.
std::size_t CharBytes(unsigned char c, bool utf8) { return utf8 ? Utf8Length(c) : (IsLead932(c) ? 2 : 1); }
std::int64_t CharUnits(std::size_t bytes, bool utf8) { return utf8 && bytes == 4 ? 2 : 1; }

int HexValue(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Snippet text: $, } and \ are written with a backslash before them.
std::string SnippetEscaped(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    if (c == '$' || c == '}' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::int32_t ByteColumn(std::string_view line, std::int64_t units, bool utf8) {
  std::size_t b = 0;
  std::int64_t u = 0;
  while (b < line.size() && u < units) {
    const std::size_t n = CharBytes(static_cast<unsigned char>(line[b]), utf8);
    u += CharUnits(n, utf8);
    b = std::min(line.size(), b + n);
  }
  return static_cast<std::int32_t>(b);
}

std::int64_t UnitColumn(std::string_view line, std::int32_t bytes, bool utf8) {
  std::int64_t u = 0;
  for (std::size_t b = 0; b < line.size() && b < static_cast<std::size_t>(bytes);) {
    const std::size_t n = CharBytes(static_cast<unsigned char>(line[b]), utf8);
    u += CharUnits(n, utf8);
    b += n;
  }
  return u;
}

std::string PathOfUri(const std::string& uri) {
  if (uri.rfind("file://", 0) != 0) return {};
  std::string path;
  for (std::size_t i = 7; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      path += static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2]));
      i += 2;
    } else {
      path += uri[i];
    }
  }
  return path;
}

std::string UriOfPath(const std::string& path) {
  std::string uri = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-._~", c)) {
      uri += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      uri += buf;
    }
  }
  return uri;
}

std::string Wire(const std::string& cp932) { return Cp932ToUtf8(cp932); }

int CompletionItemKind(lang::CompletionKind kind) {
  switch (kind) {
    case lang::CompletionKind::Instruction:
    case lang::CompletionKind::Directive:
      return 14;  // Keyword
    case lang::CompletionKind::Macro:
      return 3;  // Function
    case lang::CompletionKind::Register:
      return 6;  // Variable
    case lang::CompletionKind::Label:
      return 18;  // Reference
  }
  return 1;  // Text
}

int SymbolKind(lang::SymbolKind kind) {
  switch (kind) {
    case lang::SymbolKind::Program:
      return 2;  // Module
    case lang::SymbolKind::Code:
      return 12;  // Function
    case lang::SymbolKind::Data:
      return 14;  // Constant
    case lang::SymbolKind::Area:
      return 13;  // Variable
    case lang::SymbolKind::Macro:
      return 24;  // Event
  }
  return 13;
}

json CompletionItem(const lang::Completion& c) {
  json item = {{"label", Wire(c.label)}, {"kind", CompletionItemKind(c.kind)}};
  if (!c.detail.empty()) item["detail"] = Wire(c.detail);
  if (!c.documentation.empty()) item["documentation"] = {{"kind", "plaintext"}, {"value", Wire(c.documentation)}};
  if (c.placeholders.empty()) {
    item["insertText"] = Wire(c.text);
    item["insertTextFormat"] = 1;  // PlainText
    return item;
  }
  // Each piece is converted on its own: a CP932 trail byte may look like a
  // backslash, which only the UTF-8 text shows as what it is.
  std::string snippet;
  std::size_t at = 0;
  int stop = 0;
  for (const lang::Span& p : c.placeholders) {
    const auto start = static_cast<std::size_t>(p.start);
    snippet += SnippetEscaped(Wire(c.text.substr(at, start - at)));
    snippet += "${" + std::to_string(++stop) + ":" +
               SnippetEscaped(Wire(c.text.substr(start, static_cast<std::size_t>(p.length)))) + "}";
    at = start + static_cast<std::size_t>(p.length);
  }
  snippet += SnippetEscaped(Wire(c.text.substr(at)));
  item["insertText"] = snippet;
  item["insertTextFormat"] = 2;  // Snippet
  return item;
}

json DiagnosticItem(const Diagnostic& d, const json& range) {
  return {{"range", range},
          {"severity", d.severity == Severity::Warning ? 2 : 1},
          {"code", CodeId(d.code)},
          {"source", "tolvane"},
          {"message", Wire(d.message)}};
}

}  // namespace tolvane::lsp
