// The volumes of an archive: their file names, OpenVolume (which makes one
// volume the current one, asking the user or the application for it), the
// probe that Open runs on an existing archive file to tell a single file
// from a split or spanned set, and the rename that finishes a new
// multi-volume archive.
//
// Volume numbers come from the archive's records and are hostile input: a
// volume is only ever asked for by a number between 0 and the last volume
// named by the end record, and the probe looks at no more than two names,
// so no record can make the engine try files without bound.
#include <algorithm>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFStrFunc.h"
#include "platform/platform.h"

namespace zf {

namespace {

// A blank volume needs more free space than this, whatever its limit.
constexpr int64_t kMinFreeSpace = 65536;

TFileMode FileModeOf(int16_t openMode) {
  switch (openMode) {
    case os::kOpenFlagsCreate: return TFileMode::fmCreate;
    case os::kOpenFlagsReadWriteDenyWrite: return TFileMode::fmOpenReadWriteDenyWrite;
    default: return TFileMode::fmOpenReadDenyNone;
  }
}

// An archive name cut into folder (with its separator), base name and
// extension (with its dot).
struct TNameParts {
  std::string path, base, ext;
};

TNameParts SplitName(const std::string& name) {
  const char* separators = kPathDelim == '\\' ? "\\/:" : "/";
  const size_t cut = name.find_last_of(separators);
  const size_t fileStart = cut == std::string::npos ? 0 : cut + 1;
  TNameParts parts;
  parts.path = name.substr(0, fileStart);
  const std::string file = name.substr(fileStart);
  const size_t dot = file.rfind('.');
  parts.base = dot == std::string::npos ? file : file.substr(0, dot);
  parts.ext = dot == std::string::npos ? std::string() : file.substr(dot);
  return parts;
}

bool ContainsExe(const std::string& text) {
  return os::LowerString(text).find(".exe") != std::string::npos;
}

}  // namespace

// ---- names ---------------------------------------------------------------------

std::string TZFBaseArchiver::BuildVolumeName(const std::string& archiveName, int32_t n,
                                             bool tryOther) const {
  if (spanningMode_ == smNone) return archiveName;
  const TNameParts p = SplitName(archiveName);
  const bool selfExtracting = (dirManager_ && dirManager_->PrefixLength() != 0) ||
                              !sfxStub_.empty() || ContainsExe(p.ext);
  const std::string number3 = n >= 0 ? FormatText("_%.3d", {n + 1}) : std::string();
  const bool advanced = spanningOptions_.GetAdvancedNaming();

  if (spanningMode_ == smSpanning) {
    if (n < 0) return os::FindFileIgnoringCase(archiveName);
    const std::string ext = selfExtracting ? ".exe" : p.ext;
    const std::string numbered = p.path + p.base + number3 + ext;
    const std::string plain = p.path + p.base + ext;
    const std::string name = os::FindFileIgnoringCase(advanced ? numbered : plain);
    if (tryOther && !os::FileExists(name)) {
      const std::string other = os::FindFileIgnoringCase(advanced ? plain : numbered);
      if (os::FileExists(other)) return other;
    }
    return name;
  }

  std::string name;
  if (n < 0)
    name = selfExtracting ? p.path + p.base + ".ZIP" : archiveName;
  else if (n == 0 && selfExtracting)
    name = p.path + p.base + ".exe";
  else if (advanced)
    name = p.path + p.base + number3 + p.ext;
  else
    name = p.path + p.base + FormatText(".Z%.2d", {n + 1});
  return os::FindFileIgnoringCase(name);
}

// ---- opening a volume ------------------------------------------------------------

void TZFBaseArchiver::OpenVolume(const TZFVolumeNumberInfo& volume) {
  if (spanningMode_ == smNone) {
    if (!archiveStream_) {
      archiveStream_ = std::make_unique<TFileStream>(fileName_, FileModeOf(openMode_));
      currentVolumeFileName_ = fileName_;
    }
    currentVolume_ = volume;
    return;
  }
  if (openMode_ == os::kOpenFlagsCreate)
    OpenBlankVolume(volume);
  else
    OpenExistingVolume(volume);
}

void TZFBaseArchiver::OpenVolumeNumber(int32_t number, int32_t last) {
  TZFVolumeNumberInfo info;
  info.LastNumber = last;
  info.SetNumber(number);
  OpenVolume(info);
}

void TZFBaseArchiver::OpenBlankVolume(const TZFVolumeNumberInfo& volume) {
  archiveStream_.reset();
  const int64_t limit = spanningOptions_.VolumeLimit(volume);
  const int32_t number = std::max(volume.Number, 0);
  std::string name;
  for (;;) {
    name = BuildVolumeName(fileName_, number, false);
    bool cancel = false;
    DoRequestBlankVolume(number + 1, name, cancel);
    if (cancel) throw EZFException(neVolumeRequestCancelled, this);
    const int64_t free = os::DiskFreeBytes(name);
    if (free > kMinFreeSpace && (limit <= 0 || free >= limit)) break;
    diskFullRequired_ = limit;
    diskFullAvailable_ = free;
    DoDiskFull(number + 1, name, cancel);
    if (cancel) throw EZFException(neVolumeRequestCancelled, this);
  }
  archiveStream_ = std::make_unique<TFileStream>(name, TFileMode::fmCreate);
  currentVolumeFileName_ = name;
  currentVolume_ = volume;
  // The disks of a spanned set tell their number; a disk that cannot be
  // labelled is still a good disk.
  if (spanningMode_ == smSpanning)
    os::SetDriveLabel(name, FormatText("pkback# %.3d", {number + 1}));
}

void TZFBaseArchiver::OpenExistingVolume(const TZFVolumeNumberInfo& volume) {
  if (archiveStream_ && currentVolume_.SameVolume(volume)) return;
  // A number outside the set comes from a damaged record: nothing to ask for.
  if (volume.Kind == TZFVolumeNumberInfo::VolumeAtNumber &&
      (volume.Number < 0 || (volume.LastNumber >= 0 && volume.Number > volume.LastNumber)))
    throw EZFException(neOpenAborted, this);
  // A handler may answer with the same missing file forever: after this many
  // answers in a row that name one missing file the request ends as
  // cancelled (a user at the default dialog cancels long before).
  constexpr int kMaxMissingAnswers = 16;
  std::string lastMissing;
  int missingAnswers = 0;
  for (;;) {
    std::string name;
    bool cancel = false;
    if (volume.IsFirst()) {
      name = BuildVolumeName(fileName_, 0, !OnRequestFirstVolume);
      DoRequestFirstVolume(name, cancel);
    } else if (volume.IsLast()) {
      name = BuildVolumeName(fileName_, -1, true);
      DoRequestLastVolume(name, cancel);
    } else {
      name = BuildVolumeName(fileName_, volume.Number, !OnRequestMiddleVolume);
      DoRequestMiddleVolume(volume.Number + 1, name, cancel);
    }
    // An empty name names no volume: opening nothing would leave the
    // previous volume in its place, read as if it were this one (a CRC-32
    // error where a volume is missing).
    if (cancel || name.empty()) throw EZFException(neVolumeRequestCancelled, this);
    if (os::FileExists(name) || openMode_ == os::kOpenFlagsCreate) {
      archiveStream_ = std::make_unique<TFileStream>(name, FileModeOf(openMode_));
      currentVolumeFileName_ = name;
      currentVolume_ = volume;
      return;
    }
    missingAnswers = name == lastMissing ? missingAnswers + 1 : 1;
    lastMissing = name;
    if (missingAnswers >= kMaxMissingAnswers)
      throw EZFException(neVolumeRequestCancelled, this);
  }
}

// ---- finishing a new archive ---------------------------------------------------

void TZFBaseArchiver::FinishVolumeSet() {
  if (spanningMode_ == smNone || inMemory_ || !archiveStream_ ||
      currentVolumeFileName_ == fileName_)
    return;
  // The volume written last becomes the archive's own (last volume's) name.
  archiveStream_.reset();
  const std::string last = BuildVolumeName(fileName_, -1, false);
  if (last != currentVolumeFileName_) {
    os::RemoveFile(last);
    if (!os::RenameFile(currentVolumeFileName_, last))
      throw EZFException(neCannotCreateFile, {last}, this);
  }
  archiveStream_ = std::make_unique<TFileStream>(last, TFileMode::fmOpenReadWriteDenyWrite);
  currentVolumeFileName_ = last;
}

// ---- recognising an existing archive --------------------------------------------

void TZFBaseArchiver::ProbeArchive() {
  if (!ContainsExe(SplitName(fileName_).ext)) {
    ProbeLastVolume();
    return;
  }
  // A self-extractor: a whole archive, or the first volume of a split set
  // whose last volume is the ".ZIP" beside it.
  TZFVolumeNumberInfo last;
  last.SetLast(true);
  OpenVolume(last);
  dirManager_ = std::make_unique<TZFDirManager>(archiveStream_.get(), Volumes(), DirSettings(), false);
  if (dirManager_->ProbeEndRecord()) {
    DecideSpanningMode(true);
    return;
  }
  spanningMode_ = smSplitting;
  if (os::FileExists(BuildVolumeName(fileName_, -1, false))) {
    dirManager_.reset();
    currentVolume_.Reset();
    OpenVolume(last);
  }
  spanningMode_ = smNone;
  ProbeLastVolume();
}

void TZFBaseArchiver::ProbeLastVolume() {
  bool found = false;
  do {
    dirManager_.reset();
    currentVolume_.Reset();
    // No file where a removable disk should be: ask for the last disk.
    if (!os::FileExists(fileName_) && IsRemovablePath(fileName_)) spanningMode_ = smSpanning;
    TZFVolumeNumberInfo last;
    last.SetLast(true);
    OpenVolume(last);
    dirManager_ = std::make_unique<TZFDirManager>(archiveStream_.get(), Volumes(), DirSettings(), false);
    found = dirManager_->ProbeEndRecord();
    DecideSpanningMode(found);
  } while (!found && spanningMode_ != smNone);
}

void TZFBaseArchiver::DecideSpanningMode(bool endRecordFound) {
  if (!endRecordFound) {
    spanningMode_ = IsRemovablePath(fileName_) ? smSpanning : smNone;
    return;
  }
  const int32_t disk = dirManager_->LastVolumeNumber();
  if (disk == 0 && dirManager_->ProbeEndRecord()) {
    spanningMode_ = smNone;
    return;
  }
  // A later volume of a set: split when the volume before it lies beside
  // it, under this naming or the other one.
  spanningMode_ = smSplitting;
  if (os::FileExists(BuildVolumeName(fileName_, disk - 1, false))) {
    if (disk == 0) spanningMode_ = smNone;
    return;
  }
  const bool advanced = spanningOptions_.GetAdvancedNaming();
  spanningOptions_.SetAdvancedNaming(!advanced);
  if (os::FileExists(BuildVolumeName(fileName_, disk - 1, false))) return;
  spanningOptions_.SetAdvancedNaming(advanced);
  spanningMode_ = ContainsExe(fileName_) || (disk == 0 && !IsRemovablePath(fileName_))
                      ? smNone
                      : smSpanning;
}

}  // namespace zf
