// Opening the archive named on the command line.
#include "open_archive.h"

#include <exception>

#include "archive/ZFExcept.h"
#include "platform/platform.h"
#include "volume_requests.h"

namespace zfx {

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
    archiver.Close();
    console.Error("zfx: cannot open " + path + ": " + e.what() +
                  VolumeFailureHint(e.NativeError()));
    return false;
  } catch (const std::exception& e) {
    archiver.Close();
    console.Error("zfx: cannot open " + path + ": " + e.what());
    return false;
  }
  return true;
}

}  // namespace zfx
