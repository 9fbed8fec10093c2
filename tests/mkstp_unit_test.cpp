// Unit tests of mkstp's pieces: the package records (read back with the
// engine's own readers, Zip64 forms included), the encryption header, the
// BMP check, the configuration file, the stored names, and the read-back
// check on a damaged package.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFCipher.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFRecords.h"
#include "build_package.h"
#include "command_line.h"
#include "bmp_check.h"
#include "mkstp.h"
#include "package_config.h"
#include "package_records.h"
#include "stored_names.h"
#include "test_util.h"
#include "verify.h"
#include "zip_builder.h"
#include "package/PackageFormat.h"
#include "terminal.h"
#include "test_util.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#endif

namespace mkstp {
namespace {

constexpr uint64_t k4G = 0x100000000ull;

EntryRecord FileRecord(uint64_t size, uint64_t packed, uint64_t offset) {
  EntryRecord e;
  e.storedName = "dir/file.txt";
  e.flags = zf::kFlagEncrypted;
  e.method = zf::kMethodDeflated;
  e.dosDateTime = 0x52A3'6C45;
  e.crc = 0xCAFEBABE;
  e.uncompressedSize = size;
  e.compressedSize = packed;
  e.localHeaderOffset = offset;
  e.externalAttributes = 0x21;
  e.localZip64 = NeedsLocalZip64(size);
  return e;
}

// The central record read back: header, name, Zip64 values.
struct ReadBack {
  zf::TCentralFileHeader header;
  std::string name;
  zf::TZip64ExtendedInfo zip64;
};

ReadBack ReadCentral(const std::vector<uint8_t>& bytes) {
  ReadBack r;
  EXPECT_TRUE(zf::ReadCentralFileHeader(bytes, r.header));
  const size_t nameAt = zf::kCentralFileHeaderSize;
  r.name.assign(bytes.begin() + nameAt, bytes.begin() + nameAt + r.header.NameLength);
  const size_t extraAt = nameAt + r.header.NameLength;
  EXPECT_EQ(bytes.size(), extraAt + r.header.ExtraLength);
  const zf::TExtraField extra =
      zf::ParseExtraField(std::span(bytes).subspan(extraAt, r.header.ExtraLength));
  for (const zf::TExtraBlock& block : extra.Blocks)
    if (block.HeaderID == zf::kExtraZip64) r.zip64 = zf::ReadZip64ExtendedInfo(block.Data, r.header);
  return r;
}

TEST(PackageRecords, SmallEntryHasNoZip64) {
  const EntryRecord e = FileRecord(1000, 500, 1234);
  const ReadBack r = ReadCentral(CentralRecord(e));
  EXPECT_EQ(r.header.VersionMadeBy, 20);
  EXPECT_EQ(r.header.VersionNeeded, 20);
  EXPECT_EQ(r.header.ExtraLength, 0);
  EXPECT_EQ(r.header.Flags, zf::kFlagEncrypted);
  EXPECT_EQ(r.header.Crc32, 0xCAFEBABE);
  EXPECT_EQ(r.header.UncompressedSize, 1000u);
  EXPECT_EQ(r.header.CompressedSize, 500u);
  EXPECT_EQ(r.header.LocalHeaderOffset, 1234u);
  EXPECT_EQ(r.header.ExternalAttributes, 0x21u);
  EXPECT_EQ(zf::os::MakeDosDateTime(r.header.ModDate, r.header.ModTime), e.dosDateTime);
  EXPECT_EQ(r.name, "dir/file.txt");

  zf::TLocalFileHeader local;
  const std::vector<uint8_t> bytes = LocalRecord(e);
  ASSERT_TRUE(zf::ReadLocalFileHeader(bytes, local));
  EXPECT_EQ(local.ExtraLength, 0);
  EXPECT_EQ(local.CompressedSize, 500u);
  EXPECT_EQ(bytes.size(), zf::kLocalFileHeaderSize + e.storedName.size());
}

// Each case: sizes and offset, and which values must come from Zip64.
struct Zip64Case {
  uint64_t size, packed, offset;
  bool sizes64, offset64;
};

class PackageRecordsZip64 : public testing::TestWithParam<Zip64Case> {};

TEST_P(PackageRecordsZip64, CentralValuesReadBackExactly) {
  const Zip64Case c = GetParam();
  const ReadBack r = ReadCentral(CentralRecord(FileRecord(c.size, c.packed, c.offset)));
  EXPECT_EQ(r.header.VersionNeeded, c.sizes64 || c.offset64 ? 45 : 20);
  EXPECT_EQ(r.zip64.UncompressedSize.has_value(), c.sizes64);
  EXPECT_EQ(r.zip64.CompressedSize.has_value(), c.sizes64);
  EXPECT_EQ(r.zip64.LocalHeaderOffset.has_value(), c.offset64);
  EXPECT_EQ(r.zip64.UncompressedSize.value_or(r.header.UncompressedSize), c.size);
  EXPECT_EQ(r.zip64.CompressedSize.value_or(r.header.CompressedSize), c.packed);
  EXPECT_EQ(r.zip64.LocalHeaderOffset.value_or(r.header.LocalHeaderOffset), c.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageRecordsZip64,
    testing::Values(Zip64Case{10, 22, k4G - 2, false, false},        // just below the sentinel
                    Zip64Case{10, 22, k4G - 1, false, true},         // the sentinel itself
                    Zip64Case{10, 22, 5 * k4G, false, true},         // far behind 4 GiB
                    Zip64Case{k4G + 5, 1000, 0, true, false},        // big, compressible
                    Zip64Case{k4G - 12, k4G, 7, true, false},        // stored would overflow
                    Zip64Case{6 * k4G, 6 * k4G + 12, 3 * k4G, true, true}));

TEST(PackageRecords, LocalZip64HoldsBothSizes) {
  const EntryRecord e = FileRecord(k4G + 5, 77, 0);
  ASSERT_TRUE(e.localZip64);
  const std::vector<uint8_t> bytes = LocalRecord(e);
  zf::TLocalFileHeader local;
  ASSERT_TRUE(zf::ReadLocalFileHeader(bytes, local));
  EXPECT_EQ(local.VersionNeeded, 45);
  EXPECT_EQ(local.CompressedSize, zf::kSentinel32);
  EXPECT_EQ(local.UncompressedSize, zf::kSentinel32);
  ASSERT_EQ(local.ExtraLength, 20);
  const uint8_t* extra = bytes.data() + zf::kLocalFileHeaderSize + local.NameLength;
  EXPECT_EQ(zf::Get16(extra), zf::kExtraZip64);
  EXPECT_EQ(zf::Get16(extra + 2), 16);
  EXPECT_EQ(zf::Get64(extra + 4), k4G + 5);
  EXPECT_EQ(zf::Get64(extra + 12), 77u);
}

TEST(PackageRecords, EndRecordsOfASmallPackage) {
  const std::vector<uint8_t> bytes = EndRecords(3, 1000, 200, 1200);
  ASSERT_EQ(bytes.size(), zf::kEndOfCentralDirSize);
  zf::TEndOfCentralDir end;
  ASSERT_TRUE(zf::ReadEndOfCentralDir(bytes, end));
  EXPECT_EQ(end.TotalEntries, 3);
  EXPECT_EQ(end.EntriesOnDisk, 3);
  EXPECT_EQ(end.DirectoryOffset, 1000u);
  EXPECT_EQ(end.DirectorySize, 200u);
  EXPECT_EQ(end.CommentLength, 0);
}

TEST(PackageRecords, EndRecordsWithManyEntriesOrFarOffsets) {
  for (const auto& [count, offset] : {std::pair<uint64_t, uint64_t>{70000, 5000},
                                      {65535, 5000},
                                      {2, 5 * k4G}}) {
    const uint64_t endAt = offset + 300;
    const std::vector<uint8_t> bytes = EndRecords(count, offset, 300, endAt);
    ASSERT_EQ(bytes.size(),
              zf::kZip64EndOfCentralDirSize + zf::kZip64LocatorSize + zf::kEndOfCentralDirSize);
    zf::TZip64EndOfCentralDir record;
    zf::TZip64Locator locator;
    zf::TEndOfCentralDir end;
    ASSERT_TRUE(zf::ReadZip64EndOfCentralDir(bytes, record));
    ASSERT_TRUE(zf::ReadZip64Locator(std::span(bytes).subspan(zf::kZip64EndOfCentralDirSize),
                                     locator));
    ASSERT_TRUE(zf::ReadEndOfCentralDir(
        std::span(bytes).subspan(zf::kZip64EndOfCentralDirSize + zf::kZip64LocatorSize), end));
    EXPECT_EQ(record.Signature, zf::kZip64EndOfCentralDirSignature);
    EXPECT_EQ(record.TotalEntries, count);
    EXPECT_EQ(record.DirectoryOffset, offset);
    EXPECT_EQ(record.DirectorySize, 300u);
    EXPECT_EQ(locator.Signature, zf::kZip64LocatorSignature);
    EXPECT_EQ(locator.Zip64RecordOffset, endAt);
    EXPECT_EQ(locator.TotalDisks, 1u);
    EXPECT_EQ(end.TotalEntries, count >= 0xFFFF ? 0xFFFF : count);
    EXPECT_EQ(end.DirectoryOffset, offset >= 0xFFFFFFFF ? 0xFFFFFFFF : offset);
  }
}

TEST(EncryptionHeader, DeterministicWithTheCheckByteLast) {
  const auto a = PlainEncryptionHeader("a.txt", 0x12345678);
  EXPECT_EQ(a, PlainEncryptionHeader("a.txt", 0x12345678));
  EXPECT_NE(a, PlainEncryptionHeader("b.txt", 0x12345678));
  EXPECT_NE(a, PlainEncryptionHeader("a.txt", 0x12345679));
  ASSERT_EQ(a.size(), 12u);
  EXPECT_EQ(a[11], 0x12);
  // Encrypted and checked as a reader does.
  zf::TZFKeys keys;
  zf::InitKeys(std::string(setup::kPackagePassword), keys);
  uint8_t header[12];
  std::memcpy(header, a.data(), 12);
  zf::EncryptBuffer(header, 12, keys);
  zf::InitKeysAndDecryptHeader(std::string(setup::kPackagePassword), keys, header);
  EXPECT_EQ(header[11], 0x12);
}

// ---- BMP check ------------------------------------------------------------------

std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                         uint16_t planes = 1, int64_t cutPixels = 0) {
  std::vector<uint8_t> b;
  const uint32_t stride = ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
  const uint32_t pixels = stride * static_cast<uint32_t>(height < 0 ? -height : height);
  b.push_back('B');
  b.push_back('M');
  zf::Put32(b, 54 + pixels);
  zf::Put32(b, 0);
  zf::Put32(b, 54);
  zf::Put32(b, 40);
  zf::Put32(b, static_cast<uint32_t>(width));
  zf::Put32(b, static_cast<uint32_t>(height));
  zf::Put16(b, planes);
  zf::Put16(b, bits);
  zf::Put32(b, compression);
  zf::Put32(b, pixels);
  for (int i = 0; i < 4; ++i) zf::Put32(b, 0);
  b.resize(b.size() + pixels - static_cast<size_t>(cutPixels));
  return b;
}

TEST(BmpCheck, Table) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* problem;  // "" for a valid picture
  };
  const std::vector<Case> cases = {
      {"24-bit", Bmp(32, 32, 24), ""},
      {"8-bit top-down", Bmp(3, -5, 8), ""},
      {"1-bit odd width", Bmp(13, 2, 1), ""},
      {"32-bit bit fields", Bmp(4, 4, 32, 3), ""},
      {"text", std::vector<uint8_t>(100, 'x'), "not a BMP file"},
      {"too short", {'B', 'M', 0, 0}, "not a BMP file"},
      {"two planes", Bmp(4, 4, 24, 0, 2), "a BMP must have one plane"},
      {"3 bits", Bmp(4, 4, 3), "unsupported number of bits per pixel (3)"},
      {"no width", Bmp(0, 4, 24), "the picture has no size"},
      {"no height", Bmp(4, 0, 24), "the picture has no size"},
      {"RLE8 at 24 bits", Bmp(4, 4, 24, 1), "unsupported BMP compression"},
      {"JPEG inside", Bmp(4, 4, 24, 4), "unsupported BMP compression"},
      {"pixels cut", Bmp(32, 32, 24, 0, 1, 1), "the pixel data is cut short"},
  };
  for (const Case& c : cases) EXPECT_EQ(BmpProblem(c.bytes), c.problem) << c.what;

  std::vector<uint8_t> header = Bmp(4, 4, 24);
  header[14] = 41;  // no info header has 41 bytes
  EXPECT_EQ(BmpProblem(header), "unknown or cut BMP header");
  std::vector<uint8_t> offset = Bmp(4, 4, 24);
  offset[10] = 20;  // pixels inside the headers
  EXPECT_EQ(BmpProblem(offset), "the pixel data lies outside the file");
}

// ---- configuration file -----------------------------------------------------------

std::string FailureOf(const Options& o, unsigned codePage) {
  try {
    BuildPackageConfig(o, codePage);
  } catch (const Failure& f) {
    return f.what();
  }
  return "";
}

TEST(PackageConfig, KeysInOrderOnlyWhenGiven) {
  Options o;
  EXPECT_EQ(BuildPackageConfig(o, 1251), "[zel]\r\n");
  o.haveComment = true, o.comment = "Hi";
  o.havePublisher = true, o.publisher = "Firm";
  EXPECT_EQ(BuildPackageConfig(o, 1251), "[zel]\r\nfirma=Firm\r\ncoment=Hi\r\n");
  o.haveWeb = true;  // given empty: written empty, not the wizard's default
  o.haveName = true, o.name = "P";
  EXPECT_EQ(BuildPackageConfig(o, 1251), "[zel]\r\nfirma=Firm\r\nweb=\r\nname=P\r\ncoment=Hi\r\n");
}

TEST(PackageConfig, QuotesGuardBlanksAndQuotes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},        {" lead", "\" lead\""}, {"trail ", "\"trail \""},
      {"\"q\"", "\"\"q\"\""},    {"'x", "\"'x\""},       {"in \"side\" ok", "in \"side\" ok"},
      {"", ""},
  };
  for (const auto& [value, written] : cases) {
    Options o;
    o.haveName = true, o.name = value;
    EXPECT_EQ(BuildPackageConfig(o, 1251), "[zel]\r\nname=" + written + "\r\n") << value;
  }
}

TEST(PackageConfig, RefusesWhatTheWizardCannotRead) {
  Options o;
  o.haveComment = true, o.comment = "two\nlines";
  EXPECT_NE(FailureOf(o, 1251).find("line break"), std::string::npos);
  o.comment = std::string(2047, 'x');
  EXPECT_EQ(FailureOf(o, 1251), "");
  o.comment += "x";
  EXPECT_NE(FailureOf(o, 1251).find("too long"), std::string::npos);
}

// What the command line's languages, English texts and offers write, or
// why it is refused.
TEST(PackageConfig, LanguagesAndEnglishTexts) {
  struct Case {
    std::vector<std::string> args;
    std::string ini;    // the configuration written
    std::string error;  // or the start of the refusal
  };
  const Case cases[] = {
      {{"--name", "Sklad"}, "[zel]\r\nname=Sklad\r\n", ""},
      {{"--languages", "ru"}, "[zel]\r\n", ""},
      {{"--languages", "EN,ru", "--name", "Sklad", "--name.en", "Stock", "--comment.en", "Hi"},
       "[zel]\r\nname=Sklad\r\ncoment.en=Hi\r\nname.en=Stock\r\nlanguages=ru,en\r\n", ""},
      {{"--languages", "en", "--web.en", "http://x.example"},
       "[zel]\r\nweb.en=http://x.example\r\nlanguages=en\r\n", ""},
      {{"--publisher.en", ""}, "", "--publisher.en: an English text needs --languages with en"},
      {{"--languages", "ru", "--name.en", "Stock"}, "", "--name.en: an English text needs"},
      {{"--languages", "ru,de"}, "", "--languages takes a list of ru and en"},
      {{"--languages", "ru,ru"}, "", "--languages takes a list of ru and en"},
      {{"--name.de", "x"}, "", "unknown option --name.de"},
      // What the wizard offers besides; all users is the default, unwritten.
      {{"--run", "bin\\prog.exe", "--desktop-shortcut", "prog.exe", "--privileges", "Both"},
       "[zel]\r\nrun=bin\\prog.exe\r\ndesktop=prog.exe\r\nprivileges=both\r\n", ""},
      {{"--privileges", "admin"}, "[zel]\r\n", ""},
      {{"--privileges", "lowest"}, "[zel]\r\nprivileges=lowest\r\n", ""},
      {{"--privileges", "user"}, "", "--privileges takes admin, lowest or both"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    std::vector<std::string> args = c.args;
    args.push_back("src");
    Options o;
    std::string error;
    const Parsed parsed = ParseCommandLine(args, o, error);
    if (!c.error.empty()) {
      EXPECT_EQ(parsed, Parsed::Error);
      EXPECT_TRUE(error.starts_with(c.error)) << error;
      continue;
    }
    ASSERT_EQ(parsed, Parsed::Run) << error;
    EXPECT_EQ(BuildPackageConfig(o, 1251), c.ini);
  }
}

// ---- stored names ----------------------------------------------------------------
// The ANSI code page is UTF-8 on Linux, so these run natively only.
#ifndef _WIN32
TEST(StoredNames, CyrillicInCodePage866) {
  EXPECT_EQ(ToStoredName("Папка/Файл.txt", 866, "x"), "\x8F\xA0\xAF\xAA\xA0/\x94\xA0\xA9\xAB.txt");
  Options o;
  o.haveName = true, o.name = "Я";
  EXPECT_EQ(BuildPackageConfig(o, 1251), "[zel]\r\nname=\xDF\r\n");
}

TEST(StoredNames, Utf8NamesAreTheNamesThemselves) {
  for (const char* name : {"Папка/Файл.txt", "Ωmega.txt", "日本語/テスト.txt", "中.txt"})
    EXPECT_EQ(ToStoredName(name, kUtf8Names, "x"), name);
  for (const char* bad : {"a\xFF.txt", "cut\xD0", "over\xC0\xAF"}) {
    try {
      ToStoredName(bad, kUtf8Names, "shown");
      ADD_FAILURE() << bad << " accepted";
    } catch (const Failure& f) {
      EXPECT_NE(std::string(f.what()).find("shown: the name is not valid UTF-8"), std::string::npos)
          << f.what();
    }
  }
}

TEST(StoredNames, Refusals) {
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"Ωmega.txt", "cannot be written in code page 866"},
      {"中.txt", "cannot be written in code page 866"},
      {"a:b", "does not allow"},
      {"a*b", "does not allow"},
      {"tab\there", "does not allow"},
      {"dir\\x", "does not allow"},
      {std::string(261, 'n'), "too long"},
  };
  for (const auto& [name, message] : cases) {
    try {
      ToStoredName(name, 866, "shown");
      ADD_FAILURE() << name << " accepted";
    } catch (const Failure& f) {
      EXPECT_NE(std::string(f.what()).find(message), std::string::npos) << f.what();
      EXPECT_EQ(std::string(f.what()).rfind("shown: ", 0), 0u) << f.what();
    }
  }
  EXPECT_EQ(ToStoredName(std::string(260, 'n'), 866, "x").size(), 260u);
  // "_" is what a lossy conversion puts in; here it is the real character.
  EXPECT_EQ(ToStoredName("under_score.txt", 866, "x"), "under_score.txt");
}
#endif

// ---- the read-back check ---------------------------------------------------------------

// A package whose one entry differs from what was written: the check names
// the entry and the engine's cause, never a guess.
TEST(VerifyPackage, NamesTheEntryAndTheCause) {
  zf::test::TempDir dir;
  const std::string path = dir / "pkg.stp";
  const std::string password(setup::kPackagePassword);
  zf::test::ZipEntry a, b;
  a.name = "a.txt";
  a.data = "first file\n";
  b.name = "b.txt";
  b.data = std::string(4000, 'b');
  a.password = b.password = password;
  zf::test::ZipBuilder builder;
  builder.Add(a).Add(b);
  const zf::test::ZipLayout good = builder.Save(path);
  // The records as written, taken from the good package's own directory.
  std::vector<EntryRecord> written;
  {
    zf::TZipArchiver archiver;
    archiver.SetFileName(path);
    archiver.Options().SetOEMFileNames(false);
    archiver.Open();
    const zf::TZFDirArray& items = archiver.DirManager()->Dir();
    for (int i = 0; i < items.Count(); ++i) {
      const zf::TDirItem& item = items.ItemRef(i);
      EntryRecord e;
      e.storedName = item.Name();
      e.flags = item.Header.Flags;
      e.method = item.Header.Method;
      e.dosDateTime = item.DosDateTime();
      e.crc = item.Header.Crc32;
      e.compressedSize = static_cast<uint64_t>(item.CompressedSize());
      e.uncompressedSize = static_cast<uint64_t>(item.UncompressedSize());
      e.localHeaderOffset = static_cast<uint64_t>(item.LocalHeaderOffset());
      e.externalAttributes = item.Header.ExternalAttributes;
      written.push_back(e);
    }
  }
  Progress progress(true);
  EXPECT_NO_THROW(VerifyPackage(path, "pkg.stp", written, progress));

  // b.txt's CRC-32 changed in both headers and in the record written: the
  // data no longer matches it.
  zf::test::ZipLayout bad = good;
  for (uint64_t at : {good.localOffsets[1] + 14, good.centralOffsets[1] + 16}) bad.bytes[at] ^= 1;
  written[1].crc ^= 1;
  zf::test::WriteFile(path, bad.str());
  try {
    VerifyPackage(path, "pkg.stp", written, progress);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.what()),
              "pkg.stp: verification failed: b.txt: CRC-32 mismatch, entry at offset " +
                  std::to_string(good.localOffsets[1]));
  }
}

}  // namespace
}  // namespace mkstp

#ifndef _WIN32
namespace {

// A run stopped by a signal (as by Ctrl-C) once `after` bytes are written,
// in a child process: its exit status.
int BuildAndSignal(const mkstp::Options& options, int signal, int64_t after) {
  const pid_t child = ::fork();
  if (child == 0) {
    int64_t written = 0;
    zf::os::SetWriteHookForTests([&](int64_t count) {
      if (written < after && (written += count) >= after) ::raise(signal);
    });
    zftool::InstallInterruptHandler(mkstp::kExitFailed);
    mkstp::Progress progress(true);
    try {
      mkstp::BuildPackage(options, "", progress);
    } catch (const std::exception&) {
      ::_exit(mkstp::kExitFailed);
    }
    ::_exit(mkstp::kExitOk);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

}  // namespace

TEST(StoppedRun, LeavesNoPartOfANewPackageAndAnOldOneIntact) {
  struct Case {
    const char* what;
    int signal;
    bool oldPackage;
    bool outputMade;  // the output folder exists before the run
  } const cases[] = {
      {"SIGTERM, new package", SIGTERM, false, true},
      {"SIGHUP, old package", SIGHUP, true, true},
      {"SIGINT, new package", SIGINT, false, true},
      {"SIGINT, output folders made by the run", SIGINT, false, false},
  };
  for (const Case& c : cases) {
    zf::test::TempDir dir;
    const std::string source = dir / "source";
    const std::string out = c.outputMade ? dir / "out" : dir / "new/out";
    zf::os::CreateDir(source);
    if (c.outputMade) zf::os::CreateDir(out);
    std::string bytes(4 << 20, '\0');
    uint32_t x = 12345;
    for (char& b : bytes) b = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    zf::test::WriteFile(source + "/data.bin", bytes);
    // The headers of a Windows program and nothing else, as the wizard check wants.
    std::string wizard = "MZ" + std::string(58, '\0') + std::string("\x40\0\0\0PE\0\0", 8);
    wizard += std::string("\x4c\x01", 2) + std::string(16, '\0') + std::string("\x02\x01", 2);
    zf::test::WriteFile(dir / "wizard.exe", wizard);
    if (c.oldPackage) {
      zf::test::WriteFile(out + "/setup.stp", "old package");
      zf::test::WriteFile(out + "/setup.exe", "old wizard");
    }
    mkstp::Options options;
    options.outDir = out;
    options.setupPath = dir / "wizard.exe";
    options.source = source;
    options.level = 1;
    options.quiet = true;
    EXPECT_EQ(BuildAndSignal(options, c.signal, 1 << 20), mkstp::kExitFailed) << c.what;
    if (!c.outputMade) {
      EXPECT_FALSE(zf::os::DirectoryExists(dir / "new")) << c.what;
      continue;
    }
    std::vector<zf::os::DirEntry> entries;
    zf::os::ListDirectory(out, entries);
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected =
        c.oldPackage ? std::vector<std::string>{"setup.exe", "setup.stp"}
                     : std::vector<std::string>{};
    EXPECT_EQ(names, expected) << c.what;
    if (c.oldPackage) {
      EXPECT_EQ(zf::test::ReadFile(out + "/setup.stp"), "old package") << c.what;
    }
  }
}
#endif  // _WIN32
