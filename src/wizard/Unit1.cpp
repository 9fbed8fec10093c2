// The wizard's form: start-up, the install sequence, pages and buttons,
// progress, closing and the error box.
#include "wizard/Unit1.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/ErrorBox.h"
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

std::string S(std::string_view s) { return std::string(s); }

}  // namespace

TaForm::TaForm(IWizardView& view, IShellServices& shell) : view_(view), shell_(shell) {
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
}

std::string TaForm::BaseName() const { return WithoutLast(packageName_, 4); }

std::string TaForm::ConfigFileName() const { return ConfigNameFor(packageName_); }

void TaForm::ShowPage(int index) {
  // The page container ignores indexes it has no page for.
  if (index >= 0 && index <= kLastPage) view_.ShowPage(index);
}

// ---- start-up ---------------------------------------------------------------

void TaForm::FormCreate() {
  ShowPage(0);
  packagePath_ = PackagePathFor(shell_.ExecutablePath());

  // The configuration and the picture are unpacked into a folder of our
  // own: the program's folder may be read-only (a CD, a protected share).
  const std::string tempDir = shell_.CreatePrivateTempFolder();
  struct RemoveOnExit {
    IShellServices& shell;
    const std::string& dir;
    ~RemoveOnExit() { shell.RemovePrivateTempFolder(dir); }
  } removeOnExit{shell_, tempDir};

  ZipArchiver1.SetFileName(packagePath_);
  ZipArchiver1.SetBaseDir(tempDir);
  ZipArchiver1.Open();
  packageName_ = FileNamePart(packagePath_);
  ZipArchiver1.Extract(ConfigFileName(), zf::os::faSearchAll, "");
  ZipArchiver1.Extract(S(kPictureName), zf::os::faSearchAll, "");
  ZipArchiver1.Close();

  ReadConfiguration(tempDir + ConfigFileName());

  if (!shell_.ListFiles(tempDir, S(kPictureName)).empty())
    view_.LoadPicture(zf::os::AnsiToUtf8(tempDir + S(kPictureName)));

  view_.SetCaption(S(texts::kCaptionPrefix) + zf::os::AnsiToUtf8(BaseName()));
  view_.SetEdit1Text(zf::os::AnsiToUtf8(shell_.GetSpecialFolder(kProgramFilesFolder) + BaseName()));
  view_.ProcessMessages();
}

void TaForm::ReadConfiguration(const std::string& configPath) {
  const auto read = [&](std::string_view key, std::string_view defaultValue) {
    return shell_.ReadIniString(configPath, S(kConfigSection), S(key), S(defaultValue));
  };
  view_.SetLinkHint(read(kKeyPublisher, ""));
  webCaption_ = ReplaceAll(read(kKeyWeb, kDefaultWeb), S(kDefaultWeb), "");
  view_.SetLabelCaption(TaFormLabel::Label4, webCaption_);
  const std::string name = read(kKeyName, "");
  view_.SetLabelCaption(TaFormLabel::Label2, name);
  view_.SetLabelCaption(TaFormLabel::Label7, name);
  view_.SetLabelCaption(TaFormLabel::Label3, read(kKeyComment, ""));
}

// ---- buttons ------------------------------------------------------------------

void TaForm::Button1Click() {
  if (button1IsExit_) {
    view_.Close();
    return;
  }
  ShowPage(view_.CurrentPage() + 1);
  const int page = view_.CurrentPage();
  if (page == 1) view_.SetButtonEnabled(TaFormButton::Button2, true);
  if (page == 2) {
    InstallSequence();
    // "Отмена" or the close box during the install: the end comes now.
    if (closeRequested_) view_.Close();
  }
}

void TaForm::Button2Click() {
  ShowPage(view_.CurrentPage() - 1);
  if (view_.CurrentPage() == 0) view_.SetButtonEnabled(TaFormButton::Button2, false);
}

void TaForm::Button3Click() { RequestClose(); }

void TaForm::RequestClose() {
  if (installing_)
    closeRequested_ = true;
  else
    view_.Close();
}

void TaForm::Button4Click() {
  if (const auto folder = shell_.BrowseForFolder()) view_.SetEdit1Text(zf::os::AnsiToUtf8(*folder));
}

void TaForm::Label4Click() { shell_.OpenWebLink(webCaption_); }

// ---- install ------------------------------------------------------------------

void TaForm::InstallSequence() {
  installing_ = true;
  struct EndOnExit {
    bool& installing;
    ~EndOnExit() { installing = false; }
  } endOnExit{installing_};

  view_.SetButtonEnabled(TaFormButton::Button2, false);
  view_.SetButtonEnabled(TaFormButton::Button1, false);

  // The folder as typed, with its trailing separator shown in the field.
  const std::string typed = zf::os::Utf8ToAnsi(view_.Edit1Text());
  const std::string folder = zf::AddTrailingDelimiter(typed);
  if (folder != typed) view_.SetEdit1Text(zf::os::AnsiToUtf8(folder));

  ZipArchiver1.SetFileName(packagePath_);
  ZipArchiver1.SetBaseDir(folder);
  ZipArchiver1.Open();
  ZipArchiver1.Extract("*.*", zf::os::faSearchAll, "");
  ZipArchiver1.Close();

  view_.SetLabelCaption(TaFormLabel::Label8, S(texts::kRegistering));
  view_.ProcessMessages();

  const std::vector<std::string> targets = shell_.ListFiles(folder, S(kShortcutMasks));
  // The Programs folder ends in a separator already; the doubled one reads
  // as one.
  const std::string group = shell_.GetShellFolder(S(kProgramsValue)) + zf::kPathDelim + BaseName();
  shell_.CreateGroupFolder(group);
  for (const std::string& name : targets)
    shell_.CreateLink(folder + name, "", folder, group + zf::kPathDelim + LinkFileName(name), "");

  shell_.Sleep(kRegistrationPauseMs);
  // The configuration copies came along with everything else.
  shell_.RemoveFile(folder + ConfigFileName());
  shell_.RemoveFile(folder + S(kPictureName));

  ShowPage(3);
  view_.SetButtonEnabled(TaFormButton::Button3, false);
  view_.SetButtonEnabled(TaFormButton::Button1, true);
  view_.SetButtonCaption(TaFormButton::Button1, S(texts::kExit));
  button1IsExit_ = true;
}

// ---- progress -------------------------------------------------------------------

void TaForm::ZipArchiver1FileProgress(zf::TZFBaseArchiver*, const std::string& FileName, double,
                                      zf::TZFProcessOperation, zf::TZFProgressPhase, bool&) {
  view_.SetLabelCaption(TaFormLabel::Label8, zf::os::AnsiToUtf8(FileNamePart(FileName)));
  view_.ProcessMessages();
}

void TaForm::ZipArchiver1OverallProgress(zf::TZFBaseArchiver*, double Progress,
                                         zf::TZFProcessOperation, zf::TZFProgressPhase, bool&) {
  // Nearest integer, halves to even (the default rounding mode).
  const long position = std::lrint(std::clamp(Progress, 0.0, 100.0));
  view_.SetProgress(static_cast<int>(position));
  view_.ProcessMessages();
}

// ---- errors ---------------------------------------------------------------------

void TaForm::RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    view_.ShowErrorBox(ErrorBoxText(error));
    // A close asked for during an install that failed is honoured as well.
    if (closeRequested_ && !installing_) view_.Close();
  }
}

}  // namespace setup
