// The entry data codec (see ZFCodec.h): one DecodeEntry call reads one
// entry's local header and data and writes the plain bytes.
#include "archive/ZFCodec.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "archive/ZFCipher.h"
#include "archive/ZFConst.h"
#include "archive/ZFCrc32.h"
#include "archive/ZFExcept.h"
#include "archive/ZFOptions.h"
#include "archive/ZFRecords.h"
#include "archive/ZFZlib.h"

namespace zf {

namespace {

constexpr uint32_t kChunkSize = 0x100000;  // compressed bytes per read, at most
constexpr uint32_t kMinChunkSize = 512;    // the memory rule stops halving below this
constexpr uint32_t kMemoryShare = 20;      // a chunk's output may take 1/20 of free memory
constexpr std::chrono::milliseconds kMemoryRefresh{100};  // how old the memory status may get
// A block of the block-structured format is read whole; its length comes
// from the archive, so it is held to this as well as to the entry's data.
constexpr int64_t kMaxBlockLength = 16 * 1024 * 1024;
// Failures of a password already tried that end the password requests.
constexpr int kMaxRepeatedPasswords = 3;

}  // namespace

// ---- volumes -------------------------------------------------------------------

TZFVolumeCursor::TZFVolumeCursor(IZFVolumeSource& volumes, int32_t firstVolume, int32_t lastVolume)
    : volumes_(volumes), stream_(volumes.VolumeStream()), number_(firstVolume), last_(lastVolume) {}

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
  if (number_ >= last_ || !volumes_.MultiVolume()) return false;
  const int32_t next = number_ + 1;
  volumes_.OpenVolumeNumber(next, last_);
  // A request answered with no file name opens nothing and raises nothing.
  if (volumes_.VolumeStream() == nullptr || volumes_.VolumeNumber() != next) return false;
  number_ = next;
  stream_ = volumes_.VolumeStream();
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
  TDecodeState(IZFDecodeEvents& e, TStream& d, const TDirItem& i, const TZFVolumeCursor& v)
      : events(e), destination(d), item(i), volumes(v), header(i.Header) {}

  IZFDecodeEvents& events;
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
  long double progressTotal = 0;  // the progress reports count up to this
  int reports = 0;                // progress reports made (one per chunk)
  TZFErrorDetail failure;         // the first thing that went wrong
  std::set<std::string> triedPasswords;  // that did not fit this entry
  int repeatedPasswords = 0;             // failures of a password tried before
};

// Records why decoding stops (the first cause met wins); always false, so
// that a stage can end with `return Fail(s, ...)`.
bool Fail(TDecodeState& s, TZFCause cause) {
  if (s.failure.Cause == TZFCause::None) s.failure.Cause = cause;
  return false;
}

// A destination that took fewer bytes than given: the system's reason when
// the destination knows it.
bool FailWrite(TDecodeState& s, int systemCode) {
  if (s.failure.Cause != TZFCause::None) return false;
  if (systemCode != 0) {
    s.failure = SystemFailure(systemCode);
  } else {
    s.failure.Cause = TZFCause::SystemError;
    s.failure.SystemText = "the destination took fewer bytes than given";
  }
  return false;
}

// ---- stages shared by both formats -------------------------------------------------

// Reports the progress before a chunk. False when the run was cancelled:
// the codec stops there.
bool ReportProgress(TDecodeState& s) {
  ++s.reports;
  if (!s.events.Progress(s.item, s.consumed, s.progressTotal)) return Fail(s, TZFCause::Cancelled);
  return true;
}

void Checksum(TDecodeState& s, const uint8_t* data, size_t n) {
  s.crc = CRC32Update(s.crc, data, static_cast<int32_t>(n));
}

// Writes n bytes to destination; false on a short write, with the
// destination's error code in systemCode. Runs on any thread: it touches
// nothing but the destination.
bool WriteOut(TStream& destination, const uint8_t* data, size_t n, int& systemCode) {
  if (destination.Write(data, static_cast<int64_t>(n)) == static_cast<int64_t>(n)) return true;
  systemCode = destination.WriteErrorCode();
  return false;
}

// WriteOut on the caller's thread, the failure recorded.
bool Store(TDecodeState& s, const uint8_t* data, size_t n) {
  int code = 0;
  return WriteOut(s.destination, data, n, code) || FailWrite(s, code);
}

// An entry that would produce more than its declared size fails before the
// excess is written (zip bombs). Counts the bytes when they may go out.
bool Admit(TDecodeState& s, size_t n) {
  if (n > s.declaredSize - s.produced) return Fail(s, TZFCause::SizeMismatch);
  s.produced += n;
  return true;
}

// Checks, counts, checksums and writes plain bytes.
bool Emit(TDecodeState& s, const uint8_t* data, size_t n) {
  if (!Admit(s, n)) return false;
  Checksum(s, data, n);
  return Store(s, data, n);
}

// The password did not fit: asks the sink for another one. False when the
// entry is skipped, or when nobody can be asked (a wrong password). A
// handler that never skips and answers with passwords already tried would
// keep the check going forever: after kMaxRepeatedPasswords of them the
// password is wrong.
bool RequestPassword(TDecodeState& s) {
  if (!s.triedPasswords.insert(s.events.Password()).second &&
      ++s.repeatedPasswords >= kMaxRepeatedPasswords)
    return Fail(s, TZFCause::WrongPassword);
  if (s.events.AskPassword(s.item)) return true;
  return Fail(s, s.events.CanAsk() ? TZFCause::Skipped : TZFCause::WrongPassword);
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
// Three threads share the work of an entry larger than its buffers: a
// worker reads and decrypts the next chunk (TReadAhead) while the caller's
// thread inflates the current one, and another worker takes each filled
// output buffer through the CRC-32 and the write (TWriteBehind) while the
// caller fills the other. Inflating is the longest stage, so an entry takes
// about as long as inflating it. A stored entry's chunks are its plain
// data: the reading worker takes them through the CRC-32 as well, and the
// caller writes them. Progress and password events, volume requests and
// every decision stay on the caller's thread, in their order.
//
// The buffers are allocated once per entry and reused: memory stays bounded
// whatever the entry's compression ratio. The deflate data is inflated raw:
// the end of the entry is the end of its compressed size, and raw ZIP data
// has no zlib header or Adler-32 trailer to check.

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
      DecompressCheck(inflateInit2(&strm_, -MAX_WBITS));
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

// Runs one job at a time for the decoding thread on a thread of its own:
// Post hands the job over, Wait waits until it is done and rethrows what it
// raised. Without a thread (none wanted, or none to be had) Post runs the
// job at once. The job is set once, so posting allocates nothing.
class TWorker {
 public:
  TWorker(bool threaded, std::function<void()> job) : job_(std::move(job)) {
    if (!threaded) return;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
    }
  }
  ~TWorker() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();  // after the job posted last, if any, is done
  }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  bool Threaded() const { return thread_.joinable(); }

  void Post() {
    if (!Threaded()) {
      job_();
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      posted_ = true;
    }
    waiting_ = true;
    wake_.notify_one();
  }

  void Wait() {
    if (!waiting_) return;
    waiting_ = false;
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !posted_; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || posted_; });
      if (!posted_) return;  // stopped
      lock.unlock();
      std::exception_ptr error;
      try {
        job_();
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      error_ = error;
      posted_ = false;
      done_.notify_one();
    }
  }

  std::function<void()> job_;
  bool waiting_ = false;  // the caller's: a posted job is not waited for yet
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  bool posted_ = false, stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;  // last: starts when everything above is ready
};

// Stages READ and DECRYPT, one chunk ahead: a worker reads and decrypts
// chunk k+1 into one buffer while the caller's thread expands chunk k from
// the other. The traditional cipher takes about as long per byte as
// inflating, so an encrypted entry takes about the longer of the two
// rather than their sum.
//
// The worker reads the current volume's stream only: a chunk that runs past
// its end comes back short and the caller completes it across volumes,
// where a volume request may be raised. A chunk read ahead of a cancel is
// dropped unseen. An entry of one chunk starts no worker.
class TReadAhead {
 public:
  // plain: the chunks are the entry's plain data (stored), checksummed here.
  TReadAhead(TDecodeState& s, uint32_t bufferSize, bool moreThanOneChunk, bool plain)
      : s_(s), plain_(plain), worker_(moreThanOneChunk, [this] { ReadCurrentVolume(); }) {
    buffers_[0] = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
    if (worker_.Threaded()) buffers_[1] = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
  }

  // The next n bytes of the entry, read and decrypted: the chunk read ahead
  // when there is one (n is then its length), else read now. Null when the
  // bytes are not there. Rethrows what the worker's read raised.
  uint8_t* Take(uint32_t n) {
    if (!pending_) {
      uint8_t* chunk = buffers_[taken_].get();
      return ReadNow(chunk, n) ? chunk : nullptr;
    }
    pending_ = false;
    taken_ ^= 1;
    worker_.Wait();
    // The worker is idle now: the stream and the keys are the caller's.
    uint8_t* chunk = buffers_[taken_].get();
    if (got_ < n && !ReadNow(chunk + got_, n - static_cast<uint32_t>(got_))) return nullptr;
    return chunk;
  }

  // Starts reading and decrypting the n bytes after the chunk taken last
  // into the other buffer (without a worker, Take reads them then).
  void ReadAhead(uint32_t n) {
    if (!worker_.Threaded()) return;
    target_ = buffers_[taken_ ^ 1].get();
    stream_ = &s_.volumes.Stream();
    asked_ = n;
    pending_ = true;
    worker_.Post();
  }

 private:
  // On the caller's thread: reads across volumes, decrypts, checksums.
  bool ReadNow(uint8_t* chunk, uint32_t n) {
    if (!s_.volumes.ReadAcrossVolumes(chunk, n)) return false;
    Decode(chunk, n);
    return true;
  }

  // The worker's job.
  void ReadCurrentVolume() {
    got_ = std::max<int64_t>(0, stream_->Read(target_, asked_));
    Decode(target_, static_cast<size_t>(got_));
  }

  void Decode(uint8_t* data, size_t n) {
    if (s_.encrypted) DecryptBuffer(data, static_cast<int64_t>(n), s_.keys);
    if (plain_) Checksum(s_, data, n);
  }

  TDecodeState& s_;
  const bool plain_;
  std::unique_ptr<uint8_t[]> buffers_[2];
  int taken_ = 0;         // the buffer handed out last
  bool pending_ = false;  // a chunk is being read ahead
  // The job's order and result, handed over by the worker's Post and Wait.
  uint8_t* target_ = nullptr;
  TStream* stream_ = nullptr;
  uint32_t asked_ = 0;
  int64_t got_ = 0;
  TWorker worker_;  // last: stopped first, before the buffers go
};

// Stage EMIT of inflated data, one buffer behind: the caller's thread
// inflates into one output buffer while a worker takes the other through
// the CRC-32 and the write. The bound check stays with the caller, so no
// byte past the declared size is ever handed over. A write that comes up
// short fails the entry at the next hand-over or at Finish. An entry whose
// output fits one buffer starts no worker.
class TWriteBehind {
 public:
  TWriteBehind(TDecodeState& s, size_t bufferSize, bool moreThanOneBuffer)
      : s_(s), size_(bufferSize), worker_(moreThanOneBuffer, [this] { Write(); }) {
    buffers_[0] = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
    if (worker_.Threaded()) buffers_[1] = std::make_unique_for_overwrite<uint8_t[]>(bufferSize);
  }

  // The buffer to fill next.
  std::span<uint8_t> Buffer() { return {buffers_[filling_].get(), size_}; }

  // Hands over the first n bytes of Buffer(); false when they pass the
  // declared size or an earlier write failed.
  bool Hand(size_t n) {
    // The write before is waited for first: the worker must be idle when
    // a failure is recorded.
    if (!Finish() || !Admit(s_, n)) return false;
    data_ = buffers_[filling_].get();
    length_ = n;
    worker_.Post();
    // Written at once: a short write fails here, with its reason.
    if (!worker_.Threaded()) return written_ || FailWrite(s_, writeError_);
    filling_ ^= 1;
    return true;
  }

  // Waits for the last write; false when a write failed.
  bool Finish() {
    worker_.Wait();
    return written_ || FailWrite(s_, writeError_);
  }

 private:
  // The worker's job.
  void Write() {
    if (!written_) return;
    Checksum(s_, data_, length_);
    written_ = WriteOut(s_.destination, data_, length_, writeError_);
  }

  TDecodeState& s_;
  const size_t size_;
  std::unique_ptr<uint8_t[]> buffers_[2];
  int filling_ = 0;
  // The job's order and result, handed over by the worker's Post and Wait.
  const uint8_t* data_ = nullptr;
  size_t length_ = 0;
  bool written_ = true;
  int writeError_ = 0;  // of the write that failed
  TWorker worker_;  // last: stopped first, before the buffers go
};

// The password loop: the 12-byte encryption header is checked at the same
// position again after each new password, until one fits or the request is
// skipped.
bool CheckPassword(TDecodeState& s) {
  TStream& stream = s.volumes.Stream();
  const int64_t position = stream.GetPosition();
  for (;;) {
    stream.SetPosition(position);
    if (CheckEncryptionHeader(stream, s.events.Password(), s.local.Flags, s.local.ModTime,
                              s.local.Crc32, s.keys))
      return true;
    if (!RequestPassword(s)) return false;
  }
}

// The platform's memory status, as a 32-bit count (more is taken as its
// top). It is read at most every kMemoryRefresh: it moves slowly next to
// the decoding of an entry, and reading it (a file of /proc on Linux) costs
// more than a small entry's whole extraction.
uint32_t ReadAvailableMemory() {
  using Clock = std::chrono::steady_clock;
  static std::atomic<bool> known{false};
  static std::atomic<Clock::rep> readAt{0};
  static std::atomic<uint32_t> available{0};
  const Clock::rep now = Clock::now().time_since_epoch().count();
  if (!known || now - readAt >= Clock::duration(kMemoryRefresh).count()) {
    available = static_cast<uint32_t>(std::min<uint64_t>(os::AvailablePhysicalMemory(), UINT32_MAX));
    readAt = now;
    known = true;
  }
  return available;
}

// Stage EXPAND for a deflated chunk of n bytes: drains zlib into the output
// buffers, handing each over to EMIT as it fills.
bool InflateChunk(TDecodeState& s, TInflater& inflater, TWriteBehind& output, uint8_t* chunk,
                  uint32_t n) {
  z_stream& strm = inflater.Stream();
  strm.next_in = chunk;
  strm.avail_in = n;
  for (;;) {
    const std::span<uint8_t> buffer = output.Buffer();
    // One byte of room past the declared size lets an overrun show.
    const uInt room =
        static_cast<uInt>(std::min<uint64_t>(buffer.size(), s.declaredSize - s.produced + 1));
    strm.next_out = buffer.data();
    strm.avail_out = room;
    const int status = inflate(&strm, Z_NO_FLUSH);
    // Z_BUF_ERROR: no progress was possible, the chunk's output is all out.
    if (status == Z_BUF_ERROR) return true;
    if (status != Z_OK && status != Z_STREAM_END) return Fail(s, TZFCause::DamagedData);
    if (!output.Hand(room - strm.avail_out)) return false;
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
    if (s.compressedSize < kEncryptionHeaderSize) return Fail(s, TZFCause::Truncated);
    s.compressedSize -= kEncryptionHeaderSize;
    if (!CheckPassword(s)) return false;
  }
  if (s.compressedSize <= 0) return true;

  const bool deflated = s.header.Method == kMethodDeflated;
  const uint64_t centralCompressed = static_cast<uint64_t>(s.item.CompressedSize());
  const uint64_t ratio = s.declaredSize / std::max<uint64_t>(1, centralCompressed);
  const auto chunkAfter = [&](int64_t consumed) -> uint32_t {
    return consumed < s.compressedSize
               ? ChunkLength(s.compressedSize - consumed, ratio, availableMemory)
               : 0;
  };

  uint32_t n = chunkAfter(0);
  const uint32_t inputSize = static_cast<uint32_t>(std::min<int64_t>(kChunkSize, s.compressedSize));
  TReadAhead reader(s, inputSize, n < s.compressedSize, !deflated);
  TInflater inflater;
  // Stored data is emitted from the input buffers themselves.
  const size_t outputSize = deflated ? std::min<uint64_t>(s.declaredSize + 1, kChunkSize) : 0;
  TWriteBehind output(s, outputSize, deflated && s.declaredSize >= outputSize);
  if (deflated && !inflater.Start()) return Fail(s, TZFCause::SystemError);

  // clang-format off
  while (n > 0 && !inflater.Ended()) {
    if (!ReportProgress(s)) return false;                                // REPORT
    uint8_t* const chunk = reader.Take(n);                              // READ, DECRYPT
    if (chunk == nullptr) return Fail(s, TZFCause::Truncated);
    const uint32_t next = chunkAfter(s.consumed + n);                   // SIZE
    if (next > 0) reader.ReadAhead(next);                               //  (of the next)
    const bool ok = deflated ? InflateChunk(s, inflater, output, chunk, n) // EXPAND
                             : Admit(s, n) && Store(s, chunk, n);       //  + EMIT
    if (!ok) return false;
    s.consumed += n;
    n = next;
  }
  // clang-format on
  return output.Finish();
}

// ---- block-structured decoding ----------------------------------------------------
//
// The header (TBlockFormatHeader), then the blocks, each read whole within
// the entry's compressed size (and kMaxBlockLength) and inflated in pieces.

// Reads n bytes of the entry's data; false when they lie beyond its
// compressed size or are not there.
bool ReadEntryBytes(TDecodeState& s, void* buffer, int64_t n) {
  if (n > s.compressedSize - s.consumed) return Fail(s, TZFCause::Truncated);
  if (!s.volumes.ReadAcrossVolumes(buffer, n)) return Fail(s, TZFCause::Truncated);
  s.consumed += n;
  return true;
}

bool CheckBlockPassword(TDecodeState& s, const TBlockFormatHeader& b) {
  const uint8_t algorithm = static_cast<uint8_t>(b.Encryption);
  for (;;) {
    uint8_t check[kBlockFormatCheckSize];
    std::copy(std::begin(b.Check), std::end(b.Check), check);
    DecryptHook(algorithm, check, kBlockFormatCheckSize, s.events.Password());
    if (~CRC32Update(0xFFFFFFFF, check, kBlockFormatCheckSize) == b.CheckCrc) return true;
    if (!RequestPassword(s)) return false;
  }
}

// Stage EXPAND+EMIT of one block: inflated piece by piece through the
// piece buffer, each piece emitted before the next is decoded (a block may
// declare any size: memory stays at the buffer's), or taken as it is.
bool EmitBlock(TDecodeState& s, const TBlockFormatHeader& b, std::vector<uint8_t>& block,
               std::vector<uint8_t>& piece, uint64_t expected) {
  if (!b.Compressed) {
    // A stored block is its own plain data: any other length is damage.
    if (block.size() != expected) return Fail(s, TZFCause::SizeMismatch);
    return Emit(s, block.data(), block.size());
  }
  // Only zlib is known; a compressed block that decodes to nothing is damage.
  if (b.Algorithm != 0 || block.empty()) return Fail(s, TZFCause::DamagedData);
  uint64_t decoded = 0;
  try {
    const bool ended = InflateInPieces(block, piece, [&](std::span<const uint8_t> bytes) {
      decoded += bytes.size();
      return Emit(s, bytes.data(), bytes.size());
    });
    if (!ended) return false;
  } catch (const EZlibError&) {
    return Fail(s, TZFCause::DamagedData);
  }
  return decoded > 0 || Fail(s, TZFCause::DamagedData);
}

bool DecodeBlocks(TDecodeState& s) {
  uint8_t raw[kBlockFormatHeaderSize];
  if (!ReadEntryBytes(s, raw, kBlockFormatHeaderSize)) return false;
  TBlockFormatHeader b;
  ReadBlockFormatHeader(raw, b);
  s.encrypted = b.Encryption != kBlockFormatNotEncrypted;
  if (s.encrypted && !CheckBlockPassword(s, b)) return false;
  s.crc = 0xFFFFFFFF;

  const uint64_t total = s.header.UncompressedSize == kSentinel32 ? s.declaredSize : b.TotalSize;
  s.progressTotal = static_cast<long double>(s.volumes.Stream().GetSize());
  std::vector<uint8_t> block;
  // Room for one piece of a compressed block's output: a chunk, or the
  // whole entry with its spare byte when that is smaller.
  std::vector<uint8_t> piece(
      b.Compressed ? static_cast<size_t>(std::min<uint64_t>(kChunkSize, s.declaredSize + 1)) : 0);
  for (uint32_t i = 0; i < b.BlockCount; ++i) {
    if (!ReportProgress(s)) return false;
    uint8_t lengthBytes[4];
    if (!ReadEntryBytes(s, lengthBytes, sizeof lengthBytes)) return false;
    const int64_t length = Get32(lengthBytes);
    if (length > kMaxBlockLength) return Fail(s, TZFCause::DamagedData);
    if (length > s.compressedSize - s.consumed) return Fail(s, TZFCause::Truncated);
    block.resize(static_cast<size_t>(length));
    if (!ReadEntryBytes(s, block.data(), length)) return false;
    const bool last = i + 1 == b.BlockCount;
    if (last && s.produced > total) return Fail(s, TZFCause::SizeMismatch);
    const uint64_t expected = last ? total - s.produced : b.BlockSize;
    if (s.encrypted)
      DecryptHook(static_cast<uint8_t>(b.Encryption), block.data(), length, s.events.Password());
    if (!EmitBlock(s, b, block, piece, expected)) return false;
  }
  return true;
}

// ---- the entry ---------------------------------------------------------------------

// Reads the 30-byte local header (a short read raises the stream's
// EReadError) and skips its name and extra field by its own lengths;
// dataStart is where the entry data begins (-1 when the stream cannot get
// there).
TLocalFileHeader ReadLocalHeader(TStream& stream, int64_t& dataStart) {
  uint8_t raw[kLocalFileHeaderSize];
  stream.ReadBuffer(raw, kLocalFileHeaderSize);
  TLocalFileHeader local;
  ReadLocalFileHeader(raw, local);
  dataStart = stream.Seek(int64_t{local.NameLength} + local.ExtraLength, os::SeekOrigin::Current);
  return local;
}

// Decodes the entry whose local header is at the stream's position, with
// its data held to the archive's end (place.DataEnd) and to
// place.DataLimit. Leaves the final judgement to the caller.
bool DecodeLocalEntry(TDecodeState& s, TStream& stream, const TZFEntryPlace& place) {
  // Sizes of 2^63 bytes and more come from no real archive.
  if (s.item.CompressedSize() < 0 || s.item.UncompressedSize() < 0)
    return Fail(s, TZFCause::DamagedData);
  s.encrypted = (s.header.Flags & kFlagEncrypted) != 0;
  s.declaredSize = static_cast<uint64_t>(s.item.UncompressedSize());
  int64_t dataStart = -1;
  s.local = ReadLocalHeader(stream, dataStart);
  if (dataStart < 0) return Fail(s, TZFCause::Truncated);
  s.compressedSize = s.item.CompressedSize();
  if (place.DataEnd >= 0) {
    const int64_t room = std::max<int64_t>(0, place.DataEnd - dataStart);
    s.compressedSize = std::min(s.compressedSize, room);
  }
  // Data that reaches into another entry's local header or data is that of
  // an overlapped-entry bomb.
  const int64_t limit = place.DataLimit;
  if (limit >= 0 && (dataStart > limit || s.compressedSize > limit - dataStart))
    return Fail(s, TZFCause::Overlap);

  // The 12 bytes of an encryption header count here, though not as data.
  s.progressTotal = static_cast<long double>(s.compressedSize);
  switch (s.header.Method) {
    case kMethodStored:
    case kMethodDeflated:
      return DecodeStandard(s);
    case kMethodDeflate64: {
      TZFErrorDetail detail;
      detail.Cause = TZFCause::UnsupportedMethod;
      detail.Method = kMethodDeflate64;
      detail.EntryOffset = s.item.LocalHeaderOffset();
      throw EZFException(neDeflate64, nullptr).WithDetail(std::move(detail));
    }
    default:
      if (s.header.VersionNeeded < kBlockFormatMinVersion)
        return Fail(s, TZFCause::UnsupportedMethod);
      return DecodeBlocks(s);
  }
}

// The result of a decoding that ended with ok: the cause recorded, else
// the size and CRC-32 judged.
TZFDecodeResult Judge(TDecodeState& s, bool ok) {
  if (ok && s.produced != s.declaredSize) Fail(s, TZFCause::SizeMismatch);
  if (ok && ~s.crc != s.header.Crc32) Fail(s, TZFCause::CrcMismatch);
  if (!ok && s.failure.Cause == TZFCause::None) Fail(s, TZFCause::DamagedData);
  TZFDecodeResult result;
  result.Failure = std::move(s.failure);
  if (result.Failure.Cause == TZFCause::UnsupportedMethod) result.Failure.Method = s.header.Method;
  if (!result.Ok()) result.Failure.EntryOffset = s.item.LocalHeaderOffset();
  return result;
}

// The one volume a decoding ahead reads: its own handle on the archive
// file, which has no next volume.
class TOneVolume : public IZFVolumeSource {
 public:
  explicit TOneVolume(TStream& stream) : stream_(stream) {}
  TStream* VolumeStream() override { return &stream_; }
  int32_t VolumeNumber() const override { return 0; }
  bool MultiVolume() const override { return false; }
  void OpenVolumeNumber(int32_t, int32_t) override {}

 private:
  TStream& stream_;
};

}  // namespace

TZFDecodeResult DecodeEntry(IZFVolumeSource& volumes, IZFDecodeEvents& events,
                            TStream& destination, const TDirItem& item,
                            const TZFEntryPlace& place) {
  TStream* stream = volumes.VolumeStream();
  const TZFVolumeCursor cursor(volumes, place.FirstVolume, place.LastVolume);
  TDecodeState s(events, destination, item, cursor);
  if (stream == nullptr) return Judge(s, Fail(s, TZFCause::Truncated));
  return Judge(s, DecodeLocalEntry(s, *stream, place));
}

// ---- decoding ahead ---------------------------------------------------------------

bool DecodeEntryAhead(TStream& archive, const TDirItem& item, const TZFEntryPlace& place,
                      const std::string& password, TZFDecodedEntry& out) {
  out.Data.SetSize(0);
  out.Data.SetPosition(0);
  out.Encrypted = (item.Header.Flags & kFlagEncrypted) != 0;
  out.Password = out.Encrypted ? password : std::string();
  // Entries of one chunk only, as their events are replayed as one: a
  // second report stops the decoding.
  TZFSilentDecodeEvents silent(password, 1);
  TOneVolume volume(archive);
  const TZFEntryPlace onePlace{0, 0, place.DataEnd, place.DataLimit};
  bool ok = false;
  try {
    ok = DecodeEntry(volume, silent, out.Data, item, onePlace).Ok();
  } catch (const std::exception&) {
    ok = false;  // the run meets the same failure, and reports it
  }
  out.Reports = silent.Reports();
  out.ProgressTotal = silent.Total();
  return ok;
}

TZFDecodeResult ReplayEntry(IZFDecodeEvents& events, TStream& destination, const TDirItem& item,
                            const TZFDecodedEntry& decoded) {
  TOneVolume none(destination);  // never read: the bytes are all there
  const TZFVolumeCursor cursor(none, 0, 0);
  TDecodeState s(events, destination, item, cursor);
  s.progressTotal = decoded.ProgressTotal;
  s.declaredSize = static_cast<uint64_t>(item.UncompressedSize());
  const std::vector<uint8_t>& plain = decoded.Data.Data();
  bool ok = decoded.Reports == 0 || ReportProgress(s);
  if (ok) ok = Admit(s, plain.size()) && Store(s, plain.data(), plain.size());
  // The bytes were judged when they were decoded.
  s.crc = ~s.header.Crc32;
  return Judge(s, ok);
}

}  // namespace zf
