// The decompressor of one entry's data, and the registry that finds one by
// compression method (as Go's archive/zip registers a decompressor per
// method). Each method lives in a file of its own beside this one; the
// entry codec (ZFCodec.cpp) drives whichever the registry gives it through
// this one interface, in its chunk loop, for every method alike.
//
// A decompressor is a resumable stage: the codec feeds it the entry's
// compressed bytes a chunk at a time and gives it room for plain bytes a
// buffer at a time, in whatever pieces they come; it keeps its own state
// between calls, as zlib's inflate does. It never sees the archive, the
// cipher, the CRC-32 or the declared size's check: those are the codec's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/ZFExcept.h"

namespace zf {

// The input and output of one Decode call: both advance by what was used.
struct TZFCodecBuffers {
  const uint8_t* In = nullptr;
  size_t InLeft = 0;
  uint8_t* Out = nullptr;
  size_t OutLeft = 0;
};

enum class TZFDecodeStatus {
  Ok,      // used what it could: needs more input, or more room (when OutLeft is 0)
  End,     // the compressed stream ended; nothing after it is read
  Failed,  // the data cannot be decoded; Cause() says why
};

class IZFDecompressor {
 public:
  virtual ~IZFDecompressor() = default;

  // Decodes from b.In into b.Out as far as either goes. Room left over
  // (b.OutLeft above 0) after an Ok means all the input given so far is
  // decoded and flushed: the codec then brings the next chunk.
  virtual TZFDecodeStatus Decode(TZFCodecBuffers& b) = 0;

  // The input has all been given and decoded: None when that is a
  // complete stream, else the cause (Truncated: the compressed data ends
  // before its stream does).
  virtual TZFCause Finish() = 0;

  // Why Decode failed: DamagedData, UnsupportedMethod (a variant or option
  // of the method this engine does not decode), SystemError (no memory).
  TZFCause Cause() const { return cause_; }
  // What the decoder found wrong, where it says (damaged data: "invalid
  // distance too far back"); null otherwise.
  const char* Reason() const { return reason_; }

 protected:
  TZFDecodeStatus Failed(TZFCause cause, const char* reason = nullptr) {
    cause_ = cause;
    reason_ = reason;
    return TZFDecodeStatus::Failed;
  }

 private:
  TZFCause cause_ = TZFCause::None;
  const char* reason_ = nullptr;
};

// What a decompressor may need to know of its entry beyond the bytes.
struct TZFMethodParams {
  uint16_t Flags = 0;             // general-purpose flags (LZMA: bit 1, end marker present)
  uint64_t UncompressedSize = 0;  // declared (LZMA without end marker stops there)
  uint64_t CompressedSize = 0;    // the bytes it will be fed, all told (the cipher's taken off)
};

// A decompressor for method, or null when the registry has none.
std::unique_ptr<IZFDecompressor> MakeDecompressor(uint16_t method, const TZFMethodParams& params);

// Whether the registry decodes method.
bool IsRegisteredMethod(uint16_t method);

// The largest window or model a decompressor reserves for one entry, with
// the entry's declared size as a further bound where the method allows:
// a 32-bit process is never made to reserve gigabytes by an archive.
inline constexpr uint64_t kMaxDecoderMemory =
    sizeof(void*) >= 8 ? uint64_t{1} << 31 : uint64_t{1} << 28;

}  // namespace zf
