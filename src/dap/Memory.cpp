// Memory in the protocol's bytes, and the disassembly rows.
#include <cstdio>

#include "common/Cp932.h"
#include "dap/Base64.h"
#include "dap/DisassemblyRow.h"
#include "dap/Server.h"

namespace tolvane::dap {

// Memory in the protocol's bytes: word w is bytes 2w (high) and 2w + 1 (low).
std::int64_t Server::FirstByte(const json& args) const {
  Word base;
  const std::string ref = NeedString(args, "memoryReference");
  if (!ParseMemoryReference(ref, base)) throw Refusal{"not a memory reference: " + ref};
  return 2LL * base + Arg(args, "offset", std::int64_t{0});
}

void Server::ReadMemory(Request& r) {
  std::int64_t at = FirstByte(r.args);
  std::int64_t count = Need(r.args, "count").get<std::int64_t>();
  if (count < 0) throw Refusal{"'count' must not be negative"};
  count = std::min<std::int64_t>(count, kMemoryBytes);
  std::int64_t unreadable = 0;
  if (at < 0) {  // nothing lies below address 0: the data starts there
    const std::int64_t skip = std::min(count, -at);
    count -= skip;
    at = 0;
  }
  if (at + count > kMemoryBytes) {
    unreadable = at + count - std::max(at, kMemoryBytes);
    count -= unreadable;
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  for (std::int64_t b = at; b < at + count; ++b) {
    const Word w = ec_->Mem()[static_cast<Word>(b >> 1)];
    bytes += static_cast<char>(b & 1 ? w & 0xFF : w >> 8);
  }
  char address[16];
  std::snprintf(address, sizeof address, "0x%llX", static_cast<unsigned long long>(std::min(at, kMemoryBytes)));
  json body{{"address", address}, {"data", Base64Encode(bytes)}};
  if (unreadable > 0) body["unreadableBytes"] = unreadable;
  Respond(r, body);
}

void Server::WriteMemory(Request& r) {
  const std::int64_t at = FirstByte(r.args);
  std::string bytes;
  if (!Base64Decode(NeedString(r.args, "data"), bytes)) throw Refusal{"'data' is not base64"};
  const bool partial = Arg(r.args, "allowPartial", false);
  const std::int64_t end = at + static_cast<std::int64_t>(bytes.size());
  if ((at < 0 || end > kMemoryBytes) && !partial) throw Refusal{"the bytes lie outside memory"};
  std::int64_t written = 0, first = -1;
  for (std::int64_t b = std::max<std::int64_t>(at, 0); b < std::min(end, kMemoryBytes); ++b) {
    const Word address = static_cast<Word>(b >> 1);
    const Word old = ec_->Mem()[address];
    const auto byte = static_cast<unsigned char>(bytes[static_cast<std::size_t>(b - at)]);
    ec_->Mem()[address] = static_cast<Word>(b & 1 ? (old & 0xFF00) | byte : (old & 0x00FF) | (byte << 8));
    if (first < 0) first = b;
    ++written;
  }
  // The words may be instructions: the disassembly and the watches are made anew.
  if (written > 0) ec_->RefreshAllPanes();
  json body{{"bytesWritten", written}};
  if (first > at) body["offset"] = first - at;
  Respond(r, body);
  Invalidated();
}

void Server::Disassemble(Request& r) {
  const std::int64_t byte = FirstByte(r.args);
  const std::int64_t offset = Arg(r.args, "instructionOffset", std::int64_t{0});
  const std::int64_t count = Need(r.args, "instructionCount").get<std::int64_t>();
  if (count < 0 || count > 65536) throw Refusal{"'instructionCount' must be 0-65536"};
  const debugger::Disassembler& rows = ec_->Disassembly();
  // Bytes outside memory have no row; the rows counted from there do not exist either.
  const bool inside = byte >= 0 && byte < kMemoryBytes;
  const std::int64_t row0 = inside ? rows.FindRowOfAddress(static_cast<Word>(byte >> 1)) : -1;
  json list = json::array();
  int lastSource = -2;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t row = row0 < 0 ? -1 : row0 + offset + i;
    if (row < 0 || row >= rows.RowCount()) {
      list.push_back({{"address", "-1"}, {"instruction", ""}, {"presentationHint", "invalid"}});
      continue;
    }
    const debugger::SUnAsmTbl t = rows.Row(static_cast<int>(row));
    const RowParts parts = SplitDisassemblyRow(t.text);
    json j{{"address", MemoryReference(t.address)},
           {"instructionBytes", parts.words},
           {"instruction", Cp932ToUtf8(parts.instruction)}};
    if (!parts.label.empty()) j["symbol"] = Cp932ToUtf8(parts.label);
    const debugger::SourceLocation at = lines_.Locate(t.address);
    if (at.Found()) {
      if (at.source != lastSource)
        j["location"] = SourceJson(lines_.Sources()[static_cast<std::size_t>(at.source)].resolved);
      j["line"] = ClientLine(at.line);
      lastSource = at.source;
    }
    list.push_back(std::move(j));
  }
  Respond(r, {{"instructions", std::move(list)}});
}

}  // namespace tolvane::dap
