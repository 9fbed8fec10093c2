// The volume requests of zfx (see volume_requests.h).
#include "volume_requests.h"

#include "archive/ZFConst.h"

namespace zfx {

void Archiver::DoRequestFirstVolume(std::string& VolumeFileName, bool& Cancel) {
  console_.EndProgress();
  TZipArchiver::DoRequestFirstVolume(VolumeFileName, Cancel);
}

void Archiver::DoRequestLastVolume(std::string& VolumeFileName, bool& Cancel) {
  console_.EndProgress();
  TZipArchiver::DoRequestLastVolume(VolumeFileName, Cancel);
}

void Archiver::DoRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName,
                                     bool& Cancel) {
  console_.EndProgress();
  TZipArchiver::DoRequestMiddleVolume(VolumeNumber, VolumeFileName, Cancel);
}

std::string VolumeFailureHint(int nativeError) {
  return nativeError == zf::neVolumeRequestCancelled
             ? " (a volume of the set is missing)"
             : "";
}

}  // namespace zfx
