// Open + list: the input is an archive file, listed by zfx's "l" as a user
// would list it (every directory record, the sizes and their totals, dates,
// attributes, the comment); the listing itself goes to /dev/null.
#include <cstddef>
#include <cstdint>

#include "console.h"
#include "fuzz_support.h"
#include "list.h"
#include "zfx.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zffuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const zffuzz::Scratch scratch;
  zfx::CommandLine cmd;
  cmd.command = zfx::Command::List;
  cmd.archive = scratch.WriteInput("case.zip", data, size);
  zfx::Console console(false);
  zfx::RunList(cmd, console);
  return 0;
}
