// The Windows program check by its headers.
#include "exe_check.h"

#include "archive/ZFRecords.h"

namespace mkstp {

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeOffsetField = 0x3C;       // e_lfanew
constexpr size_t kCoffHeaderSize = 20;        // after the 4-byte signature
constexpr size_t kCharacteristicsField = 18;  // in the COFF header
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kDll = 0x2000;

}  // namespace

std::string ProgramProblem(const std::vector<uint8_t>& b) {
  if (b.size() < kDosHeaderSize || b[0] != 'M' || b[1] != 'Z')
    return "not a Windows program (no MZ header)";
  const uint32_t pe = zf::Get32(&b[kPeOffsetField]);
  if (pe > b.size() || b.size() - pe < 4 + kCoffHeaderSize || b[pe] != 'P' || b[pe + 1] != 'E' ||
      b[pe + 2] != 0 || b[pe + 3] != 0)
    return "not a Windows program (no PE header)";
  const uint16_t characteristics = zf::Get16(&b[pe + 4 + kCharacteristicsField]);
  if (characteristics & kDll) return "a DLL, not a Windows program";
  if (!(characteristics & kExecutableImage)) return "not a Windows program (not an executable image)";
  return std::string();
}

}  // namespace mkstp
