// The stamp's place in the image: read-only data that the linker keeps
// (used) and the compiler never folds to its blank value (volatile), so
// the bytes read are the ones in the file, as mkstp left them.
#include "wizard/OwnStamp.h"

#include <array>

namespace setup {

extern "C" {
extern const volatile unsigned char zfsetup_package_stamp[kStampSize];
__attribute__((used)) const volatile unsigned char zfsetup_package_stamp[kStampSize] = {
    ZF_PACKAGE_STAMP_MARK};
}

TPackageStamp OwnPackageStamp() {
  std::array<uint8_t, kStampSize> bytes;
  for (size_t i = 0; i < kStampSize; ++i) bytes[i] = zfsetup_package_stamp[i];
  return ReadStamp(bytes);
}

}  // namespace setup
