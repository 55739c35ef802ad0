#include "dap/Framing.h"

#include <cctype>

namespace tolvane::dap {

namespace {

// A header without its end after this many bytes is not a header.
constexpr std::size_t kMaxHeader = 8192;

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

FrameReader::Frame FrameReader::Next() {
  if (skip_ > 0) {
    const std::size_t n = skip_ < buffer_.size() ? skip_ : buffer_.size();
    buffer_.erase(0, n);
    skip_ -= n;
    if (skip_ > 0) return {};
  }
  // Blank lines between messages are tolerated.
  while (buffer_.size() >= 2 && buffer_[0] == '\r' && buffer_[1] == '\n') buffer_.erase(0, 2);
  while (!buffer_.empty() && buffer_[0] == '\n') buffer_.erase(0, 1);

  // The header ends with an empty line (CR LF CR LF; a bare LF is taken too).
  std::size_t end = std::string::npos, bodyAt = 0;
  for (std::size_t i = 0; i < buffer_.size(); ++i) {
    if (buffer_[i] != '\n') continue;
    if (i + 1 < buffer_.size() && buffer_[i + 1] == '\n') {
      end = i;
      bodyAt = i + 2;
      break;
    }
    if (i + 2 < buffer_.size() && buffer_[i + 1] == '\r' && buffer_[i + 2] == '\n') {
      end = i;
      bodyAt = i + 3;
      break;
    }
  }
  if (end == std::string::npos) {
    if (buffer_.size() <= kMaxHeader) return {};
    buffer_.clear();
    return {Kind::Bad, "a message header longer than 8192 bytes was dropped"};
  }

  const std::string header = buffer_.substr(0, end);
  std::size_t length = 0;
  bool haveLength = false, badLength = false;
  for (std::size_t at = 0; at <= header.size();) {
    std::size_t nl = header.find('\n', at);
    if (nl == std::string::npos) nl = header.size();
    std::string_view line(header.data() + at, nl - at);
    at = nl + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !SameName(Trim(line.substr(0, colon)), "Content-Length")) continue;
    std::string_view value = Trim(line.substr(colon + 1));
    haveLength = true;
    badLength = value.empty() || value.size() > 12;
    length = 0;
    for (char c : value) {
      if (c < '0' || c > '9') {
        badLength = true;
        break;
      }
      length = length * 10 + static_cast<std::size_t>(c - '0');
    }
  }
  if (!haveLength || badLength) {
    buffer_.erase(0, bodyAt);
    return {Kind::Bad, haveLength ? "a message with a bad Content-Length was dropped"
                                  : "a message without Content-Length was dropped"};
  }
  if (length > maxBody_) {
    buffer_.erase(0, bodyAt);
    const std::size_t here = length < buffer_.size() ? length : buffer_.size();
    buffer_.erase(0, here);
    skip_ = length - here;
    return {Kind::Bad, "a message of " + std::to_string(length) + " bytes was too long and was dropped"};
  }
  if (buffer_.size() - bodyAt < length) return {};
  Frame f{Kind::Body, buffer_.substr(bodyAt, length)};
  buffer_.erase(0, bodyAt + length);
  return f;
}

std::string EncodeFrame(std::string_view body) {
  std::string s = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  s.append(body);
  return s;
}

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
