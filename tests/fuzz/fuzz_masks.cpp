// The wildcard matcher against the rules it implements, written the slow
// way: a recursive matcher over a position in the name and one in the mask
// (with its results remembered, so hostile masks stay cheap to check), and
// the component's mask rules ("*.*" as "*", a final "." for names without
// an extension) on top of it. Any difference is a finding.
//
// Input: one flag byte, then the name, a NUL, and the mask (up to a second
// NUL). Flag bits: 0 ignore case; 1-2 the character tables: the process's,
// the built-in Turkish ones, or a locale whose collation ties letters (so
// its tables are unusable and every comparison asks the locale).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFMasks.h"
#include "archive/ZFStrFunc.h"
#include "archive/ZFUtf8.h"

namespace {

constexpr size_t kMostForReference = 400;

// A string's characters as the rules read them: bytes, or where the ANSI
// strings are UTF-8 whole characters, a byte that starts no valid sequence
// (shortest form, at most U+10FFFF, no surrogate) standing for itself as
// kNotUtf8Base + byte.
std::vector<char32_t> Characters(const zf::TZFCharTables& tables, std::string_view s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int length = !tables.Utf8Characters || b < 0xC2 || b > 0xF4 ? 1
                       : b < 0xE0                                     ? 2
                       : b < 0xF0                                     ? 3
                                                                      : 4;
    char32_t code = length == 1 ? b : b & (0x7F >> length);
    bool valid = length == 1 || i + length <= s.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      valid = c >= 0x80 && c < 0xC0;
      code = code << 6 | (c & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kLeast[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (tables.Utf8Characters && (!valid || (length == 1 && b >= 0x80))) {
      out.push_back(zf::kNotUtf8Base + b);
      ++i;
    } else {
      out.push_back(code);
      i += length;
    }
  }
  return out;
}

// The recursive rules, one call per (name position, mask position).
class ReferenceMatcher {
 public:
  ReferenceMatcher(const zf::TZFCharTables& tables, std::string_view name, std::string_view mask,
                   bool ignoreCase)
      : tables_(tables), name_(Characters(tables, name)), mask_(Characters(tables, mask)),
        ignoreCase_(ignoreCase), memo_((name_.size() + 1) * (mask_.size() + 1), kUnknown) {}

  bool Match() { return Call(0, 0); }

 private:
  static constexpr int8_t kUnknown = -1;

  bool RestIs(size_t j, std::u32string_view s) const {
    return std::u32string_view(mask_.data() + j, mask_.size() - j) == s;
  }

  // A call: the "*.*" test on entry, then the loop.
  bool Call(size_t i, size_t j) {
    int8_t& known = memo_[i * (mask_.size() + 1) + j];
    if (known == kUnknown) known = RestIs(j, U"*.*") || Loop(i, j);
    return known == 1;
  }

  bool Loop(size_t i, size_t j) {
    for (;;) {
      if (RestIs(j, U"*")) return true;
      if (i == name_.size()) return j == mask_.size();
      if (j == mask_.size()) return false;
      const char32_t m = mask_[j];
      if (m == '*') {
        for (size_t k = i; k < name_.size(); ++k)
          if (Call(k, j + 1)) return true;
        return false;
      }
      if (m != '?' && !Same(m, name_[i])) return false;
      ++i;
      ++j;
    }
  }

  bool Same(char32_t a, char32_t b) const {
    if (tables_.Utf8Characters) return zf::CompareUtf8Chars(tables_, a, b, ignoreCase_) == 0;
    const auto x = static_cast<unsigned char>(a), y = static_cast<unsigned char>(b);
    return (ignoreCase_ ? zf::CompareCharsIgnoreCase(tables_, x, y)
                        : zf::CompareCharsExact(tables_, x, y)) == 0;
  }

  const zf::TZFCharTables& tables_;
  std::vector<char32_t> name_, mask_;
  bool ignoreCase_;
  std::vector<int8_t> memo_;
};

bool ReferenceWildcardMatch(const zf::TZFCharTables& tables, std::string_view name,
                            std::string_view mask, bool ignoreCase) {
  return ReferenceMatcher(tables, name, mask, ignoreCase).Match();
}

// The component's mask rules over the reference matcher (process tables,
// ignoring case).
bool ReferenceMatchesMask(std::string_view name, std::string_view mask) {
  if (mask.empty()) return false;
  std::string work(mask);
  if (const size_t p = work.find("*.*"); p != std::string::npos) work.replace(p, 3, "*");
  const bool extensionless = mask.back() == '.';
  if (extensionless) work.pop_back();
  std::string_view n = name;
  if (!n.empty() && n.back() == '.') n.remove_suffix(1);
  if (!ReferenceWildcardMatch(zf::ProcessCharTables(), n, work, true)) return false;
  if (!extensionless) return true;
  const std::string_view file = name.substr(zf::FileNameStart(name));
  const size_t dot = file.rfind('.');
  return dot == std::string_view::npos || dot + 1 == file.size();
}

// A locale whose collation ties each ASCII letter with its capital, so no
// table is a permutation.
zf::TZFLocale TyingLocale() {
  zf::TZFLocale l;
  l.Lcid = 0x0409;
  l.AnsiCodePage = 1252;
  const auto fold = [](unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 0x20) : c;
  };
  l.CompareChar = [fold](unsigned char a, unsigned char b, bool) { return fold(a) - fold(b); };
  l.UpperChar = fold;
  return l;
}

zf::TZFCharTables BuiltInTables(uint32_t lcid, unsigned ansiCodePage) {
  zf::TZFLocale l;
  l.Lcid = lcid;
  l.AnsiCodePage = ansiCodePage;
  return zf::BuildCharTables(l);
}

const zf::TZFCharTables& Tables(unsigned which) {
  static const zf::TZFCharTables turkish = BuiltInTables(zf::kTurkishLCID, 1254);
  static const zf::TZFCharTables tying = zf::BuildCharTables(TyingLocale());
  static const zf::TZFCharTables utf8 = BuiltInTables(0x0409, zf::kUtf8CodePage);
  static const zf::TZFCharTables turkishUtf8 = BuiltInTables(zf::kTurkishLCID, zf::kUtf8CodePage);
  switch (which % 5) {
    case 1: return turkish;
    case 2: return tying;
    case 3: return utf8;
    case 4: return turkishUtf8;
    default: return zf::ProcessCharTables();
  }
}

[[noreturn]] void Differ(const char* what, std::string_view name, std::string_view mask,
                         bool got) {
  std::fprintf(::fdopen(2, "w"), "%s differs from the rules for name \"%.*s\", mask \"%.*s\": %d\n",
               what, static_cast<int>(name.size()), name.data(), static_cast<int>(mask.size()),
               mask.data(), got);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned flags = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t cut = rest.find('\0');
  const std::string_view name = rest.substr(0, cut);
  std::string_view mask = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  mask = mask.substr(0, mask.find('\0'));

  const bool ignoreCase = flags & 1;
  const zf::TZFCharTables& tables = Tables(flags >> 1);
  const bool got = zf::WildcardMatch(tables, name, mask, ignoreCase);
  // The reference costs up to |name|^2 x |mask|: longer inputs only show
  // that the matcher itself stays fast.
  if (size > kMostForReference) return 0;
  if (got != ReferenceWildcardMatch(tables, name, mask, ignoreCase))
    Differ("WildcardMatch", name, mask, got);

  const std::string nameText(name), maskText(mask);
  const bool matches = zf::TZFBaseArchiver::MatchesMask(nameText, maskText);
  if (matches != ReferenceMatchesMask(name, mask)) Differ("MatchesMask", name, mask, matches);
  return 0;
}
