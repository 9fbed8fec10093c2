// The platform layer, through its header only: the same cases run natively
// against posix/ and under Wine against win32/. Where the two systems really
// differ (the ANSI code page, hidden files, what counts as a separator) the
// case says so with _WIN32.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if __has_include(<pty.h>)
#include <pty.h>
#define ZF_HAVE_PTY 1
#endif
#endif

namespace zf {
namespace {

using test::TempDir;
using test::kSep;

constexpr int64_t kGiB = int64_t{1} << 30;

// ---- helpers ---------------------------------------------------------------

uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
  const uint32_t time = static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

// The DOS date-time of a local time_t, with the DOS encoding's floor.
uint32_t DosOf(std::time_t t) {
  const std::tm tm = *std::localtime(&t);
  return Dos(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

// Seconds since 1980 of a DOS date-time read as local time (for ordering).
std::time_t TimeOfDos(uint32_t dos) {
  std::tm tm{};
  tm.tm_year = static_cast<int>(dos >> 25) + 80;
  tm.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
  tm.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
  tm.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
  tm.tm_min = static_cast<int>((dos >> 5) & 0x3F);
  tm.tm_sec = static_cast<int>(dos & 0x1F) * 2;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

#ifndef _WIN32
// Sets or unsets environment variables for one scope, then puts them back.
class ScopedEnv {
 public:
  void Set(const char* name, const char* value) {
    Save(name);
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->set)
        ::setenv(it->name.c_str(), it->value.c_str(), 1);
      else
        ::unsetenv(it->name.c_str());
    }
    ::tzset();
  }

 private:
  struct Saved {
    std::string name;
    bool set;
    std::string value;
  };
  void Save(const char* name) {
    const char* v = std::getenv(name);
    saved_.push_back(Saved{name, v != nullptr, v ? v : ""});
  }
  std::vector<Saved> saved_;
};
#endif

// ---- attributes ------------------------------------------------------------

TEST(PlatformAttributes, NewFileHasArchiveBitAndIsWritable) {
  TempDir dir;
  const std::string path = dir / "new.txt";
  test::WriteFile(path, "x");
  const uint32_t a = os::GetAttributes(path);
  ASSERT_NE(a, os::kInvalidAttributes);
  EXPECT_TRUE(a & os::faArchive);
  EXPECT_FALSE(a & os::faReadOnly);
  EXPECT_FALSE(a & os::faDirectory);
  EXPECT_FALSE(a & os::faHidden);
}

TEST(PlatformAttributes, ReadOnlyRoundTrip) {
  TempDir dir;
  const std::string path = dir / "ro.txt";
  test::WriteFile(path, "x");
  ASSERT_TRUE(os::SetAttributes(path, os::faReadOnly | os::faArchive));
  EXPECT_TRUE(os::GetAttributes(path) & os::faReadOnly);
#ifndef _WIN32
  // Read-only takes every write bit away; clearing it gives the owner's back.
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  if (::geteuid() != 0) {
    os::File f;
    EXPECT_FALSE(f.Open(path, os::OpenMode::ReadWriteDenyWrite));
  }
#endif
  ASSERT_TRUE(os::SetAttributes(path, os::faArchive));
  EXPECT_FALSE(os::GetAttributes(path) & os::faReadOnly);
#ifndef _WIN32
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
#endif
  os::File f;
  EXPECT_TRUE(f.Open(path, os::OpenMode::ReadWriteDenyWrite));
}

TEST(PlatformAttributes, DirectoryBit) {
  TempDir dir;
  const std::string sub = dir / "sub";
  ASSERT_TRUE(os::CreateDir(sub));
  EXPECT_TRUE(os::GetAttributes(sub) & os::faDirectory);
  EXPECT_TRUE(os::GetAttributes(sub + kSep) & os::faDirectory);  // trailing separator
  EXPECT_TRUE(os::GetAttributes(dir.Path()) & os::faDirectory);
#ifndef _WIN32
  EXPECT_FALSE(os::GetAttributes(sub) & os::faArchive);  // regular files only
#endif
}

TEST(PlatformAttributes, MissingPathHasNone) {
  TempDir dir;
  EXPECT_EQ(os::GetAttributes(dir / "none"), os::kInvalidAttributes);
  EXPECT_FALSE(os::SetAttributes(dir / "none", os::faArchive));
}

#ifndef _WIN32
TEST(PlatformAttributes, DotNameIsHiddenOnLinux) {
  TempDir dir;
  test::WriteFile(dir / ".secret", "x");
  ASSERT_TRUE(os::CreateDir(dir / ".folder"));
  EXPECT_TRUE(os::GetAttributes(dir / ".secret") & os::faHidden);
  EXPECT_TRUE(os::GetAttributes(dir / ".folder/") & os::faHidden);
  EXPECT_FALSE(os::GetAttributes(dir.Path()) & os::faHidden);
  EXPECT_FALSE(os::GetAttributes(dir.Path() + ".") & os::faHidden);
}
#endif

// ---- DOS date-time -----------------------------------------------------------

// The encoding itself, then through the file system.

TEST(PlatformDosEncoding, KnownValues) {
  EXPECT_EQ(os::EncodeDosDate(1980, 1, 1), 0x0021);
  EXPECT_EQ(os::EncodeDosTime(0, 0, 0), 0x0000);
  EXPECT_EQ(os::EncodeDosDate(2107, 12, 31), 0xFF9F);
  EXPECT_EQ(os::EncodeDosTime(23, 59, 58), 0xBF7D);
  // 2024-02-29 13:45:30: (44 << 9) | (2 << 5) | 29 and (13 << 11) | (45 << 5) | 15.
  EXPECT_EQ(os::EncodeDosDate(2024, 2, 29), 0x585D);
  EXPECT_EQ(os::EncodeDosTime(13, 45, 30), 0x6DAF);
  EXPECT_EQ(os::EncodeDosTime(13, 45, 31), 0x6DAF);  // two-second resolution
  EXPECT_EQ(os::MakeDosDateTime(0x585D, 0x6DAF), 0x585D6DAFu);
  EXPECT_EQ(os::DosDateOf(0x585D6DAFu), 0x585D);
  EXPECT_EQ(os::DosTimeOf(0x585D6DAFu), 0x6DAF);
}

TEST(PlatformDosEncoding, EncodeDecodeRoundTrips) {
  const os::DosDateTimeParts cases[] = {
      {1980, 1, 1, 0, 0, 0},     {2024, 2, 29, 13, 45, 30}, {1999, 12, 31, 23, 59, 58},
      {2000, 1, 1, 0, 0, 2},     {2107, 12, 31, 23, 59, 58}, {2038, 1, 19, 3, 14, 6},
  };
  for (const os::DosDateTimeParts& p : cases) {
    const uint32_t v = os::EncodeDosDateTime(p);
    EXPECT_EQ(v, os::MakeDosDateTime(os::EncodeDosDate(p.Year, p.Month, p.Day),
                                 os::EncodeDosTime(p.Hour, p.Minute, p.Second)));
    const os::DosDateTimeParts back = os::DecodeDosDateTime(v);
    EXPECT_EQ(back.Year, p.Year);
    EXPECT_EQ(back.Month, p.Month);
    EXPECT_EQ(back.Day, p.Day);
    EXPECT_EQ(back.Hour, p.Hour);
    EXPECT_EQ(back.Minute, p.Minute);
    EXPECT_EQ(back.Second, p.Second);
  }
}

TEST(PlatformDosEncoding, OddSecondsDecodeToTheEvenBelow) {
  const os::DosDateTimeParts back =
      os::DecodeDosDateTime(os::EncodeDosDateTime({2001, 6, 15, 8, 9, 59}));
  EXPECT_EQ(back.Second, 58);
}

TEST(PlatformDosEncoding, EveryStoredValueDecodesAndEncodesBack) {
  // Fields as stored, whatever they hold (month 0, day 0, second 62): the
  // decoded parts give the same bits back.
  for (uint32_t v : {0x00000000u, 0xFFFFFFFFu, 0x585D6DAFu, 0x0021001Fu}) {
    const os::DosDateTimeParts p = os::DecodeDosDateTime(v);
    EXPECT_EQ(os::MakeDosDateTime(os::EncodeDosDate(p.Year, p.Month, p.Day),
                              os::EncodeDosTime(p.Hour, p.Minute, p.Second)),
              v)
        << std::hex << v;
  }
}

TEST(PlatformDosEncoding, CombinedValueOrdersLikeTime) {
  const uint32_t earlier = os::EncodeDosDateTime({2020, 5, 1, 23, 59, 58});
  const uint32_t later = os::EncodeDosDateTime({2020, 5, 2, 0, 0, 0});
  EXPECT_LT(earlier, later);
  EXPECT_LT(os::EncodeDosDateTime({2020, 5, 2, 0, 0, 0}),
            os::EncodeDosDateTime({2020, 5, 2, 0, 0, 2}));
}

TEST(PlatformDosEncoding, OutOfRangeYearsClampToTheEnds) {
  EXPECT_EQ(os::EncodeDosDateTime({1970, 6, 15, 12, 0, 0}), 0x00210000u);
  EXPECT_EQ(os::EncodeDosDateTime({1979, 12, 31, 23, 59, 59}), 0x00210000u);
  EXPECT_EQ(os::EncodeDosDateTime({2108, 1, 1, 0, 0, 0}), 0xFF9FBF7Du);
}

TEST(PlatformDosEncoding, PossibleDatesOnly) {
  const struct {
    os::DosDateTimeParts parts;
    bool possible;
  } cases[] = {
      {{2024, 2, 29, 23, 59, 58}, true},  {{2023, 2, 29, 0, 0, 0}, false},
      {{2000, 2, 29, 0, 0, 0}, true},     {{2100, 2, 29, 0, 0, 0}, false},
      {{2001, 4, 30, 0, 0, 0}, true},     {{2001, 4, 31, 0, 0, 0}, false},
      {{2001, 13, 1, 0, 0, 0}, false},    {{2001, 0, 1, 0, 0, 0}, false},
      {{2001, 1, 0, 0, 0, 0}, false},     {{2001, 1, 1, 24, 0, 0}, false},
      {{2001, 1, 1, 0, 60, 0}, false},    {{2001, 1, 1, 0, 0, 62}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(os::IsPossibleDosDateTime(c.parts), c.possible)
        << c.parts.Year << "-" << c.parts.Month << "-" << c.parts.Day << " " << c.parts.Hour
        << ":" << c.parts.Minute << ":" << c.parts.Second;
}


struct LocalTime {
  int year, month, day, hour, minute, second;
  int expectedSecond;  // after the two-second resolution
};

void CheckDosRoundTrip(const std::string& path) {
  const LocalTime table[] = {
      {2023, 1, 15, 10, 30, 0, 0},     // winter
      {2023, 7, 15, 14, 45, 58, 58},   // summer
      {2021, 12, 31, 23, 59, 59, 58},  // odd second
      {2000, 2, 29, 0, 0, 1, 0},       // odd second, leap day
      {1995, 6, 1, 12, 0, 33, 32},     // summer, odd second
      {2037, 11, 30, 6, 7, 8, 8},
  };
  for (const LocalTime& t : table) {
    SCOPED_TRACE(std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                 std::to_string(t.day) + " " + std::to_string(t.hour) + ":" +
                 std::to_string(t.minute) + ":" + std::to_string(t.second));
    const uint32_t dos = Dos(t.year, t.month, t.day, t.hour, t.minute, t.second);
    ASSERT_TRUE(os::SetFileDosDateTime(path, dos));
    uint32_t read = 0;
    ASSERT_TRUE(os::GetFileDosDateTime(path, read));
    EXPECT_EQ(read, Dos(t.year, t.month, t.day, t.hour, t.minute, t.expectedSecond))
        << std::hex << "read 0x" << read;
  }
}

TEST(PlatformDosTime, RoundTripThroughTheFileSystem) {
  TempDir dir;
  const std::string path = dir / "t.bin";
  test::WriteFile(path, "x");
  CheckDosRoundTrip(path);
}

TEST(PlatformDosTime, FolderRoundTrip) {
  TempDir dir;
  const std::string sub = dir / "sub";
  ASSERT_TRUE(os::CreateDir(sub));
  ASSERT_TRUE(os::SetFileDosDateTime(sub, Dos(2010, 3, 4, 5, 6, 8)));
  uint32_t read = 0;
  ASSERT_TRUE(os::GetFileDosDateTime(sub, read));
  EXPECT_EQ(read, Dos(2010, 3, 4, 5, 6, 8));
}

#ifndef _WIN32
// In a zone with summer time the local hour must survive both seasons.
TEST(PlatformDosTime, RoundTripInAZoneWithSummerTime) {
  if (!os::FileExists("/usr/share/zoneinfo/Europe/Berlin")) GTEST_SKIP() << "no tzdata";
  ScopedEnv env;
  env.Set("TZ", "Europe/Berlin");
  ::tzset();
  TempDir dir;
  const std::string path = dir / "t.bin";
  test::WriteFile(path, "x");
  CheckDosRoundTrip(path);
  // And the seconds since the epoch are those of the local time.
  ASSERT_TRUE(os::SetFileDosDateTime(path, Dos(2023, 7, 15, 14, 0, 0)));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1689422400);  // 2023-07-15 12:00:00 UTC
  ASSERT_TRUE(os::SetFileDosDateTime(path, Dos(2023, 1, 15, 14, 0, 0)));
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1673787600);  // 2023-01-15 13:00:00 UTC
}

// Reading floors an odd second to the even one below, as the DOS encoding.
TEST(PlatformDosTime, ReadingFloorsOddSeconds) {
  TempDir dir;
  const std::string path = dir / "t.bin";
  test::WriteFile(path, "x");
  ASSERT_TRUE(os::SetFileDosDateTime(path, Dos(2022, 5, 6, 7, 8, 10)));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  struct timespec times[2];
  times[0].tv_sec = st.st_mtime + 1;  // 07:08:11
  times[0].tv_nsec = 900000000;
  times[1] = times[0];
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  uint32_t read = 0;
  ASSERT_TRUE(os::GetFileDosDateTime(path, read));
  EXPECT_EQ(read, Dos(2022, 5, 6, 7, 8, 10));
}
#endif

TEST(PlatformDosTime, NewFileHasTheTimeOfNow) {
  TempDir dir;
  const std::string path = dir / "now.bin";
  const std::time_t before = std::time(nullptr);
  test::WriteFile(path, "x");
  const std::time_t after = std::time(nullptr);
  uint32_t read = 0;
  ASSERT_TRUE(os::GetFileDosDateTime(path, read));
  const std::time_t t = TimeOfDos(read);
  EXPECT_GE(t, TimeOfDos(DosOf(before)) - 2);
  EXPECT_LE(t, after + 1);
}

TEST(PlatformDosTime, ImpossibleDateIsRefusedAndMissingFileFails) {
  TempDir dir;
  const std::string path = dir / "t.bin";
  test::WriteFile(path, "x");
  EXPECT_FALSE(os::SetFileDosDateTime(path, Dos(2023, 13, 1, 0, 0, 0)));
  EXPECT_FALSE(os::SetFileDosDateTime(path, Dos(2023, 0, 1, 0, 0, 0)));
  EXPECT_FALSE(os::SetFileDosDateTime(path, Dos(2023, 1, 0, 0, 0, 0)));
  uint32_t read = 0;
  EXPECT_FALSE(os::GetFileDosDateTime(dir / "none", read));
  EXPECT_FALSE(os::SetFileDosDateTime(dir / "none", Dos(2023, 1, 1, 0, 0, 0)));
}

// ---- folders and files ---------------------------------------------------------

TEST(PlatformFileSystem, ForceDirectoriesCreatesParents) {
  TempDir dir;
  const std::string abc = dir.Path() + "a" + kSep + "b" + kSep + "c";
  EXPECT_FALSE(os::CreateDir(abc));  // one level only
  ASSERT_TRUE(os::ForceDirectories(abc));
  EXPECT_TRUE(os::DirectoryExists(dir / "a"));
  EXPECT_TRUE(os::DirectoryExists(dir.Path() + "a" + kSep + "b"));
  EXPECT_TRUE(os::DirectoryExists(abc));
  EXPECT_TRUE(os::DirectoryExists(abc + kSep));
  EXPECT_FALSE(os::FileExists(abc));
  EXPECT_TRUE(os::ForceDirectories(abc));  // already there
  const std::string def = dir.Path() + "d" + kSep + "e" + kSep + "f" + kSep;
  ASSERT_TRUE(os::ForceDirectories(def));  // trailing separator
  EXPECT_TRUE(os::DirectoryExists(def));
  // A file in the way.
  test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(os::ForceDirectories(dir.Path() + "file" + kSep + "sub"));
}

TEST(PlatformFileSystem, CreateAndRemove) {
  TempDir dir;
  const std::string sub = dir / "sub";
  ASSERT_TRUE(os::CreateDir(sub));
  EXPECT_TRUE(os::DirectoryExists(sub));
  EXPECT_FALSE(os::FileExists(sub));
  EXPECT_FALSE(os::CreateDir(sub));  // already there
  const std::string file = sub + kSep + "f.txt";
  test::WriteFile(file, "12345");
  EXPECT_TRUE(os::FileExists(file));
  EXPECT_FALSE(os::DirectoryExists(file));
  EXPECT_EQ(os::FileSize(file), 5);
  EXPECT_FALSE(os::RemoveDir(sub));  // not empty
  EXPECT_FALSE(os::RemoveFile(sub));  // not a file
  ASSERT_TRUE(os::RemoveFile(file));
  EXPECT_FALSE(os::FileExists(file));
  EXPECT_EQ(os::FileSize(file), -1);
  EXPECT_FALSE(os::RemoveFile(file));
  EXPECT_NE(os::LastErrorCode(), 0);
  EXPECT_FALSE(os::ErrorText(os::LastErrorCode()).empty());
  ASSERT_TRUE(os::RemoveDir(sub));
  EXPECT_FALSE(os::DirectoryExists(sub));
}

TEST(PlatformFileSystem, RenameReplacesTheTarget) {
  TempDir dir;
  const std::string from = dir / "from.txt";
  const std::string to = dir / "to.txt";
  test::WriteFile(from, "new contents");
  test::WriteFile(to, "old");
  ASSERT_TRUE(os::RenameFile(from, to));
  EXPECT_FALSE(os::FileExists(from));
  EXPECT_EQ(test::ReadFile(to), "new contents");
  // To a name that is free.
  ASSERT_TRUE(os::RenameFile(to, dir / "third.txt"));
  EXPECT_EQ(test::ReadFile(dir / "third.txt"), "new contents");
  EXPECT_FALSE(os::RenameFile(dir / "none", dir / "other"));
}

TEST(PlatformFileSystem, ListDirectory) {
  TempDir dir;
  test::WriteFile(dir / "f.txt", "abc");
  ASSERT_TRUE(os::CreateDir(dir / "sub"));
  std::vector<os::DirEntry> entries;
  ASSERT_TRUE(os::ListDirectory(dir.Path(), entries));
  ASSERT_EQ(entries.size(), 2u);
  bool sawFile = false, sawDir = false;
  for (const auto& e : entries) {
    EXPECT_NE(e.name, ".");
    EXPECT_NE(e.name, "..");
    if (e.name == "f.txt") {
      sawFile = true;
      EXPECT_FALSE(e.attributes & os::faDirectory);
      EXPECT_TRUE(e.attributes & os::faArchive);
    }
    if (e.name == "sub") {
      sawDir = true;
      EXPECT_TRUE(e.attributes & os::faDirectory);
    }
  }
  EXPECT_TRUE(sawFile);
  EXPECT_TRUE(sawDir);
  ASSERT_TRUE(os::ListDirectory(dir / "sub", entries));  // without a trailing separator
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(os::ListDirectory(dir / "none", entries));
}

TEST(PlatformFileSystem, TempDirectoryEndsWithASeparator) {
  const std::string t = os::TempDirectory();
  ASSERT_FALSE(t.empty());
#ifdef _WIN32
  EXPECT_TRUE(t.back() == '\\' || t.back() == '/');
#else
  EXPECT_EQ(t.back(), '/');
#endif
  EXPECT_TRUE(os::DirectoryExists(t));
}

#ifndef _WIN32
TEST(PlatformFileSystem, BackslashIsAnOrdinaryCharacterOnLinux) {
  TempDir dir;
  ASSERT_TRUE(os::ForceDirectories(dir / "a\\b"));
  EXPECT_TRUE(os::DirectoryExists(dir / "a\\b"));
  EXPECT_FALSE(os::DirectoryExists(dir / "a"));
  std::vector<os::DirEntry> entries;
  ASSERT_TRUE(os::ListDirectory(dir.Path(), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a\\b");
}

TEST(PlatformFileSystem, TempDirectoryFollowsTMPDIR) {
  ScopedEnv env;
  env.Set("TMPDIR", "/var/tmp");
  EXPECT_EQ(os::TempDirectory(), "/var/tmp/");
  env.Set("TMPDIR", "/var/tmp/");
  EXPECT_EQ(os::TempDirectory(), "/var/tmp/");
  env.Set("TMPDIR", nullptr);
  EXPECT_EQ(os::TempDirectory(), "/tmp/");
}
#endif

// ---- File ------------------------------------------------------------------

TEST(PlatformFile, ReadWriteSeekTruncate) {
  TempDir dir;
  const std::string path = dir / "data.bin";
  os::File f;
  EXPECT_FALSE(f.IsOpen());
  ASSERT_TRUE(f.Open(path, os::OpenMode::Create));
  EXPECT_TRUE(f.IsOpen());
  EXPECT_EQ(f.Size(), 0);
  EXPECT_EQ(f.Write("hello, world", 12), 12);
  EXPECT_EQ(f.Size(), 12);
  EXPECT_EQ(f.Seek(0, os::SeekOrigin::Current), 12);
  EXPECT_EQ(f.Seek(7, os::SeekOrigin::Begin), 7);
  char buf[16] = {};
  EXPECT_EQ(f.Read(buf, 16), 5);  // fewer at the end
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(f.Read(buf, 4), 0);
  EXPECT_EQ(f.Seek(-5, os::SeekOrigin::End), 7);
  EXPECT_EQ(f.Write("there", 5), 5);
  EXPECT_EQ(f.Seek(5, os::SeekOrigin::Begin), 5);
  ASSERT_TRUE(f.Truncate());
  EXPECT_EQ(f.Size(), 5);
  EXPECT_EQ(f.Seek(2, os::SeekOrigin::Begin), 2);
  EXPECT_EQ(f.Seek(1, os::SeekOrigin::Current), 3);
  EXPECT_TRUE(f.Flush());
  f.Close();
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(test::ReadFile(path), "hello");

  // Create truncates an existing file.
  ASSERT_TRUE(f.Open(path, os::OpenMode::Create));
  EXPECT_EQ(f.Size(), 0);
  f.Close();

  // The opening modes on an existing file.
  test::WriteFile(path, "abc");
  ASSERT_TRUE(f.Open(path, os::OpenMode::ReadOnlyDenyNone));
  EXPECT_EQ(f.Read(buf, 3), 3);
  EXPECT_EQ(f.Write("x", 1), -1);  // read-only
  f.Close();
  ASSERT_TRUE(f.Open(path, os::OpenMode::ReadWriteDenyWrite));
  EXPECT_EQ(f.Seek(0, os::SeekOrigin::End), 3);
  EXPECT_EQ(f.Write("d", 1), 1);
  f.Close();
  EXPECT_EQ(test::ReadFile(path), "abcd");

  // Read-only deny-write: others may read; on Windows nobody may write,
  // replace or delete the file while it is open.
  ASSERT_TRUE(f.Open(path, os::OpenMode::ReadOnlyDenyWrite));
  EXPECT_EQ(f.Write("x", 1), -1);
  os::File reader, writer;
  EXPECT_TRUE(reader.Open(path, os::OpenMode::ReadOnlyDenyNone));
  EXPECT_EQ(reader.Read(buf, 4), 4);
#ifdef _WIN32
  EXPECT_FALSE(writer.Open(path, os::OpenMode::ReadWriteDenyWrite));
  test::WriteFile(path + ".new", "swapped");
  EXPECT_FALSE(os::RenameFile(path + ".new", path));
  EXPECT_FALSE(os::RemoveFile(path));
  f.Close();
  reader.Close();
  EXPECT_TRUE(os::RenameFile(path + ".new", path));
#endif
}

TEST(PlatformFile, OpenFailures) {
  TempDir dir;
  os::File f;
  EXPECT_FALSE(f.Open(dir / "none", os::OpenMode::ReadOnlyDenyNone));
  EXPECT_NE(os::LastErrorCode(), 0);
  EXPECT_FALSE(os::ErrorText(os::LastErrorCode()).empty());
  EXPECT_FALSE(f.Open(dir / "none", os::OpenMode::ReadWriteDenyWrite));
  EXPECT_FALSE(f.Open(dir.Path() + "no" + kSep + "such", os::OpenMode::Create));
  EXPECT_FALSE(f.IsOpen());
  // A closed file refuses everything.
  char c;
  EXPECT_EQ(f.Read(&c, 1), -1);
  EXPECT_EQ(f.Write(&c, 1), -1);
  EXPECT_EQ(f.Seek(0, os::SeekOrigin::Begin), -1);
  EXPECT_EQ(f.Size(), -1);
}

TEST(PlatformFile, MoveHandsTheHandleOver) {
  TempDir dir;
  os::File a;
  ASSERT_TRUE(a.Open(dir / "m.bin", os::OpenMode::Create));
  os::File b(std::move(a));
  EXPECT_FALSE(a.IsOpen());
  ASSERT_TRUE(b.IsOpen());
  EXPECT_EQ(b.Write("xy", 2), 2);
  os::File c;
  c = std::move(b);
  EXPECT_FALSE(b.IsOpen());
  EXPECT_EQ(c.Size(), 2);
}

TEST(PlatformFile, PositionsBeyondFourGiB) {
  TempDir dir;
  const int64_t target = 5 * kGiB;
#ifdef _WIN32
  // The file may not be sparse there: it needs the room for real.
  const int64_t needed = target + kGiB;
#else
  const int64_t needed = int64_t{1} << 20;  // sparse: costs a block
#endif
  const int64_t free = os::DiskFreeBytes(dir.Path());
  if (free < needed) GTEST_SKIP() << "only " << free << " bytes free";
  const std::string path = dir / "big.bin";
  {
    os::File f;
    ASSERT_TRUE(f.Open(path, os::OpenMode::Create));
    ASSERT_EQ(f.Seek(target, os::SeekOrigin::Begin), target);
    if (f.Write("Z", 1) != 1) GTEST_SKIP() << "the file system takes no 5 GiB file";
    EXPECT_EQ(f.Size(), target + 1);
    EXPECT_EQ(f.Seek(0, os::SeekOrigin::Current), target + 1);
    EXPECT_EQ(f.Seek(-1, os::SeekOrigin::End), target);
    char c = 0;
    EXPECT_EQ(f.Read(&c, 1), 1);
    EXPECT_EQ(c, 'Z');
    EXPECT_EQ(f.Seek(target - 1, os::SeekOrigin::Begin), target - 1);
    EXPECT_EQ(f.Read(&c, 1), 1);
    EXPECT_EQ(c, '\0');
    EXPECT_EQ(f.Seek(-kGiB, os::SeekOrigin::Current), target - kGiB);
    f.Close();
    EXPECT_EQ(os::FileSize(path), target + 1);
    ASSERT_TRUE(f.Open(path, os::OpenMode::ReadWriteDenyWrite));
    EXPECT_EQ(f.Size(), target + 1);
    ASSERT_EQ(f.Seek(4 * kGiB + 3, os::SeekOrigin::Begin), 4 * kGiB + 3);
    ASSERT_TRUE(f.Truncate());
    EXPECT_EQ(f.Size(), 4 * kGiB + 3);
    ASSERT_EQ(f.Seek(10, os::SeekOrigin::Begin), 10);
    ASSERT_TRUE(f.Truncate());
    EXPECT_EQ(f.Size(), 10);
  }
  EXPECT_EQ(os::FileSize(path), 10);
}

// ---- drives and memory -----------------------------------------------------

TEST(PlatformDrives, FreeSpaceIsPositive) {
  TempDir dir;
  EXPECT_GT(os::DiskFreeBytes(dir.Path()), 0);
  // A folder that setup is yet to make: the free space of the drive it goes on.
  EXPECT_GT(os::DiskFreeBytes(dir.Path() + "not" + kSep + "yet" + kSep), 0);
}

TEST(PlatformDrives, VolumeLabelDoesNotFail) {
  TempDir dir;
  const std::string label = os::VolumeLabel(dir.Path());
#ifndef _WIN32
  EXPECT_EQ(label, "");
#endif
}

TEST(PlatformDrives, RemovableHook) {
  TempDir dir;
  const std::string stick = dir / "stick";
  const std::string fixed = dir / "fixed";
  std::vector<std::string> asked;
  os::SetRemovableHookForTests([&](const std::string& path) {
    asked.push_back(path);
    if (path == stick) return 1;
    if (path == fixed) return 0;
    return -1;
  });
  EXPECT_TRUE(os::IsDriveRemovable(stick));
  EXPECT_FALSE(os::IsDriveRemovable(fixed));
  const bool system = os::IsDriveRemovable(dir.Path());  // whatever the system says
  (void)system;
  os::SetRemovableHookForTests({});
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], stick);
  // Without the hook the system answers, and the temporary folder is no stick.
  EXPECT_FALSE(os::IsDriveRemovable(stick));
  EXPECT_EQ(asked.size(), 3u);
}

TEST(PlatformMemory, AvailableMemoryIsPositive) {
  EXPECT_GT(os::AvailablePhysicalMemory(), 0u);
}

// ---- cryptography --------------------------------------------------------------

// The published SHA-256 test vectors (FIPS 180-2 and the NIST examples),
// fed in uneven pieces so that the pieces' borders fall anywhere.
TEST(PlatformCrypto, Sha256OfTheStandardVectors) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [message, hex] : cases) {
    os::Sha256 sha;
    size_t at = 0, piece = 1;
    while (at < message.size()) {
      const size_t n = std::min(piece, message.size() - at);
      sha.Update(message.data() + at, n);
      at += n;
      piece = piece * 3 + 7;
    }
    std::string got;
    for (uint8_t b : sha.Final()) got += "0123456789abcdef"[b >> 4], got += "0123456789abcdef"[b & 15];
    EXPECT_EQ(got, hex) << message.size() << " bytes";
  }
}

// ---- locale and code pages ---------------------------------------------------

TEST(PlatformLocale, CodePagesOfTheTestLocale) {
  const std::string loc = test::TestLocale();
#ifdef _WIN32
  if (loc == "ru") {
    EXPECT_EQ(os::AnsiCodePage(), 1251u);
  }
  if (loc == "tr") {
    EXPECT_EQ(os::AnsiCodePage(), 1254u);
  }
  if (loc == "en") {
    EXPECT_EQ(os::AnsiCodePage(), 1252u);
  }
#else
  EXPECT_EQ(os::AnsiCodePage(), 65001u);
#endif
  if (loc == "ru") {
    EXPECT_EQ(os::OemCodePage(), 866u);
  }
  if (loc == "tr") {
    EXPECT_EQ(os::OemCodePage(), 857u);
  }
  if (loc == "en") {
    EXPECT_EQ(os::OemCodePage(), 437u);
  }
}

TEST(PlatformLocale, UserDefaultLCIDOfTheTestLocale) {
  const std::string loc = test::TestLocale();
  if (loc.empty()) GTEST_SKIP() << "ZF_TEST_LOCALE not set";
  if (loc == "ru") {
    EXPECT_EQ(os::UserDefaultLCID(), 0x0419u);
  }
  if (loc == "tr") {
    EXPECT_EQ(os::UserDefaultLCID(), 0x041Fu);
  }
  if (loc == "en") {
    EXPECT_EQ(os::UserDefaultLCID(), 0x0409u);
  }
}

// "Привет" in the code pages of the Russian locale.
const std::string kPrivetCp866 = "\x8F\xE0\xA8\xA2\xA5\xE2";
const std::string kPrivetCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
const std::string kPrivetUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";

TEST(PlatformLocale, OemToAnsiInTheRussianLocale) {
  if (test::TestLocale() != "ru") GTEST_SKIP() << "needs ZF_TEST_LOCALE=ru";
#ifdef _WIN32
  const std::string ansi = kPrivetCp1251;
#else
  const std::string ansi = kPrivetUtf8;
#endif
  EXPECT_EQ(Hex(os::OemToAnsi(kPrivetCp866)), Hex(ansi));
  EXPECT_EQ(Hex(os::AnsiToOem(ansi)), Hex(kPrivetCp866));
  EXPECT_EQ(os::OemToAnsi("plain ASCII"), "plain ASCII");
}

TEST(PlatformLocale, ConvertBetweenNamedCodePages) {
  std::string out;
  ASSERT_TRUE(os::ConvertCodePage(kPrivetCp866, 866, 1251, out));
  EXPECT_EQ(Hex(out), Hex(kPrivetCp1251));
  ASSERT_TRUE(os::ConvertCodePage(kPrivetCp1251, 1251, 65001, out));
  EXPECT_EQ(Hex(out), Hex(kPrivetUtf8));
  ASSERT_TRUE(os::ConvertCodePage(kPrivetUtf8, 65001, 866, out));
  EXPECT_EQ(Hex(out), Hex(kPrivetCp866));
  // Turkish: "ğış" between CP857, CP1254 and UTF-8.
  ASSERT_TRUE(os::ConvertCodePage("\xA7\x8D\x9F", 857, 65001, out));
  EXPECT_EQ(Hex(out), Hex("\xC4\x9F\xC4\xB1\xC5\x9F"));
  ASSERT_TRUE(os::ConvertCodePage("\xC4\x9F\xC4\xB1\xC5\x9F", 65001, 1254, out));
  EXPECT_EQ(Hex(out), Hex("\xF0\xFD\xFE"));
  ASSERT_TRUE(os::ConvertCodePage("", 866, 65001, out));
  EXPECT_EQ(out, "");
}

TEST(PlatformLocale, MissingCharactersBecomeUnderscores) {
  std::string out;
  // "a中b€" into CP866: neither the ideograph nor the euro sign is there.
  ASSERT_TRUE(os::ConvertCodePage("a\xE4\xB8\xAD" "b\xE2\x82\xAC", 65001, 866, out));
  EXPECT_EQ(out, "a_b_");
  // Cyrillic into the Western code page, one underscore per character.
  ASSERT_TRUE(os::ConvertCodePage("x" + kPrivetUtf8, 65001, 1252, out));
  EXPECT_EQ(out, "x______");
}

TEST(PlatformLocale, UnknownCodePageFails) {
  std::string out;
  EXPECT_FALSE(os::ConvertCodePage("abc", 12345, 65001, out));
  EXPECT_FALSE(os::ConvertCodePage("abc", 65001, 12345, out));
}

TEST(PlatformLocale, OneCharacterComparisonAndUpperCase) {
  EXPECT_NE(os::CompareChar('a', 'A', false), 0);
  EXPECT_EQ(os::CompareChar('a', 'A', true), 0);
  EXPECT_EQ(os::CompareChar('z', 'Z', true), 0);
  EXPECT_EQ(os::CompareChar('x', 'x', false), 0);
  EXPECT_LT(os::CompareChar('a', 'b', false), 0);
  EXPECT_GT(os::CompareChar('b', 'a', false), 0);
  EXPECT_LT(os::CompareChar('a', 'B', true), 0);
  EXPECT_EQ(os::UpperChar('a'), 'A');
  EXPECT_EQ(os::UpperChar('z'), 'Z');
  EXPECT_EQ(os::UpperChar('A'), 'A');
  EXPECT_EQ(os::UpperChar('1'), '1');
  EXPECT_EQ(os::UpperString("abc.Txt_1"), "ABC.TXT_1");
#ifdef _WIN32
  if (test::TestLocale() == "ru") {
    EXPECT_EQ(os::UpperChar(0xE0), 0xC0);  // CP1251 а -> А
    EXPECT_EQ(os::CompareChar(0xE0, 0xC0, true), 0);
  }
#else
  // A byte above 0x7F is a piece of a UTF-8 sequence: left alone.
  EXPECT_EQ(os::UpperChar(0xE0), 0xE0);
  EXPECT_EQ(os::UpperChar(0xB0), 0xB0);
  EXPECT_EQ(os::UpperString(kPrivetUtf8), kPrivetUtf8);
  EXPECT_NE(os::CompareChar(0xE0, 0xC0, true), 0);
  EXPECT_LT(os::CompareChar('z', 0x80, false), 0);  // byte order
#endif
}

#ifndef _WIN32
// The OEM code page and the locale id follow the first of LC_ALL, LC_CTYPE
// and LANG that is set, whether or not the locale is installed.
TEST(PlatformLocale, OemCodePageFollowsTheEnvironmentOnLinux) {
  struct Case {
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    unsigned oem;
    uint32_t lcid;
  };
  const Case table[] = {
      {nullptr, nullptr, nullptr, 437, 0x0409},
      {nullptr, nullptr, "C", 437, 0x0409},
      {nullptr, nullptr, "POSIX", 437, 0x0409},
      {"C.UTF-8", nullptr, "ru_RU.UTF-8", 437, 0x0409},
      {nullptr, nullptr, "en_US.UTF-8", 437, 0x0409},
      {nullptr, nullptr, "ru_RU.UTF-8", 866, 0x0419},
      {nullptr, nullptr, "ru_RU.KOI8-R", 866, 0x0419},
      {nullptr, nullptr, "ru", 866, 0x0419},
      {nullptr, nullptr, "uk_UA.UTF-8", 866, 0x0422},
      {nullptr, nullptr, "tr_TR.UTF-8", 857, 0x041F},
      {nullptr, nullptr, "el_GR.UTF-8", 737, 0x0408},
      {nullptr, nullptr, "pl_PL.UTF-8", 852, 0x0415},
      {nullptr, nullptr, "cs_CZ", 852, 0x0405},
      {nullptr, nullptr, "lt_LT.UTF-8", 775, 0x0427},
      {nullptr, nullptr, "he_IL.UTF-8", 862, 0x040D},
      {nullptr, nullptr, "de_DE.UTF-8@euro", 850, 0x0407},
      {nullptr, nullptr, "pt_BR.UTF-8", 850, 0x0416},
      {nullptr, nullptr, "ja_JP.UTF-8", 437, 0x0409},
      {"ru_RU.UTF-8", "tr_TR.UTF-8", "de_DE.UTF-8", 866, 0x0419},  // LC_ALL first
      {nullptr, "tr_TR.UTF-8", "ru_RU.UTF-8", 857, 0x041F},        // then LC_CTYPE
      {"", "", "tr_TR.UTF-8", 857, 0x041F},                        // empty = not set
      {"", "ru_RU.UTF-8", "", 866, 0x0419},
  };
  ScopedEnv env;
  for (const Case& c : table) {
    SCOPED_TRACE(std::string("LC_ALL=") + (c.lcAll ? c.lcAll : "(unset)") +
                 " LC_CTYPE=" + (c.lcCtype ? c.lcCtype : "(unset)") +
                 " LANG=" + (c.lang ? c.lang : "(unset)"));
    env.Set("LC_ALL", c.lcAll);
    env.Set("LC_CTYPE", c.lcCtype);
    env.Set("LANG", c.lang);
    EXPECT_EQ(os::OemCodePage(), c.oem);
    EXPECT_EQ(os::UserDefaultLCID(), c.lcid);
    EXPECT_EQ(os::AnsiCodePage(), 65001u);
  }
}

TEST(PlatformLocale, OemToAnsiFollowsTheEnvironmentOnLinux) {
  ScopedEnv env;
  env.Set("LC_ALL", "ru_RU.KOI8-R");  // not installed: only its language counts
  EXPECT_EQ(Hex(os::OemToAnsi(kPrivetCp866)), Hex(kPrivetUtf8));
  EXPECT_EQ(Hex(os::AnsiToOem(kPrivetUtf8)), Hex(kPrivetCp866));
  env.Set("LC_ALL", "tr_TR.UTF-8");
  EXPECT_EQ(Hex(os::OemToAnsi("\xA7\x8D\x9F")), Hex("\xC4\x9F\xC4\xB1\xC5\x9F"));
  env.Set("LC_ALL", "C");
  EXPECT_EQ(Hex(os::OemToAnsi("\x82")), Hex("\xC3\xA9"));  // CP437 é
  EXPECT_EQ(os::AnsiToOem(kPrivetUtf8), "______");
  EXPECT_EQ(os::Utf8ToAnsi(kPrivetUtf8), kPrivetUtf8);
  EXPECT_EQ(os::AnsiToUtf8(kPrivetUtf8), kPrivetUtf8);
}

// ---- dialogs -----------------------------------------------------------------

TEST(PlatformDialogs, UnattendedWithoutATerminal) {
  if (os::StdinIsTerminal()) GTEST_SKIP() << "standard input is a terminal";
  EXPECT_EQ(os::MessageDialog("Continue?", "Setup", os::mbYesNoCancel, os::idNo), os::idNo);
  EXPECT_EQ(os::MessageDialog("Done", "Setup", os::mbOK, os::idOK), os::idOK);
  std::string value = "kept";
  EXPECT_FALSE(os::InputQuery("Setup", "Password", value, true));
  EXPECT_EQ(value, "kept");
}

#ifdef ZF_HAVE_PTY
// Runs `ask` in a child whose standard input and controlling terminal is a
// new pseudo-terminal, types `keys` into it, and gives back what the child
// printed and its exit code.
int RunOnATerminal(int (*ask)(), const std::string& keys, std::string& screen) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return -1;
  if (pid == 0) ::_exit(ask());
  screen.clear();
  // Wait for the question before answering, so that the terminal's echo
  // settings are in place.
  char buf[512];
  bool typed = false;
  for (;;) {
    struct pollfd p = {master, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) {  // a child that hangs fails the case
      ::kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the child is gone
    screen.append(buf, static_cast<size_t>(n));
    if (!typed && (screen.find("? ") != std::string::npos || screen.find(": ") != std::string::npos)) {
      typed = true;
      if (::write(master, keys.data(), keys.size()) < 0) break;
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PlatformDialogs, MessageDialogAsksOnTheTerminal) {
  std::string screen;
  const int id = RunOnATerminal(
      [] { return os::MessageDialog("Overwrite the file?", "Setup",
                                    os::mbYesNoCancel | os::mbIconQuestion, 99); },
      "n\n", screen);
  EXPECT_EQ(id, os::idNo) << screen;
  EXPECT_NE(screen.find("Setup"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Overwrite the file?"), std::string::npos) << screen;
  EXPECT_NE(screen.find("[Y]es [N]o [C]ancel"), std::string::npos) << screen;

  // Enter takes the default button (the second one here); an unknown letter asks again.
  const int retry = RunOnATerminal(
      [] { return os::MessageDialog("Disk full", "Setup", os::mbAbortRetryIgnore | 0x100, 99); },
      "x\n\n", screen);
  EXPECT_EQ(retry, os::idRetry) << screen;
}

TEST(PlatformDialogs, UnattendedDialogsDoNotAskEvenOnATerminal) {
  std::string screen;
  const int id = RunOnATerminal(
      [] {
        os::SetUnattendedDialogs(true);
        std::string value = "kept";
        if (os::InputQuery("Archive", "Password", value, true) || value != "kept") return 1;
        if (os::ChoiceDialog("Which?", "Setup", {"One", "Two"}, 1) != 1) return 2;
        return os::MessageDialog("Overwrite the file?", "Setup", os::mbYesNo, os::idNo);
      },
      "y\n1\ns3cret\n", screen);
  EXPECT_EQ(id, os::idNo) << screen;
  EXPECT_EQ(screen.find("Overwrite"), std::string::npos) << screen;
}

TEST(PlatformDialogs, InputQueryHidesThePassword) {
  std::string screen;
  const int code = RunOnATerminal(
      [] {
        std::string value;
        if (!os::InputQuery("Archive", "Password", value, true)) return 1;
        return value == "s3cret" ? 42 : 2;
      },
      "s3cret\n", screen);
  EXPECT_EQ(code, 42) << screen;
  EXPECT_NE(screen.find("Password"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("s3cret"), std::string::npos) << screen;  // not echoed
}
#endif  // ZF_HAVE_PTY
#endif  // !_WIN32

}  // namespace
}  // namespace zf
