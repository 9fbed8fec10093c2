#include "platform/pending_names.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

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
