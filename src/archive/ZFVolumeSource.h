// The volume source: what the directory manager and the entry codec need
// of the volumes of an archive, and no more. The archive component
// implements it (ZFVolumes.cpp): opening a volume may raise its request
// events, ask for a disk or fail. Everything else of the component stays
// out of the lower layers' reach.
#pragma once

#include <cstdint>

#include "ZFClasses.h"

namespace zf {

class IZFVolumeSource {
 public:
  virtual ~IZFVolumeSource() = default;

  // The stream of the volume open now; null when none is.
  virtual TStream* VolumeStream() = 0;
  // Zero-based number of the volume open now; -1 when unknown.
  virtual int32_t VolumeNumber() const = 0;
  // Whether the archive is a set of volumes (split or spanned). A single
  // file has no next volume: its start must never be read as a
  // continuation.
  virtual bool MultiVolume() const = 0;
  // Makes volume `number` of the volumes 0..last the one open now, asking
  // for it as the set requires. Raises native code 45 when the request is
  // cancelled, answered with no file name, or answered again and again with
  // one missing file, and 44 for a number outside the set.
  virtual void OpenVolumeNumber(int32_t number, int32_t last) = 0;
};

}  // namespace zf
