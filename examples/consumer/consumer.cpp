// Lists an archive and extracts all of it with the installed engine:
//   consumer ARCHIVE DESTINATION
#include <ziparchiver/ZFArchiver.h>
#include <ziparchiver/ZFExcept.h>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: consumer ARCHIVE DESTINATION\n"), 2;
  zf::TZipArchiver archiver;
  archiver.SetFileName(argv[1]);
  archiver.SetBaseDir(argv[2]);
  // Both events come on this thread, from inside Extract.
  archiver.OnFileProgress = [](zf::TZFBaseArchiver*, const std::string& name, double,
                               zf::TZFProcessOperation, zf::TZFProgressPhase phase, bool&) {
    if (phase == zf::ppEnd) std::printf("extracted %s\n", name.c_str());
  };
  archiver.OnOverallProgress = [](zf::TZFBaseArchiver*, double percent, zf::TZFProcessOperation,
                                  zf::TZFProgressPhase phase, bool&) {
    if (phase == zf::ppEnd) std::printf("done: %.0f%%\n", percent);
  };
  try {
    archiver.Open();
    zf::TZFArchiveItem item;
    for (bool found = archiver.FindFirstItem("*.*", item, zf::os::faSearchAll, ""); found;
         found = archiver.FindNextItem(item))
      std::printf("%10lld  %s%s\n", static_cast<long long>(item.UncompressedSize),
                  item.StoredPath.c_str(), item.FileName.c_str());
    archiver.Extract("*.*", zf::os::faSearchAll, "");
    archiver.Close();
  } catch (const zf::EZFException& e) {  // the engine's own failures
    return std::fprintf(stderr, "%s (native code %d)\n", e.what(), e.NativeError()), 1;
  } catch (const std::exception& e) {  // a file the system refused, out of memory
    return std::fprintf(stderr, "%s\n", e.what()), 1;
  }
}
