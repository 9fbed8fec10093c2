// Extract: the selection of directory items by mask and attributes, and the
// run that writes each selected entry under BaseDir with its events, the
// overwrite rules, the failure dialog's retry/ignore/abort, and the file's
// time and attributes.
//
// Two safety rules shape the one-entry step:
// - A stored name never reaches outside the destination folder: absolute
//   names, doubled separators and ".." segments fail the entry with
//   "Cannot create file", and so does a name the platform refuses (on
//   Windows a drive or stream colon, another forbidden character or a
//   device name; see os::IsRefusedNameSegment). A name set by an
//   OnExtractFile handler is the application's and is used as given.
// - No partial file ever stands under a final name: every entry, a new file
//   as well as a replaced one, is written to a pending file of the platform
//   layer (os::PendingFile: unnamed on Linux, a temporary name elsewhere)
//   and put in place only when it is complete and its size and CRC-32 are
//   verified; a failed, skipped or cancelled entry leaves an old file as it
//   was and nothing behind. A file that appears under a new target's name
//   while the entry is written is never replaced.
//
// A file costs as few system calls as it can: each folder is made (or found)
// once per run, and the time and attributes are set on the open file.
#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFCodec.h"
#include "archive/ZFConst.h"
#include "archive/ZFDecodeAhead.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFMasks.h"
#include "archive/ZFStrFunc.h"
#include "platform/platform.h"

namespace zf {

namespace {

// The attributes the selection's filter decides on; the others never
// exclude an entry.
constexpr uint32_t kTestedAttributes =
    os::faHidden | os::faSysFile | os::faVolumeID | os::faDirectory;

// A stored name that would land outside the destination folder: a leading
// separator (the root), a doubled separator (which the next step would read
// as a UNC path) or a segment of dots that climbs (".." and, as Windows
// trims trailing dots and spaces, "..." or ".. "). A drive or stream colon
// is the platform's to refuse (Windows refuses every colon; on Linux "C:" is
// a name like any other).
bool EscapesDestination(const std::string& name) {
  if (name.empty()) return false;
  if (IsSeparator(name.front())) return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string segment = name.substr(start, end - start);
    if (segment.empty() && end < name.size()) return true;  // "a//b"
    const bool onlyDotsAndSpaces =
        !segment.empty() && segment.find_first_not_of(". ") == std::string::npos;
    if (onlyDotsAndSpaces && std::count(segment.begin(), segment.end(), '.') >= 2) return true;
    start = end + 1;
  }
  return false;
}

// A stored name with a segment the platform refuses: on Windows a device
// name ("nul.txt" would swallow the data and report success) or a character
// Windows forbids.
bool HasRefusedSegment(const std::string& name) {
  size_t start = 0;
  while (start < name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (os::IsRefusedNameSegment(std::string_view(name).substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

// A handler's name is taken as an absolute path when it holds a drive or a
// UNC prefix (or, on Linux, begins at the root).
bool IsAbsoluteName(const std::string& name) {
  if (name.find(':') != std::string::npos || name.find("\\\\") != std::string::npos) return true;
  return kPathDelim == '/' && !name.empty() && name.front() == '/';
}

// The attributes of a new file, set on the open file. Windows takes the low
// Windows bits (never the folder or volume-label bits on a file). Linux
// takes the permission bits of an archive made on Unix, for regular files
// only, and otherwise the read-only bit; set-id bits, links and devices are
// never made. The file is always one this run has just created, so on Linux
// it already has its owner's write permission: only a read-only bit or Unix
// permissions change it.
void ApplyAttributes(os::File& file, uint32_t attr, uint16_t versionMadeBy) {
#ifdef _WIN32
  (void)versionMadeBy;
  file.SetAttributes(attr & 0xFFFF & ~(os::faDirectory | os::faVolumeID));
#else
  const uint32_t unixMode = UnixModeOf(attr);
  if (HostOf(versionMadeBy) == kHostUnix && (unixMode & kUnixTypeMask) == kUnixRegular)
    file.SetUnixPermissions(unixMode & kUnixPermissions);
  if (attr & os::faReadOnly) file.SetAttributes(os::faReadOnly);
#endif
}

// An entry made on Unix or macOS as a symbolic link: its data is the
// link's target.
bool IsSymlinkEntry(const TDirItem& item) {
  const uint8_t host = HostOf(item.Header.VersionMadeBy);
  return (host == kHostUnix || host == kHostOsX) &&
         (UnixModeOf(item.Header.ExternalAttributes) & kUnixTypeMask) == kUnixSymlink;
}

// The longest link target taken (PATH_MAX less its terminating NUL).
constexpr int64_t kMaxLinkTarget = 4095;

// Whether a target lies on a removable drive, asked once per folder and run.
constexpr int8_t kNotAsked = -1;
bool OnRemovableDrive(std::unordered_map<std::string, int8_t>& runFolders,
                      const std::string& target) {
  int8_t& removable = runFolders.try_emplace(DirectoryPart(target), kNotAsked).first->second;
  if (removable == kNotAsked) removable = IsRemovablePath(target) ? 1 : 0;
  return removable == 1;
}

}  // namespace

// The file an entry is written to: pending until the entry is complete,
// then put in place under the target's name; discarded on every other way
// out.
class TEntryFile {
 public:
  explicit TEntryFile(std::string target) : target_(std::move(target)) {}

  // False when the pending file cannot be made (LastErrorCode tells why).
  bool Create() {
    if (!pending_.Create(target_)) return false;
    stream_.emplace(target_, pending_.Handle());
    return true;
  }
  TFileStream& Stream() { return *stream_; }
  // Closes the file and gives it the target's name, replacing a file there
  // only when asked to.
  bool PutInPlace(bool replace) {
    stream_.reset();
    return pending_.Commit(replace);
  }

 private:
  std::string target_;
  os::PendingFile pending_;
  std::optional<TFileStream> stream_;  // over pending_'s file
};

// ---- selection ------------------------------------------------------------------

namespace {

// MatchesMask on views. Names are matched once per item and search, so no
// copy of the name is made; the mask's work copy fits the short-string
// buffer for every usual mask.
bool MaskMatch(std::string_view name, std::string_view mask) {
  if (mask.empty()) return false;
  std::string work;
  std::string_view m = mask;
  if (const size_t p = mask.find("*.*"); p != std::string_view::npos) {
    work.append(mask.substr(0, p)).append("*").append(mask.substr(p + 3));
    m = work;
  }
  const bool extensionless = mask.back() == '.';
  if (extensionless && !m.empty()) m.remove_suffix(1);
  std::string_view n = name;
  if (!n.empty() && n.back() == '.') n.remove_suffix(1);
  if (!WildcardMatch(n, m, true)) return false;
  if (!extensionless) return true;
  // "*." wants names without an extension ("name." counts as one without).
  const std::string_view file = name.substr(FileNameStart(name));
  const size_t dot = file.rfind('.');
  return dot == std::string_view::npos || dot + 1 == file.size();
}

}  // namespace

bool TZFBaseArchiver::MatchesMask(const std::string& Name, const std::string& Mask) {
  return MaskMatch(Name, Mask);
}

std::string TZFBaseArchiver::SearchMaskOf(const std::string& Mask) const {
  std::string mask = Mask;
  const size_t drive = ExtractFileDrive(mask).size();
  if (drive > 0 && options_.GetStorePath() != spFullPathWithDrive) {
    // "C:\\*.txt" means the names below the drive's root; stored names are
    // relative, so the root's separator goes with the drive, or the mask
    // could never match.
    mask.erase(0, drive);
    if (!mask.empty() && IsSeparator(mask.front())) mask.erase(0, 1);
  }
  std::replace(mask.begin(), mask.end(), '\\', '/');
  return mask;
}

bool TZFBaseArchiver::FindFirstItem(const std::string& Mask, TZFArchiveItem& F,
                                    int32_t SearchAttr, const std::string& ExclusionMask) {
  TInternalSearchRec& h = F.Handle;
  h.SearchMask = SearchMaskOf(Mask);
  h.HasWildcards = h.SearchMask.find_first_of("*?") != std::string::npos;
  h.SearchAttributes = SearchAttr;
  h.ExclusionMask = ExclusionMask;
  // Without a mask the lists choose: an entry one of FileMasks selects and
  // none of ExclusionMasks takes out. So several masks make one run, and an
  // entry two of them match is selected once.
  h.UseMaskLists = Mask.empty();
  h.ItemIndex = 0;
  return SearchFrom(0, F);
}

bool TZFBaseArchiver::FindNextItem(TZFArchiveItem& F) {
  return SearchFrom(F.Handle.ItemIndex + 1, F);
}

bool TZFBaseArchiver::NameMatches(std::string_view storedName, const std::string& mask) {
  std::string_view name = storedName;
  if (!name.empty() && IsSeparator(name.back())) name.remove_suffix(1);
  if (MaskMatch(name, mask)) return true;
  // The file-name part, when there is a folder before it.
  const size_t start = FileNameStart(name);
  return start != 0 && MaskMatch(name.substr(start), mask);
}

bool TZFBaseArchiver::SearchFrom(int32_t first, TZFArchiveItem& F) {
  if (!dirManager_ || first < 0) return false;
  const TInternalSearchRec& h = F.Handle;
  // The folder an item must lie in when Recurse is off, compared without case.
  auto folderKey = [](std::string name) {
    if (!name.empty() && name.back() == '/') name.pop_back();
    return os::UpperString(DirectoryPart(WithBackslashes(name)));
  };
  struct TSelectionMask {
    std::string mask, folder;
  };
  std::vector<TSelectionMask> selection;
  std::vector<std::string> exclusions;
  const auto select = [&](const std::string& mask) {
    selection.push_back({mask, options_.GetRecurse() ? std::string() : folderKey(mask)});
  };
  if (!h.ExclusionMask.empty()) exclusions.push_back(h.ExclusionMask);
  if (h.UseMaskLists) {
    for (int k = 0; k < fileMasks_.Count(); ++k) select(SearchMaskOf(fileMasks_.Get(k)));
    for (int k = 0; k < exclusionMasks_.Count(); ++k)
      exclusions.push_back(SearchMaskOf(exclusionMasks_.Get(k)));
  } else {
    select(h.SearchMask);
  }
  const auto selected = [&](const TDirItem& item) {
    for (const TSelectionMask& s : selection) {
      if (!options_.GetRecurse() && folderKey(std::string(item.Name())) != s.folder) continue;
      if (NameMatches(item.Name(), s.mask)) return true;
    }
    return false;
  };
  const TZFDirArray& dir = dirManager_->Dir();
  for (int32_t i = first; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemRef(i);
    if (!selected(item)) continue;
    if (item.ExternalAttributes() & kTestedAttributes &
        ~static_cast<uint32_t>(h.SearchAttributes))
      continue;
    // An exclusion mask takes out what it matches by the same name test as
    // a mask.
    if (std::any_of(exclusions.begin(), exclusions.end(),
                    [&](const std::string& mask) { return NameMatches(item.Name(), mask); }))
      continue;

    F.Handle.ItemIndex = i;
    // Assigned in place: F's strings keep their buffers from item to item.
    std::string_view name = item.Name();
    if (!name.empty() && IsSeparator(name.back())) name.remove_suffix(1);
    const size_t folderLength = FileNameStart(name);
    F.FileName.assign(name.substr(folderLength));
    F.StoredPath.assign(name.substr(0, folderLength));
    std::replace(F.StoredPath.begin(), F.StoredPath.end(), '/', '\\');
    F.CompressedSize = item.CompressedSize();
    F.UncompressedSize = item.UncompressedSize();
    F.CompressionRate = 100;
    if (F.UncompressedSize > 0) {
      F.CompressionRate = (1.0 - static_cast<double>(F.CompressedSize) /
                                     static_cast<double>(F.UncompressedSize)) * 100.0;
      if (F.CompressionRate < 0) F.CompressionRate = 0;
    }
    F.Encrypted = item.IsEncrypted();
    F.LastModFileDate = item.Header.ModDate;
    F.LastModFileTime = item.Header.ModTime;
    F.CRC = item.Header.Crc32;
    F.ExternalFileAttributes = item.ExternalAttributes();
    F.Comment = item.Comment();
    return true;
  }
  return false;
}

// ---- the run --------------------------------------------------------------------

void TZFBaseArchiver::Extract(const std::string& Mask, int32_t SearchAttr,
                              const std::string& ExclusionMask) {
  Run(Mask, SearchAttr, ExclusionMask, poExtract);
}

void TZFBaseArchiver::Test(const std::string& Mask, int32_t SearchAttr,
                           const std::string& ExclusionMask) {
  Run(Mask, SearchAttr, ExclusionMask, poTest);
}

void TZFBaseArchiver::Run(const std::string& Mask, int32_t SearchAttr,
                          const std::string& ExclusionMask, TZFProcessOperation operation) {
  if (!active_ || !dirManager_) throw EZFException(neArchiveNotOpen, this);
  std::lock_guard<std::recursive_mutex> lock(ArchiverLock());

  TZFDirArray& dir = dirManager_->Dir();
  dir.ClearSelection();
  TZFArchiveItem found;
  for (bool more = FindFirstItem(Mask, found, SearchAttr, ExclusionMask); more;
       more = FindNextItem(found))
    dir.ItemRef(found.Handle.ItemIndex).Selected = true;

  runFolders_.clear();
  runLinks_.Clear();
  runOperation_ = operation;
  entriesDone_ = 0;
  entriesSelected_ = 0;
  cancelFlag_ = false;
  skipFlag_ = false;
  for (int32_t i = 0; i < dir.Count(); ++i)
    if (dir.ItemRef(i).Selected) ++entriesSelected_;

  DoOverallProgress(0, operation, ppStart, cancelFlag_);
  if (!cancelFlag_) {
    // The worker decoding ahead stops on every way out of the run.
    const std::unique_ptr<TZFDecodeAhead> ahead = StartDecodingAhead();
    decodeAhead_ = ahead.get();
    struct TForget {
      TZFDecodeAhead*& ahead;
      ~TForget() { ahead = nullptr; }
    } forget{decodeAhead_};
    for (int32_t i = 0; i < dir.Count(); ++i) {
      if (!dir.ItemRef(i).Selected) continue;
      dir.ItemRef(i).ItemOperation = operation;
      if (!ExtractSelectedItem(i)) break;
    }
  }
  const bool cancelled = cancelFlag_;
  DoOverallProgress(100, operation, ppEnd, cancelFlag_);
  cancelFlag_ = cancelFlag_ || cancelled;
}

std::unique_ptr<TZFDecodeAhead> TZFBaseArchiver::StartDecodingAhead() {
  // A volume set may ask for volumes, and only the run may ask.
  const auto* file = dynamic_cast<const TFileStream*>(archiveStream_.get());
  if (file == nullptr || spanningMode_ != smNone || entriesSelected_ < 2) return nullptr;
  const TZFDirArray& dir = dirManager_->Dir();
  std::vector<TZFDecodeAhead::TJob> jobs;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemRef(i);
    if (item.Selected && TZFDecodeAhead::Worthwhile(item))
      jobs.push_back({i, item, dirManager_->PlaceOf(i)});
  }
  return TZFDecodeAhead::Start(file->FileName(), std::move(jobs), password_);
}

bool TZFBaseArchiver::ExtractSelectedItem(int32_t index) {
  TZFAction action;
  do {
    action = fxaIgnore;
    // A copy, whose fields stay as they are while the entry is decoded; its
    // name, extra field and comment are the array's (valid while the
    // archive stays open), the name taken as a string for the events.
    TDirItem item = dirManager_->Dir().GetItem(index);
    const std::string storedName(item.Name());
    const std::string entryName = WithBackslashes(storedName);
    try {
      skipFlag_ = false;
      lastOutcome_ = TZFEntryOutcome::None;
      bool confirm = true;
      DoConfirmProcessFile(entryName, runOperation_, confirm);
      if (!confirm) return true;
      const std::string destDir = AddTrailingDelimiter(baseDir_);
      DoFileProgress(storedName, 0, runOperation_, ppStart, cancelFlag_);
      if (cancelFlag_) return false;
      ExtractOneEntry(item, index, entryName, destDir);
      const bool cancelled = cancelFlag_;
      DoFileProgress(storedName, 100, runOperation_, ppEnd, cancelFlag_);
      cancelFlag_ = cancelFlag_ || cancelled;
      if (cancelFlag_) return false;
      ++entriesDone_;
    } catch (const EZFException& e) {
      failureDetail_ = e.Detail();
      lastOutcome_ = TZFEntryOutcome::None;
      DoProcessFileFailure(entryName, runOperation_, e.NativeError(), e.ErrorCode(), e.Message(),
                           action);
    }
  } while (action == fxaRetry);
  return action != fxaAbort;
}

// ---- one entry --------------------------------------------------------------------

void TZFBaseArchiver::ExtractOneEntry(const TDirItem& item, int32_t index,
                                      const std::string& entryName, std::string destDir) {
  const bool folderEntry = item.IsDirectory() || (!item.Name().empty() && item.Name().back() == '/');
  if (runOperation_ == poTest) {
    // Nothing is made: the data is decoded and checked, then dropped.
    if (folderEntry) {
      lastOutcome_ = TZFEntryOutcome::Folder;
      return;
    }
    TNullStream sink;
    if (WriteEntryData(item, index, sink)) lastOutcome_ = TZFEntryOutcome::Tested;
    return;
  }
  std::string name = entryName;
  uint32_t attr = item.ExternalAttributes();
  DoExtractFile(name, attr, std::string(item.Comment()));
  if (name == entryName) {
    if (EscapesDestination(name) || HasRefusedSegment(name))
      throw EZFException(neCannotCreateFile, {entryName}, this);
  } else if (IsAbsoluteName(name)) {
    destDir.clear();
  }
  name = ToPlatformDelimiters(name);
  if (!options_.GetCreateDirs()) name = FileNamePart(name);

  // A link this run made leads wherever its target says: a folder of the
  // name that is one would take the entry there, and the next entry could
  // follow it further (or replace what it points at).
  if (!destDir.empty() && runLinks_.Through(name)) {
    TZFErrorDetail detail;
    detail.Cause = TZFCause::ThroughLink;
    detail.EntryOffset = item.LocalHeaderOffset();
    throw EZFException(neCannotCreateFile, {destDir + name}, this).WithDetail(std::move(detail));
  }

  if (options_.GetCreateDirs()) {
    // Made (or found) once per run: a folder holds many entries.
    const std::string folder = destDir + DirectoryPart(name);
    if (!folder.empty() && !runFolders_.contains(folder)) {
      if (!ForceDirectories(folder)) {
        const int code = os::LastErrorCode();
        TZFErrorDetail detail = code != 0 ? SystemFailure(code) : TZFErrorDetail();
        detail.EntryOffset = item.LocalHeaderOffset();
        throw EZFException(neCannotCreateDir, {folder}, this).WithDetail(std::move(detail));
      }
      runFolders_.emplace(folder, kNotAsked);
    }
  }
  if (folderEntry) {
    lastOutcome_ = TZFEntryOutcome::Folder;
    return;
  }

  // One look at the target: a file to replace (and its attributes), a
  // folder in the way, or nothing yet. The overwrite question's handler may
  // name another target, which is then replaced whether it exists or not.
  std::string target = destDir + name;
  const uint32_t existing = os::GetAttributes(target);
  const bool replacing = existing != os::kInvalidAttributes;
  if (replacing) {
    if (existing & os::faDirectory) {
      CannotCreate(item, target, 0);
    }
    lastOutcome_ = TZFEntryOutcome::Kept;  // unless the rules below replace it
    if (!options_.GetReplaceReadOnly() && (existing & os::faReadOnly)) return;
    switch (options_.GetOverwriteMode()) {
      case omPrompt: {
        bool confirm = true;
        DoConfirmOverwrite(name, target, confirm);
        if (!confirm) return;
        break;
      }
      case omAlways:
        break;
      case omNever:
        return;
      case omIfNewer:
      case omIfOlder: {
        uint32_t disk = 0;
        os::GetFileDosDateTime(target, disk);
        const int32_t diskValue = static_cast<int32_t>(disk);
        const int32_t itemValue = static_cast<int32_t>(item.DosDateTime());
        if (options_.GetOverwriteMode() == omIfNewer ? !(itemValue > diskValue)
                                                     : !(itemValue < diskValue))
          return;
        break;
      }
    }
    lastOutcome_ = TZFEntryOutcome::None;
  }
  if (IsSymlinkEntry(item) && options_.GetRestoreSymlinks() && os::kMakesSymlinks &&
      !destDir.empty()) {
    MakeLink(item, index, name, target, replacing);
    return;
  }
  TEntryFile file(target);
  if (!file.Create()) CannotCreate(item, target, os::LastErrorCode());
  WriteEntryFile(item, index, attr, target, file, replacing);
}

void TZFBaseArchiver::CannotCreate(const TDirItem& item, const std::string& target,
                                   int systemCode) {
  // A folder removed since it was made is made again by a retry.
  runFolders_.erase(DirectoryPart(target));
  // The message names the target; the detail says why: a folder standing
  // in its place, or the system's reason.
  TZFErrorDetail detail;
  if (os::DirectoryExists(target)) detail.Cause = TZFCause::FolderInTheWay;
  else if (systemCode != 0) detail = SystemFailure(systemCode);
  detail.EntryOffset = item.LocalHeaderOffset();
  throw EZFException(neCannotCreateFile, {target}, this).WithDetail(std::move(detail));
}

void TZFBaseArchiver::WriteEntryFile(const TDirItem& item, int32_t index, uint32_t attr,
                                     const std::string& target, TEntryFile& file,
                                     bool replacing) {
  if (!WriteEntryData(item, index, file.Stream())) return;  // skipped or cancelled: the file goes
  os::File& handle = file.Stream().File();
  handle.SetDosDateTime(item.DosDateTime());
  if (options_.GetSetAttributes()) ApplyAttributes(handle, attr, item.Header.VersionMadeBy);
  if (options_.GetFlushBuffers() && OnRemovableDrive(runFolders_, target)) handle.Flush();

  // The new file is ready: only now may a read-only target lose its
  // attribute (Windows replaces no read-only file), and it gets it back if
  // the new file cannot take its place.
  const uint32_t oldAttributes = replacing ? os::GetAttributes(target) : os::kInvalidAttributes;
  const bool unlocked = oldAttributes != os::kInvalidAttributes &&
                        (oldAttributes & os::faReadOnly) &&
                        os::SetAttributes(target, oldAttributes & ~os::faReadOnly);
  if (!file.PutInPlace(replacing)) {
    const int code = os::LastErrorCode();
    if (unlocked) os::SetAttributes(target, oldAttributes);
    CannotCreate(item, target, code);
  }
  lastOutcome_ = IsSymlinkEntry(item) ? TZFEntryOutcome::LinkAsFile : TZFEntryOutcome::Written;
}

void TZFBaseArchiver::MakeLink(const TDirItem& item, int32_t index, const std::string& path,
                               const std::string& target, bool replacing) {
  TZFErrorDetail detail;
  detail.EntryOffset = item.LocalHeaderOffset();
  // The link's target is its entry's data, held in memory: a text longer
  // than any path the system takes is no link (and must not size a buffer).
  if (item.UncompressedSize() > kMaxLinkTarget) {
    detail.Cause = TZFCause::LinkOutside;
    detail.OtherEntry = "(" + std::to_string(item.UncompressedSize()) + " bytes)";
    throw EZFException(neCannotCreateFile, {target}, this).WithDetail(std::move(detail));
  }
  TMemoryStream text;
  if (!WriteEntryData(item, index, text)) return;  // skipped or cancelled
  const std::string linkTarget(text.Data().begin(), text.Data().end());
  // The attack: a link out of the destination ("/etc", "../../home"), or
  // one that gets out through links made before it, and then an entry
  // written through it.
  if (!runLinks_.ResolvesInside(path, linkTarget)) {
    detail.Cause = TZFCause::LinkOutside;
    detail.OtherEntry = linkTarget;
    throw EZFException(neCannotCreateFile, {target}, this).WithDetail(std::move(detail));
  }
  if (!os::MakeSymlink(linkTarget, target, replacing)) CannotCreate(item, target, os::LastErrorCode());
  runLinks_.Add(path, linkTarget);
  lastOutcome_ = TZFEntryOutcome::Link;
}

bool TZFBaseArchiver::WriteEntryData(const TDirItem& item, int32_t index, TStream& destination) {
  const TZFEntryPlace place = dirManager_->PlaceOf(index);
  OpenVolumeNumber(place.FirstVolume, place.LastVolume);
  const TZFDecodedEntry* decoded =
      decodeAhead_ != nullptr ? decodeAhead_->Take(index, password_, *archiveStream_) : nullptr;
  TZFDecodeResult result;
  if (decoded != nullptr) {
    result = ReplayEntry(DecodeEvents(), destination, item, *decoded);
  } else {
    archiveStream_->SetPosition(item.LocalHeaderOffset());
    result = DecodeEntry(Volumes(), DecodeEvents(), destination, item, place);
  }
  result = JudgeCutShort(index, std::move(result));
  // A skipped or cancelled entry raises nothing and is not kept.
  if (result.Cause() == TZFCause::Skipped || result.Cause() == TZFCause::Cancelled) return false;
  // A damaged entry kept on request counts as complete.
  if (!result.Ok() && !(extractCorruptedFiles_ && IsDataDamage(result.Cause())))
    RaiseExtractFailed(result, index);
  return true;
}

TZFDecodeResult TZFBaseArchiver::JudgeCutShort(int32_t index, TZFDecodeResult result) const {
  // The file ends inside this entry (ZFDirManager::CutShortItem): whatever
  // the decoding met on the way, and even when it checked out (an entry
  // with a data descriptor knows no sizes without it, and reads as empty),
  // its data is not all there. A skip or cancel stays what it is.
  if (index != dirManager_->CutShortItem() || result.Cause() == TZFCause::Skipped ||
      result.Cause() == TZFCause::Cancelled)
    return result;
  result.Failure = TZFErrorDetail();
  result.Failure.Cause = TZFCause::Truncated;
  result.Failure.EntryOffset = dirManager_->Dir().ItemRef(index).LocalHeaderOffset();
  return result;
}

void TZFBaseArchiver::RaiseExtractFailed(const TZFDecodeResult& result, int32_t index) {
  TZFErrorDetail detail = result.Failure;
  if (detail.Cause == TZFCause::Overlap) {
    const TZFEntryPlace place = dirManager_->PlaceOf(index);
    detail.OtherEntry = dirManager_->NameOfEntryAt(static_cast<uint32_t>(place.FirstVolume),
                                                   place.DataLimit, index);
  }
  throw EZFException(neExtractFailed, this).WithDetail(std::move(detail));
}

}  // namespace zf
