// The hashed name index: TZFStringHash, a chained hash table from strings to
// positions, and TZFHashedStringList, a TStringList that keeps such a table
// of its strings (and one of the names of its "name=value" strings) so that
// IndexOf and IndexOfName do not scan. The directory array keeps one list
// parallel to its items, holding each entry's lower-cased name.
//
// Duplicates are allowed; a lookup finds the item inserted last, so a newer
// string shadows an older one with the same key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ZFStringList.h"

namespace zf {

struct THashItem {
  std::unique_ptr<THashItem> Next;
  std::string Key;
  int32_t Value = 0;
};

class TZFStringHash {
 public:
  // size: the bucket count, at least 1.
  explicit TZFStringHash(uint32_t size);
  virtual ~TZFStringHash();
  TZFStringHash(const TZFStringHash&) = delete;
  TZFStringHash& operator=(const TZFStringHash&) = delete;

  // h := (h rotated left by 2) xor byte, over the key's bytes.
  virtual uint32_t HashOf(std::string_view key) const;

  // Inserts in front of its chain; duplicates are kept.
  void Add(std::string_view key, int32_t value);
  // Unlinks the newest item with this key, if any.
  void Remove(std::string_view key);
  // Unlinks the newest item with this key and this value, if any.
  void RemoveItem(std::string_view key, int32_t value);
  // The value of the newest item with this key, or -1.
  int32_t ValueOf(std::string_view key) const;
  // Frees every item; the bucket count stays.
  void Clear();

  const uint32_t Size;  // bucket count

 protected:
  // The slot that points at the newest item with this key, or the empty end
  // of the key's chain.
  std::unique_ptr<THashItem>* Find(std::string_view key);
  const std::unique_ptr<THashItem>* Find(std::string_view key) const;

  std::vector<std::unique_ptr<THashItem>> Buckets;
};

// The table the hashed list uses. HashOf above is trivial to collide on
// purpose (bytes 16 apart meet at the same rotation), and an archive whose
// names all share one chain would make reading its directory quadratic; so
// the list's tables hash with SipHash-1-3 under a key drawn once per
// process. Lookups answer the same either way: equal keys always share a
// chain, in insertion order.
class TZFKeyedStringHash : public TZFStringHash {
 public:
  using TZFStringHash::TZFStringHash;
  uint32_t HashOf(std::string_view key) const override;
};

class TZFHashedStringList : public TStringList {
 public:
  TZFHashedStringList() = default;

  int Add(const std::string& s) override;
  void Clear() override;
  void Delete(int index) override;
  int IndexOf(const std::string& s) override;
  int IndexOfName(const std::string& name) override;
  // Put keeps the index as ReplaceString does.
  void Put(int index, const std::string& s) override { ReplaceString(index, s); }
  // Changing it changes every key: both indexes go stale.
  void SetCaseSensitive(bool value) override;

  // Replaces the string at index and keeps the value index in step.
  void ReplaceString(int index, const std::string& s);

  // Inspection: the current indexes (null when none) and their validity.
  const TZFStringHash* GetValueHash() const { return ValueHash.get(); }
  const TZFStringHash* GetNameHash() const { return NameHash.get(); }
  bool IsValueHashValid() const { return ValueHashValid; }
  bool IsNameHashValid() const { return NameHashValid; }

 private:
  void UpdateValueHash();
  void UpdateNameHash();

  std::unique_ptr<TZFStringHash> ValueHash;
  std::unique_ptr<TZFStringHash> NameHash;
  bool ValueHashValid = false;
  bool NameHashValid = false;
};

}  // namespace zf
