// The error box's text: the full-stop rule and the message's code page.
#include "wizard/ErrorBox.h"

#include "platform/platform.h"

namespace setup {

std::string WithFullStop(const std::string& message) {
  // Compared as unsigned bytes: a message ending in a letter of any script
  // (its last UTF-8 byte is above 0x7F) gets the full stop as well.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

std::string ErrorBoxText(const std::exception& error) {
  if (dynamic_cast<const EWizardError*>(&error) != nullptr) return WithFullStop(error.what());
  return WithFullStop(zf::os::AnsiToUtf8(error.what()));
}

}  // namespace setup
