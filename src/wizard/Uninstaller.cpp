// The uninstaller: the journal read back, the question, the removal, and
// the clean-up of its own file.
#include "wizard/Uninstaller.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "archive/ZFExcept.h"
#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/InstallJournal.h"
#include "wizard/JournalUndo.h"
#include "wizard/Languages.h"
#include "wizard/ShellHelpers.h"
#include "wizard/ShellServices.h"

namespace setup {
namespace {

constexpr std::string_view kJournalSuffix = "dat";

std::string U(const std::string& ansi) { return zf::os::AnsiToUtf8(ansi); }
std::string Filled(std::string_view text, const std::string& value) {
  return zf::FormatText(text, {value});
}

}  // namespace

bool IsUninstallerPath(const std::string& exePath) {
  return zf::os::UpperString(FileNamePart(exePath)) == "UNINSTALL.EXE";
}

TUninstaller::TUninstaller(IShellServices& shell, IUninstallerBoxes& boxes, TSetupOptions options)
    : shell_(shell), boxes_(boxes), options_(std::move(options)) {
  if (options_.logFile) log_.Open(*options_.logFile, options_.elevatedCopy);
  UseLanguage("");
}

void TUninstaller::UseLanguage(const std::string& installed) {
  const auto language = LanguageFromCode(installed);
  texts_ = &TextsFor(options_.language ? *options_.language
                     : language        ? *language
                                       : UserLanguageOf(shell_.UserUILanguage()));
}

void TUninstaller::Message(const std::string& text) {
  log_.Line(text);
  if (!options_.Unattended()) boxes_.ShowMessage(std::string(texts_->uninstallTitle), text);
}

void TUninstaller::Error(const std::string& text) {
  log_.Line("Error: " + text);
  if (!options_.SuppressBoxes()) boxes_.ShowError(std::string(texts_->uninstallTitle), text);
}

int TUninstaller::Run() {
  const std::string self = shell_.ExecutablePath();
  const std::string folder = FolderPart(self);
  // uninstall.exe beside uninstall.dat: the same three-character rule as
  // the package beside the wizard.
  const std::string journalPath = self.substr(0, self.size() - 3) + std::string(kJournalSuffix);
  log_.Line("Uninstall started: " + U(self));

  std::string text;
  TProductInfo product;
  std::optional<std::vector<TJournalRecord>> records;
  if (ReadWholeFile(journalPath, text)) records = ParseJournal(text, product);
  // A journal of another folder is not this uninstaller's to carry out.
  if (!records || !SamePath(product.location, folder)) {
    Error(std::string(texts_->nothingToUninstall) + ": \"" + U(journalPath) + "\".");
    log_.Line("Exit code 4");
    return kExitNothingToUninstall;
  }

  // A product installed before languages were recorded is Russian.
  UseLanguage(product.language.empty() ? std::string("ru") : product.language);

  // A per-machine product (its entry in HKLM) is removed by a copy with
  // administrator rights, which asks the question and reports itself.
  const bool perMachine = std::any_of(records->begin(), records->end(), [](const TJournalRecord& r) {
    return r.kind == JournalKind::Registry && r.root == "HKLM";
  });
  if (perMachine && !options_.elevatedCopy && !shell_.IsElevated()) {
    log_.Line("Handing over to a copy with administrator rights");
    log_.Close();
    const std::optional<int> code =
        shell_.RunElevated(ElevatedSwitches(options_, SwitchSet::Uninstaller));
    if (options_.logFile) log_.Open(*options_.logFile, true);
    if (!code) Error(std::string(texts_->elevationFailed));
    log_.Line("Exit code " + std::to_string(code.value_or(kExitFailed)));
    return code.value_or(kExitFailed);
  }
  if (!options_.Unattended() &&
      !boxes_.AskYesNo(std::string(texts_->uninstallTitle),
                       Filled(texts_->uninstallQuestion, product.displayName))) {
    log_.Line("Uninstall declined; exit code 2");
    return kExitCancelled;
  }

  // A key that now names another folder belongs to an install of the
  // product made elsewhere since: not this uninstaller's to remove.
  std::erase_if(*records, [&](const TJournalRecord& r) {
    if (r.kind != JournalKind::Registry) return false;
    const auto now = shell_.ReadUninstallEntry(r.path);
    const bool other =
        now && !now->entry.installLocation.empty() &&
        !SamePath(zf::AddTrailingDelimiter(zf::os::Utf8ToAnsi(now->entry.installLocation)), folder);
    if (other) log_.Line("Kept " + r.root + "\\" + r.path + ": it names the install in " +
                         now->entry.installLocation);
    return other;
  });

  TJournalActions actions(shell_);
  int kept = 0;
  Uninstall(*records, {self, journalPath}, actions,
            [this](const std::string& line) { log_.Line(line); }, kept);
  RemoveFileEvenReadOnly(journalPath);
  log_.Line("Removed " + U(journalPath));

  // The folders the uninstaller's own file keeps from being empty: the
  // journal's folders from its own folder outwards.
  cleanUpFile_ = self;
  std::string dir = zf::RemoveTrailingDelimiter(folder);
  for (;;) {
    const bool ours = std::any_of(records->begin(), records->end(), [&](const TJournalRecord& r) {
      return r.kind == JournalKind::Folder && SamePath(r.path, dir);
    });
    if (!ours) break;
    cleanUpFoldersTo_ = dir;
    const std::string parent = zf::RemoveTrailingDelimiter(FolderPart(dir));
    if (parent.size() >= dir.size()) break;
    dir = parent;
  }

  std::string done = Filled(texts_->uninstallDone, product.displayName);
  if (kept > 0) done.append("\n").append(Filled(texts_->uninstallKept, U(product.location)));
  Message(done);
  log_.Line("Exit code 0");
  return kExitDone;
}

void CleanUpAfterUninstall(const std::string& file, const std::string& foldersTo) {
  // The uninstaller has ended, but the system may take a moment to let go
  // of its file.
  for (int attempt = 0; attempt < 50 && !RemoveFileEvenReadOnly(file); ++attempt)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (foldersTo.empty()) return;
  const std::string limit = zf::RemoveTrailingDelimiter(foldersTo);
  std::string dir = zf::RemoveTrailingDelimiter(FolderPart(file));
  // Only the folder itself or folders above it, never a stranger's.
  if (!SamePath(dir, limit) && !SamePath(dir.substr(0, limit.size() + 1), limit + zf::kPathDelim))
    return;
  while (dir.size() >= limit.size() && RemoveFolderIfEmpty(dir)) {
    if (SamePath(dir, limit)) break;
    dir = zf::RemoveTrailingDelimiter(FolderPart(dir));
  }
}

}  // namespace setup
