// The ZIP on-disk format as the engine reads it (PKWARE APPNOTE with the
// Zip64 extensions): every format constant in one place, one plain struct
// per fixed-size record, readers over a byte span with explicit
// little-endian field reads, and writers that produce the same bytes.
//
// The readers state what the bytes say and nothing more: signatures are
// read, not checked, and sentinels are kept as stored. Which checks to make
// and what to do about damage is decided by the directory manager and the
// entry codec. The only record the engine itself writes into an archive is
// the end record of a new, empty archive; the other writers serve the tools
// and the tests that build archives byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zf {

// ---- signatures: "PK" followed by two record-specific bytes ----------------
inline constexpr uint32_t kLocalFileHeaderSignature = 0x04034B50;
// Taken for a local header by the self-extractor stub detection only.
inline constexpr uint32_t kLocalFileHeaderAltSignature = 0x05045C61;
inline constexpr uint32_t kCentralFileHeaderSignature = 0x02014B50;
inline constexpr uint32_t kEndOfCentralDirSignature = 0x06054B50;
inline constexpr uint32_t kZip64EndOfCentralDirSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
// De-facto standard, optional before a descriptor; also the spanning marker
// that other tools put at the start of a first volume.
inline constexpr uint32_t kDataDescriptorSignature = 0x08074B50;

// ---- fixed record sizes, without the variable parts behind them ------------
inline constexpr size_t kLocalFileHeaderSize = 30;     // + name + extra
inline constexpr size_t kCentralFileHeaderSize = 46;   // + name + extra + comment
inline constexpr size_t kEndOfCentralDirSize = 22;     // + archive comment
inline constexpr size_t kZip64EndOfCentralDirSize = 56;  // no extensible data sector
inline constexpr size_t kZip64LocatorSize = 20;
inline constexpr size_t kDataDescriptorSize = 16;      // with its signature
inline constexpr size_t kExtraBlockHeaderSize = 4;     // ID + data size

// ---- compression methods ---------------------------------------------------
// Which of them the engine decodes is the registry's to say
// (methods/Decompressor.h); every one is named for listings.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodShrunk = 1;
inline constexpr uint16_t kMethodReduced1 = 2;  // to kMethodReduced4 = 5: four factors
inline constexpr uint16_t kMethodReduced4 = 5;
inline constexpr uint16_t kMethodImploded = 6;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kMethodDeflate64 = 9;   // 64 KiB window, longer lengths and distances
inline constexpr uint16_t kMethodBZip2 = 12;
inline constexpr uint16_t kMethodLzma = 14;  // a 4-byte header and the properties, then raw LZMA
inline constexpr uint16_t kMethodZstd = 93;
inline constexpr uint16_t kMethodXz = 95;    // a whole .xz stream
inline constexpr uint16_t kMethodPpmd = 98;  // PPMd variant I revision 1
inline constexpr uint16_t kMethodAes = 99;  // AES encryption; the real method is in an extra block
// Any other method is the block-structured format, and only when the entry
// needs this version or more to extract.
inline constexpr uint16_t kBlockFormatMinVersion = 11;

// The header at the start of a block-structured entry's data: fields at
// fixed offsets, little-endian (bytes 4-7, 12-15 and 44-49 are not read).
// Block-count blocks follow, each a 32-bit length and that many bytes: one
// complete zlib stream, or the plain bytes when the blocks are stored.
inline constexpr size_t kBlockFormatHeaderSize = 50;
inline constexpr size_t kBlockFormatCheckSize = 16;
inline constexpr uint16_t kBlockFormatNotEncrypted = 0xFFFF;
struct TBlockFormatHeader {
  uint32_t BlockSize = 0;   // offset 0: uncompressed bytes of every block but the last
  uint32_t TotalSize = 0;   // 8: uncompressed bytes of the entry
  uint32_t BlockCount = 0;  // 16
  uint8_t Algorithm = 0;    // 20: 0 zlib
  uint8_t Compressed = 0;   // 21: 0 stored blocks
  uint16_t Encryption = kBlockFormatNotEncrypted;  // 22: the cipher's algorithm id
  uint32_t CheckCrc = 0;  // 24: CRC-32 of the decrypted check block
  uint8_t Check[kBlockFormatCheckSize] = {};  // 28
};

// The short name a listing shows for a method, at most eight characters:
// "Stored", "Deflate", "Deflat64", ...; "M" and the number for one without
// a name ("M7").
std::string MethodName(uint16_t method);

// ---- version made by: the writer's host system in the high byte -----------
inline constexpr uint8_t kHostMsDos = 0;  // external attributes are DOS/Windows bits
inline constexpr uint8_t kHostUnix = 3;   // ... with the Unix mode in their high 16 bits
inline constexpr uint8_t kHostOsX = 19;   // macOS: Unix mode as on Unix
inline constexpr uint8_t HostOf(uint16_t versionMadeBy) {
  return static_cast<uint8_t>(versionMadeBy >> 8);
}
inline constexpr uint16_t MadeBy(uint8_t host, uint8_t version) {
  return static_cast<uint16_t>(host << 8 | version);
}

// ---- Unix mode bits (external attributes >> 16, host kHostUnix) -----------
inline constexpr uint32_t kUnixTypeMask = 0170000;
inline constexpr uint32_t kUnixRegular = 0100000;
inline constexpr uint32_t kUnixDirectory = 0040000;
inline constexpr uint32_t kUnixSymlink = 0120000;
inline constexpr uint32_t kUnixSetId = 06000;       // set-user-id, set-group-id
inline constexpr uint32_t kUnixPermissions = 0777;  // read, write, execute for all three
inline constexpr uint32_t UnixModeOf(uint32_t externalAttributes) {
  return externalAttributes >> 16;
}

// ---- general purpose flag bits ---------------------------------------------
inline constexpr uint16_t kFlagEncrypted = 0x0001;       // traditional PKWARE
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;  // sizes and CRC follow the data
inline constexpr uint16_t kFlagUtf8Name = 0x0800;        // name and comment are UTF-8
inline constexpr uint16_t kFlagLzmaEndMarker = 0x0002;   // LZMA: the stream ends with its marker

// ---- extra field block IDs -------------------------------------------------
inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraUnicodePath = 0x7075;  // the name in UTF-8, see ReadUnicodePath
inline constexpr uint16_t kExtraAes = 0x9901;  // WinZip AES: see ReadAesExtra

// ---- sentinels: the true value is in the Zip64 records ---------------------
inline constexpr uint32_t kSentinel32 = 0xFFFFFFFF;  // sizes and offsets
inline constexpr uint16_t kSentinel16 = 0xFFFF;      // disk numbers and counts

// ---- little-endian access --------------------------------------------------
// Get*: the value at p, which the caller has checked holds enough bytes.
// Put*: appends the value to out.
inline uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) {
  return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}
inline void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
inline void Put64(std::vector<uint8_t>& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

// ---- records -----------------------------------------------------------------
// Fields in file order, each the width it has on disk.

struct TLocalFileHeader {
  uint32_t Signature = kLocalFileHeaderSignature;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
};

// The 46-byte image a directory item keeps: read and written unchanged,
// sentinels included.
struct TCentralFileHeader {
  uint32_t Signature = kCentralFileHeaderSignature;
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  uint32_t LocalHeaderOffset = 0;
};

struct TEndOfCentralDir {
  uint32_t Signature = kEndOfCentralDirSignature;
  uint16_t ThisDisk = 0;
  uint16_t DirectoryDisk = 0;  // disk where the central directory starts
  uint16_t EntriesOnDisk = 0;
  uint16_t TotalEntries = 0;
  uint32_t DirectorySize = 0;
  uint32_t DirectoryOffset = 0;
  uint16_t CommentLength = 0;
};

struct TZip64EndOfCentralDir {
  uint32_t Signature = kZip64EndOfCentralDirSignature;
  uint64_t RecordSize = kZip64EndOfCentralDirSize - 12;  // bytes after this field
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint32_t ThisDisk = 0;
  uint32_t DirectoryDisk = 0;
  uint64_t EntriesOnDisk = 0;
  uint64_t TotalEntries = 0;
  uint64_t DirectorySize = 0;
  uint64_t DirectoryOffset = 0;
};

struct TZip64Locator {
  uint32_t Signature = kZip64LocatorSignature;
  uint32_t Zip64RecordDisk = 0;
  uint64_t Zip64RecordOffset = 0;
  uint32_t TotalDisks = 0;
};

struct TDataDescriptor {
  uint32_t Signature = kDataDescriptorSignature;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
};

// Readers: false, with out untouched, when bytes is shorter than the record;
// bytes beyond the record are ignored.
bool ReadLocalFileHeader(std::span<const uint8_t> bytes, TLocalFileHeader& out);
bool ReadCentralFileHeader(std::span<const uint8_t> bytes, TCentralFileHeader& out);
bool ReadEndOfCentralDir(std::span<const uint8_t> bytes, TEndOfCentralDir& out);
bool ReadZip64EndOfCentralDir(std::span<const uint8_t> bytes, TZip64EndOfCentralDir& out);
bool ReadZip64Locator(std::span<const uint8_t> bytes, TZip64Locator& out);
bool ReadDataDescriptor(std::span<const uint8_t> bytes, TDataDescriptor& out);
bool ReadBlockFormatHeader(std::span<const uint8_t> bytes, TBlockFormatHeader& out);

// Writers: append the record's fixed bytes to out.
void PutLocalFileHeader(std::vector<uint8_t>& out, const TLocalFileHeader& h);
void PutCentralFileHeader(std::vector<uint8_t>& out, const TCentralFileHeader& h);
void PutEndOfCentralDir(std::vector<uint8_t>& out, const TEndOfCentralDir& r);
void PutZip64EndOfCentralDir(std::vector<uint8_t>& out, const TZip64EndOfCentralDir& r);
void PutZip64Locator(std::vector<uint8_t>& out, const TZip64Locator& r);
void PutDataDescriptor(std::vector<uint8_t>& out, const TDataDescriptor& r);
// All 50 bytes; those no reader takes are zero.
void PutBlockFormatHeader(std::vector<uint8_t>& out, const TBlockFormatHeader& h);

// ---- extra field -------------------------------------------------------------

struct TExtraBlock {
  uint16_t HeaderID = 0;
  std::vector<uint8_t> Data;  // as kept: possibly cut short, see below
  bool CutShort = false;      // declared more data than the field holds
  uint16_t DataSize() const { return static_cast<uint16_t>(Data.size()); }
};

struct TExtraField {
  std::vector<TExtraBlock> Blocks;  // every block, in file order
  // The last block declared more data than the field holds and was cut to
  // the bytes that remain.
  bool LastBlockCut = false;
  // 1 to 3 bytes at the end, too few for a block header; not read.
  size_t SkippedTail = 0;
};

// Splits an extra field into its blocks. Nothing past the field is read.
TExtraField ParseExtraField(std::span<const uint8_t> field);

// Appends one block (ID, size, data) as it appears in an extra field.
void PutExtraBlock(std::vector<uint8_t>& out, uint16_t headerId, std::span<const uint8_t> data);

// ---- Zip64 extended information ------------------------------------------------

// The values a central header's Zip64 block (kExtraZip64) holds; a part is
// present only when it was read from the block.
struct TZip64ExtendedInfo {
  std::optional<uint64_t> UncompressedSize;
  std::optional<uint64_t> CompressedSize;
  std::optional<uint64_t> LocalHeaderOffset;
  std::optional<uint32_t> DiskNumberStart;
};

// Reads the block's data for header. The parts come in this order, each
// only when its field in the header holds the sentinel: uncompressed size
// (8 bytes), compressed size (8), local header offset (8), disk number start
// (4). A running position starts at 0 and a part is taken only while the
// position is below the data size and the part lies wholly inside the data;
// the first part that does not fit ends the reading, as the parts after it
// can only lie further on.
TZip64ExtendedInfo ReadZip64ExtendedInfo(std::span<const uint8_t> data,
                                         const TCentralFileHeader& header);

// ---- WinZip AES ---------------------------------------------------------------
// An AES entry has method 99 and this block: vendor version (2 bytes: 1 for
// AE-1, 2 for AE-2), vendor id "AE", strength (1 byte: 1, 2, 3 for 128,
// 192, 256-bit keys) and the real compression method (2 bytes). Its data is
// a salt (half the key's length), a 2-byte password verifier, the
// ciphertext and a 10-byte authentication code.
inline constexpr uint16_t kAesVersion1 = 1;  // AE-1: the CRC-32 is stored and checked
inline constexpr uint16_t kAesVersion2 = 2;  // AE-2: the CRC-32 is 0, the code stands for it
inline constexpr size_t kAesVerifierSize = 2;
inline constexpr size_t kAesAuthCodeSize = 10;
struct TAesExtra {
  uint16_t VendorVersion = 0;
  uint8_t Strength = 0;
  uint16_t Method = 0;
};
// The block's data read; none when it is shorter than 7 bytes, its vendor
// id is not "AE", or its version or strength is none of the above.
std::optional<TAesExtra> ReadAesExtra(std::span<const uint8_t> data);
// The key length in bits for a strength of 1, 2 or 3.
inline constexpr int AesKeyBits(uint8_t strength) { return 64 + 64 * strength; }

// ---- names ---------------------------------------------------------------------

// A stored name as a string, cut at its first zero byte.
std::string NameFromBytes(std::span<const uint8_t> bytes);

// The UTF-8 name a Unicode Path block (kExtraUnicodePath) gives an entry
// whose stored name is storedName (all its bytes, as the header holds
// them). The block is a version byte (1), the CRC-32 of the stored name,
// and the name in UTF-8 to the block's end. None when the version is
// another, the block is shorter than that or holds no name, or the CRC-32
// is not the stored name's: the stored name was changed by a program that
// left the block as it was, so the block is stale.
std::optional<std::string> ReadUnicodePath(std::span<const uint8_t> data,
                                           std::span<const uint8_t> storedName);

// ---- the empty archive ----------------------------------------------------------

// The end record that closes a new archive holding no entry: this disk and
// the directory's disk are volume (0xFFFF above 65534), all counts and
// sizes 0, no comment, and the directory offset is directoryOffset, the
// position of the record itself (0, or the length of a stub in front;
// 0xFFFFFFFF beyond 32 bits).
TEndOfCentralDir EmptyArchiveEndRecord(uint32_t volume, uint64_t directoryOffset);
// The same as its 22 bytes.
std::vector<uint8_t> EmptyArchiveEndRecordBytes(uint32_t volume, uint64_t directoryOffset);

}  // namespace zf
