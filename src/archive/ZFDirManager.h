// The central directory manager: everything the engine knows about the
// directory of an open archive. It finds the end records (with the Zip64
// ones), reads every central header into the item array, rebuilds the
// directory from the local headers when it is damaged, finds and corrects a
// self-extractor prefix in front of the archive, and for a new archive
// writes the stub and the end record of an empty archive.
//
// Every byte it reads is the archive's and may be hostile: counts, sizes and
// offsets are checked against the stream before they position a read or
// size an allocation, and every scan holds one bounded window in memory.
//
// It is not a codec: it never reads entry data. PlaceOf tells the codec
// where an entry's data lies and must end, so that entries overlapping
// another one (overlapped-entry bombs) are refused as damaged.
//
// Parser and policy are apart: the reader states what it finds in a report
// (TZFDirReport: entries claimed and read, each problem with its offset,
// whether it rebuilt), and Decide, one function, says for each problem
// whether to read on, rebuild from the local headers or refuse. The
// archive's volumes are reached through the volume source only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/ZFClasses.h"
#include "archive/ZFDirArray.h"
#include "archive/ZFDirItem.h"
#include "archive/ZFDirReport.h"
#include "archive/ZFRecords.h"
#include "archive/ZFVolumeSource.h"

namespace zf {

// The settings of the component that the manager reads.
struct TZFDirSettings {
  bool OEMFileNames = true;       // names without the UTF-8 flag are in the OEM code page
  std::string SFXStub;            // written in front of a new archive, when set
  int64_t FirstVolumeLimit = -1;  // size limit of a new set's first volume; 0 or less: none
};

class TZFDirManager {
 public:
  // stream: the archive (the current volume); not owned. volumes: the
  // archive's volumes, also not owned. create: a new archive, whose stub
  // (settings.SFXStub), when set, is written (WriteStub).
  TZFDirManager(TStream* stream, IZFVolumeSource& volumes, TZFDirSettings settings, bool create);
  ~TZFDirManager();
  TZFDirManager(const TZFDirManager&) = delete;
  TZFDirManager& operator=(const TZFDirManager&) = delete;

  // ---- what the archive holds ----
  TZFDirArray& Dir() { return *dir_; }
  const TZFDirArray& Dir() const { return *dir_; }
  TStream* ArchiveStream() const { return archiveStream_; }
  bool CreateMode() const { return createMode_; }
  // The stream is not the owner's own file stream: volumes are not switched.
  bool UsesCustomStream() const { return usesCustomStream_; }
  bool IsZip64() const { return isZip64_; }
  // Bytes ahead of the archive proper (a self-extractor stub).
  uint64_t PrefixLength() const { return prefixLength_; }
  // Position in its volume where the central directory begins; the stream
  // size after a rebuild from the local headers.
  int64_t DirectoryStart() const { return directoryStart_; }
  const TEndOfCentralDir& EndRecord() const { return endRecord_; }
  const TZip64Locator& Zip64Locator() const { return zip64Locator_; }
  const TZip64EndOfCentralDir& Zip64EndRecord() const { return zip64EndRecord_; }
  const std::string& GlobalComment() const { return globalComment_; }
  // Zero-based number of the last volume: the end record's disk number, or
  // when that is 0xFFFF the locator's total disks - 1 in a Zip64 archive,
  // else 0.
  int32_t LastVolumeNumber() const;

  // The stream position that the data of item index must not pass, so that
  // no entry's data runs into the local header of another entry:
  //  - the nearest local-header offset above the item's own among all items
  //    on the same volume;
  //  - -1 when no local header follows on that volume (the codec then cuts
  //    at DirectoryStart in a single-volume archive);
  //  - the item's own offset when another item shares its volume and local
  //    header offset, so that any data at all fails.
  // Folder items take no part (their data is never read, and behind a stub
  // their offsets are left uncorrected) and get -1. Computed after each
  // ReadDirectory; -1 for an index outside the array.
  int64_t DataLimitOf(int32_t index) const;
  // Where item index's data lies and must end, for the codec.
  TZFEntryPlace PlaceOf(int32_t index) const;
  // The stored name of an item other than `except` whose local header lies
  // at offset on the given volume (the entry an overlapping one runs
  // into); empty when there is none.
  std::string NameOfEntryAt(uint32_t volume, int64_t offset, int32_t except) const;

  // The item whose data the file ends inside (an archive cut short, its
  // directory rebuilt from the local headers): listed like any other, it
  // fails with the cause Truncated when it is decoded. -1 when none.
  int32_t CutShortItem() const { return cutShortItem_; }

  // What the last ReadDirectory found.
  const TZFDirReport& Report() const { return report_; }
  // The policy: what to do about a finding. The one place where the
  // reader's leniencies are decided, each with the case it exists for.
  TZFDirDecision Decide(const TZFDirFinding& finding) const;

  // ---- operations ----
  // No items; EndRecord zeroed but for its signature.
  void ResetDirectory();
  // Whether the stream holds an end record (the volume probes of the
  // component's Open ask it).
  bool ProbeEndRecord();
  // Reads the directory of an existing archive into the items and the
  // report, rebuilding it from the local headers when Decide says so.
  // Native codes 40 (Zip64 end record not where the locator points), 35
  // (nothing to rebuild from), 44 (rebuild needed in a multi-volume
  // archive), 45 (a volume request cancelled).
  void ReadDirectory();
  // Writes the end record of the (empty) directory at the end of the
  // archive; a non-null stream becomes ArchiveStream first. (The component
  // then gives a new volume set its final name.)
  void WriteDirectory(TStream* stream);
  // Makes the given volume current through the owner and takes its stream;
  // nothing when UsesCustomStream.
  void SwitchVolume(int32_t volume);

 protected:
  // ---- internal steps, protected so that tests can reach them ----
  struct TEndRecordHit {
    bool Found = false;
    int64_t Position = -1;  // of the record's signature
    TEndOfCentralDir Record;
  };
  // Searches the last 65,600 bytes backwards for a record with signature
  // whose comment reaches exactly to the end of the stream; fills
  // GlobalComment on success.
  TEndRecordHit FindEndRecord(uint32_t signature);
  // Position of the next local header signature at or after from with at
  // least a header's 30 bytes behind it, or -1 (a signature with fewer
  // bytes behind it is noted in shortHeaderAt_). Stream position restored.
  int64_t FindNextLocalHeader(int64_t from);
  // The first data descriptor signature at or after from, read into out
  // when its 16 bytes lie inside the stream.
  bool FindDataDescriptor(int64_t from, TDataDescriptor& out);
  // Position of the next occurrence of pattern at or after position, or -1.
  // Stream position restored.
  static int64_t SearchForward(TStream& stream, int64_t position, uint32_t pattern);
  void DetectPrefixLength(int64_t endRecordsStart);
  void ApplyPrefixLength();
  void RecoverDirectory();
  void WriteStub();

 private:
  bool ReadZip64EndRecordAt(uint64_t position);
  // Reads every central header, those beyond the count that the
  // directory's size holds included; false with what was found in problem
  // (damage, or more headers than counted).
  bool ReadItems(int64_t endRecords, uint32_t firstVolume, TZFDirFinding& problem);
  bool ReadItemsGuarded(int64_t endRecords, uint32_t firstVolume, TZFDirFinding& problem);
  // Notes a finding in the report and acts on Decide's answer: true when
  // the directory was rebuilt.
  bool Handle(TZFDirFinding finding);
  [[noreturn]] void Refuse(const TZFDirFinding& finding) const;
  bool AcceptsAsFirstLocalHeader(int64_t position, int64_t size,
                                 std::span<const uint8_t> window, size_t offset,
                                 const TDirItem& first);
  // An item rebuilt from the local header at a position.
  struct TRecovered {
    int64_t DataEnd = -1;   // where its data ends, when known
    bool CutShort = false;  // the file ends inside its header or its data
    bool NameRead = false;  // ... and its name is whole (it can be listed)
    TDirItem Item;
    std::string Name;
  };
  // Reads the local header at position; false for one that is no entry
  // (an implausible header, sizes that cannot be known).
  bool RecoverItemAt(int64_t position, TRecovered& out);
  int64_t SignatureCutAt(int64_t dataEnd);
  void AppendRecovered(TRecovered& recovered);
  bool ReadLocalZip64Sizes(TDirItem& item, int64_t extraStart, uint16_t extraLength);
  void ComputeDataLimits();
  void ForgetScanWindows();
  int64_t ScanStreamSize();
  void ReadScanned(const std::vector<uint8_t>& window, int64_t windowStart, int64_t position,
                   uint8_t* out, size_t count);
  int64_t StreamSize() const;

  TStream* archiveStream_ = nullptr;
  bool createMode_ = false;
  bool usesCustomStream_ = false;
  IZFVolumeSource& volumes_;
  TZFDirSettings settings_;
  std::unique_ptr<TZFDirArray> dir_;
  TZFDirReport report_;
  std::string globalComment_;
  TZip64Locator zip64Locator_;
  TZip64EndOfCentralDir zip64EndRecord_;
  TEndOfCentralDir endRecord_;
  uint64_t prefixLength_ = 0;
  bool isZip64_ = false;
  int64_t directoryStart_ = 0;
  std::vector<int64_t> dataLimits_;  // per item, see DataLimitOf
  // The scans of one recovery: the last window of each (with its position
  // in the stream), and the start and the hit of the last descriptor scan.
  std::vector<uint8_t> localScanWindow_, descriptorScanWindow_;
  int64_t localScanStart_ = -1, descriptorScanStart_ = -1;
  int64_t descriptorScanFrom_ = -1;
  int64_t descriptorScanHit_ = -1;
  int64_t scanStreamSize_ = -1;  // the stream's size during a recovery
  int64_t shortHeaderAt_ = -1;   // a local header signature too near the end to be read
  int32_t cutShortItem_ = -1;
};

}  // namespace zf
