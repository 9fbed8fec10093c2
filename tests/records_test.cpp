// The ZIP on-disk records: every reader against bytes written out in the
// test, the writers against the same bytes, the extra-field and Zip64 block
// parsers on damaged input, names, and the end record of a new, empty
// archive.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "archive/ZFRecords.h"

namespace zf {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Le16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes Le64(uint64_t v) { return Cat({Le32(uint32_t(v)), Le32(uint32_t(v >> 32))}); }

// ---- format constants ------------------------------------------------------------

TEST(Constants, SignaturesArePkAndTwoBytes) {
  for (uint32_t sig : {kLocalFileHeaderSignature, kCentralFileHeaderSignature,
                       kEndOfCentralDirSignature, kZip64EndOfCentralDirSignature,
                       kZip64LocatorSignature, kDataDescriptorSignature}) {
    const Bytes b = Le32(sig);
    EXPECT_EQ(b[0], 'P');
    EXPECT_EQ(b[1], 'K');
  }
  EXPECT_EQ(Le32(kLocalFileHeaderSignature), (Bytes{'P', 'K', 3, 4}));
  EXPECT_EQ(Le32(kCentralFileHeaderSignature), (Bytes{'P', 'K', 1, 2}));
  EXPECT_EQ(Le32(kEndOfCentralDirSignature), (Bytes{'P', 'K', 5, 6}));
  EXPECT_EQ(Le32(kZip64EndOfCentralDirSignature), (Bytes{'P', 'K', 6, 6}));
  EXPECT_EQ(Le32(kZip64LocatorSignature), (Bytes{'P', 'K', 6, 7}));
  EXPECT_EQ(Le32(kDataDescriptorSignature), (Bytes{'P', 'K', 7, 8}));
}

// ---- little-endian helpers ---------------------------------------------------------

TEST(LittleEndian, GetAndPut) {
  const Bytes b = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
  EXPECT_EQ(Get16(b.data()), 0x0201);
  EXPECT_EQ(Get32(b.data()), 0x04030201u);
  EXPECT_EQ(Get64(b.data()), 0x8807060504030201ull);
  Bytes out;
  Put16(out, 0x0201);
  Put32(out, 0x06050403);
  EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 5, 6}));
  out.clear();
  Put64(out, 0x8807060504030201ull);
  EXPECT_EQ(out, b);
}

// ---- local file header --------------------------------------------------------------

const Bytes kLocalBytes = Cat({
    Le32(0x04034B50),  // signature
    Le16(20),          // version needed
    Le16(0x0009),      // flags: encrypted, data descriptor
    Le16(8),           // method
    Le16(0x7A3C),      // time
    Le16(0x5A21),      // date
    Le32(0xCBF43926),  // CRC-32
    Le32(0x11223344),  // compressed size
    Le32(0x55667788),  // uncompressed size
    Le16(5),           // name length
    Le16(9),           // extra length
});

TEST(LocalFileHeader, ReadsEveryField) {
  ASSERT_EQ(kLocalBytes.size(), 30u);
  TLocalFileHeader h;
  ASSERT_TRUE(ReadLocalFileHeader(kLocalBytes, h));
  EXPECT_EQ(h.Signature, kLocalFileHeaderSignature);
  EXPECT_EQ(h.VersionNeeded, 20);
  EXPECT_EQ(h.Flags, kFlagEncrypted | kFlagDataDescriptor);
  EXPECT_EQ(h.Method, kMethodDeflated);
  EXPECT_EQ(h.ModTime, 0x7A3C);
  EXPECT_EQ(h.ModDate, 0x5A21);
  EXPECT_EQ(h.Crc32, 0xCBF43926u);
  EXPECT_EQ(h.CompressedSize, 0x11223344u);
  EXPECT_EQ(h.UncompressedSize, 0x55667788u);
  EXPECT_EQ(h.NameLength, 5);
  EXPECT_EQ(h.ExtraLength, 9);
}

TEST(LocalFileHeader, WritesTheSameBytes) {
  TLocalFileHeader h;
  ASSERT_TRUE(ReadLocalFileHeader(kLocalBytes, h));
  Bytes out;
  PutLocalFileHeader(out, h);
  EXPECT_EQ(out, kLocalBytes);
}

TEST(LocalFileHeader, SignatureIsReadNotChecked) {
  Bytes b = kLocalBytes;
  b[0] = 'X';
  TLocalFileHeader h;
  ASSERT_TRUE(ReadLocalFileHeader(b, h));
  EXPECT_EQ(h.Signature, 0x04034B58u);
}

TEST(LocalFileHeader, ShortSpanFails) {
  TLocalFileHeader h;
  h.NameLength = 77;
  EXPECT_FALSE(ReadLocalFileHeader(std::span(kLocalBytes).first(29), h));
  EXPECT_FALSE(ReadLocalFileHeader({}, h));
  EXPECT_EQ(h.NameLength, 77);  // untouched
}

// ---- central directory file header ----------------------------------------------------

const Bytes kCentralBytes = Cat({
    Le32(0x02014B50),  // signature
    Le16(0x0314),      // version made by: Unix, 2.0
    Le16(45),          // version needed
    Le16(0x0801),      // flags: encrypted, UTF-8
    Le16(0),           // method
    Le16(0x1234),      // time
    Le16(0x5678),      // date
    Le32(0xDEADBEEF),  // CRC-32
    Le32(0xFFFFFFFF),  // compressed size (Zip64)
    Le32(0x00010000),  // uncompressed size
    Le16(3),           // name length
    Le16(12),          // extra length
    Le16(4),           // comment length
    Le16(0xFFFF),      // disk number start (Zip64)
    Le16(0x0001),      // internal attributes
    Le32(0x81A40020),  // external attributes
    Le32(0x9ABCDEF0),  // local header offset
});

TEST(CentralFileHeader, ReadsEveryField) {
  ASSERT_EQ(kCentralBytes.size(), 46u);
  TCentralFileHeader h;
  ASSERT_TRUE(ReadCentralFileHeader(kCentralBytes, h));
  EXPECT_EQ(h.Signature, kCentralFileHeaderSignature);
  EXPECT_EQ(h.VersionMadeBy, 0x0314);
  EXPECT_EQ(h.VersionNeeded, 45);
  EXPECT_EQ(h.Flags, kFlagEncrypted | kFlagUtf8Name);
  EXPECT_EQ(h.Method, kMethodStored);
  EXPECT_EQ(h.ModTime, 0x1234);
  EXPECT_EQ(h.ModDate, 0x5678);
  EXPECT_EQ(h.Crc32, 0xDEADBEEFu);
  EXPECT_EQ(h.CompressedSize, kSentinel32);
  EXPECT_EQ(h.UncompressedSize, 0x00010000u);
  EXPECT_EQ(h.NameLength, 3);
  EXPECT_EQ(h.ExtraLength, 12);
  EXPECT_EQ(h.CommentLength, 4);
  EXPECT_EQ(h.DiskNumberStart, kSentinel16);
  EXPECT_EQ(h.InternalAttributes, 1);
  EXPECT_EQ(h.ExternalAttributes, 0x81A40020u);
  EXPECT_EQ(h.LocalHeaderOffset, 0x9ABCDEF0u);
}

TEST(CentralFileHeader, ImageRoundTripsUnchanged) {
  TCentralFileHeader h;
  ASSERT_TRUE(ReadCentralFileHeader(kCentralBytes, h));
  Bytes out;
  PutCentralFileHeader(out, h);
  EXPECT_EQ(out, kCentralBytes);
}

TEST(CentralFileHeader, ShortSpanFailsLongSpanReadsTheFirst46Bytes) {
  TCentralFileHeader h;
  EXPECT_FALSE(ReadCentralFileHeader(std::span(kCentralBytes).first(45), h));
  const Bytes longer = Cat({kCentralBytes, Bytes{'a', 'b', 'c'}});
  ASSERT_TRUE(ReadCentralFileHeader(longer, h));
  EXPECT_EQ(h.LocalHeaderOffset, 0x9ABCDEF0u);
}

// ---- end records --------------------------------------------------------------------

const Bytes kEndBytes = Cat({
    Le32(0x06054B50),  // signature
    Le16(2),           // this disk
    Le16(1),           // directory disk
    Le16(7),           // entries on this disk
    Le16(0xFFFF),      // total entries
    Le32(0x000004D2),  // directory size
    Le32(0xFFFFFFFF),  // directory offset
    Le16(11),          // comment length
});

TEST(EndOfCentralDir, ReadsEveryFieldAndWritesTheSameBytes) {
  ASSERT_EQ(kEndBytes.size(), 22u);
  TEndOfCentralDir r;
  ASSERT_TRUE(ReadEndOfCentralDir(kEndBytes, r));
  EXPECT_EQ(r.Signature, kEndOfCentralDirSignature);
  EXPECT_EQ(r.ThisDisk, 2);
  EXPECT_EQ(r.DirectoryDisk, 1);
  EXPECT_EQ(r.EntriesOnDisk, 7);
  EXPECT_EQ(r.TotalEntries, kSentinel16);
  EXPECT_EQ(r.DirectorySize, 1234u);
  EXPECT_EQ(r.DirectoryOffset, kSentinel32);
  EXPECT_EQ(r.CommentLength, 11);
  Bytes out;
  PutEndOfCentralDir(out, r);
  EXPECT_EQ(out, kEndBytes);
  EXPECT_FALSE(ReadEndOfCentralDir(std::span(kEndBytes).first(21), r));
}

const Bytes kZip64EndBytes = Cat({
    Le32(0x06064B50),              // signature
    Le64(44),                      // size of the remaining record
    Le16(0x002D),                  // version made by
    Le16(45),                      // version needed
    Le32(3),                       // this disk
    Le32(2),                       // directory disk
    Le64(0x100000001ull),          // entries on this disk
    Le64(0x200000003ull),          // total entries
    Le64(0x0000000500000000ull),   // directory size
    Le64(0x0123456789ABCDEFull),   // directory offset
});

TEST(Zip64EndOfCentralDir, ReadsEveryFieldAndWritesTheSameBytes) {
  ASSERT_EQ(kZip64EndBytes.size(), 56u);
  TZip64EndOfCentralDir r;
  ASSERT_TRUE(ReadZip64EndOfCentralDir(kZip64EndBytes, r));
  EXPECT_EQ(r.Signature, kZip64EndOfCentralDirSignature);
  EXPECT_EQ(r.RecordSize, 44u);
  EXPECT_EQ(r.VersionMadeBy, 0x2D);
  EXPECT_EQ(r.VersionNeeded, 45);
  EXPECT_EQ(r.ThisDisk, 3u);
  EXPECT_EQ(r.DirectoryDisk, 2u);
  EXPECT_EQ(r.EntriesOnDisk, 0x100000001ull);
  EXPECT_EQ(r.TotalEntries, 0x200000003ull);
  EXPECT_EQ(r.DirectorySize, 0x0000000500000000ull);
  EXPECT_EQ(r.DirectoryOffset, 0x0123456789ABCDEFull);
  Bytes out;
  PutZip64EndOfCentralDir(out, r);
  EXPECT_EQ(out, kZip64EndBytes);
  EXPECT_FALSE(ReadZip64EndOfCentralDir(std::span(kZip64EndBytes).first(55), r));
}

TEST(Zip64EndOfCentralDir, DefaultRecordSizeCountsTheBytesAfterTheField) {
  Bytes out;
  PutZip64EndOfCentralDir(out, TZip64EndOfCentralDir{});
  ASSERT_EQ(out.size(), kZip64EndOfCentralDirSize);
  EXPECT_EQ(Get64(out.data() + 4), 44u);
}

const Bytes kLocatorBytes = Cat({
    Le32(0x07064B50),             // signature
    Le32(4),                      // disk holding the Zip64 record
    Le64(0x00000001FFFFFFF0ull),  // offset of the Zip64 record
    Le32(5),                      // total disks
});

TEST(Zip64Locator, ReadsEveryFieldAndWritesTheSameBytes) {
  ASSERT_EQ(kLocatorBytes.size(), 20u);
  TZip64Locator r;
  ASSERT_TRUE(ReadZip64Locator(kLocatorBytes, r));
  EXPECT_EQ(r.Signature, kZip64LocatorSignature);
  EXPECT_EQ(r.Zip64RecordDisk, 4u);
  EXPECT_EQ(r.Zip64RecordOffset, 0x00000001FFFFFFF0ull);
  EXPECT_EQ(r.TotalDisks, 5u);
  Bytes out;
  PutZip64Locator(out, r);
  EXPECT_EQ(out, kLocatorBytes);
  EXPECT_FALSE(ReadZip64Locator(std::span(kLocatorBytes).first(19), r));
}

TEST(DataDescriptor, ReadsEveryFieldAndWritesTheSameBytes) {
  const Bytes bytes = Cat({Le32(0x08074B50), Le32(0xCBF43926), Le32(100), Le32(200)});
  TDataDescriptor d;
  ASSERT_TRUE(ReadDataDescriptor(bytes, d));
  EXPECT_EQ(d.Signature, kDataDescriptorSignature);
  EXPECT_EQ(d.Crc32, 0xCBF43926u);
  EXPECT_EQ(d.CompressedSize, 100u);
  EXPECT_EQ(d.UncompressedSize, 200u);
  Bytes out;
  PutDataDescriptor(out, d);
  EXPECT_EQ(out, bytes);
  EXPECT_FALSE(ReadDataDescriptor(std::span(bytes).first(15), d));
}

TEST(BlockFormatHeader, ReadsEveryFieldAndWritesTheSameBytes) {
  Bytes check(16);
  for (size_t i = 0; i < check.size(); ++i) check[i] = static_cast<uint8_t>(0xA0 + i);
  const Bytes bytes = Cat({Le32(4096), Le32(0), Le32(10000), Le32(0), Le32(3), {0, 1},
                           Le16(0x6601), Le32(0x12345678), check, Bytes(6)});
  ASSERT_EQ(bytes.size(), kBlockFormatHeaderSize);
  TBlockFormatHeader h;
  ASSERT_TRUE(ReadBlockFormatHeader(bytes, h));
  EXPECT_EQ(h.BlockSize, 4096u);
  EXPECT_EQ(h.TotalSize, 10000u);
  EXPECT_EQ(h.BlockCount, 3u);
  EXPECT_EQ(h.Algorithm, 0);
  EXPECT_EQ(h.Compressed, 1);
  EXPECT_EQ(h.Encryption, 0x6601);
  EXPECT_EQ(h.CheckCrc, 0x12345678u);
  EXPECT_EQ(Bytes(std::begin(h.Check), std::end(h.Check)), check);
  Bytes out;
  PutBlockFormatHeader(out, h);
  EXPECT_EQ(out, bytes);
  EXPECT_FALSE(ReadBlockFormatHeader(std::span(bytes).first(49), h));
}

TEST(Methods, NamesForListings) {
  const struct {
    uint16_t method;
    const char* name;
  } cases[] = {{kMethodStored, "Stored"}, {kMethodShrunk, "Shrunk"}, {2, "Reduced"},
               {5, "Reduced"},           {kMethodImploded, "Implode"}, {7, "M7"},
               {kMethodDeflated, "Deflate"}, {kMethodDeflate64, "Deflat64"},
               {kMethodBZip2, "BZip2"},  {kMethodLzma, "LZMA"},     {kMethodZstd, "Zstd"},
               {kMethodXz, "XZ"},        {kMethodPpmd, "PPMd"},     {kMethodAes, "AES"},
               {65535, "M65535"}};
  for (const auto& c : cases) {
    EXPECT_EQ(MethodName(c.method), c.name) << c.method;
    EXPECT_LE(MethodName(c.method).size(), 8u) << "the listing's column";
  }
}

// ---- extra field -------------------------------------------------------------------

TEST(ExtraField, KeepsEveryBlockInFileOrder) {
  const Bytes field = Cat({Le16(0x5455), Le16(5), Bytes{1, 2, 3, 4, 5},  // timestamp
                           Le16(0x0001), Le16(8), Le64(0x123456789ull),  // Zip64
                           Le16(0x7875), Le16(0), Bytes{}});             // empty
  const TExtraField parsed = ParseExtraField(field);
  ASSERT_EQ(parsed.Blocks.size(), 3u);
  EXPECT_EQ(parsed.Blocks[0].HeaderID, 0x5455);
  EXPECT_EQ(parsed.Blocks[0].DataSize(), 5);
  EXPECT_EQ(parsed.Blocks[0].Data, (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(parsed.Blocks[1].HeaderID, kExtraZip64);
  EXPECT_EQ(parsed.Blocks[1].Data, Le64(0x123456789ull));
  EXPECT_EQ(parsed.Blocks[2].HeaderID, 0x7875);
  EXPECT_EQ(parsed.Blocks[2].DataSize(), 0);
  EXPECT_FALSE(parsed.LastBlockCut);
  EXPECT_EQ(parsed.SkippedTail, 0u);
}

TEST(ExtraField, EmptyFieldHasNoBlocks) {
  const TExtraField parsed = ParseExtraField({});
  EXPECT_TRUE(parsed.Blocks.empty());
  EXPECT_FALSE(parsed.LastBlockCut);
  EXPECT_EQ(parsed.SkippedTail, 0u);
}

TEST(ExtraField, BlockRunningPastTheEndIsCut) {
  // The second block declares 100 bytes; 3 remain. The field lies inside a
  // larger buffer (the next central header follows) that must not be read.
  const Bytes field = Cat({Le16(0xCAFE), Le16(2), Bytes{9, 9}, Le16(0xBEEF), Le16(100),
                           Bytes{7, 8, 9}});
  const Bytes buffer = Cat({field, Le32(kCentralFileHeaderSignature)});
  const TExtraField parsed = ParseExtraField(std::span(buffer).first(field.size()));
  ASSERT_EQ(parsed.Blocks.size(), 2u);
  EXPECT_EQ(parsed.Blocks[0].Data, (Bytes{9, 9}));
  EXPECT_EQ(parsed.Blocks[1].HeaderID, 0xBEEF);
  EXPECT_EQ(parsed.Blocks[1].DataSize(), 3);
  EXPECT_EQ(parsed.Blocks[1].Data, (Bytes{7, 8, 9}));
  EXPECT_TRUE(parsed.LastBlockCut);
}

TEST(ExtraField, BlockHeaderWithNoDataLeftIsKeptEmpty) {
  const Bytes field = Cat({Le16(0x0001), Le16(16)});
  const TExtraField parsed = ParseExtraField(field);
  ASSERT_EQ(parsed.Blocks.size(), 1u);
  EXPECT_EQ(parsed.Blocks[0].HeaderID, 0x0001);
  EXPECT_EQ(parsed.Blocks[0].DataSize(), 0);
  EXPECT_TRUE(parsed.LastBlockCut);
}

TEST(ExtraField, TrailingOneToThreeBytesAreSkipped) {
  for (size_t tail = 1; tail <= 3; ++tail) {
    const Bytes block = Cat({Le16(0xAAAA), Le16(1), Bytes{0x42}});
    const Bytes field = Cat({block, Bytes(tail, 0xEE)});
    // Bytes after the field that a careless reader would take as the rest
    // of a block header.
    const Bytes buffer = Cat({field, Bytes{0x10, 0x00, 0x10, 0x00}});
    const TExtraField parsed = ParseExtraField(std::span(buffer).first(field.size()));
    ASSERT_EQ(parsed.Blocks.size(), 1u) << tail;
    EXPECT_EQ(parsed.Blocks[0].Data, Bytes{0x42});
    EXPECT_EQ(parsed.SkippedTail, tail);
    EXPECT_FALSE(parsed.LastBlockCut);
  }
  const TExtraField onlyTail = ParseExtraField(Bytes{1, 2});
  EXPECT_TRUE(onlyTail.Blocks.empty());
  EXPECT_EQ(onlyTail.SkippedTail, 2u);
}

TEST(ExtraField, PutExtraBlockWritesWhatTheParserReads) {
  Bytes field;
  PutExtraBlock(field, 0x0001, Le64(42));
  PutExtraBlock(field, 0x5455, Bytes{1});
  EXPECT_EQ(field, Cat({Le16(1), Le16(8), Le64(42), Le16(0x5455), Le16(1), Bytes{1}}));
  const TExtraField parsed = ParseExtraField(field);
  ASSERT_EQ(parsed.Blocks.size(), 2u);
  EXPECT_EQ(parsed.Blocks[0].Data, Le64(42));
}

// ---- Zip64 extended information -------------------------------------------------------

TCentralFileHeader HeaderWith(uint32_t uncompressed, uint32_t compressed, uint32_t offset,
                              uint16_t disk) {
  TCentralFileHeader h;
  h.UncompressedSize = uncompressed;
  h.CompressedSize = compressed;
  h.LocalHeaderOffset = offset;
  h.DiskNumberStart = disk;
  return h;
}

TEST(Zip64Info, AllFourPartsInOrder) {
  const Bytes data = Cat({Le64(0x100000000ull), Le64(0x200000000ull), Le64(0x300000000ull),
                          Le32(0x12345)});
  const TZip64ExtendedInfo info =
      ReadZip64ExtendedInfo(data, HeaderWith(kSentinel32, kSentinel32, kSentinel32, kSentinel16));
  EXPECT_EQ(info.UncompressedSize, 0x100000000ull);
  EXPECT_EQ(info.CompressedSize, 0x200000000ull);
  EXPECT_EQ(info.LocalHeaderOffset, 0x300000000ull);
  EXPECT_EQ(info.DiskNumberStart, 0x12345u);
}

TEST(Zip64Info, OnlyUncompressedSizeWhileCompressedSizeIsNotTheSentinel) {
  const Bytes data = Le64(0x1122334455ull);
  const TCentralFileHeader h = HeaderWith(kSentinel32, 1000, 0, 0);
  const TZip64ExtendedInfo info = ReadZip64ExtendedInfo(data, h);
  EXPECT_EQ(info.UncompressedSize, 0x1122334455ull);
  EXPECT_FALSE(info.CompressedSize.has_value());
  EXPECT_FALSE(info.LocalHeaderOffset.has_value());
  EXPECT_FALSE(info.DiskNumberStart.has_value());
  EXPECT_EQ(h.CompressedSize, 1000u);  // as the 32-bit field says
}

TEST(Zip64Info, AbsentSentinelsAreNotInTheBlock) {
  // Only the offset is a sentinel: its value is the first 8 bytes.
  const Bytes data = Cat({Le64(0xABCDEF012ull), Le64(999)});
  const TZip64ExtendedInfo info = ReadZip64ExtendedInfo(data, HeaderWith(5, 6, kSentinel32, 0));
  EXPECT_FALSE(info.UncompressedSize.has_value());
  EXPECT_FALSE(info.CompressedSize.has_value());
  EXPECT_EQ(info.LocalHeaderOffset, 0xABCDEF012ull);
  EXPECT_FALSE(info.DiskNumberStart.has_value());
  // Only the disk number: its 4 bytes come first.
  const TZip64ExtendedInfo disk = ReadZip64ExtendedInfo(Le32(70000), HeaderWith(1, 2, 3, kSentinel16));
  EXPECT_EQ(disk.DiskNumberStart, 70000u);
}

TEST(Zip64Info, NoSentinelReadsNothing) {
  const TZip64ExtendedInfo info = ReadZip64ExtendedInfo(Le64(1), HeaderWith(1, 2, 3, 4));
  EXPECT_FALSE(info.UncompressedSize || info.CompressedSize || info.LocalHeaderOffset ||
               info.DiskNumberStart);
}

TEST(Zip64Info, BlockShorterThanItsSentinelsNeed) {
  const TCentralFileHeader all = HeaderWith(kSentinel32, kSentinel32, kSentinel32, kSentinel16);
  // 8 bytes: the uncompressed size only, the running position then reaches
  // the data size.
  TZip64ExtendedInfo info = ReadZip64ExtendedInfo(Le64(77), all);
  EXPECT_EQ(info.UncompressedSize, 77u);
  EXPECT_FALSE(info.CompressedSize || info.LocalHeaderOffset || info.DiskNumberStart);

  // 12 bytes: the position (8) is below the size, but the compressed size
  // would run 4 bytes past the block; it is not read, and neither are the
  // parts behind it, although 4 bytes would hold the disk number.
  const Bytes twelve = Cat({Le64(77), Le32(0xFFFFFFFF)});
  // Bytes after the block that a careless reader would take.
  const Bytes buffer = Cat({twelve, Le32(0x01010101), Le64(0x0202020202020202ull)});
  info = ReadZip64ExtendedInfo(std::span(buffer).first(twelve.size()), all);
  EXPECT_EQ(info.UncompressedSize, 77u);
  EXPECT_FALSE(info.CompressedSize || info.LocalHeaderOffset || info.DiskNumberStart);

  // 4 bytes where the uncompressed size needs 8: nothing at all.
  info = ReadZip64ExtendedInfo(Le32(5), HeaderWith(kSentinel32, 0, 0, kSentinel16));
  EXPECT_FALSE(info.UncompressedSize || info.DiskNumberStart);

  // 26 bytes with all four sentinels: three sizes, and the disk number
  // needs 4 bytes where 2 remain.
  const Bytes twentySix = Cat({Le64(1), Le64(2), Le64(3), Le16(4)});
  info = ReadZip64ExtendedInfo(twentySix, all);
  EXPECT_EQ(info.UncompressedSize, 1u);
  EXPECT_EQ(info.CompressedSize, 2u);
  EXPECT_EQ(info.LocalHeaderOffset, 3u);
  EXPECT_FALSE(info.DiskNumberStart.has_value());

  // An empty block.
  info = ReadZip64ExtendedInfo({}, all);
  EXPECT_FALSE(info.UncompressedSize || info.CompressedSize || info.LocalHeaderOffset ||
               info.DiskNumberStart);
}

TEST(Zip64Info, LongerBlockReadsOnlyWhatTheSentinelsName) {
  const Bytes data = Cat({Le64(10), Le64(20), Le64(30), Le32(40), Le32(50)});
  const TZip64ExtendedInfo info = ReadZip64ExtendedInfo(data, HeaderWith(kSentinel32, kSentinel32, 0, 0));
  EXPECT_EQ(info.UncompressedSize, 10u);
  EXPECT_EQ(info.CompressedSize, 20u);
  EXPECT_FALSE(info.LocalHeaderOffset.has_value());
  EXPECT_FALSE(info.DiskNumberStart.has_value());
}

// ---- a central header with its name, extra field and comment, end to end --------------

TEST(CentralHeaderWithExtras, ParsesAndDoesNotDesynchroniseTheNext) {
  // Entry 1: extra field holds a Zip64 block with only the uncompressed size
  // and a block that declares more than remains. Entry 2 follows.
  Bytes extra1;
  PutExtraBlock(extra1, kExtraZip64, Le64(0x180000000ull));
  const Bytes cutBlock = Cat({Le16(0x9999), Le16(50), Bytes{1, 2}});
  extra1.insert(extra1.end(), cutBlock.begin(), cutBlock.end());

  TCentralFileHeader h1;
  h1.VersionNeeded = 45;
  h1.CompressedSize = 12345;
  h1.UncompressedSize = kSentinel32;
  h1.NameLength = 5;
  h1.ExtraLength = static_cast<uint16_t>(extra1.size());
  h1.CommentLength = 2;
  TCentralFileHeader h2;
  h2.NameLength = 1;

  Bytes dir;
  PutCentralFileHeader(dir, h1);
  dir.insert(dir.end(), {'a', '/', 'b', '.', 't'});
  dir.insert(dir.end(), extra1.begin(), extra1.end());
  dir.insert(dir.end(), {'h', 'i'});
  PutCentralFileHeader(dir, h2);
  dir.push_back('z');

  std::span<const uint8_t> rest(dir);
  TCentralFileHeader r1;
  ASSERT_TRUE(ReadCentralFileHeader(rest, r1));
  rest = rest.subspan(kCentralFileHeaderSize);
  EXPECT_EQ(NameFromBytes(rest.first(r1.NameLength)), "a/b.t");
  rest = rest.subspan(r1.NameLength);
  const TExtraField parsed = ParseExtraField(rest.first(r1.ExtraLength));
  rest = rest.subspan(r1.ExtraLength);
  ASSERT_EQ(parsed.Blocks.size(), 2u);
  EXPECT_TRUE(parsed.LastBlockCut);
  EXPECT_EQ(parsed.Blocks[1].Data, (Bytes{1, 2}));
  const TZip64ExtendedInfo info = ReadZip64ExtendedInfo(parsed.Blocks[0].Data, r1);
  EXPECT_EQ(info.UncompressedSize, 0x180000000ull);
  EXPECT_FALSE(info.CompressedSize.has_value());
  EXPECT_EQ(r1.CompressedSize, 12345u);
  EXPECT_EQ(NameFromBytes(rest.first(r1.CommentLength)), "hi");
  rest = rest.subspan(r1.CommentLength);

  TCentralFileHeader r2;
  ASSERT_TRUE(ReadCentralFileHeader(rest, r2));
  EXPECT_EQ(r2.Signature, kCentralFileHeaderSignature);
  EXPECT_EQ(r2.NameLength, 1);
  EXPECT_EQ(NameFromBytes(rest.subspan(kCentralFileHeaderSize, 1)), "z");
}

// ---- names -------------------------------------------------------------------------

TEST(Names, CutAtTheFirstZeroByte) {
  EXPECT_EQ(NameFromBytes(Bytes{'a', 'b', 'c'}), "abc");
  EXPECT_EQ(NameFromBytes(Bytes{'a', 0, 'c'}), "a");
  EXPECT_EQ(NameFromBytes(Bytes{0, 'x'}), "");
  EXPECT_EQ(NameFromBytes({}), "");
  EXPECT_EQ(NameFromBytes(Bytes{'d', 'i', 'r', '/', 0x8E, 0xA0}), "dir/\x8E\xA0");
}

// ---- the empty archive's end record ------------------------------------------------

TEST(EmptyArchive, EndRecordWithoutStub) {
  const Bytes want = {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0, 0, 0, 0, 0,
                      0,    0,    0,    0,    0, 0, 0, 0, 0, 0};
  EXPECT_EQ(EmptyArchiveEndRecordBytes(0, 0), want);
}

TEST(EmptyArchive, EndRecordBehindAStub) {
  // A 70000-byte stub: the directory offset is the record's own position.
  const Bytes want = {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0, 0, 0, 0, 0,
                      0,    0,    0,    0,    0x70, 0x11, 0x01, 0x00, 0, 0};
  EXPECT_EQ(EmptyArchiveEndRecordBytes(0, 70000), want);
}

TEST(EmptyArchive, VolumeNumberGoesIntoBothDiskFields) {
  const Bytes want = {0x50, 0x4B, 0x05, 0x06, 0x03, 0x00, 0x03, 0x00, 0, 0, 0,
                      0,    0,    0,    0,    0,    0x10, 0x00, 0x00, 0x00, 0, 0};
  EXPECT_EQ(EmptyArchiveEndRecordBytes(3, 16), want);
  const TEndOfCentralDir big = EmptyArchiveEndRecord(65535, 0);
  EXPECT_EQ(big.ThisDisk, kSentinel16);
  EXPECT_EQ(big.DirectoryDisk, kSentinel16);
  EXPECT_EQ(EmptyArchiveEndRecord(65534, 0).ThisDisk, 65534);
}

TEST(EmptyArchive, OffsetBeyond32BitsIsTheSentinel) {
  EXPECT_EQ(EmptyArchiveEndRecord(0, 0x100000000ull).DirectoryOffset, kSentinel32);
  EXPECT_EQ(EmptyArchiveEndRecord(0, 0xFFFFFFFEull).DirectoryOffset, 0xFFFFFFFEu);
}

TEST(EmptyArchive, ReadsBackAsAnEmptyDirectory) {
  const Bytes stub(1234, 0xCC);
  const Bytes archive = Cat({stub, EmptyArchiveEndRecordBytes(0, stub.size())});
  ASSERT_EQ(archive.size(), stub.size() + kEndOfCentralDirSize);
  TEndOfCentralDir r;
  ASSERT_TRUE(ReadEndOfCentralDir(std::span(archive).subspan(stub.size()), r));
  EXPECT_EQ(r.Signature, kEndOfCentralDirSignature);
  EXPECT_EQ(r.TotalEntries, 0);
  EXPECT_EQ(r.EntriesOnDisk, 0);
  EXPECT_EQ(r.DirectorySize, 0u);
  EXPECT_EQ(r.DirectoryOffset, 1234u);
  EXPECT_EQ(r.CommentLength, 0);
}

}  // namespace
}  // namespace zf
