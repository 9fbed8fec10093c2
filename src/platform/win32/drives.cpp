// Windows: drive type, free space and label, and the free physical memory.
// Tests can stand in for the removable flag, the free space and the labels.
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/win32/win32_util.h"

namespace zf::os {

namespace {

using win32::IsSeparator;
using win32::RootLength;

std::string WithSeparator(std::string p) {
  if (!p.empty() && !IsSeparator(p.back())) p += '\\';
  return p;
}

// The root of the drive (or share) of path, with a trailing separator:
// "C:\" or "\\server\share\"; "" when it cannot be told.
std::string DriveRoot(const std::string& path) {
  const std::string full = FullPath(path);
  const size_t root = RootLength(full);
  if (root < 2) return std::string();
  return WithSeparator(full.substr(0, root));
}

}  // namespace

// ---- drives -------------------------------------------------------------------

bool IsDriveRemovable(const std::string& path) {
  if (const auto hook = hooks::Removable()) {
    const int answer = hook(path);
    if (answer >= 0) return answer != 0;
  }
  const std::string root = DriveRoot(path);
  if (root.empty()) return false;
  return GetDriveTypeA(root.c_str()) == DRIVE_REMOVABLE;
}

int64_t DiskFreeBytes(const std::string& path) {
  if (const auto hook = hooks::DiskFree()) {
    const int64_t answer = hook(path);
    if (answer >= 0) return answer;
  }
  // The path (or the file in it) need not exist yet: ask about the nearest
  // folder above it that does.
  std::string dir = FullPath(path);
  if (dir.empty()) return -1;
  const size_t root = RootLength(dir);
  for (;;) {
    const DWORD a = GetFileAttributesA(dir.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) break;
    if (dir.size() <= root) break;  // the root itself: let the system answer
    size_t end = dir.size();
    while (end > root && IsSeparator(dir[end - 1])) --end;  // trailing separators
    while (end > root && !IsSeparator(dir[end - 1])) --end;  // the last name
    while (end > root && IsSeparator(dir[end - 1])) --end;  // its separator
    dir.resize(end > root ? end : root);
  }
  ULARGE_INTEGER freeToCaller;
  if (!GetDiskFreeSpaceExA(WithSeparator(dir).c_str(), &freeToCaller, nullptr, nullptr)) return -1;
  return static_cast<int64_t>(freeToCaller.QuadPart);
}

std::string VolumeLabel(const std::string& path) {
  const std::string root = DriveRoot(path);
  if (root.empty()) return std::string();
  char label[MAX_PATH + 1] = {};
  if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr,
                             0))
    return std::string();
  return label;
}

// ---- memory -------------------------------------------------------------------

uint64_t AvailablePhysicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullAvailPhys;
}

bool SetDriveLabel(const std::string& path, const std::string& label) {
  if (const auto hook = hooks::DriveLabel()) return hook(path, label);
  const std::string root = DriveRoot(path);
  return !root.empty() && SetVolumeLabelA(root.c_str(), label.c_str()) != 0;
}

std::string FindFileIgnoringCase(const std::string& path) { return path; }

}  // namespace zf::os
