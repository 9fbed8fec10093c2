#include "archive/ZFRecords.h"

#include <algorithm>

#include "archive/ZFCrc32.h"

namespace zf {

namespace {

// Reads consecutive little-endian fields from a span whose length the caller
// has checked against the record size.
class FieldReader {
 public:
  explicit FieldReader(std::span<const uint8_t> bytes) : p_(bytes.data()) {}
  void U16(uint16_t& v) { v = Get16(p_); p_ += 2; }
  void U32(uint32_t& v) { v = Get32(p_); p_ += 4; }
  void U64(uint64_t& v) { v = Get64(p_); p_ += 8; }

 private:
  const uint8_t* p_;
};

}  // namespace

bool ReadLocalFileHeader(std::span<const uint8_t> bytes, TLocalFileHeader& out) {
  if (bytes.size() < kLocalFileHeaderSize) return false;
  FieldReader r(bytes);
  r.U32(out.Signature);
  r.U16(out.VersionNeeded);
  r.U16(out.Flags);
  r.U16(out.Method);
  r.U16(out.ModTime);
  r.U16(out.ModDate);
  r.U32(out.Crc32);
  r.U32(out.CompressedSize);
  r.U32(out.UncompressedSize);
  r.U16(out.NameLength);
  r.U16(out.ExtraLength);
  return true;
}

bool ReadCentralFileHeader(std::span<const uint8_t> bytes, TCentralFileHeader& out) {
  if (bytes.size() < kCentralFileHeaderSize) return false;
  FieldReader r(bytes);
  r.U32(out.Signature);
  r.U16(out.VersionMadeBy);
  r.U16(out.VersionNeeded);
  r.U16(out.Flags);
  r.U16(out.Method);
  r.U16(out.ModTime);
  r.U16(out.ModDate);
  r.U32(out.Crc32);
  r.U32(out.CompressedSize);
  r.U32(out.UncompressedSize);
  r.U16(out.NameLength);
  r.U16(out.ExtraLength);
  r.U16(out.CommentLength);
  r.U16(out.DiskNumberStart);
  r.U16(out.InternalAttributes);
  r.U32(out.ExternalAttributes);
  r.U32(out.LocalHeaderOffset);
  return true;
}

bool ReadEndOfCentralDir(std::span<const uint8_t> bytes, TEndOfCentralDir& out) {
  if (bytes.size() < kEndOfCentralDirSize) return false;
  FieldReader r(bytes);
  r.U32(out.Signature);
  r.U16(out.ThisDisk);
  r.U16(out.DirectoryDisk);
  r.U16(out.EntriesOnDisk);
  r.U16(out.TotalEntries);
  r.U32(out.DirectorySize);
  r.U32(out.DirectoryOffset);
  r.U16(out.CommentLength);
  return true;
}

bool ReadZip64EndOfCentralDir(std::span<const uint8_t> bytes, TZip64EndOfCentralDir& out) {
  if (bytes.size() < kZip64EndOfCentralDirSize) return false;
  FieldReader r(bytes);
  r.U32(out.Signature);
  r.U64(out.RecordSize);
  r.U16(out.VersionMadeBy);
  r.U16(out.VersionNeeded);
  r.U32(out.ThisDisk);
  r.U32(out.DirectoryDisk);
  r.U64(out.EntriesOnDisk);
  r.U64(out.TotalEntries);
  r.U64(out.DirectorySize);
  r.U64(out.DirectoryOffset);
  return true;
}

bool ReadZip64Locator(std::span<const uint8_t> bytes, TZip64Locator& out) {
  if (bytes.size() < kZip64LocatorSize) return false;
  FieldReader r(bytes);
  r.U32(out.Signature);
  r.U32(out.Zip64RecordDisk);
  r.U64(out.Zip64RecordOffset);
  r.U32(out.TotalDisks);
  return true;
}

bool ReadDataDescriptor(std::span<const uint8_t> bytes, TDataDescriptor& out) {
  if (bytes.size() < kDataDescriptorSize) return false;
  FieldReader r(bytes);
  r.U32(out.Signature);
  r.U32(out.Crc32);
  r.U32(out.CompressedSize);
  r.U32(out.UncompressedSize);
  return true;
}

void PutLocalFileHeader(std::vector<uint8_t>& out, const TLocalFileHeader& h) {
  Put32(out, h.Signature);
  Put16(out, h.VersionNeeded);
  Put16(out, h.Flags);
  Put16(out, h.Method);
  Put16(out, h.ModTime);
  Put16(out, h.ModDate);
  Put32(out, h.Crc32);
  Put32(out, h.CompressedSize);
  Put32(out, h.UncompressedSize);
  Put16(out, h.NameLength);
  Put16(out, h.ExtraLength);
}

void PutCentralFileHeader(std::vector<uint8_t>& out, const TCentralFileHeader& h) {
  Put32(out, h.Signature);
  Put16(out, h.VersionMadeBy);
  Put16(out, h.VersionNeeded);
  Put16(out, h.Flags);
  Put16(out, h.Method);
  Put16(out, h.ModTime);
  Put16(out, h.ModDate);
  Put32(out, h.Crc32);
  Put32(out, h.CompressedSize);
  Put32(out, h.UncompressedSize);
  Put16(out, h.NameLength);
  Put16(out, h.ExtraLength);
  Put16(out, h.CommentLength);
  Put16(out, h.DiskNumberStart);
  Put16(out, h.InternalAttributes);
  Put32(out, h.ExternalAttributes);
  Put32(out, h.LocalHeaderOffset);
}

void PutEndOfCentralDir(std::vector<uint8_t>& out, const TEndOfCentralDir& r) {
  Put32(out, r.Signature);
  Put16(out, r.ThisDisk);
  Put16(out, r.DirectoryDisk);
  Put16(out, r.EntriesOnDisk);
  Put16(out, r.TotalEntries);
  Put32(out, r.DirectorySize);
  Put32(out, r.DirectoryOffset);
  Put16(out, r.CommentLength);
}

void PutZip64EndOfCentralDir(std::vector<uint8_t>& out, const TZip64EndOfCentralDir& r) {
  Put32(out, r.Signature);
  Put64(out, r.RecordSize);
  Put16(out, r.VersionMadeBy);
  Put16(out, r.VersionNeeded);
  Put32(out, r.ThisDisk);
  Put32(out, r.DirectoryDisk);
  Put64(out, r.EntriesOnDisk);
  Put64(out, r.TotalEntries);
  Put64(out, r.DirectorySize);
  Put64(out, r.DirectoryOffset);
}

void PutZip64Locator(std::vector<uint8_t>& out, const TZip64Locator& r) {
  Put32(out, r.Signature);
  Put32(out, r.Zip64RecordDisk);
  Put64(out, r.Zip64RecordOffset);
  Put32(out, r.TotalDisks);
}

void PutDataDescriptor(std::vector<uint8_t>& out, const TDataDescriptor& r) {
  Put32(out, r.Signature);
  Put32(out, r.Crc32);
  Put32(out, r.CompressedSize);
  Put32(out, r.UncompressedSize);
}

TExtraField ParseExtraField(std::span<const uint8_t> field) {
  TExtraField result;
  size_t pos = 0;
  while (pos < field.size()) {
    const size_t left = field.size() - pos;
    // A fragment too short for a block header: reading a header here would
    // take bytes from whatever follows the field.
    if (left < kExtraBlockHeaderSize) {
      result.SkippedTail = left;
      break;
    }
    TExtraBlock block;
    block.HeaderID = Get16(field.data() + pos);
    size_t size = Get16(field.data() + pos + 2);
    pos += kExtraBlockHeaderSize;
    if (size > field.size() - pos) {
      size = field.size() - pos;
      result.LastBlockCut = block.CutShort = true;
    }
    block.Data.assign(field.begin() + static_cast<std::ptrdiff_t>(pos),
                      field.begin() + static_cast<std::ptrdiff_t>(pos + size));
    pos += size;
    result.Blocks.push_back(std::move(block));
  }
  return result;
}

void PutExtraBlock(std::vector<uint8_t>& out, uint16_t headerId, std::span<const uint8_t> data) {
  Put16(out, headerId);
  Put16(out, static_cast<uint16_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

TZip64ExtendedInfo ReadZip64ExtendedInfo(std::span<const uint8_t> data,
                                         const TCentralFileHeader& header) {
  TZip64ExtendedInfo info;
  size_t pos = 0;
  // True when a part of width bytes is there to be read at pos.
  const auto fits = [&](size_t width) { return pos < data.size() && data.size() - pos >= width; };

  if (header.UncompressedSize == kSentinel32) {
    if (!fits(8)) return info;
    info.UncompressedSize = Get64(data.data() + pos);
    pos += 8;
  }
  if (header.CompressedSize == kSentinel32) {
    if (!fits(8)) return info;
    info.CompressedSize = Get64(data.data() + pos);
    pos += 8;
  }
  if (header.LocalHeaderOffset == kSentinel32) {
    if (!fits(8)) return info;
    info.LocalHeaderOffset = Get64(data.data() + pos);
    pos += 8;
  }
  if (header.DiskNumberStart == kSentinel16 && fits(4))
    info.DiskNumberStart = Get32(data.data() + pos);
  return info;
}

bool ReadBlockFormatHeader(std::span<const uint8_t> bytes, TBlockFormatHeader& out) {
  if (bytes.size() < kBlockFormatHeaderSize) return false;
  const uint8_t* p = bytes.data();
  out.BlockSize = Get32(p + 0);
  out.TotalSize = Get32(p + 8);
  out.BlockCount = Get32(p + 16);
  out.Algorithm = p[20];
  out.Compressed = p[21];
  out.Encryption = Get16(p + 22);
  out.CheckCrc = Get32(p + 24);
  std::copy(p + 28, p + 28 + kBlockFormatCheckSize, out.Check);
  return true;
}

void PutBlockFormatHeader(std::vector<uint8_t>& out, const TBlockFormatHeader& h) {
  Put32(out, h.BlockSize);
  Put32(out, 0);
  Put32(out, h.TotalSize);
  Put32(out, 0);
  Put32(out, h.BlockCount);
  out.push_back(h.Algorithm);
  out.push_back(h.Compressed);
  Put16(out, h.Encryption);
  Put32(out, h.CheckCrc);
  out.insert(out.end(), std::begin(h.Check), std::end(h.Check));
  out.insert(out.end(), kBlockFormatHeaderSize - 44, 0);
}

std::string MethodName(uint16_t method) {
  switch (method) {
    case kMethodStored: return "Stored";
    case kMethodShrunk: return "Shrunk";
    case kMethodImploded: return "Implode";
    case kMethodDeflated: return "Deflate";
    case kMethodDeflate64: return "Deflat64";
    case kMethodBZip2: return "BZip2";
    case kMethodLzma: return "LZMA";
    case kMethodZstd: return "Zstd";
    case kMethodXz: return "XZ";
    case kMethodPpmd: return "PPMd";
    case kMethodAes: return "AES";
    default:
      if (method >= kMethodReduced1 && method <= kMethodReduced4) return "Reduced";
      return "M" + std::to_string(method);
  }
}

std::optional<TAesExtra> ReadAesExtra(std::span<const uint8_t> data) {
  if (data.size() < 7 || data[2] != 'A' || data[3] != 'E') return std::nullopt;
  TAesExtra aes;
  aes.VendorVersion = Get16(data.data());
  aes.Strength = data[4];
  aes.Method = Get16(data.data() + 5);
  if (aes.VendorVersion != kAesVersion1 && aes.VendorVersion != kAesVersion2) return std::nullopt;
  if (aes.Strength < 1 || aes.Strength > 3) return std::nullopt;
  return aes;
}

std::string NameFromBytes(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

std::optional<std::string> ReadUnicodePath(std::span<const uint8_t> data,
                                           std::span<const uint8_t> storedName) {
  constexpr size_t kNameStart = 5;  // version byte and CRC-32
  if (data.size() <= kNameStart || data[0] != 1) return std::nullopt;
  const uint32_t crc =
      ~CRC32Update(0xFFFFFFFF, storedName.data(), static_cast<int32_t>(storedName.size()));
  if (Get32(data.data() + 1) != crc) return std::nullopt;
  return std::string(data.begin() + kNameStart, data.end());
}

TEndOfCentralDir EmptyArchiveEndRecord(uint32_t volume, uint64_t directoryOffset) {
  TEndOfCentralDir r;
  const uint16_t disk = volume > 65534 ? kSentinel16 : static_cast<uint16_t>(volume);
  r.ThisDisk = disk;
  r.DirectoryDisk = disk;
  r.DirectoryOffset =
      directoryOffset >= kSentinel32 ? kSentinel32 : static_cast<uint32_t>(directoryOffset);
  return r;
}

std::vector<uint8_t> EmptyArchiveEndRecordBytes(uint32_t volume, uint64_t directoryOffset) {
  std::vector<uint8_t> bytes;
  PutEndOfCentralDir(bytes, EmptyArchiveEndRecord(volume, directoryOffset));
  return bytes;
}

}  // namespace zf
