// The records of a package, built as bytes: local header, central header
// and the end records, with the Zip64 forms where a value needs them.
// Pure functions over the engine's record writers (archive/ZFRecords.h), so
// that what mkstp writes is what the engine's readers read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ZFRecords.h"

namespace mkstp {

// Everything the package records of one entry.
struct EntryRecord {
  std::string storedName;       // OEM bytes, "/" separators, folders end in "/"
  uint16_t flags = 0;           // kFlagEncrypted for files
  uint16_t method = 0;          // stored or deflated
  uint32_t dosDateTime = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;  // with the 12-byte encryption header
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint32_t externalAttributes = 0;  // Windows attribute bits
  // The local header carries both sizes in a Zip64 block. Decided before the
  // data is written (the sizes are patched in afterwards, the length of the
  // header must not change).
  bool localZip64 = false;
};

// Version made by: 2.0 on MS-DOS (host 0), so readers take the external
// attributes as Windows attribute bits.
inline constexpr uint16_t kVersionMadeBy = zf::MadeBy(zf::kHostMsDos, 20);
// Version needed: 2.0 for deflate and encryption, 4.5 with Zip64 values.
inline constexpr uint16_t kVersionNeeded = 20;
inline constexpr uint16_t kVersionNeededZip64 = 45;

// Whether an entry of this many data bytes (before the encryption header)
// needs the Zip64 local header: its compressed size, stored at worst, would
// reach the 32-bit sentinel.
bool NeedsLocalZip64(uint64_t uncompressedSize);

// The local header with its name and, when localZip64, the Zip64 block with
// the uncompressed and the compressed size.
std::vector<uint8_t> LocalRecord(const EntryRecord& entry);

// The central header with its name and, when a value reaches the 32-bit
// sentinel (or the local header has the Zip64 form), a Zip64 block with the
// values in their fixed order: uncompressed size, compressed size, local
// header offset. An entry with a Zip64 local header gives both sizes here
// too, so that the two headers agree.
std::vector<uint8_t> CentralRecord(const EntryRecord& entry);

// What follows the central directory: for a directory with 65,535 or more
// entries, or a size or offset that reaches the 32-bit sentinel, the Zip64
// end record and its locator, with the sentinels in the end record; then the
// end record without a comment. endOffset is where these records begin.
std::vector<uint8_t> EndRecords(uint64_t entryCount, uint64_t directoryOffset,
                                uint64_t directorySize, uint64_t endOffset);

// The 12-byte encryption header before encryption: eleven bytes that look
// random but follow from the name and CRC-32 (so the same input gives the
// same package), and the CRC-32's high byte last, which readers check the
// password against.
std::vector<uint8_t> PlainEncryptionHeader(const std::string& storedName, uint32_t crc);

}  // namespace mkstp
