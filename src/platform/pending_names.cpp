#include "platform/pending_names.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

namespace zf::os::pending {

std::string FolderOf(const std::string& path) {
#ifdef _WIN32
  const size_t cut = path.find_last_of("\\/:");
#else
  const size_t cut = path.rfind('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string TemporaryNameIn(const std::string& folder) {
  // Started from the clock, so two runs at once seldom try the same names.
  static std::atomic<uint32_t> counter{static_cast<uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count())};
  char name[32];
  std::snprintf(name, sizeof name, "~zf%08X.tmp", static_cast<unsigned>(counter++));
  return folder + name;
}

}  // namespace zf::os::pending

namespace zf::os {

namespace {

// Whether a failed exclusive create failed only because the name exists,
// so that the next name is worth a try.
bool NameTaken(int code) {
#ifdef _WIN32
  return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
#else
  return code == EEXIST;
#endif
}

}  // namespace

bool PendingFile::CreateNamed(const std::string& folder, const std::string& target) {
  for (int attempt = 0; attempt < pending::kNameAttempts; ++attempt) {
    const std::string name = pending::TemporaryNameIn(folder);
    if (file_.Open(name, OpenMode::CreateNew)) {
      temporary_ = name;
      target_ = target;
      return true;
    }
    if (!NameTaken(LastErrorCode())) return false;
  }
  return false;
}

}  // namespace zf::os
