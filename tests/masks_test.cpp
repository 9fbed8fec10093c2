// The wildcard matcher, the locale character tables (from fake locales and
// from the process's own), stored-name decoding and the path helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>

#include "archive/ZFMasks.h"
#include "archive/ZFStrFunc.h"
#include "test_util.h"

namespace zf {
namespace {

unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 0x20 : c; }

// Byte order, ignoring ASCII case when asked: a locale without ties.
TZFLocale PlainLocale(uint32_t lcid = 0x0409, unsigned ansiCodePage = 1252) {
  auto cmp = [](unsigned char a, unsigned char b, bool ic) {
    return ic ? int(AsciiUpper(a)) - int(AsciiUpper(b)) : int(a) - int(b);
  };
  return TZFLocale{lcid, ansiCodePage, cmp, AsciiUpper};
}

// The recursive matcher exactly as its rules read, as the oracle.
bool ReferenceMatch(const TZFCharTables& t, const char* name, const char* mask, bool ic) {
  if (std::strcmp(mask, "*.*") == 0) return true;
  for (;;) {
    if (std::strcmp(mask, "*") == 0) return true;
    if (*name == 0) return *mask == 0;
    if (*mask == '*') {
      for (size_t k = 0, n = std::strlen(name); k < n; ++k)
        if (ReferenceMatch(t, name + k, mask + 1, ic)) return true;
      return false;
    }
    if (*mask != '?') {
      if (*mask == 0) return false;
      const auto m = static_cast<unsigned char>(*mask), c = static_cast<unsigned char>(*name);
      if ((ic ? CompareCharsIgnoreCase(t, m, c) : CompareCharsExact(t, m, c)) != 0) return false;
    }
    ++name;
    ++mask;
  }
}

struct MatchCase {
  const char* name;
  const char* mask;
  bool ignoreCase;
  bool expected;
};

// ASCII only and no "i", so they hold in every locale the tests run in.
const MatchCase kMatchCases[] = {
    {"ReadMe.TXT", "readme.txt", true, true},
    {"ReadMe.TXT", "readme.txt", false, false},
    {"A", "a", false, false},
    {"A", "a", true, true},
    {"a.txt", "?.txt", true, true},
    {"ab.txt", "?.txt", true, false},
    {"", "*", true, true},
    {"", "?", true, false},
    {"", "", true, true},
    {"a", "", true, false},
    {"axyb", "a*b", true, true},
    {"ab", "a*b", true, true},
    {"a", "a*", true, true},
    {"a", "a**", true, false},  // the rest "**" is not "*" and the name is used up
    {"ab", "a**", true, true},
    {"noext", "*.*", true, true},
    {"", "*.*", false, true},
    {"ab", "a*.*", true, false},  // "*.*" is only tested on entry to a call
    {"a.b", "a*.*", true, true},
    {"ab", "**.*", true, true},  // the rest after the first star is "*.*"
    {"", "**.*", true, false},   // a star before more mask needs a character
    {"abc", "*c", true, true},
    {"abc", "*b", true, false},
    {"abc", "abc*", true, true},
    {"abc", "abc?", true, false},
    {"abc", "a*c*", true, true},
    {"x", "**x", true, true},
    {"dir/sub/file.txt", "*file.txt", true, true},  // a star runs over separators
    {"dir\\file.txt", "dir?file.txt", true, true},
};

TEST(WildcardMatch, CasesWithProcessAndFakeTables) {
  const TZFCharTables plain = BuildCharTables(PlainLocale());
  for (const auto& c : kMatchCases) {
    SCOPED_TRACE(std::string("name \"") + c.name + "\" mask \"" + c.mask + "\"");
    EXPECT_EQ(WildcardMatch(c.name, c.mask, c.ignoreCase), c.expected);
    EXPECT_EQ(WildcardMatch(plain, c.name, c.mask, c.ignoreCase), c.expected);
    EXPECT_EQ(ReferenceMatch(plain, c.name, c.mask, c.ignoreCase), c.expected);
  }
}

TEST(WildcardMatch, BothStringsEndAtTheirFirstNul) {
  using namespace std::string_view_literals;
  EXPECT_TRUE(WildcardMatch("ab\0zz"sv, "ab"sv, true));
  EXPECT_TRUE(WildcardMatch("ab"sv, "a*\0x"sv, true));
  EXPECT_FALSE(WildcardMatch("ab"sv, "a\0b"sv, true));
}

TEST(WildcardMatch, AgreesWithTheRecursiveRulesOnRandomStrings) {
  const TZFCharTables tables[] = {BuildCharTables(PlainLocale()),
                                  BuildCharTables(PlainLocale(kTurkishLCID, 1254))};
  const std::string nameChars = "aAbB.iI\xDD\xFD";
  const std::string maskChars = "aAb.iI\xDD\xFD*?*";
  std::mt19937 rng(20240607);
  auto randomString = [&](const std::string& alphabet, int maxLen) {
    std::string s(rng() % (maxLen + 1), ' ');
    for (char& ch : s) ch = alphabet[rng() % alphabet.size()];
    return s;
  };
  int matched = 0;
  for (int i = 0; i < 40000; ++i) {
    const std::string name = randomString(nameChars, 7);
    const std::string mask = randomString(maskChars, 7) + (rng() % 8 ? "" : "*.*");
    const bool ic = rng() % 2;
    const bool expected = ReferenceMatch(tables[i % 2], name.c_str(), mask.c_str(), ic);
    matched += expected;
    ASSERT_EQ(WildcardMatch(tables[i % 2], name, mask, ic), expected)
        << name << " / " << mask << " " << ic;
  }
  EXPECT_GT(matched, 2000);  // the sample exercises matches, not only misses
}

TEST(WildcardMatch, HostileMasksFinish) {
  const std::string as(5000, 'a');
  EXPECT_FALSE(WildcardMatch(as, "*a*a*a*a*a*a*a*a*b", true));
  EXPECT_TRUE(WildcardMatch(as + "b", "*a*a*a*a*a*a*a*a*b", true));
  const std::string stars(10000, '*');
  EXPECT_TRUE(WildcardMatch("abc", stars, true));
  EXPECT_FALSE(WildcardMatch(as, stars + "b", true));
  EXPECT_TRUE(WildcardMatch(as + "b", stars + "b", true));
  EXPECT_FALSE(WildcardMatch("", stars + "b", true));
  // The longest name an archive can store against a long mask of literals.
  const std::string longName(65535, 'a');
  EXPECT_TRUE(WildcardMatch(longName, std::string(60000, '?') + "*", false));
  EXPECT_FALSE(WildcardMatch(longName, std::string(65536, 'a'), false));
}

// ---- UTF-8 characters ------------------------------------------------------------

TZFCharTables Utf8Tables(uint32_t lcid) {
  return BuildCharTables(TZFLocale{lcid, kUtf8CodePage, nullptr, nullptr});
}

struct Utf8MatchCase {
  const char* name;
  const char* mask;
  bool ignoreCase;
  bool english, turkish;  // expected with the English and the Turkish locale
};

const Utf8MatchCase kUtf8MatchCases[] = {
    {"файл.тхт", "*.ТХТ", true, true, true},
    {"файл.тхт", "*.ТХТ", false, false, false},
    {"файл.txt", "ФАЙЛ.*", true, true, true},
    {"файл.txt", "*.ТХТ", true, false, false},  // Cyrillic letters are no Latin ones
    {"файл.txt", "????.txt", true, true, true},  // "?" takes a whole character
    {"файл.txt", "????????.txt", true, false, false},
    {"日本語/テスト.txt", "???" "/???.TXT", true, true, true},
    {"日本語/テスト.txt", "*語/テ*", false, true, true},
    {"😀.txt", "?.txt", true, true, true},  // four bytes, one character
    {"Ωμέγα", "ΩΜΈΓΑ", true, true, true},
    {"Straße", "STRASSE", true, false, false},  // one character against two
    {"Straße", "STRAßE", true, true, true},
    {"FILE", "file", true, true, false},  // Turkish: i is the dotted capital's
    {"FİLE", "file", true, false, true},
    {"fıle", "FILE", true, true, true},   // the dotless i's capital is I everywhere
    {"FİLE", "fİle", false, false, false},
    // Bytes that are no UTF-8 are characters of their own.
    {"a\xFF" "b", "a?b", true, true, true},
    {"a\xD0" "b", "a?b", true, true, true},        // a lead byte without its continuation
    {"a\xC0\xAF" "b", "a??b", true, true, true},   // an overlong "/" is two bytes
    {"a\xFF" "b", "A\xFF" "B", true, true, true},
    {"a\xFE" "b", "a\xFF" "b", true, false, false},
    {"\xD1\x84", "?", true, true, true},
    {"\xD1\x84", "\xD1?", true, false, false},  // no byte of a character split off
};

TEST(WildcardMatch, Utf8CharactersInEnglishAndTurkish) {
  const TZFCharTables english = Utf8Tables(0x0409), turkish = Utf8Tables(kTurkishLCID);
  for (const auto& c : kUtf8MatchCases) {
    const std::string name = c.name, mask = c.mask;
    SCOPED_TRACE(std::string("name \"") + c.name + "\" mask \"" + c.mask + "\"");
    EXPECT_EQ(WildcardMatch(english, name, mask, c.ignoreCase), c.english);
    EXPECT_EQ(WildcardMatch(turkish, name, mask, c.ignoreCase), c.turkish);
  }
  // The ASCII cases hold over UTF-8 characters as over bytes.
  for (const auto& c : kMatchCases)
    EXPECT_EQ(WildcardMatch(english, c.name, c.mask, c.ignoreCase), c.expected)
        << c.name << " / " << c.mask;
}

TEST(WildcardMatch, ManyDistinctUtf8CharactersStayCheap) {
  // Thousands of different characters in both strings, and one character
  // found everywhere in the name: both kinds of literal step.
  std::string name, mask;
  for (char32_t c = 0x4E00; c < 0x4E00 + 8000; ++c) {
    const char bytes[] = {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)),
                          char(0x80 | (c & 0x3F)), 0};
    name += bytes;
    name += 'a';
    mask += '*';
    mask += bytes;
  }
  const TZFCharTables english = Utf8Tables(0x0409);
  EXPECT_TRUE(WildcardMatch(english, name, mask + "*", false));
  EXPECT_TRUE(WildcardMatch(english, name, mask + "A", true));
  EXPECT_FALSE(WildcardMatch(english, name, mask + "b", true));
  EXPECT_FALSE(WildcardMatch(english, name, "*a*a*a*a*a*a*a*a*b", true));
}

TEST(CompareNamesIgnoreCase, OrdersWholeCharacters) {
  const TZFCharTables english = Utf8Tables(0x0409), turkish = Utf8Tables(kTurkishLCID);
  const struct {
    const char* a;
    const char* b;
    int english, turkish;
  } cases[] = {
      {"файл", "ФАЙЛ", 0, 0},     {"Ärger", "ärger", 0, 0}, {"abc", "ABD", -1, -1},
      {"ab", "ABC", -1, -1},      {"б", "А", 1, 1},         {"b", "я", -1, -1},
      {"İstanbul", "istanbul", 1, 0}, {"ILIK", "ılık", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareNamesIgnoreCase(english, c.a, c.b), c.english) << c.a << " / " << c.b;
    EXPECT_EQ(CompareNamesIgnoreCase(english, c.b, c.a), -c.english) << c.b << " / " << c.a;
    EXPECT_EQ(CompareNamesIgnoreCase(turkish, c.a, c.b), c.turkish) << c.a << " / " << c.b;
  }
}

// ---- the tables ------------------------------------------------------------------

TEST(CharTables, FakeLocales) {
  int calls = 0;
  auto withCompare = [&calls](int (*order)(unsigned char)) {
    TZFLocale l = PlainLocale();
    l.CompareChar = [&calls, order](unsigned char a, unsigned char b, bool ic) {
      ++calls;
      return order(ic ? AsciiUpper(a) : a) - order(ic ? AsciiUpper(b) : b);
    };
    return l;
  };
  const TZFLocale reversed = withCompare([](unsigned char c) { return 255 - c; });
  // "y" sorts as "x": two characters share a rank.
  const TZFLocale tied = withCompare([](unsigned char c) {
    return c == 'y' ? int('x') : c == 'Y' ? int('X') : c;
  });
  const std::pair<TZFLocale, bool> locales[] = {
      {PlainLocale(), true}, {reversed, true}, {tied, false}};
  for (const auto& [locale, usable] : locales) {
    const TZFCharTables t = BuildCharTables(locale);
    EXPECT_EQ(t.WeightTablesUsable, usable);
    calls = 0;
    EXPECT_NE(CompareCharsExact(t, 'a', 'A'), 0);
    EXPECT_EQ(CompareCharsIgnoreCase(t, 'z', 'Z'), 0);
    EXPECT_NE(CompareCharsIgnoreCase(t, 0xE0, 0xC0), 0);  // the fakes upper-case ASCII only
    EXPECT_EQ(WildcardMatch(t, "ay.txt", "ax.*", false), !usable);
    EXPECT_FALSE(WildcardMatch(t, "az.txt", "ax.*", false));
    EXPECT_EQ(calls > 0, !usable);  // unusable tables hand every comparison to the locale
  }
  EXPECT_EQ(BuildCharTables(reversed).CollationWeights[0], 255);
}

// The built-in Turkish upper-casing, as code page 1254 bytes.
struct TurkishPair {
  unsigned char a, b;
  bool equalIgnoringCase;
};
const TurkishPair kTurkishPairs[] = {
    {'i', 'I', false},   {'i', 0xDD, true},   {0xFD, 'I', true},  {0xFD, 0xDD, false},
    {'a', 'A', true},    {'z', 'Z', true},    {0xE7, 0xC7, true}, {0xF6, 0xD6, true},
    {0xFC, 0xDC, true},  {0xFE, 0xDE, true},  {0xF0, 0xD0, true}, {0xF7, 0xD7, false},
    {0xF8, 0xD8, false}, {0xFF, 0xDF, false}, {'[', '{', false},
};

TEST(CharTables, TurkishBuiltIns) {
  int calls = 0;
  TZFLocale turkish{kTurkishLCID, 1254,
                    [&calls](unsigned char, unsigned char, bool) { return ++calls, 0; },
                    [&calls](unsigned char c) { return ++calls, c; }};
  const TZFCharTables t = BuildCharTables(turkish);
  ASSERT_TRUE(t.WeightTablesUsable);
  for (const auto& p : kTurkishPairs) {
    EXPECT_EQ(CompareCharsIgnoreCase(t, p.a, p.b) == 0, p.equalIgnoringCase)
        << std::hex << int(p.a) << " vs " << int(p.b);
    EXPECT_NE(CompareCharsExact(t, p.a, p.b), 0);
  }
  EXPECT_TRUE(WildcardMatch(t, "F\xDDLE.TXT", "file.txt", true));
  EXPECT_FALSE(WildcardMatch(t, "FILE.TXT", "file.txt", true));
  EXPECT_EQ(calls, 0);  // the platform is not asked

  // Over UTF-8 strings bytes above 0x7F are pieces of sequences: left alone.
  turkish.AnsiCodePage = kUtf8CodePage;
  const TZFCharTables u = BuildCharTables(turkish);
  EXPECT_NE(CompareCharsIgnoreCase(u, 'i', 'I'), 0);
  EXPECT_NE(CompareCharsIgnoreCase(u, 'i', 0xDD), 0);
  EXPECT_EQ(CompareCharsIgnoreCase(u, 'a', 'A'), 0);
  EXPECT_NE(CompareCharsIgnoreCase(u, 0xE7, 0xC7), 0);  // a 3-byte lead is no 2-byte lead
}

// ---- the process's own tables in the locale of the run ------------------------

TEST(ProcessTables, FollowTheRunsLocale) {
  const std::string loc = test::TestLocale();
  if (loc.empty()) GTEST_SKIP() << "ZF_TEST_LOCALE not set";
  const bool windows = os::AnsiCodePage() != kUtf8CodePage;
  RecordProperty("WeightTablesUsable", ProcessCharTables().WeightTablesUsable);
  if (loc == "tr") {
    ASSERT_EQ(os::UserDefaultLCID(), kTurkishLCID);
    EXPECT_FALSE(WildcardMatch("I", "i", true));
    if (windows) {
      ASSERT_EQ(os::AnsiCodePage(), 1254u);
      for (const auto& p : kTurkishPairs) {
        const char name[] = {char(p.b), 0}, mask[] = {char(p.a), 0};
        EXPECT_EQ(WildcardMatch(name, mask, true), p.equalIgnoringCase)
            << std::hex << int(p.a) << " vs " << int(p.b);
      }
    }
  } else if (loc == "ru" && windows) {
    ASSERT_EQ(os::AnsiCodePage(), 1251u);
    EXPECT_TRUE(WildcardMatch("\xC0\xC1.txt", "\xE0\xE1.*", true));  // АБ against аб
    EXPECT_FALSE(WildcardMatch("\xC0", "\xE0", false));
  }
  EXPECT_TRUE(WildcardMatch("README.TXT", "readme.*", true));
  if (!windows) {
    // The process's own tables read UTF-8 characters, whatever the locale.
    ASSERT_TRUE(ProcessCharTables().Utf8Characters);
    for (const auto& c : kUtf8MatchCases)
      EXPECT_EQ(WildcardMatch(c.name, c.mask, c.ignoreCase),
                loc == "tr" ? c.turkish : c.english)
          << c.name << " / " << c.mask;
  }
}

// ---- stored names --------------------------------------------------------------

#ifndef _WIN32
// Sets an environment variable for one scope (the Linux platform layer reads
// the locale variables on every call).
struct ScopedEnv {
  ScopedEnv(const char* name, const char* value) : name(name) {
    if (const char* v = std::getenv(name)) old = v;
    setenv(name, value, 1);
  }
  ~ScopedEnv() { old ? (void)setenv(name, old->c_str(), 1) : (void)unsetenv(name); }
  const char* name;
  std::optional<std::string> old;
};
#endif

const std::string kWordCp866 = "\x8F\xE0\xA8\xA2\xA5\xE2";   // Привет
const std::string kWordCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // Привет
const std::string kWordUtf8 = "Привет";

TEST(DecodeEntryName, OemNamesOnARussianSystem) {
#ifdef _WIN32
  if (test::TestLocale() != "ru") GTEST_SKIP() << "needs the ru run";
  const std::string ansi = kWordCp1251;
#else
  ScopedEnv env("LC_ALL", "ru_RU.UTF-8");
  const std::string ansi = kWordUtf8;
#endif
  ASSERT_EQ(os::OemCodePage(), 866u);
  EXPECT_EQ(DecodeEntryName(kWordCp866 + "/a.txt", 0, kHostMsDos, true), ansi + "/a.txt");
  // UTF-8 names are never taken for OEM, with or without the option.
  EXPECT_EQ(DecodeEntryName(kWordUtf8, kFlagUtf8Name, kHostMsDos, true), ansi);
  EXPECT_EQ(DecodeEntryName(kWordUtf8, kFlagUtf8Name, kHostMsDos, false), ansi);
  EXPECT_NE(DecodeEntryName(kWordUtf8, 0, kHostMsDos, true), ansi);
}

TEST(DecodeEntryName, CutAtTheFirstZeroInEveryMode) {
  const std::string stored("dir/abc\0def", 11);
  for (uint16_t flags : {uint16_t(0), kFlagUtf8Name})
    for (bool oem : {false, true})
      EXPECT_EQ(DecodeEntryName(stored, flags, kHostMsDos, oem), "dir/abc");
  EXPECT_EQ(DecodeEntryName(std::string("\0x", 2), 0, kHostMsDos, true), "");
  // Option off: as stored.
  EXPECT_EQ(DecodeEntryName(kWordCp866, 0, kHostMsDos, false), kWordCp866);
}

// ---- paths -------------------------------------------------------------------------

TEST(Paths, DriveFloppyAndRemovable) {
  const struct {
    const char* path;
    const char* drive;
    bool floppy;
  } cases[] = {
      {"b:\\x", "b:", true},
      {"d:\\x", "d:", false},
      {"A:", "A:", true},
      {"a:file", "a:", true},
      {"B:/x", "B:", true},
      {"1:\\x", "", false},
      {"ab:\\x", "", false},
      {"", "", false},
      {"/home/a", "", false},
      {"\\\\srv\\share\\dir", "\\\\srv\\share", false},
      {"//srv/share", "//srv/share", false},
      {"\\\\a:\\b", "\\\\a:\\b", false},
      {"\\\\srv", "\\\\srv", false},
  };
  os::SetRemovableHookForTests([](const std::string& p) { return p.rfind("q:", 0) == 0 ? 1 : 0; });
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFileDrive(c.path), c.drive) << c.path;
    EXPECT_EQ(IsFloppyPath(c.path), c.floppy) << c.path;
    EXPECT_EQ(IsRemovablePath(c.path), c.floppy) << c.path;
  }
  EXPECT_TRUE(IsRemovablePath("q:\\x"));  // the platform's answer
  os::SetRemovableHookForTests(nullptr);
}

TEST(Paths, SeparatorsAndFolders) {
  const std::string s(1, kPathDelim);
  const struct {
    std::string in, added, removed;
  } cases[] = {{"dir", "dir" + s, "dir"},
               {"dir" + s, "dir" + s, "dir"},
               {"dir" + s + s, "dir" + s + s, "dir" + s},
               {"", s, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(AddTrailingDelimiter(c.in), c.added) << c.in;
    EXPECT_EQ(RemoveTrailingDelimiter(c.in), c.removed) << c.in;
  }
  EXPECT_EQ(ToPlatformDelimiters("a/b\\c/"), "a" + s + "b" + s + "c" + s);
  EXPECT_EQ(ToArchiveDelimiters("a" + s + "b"), "a/b");

  test::TempDir tmp;
  std::string deep = tmp.Path();
  for (const char* part : {"a", "b", "c"}) deep.append(part).push_back(kPathDelim);
  deep.pop_back();
  EXPECT_FALSE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(AddTrailingDelimiter(deep)));  // already there
  EXPECT_FALSE(ForceDirectories(""));
}

}  // namespace
}  // namespace zf
