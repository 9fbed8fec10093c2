// The wizard as it ships: a copy of setup.exe with its stamp filled in
// (package/PackageStamp.h), followed, for a one-file setup, by the package.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/PackageStamp.h"
#include "progress.h"

namespace mkstp {

// The wizard's bytes and where its stamp's place is in them (none for a
// wizard built before it had one). Raises Failure for a wizard that
// cannot be read, or one that carries the mark more than once (which place
// would the wizard read?).
struct WizardImage {
  std::vector<uint8_t> bytes;
  std::optional<size_t> stampAt;
};
WizardImage ReadWizard(const std::string& path);

// The SHA-256 of a whole file; raises Failure when it cannot be read.
std::array<uint8_t, 32> FileSha256(const std::string& path, Progress& progress);

// Writes `to`: the wizard with `stamp` in its place (when it has one),
// then, when `appended` is not empty, that file's bytes. Raises Failure.
void WriteWizardCopy(const WizardImage& wizard, const setup::TPackageStamp& stamp,
                     const std::string& to, const std::string& appended);

}  // namespace mkstp
