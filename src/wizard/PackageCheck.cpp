// The package's place and its digest check.
#include "wizard/PackageCheck.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "wizard/ShellHelpers.h"
#include "package/PackageFormat.h"

namespace setup {

namespace {

constexpr int64_t kPiece = 1 << 20;

}  // namespace

TPackagePlace PackagePlaceFor(const std::string& exePath, const TPackageStamp& stamp) {
  TPackagePlace place;
  if (!stamp.SingleFile()) {
    place.path = PackagePathFor(exePath);
    place.name = FileNamePart(place.path);
    return place;
  }
  place.path = exePath;
  place.name = PackageFileName(zf::os::Utf8ToAnsi(stamp.baseName));
  place.offset = static_cast<int64_t>(std::min<uint64_t>(stamp.offset, INT64_MAX));
  place.size = static_cast<int64_t>(std::min<uint64_t>(stamp.size, INT64_MAX));
  return place;
}

std::string CheckPackageDigest(zf::os::File& file, const std::string& path,
                               const TPackageStamp& stamp,
                               const std::function<void(int percent)>& progress) {
  const std::string shown = zf::os::AnsiToUtf8(path);
  // Held so until setup ends: a package swapped between the check and the
  // install would be installed unchecked.
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyWrite))
    return shown + ": cannot read the package: " +
           zf::os::AnsiToUtf8(zf::os::ErrorText(zf::os::LastErrorCode()));
  const int64_t fileSize = file.Size();
  const uint64_t end = stamp.offset + stamp.size;
  // NAME.stp beside the wizard is the package and nothing else; inside the
  // executable a signature may follow it.
  if (!stamp.SingleFile() && static_cast<uint64_t>(fileSize) != stamp.size)
    return shown + ": the package is " + std::to_string(fileSize) + " bytes, " +
           std::to_string(stamp.size) + " expected";
  if (fileSize < 0 || end < stamp.offset || static_cast<uint64_t>(fileSize) < end)
    return shown + ": the file is " + std::to_string(fileSize) + " bytes, the package ends at " +
           std::to_string(end);
  if (file.Seek(static_cast<int64_t>(stamp.offset), zf::os::SeekOrigin::Begin) < 0)
    return shown + ": cannot read the package";

  zf::os::Sha256 sha;
  std::vector<uint8_t> piece(static_cast<size_t>(kPiece));
  uint64_t left = stamp.size;
  int shownPercent = -1;
  while (left > 0) {
    const int64_t want = static_cast<int64_t>(std::min<uint64_t>(left, kPiece));
    const int64_t got = file.Read(piece.data(), want);
    if (got != want)
      return shown + ": cannot read the package at offset " +
             std::to_string(stamp.offset + stamp.size - left);
    sha.Update(piece.data(), static_cast<size_t>(got));
    left -= static_cast<uint64_t>(got);
    const int percent = static_cast<int>((stamp.size - left) * 100 / stamp.size);
    if (percent != shownPercent) progress(shownPercent = percent);
  }
  const auto digest = sha.Final();
  if (digest != stamp.sha256)
    return shown + ": SHA-256 of the " + std::to_string(stamp.size) + " bytes at offset " +
           std::to_string(stamp.offset) + " is " + HexDigest(digest) + ", " +
           HexDigest(stamp.sha256) + " expected";
  return std::string();
}

}  // namespace setup
