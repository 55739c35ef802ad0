#include "rpc/Framing.h"

#include <cctype>

namespace tolvane::rpc {

namespace {

constexpr std::string_view kLengthName = "Content-Length";
constexpr std::size_t kMaxLengthDigits = 12;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Where "Content-Length" starts in `text`, in any case, or npos.
std::size_t FindLengthName(std::string_view text) {
  for (std::size_t i = 0; i + kLengthName.size() <= text.size(); ++i)
    if (SameName(text.substr(i, kLengthName.size()), kLengthName)) return i;
  return std::string_view::npos;
}

struct Header {
  FrameError error = FrameError::None;
  std::size_t length = 0;
};

Header ReadHeader(std::string_view header) {
  Header h;
  bool haveLength = false;
  while (!header.empty()) {
    std::size_t nl = header.find('\n');
    if (nl == std::string_view::npos) nl = header.size();
    std::string_view line = header.substr(0, nl);
    header.remove_prefix(nl < header.size() ? nl + 1 : nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t colon = line.find(':');
    // A name is at least one character and has no blank in it.
    if (colon == std::string_view::npos || colon == 0 || line.find_first_of(" \t") < colon)
      return {FrameError::BadHeader};
    if (!SameName(line.substr(0, colon), kLengthName)) continue;
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (value.empty() || value.size() > kMaxLengthDigits) return {FrameError::BadHeader};
    std::size_t length = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return {FrameError::BadHeader};
      length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (haveLength && length != h.length) return {FrameError::BadHeader};
    haveLength = true;
    h.length = length;
  }
  if (!haveLength) h.error = FrameError::NoLength;
  return h;
}

}  // namespace

FrameReader::Frame FrameReader::Refuse(FrameError error, std::size_t length) {
  switch (error) {
    case FrameError::NoLength:
      return {Kind::Bad, "a message without Content-Length was dropped", error};
    case FrameError::BadHeader:
      return {Kind::Bad, "a message with a malformed header was dropped", error};
    case FrameError::TooLarge:
      return {Kind::Bad, "a message of " + std::to_string(length) + " bytes was too long and was dropped", error};
    case FrameError::EndlessHeader:
      return {Kind::Bad, "a message header longer than " + std::to_string(kMaxHeader) + " bytes was dropped", error};
    case FrameError::None:
      break;
  }
  return {};
}

// After a header whose length is unknown the body cannot be told from the
// next header: the next message starts at the next "Content-Length".
bool FrameReader::Resynchronise() {
  const std::size_t at = FindLengthName(buffer_);
  if (at == std::string::npos) {
    // Keep what could be the start of the name, split across two reads.
    const std::size_t keep = kLengthName.size() - 1;
    if (buffer_.size() > keep) buffer_.erase(0, buffer_.size() - keep);
    return false;
  }
  buffer_.erase(0, at);
  lost_ = false;
  return true;
}

FrameReader::Frame FrameReader::Next() {
  if (skip_ > 0) {
    const std::size_t n = skip_ < buffer_.size() ? skip_ : buffer_.size();
    buffer_.erase(0, n);
    skip_ -= n;
    if (skip_ > 0) return {};
  }
  if (!pending_) {
    if (lost_ && !Resynchronise()) return {};
    Frame refused = ReadHeaderPart();
    if (refused.kind != Kind::None || !pending_) return refused;
  }
  if (buffer_.size() < *pending_) return {};
  Frame f{Kind::Body, buffer_.substr(0, *pending_)};
  buffer_.erase(0, *pending_);
  pending_.reset();
  return f;
}

// Takes the next header off the buffer: sets pending_ to its body's length,
// or answers why the message is dropped; neither when the header is not all
// there yet.
FrameReader::Frame FrameReader::ReadHeaderPart() {
  // Blank lines between messages are passed over.
  std::size_t start = 0;
  while (start < buffer_.size() && (buffer_[start] == '\n' || (buffer_[start] == '\r' && start + 1 < buffer_.size() &&
                                                               buffer_[start + 1] == '\n')))
    start += buffer_[start] == '\n' ? 1 : 2;
  buffer_.erase(0, start);

  // The header ends with an empty line (CR LF CR LF; a bare LF is taken too).
  std::size_t end = std::string::npos, bodyAt = 0;
  for (std::size_t i = 0; i < buffer_.size() && end == std::string::npos; ++i) {
    if (buffer_[i] != '\n') continue;
    if (i + 1 < buffer_.size() && buffer_[i + 1] == '\n') {
      end = i;
      bodyAt = i + 2;
    } else if (i + 2 < buffer_.size() && buffer_[i + 1] == '\r' && buffer_[i + 2] == '\n') {
      end = i;
      bodyAt = i + 3;
    }
  }
  if (end == std::string::npos) {
    if (buffer_.size() <= kMaxHeader) return {};
    buffer_.clear();
    lost_ = true;
    return Refuse(FrameError::EndlessHeader);
  }

  const Header header = ReadHeader(std::string_view(buffer_).substr(0, end));
  buffer_.erase(0, bodyAt);
  if (header.error != FrameError::None) {
    lost_ = true;
    return Refuse(header.error);
  }
  if (header.length > maxBody_) {
    const std::size_t here = header.length < buffer_.size() ? header.length : buffer_.size();
    buffer_.erase(0, here);
    skip_ = header.length - here;
    return Refuse(FrameError::TooLarge, header.length);
  }
  pending_ = header.length;
  return {};
}

std::string EncodeFrame(std::string_view body) {
  std::string s = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  s.append(body);
  return s;
}

}  // namespace tolvane::rpc
