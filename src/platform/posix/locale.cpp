// Locale, code pages and character comparison on Linux: the ANSI code page
// is UTF-8; the OEM code page and the locale id follow the language named by
// LC_ALL, LC_CTYPE or LANG (the first one set), parsed here so that a locale
// need not be installed; conversions go through iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace zf::os {

namespace {

// What Windows would choose for a language.
struct LanguageInfo {
  const char* language;  // ISO 639 code, lower case
  unsigned oemCodePage;
  uint32_t lcid;  // the language's main country
};

constexpr LanguageInfo kLanguages[] = {
    // Cyrillic
    {"ru", 866, 0x0419},
    {"uk", 866, 0x0422},
    {"be", 866, 0x0423},
    {"bg", 866, 0x0402},
    // Turkish, Greek, Hebrew
    {"tr", 857, 0x041F},
    {"el", 737, 0x0408},
    {"he", 862, 0x040D},
    {"iw", 862, 0x040D},
    // Central European
    {"pl", 852, 0x0415},
    {"cs", 852, 0x0405},
    {"sk", 852, 0x041B},
    {"hu", 852, 0x040E},
    {"hr", 852, 0x041A},
    {"sl", 852, 0x0424},
    {"ro", 852, 0x0418},
    // Baltic
    {"lt", 775, 0x0427},
    {"lv", 775, 0x0426},
    {"et", 775, 0x0425},
    // Western European
    {"de", 850, 0x0407},
    {"fr", 850, 0x040C},
    {"es", 850, 0x0C0A},
    {"it", 850, 0x0410},
    {"pt", 850, 0x0816},
    {"nl", 850, 0x0413},
    {"da", 850, 0x0406},
    {"nb", 850, 0x0414},
    {"no", 850, 0x0414},
    {"nn", 850, 0x0814},
    {"sv", 850, 0x041D},
    {"fi", 850, 0x040B},
    {"is", 850, 0x040F},
    {"ca", 850, 0x0403},
    // English and the default
    {"en", 437, 0x0409},
};

// Countries whose locale id differs from the language's main one.
struct CountryInfo {
  const char* language;
  const char* country;  // ISO 3166 code, upper case
  uint32_t lcid;
};

constexpr CountryInfo kCountries[] = {
    {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009},
    {"en", "IE", 0x1809}, {"en", "NZ", 0x1409}, {"pt", "BR", 0x0416},
    {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
    {"de", "AT", 0x0C07}, {"de", "CH", 0x0807}, {"es", "MX", 0x080A},
    {"nl", "BE", 0x0813}, {"sv", "FI", 0x081D}, {"it", "CH", 0x0810},
};

// The locale string in force for LC_CTYPE: the first of LC_ALL, LC_CTYPE
// and LANG that is set and not empty.
std::string LocaleString() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
  }
  return "";
}

// Splits "ru_RU.UTF-8@euro" into "ru" and "RU".
void ParseLocale(const std::string& locale, std::string& language, std::string& country) {
  language.clear();
  country.clear();
  size_t i = 0;
  while (i < locale.size() && std::strchr("_.@-", locale[i]) == nullptr) {
    const char c = locale[i++];
    language += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  if (i < locale.size() && (locale[i] == '_' || locale[i] == '-')) {
    ++i;
    while (i < locale.size() && std::strchr(".@", locale[i]) == nullptr) {
      const char c = locale[i++];
      country += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
  }
}

const LanguageInfo* CurrentLanguage(std::string* countryOut = nullptr) {
  std::string language, country;
  ParseLocale(LocaleString(), language, country);
  if (countryOut) *countryOut = country;
  for (const LanguageInfo& info : kLanguages)
    if (language == info.language) return &info;
  return nullptr;
}

// The iconv name of a Windows code page, or empty when there is none.
std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case 0:
      return IconvName(AnsiCodePage());
    case 1:
      return IconvName(OemCodePage());
    case 65001:
      return "UTF-8";
    case 1200:
      return "UTF-16LE";
    case 1201:
      return "UTF-16BE";
    case 12000:
      return "UTF-32LE";
    case 12001:
      return "UTF-32BE";
    case 20127:
      return "ASCII";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 936:
      return "GBK";
    case 54936:
      return "GB18030";
    case 20932:
      return "EUC-JP";
    case 51949:
      return "EUC-KR";
    case 10000:
      return "MACINTOSH";
    default:
      break;
  }
  if (codePage >= 28591 && codePage <= 28606)
    return "ISO-8859-" + std::to_string(codePage - 28590);
  if (codePage >= 37 && codePage <= 1258) return "CP" + std::to_string(codePage);
  return "";
}

// Code pages where one character is one byte.
bool IsSingleByte(unsigned codePage) {
  if (codePage == 0) codePage = AnsiCodePage();
  if (codePage == 1) codePage = OemCodePage();
  switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1200:
    case 1201:
    case 12000:
    case 12001:
    case 20932:
    case 51949:
    case 54936:
    case 65000:
    case 65001:
      return false;
    default:
      return true;
  }
}

// Opening an iconv descriptor looks its conversion modules up again each
// time, which costs far more than converting a name. Each thread keeps the
// descriptors it has opened (a descriptor is not to be shared between
// threads), one per pair of encodings, and returns them in their initial
// state.
class IconvCache {
 public:
  IconvCache() = default;
  IconvCache(const IconvCache&) = delete;
  IconvCache& operator=(const IconvCache&) = delete;
  ~IconvCache() {
    for (auto& entry : open_) ::iconv_close(entry.second);
  }

  // The descriptor from `from` to `to`, or (iconv_t)-1 when iconv has none.
  iconv_t Get(const std::string& to, const std::string& from) {
    const std::string key = to + '\n' + from;
    for (auto& entry : open_) {
      if (entry.first != key) continue;
      ::iconv(entry.second, nullptr, nullptr, nullptr, nullptr);  // initial state
      return entry.second;
    }
    const iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd != kNoDescriptor) open_.emplace_back(key, cd);
    return cd;
  }

  static inline const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

 private:
  // A handful at most: the ANSI, OEM and Unicode pairs a program uses.
  std::vector<std::pair<std::string, iconv_t>> open_;
};

thread_local IconvCache t_iconv;

// Runs iconv over the whole input; at an input it cannot take, appends
// `replacement` (already in the target encoding) and skips `skip` bytes.
void ConvertAll(iconv_t cd, const std::string& in, const std::string& replacement, size_t skip,
                std::string& out) {
  out.clear();
  char buffer[4096];
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut at the end): replace and go on.
    out += replacement;
    const size_t n = skip < inLeft ? skip : inLeft;
    inPtr += n;
    inLeft -= n;
  }
  // Flush a stateful encoding's shift state.
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, static_cast<size_t>(outPtr - buffer));
}

unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

uint32_t UserDefaultLCID() {
  std::string country;
  const LanguageInfo* info = CurrentLanguage(&country);
  if (!info) return 0x0409;
  for (const CountryInfo& c : kCountries)
    if (country == c.country && std::strcmp(info->language, c.language) == 0) return c.lcid;
  return info->lcid;
}

unsigned AnsiCodePage() { return 65001; }

unsigned OemCodePage() {
  const LanguageInfo* info = CurrentLanguage();
  return info ? info->oemCodePage : 437;
}

int CompareChar(unsigned char a, unsigned char b, bool ignoreCase) {
  if (ignoreCase) {
    // Windows folds to upper case for comparison too.
    a = AsciiUpper(a);
    b = AsciiUpper(b);
  }
  return static_cast<int>(a) - static_cast<int>(b);
}

unsigned char UpperChar(unsigned char c) { return AsciiUpper(c); }

std::string UpperString(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  return r;
}

std::string LowerString(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

bool ConvertCodePage(const std::string& in, unsigned fromCodePage, unsigned toCodePage,
                     std::string& out) {
  const std::string fromName = IconvName(fromCodePage);
  const std::string toName = IconvName(toCodePage);
  if (fromName.empty() || toName.empty()) {
    errno = EINVAL;
    return false;
  }
  // Through UTF-32: the source's bytes that are no character become U+FFFD,
  // then each character the target lacks becomes "_" (one per character).
  const iconv_t decode = t_iconv.Get("UTF-32LE", fromName);
  const iconv_t encode = t_iconv.Get(toName, "UTF-32LE");
  if (decode == IconvCache::kNoDescriptor || encode == IconvCache::kNoDescriptor) {
    errno = EINVAL;
    return false;
  }
  std::string wide;
  ConvertAll(decode, in, std::string("\xFD\xFF\x00\x00", 4), 1, wide);
  std::string replacement = "_";
  if (!IsSingleByte(toCodePage)) {
    // In the target's own encoding.
    std::string underscore;
    ConvertAll(encode, std::string("_\0\0\0", 4), "", 4, underscore);
    replacement = underscore;
  }
  ConvertAll(encode, wide, replacement, 4, out);
  return true;
}

std::string OemToAnsi(const std::string& s) {
  std::string out;
  return ConvertCodePage(s, OemCodePage(), AnsiCodePage(), out) ? out : s;
}

std::string AnsiToOem(const std::string& s) {
  std::string out;
  return ConvertCodePage(s, AnsiCodePage(), OemCodePage(), out) ? out : s;
}

// The ANSI code page is UTF-8 itself.
std::string Utf8ToAnsi(const std::string& s) { return s; }
std::string AnsiToUtf8(const std::string& s) { return s; }

}  // namespace zf::os
