// The registry of decompressors: one row per method this engine decodes.
// A method's file supplies its factory; adding a method is a row here.
#include "archive/methods/Decompressor.h"

#include <iterator>

#include "archive/ZFRecords.h"
#include "archive/methods/Factories.h"

namespace zf {

namespace {

struct TMethodRow {
  uint16_t Method;
  std::unique_ptr<IZFDecompressor> (*Make)(const TZFMethodParams&);
};

constexpr TMethodRow kMethods[] = {
    {kMethodStored, MakeStoredDecompressor},
    {kMethodDeflated, MakeDeflateDecompressor},
    {kMethodDeflate64, MakeDeflate64Decompressor},
    {kMethodBZip2, MakeBZip2Decompressor},
    {kMethodLzma, MakeLzmaDecompressor},
    {kMethodZstd, MakeZstdDecompressor},
    {kMethodXz, MakeXzDecompressor},
    {kMethodPpmd, MakePpmdDecompressor},
};

const TMethodRow* Find(uint16_t method) {
  for (const TMethodRow& row : kMethods)
    if (row.Method == method) return &row;
  return nullptr;
}

}  // namespace

std::unique_ptr<IZFDecompressor> MakeDecompressor(uint16_t method, const TZFMethodParams& params) {
  const TMethodRow* row = Find(method);
  return row != nullptr ? row->Make(params) : nullptr;
}

bool IsRegisteredMethod(uint16_t method) { return Find(method) != nullptr; }

}  // namespace zf
