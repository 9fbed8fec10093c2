// Why an install failed, in words a user can act on.
//
// The engine reports a failed entry with its native code and its own
// English message; the wizard turns the cause into one Russian line (no
// space, access denied, damaged package, wrong password, ...) and keeps
// the engine's message, which ends with the native code, on a second line
// for support.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "wizard/ErrorBox.h"

namespace setup {

enum class FailureCause {
  NoSpace,        // the disk is full
  AccessDenied,   // a file or folder may not be written
  Damaged,        // the package's data is not what it should be
  WrongPassword,  // the package's entries do not open with the password
  CannotWrite,    // a file or folder could not be made, for a reason not told
  Other,
};

struct TInstallFailure {
  FailureCause cause = FailureCause::Other;
  std::string entry;   // the entry or file concerned (UTF-8), or empty
  std::string detail;  // the engine's or the system's message (UTF-8), or empty
};

// The cause of an entry that failed with the engine's native code and,
// when known, the system's error code (0: none).
FailureCause CauseOf(int32_t nativeError, int32_t systemError);
// A file or folder (ANSI) that the system would not make or write, with the
// system's code: its cause (CannotWrite when the code tells none) and text.
TInstallFailure SystemFailure(const std::string& path, int32_t systemError);
// The cause of an exception that ended the install.
TInstallFailure FailureOf(const std::exception& error);

// The error box's text (UTF-8): the Russian line naming the cause and the
// entry, then the detail on a line of its own.
std::string FailureBoxText(const TInstallFailure& failure);

// The install failed; the box shows FailureBoxText.
class EInstallFailed : public EWizardError {
 public:
  explicit EInstallFailed(TInstallFailure failure);
  const TInstallFailure& Failure() const { return failure_; }

 private:
  TInstallFailure failure_;
};

}  // namespace setup
