// The archive component's life outside Extract: construction, the settings
// with behaviour in their setters, Open and Close, the in-memory switch, the
// event dispatchers with their defaults, and the process-wide lock.
//
// The default dialogs go through the platform layer, so a command-line run
// asks on the terminal, a Windows run shows real dialogs and tests answer
// them through the platform's dialog hook.
#include "archive/ZFArchiver.h"

#include <algorithm>
#include <charconv>
#include <new>

#include "archive/ZFCodec.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFStrFunc.h"
#include "archive/ZFZlib.h"
#include "platform/platform.h"

namespace zf {

namespace {

// The dialog texts of the component.
constexpr const char* kOverwriteText = "Overwrite file \"%s\" with \"%s\"";
constexpr const char* kPasswordCaption = "Password for \"%s\"";
constexpr const char* kPasswordPrompt = "Enter password: ";
constexpr const char* kFailureText = "%s. File processing error, possibly disk is full";
constexpr const char* kConfirmCaption = "Confirm";
constexpr const char* kErrorCaption = "Error";

// The confirmation of a disk to insert; anything but OK cancels.
bool ConfirmDisk(const std::string& text) {
  return os::MessageDialog(text, kConfirmCaption, os::mbOKCancel | os::mbIconQuestion,
                           os::idCancel) == os::idOK;
}

}  // namespace

std::recursive_mutex& ArchiverLock() {
  static std::recursive_mutex lock;
  return lock;
}

// ---- construction ------------------------------------------------------------

TZFBaseArchiver::TZFBaseArchiver(TComponent* /*owner*/) {
  SetCompressionLevel(clFastest);
  active_ = false;
  extractCorruptedFiles_ = false;
  spanningMode_ = smNone;
  zip64Mode_ = zmAuto;
}

TZFBaseArchiver::~TZFBaseArchiver() { Close(); }

TZipArchiver::TZipArchiver(TComponent* owner) : TZFBaseArchiver(owner) {
  // The base constructor ran the base UpdateCompressionMethod; now the
  // override can give the method of this class.
  UpdateCompressionMethod();
  zip64Mode_ = zmDisabled;
}

void TZFBaseArchiver::UpdateCompressionMethod() { compressionMethod_ = 0xFFFF; }

void TZipArchiver::UpdateCompressionMethod() {
  compressionMethod_ = GetCompressionMode() != 0 ? 8 : 0;
}

// ---- settings -------------------------------------------------------------------

void TZFBaseArchiver::SetCompressionLevel(TZFCompressionLevel v) {
  compressionLevel_ = v;
  compressionMode_ = LevelToMode(v);
  UpdateCompressionMethod();
}

void TZFBaseArchiver::SetCompressionMode(int v) {
  if (v < 0 || v > 9) throw EZFException(neInvalidCompressionMode, this);
  compressionMode_ = v;
  compressionLevel_ = ModeToLevel(v);
  UpdateCompressionMethod();
}

std::string TZFBaseArchiver::GetCurrentVersion() const {
  // to_chars never consults the locale, so the separator is always ".".
  char digits[16];
  const auto r = std::to_chars(digits, digits + sizeof digits, 2.7, std::chars_format::fixed, 2);
  return std::string(digits, r.ptr) + " ";
}

void TZFBaseArchiver::SetSpanningMode(TZFSpanningMode v) {
  if (active_) throw Exception("Cannot set spanning mode on open archive");
  spanningMode_ = v;
}

void TZFBaseArchiver::CopyLines(const TStringList& from, TStringList& to) {
  if (&from == &to) return;
  to.Clear();
  for (int i = 0; i < from.Count(); ++i) to.Add(from.Get(i));
}

// ---- open and close -----------------------------------------------------------

void TZFBaseArchiver::Open() {
  if (!inMemory_ && FileNamePart(fileName_).empty())
    throw EZFException(neBlankFileName, this);

  if (!inMemory_ && windowSize_ >= 0) {
    OpenWindow();
    return;
  }
  int16_t mode = os::kOpenFlagsCreate;
  if (!inMemory_ && os::FileExists(fileName_)) {
    os::File probe;
    mode = probe.Open(fileName_, os::OpenMode::ReadWriteDenyWrite)
               ? os::kOpenFlagsReadWriteDenyWrite
               : os::kOpenFlagsReadOnlyDenyNone;
  }
  if (mode != os::kOpenFlagsCreate && !os::FileExists(fileName_) && spanningMode_ != smSpanning &&
      !IsRemovablePath(fileName_))
    throw EZFException(neArchiveVanished, {fileName_}, this);

  Close();
  openMode_ = mode;
  newArchive_ = false;
  if (mode == os::kOpenFlagsCreate || inMemory_) {
    if (inMemory_) {
      archiveStream_ = std::make_unique<TMemoryStream>();
    } else if (spanningMode_ != smNone) {
      TZFVolumeNumberInfo first;
      first.SetFirst(true);
      OpenVolume(first);
    } else {
      archiveStream_ = std::make_unique<TFileStream>(fileName_, TFileMode::fmCreate);
      currentVolumeFileName_ = fileName_;
    }
    currentVolume_.SetFirst(true);
    dirManager_ = std::make_unique<TZFDirManager>(archiveStream_.get(), Volumes(), DirSettings(),
                                                  true);
    newArchive_ = true;
  } else {
    spanningMode_ = smNone;
    currentVolume_.Reset();
    ProbeArchive();
    ReadDirectory();
  }
  active_ = true;
  if (AfterOpen) AfterOpen(this);
}

// The archive in its window of FileName: never created, never written, one
// volume (a window holds no volume set), no stub to look for in front.
void TZFBaseArchiver::OpenWindow() {
  Close();
  auto stream = std::make_unique<TFileWindowStream>(fileName_, windowOffset_, windowSize_);
  openMode_ = os::kOpenFlagsReadOnlyDenyNone;
  newArchive_ = false;
  spanningMode_ = smNone;
  currentVolume_.Reset();
  archiveStream_ = std::move(stream);
  currentVolumeFileName_ = fileName_;
  dirManager_ = std::make_unique<TZFDirManager>(archiveStream_.get(), Volumes(), DirSettings(), false);
  ReadDirectory();
  active_ = true;
  if (AfterOpen) AfterOpen(this);
}

// A directory that does not fit in memory fails the open with the item
// array's limit error, whichever ran out first: the array's limit or the
// process's memory. What was read of it is freed either way.
void TZFBaseArchiver::ReadDirectory() {
  TZFDirArray& dir = dirManager_->Dir();
  try {
    dirManager_->ReadDirectory();
  } catch (const std::bad_alloc&) {
    dirManager_->ResetDirectory();
    throw EZFException(neDirectoryTooLarge, {(dir.MemoryLimit() + (1 << 20) - 1) >> 20}, nullptr);
  } catch (const EZFException& e) {
    if (e.NativeError() == neDirectoryTooLarge) dirManager_->ResetDirectory();
    throw;
  }
}

void TZFBaseArchiver::FinishNewArchive() {
  if (!newArchive_ || !archiveStream_ || !dirManager_) return;
  // The manager in create mode wrote the stub (if any) and nothing else; an
  // archive without its end record could not be opened again.
  dirManager_->WriteDirectory(archiveStream_.get());
  newArchive_ = false;
  // A new volume set: the volume written last takes the archive's name.
  FinishVolumeSet();
}

TZFDirSettings TZFBaseArchiver::DirSettings() const {
  TZFDirSettings settings;
  settings.OEMFileNames = options_.GetOEMFileNames();
  settings.SFXStub = sfxStub_;
  TZFVolumeNumberInfo first;
  first.SetFirst(true);
  settings.FirstVolumeLimit = spanningOptions_.VolumeLimit(first);
  return settings;
}

TZFDecodeResult TZFBaseArchiver::DecodeItem(int32_t index, TStream& destination) {
  if (!active_ || !dirManager_) throw EZFException(neArchiveNotOpen, this);
  const TDirItem& item = dirManager_->Dir().ItemRef(index);
  const TZFEntryPlace place = dirManager_->PlaceOf(index);
  OpenVolumeNumber(place.FirstVolume, place.LastVolume);
  archiveStream_->SetPosition(item.LocalHeaderOffset());
  return JudgeCutShort(index, DecodeEntry(Volumes(), DecodeEvents(), destination, item, place));
}

// ---- the decode-event sink ---------------------------------------------------------

bool TZFBaseArchiver::Progress(const TDirItem& item, int64_t consumed, long double total) {
  const long double part = total > 0 ? static_cast<long double>(consumed) / total : 0;
  bool cancel = false;
  DoFileProgress(std::string(item.Name()), static_cast<double>(part * 100), item.ItemOperation, ppProcess,
                 cancel);
  if (!cancel) {
    // Outside an extraction run nothing is selected; count this entry alone.
    const long double selected = std::max<int32_t>(1, entriesSelected_);
    DoOverallProgress(static_cast<double>((part + entriesDone_) / selected * 100),
                      item.ItemOperation, ppProcess, cancel);
  }
  if (cancel) cancelFlag_ = true;
  return !cancelFlag_;
}

bool TZFBaseArchiver::StopRequested() {
  if (stopRequest_ && stopRequest_()) cancelFlag_ = true;
  return cancelFlag_;
}

bool TZFBaseArchiver::AskPassword(const TDirItem& item) {
  skipFlag_ = false;  // a handler may leave it as it finds it
  std::string password = password_;
  DoPassword(std::string(item.Name()), password, skipFlag_);
  password_ = password;
  return !skipFlag_;
}

void TZFBaseArchiver::Close() {
  if (active_) {
    try {
      FinishNewArchive();
    } catch (...) {
      // Close never raises: a new archive that cannot get its end record is
      // left as it is.
    }
    active_ = false;
  }
  newArchive_ = false;
  dirManager_.reset();
  archiveStream_.reset();
  currentVolumeFileName_.clear();
}

void TZFBaseArchiver::SetInMemory(bool v) {
  if (v == inMemory_) return;
  if (!active_) {
    inMemory_ = v;
    return;
  }
  if (!v) {
    if (fileName_.empty()) throw EZFException(neBlankFileNameInMemory, this);
    // The memory archive gets its end record first, so the file written
    // from it is a complete archive that the Open below can read.
    FinishNewArchive();
    {
      TFileStream file(fileName_, TFileMode::fmCreate);
      archiveStream_->SetPosition(0);
      if (archiveStream_->GetSize() > 0) file.CopyFrom(*archiveStream_, archiveStream_->GetSize());
    }
    Close();
    inMemory_ = false;
    Open();
  } else {
    Close();
    inMemory_ = true;
    Open();
  }
}

// ---- dispatchers ------------------------------------------------------------------

void TZFBaseArchiver::DoOverallProgress(double Progress, TZFProcessOperation Operation,
                                        TZFProgressPhase ProgressPhase, bool& Cancel) {
  if (OnOverallProgress)
    OnOverallProgress(this, Progress, Operation, ProgressPhase, Cancel);
  else
    Cancel = false;
}

void TZFBaseArchiver::DoFileProgress(const std::string& FileName, double Progress,
                                     TZFProcessOperation Operation,
                                     TZFProgressPhase ProgressPhase, bool& Cancel) {
  if (OnFileProgress)
    OnFileProgress(this, WithBackslashes(FileName), Progress, Operation, ProgressPhase, Cancel);
  else
    Cancel = false;
}

void TZFBaseArchiver::DoCopyTempFileProgress(double Progress, TZFProgressPhase ProgressPhase,
                                             bool& Cancel) {
  Cancel = false;
  if (OnCopyTempFileProgress) OnCopyTempFileProgress(this, Progress, ProgressPhase, Cancel);
}

void TZFBaseArchiver::DoConfirmOverwrite(const std::string& SourceFileName,
                                         std::string& DestFileName, bool& Confirm) {
  if (OnConfirmOverwrite) {
    OnConfirmOverwrite(this, SourceFileName, DestFileName, Confirm);
    return;
  }
  enum { kYes, kNo, kNoToAll, kYesToAll };
  const int answer = os::ChoiceDialog(FormatText(kOverwriteText, {DestFileName, SourceFileName}),
                                      kConfirmCaption, {"Yes", "No", "No to All", "Yes to All"},
                                      kNo);
  switch (answer) {
    case kYes:
      Confirm = true;
      break;
    case kNoToAll:
      Confirm = false;
      options_.SetOverwriteMode(omNever);
      break;
    case kYesToAll:
      Confirm = true;
      options_.SetOverwriteMode(omAlways);
      break;
    default:
      Confirm = false;
  }
}

void TZFBaseArchiver::DoConfirmProcessFile(const std::string& FileName,
                                           TZFProcessOperation Operation, bool& Confirm) {
  Confirm = true;
  if (OnConfirmProcessFile) OnConfirmProcessFile(this, WithBackslashes(FileName), Operation, Confirm);
}

void TZFBaseArchiver::DoPassword(const std::string& FileName, std::string& NewPassword,
                                 bool& SkipFile) {
  if (OnPassword) {
    OnPassword(this, FileName, NewPassword, SkipFile);
    return;
  }
  std::string value = NewPassword;
  if (os::InputQuery(FormatText(kPasswordCaption, {FileName}), kPasswordPrompt, value, true)) {
    NewPassword = value;
    SkipFile = false;
  } else {
    SkipFile = true;
  }
}

void TZFBaseArchiver::DoProcessFileFailure(const std::string& FileName,
                                           TZFProcessOperation Operation, int32_t NativeError,
                                           int32_t ErrorCode, const std::string& ErrorMessage,
                                           TZFAction& Action) {
  Action = fxaIgnore;
  if (OnProcessFileFailure) {
    OnProcessFileFailure(this, WithBackslashes(FileName), Operation, NativeError, ErrorCode,
                         ErrorMessage, Action);
    return;
  }
  // A volume the user refused to supply: asking about the entry is pointless.
  if (NativeError == neVolumeRequestCancelled) {
    Action = fxaAbort;
    return;
  }
  // Nobody to ask: stop rather than pass silently over failed entries.
  switch (os::MessageDialog(FormatText(kFailureText, {ErrorMessage}), kErrorCaption,
                            os::mbAbortRetryIgnore | os::mbIconError, os::idAbort)) {
    case os::idRetry:
      Action = fxaRetry;
      break;
    case os::idIgnore:
      Action = fxaIgnore;
      break;
    default:
      Action = fxaAbort;
  }
}

void TZFBaseArchiver::DoRequestBlankVolume(int32_t VolumeNumber, std::string& VolumeFileName,
                                           bool& Cancel) {
  Cancel = false;
  if (OnRequestBlankVolume) {
    OnRequestBlankVolume(this, VolumeNumber, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning)
    Cancel = !ConfirmDisk(FormatText(kInsertBlankDiskText, {VolumeNumber}));
}

void TZFBaseArchiver::DoRequestFirstVolume(std::string& VolumeFileName, bool& Cancel) {
  Cancel = false;
  if (OnRequestFirstVolume) {
    OnRequestFirstVolume(this, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning) {
    Cancel = !ConfirmDisk(kInsertFirstDiskText);
    // The disk now in the drive may carry either naming.
    if (!Cancel) VolumeFileName = BuildVolumeName(fileName_, 0, true);
  } else if (spanningMode_ == smSplitting) {
    Cancel = !os::FileExists(VolumeFileName) && openMode_ != os::kOpenFlagsCreate;
  }
}

void TZFBaseArchiver::DoRequestLastVolume(std::string& VolumeFileName, bool& Cancel) {
  Cancel = false;
  if (OnRequestLastVolume) {
    OnRequestLastVolume(this, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning) {
    Cancel = !ConfirmDisk(kInsertLastDiskText);
    while (!Cancel && !os::FileExists(VolumeFileName = BuildVolumeName(fileName_, -1, true)))
      Cancel = !ConfirmDisk(FormatText(kLastDiskFileMissingText, {VolumeFileName}));
  } else if (spanningMode_ == smSplitting) {
    Cancel = !os::FileExists(VolumeFileName);
  }
}

void TZFBaseArchiver::DoRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName,
                                            bool& Cancel) {
  Cancel = false;
  if (OnRequestMiddleVolume) {
    OnRequestMiddleVolume(this, VolumeNumber, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning)
    Cancel = !ConfirmDisk(FormatText(kInsertDiskText, {VolumeNumber}));
  else if (spanningMode_ == smSplitting)
    Cancel = !os::FileExists(VolumeFileName);
  if (!Cancel && spanningMode_ != smNone)
    VolumeFileName = BuildVolumeName(fileName_, VolumeNumber - 1, true);
}

void TZFBaseArchiver::DoDiskFull(int32_t VolumeNumber, const std::string& VolumeFileName,
                                 bool& Cancel) {
  Cancel = false;
  if (OnDiskFull) {
    OnDiskFull(this, VolumeNumber, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning)
    Cancel = !ConfirmDisk(FormatText(kDiskFullText, {diskFullRequired_, diskFullAvailable_}));
  else if (spanningMode_ == smSplitting)
    Cancel = true;
}

void TZFBaseArchiver::DoStoreFile(std::string& FileName, uint32_t& FileAttr, std::string& Comment,
                                  const std::string& OriginalFileName) {
  FileName = WithBackslashes(FileName);
  if (OnStoreFile) OnStoreFile(this, FileName, FileAttr, Comment, OriginalFileName);
  std::replace(FileName.begin(), FileName.end(), '\\', '/');
}

void TZFBaseArchiver::DoExtractFile(std::string& FileName, uint32_t& FileAttr,
                                    const std::string& Comment) {
  FileName = WithBackslashes(FileName);
  if (OnExtractFile) OnExtractFile(this, FileName, FileAttr, Comment);
}

}  // namespace zf
