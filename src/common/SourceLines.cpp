#include "common/SourceLines.h"

#include <algorithm>
#include <cstdint>

#include "common/Cp932.h"

namespace tolvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// U+2028, U+2029, U+FDD0 and U+FDD1: a text control breaks the line at them
// or keeps them for its own marks, so they cannot be shown inside a line.
bool BreaksTheLine(std::string_view sequence) {
  return sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9" || sequence == "\xEF\xB7\x90" ||
         sequence == "\xEF\xB7\x91";
}

// One character of an original line: where its bytes are and how it shows.
struct Piece {
  std::size_t from = 0;
  std::string utf8;
};

bool IsCp932TrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The characters of a line one by one, in the way ShownLine shows them: a
// lead byte with a trail byte is one character when CP932 has it, otherwise
// the lead byte alone shows as U+FFFD and the next byte is read on its own
// (as the conversion of a whole line does).
std::vector<Piece> PiecesOf(std::string_view bytes, TextEncoding encoding) {
  std::vector<Piece> pieces;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[at]);
    if (encoding == TextEncoding::Utf8) {
      const std::size_t n = Utf8SequenceLength(bytes, at);
      const std::string_view sequence = bytes.substr(at, n);
      pieces.push_back({at, std::string(n == 0 || BreaksTheLine(sequence) ? kReplacement : sequence)});
      at += n == 0 ? 1 : n;
      continue;
    }
    if (c < 0x80) {
      pieces.push_back({at, std::string(1, static_cast<char>(c))});
      ++at;
      continue;
    }
    if (IsCp932LeadByte(c) && at + 1 < bytes.size() && IsCp932TrailByte(static_cast<unsigned char>(bytes[at + 1]))) {
      std::string utf8 = Cp932ToUtf8(std::string(bytes.substr(at, 2)));
      if (!utf8.starts_with(kReplacement)) {
        pieces.push_back({at, std::move(utf8)});
        at += 2;
        continue;
      }
    }
    pieces.push_back({at, Cp932ToUtf8(std::string(1, static_cast<char>(c)))});
    ++at;
  }
  return pieces;
}

// `utf8` in the target encoding; false with the offset of the first character
// it cannot hold.
bool Encode(std::string_view utf8, TextEncoding encoding, std::string& out, std::size_t& bad) {
  if (encoding == TextEncoding::Utf8) {
    out.append(utf8);
    return true;
  }
  std::string part;
  if (!Utf8ToCp932(std::string(utf8), part, &bad)) return false;
  out += part;
  return true;
}

// An edited line: the characters before and after the edit keep the bytes
// they were read with (a CP932 character with two codes keeps its code, a
// byte that was no character stays), only the text between is encoded.
bool EncodeEdited(const SourceLine& original, std::string_view text, TextEncoding encoding, std::string& out,
                  std::size_t& bad) {
  const std::vector<Piece> pieces = PiecesOf(original.bytes, encoding);
  const auto matches = [&](std::size_t at, const std::string& s) {
    return at + s.size() <= text.size() && text.substr(at, s.size()) == s;
  };
  std::size_t head = 0;  // bytes of `text` kept at the start
  std::size_t k = 0;     // pieces kept at the start
  while (k < pieces.size() && matches(head, pieces[k].utf8)) head += pieces[k++].utf8.size();
  std::size_t tail = text.size();  // where the kept end of `text` starts
  std::size_t m = pieces.size();   // first piece kept at the end
  while (m > k && pieces[m - 1].utf8.size() <= tail - head &&
         matches(tail - pieces[m - 1].utf8.size(), pieces[m - 1].utf8))
    tail -= pieces[--m].utf8.size();
  const auto byteAt = [&](std::size_t piece) {
    return piece < pieces.size() ? pieces[piece].from : original.bytes.size();
  };
  out.append(original.bytes, 0, byteAt(k));
  if (!Encode(text.substr(head, tail - head), encoding, out, bad)) {
    bad += head;
    return false;
  }
  out.append(original.bytes, byteAt(m));
  return true;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Longest common subsequence of a[a0, a1) and b[b0, b1) by the O(ND) method,
// written into `match` (for each line of b its line of a). When more than
// `limit` lines differ (the cost grows with the square of that number), lines
// are matched only where they stand at the same place and read the same,
// which still finds the unedited lines among many edited in place.
void MatchMiddle(const std::vector<std::string>& a, const std::vector<std::string>& b, std::size_t a0, std::size_t a1,
                 std::size_t b0, std::size_t b1, std::vector<std::size_t>& match) {
  constexpr std::int64_t limit = 1000;
  const auto n = static_cast<std::int64_t>(a1 - a0);
  const auto m = static_cast<std::int64_t>(b1 - b0);
  const std::int64_t most = std::min(n + m, limit);
  // v[k] is the furthest x on diagonal k; trace[d] keeps v as it was before round d.
  std::vector<std::int64_t> v(static_cast<std::size_t>(2 * most + 3), 0);
  const auto at = [&](std::int64_t k) -> std::int64_t& { return v[static_cast<std::size_t>(k + most + 1)]; };
  std::vector<std::vector<std::int64_t>> trace;
  const auto same = [&](std::int64_t x, std::int64_t y) {
    return a[a0 + static_cast<std::size_t>(x)] == b[b0 + static_cast<std::size_t>(y)];
  };
  for (std::int64_t d = 0; d <= most; ++d) {
    trace.emplace_back(v.begin() + (most + 1 - d), v.begin() + (most + 1 + d + 1));
    for (std::int64_t k = -d; k <= d; k += 2) {
      std::int64_t x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
      std::int64_t y = x - k;
      while (x < n && y < m && same(x, y)) ++x, ++y;
      at(k) = x;
      if (x < n || y < m) continue;
      // Found: walk back through the rounds, recording each diagonal run.
      for (std::int64_t e = d; e > 0; --e) {
        const std::vector<std::int64_t>& was = trace[static_cast<std::size_t>(e)];
        const auto prior = [&](std::int64_t kk) { return was[static_cast<std::size_t>(kk + e)]; };
        const std::int64_t kk = x - y;
        const bool down = kk == -e || (kk != e && prior(kk - 1) < prior(kk + 1));
        const std::int64_t px = prior(down ? kk + 1 : kk - 1);
        const std::int64_t py = px - (down ? kk + 1 : kk - 1);
        const std::int64_t runStart = down ? px : px + 1;
        while (x > runStart) {
          --x, --y;
          match[b0 + static_cast<std::size_t>(y)] = a0 + static_cast<std::size_t>(x);
        }
        x = px;
        y = py;
      }
      while (x > 0 && y > 0) {
        --x, --y;
        match[b0 + static_cast<std::size_t>(y)] = a0 + static_cast<std::size_t>(x);
      }
      return;
    }
  }
  for (std::int64_t i = 0; i < std::min(n, m); ++i)
    if (same(i, i)) match[b0 + static_cast<std::size_t>(i)] = a0 + static_cast<std::size_t>(i);
}

}  // namespace

std::vector<LineSpan> SplitLines(std::string_view text, LoneCr loneCr) {
  std::vector<LineSpan> lines;
  const bool crEnds = loneCr == LoneCr::EndsLine;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find_first_of(crEnds ? "\r\n" : "\n", start);
    if (at == std::string_view::npos) {
      std::size_t length = text.size() - start;
      if (!crEnds && length > 0 && text.back() == '\r') --length;
      lines.push_back({start, length, 0});
      return lines;
    }
    std::size_t end = at;
    if (text[at] == '\n' && at > start && text[at - 1] == '\r') --end;  // (found only when a lone CR stays)
    std::size_t breakLength = at + 1 - end;
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') breakLength = 2;
    lines.push_back({start, end - start, breakLength});
    start = end + breakLength;
  }
}

SourceLines SplitSourceLines(std::string_view bytes, TextEncoding encoding, bool byteOrderMark) {
  SourceLines file;
  file.encoding = encoding;
  file.byteOrderMark = byteOrderMark && encoding == TextEncoding::Utf8 && bytes.starts_with(kUtf8ByteOrderMark);
  if (file.byteOrderMark) bytes.remove_prefix(kUtf8ByteOrderMark.size());
  file.lines.clear();
  for (const LineSpan& line : SplitLines(bytes, LoneCr::EndsLine))
    file.lines.push_back({std::string(bytes.substr(line.offset, line.length)),
                          std::string(bytes.substr(line.offset + line.length, line.breakLength))});
  return file;
}

std::string ShownLine(const SourceLines& file, std::size_t i) {
  const std::string& bytes = file.lines[i].bytes;
  std::string shown;
  if (file.encoding == TextEncoding::Cp932) {
    // CP932 has none of the characters that break a line.
    return Cp932ToUtf8(bytes);
  }
  shown.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t n = Utf8SequenceLength(bytes, at);
    const std::string_view sequence = std::string_view(bytes).substr(at, n);
    shown += n == 0 || BreaksTheLine(sequence) ? kReplacement : sequence;
    at += n == 0 ? 1 : n;
  }
  return shown;
}

std::vector<std::string> ShownLines(const SourceLines& file) {
  std::vector<std::string> shown;
  shown.reserve(file.lines.size());
  for (std::size_t i = 0; i < file.lines.size(); ++i) shown.push_back(ShownLine(file, i));
  return shown;
}

bool HasUnreadableBytes(const SourceLines& file) {
  for (const SourceLine& line : file.lines) {
    if (file.encoding == TextEncoding::Utf8) {
      if (!IsValidUtf8(line.bytes)) return true;
    } else if (Cp932ToUtf8(line.bytes).find(kReplacement) != std::string::npos) {
      return true;
    }
  }
  return false;
}

ComposedFile ComposeSourceFile(const SourceLines& original, const std::vector<std::string>& shown,
                               const TargetFormat& target) {
  const std::vector<std::string> before = ShownLines(original);
  const std::size_t na = before.size();
  const std::size_t nb = shown.size();
  // Which original line each line of the text still is.
  std::vector<std::size_t> match(nb, kNone);
  std::size_t head = 0;
  while (head < na && head < nb && before[head] == shown[head]) {
    match[head] = head;
    ++head;
  }
  std::size_t tailA = na;
  std::size_t tailB = nb;
  while (tailA > head && tailB > head && before[tailA - 1] == shown[tailB - 1]) match[--tailB] = --tailA;
  if (head < tailA && head < tailB) MatchMiddle(before, shown, head, tailA, head, tailB, match);

  // An unmatched line is taken for an edit of the unmatched original line in
  // the same place between two matched ones.
  std::vector<std::size_t> edited(nb, kNone);
  std::size_t nextA = 0;
  for (std::size_t j = 0; j < nb;) {
    if (match[j] != kNone) {
      nextA = match[j] + 1;
      ++j;
      continue;
    }
    std::size_t endA = na;
    std::size_t k = j;
    while (k < nb && match[k] == kNone) ++k;
    if (k < nb) endA = match[k];
    for (std::size_t a = nextA; j < k; ++j, ++a) edited[j] = a < endA ? a : kNone;
  }

  const bool sameEncoding = original.encoding == target.encoding;
  ComposedFile result;
  std::string& out = result.bytes;
  if (target.encoding == TextEncoding::Utf8 && target.byteOrderMark) out = kUtf8ByteOrderMark;
  for (std::size_t j = 0; j < nb; ++j) {
    const SourceLine* kept = match[j] != kNone ? &original.lines[match[j]] : nullptr;
    std::size_t bad = 0;
    bool ok = true;
    if (kept && sameEncoding) {
      out += kept->bytes;
    } else if (sameEncoding && edited[j] != kNone) {
      ok = EncodeEdited(original.lines[edited[j]], shown[j], target.encoding, out, bad);
    } else {
      ok = Encode(shown[j], target.encoding, out, bad);
    }
    if (!ok) {
      result.ok = false;
      result.bytes.clear();
      result.badLine = j;
      result.badOffset = bad;
      return result;
    }
    if (j + 1 == nb) break;
    out += kept && !kept->end.empty() ? std::string_view(kept->end) : target.lineEnd;
  }
  return result;
}

}  // namespace tolvane
