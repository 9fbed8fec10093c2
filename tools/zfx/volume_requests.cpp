// The volume requests of zfx (see volume_requests.h).
#include "volume_requests.h"

#include <string>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "platform/platform.h"
#include "terminal.h"

namespace zfx {

namespace {

// The terminal question: true for OK.
bool Confirm(Console& console, const std::string& text) {
  console.EndProgress();
  return zf::os::MessageDialog(text, "zfx", zf::os::mbOKCancel | zf::os::mbIconQuestion,
                               zf::os::idCancel) == zf::os::idOK;
}

bool Spanned(zf::TZFBaseArchiver* sender) { return sender->GetSpanningMode() == zf::smSpanning; }

}  // namespace

void AttachVolumeRequests(zf::TZipArchiver& archiver, Console& console) {
  if (!console.Interactive()) return;
  archiver.OnRequestFirstVolume = [&console](zf::TZFBaseArchiver* sender, std::string& name,
                                             bool& cancel) {
    if (!Spanned(sender)) {
      cancel = !zf::os::FileExists(name);
      return;
    }
    cancel = !Confirm(console, zf::kInsertFirstDiskText);
    if (!cancel) name = sender->BuildVolumeName(sender->GetFileName(), 0, true);
  };
  archiver.OnRequestMiddleVolume = [&console](zf::TZFBaseArchiver* sender, int32_t number,
                                              std::string& name, bool& cancel) {
    if (!Spanned(sender)) {
      cancel = !zf::os::FileExists(name);
      return;
    }
    cancel = !Confirm(console, zf::FormatText(zf::kInsertDiskText, {number}));
    if (!cancel) name = sender->BuildVolumeName(sender->GetFileName(), number - 1, true);
  };
  archiver.OnRequestLastVolume = [&console](zf::TZFBaseArchiver* sender, std::string& name,
                                            bool& cancel) {
    if (!Spanned(sender)) {
      cancel = !zf::os::FileExists(name);
      return;
    }
    cancel = !Confirm(console, zf::kInsertLastDiskText);
    while (!cancel && !zf::os::FileExists(name = sender->BuildVolumeName(
                                              sender->GetFileName(), -1, true)))
      cancel = !Confirm(console, zf::FormatText(zf::kLastDiskFileMissingText,
                                                {zftool::WithoutControls(name)}));
  };
}

std::string VolumeFailureHint(int nativeError) {
  return nativeError == zf::neVolumeRequestCancelled
             ? " (a volume of the set is missing)"
             : "";
}

}  // namespace zfx
