// Opening the archive named on the command line.
#include "open_archive.h"

#include <exception>

#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "platform/platform.h"
#include "volume_requests.h"

namespace zfx {

namespace {

// What the directory reader found wrong, if anything, as a warning: the
// archive opened (or not) all the same, but its user should know it is
// damaged and how it was read.
void WarnAboutDirectory(zf::TZipArchiver& archiver, const std::string& path, Console& console) {
  const zf::TZFDirManager* manager = archiver.DirManager();
  if (manager == nullptr || !manager->Report().Damaged()) return;
  console.Error("zfx: " + path + ": warning: " + manager->Report().Summary());
}

}  // namespace

bool OpenArchive(zf::TZipArchiver& archiver, const std::string& path, Console& console) {
  if (!zf::os::FileExists(path)) {
    console.Error("zfx: cannot open " + path + ": no such file");
    return false;
  }
  archiver.SetFileName(path);
  // A split set is opened by its last volume's name; the component finds
  // the others beside it, and asks for the disks of a spanned set.
  try {
    archiver.Open();
  } catch (const zf::EZFException& e) {
    WarnAboutDirectory(archiver, path, console);
    archiver.Close();
    console.Error("zfx: cannot open " + path + ": " + e.MessageWithDetail() +
                  VolumeFailureHint(e.NativeError()));
    return false;
  } catch (const std::exception& e) {
    archiver.Close();
    console.Error("zfx: cannot open " + path + ": " + e.what());
    return false;
  }
  WarnAboutDirectory(archiver, path, console);
  return true;
}

}  // namespace zfx
