// Each cause a failed entry reports, from one good archive made here and
// mutated a byte or a field at a time (or read with a wrong password, a
// cancelling handler, a destination that takes no more). Every row checks
// the cause and the entry's offset twice: as the decoding's answer, and as
// the detail of the native code 8 that an extraction run reports, whose
// message stays the catalogue's.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFCodec.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "test_util.h"
#include "zip_builder.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace zf {
namespace {

using test::ZipBuilder;
using test::ZipEntry;

std::string Text(size_t size) {
  std::string s;
  for (int i = 0; s.size() < size; ++i) s += "line " + std::to_string(i) + " of the text\n";
  return s;
}

// The good archive: the entries each row picks one of.
enum Entry { kStored, kDeflated, kSecret, kLast };
const char* const kNames[] = {"a-stored.txt", "b-deflated.txt", "c-secret.txt", "d-last.txt"};
constexpr const char* kPassword = "right";

test::ZipLayout GoodArchive() {
  return ZipBuilder()
      .Add({.name = kNames[kStored], .data = Text(2000), .method = 0})
      .Add({.name = kNames[kDeflated], .data = Text(60000)})
      .Add({.name = kNames[kSecret], .data = Text(3000), .password = kPassword})
      .Add({.name = kNames[kLast], .data = Text(40000)})
      .Build();
}

// Field offsets in the records (little-endian).
constexpr size_t kCentralVersionNeeded = 6, kCentralMethod = 10, kCentralCompressed = 20,
                 kCentralUncompressed = 24;
constexpr size_t kLocalHeaderSize = 30;

void Put16(std::vector<uint8_t>& b, uint64_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const std::vector<uint8_t>& b, uint64_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint64_t DataStart(const test::ZipLayout& l, int e) {
  return l.localOffsets[e] + kLocalHeaderSize + std::string(kNames[e]).size();
}

// How a row reads its entry.
enum class Reader {
  Component,   // the component's own events and password
  SilentSink,  // decoding that can ask nobody (as decoding ahead does)
};

struct Case {
  const char* name;
  Entry entry;
  TZFCause cause;
  std::function<void(test::ZipLayout&)> mutate;  // of the good archive's bytes
  std::string password = kPassword;
  Reader reader = Reader::Component;
  bool cancel = false;          // the progress handler cancels
  int64_t fileSizeLimit = -1;   // the process may write no file larger than this
  std::string otherEntry;       // Overlap: the entry run into
  std::string dataText;         // DamagedData: what the decoder found
};

std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {"one byte of stored data flipped", kStored, TZFCause::CrcMismatch,
       [](test::ZipLayout& l) { l.bytes[DataStart(l, kStored) + 100] ^= 0x20; }},
      {"declared size one byte larger", kDeflated, TZFCause::SizeMismatch,
       [](test::ZipLayout& l) {
         const uint64_t at = l.centralOffsets[kDeflated] + kCentralUncompressed;
         Put32(l.bytes, at, Get32(l.bytes, at) + 1);
       }},
      // 0xFF starts a final block of the reserved type 3.
      {"deflate stream overwritten", kDeflated, TZFCause::DamagedData,
       [](test::ZipLayout& l) {
         for (int i = 0; i < 16; ++i) l.bytes[DataStart(l, kDeflated) + i] = 0xFF;
       },
       kPassword, Reader::Component, false, -1, "", "invalid block type"},
      // An encrypted entry whose data is shorter than its 12-byte header.
      {"compressed size cut below the encryption header", kSecret, TZFCause::Truncated,
       [](test::ZipLayout& l) {
         Put32(l.bytes, l.centralOffsets[kSecret] + kCentralCompressed, 5);
       }},
      // The stored entry's sizes reach into the next entry's local header:
      // an overlapped-entry bomb.
      {"sizes running into the next entry", kStored, TZFCause::Overlap,
       [](test::ZipLayout& l) {
         for (size_t field : {kCentralCompressed, kCentralUncompressed}) {
           const uint64_t at = l.centralOffsets[kStored] + field;
           Put32(l.bytes, at, Get32(l.bytes, at) + 100);
         }
       },
       kPassword, Reader::Component, false, -1, kNames[kDeflated]},
      {"method 97 of a version-1.0 entry", kLast, TZFCause::UnsupportedMethod,
       [](test::ZipLayout& l) {
         Put16(l.bytes, l.centralOffsets[kLast] + kCentralMethod, 97);
         Put16(l.bytes, l.centralOffsets[kLast] + kCentralVersionNeeded, 10);
       }},
      {"wrong password, nobody to ask", kSecret, TZFCause::WrongPassword, nullptr, "wrong",
       Reader::SilentSink},
      {"wrong password, the question declined", kSecret, TZFCause::Skipped, nullptr, "wrong"},
      {"cancelled at the first chunk", kDeflated, TZFCause::Cancelled, nullptr, kPassword,
       Reader::Component, true},
  };
#ifndef _WIN32
  // The destination refuses bytes past its first KiB: the system's own
  // reason ("file too large", a full disk as far as this file goes).
  cases.push_back({"destination takes no more", kDeflated, TZFCause::DiskFull, nullptr, kPassword,
                   Reader::Component, false, 1024});
#endif
  return cases;
}

class DecodeCauses : public ::testing::Test {
 protected:
  test::TempDir dir;
};

TEST_F(DecodeCauses, EachMutationReportsItsCauseAndTheEntrysOffset) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    test::ZipLayout layout = GoodArchive();
    if (c.mutate) c.mutate(layout);
    const std::string archive = dir / (std::string("mutated-") + CauseName(c.cause) + ".zip");
    test::WriteFile(archive, layout.str());
    const int64_t offset = static_cast<int64_t>(layout.localOffsets[c.entry]);

    TZipArchiver archiver;
    archiver.SetFileName(archive);
    archiver.SetPassword(c.password);
    archiver.OnPassword = [](TZFBaseArchiver*, const std::string&, std::string&, bool& skip) {
      skip = true;
    };
    archiver.OnFileProgress = [&](TZFBaseArchiver*, const std::string&, double,
                                  TZFProcessOperation, TZFProgressPhase, bool& cancel) {
      cancel = c.cancel;
    };
    archiver.Open();
    ASSERT_FALSE(archiver.DirManager()->Report().Damaged());

    // The decoding's answer, into a real file.
    TZFDecodeResult result;
    {
      const test::FileSizeLimit limit(c.fileSizeLimit);
      TFileStream decoded(dir / "decoded.bin", TFileMode::fmCreate);
      if (c.reader == Reader::SilentSink) {
        TZFSilentDecodeEvents silent(c.password);
        archiver.ArchiveStream()->SetPosition(offset);
        result = DecodeEntry(archiver.Volumes(), silent, decoded,
                             archiver.DirManager()->Dir().ItemRef(c.entry),
                             archiver.DirManager()->PlaceOf(c.entry));
      } else {
        result = archiver.DecodeItem(c.entry, decoded);
      }
    }
    EXPECT_STREQ(CauseName(result.Cause()), CauseName(c.cause));
    EXPECT_EQ(result.Failure.EntryOffset, offset);
    if (c.cause == TZFCause::DiskFull) {
      EXPECT_FALSE(result.Failure.SystemText.empty());
    }
    EXPECT_EQ(result.Failure.DataText, c.dataText);
    if (c.reader == Reader::SilentSink) continue;  // an extraction run can always ask

    // The same entry extracted: the failure event with native code 8 and
    // the detail, or (skipped, cancelled) no event; never a file left.
    int failures = 0;
    int32_t native = 0;
    std::string message;
    TZFErrorDetail detail;
    archiver.OnProcessFileFailure = [&](TZFBaseArchiver* sender, const std::string&,
                                        TZFProcessOperation, int32_t code, int32_t,
                                        const std::string& text, TZFAction& action) {
      ++failures;
      native = code;
      message = text;
      detail = sender->FailureDetail();
      action = fxaIgnore;
    };
    const std::string out = dir / (std::string("out-") + CauseName(c.cause)) + test::kSep;
    archiver.SetBaseDir(out);
    {
      const test::FileSizeLimit limit(c.fileSizeLimit);
      archiver.Extract(kNames[c.entry], os::faSearchAll, "");
    }
    archiver.Close();
    EXPECT_FALSE(os::FileExists(out + kNames[c.entry]));
    if (c.cause == TZFCause::Skipped || c.cause == TZFCause::Cancelled) {
      EXPECT_EQ(failures, 0);
      continue;
    }
    ASSERT_EQ(failures, 1);
    EXPECT_EQ(native, 8);
    EXPECT_EQ(message,
              "Invalid size or check sum of file or unsupported compression format - Native "
              "error: 00008");
    EXPECT_STREQ(CauseName(detail.Cause), CauseName(c.cause));
    EXPECT_EQ(detail.EntryOffset, offset);
    EXPECT_EQ(detail.OtherEntry, c.otherEntry);
    EXPECT_EQ(detail.DataText, c.dataText);
  }
}

}  // namespace
}  // namespace zf
