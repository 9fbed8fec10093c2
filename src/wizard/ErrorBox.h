// The text of the box that shows an error escaping one of the wizard's
// handlers, and the wizard's own errors, told in the user's language.
//
// The box (IWizardView::ShowErrorBox) is titled "Setup" and carries the
// error icon; its text is the exception's message, completed with a full
// stop when its last character comes after "." in character order (so
// "...found" gets one, "...found." and "100%" do not).
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "archive/ZFClasses.h"
#include "wizard/WizardTexts.h"

namespace setup {

// An error of the wizard itself: a text of the table, in whichever
// language the box speaks, with the file or value it concerns. what() is
// the English one, for logs.
class EWizardError : public zf::Exception {
 public:
  using Text = std::string_view TWizardTexts::*;
  // The text, then ": "subject"" when there is a subject (UTF-8).
  explicit EWizardError(Text text, std::string subject = {});
  // The message in the language of `texts`.
  virtual std::string Localized(const TWizardTexts& texts) const;

 protected:
  // For errors that tell themselves (EInstallFailed); `english` is what().
  struct Told {};
  EWizardError(Told, const std::string& english) : zf::Exception(english) {}

 private:
  Text text_ = nullptr;
  std::string subject_;
};

// The message with the full-stop rule applied; a UTF-8 message stays as it
// is apart from the full stop.
std::string WithFullStop(const std::string& message);

// The box text for an exception: an EWizardError in the language of
// `texts`, other messages converted from the ANSI code page to UTF-8;
// then WithFullStop.
std::string ErrorBoxText(const std::exception& error, const TWizardTexts& texts);

}  // namespace setup
