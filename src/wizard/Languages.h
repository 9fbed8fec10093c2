// Which language the wizard speaks.
//
// A package names its languages in its configuration ("languages=ru,en";
// without the key it is Russian only, as every package made before). The
// wizard takes:
// - the language /LANG= asks for, when the package has it;
// - otherwise Russian for a user whose Windows speaks Russian, Ukrainian
//   or Belarusian (GetUserDefaultUILanguage), when the package has
//   Russian;
// - otherwise English, when the package has it; otherwise Russian.
// Before the package has been read every language counts as there, so
// the boxes of a missing package or a wrong switch follow the user's
// language (or /LANG=) alone.
//
// Portable: the system's language arrives as a Windows language id.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "wizard/WizardTexts.h"

namespace setup {

// A set of languages, one bit each.
class TLanguageSet {
 public:
  TLanguageSet() = default;
  static TLanguageSet All();
  void Add(Language language) { bits_ |= Bit(language); }
  bool Has(Language language) const { return (bits_ & Bit(language)) != 0; }
  bool Empty() const { return bits_ == 0; }
  bool operator==(const TLanguageSet&) const = default;

 private:
  static unsigned Bit(Language language) { return 1u << static_cast<unsigned>(language); }
  unsigned bits_ = 0;
};

// "ru" or "en", in any letter case.
std::optional<Language> LanguageFromCode(std::string_view code);
// A ","-separated list of codes ("ru,en"); nothing when it is empty, holds
// an unknown code or names one twice.
std::optional<TLanguageSet> ParseLanguageList(std::string_view list);

// The user's language as far as the wizard goes: Russian for a Russian,
// Ukrainian or Belarusian Windows language id, English for every other.
Language UserLanguageOf(uint16_t uiLanguageId);

// The language of a run (see the header comment).
Language ChooseLanguage(uint16_t uiLanguageId, TLanguageSet package,
                        std::optional<Language> requested);

}  // namespace setup
