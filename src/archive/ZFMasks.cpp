// Locale character tables and the wildcard matcher (see ZFMasks.h).
#include "archive/ZFMasks.h"

#include <algorithm>
#include <compare>
#include <unordered_map>
#include <vector>

#include "archive/ZFUtf8.h"
#include "platform/platform.h"

namespace zf {

namespace {

// Upper case in the Turkish locale, where the platform's own mapping is not
// trusted: dotted i goes to dotted capital I (0xDD) and dotless i (0xFD) to
// plain I, so i and I are different letters even ignoring case. The byte
// values are those of code page 1254. Where the ANSI strings are UTF-8, a
// byte above 0x7F is a piece of a multi-byte sequence, not a letter, and i
// has no one-byte capital: there only the other ASCII letters are mapped.
unsigned char TurkishUpper(unsigned char c, bool ansiIsUtf8) {
  if (c == 'i') return ansiIsUtf8 ? c : 0xDD;
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (ansiIsUtf8) return c;
  if ((c >= 0xE0 && c <= 0xF6) || (c >= 0xF9 && c <= 0xFC))
    return static_cast<unsigned char>(c - 0x20);
  if (c == 0xFD) return 'I';
  if (c == 0xFE) return 0xDE;
  return c;  // among them 0xF7 (division sign), 0xF8 and 0xFF
}

}  // namespace

TZFCharTables BuildCharTables(const TZFLocale& locale) {
  TZFCharTables t;
  t.Locale = locale;
  t.Utf8Characters = locale.AnsiCodePage == kUtf8CodePage;
  t.TurkishDottedI = locale.Lcid == kTurkishLCID;
  const bool builtIn = t.TurkishDottedI || t.Utf8Characters;
  if (builtIn) {
    // The matcher only ever asks "equal or not", for which any permutation
    // serves; the identity keeps the exact comparison at the byte order.
    for (int x = 0; x < 256; ++x) t.CollationWeights[x] = static_cast<uint8_t>(x);
  } else {
    for (int x = 0; x < 256; ++x) {
      int before = 0;
      for (int y = 0; y < 256; ++y)
        if (locale.CompareChar(static_cast<unsigned char>(y), static_cast<unsigned char>(x),
                               false) < 0)
          ++before;
      // A comparison that is not a consistent order can rank a character
      // 256; it is then no permutation and the tables go unused.
      t.CollationWeights[x] = static_cast<uint8_t>(before > 255 ? 255 : before);
    }
  }
  std::array<bool, 256> seen{};
  for (uint8_t w : t.CollationWeights) seen[w] = true;
  t.WeightTablesUsable = true;
  for (bool s : seen) t.WeightTablesUsable = t.WeightTablesUsable && s;
  if (!t.WeightTablesUsable) return t;

  for (int x = 0; x < 256; ++x) {
    const auto c = static_cast<unsigned char>(x);
    unsigned char up;
    if (t.TurkishDottedI)
      up = TurkishUpper(c, t.Utf8Characters);
    else if (t.Utf8Characters)
      up = c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 0x20) : c;
    else
      up = locale.UpperChar(c);
    t.UpperWeights[t.CollationWeights[c]] = t.CollationWeights[up];
  }
  return t;
}

TZFLocale PlatformLocale() {
  TZFLocale l;
  l.Lcid = os::UserDefaultLCID();
  l.AnsiCodePage = os::AnsiCodePage();
  l.CompareChar = os::CompareChar;
  l.UpperChar = os::UpperChar;
  return l;
}

const TZFCharTables& ProcessCharTables() {
  static const TZFCharTables tables = BuildCharTables(PlatformLocale());
  return tables;
}

int CompareCharsExact(const TZFCharTables& t, unsigned char a, unsigned char b) {
  if (t.WeightTablesUsable) return int(t.CollationWeights[a]) - int(t.CollationWeights[b]);
  return t.Locale.CompareChar(a, b, false);
}

int CompareCharsIgnoreCase(const TZFCharTables& t, unsigned char a, unsigned char b) {
  if (t.WeightTablesUsable) {
    if (a == b) return 0;
    return int(t.UpperWeights[t.CollationWeights[a]]) - int(t.UpperWeights[t.CollationWeights[b]]);
  }
  return t.Locale.CompareChar(a, b, true);
}

namespace {

// What a UTF-8 character compares as: itself, or its capital ignoring case.
char32_t Utf8Key(const TZFCharTables& t, char32_t c, bool ignoreCase) {
  return ignoreCase ? UnicodeUpper(c, t.TurkishDottedI) : c;
}

// The compared values of a string's characters, up to its first NUL.
std::vector<char32_t> Utf8Keys(const TZFCharTables& t, std::string_view s, bool ignoreCase) {
  std::vector<char32_t> keys;
  keys.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const TUtf8Char ch = DecodeUtf8Char(s, i);
    if (ch.Code == 0) break;
    keys.push_back(Utf8Key(t, ch.Code, ignoreCase));
    i += ch.Length;
  }
  return keys;
}

}  // namespace

int CompareUtf8Chars(const TZFCharTables& t, char32_t a, char32_t b, bool ignoreCase) {
  const char32_t ka = Utf8Key(t, a, ignoreCase), kb = Utf8Key(t, b, ignoreCase);
  return ka < kb ? -1 : ka > kb ? 1 : 0;
}

int CompareNamesIgnoreCase(const TZFCharTables& t, std::string_view a, std::string_view b) {
  if (t.Utf8Characters) {
    const std::vector<char32_t> ka = Utf8Keys(t, a, true), kb = Utf8Keys(t, b, true);
    const auto order =
        std::lexicographical_compare_three_way(ka.begin(), ka.end(), kb.begin(), kb.end());
    return order < 0 ? -1 : order > 0 ? 1 : 0;
  }
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (const int c = CompareCharsIgnoreCase(t, static_cast<unsigned char>(a[i]),
                                             static_cast<unsigned char>(b[i])))
      return c;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// ---- the matcher -------------------------------------------------------------
//
// Let G(i, j) be the answer of the recursive matcher's loop standing at name
// position i and mask position j, and F(i, j) the answer of a call made
// there (F adds the "*.*" test made on entry to a call). Over a name of n
// characters and a mask of m:
//
//   F(i, j) = rest(j) == "*.*"  or  G(i, j)
//   G(i, j) = true                          if rest(j) == "*"
//           = (j == m)                      if i == n
//           = OR F(k, j+1), i <= k < n      if mask[j] == '*'
//           = false                         if j == m
//           = G(i+1, j+1)                   if mask[j] == '?' or matches name[i]
//           = false                         otherwise
//
// The answer is F(0, 0). Column j of G depends only on column j+1, so the
// columns are computed from the mask's end to its start as bit sets over
// i = 0..n; a literal column is the next one shifted by one and masked by the
// characters of the name equal to the mask character, a star column is all
// positions up to the last one set in the next column.

namespace {

class BitColumn {
 public:
  explicit BitColumn(size_t bits) : w_((bits + 63) / 64, 0) {}
  void Set(size_t i) { w_[i / 64] |= uint64_t(1) << (i % 64); }
  bool Test(size_t i) const { return (w_[i / 64] >> (i % 64)) & 1; }
  void Reset() { std::fill(w_.begin(), w_.end(), 0); }
  // Bits 0..count-1 set, the rest clear.
  void SetFirst(size_t count) {
    Reset();
    for (size_t k = 0; k < count / 64; ++k) w_[k] = ~uint64_t(0);
    if (count % 64) w_[count / 64] = (uint64_t(1) << (count % 64)) - 1;
  }
  // this[i] := from[i+1] (and mask[i], when given).
  void ShiftDownFrom(const BitColumn& from, const BitColumn* mask) {
    const size_t n = w_.size();
    for (size_t k = 0; k < n; ++k) {
      uint64_t v = from.w_[k] >> 1;
      if (k + 1 < n) v |= from.w_[k + 1] << 63;
      w_[k] = mask ? v & mask->w_[k] : v;
    }
  }
  // Highest set bit below limit, or -1.
  long long HighestBelow(size_t limit) const {
    for (size_t i = limit; i-- > 0;) {
      const uint64_t word =
          w_[i / 64] & (i % 64 == 63 ? ~uint64_t(0) : (uint64_t(2) << (i % 64)) - 1);
      if (!word) {
        i -= i % 64;  // skip the rest of an empty word
        continue;
      }
      int top = 63;
      while (!((word >> top) & 1)) --top;
      return static_cast<long long>(i / 64 * 64 + top);
    }
    return -1;
  }
  bool Any() const {
    for (uint64_t v : w_)
      if (v) return true;
    return false;
  }
  void Clear(size_t i) { w_[i / 64] &= ~(uint64_t(1) << (i % 64)); }
  void Swap(BitColumn& o) { w_.swap(o.w_); }

 private:
  std::vector<uint64_t> w_;
};

std::string_view UpToNul(std::string_view s) {
  const size_t z = s.find('\0');
  return z == std::string_view::npos ? s : s.substr(0, z);
}

// The column recurrence over the mask's characters ('*' and '?' as
// themselves) and a name of n characters. literal(cur, next, c) sets
// cur[i] = next[i+1] and (name character i equals c) for i < n.
template <class Literal>
bool MatchColumns(size_t n, const std::vector<char32_t>& mask, Literal&& literal) {
  const size_t m = mask.size();
  auto restIsStarDotStar = [&](size_t j) {
    return m - j == 3 && mask[j] == '*' && mask[j + 1] == '.' && mask[j + 2] == '*';
  };
  if (restIsStarDotStar(0)) return true;

  BitColumn next(n + 1), cur(n + 1);
  next.Set(n);  // column m: only the end of the name matches the end of the mask
  for (size_t j = m; j-- > 0;) {
    const char32_t c = mask[j];
    if (c == '*') {
      if (j + 1 == m) {
        cur.SetFirst(n + 1);  // rest is "*": every position, the end included
      } else {
        // The rest after the star is tried from i to n-1; F(k, j+1) holds
        // for every such k when that rest is "*.*".
        const long long last =
            restIsStarDotStar(j + 1) ? static_cast<long long>(n) - 1 : next.HighestBelow(n);
        cur.SetFirst(static_cast<size_t>(last + 1));
      }
    } else {
      if (c == '?')
        cur.ShiftDownFrom(next, nullptr);
      else
        literal(cur, next, c);
      cur.Clear(n);  // the end of the name meets a character of the mask
    }
    cur.Swap(next);
    // An empty column stays empty towards the mask's start; only a star at
    // m - 4, whose rest is "*.*", could still bring a match.
    if (j + 4 <= m && !next.Any()) return false;
  }
  return next.Test(0);
}

bool MatchBytes(const TZFCharTables& tables, std::string_view name, std::string_view mask,
                bool ignoreCase) {
  const size_t n = name.size();
  auto equal = [&](unsigned char maskChar, unsigned char nameChar) {
    return (ignoreCase ? CompareCharsIgnoreCase(tables, maskChar, nameChar)
                       : CompareCharsExact(tables, maskChar, nameChar)) == 0;
  };
  // Positions of the name equal to a mask character, one column per distinct
  // character. For a long name the 256 answers for a mask character are
  // asked once, so the locale is asked at most 65,536 times whatever the
  // sizes (it may be a system call per character).
  std::array<int, 256> eqIndex;
  eqIndex.fill(-1);
  std::vector<BitColumn> eqColumns;
  auto equalColumn = [&](unsigned char c) -> const BitColumn& {
    if (eqIndex[c] < 0) {
      BitColumn col(n + 1);
      if (n > 256) {
        std::array<bool, 256> row;
        for (int b = 0; b < 256; ++b) row[b] = equal(c, static_cast<unsigned char>(b));
        for (size_t i = 0; i < n; ++i)
          if (row[static_cast<unsigned char>(name[i])]) col.Set(i);
      } else {
        for (size_t i = 0; i < n; ++i)
          if (equal(c, static_cast<unsigned char>(name[i]))) col.Set(i);
      }
      eqIndex[c] = static_cast<int>(eqColumns.size());
      eqColumns.push_back(std::move(col));
    }
    return eqColumns[eqIndex[c]];
  };
  std::vector<char32_t> maskBytes;
  maskBytes.reserve(mask.size());
  for (char ch : mask) maskBytes.push_back(static_cast<unsigned char>(ch));
  return MatchColumns(n, maskBytes, [&](BitColumn& cur, const BitColumn& next, char32_t c) {
    cur.ShiftDownFrom(next, &equalColumn(static_cast<unsigned char>(c)));
  });
}

// Over UTF-8 characters the mask may hold thousands of distinct ones, too
// many for a column each. A character found often in the name (more than
// n / 64 times, so at most 64 of them) gets its column of positions; any
// other is stepped through its positions one by one, which costs no more
// than a column operation. Time stays O(n x m / 64), memory O(n).
bool MatchUtf8(const TZFCharTables& tables, std::string_view name, std::string_view mask,
               bool ignoreCase) {
  const std::vector<char32_t> nameKeys = Utf8Keys(tables, name, ignoreCase);
  const std::vector<char32_t> maskKeys = Utf8Keys(tables, mask, ignoreCase);
  const size_t n = nameKeys.size();
  std::unordered_map<char32_t, BitColumn> frequent;
  // A name of fewer than 128 characters fits two words a column: every
  // character gets its column, made by one look over the name.
  if (n < 128) {
    return MatchColumns(n, maskKeys, [&](BitColumn& cur, const BitColumn& next, char32_t c) {
      auto [it, made] = frequent.try_emplace(c, n + 1);
      if (made)
        for (size_t i = 0; i < n; ++i)
          if (nameKeys[i] == c) it->second.Set(i);
      cur.ShiftDownFrom(next, &it->second);
    });
  }
  // The name's positions ordered by character, then by position.
  std::vector<uint32_t> byChar(n);
  for (size_t i = 0; i < n; ++i) byChar[i] = static_cast<uint32_t>(i);
  std::stable_sort(byChar.begin(), byChar.end(),
                   [&](uint32_t a, uint32_t b) { return nameKeys[a] < nameKeys[b]; });
  return MatchColumns(n, maskKeys, [&](BitColumn& cur, const BitColumn& next, char32_t c) {
    const auto from = std::lower_bound(byChar.begin(), byChar.end(), c,
                                       [&](uint32_t i, char32_t k) { return nameKeys[i] < k; });
    const auto to = std::upper_bound(from, byChar.end(), c,
                                     [&](char32_t k, uint32_t i) { return k < nameKeys[i]; });
    const size_t count = static_cast<size_t>(to - from);
    if (count > n / 64) {
      auto [it, made] = frequent.try_emplace(c, n + 1);
      if (made)
        for (auto p = from; p != to; ++p) it->second.Set(*p);
      cur.ShiftDownFrom(next, &it->second);
      return;
    }
    cur.Reset();
    for (auto p = from; p != to; ++p)
      if (next.Test(*p + 1)) cur.Set(*p);
  });
}

}  // namespace

bool WildcardMatch(const TZFCharTables& tables, std::string_view name, std::string_view mask,
                   bool ignoreCase) {
  name = UpToNul(name);
  mask = UpToNul(mask);
  return tables.Utf8Characters ? MatchUtf8(tables, name, mask, ignoreCase)
                               : MatchBytes(tables, name, mask, ignoreCase);
}

}  // namespace zf
