// Drives and memory on Linux: removable media from sysfs, free space from
// statvfs, available memory from /proc/meminfo; no drive labels. Tests can
// stand in for the removable flag, the free space and the labels.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace zf::os {

namespace {

// The parent of a path ("a/b" -> "a", "/a" -> "/", "a" -> "."), trailing
// "/" ignored.
std::string ParentOf(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return p.substr(0, slash);
}

// The nearest existing folder or file at or above path ("." for an empty
// one); stat filled for it.
bool NearestExisting(const std::string& path, std::string& existing, struct stat& st) {
  std::string p = path.empty() ? "." : path;
  for (;;) {
    if (::stat(p.c_str(), &st) == 0) {
      existing = p;
      return true;
    }
    if (errno != ENOENT && errno != ENOTDIR) return false;
    if (p == "/" || p == ".") return false;
    p = ParentOf(p);
  }
}

// "1" in a sysfs attribute file.
int ReadSysfsFlag(const std::string& file) {
  std::ifstream in(file);
  int value = -1;
  if (!(in >> value)) return -1;
  return value;
}

}  // namespace

bool SetDriveLabel(const std::string& path, const std::string& label) {
  const auto hook = hooks::DriveLabel();
  return hook ? hook(path, label) : false;
}

bool IsDriveRemovable(const std::string& path) {
  if (const auto hook = hooks::Removable()) {
    const int answer = hook(path);
    if (answer >= 0) return answer == 1;
  }
  std::string existing;
  struct stat st;
  if (!NearestExisting(path, existing, st)) return false;
  const unsigned maj = major(st.st_dev);
  const unsigned min = minor(st.st_dev);
  if (maj == 0) return false;  // tmpfs, overlay, btrfs subvolumes, network...
  const std::string dev = "/sys/dev/block/" + std::to_string(maj) + ":" + std::to_string(min);
  char resolved[PATH_MAX];
  if (!::realpath(dev.c_str(), resolved)) return false;
  std::string device = resolved;
  // A partition has no "removable" of its own: its disk is the parent.
  for (int depth = 0; depth < 2; ++depth) {
    const int flag = ReadSysfsFlag(device + "/removable");
    if (flag >= 0) return flag == 1;
    if (::access((device + "/partition").c_str(), F_OK) != 0) break;
    device = ParentOf(device);
  }
  return false;
}

int64_t DiskFreeBytes(const std::string& path) {
  if (const auto hook = hooks::DiskFree()) {
    const int64_t answer = hook(path);
    if (answer >= 0) return answer;
  }
  std::string existing;
  struct stat st;
  if (!NearestExisting(path, existing, st)) return -1;
  struct statvfs vfs;
  if (::statvfs(existing.c_str(), &vfs) != 0) return -1;
  const unsigned long long bytes =
      static_cast<unsigned long long>(vfs.f_bavail) * static_cast<unsigned long long>(vfs.f_frsize);
  return bytes > static_cast<unsigned long long>(INT64_MAX) ? INT64_MAX
                                                            : static_cast<int64_t>(bytes);
}

// Linux file systems have labels, but nothing the setup shows needs them.
std::string VolumeLabel(const std::string&) { return ""; }

uint64_t AvailablePhysicalMemory() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  unsigned long long value = 0;
  std::string unit;
  while (in >> key >> value) {
    std::getline(in, unit);
    if (key == "MemAvailable:") return static_cast<uint64_t>(value) * 1024;
  }
  const long pages = ::sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0)
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
  return 0;
}

}  // namespace zf::os
