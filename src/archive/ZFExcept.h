// EZFException, the one exception class of the engine's own failures, and
// the small printf-like formatter that fills the catalogue's placeholders.
//
// The message of an EZFException is composed the same way by both
// constructors: the catalogue text of the native code's message number
// (ZFConst.h), formatted with the arguments when there are any, prefixed
// with "<component name>: " when the component has a name, and followed by
// " - Native error: " and the native code in five characters, spaces
// replaced by zeros ("00013"; -1 gives "000-1").
//
// The formatter takes a list of typed arguments rather than C varargs, so a
// text can never read an argument that was not passed: a specifier without a
// matching argument stays in the text as written, surplus arguments are
// ignored. %d takes integers of any width, 64-bit included.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "ZFClasses.h"

namespace zf {

// One argument of FormatText: a string or an integer of any width.
class TZFFormatArg {
 public:
  TZFFormatArg(std::string s) : value_(std::move(s)) {}
  TZFFormatArg(std::string_view s) : value_(std::string(s)) {}
  TZFFormatArg(const char* s) : value_(std::string(s ? s : "")) {}
  template <typename T>
    requires std::is_integral_v<T>
  TZFFormatArg(T v) {
    if constexpr (std::is_signed_v<T>)
      value_ = static_cast<int64_t>(v);
    else
      value_ = static_cast<uint64_t>(v);
  }

  bool IsString() const { return std::holds_alternative<std::string>(value_); }
  const std::string& String() const { return std::get<std::string>(value_); }
  // The integer in decimal, a leading "-" for negative values; the string
  // itself for a string argument.
  std::string Decimal() const;

 private:
  std::variant<std::string, int64_t, uint64_t> value_;
};

// Formats text with its arguments, taken in order. Specifiers:
//   %%                       a percent sign
//   %[-][width][.prec]s      a string (an integer argument prints in
//                            decimal); prec cuts it to at most prec chars
//   %[-][width][.prec]d      an integer; prec pads its digits with zeros
// width right-aligns in that many characters with spaces ("-": left-aligns).
// A "%" that starts none of these is kept as text and takes no argument. A
// %d whose argument is a string is kept as written, the argument used up.
std::string FormatText(std::string_view format, std::span<const TZFFormatArg> args);
inline std::string FormatText(std::string_view format,
                              std::initializer_list<TZFFormatArg> args) {
  return FormatText(format, std::span<const TZFFormatArg>(args.begin(), args.size()));
}

class EZFException : public Exception {
 public:
  // The catalogue text as it stands: placeholders stay literally.
  // component: the archive component raising it, or nullptr.
  EZFException(int32_t nativeError, const TComponent* component);
  // The catalogue text formatted with args (FormatText).
  EZFException(int32_t nativeError, std::initializer_list<TZFFormatArg> args,
               const TComponent* component);

  // Message number, 0-35 (0: "Unknown error").
  int32_t ErrorCode() const { return errorCode_; }
  // The code given to the constructor, unchanged.
  int32_t NativeError() const { return nativeError_; }

 private:
  int32_t errorCode_ = 0;
  int32_t nativeError_ = 0;
};

}  // namespace zf
