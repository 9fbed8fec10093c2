// A streaming decoder of raw deflate data (RFC 1951) and of Deflate64, from
// one code: the two differ only in their window (32 KiB and 64 KiB), length
// code 285 and distance codes 30 and 31 (ZFInflateTables.h).
//
// It stops and resumes at any byte of input and of output, so the caller
// may feed the data in chunks of any size and drain it into bounded
// buffers. While enough of both remain it decodes in a fast loop that
// checks neither bound (see ZFInflate.cpp); near either end it goes on
// symbol by symbol.
//
// It is as strict as zlib: a stream zlib refuses is refused, each kind of
// damage with a cause of its own, and before any byte of output that the
// damage would have produced. It knows nothing of ZIP entries, sizes or
// checksums; the bytes after the final block are not its business (up to
// eight of them may be taken in with the last bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace zf {

namespace inflater {
struct TInflateState;
}

enum class TDeflateFormat : uint8_t { Deflate, Deflate64 };

// Why a stream was refused.
enum class TInflateError : uint8_t {
  None,
  InvalidBlockType,      // block type 3
  StoredLengthMismatch,  // a stored block's length and its complement disagree
  TooManyCodes,          // more than 286 literal/length codes, or 30 distance codes (Deflate64: 32)
  OversubscribedCode,    // code lengths with more codes than bit patterns
  IncompleteCode,        // code lengths that leave bit patterns unused
  BadCodeLengths,        // a repeat with no length before it or past the last one; no end-of-block code
  InvalidCode,           // a code no symbol of the format has (or a pattern an incomplete code left)
  DistanceTooFar,        // a match that reaches back before the first byte of output
};

// The cause in a few words, e.g. "invalid distance too far back".
const char* InflateErrorText(TInflateError error);

enum class TInflateStatus : uint8_t {
  Progress,   // the input is used up or the output is full: call again
  StreamEnd,  // the final block has ended
  Error,      // the stream is refused (Error() says why); every call after says so again
};

struct TInflateStep {
  TInflateStatus Status;
  size_t Consumed;  // bytes of input taken in
  size_t Produced;  // bytes written to the output
};

class TInflater {
 public:
  explicit TInflater(TDeflateFormat format = TDeflateFormat::Deflate);
  ~TInflater();
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  // Decodes from input into output until the input is used up, the output
  // is full, the stream ends or it is refused. Input taken in is never
  // given back: the next call goes on after it. When Produced is the whole
  // output there may be more to come from the input already taken, so call
  // again with room (and with no more input, if none is left).
  TInflateStep Inflate(std::span<const uint8_t> input, std::span<uint8_t> output);

  TInflateError Error() const;
  uint64_t TotalOut() const;

 private:
  std::unique_ptr<inflater::TInflateState> s_;
};

}  // namespace zf
