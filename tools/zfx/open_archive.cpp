// Opening the archive named on the command line.
#include "open_archive.h"

#include <exception>

#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "platform/platform.h"
#include "volume_requests.h"

namespace zfx {

namespace {

// What the directory reader found wrong, if anything, as a warning: the
// archive opened all the same, but its user should know it is damaged and
// how it was read.
void WarnAboutDirectory(zf::TZipArchiver& archiver, const std::string& shown, Console& console) {
  const zf::TZFDirManager* manager = archiver.DirManager();
  if (manager == nullptr || !manager->Report().Damaged()) return;
  console.Error("zfx: " + shown + ": warning: " + manager->Report().Summary());
}

// Why an archive that failed to open did, in a user's words, before the
// engine's own message.
std::string WhyNotOpened(const zf::EZFException& e) {
  if (e.NativeError() != zf::neInvalidArchive) return std::string();
  // The recovery scan met a local header, but the file ends inside it.
  if (e.Detail().Cause == zf::TZFCause::Truncated) return "cut short inside its first entry: ";
  return "not a ZIP archive (no end of central directory record in its last 64 KiB, and no "
         "local header to rebuild the directory from): ";
}

}  // namespace

bool OpenArchive(zf::TZipArchiver& archiver, const CommandLine& cmd, Console& console) {
  const std::string& path = cmd.FileToOpen();
  const std::string prefix = "zfx: cannot open " + cmd.archive + ": ";
  if (zf::os::DirectoryExists(path)) {
    console.Error(prefix + "a folder, not an archive");
    return false;
  }
  if (!zf::os::FileExists(path)) {
    console.Error(prefix + "no such file");
    return false;
  }
  if (zf::os::FileSize(path) == 0) {
    console.Error(prefix + "empty, not a ZIP archive");
    return false;
  }
  archiver.SetFileName(path);
  // A split set is opened by its last volume's name; the component finds
  // the others beside it, and asks for the disks of a spanned set.
  try {
    archiver.Open();
  } catch (const zf::EZFException& e) {
    const std::string why = WhyNotOpened(e);
    // Said once: a file that is no archive is not also "damaged".
    if (why.empty()) WarnAboutDirectory(archiver, cmd.archive, console);
    archiver.Close();
    console.Error(prefix + why + e.MessageWithDetail() + VolumeFailureHint(e.NativeError()));
    return false;
  } catch (const std::exception& e) {
    archiver.Close();
    console.Error(prefix + e.what());
    return false;
  }
  WarnAboutDirectory(archiver, cmd.archive, console);
  return true;
}

}  // namespace zfx
