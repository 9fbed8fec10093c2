// Builds ZIP archives byte by byte for the tests: stored, deflated and
// encrypted entries, data descriptors, Zip64 blocks and end records, a stub
// in front, comments, and any field overridden to make damaged archives.
// Build() also tells where each record landed, so a test can mutate single
// bytes of a good archive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/ZFCipher.h"
#include "archive/ZFCrc32.h"
#include "archive/ZFRecords.h"
#include "test_util.h"

namespace zf::test {

// Raw deflate (no zlib wrapper), as ZIP entries hold it.
inline std::string Deflate(const std::string& data, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline uint32_t Crc32Of(const std::string& data) {
  return ~CRC32Update(0xFFFFFFFF, data.data(), static_cast<int32_t>(data.size()));
}

// Little-endian 16- and 32-bit values written over b at `at`, to rewrite
// single fields of a built archive.
inline void Put16At(std::vector<uint8_t>& b, uint64_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32At(std::vector<uint8_t>& b, uint64_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Pseudo-random bytes that deflate poorly, reproducible from the seed.
inline std::string NoiseBytes(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

struct ZipEntry {
  std::string name;        // stored bytes of the name
  std::string data;        // plain contents
  uint16_t method = kMethodDeflated;  // 0 and 8 are encoded; others store `data` as given
  std::string password;    // non-empty: traditional encryption
  bool dataDescriptor = false;  // flag bit 3, sizes and CRC also after the data
  uint16_t extraFlags = 0;      // OR'ed into the flags (bit 11 for UTF-8 names)
  uint16_t time = 0x6A4F;       // 13:18:30
  uint16_t date = 0x5A21;       // 2025-01-01
  uint32_t externalAttributes = 0x20;
  uint16_t versionMadeBy = 20;
  uint16_t versionNeeded = 20;
  std::string comment;
  std::vector<uint8_t> localExtra;
  std::vector<uint8_t> centralExtra;  // Zip64 block appended after it when zip64
  bool zip64 = false;  // sizes and offset as 0xFFFFFFFF plus a Zip64 block
  // The local header alone holds sentinel sizes and a Zip64 block with both
  // sizes, the central header the plain ones (Python's force_zip64).
  bool zip64Local = false;
  // Overrides of what the headers claim (damage, bombs); std::nullopt: true values.
  std::optional<std::string> rawData;  // the bytes after the local header, as given
  std::optional<uint32_t> crc;
  std::optional<uint32_t> compressedSize;
  std::optional<uint32_t> uncompressedSize;
  std::optional<uint16_t> centralNameLength;
  std::optional<uint16_t> localNameLength;
  bool omitLocalHeader = false;  // central header only (offset then points at the next record)
};

struct ZipLayout {
  std::vector<uint8_t> bytes;
  std::vector<uint64_t> localOffsets;    // of each entry's local header, in the file
  std::vector<uint64_t> centralOffsets;  // of each central header, in the file
  uint64_t directoryOffset = 0;          // in the file
  uint64_t endRecordOffset = 0;
  std::string str() const { return std::string(bytes.begin(), bytes.end()); }
};

class ZipBuilder {
 public:
  ZipBuilder& Add(ZipEntry e) {
    entries_.push_back(std::move(e));
    return *this;
  }
  ZipBuilder& Comment(std::string c) {
    comment_ = std::move(c);
    return *this;
  }
  // A stub in front; with offsetsFromArchive the recorded offsets count from
  // the end of the stub (as when a stub is glued in front of a finished
  // archive), otherwise from the start of the file.
  ZipBuilder& Prefix(std::string stub, bool offsetsFromArchive) {
    prefix_ = std::move(stub);
    offsetsFromArchive_ = offsetsFromArchive;
    return *this;
  }
  // Zip64 end record and locator in front of the end record.
  ZipBuilder& Zip64Records(bool on = true) {
    zip64Records_ = on;
    return *this;
  }
  // Overrides of the end record's counts (0xFFFF tests).
  ZipBuilder& EndRecordEntries(uint16_t n) {
    endEntries_ = n;
    return *this;
  }

  ZipLayout Build() const {
    ZipLayout out;
    std::vector<uint8_t>& b = out.bytes;
    b.insert(b.end(), prefix_.begin(), prefix_.end());
    const uint64_t base = offsetsFromArchive_ ? prefix_.size() : 0;
    std::vector<TCentralFileHeader> centrals;
    for (const ZipEntry& e : entries_) {
      const std::string payload = Payload(e);
      const uint32_t crc = e.crc.value_or(Crc32Of(e.data));
      TLocalFileHeader lh;
      lh.VersionNeeded = e.versionNeeded;
      lh.Flags = Flags(e);
      lh.Method = e.method;
      lh.ModTime = e.time;
      lh.ModDate = e.date;
      lh.Crc32 = crc;
      lh.CompressedSize = e.compressedSize.value_or(static_cast<uint32_t>(payload.size()));
      lh.UncompressedSize = e.uncompressedSize.value_or(static_cast<uint32_t>(e.data.size()));
      lh.NameLength = e.localNameLength.value_or(static_cast<uint16_t>(e.name.size()));
      std::vector<uint8_t> localExtra = e.localExtra;
      const uint32_t plainCompressed = lh.CompressedSize, plainUncompressed = lh.UncompressedSize;
      if (e.zip64Local) {
        std::vector<uint8_t> z;
        Put64(z, lh.UncompressedSize);
        Put64(z, lh.CompressedSize);
        PutExtraBlock(localExtra, kExtraZip64, z);
        lh.CompressedSize = lh.UncompressedSize = kSentinel32;
      }
      lh.ExtraLength = static_cast<uint16_t>(localExtra.size());
      out.localOffsets.push_back(b.size());
      const uint64_t offset = b.size() - base;
      if (!e.omitLocalHeader) {
        PutLocalFileHeader(b, lh);
        b.insert(b.end(), e.name.begin(), e.name.end());
        b.insert(b.end(), localExtra.begin(), localExtra.end());
        b.insert(b.end(), payload.begin(), payload.end());
        if (e.dataDescriptor) {
          TDataDescriptor dd;
          dd.Crc32 = crc;
          dd.CompressedSize = plainCompressed;
          dd.UncompressedSize = plainUncompressed;
          PutDataDescriptor(b, dd);
        }
      }
      TCentralFileHeader ch;
      ch.VersionMadeBy = e.versionMadeBy;
      ch.VersionNeeded = e.versionNeeded;
      ch.Flags = lh.Flags;
      ch.Method = e.method;
      ch.ModTime = e.time;
      ch.ModDate = e.date;
      ch.Crc32 = crc;
      ch.CompressedSize = plainCompressed;
      ch.UncompressedSize = plainUncompressed;
      ch.NameLength = e.centralNameLength.value_or(static_cast<uint16_t>(e.name.size()));
      ch.CommentLength = static_cast<uint16_t>(e.comment.size());
      ch.ExternalAttributes = e.externalAttributes;
      ch.LocalHeaderOffset = static_cast<uint32_t>(offset);
      if (e.zip64) {
        ch.UncompressedSize = ch.CompressedSize = ch.LocalHeaderOffset = kSentinel32;
      }
      centrals.push_back(ch);
    }
    out.directoryOffset = b.size();
    for (size_t i = 0; i < entries_.size(); ++i) {
      const ZipEntry& e = entries_[i];
      std::vector<uint8_t> extra = e.centralExtra;
      if (e.zip64) {
        std::vector<uint8_t> z;
        Put64(z, e.uncompressedSize.value_or(static_cast<uint32_t>(e.data.size())));
        Put64(z, e.compressedSize.value_or(static_cast<uint32_t>(Payload(e).size())));
        Put64(z, out.localOffsets[i] - base);
        PutExtraBlock(extra, kExtraZip64, z);
      }
      TCentralFileHeader ch = centrals[i];
      ch.ExtraLength = static_cast<uint16_t>(extra.size());
      out.centralOffsets.push_back(b.size());
      PutCentralFileHeader(b, ch);
      b.insert(b.end(), e.name.begin(), e.name.end());
      b.insert(b.end(), extra.begin(), extra.end());
      b.insert(b.end(), e.comment.begin(), e.comment.end());
    }
    const uint64_t dirSize = b.size() - out.directoryOffset;
    if (zip64Records_) {
      const uint64_t z64Offset = b.size();
      TZip64EndOfCentralDir z;
      z.VersionMadeBy = z.VersionNeeded = 45;
      z.EntriesOnDisk = z.TotalEntries = entries_.size();
      z.DirectorySize = dirSize;
      z.DirectoryOffset = out.directoryOffset - base;
      PutZip64EndOfCentralDir(b, z);
      TZip64Locator loc;
      loc.Zip64RecordOffset = z64Offset - base;
      loc.TotalDisks = 1;
      PutZip64Locator(b, loc);
    }
    out.endRecordOffset = b.size();
    TEndOfCentralDir end;
    end.EntriesOnDisk = end.TotalEntries =
        endEntries_.value_or(static_cast<uint16_t>(entries_.size()));
    end.DirectorySize = static_cast<uint32_t>(dirSize);
    end.DirectoryOffset = static_cast<uint32_t>(out.directoryOffset - base);
    end.CommentLength = static_cast<uint16_t>(comment_.size());
    PutEndOfCentralDir(b, end);
    b.insert(b.end(), comment_.begin(), comment_.end());
    return out;
  }

  // Builds and writes the archive to path.
  ZipLayout Save(const std::string& path) const {
    ZipLayout layout = Build();
    WriteFile(path, layout.str());
    return layout;
  }

 private:
  static uint16_t Flags(const ZipEntry& e) {
    uint16_t f = e.extraFlags;
    if (!e.password.empty()) f |= kFlagEncrypted;
    if (e.dataDescriptor) f |= kFlagDataDescriptor;
    return f;
  }

  // The bytes after the local header: encryption header and encrypted data
  // when a password is set, the compressed (or stored) data otherwise.
  static std::string Payload(const ZipEntry& e) {
    if (e.rawData) return *e.rawData;
    std::string body = e.method == kMethodDeflated ? Deflate(e.data)
                                                   : e.data;  // stored, or given as is
    if (e.password.empty()) return body;
    std::string header = NoiseBytes(kEncryptionHeaderSize, static_cast<uint32_t>(e.name.size()));
    const uint32_t crc = e.crc.value_or(Crc32Of(e.data));
    header[11] = static_cast<char>(e.dataDescriptor ? (e.time >> 8) : (crc >> 24));
    std::string all = header + body;
    TZFKeys keys;
    InitKeys(e.password, keys);
    EncryptBuffer(all.data(), static_cast<int64_t>(all.size()), keys);
    return all;
  }

  std::vector<ZipEntry> entries_;
  std::string comment_;
  std::string prefix_;
  bool offsetsFromArchive_ = true;
  bool zip64Records_ = false;
  std::optional<uint16_t> endEntries_;
};

}  // namespace zf::test
