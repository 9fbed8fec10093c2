// Verification through the engine's own directory manager and entry codec.
#include "verify.h"

#include <exception>

#include "archive/ZFArchiver.h"
#include "archive/ZFCodec.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFStrFunc.h"
#include "mkstp.h"
#include "package/PackageFormat.h"

namespace mkstp {

namespace {

// The directory item agrees with what was written.
bool SameRecord(const zf::TDirItem& item, const EntryRecord& e) {
  // The name as the engine reads the stored bytes (a UTF-8 name in the
  // ANSI code page, an OEM one as it is).
  return item.Name() == zf::DecodeEntryName(e.storedName, e.flags, zf::HostOf(kVersionMadeBy),
                                            false) &&
         item.Header.Flags == e.flags &&
         item.Header.Method == e.method && item.DosDateTime() == e.dosDateTime &&
         item.Header.Crc32 == e.crc &&
         static_cast<uint64_t>(item.CompressedSize()) == e.compressedSize &&
         static_cast<uint64_t>(item.UncompressedSize()) == e.uncompressedSize &&
         static_cast<uint64_t>(item.LocalHeaderOffset()) == e.localHeaderOffset &&
         item.Header.ExternalAttributes == e.externalAttributes;
}

}  // namespace

void VerifyPackage(const std::string& path, const std::string& shownAs,
                   const std::vector<EntryRecord>& written, Progress& progress) {
  zf::TZipArchiver archiver;
  archiver.SetName("mkstp");
  archiver.SetFileName(path);
  archiver.SetPassword(std::string(setup::kPackagePassword));
  // The stored bytes are compared as they are, whatever this machine's OEM
  // code page is.
  archiver.Options().SetOEMFileNames(false);
  // The package's password fits, or the entry is skipped (cause Skipped).
  archiver.OnPassword = [&](zf::TZFBaseArchiver*, const std::string&, std::string&, bool& skip) {
    skip = true;
  };
  const std::string prefix = shownAs + ": verification failed: ";
  try {
    archiver.Open();
    zf::TZFDirManager& manager = *archiver.DirManager();
    const zf::TZFDirArray& dir = manager.Dir();
    if (manager.PrefixLength() != 0 || dir.Count() != static_cast<int32_t>(written.size()))
      throw Failure(prefix + "the directory does not list the entries written");
    uint64_t total = 0;
    for (const EntryRecord& e : written) total += e.compressedSize;
    progress.Begin("verifying", total);
    for (int32_t i = 0; i < dir.Count(); ++i) {
      StopIfInterrupted();
      const zf::TDirItem& item = dir.ItemRef(i);
      const std::string name(item.Name());
      const EntryRecord& expected = written[static_cast<size_t>(i)];
      if (!SameRecord(item, expected))
        throw Failure(prefix + name + ": its directory record differs from the one written");
      if (item.IsDirectory()) continue;
      zf::TNullStream sink;  // the codec checks size and CRC-32
      const zf::TZFDecodeResult result = archiver.DecodeItem(i, sink);
      if (!result.Ok())
        throw Failure(prefix + name + ": " +
                      (result.Cause() == zf::TZFCause::Skipped
                           ? std::string("the password does not fit")
                           : zf::DescribeDetail(result.Failure)));
      progress.Advance(expected.compressedSize, name);
    }
  } catch (const Failure&) {
    archiver.Close();
    throw;
  } catch (const zf::EZFException& e) {
    archiver.Close();
    throw Failure(prefix + e.MessageWithDetail());
  } catch (const std::exception& e) {
    archiver.Close();
    throw Failure(prefix + e.what());
  }
  archiver.Close();
  progress.End();
}

}  // namespace mkstp
