// The wizard's form: start-up, the install sequence with its journal,
// rollback and uninstaller, pages and buttons, progress, closing and the
// error box.
#include "wizard/Unit1.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/ErrorBox.h"
#include "wizard/InstallJournal.h"
#include "wizard/InstallRun.h"
#include "wizard/JournalUndo.h"
#include "wizard/Languages.h"
#include "wizard/PackageCheck.h"
#include "package/PackageFormat.h"
#include "wizard/ShellHelpers.h"
#include "wizard/WizardTexts.h"

namespace setup {
namespace {

// Files of the install folder that get a shortcut in the group.
constexpr std::string_view kShortcutMasks = "*.exe;*.hlp;readme.txt;readme.htm;readme.html";
// The Shell Folders value naming the user's Start-menu programs folder.
constexpr std::string_view kProgramsValue = "Programs";
constexpr unsigned kRegistrationPauseMs = 500;
constexpr int kLastPage = 3;
// The uninstaller and its journal in the install folder.
constexpr std::string_view kUninstallerName = "uninstall.exe";
constexpr std::string_view kJournalName = "uninstall.dat";
// Room kept for the journal on the disk.
constexpr int64_t kJournalReserve = 64 * 1024;
// The Shell Folders value naming the user's desktop.
constexpr std::string_view kDesktopValue = "Desktop";

std::string S(std::string_view s) { return std::string(s); }
std::string U(const std::string& ansi) { return zf::os::AnsiToUtf8(ansi); }

bool SameName(const std::string& a, std::string_view b) {
  return zf::os::UpperString(a) == zf::os::UpperString(S(b));
}

// A program the configuration names (UTF-8, "\" or "/" between folders)
// as a path inside the install folder, in the ANSI code page; empty for
// none, and for one that would lead out of the folder (absolute, a drive,
// a ".." segment): the wizard starts and links only the product's own.
std::string ProgramInFolder(const std::string& utf8) {
  std::string path = zf::os::Utf8ToAnsi(utf8);
  for (char& c : path)
    if (c == '/' || c == '\\') c = zf::kPathDelim;
  if (path.empty() || path.front() == zf::kPathDelim || path.find(':') != std::string::npos)
    return {};
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(zf::kPathDelim, start);
    if (end == std::string::npos) end = path.size();
    const std::string segment = path.substr(start, end - start);
    if (segment.empty() || segment.find_first_not_of(". ") == std::string::npos) return {};
    start = end + 1;
  }
  return path;
}

// A shortcut's file name for a product name: the characters no file name
// may hold become "_".
std::string DesktopLinkName(const std::string& ansiName) {
  std::string name = ansiName;
  for (char& c : name)
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos ||
        static_cast<unsigned char>(c) < 32)
      c = '_';
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  return name + ".lnk";
}

// Closes the archive on every way out of a scope.
struct CloseOnExit {
  zf::TZipArchiver& archiver;
  ~CloseOnExit() { archiver.Close(); }
};

}  // namespace

TaForm::TaForm(IWizardView& view, IShellServices& shell, TSetupOptions options)
    : view_(view), shell_(shell), options_(std::move(options)) {
  if (options_.logFile) log_.Open(*options_.logFile, options_.elevatedCopy);
  UseLanguages(TLanguageSet::All());
  // The form's design settings of the component.
  ZipArchiver1.SetName("ZipArchiver1");
  ZipArchiver1.SetExtractCorruptedFiles(false);
  ZipArchiver1.SetCompressionLevel(zf::clMax);
  ZipArchiver1.SetCompressionMode(9);
  ZipArchiver1.SetPassword(S(kPackagePassword));
  ZipArchiver1.SetSpanningMode(zf::smNone);
  ZipArchiver1.SpanningOptions().SetAdvancedNaming(true);
  ZipArchiver1.SpanningOptions().SetVolumeSize(zf::vsAutoDetect);
  ZipArchiver1.Options().SetStorePath(zf::spNoPath);
  ZipArchiver1.Options().SetFlushBuffers(true);
  ZipArchiver1.Options().SetOEMFileNames(true);
  ZipArchiver1.SetInMemory(false);
  ZipArchiver1.SetZip64Mode(zf::zmAuto);
  ZipArchiver1.OnFileProgress = [this](zf::TZFBaseArchiver* sender, const std::string& fileName,
                                       double progress, zf::TZFProcessOperation operation,
                                       zf::TZFProgressPhase phase, bool& cancel) {
    ZipArchiver1FileProgress(sender, fileName, progress, operation, phase, cancel);
  };
  ZipArchiver1.OnOverallProgress = [this](zf::TZFBaseArchiver* sender, double progress,
                                          zf::TZFProcessOperation operation,
                                          zf::TZFProgressPhase phase, bool& cancel) {
    ZipArchiver1OverallProgress(sender, progress, operation, phase, cancel);
  };
  // The install keeps its journal and decides about failures itself: no
  // engine dialog asks the user to retry an entry or to type a password.
  ZipArchiver1.OnConfirmProcessFile = [this](zf::TZFBaseArchiver* sender,
                                             const std::string& fileName,
                                             zf::TZFProcessOperation operation, bool& confirm) {
    ZipArchiver1ConfirmProcessFile(sender, fileName, operation, confirm);
  };
  ZipArchiver1.OnProcessFileFailure =
      [this](zf::TZFBaseArchiver* sender, const std::string& fileName,
             zf::TZFProcessOperation operation, int32_t nativeError, int32_t errorCode,
             const std::string& message, zf::TZFAction& action) {
        ZipArchiver1ProcessFileFailure(sender, fileName, operation, nativeError, errorCode,
                                       message, action);
      };
  ZipArchiver1.OnPassword = [this](zf::TZFBaseArchiver* sender, const std::string& fileName,
                                   std::string& password, bool& skip) {
    ZipArchiver1Password(sender, fileName, password, skip);
  };
}

TaForm::~TaForm() { Log("Exit code " + std::to_string(exitCode_)); }

std::string TaForm::ConfigFileName() const { return ConfigNameFor(packageName_); }

void TaForm::ShowPage(int index) {
  // The page container ignores indexes it has no page for.
  if (index >= 0 && index <= kLastPage) view_.ShowPage(index);
}

// ---- start-up ---------------------------------------------------------------

void TaForm::UseLanguages(TLanguageSet package) {
  texts_ = &TextsFor(ChooseLanguage(shell_.UserUILanguage(), package, options_.language));
  view_.SetTexts(*texts_);
}

void TaForm::FormCreate() {
  // Until the package says which languages it has, the user's own.
  UseLanguages(TLanguageSet::All());
  ShowPage(0);
  stamp_ = shell_.PackageStamp();
  const TPackagePlace place = PackagePlaceFor(shell_.ExecutablePath(), stamp_);
  packagePath_ = place.path;
  packageName_ = place.name;
  baseName_ = WithoutLast(packageName_, 4);
  ZipArchiver1.SetArchiveWindow(place.offset, place.size);
  Log("Setup started: " + U(shell_.ExecutablePath()) +
      (options_.elevatedCopy ? " (the copy with administrator rights)" : ""));
  if (stamp_.SingleFile())
    Log("One-file setup: the package " + U(packageName_) + " is " + std::to_string(place.size) +
        " bytes at offset " + std::to_string(place.offset) + " of the program");
  // What names are read in: the stored names without the UTF-8 flag in the
  // OEM code page, the file system's in the ANSI one.
  Log("Code pages: ANSI " + std::to_string(zf::os::AnsiCodePage()) + ", OEM " +
      std::to_string(zf::os::OemCodePage()));

  // Without its package setup cannot start (an empty archive made in its
  // place would install nothing).
  startFailed_ = true;
  exitCode_ = kExitCannotStart;
  if (!zf::os::FileExists(packagePath_))
    throw EWizardError(&TWizardTexts::packageMissing, U(packagePath_));
  if (stamp_.HasDigest()) CheckPackage();

  // The configuration and the picture are unpacked into a folder of our
  // own: the program's folder may be read-only (a CD, a protected share).
  const std::string tempDir = shell_.CreatePrivateTempFolder();
  struct RemoveOnExit {
    IShellServices& shell;
    const std::string& dir;
    ~RemoveOnExit() { shell.RemovePrivateTempFolder(dir); }
  } removeOnExit{shell_, tempDir};
  Log("Temporary folder: " + U(tempDir));
  ReadPackage(tempDir);
  startFailed_ = false;
  exitCode_ = kExitCancelled;

  ReadConfiguration(tempDir + ConfigFileName());

  if (!shell_.ListFiles(tempDir, S(kPictureName)).empty())
    view_.LoadPicture(U(tempDir + S(kPictureName)));

  view_.SetCaption(S(texts_->captionPrefix) + U(BaseName()));
  FindInstalledProduct();
  if (RefuseDowngrade()) return;
  ChooseInstallScope();
  view_.SetEdit1Text(options_.dir ? *options_.dir : U(ProposedFolder(scope_)));
  ShowChoices();
  UpdateDiskSpace();
  // A per-machine install without the rights for it: a copy with them
  // makes the whole run, this one shows nothing.
  if (NeedsElevation()) {
    startFailed_ = true;
    HandOver(ElevatedSwitches(options_, SwitchSet::Setup));
    return;
  }
  view_.ProcessMessages();
}

void TaForm::CheckPackage() {
  Log("Checking the package: " + std::to_string(stamp_.size) + " bytes, SHA-256 " +
      HexDigest(stamp_.sha256));
  std::string why;
  {
    struct EndOnExit {
      IWizardView& view;
      ~EndOnExit() { view.EndCheckProgress(); }
    } end{view_};
    why = CheckPackageDigest(packageHeld_, packagePath_, stamp_,
                             [this](int percent) { view_.ShowCheckProgress(percent); });
  }
  if (why.empty()) {
    Log("Package digest verified");
    return;
  }
  Log("Package damaged: " + why);
  throw EWizardError(&TWizardTexts::packageCorrupt);
}

void TaForm::ChooseInstallScope() {
  const auto parsed = ParsePrivileges(privilegesText_);
  // An unknown word asks for the most a package may: as every package
  // before the choice existed.
  if (!parsed) Log("Privileges not understood: " + privilegesText_);
  privileges_ = parsed.value_or(Privileges::Admin);
  const bool elevated = options_.elevatedCopy || shell_.IsElevated();
  auto scope = ChooseScope(privileges_, options_.scope, elevated);
  // An upgrade keeps the mode of the installed version, so that one entry
  // stays, unless a switch says otherwise (or the package no longer
  // installs that way).
  if (scope && installed_ && !options_.scope) {
    if (const auto same = ChooseScope(privileges_, InstalledScope(), elevated)) scope = same;
  }
  if (!scope) {
    startFailed_ = true;
    exitCode_ = kExitCannotStart;
    throw EWizardError(privileges_ == Privileges::Admin ? &TWizardTexts::allUsersOnly
                                                        : &TWizardTexts::currentUserOnly);
  }
  scope_ = *scope;
  Log(scope_ == InstallScope::AllUsers ? "Installing for all users"
                                       : "Installing for the current user");
}

InstallScope TaForm::InstalledScope() const {
  return installed_ && installed_->root == "HKCU" ? InstallScope::CurrentUser
                                                  : InstallScope::AllUsers;
}

std::string TaForm::ProposedFolder(InstallScope scope) {
  // The installed version's folder for an upgrade in its mode; an install
  // in the other mode is a new one in that mode's place (never a
  // per-machine install in a user's profile).
  if (installed_ && InstalledScope() == scope)
    return zf::RemoveTrailingDelimiter(installed_->location);
  return DefaultFolder(scope);
}

std::string TaForm::DefaultFolder(InstallScope scope) {
  return DefaultInstallFolder(scope, shell_.GetSpecialFolder(kProgramFilesFolder),
                              shell_.GetSpecialFolder(kLocalAppDataFolder), BaseName());
}

std::string TaForm::DisplayName() const {
  return productName_.empty() ? U(BaseName()) : productName_;
}

void TaForm::ShowChoices() {
  if (!desktopProgram_.empty()) {
    view_.ShowChoice(TaFormChoice::CheckBox1, true, "");
    // Checked, or as the installed version chose.
    view_.SetChoiceChecked(TaFormChoice::CheckBox1,
                           options_.desktop.value_or(installed_ ? installed_->desktopLink : true));
  }
  if (privileges_ == Privileges::Both) {
    view_.ShowChoice(TaFormChoice::RadioButton1, true, "");
    view_.ShowChoice(TaFormChoice::RadioButton2, true, "");
    view_.SetChoiceChecked(TaFormChoice::RadioButton1, scope_ == InstallScope::AllUsers);
    view_.SetChoiceChecked(TaFormChoice::RadioButton2, scope_ == InstallScope::CurrentUser);
  }
}

bool TaForm::NeedsElevation() const {
  return scope_ == InstallScope::AllUsers && !options_.elevatedCopy && !shell_.IsElevated();
}

bool TaForm::HandOver(const std::vector<std::string>& switches) {
  std::string line;
  for (const std::string& s : switches) line += " " + s;
  Log("Handing over to a copy with administrator rights:" + line);
  // The copy writes the log on (the file is ours until then).
  log_.Close();
  const std::optional<int> code = shell_.RunElevated(switches);
  if (options_.logFile) log_.Open(*options_.logFile, true);
  if (!code) {
    exitCode_ = kExitCannotStart;
    ShowError(S(texts_->elevationFailed));
    return false;
  }
  exitCode_ = *code;
  return true;
}

void TaForm::ReadPackage(const std::string& tempDir) {
  ZipArchiver1.SetFileName(packagePath_);
  ZipArchiver1.SetBaseDir(tempDir);
  failure_.reset();
  try {
    ZipArchiver1.Open();
  } catch (const zf::Exception& error) {
    throw EInstallFailed({FailureCause::Damaged, U(packageName_), U(error.what())});
  }
  CloseOnExit close{ZipArchiver1};
  ZipArchiver1.Extract(ConfigFileName(), zf::os::faSearchAll, "");
  ZipArchiver1.Extract(S(kPictureName), zf::os::faSearchAll, "");
  if (failure_) throw EInstallFailed(*failure_);

  // What the install writes: everything but the configuration copies.
  entries_.clear();
  packagedUninstaller_ = false;
  for (TPackageEntry& e : ReadPackageEntries(ZipArchiver1, "*.*", zf::os::faSearchAll)) {
    if (SameName(e.name, ConfigFileName()) || SameName(e.name, kPictureName)) continue;
    packagedUninstaller_ = packagedUninstaller_ ||
                           (stamp_.SingleFile() && SameName(e.name, kUninstallerEntry));
    entries_.push_back(std::move(e));
  }
  // The uninstaller: a copy of this program, or the entry counted already.
  const int64_t uninstaller =
      packagedUninstaller_ ? 0 : std::max<int64_t>(zf::os::FileSize(shell_.ExecutablePath()), 0);
  requiredSpace_ = RequiredBytes(entries_, uninstaller + kJournalReserve);
  Log("Package: " + U(packagePath_) + ", " + std::to_string(entries_.size()) + " entries, " +
      std::to_string(requiredSpace_) + " bytes needed");
}

void TaForm::ReadConfiguration(const std::string& configPath) {
  const auto readPlain = [&](std::string_view key, const std::string& defaultValue) {
    return shell_.ReadIniString(configPath, S(kConfigSection), S(key), defaultValue);
  };
  const std::string languages = readPlain(kKeyLanguages, "");
  const auto packageLanguages = ParseLanguageList(languages);
  TLanguageSet russianOnly;
  russianOnly.Add(Language::Russian);
  // A package made before languages were named, or with a list the wizard
  // cannot read, is Russian.
  if (!languages.empty() && !packageLanguages) Log("Languages not understood: " + languages);
  UseLanguages(languages.empty() || !packageLanguages ? russianOnly : *packageLanguages);
  Log("Language: " + S(texts_->code));

  // A text in the wizard's language: the plain key is the Russian one and
  // the default of every other language.
  const auto read = [&](std::string_view key, std::string_view defaultValue) {
    const std::string plain = readPlain(key, S(defaultValue));
    if (texts_->language == Language::Russian) return plain;
    return readPlain(LocalizedKey(key, texts_->code), plain);
  };
  publisher_ = read(kKeyPublisher, "");
  view_.SetLinkHint(publisher_);
  web_ = read(kKeyWeb, kDefaultWeb);
  webCaption_ = ReplaceAll(web_, S(kDefaultWeb), "");
  if (web_ == kDefaultWeb) web_.clear();
  view_.SetLabelCaption(TaFormLabel::Label4, webCaption_);
  productName_ = read(kKeyName, "");
  view_.SetLabelCaption(TaFormLabel::Label2, productName_);
  view_.SetLabelCaption(TaFormLabel::Label7, productName_);
  view_.SetLabelCaption(TaFormLabel::Label3, read(kKeyComment, ""));

  runProgram_ = ProgramInFolder(readPlain(kKeyRun, ""));
  desktopProgram_ = ProgramInFolder(readPlain(kKeyDesktop, ""));
  privilegesText_ = readPlain(kKeyPrivileges, "");
  const std::string id = zf::os::Utf8ToAnsi(read(kKeyId, ""));
  version_ = read(kKeyVersion, "");
  upgradeAware_ = !id.empty() || !version_.empty();
  id_ = BaseName();
  if (IsValidProductId(id))
    id_ = id;
  else if (!id.empty())
    Log("The package's id \"" + U(id) + "\" is no registry key's name: the base name stands for it");
  if (!version_.empty() && !ParseVersion(version_)) {
    Log("The package's version \"" + version_ + "\" is no version: ignored");
    version_.clear();
  }
  if (upgradeAware_) Log("Product: id " + U(id_) + ", version " + (version_.empty() ? "none" : version_));
}

void TaForm::FindInstalledProduct() {
  installed_.reset();
  if (!upgradeAware_) return;
  const auto found = shell_.ReadUninstallEntry(UninstallKeyFor(id_));
  if (!found || found->entry.installLocation.empty()) return;
  const std::string folder =
      zf::AddTrailingDelimiter(zf::os::Utf8ToAnsi(found->entry.installLocation));
  // Only an install whose journal says it is this product in that folder
  // is upgraded; an entry without one (its folder deleted by hand, say) is
  // installed over as if there were none.
  std::string text;
  TProductInfo product;
  const auto records =
      ReadWholeFile(folder + S(kJournalName), text) ? ParseJournal(text, product) : std::nullopt;
  if (!records || !SamePath(product.id, id_) || !SamePath(product.location, folder)) {
    Log("Add/Remove Programs names " + U(folder) + ", which holds no install of this product");
    return;
  }
  const bool desktopLink = std::any_of(records->begin(), records->end(), [](const TJournalRecord& r) {
    return r.kind == JournalKind::Desktop;
  });
  installed_ = Installed{folder, found->entry.displayVersion, found->root, desktopLink};
  Log("Installed already: version " +
      (installed_->version.empty() ? std::string("none") : installed_->version) + " in " + U(folder));
}

bool TaForm::RefuseDowngrade() {
  if (!installed_ || version_.empty() || CompareVersions(installed_->version, version_) <= 0)
    return false;
  const std::string question =
      zf::FormatText(texts_->downgradeQuestion, {installed_->version, version_});
  Log("Asked: " + question);
  // The safe answer is No: with its boxes suppressed setup never
  // replaces a newer version.
  if (!options_.SuppressBoxes() && view_.AskYesNo(question)) {
    Log("Downgrade accepted");
    return false;
  }
  Log("Downgrade refused: version " + installed_->version + " is installed");
  startFailed_ = true;
  exitCode_ = kExitNewerInstalled;
  return true;
}

// ---- disk space -----------------------------------------------------------------

void TaForm::UpdateDiskSpace() {
  const std::string folder = zf::os::Utf8ToAnsi(view_.Edit1Text());
  freeSpace_ = zf::os::DiskFreeBytes(folder.empty() ? std::string(1, zf::kPathDelim) : folder);
  view_.SetLabelCaption(TaFormLabel::Label13, S(texts_->spaceNeeded) +
                                                   SizeText(requiredSpace_, Rounding::Up, *texts_));
  view_.SetLabelCaption(TaFormLabel::Label14,
                        S(texts_->spaceFree) + (freeSpace_ < 0
                                                    ? S(texts_->spaceUnknown)
                                                    : SizeText(freeSpace_, Rounding::Down, *texts_)));
}

bool TaForm::EnoughSpace() {
  UpdateDiskSpace();
  Log("Disk space: " + std::to_string(requiredSpace_) + " bytes needed, free " +
      (freeSpace_ < 0 ? std::string("unknown") : std::to_string(freeSpace_) + " bytes"));
  // A drive that cannot be asked is not refused.
  return freeSpace_ < 0 || freeSpace_ >= requiredSpace_;
}

std::string TaForm::NotEnoughSpaceText() const {
  return S(texts_->notEnoughSpace) + "\n" + S(texts_->spaceNeeded) +
         SizeText(requiredSpace_, Rounding::Up, *texts_) + "\n" + S(texts_->spaceFree) +
         SizeText(freeSpace_, Rounding::Down, *texts_) + "\n" + S(texts_->notEnoughSpaceAdvice);
}

void TaForm::Edit1Change() { UpdateDiskSpace(); }

void TaForm::RadioButtonClick() {
  const InstallScope chosen = view_.ChoiceChecked(TaFormChoice::RadioButton2)
                                  ? InstallScope::CurrentUser
                                  : InstallScope::AllUsers;
  if (chosen == scope_) return;
  // The proposed folder follows the choice; one the user typed stays.
  const bool proposed = !options_.dir && view_.Edit1Text() == U(ProposedFolder(scope_));
  scope_ = chosen;
  if (proposed) view_.SetEdit1Text(U(ProposedFolder(scope_)));
  UpdateDiskSpace();
  Log(scope_ == InstallScope::AllUsers ? "Chosen: for all users" : "Chosen: just for me");
}

// ---- buttons ------------------------------------------------------------------

void TaForm::Button1Click() {
  if (button1IsExit_) {
    if (!runProgram_.empty() && view_.ChoiceChecked(TaFormChoice::CheckBox2)) Launch();
    view_.Close();
    return;
  }
  if (view_.CurrentPage() == 1 && !EnoughSpace()) {
    ShowError(NotEnoughSpaceText());
    return;
  }
  if (view_.CurrentPage() == 1 && NeedsElevation()) {
    InstallElevated();
    return;
  }
  ShowPage(view_.CurrentPage() + 1);
  const int page = view_.CurrentPage();
  if (page == 1) {
    view_.SetButtonEnabled(TaFormButton::Button2, true);
    UpdateDiskSpace();
  }
  if (page == 2) InstallSequence();
}

void TaForm::Button2Click() {
  ShowPage(view_.CurrentPage() - 1);
  if (view_.CurrentPage() == 0) view_.SetButtonEnabled(TaFormButton::Button2, false);
}

void TaForm::Button3Click() { RequestClose(); }

void TaForm::RequestClose() {
  if (!installing_) {
    view_.Close();
    return;
  }
  // The question is asked once at a time; after a Yes the run is stopping.
  if (asking_ || cancelConfirmed_) return;
  asking_ = true;
  Log("Asked: " + S(texts_->cancelQuestion));
  const bool stop = Ask(S(texts_->cancelQuestion));
  asking_ = false;
  if (stop) {
    cancelConfirmed_ = true;
    Log("Cancel asked for: the install stops after the current entry");
  }
}

void TaForm::Button4Click() {
  if (const auto folder = shell_.BrowseForFolder(S(texts_->browseTitle))) {
    view_.SetEdit1Text(U(*folder));
    UpdateDiskSpace();
  }
}

void TaForm::Label4Click() { shell_.OpenWebLink(webCaption_); }

// ---- install ------------------------------------------------------------------

void TaForm::InstallUnattended() {
  if (startFailed_) return;
  Log("Unattended install");
  ShowPage(2);
  view_.SetButtonEnabled(TaFormButton::Button2, false);
  if (!EnoughSpace()) {
    ShowError(NotEnoughSpaceText());
    EndInstall(kExitFailed);
    return;
  }
  InstallSequence();
  if (exitCode_ != kExitDone) return;
  // Unattended, the program starts only when the command line asks.
  if (options_.run && !runProgram_.empty()) Launch();
  view_.Close();
}

void TaForm::InstallElevated() {
  // "For all users" chosen without the rights: the copy installs with
  // what was chosen here, showing its progress, and this window ends the
  // run on its final page.
  TSetupOptions copy = options_;
  copy.silent = true;
  copy.verySilent = false;
  copy.run = false;
  copy.dir = view_.Edit1Text();
  copy.scope = InstallScope::AllUsers;
  copy.language = texts_->language;
  if (!desktopProgram_.empty()) copy.desktop = view_.ChoiceChecked(TaFormChoice::CheckBox1);
  for (TaFormButton b : {TaFormButton::Button1, TaFormButton::Button2, TaFormButton::Button3})
    view_.SetButtonEnabled(b, false);
  const bool ran = HandOver(ElevatedSwitches(copy, SwitchSet::Setup));
  for (TaFormButton b : {TaFormButton::Button1, TaFormButton::Button2, TaFormButton::Button3})
    view_.SetButtonEnabled(b, true);
  if (!ran) return;  // the box said why; the user may choose again
  if (exitCode_ != kExitDone) {
    view_.Close();  // the copy has shown why
    return;
  }
  installFolder_ = zf::AddTrailingDelimiter(zf::os::Utf8ToAnsi(*copy.dir));
  ShowFinished();
}

void TaForm::ShowFinished() {
  exitCode_ = kExitDone;
  ShowPage(3);
  view_.SetButtonEnabled(TaFormButton::Button2, false);
  view_.SetButtonEnabled(TaFormButton::Button3, false);
  view_.SetButtonEnabled(TaFormButton::Button1, true);
  view_.SetButtonCaption(TaFormButton::Button1, S(texts_->exit));
  button1IsExit_ = true;
  if (!runProgram_.empty()) {
    view_.ShowChoice(TaFormChoice::CheckBox2, true,
                     zf::FormatText(texts_->launchProgram, {DisplayName()}));
    view_.SetChoiceChecked(TaFormChoice::CheckBox2, true);
  }
}

void TaForm::Launch() {
  const std::string program = installFolder_ + runProgram_;
  Log("Starting " + U(program));
  if (!shell_.StartProgram(program, FolderPart(program)))
    ShowError(S(texts_->launchFailed) + ": \"" + U(program) + "\".");
}

void TaForm::InstallSequence() {
  installing_ = true;
  struct EndOnExit {
    bool& installing;
    TInstallRun*& run;
    ~EndOnExit() {
      installing = false;
      run = nullptr;
    }
  } endOnExit{installing_, run_};

  view_.SetButtonEnabled(TaFormButton::Button2, false);
  view_.SetButtonEnabled(TaFormButton::Button1, false);

  // The folder as typed, with its trailing separator shown in the field.
  const std::string typed = zf::os::Utf8ToAnsi(view_.Edit1Text());
  const std::string folder = zf::AddTrailingDelimiter(typed);
  if (folder != typed) view_.SetEdit1Text(U(folder));
  Log("Install folder: " + U(folder));

  failure_.reset();
  cancelConfirmed_ = false;
  TInstallRun run(folder, entries_, log_);
  run_ = &run;
  TJournalActions actions(shell_);
  replacedEntry_.reset();
  try {
    RunInstall(run, folder);
  } catch (const Cancelled&) {
    ZipArchiver1.Close();
    run.RollBack(actions);
    RestoreEarlierEntry();
    Log("Install cancelled by the user; everything it made is undone");
    EndInstall(kExitCancelled);
    return;
  } catch (const std::exception& error) {
    ZipArchiver1.Close();
    const TInstallFailure failure = failure_ ? *failure_ : FailureOf(error, *texts_);
    run.RollBack(actions);
    RestoreEarlierEntry();
    Log("Install failed (" + FailureLogText(failure) + "); everything it made is undone");
    ShowError(FailureBoxText(failure, *texts_));
    EndInstall(kExitFailed);
    return;
  }

  installFolder_ = folder;
  ShowFinished();
}

void TaForm::RunInstall(TInstallRun& run, const std::string& folder) {
  run.Begin(shell_.CreatePrivateTempFolder());
  LoadPreviousJournal(run, folder);

  ZipArchiver1.SetFileName(packagePath_);
  ZipArchiver1.SetBaseDir(folder);
  {
    CloseOnExit close{ZipArchiver1};
    ZipArchiver1.Open();
    ZipArchiver1.Extract("*.*", zf::os::faSearchAll, "");
  }
  ThrowIfStopped();
  RemoveObsolete(run, folder, JournalKind::File);

  view_.SetLabelCaption(TaFormLabel::Label8, S(texts_->registering));
  view_.ProcessMessages();
  ThrowIfStopped();

  // Every file is in place: the shortcuts, the uninstaller, the entry in
  // Add/Remove Programs, and last the journal that names them all.
  const std::vector<std::string> programs = MakeShortcuts(run, folder);
  RemoveObsolete(run, folder, JournalKind::Link);
  MakeDesktopShortcut(run, folder);
  RemoveObsolete(run, folder, JournalKind::Desktop);
  ThrowIfStopped();
  CopyUninstaller(run, folder);
  RegisterProduct(run, folder, programs.empty() ? std::string() : folder + programs.front());
  shell_.Sleep(kRegistrationPauseMs);
  ThrowIfStopped();
  SaveJournal(run, folder);
  run.Commit();
}

void TaForm::ThrowIfStopped() {
  if (failure_) throw EInstallFailed(*failure_);
  if (cancelConfirmed_) throw Cancelled{};
}

void TaForm::LoadPreviousJournal(TInstallRun& run, const std::string& folder) {
  std::string text;
  if (!ReadWholeFile(folder + S(kJournalName), text)) return;
  TProductInfo product;
  const auto records = ParseJournal(text, product);
  // Only this product's journal of this folder is carried on; another
  // one is replaced.
  if (records && SamePath(product.id, id_) && SamePath(product.location, folder)) {
    run.Journal().SetPrevious(*records);
    Log("Installing over an earlier install: its journal is carried on");
  }
}

std::vector<std::string> TaForm::MakeShortcuts(TInstallRun& run, const std::string& folder) {
  std::vector<std::string> targets = shell_.ListFiles(folder, S(kShortcutMasks));
  // The uninstaller of an earlier install is no program of the product.
  std::erase_if(targets, [](const std::string& t) { return SameName(t, kUninstallerName); });
  std::vector<std::string> programs;
  for (const std::string& t : targets)
    if (zf::os::UpperString(t).ends_with(".EXE")) programs.push_back(t);
  if (options_.noIcons) return programs;

  // The Programs folder ends in a separator already; the doubled one reads
  // as one.
  const std::string group = shell_.GetShellFolder(S(kProgramsValue)) + zf::kPathDelim + BaseName();
  const std::vector<std::string> missing = TInstallRun::MissingFolders(CollapseSeparators(group));
  shell_.CreateGroupFolder(group);
  for (const std::string& dir : missing)
    if (zf::os::DirectoryExists(dir)) run.Journal().AddGroup(dir);

  for (const TLinkName& name : LinkNamesFor(targets)) {
    const std::string link = CollapseSeparators(group + zf::kPathDelim + name.link);
    const std::string backup = run.PrepareFile(link);
    shell_.CreateLink(folder + name.target, "", folder, group + zf::kPathDelim + name.link, "");
    // A shortcut that could not be written is simply missing.
    if (zf::os::FileExists(link))
      run.MadeFile(link, backup, JournalKind::Link);
    else if (!backup.empty())
      zf::os::RemoveFile(backup);
  }
  return programs;
}

void TaForm::RemoveObsolete(TInstallRun& run, const std::string& folder, JournalKind kind) {
  if (!upgradeAware_) return;
  TJournalActions actions(shell_);
  const std::string uninstaller = folder + S(kUninstallerName), journal = folder + S(kJournalName);
  for (const TJournalRecord& r : run.Journal().Previous()) {
    if (r.kind != kind || SamePath(r.path, uninstaller) || SamePath(r.path, journal) ||
        run.Journal().TouchedThisRun(r.path) || !zf::os::FileExists(r.path))
      continue;
    // What the user changed since is the user's now.
    if (kind == JournalKind::File && !actions.FileUnchanged(r.path, r.size, r.crc)) {
      Log("Kept, changed since installed: " + U(r.path));
      continue;
    }
    run.RemoveObsolete(r.path);
  }
}

void TaForm::RestoreEarlierEntry() {
  if (!replacedEntry_) return;
  try {
    shell_.WriteUninstallEntry(*replacedEntry_);
    Log("Rollback: the earlier Add/Remove Programs entry is back");
  } catch (const std::exception& error) {
    Log("Rollback failed: the earlier Add/Remove Programs entry: " + U(error.what()));
  }
}

void TaForm::MakeDesktopShortcut(TInstallRun& run, const std::string& folder) {
  if (desktopProgram_.empty() || !view_.ChoiceChecked(TaFormChoice::CheckBox1)) return;
  const std::string target = folder + desktopProgram_;
  const std::string desktop = shell_.GetShellFolder(S(kDesktopValue));
  // Without the program, or without a desktop folder, there is nothing to
  // link or nowhere to put it: no shortcut, as with any shortcut that
  // cannot be written.
  if (!zf::os::FileExists(target) || desktop.size() <= 1) {
    Log("No desktop shortcut for " + U(target));
    return;
  }
  const std::string link =
      CollapseSeparators(desktop + zf::kPathDelim + DesktopLinkName(zf::os::Utf8ToAnsi(DisplayName())));
  const std::string backup = run.PrepareFile(link);
  shell_.CreateLink(target, "", FolderPart(target), link, "");
  if (zf::os::FileExists(link))
    run.MadeFile(link, backup, JournalKind::Desktop);
  else if (!backup.empty())
    zf::os::RemoveFile(backup);
}

void TaForm::CopyUninstaller(TInstallRun& run, const std::string& folder) {
  // A one-file setup's own copy would carry the whole package (and, once
  // copied, lose nothing of its signature but gain nothing): the plain,
  // separately signed copy it carries is in place already.
  if (packagedUninstaller_) return;
  const std::string target = folder + S(kUninstallerName);
  const std::string backup = run.PrepareFile(target);
  if (!CopyFileReplacing(shell_.ExecutablePath(), target))
    throw EInstallFailed(SystemFailure(target, zf::os::LastErrorCode()));
  run.MadeFile(target, backup, JournalKind::File);
}

void TaForm::RegisterProduct(TInstallRun& run, const std::string& folder,
                             const std::string& icon) {
  TUninstallEntry entry;
  entry.key = UninstallKeyFor(id_);
  entry.displayName = DisplayName();
  entry.currentUser = scope_ == InstallScope::CurrentUser;
  entry.publisher = publisher_;
  entry.displayVersion = version_;
  entry.urlInfoAbout = web_;
  entry.displayIcon = U(icon);
  entry.installLocation = U(folder);
  entry.uninstallString = std::string(1, '"').append(U(folder + S(kUninstallerName))).append(1, '"');
  entry.quietUninstallString = entry.uninstallString + " /VERYSILENT";
  int64_t bytes = 0;
  for (const TJournalRecord& r : run.Journal().Product())
    if (r.kind == JournalKind::File) bytes += std::max<int64_t>(zf::os::FileSize(r.path), 0);
  entry.estimatedSizeKiB = static_cast<uint32_t>(std::min<int64_t>((bytes + 1023) / 1024, 0xFFFFFFFF));
  const auto before = shell_.ReadUninstallEntry(entry.key);
  const TRegistryPlace place = shell_.WriteUninstallEntry(entry);
  // A key that was there keeps its place; what this run wrote over goes
  // back if the run fails after this.
  if (!place.created && before && before->root == place.root) replacedEntry_ = before->entry;
  run.Journal().AddRegistry(place.root, entry.key, place.created);
  Log("Registered in Add/Remove Programs: " + place.root + "\\" + entry.key);
}

void TaForm::SaveJournal(TInstallRun& run, const std::string& folder) {
  const std::string uninstaller = folder + S(kUninstallerName);
  const std::string path = folder + S(kJournalName);
  // The uninstaller's own two files are not in its list: it removes them
  // last, in its own way.
  std::vector<TJournalRecord> records = run.Journal().Product();
  std::erase_if(records, [&](const TJournalRecord& r) {
    return r.kind == JournalKind::File && (SamePath(r.path, uninstaller) || SamePath(r.path, path));
  });
  const TProductInfo product{BaseName(), productName_.empty() ? U(BaseName()) : productName_,
                             folder, S(texts_->code), id_, version_};
  const std::string backup = run.PrepareFile(path);
  if (!WriteFileReplacing(path, SerializeJournal(product, records)))
    throw EInstallFailed(SystemFailure(path, zf::os::LastErrorCode()));
  run.MadeFile(path, backup, JournalKind::File);
}

void TaForm::EndInstall(int exitCode) {
  exitCode_ = exitCode;
  view_.Close();
}

// ---- engine events --------------------------------------------------------------

void TaForm::ZipArchiver1FileProgress(zf::TZFBaseArchiver*, const std::string& FileName, double,
                                      zf::TZFProcessOperation, zf::TZFProgressPhase ProgressPhase,
                                      bool& Cancel) {
  if (run_ && ProgressPhase == zf::ppEnd && !failure_) run_->AfterEntry(FileName);
  view_.SetLabelCaption(TaFormLabel::Label8, U(FileNamePart(FileName)));
  view_.ProcessMessages();
  // A Yes to the cancel question, or a failed entry, stops the run at the
  // next entry's start or the current one's end.
  const bool boundary = ProgressPhase == zf::ppStart || ProgressPhase == zf::ppEnd;
  if (boundary && (cancelConfirmed_ || failure_)) Cancel = true;
}

void TaForm::ZipArchiver1OverallProgress(zf::TZFBaseArchiver*, double Progress,
                                         zf::TZFProcessOperation, zf::TZFProgressPhase, bool&) {
  // Nearest integer, halves to even (the default rounding mode).
  const long position = std::lrint(std::clamp(Progress, 0.0, 100.0));
  view_.SetProgress(static_cast<int>(position));
  view_.ProcessMessages();
}

void TaForm::ZipArchiver1ConfirmProcessFile(zf::TZFBaseArchiver*, const std::string& FileName,
                                            zf::TZFProcessOperation, bool& Confirm) {
  if (!run_) return;
  // The configuration copies at the package's root are read at start-up
  // and never installed.
  if (SameName(FileName, ConfigFileName()) || SameName(FileName, kPictureName)) {
    Confirm = false;
    return;
  }
  run_->BeforeEntry(FileName);
}

void TaForm::ZipArchiver1ProcessFileFailure(zf::TZFBaseArchiver* Sender,
                                            const std::string& FileName,
                                            zf::TZFProcessOperation, int32_t, int32_t,
                                            const std::string& ErrorMessage,
                                            zf::TZFAction& Action) {
  // The engine tells why (a full disk, a refused access, damaged data):
  // the box says it in Russian, the message stays for support.
  const TInstallFailure failure = EngineFailure(FileName, ErrorMessage, Sender->FailureDetail());
  Log("Error: " + FailureLogText(failure));
  if (!failure_) failure_ = failure;
  Action = zf::fxaAbort;
}

void TaForm::ZipArchiver1Password(zf::TZFBaseArchiver*, const std::string& FileName, std::string&,
                                  bool& SkipFile) {
  const TInstallFailure failure{FailureCause::WrongPassword, U(FileName), "",
                                zf::TZFCause::WrongPassword};
  Log("Error: " + FailureLogText(failure));
  if (!failure_) failure_ = failure;
  SkipFile = true;
}

// ---- messages -------------------------------------------------------------------

void TaForm::ShowError(const std::string& text) {
  Log("Error: " + text);
  if (!options_.SuppressBoxes()) view_.ShowErrorBox(text);
}

bool TaForm::Ask(const std::string& text) {
  // Suppressed boxes take their default answer, the first button.
  if (options_.SuppressBoxes()) return true;
  return view_.AskYesNo(text);
}

void TaForm::RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const EInstallFailed& error) {
    ShowError(error.Localized(*texts_));
  } catch (const std::exception& error) {
    ShowError(ErrorBoxText(error, *texts_));
  }
}

}  // namespace setup
