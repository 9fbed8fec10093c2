// The command line's masks as the component's mask lists (see selection.h).
#include "selection.h"

#include <string>
#include <vector>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"

namespace zfx {

namespace {

bool Matches(zf::TZipArchiver& archiver, const std::string& mask) {
  zf::TZFArchiveItem item;
  return archiver.FindFirstItem(mask, item, zf::os::faSearchAll, "");
}

// The masks one command-line mask stands for.
std::vector<std::string> Expand(zf::TZipArchiver& archiver, std::string mask) {
  if (mask.find_first_of("*?") != std::string::npos) return {mask};
  while (mask.size() > 1 && zf::IsSeparator(mask.back())) mask.pop_back();
  const std::string below = mask + "/*";
  if (!Matches(archiver, below)) return {mask};
  return {mask, below};
}

}  // namespace

int SelectByMasks(zf::TZipArchiver& archiver, const CommandLine& cmd, Console& console) {
  archiver.FileMasks().Clear();
  archiver.ExclusionMasks().Clear();
  int unmatched = 0;
  if (cmd.masks.empty()) archiver.FileMasks().Add("*.*");
  for (const std::string& mask : cmd.masks) {
    bool matched = false;
    for (const std::string& m : Expand(archiver, mask)) {
      archiver.FileMasks().Add(m);
      matched = matched || Matches(archiver, m);
    }
    if (matched) continue;
    console.Error("zfx: " + mask + ": no matching entries");
    ++unmatched;
  }
  for (const std::string& mask : cmd.exclusions) archiver.ExclusionMasks().Add(mask);
  return unmatched;
}

}  // namespace zfx
