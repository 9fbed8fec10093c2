// PendingFile on Windows: a temporary file beside the target, moved over it
// when complete (MoveFileExW, written through) and removed otherwise.
#include <windows.h>

#include "platform/pending_names.h"
#include "platform/platform.h"
#include "platform/win32/win32_util.h"

namespace zf::os {

bool PendingFile::Create(const std::string& target) {
  Discard();
  return CreateNamed(pending::FolderOf(target), target);
}

bool PendingFile::Commit(bool replace) {
  if (!file_.IsOpen()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  file_.Close();
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  const bool done = MoveFileExW(win32::AnsiToWide(temporary_).c_str(),
                                win32::AnsiToWide(target_).c_str(), flags) != FALSE;
  if (done) temporary_.clear();
  Discard();
  return done;
}

void PendingFile::Discard() {
  const DWORD saved = GetLastError();
  file_.Close();
  if (!temporary_.empty() && !DeleteFileA(temporary_.c_str())) {
    // Windows deletes no read-only file: one given the attribute already
    // loses it first.
    SetFileAttributesA(temporary_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temporary_.c_str());
  }
  temporary_.clear();
  target_.clear();
  SetLastError(saved);
}

}  // namespace zf::os
