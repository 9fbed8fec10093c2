// What a package holds, as far as the install needs to know before it
// writes anything: each entry's name, size and CRC-32, and the disk space
// the install takes.
//
// The space is the sum of the uncompressed sizes, each file rounded up to
// whole clusters of 4 KiB (the usual cluster of the systems' disks; a
// file's last cluster is never shared), plus the uninstaller and its
// journal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "wizard/WizardTexts.h"

namespace setup {

struct TPackageEntry {
  std::string name;  // as the engine's events name it: "\" between folders
  int64_t size = 0;
  uint32_t crc = 0;
  bool folder = false;
};

inline constexpr int64_t kClusterBytes = 4096;

// Every entry of the open archive that `mask` and the attribute filter
// select, in the directory's order.
std::vector<TPackageEntry> ReadPackageEntries(zf::TZipArchiver& archiver, const std::string& mask,
                                              int32_t searchAttr);

// `bytes` rounded up to whole clusters.
int64_t ClusterRounded(int64_t bytes);

// The space an install of these entries takes, with `extraFiles` bytes of
// the installer's own files (the uninstaller).
int64_t RequiredBytes(const std::vector<TPackageEntry>& entries, int64_t extraFiles);

// A size as people read it in the language of `texts`: "512 байт",
// "12,4 КБ", "3,1 МБ", "1,2 ГБ" in Russian, "12.4 KB" in English (one
// decimal). A space needed rounds up, a space free rounds down, so neither
// looks better than it is.
enum class Rounding { Up, Down };
std::string SizeText(int64_t bytes, Rounding rounding, const TWizardTexts& texts);

}  // namespace setup
