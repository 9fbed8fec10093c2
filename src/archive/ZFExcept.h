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
//
// Beside its message, an EZFException may carry a detail (TZFErrorDetail):
// why an entry failed (the cause), at which offset of the archive the entry
// lies, and for the causes that come from the system its own error code and
// text. The message stays the catalogue's, byte for byte, so that code
// comparing it keeps working; front ends print the detail after it
// (DescribeDetail gives the English text) or map the cause to texts of
// their own (CauseName gives each cause a stable identifier).
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

// Why an operation on an entry failed. The values are stable: front ends
// map them to texts of their own.
enum class TZFCause : uint8_t {
  None,               // nothing failed, or nothing more is known
  CrcMismatch,        // the data decoded in full, its CRC-32 is not the stored one
  SizeMismatch,       // the data decoded to more or fewer bytes than declared
  Truncated,          // the data ends before its compressed size (the archive is cut short)
  DamagedData,        // the compressed data cannot be decompressed
  Overlap,            // the data runs into another entry (Detail.OtherEntry names it)
  UnsupportedMethod,  // a compression method this engine does not decode (Detail.Method)
  WrongPassword,      // no password that fits could be had, nobody could be asked
  DiskFull,           // writing (or creating) failed: no space left
  AccessDenied,       // writing or creating failed: no permission, read-only medium, file locked
  IoError,            // writing failed: the device reported an error
  SystemError,        // another failure of the system (Detail.SystemText says which)
  FolderInTheWay,     // a folder stands where the file is to be written
  Cancelled,          // a progress handler cancelled the run
  Skipped,            // the password question was declined: the entry is skipped
  AuthenticationFailed,  // the cipher's authentication code does not fit the data (AES)
  LinkOutside,        // a symbolic link whose target resolves outside the destination
  ThroughLink,        // a path that runs through a symbolic link the archive made
};

// Whether a cause says the archive's data is damaged or cannot be decoded
// (what ExtractCorruptedFiles excuses), rather than that the destination,
// the system or the user stopped it.
bool IsDataDamage(TZFCause cause);

// A stable identifier of a cause ("crc-mismatch", "disk-full", ...).
const char* CauseName(TZFCause cause);

// What an error knows beyond its message.
struct TZFErrorDetail {
  TZFCause Cause = TZFCause::None;
  int64_t EntryOffset = -1;  // the entry's local header in the archive (its volume); -1: none
  std::string OtherEntry;    // Overlap: the stored name of the entry run into; LinkOutside: the target
  uint16_t Method = 0;       // UnsupportedMethod: the entry's compression method
  int SystemCode = 0;        // causes from the system: errno, or GetLastError on Windows
  std::string SystemText;    // the system's own text for SystemCode
  std::string DataText;      // DamagedData: what the decoder found, e.g. "invalid block type"
};

// The cause of a failed system call with the given code (DiskFull,
// AccessDenied, IoError or SystemError), with the system's code and text.
TZFErrorDetail SystemFailure(int systemCode);

// The detail in English, e.g. "disk full: No space left on device, entry at
// offset 1234"; empty when there is no cause.
std::string DescribeDetail(const TZFErrorDetail& detail);

// A message followed by the detail in parentheses, when there is one: what
// the command-line programs print for a failure, e.g. "... - Native error:
// 00008 (CRC-32 mismatch, entry at offset 0)".
std::string AppendDetail(const std::string& message, const TZFErrorDetail& detail);

class EZFException : public Exception {
 public:
  // The catalogue text as it stands: placeholders stay literally.
  // component: the archive component raising it, or nullptr.
  EZFException(int32_t nativeError, const TComponent* component);
  // The catalogue text formatted with args (FormatText).
  EZFException(int32_t nativeError, std::initializer_list<TZFFormatArg> args,
               const TComponent* component);

  // Message number, 0-36 (0: "Unknown error").
  int32_t ErrorCode() const { return errorCode_; }
  // The code given to the constructor, unchanged.
  int32_t NativeError() const { return nativeError_; }

  // Why and where, when the raising site knows (Cause None otherwise).
  const TZFErrorDetail& Detail() const { return detail_; }
  EZFException& WithDetail(TZFErrorDetail detail) {
    detail_ = std::move(detail);
    return *this;
  }
  // AppendDetail of the message and the detail.
  std::string MessageWithDetail() const { return AppendDetail(Message(), detail_); }

 private:
  int32_t errorCode_ = 0;
  int32_t nativeError_ = 0;
  TZFErrorDetail detail_;
};

}  // namespace zf
