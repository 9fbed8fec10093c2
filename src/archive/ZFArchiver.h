// The archive component: TZFBaseArchiver and TZipArchiver.
//
// A non-visual component that opens one ZIP archive at a time (a file, a
// volume set, or an archive in memory) and extracts the entries chosen by a
// mask into BaseDir, reporting progress and asking for decisions through
// events. Every event has a virtual Do... dispatcher that calls the handler
// when one is assigned and otherwise applies the default (a value, or a
// standard dialog through the platform layer).
//
// Behaviour lives in several files: ZFArchiver.cpp (construction, settings,
// Open, Close, dispatchers and default dialogs), ZFExtract.cpp (selection and
// the extraction run), ZFVolumes.cpp (volume names and opening volumes),
// ZFDirManager.cpp (the central directory) and ZFCodec.cpp (one entry's
// data). The directory manager and the codec know the component only
// through two narrow interfaces that it implements: the volume source
// (ZFVolumeSource.h) and the decode-event sink (ZFDecodeEvents.h). The
// members under "engine internals" serve the engine's files and the
// programs of this project, not applications.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "ZFClasses.h"
#include "ZFDecodeEvents.h"
#include "ZFExcept.h"
#include "ZFLinks.h"
#include "ZFOptions.h"
#include "ZFStringList.h"
#include "ZFTypes.h"
#include "ZFVolumeSource.h"

namespace zf {

class TZFBaseArchiver;
class TZFDirManager;
class TEntryFile;
class TZFDecodeAhead;
struct TDirItem;
struct TZFDirSettings;
struct TZFDecodeResult;

// What became of the entry a run handled last.
enum class TZFEntryOutcome : uint8_t {
  None,        // nothing yet, or it failed (the failure event told)
  Written,     // its file was written (or replaced)
  Kept,        // a file stood there and stays, by the overwrite rules or the question
  Folder,      // a folder entry: the folder is there
  Link,        // a symbolic link was made (RestoreSymlinks, Linux)
  LinkAsFile,  // a symbolic link written as a file holding its target
  Tested,      // Test: its data decoded and checked out
};

// ---- events: Sender first, then the parameters; in/out ones by reference ---
using TNotifyEvent = std::function<void(TZFBaseArchiver* Sender)>;
using TZFFileProgressEvent =
    std::function<void(TZFBaseArchiver* Sender, const std::string& FileName, double Progress,
                       TZFProcessOperation Operation, TZFProgressPhase ProgressPhase,
                       bool& Cancel)>;
using TZFProgressEvent =
    std::function<void(TZFBaseArchiver* Sender, double Progress, TZFProcessOperation Operation,
                       TZFProgressPhase ProgressPhase, bool& Cancel)>;
using TZFCopyTempFileProgressEvent = std::function<void(
    TZFBaseArchiver* Sender, double Progress, TZFProgressPhase ProgressPhase, bool& Cancel)>;
using TZFConfirmOverwriteEvent =
    std::function<void(TZFBaseArchiver* Sender, const std::string& SourceFileName,
                       std::string& DestFileName, bool& Confirm)>;
using TZFConfirmProcessFileEvent =
    std::function<void(TZFBaseArchiver* Sender, const std::string& FileName,
                       TZFProcessOperation Operation, bool& Confirm)>;
using TZFOnPasswordEvent =
    std::function<void(TZFBaseArchiver* Sender, const std::string& FileName,
                       std::string& NewPassword, bool& SkipFile)>;
using TZFProcessFileFailureEvent = std::function<void(
    TZFBaseArchiver* Sender, const std::string& FileName, TZFProcessOperation Operation,
    int32_t NativeError, int32_t ErrorCode, const std::string& ErrorMessage, TZFAction& Action)>;
using TZFOnRequestBlankVolumeEvent =
    std::function<void(TZFBaseArchiver* Sender, int32_t VolumeNumber,
                       std::string& VolumeFileName, bool& Cancel)>;
using TZFOnRequestFirstVolumeEvent =
    std::function<void(TZFBaseArchiver* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZFOnRequestLastVolumeEvent =
    std::function<void(TZFBaseArchiver* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZFOnRequestMiddleVolumeEvent =
    std::function<void(TZFBaseArchiver* Sender, int32_t VolumeNumber,
                       std::string& VolumeFileName, bool& Cancel)>;
using TZFOnDiskFullEvent =
    std::function<void(TZFBaseArchiver* Sender, int32_t VolumeNumber,
                       const std::string& VolumeFileName, bool& Cancel)>;
using TZFOnStoreFileEvent =
    std::function<void(TZFBaseArchiver* Sender, std::string& FileName, uint32_t& FileAttr,
                       std::string& Comment, const std::string& OriginalFileName)>;
using TZFOnExtractFileEvent =
    std::function<void(TZFBaseArchiver* Sender, std::string& FileName, uint32_t& FileAttr,
                       const std::string& Comment)>;

// State of a walk over the directory items by FindFirstItem/FindNextItem.
struct TInternalSearchRec {
  int32_t ItemIndex = 0;       // index of the item found last
  std::string SearchMask;      // "/" as separator, drive prefix dropped
  bool HasWildcards = false;   // the mask holds "*" or "?"
  int32_t SearchAttributes = 0;
  std::string ExclusionMask;
  bool UseMaskLists = false;   // Mask was empty: FileMasks and ExclusionMasks choose
};

// The public view of one directory item, filled by the selection.
struct TZFArchiveItem {
  std::string FileName;    // file-name part, "\" as separator
  std::string StoredPath;  // folder part
  int64_t CompressedSize = 0;
  int64_t UncompressedSize = 0;
  double CompressionRate = 0;  // percent saved; 100 for an empty entry
  bool Encrypted = false;
  uint16_t LastModFileDate = 0;
  uint16_t LastModFileTime = 0;
  uint32_t CRC = 0;
  uint32_t ExternalFileAttributes = 0;
  std::string Comment;
  TInternalSearchRec Handle;
};

// What CurrentVersion reads, whatever is written to it.
inline constexpr const char* kVersionText = "2.70 ";

// The texts of the default volume dialogs ("%d": the 1-based volume number),
// also for front ends that ask for disks in their own way.
inline constexpr const char* kInsertBlankDiskText = "Please insert a blank disk #%d";
inline constexpr const char* kInsertFirstDiskText = "Please insert the first disk";
inline constexpr const char* kInsertLastDiskText = "Please insert the last disk";
inline constexpr const char* kInsertDiskText = "Please insert disk #%d";
inline constexpr const char* kLastDiskFileMissingText =
    "File '%s' not found on inserted disk. Please insert last disk with required file";
inline constexpr const char* kDiskFullText =
    "Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean the disk "
    "or find another blank disk";

class TZFBaseArchiver : public TComponent, private IZFVolumeSource, private IZFDecodeEvents {
 public:
  explicit TZFBaseArchiver(TComponent* owner = nullptr);
  ~TZFBaseArchiver() override;
  TZFBaseArchiver(const TZFBaseArchiver&) = delete;
  TZFBaseArchiver& operator=(const TZFBaseArchiver&) = delete;

  // ---- operations ----
  // Opens FileName (or a new archive in memory); closes what was open first.
  void Open();
  // Closes; gives a new, empty archive its end record. Never raises.
  void Close();
  // Extracts the entries matching Mask and SearchAttr into BaseDir, without
  // those ExclusionMask matches. An empty Mask selects by the lists instead:
  // the entries one of FileMasks matches and none of ExclusionMasks does.
  void Extract(const std::string& Mask, int32_t SearchAttr, const std::string& ExclusionMask);
  // The run of Extract over the same selection with nothing written: each
  // entry's data is decoded and checked (size, CRC-32, password) and then
  // dropped. The events report poTest; a failure goes to the failure event
  // as in Extract.
  void Test(const std::string& Mask, int32_t SearchAttr, const std::string& ExclusionMask);
  bool Active() const { return active_; }

  // ---- published properties ----
  bool GetExtractCorruptedFiles() const { return extractCorruptedFiles_; }
  void SetExtractCorruptedFiles(bool v) { extractCorruptedFiles_ = v; }
  TZFCompressionLevel GetCompressionLevel() const { return compressionLevel_; }
  void SetCompressionLevel(TZFCompressionLevel v);
  int GetCompressionMode() const { return compressionMode_; }
  void SetCompressionMode(int v);  // above 9 (or below 0): native code 5
  std::string GetCurrentVersion() const;
  void SetCurrentVersion(const std::string&) {}  // accepted, no effect
  const std::string& GetPassword() const { return password_; }
  void SetPassword(const std::string& v) { password_ = v; }
  const std::string& GetFileName() const { return fileName_; }
  void SetFileName(const std::string& v) { fileName_ = v; }
  const std::string& GetBaseDir() const { return baseDir_; }
  void SetBaseDir(const std::string& v) { baseDir_ = v; }
  const std::string& GetTempDir() const { return tempDir_; }
  void SetTempDir(const std::string& v) { tempDir_ = v; }
  TZFSpanningMode GetSpanningMode() const { return spanningMode_; }
  void SetSpanningMode(TZFSpanningMode v);  // refused while open
  TZFSpanningOptions& SpanningOptions() { return spanningOptions_; }
  const std::string& GetSFXStub() const { return sfxStub_; }
  void SetSFXStub(const std::string& v) { sfxStub_ = v; }
  TZFOptions& Options() { return options_; }
  const TZFOptions& Options() const { return options_; }
  // The masks of a selection without a mask (see Extract).
  TStringList& FileMasks() { return fileMasks_; }
  void SetFileMasks(const TStringList& v) { CopyLines(v, fileMasks_); }
  TStringList& ExclusionMasks() { return exclusionMasks_; }
  void SetExclusionMasks(const TStringList& v) { CopyLines(v, exclusionMasks_); }
  TStringList& NoCompressionMasks() { return noCompressionMasks_; }
  void SetNoCompressionMasks(const TStringList& v) { CopyLines(v, noCompressionMasks_); }
  bool GetInMemory() const { return inMemory_; }
  void SetInMemory(bool v);
  // The archive is the bytes [offset, offset + size) of FileName alone: an
  // archive kept inside a bigger file at a known place (a one-file setup
  // carries its package behind the program, with a signature after it).
  // Such an archive opens read-only, as one volume, with offsets counted
  // from the window's start. A negative size (the default) reads the whole
  // file as always.
  void SetArchiveWindow(int64_t offset, int64_t size) {
    windowOffset_ = offset;
    windowSize_ = size;
  }

  // ---- events ----
  TZFFileProgressEvent OnFileProgress;
  TZFProgressEvent OnOverallProgress;
  TZFCopyTempFileProgressEvent OnCopyTempFileProgress;
  TZFConfirmOverwriteEvent OnConfirmOverwrite;
  TZFConfirmProcessFileEvent OnConfirmProcessFile;
  TNotifyEvent AfterOpen;
  TZFOnPasswordEvent OnPassword;
  TZFProcessFileFailureEvent OnProcessFileFailure;
  TZFOnRequestBlankVolumeEvent OnRequestBlankVolume;
  TZFOnRequestFirstVolumeEvent OnRequestFirstVolume;
  TZFOnRequestLastVolumeEvent OnRequestLastVolume;
  TZFOnRequestMiddleVolumeEvent OnRequestMiddleVolume;
  TZFOnDiskFullEvent OnDiskFull;
  TZFOnStoreFileEvent OnStoreFile;
  TZFOnExtractFileEvent OnExtractFile;

  // ---- dispatchers: the handler, or the default when none is assigned ----
  virtual void UpdateCompressionMethod();
  virtual void DoOverallProgress(double Progress, TZFProcessOperation Operation,
                                 TZFProgressPhase ProgressPhase, bool& Cancel);
  virtual void DoFileProgress(const std::string& FileName, double Progress,
                              TZFProcessOperation Operation, TZFProgressPhase ProgressPhase,
                              bool& Cancel);
  virtual void DoCopyTempFileProgress(double Progress, TZFProgressPhase ProgressPhase,
                                      bool& Cancel);
  virtual void DoConfirmOverwrite(const std::string& SourceFileName, std::string& DestFileName,
                                  bool& Confirm);
  virtual void DoConfirmProcessFile(const std::string& FileName, TZFProcessOperation Operation,
                                    bool& Confirm);
  virtual void DoPassword(const std::string& FileName, std::string& NewPassword, bool& SkipFile);
  virtual void DoProcessFileFailure(const std::string& FileName, TZFProcessOperation Operation,
                                    int32_t NativeError, int32_t ErrorCode,
                                    const std::string& ErrorMessage, TZFAction& Action);
  virtual void DoRequestBlankVolume(int32_t VolumeNumber, std::string& VolumeFileName,
                                    bool& Cancel);
  virtual void DoRequestFirstVolume(std::string& VolumeFileName, bool& Cancel);
  virtual void DoRequestLastVolume(std::string& VolumeFileName, bool& Cancel);
  virtual void DoRequestMiddleVolume(int32_t VolumeNumber, std::string& VolumeFileName,
                                     bool& Cancel);
  virtual void DoDiskFull(int32_t VolumeNumber, const std::string& VolumeFileName, bool& Cancel);
  virtual void DoStoreFile(std::string& FileName, uint32_t& FileAttr, std::string& Comment,
                           const std::string& OriginalFileName);
  virtual void DoExtractFile(std::string& FileName, uint32_t& FileAttr,
                             const std::string& Comment);

  // ---- selection (used by Extract; public for listing tools) ----
  bool FindFirstItem(const std::string& Mask, TZFArchiveItem& F, int32_t SearchAttr,
                     const std::string& ExclusionMask);
  bool FindNextItem(TZFArchiveItem& F);
  static bool MatchesMask(const std::string& Name, const std::string& Mask);

  // ---- engine internals ----
  // The directory of the open archive (null when closed).
  TZFDirManager* DirManager() { return dirManager_.get(); }
  // The stream of the current volume (null when none is open).
  TStream* ArchiveStream() { return archiveStream_.get(); }
  // The component as the lower layers see it.
  IZFVolumeSource& Volumes() { return *this; }
  IZFDecodeEvents& DecodeEvents() { return *this; }
  // The settings the directory manager reads.
  TZFDirSettings DirSettings() const;
  // Decodes the data of item index of the open archive into destination,
  // with the component's events (a check that reads an entry without
  // extracting it).
  TZFDecodeResult DecodeItem(int32_t index, TStream& destination);
  // During OnProcessFileFailure (and until the next failure): why the
  // entry failed and where, as far as known (Cause None otherwise). The
  // event's own parameters stay those of the catalogue's error.
  const TZFErrorDetail& FailureDetail() const { return failureDetail_; }
  TZFVolumeNumberInfo& CurrentVolume() { return currentVolume_; }
  // The file of the current volume (empty when none is open).
  const std::string& CurrentVolumeFileName() const { return currentVolumeFileName_; }
  // Makes the given volume current (ZFVolumes.cpp): a new archive asks for a
  // blank volume with enough free space and creates it; an existing one asks
  // for the volume by the request events and opens it. Native code 45 when a
  // request is cancelled, 44 for a volume number outside the set. With
  // smNone it opens the archive file when no stream is open yet.
  void OpenVolume(const TZFVolumeNumberInfo& volume);
  // File name of volume n (zero-based; -1: the last volume) of the archive
  // archiveName under SpanningMode and AdvancedNaming. tryOther (spanned
  // sets): when that file does not exist, the name under the other naming
  // if that one does. On Linux a file whose name differs only in letter case
  // stands in for a missing one.
  std::string BuildVolumeName(const std::string& archiveName, int32_t n, bool tryOther) const;
  // A new multi-volume archive written: its last volume gets the archive's
  // name and is reopened for reading and writing as the current stream.
  void FinishVolumeSet();
  // Progress state of the last extraction run: cancelled by a progress
  // handler, entries done, entries selected.
  bool Cancelled() const { return cancelFlag_; }
  // A request to stop, asked between the output buffers of an entry (a
  // chunk of a highly compressible entry decodes to many): when it answers
  // true the run is cancelled there, as a progress handler cancels it
  // between chunks. Called on the extracting thread; it must be cheap.
  // Empty: only the progress handlers cancel.
  void SetStopRequest(std::function<bool()> request) { stopRequest_ = std::move(request); }
  int32_t EntriesDone() const { return entriesDone_; }
  int32_t EntriesSelected() const { return entriesSelected_; }
  // What became of the entry the run handled last; read in its ppEnd event.
  TZFEntryOutcome LastEntryOutcome() const { return lastOutcome_; }
  uint16_t EntryCompressionMethod() const { return compressionMethod_; }

 protected:
  uint16_t compressionMethod_ = 0xFFFF;
  TZip64Mode zip64Mode_ = zmAuto;

 private:
  static void CopyLines(const TStringList& from, TStringList& to);
  // ---- the volume source (ZFVolumes.cpp) ----
  TStream* VolumeStream() override { return archiveStream_.get(); }
  int32_t VolumeNumber() const override { return currentVolume_.Number; }
  bool MultiVolume() const override { return spanningMode_ != smNone; }
  void OpenVolumeNumber(int32_t number, int32_t last) override;
  // ---- the decode-event sink (ZFArchiver.cpp): the progress events with
  // the run's counts, and the password request ----
  bool Progress(const TDirItem& item, int64_t consumed, long double total) override;
  std::string Password() override { return password_; }
  bool AskPassword(const TDirItem& item) override;
  bool StopRequested() override;
  // Opens an existing archive's right volume and makes its directory
  // manager (ZFVolumes.cpp); SpanningMode follows what it finds: the last
  // volume's probe (repeated while a disk without an end record is in a
  // removable drive), and the mode that its end record and the files beside
  // it tell.
  void ProbeArchive();
  // Open for an archive in a window of its file (SetArchiveWindow).
  void OpenWindow();
  // The directory manager's ReadDirectory; running out of memory is the
  // directory's limit error (native code 61), never std::bad_alloc.
  void ReadDirectory();
  void ProbeLastVolume();
  void DecideSpanningMode(bool endRecordFound);
  void OpenBlankVolume(const TZFVolumeNumberInfo& volume);
  void OpenExistingVolume(const TZFVolumeNumberInfo& volume);
  // Gives a new archive created by Open its end record (once).
  void FinishNewArchive();
  // Selection: the first item from index first that passes the tests of
  // F.Handle, with F filled; the name test of a mask.
  bool SearchFrom(int32_t first, TZFArchiveItem& F);
  // A mask as the selection compares it: a drive prefix dropped (unless
  // StorePath keeps drives), "/" as the separator.
  std::string SearchMaskOf(const std::string& Mask) const;
  static bool NameMatches(std::string_view storedName, const std::string& mask);
  // The run's steps (ZFExtract.cpp): one selected item with its retries
  // (false: leave the run), the entry's target rules, the file written
  // (pending until complete, then put in place), and the entry's data
  // (false: skipped or cancelled, nothing to keep). A target that cannot be
  // created raises native code 19 with its name, and with the system's
  // reason (or FolderInTheWay) as detail.
  void Run(const std::string& Mask, int32_t SearchAttr, const std::string& ExclusionMask,
           TZFProcessOperation operation);
  bool ExtractSelectedItem(int32_t index);
  void ExtractOneEntry(const TDirItem& item, int32_t index, const std::string& entryName,
                       std::string destDir);
  void WriteEntryFile(const TDirItem& item, int32_t index, uint32_t attr,
                      const std::string& target, TEntryFile& file, bool replacing);
  [[noreturn]] void CannotCreate(const TDirItem& item, const std::string& target, int systemCode);
  // A symbolic link entry at target (path: its name inside the
  // destination) made a link, when its target stays inside; native code 19
  // with the cause LinkOutside otherwise.
  void MakeLink(const TDirItem& item, int32_t index, const std::string& path,
                const std::string& target, bool replacing);
  bool WriteEntryData(const TDirItem& item, int32_t index, TStream& destination);
  // The decoding's result, as Truncated for the entry the file ends inside.
  TZFDecodeResult JudgeCutShort(int32_t index, TZFDecodeResult result) const;
  // Raises native code 8 for a failed decoding, with its detail.
  [[noreturn]] void RaiseExtractFailed(const TZFDecodeResult& result, int32_t index);
  // The worker decoding the run's small entries ahead, when it is worth one.
  std::unique_ptr<TZFDecodeAhead> StartDecodingAhead();

  bool active_ = false;
  int16_t openMode_ = os::kOpenFlagsCreate;  // one of os::kOpenFlags*
  bool extractCorruptedFiles_ = false;
  // The run's progress state.
  bool cancelFlag_ = false;
  std::function<bool()> stopRequest_;  // SetStopRequest
  bool skipFlag_ = false;
  int32_t entriesDone_ = 0;
  int32_t entriesSelected_ = 0;
  TZFErrorDetail failureDetail_;
  TZFCompressionLevel compressionLevel_ = clFastest;
  int compressionMode_ = 1;
  std::string password_, fileName_, baseDir_, tempDir_, sfxStub_;
  TZFSpanningMode spanningMode_ = smNone;
  TZFSpanningOptions spanningOptions_;
  TZFOptions options_;
  TStringList fileMasks_, exclusionMasks_, noCompressionMasks_;
  bool inMemory_ = false;
  int64_t windowOffset_ = 0;
  int64_t windowSize_ = -1;  // no window
  bool newArchive_ = false;  // created by Open, end record not written yet
  TZFVolumeNumberInfo currentVolume_;
  std::string currentVolumeFileName_;
  // What the default disk-full dialog reports: the volume's limit and the
  // free space found.
  int64_t diskFullRequired_ = 0;
  int64_t diskFullAvailable_ = 0;
  std::unique_ptr<TStream> archiveStream_;
  std::unique_ptr<TZFDirManager> dirManager_;
  // The folders the current Extract run has made or found, each with
  // whether it lies on a removable drive (-1: not asked yet).
  std::unordered_map<std::string, int8_t> runFolders_;
  TZFRunLinks runLinks_;  // the symbolic links the current run has made
  TZFProcessOperation runOperation_ = poExtract;
  TZFEntryOutcome lastOutcome_ = TZFEntryOutcome::None;
  TZFDecodeAhead* decodeAhead_ = nullptr;  // during a run, when one decodes ahead
};

class TZipArchiver : public TZFBaseArchiver {
 public:
  explicit TZipArchiver(TComponent* owner = nullptr);
  TZip64Mode GetZip64Mode() const { return zip64Mode_; }
  void SetZip64Mode(TZip64Mode v) { zip64Mode_ = v; }
  void UpdateCompressionMethod() override;
};

// The process-wide lock every extraction run holds, handlers included;
// re-entrant for the thread that holds it.
std::recursive_mutex& ArchiverLock();

}  // namespace zf
