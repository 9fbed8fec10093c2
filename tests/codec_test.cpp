// Tests of the entry data codec: archives built byte by byte, opened by a
// TZipArchiver, and one entry decoded into a memory stream. Damaged and
// hostile entries (bombs, overlaps, wrong sizes, cut archives) come from
// overriding single fields of good ones.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFCodec.h"
#include "archive/ZFDecodeAhead.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "test_util.h"
#include "zip_builder.h"

// The case tables name only the fields of an entry that differ from its
// defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace zf {
namespace {

using test::ZipBuilder;
using test::ZipEntry;

constexpr uint32_t MiB = 1024 * 1024;

std::string AsString(const TMemoryStream& s) { return {s.Data().begin(), s.Data().end()}; }

// An archive file opened by a component; Decode positions the archive stream
// at an entry's local header and runs the codec on it.
class OpenArchive {
 public:
  explicit OpenArchive(const ZipBuilder& builder) : layout(builder.Save(dir / "test.zip")) {
    archiver.SetFileName(dir / "test.zip");
    archiver.Open();
  }
  const TDirItem& Item(int i) { return archiver.DirManager()->Dir().ItemRef(i); }
  TZFEntryPlace Place(int i) { return archiver.DirManager()->PlaceOf(i); }
  TZFDecodeResult Decode(int i, TMemoryStream& out) { return archiver.DecodeItem(i, out); }
  TZFDecodeResult Decode(int i, TMemoryStream& out, int64_t dataLimit) {
    TZFEntryPlace place = Place(i);
    place.DataLimit = dataLimit;
    archiver.ArchiveStream()->SetPosition(Item(i).LocalHeaderOffset());
    return DecodeEntry(archiver.Volumes(), archiver.DecodeEvents(), out, Item(i), place);
  }
  // Position of entry i's data in the archive.
  int64_t DataStart(int i) {
    return static_cast<int64_t>(layout.localOffsets[i]) + 30 + Item(i).Header.NameLength;
  }

  test::TempDir dir;
  test::ZipLayout layout;
  TZipArchiver archiver;
};

// ---- chunk sizing ------------------------------------------------------------------

TEST(CodecChunkSizing, OutputEstimateRoundsOnTheLogScaleAndSaturates) {
  struct Case {
    uint64_t ratio;
    uint32_t n;
    uint64_t expected;
  };
  const Case cases[] = {
      {0, 1, 256},                         // 268 -> 256, already a power of two
      {0, 512, 1024},                      // 1035 -> 1024
      {0, 700, 1024},                      // 1280 lies below 1024 * sqrt(2): rounds down
      {2, 512, 4096},                      // 3072 lies above 2048 * sqrt(2): rounds up
      {1, MiB, 4 * MiB},                   // stored data: 3,146,240 -> 2^22
      {UINT64_MAX, MiB, UINT64_MAX},       // ratio + 1 would wrap to 0
      {uint64_t{1} << 62, 1, UINT64_MAX},  // the product would wrap
  };
  for (const Case& c : cases)
    EXPECT_EQ(OutputEstimate(c.ratio, c.n), c.expected) << c.ratio << " " << c.n;
}

TEST(CodecChunkSizing, ChunkLengthShrinksUntilTheOutputFitsTheMemoryShare) {
  struct Case {
    int64_t remaining;
    uint64_t ratio;
    uint32_t memory;
    uint32_t expected;
  };
  const Case cases[] = {
      {5, 0, UINT32_MAX, 5},
      {3 * int64_t{MiB}, 1, UINT32_MAX, MiB},
      {int64_t{1} << 40, 1, UINT32_MAX, MiB},  // Zip64-sized rest: still one MiB
      {3 * int64_t{MiB}, 1000, UINT32_MAX, 64 * 1024},
      {3 * int64_t{MiB}, UINT64_MAX, UINT32_MAX, 256},  // a bomb's ratio: smallest chunks
      {3 * int64_t{MiB}, 1, 0, 256},                    // no memory at all
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChunkLength(c.remaining, c.ratio, c.memory), c.expected)
        << c.remaining << " " << c.ratio << " " << c.memory;
}

// ---- decoding -------------------------------------------------------------------------

TEST(CodecDecode, EntriesOfEveryKind) {
  const std::string text = [] {
    std::string s;
    for (int i = 0; s.size() < 100000; ++i) s += "line " + std::to_string(i) + " of the text\n";
    return s;
  }();
  const std::string noise = test::NoiseBytes(3 * MiB + 12345);  // deflates to > 1 MiB
  struct Case {
    const char* name;
    ZipEntry entry;
    TZFCause cause;  // None: decodes well
  };
  using enum TZFCause;
  const uint32_t textSize = static_cast<uint32_t>(text.size());
  // clang-format off
  const Case cases[] = {
      {"stored", {.data = text, .method = 0}, None},
      {"deflated", {.data = text}, None},
      {"deflated over several chunks", {.data = noise}, None},
      {"zip64 sizes", {.data = text, .zip64 = true}, None},
      {"encrypted stored", {.data = text, .method = 0, .password = "pw"}, None},
      {"encrypted deflated", {.data = text, .password = "pw"}, None},
      // The check byte is the time's high byte; the CRC's differs.
      {"encrypted with data descriptor", {.data = text, .password = "pw", .dataDescriptor = true}, None},
      {"encrypted, shorter than its header",
       {.data = "abc", .method = 0, .password = "pw", .rawData = "12345"}, Truncated},
      {"crc mismatch", {.data = text, .crc = test::Crc32Of(text) ^ 1}, CrcMismatch},
      {"declared size too large", {.data = text, .uncompressedSize = textSize + 1}, SizeMismatch},
      {"deflate bomb", {.data = std::string(MiB, '\0'), .uncompressedSize = 1000}, SizeMismatch},
      {"stored bomb", {.data = text, .method = 0, .uncompressedSize = 1000}, SizeMismatch},
      {"corrupt deflate data", {.data = text, .rawData = std::string(200, '\xFF')}, DamagedData},
      {"other method, version 10", {.data = text, .method = 97, .versionNeeded = 10},
       UnsupportedMethod},
      // A method neither the registry nor the block-structured format
      // knows: refused before any password question, never taken for a
      // password or CRC problem.
      {"method 97, version 63", {.data = text, .method = 97, .versionNeeded = 63},
       UnsupportedMethod},
      {"method 97, encrypted", {.data = text, .method = 97, .password = "other",
                                .versionNeeded = 63}, UnsupportedMethod},
      // The size runs into the central directory and is cut at its start:
      // the stored data and the deflate stream end exactly there.
      {"stored size past the directory",
       {.data = text, .method = 0, .compressedSize = textSize + 5000}, None},
      {"deflated size past the directory", {.data = text, .compressedSize = 0x7FFFFFF0}, None},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool ok = c.cause == None;
    ZipEntry e = c.entry;
    e.name = "dir/entry.txt";
    const std::string declared = e.data.substr(0, e.uncompressedSize.value_or(e.data.size()));
    if (e.dataDescriptor) {
      ASSERT_NE(test::Crc32Of(e.data) >> 24, e.time >> 8u);
    }
    OpenArchive a(ZipBuilder().Add(e));
    a.archiver.SetPassword("pw");
    int passwordRequests = 0;
    a.archiver.OnPassword = [&](TZFBaseArchiver*, const std::string&, std::string&, bool& skip) {
      ++passwordRequests;
      skip = true;
    };
    TMemoryStream out;
    const TZFDecodeResult result = a.Decode(0, out);
    EXPECT_STREQ(CauseName(result.Cause()), CauseName(c.cause));
    if (!ok) {
      EXPECT_EQ(result.Failure.EntryOffset, a.Item(0).LocalHeaderOffset());
    }
    EXPECT_EQ(passwordRequests, 0);

    // Decoding ahead never passes an entry the codec fails, takes every
    // good one a run gives it, and replaying it writes the same bytes.
    TFileStream own(a.dir / "test.zip", TFileMode::fmOpenReadDenyNone);
    own.SetPosition(a.Item(0).LocalHeaderOffset());
    TZFDecodedEntry ahead;
    const bool aheadOk = DecodeEntryAhead(own, a.Item(0), a.Place(0), "pw", ahead);
    if (!ok) {
      EXPECT_FALSE(aheadOk);
    } else if (TZFDecodeAhead::Worthwhile(a.Item(0))) {
      EXPECT_TRUE(aheadOk);
    }
    if (aheadOk) {
      TMemoryStream replayed;
      EXPECT_TRUE(ReplayEntry(a.archiver.DecodeEvents(), replayed, a.Item(0), ahead).Ok());
      EXPECT_EQ(AsString(replayed), e.data);
    }
    if (ok) {
      EXPECT_EQ(AsString(out), e.data);
    } else {
      // Never more than declared; a method it cannot decode writes nothing.
      EXPECT_LE(out.Data().size(), declared.size());
      if (e.method == 97) {
        EXPECT_TRUE(out.Data().empty());
      }
    }
  }
}

TEST(CodecDecode, DataPassingTheDataLimitIsRefusedUnread) {
  const ZipEntry e{.name = "a.txt", .data = std::string(5000, 'a'), .method = 0};
  OpenArchive a(ZipBuilder().Add(e));
  const int64_t end = a.DataStart(0) + 5000;
  TMemoryStream refused, accepted;
  EXPECT_EQ(a.Decode(0, refused, end - 1).Cause(), TZFCause::Overlap);
  EXPECT_TRUE(refused.Data().empty());
  EXPECT_TRUE(a.Decode(0, accepted, end).Ok());
}

// A single-file archive that loses bytes after it was opened: the short
// read fails the entry and is never continued from the archive's start.
TEST(CodecDecode, TruncatedArchiveFailsWithoutRereadingItsStart) {
  const ZipEntry e{.name = "big.bin", .data = test::NoiseBytes(200000), .method = 0};
  const test::ZipLayout layout = ZipBuilder().Add(e).Build();
  TZipArchiver archiver;
  archiver.SetInMemory(true);
  archiver.Open();
  auto& bytes = dynamic_cast<TMemoryStream&>(*archiver.ArchiveStream()).Data();
  bytes = layout.bytes;
  archiver.DirManager()->ReadDirectory();
  bytes.resize(30 + e.name.size() + 100000);

  TMemoryStream out;
  EXPECT_EQ(archiver.DecodeItem(0, out).Cause(), TZFCause::Truncated);
  EXPECT_TRUE(out.Data().empty());
}

// ---- block-structured entries -----------------------------------------------------

// The header and the blocks of a block-structured entry.
std::string BlockEntryData(uint32_t blockSize, uint32_t total, uint32_t count, bool compressed,
                           const std::vector<std::string>& blocks) {
  TBlockFormatHeader h;
  h.BlockSize = blockSize;
  h.TotalSize = total;
  h.BlockCount = count;
  h.Compressed = compressed ? 1 : 0;
  std::vector<uint8_t> b;
  PutBlockFormatHeader(b, h);
  for (const std::string& block : blocks) {
    Put32(b, static_cast<uint32_t>(block.size()));
    b.insert(b.end(), block.begin(), block.end());
  }
  return {b.begin(), b.end()};
}

std::string ZlibCompress(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
           static_cast<uLong>(data.size()));
  out.resize(n);
  return out;
}

TEST(CodecDecode, BlockStructuredEntries) {
  const std::string plain = test::NoiseBytes(2500, 7) + std::string(500, 'x');  // 3 blocks
  const std::string p0 = plain.substr(0, 1000), p1 = plain.substr(1000, 1000),
                    p2 = plain.substr(2000);
  struct Case {
    const char* name;
    std::string raw;
    TZFCause cause;
  };
  using enum TZFCause;
  const Case cases[] = {
      {"compressed blocks",
       BlockEntryData(1000, 3000, 3, true, {ZlibCompress(p0), ZlibCompress(p1), ZlibCompress(p2)}),
       None},
      {"stored blocks", BlockEntryData(1000, 3000, 3, false, {p0, p1, p2}), None},
      // Sizes and CRC would add up: only the first block's length is wrong.
      {"stored block shorter than expected",
       BlockEntryData(1000, 3000, 2, false, {plain.substr(0, 999), plain.substr(999)}),
       SizeMismatch},
      {"block length past the entry",
       BlockEntryData(1000, 3000, 3, false, {p0}) + std::string("\xF0\xFF\xFF\x7F", 4),
       DamagedData},
      {"block count beyond the blocks", BlockEntryData(1000, 3000, 0xFFFFFFFF, false, {p0, p1, p2}),
       Truncated},
      {"block inflating past the declared size",
       BlockEntryData(1000, 3000, 1, true, {ZlibCompress(std::string(1 << 20, 'z'))}),
       SizeMismatch},
      {"compressed block that decodes to nothing",
       BlockEntryData(1000, 3000, 1, true, {ZlibCompress("")}), DamagedData},
      {"compressed block cut short",
       BlockEntryData(1000, 3000, 1, true, {ZlibCompress(plain).substr(0, 100)}), DamagedData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ZipEntry e{
        .name = "blocks.bin", .data = plain, .method = 97, .versionNeeded = 20, .rawData = c.raw};
    OpenArchive a(ZipBuilder().Add(e));
    TMemoryStream out;
    EXPECT_STREQ(CauseName(a.Decode(0, out).Cause()), CauseName(c.cause));
    if (c.cause == TZFCause::None) {
      EXPECT_EQ(AsString(out), plain);
    }
    EXPECT_LE(out.Data().size(), plain.size());
  }
}

// Takes every byte and keeps only their count.
class TCountingStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    size_ += count;
    return count;
  }
  int64_t Seek(int64_t, os::SeekOrigin) override { return size_; }
  int64_t GetSize() override { return size_; }
  void SetSize(int64_t) override {}

 private:
  int64_t size_ = 0;
};

TEST(CodecDecode, BlockDeclaringAHugeSizeDecodesInPieces) {
  // One block of 64 MiB of zeros in 64 KiB: decoded through one piece
  // buffer into a stream that keeps nothing (zfx's test measures the peak
  // memory of the same under a 256 MiB block).
  const std::string plain(64 * MiB, '\0');
  const std::string packed = ZlibCompress(plain);
  ASSERT_LT(packed.size(), 128u * 1024);
  const ZipEntry e{.name = "huge.bin",
                   .data = plain,
                   .method = 97,
                   .versionNeeded = 20,
                   .rawData = BlockEntryData(64 * MiB, 64 * MiB, 1, true, {packed})};
  OpenArchive a(ZipBuilder().Add(e));
  TCountingStream out;
  EXPECT_STREQ(CauseName(a.archiver.DecodeItem(0, out).Cause()), CauseName(TZFCause::None));
  EXPECT_EQ(out.GetSize(), int64_t{64} * MiB);
}

// ---- password requests --------------------------------------------------------------

TEST(CodecPassword, AHandlerAnsweringWithFailedPasswordsEndsInAWrongPassword) {
  // An encrypted block entry whose check never fits, and an ordinarily
  // encrypted one; the handler never skips.
  TBlockFormatHeader h;
  h.BlockCount = 0;
  h.Encryption = 1;
  h.CheckCrc = 0x12345678;
  std::vector<uint8_t> header;
  PutBlockFormatHeader(header, h);
  const ZipEntry block{.name = "block.bin",
                       .data = "",
                       .method = 97,
                       .versionNeeded = 20,
                       .rawData = std::string(header.begin(), header.end())};
  const ZipEntry standard{.name = "locked.txt", .data = "locked", .password = "secret"};
  struct Case {
    const char* name;
    ZipEntry entry;
    std::vector<std::string> answers;  // in turn, over and over
    size_t requests;
  };
  const Case cases[] = {
      {"block entry, one answer", block, {"same"}, 3},
      {"block entry, two answers in turn", block, {"one", "two"}, 4},
      {"standard entry, one answer", standard, {"wrong"}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenArchive a(ZipBuilder().Add(c.entry));
    a.archiver.SetPassword(c.answers[0]);
    size_t requests = 0;
    a.archiver.OnPassword = [&](TZFBaseArchiver*, const std::string&, std::string& password,
                                bool& skip) {
      skip = false;
      password = c.answers[++requests % c.answers.size()];
    };
    TMemoryStream out;
    EXPECT_STREQ(CauseName(a.Decode(0, out).Cause()), CauseName(TZFCause::WrongPassword));
    EXPECT_EQ(requests, c.requests);
  }
}

TEST(CodecPassword, RequestsRepeatUntilThePasswordFitsOrTheEntryIsSkipped) {
  struct Case {
    const char* name;
    std::vector<std::string> answers;  // "" skips
    bool ok;  // else skipped
  };
  const Case cases[] = {
      {"right answer", {"secret"}, true},
      {"wrong, then right", {"guess", "secret"}, true},
      {"skipped", {""}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ZipEntry e{.name = "dir/locked.txt", .data = "locked contents", .password = "secret"};
    OpenArchive a(ZipBuilder().Add(e));
    a.archiver.SetPassword("wrong");
    std::vector<std::string> names;
    a.archiver.OnPassword = [&](TZFBaseArchiver*, const std::string& name, std::string& password,
                                bool& skip) {
      const std::string& answer = c.answers[names.size()];
      names.push_back(name);
      skip = answer.empty();
      if (!skip) password = answer;
    };
    TMemoryStream out;
    EXPECT_EQ(a.Decode(0, out).Cause(), c.ok ? TZFCause::None : TZFCause::Skipped);
    EXPECT_EQ(names.size(), c.answers.size());
    EXPECT_EQ(names[0], "dir/locked.txt");
    EXPECT_EQ(AsString(out), c.ok ? e.data : "");
    if (c.ok) {
      EXPECT_EQ(a.archiver.GetPassword(), "secret");  // kept for the next entries
    }
  }
}

// ---- progress and cancel --------------------------------------------------------------

struct ProgressLog {
  std::vector<double> file, overall;
  std::vector<std::string> names;
  bool cancelAtFirst = false;

  void Attach(TZFBaseArchiver& a) {
    a.OnFileProgress = [this](TZFBaseArchiver*, const std::string& name, double p,
                              TZFProcessOperation op, TZFProgressPhase phase, bool& cancel) {
      EXPECT_EQ(op, poExtract);
      EXPECT_EQ(phase, ppProcess);
      names.push_back(name);
      file.push_back(p);
      cancel = cancelAtFirst;
    };
    a.OnOverallProgress = [this](TZFBaseArchiver*, double p, TZFProcessOperation,
                                 TZFProgressPhase phase, bool&) {
      EXPECT_EQ(phase, ppProcess);
      overall.push_back(p);
    };
  }
};

TEST(CodecProgress, OneReportBeforeEachChunkAndNoneForAnEmptyEntry) {
  // Chunks of 1 MiB, 1 MiB and 0.5 MiB.
  const ZipEntry big{.name = "dir/big.bin", .data = test::NoiseBytes(5 * MiB / 2), .method = 0};
  const ZipEntry empty{.name = "empty.txt", .method = 0};
  OpenArchive a(ZipBuilder().Add(big).Add(empty));
  ProgressLog log;
  log.Attach(a.archiver);

  TMemoryStream out;
  ASSERT_TRUE(a.Decode(0, out).Ok());
  // Outside an extraction run the entry counts alone: overall is the file's.
  const std::vector<double> file{0, 40, 80}, overall{0, 40, 80};
  ASSERT_EQ(log.file.size(), file.size());
  ASSERT_EQ(log.overall.size(), overall.size());
  for (size_t i = 0; i < file.size(); ++i) {
    EXPECT_NEAR(log.file[i], file[i], 1e-9);
    EXPECT_NEAR(log.overall[i], overall[i], 1e-9);
  }
  EXPECT_EQ(log.names[0], "dir\\big.bin");  // the dispatcher turns "/" into "\"

  log.file.clear();
  TMemoryStream none;
  EXPECT_TRUE(a.Decode(1, none).Ok());
  EXPECT_TRUE(log.file.empty());
}

TEST(CodecProgress, CancelStopsBeforeTheNextChunk) {
  const ZipEntry e{.name = "a.txt", .data = std::string(100000, 'a')};
  OpenArchive a(ZipBuilder().Add(e));
  ProgressLog log;
  log.cancelAtFirst = true;
  log.Attach(a.archiver);
  TMemoryStream out;
  EXPECT_EQ(a.Decode(0, out).Cause(), TZFCause::Cancelled);
  EXPECT_TRUE(a.archiver.Cancelled());
  EXPECT_TRUE(out.Data().empty());
  EXPECT_TRUE(log.overall.empty());  // stopped right after the call that cancelled
}

// ---- decoding ahead ------------------------------------------------------------------

// The worker fills its slots and waits; a run that then passes every job
// (the entries it still wants are none of them) must stop the worker
// without it reading a job past the last.
TEST(CodecDecodeAhead, RunPassingEveryJobStopsTheWorker) {
  constexpr int kEntries = static_cast<int>(TZFDecodeAhead::kSlots) + 8;
  ZipBuilder b;
  for (int i = 0; i < kEntries; ++i) b.Add({.name = std::to_string(i), .data = std::to_string(i)});
  OpenArchive a(b);
  std::vector<TZFDecodeAhead::TJob> jobs;
  for (int i = 0; i < kEntries; ++i) jobs.push_back({i, a.Item(i), a.Place(i)});
  auto ahead = TZFDecodeAhead::Start(a.dir / "test.zip", jobs, "");
  ASSERT_NE(ahead, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the worker's slots fill up
  const TZFDecodedEntry* first = ahead->Take(0, "", *a.archiver.ArchiveStream());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(AsString(first->Data), "0");
  EXPECT_EQ(ahead->Take(kEntries, "", *a.archiver.ArchiveStream()), nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the worker wakes and ends
}

// ---- reading ahead ---------------------------------------------------------------
// Entries of more than one chunk are read and decrypted one chunk ahead on a
// second thread; what the caller sees must not change.

TEST(CodecReadAhead, EncryptedEntriesOfSeveralChunks) {
  const std::string noise = test::NoiseBytes(3 * MiB + 4321);
  struct Case {
    const char* name;
    ZipEntry entry;
    bool ok;
  };
  // clang-format off
  const Case cases[] = {
      {"stored", {.data = noise, .method = 0, .password = "pw"}, true},
      {"deflated", {.data = noise, .password = "pw"}, true},
      {"crc mismatch", {.data = noise, .password = "pw", .crc = test::Crc32Of(noise) ^ 1}, false},
      {"declared size too small", {.data = noise, .method = 0, .password = "pw",
                                   .uncompressedSize = 2 * MiB}, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZipEntry e = c.entry;
    e.name = "big.bin";
    OpenArchive a(ZipBuilder().Add(e));
    a.archiver.SetPassword("pw");
    ProgressLog log;
    log.Attach(a.archiver);
    TMemoryStream out;
    EXPECT_EQ(a.Decode(0, out).Ok(), c.ok);
    EXPECT_GE(log.file.size(), 3u);  // one report per chunk, as without reading ahead
    if (c.ok) {
      EXPECT_EQ(AsString(out), e.data);
    }
    EXPECT_LE(out.Data().size(), e.uncompressedSize.value_or(e.data.size()));
  }
}

TEST(CodecReadAhead, CancelAtTheSecondChunkStopsBeforeExpandingIt) {
  const ZipEntry e{.name = "big.bin", .data = test::NoiseBytes(3 * MiB), .method = 0,
                   .password = "pw"};
  OpenArchive a(ZipBuilder().Add(e));
  a.archiver.SetPassword("pw");
  int reports = 0;
  a.archiver.OnFileProgress = [&](TZFBaseArchiver*, const std::string&, double,
                                  TZFProcessOperation, TZFProgressPhase, bool& cancel) {
    cancel = ++reports == 2;
  };
  TMemoryStream out;
  EXPECT_EQ(a.Decode(0, out).Cause(), TZFCause::Cancelled);
  EXPECT_TRUE(a.archiver.Cancelled());
  EXPECT_EQ(reports, 2);
  EXPECT_EQ(out.Data().size(), MiB);  // the first chunk only
  EXPECT_EQ(AsString(out), e.data.substr(0, MiB));
}

TEST(CodecReadAhead, ArchiveCutInsideALaterChunkFails) {
  const ZipEntry e{.name = "big.bin", .data = test::NoiseBytes(3 * MiB), .method = 0,
                   .password = "pw"};
  const test::ZipLayout layout = ZipBuilder().Add(e).Build();
  TZipArchiver archiver;
  archiver.SetInMemory(true);
  archiver.SetPassword("pw");
  archiver.Open();
  auto& bytes = dynamic_cast<TMemoryStream&>(*archiver.ArchiveStream()).Data();
  bytes = layout.bytes;
  archiver.DirManager()->ReadDirectory();
  bytes.resize(30 + e.name.size() + 12 + 2 * MiB + 1000);  // inside the third chunk

  TMemoryStream out;
  EXPECT_EQ(archiver.DecodeItem(0, out).Cause(), TZFCause::Truncated);
  EXPECT_EQ(AsString(out), e.data.substr(0, 2 * MiB));
}

// A destination that takes its first `room` bytes and then no more, with
// the given system error code.
class TFullStream : public TMemoryStream {
 public:
  TFullStream(int64_t room, int code) : room_(room), code_(code) {}
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = std::min(count, room_ - GetSize());
    return n > 0 ? TMemoryStream::Write(buffer, n) : 0;
  }
  int WriteErrorCode() const override {
    return static_cast<int64_t>(Data().size()) >= room_ ? code_ : 0;
  }

 private:
  int64_t room_;
  int code_;
};

#ifdef _WIN32
constexpr int kNoSpaceCode = 112;  // ERROR_DISK_FULL
#else
constexpr int kNoSpaceCode = 28;  // ENOSPC
#endif

// A short write fails the entry with the destination's reason, written on
// the caller's thread (stored) or behind it (deflated, a later buffer).
TEST(CodecWriteBehind, ShortWriteFailsTheEntryWithTheSystemsReason) {
  struct Case {
    const char* name;
    uint16_t method;
    int code;
    TZFCause cause;
  };
  const Case cases[] = {
      {"deflated, disk full", kMethodDeflated, kNoSpaceCode, TZFCause::DiskFull},
      {"stored, disk full", kMethodStored, kNoSpaceCode, TZFCause::DiskFull},
      {"deflated, no reason known", kMethodDeflated, 0, TZFCause::SystemError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ZipEntry e{.name = "big.bin", .data = test::NoiseBytes(3 * MiB), .method = c.method};
    OpenArchive a(ZipBuilder().Add(e));
    TFullStream out(MiB + 100, c.code);
    const TZFDecodeResult result = a.Decode(0, out);
    EXPECT_STREQ(CauseName(result.Cause()), CauseName(c.cause));
    EXPECT_EQ(out.Data().size(), MiB + 100);
    if (c.code != 0) {
      EXPECT_EQ(result.Failure.SystemText, os::ErrorText(c.code));
      EXPECT_NE(DescribeDetail(result.Failure).find("disk full: "), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace zf
