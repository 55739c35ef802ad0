#pragma once
// The base protocol of the debug adapter (and language server) protocols: each
// message is a header of "Name: value" lines ending with an empty line, of
// which Content-Length counts the bytes of the JSON body that follows.
#include <cstddef>
#include <string>
#include <string_view>

namespace tolvane::dap {

class FrameReader {
 public:
  // Bodies above `maxBody` bytes are skipped unread (and reported).
  explicit FrameReader(std::size_t maxBody = std::size_t{16} << 20) : maxBody_(maxBody) {}

  void Feed(std::string_view bytes) { buffer_.append(bytes); }

  enum class Kind { None, Body, Bad };
  struct Frame {
    Kind kind = Kind::None;
    std::string text;  // the body, or what was wrong with the header
  };
  // The next complete message, Bad for a header that cannot be used (it is
  // dropped and reading goes on after it), None when more bytes are needed.
  Frame Next();

 private:
  std::string buffer_;
  std::size_t maxBody_;
  std::size_t skip_ = 0;  // bytes of a refused body still to drop
};

// "Content-Length: N\r\n\r\n" and the body.
std::string EncodeFrame(std::string_view body);

// The protocol carries memory contents in base64 (RFC 4648, with padding).
std::string Base64Encode(std::string_view bytes);
// False for text that is not base64 (blanks and line ends are skipped).
bool Base64Decode(std::string_view text, std::string& bytes);

}  // namespace tolvane::dap
