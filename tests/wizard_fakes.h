// The controller's test world: fakes of the window and of the shell
// services, packages encrypted under the package password, and a wizard
// with its program folder, program-files and Programs folders in a fresh
// temporary folder. Shared by the controller's and the installer's tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "test_util.h"
#include "wizard/IniFile.h"
#include "package/PackageFormat.h"
#include "wizard/ShellHelpers.h"
#include "wizard/Unit1.h"
#include "zip_builder.h"

namespace setup::test {

using zf::test::TempDir;
using zf::test::ZipBuilder;
using zf::test::ZipEntry;
inline constexpr char kSep = zf::kPathDelim;
inline const std::string kPassword(kPackagePassword);

// ---- fakes --------------------------------------------------------------------

class FakeView : public IWizardView {
 public:
  const TWizardTexts* texts = nullptr;  // the window's language
  std::string caption = "Setup";
  std::map<TaFormLabel, std::string> labels;
  std::string hint;
  std::string edit1 = "C:\\";
  int page = -1;
  std::map<TaFormButton, bool> enabled{
      {TaFormButton::Button1, true}, {TaFormButton::Button2, false}, {TaFormButton::Button3, true}};
  std::map<TaFormButton, std::string> buttonCaptions;
  std::vector<int> progress;
  std::map<TaFormChoice, std::string> choices;  // shown ones, by their captions
  std::map<TaFormChoice, bool> checked;
  std::vector<std::string> pictures;
  int closed = 0;
  std::vector<std::string> errorBoxes;
  std::vector<std::string> questions;
  bool answer = true;  // to every question
  std::vector<std::string>* log = nullptr;
  std::function<void()> onProcessMessages;

  void SetTexts(const TWizardTexts& t) override { texts = &t; }
  void SetCaption(const std::string& text) override { caption = text; }
  void SetLabelCaption(TaFormLabel label, const std::string& text) override {
    labels[label] = text;
  }
  void SetLinkHint(const std::string& text) override { hint = text; }
  std::string Edit1Text() const override { return edit1; }
  void SetEdit1Text(const std::string& text) override { edit1 = text; }
  void ShowPage(int index) override {
    ASSERT_GE(index, 0);
    ASSERT_LE(index, 3);
    page = index;
  }
  int CurrentPage() const override { return page; }
  void SetButtonEnabled(TaFormButton button, bool on) override { enabled[button] = on; }
  void SetButtonCaption(TaFormButton button, const std::string& text) override {
    buttonCaptions[button] = text;
  }
  void SetProgress(int position) override { progress.push_back(position); }
  void ShowChoice(TaFormChoice choice, bool shown, const std::string& caption) override {
    if (shown)
      choices[choice] = caption;
    else
      choices.erase(choice);
  }
  void SetChoiceChecked(TaFormChoice choice, bool on) override { checked[choice] = on; }
  bool ChoiceChecked(TaFormChoice choice) const override {
    return checked.contains(choice) && checked.at(choice);
  }
  void LoadPicture(const std::string& path) override {
    const std::string ansi = zf::os::Utf8ToAnsi(path);
    const std::string bytes = zf::os::FileExists(ansi) ? zf::test::ReadFile(ansi) : "";
    if (bytes.compare(0, 2, "BM") != 0) throw zf::Exception("Bitmap image is not valid");
    pictures.push_back(path);
  }
  void ProcessMessages() override {
    if (onProcessMessages) onProcessMessages();
  }
  void Close() override {
    ++closed;
    if (log) log->push_back("close");
  }
  void ShowErrorBox(const std::string& text) override { errorBoxes.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    if (log) log->push_back("ask " + text);
    return answer;
  }
};

struct Link {
  std::string target, arguments, workingFolder, iconLocation;
};

// Shell services over the test's folder: the portable listing, INI reader
// and temporary folder are the real ones; nothing is written outside
// `root`.
class FakeShell : public IShellServices {
 public:
  explicit FakeShell(std::string root) : root_(std::move(root)) {}

  std::string exePath;
  std::string programFiles;               // without the trailing separator
  std::string localAppData;               // the same
  std::map<std::string, std::string> shellFolders;
  bool badShellFolderType = false;
  std::optional<std::string> browseAnswer;
  std::string browseTitle;
  uint16_t uiLanguage = 0x0419;  // Russian (Russia)
  std::vector<std::string> groupFolders;
  std::map<std::string, Link> links;      // by link file; later ones replace
  std::vector<std::string> linkOrder;
  std::vector<std::string> webLinks;
  std::vector<unsigned> sleeps;
  std::vector<std::string> removed;
  std::vector<std::string> tempFolders;
  std::vector<std::string> removedTempFolders;
  std::map<std::string, TUninstallEntry> registry;  // by root + "\\" + key
  bool userOnly = false;  // HKLM may not be written (not elevated)
  std::vector<std::vector<std::string>> elevatedRuns;  // the switches of each
  std::optional<int> elevatedExitCode = 0;  // nothing: the user said no
  std::vector<std::string> started;        // programs, by path
  bool startFails = false;
  bool registryFails = false;
  std::vector<std::string> log;

  std::string GetSpecialFolder(int index) override {
    log.push_back("special " + std::to_string(index));
    return (index == kProgramFilesFolder  ? programFiles
            : index == kLocalAppDataFolder ? localAppData
                                           : "") +
           kSep;
  }
  std::string GetShellFolder(const std::string& valueName) override {
    if (badShellFolderType) throw zf::Exception("Invalid data type for '" + valueName + "'");
    const auto it = shellFolders.find(valueName);
    return (it == shellFolders.end() ? "" : it->second) + kSep;
  }
  bool CreateGroupFolder(const std::string& path) override {
    log.push_back("group " + path);
    groupFolders.push_back(path);
    return Inside(path) && CreateFolderWithParents(path);
  }
  void CreateLink(const std::string& target, const std::string& arguments,
                  const std::string& workingFolder, const std::string& linkFile,
                  const std::string& iconLocation) override {
    log.push_back("link " + linkFile);
    links[linkFile] = {target, arguments, workingFolder, iconLocation};
    linkOrder.push_back(linkFile);
    // A shortcut file of its own, as the shell would write it.
    if (Inside(linkFile)) zf::test::WriteFile(linkFile, "link to " + target);
  }
  std::vector<std::string> ListFiles(const std::string& folder, const std::string& masks) override {
    log.push_back("list " + masks);
    return ListFilesPortable(folder, masks);
  }
  std::optional<std::string> BrowseForFolder(const std::string& title) override {
    browseTitle = title;
    return browseAnswer;
  }
  uint16_t UserUILanguage() override { return uiLanguage; }
  void OpenWebLink(const std::string& address) override { webLinks.push_back(address); }
  std::string ReadIniString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& defaultValue) override {
    return ReadIniValue(file, section, key, defaultValue);
  }
  void Sleep(unsigned ms) override {
    log.push_back("sleep");
    sleeps.push_back(ms);
  }
  bool RemoveFile(const std::string& path) override {
    log.push_back("remove " + path);
    removed.push_back(path);
    return Inside(path) && zf::os::RemoveFile(path);
  }
  std::string ExecutablePath() override { return exePath; }
  std::string CreatePrivateTempFolder() override {
    tempFolders.push_back(MakePrivateTempFolder());
    return tempFolders.back();
  }
  void RemovePrivateTempFolder(const std::string& folder) override {
    removedTempFolders.push_back(folder);
    RemoveFolderTree(folder);
  }
  TRegistryPlace WriteUninstallEntry(const TUninstallEntry& entry) override {
    if (registryFails) throw zf::Exception("Cannot write the uninstall entry");
    const std::string root = userOnly || entry.currentUser ? "HKCU" : "HKLM";
    log.push_back("registry " + root);
    const bool created = !registry.contains(root + "\\" + entry.key);
    registry[root + "\\" + entry.key] = entry;
    return {root, created};
  }
  bool RemoveUninstallEntry(const std::string& root, const std::string& key) override {
    log.push_back("unregister " + root);
    registry.erase(root + "\\" + key);
    return true;
  }
  std::optional<TInstalledEntry> ReadUninstallEntry(const std::string& key) override {
    for (const char* root : {"HKLM", "HKCU"})
      if (const auto it = registry.find(root + std::string("\\") + key); it != registry.end())
        return TInstalledEntry{root, it->second};
    return std::nullopt;
  }
  TPackageStamp PackageStamp() override { return stamp; }
  TPackageStamp stamp;  // the running program's
  bool IsElevated() override { return !userOnly; }
  std::optional<int> RunElevated(const std::vector<std::string>& args) override {
    elevatedRuns.push_back(args);
    return elevatedExitCode;
  }
  bool StartProgram(const std::string& path, const std::string&) override {
    started.push_back(path);
    return !startFails;
  }

 private:
  bool Inside(const std::string& path) const { return path.starts_with(root_); }
  std::string root_;
};

// ---- packages -------------------------------------------------------------------

inline std::string Cp1251(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(zf::os::ConvertCodePage(utf8, 65001, 1251, out));
  return out;
}

inline ZipEntry Encrypted(std::string name, std::string data, uint32_t attributes = zf::os::faArchive) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.password = kPassword;
  e.externalAttributes = attributes;
  return e;
}

inline const std::string kConfig = Cp1251(
    "[zel]\r\nfirma=ООО Ромашка\r\nweb=http://www.romashka.ru\r\nname=Бухгалтерия 1.0\r\n"
    "coment=Программа учёта\r\n");

// A picture as far as the fake view checks one: the "BM" signature, then
// zero bytes.
inline const std::string kBitmap = "BM" + std::string(60, '\0');

// A test's world: the program's folder, the program-files and Programs
// folders, the fakes and the form.
struct Wizard {
  TempDir dir;
  std::string exeDir = dir.Path() + "dist" + kSep;
  FakeView view;
  FakeShell shell{dir.Path()};
  TaForm form;

  explicit Wizard(const std::string& exeName = "setup.exe", TSetupOptions options = {})
      : form(view, shell, std::move(options)) {
    zf::os::CreateDir(exeDir);
    zf::os::CreateDir(dir.Path() + "Programs");
    shell.exePath = exeDir + exeName;
    // The wizard's own file, which the install copies as uninstall.exe.
    zf::test::WriteFile(shell.exePath, "MZ the wizard");
    shell.programFiles = dir.Path() + "Program Files";
    shell.shellFolders["Programs"] = dir.Path() + "Programs";
    view.log = &shell.log;
  }
  void Package(const ZipBuilder& zip) { zip.Save(PackagePathFor(shell.exePath)); }
  // A package with nothing but a file, for tests about other things.
  void AnyPackage() { Package(ZipBuilder().Add(Encrypted("data.dat", "x"))); }
  std::string InstallDir() const { return dir.Path() + "Program Files" + kSep + "setup" + kSep; }
  std::string Group() const { return dir.Path() + "Programs" + kSep + kSep + "setup"; }
  // Start-up, then Next twice: the install runs.
  void Install() {
    form.FormCreate();
    form.Button1Click();
    form.Button1Click();
  }
  // The same, with the second Next run as the window runs a handler: an
  // error that escapes the install goes to the error box.
  void InstallShowingErrors() {
    form.FormCreate();
    form.Button1Click();
    form.RunHandler([&] { form.Button1Click(); });
  }
};

// A package with a program, help files, readmes, data and a folder, and
// the configuration `config`.
inline ZipBuilder ProductPackage(const std::string& config = kConfig) {
  return ZipBuilder()
      .Add(Encrypted("setup.ins", config))
      .Add(Encrypted("iconsetup.bmp", kBitmap))
      .Add(Encrypted("Prog.exe", zf::test::NoiseBytes(50000)))
      .Add(Encrypted("a.hlp", "help"))
      .Add(Encrypted("Prog.hlp", "the program's help"))
      .Add(Encrypted("readme.txt", "read me"))
      .Add(Encrypted("readme.htm", "<p>read me</p>"))
      .Add(Encrypted("data.dat", "data"))
      .Add(Encrypted("tools/inner.exe", "MZ"));
}

}  // namespace setup::test
