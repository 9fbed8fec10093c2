// PendingFile on Linux: an unnamed file (O_TMPFILE) in the target's folder,
// linked in when complete; a temporary file renamed at the end where the
// file system has no unnamed files.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/pending_names.h"
#include "platform/platform.h"

namespace zf::os {

namespace {

// What open(O_TMPFILE) answers on a file system (or a kernel) without
// unnamed files.
bool LacksUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Gives the unnamed file of fd the name `name`, never replacing a file that
// has it. By the descriptor itself (AT_EMPTY_PATH) where the process may
// (it needs CAP_DAC_READ_SEARCH), which spares the look-up of a /proc path;
// else through the descriptor's /proc entry, which needs no privilege. The
// way that worked is kept for the rest of the process.
bool LinkUnnamed(int fd, const std::string& name) {
  enum Way : int { kUnknown, kByDescriptor, kThroughProc };
  static std::atomic<int> way{kUnknown};
  if (way.load(std::memory_order_relaxed) != kThroughProc) {
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
      way.store(kByDescriptor, std::memory_order_relaxed);
      return true;
    }
    // Without the privilege the call answers ENOENT, as for a missing
    // folder; the /proc way tells the two apart.
    if (errno != ENOENT || way.load(std::memory_order_relaxed) == kByDescriptor) return false;
  }
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, proc, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) return false;
  way.store(kThroughProc, std::memory_order_relaxed);
  return true;
}

// Renames without replacing a file that has the new name. A file system
// that cannot promise that (no RENAME_NOREPLACE) is asked first instead.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  struct stat st;
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

bool PendingFile::Create(const std::string& target) {
  Discard();
  const std::string folder = pending::FolderOf(target);
  int fd;
  do {
    fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    file_.fd_ = fd;
    target_ = target;
    return true;
  }
  if (!LacksUnnamedFiles(errno)) return false;
  return CreateNamed(folder, target);
}

bool PendingFile::Commit(bool replace) {
  if (!file_.IsOpen()) {
    errno = EBADF;
    return false;
  }
  bool done = false;
  if (!temporary_.empty()) {
    file_.Close();
    done = replace ? ::rename(temporary_.c_str(), target_.c_str()) == 0
                   : RenameNoReplace(temporary_, target_);
    if (done) temporary_.clear();
  } else if (!replace) {
    done = LinkUnnamed(file_.fd_, target_);
  } else {
    // No call links a file over an existing name: it gets a temporary name
    // of its own, which then replaces the target in one rename.
    const std::string folder = pending::FolderOf(target_);
    for (int attempt = 0; attempt < pending::kNameAttempts && !done; ++attempt) {
      temporary_ = pending::TemporaryNameIn(folder);
      done = LinkUnnamed(file_.fd_, temporary_);
      if (!done) temporary_.clear();
      if (!done && errno != EEXIST) break;
    }
    if (done) {
      done = ::rename(temporary_.c_str(), target_.c_str()) == 0;
      if (done) temporary_.clear();
    }
  }
  Discard();
  return done;
}

void PendingFile::Discard() {
  const int saved = errno;
  file_.Close();
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  target_.clear();
  errno = saved;
}

}  // namespace zf::os
