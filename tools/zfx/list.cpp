// The "l" command: one line per entry (sizes, ratio, method, DOS date and
// time, attributes, CRC-32, an encryption mark, the name) and a totals line,
// walking the directory with the same selection the extraction uses.
#include "list.h"

#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

#include "archive/ZFArchiver.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFRecords.h"
#include "archive/ZFStrFunc.h"
#include "archive/methods/EntryCipher.h"
#include "open_archive.h"
#include "selection.h"
#include "volume_requests.h"

namespace zfx {

namespace {

// Directory, archive, read-only, hidden, system: a letter when set.
std::string AttributeLetters(uint32_t attributes) {
  std::string s = "-----";
  if (attributes & zf::os::faDirectory) s[0] = 'd';
  if (attributes & zf::os::faArchive) s[1] = 'a';
  if (attributes & zf::os::faReadOnly) s[2] = 'r';
  if (attributes & zf::os::faHidden) s[3] = 'h';
  if (attributes & zf::os::faSysFile) s[4] = 's';
  return s;
}

// Percent saved, as the engine computes it for one item: 100 for nothing
// to compress, never below 0.
double Ratio(int64_t packed, int64_t length) {
  if (length <= 0) return 100;
  const double r = (1.0 - static_cast<double>(packed) / static_cast<double>(length)) * 100.0;
  return r < 0 ? 0 : r;
}

std::string Format(const char* format, auto... values) {
  char line[160];
  std::snprintf(line, sizeof line, format, values...);
  return line;
}

// A listing has a line per entry, so the entry lines are put together by
// hand rather than by snprintf, whose format parsing would cost more than
// everything else the listing does for an entry.

// value right-aligned in width characters, padded with fill.
void AppendNumber(std::string& out, int64_t value, size_t width, char fill = ' ') {
  char digits[24];
  const size_t n = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
  if (n < width) out.append(width - n, fill);
  out.append(digits, n);
}

void AppendHex8(std::string& out, uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 15];
}

// The method column holds the longest coding name: "AES-256 Deflat64".
constexpr size_t kMethodWidth = 16;

std::string EntryLine(const zf::TZFArchiveItem& item, const zf::TDirItem& dirItem) {
  namespace os = zf::os;
  const os::DosDateTimeParts when =
      os::DecodeDosDateTime(os::MakeDosDateTime(item.LastModFileDate, item.LastModFileTime));
  std::string line;
  line.reserve(96 + dirItem.Name().size());
  AppendNumber(line, item.UncompressedSize, 12);
  line += ' ';
  AppendNumber(line, item.CompressedSize, 12);
  line += ' ';
  // Rounded as printf's "%.0f" rounds: to the nearest, ties to even.
  AppendNumber(line, static_cast<int64_t>(std::nearbyint(item.CompressionRate)), 4);
  line += "%  ";
  const std::string method = zf::CodingName(zf::EntryCodingOf(dirItem));
  line += method;
  if (method.size() < kMethodWidth) line.append(kMethodWidth - method.size(), ' ');
  line += ' ';
  AppendNumber(line, when.Year, 4, '0');
  line += '-';
  AppendNumber(line, when.Month, 2, '0');
  line += '-';
  AppendNumber(line, when.Day, 2, '0');
  line += ' ';
  AppendNumber(line, when.Hour, 2, '0');
  line += ':';
  AppendNumber(line, when.Minute, 2, '0');
  line += "  ";
  line += AttributeLetters(item.ExternalFileAttributes);
  line += "  ";
  AppendHex8(line, item.CRC);
  line += ' ';
  line += item.Encrypted ? '*' : ' ';
  line += zf::ToPlatformDelimiters(std::string(dirItem.Name()));
  return line;
}

void PrintComment(const std::string& comment, Console& console) {
  size_t from = 0;
  while (from <= comment.size()) {
    size_t end = comment.find('\n', from);
    if (end == std::string::npos) end = comment.size();
    std::string line = comment.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    console.Info("Comment: " + line);
    from = end + 1;
  }
}

// A running total of sizes read from the archive: held at the ends of the
// range rather than wrapped, whatever sizes a damaged directory declares.
int64_t AddSizes(int64_t total, int64_t size) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(total, size, &sum)) return sum;
  return size > 0 ? INT64_MAX : INT64_MIN;
}

}  // namespace

int RunList(const CommandLine& cmd, Console& console) {
  Archiver archiver(console);
  if (!OpenArchive(archiver, cmd, console)) return kExitFatal;

  console.Info("Archive: " + cmd.archive);
  const std::string& comment = archiver.DirManager()->GlobalComment();
  if (!comment.empty()) PrintComment(comment, console);
  console.Info("      Length       Packed Ratio  Method           Date       Time   Attr   CRC-32    Name");
  console.Info("------------ ------------ -----  ---------------- ---------- -----  -----  -------- ----");

  int64_t length = 0, packed = 0;
  int entries = 0, encrypted = 0, unmatched = 0;
  try {
    unmatched = SelectByMasks(archiver, cmd, console);
    zf::TZFArchiveItem item;
    bool found = archiver.FindFirstItem("", item, zf::os::faSearchAll, "");
    while (found) {
      const zf::TDirItem& dirItem = archiver.DirManager()->Dir().ItemRef(item.Handle.ItemIndex);
      console.Info(EntryLine(item, dirItem));
      length = AddSizes(length, item.UncompressedSize);
      packed = AddSizes(packed, item.CompressedSize);
      ++entries;
      if (item.Encrypted) ++encrypted;
      found = archiver.FindNextItem(item);
    }
  } catch (const std::exception& e) {
    console.Error("zfx: " + cmd.archive + ": " + e.what());
    return kExitSomeFailed;
  }

  console.Info("------------ ------------ -----                                                       ----");
  std::string total = Format("%12" PRId64 " %12" PRId64 " %4.0f%%", length, packed,
                             Ratio(packed, length));
  total += std::string(55, ' ') + std::to_string(entries) + (entries == 1 ? " entry" : " entries");
  if (encrypted > 0) total.append(", ").append(std::to_string(encrypted)).append(" encrypted");
  console.Info(total);
  // An archive cut short lists what it holds, but not all it held (the
  // warning above says where it ends).
  if (unmatched > 0 || archiver.DirManager()->Report().CutShortAt() >= 0) return kExitSomeFailed;
  return kExitOk;
}

}  // namespace zfx
