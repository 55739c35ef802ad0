// tolvane-cli lsp: the language services as a language server on standard
// input and output (JSON-RPC with Content-Length framing), for any editor
// with a language-server client.
//
// Texts are UTF-8 on the wire and CP932 in the services; positions are
// UTF-16 code units on the wire and bytes in the services, converted per
// line. A text with a character CP932 cannot hold is kept as UTF-8 (the
// language's own characters are ASCII either way).
#include <dirent.h>
#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "common/BinaryIo.h"
#include "common/Cp932.h"
#include "common/SourceEncoding.h"
#include "lang/LanguageService.h"

namespace tolvane::cli {

const char* const kLspHelp =
    "  lsp [--stdio]    serve the language services (definition, references, hover,\n"
    "                   completion, rename, formatting, quick fixes, diagnostics) to an\n"
    "                   editor over standard input and output (Language Server Protocol)\n";

namespace {

using nlohmann::json;
using lang::LanguageService;
using lang::Position;

// JSON-RPC and protocol error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;

// A message larger than this is read past and answered with an error; a
// document larger than kMaxDocument is kept out of the services. No CASL II
// source comes near either (the machine holds 65,536 words).
constexpr std::size_t kMaxMessage = 32u << 20;
constexpr std::size_t kMaxDocument = 8u << 20;
constexpr std::size_t kMaxFolderFiles = 200;

struct RpcError {
  int code;
  std::string message;
};

bool IsLead932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::size_t Utf8Length(unsigned char c) { return c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4; }

// Converts between the wire's UTF-16 columns and the byte columns of one line.
std::int32_t ByteColumn(std::string_view line, std::int64_t units, bool utf8) {
  std::size_t b = 0;
  std::int64_t u = 0;
  while (b < line.size() && u < units) {
    const auto c = static_cast<unsigned char>(line[b]);
    std::size_t n = utf8 ? Utf8Length(c) : (IsLead932(c) ? 2 : 1);
    u += utf8 && n == 4 ? 2 : 1;
    b = std::min(line.size(), b + n);
  }
  return static_cast<std::int32_t>(b);
}

std::int64_t UnitColumn(std::string_view line, std::int32_t bytes, bool utf8) {
  std::int64_t u = 0;
  for (std::size_t b = 0; b < line.size() && b < static_cast<std::size_t>(bytes);) {
    const auto c = static_cast<unsigned char>(line[b]);
    std::size_t n = utf8 ? Utf8Length(c) : (IsLead932(c) ? 2 : 1);
    u += utf8 && n == 4 ? 2 : 1;
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
      path += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
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

class Server {
 public:
  int Run();

 private:
  struct Document {
    bool utf8 = false;  // kept as UTF-8: some character has no CP932 form
    bool open = false;
    bool tooLarge = false;
  };

  bool ReadMessage(std::string& body, bool& tooLarge, bool& noLength);
  void Send(const json& message);
  void Reply(const json& id, const json& result) { Send({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}}); }
  void Fail(const json& id, int code, const std::string& message) {
    Send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
  }
  void Notify(const std::string& method, const json& params) {
    Send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
  }

  void Handle(const json& message);
  json Request(const std::string& method, const json& params);
  void Notification(const std::string& method, const json& params);

  // Documents.
  void Open(const std::string& uri, const std::string& utf8);
  void Change(const std::string& uri, const json& changes);
  void LoadFolderOf(const std::string& uri);
  void LoadClosed(const std::string& uri);  // a source on disk, not open in the editor
  void Publish(const std::string& uri);
  json DiagnosticOf(const std::string& uri, const lang::PlacedDiagnostic& d) const;
  const lang::SourceModel& Model(const std::string& uri) const;
  Position At(const json& params) const;
  json RangeOf(const std::string& uri, std::int32_t line, lang::Span span) const;
  json PositionOf(const std::string& uri, std::int32_t line, std::int32_t byte) const;
  json LocationOf(const lang::Location& l) const { return {{"uri", l.document}, {"range", RangeOf(l.document, l.line, l.span)}}; }
  std::string Wire(const std::string& text) const { return Cp932ToUtf8(text); }
  std::string WireIn(const std::string& uri, const std::string& text) const;  // a document's own bytes
  json Edits(const std::string& uri, const std::vector<lang::TextEdit>& edits) const;
  std::string Local(Document& doc, std::string utf8);

  LanguageService service_;
  std::map<std::string, Document> documents_;
  std::set<std::string> folders_;
  lang::FormatOptions format_;
  bool initialized_ = false;
  bool shutdown_ = false;
};

bool Server::ReadMessage(std::string& body, bool& tooLarge, bool& noLength) {
  std::size_t length = 0;
  bool haveLength = false, sawHeader = false;
  noLength = false;
  for (;;) {
    std::string header;
    int c;
    while ((c = std::getc(stdin)) != EOF && c != '\n') header += static_cast<char>(c);
    if (c == EOF && header.empty()) return false;
    if (!header.empty() && header.back() == '\r') header.pop_back();
    if (header.empty()) {
      if (haveLength) break;
      if (c == EOF) return false;
      if (sawHeader) {  // a header block without its length: nothing to frame
        noLength = true;
        return true;
      }
      continue;  // stray blank lines before a message
    }
    sawHeader = true;
    // Found anywhere in the line, so that the reader finds its feet again
    // after a body that was shorter than its stated length.
    std::string lower = header;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const std::size_t at = lower.rfind("content-length:");
    if (at != std::string::npos) {
      const char* v = header.c_str() + at + 15;
      char* end = nullptr;
      const unsigned long long n = std::strtoull(v, &end, 10);
      haveLength = end != v;
      length = static_cast<std::size_t>(std::min<unsigned long long>(n, SIZE_MAX / 2));
    }
  }
  tooLarge = length > kMaxMessage;
  body.clear();
  if (!tooLarge) body.resize(length);
  char chunk[1 << 16];
  for (std::size_t done = 0; done < length;) {
    const std::size_t want = std::min(length - done, sizeof chunk);
    const std::size_t got = std::fread(tooLarge ? chunk : body.data() + done, 1, want, stdin);
    if (got == 0) return false;
    done += got;
  }
  return true;
}

void Server::Send(const json& message) {
  const std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
  std::fprintf(stdout, "Content-Length: %zu\r\n\r\n", body.size());
  std::fwrite(body.data(), 1, body.size(), stdout);
  std::fflush(stdout);
}

int Server::Run() {
  std::string body;
  bool tooLarge = false, noLength = false;
  while (ReadMessage(body, tooLarge, noLength)) {
    if (noLength) {
      Fail(nullptr, kParseError, "header without Content-Length");
      continue;
    }
    if (tooLarge) {
      Fail(nullptr, kInvalidRequest, "message larger than " + std::to_string(kMaxMessage) + " bytes ignored");
      continue;
    }
    const json message = json::parse(body, nullptr, false);
    if (message.is_discarded()) {
      Fail(nullptr, kParseError, "malformed JSON");
      continue;
    }
    Handle(message);
    if (message.is_object() && message.value("method", "") == "exit") return shutdown_ ? 0 : 1;
  }
  return shutdown_ ? 0 : 1;
}

void Server::Handle(const json& message) {
  if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
    const json id = message.is_object() && message.contains("id") ? message["id"] : json(nullptr);
    if (message.is_object() && message.contains("result")) return;  // an answer to something we never ask
    Fail(id, kInvalidRequest, "not a request or notification");
    return;
  }
  const std::string method = message["method"];
  const json params = message.value("params", json::object());
  const bool isRequest = message.contains("id");
  try {
    if (!isRequest) return Notification(method, params);
    const json& id = message["id"];
    if (!id.is_number_integer() && !id.is_string()) return Fail(nullptr, kInvalidRequest, "bad id");
    if (shutdown_) return Fail(id, kInvalidRequest, "the server is shut down");
    if (!initialized_ && method != "initialize") return Fail(id, kServerNotInitialized, "initialize first");
    Reply(id, Request(method, params));
  } catch (const RpcError& e) {
    if (isRequest) Fail(message["id"], e.code, e.message);
  } catch (const json::exception& e) {
    if (isRequest) Fail(message["id"], kInvalidParams, std::string("bad parameters: ") + e.what());
  } catch (const std::exception& e) {
    if (isRequest) Fail(message["id"], kRequestFailed, e.what());
  }
}

void Server::Notification(const std::string& method, const json& params) {
  if (method == "textDocument/didOpen") {
    const json& d = params.at("textDocument");
    Open(d.at("uri").get<std::string>(), d.at("text").get<std::string>());
  } else if (method == "textDocument/didChange") {
    Change(params.at("textDocument").at("uri").get<std::string>(), params.at("contentChanges"));
  } else if (method == "textDocument/didClose") {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    documents_.erase(uri);
    service_.RemoveDocument(uri);
    Notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
    // Still a source of its folder: its START labels stay known, as saved.
    if (folders_.count(PathOfUri(uri).substr(0, PathOfUri(uri).rfind('/')))) LoadClosed(uri);
  }
  // Every other notification (initialized, $/cancelRequest, didSave, ...) needs nothing.
}

std::string Server::Local(Document& doc, std::string utf8) {
  if (!doc.utf8) {
    std::string cp932;
    if (Utf8ToCp932(utf8, cp932)) return cp932;
    doc.utf8 = true;
  }
  return utf8;
}

void Server::Open(const std::string& uri, const std::string& utf8) {
  Document& doc = documents_[uri];
  doc = Document{};
  doc.open = true;
  doc.tooLarge = utf8.size() > kMaxDocument;
  if (doc.tooLarge) {
    service_.RemoveDocument(uri);
    Notify("window/showMessage",
           {{"type", 1}, {"message", uri + ": larger than " + std::to_string(kMaxDocument) + " bytes, not analysed"}});
    return;
  }
  service_.SetDocument(uri, Local(doc, utf8));
  Publish(uri);
  LoadFolderOf(uri);
}

void Server::Change(const std::string& uri, const json& changes) {
  auto it = documents_.find(uri);
  if (it == documents_.end() || !it->second.open) return;
  Document& doc = it->second;
  for (const json& change : changes) {
    const std::string text = change.at("text").get<std::string>();
    if (!change.contains("range")) {
      Open(uri, text);
      continue;
    }
    if (doc.tooLarge) continue;
    const lang::SourceModel& m = Model(uri);
    const bool wasUtf8 = doc.utf8;
    std::string local = Local(doc, text);
    if (doc.utf8 && !wasUtf8) service_.SetDocument(uri, Cp932ToUtf8(m.Text()));  // now UTF-8 throughout
    auto pos = [&](const json& p) {
      const std::int32_t line = p.at("line").get<std::int32_t>();
      const lang::SourceModel& cur = Model(uri);
      return Position{line, ByteColumn(cur.LineText(line), p.at("character").get<std::int64_t>(), doc.utf8)};
    };
    const json& r = change.at("range");
    service_.ChangeDocument(uri, pos(r.at("start")), pos(r.at("end")), local);
    if (Model(uri).Text().size() > kMaxDocument) Open(uri, "");
  }
  Publish(uri);
}

// The other sources of a document's folder, so that a START label defined in
// a file not open in the editor is found. Files on disk may be UTF-8 or CP932.
void Server::LoadFolderOf(const std::string& uri) {
  const std::string path = PathOfUri(uri);
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return;
  const std::string folder = path.substr(0, slash);
  if (!folders_.insert(folder).second) return;
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return;
  std::size_t count = 0;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() < 5 || strcasecmp(name.c_str() + name.size() - 4, ".cas") != 0) continue;
    if (++count > kMaxFolderFiles) break;
    const std::string fileUri = UriOfPath(folder + "/" + name);
    if (!documents_.count(fileUri)) LoadClosed(fileUri);
  }
  closedir(dir);
}

void Server::LoadClosed(const std::string& uri) {
  std::string bytes;
  if (ReadWholeFile(PathOfUri(uri), bytes, 1u << 20) != FileReadResult::Ok) return;
  Document doc;
  // The same rule as the assembler's decides the file's encoding.
  const EncodingGuess guess = DetectEncoding(bytes);
  if (guess.encoding == TextEncoding::Utf8)
    bytes = Local(doc, guess.byteOrderMark ? bytes.substr(kUtf8ByteOrderMark.size()) : bytes);
  documents_[uri] = doc;
  service_.SetDocument(uri, std::move(bytes));
}

void Server::Publish(const std::string& uri) {
  json list = json::array();
  for (const lang::PlacedDiagnostic& d : service_.Diagnostics(uri)) list.push_back(DiagnosticOf(uri, d));
  Notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", list}});
}

// The range is the field the record is about (the whole line when it names none).
json Server::DiagnosticOf(const std::string& uri, const lang::PlacedDiagnostic& d) const {
  return {{"range", RangeOf(uri, d.line, d.span)},
          {"severity", d.diagnostic.severity == Severity::Warning ? 2 : 1},
          {"code", CodeId(d.diagnostic.code)},
          {"source", "tolvane"},
          {"message", Wire(d.diagnostic.message)}};
}

const lang::SourceModel& Server::Model(const std::string& uri) const {
  const lang::SourceModel* m = service_.Find(uri);
  if (!m) {
    auto it = documents_.find(uri);
    throw RpcError{kRequestFailed, it != documents_.end() && it->second.tooLarge ? "document too large: " + uri
                                                                                 : "unknown document: " + uri};
  }
  return *m;
}

Position Server::At(const json& params) const {
  const std::string uri = params.at("textDocument").at("uri").get<std::string>();
  const lang::SourceModel& m = Model(uri);
  const json& p = params.at("position");
  const auto line = p.at("line").get<std::int64_t>();
  const auto character = p.at("character").get<std::int64_t>();
  if (line < 0 || line >= m.LineCount() || character < 0)
    throw RpcError{kInvalidParams, "position out of range: line " + std::to_string(line)};
  const bool utf8 = documents_.at(uri).utf8;
  return {static_cast<std::int32_t>(line), ByteColumn(m.LineText(static_cast<std::int32_t>(line)), character, utf8)};
}

json Server::PositionOf(const std::string& uri, std::int32_t line, std::int32_t byte) const {
  const lang::SourceModel& m = Model(uri);
  auto it = documents_.find(uri);
  const bool utf8 = it != documents_.end() && it->second.utf8;
  return {{"line", line}, {"character", UnitColumn(m.LineText(line), byte, utf8)}};
}

json Server::RangeOf(const std::string& uri, std::int32_t line, lang::Span span) const {
  return {{"start", PositionOf(uri, line, span.start)}, {"end", PositionOf(uri, line, span.start + span.length)}};
}

std::string Server::WireIn(const std::string& uri, const std::string& text) const {
  auto it = documents_.find(uri);
  return it != documents_.end() && it->second.utf8 ? text : Cp932ToUtf8(text);
}

json Server::Edits(const std::string& uri, const std::vector<lang::TextEdit>& edits) const {
  json list = json::array();
  for (const lang::TextEdit& e : edits) list.push_back({{"range", RangeOf(uri, e.line, e.span)}, {"newText", WireIn(uri, e.text)}});
  return list;
}

json Server::Request(const std::string& method, const json& params) {
  auto uriOf = [&] { return params.at("textDocument").at("uri").get<std::string>(); };
  if (method == "initialize") {
    initialized_ = true;
    if (params.contains("initializationOptions") && params["initializationOptions"].is_object()) {
      const json& f = params["initializationOptions"].value("format", json::object());
      format_.labelWidth = f.value("labelWidth", format_.labelWidth);
      format_.operationWidth = f.value("operationWidth", format_.operationWidth);
      format_.operandWidth = f.value("operandWidth", format_.operandWidth);
    }
    return {{"capabilities",
             {{"positionEncoding", "utf-16"},
              {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
              {"definitionProvider", true},
              {"referencesProvider", true},
              {"documentHighlightProvider", true},
              {"hoverProvider", true},
              {"documentSymbolProvider", true},
              {"completionProvider", {{"triggerCharacters", json::array({",", "\t", " "})}}},
              {"signatureHelpProvider", {{"triggerCharacters", json::array({",", "\t", " "})}}},
              {"renameProvider", true},
              {"documentFormattingProvider", true},
              {"codeActionProvider", {{"codeActionKinds", json::array({"quickfix"})}}}}},
            {"serverInfo", {{"name", "tolvane-cli lsp"}, {"version", "0.1"}}}};
  }
  if (method == "shutdown") {
    shutdown_ = true;
    return nullptr;
  }
  if (method == "textDocument/definition") {
    const auto def = service_.Definition(uriOf(), At(params));
    return def ? LocationOf(*def) : json(nullptr);
  }
  if (method == "textDocument/references") {
    const bool withDefinition = params.value("context", json::object()).value("includeDeclaration", true);
    json list = json::array();
    for (const lang::Location& l : service_.References(uriOf(), At(params), withDefinition)) list.push_back(LocationOf(l));
    return list;
  }
  if (method == "textDocument/documentHighlight") {
    const std::string uri = uriOf();
    json list = json::array();
    for (const lang::Location& l : service_.References(uri, At(params), true))
      if (l.document == uri)
        list.push_back({{"range", RangeOf(uri, l.line, l.span)}, {"kind", l.span.start == 0 ? 3 : 2}});
    return list;
  }
  if (method == "textDocument/hover") {
    const std::string uri = uriOf();
    const auto h = service_.HoverAt(uri, At(params));
    if (!h) return nullptr;
    return {{"contents", {{"kind", "plaintext"}, {"value", Wire(h->text)}}}, {"range", RangeOf(uri, h->line, h->span)}};
  }
  if (method == "textDocument/documentSymbol") {
    const std::string uri = uriOf();
    static constexpr int kKinds[] = {2, 12, 14, 13, 24};  // Module, Function, Constant, Variable, Event
    std::function<json(const lang::Symbol&)> one = [&](const lang::Symbol& s) {
      const lang::SourceModel& m = Model(uri);
      json j = {{"name", Wire(s.name)},
                {"kind", kKinds[static_cast<int>(s.kind)]},
                {"range", {{"start", PositionOf(uri, s.line, 0)},
                           {"end", PositionOf(uri, s.endLine, static_cast<std::int32_t>(m.LineText(s.endLine).size()))}}},
                {"selectionRange", RangeOf(uri, s.line, s.selection)}};
      json children = json::array();
      for (const lang::Symbol& c : s.children) children.push_back(one(c));
      j["children"] = children;
      return j;
    };
    json list = json::array();
    for (const lang::Symbol& s : service_.Symbols(uri)) list.push_back(one(s));
    return list;
  }
  if (method == "textDocument/completion") {
    static constexpr int kKinds[] = {14, 14, 3, 6, 18};  // Keyword, Keyword, Function, Variable, Reference
    json items = json::array();
    for (const lang::Completion& c : service_.Complete(uriOf(), At(params))) {
      json item = {{"label", Wire(c.label)}, {"kind", kKinds[static_cast<int>(c.kind)]}};
      if (!c.detail.empty()) item["detail"] = Wire(c.detail);
      if (!c.documentation.empty()) item["documentation"] = {{"kind", "plaintext"}, {"value", Wire(c.documentation)}};
      item["insertText"] = Wire(c.snippet);
      item["insertTextFormat"] = c.snippet.find("${") != std::string::npos ? 2 : 1;
      items.push_back(std::move(item));
    }
    return {{"isIncomplete", false}, {"items", items}};
  }
  if (method == "textDocument/signatureHelp") {
    const auto s = service_.Signature(uriOf(), At(params));
    if (!s) return nullptr;
    json signatures = json::array();
    for (std::size_t i = 0; i < s->forms.size(); ++i) {
      json ps = json::array();
      for (const std::string& p : s->parameters[i]) ps.push_back({{"label", Wire(p)}});
      signatures.push_back({{"label", Wire(s->forms[i])}, {"documentation", Wire(s->documentation)}, {"parameters", ps}});
    }
    return {{"signatures", signatures}, {"activeSignature", s->activeForm}, {"activeParameter", s->activeParameter}};
  }
  if (method == "textDocument/rename") {
    const std::string newName = params.at("newName").get<std::string>();
    const lang::RenameResult r = service_.Rename(uriOf(), At(params), newName);
    if (!r.error.empty()) throw RpcError{kRequestFailed, Wire(r.error)};
    json changes = json::object();
    for (const auto& [doc, edits] : r.edits) changes[doc] = Edits(doc, edits);
    return {{"changes", changes}};
  }
  if (method == "textDocument/formatting") {
    const std::string uri = uriOf();
    Model(uri);
    lang::FormatOptions o = format_;
    const json& opts = params.value("options", json::object());
    o.labelWidth = opts.value("tolvane.labelWidth", o.labelWidth);
    o.operationWidth = opts.value("tolvane.operationWidth", o.operationWidth);
    o.operandWidth = opts.value("tolvane.operandWidth", o.operandWidth);
    return Edits(uri, service_.Format(uri, o));
  }
  if (method == "textDocument/codeAction") {
    const std::string uri = uriOf();
    Model(uri);  // refuses an unknown document
    const json& range = params.at("range");
    const auto first = range.at("start").at("line").get<std::int32_t>();
    const auto last = range.at("end").at("line").get<std::int32_t>();
    json list = json::array();
    const auto diagnostics = service_.Diagnostics(uri);
    for (const lang::CodeAction& a : service_.CodeActions(uri, first, last)) {
      json action = {{"title", Wire(a.title)}, {"kind", "quickfix"}, {"edit", {{"changes", {{uri, Edits(uri, a.edits)}}}}}};
      if (a.diagnostic >= 0) {
        action["diagnostics"] = json::array({DiagnosticOf(uri, diagnostics[a.diagnostic])});
        action["isPreferred"] = true;
      }
      list.push_back(std::move(action));
    }
    return list;
  }
  throw RpcError{kMethodNotFound, "unknown method: " + method};
}

}  // namespace

int CmdLsp(const Args& args) {
  for (const std::string& a : args) {
    if (a != "--stdio") {
      std::fputs(kLspHelp, stderr);
      return 2;
    }
  }
  Server server;
  return server.Run();
}

}  // namespace tolvane::cli
