#include "common/Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tolvane {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr): iconv's failure value
      std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
      std::abort();
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as far as possible, appending to `out`; returns the number of
  // input bytes converted before the first one that could not be (all of
  // them when everything went through).
  std::size_t Append(const char* data, std::size_t size, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    char buf[4096];
    while (inLeft > 0) {
      char* o = buf;
      std::size_t oLeft = sizeof buf;
      std::size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buf, o - buf);
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    char* o = buf;
    std::size_t oLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, &o, &oLeft);
    out.append(buf, o - buf);
    return size - inLeft;
  }

 private:
  iconv_t cd_;
};

Converter& ToUtf8() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}
Converter& FromUtf8() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

}  // namespace

std::string Cp932ToUtf8(const std::string& cp932) {
  // One pass: each byte that is not CP932 becomes U+FFFD and the conversion
  // goes on after it, so the work grows with the length of the text however
  // many such bytes a (binary) file holds.
  std::string result;
  result.reserve(cp932.size() + cp932.size() / 2);
  std::size_t at = 0;
  while (at < cp932.size()) {
    at += ToUtf8().Append(cp932.data() + at, cp932.size() - at, result);
    if (at >= cp932.size()) break;
    result += "\xEF\xBF\xBD";
    ++at;
  }
  return result;
}

bool Utf8ToCp932(const std::string& utf8, std::string& out, std::size_t* badOffset) {
  out.clear();
  std::size_t done = FromUtf8().Append(utf8.data(), utf8.size(), out);
  if (done >= utf8.size()) return true;
  if (badOffset) *badOffset = done;
  return false;
}

std::string Cp932Text(const char* utf8) {
  std::string out;
  if (!Utf8ToCp932(utf8, out)) {
    std::fprintf(stderr, "message text not representable in CP932: %s\n", utf8);
    std::abort();
  }
  return out;
}

}  // namespace tolvane
