// Whether the standard dialogs ask anybody: one flag for the process, set
// by the program (never read from the environment), shared by both
// implementations of the dialogs.
#include <atomic>

#include "platform/platform.h"

namespace zf::os {

namespace {
std::atomic<bool> unattended{false};
}  // namespace

void SetUnattendedDialogs(bool on) { unattended = on; }
bool UnattendedDialogs() { return unattended; }

}  // namespace zf::os
