// The item array of an open archive (see ZFDirArray.h).
#include "archive/ZFDirArray.h"

#include <algorithm>
#include <cstring>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "platform/platform.h"

namespace zf {

namespace {

// Text is carved from chunks of this size; a text larger than a quarter of
// it gets a chunk of its own, so that no chunk wastes more than a quarter.
constexpr size_t kTextChunk = 64 * 1024;
constexpr int64_t kMiB = 1024 * 1024;

}  // namespace

TZFDirArray::TZFDirArray() = default;
TZFDirArray::~TZFDirArray() = default;

void TZFDirArray::Reserve(int64_t bytes) {
  if (bytes > memoryLimit_ - memoryUsed_)
    throw EZFException(neDirectoryTooLarge, {(memoryLimit_ + kMiB - 1) / kMiB}, nullptr);
  memoryUsed_ += bytes;
}

void TZFDirArray::SetCount(int32_t n) {
  if (n <= 0) {
    std::vector<std::vector<TDirItem>>().swap(blocks_);
    FreeText();
    memoryUsed_ = 0;
    nameIndex_.Clear();
    nameIndexValid_ = false;
    capacity_ = 0;
    count_ = 0;
    return;
  }
  if (capacity_ < n) {
    const int32_t step = std::min(growStep_ * 2, MaxGrowStep);
    const int32_t capacity =
        static_cast<int32_t>(std::max<int64_t>(static_cast<int64_t>(capacity_) + step, n));
    // Whole blocks are counted: each is reserved in full.
    const size_t blocks = (static_cast<size_t>(capacity) + kBlockItems - 1) / kBlockItems;
    Reserve(static_cast<int64_t>(blocks - blocks_.size()) * kBlockItems *
            static_cast<int64_t>(sizeof(TDirItem)));
    growStep_ = step;
    capacity_ = capacity;
    blocks_.resize(blocks);
    for (size_t b = 0; b < blocks; ++b) {
      std::vector<TDirItem>& block = blocks_[b];
      if (block.capacity() < static_cast<size_t>(kBlockItems)) block.reserve(kBlockItems);
      const int64_t inBlock =
          std::min<int64_t>(kBlockItems, capacity_ - static_cast<int64_t>(b) * kBlockItems);
      if (block.size() < static_cast<size_t>(inBlock)) block.resize(static_cast<size_t>(inBlock));
    }
  }
  if (n < count_) {
    // Blanked, so that a later growth does not bring back a stale item.
    for (int32_t i = n; i < count_; ++i) Slot(i) = TDirItem();
  }
  if (n != count_) nameIndexValid_ = false;
  count_ = n;
}

void TZFDirArray::CheckIndex(int32_t i, int32_t nativeError) const {
  if (i < 0 || i >= count_) throw EZFException(nativeError, nullptr);
}

TDirItem TZFDirArray::GetItem(int32_t i) const {
  CheckIndex(i, neIndexGetItem);
  return Slot(i);
}

TDirItem& TZFDirArray::ItemRef(int32_t i) {
  CheckIndex(i, neIndexItemRef);
  return Slot(i);
}

const TDirItem& TZFDirArray::ItemRef(int32_t i) const {
  CheckIndex(i, neIndexItemRef);
  return Slot(i);
}

char* TZFDirArray::AllocateText(size_t n) {
  if (n > kTextChunk / 4) {
    Reserve(static_cast<int64_t>(n));
    textChunks_.push_back(std::make_unique_for_overwrite<char[]>(n));
    return textChunks_.back().get();
  }
  if (textLeft_ < n) {
    Reserve(static_cast<int64_t>(kTextChunk));
    textChunks_.push_back(std::make_unique_for_overwrite<char[]>(kTextChunk));
    textNext_ = textChunks_.back().get();
    textLeft_ = kTextChunk;
  }
  char* p = textNext_;
  textNext_ += n;
  textLeft_ -= n;
  return p;
}

void TZFDirArray::FreeText() {
  std::vector<std::unique_ptr<char[]>>().swap(textChunks_);
  textNext_ = nullptr;
  textLeft_ = 0;
}

void TZFDirArray::SetItemText(int32_t i, std::string_view name, std::span<const uint8_t> extra,
                              std::string_view comment) {
  TDirItem& item = ItemRef(i);
  // Extra field and comment lengths come from 16-bit fields; a name grows
  // by its code-page conversion, at most a few times its 16-bit length.
  const size_t extraLength = std::min<size_t>(extra.size(), 0xFFFF);
  const size_t commentLength = std::min<size_t>(comment.size(), 0xFFFF);
  const size_t nameLength = std::min<size_t>(name.size(), UINT32_MAX - 2 * 0xFFFF);
  const size_t total = nameLength + extraLength + commentLength;
  char* text = total == 0 ? nullptr : AllocateText(total);
  if (nameLength != 0) std::memcpy(text, name.data(), nameLength);
  if (extraLength != 0) std::memcpy(text + nameLength, extra.data(), extraLength);
  if (commentLength != 0) std::memcpy(text + nameLength + extraLength, comment.data(), commentLength);
  item.text_ = text;
  item.nameLength_ = static_cast<uint32_t>(nameLength);
  item.extraLength_ = static_cast<uint16_t>(extraLength);
  item.commentLength_ = static_cast<uint16_t>(commentLength);
  nameIndexValid_ = false;
}

void TZFDirArray::RenameItem(int32_t i, std::string_view name) {
  const TDirItem& item = ItemRef(i);
  // The old text stays where it is while it is copied: the arena never moves.
  SetItemText(i, name, item.ExtraField(), item.Comment());
}

const TZFHashedStringList& TZFDirArray::NameIndex() {
  if (!nameIndexValid_) {
    nameIndex_.Clear();
    for (int32_t i = 0; i < count_; ++i) nameIndex_.Add(os::LowerString(std::string(Slot(i).Name())));
    nameIndexValid_ = true;
  }
  return nameIndex_;
}

int32_t TZFDirArray::IndexOfName(const std::string& name) {
  NameIndex();
  return nameIndex_.IndexOf(os::LowerString(name));
}

void TZFDirArray::Clear() {
  for (int32_t i = 0; i < count_; ++i) Slot(i) = TDirItem();
  count_ = 0;
  // The text of the items goes with them; the slots stay counted.
  memoryUsed_ = static_cast<int64_t>(blocks_.size()) * kBlockItems *
                static_cast<int64_t>(sizeof(TDirItem));
  FreeText();
  nameIndex_.Clear();
  nameIndexValid_ = false;
}

void TZFDirArray::ClearSelection() {
  for (int32_t i = 0; i < count_; ++i) Slot(i).Selected = false;
}

}  // namespace zf
