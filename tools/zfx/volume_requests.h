// Asking for the disks of a spanned archive on the terminal.
#pragma once

#include "archive/ZFArchiver.h"
#include "console.h"

namespace zfx {

// When someone at a terminal can answer, the archiver's volume requests ask
// for the disks of a spanned set with the component's own texts (the
// progress bar cleared first); split sets take the volumes beside the
// archive as the component would. Without a terminal nothing is attached:
// a missing volume then cancels its request (native code 45).
void AttachVolumeRequests(zf::TZipArchiver& archiver, Console& console);

// A hint to add to the engine's message of a failure with nativeError.
std::string VolumeFailureHint(int nativeError);

}  // namespace zfx
