// The UTF-8 log of a setup or uninstall run.
#include "wizard/SetupLog.h"

#include <cstdio>
#include <ctime>

namespace setup {

bool TSetupLog::Open(const std::string& path, bool append) {
  const std::string ansi = zf::os::Utf8ToAnsi(path);
  if (append && file_.Open(ansi, zf::os::OpenMode::ReadWriteDenyWrite) &&
      file_.Seek(0, zf::os::SeekOrigin::End) >= 0)
    return true;
  file_.Close();
  return file_.Open(ansi, zf::os::OpenMode::Create);
}

void TSetupLog::Line(const std::string& text) {
  if (!file_.IsOpen()) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  std::string line = stamp;
  for (char c : text) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += "\r\n";
  file_.Write(line.data(), static_cast<int64_t>(line.size()));
}

}  // namespace setup
