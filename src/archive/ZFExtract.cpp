// Extract: the selection of directory items by mask and attributes, and the
// run that writes each selected entry under BaseDir with its events, the
// overwrite rules, the failure dialog's retry/ignore/abort, and the file's
// time and attributes.
//
// Two safety rules shape the one-entry step:
// - A stored name never reaches outside the destination folder: absolute
//   names, drive or stream colons and ".." segments fail the entry with
//   "Cannot create file" (a name set by an OnExtractFile handler is the
//   application's and is used as given).
// - An existing file is replaced only by a complete, verified entry: the data
//   goes to a temporary file beside the target, which is moved over the
//   target at the end; a failed, skipped or cancelled entry leaves the old
//   file as it was and no temporary file behind.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#include "archive/ZFArchiver.h"
#include "archive/ZFCodec.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFMasks.h"
#include "archive/ZFStrFunc.h"
#include "platform/platform.h"

namespace zf {

namespace {

constexpr uint32_t kTestedAttributes = 0x1E;  // hidden, system, volume label, directory
constexpr uint8_t kHostUnix = 3;              // high byte of "version made by"
constexpr uint32_t kUnixTypeMask = 0170000, kUnixRegular = 0100000;

std::string WithBackslashes(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Everything after the last separator (either kind, or a drive colon).
std::string FileNamePart(const std::string& path) {
  const size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Everything up to and including the last separator.
std::string DirectoryPart(const std::string& path) {
  const size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// A stored name that would land outside the destination folder: a leading
// separator (the root), a colon (a drive, or an NTFS stream), a doubled
// separator (which the next step would read as a UNC path) or a segment of
// dots that climbs (".." and, as Windows trims trailing dots and spaces,
// "..." or ".. ").
bool EscapesDestination(const std::string& name) {
  if (name.empty()) return false;
  if (IsSeparator(name.front())) return true;
  if (name.find(':') != std::string::npos) return true;
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

// A handler's name is taken as an absolute path when it holds a drive or a
// UNC prefix (or, on Linux, begins at the root).
bool IsAbsoluteName(const std::string& name) {
  if (name.find(':') != std::string::npos || name.find("\\\\") != std::string::npos) return true;
  return kPathDelim == '/' && !name.empty() && name.front() == '/';
}

// A temporary name in the target's own folder, so that the final move is a
// rename within one file system.
std::string TemporaryNameBeside(const std::string& target) {
  static std::atomic<uint32_t> counter{static_cast<uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count())};
  const std::string dir = DirectoryPart(target);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "~zf%08X.tmp", static_cast<unsigned>(counter++));
    const std::string candidate = dir + name;
    if (!os::FileExists(candidate) && !os::DirectoryExists(candidate)) return candidate;
  }
  return std::string();
}

// Removes the temporary file on every way out unless it was moved into place.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TTemporaryFile() { Discard(); }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;
  const std::string& Path() const { return path_; }
  void Discard() {
    stream_.reset();
    if (!path_.empty()) os::RemoveFile(path_);
    path_.clear();
  }
  void Kept() { path_.clear(); }
  std::unique_ptr<TFileStream>& Stream() { return stream_; }

 private:
  std::string path_;
  std::unique_ptr<TFileStream> stream_;
};

// The attributes of a new file. Windows takes the low Windows bits (never the
// folder or volume-label bits on a file). Linux takes the permission bits of
// an archive made on Unix, for regular files only, and otherwise the
// read-only bit; set-id bits, links and devices are never made.
void ApplyAttributes(const std::string& path, uint32_t attr, uint16_t versionMadeBy) {
#ifdef _WIN32
  (void)versionMadeBy;
  os::SetAttributes(path, attr & 0xFFFF & ~(os::faDirectory | os::faVolumeID));
#else
  const uint32_t unixMode = attr >> 16;
  if ((versionMadeBy >> 8) == kHostUnix && (unixMode & kUnixTypeMask) == kUnixRegular) {
    os::SetUnixPermissions(path, unixMode & 0777);
    if (attr & os::faReadOnly) os::SetAttributes(path, os::faReadOnly);
  } else {
    os::SetAttributes(path, attr & os::faReadOnly);
  }
#endif
}

}  // namespace

// ---- selection ------------------------------------------------------------------

bool TZFBaseArchiver::MatchesMask(const std::string& Name, const std::string& Mask) {
  if (Mask.empty()) return false;
  std::string mask = Mask;
  if (const size_t p = mask.find("*.*"); p != std::string::npos)
    mask = mask.substr(0, p) + "*" + mask.substr(p + 3);
  const bool extensionless = Mask.back() == '.';
  if (extensionless && !mask.empty()) mask.pop_back();
  std::string name = Name;
  if (!name.empty() && name.back() == '.') name.pop_back();
  if (!WildcardMatch(name, mask, true)) return false;
  if (!extensionless) return true;
  // "*." wants names without an extension ("name." counts as one without).
  const std::string file = FileNamePart(Name);
  const size_t dot = file.rfind('.');
  return dot == std::string::npos || dot + 1 == file.size();
}

bool TZFBaseArchiver::FindFirstItem(const std::string& Mask, TZFArchiveItem& F,
                                    int32_t SearchAttr, const std::string& ExclusionMask) {
  std::string mask = Mask;
  const size_t drive = ExtractFileDrive(mask).size();
  if (drive > 0 && options_.GetStorePath() != spFullPathWithDrive) {
    // "C:\*.txt" means the names below the drive's root; stored names are
    // relative, so the root's separator goes with the drive, or the mask
    // could never match.
    mask.erase(0, drive);
    if (!mask.empty() && IsSeparator(mask.front())) mask.erase(0, 1);
  }
  std::replace(mask.begin(), mask.end(), '\\', '/');
  TInternalSearchRec& h = F.Handle;
  h.SearchMask = mask;
  h.HasWildcards = mask.find_first_of("*?") != std::string::npos;
  h.SearchAttributes = SearchAttr;
  h.ExclusionMask = ExclusionMask;
  h.UseMaskLists = false;
  h.ItemIndex = 0;
  return SearchFrom(0, F);
}

bool TZFBaseArchiver::FindNextItem(TZFArchiveItem& F) {
  return SearchFrom(F.Handle.ItemIndex + 1, F);
}

bool TZFBaseArchiver::NameMatches(const std::string& storedName, const std::string& mask) {
  std::string name = storedName;
  if (!name.empty() && IsSeparator(name.back())) name.pop_back();
  return MatchesMask(name, mask) || MatchesMask(FileNamePart(WithBackslashes(name)), mask);
}

bool TZFBaseArchiver::SearchFrom(int32_t first, TZFArchiveItem& F) {
  if (!dirManager_ || first < 0) return false;
  const TInternalSearchRec& h = F.Handle;
  // The folder an item must lie in when Recurse is off, compared without case.
  auto folderKey = [](std::string name) {
    if (!name.empty() && name.back() == '/') name.pop_back();
    return os::UpperString(DirectoryPart(WithBackslashes(name)));
  };
  const std::string maskFolder = options_.GetRecurse() ? std::string() : folderKey(h.SearchMask);
  const TZFDirArray& dir = dirManager_->Dir();
  for (int32_t i = first; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemRef(i);
    if (!options_.GetRecurse() && folderKey(item.Name) != maskFolder) continue;
    if (!NameMatches(item.Name, h.SearchMask)) continue;
    if (item.Header.ExternalAttributes & kTestedAttributes &
        ~static_cast<uint32_t>(h.SearchAttributes))
      continue;
    // The exclusion mask, when given, takes out what it matches by the same
    // name test as the mask.
    if (!h.ExclusionMask.empty() && NameMatches(item.Name, h.ExclusionMask)) continue;

    F.Handle.ItemIndex = i;
    std::string name = WithBackslashes(item.Name);
    if (!name.empty() && name.back() == '\\') name.pop_back();
    F.FileName = FileNamePart(name);
    F.StoredPath = DirectoryPart(name);
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
    F.ExternalFileAttributes = item.Header.ExternalAttributes;
    F.Comment = item.Comment;
    return true;
  }
  return false;
}

// ---- the run --------------------------------------------------------------------

void TZFBaseArchiver::Extract(const std::string& Mask, int32_t SearchAttr,
                              const std::string& ExclusionMask) {
  if (!active_ || !dirManager_) throw EZFException(neArchiveNotOpen, this);
  std::lock_guard<std::recursive_mutex> lock(ArchiverLock());

  TZFDirArray& dir = dirManager_->Dir();
  dir.ClearSelection();
  TZFArchiveItem found;
  for (bool more = FindFirstItem(Mask, found, SearchAttr, ExclusionMask); more;
       more = FindNextItem(found))
    dir.ItemRef(found.Handle.ItemIndex).Selected = true;

  EntriesDone = 0;
  EntriesSelected = 0;
  CancelFlag = false;
  SkipFlag = false;
  for (int32_t i = 0; i < dir.Count(); ++i)
    if (dir.ItemRef(i).Selected) ++EntriesSelected;

  DoOverallProgress(0, poExtract, ppStart, CancelFlag);
  if (!CancelFlag) {
    for (int32_t i = 0; i < dir.Count(); ++i) {
      if (!dir.ItemRef(i).Selected) continue;
      dir.ItemRef(i).ItemOperation = poExtract;
      if (!ExtractSelectedItem(i)) break;
    }
  }
  const bool cancelled = CancelFlag;
  DoOverallProgress(100, poExtract, ppEnd, CancelFlag);
  CancelFlag = CancelFlag || cancelled;
}

bool TZFBaseArchiver::ExtractSelectedItem(int32_t index) {
  TZFAction action;
  do {
    action = fxaIgnore;
    // A copy: the item array may be reread while the entry is decoded.
    TDirItem item = dirManager_->Dir().GetItem(index);
    const std::string entryName = WithBackslashes(item.Name);
    try {
      SkipFlag = false;
      bool confirm = true;
      DoConfirmProcessFile(entryName, poExtract, confirm);
      if (!confirm) return true;
      const std::string destDir = AddTrailingDelimiter(baseDir_);
      DoFileProgress(item.Name, 0, poExtract, ppStart, CancelFlag);
      if (CancelFlag) return false;
      ExtractOneEntry(item, index, entryName, destDir);
      const bool cancelled = CancelFlag;
      DoFileProgress(item.Name, 100, poExtract, ppEnd, CancelFlag);
      CancelFlag = CancelFlag || cancelled;
      if (CancelFlag) return false;
      ++EntriesDone;
    } catch (const EZFException& e) {
      DoProcessFileFailure(entryName, poExtract, e.NativeError(), e.ErrorCode(), e.Message(),
                           action);
    }
  } while (action == fxaRetry);
  return action != fxaAbort;
}

// ---- one entry --------------------------------------------------------------------

void TZFBaseArchiver::ExtractOneEntry(const TDirItem& item, int32_t index,
                                      const std::string& entryName, std::string destDir) {
  std::string name = entryName;
  uint32_t attr = item.Header.ExternalAttributes;
  DoExtractFile(name, attr, item.Comment);
  if (name == entryName) {
    if (EscapesDestination(name)) throw EZFException(neCannotCreateFile, {entryName}, this);
  } else if (IsAbsoluteName(name)) {
    destDir.clear();
  }
  name = ToPlatformDelimiters(name);

  if (!options_.GetCreateDirs()) {
    name = FileNamePart(name);
  } else {
    const std::string folder = destDir + DirectoryPart(name);
    if (!folder.empty() && !ForceDirectories(folder))
      throw EZFException(neCannotCreateDir, {folder}, this);
  }
  if (item.IsDirectory() || (!item.Name.empty() && item.Name.back() == '/')) return;

  std::string target = destDir + name;
  if (os::FileExists(target)) {
    if (!options_.GetReplaceReadOnly() && (os::GetAttributes(target) & os::faReadOnly)) return;
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
  }
  WriteEntryFile(item, index, attr, target);
}

void TZFBaseArchiver::WriteEntryFile(const TDirItem& item, int32_t index, uint32_t attr,
                                     const std::string& target) {
  TTemporaryFile temp(TemporaryNameBeside(target));
  if (temp.Path().empty()) throw EZFException(neCannotCreateFile, {target}, this);
  try {
    temp.Stream() = std::make_unique<TFileStream>(temp.Path(), TFileMode::fmCreate);
  } catch (const EFOpenError&) {
    temp.Kept();  // nothing was created
    throw EZFException(neCannotCreateFile, {target}, this);
  }

  const bool complete = WriteEntryData(item, index, *temp.Stream());
  if (options_.GetFlushBuffers() && IsRemovablePath(target)) temp.Stream()->Flush();
  temp.Stream().reset();
  if (!complete) return;  // skipped or cancelled: the temporary file goes
  os::SetFileDosDateTime(temp.Path(), item.DosDateTime());

  // The new file is ready: only now may a read-only target lose its
  // attribute, and it gets it back if the move fails.
  const uint32_t oldAttributes = os::GetAttributes(target);
  const bool replacing = oldAttributes != os::kInvalidAttributes;
  if (replacing && (oldAttributes & os::faReadOnly))
    os::SetAttributes(target, oldAttributes & ~os::faReadOnly);
  if (!os::RenameFile(temp.Path(), target)) {
    if (replacing) os::SetAttributes(target, oldAttributes);
    throw EZFException(neCannotCreateFile, {target}, this);
  }
  temp.Kept();
  if (options_.GetSetAttributes()) ApplyAttributes(target, attr, item.Header.VersionMadeBy);
}

bool TZFBaseArchiver::WriteEntryData(const TDirItem& item, int32_t index, TStream& destination) {
  const int32_t volume = static_cast<int32_t>(item.DiskNumberStart(dirManager_->IsZip64()));
  TZFVolumeNumberInfo info;
  info.LastNumber = dirManager_->LastVolumeNumber();
  info.SetNumber(volume);
  OpenVolume(info);
  archiveStream_->SetPosition(item.LocalHeaderOffset());
  const bool ok = DecodeEntry(*this, destination, item, dirManager_->DataLimitOf(index));
  if (!ok && !CancelFlag && !SkipFlag && !extractCorruptedFiles_)
    throw EZFException(neExtractFailed, this);
  // A damaged entry kept on request counts as complete; a skipped or
  // cancelled one does not.
  return !CancelFlag && !SkipFlag;
}

}  // namespace zf
