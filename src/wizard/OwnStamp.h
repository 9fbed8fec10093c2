// The package's stamp in setup.exe's own image (PackageStamp.h): the blank
// place the wizard is built with, which mkstp fills in the copy it ships,
// and its reading at run time.
#pragma once

#include "package/PackageStamp.h"

namespace setup {

// What mkstp wrote into the running program; no stamp for a blank place.
TPackageStamp OwnPackageStamp();

}  // namespace setup
