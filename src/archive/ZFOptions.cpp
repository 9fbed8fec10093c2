#include "archive/ZFOptions.h"

namespace zf {

void TZFOptions::Assign(const TZFOptions& other) {
  const TZFFileShareMode keep = shareMode_;
  *this = other;
  shareMode_ = keep;
}

void TZFVolumeNumberInfo::SetFirst(bool flag) {
  if (!flag) return;
  Number = 0;
  Kind = VolumeFirst;
}

bool TZFVolumeNumberInfo::IsLast() const {
  return LastNumber == -1 ? Kind == VolumeLast : Number == LastNumber;
}

void TZFVolumeNumberInfo::SetLast(bool flag) {
  if (!flag) return;
  Number = LastNumber;
  Kind = VolumeLast;
}

bool TZFVolumeNumberInfo::SameVolume(const TZFVolumeNumberInfo& other) const {
  if (IsLast()) return other.IsLast();
  if (IsFirst()) return other.IsFirst();
  if (Number < 0) return Kind == other.Kind;
  return Number == other.Number;
}

int64_t TZFSpanningOptions::VolumeLimit(const TZFVolumeNumberInfo& volume) const {
  if (volume.IsFirst() && firstVolumeSize_ > 0) return firstVolumeSize_;
  switch (volumeSize_) {
    case vsAutoDetect: return -1;
    case vsCustom: return customVolumeSize_;
    case vs1_44MB: return 1457664;  // a formatted 3.5" floppy, not 1,474,560
    case vs100MB: return 100LL << 20;
    case vs200MB: return 200LL << 20;
    case vs250MB: return 250LL << 20;
    case vs600MB: return 600LL << 20;
    case vs650MB: return 650LL << 20;
    case vs700MB: return 700LL << 20;
    case vs4700MB: return 4700LL << 20;
  }
  return -1;
}

}  // namespace zf
