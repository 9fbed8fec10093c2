// The item array of an open archive: one TDirItem per entry, in directory
// order, with a hashed index of the lower-cased names kept parallel to the
// items (entry i of NameIndex belongs to item i), so that a name lookup does
// not scan.
//
// Slots are allocated in steps: the step doubles from 500 on each growth and
// is capped at 10,000 items, so small directories cost a few reallocations
// and large ones one per 10,000 items. The array itself does not judge how
// many items an archive may claim; the directory manager bounds the count by
// the bytes that can hold them before it calls SetCount.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ZFDirItem.h"
#include "archive/ZFHash.h"

namespace zf {

class TZFDirArray {
 public:
  static constexpr int32_t kInitialGrowStep = 500;
  static constexpr int32_t MaxGrowStep = 10000;

  TZFDirArray();
  TZFDirArray(const TZFDirArray&) = delete;
  TZFDirArray& operator=(const TZFDirArray&) = delete;

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t GrowStep() const { return growStep_; }

  // Makes n items in use. Growing past Capacity doubles GrowStep (capped at
  // MaxGrowStep) and allocates the larger of Capacity + GrowStep and n
  // slots; n = 0 frees every slot and Capacity becomes 0; a smaller non-zero
  // n only lowers Count. New slots start as empty items.
  void SetCount(int32_t n);

  // A copy of item i; native code 2 outside 0..Count-1.
  TDirItem GetItem(int32_t i) const;
  // The stored item i for in-place changes; native code 3 outside 0..Count-1.
  TDirItem& ItemRef(int32_t i);
  const TDirItem& ItemRef(int32_t i) const;

  // Gives item i its name and keeps NameIndex in step: the item's current
  // lower-cased name is looked up; absent, the new one is appended; found at
  // i, replaced; found elsewhere, the index is out of step with the items:
  // native code 59.
  void RenameItem(int32_t i, const std::string& name);

  // Position of the item named name (any case), or -1; with duplicate names
  // the index decides which one (the newest).
  int32_t IndexOfName(const std::string& name);

  // No item in use and an empty NameIndex; Capacity stays.
  void Clear();
  // Selected := false on every item in use.
  void ClearSelection();

  const TZFHashedStringList& NameIndex() const { return nameIndex_; }

 private:
  void CheckIndex(int32_t i, int32_t nativeError) const;

  std::vector<TDirItem> Entries;  // Capacity slots, the first Count in use
  TZFHashedStringList nameIndex_;
  int32_t growStep_ = kInitialGrowStep;
  int32_t capacity_ = 0;
  int32_t count_ = 0;
};

}  // namespace zf
