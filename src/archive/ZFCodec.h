// The entry data codec: moves the data of one archive entry from the archive
// stream to a destination stream. It reads the entry's local header, checks
// the password, decrypts (methods/EntryCipher.h: the traditional cipher,
// WinZip AES), decompresses (methods/Decompressor.h: a decompressor per
// method from the registry, or the block-structured format) chunk by chunk,
// reports progress, honours cancellation between chunks, and judges the
// result by size, CRC-32 and the cipher's authentication code. It never
// writes more than the entry's declared uncompressed size.
//
// It does not choose the entry, the volume or the file: the extraction run
// positions the archive stream at the local header and owns the
// destination; what a failure means (native code 8, the failure event,
// keeping a damaged file) is decided there too. It knows the component only
// through two narrow doors: the volume source (ZFVolumeSource.h) and the
// decode-event sink (ZFDecodeEvents.h).
#pragma once

#include <cstdint>
#include <string>

#include "archive/ZFClasses.h"
#include "archive/ZFDecodeEvents.h"
#include "archive/ZFDirItem.h"
#include "archive/ZFExcept.h"
#include "archive/ZFVolumeSource.h"

namespace zf {

// What decoding one entry came to.
struct TZFDecodeResult {
  // Cause None: the data decoded completely and its size and CRC-32 match
  // the item. Otherwise why not (EntryOffset is the item's local header;
  // OtherEntry is left for the caller, who knows the directory).
  TZFErrorDetail Failure;
  bool Ok() const { return Failure.Cause == TZFCause::None; }
  TZFCause Cause() const { return Failure.Cause; }
};

// Decodes item into destination. volumes.VolumeStream() is positioned at
// the entry's local header; the data goes on into the following volumes of
// a set. events hears the progress before each chunk (and may cancel) and
// answers the password questions (and may skip).
//
// Causes: CrcMismatch, SizeMismatch (more or fewer bytes than declared, a
// stored block of the wrong length), Truncated (the data is not all there,
// or a compressed stream ends before its end), DamagedData (data the
// method cannot decode), Overlap (the data would pass place.DataLimit),
// UnsupportedMethod (a method neither the registry nor the block-structured
// format decodes; refused before any password question),
// AuthenticationFailed (an AES entry whose code does not fit its data),
// WrongPassword (the sink cannot ask, or answers three times with a
// password that failed before), Skipped, Cancelled, and DiskFull,
// AccessDenied, IoError or SystemError for a destination that took fewer
// bytes than given (with the system's code and text, when the destination
// knows them) or a decompressor short of memory.
// Raises the stream's EReadError for a short local header or encryption
// header, and native code 45 when a volume request is cancelled.
TZFDecodeResult DecodeEntry(IZFVolumeSource& volumes, IZFDecodeEvents& events,
                            TStream& destination, const TDirItem& item,
                            const TZFEntryPlace& place);

// ---- decoding ahead ------------------------------------------------------------
// A worker thread may decode the small entries an extraction run comes to
// next while the run writes the current one (ZFDecodeAhead.h). The decoding
// is DecodeEntry's own through the silent sink and on one volume; the run
// then replays the entry's events around the plain bytes.

// An entry decoded ahead.
struct TZFDecodedEntry {
  TMemoryStream Data;             // the plain bytes
  bool Encrypted = false;
  std::string Password;           // the one it was decrypted with, if encrypted
  int Reports = 0;                // progress reports the decoding makes (0 or 1)
  long double ProgressTotal = 0;  // the total they show
};

// Decodes item, whose local header is at archive's position, into out,
// touching nothing of the run's: no events, no password requests (password
// is tried, and a wrong one fails), and archive is the only volume. True
// only when the entry decoded completely in one chunk with the right size
// and CRC-32; anything else is left to DecodeEntry, which meets and reports
// the same failure.
bool DecodeEntryAhead(TStream& archive, const TDirItem& item, const TZFEntryPlace& place,
                      const std::string& password, TZFDecodedEntry& out);

// What DecodeEntry does for an entry DecodeEntryAhead decoded: the same
// progress events and checks, and the same bytes written to destination.
TZFDecodeResult ReplayEntry(IZFDecodeEvents& events, TStream& destination, const TDirItem& item,
                            const TZFDecodedEntry& decoded);

// Reads an entry's data from the volume it starts on and on into the
// following volumes of a volume set.
class TZFVolumeCursor {
 public:
  // firstVolume: the volume the source's stream is on now; lastVolume:
  // the volume that holds the end of the central directory.
  TZFVolumeCursor(IZFVolumeSource& volumes, int32_t firstVolume, int32_t lastVolume);

  // The stream of the volume being read.
  TStream& Stream() { return *stream_; }

  // Reads count bytes, continuing at position 0 of the next volume while the
  // current one runs out. False when the bytes are not there: the last
  // volume ended, a fresh volume yielded nothing, or the archive is a single
  // file (whose start must never be read as a continuation).
  bool ReadAcrossVolumes(void* buffer, int64_t count);

 private:
  bool NextVolume();

  IZFVolumeSource& volumes_;
  TStream* stream_;
  int32_t number_;
  int32_t last_;
};

// ---- chunk sizing --------------------------------------------------------------
// Exposed for tests; DecodeEntry is their only user.

// The output a chunk of n compressed bytes is predicted to need at the
// entry's compression ratio (uncompressed div compressed):
// ((ratio + 1) * (n + n/2 + 267)) rounded down to a multiple of 256, then to
// the nearest power of two on the logarithmic scale. Saturates at
// UINT64_MAX instead of wrapping, whatever the ratio.
uint64_t OutputEstimate(uint64_t ratio, uint32_t n);

// Length of the next chunk: min(1 MiB, remaining), halved until its output
// estimate is below a twentieth of availableMemory or it is under 512
// bytes. remaining must be above 0.
uint32_t ChunkLength(int64_t remaining, uint64_t ratio, uint32_t availableMemory);

}  // namespace zf
