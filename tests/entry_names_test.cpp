// Entry names beyond ASCII on archives built byte by byte: names flagged
// UTF-8 (bit 11) and the Unicode Path extra block (0x7075), read from the
// central directory and from the local headers of a damaged archive, and
// extracted to disk under those names. Names are expected in the ANSI code
// page of the run (UTF-8 on Linux; on Windows what that code page can hold).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFStrFunc.h"
#include "test_util.h"
#include "zip_builder.h"

namespace zf {
namespace {

using test::ZipBuilder;
using test::ZipEntry;
using Bytes = std::vector<uint8_t>;

const std::string kReportCp866 = "\x8E\xE2\xE7\xF1\xE2.txt";  // Отчёт.txt
const std::string kReportUtf8 = "Отчёт.txt";

// A Unicode Path block: version, CRC-32 of the stored name, the name.
Bytes UnicodePath(const std::string& crcOf, const std::string& utf8, uint8_t version = 1) {
  Bytes data{version};
  Put32(data, test::Crc32Of(crcOf));
  data.insert(data.end(), utf8.begin(), utf8.end());
  Bytes block;
  PutExtraBlock(block, kExtraUnicodePath, data);
  return block;
}
Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct NameCase {
  const char* what;
  std::string stored;
  uint16_t flags;
  Bytes extra;       // in the local and the central header
  std::string name;  // expected, as UTF-8
};

const NameCase kNameCases[] = {
    {"Bit11Cyrillic", "папка/файл.txt", kFlagUtf8Name, {}, "папка/файл.txt"},
    {"Bit11Greek", "Ελληνικά.txt", kFlagUtf8Name, {}, "Ελληνικά.txt"},
    {"Bit11Japanese", "日本語/テスト.txt", kFlagUtf8Name, {}, "日本語/テスト.txt"},
    {"PathOverOemName", kReportCp866, 0, UnicodePath(kReportCp866, kReportUtf8), kReportUtf8},
    {"PathOverEscapedName", "#U65e5#U672c.txt", 0, UnicodePath("#U65e5#U672c.txt", "日本.txt"),
     "日本.txt"},
    {"PathBesideBit11", "x.txt", kFlagUtf8Name, UnicodePath("x.txt", "omega-Ω.txt"),
     "omega-Ω.txt"},
    {"PathAfterOtherBlocks", "a.txt", 0,
     Concat(Concat(Bytes{0x55, 0x54, 1, 0, 3}, UnicodePath("a.txt", "umlaut-ä.txt")), Bytes{1, 2}),
     "umlaut-ä.txt"},
    {"PathWithWrongCrc", "stale.txt", 0, UnicodePath("other.txt", "renamed.txt"), "stale.txt"},
    {"PathOfVersion2", "v2.txt", 0, UnicodePath("v2.txt", "renamed.txt", 2), "v2.txt"},
    {"PathWithoutName", "empty.txt", 0, UnicodePath("empty.txt", ""), "empty.txt"},
    {"PathCutToItsCrc", "cut.txt", 0, [] {
       Bytes b = UnicodePath("cut.txt", "");
       test::Put16At(b, 2, 4);  // only version and 3 bytes of the CRC-32
       b.pop_back();
       return b;
     }(), "cut.txt"},
    {"PathRunningPastTheField", "short.txt", 0, [] {
       Bytes b = UnicodePath("short.txt", "renamed-long.txt");
       b.resize(b.size() - 8);  // the block claims 8 bytes more than there are
       return b;
     }(), "short.txt"},
    {"FirstPathCounts", "two.txt", 0,
     Concat(UnicodePath("nothing", "first.txt"), UnicodePath("two.txt", "second.txt")), "two.txt"},
    {"CrcOverTheWholeStoredName", std::string("nul\0tail", 8), 0,
     UnicodePath(std::string("nul\0tail", 8), "ganz.txt"), "ganz.txt"},
};


ZipEntry EntryOf(const NameCase& c) {
  ZipEntry e;
  e.name = c.stored;
  e.data = std::string("contents of ") + c.what;
  e.extraFlags = c.flags;
  e.localExtra = e.centralExtra = c.extra;
  return e;
}

std::vector<std::string> NamesRead(const Bytes& bytes) {
  TZipArchiver archiver;
  TMemoryStream stream;
  stream.Data() = bytes;
  TZFDirManager manager(&stream, archiver.Volumes(), archiver.DirSettings(), false);
  manager.ReadDirectory();
  std::vector<std::string> names;
  for (int i = 0; i < manager.Dir().Count(); ++i) names.emplace_back(manager.Dir().ItemRef(i).Name());
  return names;
}

class EntryName : public ::testing::TestWithParam<NameCase> {};

TEST_P(EntryName, FromTheCentralDirectoryAndFromLocalHeaders) {
  const NameCase& c = GetParam();
  ZipBuilder b;
  b.Add(EntryOf(c)).Add(ZipEntry{.name = "after.txt", .data = "next entry"});
  const test::ZipLayout z = b.Build();
  const std::vector<std::string> expected{os::Utf8ToAnsi(c.name), "after.txt"};
  EXPECT_EQ(NamesRead(z.bytes), expected) << "central directory";
  const Bytes withoutDirectory(z.bytes.begin(), z.bytes.begin() + z.directoryOffset);
  EXPECT_EQ(NamesRead(withoutDirectory), expected) << "rebuilt from the local headers";
}

INSTANTIATE_TEST_SUITE_P(Names, EntryName, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.what); });

// Names without bit 11: valid UTF-8 written on Unix or macOS (Info-ZIP zip
// and bsdtar there store the file system's bytes unflagged) is UTF-8, and
// so it is from a local header, which names no host; MS-DOS, NTFS and the
// other hosts keep the OEM code page, as do bytes that are no UTF-8.
TEST(EntryName, UnflaggedNamesByTheWritersHost) {
  const std::string utf8 = "Кириллица/файл.txt";
  constexpr uint8_t kHostNtfs = 10;
  struct Case {
    const char* what;
    std::string stored;
    uint8_t host;
    uint16_t flags;
    bool utf8Central, utf8Rebuilt;
  } const cases[] = {
      {"Unix", utf8, kHostUnix, 0, true, true},
      {"macOS", utf8, kHostOsX, 0, true, true},
      {"Unix with bit 11", utf8, kHostUnix, kFlagUtf8Name, true, true},
      {"MS-DOS, UTF-8 bytes", utf8, kHostMsDos, 0, false, true},
      {"NTFS, UTF-8 bytes", utf8, kHostNtfs, 0, false, true},
      {"Unix, OEM bytes", kReportCp866, kHostUnix, 0, false, false},
      {"MS-DOS, OEM bytes", kReportCp866, kHostMsDos, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ZipEntry e;
    e.name = c.stored;
    e.data = "x";
    e.extraFlags = c.flags;
    e.versionMadeBy = MadeBy(c.host, 30);
    ZipBuilder b;
    b.Add(e);
    const test::ZipLayout z = b.Build();
    const auto expected = [&](bool utf8Name) {
      return std::vector<std::string>{utf8Name ? os::Utf8ToAnsi(c.stored) : os::OemToAnsi(c.stored)};
    };
    EXPECT_EQ(NamesRead(z.bytes), expected(c.utf8Central)) << "central directory";
    EXPECT_EQ(NamesRead(Bytes(z.bytes.begin(), z.bytes.begin() + z.directoryOffset)),
              expected(c.utf8Rebuilt))
        << "rebuilt from the local headers";
  }
}

TEST(EntryName, UnicodePathIsNeverReadAsOem) {
  // Whatever the OEM option, a valid block's name is UTF-8.
  const Bytes extra = UnicodePath(kReportCp866, kReportUtf8);
  const std::vector<TExtraBlock> blocks =
      ParseExtraField(extra).Blocks;
  for (bool oem : {true, false})
    EXPECT_EQ(DecodeEntryName(kReportCp866, 0, kHostMsDos, oem, blocks), os::Utf8ToAnsi(kReportUtf8));
}

// ---- extracted to disk ------------------------------------------------------------

TEST(EntryNameExtract, FilesAndFoldersTakeTheRealNames) {
  test::TempDir dir;
  ZipBuilder b;
  for (const NameCase& c : kNameCases)
    if (c.stored.find('\0') == std::string::npos) b.Add(EntryOf(c));
  b.Save(dir / "names.zip");
  TZipArchiver z;
  z.SetFileName(dir / "names.zip");
  z.SetBaseDir(dir / "out" + test::kSep);
  z.Open();
  std::vector<std::string> failed;
  z.OnProcessFileFailure = [&](TZFBaseArchiver*, const std::string& name, TZFProcessOperation,
                               int32_t, int32_t, const std::string&, TZFAction& action) {
    failed.push_back(name);
    action = fxaIgnore;
  };
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(failed, std::vector<std::string>{});
  for (const NameCase& c : kNameCases) {
    if (c.stored.find('\0') != std::string::npos) continue;
    std::string path = dir / "out" + test::kSep + os::Utf8ToAnsi(c.name);
    for (char& ch : path)
      if (ch == '/') ch = test::kSep;
    EXPECT_EQ(test::ReadFile(path), std::string("contents of ") + c.what) << c.what;
  }
}

TEST(EntryNameExtract, UnicodePathPassesTheSameSafetyChecks) {
  // A harmless stored name cannot smuggle a way out of the folder in.
  test::TempDir dir;
  ZipEntry e;
  e.name = "safe.txt";
  e.data = "x";
  e.localExtra = e.centralExtra = UnicodePath("safe.txt", "../escaped.txt");
  ZipBuilder().Add(e).Save(dir / "evil.zip");
  TZipArchiver z;
  z.SetFileName(dir / "evil.zip");
  z.SetBaseDir(dir / "out" + test::kSep);
  z.Open();
  std::vector<int32_t> codes;
  z.OnProcessFileFailure = [&](TZFBaseArchiver*, const std::string&, TZFProcessOperation,
                               int32_t native, int32_t, const std::string&, TZFAction& action) {
    codes.push_back(native);
    action = fxaIgnore;
  };
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(codes, std::vector<int32_t>{neCannotCreateFile});
  EXPECT_FALSE(os::FileExists(dir / "escaped.txt"));
  EXPECT_FALSE(os::FileExists(dir / "out" + test::kSep + "safe.txt"));
}

}  // namespace
}  // namespace zf
