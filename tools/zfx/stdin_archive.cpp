// Standard input as the archive (see stdin_archive.h).
#include "stdin_archive.h"

#include <chrono>
#include <vector>

#include "platform/platform.h"
#include "terminal.h"

namespace zfx {

namespace {

std::string SystemError() { return zf::os::ErrorText(zf::os::LastErrorCode()); }

// A file of a name no other one has, made in the temporary folder.
bool CreateTemporary(zf::os::File& file, std::string& path) {
  const auto seed = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    path = zf::os::TempDirectory() + "zfx-stdin-" + std::to_string((seed + attempt) % 100000000) +
           ".zip";
    if (file.Open(path, zf::os::OpenMode::CreateNew)) return true;
  }
  return false;
}

}  // namespace

StdinArchive::~StdinArchive() {
  if (!copy_.empty()) zf::os::RemoveFile(copy_);
}

bool StdinArchive::Prepare(CommandLine& cmd, Console& console) {
  cmd.archiveFile = zf::os::StdinFilePath();
  if (!cmd.archiveFile.empty()) return true;
  if (zf::os::StdinIsTerminal()) {
    console.Error("zfx: -: standard input is a terminal, not an archive");
    return false;
  }
  std::string path;
  if (!CreateTemporary(file_, path)) {
    console.Error("zfx: -: cannot make a temporary file for standard input: " + SystemError());
    return false;
  }
  copy_ = path;
  const std::string openPath = file_.OpenFilePath();
  if (!openPath.empty() && zf::os::RemoveFile(path)) copy_.clear();
  std::vector<char> buffer(1 << 20);
  for (;;) {
    if (zftool::Interrupted()) return false;
    const int64_t n = zf::os::ReadStdin(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (n == 0) break;
    if (n < 0) {
      console.Error("zfx: -: cannot read standard input: " + SystemError());
      return false;
    }
    if (file_.Write(buffer.data(), n) != n) {
      console.Error("zfx: -: cannot copy standard input to " + path + ": " + SystemError());
      return false;
    }
  }
  if (copy_.empty()) {
    cmd.archiveFile = openPath;
  } else {
    file_.Close();
    cmd.archiveFile = path;
  }
  return true;
}

}  // namespace zfx
