// What reading a directory costs in memory, counted by this program's own
// operator new: the peak of the bytes allocated while a crafted directory is
// read stays within a small multiple of the archive's bytes, and a
// directory that would pass the item array's limit, or the process's
// memory, fails its open with the limit error.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirArray.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "test_util.h"
#include "zip_builder.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// ---- counted allocation -------------------------------------------------------
// Every block carries its size in front, so that the live total and its peak
// can be kept.

namespace {

std::atomic<int64_t> gLive{0};
std::atomic<int64_t> gPeak{0};
constexpr size_t kHeader = alignof(std::max_align_t) > sizeof(size_t) ? alignof(std::max_align_t)
                                                                      : sizeof(size_t);

void* CountedNew(size_t size) {
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(raw) = size;
  const int64_t live = gLive += static_cast<int64_t>(size);
  for (int64_t peak = gPeak; live > peak && !gPeak.compare_exchange_weak(peak, live);) {
  }
  return static_cast<char*>(raw) + kHeader;
}

void CountedDelete(void* p) noexcept {
  if (p == nullptr) return;
  void* raw = static_cast<char*>(p) - kHeader;
  gLive -= static_cast<int64_t>(*static_cast<size_t*>(raw));
  std::free(raw);
}

}  // namespace

void* operator new(size_t size) { return CountedNew(size); }
void* operator new[](size_t size) { return CountedNew(size); }
void operator delete(void* p) noexcept { CountedDelete(p); }
void operator delete[](void* p) noexcept { CountedDelete(p); }
void operator delete(void* p, size_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, size_t) noexcept { CountedDelete(p); }

namespace zf {
namespace {

using test::NativeErrorOf;
using test::ZipBuilder;
using test::ZipEntry;
using Bytes = std::vector<uint8_t>;

// The peak of the bytes allocated while f runs, above what was live before.
int64_t PeakAllocatedBy(const std::function<void()>& f) {
  const int64_t before = gLive;
  gPeak = before;
  f();
  return gPeak - before;
}

ZipEntry Stored(std::string name) {
  ZipEntry e;
  e.name = std::move(name);
  e.method = kMethodStored;
  return e;
}

// count entries whose central extra field is nothing but empty blocks
// (4 bytes each, 65,532 bytes in all).
Bytes EmptyExtraBlocks(int count) {
  Bytes extra;
  while (extra.size() + 4 <= 0xFFFF) PutExtraBlock(extra, 0xCAFE, {});
  ZipBuilder b;
  for (int i = 0; i < count; ++i) {
    ZipEntry e = Stored(std::to_string(i));
    e.centralExtra = extra;
    b.Add(e);
  }
  return b.Build().bytes;
}

// count local headers of 30 bytes, nothing else: no directory, so the
// reader rebuilds one from them.
Bytes BareLocalHeaders(int count) {
  Bytes bytes;
  TLocalFileHeader h;
  h.VersionNeeded = 20;
  for (int i = 0; i < count; ++i) PutLocalFileHeader(bytes, h);
  return bytes;
}

// count empty files with one-letter names, as a real writer makes them.
Bytes TinyEntries(int count) {
  ZipBuilder b;
  for (int i = 0; i < count; ++i) b.Add(Stored(std::string(1, static_cast<char>('a' + i % 26))));
  return b.Build().bytes;
}

struct MemoryCase {
  const char* name;
  std::function<Bytes()> build;
  int entries;
  double bytesPerArchiveByte;  // the bound on the peak, per byte of the archive
};

// Before items were made compact an empty extra block took about 32 bytes,
// a bare local header about 340 and a tiny entry about 210.
const MemoryCase kMemoryCases[] = {
    {"EmptyExtraBlocks", [] { return EmptyExtraBlocks(64); }, 64, 1.5},
    {"BareLocalHeadersRebuilt", [] { return BareLocalHeaders(50000); }, 50000, 4.5},
    {"TinyEntries", [] { return TinyEntries(50000); }, 50000, 2.0},
};

class DirectoryMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(DirectoryMemory, PeakStaysProportionalToTheArchive) {
  const MemoryCase& c = GetParam();
  TZipArchiver archiver;
  TMemoryStream stream;
  stream.Data() = c.build();
  const double size = static_cast<double>(stream.Data().size());
  TZFDirManager manager(&stream, archiver.Volumes(), archiver.DirSettings(), false);
  const int64_t peak = PeakAllocatedBy([&] { manager.ReadDirectory(); });
  EXPECT_EQ(manager.Dir().Count(), c.entries);
  // A fixed allowance for the reader's buffers and the first block of slots.
  EXPECT_LE(static_cast<double>(peak), c.bytesPerArchiveByte * size + (1 << 20))
      << peak / size << " bytes per archive byte";
  EXPECT_LE(manager.Dir().MemoryUsed(), manager.Dir().MemoryLimit());
}

INSTANTIATE_TEST_SUITE_P(DirManager, DirectoryMemory, ::testing::ValuesIn(kMemoryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the limit ------------------------------------------------------------------

struct LimitCase {
  const char* name;
  std::function<Bytes()> build;
};

// Each needs more than 1 MB: slots for 20,000 items, 20 extra fields of
// 64 KB, or 20,000 items rebuilt one by one.
const LimitCase kLimitCases[] = {
    {"SlotsForTheCount", [] { return TinyEntries(20000); }},
    {"TextOfTheItems", [] { return EmptyExtraBlocks(20); }},
    {"ItemsOfARebuild", [] { return BareLocalHeaders(20000); }},
};

class DirectoryLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(DirectoryLimit, FailsWithTheLimitErrorAndNoRebuild) {
  TZipArchiver archiver;
  TMemoryStream stream;
  stream.Data() = GetParam().build();
  TZFDirManager manager(&stream, archiver.Volumes(), archiver.DirSettings(), false);
  manager.Dir().SetMemoryLimit(1 << 20);
  try {
    manager.ReadDirectory();
    FAIL() << "read " << manager.Dir().Count() << " items";
  } catch (const EZFException& e) {
    EXPECT_EQ(e.NativeError(), neDirectoryTooLarge);
    EXPECT_EQ(e.Message(),
              "The archive's directory needs more memory than the limit of 1 MB - Native error: "
              "00061");
  }
  EXPECT_LE(manager.Dir().MemoryUsed(), 1 << 20);
  // Not taken for damage: a rebuild would need as much.
  for (const TZFDirFinding& f : manager.Report().Findings)
    EXPECT_NE(f.Problem, TZFDirProblem::Unreadable) << f.Text;
}

INSTANTIATE_TEST_SUITE_P(DirManager, DirectoryLimit, ::testing::ValuesIn(kLimitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirArray, SlotsAndTextAreCountedAndFreed) {
  TZFDirArray a;
  a.SetCount(1);
  const int64_t slots = a.MemoryUsed();
  EXPECT_GE(slots, static_cast<int64_t>(sizeof(TDirItem)));
  a.SetItemText(0, "name", {}, std::string(60000, 'c'));
  EXPECT_EQ(a.MemoryUsed(), slots + 60004);
  EXPECT_EQ(a.ItemRef(0).Comment().size(), 60000u);
  a.Clear();
  EXPECT_EQ(a.MemoryUsed(), slots);
  a.SetCount(0);
  EXPECT_EQ(a.MemoryUsed(), 0);
}

// ---- out of memory -------------------------------------------------------------------
// A directory of four million zero-filled central headers, as a sparse file
// of 184 MB: its items need about 320 MB. A child process whose address
// space leaves less than that opens it; the open must fail with the limit
// error (and free what it read), not let std::bad_alloc escape.

#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
#define ZF_NO_ADDRESS_SPACE_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZF_NO_ADDRESS_SPACE_LIMIT 1
#endif
#endif

#ifndef ZF_NO_ADDRESS_SPACE_LIMIT
void WriteSparseDirectory(const std::string& path, uint64_t entries) {
  const uint64_t size = entries * kCentralFileHeaderSize;
  Bytes tail;
  TZip64EndOfCentralDir z;
  z.VersionMadeBy = z.VersionNeeded = 45;
  z.EntriesOnDisk = z.TotalEntries = entries;
  z.DirectorySize = size;
  z.DirectoryOffset = 0;
  PutZip64EndOfCentralDir(tail, z);
  TZip64Locator locator;
  locator.Zip64RecordOffset = size;
  locator.TotalDisks = 1;
  PutZip64Locator(tail, locator);
  TEndOfCentralDir end;
  end.EntriesOnDisk = end.TotalEntries = kSentinel16;
  end.DirectorySize = end.DirectoryOffset = kSentinel32;
  PutEndOfCentralDir(tail, end);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fseeko(f, static_cast<off_t>(size), SEEK_SET), 0);
  ASSERT_EQ(std::fwrite(tail.data(), 1, tail.size(), f), tail.size());
  ASSERT_EQ(std::fclose(f), 0);
}

int64_t AddressSpaceInUse() {
  long pages = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr || std::fscanf(f, "%ld", &pages) != 1) pages = 0;
  if (f) std::fclose(f);
  return static_cast<int64_t>(pages) * sysconf(_SC_PAGESIZE);
}
#endif

TEST(DirectoryOutOfMemory, OpenFailsWithTheLimitError) {
#ifdef ZF_NO_ADDRESS_SPACE_LIMIT
  GTEST_SKIP() << "no address-space limit for a child process in this build";
#else
  test::TempDir dir;
  const std::string path = dir / "sparse.zip";
  WriteSparseDirectory(path, 4000000);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlim_t limit = static_cast<rlim_t>(AddressSpaceInUse() + (160 << 20));
    const rlimit space{limit, limit};
    if (setrlimit(RLIMIT_AS, &space) != 0) _exit(10);
    TZipArchiver archiver;
    archiver.SetFileName(path);
    int status = 11;
    try {
      archiver.Open();
      status = 12;
    } catch (const EZFException& e) {
      status = e.NativeError() == neDirectoryTooLarge && archiver.DirManager()->Dir().Count() == 0
                   ? 0
                   : 13;
    } catch (const std::bad_alloc&) {
      status = 14;
    } catch (...) {
      status = 15;
    }
    _exit(status);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  // 12: opened; 13: another error or items left; 14: std::bad_alloc escaped.
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

}  // namespace
}  // namespace zf
