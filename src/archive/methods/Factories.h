// The factory of each method's decompressor, one per file of this folder;
// only the registry (Registry.cpp) calls them.
#pragma once

#include <memory>

#include "archive/ZFRecords.h"
#include "archive/methods/Decompressor.h"
#include "archive/methods/EntryCipher.h"

namespace zf {

std::unique_ptr<IZFDecompressor> MakeStoredDecompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakeDeflateDecompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakeZlibDeflateDecompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakeDeflate64Decompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakeBZip2Decompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakeLzmaDecompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakeXzDecompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakeZstdDecompressor(const TZFMethodParams& params);
std::unique_ptr<IZFDecompressor> MakePpmdDecompressor(const TZFMethodParams& params);

// The AES cipher stage of an entry (EntryCipher.h), or null when the
// platform has no AES.
std::unique_ptr<IZFEntryCipher> MakeAesCipher(const TAesExtra& aes);

}  // namespace zf
