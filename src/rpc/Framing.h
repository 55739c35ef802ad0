#pragma once
// The base protocol shared by the language server and the debug adapter: each
// message is a header of "Name: value" lines ending with an empty line, of
// which Content-Length counts the bytes of the JSON body that follows.
//
// One reading of the header for both: a field name is compared without regard
// to case and runs up to the colon (no blank before it, as in HTTP), blanks
// around the value are dropped, a line feed alone ends a line as CR LF does,
// and blank lines between messages are passed over. Content-Length is one to
// twelve decimal digits; anything else (a sign, a blank before the colon, two
// different lengths, none at all) makes the message unusable. Its body
// cannot be found then, so the reader drops bytes up to the next
// "Content-Length" and finds its feet there. A length above the reader's
// limit is skipped as it arrives, never held.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::rpc {

// Why a message was dropped.
enum class FrameError {
  None,
  NoLength,       // its header has no Content-Length
  BadHeader,      // a header line or the length is malformed
  TooLarge,       // its length is above the limit: the body is skipped
  EndlessHeader,  // no end of header within kMaxHeader bytes
};

class FrameReader {
 public:
  static constexpr std::size_t kMaxHeader = 8192;

  explicit FrameReader(std::size_t maxBody) : maxBody_(maxBody) {}

  void Feed(std::string_view bytes) { buffer_.append(bytes); }

  enum class Kind { None, Body, Bad };
  struct Frame {
    Kind kind = Kind::None;
    std::string text;  // the body, or what was wrong with the message
    FrameError error = FrameError::None;
  };
  // The next complete message, Bad for one that cannot be used (reading goes
  // on after it), None when more bytes are needed.
  Frame Next();

 private:
  bool Resynchronise();
  Frame ReadHeaderPart();
  Frame Refuse(FrameError error, std::size_t length = 0);

  std::string buffer_;
  std::size_t maxBody_;
  std::size_t skip_ = 0;                // bytes of a refused body still to drop
  bool lost_ = false;                   // after a header without a usable length
  std::optional<std::size_t> pending_;  // the length of a body not all read yet
};

// "Content-Length: N\r\n\r\n" and the body.
std::string EncodeFrame(std::string_view body);

}  // namespace tolvane::rpc
