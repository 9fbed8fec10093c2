// Why an install failed, in words a user can act on.
//
// The engine reports a failed entry with its native code, its own English
// message and the cause (zf::TZFCause); the wizard turns that cause into one
// line in the user's language (no space, access denied, damaged package,
// wrong password, ...) and keeps the engine's message, which ends with the native code, and
// the cause's English detail on a second line for support.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "archive/ZFExcept.h"
#include "wizard/ErrorBox.h"

namespace setup {

enum class FailureCause {
  NoSpace,        // the disk is full
  AccessDenied,   // a file or folder may not be written
  Damaged,        // the package's data is not what it should be
  WrongPassword,  // the package's entries do not open with the password
  CannotWrite,    // a file or folder could not be made, for a reason not told
  BackupFailed,   // a file to be replaced could not be copied for the rollback
  Other,
};

struct TInstallFailure {
  FailureCause cause = FailureCause::Other;
  std::string entry;   // the entry or file concerned (UTF-8), or empty
  std::string detail;  // the engine's or the system's message (UTF-8), or empty
  // The engine's cause behind `cause` (None when the wizard itself found
  // the failure, or nobody knows more), which the log names.
  zf::TZFCause engineCause = zf::TZFCause::None;
};

// What a user is told for one of the engine's causes (Other for None and
// for the causes that are no failure to show, such as Cancelled).
FailureCause CauseOf(zf::TZFCause cause);
// An entry (ANSI) that the engine failed with message (ANSI) and detail.
TInstallFailure EngineFailure(const std::string& entry, const std::string& message,
                              const zf::TZFErrorDetail& detail);
// A file or folder (ANSI) that the system would not make or write, with the
// system's code: its cause (CannotWrite when the code tells none) and text.
TInstallFailure SystemFailure(const std::string& path, int32_t systemError);
// The cause of an exception that ended the install (the wizard's own
// errors told in the language of `texts`).
TInstallFailure FailureOf(const std::exception& error, const TWizardTexts& texts);

// The error box's text (UTF-8): the line naming the cause and the entry in
// the language of `texts`, then the detail on a line of its own.
std::string FailureBoxText(const TInstallFailure& failure, const TWizardTexts& texts);
// The failure's line in the /LOG file (UTF-8): the entry, the engine's
// cause by its stable name, and the detail, e.g. "big.bin: disk-full:
// Stream write error".
std::string FailureLogText(const TInstallFailure& failure);

// The install failed; the box shows FailureBoxText.
class EInstallFailed : public EWizardError {
 public:
  explicit EInstallFailed(TInstallFailure failure);
  std::string Localized(const TWizardTexts& texts) const override;
  const TInstallFailure& Failure() const { return failure_; }

 private:
  TInstallFailure failure_;
};

}  // namespace setup
