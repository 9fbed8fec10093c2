// Building the package's records.
#include "package_records.h"

#include "archive/ZFCipher.h"
#include "archive/ZFCrc32.h"
#include "archive/ZFRecords.h"

namespace mkstp {

namespace {

uint32_t Field32(uint64_t value, bool zip64) {
  return zip64 ? zf::kSentinel32 : static_cast<uint32_t>(value);
}

bool Overflows(uint64_t value) { return value >= zf::kSentinel32; }

}  // namespace

bool NeedsLocalZip64(uint64_t uncompressedSize) {
  return Overflows(uncompressedSize + zf::kEncryptionHeaderSize);
}

std::vector<uint8_t> LocalRecord(const EntryRecord& e) {
  zf::TLocalFileHeader h;
  h.VersionNeeded = e.localZip64 ? kVersionNeededZip64 : kVersionNeeded;
  h.Flags = e.flags;
  h.Method = e.method;
  h.ModTime = zf::os::DosTimeOf(e.dosDateTime);
  h.ModDate = zf::os::DosDateOf(e.dosDateTime);
  h.Crc32 = e.crc;
  h.CompressedSize = Field32(e.compressedSize, e.localZip64);
  h.UncompressedSize = Field32(e.uncompressedSize, e.localZip64);
  h.NameLength = static_cast<uint16_t>(e.storedName.size());
  std::vector<uint8_t> extra;
  if (e.localZip64) {
    std::vector<uint8_t> sizes;
    zf::Put64(sizes, e.uncompressedSize);
    zf::Put64(sizes, e.compressedSize);
    zf::PutExtraBlock(extra, zf::kExtraZip64, sizes);
  }
  h.ExtraLength = static_cast<uint16_t>(extra.size());
  std::vector<uint8_t> out;
  zf::PutLocalFileHeader(out, h);
  out.insert(out.end(), e.storedName.begin(), e.storedName.end());
  out.insert(out.end(), extra.begin(), extra.end());
  return out;
}

std::vector<uint8_t> CentralRecord(const EntryRecord& e) {
  const bool sizes64 = e.localZip64 || Overflows(e.uncompressedSize) ||
                       Overflows(e.compressedSize);
  const bool offset64 = Overflows(e.localHeaderOffset);
  zf::TCentralFileHeader h;
  h.VersionMadeBy = kVersionMadeBy;
  h.VersionNeeded = sizes64 || offset64 ? kVersionNeededZip64 : kVersionNeeded;
  h.Flags = e.flags;
  h.Method = e.method;
  h.ModTime = zf::os::DosTimeOf(e.dosDateTime);
  h.ModDate = zf::os::DosDateOf(e.dosDateTime);
  h.Crc32 = e.crc;
  h.CompressedSize = Field32(e.compressedSize, sizes64);
  h.UncompressedSize = Field32(e.uncompressedSize, sizes64);
  h.NameLength = static_cast<uint16_t>(e.storedName.size());
  h.ExternalAttributes = e.externalAttributes;
  h.LocalHeaderOffset = Field32(e.localHeaderOffset, offset64);
  std::vector<uint8_t> extra;
  if (sizes64 || offset64) {
    std::vector<uint8_t> values;
    if (sizes64) {
      zf::Put64(values, e.uncompressedSize);
      zf::Put64(values, e.compressedSize);
    }
    if (offset64) zf::Put64(values, e.localHeaderOffset);
    zf::PutExtraBlock(extra, zf::kExtraZip64, values);
  }
  h.ExtraLength = static_cast<uint16_t>(extra.size());
  std::vector<uint8_t> out;
  zf::PutCentralFileHeader(out, h);
  out.insert(out.end(), e.storedName.begin(), e.storedName.end());
  out.insert(out.end(), extra.begin(), extra.end());
  return out;
}

std::vector<uint8_t> EndRecords(uint64_t entryCount, uint64_t directoryOffset,
                                uint64_t directorySize, uint64_t endOffset) {
  const bool zip64 = entryCount >= zf::kSentinel16 || Overflows(directoryOffset) ||
                     Overflows(directorySize);
  std::vector<uint8_t> out;
  zf::TEndOfCentralDir end;
  if (zip64) {
    zf::TZip64EndOfCentralDir record;
    record.VersionMadeBy = kVersionMadeBy;
    record.VersionNeeded = kVersionNeededZip64;
    record.EntriesOnDisk = entryCount;
    record.TotalEntries = entryCount;
    record.DirectorySize = directorySize;
    record.DirectoryOffset = directoryOffset;
    zf::PutZip64EndOfCentralDir(out, record);
    zf::TZip64Locator locator;
    locator.Zip64RecordOffset = endOffset;
    locator.TotalDisks = 1;
    zf::PutZip64Locator(out, locator);
  }
  const uint16_t count =
      entryCount >= zf::kSentinel16 ? zf::kSentinel16 : static_cast<uint16_t>(entryCount);
  end.EntriesOnDisk = count;
  end.TotalEntries = count;
  end.DirectorySize = Field32(directorySize, Overflows(directorySize));
  end.DirectoryOffset = Field32(directoryOffset, Overflows(directoryOffset));
  zf::PutEndOfCentralDir(out, end);
  return out;
}

std::vector<uint8_t> PlainEncryptionHeader(const std::string& storedName, uint32_t crc) {
  // A 32-bit xorshift seeded from the name's CRC-32 and the data's.
  uint32_t state = ~zf::CRC32Update(0xFFFFFFFFu, storedName.data(),
                                    static_cast<int32_t>(storedName.size()));
  state ^= crc * 0x9E3779B9u;
  if (state == 0) state = 0x2545F491u;
  std::vector<uint8_t> header(zf::kEncryptionHeaderSize);
  for (int i = 0; i < zf::kEncryptionHeaderSize - 1; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    header[i] = static_cast<uint8_t>(state >> 24);
  }
  header[zf::kEncryptionHeaderSize - 1] = static_cast<uint8_t>(crc >> 24);
  return header;
}

}  // namespace mkstp
