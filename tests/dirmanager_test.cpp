// Tests of the central directory manager and its item array, on archives
// built byte by byte: damaged directories rebuilt from the local headers,
// the end-record search, Zip64 records, self-extractor prefixes, extra
// fields, hostile counts and offsets, and the data limits that stop
// overlapped entries.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirArray.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "test_util.h"
#include "zip_builder.h"

namespace zf {
namespace {

using test::NativeErrorOf;
using test::Put16At;
using test::Put32At;
using test::ZipBuilder;
using test::ZipEntry;
using test::ZipLayout;
using Bytes = std::vector<uint8_t>;

// An archive in memory read by a manager that an archiver component owns.
struct Reader {
  explicit Reader(const Bytes& bytes) {
    stream.Data() = bytes;
    manager = std::make_unique<TZFDirManager>(&stream, archiver.Volumes(), archiver.DirSettings(), false);
  }
  TZFDirManager& Read() {
    manager->ReadDirectory();
    return *manager;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < manager->Dir().Count(); ++i) names.emplace_back(manager->Dir().ItemRef(i).Name());
    return names;
  }
  bool Rebuilt() const {
    return manager->DirectoryStart() == static_cast<int64_t>(stream.Data().size());
  }

  TZipArchiver archiver;
  TMemoryStream stream;
  std::unique_ptr<TZFDirManager> manager;
};

ZipEntry File(std::string name, std::string data, std::string comment = "") {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.comment = std::move(comment);
  return e;
}
ZipEntry Folder(std::string name) {
  ZipEntry e = File(std::move(name), "");
  e.method = kMethodStored;
  e.externalAttributes = 0x10;
  return e;
}

// ---- directories rebuilt from the local headers ---------------------------------

struct RecoveryCase {
  const char* name;
  std::function<Bytes()> build;
  std::vector<std::string> names;
  std::vector<uint32_t> attributes;
};

ZipBuilder ThreeEntries() {
  ZipBuilder b;
  b.Add(File("a.txt", std::string(300, 'a'), "a comment"))
      .Add(Folder("sub/"))
      .Add(File("sub/b.bin", test::NoiseBytes(500)));
  return b;
}

// A stored entry holding a whole archive of three entries.
ZipEntry StoredInnerArchive(bool dataDescriptor) {
  ZipBuilder inner;
  inner.Add(File("one", "1")).Add(File("two", test::NoiseBytes(300))).Add(Folder("three/"));
  ZipEntry e = File("inner.zip", inner.Build().str());
  e.method = kMethodStored;
  e.dataDescriptor = dataDescriptor;
  return e;
}

const RecoveryCase kRecoveryCases[] = {
    {"TruncatedInsideTheDirectory",
     [] {
       const ZipLayout z = ThreeEntries().Build();
       return Bytes(z.bytes.begin(), z.bytes.begin() + z.centralOffsets[1] + 10);
     },
     {"a.txt", "sub/", "sub/b.bin"}, {0x20, 0x10, 0x20}},
    {"StrayByteAfterTheComment",
     [] {
       Bytes b = ThreeEntries().Comment("archive comment").Build().bytes;
       b.push_back('!');
       return b;
     },
     {"a.txt", "sub/", "sub/b.bin"}, {0x20, 0x10, 0x20}},
    {"EntryCount0xFFFFWithoutZip64",
     [] { return ThreeEntries().EndRecordEntries(0xFFFF).Build().bytes; },
     {"a.txt", "sub/", "sub/b.bin"}, {0x20, 0x10, 0x20}},
    {"HostileEntryCountCannotFitTheDirectory",
     [] { return ThreeEntries().EndRecordEntries(60000).Build().bytes; },
     {"a.txt", "sub/", "sub/b.bin"}, {0x20, 0x10, 0x20}},
    {"HostileZip64EntryCount",
     [] {
       ZipBuilder b;
       b.Add(File("a", "a")).Add(Folder("b/")).Zip64Records();
       const ZipLayout z = b.Build();
       Bytes bytes = z.bytes;
       const uint64_t zip64Record =
           z.endRecordOffset - kZip64LocatorSize - kZip64EndOfCentralDirSize;
       Put32At(bytes, zip64Record + 32, 0xFFFFFFFF);  // total entries, low 32 bits
       return bytes;
     },
     {"a", "b/"}, {0x20, 0x10}},
    {"DirectorySizeLargerThanTheArchive",
     [] {
       const ZipLayout z = ThreeEntries().Build();
       Bytes b = z.bytes;
       Put32At(b, z.endRecordOffset + 12, 0x7FFFFFF0);
       return b;
     },
     {"a.txt", "sub/", "sub/b.bin"}, {0x20, 0x10, 0x20}},
    {"EmptyFileStaysAFile",
     [] {
       ZipEntry empty = File("zero.txt", "");
       empty.method = kMethodStored;
       ZipBuilder b;
       b.Add(empty).Add(Folder("d/")).Add(File("d\\back\\", "")).Add(File("d/a", "a"));
       const ZipLayout z = b.Build();
       return Bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset);
     },
     {"zero.txt", "d/", "d\\back\\", "d/a"}, {0x20, 0x10, 0x10, 0x20}},
    // The local headers of a stored archive inside are its data, not
    // entries; with a data descriptor the data ends where it stands.
    {"StoredArchiveInsideIsData",
     [] {
       ZipBuilder b;
       b.Add(StoredInnerArchive(false)).Add(File("after.txt", "after"));
       const ZipLayout z = b.Build();
       return Bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset);
     },
     {"inner.zip", "after.txt"}, {0x20, 0x20}},
    {"StoredArchiveWithDescriptorInsideIsData",
     [] {
       ZipBuilder b;
       b.Add(StoredInnerArchive(true)).Add(File("after.txt", "after"));
       const ZipLayout z = b.Build();
       return Bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset);
     },
     {"inner.zip", "after.txt"}, {0x20, 0x20}},
    {"NameLength261IsSkipped",
     [] {
       // The skipped header's signature is followed 4 bytes on by nothing
       // that looks like a header; the scan finds the next entry after it.
       ZipEntry bad = File("bad", "data of the skipped entry");
       bad.localNameLength = 261;
       ZipBuilder b;
       b.Add(File("first", "1")).Add(bad).Add(File("last", "3"));
       const ZipLayout z = b.Build();
       return Bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset);
     },
     {"first", "last"}, {0x20, 0x20}},
};

class Recovery : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(Recovery, RebuildsEntriesFromLocalHeaders) {
  Reader r(GetParam().build());
  r.Read();
  EXPECT_TRUE(r.Rebuilt());
  EXPECT_EQ(r.Names(), GetParam().names);
  EXPECT_LE(r.manager->Dir().Capacity(), 1000);  // the claimed count allocated nothing
  for (int i = 0; i < r.manager->Dir().Count(); ++i) {
    const TDirItem& item = r.manager->Dir().ItemRef(i);
    EXPECT_EQ(item.Header.ExternalAttributes, GetParam().attributes[i]) << item.Name();
    EXPECT_EQ(item.Comment(), "");
    // The data of every rebuilt entry ends before the next local header.
    const int64_t limit = r.manager->DataLimitOf(i);
    if (limit >= 0) {
      EXPECT_GT(limit, item.LocalHeaderOffset() + item.CompressedSize());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DirManager, Recovery, ::testing::ValuesIn(kRecoveryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What the reader reports: the problem and where it met it, the entries
// claimed and read, whether it rebuilt and from how many local headers,
// and the line zfx shows.
TEST(DirManagerReport, StatesWhatItFoundAndWhatItDid) {
  const ZipLayout z = ThreeEntries().Build();
  const ZipLayout z64 = [] {
    ZipBuilder b;
    b.Add(File("a", "a")).Zip64Records();
    return b.Build();
  }();
  const int64_t end = static_cast<int64_t>(z.endRecordOffset);
  const int64_t lastHeader = static_cast<int64_t>(z.centralOffsets[2]);
  const int64_t zip64Record = static_cast<int64_t>(z64.endRecordOffset - kZip64LocatorSize);
  struct Case {
    const char* name;
    std::function<Bytes()> build;
    bool damaged;
    TZFDirProblem problem;
    int64_t offset;
    int64_t claimed, read;
    bool rebuilt;
    std::string summary;
  };
  const Case cases[] = {
      {"sound", [&] { return z.bytes; }, false, {}, 0, 3, 3, false, ""},
      {"last central name running past the end",
       [&] {
         Bytes b = z.bytes;
         Put16At(b, z.centralOffsets[2] + 28, 0xFFFF);
         return b;
       },
       true, TZFDirProblem::HeaderCutShort, lastHeader, 3, 2, true,
       "directory damaged at offset " + std::to_string(lastHeader) +
           " (a central header is cut short; 2 of 3 central headers read): rebuilt from 3 "
           "local headers"},
      {"cut inside the directory",
       [&] { return Bytes(z.bytes.begin(), z.bytes.begin() + z.centralOffsets[1] + 10); }, true,
       TZFDirProblem::NoEndRecord, -1, -1, 0, true,
       "directory damaged (no end of central directory record): rebuilt from 3 local headers"},
      {"0xFFFF entries without Zip64 records",
       [] { return ThreeEntries().EndRecordEntries(0xFFFF).Build().bytes; }, true,
       TZFDirProblem::EntryCountUnknown, end, 0xFFFF, 0, true,
       "directory damaged at offset " + std::to_string(end) +
           " (the entry count is unknown; 0 of 65535 central headers read): rebuilt from 3 "
           "local headers"},
      {"more entries than the directory holds",
       [] { return ThreeEntries().EndRecordEntries(60000).Build().bytes; }, true,
       TZFDirProblem::EntryCountTooLarge, end, 60000, 0, true, ""},
      {"directory larger than the archive",
       [&] {
         Bytes b = z.bytes;
         Put32At(b, z.endRecordOffset + 12, 0x7FFFFFF0);
         return b;
       },
       true, TZFDirProblem::DirectoryOutsideFile, end, 3, 0, true, ""},
      // Refused, not rebuilt.
      {"Zip64 end record damaged",
       [&] {
         Bytes b = z64.bytes;
         b[z64.endRecordOffset - kZip64LocatorSize - kZip64EndOfCentralDirSize + 3] ^= 0xFF;
         return b;
       },
       true, TZFDirProblem::NoZip64EndRecord, zip64Record, 1, 0, false,
       "directory damaged at offset " + std::to_string(zip64Record) +
           " (the Zip64 end record is missing; 0 of 1 central headers read)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reader r(c.build());
    const int32_t native = NativeErrorOf([&] { r.Read(); });
    EXPECT_EQ(native, c.rebuilt || !c.damaged ? -1 : neNoZip64EndRecord);
    const TZFDirReport& report = r.manager->Report();
    EXPECT_EQ(report.Damaged(), c.damaged);
    EXPECT_EQ(report.EntriesClaimed, c.claimed);
    EXPECT_EQ(report.EntriesRead, c.read);
    EXPECT_EQ(report.Rebuilt, c.rebuilt);
    EXPECT_EQ(report.LocalHeadersUsed, c.rebuilt ? 3 : 0);
    if (c.damaged) {
      ASSERT_EQ(report.Findings.size(), 1u);
      EXPECT_EQ(report.Findings[0].Problem, c.problem);
      EXPECT_EQ(report.Findings[0].Offset, c.offset);
      EXPECT_EQ(r.manager->Decide(report.Findings[0]),
                c.rebuilt ? TZFDirDecision::Rebuild : TZFDirDecision::Refuse);
    }
    if (!c.summary.empty() || !c.damaged) {
      EXPECT_EQ(report.Summary(), c.summary);
    }
  }
}

// An archive cut short (no directory, the file ending inside an entry):
// the entries before the cut are whole; the one the file ends inside is
// listed when its name is all there, and the report says where it begins.
TEST(DirManagerRecovery, ArchiveCutShortListsTheEntryItEndsInside) {
  ZipEntry streamed = File("streamed.bin", test::NoiseBytes(400, 3));
  streamed.dataDescriptor = true;
  ZipBuilder b;
  b.Add(File("a.txt", test::NoiseBytes(300, 5))).Add(Folder("sub/"));
  b.Add(File("sub/b.bin", test::NoiseBytes(500)));
  const ZipLayout z = b.Build();
  ZipBuilder s;
  s.Add(File("first", "1")).Add(streamed);
  const ZipLayout zs = s.Build();
  const uint64_t first = z.localOffsets[0], last = z.localOffsets[2];
  struct Case {
    const char* name;
    const ZipLayout& archive;
    uint64_t cut;  // the file's length
    std::vector<std::string> names;
    int32_t cutItem;
    uint64_t cutAt;
  } const cases[] = {
      {"in the first entry's data", z, first + 30 + 5 + 20, {"a.txt"}, 0, first},
      {"in the last entry's data", z, last + 30 + 9 + 100, {"a.txt", "sub/", "sub/b.bin"}, 2,
       last},
      {"in the last local header", z, last + 20, {"a.txt", "sub/"}, -1, last},
      {"in the last entry's name", z, last + 30 + 4, {"a.txt", "sub/"}, -1, last},
      {"in data whose descriptor is gone", zs, zs.directoryOffset - 20, {"first", "streamed.bin"},
       1, zs.localOffsets[1]},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reader r(Bytes(c.archive.bytes.begin(), c.archive.bytes.begin() + c.cut));
    r.Read();
    EXPECT_EQ(r.Names(), c.names);
    EXPECT_EQ(r.manager->CutShortItem(), c.cutItem);
    EXPECT_EQ(r.manager->Report().CutShortAt(), static_cast<int64_t>(c.cutAt));
    EXPECT_NE(r.manager->Report().Summary().find("; the file ends inside the entry at offset " +
                                                 std::to_string(c.cutAt)),
              std::string::npos)
        << r.manager->Report().Summary();
  }
  // Only the file's end makes a cut entry: the same archive whole has none.
  Reader whole(Bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset));
  whole.Read();
  EXPECT_EQ(whole.manager->CutShortItem(), -1);
  EXPECT_EQ(whole.manager->Report().CutShortAt(), -1);
}

TEST(DirManagerRecovery, DataDescriptorSuppliesCrcAndSizes) {
  ZipEntry e = File("streamed.txt", std::string(1000, 'x'));
  e.dataDescriptor = true;
  ZipBuilder b;
  b.Add(e).Add(File("next", "n"));
  const ZipLayout z = b.Build();
  Bytes bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset);
  // A streaming writer leaves CRC-32 and sizes 0 in the local header.
  for (int field = 0; field < 3; ++field) Put32At(bytes, z.localOffsets[0] + 14 + 4 * field, 0);

  Reader r(bytes);
  r.Read();
  ASSERT_EQ(r.manager->Dir().Count(), 2);
  const TDirItem& item = r.manager->Dir().ItemRef(0);
  EXPECT_EQ(item.Header.Crc32, test::Crc32Of(e.data));
  EXPECT_EQ(item.Header.UncompressedSize, 1000u);
  EXPECT_EQ(item.Header.CompressedSize, test::Deflate(e.data).size());
  EXPECT_EQ(item.Header.ExternalAttributes, 0x20u);  // bit 3 makes it a file
}

TEST(DirManagerRecovery, Zip64LocalHeaderTakesItsSizesFromTheLocalZip64Block) {
  const std::string data = test::NoiseBytes(600, 9);
  ZipEntry e = File("z64", data);
  e.method = kMethodStored;
  e.compressedSize = e.uncompressedSize = kSentinel32;
  Bytes sizes;
  Put64(sizes, 600);  // uncompressed first, then compressed
  Put64(sizes, 600);
  PutExtraBlock(e.localExtra, kExtraZip64, sizes);
  ZipEntry noBlock = File("no-block", "n");
  noBlock.compressedSize = kSentinel32;  // sizes unknowable: not rebuilt
  ZipBuilder b;
  b.Add(e).Add(noBlock).Add(File("last", "l"));
  const ZipLayout z = b.Build();
  Reader r(Bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset));
  r.Read();
  ASSERT_EQ(r.Names(), (std::vector<std::string>{"z64", "last"}));
  const TDirItem& item = r.manager->Dir().ItemRef(0);
  EXPECT_EQ(item.CompressedSize(), 600);
  EXPECT_EQ(item.UncompressedSize(), 600);
  EXPECT_EQ(item.LocalHeaderOffset(), 0);
}

TEST(DirManagerRecovery, NothingToRebuildFromFailsAsInvalidArchive) {
  Reader r(Bytes(100, 'z'));
  EXPECT_EQ(NativeErrorOf([&] { r.Read(); }), neInvalidArchive);
}

// ---- end records ------------------------------------------------------------------

TEST(DirManagerEndRecord, SignatureInsideTheCommentIsNotTakenForTheRecord) {
  // A complete end record image inside the comment whose own comment
  // length does not reach the end of the file.
  Bytes fake;
  TEndOfCentralDir decoy;
  decoy.TotalEntries = 7;
  decoy.CommentLength = 3;
  PutEndOfCentralDir(fake, decoy);
  const std::string comment = "before " + std::string(fake.begin(), fake.end()) + " after";
  Reader r(ThreeEntries().Comment(comment).Build().bytes);
  r.Read();
  EXPECT_FALSE(r.Rebuilt());
  EXPECT_EQ(r.manager->Dir().Count(), 3);
  EXPECT_EQ(r.manager->GlobalComment(), comment);
  EXPECT_EQ(r.manager->Dir().ItemRef(0).Comment(), "a comment");
}

TEST(DirManagerEndRecord, Zip64SizesComeFromTheZip64Block) {
  ZipEntry e = File("big.bin", test::NoiseBytes(700));
  e.zip64 = true;
  ZipBuilder b;
  b.Add(File("small", "s")).Add(e).Zip64Records();
  const ZipLayout z = b.Build();
  Reader r(z.bytes);
  TZFDirManager& m = r.Read();
  EXPECT_TRUE(m.IsZip64());
  EXPECT_FALSE(r.Rebuilt());
  EXPECT_EQ(m.LastVolumeNumber(), 0);
  ASSERT_EQ(m.Dir().Count(), 2);
  const TDirItem& item = m.Dir().ItemRef(1);
  EXPECT_TRUE(item.HasZip64Values());
  EXPECT_EQ(item.Header.CompressedSize, kSentinel32);
  EXPECT_EQ(item.UncompressedSize(), 700);
  EXPECT_EQ(item.LocalHeaderOffset(), static_cast<int64_t>(z.localOffsets[1]));
  EXPECT_EQ(item.CompressedSize(), static_cast<int64_t>(test::Deflate(e.data).size()));
  EXPECT_EQ(m.DataLimitOf(0), static_cast<int64_t>(z.localOffsets[1]));
}

TEST(DirManagerEndRecord, DamagedZip64RecordFailsWithoutRecovery) {
  ZipBuilder b;
  b.Add(File("a", "a")).Zip64Records();
  const ZipLayout z = b.Build();
  Bytes bytes = z.bytes;
  const uint64_t zip64Record = z.endRecordOffset - kZip64LocatorSize - kZip64EndOfCentralDirSize;
  bytes[zip64Record + 3] ^= 0xFF;
  Reader r(bytes);
  EXPECT_EQ(NativeErrorOf([&] { r.Read(); }), neNoZip64EndRecord);
  EXPECT_EQ(r.manager->Dir().Count(), 0);
}

// ---- entry counts ---------------------------------------------------------------------

struct CountCase {
  const char* name;
  std::function<Bytes(const ZipLayout&)> mutate;  // of five entries
  int64_t claimed, read;
  bool countTooSmall;  // the report says so
};

const CountCase kCountCases[] = {
    {"CountRight", [](const ZipLayout& z) { return z.bytes; }, 5, 5, false},
    {"CountTooSmall",
     [](const ZipLayout& z) {
       Bytes b = z.bytes;
       Put16At(b, z.endRecordOffset + 8, 2);   // entries on this disk
       Put16At(b, z.endRecordOffset + 10, 2);  // total entries
       return b;
     },
     2, 5, true},
    {"CountZero",
     [](const ZipLayout& z) {
       Bytes b = z.bytes;
       Put16At(b, z.endRecordOffset + 10, 0);
       return b;
     },
     0, 5, true},
    // The size declares room for four headers: the fifth is not read.
    {"SizeBoundsTheHeadersBeyondTheCount",
     [](const ZipLayout& z) {
       Bytes b = z.bytes;
       const uint64_t fifth = z.centralOffsets[4];
       // The end record moves to where the fifth header began.
       Bytes out(b.begin(), b.begin() + fifth);
       Bytes end(b.begin() + z.endRecordOffset, b.end());
       Put16At(end, 10, 1);
       Put32At(end, 12, static_cast<uint32_t>(fifth - z.directoryOffset));
       out.insert(out.end(), end.begin(), end.end());
       return out;
     },
     1, 4, true},
};

class EntryCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(EntryCount, EveryHeaderTheDirectorySizeHoldsIsRead) {
  ZipBuilder b;
  for (const char* name : {"a", "b", "c", "d/", "d/e"})
    b.Add(name[1] == '/' ? Folder(name) : File(name, std::string("data of ") + name));
  Reader r(GetParam().mutate(b.Build()));
  TZFDirManager& m = r.Read();
  EXPECT_FALSE(r.Rebuilt());
  EXPECT_FALSE(m.Report().Rebuilt);
  EXPECT_EQ(m.Report().EntriesClaimed, GetParam().claimed);
  EXPECT_EQ(m.Report().EntriesRead, GetParam().read);
  EXPECT_EQ(m.Dir().Count(), GetParam().read);
  ASSERT_EQ(m.Report().Damaged(), GetParam().countTooSmall);
  if (GetParam().countTooSmall) {
    EXPECT_EQ(m.Report().Findings[0].Problem, TZFDirProblem::EntryCountTooSmall);
    EXPECT_NE(m.Report().Summary().find(std::to_string(GetParam().read) + " read"),
              std::string::npos)
        << m.Report().Summary();
  }
}

INSTANTIATE_TEST_SUITE_P(DirManager, EntryCount, ::testing::ValuesIn(kCountCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirManagerEndRecord, Zip64RecordCountingTooFewEntriesReadsThemAll) {
  ZipBuilder b;
  b.Add(File("a", "a")).Add(File("b", "b")).Add(File("c", "c")).Zip64Records();
  const ZipLayout z = b.Build();
  Bytes bytes = z.bytes;
  const uint64_t zip64Record = z.endRecordOffset - kZip64LocatorSize - kZip64EndOfCentralDirSize;
  Put32At(bytes, zip64Record + 32, 1);  // total entries, low 32 bits
  Reader r(bytes);
  r.Read();
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(r.manager->Report().EntriesClaimed, 1);
}

// ---- folders ----------------------------------------------------------------------------

TEST(DirItem, UnixFileTypeDecidesFolderOrFile) {
  struct Case {
    const char* name;
    uint8_t host;
    uint32_t attributes;
    bool folder;
  };
  const Case cases[] = {
      {"DosFolderBit", kHostMsDos, os::faDirectory, true},
      {"DosFile", kHostMsDos, os::faArchive, false},
      // The DOS half is not read on Unix: the mode in the high word decides.
      {"UnixRegularFileWithGarbageDosBits", kHostUnix, (kUnixRegular | 0644u) << 16 | 0xFFFF,
       false},
      {"UnixSymlinkWithFolderBit", kHostUnix, (kUnixSymlink | 0777u) << 16 | 0x10, false},
      {"UnixDirectoryWithoutFolderBit", kHostUnix, (kUnixDirectory | 0755u) << 16, true},
      // No file type in the high word: the DOS bits are all there is.
      {"UnixWithoutModeFolderBit", kHostUnix, os::faDirectory, true},
      {"DosHostIgnoresTheHighWord", kHostMsDos, (kUnixRegular | 0644u) << 16 | 0x10, true},
  };
  for (const Case& c : cases) {
    TDirItem item;
    item.Header.VersionMadeBy = MadeBy(c.host, 30);
    item.Header.ExternalAttributes = c.attributes;
    EXPECT_EQ(item.IsDirectory(), c.folder) << c.name;
    EXPECT_EQ((item.ExternalAttributes() & os::faDirectory) != 0, c.folder) << c.name;
    EXPECT_EQ(item.ExternalAttributes() & ~os::faDirectory, c.attributes & ~os::faDirectory)
        << c.name;
  }
}

// ---- extra fields -------------------------------------------------------------------

struct ExtraCase {
  const char* name;
  Bytes extra;
  std::vector<size_t> blockSizes;
};

Bytes Block(uint16_t id, size_t size) {
  Bytes b;
  PutExtraBlock(b, id, Bytes(size, 0xAB));
  return b;
}
Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const ExtraCase kExtraCases[] = {
    {"TwoBlocks", Concat(Block(0x5455, 5), Block(0x7875, 11)), {5, 11}},
    {"BlockRunsPastTheField", [] { Bytes b = Block(0x5455, 9); Put16At(b, 2, 200); return b; }(),
     {9}},
    {"ThreeTrailingBytes", Concat(Block(0x5455, 5), Bytes{1, 2, 3}), {5}},
    {"OneTrailingByte", Bytes{0x55}, {}},
};

class ExtraField : public ::testing::TestWithParam<ExtraCase> {};

TEST_P(ExtraField, KeepsBlocksAndDoesNotDesynchroniseTheNextHeader) {
  ZipEntry e = File("with-extra", "x", "first comment");
  e.centralExtra = GetParam().extra;
  ZipBuilder b;
  b.Add(e).Add(File("after", "y", "second comment"));
  Reader r(b.Build().bytes);
  r.Read();
  EXPECT_FALSE(r.Rebuilt());
  ASSERT_EQ(r.Names(), (std::vector<std::string>{"with-extra", "after"}));
  const TDirItem& item = r.manager->Dir().ItemRef(0);
  std::vector<size_t> sizes;
  for (const TExtraBlock& block : item.ExtraFields()) sizes.push_back(block.Data.size());
  EXPECT_EQ(sizes, GetParam().blockSizes);
  EXPECT_EQ(item.Comment(), "first comment");
  EXPECT_EQ(r.manager->Dir().ItemRef(1).Comment(), "second comment");
}

INSTANTIATE_TEST_SUITE_P(DirManager, ExtraField, ::testing::ValuesIn(kExtraCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- self-extractor prefixes ----------------------------------------------------------

struct PrefixCase {
  const char* name;
  size_t stubSize;
  bool offsetsFromArchive;
  bool empty;
  bool zip64 = false;
  bool zip64Local = false;  // the local headers only, as Python's force_zip64 writes them
};

const PrefixCase kPrefixCases[] = {
    {"NoStub", 0, true, false},
    {"StubOffsetsFromArchiveStart", 1234, true, false},
    {"StubOffsetsFromFileStart", 1234, false, false},
    {"EmptyArchiveBehindStub", 777, true, true},
    // The locator's record offset is off by the stub as well.
    {"Zip64StubOffsetsFromArchiveStart", 1234, true, false, true},
    {"Zip64StubOffsetsFromFileStart", 1234, false, false, true},
    {"Zip64LocalHeadersBehindStub", 122, true, false, false, true},
    {"Zip64LocalHeadersAndRecordsBehindStub", 122, true, false, true, true},
};

class Prefix : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(Prefix, FindsTheStubAndCorrectsOffsets) {
  const PrefixCase& c = GetParam();
  ZipBuilder b;
  ZipEntry first = File("a.txt", "alpha"), last = File("d/b.txt", "beta");
  last.zip64 = c.zip64;
  first.zip64Local = last.zip64Local = c.zip64Local;
  if (!c.empty) b.Add(first).Add(Folder("d/")).Add(last);
  b.Prefix(test::NoiseBytes(c.stubSize, 7), c.offsetsFromArchive).Zip64Records(c.zip64);
  const ZipLayout z = b.Build();
  Reader r(z.bytes);
  TZFDirManager& m = r.Read();
  EXPECT_FALSE(r.Rebuilt());
  EXPECT_EQ(m.IsZip64(), c.zip64);
  EXPECT_EQ(m.PrefixLength(), c.stubSize);
  for (int i = 0; i < m.Dir().Count(); ++i) {
    const TDirItem& item = m.Dir().ItemRef(i);
    // Folders keep their recorded offset; nothing is read from them.
    const uint64_t recorded = z.localOffsets[i] - (c.offsetsFromArchive ? c.stubSize : 0);
    EXPECT_EQ(item.LocalHeaderOffset(),
              static_cast<int64_t>(item.IsDirectory() ? recorded : z.localOffsets[i]))
        << item.Name();
  }
}

INSTANTIATE_TEST_SUITE_P(DirManager, Prefix, ::testing::ValuesIn(kPrefixCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirManagerPrefix, CorrectedOffsetPast32BitsMovesToZip64InsteadOfWrapping) {
  ZipBuilder b;
  b.Add(File("a", "alpha")).Add(File("b", "beta")).Prefix(std::string(100, 's'), true);
  const ZipLayout z = b.Build();
  Bytes bytes = z.bytes;
  Put32At(bytes, z.centralOffsets[1] + 42, 0xFFFFFFF0);
  Reader r(bytes);
  TZFDirManager& m = r.Read();
  ASSERT_EQ(m.PrefixLength(), 100u);
  EXPECT_EQ(m.Dir().ItemRef(1).LocalHeaderOffset(), 0xFFFFFFF0LL + 100);
}

TEST(DirManagerPrefix, FolderOffsetsLeftUncorrectedDoNotLimitFiles) {
  // With a stub, folders keep offsets counted from the archive start; such
  // an offset can fall inside a file's data and must not cut it.
  ZipBuilder b;
  b.Add(File("big", test::NoiseBytes(3000))).Add(Folder("d/")).Add(File("d/x", "x"));
  b.Prefix(std::string(2000, 's'), true);
  const ZipLayout z = b.Build();
  Reader r(z.bytes);
  TZFDirManager& m = r.Read();
  ASSERT_EQ(m.Dir().ItemRef(1).LocalHeaderOffset(),
            static_cast<int64_t>(z.localOffsets[1] - 2000));
  EXPECT_EQ(m.DataLimitOf(0), static_cast<int64_t>(z.localOffsets[2]));
}

// ---- overlapped entries ----------------------------------------------------------------

struct LimitCase {
  const char* name;
  // Central header offsets to write, by entry; the local headers stay.
  std::function<std::vector<uint64_t>(const std::vector<uint64_t>&)> offsets;
  std::function<std::vector<int64_t>(const std::vector<uint64_t>&)> limits;
};

const LimitCase kLimitCases[] = {
    {"Consecutive", [](const auto& o) { return o; },
     [](const auto& o) { return std::vector<int64_t>{int64_t(o[1]), int64_t(o[2]), -1}; }},
    {"TwoEntriesShareOneLocalHeader",
     [](const auto& o) { return std::vector<uint64_t>{o[0], o[1], o[0]}; },
     [](const auto& o) { return std::vector<int64_t>{int64_t(o[0]), -1, int64_t(o[0])}; }},
    {"EntryStartsInsideAnotherOnesData",
     [](const auto& o) { return std::vector<uint64_t>{o[0], o[0] + 40, o[2]}; },
     [](const auto& o) { return std::vector<int64_t>{int64_t(o[0] + 40), int64_t(o[2]), -1}; }},
};

class DataLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(DataLimit, IsTheNextLocalHeaderOrTheOwnOneWhenShared) {
  ZipBuilder b;
  b.Add(File("a", test::NoiseBytes(400, 1)))
      .Add(File("b", test::NoiseBytes(400, 2)))
      .Add(File("c", test::NoiseBytes(400, 3)));
  const ZipLayout z = b.Build();
  Bytes bytes = z.bytes;
  const std::vector<uint64_t> offsets = GetParam().offsets(z.localOffsets);
  for (size_t i = 0; i < offsets.size(); ++i)
    Put32At(bytes, z.centralOffsets[i] + 42, static_cast<uint32_t>(offsets[i]));
  Reader r(bytes);
  TZFDirManager& m = r.Read();
  ASSERT_FALSE(r.Rebuilt());
  std::vector<int64_t> limits;
  for (int i = 0; i < m.Dir().Count(); ++i) limits.push_back(m.DataLimitOf(i));
  EXPECT_EQ(limits, GetParam().limits(z.localOffsets));
  EXPECT_EQ(m.DataLimitOf(3), -1);
}

INSTANTIATE_TEST_SUITE_P(DirManager, DataLimit, ::testing::ValuesIn(kLimitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the item array ----------------------------------------------------------------------

TEST(DirArray, GrowsByADoublingStepCappedAt10000) {
  TZFDirArray a;
  const std::pair<int, int> steps[] = {{1, 1000},     {1001, 3000},   {3001, 7000},
                                       {7001, 15000}, {15001, 25000}, {25001, 35000},
                                       {100, 35000},  {0, 0}};
  for (const auto& [count, capacity] : steps) {
    a.SetCount(count);
    EXPECT_EQ(a.Count(), count);
    EXPECT_EQ(a.Capacity(), capacity) << "after SetCount(" << count << ")";
  }
}

TEST(DirArray, IndexChecksAndAnIndexThatFollowsTheItems) {
  TZFDirArray a;
  a.SetCount(3);
  EXPECT_EQ(NativeErrorOf([&] { a.GetItem(3); }), neIndexGetItem);
  EXPECT_EQ(NativeErrorOf([&] { a.ItemRef(-1); }), neIndexItemRef);
  // The index is made from the items when asked, so naming them in any
  // order keeps it in step.
  a.RenameItem(2, "X");
  EXPECT_EQ(a.IndexOfName("x"), 2);
  a.RenameItem(0, "x");
  EXPECT_EQ(a.IndexOfName("x"), 2);  // the newest of equal names
  a.SetCount(1);
  EXPECT_EQ(a.IndexOfName("X"), 0);
}

TEST(DirArray, RepeatedNamesKeepTheirOwnIndexEntries) {
  TZFDirArray a;
  a.SetCount(4);
  const char* names[] = {"", "", "Read.Me", "READ.ME"};
  for (int i = 0; i < 4; ++i) a.RenameItem(i, names[i]);
  a.RenameItem(0, "Renamed");  // found by position, not by its (repeated) name
  EXPECT_EQ(a.NameIndex().Get(0), "renamed");
  EXPECT_EQ(a.IndexOfName("RENAMED"), 0);
  EXPECT_EQ(a.IndexOfName("read.me"), 3);  // the newest of equal names
  EXPECT_EQ(a.ItemRef(2).Name(), "Read.Me");
  a.Clear();
  EXPECT_EQ(a.IndexOfName("renamed"), -1);
  EXPECT_EQ(a.Capacity(), 1000);
}

// ---- a new archive ---------------------------------------------------------------------

TEST(DirManagerNewArchive, StubThenEmptyEndRecordReadsBackWithItsPrefix) {
  test::TempDir dir;
  const std::string stub = test::NoiseBytes(321, 5);
  test::WriteFile(dir / "stub.exe", stub);
  TZipArchiver owner;
  owner.SetSFXStub(dir / "stub.exe");
  TMemoryStream stream;
  {
    TZFDirManager m(&stream, owner.Volumes(), owner.DirSettings(), true);
    EXPECT_EQ(m.PrefixLength(), stub.size());
    m.WriteDirectory(nullptr);
  }
  const Bytes expected = [&] {
    Bytes b(stub.begin(), stub.end());
    const Bytes end = EmptyArchiveEndRecordBytes(0, stub.size());
    b.insert(b.end(), end.begin(), end.end());
    return b;
  }();
  EXPECT_EQ(stream.Data(), expected);

  Reader r(stream.Data());
  EXPECT_EQ(r.Read().PrefixLength(), stub.size());
  EXPECT_EQ(r.manager->Dir().Count(), 0);
}

TEST(DirManagerNewArchive, StubLargerThanTheFirstVolumeFails) {
  test::TempDir dir;
  test::WriteFile(dir / "stub.exe", std::string(70000, 's'));
  TZipArchiver owner;
  owner.SetSFXStub(dir / "stub.exe");
  owner.SetSpanningMode(smSplitting);
  owner.SpanningOptions().SetFirstVolumeSize(65536);
  TMemoryStream stream;
  EXPECT_EQ(NativeErrorOf([&] { TZFDirManager m(&stream, owner.Volumes(), owner.DirSettings(), true); }), neStubTooLarge);
}

TEST(DirManagerThroughOpen, ArchiveFileBehindAStubOpensWithCorrectedOffsets) {
  test::TempDir dir;
  ZipBuilder b;
  b.Add(File("readme.txt", "hello")).Prefix(std::string(4096, 'M'), true);
  const ZipLayout z = b.Save(dir / "setup.stp");
  TZipArchiver zip;
  zip.SetFileName(dir / "setup.stp");
  zip.Open();
  ASSERT_NE(zip.DirManager(), nullptr);
  EXPECT_EQ(zip.DirManager()->PrefixLength(), 4096u);
  EXPECT_EQ(zip.DirManager()->Dir().ItemRef(0).LocalHeaderOffset(),
            static_cast<int64_t>(z.localOffsets[0]));
  EXPECT_EQ(zip.DirManager()->DirectoryStart(), static_cast<int64_t>(z.directoryOffset));
  zip.Close();
}

}  // namespace
}  // namespace zf
