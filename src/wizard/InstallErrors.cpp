// Causes of a failed install and the text of their error box.
#include "wizard/InstallErrors.h"

#include "archive/ZFExcept.h"
#include "platform/platform.h"
#include "wizard/WizardTexts.h"

namespace setup {
namespace {

std::string_view CauseText(FailureCause cause, const TWizardTexts& texts) {
  switch (cause) {
    case FailureCause::NoSpace: return texts.causeNoSpace;
    case FailureCause::AccessDenied: return texts.causeAccessDenied;
    case FailureCause::Damaged: return texts.causeDamaged;
    case FailureCause::WrongPassword: return texts.causeWrongPassword;
    case FailureCause::CannotWrite: return texts.causeCannotWrite;
    case FailureCause::BackupFailed: return texts.causeBackupFailed;
    case FailureCause::Other: break;
  }
  return texts.causeOther;
}

// A failure the system reported (its code), with what the user is told
// when the code tells none of the known causes.
TInstallFailure FromSystem(std::string entry, int32_t systemError) {
  const zf::TZFErrorDetail system = zf::SystemFailure(systemError);
  FailureCause cause = CauseOf(system.Cause);
  if (cause == FailureCause::Other) cause = FailureCause::CannotWrite;
  return {cause, std::move(entry), zf::os::AnsiToUtf8(system.SystemText), system.Cause};
}

}  // namespace

FailureCause CauseOf(zf::TZFCause cause) {
  using enum zf::TZFCause;
  switch (cause) {
    case DiskFull: return FailureCause::NoSpace;
    case AccessDenied: return FailureCause::AccessDenied;
    case CrcMismatch:
    case SizeMismatch:
    case Truncated:
    case DamagedData:
    case Overlap:
    case UnsupportedMethod:
    case AuthenticationFailed:  // the data changed since it was sealed
    case LinkOutside:  // only with RestoreSymlinks, which the wizard leaves off
    case ThroughLink:
      return FailureCause::Damaged;
    // The wizard's password handler declines every question: an entry is
    // skipped only when the package's password does not open it.
    case WrongPassword:
    case Skipped:
      return FailureCause::WrongPassword;
    case IoError:
    case SystemError:
    case FolderInTheWay:
      return FailureCause::CannotWrite;
    case None:
    case Cancelled:
      break;
  }
  return FailureCause::Other;
}

TInstallFailure EngineFailure(const std::string& entry, const std::string& message,
                              const zf::TZFErrorDetail& detail) {
  return {CauseOf(detail.Cause), zf::os::AnsiToUtf8(entry),
          zf::os::AnsiToUtf8(zf::AppendDetail(message, detail)), detail.Cause};
}

TInstallFailure SystemFailure(const std::string& path, int32_t systemError) {
  return FromSystem(zf::os::AnsiToUtf8(path), systemError);
}

TInstallFailure FailureOf(const std::exception& error, const TWizardTexts& texts) {
  if (const auto* failed = dynamic_cast<const EInstallFailed*>(&error)) return failed->Failure();
  TInstallFailure failure;
  if (const auto* own = dynamic_cast<const EWizardError*>(&error)) {
    failure.detail = own->Localized(texts);
    return failure;
  }
  if (const auto* engine = dynamic_cast<const zf::EZFException*>(&error))
    return EngineFailure("", engine->Message(), engine->Detail());
  if (const auto* open = dynamic_cast<const zf::EFOpenError*>(&error)) {
    failure = FromSystem("", open->SystemCode());
  } else if (dynamic_cast<const zf::EWriteError*>(&error) != nullptr) {
    failure.cause = FailureCause::CannotWrite;
  }
  failure.detail = zf::os::AnsiToUtf8(error.what());
  return failure;
}

std::string FailureBoxText(const TInstallFailure& failure, const TWizardTexts& texts) {
  std::string text(CauseText(failure.cause, texts));
  if (!failure.entry.empty()) text += ": \"" + failure.entry + "\"";
  text += ".";
  if (!failure.detail.empty()) text += "\n" + failure.detail;
  return text;
}

std::string FailureLogText(const TInstallFailure& failure) {
  std::string text = failure.entry.empty() ? std::string("(install)") : failure.entry;
  text += ": ";
  text += zf::CauseName(failure.engineCause);
  if (!failure.detail.empty()) text += ": " + failure.detail;
  return text;
}

EInstallFailed::EInstallFailed(TInstallFailure failure)
    : EWizardError(Told{}, FailureBoxText(failure, TextsFor(Language::English))),
      failure_(std::move(failure)) {}

std::string EInstallFailed::Localized(const TWizardTexts& texts) const {
  return FailureBoxText(failure_, texts);
}

}  // namespace setup
