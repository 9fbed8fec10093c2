// The entry data codec (see ZFCodec.h): one DecodeEntry call reads one
// entry's local header and data and writes the plain bytes.
#include "archive/ZFCodec.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <memory>
#include <span>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFCipher.h"
#include "archive/ZFConst.h"
#include "archive/ZFCrc32.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFRecords.h"
#include "archive/ZFZlib.h"

namespace zf {

namespace {

constexpr uint32_t kChunkSize = 0x100000;  // compressed bytes per read, at most
constexpr uint32_t kMinChunkSize = 512;    // the memory rule stops halving below this
constexpr uint32_t kMemoryShare = 20;      // a chunk's output may take 1/20 of free memory
constexpr size_t kWrapperSize = 2;         // zlib header put in front of raw deflate data
constexpr size_t kBlockHeaderSize = 50;    // block-structured entries
constexpr size_t kBlockCheckSize = 16;     // their password check block
// A block of the block-structured format is read whole; its length comes
// from the archive, so it is held to this as well as to the entry's data.
constexpr int64_t kMaxBlockLength = 16 * 1024 * 1024;

}  // namespace

// ---- volumes -------------------------------------------------------------------

TZFVolumeCursor::TZFVolumeCursor(TZFBaseArchiver& archiver, int32_t firstVolume, int32_t lastVolume)
    : archiver_(archiver),
      stream_(archiver.ArchiveStream()),
      number_(firstVolume),
      last_(lastVolume) {}

bool TZFVolumeCursor::ReadAcrossVolumes(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t got = std::max<int64_t>(0, stream_->Read(out, count));
  while (got < count) {
    if (!NextVolume()) return false;
    const int64_t n = stream_->Read(out + got, count - got);
    if (n <= 0) return false;  // a fresh volume that yields nothing ends the set
    got += n;
  }
  return true;
}

bool TZFVolumeCursor::NextVolume() {
  // In a single file there is no next volume: "opening" one keeps the same
  // stream, and reading on from its position 0 would take the archive's
  // first bytes for the rest of this entry.
  if (archiver_.GetSpanningMode() == smNone || number_ >= last_) return false;
  TZFVolumeNumberInfo next;
  next.LastNumber = last_;
  next.SetNumber(number_ + 1);
  archiver_.OpenVolume(next);
  // A request answered with no file name opens nothing and raises nothing.
  if (archiver_.ArchiveStream() == nullptr || archiver_.CurrentVolume().Number != next.Number)
    return false;
  number_ = next.Number;
  stream_ = archiver_.ArchiveStream();
  stream_->SetPosition(0);
  return true;
}

// ---- chunk sizing --------------------------------------------------------------

uint64_t OutputEstimate(uint64_t ratio, uint32_t n) {
  const uint64_t span = uint64_t{n} + n / 2 + 267;
  const uint64_t factor = ratio == UINT64_MAX ? ratio : ratio + 1;
  uint64_t e = factor > UINT64_MAX / span ? UINT64_MAX : factor * span;
  e &= ~uint64_t{255};  // at least 256: span is above 267
  // e lies in [2^k, 2^(k+1)); log2(e) rounds up when e > 2^k * sqrt(2), that
  // is e^2 > 2^(2k+1). Never a tie, as sqrt(2) is irrational. The test runs
  // on the top 32 bits of e, which is exact up to 2^32 and beyond that only
  // decides between estimates no memory threshold can reach.
  const int k = std::bit_width(e) - 1;
  const int shift = std::max(0, k - 31);
  const uint64_t top = e >> shift;
  const bool roundUp = top * top > (uint64_t{1} << (2 * (k - shift) + 1));
  if (!roundUp) return uint64_t{1} << k;
  return k == 63 ? UINT64_MAX : uint64_t{1} << (k + 1);
}

uint32_t ChunkLength(int64_t remaining, uint64_t ratio, uint32_t availableMemory) {
  const uint32_t threshold = availableMemory / kMemoryShare;
  uint32_t n = static_cast<uint32_t>(std::min<int64_t>(kChunkSize, remaining)) * 2;
  for (;;) {
    n /= 2;
    if (n < kMinChunkSize || OutputEstimate(ratio, n) < threshold) return n;
  }
}

namespace {

// ---- per-call state --------------------------------------------------------------

struct TDecodeState {
  TDecodeState(TZFBaseArchiver& a, TStream& d, const TDirItem& i, const TZFVolumeCursor& v)
      : archiver(a), destination(d), item(i), volumes(v), header(i.Header) {}

  TZFBaseArchiver& archiver;
  TStream& destination;
  const TDirItem& item;
  TZFVolumeCursor volumes;
  TCentralFileHeader header;  // copy of the central header image
  TLocalFileHeader local;
  bool encrypted = false;
  TZFKeys keys;
  int64_t compressedSize = 0;  // of the data still to read, cut and checked
  uint64_t declaredSize = 0;   // uncompressed size, below 2^63: nothing is written beyond it
  int64_t consumed = 0;        // compressed bytes read
  uint64_t produced = 0;       // plain bytes written
  uint32_t crc = 0xFFFFFFFF;
  long double progressTotal = 0;  // ProcessedBytes runs up to this
  bool cancelled = false;
};

// ---- stages shared by both formats -------------------------------------------------

// Sets the progress state and raises the file and overall progress events
// (ppProcess). False when a handler cancelled: the codec stops there.
bool ReportProgress(TDecodeState& s) {
  TZFBaseArchiver& a = s.archiver;
  const long double total = s.progressTotal;
  a.ProcessedBytes = static_cast<long double>(s.consumed);
  a.EntrySize = total;
  const long double part = total > 0 ? a.ProcessedBytes / total : 0;
  bool cancel = false;
  a.DoFileProgress(s.item.Name, static_cast<double>(part * 100), s.item.ItemOperation, ppProcess,
                   cancel);
  if (!cancel) {
    // Outside an extraction run nothing is selected; count this entry alone.
    const long double selected = std::max<int32_t>(1, a.EntriesSelected);
    a.DoOverallProgress(static_cast<double>((part + a.EntriesDone) / selected * 100),
                        s.item.ItemOperation, ppProcess, cancel);
  }
  if (cancel) a.CancelFlag = true;
  s.cancelled = a.CancelFlag;
  return !s.cancelled;
}

// Checks, counts and writes plain bytes. An entry that would produce more
// than its declared size fails before the excess is written (zip bombs).
bool Emit(TDecodeState& s, const uint8_t* data, size_t n) {
  if (n > s.declaredSize - s.produced) return false;
  s.crc = CRC32Update(s.crc, data, static_cast<int32_t>(n));
  if (s.destination.Write(data, static_cast<int64_t>(n)) != static_cast<int64_t>(n)) return false;
  s.produced += n;
  return true;
}

// Asks DoPassword for a new password; the request may replace the
// component's Password or set its skip flag.
void RequestPassword(TDecodeState& s) {
  std::string password = s.archiver.GetPassword();
  s.archiver.DoPassword(s.item.Name, password, s.archiver.SkipFlag);
  s.archiver.SetPassword(password);
}

// ---- standard decoding (methods 0 and 8) ------------------------------------------
//
// The entry's data is read in chunks; each passes these stages in turn:
//
//      REPORT --> SIZE --> READ --> DECRYPT --> EXPAND --> EMIT
//        |         |        |     (encrypted)    |          |
//     progress   memory   across            stored: the  bound check,
//     events,    rule     volumes           chunk itself; CRC-32,
//     cancel                                deflated:     write
//                                           inflate into
//                                           the output buffer,
//                                           EMIT each time it fills
//
// The input buffer (one chunk plus room for the zlib header) and the output
// buffer are allocated once per entry and reused: memory stays bounded
// whatever the entry's compression ratio. The deflate data is fed to zlib
// as a zlib-wrapped stream whose 2-byte header goes in front of the first
// chunk; the end of the entry is the end of its compressed size, so zlib
// never needs the Adler-32 trailer that raw ZIP data lacks.

// Ends the decompressor on every way out of the chunk loop.
class TInflater {
 public:
  TInflater() {
    strm_.zalloc = ZlibAlloc;
    strm_.zfree = ZlibFree;
  }
  ~TInflater() {
    if (started_) inflateEnd(&strm_);
  }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  bool Start() {
    try {
      DecompressCheck(inflateInit(&strm_));
    } catch (const EDecompressionError&) {
      return false;
    }
    started_ = true;
    return true;
  }
  z_stream& Stream() { return strm_; }
  bool Ended() const { return ended_; }
  void SetEnded() { ended_ = true; }

 private:
  z_stream strm_{};
  bool started_ = false;
  bool ended_ = false;
};

struct TChunkBuffers {
  std::unique_ptr<uint8_t[]> input;   // kWrapperSize + chunk
  std::unique_ptr<uint8_t[]> output;  // deflated entries only
  uint32_t outputSize = 0;
};

// The password loop: the 12-byte encryption header is checked at the same
// position again after each new password, until one fits or the request is
// skipped.
bool CheckPassword(TDecodeState& s) {
  TStream& stream = s.volumes.Stream();
  const int64_t position = stream.GetPosition();
  for (;;) {
    stream.SetPosition(position);
    if (CheckEncryptionHeader(stream, s.archiver.GetPassword(), s.local.Flags, s.local.ModTime,
                              s.local.Crc32, s.keys))
      return true;
    RequestPassword(s);
    if (s.archiver.SkipFlag) return false;
  }
}

uint32_t ReadAvailableMemory() {
  // The platform's memory status is a 32-bit count; more is taken as its top.
  return static_cast<uint32_t>(std::min<uint64_t>(os::AvailablePhysicalMemory(), UINT32_MAX));
}

// Stage EXPAND for a deflated chunk of n bytes at chunk (the kWrapperSize
// bytes before it are the buffer's own). Drains zlib into the output buffer,
// emitting it each time it fills.
bool InflateChunk(TDecodeState& s, TInflater& inflater, TChunkBuffers& buffers, uint8_t* chunk,
                  uint32_t n) {
  z_stream& strm = inflater.Stream();
  if (s.consumed == 0) {
    const auto wrapper = ModeToZlibHeader(1);
    std::copy(wrapper.begin(), wrapper.end(), chunk - kWrapperSize);
    strm.next_in = chunk - kWrapperSize;
    strm.avail_in = n + kWrapperSize;
  } else {
    strm.next_in = chunk;
    strm.avail_in = n;
  }
  for (;;) {
    // One byte of room past the declared size lets an overrun show.
    const uInt room =
        static_cast<uInt>(std::min<uint64_t>(buffers.outputSize, s.declaredSize - s.produced + 1));
    strm.next_out = buffers.output.get();
    strm.avail_out = room;
    const int status = inflate(&strm, Z_NO_FLUSH);
    // Z_BUF_ERROR: no progress was possible, the chunk's output is all out.
    if (status == Z_BUF_ERROR) return true;
    if (status != Z_OK && status != Z_STREAM_END) return false;
    if (!Emit(s, buffers.output.get(), room - strm.avail_out)) return false;
    if (status == Z_STREAM_END) {
      inflater.SetEnded();
      return true;
    }
    // zlib stops short of the room only when the chunk's input is used up.
    if (strm.avail_out != 0) return true;
  }
}

bool DecodeStandard(TDecodeState& s) {
  const uint32_t availableMemory = ReadAvailableMemory();
  if (s.encrypted) {
    // Data too short to hold its encryption header is damage, not a reason
    // to ask for passwords that cannot fit.
    if (s.compressedSize < kEncryptionHeaderSize) return false;
    s.compressedSize -= kEncryptionHeaderSize;
    if (!CheckPassword(s)) return false;
  }
  if (s.compressedSize <= 0) return true;

  const bool deflated = s.header.Method == kMethodDeflated;
  const uint64_t centralCompressed = static_cast<uint64_t>(s.item.CompressedSize());
  const uint64_t ratio = s.declaredSize / std::max<uint64_t>(1, centralCompressed);
  const uint32_t inputSize = static_cast<uint32_t>(std::min<int64_t>(kChunkSize, s.compressedSize));

  TChunkBuffers buffers;
  buffers.input = std::make_unique_for_overwrite<uint8_t[]>(kWrapperSize + inputSize);
  uint8_t* const chunk = buffers.input.get() + kWrapperSize;
  TInflater inflater;
  if (deflated) {
    buffers.outputSize = static_cast<uint32_t>(std::min<uint64_t>(s.declaredSize + 1, kChunkSize));
    buffers.output = std::make_unique_for_overwrite<uint8_t[]>(buffers.outputSize);
    if (!inflater.Start()) return false;
  }

  // clang-format off
  while (s.consumed < s.compressedSize && !inflater.Ended()) {
    if (!ReportProgress(s)) return false;                                    // REPORT
    const uint32_t n =
        ChunkLength(s.compressedSize - s.consumed, ratio, availableMemory);  // SIZE
    if (!s.volumes.ReadAcrossVolumes(chunk, n)) return false;               // READ
    if (s.encrypted) DecryptBuffer(chunk, n, s.keys);                       // DECRYPT
    const bool ok = deflated ? InflateChunk(s, inflater, buffers, chunk, n) // EXPAND
                             : Emit(s, chunk, n);                           //  + EMIT
    if (!ok) return false;
    s.consumed += n;
  }
  // clang-format on
  return true;
}

// ---- block-structured decoding ----------------------------------------------------
//
// A 50-byte header, then block-count blocks, each a 32-bit length and that
// many bytes: one complete zlib stream, or the plain bytes when the header
// says the blocks are stored. Every block is read whole, within the entry's
// compressed size.

struct TBlockHeader {
  uint32_t blockSize = 0;  // uncompressed bytes of every block but the last
  uint32_t totalSize = 0;  // uncompressed bytes of the entry
  uint32_t blockCount = 0;
  uint8_t algorithm = 0;    // 0: zlib
  bool compressed = false;  // false: blocks are stored
  uint16_t encryption = 0;  // 0xFFFF: none
  uint32_t checkCrc = 0;    // CRC-32 of the decrypted check block
  uint8_t check[kBlockCheckSize] = {};
};

constexpr uint16_t kNoBlockEncryption = 0xFFFF;

TBlockHeader ParseBlockHeader(const uint8_t (&h)[kBlockHeaderSize]) {
  TBlockHeader b;
  b.blockSize = Get32(h + 0);
  b.totalSize = Get32(h + 8);
  b.blockCount = Get32(h + 16);
  b.algorithm = h[20];
  b.compressed = h[21] != 0;
  b.encryption = Get16(h + 22);
  b.checkCrc = Get32(h + 24);
  std::copy(h + 28, h + 28 + kBlockCheckSize, b.check);
  return b;
}

// Reads n bytes of the entry's data; false when they lie beyond its
// compressed size or are not there.
bool ReadEntryBytes(TDecodeState& s, void* buffer, int64_t n) {
  if (n > s.compressedSize - s.consumed) return false;
  if (!s.volumes.ReadAcrossVolumes(buffer, n)) return false;
  s.consumed += n;
  return true;
}

bool CheckBlockPassword(TDecodeState& s, const TBlockHeader& b) {
  const uint8_t algorithm = static_cast<uint8_t>(b.encryption);
  for (;;) {
    uint8_t check[kBlockCheckSize];
    std::copy(std::begin(b.check), std::end(b.check), check);
    DecryptHook(algorithm, check, kBlockCheckSize, s.archiver.GetPassword());
    if (~CRC32Update(0xFFFFFFFF, check, kBlockCheckSize) == b.checkCrc) return true;
    RequestPassword(s);
    if (s.archiver.SkipFlag) return false;
  }
}

// Stage EXPAND+EMIT of one block: inflated whole, or taken as it is.
bool EmitBlock(TDecodeState& s, const TBlockHeader& b, std::vector<uint8_t>& block,
               std::vector<uint8_t>& output, uint64_t expected) {
  if (!b.compressed) {
    // A stored block is its own plain data: any other length is damage.
    return block.size() == expected && Emit(s, block.data(), block.size());
  }
  const auto clampSize = [](uint64_t v) {
    return static_cast<size_t>(std::min<uint64_t>(v, SIZE_MAX));
  };
  if (!SafeDecompress(block, output, clampSize(expected), clampSize(s.declaredSize - s.produced),
                      b.algorithm == 0))
    return false;
  return Emit(s, output.data(), output.size());
}

bool DecodeBlocks(TDecodeState& s) {
  uint8_t raw[kBlockHeaderSize];
  if (!ReadEntryBytes(s, raw, kBlockHeaderSize)) return false;
  const TBlockHeader b = ParseBlockHeader(raw);
  s.encrypted = b.encryption != kNoBlockEncryption;
  if (s.encrypted && !CheckBlockPassword(s, b)) return false;
  s.crc = 0xFFFFFFFF;

  const uint64_t total = s.header.UncompressedSize == kSentinel32 ? s.declaredSize : b.totalSize;
  s.progressTotal = static_cast<long double>(s.volumes.Stream().GetSize());
  std::vector<uint8_t> block, output;
  for (uint32_t i = 0; i < b.blockCount; ++i) {
    if (!ReportProgress(s)) return false;
    uint8_t lengthBytes[4];
    if (!ReadEntryBytes(s, lengthBytes, sizeof lengthBytes)) return false;
    const int64_t length = Get32(lengthBytes);
    if (length > kMaxBlockLength || length > s.compressedSize - s.consumed) return false;
    block.resize(static_cast<size_t>(length));
    if (!ReadEntryBytes(s, block.data(), length)) return false;
    const bool last = i + 1 == b.blockCount;
    if (last && s.produced > total) return false;
    const uint64_t expected = last ? total - s.produced : b.blockSize;
    if (s.encrypted)
      DecryptHook(static_cast<uint8_t>(b.encryption), block.data(), length,
                  s.archiver.GetPassword());
    if (!EmitBlock(s, b, block, output, expected)) return false;
  }
  return true;
}

// ---- the entry ---------------------------------------------------------------------

// Reads the 30-byte local header (a short read raises the stream's
// EReadError) and skips its name and extra field by its own lengths.
TLocalFileHeader ReadLocalHeader(TStream& stream) {
  uint8_t raw[kLocalFileHeaderSize];
  stream.ReadBuffer(raw, kLocalFileHeaderSize);
  TLocalFileHeader local;
  ReadLocalFileHeader(raw, local);
  stream.Seek(int64_t{local.NameLength} + local.ExtraLength, os::SeekOrigin::Current);
  return local;
}

}  // namespace

bool DecodeEntry(TZFBaseArchiver& archiver, TStream& destination, const TDirItem& item,
                 int64_t dataLimit) {
  TZFDirManager* dir = archiver.DirManager();
  TStream* stream = archiver.ArchiveStream();
  if (dir == nullptr || stream == nullptr) return false;
  // Sizes of 2^63 bytes and more come from no real archive.
  if (item.CompressedSize() < 0 || item.UncompressedSize() < 0) return false;

  const TZFVolumeCursor volumes(archiver,
                                static_cast<int32_t>(item.DiskNumberStart(dir->IsZip64())),
                                dir->LastVolumeNumber());
  TDecodeState s(archiver, destination, item, volumes);
  s.encrypted = (s.header.Flags & kFlagEncrypted) != 0;
  s.declaredSize = static_cast<uint64_t>(item.UncompressedSize());
  s.local = ReadLocalHeader(*stream);

  const int64_t dataStart = stream->GetPosition();
  s.compressedSize = item.CompressedSize();
  // A single file's entry data ends where the central directory starts, at
  // the latest, whatever its size field says.
  if (archiver.GetSpanningMode() == smNone) {
    const int64_t room = std::max<int64_t>(0, dir->DirectoryStart() - dataStart);
    s.compressedSize = std::min(s.compressedSize, room);
  }
  // Data that reaches into another entry's local header or data is that of
  // an overlapped-entry bomb.
  if (dataLimit >= 0 && (dataStart > dataLimit || s.compressedSize > dataLimit - dataStart))
    return false;

  // The 12 bytes of an encryption header count here, though not as data.
  s.progressTotal = static_cast<long double>(s.compressedSize);
  archiver.SkipFlag = false;
  bool ok = false;
  switch (s.header.Method) {
    case kMethodStored:
    case kMethodDeflated:
      ok = DecodeStandard(s);
      break;
    case kMethodDeflate64:
      throw EZFException(neDeflate64, nullptr);
    default:
      if (s.header.VersionNeeded < kBlockFormatMinVersion) return false;
      ok = DecodeBlocks(s);
      break;
  }
  if (!ok || s.cancelled || s.produced != s.declaredSize) return false;
  return !archiver.SkipFlag && ~s.crc == s.header.Crc32;
}

}  // namespace zf
