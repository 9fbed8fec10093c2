// The item array of an open archive (see ZFDirArray.h).
#include "archive/ZFDirArray.h"

#include <algorithm>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "platform/platform.h"

namespace zf {

TZFDirArray::TZFDirArray() = default;

void TZFDirArray::SetCount(int32_t n) {
  if (n <= 0) {
    // Frees every slot, extra block data included.
    std::vector<TDirItem>().swap(Entries);
    nameIndex_.Clear();
    capacity_ = 0;
    count_ = 0;
    return;
  }
  if (capacity_ < n) {
    growStep_ = std::min(growStep_ * 2, MaxGrowStep);
    const int64_t grown = static_cast<int64_t>(capacity_) + growStep_;
    capacity_ = static_cast<int32_t>(std::max<int64_t>(grown, n));
    Entries.resize(static_cast<size_t>(capacity_));
  }
  if (n < count_) {
    // The dropped items leave the index too, and their slots are blanked,
    // so that a later growth does not bring back a stale name.
    for (int32_t i = count_ - 1; i >= n; --i) {
      if (i < nameIndex_.Count()) nameIndex_.Delete(i);
      Entries[static_cast<size_t>(i)] = TDirItem();
    }
  }
  count_ = n;
}

void TZFDirArray::CheckIndex(int32_t i, int32_t nativeError) const {
  if (i < 0 || i >= count_) throw EZFException(nativeError, nullptr);
}

TDirItem TZFDirArray::GetItem(int32_t i) const {
  CheckIndex(i, neIndexGetItem);
  return Entries[static_cast<size_t>(i)];
}

TDirItem& TZFDirArray::ItemRef(int32_t i) {
  CheckIndex(i, neIndexItemRef);
  return Entries[static_cast<size_t>(i)];
}

const TDirItem& TZFDirArray::ItemRef(int32_t i) const {
  CheckIndex(i, neIndexItemRef);
  return Entries[static_cast<size_t>(i)];
}

// The index entry of item i is found by position, not by looking its old
// name up: names may repeat (two entries called "", or "a" and "A"), and a
// lookup by name would then find the other item and call the index broken.
// The index is out of step when its entry i does not hold the item's name,
// or when it would get a hole (i beyond its end).
void TZFDirArray::RenameItem(int32_t i, const std::string& name) {
  TDirItem& item = ItemRef(i);
  const std::string lowered = os::LowerString(name);
  const int32_t indexed = nameIndex_.Count();
  if (i == indexed) {
    nameIndex_.Add(lowered);
  } else if (i < indexed && nameIndex_.Get(i) == os::LowerString(item.Name)) {
    nameIndex_.ReplaceString(i, lowered);
  } else {
    throw EZFException(neNameIndexInvalid, nullptr);
  }
  item.Name = name;
}

int32_t TZFDirArray::IndexOfName(const std::string& name) {
  const int32_t found = nameIndex_.IndexOf(os::LowerString(name));
  return found < count_ ? found : -1;
}

void TZFDirArray::Clear() {
  // Blank slots: a later item written into a slot starts without the old
  // item's name, comment or extra blocks.
  for (int32_t i = 0; i < count_; ++i) Entries[static_cast<size_t>(i)] = TDirItem();
  count_ = 0;
  nameIndex_.Clear();
}

void TZFDirArray::ClearSelection() {
  for (int32_t i = 0; i < count_; ++i) Entries[static_cast<size_t>(i)].Selected = false;
}

}  // namespace zf
