// Windows: File, error codes and texts, and the file-system functions, on the
// ANSI A-functions of the Win32 API.
#include <windows.h>

#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/win32/win32_util.h"

#ifdef DeleteFile
#undef DeleteFile
#endif
#ifdef CreateDirectory
#undef CreateDirectory
#endif

namespace zf::os {

namespace {

using win32::IsSeparator;
using win32::RootLength;

// ReadFile/WriteFile take 32-bit counts; big transfers go in pieces.
constexpr int64_t kMaxChunk = int64_t{1} << 30;  // 1 GiB

HANDLE AsHandle(void* h) { return h ? static_cast<HANDLE>(h) : INVALID_HANDLE_VALUE; }

bool GetStandardInfo(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

// The directory and volume bits describe what a name is; they cannot be
// set, so they are dropped rather than made to fail the call.
DWORD SettableAttributes(uint32_t attributes) {
  const DWORD a = attributes & ~static_cast<DWORD>(faDirectory | faVolumeID);
  return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

// A DOS date-time (local time) as the file time SetFileTime takes.
bool DosToFileTime(uint32_t dosDateTime, FILETIME& utc) {
  FILETIME local;
  if (!DosDateTimeToFileTime(DosDateOf(dosDateTime), DosTimeOf(dosDateTime), &local))
    return false;
  return LocalFileTimeToFileTime(&local, &utc) != FALSE;
}

}  // namespace

// ---- File -------------------------------------------------------------------

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

bool File::Open(const std::string& path, OpenMode mode) {
  Close();
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::Create:
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::CreateNew:
      disposition = CREATE_NEW;
      break;
    case OpenMode::ReadWriteDenyWrite:
      break;
    case OpenMode::ReadOnlyDenyNone:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
      break;
    case OpenMode::ReadOnlyDenyWrite:
      access = GENERIC_READ;
      break;
  }
  HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

void File::Close() {
  if (handle_) {
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
  }
}

bool File::IsOpen() const { return handle_ != nullptr; }

std::string File::OpenFilePath() const { return std::string(); }

int64_t File::Read(void* buffer, int64_t count) {
  if (!handle_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  if (count < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto* p = static_cast<char*>(buffer);
  int64_t total = 0;
  while (total < count) {
    const DWORD want = static_cast<DWORD>(count - total < kMaxChunk ? count - total : kMaxChunk);
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), p + total, want, &got, nullptr)) {
      // A pipe whose writer has gone is the end of the data, not a failure.
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      return -1;
    }
    total += got;
    if (got < want) break;  // end of file
  }
  return total;
}

int64_t File::Write(const void* buffer, int64_t count) {
  hooks::BeforeWrite(count);
  if (!handle_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  if (count < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  const auto* p = static_cast<const char*>(buffer);
  int64_t total = 0;
  while (total < count) {
    const DWORD want = static_cast<DWORD>(count - total < kMaxChunk ? count - total : kMaxChunk);
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), p + total, want, &put, nullptr)) return -1;
    total += put;
    if (put == 0) break;  // the device takes no more
  }
  return total;
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
  if (!handle_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  DWORD method = FILE_BEGIN;
  if (origin == SeekOrigin::Current) method = FILE_CURRENT;
  if (origin == SeekOrigin::End) method = FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER result;
  result.QuadPart = 0;
  if (!SetFilePointerEx(AsHandle(handle_), distance, &result, method)) return -1;
  return result.QuadPart;
}

int64_t File::Size() {
  if (!handle_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(handle_), &size)) return -1;
  return size.QuadPart;
}

bool File::Truncate() {
  if (!handle_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return SetEndOfFile(AsHandle(handle_)) != FALSE;
}

bool File::Flush() {
  if (!handle_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return FlushFileBuffers(AsHandle(handle_)) != FALSE;
}

bool File::SetDosDateTime(uint32_t dosDateTime) {
  FILETIME utc;
  if (!DosToFileTime(dosDateTime, utc)) return false;
  return SetFileTime(AsHandle(handle_), nullptr, nullptr, &utc) != FALSE;
}

bool File::SetAttributes(uint32_t attributes) {
  // Zero times leave the file's times as they are.
  FILE_BASIC_INFO info{};
  info.FileAttributes = SettableAttributes(attributes);
  return SetFileInformationByHandle(AsHandle(handle_), FileBasicInfo, &info, sizeof info) != FALSE;
}

bool File::SetUnixPermissions(uint32_t) { return true; }

// ---- errors -------------------------------------------------------------------

int LastErrorCode() { return static_cast<int>(GetLastError()); }

ErrorKind KindOfError(int code) {
  switch (static_cast<DWORD>(code)) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295:  // ERROR_DISK_QUOTA_EXCEEDED, which not every mingw-w64 header names
      return ErrorKind::NoSpace;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ErrorKind::AccessDenied;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return ErrorKind::IoError;
    default:
      return ErrorKind::Other;
  }
}

std::string ErrorText(int code) {
  char* buffer = nullptr;
  const DWORD len = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (len > 0 && buffer) text.assign(buffer, len);
  if (buffer) LocalFree(buffer);
  // The system's text ends with CR LF (and sometimes spaces); keep the rest,
  // its closing period included.
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                           text.back() == '\t'))
    text.pop_back();
  if (text.empty()) text = "System error " + std::to_string(code);
  return text;
}

// ---- file system ----------------------------------------------------------------

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool ForceDirectories(const std::string& path) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (DirectoryExists(path)) return true;
  // Create each missing folder below the root (a drive root "C:\", a share
  // "\\server\share\" or the current folder), left to right; a folder that
  // already exists is passed over, as is one made meanwhile by someone else.
  const size_t root = RootLength(path);
  size_t i = root;
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;  // doubled separators
    if (i >= path.size()) break;
    while (i < path.size() && !IsSeparator(path[i])) ++i;
    const std::string part = path.substr(0, i);
    if (DirectoryExists(part)) continue;
    if (!CreateDirectoryA(part.c_str(), nullptr)) {
      const DWORD err = GetLastError();
      if (DirectoryExists(part)) continue;
      SetLastError(err);
      return false;
    }
  }
  return DirectoryExists(path);
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool RemoveDir(const std::string& path) { return RemoveDirectoryA(path.c_str()) != FALSE; }

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetStandardInfo(path, data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return -1;
  }
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool MakeSymlink(const std::string&, const std::string&, bool) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

std::string StdinFilePath() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE || GetFileType(in) != FILE_TYPE_DISK)
    return std::string();
  wchar_t buffer[MAX_PATH + 8];
  const DWORD n = GetFinalPathNameByHandleW(in, buffer, MAX_PATH + 8, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= MAX_PATH + 8) return std::string();
  std::wstring path(buffer, n);
  // "\\?\C:\..." and "\\?\UNC\server\share\...": the plain forms, which every
  // function that takes a name understands.
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) path = L"\\" + path.substr(7);
  else if (path.rfind(L"\\\\?\\", 0) == 0) path = path.substr(4);
  return win32::WideToAnsi(path);
}

int64_t ReadStdin(void* buffer, int64_t count) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return 0;
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(count > (1 << 30) ? (1 << 30) : count);
  if (ReadFile(in, buffer, want, &got, nullptr)) return got;
  // The writing end of a pipe closed: the input ended.
  return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

std::string FullPath(const std::string& path) {
  const std::string p = path.empty() ? "." : path;
  char buffer[MAX_PATH + 1];
  const DWORD len = GetFullPathNameA(p.c_str(), sizeof buffer, buffer, nullptr);
  if (len > 0 && len < sizeof buffer) return std::string(buffer, len);
  if (len >= sizeof buffer) {
    std::string big(len, '\0');
    const DWORD got = GetFullPathNameA(p.c_str(), len, big.data(), nullptr);
    if (got > 0 && got < len) {
      big.resize(got);
      return big;
    }
  }
  return std::string();
}

bool ListDirectory(const std::string& dir, std::vector<DirEntry>& entries) {
  entries.clear();
  std::string pattern = dir;
  if (!pattern.empty() && !IsSeparator(pattern.back()) && pattern.back() != ':') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    // A folder with nothing in it at all (a drive root can be one).
    if (GetLastError() == ERROR_FILE_NOT_FOUND && DirectoryExists(dir.empty() ? "." : dir))
      return true;
    return false;
  }
  do {
    const char* n = fd.cFileName;
    if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
    entries.push_back(DirEntry{n, fd.dwFileAttributes});
  } while (FindNextFileA(h, &fd));
  const DWORD err = GetLastError();
  FindClose(h);
  if (err != ERROR_NO_MORE_FILES) {
    SetLastError(err);
    return false;
  }
  return true;
}

uint32_t GetAttributes(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a == INVALID_FILE_ATTRIBUTES ? kInvalidAttributes : static_cast<uint32_t>(a);
}

// Windows files carry no Unix permission bits.
bool SetUnixPermissions(const std::string&, uint32_t) { return true; }

bool SetAttributes(const std::string& path, uint32_t attributes) {
  return SetFileAttributesA(path.c_str(), SettableAttributes(attributes)) != FALSE;
}

bool GetFileDosDateTime(const std::string& path, uint32_t& dosDateTime) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetStandardInfo(path, data)) return false;
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) return false;
  if (!FileTimeToDosDateTime(&local, &date, &time)) return false;
  dosDateTime = MakeDosDateTime(date, time);
  return true;
}

bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime) {
  FILETIME utc;
  if (!DosToFileTime(dosDateTime, utc)) return false;
  // Writing attributes only is allowed on read-only files too; the backup
  // flag lets a folder be opened.
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(h, nullptr, nullptr, &utc) != FALSE;
  const DWORD err = GetLastError();
  CloseHandle(h);
  if (!ok) SetLastError(err);
  return ok;
}

std::string TempDirectory() {
  char buffer[MAX_PATH + 2];
  const DWORD len = GetTempPathA(MAX_PATH + 1, buffer);
  std::string dir;
  if (len > 0 && len <= MAX_PATH + 1) dir.assign(buffer, len);
  if (dir.empty()) dir = "C:\\";
  if (!IsSeparator(dir.back())) dir += '\\';
  return dir;
}

}  // namespace zf::os
