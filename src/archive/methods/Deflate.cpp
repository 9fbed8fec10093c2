// Methods 8 (Deflate) and 9 (Deflate64) through the engine's own streaming
// inflate (ZFInflate.h), one code for both. A build with ZF_ZLIB_INFLATE
// takes zlib for method 8 instead (DeflateZlib.cpp), the reference the own
// inflate is measured against. ZIP's deflate data ends with the entry's
// compressed size: a stream that has not reached its final block there is
// judged by the entry's size and CRC-32, not refused here.
//
// Entries small enough for one buffer could go through libdeflate's
// whole-buffer decoder instead. It is not used: on the benchmark's text
// (bench/inflate_bench, 64 MiB deflated by zlib at level 6, processor
// time, 2-core host) it decodes 730 MB/s, ours 579 and zlib 323, so it
// would gain a quarter of the inflating on small entries only, where
// creating the files takes about half of the time, for a second decoder of
// one method and one more library to build for Windows.
#include "archive/methods/Factories.h"
#include "archive/methods/ZFInflate.h"

namespace zf {

namespace {

class TInflateDecompressor : public IZFDecompressor {
 public:
  explicit TInflateDecompressor(TDeflateFormat format) : inflater_(format) {}

  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    const TInflateStep step = inflater_.Inflate({b.In, b.InLeft}, {b.Out, b.OutLeft});
    b.In += step.Consumed;
    b.InLeft -= step.Consumed;
    b.Out += step.Produced;
    b.OutLeft -= step.Produced;
    switch (step.Status) {
      case TInflateStatus::Progress: return TZFDecodeStatus::Ok;
      case TInflateStatus::StreamEnd: return TZFDecodeStatus::End;
      case TInflateStatus::Error: break;
    }
    return Failed(TZFCause::DamagedData, InflateErrorText(inflater_.Error()));
  }
  TZFCause Finish() override { return TZFCause::None; }

 private:
  TInflater inflater_;
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakeDeflateDecompressor(const TZFMethodParams& params) {
#ifdef ZF_ZLIB_INFLATE
  return MakeZlibDeflateDecompressor(params);
#else
  (void)params;
  return std::make_unique<TInflateDecompressor>(TDeflateFormat::Deflate);
#endif
}

std::unique_ptr<IZFDecompressor> MakeDeflate64Decompressor(const TZFMethodParams&) {
  return std::make_unique<TInflateDecompressor>(TDeflateFormat::Deflate64);
}

}  // namespace zf
