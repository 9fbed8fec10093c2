#include "archive/ZFExcept.h"

#include <charconv>

#include "archive/ZFConst.h"
#include "platform/platform.h"

namespace zf {

std::string TZFFormatArg::Decimal() const {
  if (IsString()) return String();
  char digits[24];
  const auto put = [&](auto v) {
    const auto result = std::to_chars(digits, digits + sizeof digits, v);
    return std::string(digits, result.ptr);
  };
  if (std::holds_alternative<int64_t>(value_)) return put(std::get<int64_t>(value_));
  return put(std::get<uint64_t>(value_));
}

namespace {

// Reads an unsigned decimal number at format[pos], if there is one.
bool ReadNumber(std::string_view format, size_t& pos, size_t& number) {
  const size_t start = pos;
  number = 0;
  while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
    // A width beyond this is no width anyone means; the specifier is kept.
    if (number > 100000) return false;
    number = number * 10 + static_cast<size_t>(format[pos] - '0');
    ++pos;
  }
  return pos > start;
}

void AppendPadded(std::string& out, const std::string& text, size_t width, bool left) {
  const size_t pad = text.size() < width ? width - text.size() : 0;
  if (!left) out.append(pad, ' ');
  out += text;
  if (left) out.append(pad, ' ');
}

}  // namespace

std::string FormatText(std::string_view format, std::span<const TZFFormatArg> args) {
  std::string out;
  out.reserve(format.size());
  size_t next = 0;  // index of the next argument
  size_t pos = 0;
  while (pos < format.size()) {
    const char c = format[pos];
    if (c != '%') {
      out += c;
      ++pos;
      continue;
    }
    if (pos + 1 < format.size() && format[pos + 1] == '%') {
      out += '%';
      pos += 2;
      continue;
    }

    // Parse "%[-][width][.prec]type"; on anything unexpected keep the
    // specifier literally.
    const size_t start = pos++;
    const bool left = pos < format.size() && format[pos] == '-';
    if (left) ++pos;
    size_t width = 0;
    size_t precision = 0;
    bool valid = true;
    bool hasPrecision = false;
    if (pos < format.size() && format[pos] >= '0' && format[pos] <= '9')
      valid = ReadNumber(format, pos, width);
    if (valid && pos < format.size() && format[pos] == '.') {
      ++pos;
      hasPrecision = ReadNumber(format, pos, precision);
      valid = hasPrecision;
    }
    const char type = pos < format.size() ? format[pos] : '\0';
    valid = valid && (type == 's' || type == 'd');
    if (!valid) {
      // Keep the "%" and go on after it; what follows is copied as text.
      out += '%';
      pos = start + 1;
      continue;
    }
    ++pos;
    const std::string_view specifier = format.substr(start, pos - start);
    if (next >= args.size()) {
      out += specifier;  // missing argument
      continue;
    }
    const TZFFormatArg& arg = args[next++];

    std::string text;
    if (type == 's') {
      text = arg.Decimal();
      if (hasPrecision && text.size() > precision) text.resize(precision);
    } else {
      if (arg.IsString()) {
        out += specifier;  // a string where an integer belongs
        continue;
      }
      text = arg.Decimal();
      const bool negative = text[0] == '-';
      const size_t digits = text.size() - (negative ? 1 : 0);
      if (hasPrecision && digits < precision)
        text.insert(negative ? 1 : 0, precision - digits, '0');
    }
    AppendPadded(out, text, width, left);
  }
  return out;
}

namespace {

// The composed message for a native code and its message number; args is
// null for the plain constructor.
std::string ComposeMessage(int32_t nativeError, int32_t errorCode,
                           const std::initializer_list<TZFFormatArg>* args,
                           const TComponent* component) {
  std::string text = MessageText(errorCode);
  if (args) text = FormatText(text, *args);
  if (component && !component->GetName().empty())
    text = FormatText("%s: %s", {component->GetName(), text});
  std::string suffix = FormatText("%5d", {nativeError});
  for (char& ch : suffix)
    if (ch == ' ') ch = '0';
  return text + " - Native error: " + suffix;
}

}  // namespace

EZFException::EZFException(int32_t nativeError, const TComponent* component)
    : Exception(std::string()), errorCode_(MessageNumberOf(nativeError)), nativeError_(nativeError) {
  SetMessage(ComposeMessage(nativeError_, errorCode_, nullptr, component));
}

EZFException::EZFException(int32_t nativeError, std::initializer_list<TZFFormatArg> args,
                           const TComponent* component)
    : Exception(std::string()), errorCode_(MessageNumberOf(nativeError)), nativeError_(nativeError) {
  SetMessage(ComposeMessage(nativeError_, errorCode_, &args, component));
}

}  // namespace zf

namespace zf {

const char* CauseName(TZFCause cause) {
  switch (cause) {
    case TZFCause::None: return "none";
    case TZFCause::CrcMismatch: return "crc-mismatch";
    case TZFCause::SizeMismatch: return "size-mismatch";
    case TZFCause::Truncated: return "truncated";
    case TZFCause::DamagedData: return "damaged-data";
    case TZFCause::Overlap: return "overlap";
    case TZFCause::UnsupportedMethod: return "unsupported-method";
    case TZFCause::WrongPassword: return "wrong-password";
    case TZFCause::DiskFull: return "disk-full";
    case TZFCause::AccessDenied: return "access-denied";
    case TZFCause::IoError: return "io-error";
    case TZFCause::SystemError: return "system-error";
    case TZFCause::FolderInTheWay: return "folder-in-the-way";
    case TZFCause::Cancelled: return "cancelled";
    case TZFCause::Skipped: return "skipped";
    case TZFCause::AuthenticationFailed: return "authentication-failed";
    case TZFCause::LinkOutside: return "link-outside";
    case TZFCause::ThroughLink: return "through-link";
  }
  return "unknown";
}

bool IsDataDamage(TZFCause cause) {
  switch (cause) {
    case TZFCause::CrcMismatch:
    case TZFCause::SizeMismatch:
    case TZFCause::Truncated:
    case TZFCause::DamagedData:
    case TZFCause::Overlap:
    case TZFCause::UnsupportedMethod:
    case TZFCause::AuthenticationFailed:
      return true;
    default:
      return false;
  }
}

TZFErrorDetail SystemFailure(int systemCode) {
  TZFErrorDetail d;
  switch (os::KindOfError(systemCode)) {
    case os::ErrorKind::NoSpace: d.Cause = TZFCause::DiskFull; break;
    case os::ErrorKind::AccessDenied: d.Cause = TZFCause::AccessDenied; break;
    case os::ErrorKind::IoError: d.Cause = TZFCause::IoError; break;
    case os::ErrorKind::Other: d.Cause = TZFCause::SystemError; break;
  }
  d.SystemCode = systemCode;
  d.SystemText = os::ErrorText(systemCode);
  return d;
}

std::string DescribeDetail(const TZFErrorDetail& d) {
  std::string text;
  switch (d.Cause) {
    case TZFCause::None: return std::string();
    case TZFCause::CrcMismatch: text = "CRC-32 mismatch"; break;
    case TZFCause::SizeMismatch: text = "size mismatch"; break;
    case TZFCause::Truncated: text = "truncated data"; break;
    case TZFCause::DamagedData:
      text = "damaged compressed data";
      if (!d.DataText.empty()) text += ": " + d.DataText;
      break;
    case TZFCause::Overlap: text = "data overlaps entry \"" + d.OtherEntry + "\""; break;
    case TZFCause::UnsupportedMethod:
      text = "unsupported compression method " + std::to_string(d.Method);
      break;
    case TZFCause::WrongPassword: text = "wrong password"; break;
    case TZFCause::DiskFull: text = "disk full: " + d.SystemText; break;
    case TZFCause::AccessDenied: text = "access denied: " + d.SystemText; break;
    case TZFCause::IoError: text = "I/O error: " + d.SystemText; break;
    case TZFCause::SystemError: text = d.SystemText; break;
    case TZFCause::FolderInTheWay: text = "a folder stands in its place"; break;
    case TZFCause::Cancelled: text = "cancelled"; break;
    case TZFCause::Skipped: text = "skipped"; break;
    case TZFCause::AuthenticationFailed:
      text = "authentication failed: data altered or wrong password";
      break;
    case TZFCause::LinkOutside:
      text = "a symbolic link to \"" + d.OtherEntry + "\", outside the destination";
      break;
    case TZFCause::ThroughLink:
      text = "its path runs through a symbolic link of the archive";
      break;
  }
  if (d.EntryOffset >= 0) text += ", entry at offset " + std::to_string(d.EntryOffset);
  return text;
}

std::string AppendDetail(const std::string& message, const TZFErrorDetail& detail) {
  const std::string text = DescribeDetail(detail);
  return text.empty() ? message : message + " (" + text + ")";
}

}  // namespace zf
