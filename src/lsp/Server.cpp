#include "lsp/Server.h"

#include <dirent.h>
#include <strings.h>

#include <functional>

#include "common/BinaryIo.h"
#include "common/Cp932.h"
#include "common/SourceEncoding.h"
#include "lsp/Protocol.h"

namespace tolvane::lsp {

namespace {

constexpr std::size_t kMaxFolderFiles = 200;

std::string UriOf(const nlohmann::json& params) { return params.at("textDocument").at("uri").get<std::string>(); }

std::string FolderOf(const std::string& uri) {
  const std::string path = PathOfUri(uri);
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

// The methods served. A request not here is answered MethodNotFound; a
// notification not here ($/cancelRequest, initialized, didSave, ...) needs nothing.
const std::map<std::string_view, Server::RequestHandler>& Server::Requests() {
  static const std::map<std::string_view, RequestHandler> table = {
      {"initialize", &Server::Initialize},
      {"shutdown", &Server::Shutdown},
      {"textDocument/definition", &Server::Definition},
      {"textDocument/references", &Server::References},
      {"textDocument/documentHighlight", &Server::DocumentHighlight},
      {"textDocument/hover", &Server::Hover},
      {"textDocument/documentSymbol", &Server::DocumentSymbol},
      {"textDocument/completion", &Server::Completion},
      {"textDocument/signatureHelp", &Server::SignatureHelp},
      {"textDocument/rename", &Server::Rename},
      {"textDocument/formatting", &Server::Formatting},
      {"textDocument/codeAction", &Server::CodeAction},
  };
  return table;
}

const std::map<std::string_view, Server::NotificationHandler>& Server::Notifications() {
  static const std::map<std::string_view, NotificationHandler> table = {
      {"textDocument/didOpen", &Server::DidOpen},
      {"textDocument/didChange", &Server::DidChange},
      {"textDocument/didClose", &Server::DidClose},
  };
  return table;
}

// ------------------------------------------------------------------ messages

void Server::Send(const json& message) {
  transport_.Send(message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Server::Reply(const json& id, const json& result) { Send({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}}); }

void Server::Fail(const json& id, int code, const std::string& message) {
  Send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Server::Notify(const std::string& method, const json& params) {
  Send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

int Server::Run() {
  for (;;) {
    const rpc::Transport::Incoming in = transport_.Receive(true);
    switch (in.kind) {
      case rpc::Transport::Incoming::Kind::None:
        continue;
      case rpc::Transport::Incoming::Kind::Closed:
        return shutdown_ ? 0 : 1;
      case rpc::Transport::Incoming::Kind::Malformed:
        Fail(nullptr, in.error == rpc::FrameError::TooLarge ? kInvalidRequest : kParseError, in.text);
        continue;
      case rpc::Transport::Incoming::Kind::Message:
        break;
    }
    const json message = json::parse(in.text, nullptr, false);
    if (message.is_discarded()) {
      Fail(nullptr, kParseError, "malformed JSON");
      continue;
    }
    Handle(message);
    if (message.is_object() && message.value("method", "") == "exit") return shutdown_ ? 0 : 1;
  }
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
    if (!isRequest) {
      const auto it = Notifications().find(method);
      if (it != Notifications().end()) (this->*it->second)(params);
      return;
    }
    const json& id = message["id"];
    if (!id.is_number_integer() && !id.is_string()) return Fail(nullptr, kInvalidRequest, "bad id");
    if (shutdown_) return Fail(id, kInvalidRequest, "the server is shut down");
    if (!initialized_ && method != "initialize") return Fail(id, kServerNotInitialized, "initialize first");
    const auto it = Requests().find(method);
    if (it == Requests().end()) return Fail(id, kMethodNotFound, "unknown method: " + method);
    Reply(id, (this->*it->second)(params));
  } catch (const RpcError& e) {
    if (isRequest) Fail(message["id"], e.code, e.message);
  } catch (const json::exception& e) {
    if (isRequest) Fail(message["id"], kInvalidParams, std::string("bad parameters: ") + e.what());
  } catch (const std::exception& e) {
    if (isRequest) Fail(message["id"], kRequestFailed, e.what());
  }
}

// ------------------------------------------------------------------ documents

std::string Server::Local(Document& doc, std::string utf8) {
  if (!doc.utf8) {
    std::string cp932;
    if (Utf8ToCp932(utf8, cp932)) return cp932;
    doc.utf8 = true;
  }
  return utf8;
}

bool Server::IsUtf8(const std::string& uri) const {
  auto it = documents_.find(uri);
  return it != documents_.end() && it->second.utf8;
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

void Server::DidOpen(const json& params) {
  const json& d = params.at("textDocument");
  Open(d.at("uri").get<std::string>(), d.at("text").get<std::string>());
}

void Server::DidChange(const json& params) {
  const std::string uri = UriOf(params);
  auto it = documents_.find(uri);
  if (it == documents_.end() || !it->second.open) return;
  Document& doc = it->second;
  for (const json& change : params.at("contentChanges")) {
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
      const auto line = p.at("line").get<std::int32_t>();
      const lang::SourceModel& cur = Model(uri);
      return lang::Position{line, ByteColumn(cur.LineText(line), p.at("character").get<std::int64_t>(), doc.utf8)};
    };
    const json& r = change.at("range");
    service_.ChangeDocument(uri, pos(r.at("start")), pos(r.at("end")), local);
    if (Model(uri).Text().size() > kMaxDocument) Open(uri, "");
  }
  Publish(uri);
}

void Server::DidClose(const json& params) {
  const std::string uri = UriOf(params);
  documents_.erase(uri);
  service_.RemoveDocument(uri);
  Notify("textDocument/publishDiagnostics", {{"uri", uri}, {"diagnostics", json::array()}});
  // Still a source of its folder: its START labels stay known, as saved.
  if (folders_.count(FolderOf(uri))) LoadClosed(uri);
}

// The other sources of a document's folder, so that a START label defined in
// a file not open in the editor is found. Files on disk may be UTF-8 or CP932.
void Server::LoadFolderOf(const std::string& uri) {
  const std::string path = PathOfUri(uri);
  if (path.find('/') == std::string::npos) return;
  const std::string folder = FolderOf(uri);
  if (!folders_.insert(folder).second) return;
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return;
  std::size_t count = 0;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() < 5 || strcasecmp(name.c_str() + name.size() - 4, ".cas") != 0) continue;
    if (++count > kMaxFolderFiles) break;
    std::string path = folder;
    path += '/';
    path += name;
    const std::string fileUri = UriOfPath(path);
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

// ------------------------------------------------------------------ positions

const lang::SourceModel& Server::Model(const std::string& uri) const {
  const lang::SourceModel* m = service_.Find(uri);
  if (!m) {
    auto it = documents_.find(uri);
    throw RpcError{kRequestFailed, it != documents_.end() && it->second.tooLarge ? "document too large: " + uri
                                                                                 : "unknown document: " + uri};
  }
  return *m;
}

lang::Position Server::At(const json& params) const {
  const std::string uri = UriOf(params);
  const lang::SourceModel& m = Model(uri);
  const json& p = params.at("position");
  const auto line = p.at("line").get<std::int64_t>();
  const auto character = p.at("character").get<std::int64_t>();
  if (line < 0 || line >= m.LineCount() || character < 0)
    throw RpcError{kInvalidParams, "position out of range: line " + std::to_string(line)};
  return {static_cast<std::int32_t>(line),
          ByteColumn(m.LineText(static_cast<std::int32_t>(line)), character, IsUtf8(uri))};
}

json Server::PositionOf(const std::string& uri, std::int32_t line, std::int32_t byte) const {
  return {{"line", line}, {"character", UnitColumn(Model(uri).LineText(line), byte, IsUtf8(uri))}};
}

json Server::RangeOf(const std::string& uri, std::int32_t line, lang::Span span) const {
  return {{"start", PositionOf(uri, line, span.start)}, {"end", PositionOf(uri, line, span.start + span.length)}};
}

json Server::LocationOf(const lang::Location& l) const {
  return {{"uri", l.document}, {"range", RangeOf(l.document, l.line, l.span)}};
}

// The range is the field the record is about (the whole line when it names none).
json Server::DiagnosticOf(const std::string& uri, const lang::PlacedDiagnostic& d) const {
  return DiagnosticItem(d.diagnostic, RangeOf(uri, d.line, d.span));
}

std::string Server::WireIn(const std::string& uri, const std::string& text) const {
  return IsUtf8(uri) ? text : Wire(text);
}

json Server::Edits(const std::string& uri, const std::vector<lang::TextEdit>& edits) const {
  json list = json::array();
  for (const lang::TextEdit& e : edits)
    list.push_back({{"range", RangeOf(uri, e.line, e.span)}, {"newText", WireIn(uri, e.text)}});
  return list;
}

// ------------------------------------------------------------------ requests

json Server::Initialize(const json& params) {
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

json Server::Shutdown(const json&) {
  shutdown_ = true;
  return nullptr;
}

json Server::Definition(const json& params) {
  const auto def = service_.Definition(UriOf(params), At(params));
  return def ? LocationOf(*def) : json(nullptr);
}

json Server::References(const json& params) {
  const bool withDefinition = params.value("context", json::object()).value("includeDeclaration", true);
  json list = json::array();
  for (const lang::Location& l : service_.References(UriOf(params), At(params), withDefinition))
    list.push_back(LocationOf(l));
  return list;
}

json Server::DocumentHighlight(const json& params) {
  const std::string uri = UriOf(params);
  json list = json::array();
  for (const lang::Location& l : service_.References(uri, At(params), true))
    if (l.document == uri)
      list.push_back({{"range", RangeOf(uri, l.line, l.span)}, {"kind", l.span.start == 0 ? 3 : 2}});  // Write, Read
  return list;
}

json Server::Hover(const json& params) {
  const std::string uri = UriOf(params);
  const auto h = service_.HoverAt(uri, At(params));
  if (!h) return nullptr;
  return {{"contents", {{"kind", "plaintext"}, {"value", Wire(h->text)}}}, {"range", RangeOf(uri, h->line, h->span)}};
}

json Server::DocumentSymbol(const json& params) {
  const std::string uri = UriOf(params);
  std::function<json(const lang::Symbol&)> one = [&](const lang::Symbol& s) {
    const auto endLength = static_cast<std::int32_t>(Model(uri).LineText(s.endLine).size());
    json j = {{"name", Wire(s.name)},
              {"kind", SymbolKind(s.kind)},
              {"range", {{"start", PositionOf(uri, s.line, 0)}, {"end", PositionOf(uri, s.endLine, endLength)}}},
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

json Server::Completion(const json& params) {
  json items = json::array();
  for (const lang::Completion& c : service_.Complete(UriOf(params), At(params))) items.push_back(CompletionItem(c));
  return {{"isIncomplete", false}, {"items", items}};
}

json Server::SignatureHelp(const json& params) {
  const auto s = service_.Signature(UriOf(params), At(params));
  if (!s) return nullptr;
  json signatures = json::array();
  for (std::size_t i = 0; i < s->forms.size(); ++i) {
    json ps = json::array();
    for (const std::string& p : s->parameters[i]) ps.push_back({{"label", Wire(p)}});
    signatures.push_back({{"label", Wire(s->forms[i])}, {"documentation", Wire(s->documentation)}, {"parameters", ps}});
  }
  return {{"signatures", signatures}, {"activeSignature", s->activeForm}, {"activeParameter", s->activeParameter}};
}

json Server::Rename(const json& params) {
  const auto newName = params.at("newName").get<std::string>();
  const lang::RenameResult r = service_.Rename(UriOf(params), At(params), newName);
  if (!r.error.empty()) throw RpcError{kRequestFailed, Wire(r.error)};
  json changes = json::object();
  for (const auto& [doc, edits] : r.edits) changes[doc] = Edits(doc, edits);
  return {{"changes", changes}};
}

json Server::Formatting(const json& params) {
  const std::string uri = UriOf(params);
  Model(uri);
  lang::FormatOptions o = format_;
  const json& opts = params.value("options", json::object());
  o.labelWidth = opts.value("tolvane.labelWidth", o.labelWidth);
  o.operationWidth = opts.value("tolvane.operationWidth", o.operationWidth);
  o.operandWidth = opts.value("tolvane.operandWidth", o.operandWidth);
  return Edits(uri, service_.Format(uri, o));
}

json Server::CodeAction(const json& params) {
  const std::string uri = UriOf(params);
  Model(uri);
  const json& range = params.at("range");
  const auto first = range.at("start").at("line").get<std::int32_t>();
  const auto last = range.at("end").at("line").get<std::int32_t>();
  json list = json::array();
  const auto diagnostics = service_.Diagnostics(uri);
  for (const lang::CodeAction& a : service_.CodeActions(uri, first, last)) {
    json action = {
        {"title", Wire(a.title)}, {"kind", "quickfix"}, {"edit", {{"changes", {{uri, Edits(uri, a.edits)}}}}}};
    if (a.diagnostic >= 0) {
      action["diagnostics"] = json::array({DiagnosticOf(uri, diagnostics[static_cast<std::size_t>(a.diagnostic)])});
      action["isPreferred"] = true;
    }
    list.push_back(std::move(action));
  }
  return list;
}

}  // namespace tolvane::lsp
