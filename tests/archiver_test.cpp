// The archive component outside Extract: its settings, Open and Close of
// new, existing, read-only and in-memory archives, and the failures they
// report.
#include <gtest/gtest.h>

#include <functional>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFRecords.h"
#include "test_util.h"
#include "zip_builder.h"

namespace zf {
namespace {

using test::NativeErrorOf;
using test::TempDir;

test::ZipEntry Entry(const std::string& name, const std::string& data) {
  test::ZipEntry e;
  e.name = name;
  e.data = data;
  return e;
}

std::string EmptyArchiveBytes() {
  const std::vector<uint8_t> b = EmptyArchiveEndRecordBytes(0, 0);
  return std::string(b.begin(), b.end());
}

TEST(ArchiverSettings, CompressionLevelAndModeAreTwoViewsOfOneSetting) {
  struct Case {
    int mode;
    TZFCompressionLevel level;
    uint16_t method;
  };
  const Case cases[] = {{0, clNone, 0}, {1, clFastest, 8}, {3, clFastest, 8},
                        {4, clNormal, 8}, {5, clNormal, 8},  {6, clNormal, 8},
                        {7, clMax, 8},   {9, clMax, 8}};
  for (const Case& c : cases) {
    TZipArchiver z;
    z.SetCompressionMode(c.mode);
    EXPECT_EQ(z.GetCompressionLevel(), c.level) << c.mode;
    EXPECT_EQ(z.EntryCompressionMethod(), c.method) << c.mode;
  }
  const std::pair<TZFCompressionLevel, int> levels[] = {
      {clNone, 0}, {clFastest, 1}, {clNormal, 6}, {clMax, 9}};
  for (const auto& [level, mode] : levels) {
    TZipArchiver z;
    z.SetCompressionLevel(level);
    EXPECT_EQ(z.GetCompressionMode(), mode);
  }
}

TEST(ArchiverSettings, NewComponentDefaults) {
  TZipArchiver z;
  EXPECT_EQ(z.GetCompressionLevel(), clFastest);
  EXPECT_EQ(z.GetCompressionMode(), 1);
  EXPECT_EQ(z.EntryCompressionMethod(), 8);
  EXPECT_EQ(z.GetZip64Mode(), zmDisabled);
  EXPECT_FALSE(z.Active());
  TZFBaseArchiver base;
  EXPECT_EQ(base.EntryCompressionMethod(), 0xFFFF);
}

TEST(ArchiverSettings, CompressionModeOutOfRangeIsRefusedAndKeepsValues) {
  for (int bad : {10, -1, 255}) {
    TZipArchiver z;
    z.SetCompressionMode(5);
    EXPECT_EQ(NativeErrorOf([&] { z.SetCompressionMode(bad); }), neInvalidCompressionMode);
    EXPECT_EQ(z.GetCompressionMode(), 5);
    EXPECT_EQ(z.GetCompressionLevel(), clNormal);
  }
}

TEST(ArchiverSettings, CurrentVersionIgnoresWrites) {
  TZipArchiver z;
  EXPECT_EQ(z.GetCurrentVersion(), "2.70 ");
  z.SetCurrentVersion("9,99");
  EXPECT_EQ(z.GetCurrentVersion(), "2.70 ");
}

TEST(ArchiverSettings, MaskListSettersCopyLines) {
  TStringList given;
  given.Add("*.txt");
  given.Add("*.exe");
  TZipArchiver z;
  z.FileMasks().Add("old");
  z.SetFileMasks(given);
  z.SetExclusionMasks(given);
  given.Put(0, "changed");
  ASSERT_EQ(z.FileMasks().Count(), 2);
  EXPECT_EQ(z.FileMasks().Get(0), "*.txt");
  EXPECT_EQ(z.ExclusionMasks().Get(1), "*.exe");
}

TEST(ArchiverOpen, MissingFileBecomesAnEmptyArchive) {
  TempDir dir;
  TZipArchiver z;
  int afterOpen = 0;
  z.AfterOpen = [&](TZFBaseArchiver*) { ++afterOpen; };
  z.SetFileName(dir / "new.zip");
  z.SetBaseDir(dir / "out");
  z.Open();
  EXPECT_TRUE(z.Active());
  EXPECT_EQ(afterOpen, 1);
  EXPECT_TRUE(os::FileExists(dir / "new.zip"));
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(z.EntriesSelected(), 0);
  z.Close();
  EXPECT_FALSE(z.Active());
  EXPECT_EQ(test::ReadFile(dir / "new.zip"), EmptyArchiveBytes());
  // The archive so made opens again, as an existing one with no entries.
  z.Open();
  EXPECT_EQ(z.DirManager()->Dir().Count(), 0);
  z.Close();
  EXPECT_EQ(test::ReadFile(dir / "new.zip"), EmptyArchiveBytes());
}

TEST(ArchiverOpen, NewArchiveWithAStubGetsItsEndRecordToo) {
  TempDir dir;
  test::WriteFile(dir / "stub.bin", "MZ-stub");
  TZipArchiver z;
  z.SetSFXStub(dir / "stub.bin");
  z.SetFileName(dir / "new.exe");
  z.Open();
  z.Close();
  const std::vector<uint8_t> end = EmptyArchiveEndRecordBytes(0, 7);
  EXPECT_EQ(test::ReadFile(dir / "new.exe"), "MZ-stub" + std::string(end.begin(), end.end()));
}

TEST(ArchiverOpen, ReadOnlyArchiveOpensAndExtracts) {
  TempDir dir;
  const std::string path = dir / "ro.zip";
  const std::string before =
      test::ZipBuilder().Add(Entry("a.txt", "alpha")).Save(path).str();
  os::SetAttributes(path, os::faReadOnly);
  TZipArchiver z;
  z.SetFileName(path);
  z.SetBaseDir(dir / "out");
  z.Open();
  z.Extract("*.*", os::faSearchAll, "");
  z.Close();
  EXPECT_EQ(test::ReadFile(dir / "out" + test::kSep + "a.txt"), "alpha");
  EXPECT_EQ(test::ReadFile(path), before);
}

// An archive inside a bigger file: a program before it, a signature after
// it (so no end record is at the file's end). Its window reads and
// extracts it; the whole file has no directory to find.
TEST(ArchiverOpen, AnArchiveInAWindowOfABiggerFile) {
  TempDir dir;
  const std::string zip = test::ZipBuilder()
                              .Add(Entry("a.txt", "alpha"))
                              .Add(Entry("sub/b.txt", test::NoiseBytes(70000)))
                              .Build()
                              .str();
  const std::string program = "MZ" + test::NoiseBytes(30000, 7);
  const std::string path = dir / "setup.exe";
  test::WriteFile(path, program + zip + "signature block" + std::string(3000, '\0'));
  TZipArchiver z;
  z.SetFileName(path);
  z.SetBaseDir(dir / "out");
  z.SetArchiveWindow(static_cast<int64_t>(program.size()), static_cast<int64_t>(zip.size()));
  z.Open();
  EXPECT_EQ(z.DirManager()->PrefixLength(), 0u);
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(z.EntriesDone(), 2);
  z.Close();
  EXPECT_EQ(test::ReadFile(dir / "out" + test::kSep + "a.txt"), "alpha");
  EXPECT_EQ(test::ReadFile(dir / "out" + test::kSep + "sub" + test::kSep + "b.txt"),
            test::NoiseBytes(70000));
}

TEST(ArchiverOpen, BlankNamePartFailsAndLeavesTheOpenArchiveOpen) {
  TempDir dir;
  TZipArchiver z;
  z.SetFileName(dir / "first.zip");
  z.Open();
  std::vector<std::string> names = {dir / "folder\\", std::string()};
#ifdef _WIN32
  names.push_back("C:");  // a drive alone (on Linux "C:" names a file)
#endif
  for (const std::string& name : names) {
    z.SetFileName(name);
    EXPECT_EQ(NativeErrorOf([&] { z.Open(); }), neBlankFileName) << name;
    EXPECT_TRUE(z.Active());
  }
}

TEST(ArchiverOpen, ExtractOnClosedComponentFails) {
  TZipArchiver z;
  EXPECT_EQ(NativeErrorOf([&] { z.Extract("*.*", os::faSearchAll, ""); }), neArchiveNotOpen);
}

// The component's name stands before its own errors, never before what the
// directory reader says about the archive.
TEST(ArchiverOpen, ErrorsNameTheComponentExceptTheDirectoryReaders) {
  TempDir dir;
  test::WriteFile(dir / "junk.zip", std::string(4096, 'x'));
  struct Case {
    const char* what;
    std::function<void(TZipArchiver&)> action;
    std::string message;
  } cases[] = {
      {"not an archive", [&](TZipArchiver& z) { z.SetFileName(dir / "junk.zip"); z.Open(); },
       "Invalid archive file. - Native error: 00035"},
      {"nothing open", [](TZipArchiver& z) { z.Extract("*.*", os::faSearchAll, ""); },
       "ZipArchiver1: Archive is not open - Native error: 00013"},
  };
  for (const Case& c : cases) {
    TZipArchiver z;
    z.SetName("ZipArchiver1");
    std::string message;
    try {
      c.action(z);
    } catch (const EZFException& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message) << c.what;
  }
}

TEST(ArchiverOpen, SpanningModeIsRefusedWhileOpen) {
  TempDir dir;
  TZipArchiver z;
  z.SetFileName(dir / "a.zip");
  z.Open();
  try {
    z.SetSpanningMode(smSplitting);
    FAIL() << "accepted while open";
  } catch (const EZFException&) {
    FAIL() << "an archive error instead of a plain one";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot set spanning mode on open archive");
  }
  z.Close();
  z.SetSpanningMode(smSplitting);
  EXPECT_EQ(z.GetSpanningMode(), smSplitting);
}

TEST(ArchiverOpen, CloseWithNothingOpenIsHarmless) {
  TZipArchiver z;
  z.Close();
  z.Close();
  EXPECT_FALSE(z.Active());
}

TEST(ArchiverInMemory, SwitchingOnReplacesTheFileArchiveWithAnEmptyOne) {
  TempDir dir;
  const std::string path = dir / "a.zip";
  const std::string bytes = test::ZipBuilder().Add(Entry("a.txt", "x")).Save(path).str();
  TZipArchiver z;
  z.SetFileName(path);
  z.Open();
  ASSERT_EQ(z.DirManager()->Dir().Count(), 1);
  z.SetInMemory(true);
  EXPECT_TRUE(z.Active());
  EXPECT_TRUE(z.GetInMemory());
  EXPECT_EQ(z.DirManager()->Dir().Count(), 0);
  EXPECT_EQ(test::ReadFile(path), bytes);  // the file is not touched
}

TEST(ArchiverInMemory, SwitchingOffWritesACompleteArchiveAndReopensIt) {
  TempDir dir;
  TZipArchiver z;
  z.SetInMemory(true);
  z.Open();
  EXPECT_TRUE(os::FileExists(dir / "none.zip") == false);
  z.SetFileName("");
  EXPECT_EQ(NativeErrorOf([&] { z.SetInMemory(false); }), neBlankFileNameInMemory);
  EXPECT_TRUE(z.GetInMemory());
  z.SetFileName(dir / "mem.zip");
  z.SetInMemory(false);
  EXPECT_TRUE(z.Active());
  EXPECT_FALSE(z.GetInMemory());
  z.Close();
  EXPECT_EQ(test::ReadFile(dir / "mem.zip"), EmptyArchiveBytes());
}

TEST(ArchiverInMemory, SettingWhileClosedOnlyStores) {
  TZipArchiver z;
  z.SetInMemory(true);
  EXPECT_TRUE(z.GetInMemory());
  EXPECT_FALSE(z.Active());
}

}  // namespace
}  // namespace zf
