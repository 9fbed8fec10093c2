// The item array of an open archive: one TDirItem per entry, in directory
// order, the text of the items (names, extra fields, comments) in one arena,
// and a hashed index of the lower-cased names, built when a lookup first
// needs it (entry i of NameIndex belongs to item i).
//
// Slots are counted in steps: the step doubles from 500 on each growth and
// is capped at 10,000 items, so small directories cost a few growths and
// large ones one per 10,000 items. The slots are kept in blocks of 4,096
// that never move, so a growth copies no item and never needs the old and
// the new array at once, and a copied item's text stays where it is.
//
// Everything the array holds is counted against a memory limit (by default
// kDefaultMemoryLimit): a growth or a text that would pass it fails with
// native code 61 before anything is allocated, so a directory crafted to
// exhaust the process fails its open cleanly. The directory manager also
// bounds the count by the bytes that can hold the items before it calls
// SetCount.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "archive/ZFDirItem.h"
#include "archive/ZFHash.h"

namespace zf {

class TZFDirArray {
 public:
  static constexpr int32_t kInitialGrowStep = 500;
  static constexpr int32_t MaxGrowStep = 10000;
  // Half the address space of a 32-bit process; a quarter of what a 64-bit
  // one is likely to have. A directory of a million entries with 30-byte
  // names takes about 110 MB.
  static constexpr int64_t kDefaultMemoryLimit =
      sizeof(void*) == 4 ? int64_t{1} << 30 : int64_t{8} << 30;

  TZFDirArray();
  ~TZFDirArray();
  TZFDirArray(const TZFDirArray&) = delete;
  TZFDirArray& operator=(const TZFDirArray&) = delete;

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t GrowStep() const { return growStep_; }

  // Makes n items in use. Growing past Capacity doubles GrowStep (capped at
  // MaxGrowStep) and makes the larger of Capacity + GrowStep and n slots;
  // n = 0 frees every slot and all text and Capacity becomes 0; a smaller
  // non-zero n only lowers Count. New slots start as empty items. Native
  // code 61 when the slots would pass the memory limit.
  void SetCount(int32_t n);

  // A copy of item i; native code 2 outside 0..Count-1.
  TDirItem GetItem(int32_t i) const;
  // The stored item i for in-place changes; native code 3 outside 0..Count-1.
  TDirItem& ItemRef(int32_t i);
  const TDirItem& ItemRef(int32_t i) const;

  // Gives item i its name, extra field and comment, copied into the arena
  // (native code 61 when they would pass the memory limit); NameIndex
  // follows on its next use.
  void SetItemText(int32_t i, std::string_view name, std::span<const uint8_t> extra,
                   std::string_view comment);
  // Gives item i its name; its extra field and comment stay.
  void RenameItem(int32_t i, std::string_view name);

  // Position of the item named name (any case), or -1; with duplicate names
  // the index decides which one (the newest).
  int32_t IndexOfName(const std::string& name);

  // No item in use, no text and an empty NameIndex; Capacity stays.
  void Clear();
  // Selected := false on every item in use.
  void ClearSelection();

  // The lower-cased name of every item in use, in item order; built on
  // first use after a change.
  const TZFHashedStringList& NameIndex();

  // What the slots and the text take, and the limit they may not pass.
  int64_t MemoryUsed() const { return memoryUsed_; }
  int64_t MemoryLimit() const { return memoryLimit_; }
  void SetMemoryLimit(int64_t bytes) { memoryLimit_ = bytes; }

 private:
  static constexpr int kBlockShift = 12;
  static constexpr int32_t kBlockItems = 1 << kBlockShift;

  void CheckIndex(int32_t i, int32_t nativeError) const;
  TDirItem& Slot(int32_t i) {
    return blocks_[static_cast<size_t>(i >> kBlockShift)][static_cast<size_t>(i & (kBlockItems - 1))];
  }
  const TDirItem& Slot(int32_t i) const { return const_cast<TZFDirArray*>(this)->Slot(i); }
  // Counts bytes against the limit; native code 61, nothing counted, when
  // they would pass it.
  void Reserve(int64_t bytes);
  // Room for n bytes of text that stays in place.
  char* AllocateText(size_t n);
  void FreeText();

  std::vector<std::vector<TDirItem>> blocks_;  // each reserved for kBlockItems
  std::vector<std::unique_ptr<char[]>> textChunks_;
  char* textNext_ = nullptr;  // free room in the last ordinary chunk
  size_t textLeft_ = 0;
  TZFHashedStringList nameIndex_;
  bool nameIndexValid_ = false;
  int32_t growStep_ = kInitialGrowStep;
  int32_t capacity_ = 0;
  int32_t count_ = 0;
  int64_t memoryUsed_ = 0;
  int64_t memoryLimit_ = kDefaultMemoryLimit;
};

}  // namespace zf
