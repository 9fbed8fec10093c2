// One entry of an open archive as the directory manager keeps it: the
// central header image exactly as read, the decoded name, the extra field
// and the comment, the Zip64 values, and the per-run selection marks. The
// effective sizes and offsets resolve the Zip64 sentinels.
//
// An archive may hold millions of entries, so an item is kept small (80
// bytes, 68 in a 32-bit build): its name, extra field and comment are one
// piece of text in the item array's arena (TZFDirArray), which the item
// points at, and the Zip64 values, which few entries have, sit in a box of
// their own that only those entries allocate. A copy of an item shares the
// text with the stored item and stays valid while the array keeps its
// items (until the directory is read again or cleared).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "archive/ZFRecords.h"
#include "archive/ZFTypes.h"
#include "platform/platform.h"

namespace zf {

// The values of an entry's Zip64 extended information block; each is valid
// where the header holds the matching sentinel.
struct TDirItemZip64 {
  int64_t UncompressedSize = 0;
  int64_t CompressedSize = 0;
  int64_t LocalHeaderOffset = 0;
  uint32_t DiskStart = 0;
};

// An owning pointer to an item's Zip64 values that copies them with the
// item: one pointer wide for the many items without any.
class TDirItemZip64Box {
 public:
  TDirItemZip64Box() = default;
  TDirItemZip64Box(const TDirItemZip64Box& other)
      : values_(other.values_ ? std::make_unique<TDirItemZip64>(*other.values_) : nullptr) {}
  TDirItemZip64Box(TDirItemZip64Box&&) noexcept = default;
  TDirItemZip64Box& operator=(const TDirItemZip64Box& other) {
    if (this != &other) *this = TDirItemZip64Box(other);
    return *this;
  }
  TDirItemZip64Box& operator=(TDirItemZip64Box&&) noexcept = default;

  const TDirItemZip64* Get() const { return values_.get(); }
  TDirItemZip64& GetOrMake() {
    if (!values_) values_ = std::make_unique<TDirItemZip64>();
    return *values_;
  }
  void Reset() { values_.reset(); }

 private:
  std::unique_ptr<TDirItemZip64> values_;
};

struct TDirItem {
  TCentralFileHeader Header;  // the 46 bytes as on disk, sentinels kept
  bool Selected = false;
  TZFProcessOperation ItemOperation = poExtract;

  // The decoded stored name, "/" as separator.
  std::string_view Name() const { return {text_, nameLength_}; }
  // The extra field as read: every block, a Zip64 block included.
  std::span<const uint8_t> ExtraField() const {
    return {reinterpret_cast<const uint8_t*>(text_) + nameLength_, extraLength_};
  }
  // The blocks of ExtraField, in file order (ParseExtraField).
  std::vector<TExtraBlock> ExtraFields() const { return ParseExtraField(ExtraField()).Blocks; }
  std::string_view Comment() const {
    return {text_ + nameLength_ + extraLength_, commentLength_};
  }

  // Whether a Zip64 block gave (or an offset past 32 bits needed) values.
  bool HasZip64Values() const { return zip64_.Get() != nullptr; }
  // The Zip64 values, zero when there are none.
  const TDirItemZip64& Zip64() const { return zip64_.Get() ? *zip64_.Get() : kNoZip64; }
  // The Zip64 values for writing; made (zero) on first use.
  TDirItemZip64& Zip64Values() { return zip64_.GetOrMake(); }
  void ForgetZip64Values() { zip64_.Reset(); }

  int64_t UncompressedSize() const {
    return Header.UncompressedSize == kSentinel32 ? Zip64().UncompressedSize
                                                  : Header.UncompressedSize;
  }
  int64_t CompressedSize() const {
    return Header.CompressedSize == kSentinel32 ? Zip64().CompressedSize : Header.CompressedSize;
  }
  int64_t LocalHeaderOffset() const {
    return Header.LocalHeaderOffset == kSentinel32 ? Zip64().LocalHeaderOffset
                                                   : Header.LocalHeaderOffset;
  }
  // The volume holding the local header; archiveIsZip64 tells whether the
  // 16-bit sentinel may be resolved (without Zip64 records it means 0).
  uint32_t DiskNumberStart(bool archiveIsZip64) const {
    if (Header.DiskNumberStart != kSentinel16) return Header.DiskNumberStart;
    return archiveIsZip64 ? Zip64().DiskStart : 0;
  }
  // A folder by its attributes. An entry made on Unix whose high word holds
  // a file type is a folder when that type says so, whatever the DOS bits:
  // some Unix writers fill the low word with 0xFFFF, which sets the folder
  // bit on every file (unzip decides by the Unix type too).
  bool IsDirectory() const {
    if (HostOf(Header.VersionMadeBy) == kHostUnix) {
      const uint32_t type = UnixModeOf(Header.ExternalAttributes) & kUnixTypeMask;
      if (type != 0) return type == kUnixDirectory;
    }
    return (Header.ExternalAttributes & os::faDirectory) != 0;
  }
  // The external attributes as the engine takes them: the folder bit says
  // what IsDirectory says, the other bits are as stored.
  uint32_t ExternalAttributes() const {
    const uint32_t others = Header.ExternalAttributes & ~static_cast<uint32_t>(os::faDirectory);
    return IsDirectory() ? others | os::faDirectory : others;
  }
  bool IsEncrypted() const { return (Header.Flags & kFlagEncrypted) != 0; }
  uint32_t DosDateTime() const { return os::MakeDosDateTime(Header.ModDate, Header.ModTime); }

 private:
  friend class TZFDirArray;  // the only one to place the text
  static constexpr TDirItemZip64 kNoZip64{};

  const char* text_ = nullptr;  // name, extra field, comment, one after the other
  TDirItemZip64Box zip64_;
  uint32_t nameLength_ = 0;
  uint16_t extraLength_ = 0;
  uint16_t commentLength_ = 0;
};

// Where an entry's data lies and where it must end, as the directory knows
// it (TZFDirManager::PlaceOf).
struct TZFEntryPlace {
  int32_t FirstVolume = 0;  // the volume holding its local header
  int32_t LastVolume = 0;   // the volume holding the end of the central directory
  // A single file's entry data ends where the central directory starts, at
  // the latest, whatever its size field says; -1 for a volume set.
  int64_t DataEnd = -1;
  // The position the data must not pass: the next local header on its
  // volume (see TZFDirManager::DataLimitOf). Data that would pass it
  // overlaps another entry and is refused as damaged. -1: no bound.
  int64_t DataLimit = -1;
};

}  // namespace zf
