// Character comparison in the user's locale and the wildcard matcher that
// selects archive entries by mask.
//
// Where the ANSI strings are UTF-8 (always on Linux, on Windows under the
// programs' UTF-8 manifest) a character is a whole UTF-8 sequence: "?"
// takes one, and characters compare by code point, ignoring case through
// Unicode's simple upper-case mapping (ZFUtf8.h), the same on every
// platform. The Turkish locale pairs i with the dotted capital I there too,
// and the dotless i with I, as its ANSI code page does.
//
// With an 8-bit ANSI code page, two 256-byte tables make one-character
// comparison cheap: the rank of every byte in the locale's collation order,
// and the upper-case mapping expressed in ranks. They are built by portable
// code from a set of locale services (TZFLocale), so that tests can build
// them from a fake locale; the process uses one set built lazily, once,
// from the platform layer. When the locale's collation ties two characters
// the tables are not a permutation and every comparison goes to the
// locale's own one-character comparison.
//
// This file knows nothing of paths or archives; "." "/" and "\" are ordinary
// characters to the matcher.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace zf {

// The locale whose tables are built in rather than asked of the platform.
constexpr uint32_t kTurkishLCID = 0x041F;
// The ANSI "code page" of platforms whose 8-bit strings are UTF-8.
constexpr unsigned kUtf8CodePage = 65001;

// The locale services the tables are built from.
struct TZFLocale {
  uint32_t Lcid = 0;
  unsigned AnsiCodePage = 0;
  // One character against one: negative, zero or positive.
  std::function<int(unsigned char a, unsigned char b, bool ignoreCase)> CompareChar;
  std::function<unsigned char(unsigned char c)> UpperChar;
};

struct TZFCharTables {
  // CollationWeights[x]: how many of the 256 characters sort before x.
  std::array<uint8_t, 256> CollationWeights{};
  // UpperWeights[CollationWeights[x]] == CollationWeights[upper(x)].
  std::array<uint8_t, 256> UpperWeights{};
  // CollationWeights is a permutation of 0..255; only then are the tables used.
  bool WeightTablesUsable = false;
  // Answers the comparisons when the tables are not usable.
  TZFLocale Locale;
  // The ANSI strings are UTF-8: names and masks are read as characters, and
  // the byte tables (byte order, ASCII letters paired) serve ASCII only.
  bool Utf8Characters = false;
  // Upper case pairs i with U+0130 and U+0131 with I (kTurkishLCID).
  bool TurkishDottedI = false;
};

// Builds the tables of a locale (the built-in ones for kTurkishLCID; for a
// UTF-8 ANSI code page the platform is not asked, as its one-byte answers
// would be about pieces of characters).
TZFCharTables BuildCharTables(const TZFLocale& locale);

// The platform's locale services (user default locale).
TZFLocale PlatformLocale();

// The process-wide tables, built from PlatformLocale() on first use
// (thread-safe) and never changed afterwards.
const TZFCharTables& ProcessCharTables();

// Zero when a and b are the same byte character (exactly / ignoring case).
int CompareCharsExact(const TZFCharTables& tables, unsigned char a, unsigned char b);
int CompareCharsIgnoreCase(const TZFCharTables& tables, unsigned char a, unsigned char b);
inline int CompareCharsExact(unsigned char a, unsigned char b) {
  return CompareCharsExact(ProcessCharTables(), a, b);
}
inline int CompareCharsIgnoreCase(unsigned char a, unsigned char b) {
  return CompareCharsIgnoreCase(ProcessCharTables(), a, b);
}

// Zero when two characters of UTF-8 strings are the same: code points, or
// kNotUtf8Base + a byte that is no UTF-8 (exactly / ignoring case).
int CompareUtf8Chars(const TZFCharTables& tables, char32_t a, char32_t b, bool ignoreCase);

// Orders two names ignoring case, character by character in the tables'
// kind of characters; a name before the longer names it begins.
int CompareNamesIgnoreCase(const TZFCharTables& tables, std::string_view a, std::string_view b);
inline int CompareNamesIgnoreCase(std::string_view a, std::string_view b) {
  return CompareNamesIgnoreCase(ProcessCharTables(), a, b);
}

// Matches name against mask: "*" is any run of characters, "?" exactly one.
// Both are taken up to their first NUL, as the C strings they stand for.
//
// The rules, as a recursive matcher over a position in each string would
// apply them:
//  - a call whose remaining mask is exactly "*.*" matches (also the rest of
//    a mask after a "*": "**.*" matches every non-empty name);
//  - a remaining mask of exactly "*" matches;
//  - at the end of the name, only the end of the mask matches;
//  - a "*" followed by more mask lets the rest match from any name position
//    up to, but not including, the end of the name; so "a**" does not match
//    "a" while "a*" does;
//  - "?" takes one character; other characters compare by CompareChars*
//    (byte characters) or CompareUtf8Chars (UTF-8 characters).
// The implementation is a bit-parallel table over (name position, mask
// position): time O(|name| x |mask| / 64), no recursion, so hostile masks
// such as "*a*a*a*a*b" or thousands of stars cost no more than plain ones.
bool WildcardMatch(const TZFCharTables& tables, std::string_view name, std::string_view mask,
                   bool ignoreCase);
inline bool WildcardMatch(std::string_view name, std::string_view mask, bool ignoreCase) {
  return WildcardMatch(ProcessCharTables(), name, mask, ignoreCase);
}

}  // namespace zf
