// The hashed name index (see ZFHash.h).
#include "archive/ZFHash.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <random>

namespace zf {

// ---- TZFStringHash -------------------------------------------------------------

TZFStringHash::TZFStringHash(uint32_t size) : Size(size) {
  if (size < 1) throw Exception("TZFStringHash: the bucket count must be at least 1");
  Buckets.resize(size);
}

TZFStringHash::~TZFStringHash() { Clear(); }

uint32_t TZFStringHash::HashOf(std::string_view key) const {
  uint32_t h = 0;
  for (unsigned char b : key) h = std::rotl(h, 2) ^ b;
  return h;
}

void TZFStringHash::Add(std::string_view key, int32_t value) {
  auto& head = Buckets[HashOf(key) % Size];
  auto item = std::make_unique<THashItem>();
  item->Key = key;
  item->Value = value;
  item->Next = std::move(head);
  head = std::move(item);
}

std::unique_ptr<THashItem>* TZFStringHash::Find(std::string_view key) {
  std::unique_ptr<THashItem>* slot = &Buckets[HashOf(key) % Size];
  while (*slot && (*slot)->Key != key) slot = &(*slot)->Next;
  return slot;
}

const std::unique_ptr<THashItem>* TZFStringHash::Find(std::string_view key) const {
  return const_cast<TZFStringHash*>(this)->Find(key);
}

void TZFStringHash::Remove(std::string_view key) {
  std::unique_ptr<THashItem>* slot = Find(key);
  if (*slot) {
    std::unique_ptr<THashItem> victim = std::move(*slot);
    *slot = std::move(victim->Next);
  }
}

void TZFStringHash::RemoveItem(std::string_view key, int32_t value) {
  std::unique_ptr<THashItem>* slot = Find(key);
  while (*slot && ((*slot)->Key != key || (*slot)->Value != value)) slot = &(*slot)->Next;
  if (*slot) {
    std::unique_ptr<THashItem> victim = std::move(*slot);
    *slot = std::move(victim->Next);
  }
}

int32_t TZFStringHash::ValueOf(std::string_view key) const {
  const std::unique_ptr<THashItem>* slot = Find(key);
  return *slot ? (*slot)->Value : -1;
}

void TZFStringHash::Clear() {
  // One item at a time: letting a chain's head destroy its successors would
  // recurse once per item, and a hostile archive can make chains long.
  for (auto& head : Buckets)
    while (head) head = std::move(head->Next);
}

// ---- TZFKeyedStringHash ------------------------------------------------------

namespace {

struct SipKey {
  uint64_t k0, k1;
};

const SipKey& ProcessSipKey() {
  static const SipKey key = [] {
    uint64_t words[2] = {0, 0};
    try {
      std::random_device rd;
      for (auto& w : words) w = (uint64_t(rd()) << 32) ^ rd();
    } catch (...) {
      // No entropy source: the clock still keeps the key from being known
      // in advance.
    }
    const auto now =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const auto here = reinterpret_cast<uintptr_t>(&words);
    return SipKey{words[0] ^ now, words[1] ^ (uint64_t(here) * 0x9E3779B97F4A7C15ull)};
  }();
  return key;
}

// SipHash-1-3.
uint64_t SipHash13(const SipKey& key, std::string_view data) {
  uint64_t v0 = key.k0 ^ 0x736f6d6570736575ull, v1 = key.k1 ^ 0x646f72616e646f6dull,
           v2 = key.k0 ^ 0x6c7967656e657261ull, v3 = key.k1 ^ 0x7465646279746573ull;
  // clang-format off
  auto round = [&] {
    v0 += v1; v1 = std::rotl(v1, 13); v1 ^= v0; v0 = std::rotl(v0, 32);
    v2 += v3; v3 = std::rotl(v3, 16); v3 ^= v2;
    v0 += v3; v3 = std::rotl(v3, 21); v3 ^= v0;
    v2 += v1; v1 = std::rotl(v1, 17); v1 ^= v2; v2 = std::rotl(v2, 32);
  };
  // clang-format on
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t m = 0;
    for (int b = 7; b >= 0; --b) m = (m << 8) | p[i + b];
    v3 ^= m;
    round();
    v0 ^= m;
  }
  uint64_t last = uint64_t(n) << 56;
  for (size_t b = 0; i + b < n; ++b) last |= uint64_t(p[i + b]) << (8 * b);
  v3 ^= last;
  round();
  v0 ^= last;
  v2 ^= 0xff;
  round();
  round();
  round();
  return v0 ^ v1 ^ v2 ^ v3;
}

}  // namespace

uint32_t TZFKeyedStringHash::HashOf(std::string_view key) const {
  const uint64_t h = SipHash13(ProcessSipKey(), key);
  return static_cast<uint32_t>(h ^ (h >> 32));
}

// ---- TZFHashedStringList -----------------------------------------------------
//
// The value index is built on the first IndexOf, kept current by Add, Clear
// and ReplaceString, marked stale by Delete (positions move) and dropped
// when Add makes its chains average more than five items; the next IndexOf
// then rebuilds it with one bucket per string. The name index is rebuilt on
// the first IndexOfName after any change at all, so it never answers with a
// position that has since moved or changed.

namespace {
constexpr uint32_t kMinValueBuckets = 1000;
constexpr uint32_t kNameBuckets = 256;
constexpr uint64_t kMaxAverageChain = 5;
}  // namespace

int TZFHashedStringList::Add(const std::string& s) {
  const int i = TStringList::Add(s);
  if (ValueHash && ValueHashValid) {
    ValueHash->Add(KeyOf(s), i);
    if (uint64_t(Count()) > kMaxAverageChain * ValueHash->Size) {
      ValueHash.reset();
      ValueHashValid = false;
    }
  }
  NameHashValid = false;
  return i;
}

void TZFHashedStringList::Clear() {
  TStringList::Clear();
  if (ValueHash) ValueHash->Clear();
  NameHashValid = false;
}

void TZFHashedStringList::Delete(int index) {
  TStringList::Delete(index);
  ValueHashValid = false;
  NameHashValid = false;
}

int TZFHashedStringList::IndexOf(const std::string& s) {
  UpdateValueHash();
  return ValueHash->ValueOf(KeyOf(s));
}

int TZFHashedStringList::IndexOfName(const std::string& name) {
  UpdateNameHash();
  return NameHash->ValueOf(KeyOf(name));
}

void TZFHashedStringList::SetCaseSensitive(bool value) {
  if (value == CaseSensitive()) return;
  TStringList::SetCaseSensitive(value);
  ValueHashValid = false;
  NameHashValid = false;
}

void TZFHashedStringList::ReplaceString(int index, const std::string& s) {
  const std::string old = Get(index);  // also checks the index
  const bool keep = ValueHash && ValueHashValid;
  // The item of this position, not merely the newest of the old key: with
  // duplicates that would be another position's item, leaving this one to
  // answer for a string it no longer holds.
  if (keep) ValueHash->RemoveItem(KeyOf(old), index);
  TStringList::Put(index, s);
  if (keep) ValueHash->Add(KeyOf(s), index);
  NameHashValid = false;
}

void TZFHashedStringList::UpdateValueHash() {
  if (!ValueHash)
    ValueHash = std::make_unique<TZFKeyedStringHash>(std::max<uint32_t>(Count(), kMinValueBuckets));
  if (ValueHashValid) return;
  ValueHash->Clear();
  for (int i = 0; i < Count(); ++i) ValueHash->Add(KeyOf(Get(i)), i);
  ValueHashValid = true;
}

void TZFHashedStringList::UpdateNameHash() {
  if (NameHashValid) return;
  if (NameHash)
    NameHash->Clear();
  else
    NameHash = std::make_unique<TZFKeyedStringHash>(kNameBuckets);
  for (int i = 0; i < Count(); ++i) {
    const std::string& s = Get(i);
    const size_t eq = s.find('=');
    if (eq != std::string::npos) NameHash->Add(KeyOf(s.substr(0, eq)), i);
  }
  NameHashValid = true;
}

}  // namespace zf
