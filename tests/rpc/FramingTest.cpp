// The one reader of message headers, for the language server and the debug
// adapter alike: each case fed whole, a byte at a time and in odd pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rpc/Framing.h"

namespace tolvane::rpc {
namespace {

// Reads every frame the bytes give, fed in pieces of `chunk` bytes: "B:body"
// for a message, "X" for a dropped one.
std::vector<std::string> Frames(const std::string& bytes, std::size_t chunk, std::size_t maxBody = 1024) {
  FrameReader reader(maxBody);
  std::vector<std::string> out;
  for (std::size_t at = 0; at < bytes.size(); at += chunk) {
    reader.Feed(std::string_view(bytes).substr(at, chunk));
    for (FrameReader::Frame f = reader.Next(); f.kind != FrameReader::Kind::None; f = reader.Next())
      out.push_back(f.kind == FrameReader::Kind::Body ? "B:" + f.text : "X");
  }
  return out;
}

TEST(FramingTest, Headers) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> frames;
  };
  const std::string next = EncodeFrame("[]");
  const Case cases[] = {
      {"two messages", EncodeFrame("{\"a\":1}") + next, {"B:{\"a\":1}", "B:[]"}},
      {"other headers, any case, bare line feeds", "content-length: 2\nContent-Type: x\n\n{}", {"B:{}"}},
      {"no blank after the colon, blanks around the value",
       "Content-Length:2\r\n\r\n{}Content-Length: \t2 \r\n\r\n[]",
       {"B:{}", "B:[]"}},
      {"blank lines between messages", "\r\n\n" + EncodeFrame("{}") + "\r\n" + next, {"B:{}", "B:[]"}},
      {"the same length twice", "Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}", {"B:{}"}},
      {"an empty body", EncodeFrame(""), {"B:"}},
      // Unusable headers: dropped, and the next message is found.
      {"a blank before the colon", "Content-Length : 2\r\n\r\n{}" + next, {"X", "B:[]"}},
      {"a negative length", "Content-Length: -1\r\n\r\n" + next, {"X", "B:[]"}},
      {"a signed length", "Content-Length: +2\r\n\r\n{}" + next, {"X", "B:[]"}},
      {"a length that is not a number", "Content-Length: 1x\r\n\r\n" + next, {"X", "B:[]"}},
      {"an empty length", "Content-Length:\r\n\r\n" + next, {"X", "B:[]"}},
      {"a length too long to hold", "Content-Length: 99999999999999999999999\r\n\r\n" + next, {"X", "B:[]"}},
      {"two different lengths", "Content-Length: 2\r\nContent-Length: 3\r\n\r\n{}" + next, {"X", "B:[]"}},
      {"no Content-Length", "X-Other: 1\r\n\r\n" + next, {"X", "B:[]"}},
      {"a line that is no header", "Content-Length: 2\r\nhello\r\n\r\n{}" + next, {"X", "B:[]"}},
      {"a body shorter than it said: the next header is found in it",
       "Content-Length: 9\r\n\r\n{}" + EncodeFrame("[1]") + next,
       {"B:{}Content", "X", "B:[]"}},
      // Too long: the body is skipped unread, never held.
      {"too long", "Content-Length: 2000\r\n\r\n" + std::string(2000, 'x') + next, {"X", "B:[]"}},
      {"an endless header", std::string(9000, 'a'), {"X"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, c.bytes.size()})
      EXPECT_EQ(Frames(c.bytes, chunk), c.frames) << "chunk " << chunk;
  }
  EXPECT_EQ(EncodeFrame("{}"), "Content-Length: 2\r\n\r\n{}");
}

// Why a message was dropped: the language server answers a body too large
// otherwise than a header it cannot read.
TEST(FramingTest, Reasons) {
  const std::pair<std::string, FrameError> cases[] = {
      {"X-Other: 1\r\n\r\n", FrameError::NoLength},
      {"Content-Length: -1\r\n\r\n", FrameError::BadHeader},
      {"Content-Length: 2000\r\n\r\n", FrameError::TooLarge},
      {std::string(9000, 'a'), FrameError::EndlessHeader},
  };
  for (const auto& [bytes, error] : cases) {
    FrameReader reader(1024);
    reader.Feed(bytes);
    const FrameReader::Frame f = reader.Next();
    EXPECT_EQ(f.kind, FrameReader::Kind::Bad) << bytes.substr(0, 30);
    EXPECT_EQ(f.error, error) << bytes.substr(0, 30);
  }
}

}  // namespace
}  // namespace tolvane::rpc
