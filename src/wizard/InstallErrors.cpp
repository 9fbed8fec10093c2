// Causes of a failed install and the Russian text of their error box.
#include "wizard/InstallErrors.h"

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "platform/platform.h"
#include "wizard/WizardTexts.h"

namespace setup {
namespace {

// The system's codes for a full disk and for a refused access.
#ifdef _WIN32
constexpr int32_t kNoSpaceCodes[] = {39, 112};      // ERROR_HANDLE_DISK_FULL, ERROR_DISK_FULL
constexpr int32_t kDeniedCodes[] = {5, 19, 32, 33};  // access, write-protect, sharing, lock
#else
constexpr int32_t kNoSpaceCodes[] = {28, 122};  // ENOSPC, EDQUOT
constexpr int32_t kDeniedCodes[] = {1, 13, 30};  // EPERM, EACCES, EROFS
#endif

template <size_t N>
bool OneOf(int32_t code, const int32_t (&codes)[N]) {
  for (int32_t c : codes)
    if (c == code) return true;
  return false;
}

std::string_view CauseText(FailureCause cause) {
  switch (cause) {
    case FailureCause::NoSpace: return texts::kCauseNoSpace;
    case FailureCause::AccessDenied: return texts::kCauseAccessDenied;
    case FailureCause::Damaged: return texts::kCauseDamaged;
    case FailureCause::WrongPassword: return texts::kCauseWrongPassword;
    case FailureCause::CannotWrite: return texts::kCauseCannotWrite;
    case FailureCause::Other: break;
  }
  return texts::kCauseOther;
}

}  // namespace

FailureCause CauseOf(int32_t nativeError, int32_t systemError) {
  if (OneOf(systemError, kNoSpaceCodes)) return FailureCause::NoSpace;
  if (OneOf(systemError, kDeniedCodes)) return FailureCause::AccessDenied;
  switch (nativeError) {
    case zf::neExtractFailed:
    case zf::neInvalidArchive:
    case zf::neVolumeRequestCancelled:
      return FailureCause::Damaged;
    case zf::neCannotCreateFile:
    case zf::neCannotCreateDir:
      return FailureCause::CannotWrite;
    default:
      return FailureCause::Other;
  }
}

TInstallFailure SystemFailure(const std::string& path, int32_t systemError) {
  FailureCause cause = CauseOf(0, systemError);
  if (cause == FailureCause::Other) cause = FailureCause::CannotWrite;
  return {cause, zf::os::AnsiToUtf8(path), zf::os::AnsiToUtf8(zf::os::ErrorText(systemError))};
}

TInstallFailure FailureOf(const std::exception& error) {
  if (const auto* failed = dynamic_cast<const EInstallFailed*>(&error)) return failed->Failure();
  TInstallFailure failure;
  if (dynamic_cast<const EWizardError*>(&error) != nullptr) {
    failure.detail = error.what();
    return failure;
  }
  failure.detail = zf::os::AnsiToUtf8(error.what());
  if (const auto* engine = dynamic_cast<const zf::EZFException*>(&error))
    failure.cause = CauseOf(engine->NativeError(), 0);
  else if (dynamic_cast<const zf::EWriteError*>(&error) != nullptr ||
           dynamic_cast<const zf::EFOpenError*>(&error) != nullptr)
    failure.cause = FailureCause::CannotWrite;
  return failure;
}

std::string FailureBoxText(const TInstallFailure& failure) {
  std::string text(CauseText(failure.cause));
  if (!failure.entry.empty()) text += ": \"" + failure.entry + "\"";
  text += ".";
  if (!failure.detail.empty()) text += "\n" + failure.detail;
  return text;
}

EInstallFailed::EInstallFailed(TInstallFailure failure)
    : EWizardError(FailureBoxText(failure)), failure_(std::move(failure)) {}

}  // namespace setup
