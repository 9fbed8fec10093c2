// The entry data codec (see ZFCodec.h): one DecodeEntry call reads one
// entry's local header and data and writes the plain bytes.
#include "archive/ZFCodec.h"

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
#include "archive/methods/Decompressor.h"
#include "archive/methods/EntryCipher.h"

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
// The longest code a cipher puts behind the data (AES's).
constexpr int64_t kMaxTrailerSize = kAesAuthCodeSize;

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
  uint16_t method = 0;                // the real method (an AES entry's inner one)
  IZFEntryCipher* cipher = nullptr;   // of an encrypted entry
  bool checkCrc = true;               // false where the cipher's code stands for the CRC-32
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

// A decompressor that failed, with its cause and what it found wrong; one
// short of memory says so.
bool FailDecompressor(TDecodeState& s, TZFCause cause, const char* reason = nullptr) {
  if (s.failure.Cause == TZFCause::None) {
    if (cause == TZFCause::SystemError) s.failure.SystemText = "not enough memory to decompress the entry";
    if (cause == TZFCause::DamagedData && reason != nullptr) s.failure.DataText = reason;
  }
  return Fail(s, cause);
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

// Plain bytes about to go out, from any method or format: they pass here
// one output buffer at a time, however many a chunk decodes to.
//  - A request to stop drops them and cancels the entry: after it no more
//    than the write under way goes out, whatever the entry's ratio.
//  - An entry that would produce more than its declared size fails before
//    the excess is written (zip bombs).
// Counts the bytes when they may go out.
bool Admit(TDecodeState& s, size_t n) {
  if (s.events.StopRequested()) return Fail(s, TZFCause::Cancelled);
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

// ---- stream decoding (every method of the registry) --------------------------------
//
// The entry's data is read in chunks; each passes these stages in turn:
//
//      REPORT --> SIZE --> READ --> DECRYPT --> EXPAND --> EMIT
//        |         |        |      (cipher)       |          |
//     progress   memory   across   traditional  the method's  bound check,
//     events,    rule     volumes  or AES       decompressor  CRC-32,
//     cancel                                    into the      write
//                                               output buffer,
//                                               EMIT each time it fills
//
// In front of the chunks the cipher checks the password against its
// header; behind them an authenticating cipher (AES) reads its code and
// checks it over all the ciphertext, before the entry is judged and long
// before its file takes its name.
//
// Three threads share the work of an entry larger than its buffers: a
// worker reads and decrypts the next chunk (TReadAhead) while the caller's
// thread expands the current one, and another worker takes each filled
// output buffer through the CRC-32 and the write (TWriteBehind) while the
// caller fills the other. Expanding is the longest stage, so an entry takes
// about as long as decompressing it. Progress and password events, volume
// requests and every decision stay on the caller's thread, in their order.
//
// The buffers are allocated once per entry and reused: memory stays bounded
// whatever the entry's compression ratio. The decompressor keeps what it
// needs between chunks (a window, a model) within kMaxDecoderMemory.

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
  TReadAhead(TDecodeState& s, uint32_t bufferSize, bool moreThanOneChunk)
      : s_(s), worker_(moreThanOneChunk, [this] { ReadCurrentVolume(); }) {
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
  // On the caller's thread: reads across volumes, decrypts.
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
    if (s_.cipher != nullptr) s_.cipher->Decrypt(data, n);
  }

  TDecodeState& s_;
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

// The password loop: the cipher's header is checked at the same position
// again after each new password, until one fits or the request is skipped.
bool CheckPassword(TDecodeState& s) {
  TStream& stream = s.volumes.Stream();
  const int64_t position = stream.GetPosition();
  for (;;) {
    stream.SetPosition(position);
    if (s.cipher->CheckPassword(stream, s.events.Password())) return true;
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

// Stage EXPAND for a chunk of n bytes: the decompressor drains it into the
// output buffers, handing each over to EMIT as it fills. ended: the
// compressed stream ended in it.
bool ExpandChunk(TDecodeState& s, IZFDecompressor& decompressor, TWriteBehind& output,
                 const uint8_t* chunk, uint32_t n, bool& ended) {
  TZFCodecBuffers b;
  b.In = chunk;
  b.InLeft = n;
  for (;;) {
    const std::span<uint8_t> buffer = output.Buffer();
    // One byte of room past the declared size lets an overrun show.
    const size_t room = std::min<uint64_t>(buffer.size(), s.declaredSize - s.produced + 1);
    b.Out = buffer.data();
    b.OutLeft = room;
    const TZFDecodeStatus status = decompressor.Decode(b);
    if (status == TZFDecodeStatus::Failed)
      return FailDecompressor(s, decompressor.Cause(), decompressor.Reason());
    if (b.OutLeft < room && !output.Hand(room - b.OutLeft)) return false;
    if (status == TZFDecodeStatus::End) {
      ended = true;
      return true;
    }
    // Room left over: everything the chunk holds is out.
    if (b.OutLeft != 0) return true;
  }
}

// What an authenticating cipher needs after the chunk loop: the rest of
// the ciphertext (a stream that ended early, or failed, left some unread)
// read through the cipher, then its code read and checked. A failed code
// outweighs the failure it explains: damaged data under AES is data
// altered (or a wrong password whose verifier matched by chance).
bool Authenticate(TDecodeState& s, TReadAhead& reader, uint32_t n,
                  const std::function<uint32_t(int64_t)>& chunkAfter, bool ok) {
  if (!ok && !IsDataDamage(s.failure.Cause)) return false;
  while (n > 0) {
    if (!ReportProgress(s)) return false;
    if (reader.Take(n) == nullptr) return Fail(s, TZFCause::Truncated);
    const uint32_t next = chunkAfter(s.consumed + n);
    if (next > 0) reader.ReadAhead(next);
    s.consumed += n;
    n = next;
  }
  uint8_t code[kMaxTrailerSize];
  const int64_t size = s.cipher->TrailerSize();
  if (!s.volumes.ReadAcrossVolumes(code, size)) return Fail(s, TZFCause::Truncated);
  if (!s.cipher->Authentic(code)) {
    s.failure = TZFErrorDetail();
    return Fail(s, TZFCause::AuthenticationFailed);
  }
  return ok;
}

bool DecodeStream(TDecodeState& s, IZFDecompressor& decompressor) {
  const uint32_t availableMemory = ReadAvailableMemory();
  if (s.cipher != nullptr) {
    // Data too short to hold what the cipher puts around it is damage, not
    // a reason to ask for passwords that cannot fit.
    const int64_t overhead = s.cipher->HeaderSize() + s.cipher->TrailerSize();
    if (s.compressedSize < overhead) return Fail(s, TZFCause::Truncated);
    s.compressedSize -= overhead;
    if (!CheckPassword(s)) return false;
  }
  // Nothing to decode and nothing declared: an empty file, whatever the method.
  if (s.compressedSize <= 0 && s.declaredSize == 0 && s.cipher == nullptr) return true;

  const uint64_t centralCompressed = static_cast<uint64_t>(s.item.CompressedSize());
  const uint64_t ratio = s.declaredSize / std::max<uint64_t>(1, centralCompressed);
  const std::function<uint32_t(int64_t)> chunkAfter = [&](int64_t consumed) -> uint32_t {
    return consumed < s.compressedSize
               ? ChunkLength(s.compressedSize - consumed, ratio, availableMemory)
               : 0;
  };

  uint32_t n = chunkAfter(0);
  const uint32_t inputSize =
      static_cast<uint32_t>(std::clamp<int64_t>(s.compressedSize, 1, kChunkSize));
  TReadAhead reader(s, inputSize, n < s.compressedSize);
  const size_t outputSize = std::min<uint64_t>(s.declaredSize + 1, kChunkSize);
  TWriteBehind output(s, outputSize, s.declaredSize >= outputSize);

  bool ended = false;
  bool ok = true;
  // clang-format off
  while (ok && n > 0 && !ended) {
    if (!ReportProgress(s)) return false;                                // REPORT
    uint8_t* const chunk = reader.Take(n);                              // READ, DECRYPT
    if (chunk == nullptr) return Fail(s, TZFCause::Truncated);
    const uint32_t next = chunkAfter(s.consumed + n);                   // SIZE
    if (next > 0) reader.ReadAhead(next);                               //  (of the next)
    ok = ExpandChunk(s, decompressor, output, chunk, n, ended);         // EXPAND + EMIT
    s.consumed += n;
    n = next;
  }
  // clang-format on
  ok = output.Finish() && ok;
  if (ok && !ended) {
    const TZFCause cause = decompressor.Finish();
    if (cause != TZFCause::None) ok = FailDecompressor(s, cause);
  }
  if (s.cipher == nullptr || s.cipher->TrailerSize() == 0) return ok;
  return Authenticate(s, reader, n, chunkAfter, ok);
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

// Whether a 50-byte header read from an entry the registry does not know
// is the block-structured format's: its total agrees with the entry's
// declared size (its low 32 bits for a Zip64 entry) and it names a known
// algorithm and block kind. Anything else is a method this engine does
// not decode, and is never taken for a password or CRC problem.
bool IsBlockFormatHeader(const TDecodeState& s, const TBlockFormatHeader& b) {
  return b.TotalSize == static_cast<uint32_t>(s.declaredSize) && b.Algorithm == 0 &&
         b.Compressed <= 1;
}

bool DecodeBlocks(TDecodeState& s) {
  uint8_t raw[kBlockFormatHeaderSize];
  if (s.compressedSize < static_cast<int64_t>(kBlockFormatHeaderSize))
    return Fail(s, TZFCause::UnsupportedMethod);
  if (!ReadEntryBytes(s, raw, kBlockFormatHeaderSize)) return false;
  TBlockFormatHeader b;
  ReadBlockFormatHeader(raw, b);
  if (!IsBlockFormatHeader(s, b)) return Fail(s, TZFCause::UnsupportedMethod);
  const bool encrypted = b.Encryption != kBlockFormatNotEncrypted;
  if (encrypted && !CheckBlockPassword(s, b)) return false;
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
    if (encrypted)
      DecryptHook(static_cast<uint8_t>(b.Encryption), block.data(), length, s.events.Password());
    if (!EmitBlock(s, b, block, piece, expected)) return false;
  }
  return true;
}

// ---- the entry ---------------------------------------------------------------------

// Dispatches the entry's data by its coding: the registry decides first,
// by method; a method it does not know is the block-structured format's
// when the entry needs version 11 or more and the block header agrees,
// and otherwise refused before any password question.
bool DecodeData(TDecodeState& s) {
  const TZFEntryCoding coding = EntryCodingOf(s.item);
  s.method = coding.Method;
  if (!coding.Valid || !IsRegisteredMethod(coding.Method)) {
    if (s.header.Method != kMethodAes && s.header.VersionNeeded >= kBlockFormatMinVersion)
      return DecodeBlocks(s);
    return Fail(s, TZFCause::UnsupportedMethod);
  }
  const std::unique_ptr<IZFEntryCipher> cipher = MakeEntryCipher(coding, s.local);
  if (coding.Cipher != TZFEntryCoding::TCipher::None && cipher == nullptr) {
    s.method = kMethodAes;
    return Fail(s, TZFCause::UnsupportedMethod);
  }
  const int64_t overhead = cipher != nullptr ? cipher->HeaderSize() + cipher->TrailerSize() : 0;
  const TZFMethodParams params{s.header.Flags, s.declaredSize,
                               static_cast<uint64_t>(std::max<int64_t>(0, s.compressedSize - overhead))};
  const std::unique_ptr<IZFDecompressor> decompressor = MakeDecompressor(coding.Method, params);
  s.cipher = cipher.get();
  s.checkCrc = cipher == nullptr || cipher->ChecksCrc();
  return DecodeStream(s, *decompressor);
}

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
  return DecodeData(s);
}

// The result of a decoding that ended with ok: the cause recorded, else
// the size and CRC-32 judged.
TZFDecodeResult Judge(TDecodeState& s, bool ok) {
  if (ok && s.produced != s.declaredSize) Fail(s, TZFCause::SizeMismatch);
  if (ok && s.checkCrc && ~s.crc != s.header.Crc32) Fail(s, TZFCause::CrcMismatch);
  if (!ok && s.failure.Cause == TZFCause::None) Fail(s, TZFCause::DamagedData);
  TZFDecodeResult result;
  result.Failure = std::move(s.failure);
  if (result.Failure.Cause == TZFCause::UnsupportedMethod) result.Failure.Method = s.method;
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
