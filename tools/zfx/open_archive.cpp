// Opening the archive named on the command line.
#include "open_archive.h"

#include <exception>

#include "platform/platform.h"

namespace zfx {

bool OpenArchive(zf::TZipArchiver& archiver, const std::string& path, Console& console) {
  if (!zf::os::FileExists(path)) {
    console.Error("zfx: cannot open " + path + ": no such file");
    return false;
  }
  archiver.SetFileName(path);
  try {
    archiver.Open();
  } catch (const std::exception& e) {
    archiver.Close();
    console.Error("zfx: cannot open " + path + ": " + e.what());
    return false;
  }
  return true;
}

}  // namespace zfx
