// What a failed or stopped extraction leaves on disk: never a partial file
// under a final name, an old file intact, nothing behind. Real files
// throughout: the platform's pending files, the engine on a folder in the
// way, and on Linux a full and a read-only tmpfs mounted by the test (as
// root) and zfx's own extraction code killed at a fixed point of a big
// entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "archive/ZFRecords.h"
#include "test_util.h"
#include "zip_builder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zstd.h>

#include <csignal>

#include "command_line.h"
#include "console.h"
#include "extract.h"
#include "terminal.h"
#include "zfx.h"
#endif

namespace zf {
namespace {

using test::TempDir;
using test::ZipBuilder;
using test::ZipEntry;

// Bytes deflate cannot shrink, so an entry's compressed size is about its
// size whatever its method.
std::string Incompressible(size_t size) {
  const std::vector<uint8_t> bytes = test::RandomBytes(size, 0x9E3779B9u);
  return std::string(bytes.begin(), bytes.end());
}

ZipEntry Entry(const std::string& name, std::string data, uint16_t method) {
  ZipEntry e;
  e.name = name;
  e.data = std::move(data);
  e.method = method;
  e.externalAttributes = os::faArchive;
  return e;
}

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<os::DirEntry> entries;
  os::ListDirectory(dir, entries);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// ---- the platform's pending file ------------------------------------------------

TEST(PendingFileTest, StandsUnderItsNameOnlyOnceCommitted) {
  enum class End { Commit, Replace, Discard, SomeoneElsesFileAppeared };
  struct Case {
    const char* what;
    bool oldFile;
    End end;
    const char* contents;  // of the target afterwards; nullptr: there is none
  } const cases[] = {
      {"new file", false, End::Commit, "new"},
      {"replaced file", true, End::Replace, "new"},
      {"replace with no old file", false, End::Replace, "new"},
      {"new file discarded", false, End::Discard, nullptr},
      {"replacement discarded", true, End::Discard, "old"},
      {"a file appeared meanwhile", false, End::SomeoneElsesFileAppeared, "theirs"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string target = dir / "t.bin";
    if (c.oldFile) test::WriteFile(target, "old");
    {
      os::PendingFile file;
      ASSERT_TRUE(file.Create(target)) << c.what;
      ASSERT_EQ(file.Handle().Write("new", 3), 3) << c.what;
      // Written in full, and still not under its name.
      if (c.oldFile) {
        EXPECT_EQ(test::ReadFile(target), "old") << c.what;
      } else {
        EXPECT_FALSE(os::FileExists(target)) << c.what;
      }
      switch (c.end) {
        case End::Commit:
          EXPECT_TRUE(file.Commit(false)) << c.what;
          break;
        case End::Replace:
          EXPECT_TRUE(file.Commit(true)) << c.what;
          break;
        case End::Discard:
          file.Discard();
          break;
        case End::SomeoneElsesFileAppeared:
          test::WriteFile(target, "theirs");
          EXPECT_FALSE(file.Commit(false)) << c.what;
          break;
      }
    }
    if (c.contents == nullptr) {
      EXPECT_FALSE(os::FileExists(target)) << c.what;
      EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{}) << c.what;
    } else {
      EXPECT_EQ(test::ReadFile(target), c.contents) << c.what;
      EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"t.bin"}) << c.what;
    }
  }
}

// ---- the engine -------------------------------------------------------------------

class FileSafetyTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string archive = dir / "pkg.zip";

  struct Outcome {
    std::vector<int32_t> natives;  // failures reported, in order
    TZFCause cause = TZFCause::None;  // of the last one
    std::string message;
  };
  Outcome ExtractInto(const ZipBuilder& b, const std::string& out) {
    b.Save(archive);
    TZipArchiver z;
    z.SetFileName(archive);
    z.SetBaseDir(out);
    z.Open();
    Outcome outcome;
    z.OnProcessFileFailure = [&](TZFBaseArchiver* sender, const std::string&,
                                 TZFProcessOperation, int32_t native, int32_t,
                                 const std::string& message, TZFAction& action) {
      outcome.natives.push_back(native);
      outcome.cause = static_cast<TZipArchiver*>(sender)->FailureDetail().Cause;
      outcome.message = message;
      action = fxaIgnore;
    };
    z.Extract("*.*", os::faSearchAll, "");
    return outcome;
  }
};

TEST_F(FileSafetyTest, SomethingInTheWayOfTheTargetStaysAsItWas) {
  struct Case {
    const char* what;
    const char* entry;
    const char* inTheWay;  // what stands there: a folder ("x/"), or a file
    int32_t native;
  } const cases[] = {
      {"a folder in place of the file", "t.txt", "t.txt/", neCannotCreateFile},
      {"a file in place of the entry's folder", "d/t.txt", "d", neCannotCreateDir},
  };
  for (const Case& c : cases) {
    const std::string out = dir / "out_" + std::to_string(&c - cases) + test::kSep;
    os::ForceDirectories(out);
    std::string inTheWay = c.inTheWay;
    const bool folder = inTheWay.back() == '/';
    if (folder) {
      inTheWay.pop_back();
      ASSERT_TRUE(os::CreateDir(out + inTheWay));
      test::WriteFile(out + inTheWay + test::kSep + "inside", "kept");
    } else {
      test::WriteFile(out + inTheWay, "kept");
    }
    const Outcome o = ExtractInto(ZipBuilder().Add(Entry(c.entry, "new", kMethodStored)), out);
    EXPECT_EQ(o.natives, std::vector<int32_t>{c.native}) << c.what;
    if (folder) {
      EXPECT_EQ(o.cause, TZFCause::FolderInTheWay) << c.what;
      EXPECT_EQ(test::ReadFile(out + inTheWay + test::kSep + "inside"), "kept") << c.what;
      EXPECT_EQ(Listing(out + inTheWay), std::vector<std::string>{"inside"}) << c.what;
    } else {
      EXPECT_EQ(test::ReadFile(out + inTheWay), "kept") << c.what;
    }
    EXPECT_EQ(Listing(out), std::vector<std::string>{inTheWay}) << c.what;
  }
}

#ifndef _WIN32

// A small tmpfs of the test's own: a disk that fills up, or a read-only
// medium. Mounting needs root (CI runs as root); elsewhere Mounted() is
// false and the test skips.
class SmallDisk {
 public:
  SmallDisk(const std::string& path, const char* options) : path_(path) {
    os::ForceDirectories(path_);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  bool MakeReadOnly() {
    return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

#define SKIP_UNLESS_MOUNTED(disk)                                                        \
  if (!(disk).Mounted())                                                                  \
  GTEST_SKIP() << "cannot mount a tmpfs here (needs root): the full and read-only disk " \
                  "cases are not run"

struct DiskCase {
  const char* what;
  uint16_t method;
  bool oldFile;
};
constexpr DiskCase kDiskCases[] = {
    {"stored, new target", kMethodStored, false},
    {"deflated, new target", kMethodDeflated, false},
    {"stored, existing target", kMethodStored, true},
    {"deflated, existing target", kMethodDeflated, true},
};

TEST_F(FileSafetyTest, FullDiskLeavesTheOldFileAndNothingElse) {
  const std::string out = dir / "disk/";
  SmallDisk disk(out, "size=256k");
  SKIP_UNLESS_MOUNTED(disk);
  for (const DiskCase& c : kDiskCases) {
    for (const std::string& name : Listing(out)) os::RemoveFile(out + name);
    if (c.oldFile) test::WriteFile(out + "big.bin", "old contents");
    const Outcome o = ExtractInto(
        ZipBuilder().Add(Entry("big.bin", Incompressible(1 << 20), c.method)), out);
    EXPECT_EQ(o.natives, std::vector<int32_t>{neExtractFailed}) << c.what;
    EXPECT_EQ(o.cause, TZFCause::DiskFull) << c.what;
    if (c.oldFile) {
      EXPECT_EQ(test::ReadFile(out + "big.bin"), "old contents") << c.what;
      EXPECT_EQ(Listing(out), std::vector<std::string>{"big.bin"}) << c.what;
    } else {
      EXPECT_EQ(Listing(out), std::vector<std::string>{}) << c.what;
    }
  }
}

// A read-only medium (the tmpfs remounted read-only, as root) and a
// read-only folder (which root writes into anyway, so only for other users).
TEST_F(FileSafetyTest, ReadOnlyPlaceLeavesTheOldFileAndNothingElse) {
  const std::string medium = dir / "disk/";
  SmallDisk disk(medium, "size=256k");
  if (disk.Mounted()) test::WriteFile(medium + "old.bin", "old contents");
  const bool mediumReadOnly = disk.Mounted() && disk.MakeReadOnly();
  const std::string folder = dir / "ro/";
  os::ForceDirectories(folder);
  test::WriteFile(folder + "old.bin", "old contents");
  ::chmod(folder.c_str(), 0555);
  struct Restore {
    const std::string& path;
    ~Restore() { ::chmod(path.c_str(), 0755); }
  } restore{folder};
  const bool folderReadOnly = ::access(folder.c_str(), W_OK) != 0;
  if (!mediumReadOnly && !folderReadOnly)
    GTEST_SKIP() << "neither a read-only tmpfs can be mounted nor a folder made read-only";
  for (const auto& [out, readOnly] : {std::pair{medium, mediumReadOnly},
                                       std::pair{folder, folderReadOnly}}) {
    if (!readOnly) continue;
    for (const DiskCase& c : kDiskCases) {
      const std::string name = c.oldFile ? "old.bin" : "new.bin";
      const Outcome o =
          ExtractInto(ZipBuilder().Add(Entry(name, Incompressible(4096), c.method)), out);
      EXPECT_EQ(o.natives, std::vector<int32_t>{neCannotCreateFile}) << out << c.what;
      EXPECT_EQ(o.cause, TZFCause::AccessDenied) << out << c.what;
      EXPECT_EQ(test::ReadFile(out + "old.bin"), "old contents") << out << c.what;
      EXPECT_EQ(Listing(out), std::vector<std::string>{"old.bin"}) << out << c.what;
    }
  }
}

// ---- killed or stopped mid-entry -----------------------------------------------------------

// Whether the folder's file system has unnamed files: only then can a
// killed process leave nothing at all.
bool HasUnnamedFiles(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Runs zfx's extraction (its handlers, its interrupt handler) in a child
// process that gets `signal` once `after` bytes of the entries have been
// written (`twice`: twice in a row), each write slowed a little as on a
// slow disk; the child's exit status, or 128 + the signal that ended it.
// What the child says on standard error goes to the file `said`, the
// number of bytes it wrote after the signal to the file `said`.after.
int ExtractAndSignal(const std::string& archive, const std::string& out, int signal, bool twice,
                     int64_t after, const std::string& said) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int err = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (err < 0 || ::dup2(err, 2) < 0) ::_exit(98);
    std::atomic<int64_t> written = 0, late = 0;
    os::SetWriteHookForTests([&](int64_t count) {
      ::usleep(2000);
      if (written >= after) late += count;
      if (written >= after || (written += count) < after) return;
      ::raise(signal);
      if (twice) ::raise(signal);
    });
    zftool::InstallInterruptHandler(zfx::kExitAborted);
    zfx::CommandLine cmd;
    std::string error;
    if (!zfx::ParseCommandLine({"x", "-q", "-o", archive, "-d", out}, cmd, error)) ::_exit(99);
    zfx::Console console(true);
    const int status = zfx::RunExtract(cmd, console);
    test::WriteFile(said + ".after", std::to_string(late.load()));
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

TEST_F(FileSafetyTest, KilledOrStoppedMidEntryLeavesNoPartialFile) {
  // The big entry: 6 MiB that do not compress, or 64 MiB of zeros, which
  // one chunk of compressed data decodes to in full.
  enum Contents { kNoise, kZeros };
  struct Case {
    const char* what;
    int signal;
    uint16_t method;
    bool oldFile;
    Contents contents = kNoise;
    bool twice = false;  // a second request right after the first
  } const cases[] = {
      {"SIGKILL, stored, new", SIGKILL, kMethodStored, false},
      {"SIGKILL, deflated, new", SIGKILL, kMethodDeflated, false},
      {"SIGKILL, stored, existing", SIGKILL, kMethodStored, true},
      {"SIGKILL, deflated, existing", SIGKILL, kMethodDeflated, true},
      {"SIGTERM, stored, new", SIGTERM, kMethodStored, false},
      {"SIGTERM, deflated, new", SIGTERM, kMethodDeflated, false},
      {"SIGTERM, deflated, existing", SIGTERM, kMethodDeflated, true},
      {"SIGHUP, deflated, new", SIGHUP, kMethodDeflated, false},
      {"SIGINT, stored, existing", SIGINT, kMethodStored, true},
      {"SIGINT, deflated zeros, existing", SIGINT, kMethodDeflated, true, kZeros},
      {"SIGINT, deflated zeros, new", SIGINT, kMethodDeflated, false, kZeros},
      {"SIGINT, Zstandard zeros, existing", SIGINT, kMethodZstd, true, kZeros},
      {"SIGINT twice, deflated zeros, existing", SIGINT, kMethodDeflated, true, kZeros, true},
      {"SIGINT twice, deflated zeros, new", SIGINT, kMethodDeflated, false, kZeros, true},
  };
  // One archive per method and contents, made once.
  const std::string noise = Incompressible(6 << 20);
  const std::string zeros(64 << 20, '\0');
  const auto archiveOf = [&](const Case& c) {
    const std::string path = dir / ("big" + std::to_string(c.method) +
                                    (c.contents == kZeros ? "zeros" : "") + ".zip");
    if (os::FileExists(path)) return path;
    ZipEntry big = Entry("big.bin", c.contents == kZeros ? zeros : noise, c.method);
    if (c.method == kMethodZstd) {
      std::string frame(ZSTD_compressBound(big.data.size()), '\0');
      frame.resize(ZSTD_compress(frame.data(), frame.size(), big.data.data(), big.data.size(), 1));
      big.rawData = frame;
      big.versionNeeded = 63;
    }
    ZipBuilder().Add(Entry("small.txt", "done before", kMethodStored)).Add(big).Save(path);
    return path;
  };
  for (const Case& c : cases) {
    const std::string out = dir / "out_" + std::to_string(&c - cases) + "/";
    os::ForceDirectories(out);
    if (c.oldFile) test::WriteFile(out + "big.bin", "old contents");
    const std::string archive = archiveOf(c);
    // SIGKILL ends the program where it stands, and so does a second
    // request to stop (with zfx's status); one request stops it cleanly,
    // within the entry: no more than the write under way (one output
    // buffer) goes out after it, whatever is left of the chunk it came from.
    const bool killed = c.signal == SIGKILL;
    const bool clean = !killed && !c.twice;
    const std::string said = dir / "said.txt";
    std::remove((said + ".after").c_str());
    const int status = ExtractAndSignal(archive, out, c.signal, c.twice, 2 << 20, said);
    EXPECT_EQ(status, killed ? 128 + SIGKILL : int{zfx::kExitAborted}) << c.what;
    EXPECT_EQ(test::ReadFile(said), clean ? "zfx: aborted\n" : "") << c.what;
    if (clean) {
      EXPECT_LE(std::stoll(test::ReadFile(said + ".after")), 1 << 20) << c.what;
    }
    // The entry before stands complete; the big one is the old file or none.
    EXPECT_EQ(test::ReadFile(out + "small.txt"), "done before") << c.what;
    if (c.oldFile) {
      EXPECT_EQ(test::ReadFile(out + "big.bin"), "old contents") << c.what;
    } else {
      EXPECT_FALSE(os::FileExists(out + "big.bin")) << c.what;
    }
    std::vector<std::string> expected{"small.txt"};
    if (c.oldFile) expected.insert(expected.begin(), "big.bin");
    // Stopped cleanly, nothing at all is left; ended at once, only a file
    // system without unnamed files may keep a temporary file.
    if (clean || HasUnnamedFiles(out)) {
      EXPECT_EQ(Listing(out), expected) << c.what;
    }
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace zf
