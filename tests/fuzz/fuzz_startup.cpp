// The wizard's start-up: the input is a package (setup.stp beside
// setup.exe), opened by the wizard's controller as the window would start
// it: the configuration and the picture extracted into a private temporary
// folder and read, the folder removed, an error shown in the error box.
// The window and the shell are small stand-ins; the archive engine, the
// configuration reader, the folder listing and the temporary folder are
// the real ones. Afterwards the temporary folder must be gone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "archive/ZFClasses.h"
#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/IniFile.h"
#include "wizard/ShellHelpers.h"
#include "wizard/Unit1.h"

namespace {

class View : public setup::IWizardView {
 public:
  void SetTexts(const setup::TWizardTexts&) override {}
  void SetCaption(const std::string&) override {}
  void SetLabelCaption(setup::TaFormLabel, const std::string&) override {}
  void SetLinkHint(const std::string&) override {}
  std::string Edit1Text() const override { return edit1_; }
  void SetEdit1Text(const std::string& text) override { edit1_ = text; }
  void ShowPage(int index) override {
    if (index < 0 || index > 3) std::abort();
    page_ = index;
  }
  int CurrentPage() const override { return page_; }
  void SetButtonEnabled(setup::TaFormButton, bool) override {}
  void SetButtonCaption(setup::TaFormButton, const std::string&) override {}
  void ShowChoice(setup::TaFormChoice, bool, const std::string&) override {}
  void SetChoiceChecked(setup::TaFormChoice, bool) override {}
  bool ChoiceChecked(setup::TaFormChoice) const override { return false; }
  void SetProgress(int) override {}
  // The window's contract: a file that is no bitmap (here: none at all,
  // as when the listing found the picture under another letter case on a
  // system whose names keep case) is an error.
  void LoadPicture(const std::string& path) override {
    if (!zf::os::FileExists(zf::os::Utf8ToAnsi(path)))
      throw zf::Exception("Bitmap image is not valid");
  }
  void ProcessMessages() override {}
  void Close() override {}
  void ShowErrorBox(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return true; }

 private:
  std::string edit1_;
  int page_ = -1;
};

class Shell : public setup::IShellServices {
 public:
  explicit Shell(std::string folder) : folder_(std::move(folder)) {}
  std::vector<std::string> tempFolders;

  std::string GetSpecialFolder(int) override { return folder_ + "programs/"; }
  std::string GetShellFolder(const std::string&) override { return folder_ + "menu/"; }
  bool CreateGroupFolder(const std::string&) override { return false; }
  void CreateLink(const std::string&, const std::string&, const std::string&, const std::string&,
                  const std::string&) override {}
  std::vector<std::string> ListFiles(const std::string& folder,
                                     const std::string& masks) override {
    return setup::ListFilesPortable(folder, masks);
  }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
  void OpenWebLink(const std::string&) override {}
  std::string ReadIniString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& defaultValue) override {
    return setup::ReadIniValue(file, section, key, defaultValue);
  }
  void Sleep(unsigned) override {}
  bool RemoveFile(const std::string&) override { return false; }
  std::string ExecutablePath() override { return folder_ + "setup.exe"; }
  uint16_t UserUILanguage() override { return 0x0419; }  // Russian
  std::string CreatePrivateTempFolder() override {
    tempFolders.push_back(setup::MakePrivateTempFolder());
    return tempFolders.back();
  }
  void RemovePrivateTempFolder(const std::string& folder) override {
    setup::RemoveFolderTree(folder);
  }
  setup::TRegistryPlace WriteUninstallEntry(const setup::TUninstallEntry&) override {
    return {"HKCU", true};
  }
  bool RemoveUninstallEntry(const std::string&, const std::string&) override { return true; }
  std::optional<setup::TInstalledEntry> ReadUninstallEntry(const std::string&) override {
    return std::nullopt;
  }
  // Elevated, so that start-up never hands over to another copy.
  bool IsElevated() override { return true; }
  std::optional<int> RunElevated(const std::vector<std::string>&) override { return std::nullopt; }
  bool StartProgram(const std::string&, const std::string&) override { return false; }

 private:
  std::string folder_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zffuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const zffuzz::Scratch scratch;
  scratch.Clear();
  scratch.WriteInput("setup.stp", data, size);
  View view;
  Shell shell(scratch.Path());
  {
    setup::TaForm form(view, shell);
    form.RunHandler([&form] { form.FormCreate(); });
  }
  for (const std::string& folder : shell.tempFolders)
    if (zf::os::DirectoryExists(zf::RemoveTrailingDelimiter(folder))) std::abort();
  return 0;
}
