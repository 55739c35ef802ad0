#include "dap/Base64.h"

namespace tolvane::dap {

namespace {
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (n > 1) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (n > 2) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += n > 1 ? kBase64[(v >> 6) & 63] : '=';
    out += n > 2 ? kBase64[v & 63] : '=';
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  bytes.clear();
  unsigned v = 0;
  int bits = 0, padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int d = Base64Value(c);
    if (d < 0 || padding > 0) return false;  // nothing may follow the padding
    v = (v << 6) | static_cast<unsigned>(d);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((v >> bits) & 0xFF);
    }
  }
  // Leftover bits must be the zero fill of the last group, and the padding
  // must complete it.
  if (bits >= 6 || padding > 2 || (v & ((1u << bits) - 1)) != 0) return false;
  return padding == 0 || (bits / 2 == padding);
}

}  // namespace tolvane::dap
