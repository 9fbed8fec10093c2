// The text of the box that shows an error escaping one of the wizard's
// handlers, and the wizard's own error with a UTF-8 message.
//
// The box (IWizardView::ShowErrorBox) is titled "Setup" and carries the
// error icon; its text is the exception's message, completed with a full
// stop when its last character comes after "." in character order (so
// "...found" gets one, "...found." and "100%" do not).
#pragma once

#include <exception>
#include <string>

#include "archive/ZFClasses.h"

namespace setup {

// An error of the wizard itself; its message is UTF-8 (a Russian text of
// WizardTexts.h), unlike the engine's, which are in the ANSI code page.
class EWizardError : public zf::Exception {
 public:
  using zf::Exception::Exception;
};

// The message with the full-stop rule applied; a UTF-8 message stays as it
// is apart from the full stop.
std::string WithFullStop(const std::string& message);

// The box text for an exception: EWizardError messages as they are, other
// messages converted from the ANSI code page to UTF-8; then WithFullStop.
std::string ErrorBoxText(const std::exception& error);

}  // namespace setup
