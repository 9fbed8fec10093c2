// The archive component as zfx uses it: the component's own volume
// requests (its default dialogs, which find the volumes of a split set
// beside the archive and ask for the disks of a spanned set), with the
// progress bar cleared before a question. Without a terminal the
// questions get no answer, so a missing volume cancels its request (native
// code 45).
#pragma once

#include <string>

#include "archive/ZFArchiver.h"
#include "console.h"

namespace zfx {

class Archiver : public zf::TZipArchiver {
 public:
  explicit Archiver(Console& console) : console_(console) {}

  void DoRequestFirstVolume(std::string& VolumeFileName, bool& Cancel) override;
  void DoRequestLastVolume(std::string& VolumeFileName, bool& Cancel) override;
  void DoRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName,
                             bool& Cancel) override;

 private:
  Console& console_;
};

// A hint to add to the engine's message of a failure with nativeError.
std::string VolumeFailureHint(int nativeError);

}  // namespace zfx
