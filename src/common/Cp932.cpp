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
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
      std::abort();
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as far as possible; returns the offset of the first input byte that
  // could not be converted, or input.size() when all went through.
  std::size_t Run(const std::string& input, std::string& out) {
    out.clear();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
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
    return input.size() - inLeft;
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
  std::string result;
  std::string rest = cp932;
  std::string part;
  for (;;) {
    std::size_t done = ToUtf8().Run(rest, part);
    result += part;
    if (done >= rest.size()) break;
    result += "\xEF\xBF\xBD";
    rest.erase(0, done + 1);
  }
  return result;
}

bool Utf8ToCp932(const std::string& utf8, std::string& out, std::size_t* badOffset) {
  std::size_t done = FromUtf8().Run(utf8, out);
  if (done >= utf8.size()) return true;
  if (badOffset) *badOffset = done;
  return false;
}

std::string J(const char* utf8) {
  std::string out;
  if (!Utf8ToCp932(utf8, out)) {
    std::fprintf(stderr, "message text not representable in CP932: %s\n", utf8);
    std::abort();
  }
  return out;
}

}  // namespace tolvane
