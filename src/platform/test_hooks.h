// The stand-ins tests set for what they cannot make real (removable drives,
// free space, drive labels, answers to dialogs), kept once for both
// implementations of the platform layer. Each getter returns a copy taken
// under the lock, so the hook runs without it. Internal to the platform layer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace zf::os::hooks {

std::function<int(const std::string&)> Removable();
std::function<int64_t(const std::string&)> DiskFree();
std::function<bool(const std::string&, const std::string&)> DriveLabel();
DialogHookForTests Dialog();
// Runs the write hook, when one is set (a test of a killed or stopped
// program); costs one atomic load otherwise.
void BeforeWrite(int64_t count);

}  // namespace zf::os::hooks
