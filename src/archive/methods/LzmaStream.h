// What the two liblzma methods (LZMA and XZ) share: the stream record, its
// step over the codec's buffers, and its statuses as decoding results.
#pragma once

#include <lzma.h>

#include "archive/methods/Decompressor.h"

namespace zf {

class TLzmaStream {
 public:
  TLzmaStream() = default;
  ~TLzmaStream() { lzma_end(&strm_); }
  TLzmaStream(const TLzmaStream&) = delete;
  TLzmaStream& operator=(const TLzmaStream&) = delete;

  lzma_stream& Stream() { return strm_; }

  // One lzma_code step over b; the status as a decoding result, the cause
  // of a failure in cause.
  TZFDecodeStatus Step(TZFCodecBuffers& b, TZFCause& cause) {
    strm_.next_in = b.In;
    strm_.avail_in = b.InLeft;
    strm_.next_out = b.Out;
    strm_.avail_out = b.OutLeft;
    const lzma_ret status = lzma_code(&strm_, LZMA_RUN);
    b.In = strm_.next_in;
    b.InLeft = strm_.avail_in;
    b.Out = strm_.next_out;
    b.OutLeft = strm_.avail_out;
    return Result(status, cause);
  }

  // An lzma_ret as a decoding result.
  static TZFDecodeStatus Result(lzma_ret status, TZFCause& cause) {
    switch (status) {
      case LZMA_OK:
      case LZMA_BUF_ERROR:  // no progress possible: all input used, or no room
        return TZFDecodeStatus::Ok;
      case LZMA_STREAM_END:
        return TZFDecodeStatus::End;
      case LZMA_MEM_ERROR:
      case LZMA_MEMLIMIT_ERROR:
        cause = TZFCause::SystemError;
        return TZFDecodeStatus::Failed;
      case LZMA_OPTIONS_ERROR:  // a filter or check this liblzma does not have
        cause = TZFCause::UnsupportedMethod;
        return TZFDecodeStatus::Failed;
      default:
        cause = TZFCause::DamagedData;
        return TZFDecodeStatus::Failed;
    }
  }

 private:
  lzma_stream strm_ = LZMA_STREAM_INIT;
};

}  // namespace zf
