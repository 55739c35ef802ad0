#pragma once
// The language server of `tolvane-cli lsp`: the protocol's methods, one
// handler each in a table, over the language services. Texts are UTF-8 on
// the wire and CP932 in the services; positions are UTF-16 code units on the
// wire and bytes in the services, converted per line (lsp/Protocol.h). A
// text with a character CP932 cannot hold is kept as UTF-8 (the language's
// own characters are ASCII either way).
#include <cstddef>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lang/LanguageService.h"
#include "rpc/Transport.h"

namespace tolvane::lsp {

// A message larger than this is read past and answered with an error; a
// document larger than kMaxDocument is kept out of the services. No CASL II
// source comes near either (the machine holds 65,536 words).
constexpr std::size_t kMaxMessage = std::size_t{32} << 20;
constexpr std::size_t kMaxDocument = std::size_t{8} << 20;

class Server {
 public:
  explicit Server(rpc::Transport& transport) : transport_(transport) {}

  // Serves until the exit notification or the end of the input. Returns the
  // exit status: 0 after a shutdown request, 1 otherwise.
  int Run();

 private:
  using json = nlohmann::json;
  using RequestHandler = json (Server::*)(const json& params);
  using NotificationHandler = void (Server::*)(const json& params);
  static const std::map<std::string_view, RequestHandler>& Requests();
  static const std::map<std::string_view, NotificationHandler>& Notifications();

  struct Document {
    bool utf8 = false;  // kept as UTF-8: some character has no CP932 form
    bool open = false;
    bool tooLarge = false;
  };

  void Send(const json& message);
  void Reply(const json& id, const json& result);
  void Fail(const json& id, int code, const std::string& message);
  void Notify(const std::string& method, const json& params);
  void Handle(const json& message);

  // Requests.
  json Initialize(const json& params);
  json Shutdown(const json& params);
  json Definition(const json& params);
  json References(const json& params);
  json DocumentHighlight(const json& params);
  json Hover(const json& params);
  json DocumentSymbol(const json& params);
  json Completion(const json& params);
  json SignatureHelp(const json& params);
  json Rename(const json& params);
  json Formatting(const json& params);
  json CodeAction(const json& params);
  // Notifications.
  void DidOpen(const json& params);
  void DidChange(const json& params);
  void DidClose(const json& params);

  // Documents.
  void Open(const std::string& uri, const std::string& utf8);
  void LoadFolderOf(const std::string& uri);
  void LoadClosed(const std::string& uri);  // a source on disk, not open in the editor
  void Publish(const std::string& uri);
  std::string Local(Document& doc, std::string utf8);
  bool IsUtf8(const std::string& uri) const;

  // Between the services' positions and texts and the wire's.
  const lang::SourceModel& Model(const std::string& uri) const;
  lang::Position At(const json& params) const;
  json PositionOf(const std::string& uri, std::int32_t line, std::int32_t byte) const;
  json RangeOf(const std::string& uri, std::int32_t line, lang::Span span) const;
  json LocationOf(const lang::Location& l) const;
  json DiagnosticOf(const std::string& uri, const lang::PlacedDiagnostic& d) const;
  std::string WireIn(const std::string& uri, const std::string& text) const;  // a document's own bytes
  json Edits(const std::string& uri, const std::vector<lang::TextEdit>& edits) const;

  rpc::Transport& transport_;
  lang::LanguageService service_;
  std::map<std::string, Document> documents_;
  std::set<std::string> folders_;
  lang::FormatOptions format_;
  bool initialized_ = false;
  bool shutdown_ = false;
};

}  // namespace tolvane::lsp
