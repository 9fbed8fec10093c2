// One entry of an open archive as the directory manager keeps it: the
// central header image exactly as read, the decoded name, comment, extra
// blocks, the Zip64 values, and the per-run selection marks. The effective
// sizes and offsets resolve the Zip64 sentinels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ZFRecords.h"
#include "archive/ZFTypes.h"
#include "platform/platform.h"

namespace zf {

struct TDirItem {
  TCentralFileHeader Header;  // the 46 bytes as on disk, sentinels kept
  std::string Name;           // decoded stored name, "/" as separator
  std::string Comment;
  std::vector<TExtraBlock> ExtraFields;  // in file order, Zip64 block included
  bool HasZip64Values = false;
  int64_t Zip64UncompressedSize = 0;
  int64_t Zip64CompressedSize = 0;
  int64_t Zip64LocalHeaderOffset = 0;
  uint32_t Zip64DiskStart = 0;
  bool Selected = false;
  TZFProcessOperation ItemOperation = poExtract;

  int64_t UncompressedSize() const {
    return Header.UncompressedSize == kSentinel32 ? Zip64UncompressedSize
                                                  : Header.UncompressedSize;
  }
  int64_t CompressedSize() const {
    return Header.CompressedSize == kSentinel32 ? Zip64CompressedSize : Header.CompressedSize;
  }
  int64_t LocalHeaderOffset() const {
    return Header.LocalHeaderOffset == kSentinel32 ? Zip64LocalHeaderOffset
                                                   : Header.LocalHeaderOffset;
  }
  // The volume holding the local header; archiveIsZip64 tells whether the
  // 16-bit sentinel may be resolved (without Zip64 records it means 0).
  uint32_t DiskNumberStart(bool archiveIsZip64) const {
    if (Header.DiskNumberStart != kSentinel16) return Header.DiskNumberStart;
    return archiveIsZip64 ? Zip64DiskStart : 0;
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
