// UTF-8 characters and Unicode upper case (see ZFUtf8.h).
#include "archive/ZFUtf8.h"

#include <algorithm>
#include <iterator>

namespace zf {

namespace {

struct UpperRun {
  char32_t First, Last;
  int32_t Delta;
  uint8_t Step;
};

constexpr UpperRun kUpperRuns[] = {
#include "archive/ZFUnicodeUpper.inc"
};

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

TUtf8Char DecodeUtf8Char(std::string_view s, size_t pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  const TUtf8Char notUtf8{kNotUtf8Base + b0, 1};
  if (b0 < 0x80) return {b0, 1};
  int length;
  char32_t code, least;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, code = b0 & 0x1F, least = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, code = b0 & 0x0F, least = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, code = b0 & 0x07, least = 0x10000;
  } else {
    return notUtf8;  // a continuation byte, C0, C1 or F5..FF
  }
  if (s.size() - pos < static_cast<size_t>(length)) return notUtf8;
  for (int k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(s[pos + k]);
    if (!IsContinuation(b)) return notUtf8;
    code = code << 6 | (b & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return notUtf8;
  return {code, static_cast<uint8_t>(length)};
}

char32_t UnicodeUpper(char32_t c, bool turkishDottedI) {
  if (c < 0x80) {
    if (c < 'a' || c > 'z') return c;
    return turkishDottedI && c == 'i' ? char32_t(0x130) : c - 0x20;
  }
  if (turkishDottedI && c == 0x131) return 'I';
  const auto run = std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), c,
                                    [](char32_t x, const UpperRun& r) { return x < r.First; });
  if (run == std::begin(kUpperRuns)) return c;
  const UpperRun& r = *std::prev(run);
  if (c > r.Last || (c - r.First) % r.Step != 0) return c;
  return static_cast<char32_t>(static_cast<int32_t>(c) + r.Delta);
}

}  // namespace zf
