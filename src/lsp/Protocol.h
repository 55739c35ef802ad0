#pragma once
// The wire side of the language server: the protocol's error codes and
// shapes, and the conversions between the wire and the language services
// (URIs and paths, UTF-16 columns and byte columns, CP932 and UTF-8). The
// services never see JSON; this is the one place that knows both.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "common/Diagnostic.h"
#include "lang/LanguageService.h"

namespace tolvane::lsp {

using nlohmann::json;

// JSON-RPC and protocol error codes.
enum ErrorCode : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kServerNotInitialized = -32002,
  kRequestFailed = -32803,
};

// Thrown by a handler: answered as an error with this code.
struct RpcError {
  int code;
  std::string message;
};

// The byte column of one line (CP932 bytes, or UTF-8 when `utf8`) at `units`
// UTF-16 code units from its start, and back. Past the end gives the end.
std::int32_t ByteColumn(std::string_view line, std::int64_t units, bool utf8);
std::int64_t UnitColumn(std::string_view line, std::int32_t bytes, bool utf8);

// "file:///a%20b.cas" <-> "/a b.cas". Not a file URI: empty.
std::string PathOfUri(const std::string& uri);
std::string UriOfPath(const std::string& path);

// A text of the services (CP932) on the wire (UTF-8).
std::string Wire(const std::string& cp932);

// The protocol's numbers for the services' kinds.
int CompletionItemKind(lang::CompletionKind kind);
int SymbolKind(lang::SymbolKind kind);

// A completion item: its text with the operands as snippet tab stops
// ("LD\t${1:r},${2:adr}"), plain text when it has none.
json CompletionItem(const lang::Completion& c);

// A diagnostic record placed at `range` (already in wire columns): its code,
// and warnings (a lone CR, a NUL) as warnings.
json DiagnosticItem(const Diagnostic& d, const json& range);

}  // namespace tolvane::lsp
