// Linked into every test program: nobody answers a dialog in a test run.
// On Windows the engine's default dialogs are real windows, and a test that
// reaches one would wait for ever; here each gives its unattended answer at
// once. Linux asks only on a terminal, which the terminal tests make on
// purpose, so it is left as it is there.
#include "platform/platform.h"

namespace {

#ifdef _WIN32
const bool kDialogsUnattended = (zf::os::SetUnattendedDialogs(true), true);
#endif

}  // namespace
