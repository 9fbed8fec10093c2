// The error box's text: the wizard's own errors in the box's language,
// the full-stop rule and the message's code page.
#include "wizard/ErrorBox.h"

#include "platform/platform.h"

namespace setup {
namespace {

std::string Compose(std::string_view text, const std::string& subject) {
  std::string message(text);
  if (!subject.empty()) message += ": \"" + subject + "\"";
  return message;
}

}  // namespace

EWizardError::EWizardError(Text text, std::string subject)
    : zf::Exception(Compose(TextsFor(Language::English).*text, subject)),
      text_(text),
      subject_(std::move(subject)) {}

std::string EWizardError::Localized(const TWizardTexts& texts) const {
  return text_ ? Compose(texts.*text_, subject_) : std::string(what());
}

std::string WithFullStop(const std::string& message) {
  // Compared as unsigned bytes: a message ending in a letter of any script
  // (its last UTF-8 byte is above 0x7F) gets the full stop as well.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

std::string ErrorBoxText(const std::exception& error, const TWizardTexts& texts) {
  if (const auto* own = dynamic_cast<const EWizardError*>(&error))
    return WithFullStop(own->Localized(texts));
  return WithFullStop(zf::os::AnsiToUtf8(error.what()));
}

}  // namespace setup
