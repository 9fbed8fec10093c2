// Opening the volumes of an archive: the probe that Open runs on an existing
// archive file, and OpenVolume, which makes one volume the current one.
//
// Only single-file archives (SpanningMode smNone) are handled here yet; the
// requests for the volumes of split and spanned sets fail with native code
// 44 until they are supported.
#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"

namespace zf {

namespace {

TFileMode FileModeOf(int16_t openMode) {
  switch (openMode) {
    case -1: return TFileMode::fmCreate;
    case 34: return TFileMode::fmOpenReadWriteDenyWrite;
    default: return TFileMode::fmOpenReadDenyNone;
  }
}

}  // namespace

void TZFBaseArchiver::ProbeArchive() {
  TZFVolumeNumberInfo last;
  last.SetLast(true);
  OpenVolume(last);
  dirManager_ = std::make_unique<TZFDirManager>(archiveStream_.get(), this, false);
}

void TZFBaseArchiver::OpenVolume(const TZFVolumeNumberInfo& volume) {
  if (spanningMode_ != smNone) throw EZFException(neOpenAborted, this);
  if (!archiveStream_) {
    archiveStream_ = std::make_unique<TFileStream>(fileName_, FileModeOf(openMode_));
    currentVolumeFileName_ = fileName_;
  }
  currentVolume_ = volume;
}

}  // namespace zf
