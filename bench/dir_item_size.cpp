// Prints what one directory item costs before its strings and extra blocks:
// bench/compare.sh sets it beside the measured memory per entry of a large
// archive.
#include <cstdio>

#include "archive/ZFDirItem.h"

int main() {
  std::printf("%zu\n", sizeof(zf::TDirItem));
  return 0;
}
