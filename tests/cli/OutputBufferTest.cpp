// The program's standard output buffer: few write calls, the same bytes in
// the same order, nothing written twice when a signal flushes it, failures
// reported once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "StandardOutput.h"

using namespace tolvane::cli;

namespace {

// A scratch file to write into and read back.
class Scratch {
 public:
  Scratch() : file_(std::tmpfile()) {}
  ~Scratch() { std::fclose(file_); }
  int Fd() const { return fileno(file_); }
  std::string Contents() const {
    std::string s;
    char buf[65536];
    ssize_t n;
    off_t at = 0;
    while ((n = ::pread(Fd(), buf, sizeof buf, at)) > 0) {
      s.append(buf, static_cast<std::size_t>(n));
      at += n;
    }
    return s;
  }

 private:
  std::FILE* file_;
};

TEST(OutputBuffer, ManyLinesGoOutInLargePieces) {
  Scratch out;
  OutputBuffer buffer(out.Fd(), false);
  std::string want;
  for (int i = 0; i < 200000; ++i) {
    const std::string line = "Hello, World! " + std::to_string(i) + "\n";
    buffer.Append(line.data(), line.size());
    want += line;
  }
  ASSERT_TRUE(buffer.Flush());
  EXPECT_EQ(out.Contents(), want);
  // At most one write call per 4 KB of output.
  EXPECT_LE(buffer.WriteCalls(), want.size() / 4096);
  EXPECT_FALSE(buffer.Pending());
}

TEST(OutputBuffer, OrderIsKeptWhateverTheSizes) {
  Scratch out;
  OutputBuffer buffer(out.Fd(), false, 16);
  const std::string pieces[] = {"ab", "cdefgh", std::string(40, 'X'), "ij", std::string(15, 'Y'), "k"};
  std::string want;
  for (const std::string& p : pieces) {
    buffer.Append(p.data(), p.size());
    want += p;
  }
  ASSERT_TRUE(buffer.Flush());
  EXPECT_EQ(out.Contents(), want);
}

TEST(OutputBuffer, LineModeWritesEveryLineAtOnce) {
  Scratch out;
  OutputBuffer buffer(out.Fd(), true);
  buffer.Append("one\n", 4);
  EXPECT_EQ(out.Contents(), "one\n");
  buffer.Append("two\n", 4);
  EXPECT_EQ(out.Contents(), "one\ntwo\n");
  EXPECT_EQ(buffer.WriteCalls(), 2u);
}

// What a signal handler writes is not written again by the next flush.
TEST(OutputBuffer, ASignalFlushWritesEachByteOnce) {
  Scratch out;
  OutputBuffer buffer(out.Fd(), false);
  buffer.Append("first\n", 6);
  buffer.FlushFromSignal();
  EXPECT_EQ(out.Contents(), "first\n");
  buffer.Append("second\n", 7);
  buffer.FlushFromSignal();
  buffer.FlushFromSignal();
  EXPECT_EQ(out.Contents(), "first\nsecond\n");
  ASSERT_TRUE(buffer.Flush());
  buffer.Append("third\n", 6);
  ASSERT_TRUE(buffer.Flush());
  EXPECT_EQ(out.Contents(), "first\nsecond\nthird\n");
}

TEST(OutputBuffer, AFailedWriteIsReportedOnceAndLaterOutputDropped) {
  const int readOnly = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(readOnly, 0);
  std::vector<int> failures;
  OutputBuffer buffer(readOnly, false, 8);
  buffer.OnFailure([&](int error) { failures.push_back(error); });
  buffer.Append("1234", 4);
  EXPECT_TRUE(failures.empty());  // nothing written yet
  buffer.Append("56789", 5);      // the buffer is full: written, and refused
  buffer.Append("more", 4);
  EXPECT_FALSE(buffer.Flush());
  EXPECT_EQ(failures, std::vector<int>{EBADF});
  EXPECT_TRUE(buffer.Failed());
  ::close(readOnly);
}

}  // namespace
