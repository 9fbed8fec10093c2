// The hashed name index: the string hash table and the hashed string list,
// its growth, staleness and the order in which duplicates are found.
#include <gtest/gtest.h>

#include <string>

#include "archive/ZFHash.h"

namespace zf {
namespace {

TEST(StringHash, HashOf) {
  const struct {
    const char* key;
    uint32_t hash;
  } cases[] = {{"", 0}, {"a", 97}, {"abc", 2043}, {"ABC", 1371}, {"\xFF", 255}};
  TZFStringHash h(1);
  for (const auto& c : cases) EXPECT_EQ(h.HashOf(c.key), c.hash) << c.key;
}

TEST(StringHash, NewestShadowsOldestAndRemoveUncovers) {
  TZFStringHash h(7);
  EXPECT_EQ(h.ValueOf("x"), -1);  // empty table
  h.Add("x", 1);
  h.Add("y", 2);
  h.Add("x", 3);
  EXPECT_EQ(h.ValueOf("x"), 3);
  h.Remove("x");
  EXPECT_EQ(h.ValueOf("x"), 1);
  h.Remove("x");
  h.Remove("x");  // nothing left: no effect
  EXPECT_EQ(h.ValueOf("x"), -1);
  EXPECT_EQ(h.ValueOf("y"), 2);
  h.Add("x", 4);
  h.Add("x", 5);
  h.RemoveItem("x", 4);
  EXPECT_EQ(h.ValueOf("x"), 5);
  h.Clear();
  EXPECT_EQ(h.ValueOf("y"), -1);
  EXPECT_EQ(h.Size, 7u);
  EXPECT_THROW(TZFStringHash(0), Exception);
}

TEST(StringHash, OneLongChainIsFreedWithoutRecursion) {
  TZFStringHash h(1);
  for (int i = 0; i < 300000; ++i) h.Add("k", i);
  EXPECT_EQ(h.ValueOf("k"), 299999);
  // Leaving the scope frees the chain; destroying it recursively would
  // overflow the stack of an unoptimised build.
}

// ---- TZFHashedStringList --------------------------------------------------------

TZFHashedStringList ListOf(std::initializer_list<const char*> strings) {
  TZFHashedStringList l;
  for (const char* s : strings) l.Add(s);
  return l;
}

TEST(HashedStringList, FindsStringsAddedBeforeAnyLookup) {
  auto l = ListOf({"one", "two", "three"});
  EXPECT_EQ(l.GetValueHash(), nullptr);
  EXPECT_EQ(l.IndexOf("one"), 0);
  EXPECT_EQ(l.IndexOf("two"), 1);
  EXPECT_EQ(l.IndexOf("three"), 2);
  EXPECT_EQ(l.IndexOf("four"), -1);
  EXPECT_EQ(l.GetValueHash()->Size, 1000u);
}

TEST(HashedStringList, CaseFolding) {
  const struct {
    bool caseSensitive;
    const char* lookup;
    int expected;
  } cases[] = {
      {false, "ReadMe.TXT", 0}, {false, "README.TXT", 0}, {false, "readme.txt", 0},
      {true, "ReadMe.TXT", 0},  {true, "README.TXT", -1}, {true, "readme.txt", -1},
  };
  for (const auto& c : cases) {
    auto l = ListOf({"ReadMe.TXT"});
    l.SetCaseSensitive(c.caseSensitive);
    EXPECT_EQ(l.IndexOf(c.lookup), c.expected) << c.lookup << " sensitive " << c.caseSensitive;
  }
  // Switching after the index is built rebuilds it with the new keys.
  auto l = ListOf({"ReadMe.TXT", "K=v"});
  EXPECT_EQ(l.IndexOf("README.TXT"), 0);
  EXPECT_EQ(l.IndexOfName("k"), 1);
  l.SetCaseSensitive(true);
  EXPECT_EQ(l.IndexOf("README.TXT"), -1);
  EXPECT_EQ(l.IndexOfName("k"), -1);
}

std::string Key(int i) {
  std::string s = "s";
  return s += std::to_string(i);
}

TEST(HashedStringList, GrowsPastFiveStringsPerBucket) {
  TZFHashedStringList l;
  l.Add("s0");
  EXPECT_EQ(l.IndexOf("s0"), 0);
  for (int i = 1; i < 5000; ++i) l.Add(Key(i));
  ASSERT_NE(l.GetValueHash(), nullptr);
  EXPECT_EQ(l.GetValueHash()->Size, 1000u);  // kept current through 5000 strings
  EXPECT_EQ(l.IndexOf("s4999"), 4999);
  l.Add("s5000");
  EXPECT_EQ(l.GetValueHash(), nullptr);  // the 5001st string drops it
  EXPECT_EQ(l.IndexOf("s5000"), 5000);
  EXPECT_EQ(l.GetValueHash()->Size, 5001u);
  for (int i = 0; i <= 5000; ++i) ASSERT_EQ(l.IndexOf(Key(i)), i);
}

TEST(HashedStringList, DeleteShiftsPositions) {
  auto l = ListOf({"a", "b", "d"});
  EXPECT_EQ(l.IndexOf("d"), 2);
  l.Delete(0);
  EXPECT_EQ(l.IndexOf("d"), 1);
  EXPECT_EQ(l.IndexOf("a"), -1);
  EXPECT_THROW(l.Delete(2), EStringListError);
}

TEST(HashedStringList, ReplaceStringPutAndDuplicates) {
  auto l = ListOf({"a", "old", "c", "a"});
  EXPECT_EQ(l.IndexOf("a"), 3);  // a rebuild inserts in position order: the last wins
  EXPECT_EQ(l.IndexOf("old"), 1);
  l.ReplaceString(1, "S");
  EXPECT_EQ(l.IndexOf("old"), -1);
  EXPECT_EQ(l.IndexOf("S"), 1);
  l.Put(2, "P");
  EXPECT_EQ(l.IndexOf("c"), -1);
  EXPECT_EQ(l.IndexOf("P"), 2);
  // Position 3's item shadows position 0's; replacing position 0 must unlink
  // position 0's item, so that "a" is still found where it is.
  l.ReplaceString(0, "b");
  EXPECT_EQ(l.IndexOf("a"), 3);
  EXPECT_EQ(l.IndexOf("b"), 0);
  l.Add("B");
  EXPECT_EQ(l.IndexOf("b"), 4);  // added after the build: the newest wins
  EXPECT_TRUE(l.IsValueHashValid());
  TStringList plain;  // the base list scans and finds the first
  plain.Add("dup");
  plain.Add("DUP");
  EXPECT_EQ(plain.IndexOf("dup"), 0);
  try {
    l.ReplaceString(5, "x");
    FAIL() << "no exception";
  } catch (const EStringListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (5)");
  }
}

TEST(HashedStringList, IndexOfName) {
  auto l = ListOf({"x=1", "y=2", "z"});
  EXPECT_EQ(l.IndexOfName("x"), 0);
  EXPECT_EQ(l.IndexOfName("y"), 1);
  EXPECT_EQ(l.IndexOfName("z"), -1);
  EXPECT_EQ(l.IndexOfName("X"), 0);
  EXPECT_EQ(l.GetNameHash()->Size, 256u);
}

TEST(HashedStringList, NameIndexNeverAnswersWithAStalePosition) {
  auto l = ListOf({"x=1", "y=2"});
  EXPECT_EQ(l.IndexOfName("y"), 1);
  l.Add("w=3");
  EXPECT_EQ(l.IndexOfName("w"), 2);
  l.ReplaceString(0, "q=1");
  EXPECT_EQ(l.IndexOfName("x"), -1);
  EXPECT_EQ(l.IndexOfName("q"), 0);
  l.Delete(0);
  EXPECT_EQ(l.IndexOfName("y"), 0);
  EXPECT_EQ(l.IndexOf("w=3"), 1);
  l.Clear();  // keeps the value index, which the next Add fills
  EXPECT_EQ(l.IndexOfName("y"), -1);
  EXPECT_EQ(l.IndexOf("w=3"), -1);
  l.Add("n=1");
  EXPECT_TRUE(l.IsValueHashValid());
  EXPECT_EQ(l.IndexOf("n=1"), 0);
  EXPECT_EQ(l.IndexOfName("n"), 0);
}

TEST(HashedStringList, NamesThatCollideUnderHashOfAreAllFound) {
  // Bytes 16 apart meet at the same rotation, so swapping "a" and "b" in
  // such a pair keeps HashOf: 4096 names of 32 bytes with one HashOf.
  TZFHashedStringList l;
  l.SetCaseSensitive(true);
  TZFStringHash plain(1);
  uint32_t first = 0;
  for (int bits = 0; bits < 4096; ++bits) {
    std::string s(32, 'a');
    for (int p = 0; p < 16; ++p) (((bits >> (p % 12)) & 1) ? s[p] : s[p + 16]) = 'b';
    if (bits == 0) first = plain.HashOf(s);
    ASSERT_EQ(plain.HashOf(s), first) << s;
    l.Add(s);
  }
  for (int i = 0; i < l.Count(); ++i) ASSERT_EQ(l.IndexOf(l.Get(i)), i);
}

}  // namespace
}  // namespace zf
