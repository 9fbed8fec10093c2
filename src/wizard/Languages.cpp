// The wizard's choice of language.
#include "wizard/Languages.h"

namespace setup {
namespace {

// Primary language ids (the low ten bits of a language id).
constexpr uint16_t kPrimaryRussian = 0x19;
constexpr uint16_t kPrimaryUkrainian = 0x22;
constexpr uint16_t kPrimaryBelarusian = 0x23;

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

TLanguageSet TLanguageSet::All() {
  TLanguageSet all;
  all.Add(Language::Russian);
  all.Add(Language::English);
  return all;
}

std::optional<Language> LanguageFromCode(std::string_view code) {
  for (Language language : {Language::Russian, Language::English})
    if (SameAscii(code, TextsFor(language).code)) return language;
  return std::nullopt;
}

std::optional<TLanguageSet> ParseLanguageList(std::string_view list) {
  TLanguageSet set;
  for (;;) {
    const size_t comma = list.find(',');
    std::string_view code = list.substr(0, comma);
    while (!code.empty() && code.front() == ' ') code.remove_prefix(1);
    while (!code.empty() && code.back() == ' ') code.remove_suffix(1);
    const auto language = LanguageFromCode(code);
    if (!language || set.Has(*language)) return std::nullopt;
    set.Add(*language);
    if (comma == std::string_view::npos) return set;
    list.remove_prefix(comma + 1);
  }
}

Language UserLanguageOf(uint16_t uiLanguageId) {
  switch (uiLanguageId & 0x3FF) {
    case kPrimaryRussian:
    case kPrimaryUkrainian:
    case kPrimaryBelarusian:
      return Language::Russian;
    default:
      return Language::English;
  }
}

Language ChooseLanguage(uint16_t uiLanguageId, TLanguageSet package,
                        std::optional<Language> requested) {
  if (requested && package.Has(*requested)) return *requested;
  if (UserLanguageOf(uiLanguageId) == Language::Russian && package.Has(Language::Russian))
    return Language::Russian;
  if (package.Has(Language::English)) return Language::English;
  return Language::Russian;
}

}  // namespace setup
