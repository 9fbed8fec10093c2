// The "x" command: one Extract run of the component over its mask lists
// (the masks, or every entry, less the exclusions), with handlers that ask
// for passwords only when someone can answer, report every failure with
// the engine's own message and keep the counts that decide the exit status.
#include "extract.h"

#include <algorithm>
#include <exception>
#include <vector>
#include <string>

#include "archive/ZFArchiver.h"
#include "archive/ZFStrFunc.h"
#include "open_archive.h"
#include "terminal.h"
#include "volume_requests.h"
#include "platform/platform.h"

namespace zfx {

namespace {

// A name as the user reads it: the file system's separator.
std::string DisplayName(const std::string& name) { return zf::ToPlatformDelimiters(name); }

class Extraction {
 public:
  Extraction(const CommandLine& cmd, Console& console) : cmd_(cmd), console_(console) {}

  int Run() {
    std::string dest = cmd_.destination;
    if (zf::kPathDelim == '\\') std::replace(dest.begin(), dest.end(), '/', '\\');

    Archiver archiver(console_);
    Configure(archiver, zf::AddTrailingDelimiter(dest));
    if (!OpenArchive(archiver, cmd_.archive, console_)) return kExitFatal;
    // The engine creates the folders of the entries but, with -j, not the
    // destination itself.
    if (!zf::os::DirectoryExists(dest) && !zf::os::ForceDirectories(dest)) {
      console_.Error("zfx: cannot create " + dest + ": " +
                     zf::os::ErrorText(zf::os::LastErrorCode()));
      return kExitFatal;
    }

    bool broken = false;
    try {
      ReportUnmatchedMasks(archiver);
      for (const std::string& mask : cmd_.masks.empty() ? std::vector<std::string>{"*.*"}
                                                        : cmd_.masks)
        archiver.FileMasks().Add(mask);
      for (const std::string& mask : cmd_.exclusions) archiver.ExclusionMasks().Add(mask);
      archiver.Extract("", zf::os::faSearchAll, "");
    } catch (const std::exception& e) {
      // Not an entry's failure (those go to the failure event): the
      // archive itself cannot be read on.
      console_.Error("zfx: " + cmd_.archive + ": " + e.what());
      broken = true;
    }
    selected_ = archiver.EntriesSelected();
    archiver.Close();
    console_.EndProgress();
    return Report(broken);
  }

 private:
  void Configure(zf::TZipArchiver& archiver, const std::string& baseDir) {
    archiver.SetBaseDir(baseDir);
    if (cmd_.havePassword) archiver.SetPassword(cmd_.password);
    archiver.SetExtractCorruptedFiles(cmd_.keepCorrupt);
    zf::TZFOptions& options = archiver.Options();
    options.SetOverwriteMode(cmd_.overwrite);
    options.SetCreateDirs(!cmd_.junkPaths);

    // Ctrl-C stops within the entry being written, not after its chunk.
    archiver.SetStopRequest([] { return zftool::Interrupted(); });
    archiver.OnFileProgress = [this](zf::TZFBaseArchiver*, const std::string& name, double,
                                     zf::TZFProcessOperation, zf::TZFProgressPhase phase,
                                     bool& cancel) {
      if (phase == zf::ppStart) {
        current_ = DisplayName(name);
        currentSkipped_ = false;
        console_.Progress(overall_, current_);
      } else if (phase == zf::ppEnd && !currentSkipped_ && !zftool::Interrupted()) {
        console_.EntryDone(current_);
      }
      if (zftool::Interrupted()) cancel = true;
    };
    archiver.OnOverallProgress = [this](zf::TZFBaseArchiver*, double percent,
                                        zf::TZFProcessOperation, zf::TZFProgressPhase,
                                        bool& cancel) {
      overall_ = percent;
      console_.Progress(percent, current_);
      if (zftool::Interrupted()) cancel = true;
    };
    archiver.OnPassword = [this](zf::TZFBaseArchiver*, const std::string& name,
                                 std::string& password, bool& skip) {
      const std::string shown = DisplayName(name);
      if (!zftool::Interrupted() && console_.AskPassword(shown, password)) {
        skip = false;
        return;
      }
      skip = true;
      currentSkipped_ = true;
      ++skipped_;
      if (!zftool::Interrupted())
        console_.Error("zfx: " + shown + ": " +
                       (password.empty() ? "password required" : "wrong password") +
                       ", skipped");
    };
    archiver.OnProcessFileFailure = [this](zf::TZFBaseArchiver* sender, const std::string& name,
                                           zf::TZFProcessOperation, int32_t native, int32_t,
                                           const std::string& message, zf::TZFAction& action) {
      // The engine's message as it stands, then why and where.
      console_.Error("zfx: " + DisplayName(name) + ": " +
                     zf::AppendDetail(message, sender->FailureDetail()) +
                     VolumeFailureHint(native));
      action = zf::fxaIgnore;
      ++failed_;
    };
  }

  // A mask named on the command line that selects no entry (exclusions
  // aside) is reported, and makes the exit status 1.
  void ReportUnmatchedMasks(zf::TZipArchiver& archiver) {
    for (const std::string& mask : cmd_.masks) {
      zf::TZFArchiveItem item;
      if (archiver.FindFirstItem(mask, item, zf::os::faSearchAll, "")) continue;
      console_.Error("zfx: " + mask + ": no matching entries");
      ++unmatched_;
    }
  }

  int Report(bool broken) {
    if (zftool::Interrupted()) {
      console_.Error("zfx: aborted");
      return kExitAborted;
    }
    const int bad = failed_ + skipped_;
    if (bad > 0)
      console_.Error("zfx: " + std::to_string(bad) + " of " +
                     std::to_string(selected_) + " selected entries not extracted");
    if (broken || bad > 0 || unmatched_ > 0) return kExitSomeFailed;
    return kExitOk;
  }

  const CommandLine& cmd_;
  Console& console_;
  std::string current_;
  double overall_ = 0;
  bool currentSkipped_ = false;
  int selected_ = 0, failed_ = 0, skipped_ = 0, unmatched_ = 0;
};

}  // namespace

int RunExtract(const CommandLine& cmd, Console& console) {
  return Extraction(cmd, console).Run();
}

}  // namespace zfx
