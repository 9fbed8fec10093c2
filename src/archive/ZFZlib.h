// The engine's adapter over zlib: its exception classes, the allocation
// callbacks handed to zlib, the decompression status check, the one-shot
// inflate of a complete zlib-wrapped buffer in pieces (the blocks of
// block-structured entries), and the compression-mode routines that map the component's
// CompressionMode 0-9 to levels and zlib header bytes.
//
// Of zlib the engine uses inflateInit_, inflate and inflateEnd only. Ordinary
// deflated entries go through the engine's own inflate (methods/Deflate.cpp),
// or through zlib with the callbacks below in a build with ZF_ZLIB_INFLATE.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "archive/ZFClasses.h"
#include "archive/ZFTypes.h"

namespace zf {

class EZlibError : public Exception {
 public:
  using Exception::Exception;
};
// Belongs to a compression check that no operation of the engine calls.
class ECompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};
class EDecompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// zlib's alloc_func and free_func: items * size bytes of zero-filled heap
// memory (nullptr when that cannot be had), and its release.
void* ZlibAlloc(void* opaque, unsigned items, unsigned size);
void ZlibFree(void* opaque, void* block);

// The decompression status check: a status of 0 or above is returned
// unchanged; a negative one raises EDecompressionError("error").
int DecompressCheck(int status);

// Inflates input, one complete zlib-wrapped stream (2-byte header, deflate
// data, Adler-32 trailer), in pieces: each piece is decoded into the
// caller's buffer piece and handed to onPiece before the next one is
// decoded, so the memory spent is the buffer's whatever the stream decodes
// to (the blocks of block-structured entries declare their own sizes).
// onPiece returns false to stop; InflateInPieces then returns false at once.
// True when the stream ended.
//
// Raises EDecompressionError("error") when zlib reports an error, when the
// stream is cut short or needs a preset dictionary, and for an empty piece
// buffer.
bool InflateInPieces(std::span<const uint8_t> input, std::span<uint8_t> piece,
                     const std::function<bool(std::span<const uint8_t>)>& onPiece);

// InflateInPieces collected into one buffer: all the stream decodes, in
// pieces of pieceSize bytes (0: the input length rounded up to a multiple
// of 256). A stream that decodes to more than outputLimit bytes fails;
// the pieces are held to what input.size() bytes of deflate data can decode
// to, so a size declared by an archive never sizes the buffer by itself.
std::vector<uint8_t> InflateWholeBuffer(std::span<const uint8_t> input, size_t pieceSize,
                                        size_t outputLimit);

// CompressionLevel and CompressionMode as two views of one setting:
// clNone 0, clFastest 1, clNormal 6, clMax 9; modes 1-3, 4-6, 7-9 give
// clFastest, clNormal, clMax, any other mode clNone.
TZFCompressionLevel ModeToLevel(int mode);
uint8_t LevelToMode(TZFCompressionLevel level);

// The two header bytes of a zlib stream compressed at mode: 0x78, then
// 0x01 for modes 1-2, 0x5E for 3-4, 0x9C for 5-6 and 0xDA for 0 and 7-9
// (also for any mode outside 0-9). The entry codec puts the bytes of mode 1
// in front of raw deflate data.
std::array<uint8_t, 2> ModeToZlibHeader(int mode);

}  // namespace zf
