// The central directory manager (see ZFDirManager.h).
//
// Reading an existing archive:
//   FindEndRecord     the end record nearest the end whose comment reaches
//                     exactly to the end of the stream
//   Zip64 records     the locator right before it, the Zip64 record where
//                     the locator points
//   ReadItems         every central header; what goes wrong in there is a
//                     finding, and Decide says what follows from it
//   prefix            a self-extractor stub in front is found from item 0's
//                     local header and, when the recorded offsets count from
//                     the archive proper, added to every offset
//   data limits       where each entry's data must end (DataLimitOf)
//
// Its errors describe the archive, not the component reading it: they name
// no component (no "ZipArchiver1: " in front of "Invalid archive file.").
#include "archive/ZFDirManager.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <tuple>
#include <utility>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "archive/ZFStrFunc.h"

namespace zf {

namespace {

// Windows of the scans: the end-record search covers the largest comment
// (65,535 bytes) behind a 22-byte record, with a little to spare.
constexpr int64_t kEndRecordWindow = 65600;
constexpr int64_t kLocalScanWindow = 65535;  // local headers, data descriptors
constexpr int64_t kPrefixScanWindow = 10000;
constexpr int64_t kDirectoryBuffer = 65536;
constexpr uint16_t kMaxRecoveredNameLength = 260;  // MAX_PATH: longer is no header
constexpr int64_t kMaxPosition = std::numeric_limits<int64_t>::max();

uint32_t SignatureAt(const uint8_t* p) { return Get32(p); }

// A Zip64 value as a signed position or size. Values beyond the signed range
// are no real position; they are kept at the top of the range instead of
// turning negative.
int64_t ToPosition(uint64_t v) {
  return v > static_cast<uint64_t>(kMaxPosition) ? kMaxPosition : static_cast<int64_t>(v);
}

// Calls onHit(position, window, offset in window) for every occurrence of
// the 4-byte pattern at or after from, window by window (windowSize bytes,
// consecutive windows overlapping by 3 bytes so that no position is tested
// twice), until onHit returns true or the stream ends. Returns the position
// onHit accepted, or -1. The stream position is restored.
//
// window/windowStart hold the last window read; a later scan that starts
// inside it goes on from there instead of reading again, which keeps the
// recovery scan, that moves on a few bytes at a time, linear in the file.
template <typename OnHit>
int64_t ScanStream(TStream& stream, int64_t size, std::vector<uint8_t>& window,
                   int64_t& windowStart, int64_t from, int64_t windowSize, uint32_t pattern,
                   OnHit&& onHit) {
  int64_t saved = -1;
  int64_t start = std::max<int64_t>(from, 0);
  int64_t result = -1;
  while (result < 0 && start <= size - 4) {
    const int64_t windowEnd = windowStart + static_cast<int64_t>(window.size());
    if (windowStart < 0 || start < windowStart || start + 4 > windowEnd) {
      if (saved < 0) saved = stream.GetPosition();
      const int64_t length = std::min(windowSize, size - start);
      window.resize(static_cast<size_t>(length));
      stream.SetPosition(start);
      stream.ReadBuffer(window.data(), length);
      windowStart = start;
    }
    const int64_t length = static_cast<int64_t>(window.size());
    for (int64_t k = start - windowStart; k + 4 <= length; ++k) {
      if (window[static_cast<size_t>(k)] != static_cast<uint8_t>(pattern)) continue;
      if (SignatureAt(window.data() + k) != pattern) continue;
      if (onHit(windowStart + k, std::span<const uint8_t>(window), static_cast<size_t>(k))) {
        result = windowStart + k;
        break;
      }
    }
    start = windowStart + length - 3;
  }
  if (saved >= 0) stream.SetPosition(saved);
  return result;
}

// A scan of its own, with a fresh window.
template <typename OnHit>
int64_t ScanStream(TStream& stream, int64_t from, int64_t windowSize, uint32_t pattern,
                   OnHit&& onHit) {
  std::vector<uint8_t> window;
  int64_t windowStart = -1;
  return ScanStream(stream, stream.GetSize(), window, windowStart, from, windowSize, pattern,
                    std::forward<OnHit>(onHit));
}

constexpr auto kFirstHit = [](int64_t, std::span<const uint8_t>, size_t) { return true; };

// Reads the central directory front to back through one buffer, so that a
// central header costs no system call of its own. In a volume set a record
// that runs past the end of its volume is read on at the start of the next
// one (nextVolume gives its stream).
class TDirectoryReader {
 public:
  void Reset(TStream* stream, int64_t position, std::function<TStream*()> nextVolume = {}) {
    stream_ = stream;
    size_ = stream->GetSize();
    position_ = position;
    buffer_.clear();
    bufferStart_ = position;
    if (nextVolume) nextVolume_ = std::move(nextVolume);
  }
  int64_t Position() const { return position_; }
  int64_t Remaining() const { return size_ - position_; }
  // Goes on at the start of the next volume.
  void NextVolume() { Reset(nextVolume_(), 0); }
  // Bytes read so far, over all volumes.
  int64_t Consumed() const { return consumed_; }

  // The next count bytes without reading past them; false when the current
  // volume does not hold them (nothing is read then).
  bool Peek(uint8_t* out, size_t count) {
    if (Remaining() < static_cast<int64_t>(count)) return false;
    const int64_t at = position_;
    const int64_t consumed = consumed_;
    Read(out, count);
    position_ = at;
    consumed_ = consumed;
    return true;
  }

  // Exactly count bytes, or EReadError when the stream ends first.
  void Read(uint8_t* out, size_t count) {
    while (count > 0) {
      const int64_t inBuffer = bufferStart_ + static_cast<int64_t>(buffer_.size()) - position_;
      if (position_ < bufferStart_ || inBuffer <= 0) {
        Fill();
        continue;
      }
      const size_t n = std::min(count, static_cast<size_t>(inBuffer));
      std::copy_n(buffer_.data() + (position_ - bufferStart_), n, out);
      out += n;
      count -= n;
      position_ += static_cast<int64_t>(n);
      consumed_ += static_cast<int64_t>(n);
    }
  }
  // The next count bytes, in the buffer when it holds them all, else read
  // into a scratch buffer: valid until the next read.
  std::span<const uint8_t> ReadSpan(size_t count) {
    const int64_t inBuffer = bufferStart_ + static_cast<int64_t>(buffer_.size()) - position_;
    if (position_ >= bufferStart_ && inBuffer >= static_cast<int64_t>(count)) {
      const uint8_t* p = buffer_.data() + (position_ - bufferStart_);
      position_ += static_cast<int64_t>(count);
      consumed_ += static_cast<int64_t>(count);
      return {p, count};
    }
    scratch_.resize(count);
    Read(scratch_.data(), count);
    return scratch_;
  }

 private:
  void Fill() {
    if (Remaining() <= 0 && nextVolume_) NextVolume();
    const int64_t length = std::min(kDirectoryBuffer, Remaining());
    if (position_ < 0 || length <= 0) throw EReadError("Stream read error");
    buffer_.resize(static_cast<size_t>(length));
    stream_->SetPosition(position_);
    stream_->ReadBuffer(buffer_.data(), length);
    bufferStart_ = position_;
  }

  TStream* stream_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  int64_t bufferStart_ = 0;
  int64_t consumed_ = 0;
  std::vector<uint8_t> scratch_;
  std::function<TStream*()> nextVolume_;
};

// Takes the parts a Zip64 extended information block holds into the item.
void ApplyZip64Info(TDirItem& item, const TZip64ExtendedInfo& info) {
  TDirItemZip64& values = item.Zip64Values();
  if (info.UncompressedSize) values.UncompressedSize = ToPosition(*info.UncompressedSize);
  if (info.CompressedSize) values.CompressedSize = ToPosition(*info.CompressedSize);
  if (info.LocalHeaderOffset) values.LocalHeaderOffset = ToPosition(*info.LocalHeaderOffset);
  if (info.DiskNumberStart) values.DiskStart = *info.DiskNumberStart;
}

// Sets the item's local header offset, in the 32-bit field while it fits
// there, else as a Zip64 value behind the sentinel.
void SetLocalHeaderOffset(TDirItem& item, int64_t offset) {
  if (offset >= 0 && offset < static_cast<int64_t>(kSentinel32)) {
    item.Header.LocalHeaderOffset = static_cast<uint32_t>(offset);
  } else {
    item.Header.LocalHeaderOffset = kSentinel32;
    item.Zip64Values().LocalHeaderOffset = offset;
  }
}

bool IsAscii(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b < 0x80 && b != 0; });
}

// One central header with its name, extra field and comment into item
// index of dir. The variable part is read in one piece and goes into the
// array's arena as it is, but for the name's decoding; a plain ASCII name,
// the usual case, needs none.
void ReadCentralItem(TZFDirArray& dir, int32_t index, TDirectoryReader& reader, bool oemNames) {
  TDirItem& item = dir.ItemRef(index);
  uint8_t fixed[kCentralFileHeaderSize];
  reader.Read(fixed, sizeof fixed);
  ReadCentralFileHeader(fixed, item.Header);
  const TCentralFileHeader& h = item.Header;

  const std::span<const uint8_t> rest =
      reader.ReadSpan(size_t{h.NameLength} + h.ExtraLength + h.CommentLength);
  const std::span<const uint8_t> stored = rest.first(h.NameLength);
  const std::span<const uint8_t> extra = rest.subspan(h.NameLength, h.ExtraLength);
  const std::span<const uint8_t> comment = rest.subspan(size_t{h.NameLength} + h.ExtraLength);

  // ParseExtraField keeps every block, cuts a block that claims more than
  // the field holds, and leaves a 1-3 byte tail unread.
  const TExtraField fields = extra.empty() ? TExtraField{} : ParseExtraField(extra);
  item.ForgetZip64Values();
  bool unicodePath = false;
  for (const TExtraBlock& block : fields.Blocks) {
    if (block.HeaderID == kExtraZip64)
      ApplyZip64Info(item, ReadZip64ExtendedInfo(block.Data, item.Header));
    unicodePath = unicodePath || block.HeaderID == kExtraUnicodePath;
  }

  // The name after the extra field, which may hold its Unicode Path. A
  // plain ASCII name without one, the usual case, needs no decoding.
  std::string decoded;
  std::string_view name(reinterpret_cast<const char*>(stored.data()), stored.size());
  if (!IsAscii(stored) || unicodePath)
    name = decoded = DecodeEntryName(name, h.Flags, HostOf(h.VersionMadeBy), oemNames, fields.Blocks);
  dir.SetItemText(index, name, extra,
                  std::string_view(reinterpret_cast<const char*>(comment.data()), comment.size()));
}

}  // namespace

TZFDirManager::TZFDirManager(TStream* stream, IZFVolumeSource& volumes, TZFDirSettings settings,
                             bool create)
    : archiveStream_(stream),
      createMode_(create),
      usesCustomStream_(stream != volumes.VolumeStream()),
      volumes_(volumes),
      settings_(std::move(settings)),
      dir_(std::make_unique<TZFDirArray>()) {
  ResetDirectory();
  if (create && !settings_.SFXStub.empty()) WriteStub();
}

TZFDirManager::~TZFDirManager() = default;

int32_t TZFDirManager::LastVolumeNumber() const {
  if (endRecord_.ThisDisk != kSentinel16) return endRecord_.ThisDisk;
  if (!isZip64_ || zip64Locator_.TotalDisks == 0) return 0;
  return static_cast<int32_t>(
      std::min<uint32_t>(zip64Locator_.TotalDisks - 1, std::numeric_limits<int32_t>::max()));
}

int64_t TZFDirManager::DataLimitOf(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= dataLimits_.size()) return -1;
  return dataLimits_[static_cast<size_t>(index)];
}

TZFEntryPlace TZFDirManager::PlaceOf(int32_t index) const {
  TZFEntryPlace place;
  const TDirItem& item = dir_->ItemRef(index);
  place.FirstVolume = static_cast<int32_t>(
      std::min<uint32_t>(item.DiskNumberStart(isZip64_), std::numeric_limits<int32_t>::max()));
  place.LastVolume = LastVolumeNumber();
  place.DataEnd = volumes_.MultiVolume() ? -1 : directoryStart_;
  place.DataLimit = DataLimitOf(index);
  return place;
}

std::string TZFDirManager::NameOfEntryAt(uint32_t volume, int64_t offset, int32_t except) const {
  // Asked only when an entry failed, so a walk is cheaper than an index
  // kept for every archive.
  for (int32_t i = 0; i < dir_->Count(); ++i) {
    const TDirItem& item = dir_->ItemRef(i);
    if (i != except && !item.IsDirectory() && item.LocalHeaderOffset() == offset &&
        item.DiskNumberStart(isZip64_) == volume)
      return std::string(item.Name());
  }
  return std::string();
}

int64_t TZFDirManager::StreamSize() const { return archiveStream_->GetSize(); }

void TZFDirManager::ResetDirectory() {
  dir_->SetCount(0);
  endRecord_ = TEndOfCentralDir();
  dataLimits_.clear();
}

void TZFDirManager::SwitchVolume(int32_t volume) {
  if (usesCustomStream_) return;
  volumes_.OpenVolumeNumber(volume, LastVolumeNumber());
  archiveStream_ = volumes_.VolumeStream();
}

// ---- finding the end records -------------------------------------------------

TZFDirManager::TEndRecordHit TZFDirManager::FindEndRecord(uint32_t signature) {
  TEndRecordHit hit;
  globalComment_.clear();
  const int64_t size = StreamSize();
  const int64_t window = std::min(size, kEndRecordWindow);
  if (window < static_cast<int64_t>(kEndOfCentralDirSize)) return hit;
  const int64_t windowStart = size - window;
  std::vector<uint8_t> bytes(static_cast<size_t>(window));
  archiveStream_->SetPosition(windowStart);
  archiveStream_->ReadBuffer(bytes.data(), window);

  // Backwards, so that the record nearest the end wins; a signature inside
  // the comment is taken only when its own comment length fits exactly.
  const int64_t lastStart = window - static_cast<int64_t>(kEndOfCentralDirSize);
  for (int64_t k = lastStart; k >= 0; --k) {
    const uint8_t* p = bytes.data() + k;
    if (SignatureAt(p) != signature) continue;
    TEndOfCentralDir record;
    ReadEndOfCentralDir(std::span<const uint8_t>(p, kEndOfCentralDirSize), record);
    const int64_t after = window - k - static_cast<int64_t>(kEndOfCentralDirSize);
    if (record.CommentLength != after) continue;
    hit.Found = true;
    hit.Position = windowStart + k;
    hit.Record = record;
    // The window holds the longest comment behind the record.
    globalComment_.assign(reinterpret_cast<const char*>(p) + kEndOfCentralDirSize,
                          record.CommentLength);
    archiveStream_->SetPosition(size);
    break;
  }
  return hit;
}

bool TZFDirManager::ProbeEndRecord() {
  const TEndRecordHit hit = FindEndRecord(kEndOfCentralDirSignature);
  // Kept for the probe's decision (LastVolumeNumber); ReadDirectory reads
  // it again.
  if (hit.Found) endRecord_ = hit.Record;
  return hit.Found;
}

// ---- reading the directory ---------------------------------------------------

void TZFDirManager::ReadDirectory() {
  ResetDirectory();
  prefixLength_ = 0;
  isZip64_ = false;
  zip64Locator_ = TZip64Locator();
  zip64EndRecord_ = TZip64EndOfCentralDir();
  directoryStart_ = 0;
  report_ = TZFDirReport();

  const TEndRecordHit hit = FindEndRecord(kEndOfCentralDirSignature);
  if (!hit.Found) {
    Handle({TZFDirProblem::NoEndRecord, -1, ProblemText(TZFDirProblem::NoEndRecord)});
    return;
  }
  report_.EndRecordFound = true;
  endRecord_ = hit.Record;
  report_.EntriesClaimed = endRecord_.TotalEntries;
  int64_t endRecords = hit.Position;  // P: where the end records begin

  if (endRecords > static_cast<int64_t>(kZip64LocatorSize)) {
    uint8_t bytes[kZip64LocatorSize];
    archiveStream_->SetPosition(endRecords - static_cast<int64_t>(kZip64LocatorSize));
    archiveStream_->ReadBuffer(bytes, sizeof bytes);
    TZip64Locator locator;
    ReadZip64Locator(bytes, locator);
    isZip64_ = locator.Signature == kZip64LocatorSignature;
    if (isZip64_) {
      zip64Locator_ = locator;
      endRecords -= static_cast<int64_t>(kZip64LocatorSize);
    }
  }

  if (isZip64_) {
    // The record is looked for where the locator points and, failing that,
    // right before the locator: a stub glued in front of a finished archive
    // moves it without changing the recorded offset, as it moves the
    // directory (which is found the same way, see ReadItems).
    const int64_t behind = endRecords - static_cast<int64_t>(kZip64EndOfCentralDirSize);
    if (behind <= 0 || (!ReadZip64EndRecordAt(zip64Locator_.Zip64RecordOffset) &&
                        !ReadZip64EndRecordAt(static_cast<uint64_t>(behind)))) {
      Handle({TZFDirProblem::NoZip64EndRecord, endRecords,
              ProblemText(TZFDirProblem::NoZip64EndRecord)});
      return;
    }
    endRecords = behind;
    report_.EntriesClaimed = static_cast<int64_t>(zip64EndRecord_.TotalEntries & 0xFFFFFFFFu);
  }

  if (!isZip64_ && endRecord_.TotalEntries == kSentinel16) {
    Handle({TZFDirProblem::EntryCountUnknown, hit.Position,
            ProblemText(TZFDirProblem::EntryCountUnknown)});
    return;
  }

  uint32_t firstVolume = endRecord_.DirectoryDisk;
  if (firstVolume == kSentinel16) firstVolume = isZip64_ ? zip64EndRecord_.DirectoryDisk : 0;
  const int32_t lastVolume = LastVolumeNumber();

  TZFDirFinding problem{TZFDirProblem::Unreadable, -1, ""};
  const bool recovered = !ReadItemsGuarded(endRecords, firstVolume, problem) &&
                         Handle(std::move(problem));

  if (lastVolume == 0) {
    DetectPrefixLength(endRecords);
    // Rebuilt offsets are positions in the file already.
    if (!recovered) {
      for (int32_t i = 0; i < dir_->Count(); ++i) {
        const TDirItem& item = dir_->ItemRef(i);
        if (item.Header.CompressedSize == 0) continue;
        if (item.LocalHeaderOffset() < static_cast<int64_t>(prefixLength_)) ApplyPrefixLength();
        break;
      }
    }
  }
  ComputeDataLimits();
}

// ---- the policy ----------------------------------------------------------------

TZFDirDecision TZFDirManager::Decide(const TZFDirFinding& finding) const {
  switch (finding.Problem) {
    case TZFDirProblem::NoZip64EndRecord:
      // A locator promises a Zip64 record; without it the entry count and
      // the directory's size are unknown, and the local headers of entries
      // past 4 GiB cannot be rebuilt well: refuse rather than guess.
      return TZFDirDecision::Refuse;
    case TZFDirProblem::EntryCountTooSmall:
      // Every header was read, the count alone was wrong (see ReadItems):
      // the directory is whole, and the finding tells the user.
      return TZFDirDecision::ReadOn;
    case TZFDirProblem::EntryCutShort:
      // Found by a rebuild, of which it is part: the entry the file ends
      // inside is listed and fails as truncated when decoded (one cut in
      // its name is not listed; the finding alone tells of it).
      return TZFDirDecision::ReadOn;
    case TZFDirProblem::NameIndexInvalid:
    case TZFDirProblem::NoEndRecord:
    case TZFDirProblem::EntryCountUnknown:
    case TZFDirProblem::EntryCountTooLarge:
    case TZFDirProblem::DirectoryOutsideFile:
    case TZFDirProblem::VolumeOutsideSet:
    case TZFDirProblem::HeaderCutShort:
    case TZFDirProblem::Unreadable:
      break;
  }
  // The pieces of a volume set cannot be told apart by their local headers
  // alone: a damaged set is refused.
  if (volumes_.MultiVolume()) return TZFDirDecision::Refuse;
  // Everything else is rebuilt from the local headers. The cases behind it:
  //  - no end record: a download or copy cut short, or an archive still
  //    being written when it was taken;
  //  - 0xFFFF entries without Zip64 records: writers that keep only the
  //    low 16 bits of a larger count (Info-ZIP zip before its Zip64
  //    support), so the count cannot be trusted;
  //  - a count, size or offset that does not fit the file, a header cut
  //    short, a directory running past the last volume, or a read error:
  //    the directory itself is damaged, while the entries' local headers
  //    in front of it may be whole.
  return TZFDirDecision::Rebuild;
}

bool TZFDirManager::Handle(TZFDirFinding finding) {
  report_.Findings.push_back(std::move(finding));
  const TZFDirFinding& f = report_.Findings.back();
  switch (Decide(f)) {
    case TZFDirDecision::ReadOn:
      return false;
    case TZFDirDecision::Refuse:
      Refuse(f);
    case TZFDirDecision::Rebuild:
      break;
  }
  report_.RebuildFinding = static_cast<int32_t>(report_.Findings.size() - 1);
  RecoverDirectory();
  report_.Rebuilt = true;
  report_.LocalHeadersUsed = dir_->Count();
  return true;
}

void TZFDirManager::Refuse(const TZFDirFinding& finding) const {
  if (finding.Problem == TZFDirProblem::NoZip64EndRecord)
    throw EZFException(neNoZip64EndRecord, nullptr);
  throw EZFException(neOpenAborted, nullptr);
}

// Reads the Zip64 end record at position; true when it is there (its
// signature matches).
bool TZFDirManager::ReadZip64EndRecordAt(uint64_t position) {
  const uint64_t size = static_cast<uint64_t>(StreamSize());
  if (position > size || size - position < kZip64EndOfCentralDirSize) return false;
  uint8_t bytes[kZip64EndOfCentralDirSize];
  archiveStream_->SetPosition(static_cast<int64_t>(position));
  archiveStream_->ReadBuffer(bytes, sizeof bytes);
  ReadZip64EndOfCentralDir(bytes, zip64EndRecord_);
  return zip64EndRecord_.Signature == kZip64EndOfCentralDirSignature;
}

// ReadItems under a guard: what a damaged directory throws on the way (a
// short read, an index out of step, a volume outside the set) becomes a
// finding at the position reached. A volume the user refused to supply is
// no damage: the open stops.
bool TZFDirManager::ReadItemsGuarded(int64_t endRecords, uint32_t firstVolume,
                                     TZFDirFinding& problem) {
  try {
    return ReadItems(endRecords, firstVolume, problem);
  } catch (const EZFException& e) {
    // Nor is a directory too large to hold: rebuilding it would not fit either.
    if (e.NativeError() == neVolumeRequestCancelled || e.NativeError() == neDirectoryTooLarge)
      throw;
    problem.Problem = e.NativeError() == neNameIndexInvalid ? TZFDirProblem::NameIndexInvalid
                      : e.NativeError() == neOpenAborted    ? TZFDirProblem::VolumeOutsideSet
                                                            : TZFDirProblem::Unreadable;
    problem.Text = ProblemText(problem.Problem);
  } catch (const EReadError&) {
    problem.Problem = TZFDirProblem::HeaderCutShort;
    problem.Text = ProblemText(problem.Problem);
  } catch (const std::bad_alloc&) {
    throw;  // no damage either: the component's open reports it
  } catch (const std::exception& e) {
    problem.Problem = TZFDirProblem::Unreadable;
    problem.Text = std::string(ProblemText(problem.Problem)) + ": " + e.what();
  }
  return false;
}

// Positions at the directory and reads every central header. False with
// the problem met (its offset, when it is known, is where the reading
// stood).
bool TZFDirManager::ReadItems(int64_t endRecords, uint32_t firstVolume, TZFDirFinding& problem) {
  const auto found = [&](TZFDirProblem p, int64_t offset) {
    problem = {p, offset, ProblemText(p)};
    return false;
  };
  const bool singleFile = !volumes_.MultiVolume();
  // The directory lies on the volumes from its first to the last one; a
  // record that names others is damaged, and no volume is asked for twice.
  const int32_t lastVolume = LastVolumeNumber();
  if (!singleFile && firstVolume > static_cast<uint32_t>(lastVolume))
    return found(TZFDirProblem::VolumeOutsideSet, endRecords);
  int32_t volume = static_cast<int32_t>(std::min<uint32_t>(firstVolume, INT32_MAX));
  if (!singleFile) SwitchVolume(volume);
  const auto nextVolume = [&]() -> TStream* {
    if (volume >= lastVolume) throw EZFException(neOpenAborted, nullptr);
    SwitchVolume(++volume);
    return archiveStream_;
  };

  const uint64_t directorySize =
      isZip64_ ? zip64EndRecord_.DirectorySize : endRecord_.DirectorySize;
  const uint64_t entries = isZip64_ ? (zip64EndRecord_.TotalEntries & 0xFFFFFFFFu)
                                    : endRecord_.TotalEntries;
  // Every entry takes at least a fixed central header; a count the
  // directory cannot hold is damage, never an allocation size.
  if (entries > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ||
      entries * kCentralFileHeaderSize > directorySize)
    return found(TZFDirProblem::EntryCountTooLarge, endRecords);

  int64_t start;
  if (singleFile) {
    // Counted back from the end records rather than taken from the recorded
    // offset, so that a directory that moved with a stub in front is found
    // (a self-extractor made by gluing a stub to a finished archive).
    if (directorySize > static_cast<uint64_t>(endRecords))
      return found(TZFDirProblem::DirectoryOutsideFile, endRecords);
    start = endRecords - static_cast<int64_t>(directorySize);
  } else {
    const uint64_t recorded =
        isZip64_ ? zip64EndRecord_.DirectoryOffset : endRecord_.DirectoryOffset;
    if (recorded > static_cast<uint64_t>(StreamSize()))
      return found(TZFDirProblem::DirectoryOutsideFile, endRecords);
    start = static_cast<int64_t>(recorded);
  }

  TDirectoryReader reader;
  if (singleFile)
    reader.Reset(archiveStream_, start);
  else
    reader.Reset(archiveStream_, start, nextVolume);
  directoryStart_ = start;
  // Slots for what this volume can hold now; the rest, if the directory
  // goes on in the next volumes, as the headers are actually read.
  const int64_t fits = std::max<int64_t>(reader.Remaining(), 0) /
                       static_cast<int64_t>(kCentralFileHeaderSize);
  dir_->SetCount(static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(entries), fits)));

  const int32_t count = static_cast<int32_t>(entries);
  for (int32_t i = 0; i < count; ++i) {
    // Where this header starts, for the report should it break.
    problem.Offset = reader.Position();
    // A header that does not fit in what is left of a volume starts the
    // next one. (The signature of a central header is not checked: the
    // sizes and names that follow are, as they are read.)
    if (!singleFile && reader.Remaining() < static_cast<int64_t>(kCentralFileHeaderSize))
      reader.NextVolume();
    if (i == 0) directoryStart_ = reader.Position();
    if (i >= dir_->Count()) dir_->SetCount(i + 1);
    ReadCentralItem(*dir_, i, reader, settings_.OEMFileNames);
    report_.EntriesRead = i + 1;
  }

  // Central headers beyond the count that the directory's size still holds
  // are read as well: an end record that counts fewer entries than there
  // are (Info-ZIP zip keeps only the low 16 bits of a count above 65535
  // when it writes no Zip64 records; a damaged count) would otherwise lose
  // the rest without a word. Each must carry its signature and end inside
  // the declared size, so both fields bound what is read.
  const auto anotherHeader = [&] {
    const int64_t left = static_cast<int64_t>(std::min<uint64_t>(directorySize, kMaxPosition)) -
                         reader.Consumed();
    if (left < static_cast<int64_t>(kCentralFileHeaderSize)) return false;
    if (!singleFile && reader.Remaining() < static_cast<int64_t>(kCentralFileHeaderSize) &&
        volume < lastVolume)
      reader.NextVolume();
    uint8_t fixed[kCentralFileHeaderSize];
    if (!reader.Peek(fixed, sizeof fixed)) return false;
    TCentralFileHeader next;
    ReadCentralFileHeader(fixed, next);
    const int64_t length = static_cast<int64_t>(kCentralFileHeaderSize) + next.NameLength +
                           next.ExtraLength + next.CommentLength;
    return next.Signature == kCentralFileHeaderSignature && length <= left;
  };
  const int64_t claimed = static_cast<int64_t>(entries);
  if (!anotherHeader()) return true;
  const int64_t uncounted = reader.Position();
  for (int32_t i = count; i < std::numeric_limits<int32_t>::max() && anotherHeader(); ++i) {
    problem.Offset = reader.Position();
    dir_->SetCount(i + 1);
    ReadCentralItem(*dir_, i, reader, settings_.OEMFileNames);
    report_.EntriesRead = i + 1;
  }
  problem = {TZFDirProblem::EntryCountTooSmall, uncounted,
             ProblemText(TZFDirProblem::EntryCountTooSmall) + std::string(": ") +
                 std::to_string(claimed) + " counted, " + std::to_string(report_.EntriesRead) +
                 " read"};
  return false;
}

// ---- the self-extractor prefix ---------------------------------------------

// Whether the local header at position is item 0's: one that can be read in
// full (30 bytes and its name) and that, anywhere but at the very start of
// the file, repeats item 0's CRC-32, version, method, time, date and sizes.
bool TZFDirManager::AcceptsAsFirstLocalHeader(int64_t position, int64_t size,
                                              std::span<const uint8_t> window, size_t offset,
                                              const TDirItem& first) {
  if (size - position < static_cast<int64_t>(kLocalFileHeaderSize)) return false;
  uint8_t raw[kLocalFileHeaderSize];
  if (window.size() - offset >= kLocalFileHeaderSize) {
    std::copy_n(window.data() + offset, kLocalFileHeaderSize, raw);
  } else {
    archiveStream_->SetPosition(position);
    archiveStream_->ReadBuffer(raw, sizeof raw);
  }
  TLocalFileHeader local;
  ReadLocalFileHeader(raw, local);
  if (size - position - static_cast<int64_t>(kLocalFileHeaderSize) < local.NameLength)
    return false;
  if (local.Signature != kLocalFileHeaderSignature &&
      local.Signature != kLocalFileHeaderAltSignature)
    return false;
  if (position == 0) return true;
  const TCentralFileHeader& c = first.Header;
  if (local.Crc32 != c.Crc32 || local.VersionNeeded != c.VersionNeeded ||
      local.Method != c.Method || local.ModTime != c.ModTime || local.ModDate != c.ModDate)
    return false;
  if (local.CompressedSize == c.CompressedSize && local.UncompressedSize == c.UncompressedSize)
    return true;
  // A Zip64 local header (Python's zipfile with force_zip64, for one) holds
  // its sizes in its Zip64 block, while the central header may hold them
  // plainly: the sizes are compared as values.
  TDirItem sizes;
  sizes.Header.CompressedSize = local.CompressedSize;
  sizes.Header.UncompressedSize = local.UncompressedSize;
  const int64_t extraStart =
      position + static_cast<int64_t>(kLocalFileHeaderSize) + local.NameLength;
  const bool zip64Sizes =
      local.CompressedSize == kSentinel32 || local.UncompressedSize == kSentinel32;
  if (zip64Sizes && !ReadLocalZip64Sizes(sizes, extraStart, local.ExtraLength)) return false;
  return sizes.CompressedSize() == first.CompressedSize() &&
         sizes.UncompressedSize() == first.UncompressedSize();
}

void TZFDirManager::DetectPrefixLength(int64_t endRecords) {
  // An empty archive: everything ahead of its end records is prefix. (Asked
  // of the items read, not of the end record's count, which a Zip64 archive
  // need not fill in.)
  if (dir_->Count() == 0) {
    prefixLength_ = static_cast<uint64_t>(std::max<int64_t>(endRecords, 0));
    return;
  }
  const TDirItem& first = dir_->ItemRef(0);
  const int64_t from = first.LocalHeaderOffset();
  const int64_t size = StreamSize();
  if (from < 0 || from >= size) return;
  // Every candidate is tested inside the scan, so a prefix full of local
  // header signatures costs one pass, not one window per signature.
  const int64_t hit = ScanStream(
      *archiveStream_, from, kPrefixScanWindow, kLocalFileHeaderSignature,
      [&](int64_t position, std::span<const uint8_t> window, size_t offset) {
        return AcceptsAsFirstLocalHeader(position, size, window, offset, first);
      });
  if (hit >= 0) prefixLength_ = static_cast<uint64_t>(hit);
  ForgetScanWindows();  // the Zip64 reads above took the stream's size
}

void TZFDirManager::ApplyPrefixLength() {
  const int64_t prefix = static_cast<int64_t>(prefixLength_);
  for (int32_t i = 0; i < dir_->Count(); ++i) {
    TDirItem& item = dir_->ItemRef(i);
    if (item.IsDirectory()) continue;
    const int64_t offset = item.LocalHeaderOffset();
    // An offset this close to the top is no position in any file; it stays
    // as it is rather than wrap.
    if (offset > kMaxPosition - prefix) continue;
    if (item.Header.LocalHeaderOffset == kSentinel32)
      item.Zip64Values().LocalHeaderOffset = offset + prefix;
    else
      SetLocalHeaderOffset(item, offset + prefix);  // past 32 bits: moves to Zip64
  }
}

int64_t TZFDirManager::SearchForward(TStream& stream, int64_t position, uint32_t pattern) {
  return ScanStream(stream, position, kPrefixScanWindow, pattern, kFirstHit);
}

// ---- the recovery scan ---------------------------------------------------------

int64_t TZFDirManager::FindNextLocalHeader(int64_t from) {
  const int64_t size = ScanStreamSize();
  const int64_t hit = ScanStream(*archiveStream_, size, localScanWindow_, localScanStart_, from,
                                 kLocalScanWindow, kLocalFileHeaderSignature, kFirstHit);
  if (hit < 0) return -1;
  if (size - hit < static_cast<int64_t>(kLocalFileHeaderSize)) {
    shortHeaderAt_ = hit;
    return -1;
  }
  return hit;
}

bool TZFDirManager::FindDataDescriptor(int64_t from, TDataDescriptor& out) {
  // The first descriptor at or after from is also the first one for any
  // later start up to it: remembering the last answer keeps a run of
  // entries without descriptors from scanning the rest of the file each.
  int64_t hit;
  if (descriptorScanFrom_ >= 0 && from >= descriptorScanFrom_ &&
      (descriptorScanHit_ < 0 || from <= descriptorScanHit_)) {
    hit = descriptorScanHit_;
  } else {
    hit = ScanStream(*archiveStream_, ScanStreamSize(), descriptorScanWindow_,
                     descriptorScanStart_, from, kLocalScanWindow, kDataDescriptorSignature,
                     kFirstHit);
    descriptorScanFrom_ = from;
    descriptorScanHit_ = hit;
  }
  if (hit < 0 || ScanStreamSize() - hit < static_cast<int64_t>(kDataDescriptorSize)) return false;
  uint8_t raw[kDataDescriptorSize];
  ReadScanned(descriptorScanWindow_, descriptorScanStart_, hit, raw, sizeof raw);
  return ReadDataDescriptor(raw, out);
}

void TZFDirManager::RecoverDirectory() {
  dir_->Clear();
  dataLimits_.clear();
  ForgetScanWindows();
  cutShortItem_ = -1;
  shortHeaderAt_ = -1;
  int64_t position = FindNextLocalHeader(0);
  if (position < 0) {
    // A signature with less than a header behind it: an archive cut inside
    // its first entry's header, not a file of another kind.
    TZFErrorDetail detail;
    if (shortHeaderAt_ >= 0) detail.Cause = TZFCause::Truncated, detail.EntryOffset = shortHeaderAt_;
    throw EZFException(neInvalidArchive, nullptr).WithDetail(std::move(detail));
  }
  // An entry the file ends inside (a download or copy cut short) is held
  // back until the scan is over: only the last header of the file can be
  // cut short, and a header found behind it shows that it was no entry
  // but a signature in the data of another.
  std::optional<TRecovered> cutShort;
  int64_t lastDataEnd = -1;  // of the last entry taken whole
  while (position >= 0) {
    TRecovered recovered;
    int64_t next = position + 4;
    if (RecoverItemAt(position, recovered)) {
      if (recovered.CutShort) {
        cutShort = std::move(recovered);
      } else {
        // An entry with a data descriptor and none behind it (its sizes
        // unknown) followed by another was kept as the local header says.
        if (cutShort && (cutShort->Item.Header.Flags & kFlagDataDescriptor) &&
            cutShort->NameRead)
          AppendRecovered(*cutShort);
        cutShort.reset();
        // On past the data when its extent is known: a local header inside
        // it is data (a stored archive in the archive), not an entry, and
        // taking it for one would fail the outer entry as overlapped.
        // Otherwise on from just past the signature, as the data may hold
        // the next header.
        next = std::max(next, recovered.DataEnd);
        lastDataEnd = recovered.DataEnd;
        AppendRecovered(recovered);
      }
    }
    position = FindNextLocalHeader(next);
  }
  int64_t cutAt = shortHeaderAt_;
  if (cutAt < 0 && !cutShort) cutAt = SignatureCutAt(lastDataEnd);
  if (cutShort) {
    cutAt = cutShort->Item.LocalHeaderOffset();
    if (cutShort->NameRead) {
      AppendRecovered(*cutShort);
      cutShortItem_ = dir_->Count() - 1;
    }
  }
  ForgetScanWindows();
  if (dir_->Count() == 0) {
    // Nothing but a header cut short: an archive cut inside its first entry.
    TZFErrorDetail detail;
    if (cutAt >= 0) detail.Cause = TZFCause::Truncated, detail.EntryOffset = cutAt;
    throw EZFException(neInvalidArchive, nullptr).WithDetail(std::move(detail));
  }
  directoryStart_ = StreamSize();
  ComputeDataLimits();
  if (cutAt >= 0)
    Handle({TZFDirProblem::EntryCutShort, cutAt, ProblemText(TZFDirProblem::EntryCutShort)});
}

// A file that ends one to three bytes behind the last entry's data, and
// those bytes begin a local header's signature ("P", "PK", "PK\3"): the
// next entry's header was cut off there, and its entry is lost. Too short
// for the scan to see; anything else there is left alone.
int64_t TZFDirManager::SignatureCutAt(int64_t dataEnd) {
  const int64_t size = ScanStreamSize();
  if (dataEnd < 0 || size - dataEnd <= 0 || size - dataEnd >= 4) return -1;
  uint8_t tail[3] = {};
  const auto length = static_cast<size_t>(size - dataEnd);
  const int64_t saved = archiveStream_->GetPosition();
  archiveStream_->SetPosition(dataEnd);
  archiveStream_->ReadBuffer(tail, static_cast<int64_t>(length));
  archiveStream_->SetPosition(saved);
  for (size_t i = 0; i < length; ++i)
    if (tail[i] != static_cast<uint8_t>(kLocalFileHeaderSignature >> (8 * i))) return -1;
  return dataEnd;
}

void TZFDirManager::AppendRecovered(TRecovered& recovered) {
  const int32_t index = dir_->Count();
  dir_->SetCount(index + 1);
  dir_->ItemRef(index) = std::move(recovered.Item);
  dir_->RenameItem(index, recovered.Name);
}

void TZFDirManager::ForgetScanWindows() {
  std::vector<uint8_t>().swap(localScanWindow_);
  std::vector<uint8_t>().swap(descriptorScanWindow_);
  localScanStart_ = descriptorScanStart_ = -1;
  descriptorScanFrom_ = descriptorScanHit_ = -1;
  scanStreamSize_ = -1;
}

int64_t TZFDirManager::ScanStreamSize() {
  if (scanStreamSize_ < 0) scanStreamSize_ = StreamSize();
  return scanStreamSize_;
}

// count bytes at position, from the scan window when it holds them (the
// header just found usually lies there), else from the stream. The caller
// has checked that the bytes lie inside the stream.
void TZFDirManager::ReadScanned(const std::vector<uint8_t>& window, int64_t windowStart,
                                int64_t position, uint8_t* out, size_t count) {
  if (windowStart >= 0 && position >= windowStart &&
      windowStart + static_cast<int64_t>(window.size()) - position >=
          static_cast<int64_t>(count)) {
    std::copy_n(window.data() + (position - windowStart), count, out);
    return;
  }
  archiveStream_->SetPosition(position);
  archiveStream_->ReadBuffer(out, static_cast<int64_t>(count));
}

// Builds the item of the local header at position, unless the header is
// implausible (a name longer than a path can be) or its sizes cannot be
// known. An entry the file ends inside (its name, extra field or data not
// all there, or its data descriptor missing) is marked CutShort.
bool TZFDirManager::RecoverItemAt(int64_t position, TRecovered& out) {
  const int64_t size = ScanStreamSize();
  uint8_t raw[kLocalFileHeaderSize];
  ReadScanned(localScanWindow_, localScanStart_, position, raw, sizeof raw);
  TLocalFileHeader local;
  ReadLocalFileHeader(raw, local);
  if (local.NameLength > kMaxRecoveredNameLength) return false;

  TDirItem& item = out.Item;
  TCentralFileHeader& h = item.Header;
  h.Signature = kCentralFileHeaderSignature;
  h.VersionMadeBy = h.VersionNeeded = local.VersionNeeded;
  h.Flags = local.Flags;
  h.Method = local.Method;
  h.ModTime = local.ModTime;
  h.ModDate = local.ModDate;
  h.Crc32 = local.Crc32;
  h.CompressedSize = local.CompressedSize;
  h.UncompressedSize = local.UncompressedSize;
  h.NameLength = local.NameLength;
  h.ExtraLength = local.ExtraLength;
  SetLocalHeaderOffset(item, position);

  const int64_t nameEnd = position + static_cast<int64_t>(kLocalFileHeaderSize) + local.NameLength;
  const int64_t dataStart = nameEnd + local.ExtraLength;
  if (nameEnd > size) {
    out.CutShort = true;
    return true;
  }
  out.NameRead = true;
  std::vector<uint8_t> extra;
  if (local.NameLength != 0) {
    std::string stored(local.NameLength, '\0');
    ReadScanned(localScanWindow_, localScanStart_,
                position + static_cast<int64_t>(kLocalFileHeaderSize),
                reinterpret_cast<uint8_t*>(stored.data()), local.NameLength);
    // The local extra field may hold the name's Unicode Path.
    if (local.ExtraLength != 0 && dataStart <= size) {
      extra.resize(local.ExtraLength);
      ReadScanned(localScanWindow_, localScanStart_, nameEnd, extra.data(), local.ExtraLength);
    }
    // A local header names no host (its version is the one needed).
    out.Name = DecodeEntryName(stored, local.Flags, kUnknownHost, settings_.OEMFileNames,
                               ParseExtraField(extra).Blocks);
  }
  // A local header holds no attributes: a folder is an entry whose name
  // ends with a separator, everything else is a file (an empty one too,
  // which a size-based guess would turn into a folder).
  h.ExternalAttributes =
      !out.Name.empty() && IsSeparator(out.Name.back()) ? os::faDirectory : os::faArchive;
  if (dataStart > size) {
    out.CutShort = true;
    return true;
  }

  const bool zip64Sizes =
      local.CompressedSize == kSentinel32 || local.UncompressedSize == kSentinel32;
  if (zip64Sizes && !ReadLocalZip64Sizes(item, nameEnd, local.ExtraLength)) return false;
  if (!(local.Flags & kFlagDataDescriptor)) {
    // A hostile Zip64 size may be near the largest number: compared with
    // the room left, never added to the offset before it is known to fit.
    const int64_t compressed = item.CompressedSize();
    out.CutShort = compressed < 0 || compressed > size - dataStart;
    if (!out.CutShort) out.DataEnd = dataStart + compressed;
    return true;
  }
  // The data's extent, for an entry with a data descriptor: from the first
  // descriptor behind it, when that one's size says the data ends right
  // where it stands. Without any descriptor behind it the file ends inside
  // the entry's data.
  TDataDescriptor descriptor;
  if (!FindDataDescriptor(position, descriptor)) {
    out.CutShort = true;
    return true;
  }
  if (!zip64Sizes && descriptorScanHit_ - dataStart == descriptor.CompressedSize)
    out.DataEnd = descriptorScanHit_;
  h.Crc32 = descriptor.Crc32;
  // A Zip64 descriptor holds 8-byte sizes; its 4-byte reading would be
  // wrong, so such an entry keeps the sizes of its Zip64 block.
  if (!zip64Sizes) {
    h.CompressedSize = descriptor.CompressedSize;
    h.UncompressedSize = descriptor.UncompressedSize;
  }
  return true;
}

// The sizes of a local header whose size fields hold the sentinel, from the
// Zip64 block of its local extra field, which holds both sizes
// (uncompressed first) whichever of them overflowed. False when the field
// lies outside the stream or holds no such block.
bool TZFDirManager::ReadLocalZip64Sizes(TDirItem& item, int64_t extraStart, uint16_t extraLength) {
  if (extraLength == 0 || ScanStreamSize() - extraStart < extraLength) return false;
  std::vector<uint8_t> field(extraLength);
  ReadScanned(localScanWindow_, localScanStart_, extraStart, field.data(), extraLength);
  TCentralFileHeader bothSizes;
  bothSizes.CompressedSize = bothSizes.UncompressedSize = kSentinel32;
  for (const TExtraBlock& block : ParseExtraField(field).Blocks) {
    if (block.HeaderID != kExtraZip64) continue;
    const TZip64ExtendedInfo info = ReadZip64ExtendedInfo(block.Data, bothSizes);
    if (!info.UncompressedSize || !info.CompressedSize) return false;
    TDirItemZip64& values = item.Zip64Values();
    if (item.Header.UncompressedSize == kSentinel32)
      values.UncompressedSize = ToPosition(*info.UncompressedSize);
    if (item.Header.CompressedSize == kSentinel32)
      values.CompressedSize = ToPosition(*info.CompressedSize);
    return true;
  }
  return false;
}

// ---- overlapped entries ----------------------------------------------------------

void TZFDirManager::ComputeDataLimits() {
  struct TPlace {
    uint32_t Disk;
    int64_t Offset;
    int32_t Index;
  };
  const int32_t count = dir_->Count();
  std::vector<TPlace> places;
  places.reserve(static_cast<size_t>(count));
  // Folder items take no part: no data of theirs is ever read, and behind a
  // stub their offsets stay counted from the archive start (see
  // ApplyPrefixLength), so they could fall inside a file's data.
  for (int32_t i = 0; i < count; ++i) {
    const TDirItem& item = dir_->ItemRef(i);
    if (!item.IsDirectory())
      places.push_back({item.DiskNumberStart(isZip64_), item.LocalHeaderOffset(), i});
  }
  std::sort(places.begin(), places.end(), [](const TPlace& a, const TPlace& b) {
    return std::tie(a.Disk, a.Offset, a.Index) < std::tie(b.Disk, b.Offset, b.Index);
  });
  dataLimits_.assign(static_cast<size_t>(count), -1);
  for (size_t g = 0; g < places.size();) {
    size_t end = g + 1;
    while (end < places.size() && places[end].Disk == places[g].Disk &&
           places[end].Offset == places[g].Offset)
      ++end;
    int64_t limit;
    if (end - g > 1)
      limit = places[g].Offset;  // a shared local header: no entry may own it
    else if (end < places.size() && places[end].Disk == places[g].Disk)
      limit = places[end].Offset;
    else
      limit = -1;
    for (size_t k = g; k < end; ++k) dataLimits_[static_cast<size_t>(places[k].Index)] = limit;
    g = end;
  }
}

// ---- a new archive -------------------------------------------------------------

void TZFDirManager::WriteStub() {
  TFileStream stub(settings_.SFXStub, TFileMode::fmOpenReadDenyNone);
  const int64_t stubSize = stub.GetSize();
  if (volumes_.MultiVolume()) {
    const int64_t limit = settings_.FirstVolumeLimit;
    if (limit > 0 && limit < stubSize) throw EZFException(neStubTooLarge, nullptr);
  }
  archiveStream_->SetSize(0);
  archiveStream_->SetPosition(0);
  if (stubSize > 0) archiveStream_->CopyFrom(stub, 0);
  prefixLength_ = static_cast<uint64_t>(stubSize);
}

void TZFDirManager::WriteDirectory(TStream* stream) {
  if (stream) archiveStream_ = stream;
  const int64_t end = StreamSize();
  const int32_t volume = std::max(volumes_.VolumeNumber(), 0);
  endRecord_ = EmptyArchiveEndRecord(static_cast<uint32_t>(volume), static_cast<uint64_t>(end));
  const size_t commentLength = std::min<size_t>(globalComment_.size(), 0xFFFF);
  endRecord_.CommentLength = static_cast<uint16_t>(commentLength);
  std::vector<uint8_t> bytes;
  PutEndOfCentralDir(bytes, endRecord_);
  bytes.insert(bytes.end(), globalComment_.begin(),
               globalComment_.begin() + static_cast<std::ptrdiff_t>(commentLength));
  archiveStream_->SetPosition(end);
  archiveStream_->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace zf
