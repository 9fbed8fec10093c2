// Files and the file system on Linux: File over a descriptor, attributes
// from the permission bits and the name, DOS date-times in local time.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/pending_names.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace zf::os {

namespace {

// Largest piece handed to one read() or write() (Linux moves at most about
// 2 GiB per call anyway).
constexpr int64_t kMaxChunk = 1 << 30;

// The path without trailing "/" (but "/" stays "/").
std::string StripTrailingSlashes(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

// The last component of a path, trailing "/" ignored.
std::string BaseName(const std::string& path) {
  const std::string p = StripTrailingSlashes(path);
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool IsHiddenName(const std::string& name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

uint32_t AttributesOf(const struct stat& st, const std::string& name) {
  uint32_t attributes = 0;
  if (!(st.st_mode & S_IWUSR)) attributes |= faReadOnly;
  if (IsHiddenName(name)) attributes |= faHidden;
  if (S_ISDIR(st.st_mode)) attributes |= faDirectory;
  if (S_ISREG(st.st_mode)) attributes |= faArchive;
  return attributes;
}

// The permission bits that give a file of mode `mode` the read-only state of
// `attributes`: all write bits go for read-only, the owner's comes back
// otherwise. Hidden, system and archive have no counterpart here.
mode_t ModeForAttributes(mode_t mode, uint32_t attributes) {
  mode &= 07777;
  if (attributes & faReadOnly) return mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  return mode | S_IWUSR;
}

// Only the nine permission bits: set-id and sticky bits from an archive
// would hand its author a privilege. Only regular files and folders take
// them.
bool TakesPermissions(const struct stat& st) { return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode); }

// mktime of a DOS date-time's fields, remembering the last answer: glibc's
// mktime looks at /etc/localtime again on every call, and the entries of an
// archive often share their time. The key includes TZ, which tests change.
time_t LocalMakeTime(uint32_t dosDateTime, struct tm& tm) {
  struct Last {
    uint32_t dosDateTime = 0;
    std::string tz;
    time_t value = static_cast<time_t>(-1);
  };
  thread_local Last last;
  const char* tzEnv = std::getenv("TZ");
  const std::string tz = tzEnv ? std::string("=") + tzEnv : std::string();
  if (last.value != static_cast<time_t>(-1) && last.dosDateTime == dosDateTime && last.tz == tz)
    return last.value;
  const time_t value = ::mktime(&tm);
  last = {dosDateTime, tz, value};
  return value;
}

// A DOS date-time (local time) as the access and modification times of
// utimensat/futimens. Windows' DosDateTimeToFileTime refuses impossible
// fields; so does this (EINVAL).
bool DosToTimes(uint32_t dosDateTime, struct timespec (&times)[2]) {
  const DosDateTimeParts p = DecodeDosDateTime(dosDateTime);
  if (!IsPossibleDosDateTime(p)) {
    errno = EINVAL;
    return false;
  }
  struct tm tm {};
  tm.tm_year = p.Year - 1900;
  tm.tm_mon = p.Month - 1;
  tm.tm_mday = p.Day;
  tm.tm_hour = p.Hour;
  tm.tm_min = p.Minute;
  tm.tm_sec = p.Second;
  tm.tm_isdst = -1;
  const time_t t = LocalMakeTime(dosDateTime, tm);
  if (t == static_cast<time_t>(-1)) {
    errno = EINVAL;
    return false;
  }
  times[0].tv_sec = t;
  times[0].tv_nsec = 0;
  times[1] = times[0];
  return true;
}

}  // namespace

// ---- File -------------------------------------------------------------------

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool File::Open(const std::string& path, OpenMode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::Create:
      flags |= O_CREAT | O_TRUNC | O_RDWR;
      break;
    case OpenMode::CreateNew:
      flags |= O_CREAT | O_EXCL | O_RDWR;
      break;
    case OpenMode::ReadWriteDenyWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::ReadOnlyDenyNone:
    case OpenMode::ReadOnlyDenyWrite:
      flags |= O_RDONLY;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  // Windows cannot open a folder as a file; neither do we. Only a read-only
  // open can reach one: the others fail on a folder by themselves.
  struct stat st;
  if ((flags & O_ACCMODE) == O_RDONLY && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return false;
  }
  fd_ = fd;
  return true;
}

void File::Close() {
  if (fd_ >= 0) {
    const int saved = errno;
    ::close(fd_);
    errno = saved;
    fd_ = -1;
  }
}

bool File::IsOpen() const { return fd_ >= 0; }

std::string File::OpenFilePath() const {
  return fd_ >= 0 ? "/proc/self/fd/" + std::to_string(fd_) : std::string();
}

int64_t File::Read(void* buffer, int64_t count) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  char* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t chunk = count - done < kMaxChunk ? count - done : kMaxChunk;
    const ssize_t n = ::read(fd_, p + done, static_cast<size_t>(chunk));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;  // end of file
    done += n;
  }
  return done;
}

int64_t File::Write(const void* buffer, int64_t count) {
  hooks::BeforeWrite(count);
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  const char* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t chunk = count - done < kMaxChunk ? count - done : kMaxChunk;
    const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(chunk));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      errno = ENOSPC;
      return -1;
    }
    done += n;
  }
  return done;
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  int whence = SEEK_SET;
  if (origin == SeekOrigin::Current) whence = SEEK_CUR;
  if (origin == SeekOrigin::End) whence = SEEK_END;
  const off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t File::Size() {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  struct stat st;
  if (::fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool File::Truncate() {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  const off_t here = ::lseek(fd_, 0, SEEK_CUR);
  if (here < 0) return false;
  int r;
  do {
    r = ::ftruncate(fd_, here);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool File::Flush() {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  int r;
  do {
    r = ::fsync(fd_);
  } while (r != 0 && errno == EINTR);
  // A descriptor that cannot be synced (a pipe, some special files) has
  // nothing to write through.
  return r == 0 || errno == EINVAL || errno == EROFS;
}

bool File::SetDosDateTime(uint32_t dosDateTime) {
  struct timespec times[2];
  if (!DosToTimes(dosDateTime, times)) return false;
  return ::futimens(fd_, times) == 0;
}

bool File::SetAttributes(uint32_t attributes) {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return false;
  const mode_t mode = ModeForAttributes(st.st_mode, attributes);
  return mode == (st.st_mode & 07777) || ::fchmod(fd_, mode) == 0;
}

bool File::SetUnixPermissions(uint32_t mode) {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return false;
  if (!TakesPermissions(st)) return false;
  if ((st.st_mode & 07777) == (mode & 0777)) return true;
  return ::fchmod(fd_, static_cast<mode_t>(mode & 0777)) == 0;
}

// ---- errors -----------------------------------------------------------------

int LastErrorCode() { return errno; }

ErrorKind KindOfError(int code) {
  switch (code) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:  // the file system's or the process's size limit
      return ErrorKind::NoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return ErrorKind::AccessDenied;
    case EIO:
      return ErrorKind::IoError;
    default:
      return ErrorKind::Other;
  }
}

std::string ErrorText(int code) {
  char buffer[256];
  buffer[0] = '\0';
  // GNU strerror_r returns the text (maybe not in buffer); XSI returns int.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  const char* text = ::strerror_r(code, buffer, sizeof buffer);
  return text ? text : "";
#else
  if (::strerror_r(code, buffer, sizeof buffer) != 0)
    std::snprintf(buffer, sizeof buffer, "Unknown error %d", code);
  return buffer;
#endif
}

// ---- file system ------------------------------------------------------------

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  return ::mkdir(path.c_str(), 0777) == 0;
}

bool ForceDirectories(const std::string& path) {
  const std::string p = StripTrailingSlashes(path);
  if (p.empty()) {
    errno = ENOENT;
    return false;
  }
  if (DirectoryExists(p)) return true;
  const size_t slash = p.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    if (!ForceDirectories(p.substr(0, slash))) return false;
  }
  if (::mkdir(p.c_str(), 0777) == 0) return true;
  // Someone else may have made it meanwhile.
  if (errno == EEXIST && DirectoryExists(p)) return true;
  return false;
}

bool RemoveFile(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  return ::unlink(path.c_str()) == 0;
}

bool RemoveDir(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

std::string FullPath(const std::string& path) {
  char* resolved = ::realpath(path.empty() ? "." : path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string full(resolved);
  std::free(resolved);
  return full;
}

bool MakeSymlink(const std::string& target, const std::string& path, bool replace) {
  if (!replace) return ::symlink(target.c_str(), path.c_str()) == 0;
  const std::string folder = pending::FolderOf(path);
  for (int attempt = 0; attempt < pending::kNameAttempts; ++attempt) {
    const std::string temporary = pending::TemporaryNameIn(folder);
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) == 0) return true;
    const int code = errno;
    ::unlink(temporary.c_str());
    errno = code;
    return false;
  }
  return false;
}

std::string StdinFilePath() {
  struct stat st;
  if (::fstat(0, &st) != 0 || !S_ISREG(st.st_mode)) return std::string();
  // Opens the same file anew, with a position of its own.
  return "/proc/self/fd/0";
}

int64_t ReadStdin(void* buffer, int64_t count) {
  for (;;) {
    const ssize_t n = ::read(0, buffer, static_cast<size_t>(count));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  entries.clear();
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  const int dfd = ::dirfd(d);
  for (;;) {
    errno = 0;
    const struct dirent* e = ::readdir(d);
    if (!e) break;
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    uint32_t attributes;
    if (::fstatat(dfd, e->d_name, &st, 0) == 0 ||
        ::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      attributes = AttributesOf(st, name);
    } else {
      // Gone meanwhile, or unreadable: list it from the name alone.
      attributes = (e->d_type == DT_DIR ? faDirectory : faArchive) |
                   (IsHiddenName(name) ? faHidden : 0);
    }
    entries.push_back(DirEntry{name, attributes});
  }
  const int error = errno;
  ::closedir(d);
  errno = error;
  return error == 0;
}

uint32_t GetAttributes(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return kInvalidAttributes;
  return AttributesOf(st, BaseName(path));
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  const mode_t mode = ModeForAttributes(st.st_mode, attributes);
  return mode == (st.st_mode & 07777) || ::chmod(path.c_str(), mode) == 0;
}

// A symbolic link is refused rather than followed, so the bits never reach
// a file outside the one named.
bool SetUnixPermissions(const std::string& path, uint32_t mode) {
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
  if (!TakesPermissions(st)) return false;
  return ::chmod(path.c_str(), static_cast<mode_t>(mode & 0777)) == 0;
}

// Reading floors an odd second to the even one below (second / 2), as the
// DOS encoding and Windows' FileTimeToDosDateTime do. Times before 1980 read
// as 1980-01-01 00:00:00, after 2107 as 2107-12-31 23:59:58.
bool GetFileDosDateTime(const std::string& path, uint32_t& dosDateTime) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  const time_t t = st.st_mtime;
  struct tm tm;
  if (!::localtime_r(&t, &tm)) return false;
  const int second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second
  dosDateTime = EncodeDosDateTime(
      {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, second});
  return true;
}

bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime) {
  struct timespec times[2];
  if (!DosToTimes(dosDateTime, times)) return false;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::string TempDirectory() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = env && *env ? env : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace zf::os
