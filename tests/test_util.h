// Helpers shared by the tests: a fresh temporary folder per test, the same
// pseudo-random bytes on every system, whole-file reads and writes through the platform layer, the native code of the
// engine's exceptions, the locale the Windows test run was started in, and
// a limit on the size of the files written (a destination that takes no
// more, on Linux).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "archive/ZFClasses.h"
#include "archive/ZFExcept.h"
#include "platform/platform.h"

namespace zf::test {

#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

// Deterministic pseudo-random bytes (xorshift32), the same on every system.
inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 24);
  }
  return v;
}

// A folder of its own under the system's temporary folder, removed with all
// it holds when the object goes.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const std::string base = os::TempDirectory();
    for (int attempt = 0;; ++attempt) {
      path_ = base + "zftest_" + std::to_string(std::rand()) + "_" +
              std::to_string(counter++) + kSep;
      if (!os::DirectoryExists(path_) && os::CreateDir(path_)) break;
      if (attempt > 100) std::abort();
    }
  }
  ~TempDir() { RemoveTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a trailing separator.
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

  static void RemoveTree(const std::string& dir) {
    std::vector<os::DirEntry> entries;
    if (os::ListDirectory(dir, entries)) {
      for (const auto& e : entries) {
        const std::string path = dir + e.name;
        os::SetAttributes(path, e.attributes & ~os::faReadOnly);
        if (e.attributes & os::faDirectory)
          RemoveTree(path + kSep);
        else
          os::RemoveFile(path);
      }
    }
    os::SetAttributes(dir, os::faDirectory);
    os::RemoveDir(dir);
  }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  TFileStream f(path, TFileMode::fmCreate);
  f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  TFileStream f(path, TFileMode::fmOpenReadDenyNone);
  std::string bytes(static_cast<size_t>(f.GetSize()), '\0');
  f.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

// The native code of the EZFException that action raises, or -1 when it
// raises none.
template <typename F>
int32_t NativeErrorOf(F&& action) {
  try {
    action();
  } catch (const EZFException& e) {
    return e.NativeError();
  }
  return -1;
}

// The locale the test run was started in, as scripts/test.sh names it in
// ZF_TEST_LOCALE ("en", "ru", "tr"); empty when run by hand.
inline std::string TestLocale() {
  const char* v = std::getenv("ZF_TEST_LOCALE");
  return v ? v : "";
}

// While it lives, no file this process writes grows past `bytes` (-1: no
// limit): a write beyond fails with the system's "file too large", which
// the engine reads as a full disk, as it is for that file. Linux only; on
// Windows it does nothing and Active() is false.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(int64_t bytes) {
#ifndef _WIN32
    if (bytes < 0) return;
    getrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, SIG_IGN);  // a failing write, not a killed process
    rlimit limit = saved_;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
#else
    (void)bytes;
#endif
  }
  ~FileSizeLimit() {
#ifndef _WIN32
    if (active_) setrlimit(RLIMIT_FSIZE, &saved_);
#endif
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Active() const { return active_; }

 private:
#ifndef _WIN32
  rlimit saved_{};
#endif
  bool active_ = false;
};

}  // namespace zf::test
