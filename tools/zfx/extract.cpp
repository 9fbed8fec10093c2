// The "x" and "t" commands: one Extract (or Test) run of the component over
// its mask lists (selection.h), with handlers that ask for passwords and
// about existing files only when someone can answer, report every failure
// with the engine's own message, move the progress bar by the bytes of the
// archive the entries take, and keep the counts that decide the exit
// status.
#include "extract.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFStrFunc.h"
#include "open_archive.h"
#include "platform/platform.h"
#include "selection.h"
#include "terminal.h"
#include "volume_requests.h"

namespace zfx {

namespace {

// A name as the user reads it: the file system's separator.
std::string DisplayName(const std::string& name) { return zf::ToPlatformDelimiters(name); }

zf::TZFOverwriteMode EngineMode(Overwrite overwrite) {
  switch (overwrite) {
    case Overwrite::Always: return zf::omAlways;
    case Overwrite::Never: return zf::omNever;
    case Overwrite::IfNewer: return zf::omIfNewer;
    case Overwrite::Ask: break;
  }
  return zf::omPrompt;
}

class Extraction {
 public:
  Extraction(const CommandLine& cmd, Console& console)
      : cmd_(cmd), console_(console), testing_(cmd.command == Command::Test) {}

  int Run() {
    started_ = std::chrono::steady_clock::now();
    std::string dest = cmd_.destination;
    if (zf::kPathDelim == '\\') std::replace(dest.begin(), dest.end(), '/', '\\');

    Archiver archiver(console_);
    Configure(archiver, zf::AddTrailingDelimiter(dest));
    if (!OpenArchive(archiver, cmd_, console_)) return kExitFatal;
    // The engine creates the folders of the entries but, with -j, not the
    // destination itself.
    if (!testing_ && !zf::os::DirectoryExists(dest) && !zf::os::ForceDirectories(dest)) {
      console_.Error("zfx: cannot create " + dest + ": " +
                     zf::os::ErrorText(zf::os::LastErrorCode()));
      return kExitFatal;
    }

    bool broken = false;
    try {
      unmatched_ = SelectByMasks(archiver, cmd_, console_);
      if (testing_)
        archiver.Test("", zf::os::faSearchAll, "");
      else
        archiver.Extract("", zf::os::faSearchAll, "");
    } catch (const std::exception& e) {
      // Not an entry's failure (those go to the failure event): the
      // archive itself cannot be read on.
      console_.Error("zfx: " + cmd_.archive + ": " + e.what());
      broken = true;
    }
    selected_ = archiver.EntriesSelected();
    ReportLostEntry(archiver);
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
    options.SetOverwriteMode(EngineMode(cmd_.overwrite));
    options.SetCreateDirs(!cmd_.junkPaths);
    // Links become links (Linux), where their targets stay inside.
    options.SetRestoreSymlinks(true);

    // Ctrl-C stops within the entry being written, not after its chunk.
    archiver.SetStopRequest([] { return zftool::Interrupted(); });
    archiver.OnOverallProgress = [this](zf::TZFBaseArchiver* sender, double,
                                        zf::TZFProcessOperation, zf::TZFProgressPhase phase,
                                        bool& cancel) {
      if (phase == zf::ppStart) MeasureSelection(*sender);
      if (zftool::Interrupted()) cancel = true;
    };
    archiver.OnFileProgress = [this](zf::TZFBaseArchiver* sender, const std::string& name,
                                     double percent, zf::TZFProcessOperation,
                                     zf::TZFProgressPhase phase, bool& cancel) {
      if (phase == zf::ppStart) {
        current_ = DisplayName(name);
        currentSkipped_ = false;
        currentEntry_ = next_ < selection_.size() ? selection_[next_++] : SelectedEntry{};
      }
      ShowProgress(phase == zf::ppEnd ? 100 : percent);
      if (phase == zf::ppEnd) {
        bytesDone_ += currentEntry_.weight;
        if (!currentSkipped_ && !zftool::Interrupted()) EntryFinished(*sender);
      }
      if (zftool::Interrupted()) cancel = true;
    };
    archiver.OnConfirmOverwrite = [this](zf::TZFBaseArchiver*, const std::string& name,
                                         std::string& target, bool& confirm) {
      confirm = ConfirmOverwrite(DisplayName(name), target);
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

  // The weight of each selected entry, in run order: the bytes of the
  // archive it takes (its data and local header), so that the bar moves
  // with the work and not one step per entry; and its size.
  void MeasureSelection(zf::TZFBaseArchiver& archiver) {
    selection_.clear();
    bytesTotal_ = 0;
    const zf::TZFDirArray& dir = archiver.DirManager()->Dir();
    for (int32_t i = 0; i < dir.Count(); ++i) {
      const zf::TDirItem& item = dir.ItemRef(i);
      if (!item.Selected) continue;
      const double weight = static_cast<double>(std::max<int64_t>(item.CompressedSize(), 0)) +
                            30 + static_cast<double>(item.Name().size());
      selection_.push_back({weight, std::max<int64_t>(item.UncompressedSize(), 0)});
      bytesTotal_ += weight;
    }
  }

  void ShowProgress(double entryPercent) {
    if (bytesTotal_ <= 0) return;
    const double done =
        bytesDone_ + currentEntry_.weight * std::clamp(entryPercent, 0.0, 100.0) / 100;
    console_.Progress(done * 100 / bytesTotal_, current_);
  }

  // What became of the entry, reported as it happened.
  void EntryFinished(zf::TZFBaseArchiver& archiver) {
    switch (archiver.LastEntryOutcome()) {
      case zf::TZFEntryOutcome::Written:
      case zf::TZFEntryOutcome::Link:
      case zf::TZFEntryOutcome::Tested:
        ++files_;
        bytes_ += currentEntry_.size;
        console_.EntryDone(testing_ ? current_ + ": OK" : current_);
        break;
      case zf::TZFEntryOutcome::LinkAsFile:
        ++files_;
        bytes_ += currentEntry_.size;
        console_.EntryDone(current_);
        console_.Error("zfx: " + current_ +
                       ": note: a symbolic link, written as a file holding its target");
        break;
      case zf::TZFEntryOutcome::Folder:
        if (!testing_) console_.EntryDone(current_);
        break;
      case zf::TZFEntryOutcome::Kept:  // said where it was decided, if at all
      case zf::TZFEntryOutcome::None:
        break;
    }
  }

  // An existing file under the overwrite rules of no -o, -n or -u: the
  // question on a terminal, unzip's; without one, the file is kept and
  // the run says so (and ends with status 1).
  bool ConfirmOverwrite(const std::string& name, std::string& target) {
    if (replaceAll_) return true;
    if (keepAll_) return false;
    if (!console_.Interactive()) {
      console_.Error("zfx: " + name + ": exists; kept (-o replaces existing files, -n keeps "
                     "them without a word)");
      ++keptUnasked_;
      return false;
    }
    std::string newName;
    switch (console_.AskOverwrite(target, newName)) {
      case OverwriteAnswer::Yes: return true;
      case OverwriteAnswer::All: return replaceAll_ = true;
      case OverwriteAnswer::No: return false;
      case OverwriteAnswer::None:
        keepAll_ = true;
        return false;
      case OverwriteAnswer::Rename:
        // Beside the file it would have replaced.
        target = zf::DirectoryPart(target) + newName;
        return true;
    }
    return false;
  }

  // An entry the file ends inside its local header has no item to fail:
  // said here, and the status is 1.
  void ReportLostEntry(zf::TZipArchiver& archiver) {
    const zf::TZFDirManager* manager = archiver.DirManager();
    if (manager == nullptr || manager->CutShortItem() >= 0) return;
    const int64_t at = manager->Report().CutShortAt();
    if (at < 0) return;
    console_.Error("zfx: " + cmd_.archive + ": an entry is lost: the file ends inside its local "
                   "header at offset " + std::to_string(at));
    ++selected_;
    ++failed_;
  }

  int Report(bool broken) {
    if (zftool::Interrupted()) {
      console_.Error("zfx: aborted");
      return kExitAborted;
    }
    const int bad = failed_ + skipped_ + keptUnasked_;
    const char* done = testing_ ? "tested" : "extracted";
    if (console_.ShowsProgress()) {
      // One line for the whole run on a terminal.
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
      char time[32];
      std::snprintf(time, sizeof time, "%.1f", seconds);
      console_.Info(std::to_string(files_) + (files_ == 1 ? " file " : " files ") + done + ", " +
                    std::to_string(bytes_) + " bytes, " + time + " s, " +
                    (bad == 0 ? std::string("no failures")
                              : std::to_string(bad) + (bad == 1 ? " failure" : " failures")));
    } else if (bad > 0) {
      console_.Error("zfx: " + std::to_string(bad) + " of " + std::to_string(selected_) +
                     " selected entries not " + done);
    }
    if (broken || bad > 0 || unmatched_ > 0) return kExitSomeFailed;
    return kExitOk;
  }

  const CommandLine& cmd_;
  Console& console_;
  const bool testing_;
  std::chrono::steady_clock::time_point started_;
  std::string current_;
  bool currentSkipped_ = false;
  // Progress by bytes: each selected entry's weight and size, the next
  // one's place, the current one, and the weights done of the total.
  struct SelectedEntry {
    double weight = 0;
    int64_t size = 0;
  };
  std::vector<SelectedEntry> selection_;
  size_t next_ = 0;
  SelectedEntry currentEntry_;
  double bytesDone_ = 0, bytesTotal_ = 0;
  bool replaceAll_ = false, keepAll_ = false;
  int selected_ = 0, failed_ = 0, skipped_ = 0, unmatched_ = 0, keptUnasked_ = 0;
  int64_t files_ = 0, bytes_ = 0;
};

}  // namespace

int RunExtract(const CommandLine& cmd, Console& console) {
  return Extraction(cmd, console).Run();
}

}  // namespace zfx
