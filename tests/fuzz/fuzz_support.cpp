// What the fuzz targets share (see fuzz_support.h).
#include "fuzz_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "wizard/ShellHelpers.h"

namespace zffuzz {

void QuietProcess() {
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, 0);
    ::close(null);
  }
  // Only the C streams: the reports of the sanitizers and of libFuzzer
  // write to the descriptors themselves.
  stdout = std::fopen("/dev/null", "w");
  stderr = std::fopen("/dev/null", "w");
  zf::os::DialogHookForTests hook;
  hook.message = [](const std::string&, const std::string&, unsigned flags) {
    return (flags & 0x0F) == zf::os::mbAbortRetryIgnore ? zf::os::idIgnore : zf::os::idCancel;
  };
  hook.choice = [](const std::string&, const std::string&, const std::vector<std::string>&) {
    return -1;
  };
  hook.input = [](const std::string&, const std::string&, std::string&, bool) { return false; };
  zf::os::SetDialogHookForTests(hook);
}

Scratch::Scratch() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : tmp && *tmp ? tmp : "/tmp";
  std::string templ = base + "/zf-fuzz.XXXXXX";
  std::vector<char> buffer(templ.begin(), templ.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) std::abort();
  path_ = std::string(buffer.data()) + "/";
}

Scratch::~Scratch() { setup::RemoveFolderTree(path_); }

std::string Scratch::WriteInput(const std::string& name, const uint8_t* data, size_t size) const {
  const std::string file = path_ + name;
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return file;
}

void Scratch::Clear() const {
  std::vector<zf::os::DirEntry> entries;
  if (!zf::os::ListDirectory(path_, entries)) return;
  for (const auto& entry : entries) {
    const std::string path = path_ + entry.name;
    if (entry.attributes & zf::os::faDirectory) {
      setup::RemoveFolderTree(path + "/");
    } else {
      zf::os::SetAttributes(path, 0);
      zf::os::RemoveFile(path);
    }
  }
}

std::string Scratch::Listing() const {
  std::vector<zf::os::DirEntry> entries;
  zf::os::ListDirectory(path_, entries);
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& name : names) out += name + "\n";
  return out;
}

}  // namespace zffuzz
