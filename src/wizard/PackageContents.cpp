// The package's entries and the space an install takes.
#include "wizard/PackageContents.h"

#include <iterator>

#include "platform/platform.h"

namespace setup {

std::vector<TPackageEntry> ReadPackageEntries(zf::TZipArchiver& archiver, const std::string& mask,
                                              int32_t searchAttr) {
  std::vector<TPackageEntry> entries;
  zf::TZFArchiveItem item;
  for (bool more = archiver.FindFirstItem(mask, item, searchAttr, ""); more;
       more = archiver.FindNextItem(item)) {
    TPackageEntry e;
    e.name = item.StoredPath + item.FileName;
    e.size = item.UncompressedSize;
    e.crc = item.CRC;
    e.folder = (item.ExternalFileAttributes & zf::os::faDirectory) != 0;
    entries.push_back(std::move(e));
  }
  return entries;
}

int64_t ClusterRounded(int64_t bytes) {
  if (bytes <= 0) return 0;
  return (bytes + kClusterBytes - 1) / kClusterBytes * kClusterBytes;
}

int64_t RequiredBytes(const std::vector<TPackageEntry>& entries, int64_t extraFiles) {
  int64_t total = ClusterRounded(extraFiles);
  for (const TPackageEntry& e : entries)
    if (!e.folder) total += ClusterRounded(e.size);
  return total;
}

std::string SizeText(int64_t bytes, Rounding rounding, const TWizardTexts& texts) {
  if (bytes < 0) bytes = 0;
  if (bytes < 1024) return std::to_string(bytes) + " " + std::string(texts.bytes);
  const std::string_view units[] = {texts.kib, texts.mib, texts.gib, texts.tib};
  double value = static_cast<double>(bytes) / 1024.0;
  size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < std::size(units)) {
    value /= 1024.0;
    ++unit;
  }
  const double margin = rounding == Rounding::Up ? 0.999 : 0.0;
  const long long tenths = static_cast<long long>(value * 10.0 + margin);
  return std::to_string(tenths / 10) + std::string(texts.decimalSeparator) +
         std::to_string(tenths % 10) + " " + std::string(units[unit]);
}

}  // namespace setup
