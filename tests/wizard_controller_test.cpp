// Tests of the wizard's controller (TaForm) with fakes of the window and the
// shell services, and of its portable helpers: names from the program's
// path, texts from the package configuration, the start-up through a private
// temporary folder, the install sequence with its shortcuts and clean-up,
// page and button states, progress, deferred closing, and the error box.
// The archive engine is real: the packages are built here, encrypted under
// the package password.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "test_util.h"
#include "wizard/ErrorBox.h"
#include "wizard/IniFile.h"
#include "package/PackageFormat.h"
#include "wizard/ShellHelpers.h"
#include "wizard/Unit1.h"
#include "wizard/WizardTexts.h"
#include "zip_builder.h"

namespace setup {
namespace {

using zf::test::TempDir;
using zf::test::ZipBuilder;
using zf::test::ZipEntry;
constexpr char kSep = zf::kPathDelim;
const std::string kPassword(kPackagePassword);

// ---- fakes --------------------------------------------------------------------

class FakeView : public IWizardView {
 public:
  std::string caption = "Setup";
  std::map<TaFormLabel, std::string> labels;
  std::string hint;
  std::string edit1 = "C:\\";
  int page = -1;
  std::map<TaFormButton, bool> enabled{
      {TaFormButton::Button1, true}, {TaFormButton::Button2, false}, {TaFormButton::Button3, true}};
  std::map<TaFormButton, std::string> buttonCaptions;
  std::vector<int> progress;
  std::vector<std::string> pictures;
  int closed = 0;
  std::vector<std::string> errorBoxes;
  std::vector<std::string>* log = nullptr;
  std::function<void()> onProcessMessages;

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
  std::map<std::string, std::string> shellFolders;
  bool badShellFolderType = false;
  std::optional<std::string> browseAnswer;
  std::vector<std::string> groupFolders;
  std::map<std::string, Link> links;      // by link file; later ones replace
  std::vector<std::string> linkOrder;
  std::vector<std::string> webLinks;
  std::vector<unsigned> sleeps;
  std::vector<std::string> removed;
  std::vector<std::string> tempFolders;
  std::vector<std::string> removedTempFolders;
  std::vector<std::string> log;

  std::string GetSpecialFolder(int index) override {
    log.push_back("special " + std::to_string(index));
    return (index == kProgramFilesFolder ? programFiles : "") + kSep;
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
  }
  std::vector<std::string> ListFiles(const std::string& folder, const std::string& masks) override {
    log.push_back("list " + masks);
    return ListFilesPortable(folder, masks);
  }
  std::optional<std::string> BrowseForFolder() override { return browseAnswer; }
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

 private:
  bool Inside(const std::string& path) const { return path.starts_with(root_); }
  std::string root_;
};

// ---- packages -------------------------------------------------------------------

std::string Cp1251(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(zf::os::ConvertCodePage(utf8, 65001, 1251, out));
  return out;
}

ZipEntry Encrypted(std::string name, std::string data, uint32_t attributes = 0x20) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.password = kPassword;
  e.externalAttributes = attributes;
  return e;
}

const std::string kConfig = Cp1251(
    "[zel]\r\nfirma=ООО Ромашка\r\nweb=http://www.romashka.ru\r\nname=Бухгалтерия 1.0\r\n"
    "coment=Программа учёта\r\n");

// A picture as far as the fake view checks one: the "BM" signature, then
// zero bytes.
const std::string kBitmap = "BM" + std::string(60, '\0');

// A test's world: the program's folder, the program-files and Programs
// folders, the fakes and the form.
struct Wizard {
  TempDir dir;
  std::string exeDir = dir.Path() + "dist" + kSep;
  FakeView view;
  FakeShell shell{dir.Path()};
  TaForm form{view, shell};

  explicit Wizard(const std::string& exeName = "setup.exe") {
    zf::os::CreateDir(exeDir);
    zf::os::CreateDir(dir.Path() + "Programs");
    shell.exePath = exeDir + exeName;
    shell.programFiles = dir.Path() + "Program Files";
    shell.shellFolders["Programs"] = dir.Path() + "Programs";
    view.log = &shell.log;
  }
  void Package(const ZipBuilder& zip) { zip.Save(exeDir + "setup.stp"); }
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

// ---- names from the program's path ------------------------------------------------

struct NamesCase {
  std::string exeName, packageName, baseName, configName;
};

TEST(WizardNames, ThreeCharactersCutWhateverTheExtension) {
  const NamesCase cases[] = {
      {"setup.exe", "setup.stp", "setup", "setup.ins"},
      {"SETUP.EXE", "SETUP.stp", "SETUP", "SETUP.ins"},
      {"setup.ex", "setupstp", "setu", "setupins"},
      {"inst.exe1", "inst.estp", "inst.", "inst.eins"},
      {"x.e", "stp", "", "ins"},  // the cut reaches the separator
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exeName);
    Wizard w(c.exeName);
    w.form.FormCreate();
    EXPECT_EQ(w.form.PackagePath(), w.exeDir + c.packageName);
    EXPECT_EQ(w.form.PackageName(), c.packageName);
    EXPECT_EQ(w.form.BaseName(), c.baseName);
    EXPECT_EQ(w.form.ConfigFileName(), c.configName);
    EXPECT_EQ(w.view.caption, "Установка: " + c.baseName);
    EXPECT_EQ(w.view.edit1, w.shell.programFiles + kSep + c.baseName);
  }
}

TEST(WizardNames, PackagePathIsTheProgramPathWithStp) {
  Wizard w;
  w.form.FormCreate();
  EXPECT_EQ(w.form.PackagePath(), w.exeDir + "setup.stp");
  EXPECT_EQ(w.form.ZipArchiver1.GetFileName(), w.exeDir + "setup.stp");
}

// ---- start-up ---------------------------------------------------------------------

TEST(WizardStartUp, TextsComeFromTheConfigurationIn1251) {
  Wizard w;
  w.Package(ZipBuilder().Add(Encrypted("setup.ins", kConfig)).Add(Encrypted("Prog.exe", "MZ")));
  w.form.FormCreate();
  EXPECT_EQ(w.view.page, 0);
  EXPECT_EQ(w.view.caption, "Установка: setup");
  EXPECT_EQ(w.view.hint, "ООО Ромашка");
  EXPECT_EQ(w.view.labels[TaFormLabel::Label4], "www.romashka.ru");
  EXPECT_EQ(w.view.labels[TaFormLabel::Label2], "Бухгалтерия 1.0");
  EXPECT_EQ(w.view.labels[TaFormLabel::Label7], "Бухгалтерия 1.0");
  EXPECT_EQ(w.view.labels[TaFormLabel::Label3], "Программа учёта");
  EXPECT_EQ(w.view.edit1, w.shell.programFiles + kSep + "setup");
  EXPECT_TRUE(w.view.pictures.empty());
  EXPECT_TRUE(w.view.errorBoxes.empty());
  w.form.Label4Click();
  EXPECT_EQ(w.shell.webLinks, std::vector<std::string>{"www.romashka.ru"});
}

TEST(WizardStartUp, ConfigurationAndPictureGoThroughAPrivateFolderThatIsRemoved) {
  Wizard w;
  w.Package(ZipBuilder()
                .Add(Encrypted("setup.ins", kConfig, 0x21))  // read-only copy
                .Add(Encrypted("iconsetup.bmp", kBitmap))
                .Add(Encrypted("Prog.exe", "MZ")));
  w.form.FormCreate();
  ASSERT_EQ(w.shell.tempFolders.size(), 1u);
  const std::string temp = w.shell.tempFolders[0];
  EXPECT_NE(temp, w.exeDir);
  EXPECT_EQ(w.shell.removedTempFolders, w.shell.tempFolders);
  EXPECT_FALSE(zf::os::DirectoryExists(temp));
  EXPECT_EQ(w.view.pictures, std::vector<std::string>{zf::os::AnsiToUtf8(temp + "iconsetup.bmp")});
  // Nothing is written beside the program, and nothing else is extracted.
  std::vector<zf::os::DirEntry> entries;
  ASSERT_TRUE(zf::os::ListDirectory(w.exeDir, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "setup.stp");
}

TEST(WizardStartUp, ProgramFolderMayBeReadOnly) {
  Wizard w;
  w.Package(ZipBuilder().Add(Encrypted("setup.ins", kConfig)));
  ASSERT_TRUE(zf::os::SetAttributes(w.exeDir, zf::os::faDirectory | zf::os::faReadOnly));
  w.form.RunHandler([&] { w.form.FormCreate(); });
  zf::os::SetAttributes(w.exeDir, zf::os::faDirectory);
  EXPECT_TRUE(w.view.errorBoxes.empty());
  EXPECT_EQ(w.view.labels[TaFormLabel::Label2], "Бухгалтерия 1.0");
  EXPECT_EQ(w.view.caption, "Установка: setup");
}

TEST(WizardStartUp, Utf8ConfigurationWithByteOrderMark) {
  Wizard w;
  w.Package(ZipBuilder().Add(Encrypted(
      "setup.ins", "\xEF\xBB\xBF[zel]\nname=Склад\ncoment=Учёт «товаров»\nweb=a.example\n")));
  w.form.FormCreate();
  EXPECT_EQ(w.view.labels[TaFormLabel::Label2], "Склад");
  EXPECT_EQ(w.view.labels[TaFormLabel::Label3], "Учёт «товаров»");
  EXPECT_EQ(w.view.labels[TaFormLabel::Label4], "a.example");
  EXPECT_EQ(w.view.hint, "");
}

TEST(WizardStartUp, WebValueLosesEveryHttpPrefixEvenNested) {
  struct Case {
    std::string config;
    std::string caption;
  };
  const Case cases[] = {
      {"[zel]\nweb=hthttp://tp://www.x.ru\n", "www.x.ru"},
      {"[zel]\nweb=http://a.ru/http://b\n", "a.ru/b"},
      {"[zel]\nweb=HTTP://a.ru\n", "HTTP://a.ru"},  // the search is case-sensitive
      {"[zel]\nname=x\n", ""},                      // missing: the default "http://" goes
      {"[zel]\nweb=\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    Wizard w;
    w.Package(ZipBuilder().Add(Encrypted("setup.ins", c.config)));
    w.form.FormCreate();
    EXPECT_EQ(w.view.labels[TaFormLabel::Label4], c.caption);
    w.form.Label4Click();
    EXPECT_EQ(w.shell.webLinks, std::vector<std::string>{c.caption});
  }
}

TEST(WizardStartUp, MissingPackageLeavesAnEmptyArchiveAndDefaults) {
  Wizard w;
  w.form.FormCreate();
  EXPECT_TRUE(w.view.errorBoxes.empty());
  const std::string package = w.exeDir + "setup.stp";
  ASSERT_TRUE(zf::os::FileExists(package));
  EXPECT_EQ(zf::test::ReadFile(package), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  for (auto label : {TaFormLabel::Label2, TaFormLabel::Label3, TaFormLabel::Label4,
                     TaFormLabel::Label7})
    EXPECT_EQ(w.view.labels[label], "");
  EXPECT_EQ(w.view.hint, "");
  EXPECT_TRUE(w.view.pictures.empty());
  EXPECT_EQ(w.view.caption, "Установка: setup");
  EXPECT_EQ(w.view.edit1, w.shell.programFiles + kSep + "setup");

  // The install extracts nothing; the folder does not exist, so the listing
  // fails and the sequence stops on page 2.
  w.form.RunHandler([&] { w.form.Button1Click(); });
  w.form.RunHandler([&] { w.form.Button1Click(); });
  ASSERT_EQ(w.view.errorBoxes.size(), 1u);
#ifdef _WIN32
  // The program-files folder itself is missing here: "path not found".
  EXPECT_EQ(w.view.errorBoxes[0], "Invalid filename.");
#else
  EXPECT_EQ(w.view.errorBoxes[0], "File not found.");
#endif
  EXPECT_EQ(w.view.page, 2);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button1]);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button2]);
  EXPECT_TRUE(w.view.enabled[TaFormButton::Button3]);
}

TEST(WizardStartUp, InvalidPictureStopsStartUpButTheCopiesGo) {
  Wizard w;
  w.Package(ZipBuilder()
                .Add(Encrypted("setup.ins", kConfig))
                .Add(Encrypted("iconsetup.bmp", "GIF89a not a bitmap")));
  w.form.RunHandler([&] { w.form.FormCreate(); });
  EXPECT_EQ(w.view.errorBoxes, std::vector<std::string>{"Bitmap image is not valid."});
  // The steps before the picture are done, the later ones skipped.
  EXPECT_EQ(w.view.labels[TaFormLabel::Label2], "Бухгалтерия 1.0");
  EXPECT_EQ(w.view.caption, "Setup");
  EXPECT_EQ(w.view.edit1, "C:\\");
  ASSERT_EQ(w.shell.tempFolders.size(), 1u);
  EXPECT_FALSE(zf::os::DirectoryExists(w.shell.tempFolders[0]));
}

TEST(WizardStartUp, PictureInsideAFolderOfThePackageIsNotShown) {
  Wizard w;
  w.Package(ZipBuilder()
                .Add(Encrypted("setup.ins", kConfig))
                .Add(Encrypted("art/iconsetup.bmp", kBitmap)));
  w.form.FormCreate();
  EXPECT_TRUE(w.view.pictures.empty());
  EXPECT_FALSE(zf::os::DirectoryExists(w.shell.tempFolders.at(0)));
}

// ---- install ----------------------------------------------------------------------

ZipBuilder ProductPackage() {
  return ZipBuilder()
      .Add(Encrypted("setup.ins", kConfig))
      .Add(Encrypted("iconsetup.bmp", kBitmap))
      .Add(Encrypted("Prog.exe", zf::test::NoiseBytes(50000)))
      .Add(Encrypted("a.hlp", "help"))
      .Add(Encrypted("readme.txt", "read me"))
      .Add(Encrypted("readme.htm", "<p>read me</p>"))
      .Add(Encrypted("data.dat", "data"))
      .Add(Encrypted("tools/inner.exe", "MZ"));
}

TEST(WizardInstall, ExtractsEverythingMakesShortcutsAndCleansUp) {
  Wizard w;
  w.Package(ProductPackage());
  w.Install();
  EXPECT_TRUE(w.view.errorBoxes.empty());
  const std::string dir = w.InstallDir();
  EXPECT_EQ(w.view.edit1, dir);
  EXPECT_EQ(w.form.ZipArchiver1.GetBaseDir(), dir);
  EXPECT_EQ(zf::test::ReadFile(dir + "Prog.exe"), zf::test::NoiseBytes(50000));
  EXPECT_EQ(zf::test::ReadFile(dir + "tools" + kSep + "inner.exe"), "MZ");
  EXPECT_TRUE(zf::os::FileExists(dir + "data.dat"));
  // The configuration copies that came along are deleted.
  EXPECT_FALSE(zf::os::FileExists(dir + "setup.ins"));
  EXPECT_FALSE(zf::os::FileExists(dir + "iconsetup.bmp"));

  // The group: the Programs folder, a doubled separator, the base name.
  EXPECT_EQ(w.shell.groupFolders, std::vector<std::string>{w.Group()});
  EXPECT_TRUE(zf::os::DirectoryExists(w.Group()));
  const std::string g = w.Group() + kSep;
  // In the sorted order; readme.htm and readme.txt share readme.lnk and the
  // later one stays.
  EXPECT_EQ(w.shell.linkOrder, (std::vector<std::string>{g + "a.lnk", g + "Prog.lnk",
                                                          g + "readme.lnk", g + "readme.lnk"}));
  ASSERT_EQ(w.shell.links.size(), 3u);
  EXPECT_EQ(w.shell.links[g + "readme.lnk"].target, dir + "readme.txt");
  for (const auto& [file, link] : w.shell.links) {
    SCOPED_TRACE(file);
    EXPECT_EQ(link.workingFolder, dir);
    EXPECT_EQ(link.arguments, "");
    EXPECT_EQ(link.iconLocation, "");
    EXPECT_TRUE(link.target.starts_with(dir));
  }
  EXPECT_EQ(w.shell.sleeps, std::vector<unsigned>{500});

  // Final page.
  EXPECT_EQ(w.view.page, 3);
  EXPECT_EQ(w.view.labels[TaFormLabel::Label8], "Регистрация файлов...");
  EXPECT_EQ(w.view.buttonCaptions[TaFormButton::Button1], "Выход");
  EXPECT_TRUE(w.view.enabled[TaFormButton::Button1]);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button2]);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button3]);
  EXPECT_EQ(w.view.closed, 0);

  // Order of the last steps: listing, group, links, pause, clean-up.
  std::vector<std::string> tail(w.shell.log.end() - 9, w.shell.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "list *.exe;*.hlp;readme.txt;readme.htm;readme.html", "group " + w.Group(),
                      "link " + g + "a.lnk", "link " + g + "Prog.lnk", "link " + g + "readme.lnk",
                      "link " + g + "readme.lnk", "sleep", "remove " + dir + "setup.ins",
                      "remove " + dir + "iconsetup.bmp"}));

  // "Выход" ends the program.
  w.form.Button1Click();
  EXPECT_EQ(w.view.closed, 1);
}

TEST(WizardInstall, ProgressShowsFileNamesAndReachesHundred) {
  Wizard w;
  w.Package(ProductPackage());
  std::vector<std::string> files;
  w.view.onProcessMessages = [&] {
    if (w.view.page == 2) files.push_back(w.view.labels[TaFormLabel::Label8]);
  };
  w.form.FormCreate();
  w.form.Button1Click();
  w.view.progress.clear();  // the start-up's two extractions report as well
  w.form.Button1Click();
  ASSERT_FALSE(w.view.progress.empty());
  EXPECT_EQ(w.view.progress.back(), 100);
  for (size_t i = 1; i < w.view.progress.size(); ++i)
    EXPECT_LE(w.view.progress[i - 1], w.view.progress[i]);
  // File names without their folder.
  EXPECT_NE(std::find(files.begin(), files.end(), "inner.exe"), files.end());
  EXPECT_NE(std::find(files.begin(), files.end(), "Prog.exe"), files.end());
  for (const auto& f : files) EXPECT_EQ(f.find(kSep), std::string::npos) << f;
  EXPECT_EQ(files.back(), "Регистрация файлов...");
}

TEST(WizardInstall, OverallProgressRoundsHalvesToEven) {
  Wizard w;
  const std::pair<double, int> cases[] = {{0, 0},     {0.5, 0},   {1.5, 2},   {2.5, 2},
                                          {49.4, 49}, {99.6, 100}, {100, 100}};
  for (const auto& [progress, position] : cases) {
    bool cancel = false;
    w.form.ZipArchiver1OverallProgress(&w.form.ZipArchiver1, progress, zf::poExtract,
                                       zf::ppProcess, cancel);
    EXPECT_EQ(w.view.progress.back(), position) << progress;
    EXPECT_FALSE(cancel);
  }
}

TEST(WizardInstall, FolderGetsItsTrailingSeparator) {
  struct Case {
    std::string typed, folder;
  };
  std::vector<Case> cases = {{"", std::string(1, kSep)}};
#ifdef _WIN32
  cases.push_back({"D:", "D:\\"});
  cases.push_back({"Q:\\apps", "Q:\\apps\\"});
#else
  cases.push_back({"/nonexistent-zf/apps", "/nonexistent-zf/apps/"});
#endif
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Wizard w;  // no package: nothing is extracted anywhere
    w.form.FormCreate();
    w.form.Button1Click();
    w.view.edit1 = c.typed;
    w.form.RunHandler([&] { w.form.Button1Click(); });
    EXPECT_EQ(w.view.edit1, c.folder);
    EXPECT_EQ(w.form.ZipArchiver1.GetBaseDir(), c.folder);
  }
}

TEST(WizardInstall, ChosenFolderIsUsedUnchanged) {
  Wizard w;
  w.Package(ProductPackage());
  w.form.FormCreate();
  w.form.Button4Click();  // cancelled
  EXPECT_EQ(w.view.edit1, w.shell.programFiles + kSep + "setup");
  const std::string chosen = w.dir.Path() + "Chosen";
  w.shell.browseAnswer = chosen;
  w.form.Button4Click();
  EXPECT_EQ(w.view.edit1, chosen);
  w.form.Button1Click();
  w.form.Button1Click();
  EXPECT_EQ(w.view.page, 3);
  EXPECT_TRUE(zf::os::FileExists(chosen + kSep + "Prog.exe"));
}

TEST(WizardInstall, NoMatchingFileStillMakesTheGroup) {
  Wizard w;
  w.Package(ZipBuilder().Add(Encrypted("setup.ins", kConfig)).Add(Encrypted("data.dat", "x")));
  w.Install();
  EXPECT_EQ(w.view.page, 3);
  EXPECT_TRUE(zf::os::DirectoryExists(w.Group()));
  EXPECT_TRUE(w.shell.links.empty());
}

TEST(WizardInstall, MissingProgramsValueGivesADoubledRootAndFailuresAreIgnored) {
  Wizard w;
  w.shell.shellFolders.clear();
  w.Package(ProductPackage());
  w.Install();
  const std::string group = std::string(2, kSep) + "setup";
  EXPECT_EQ(w.shell.groupFolders, std::vector<std::string>{group});
  EXPECT_EQ(w.shell.linkOrder.front(), group + kSep + "a.lnk");
  EXPECT_TRUE(w.view.errorBoxes.empty());
  EXPECT_EQ(w.view.page, 3);
}

TEST(WizardInstall, ProgramsValueOfTheWrongTypeStopsOnPage2) {
  Wizard w;
  w.shell.badShellFolderType = true;
  w.Package(ProductPackage());
  w.InstallShowingErrors();
  EXPECT_EQ(w.view.errorBoxes, std::vector<std::string>{"Invalid data type for 'Programs'"});
  EXPECT_EQ(w.view.page, 2);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button1]);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button2]);
  EXPECT_FALSE(w.form.Installing());
}

TEST(WizardInstall, CancelDuringTheInstallEndsTheProgramAfterIt) {
  Wizard w;
  w.Package(ProductPackage());
  int clicks = 0;
  w.view.onProcessMessages = [&] {
    if (w.view.page == 2 && clicks++ == 0) {
      w.form.Button3Click();
      EXPECT_EQ(w.view.closed, 0);  // not yet
      w.form.RequestClose();        // the close box too
    }
  };
  w.Install();
  EXPECT_TRUE(w.form.CloseRequested());
  EXPECT_EQ(w.view.closed, 1);
  // Everything was done, and the close came last.
  EXPECT_TRUE(zf::os::FileExists(w.InstallDir() + "Prog.exe"));
  EXPECT_EQ(w.shell.links.size(), 3u);
  EXPECT_FALSE(zf::os::FileExists(w.InstallDir() + "setup.ins"));
  EXPECT_EQ(w.shell.log.back(), "close");
  EXPECT_EQ(w.view.page, 3);
}

TEST(WizardInstall, CancelDuringAFailingInstallEndsTheProgramAfterTheErrorBox) {
  Wizard w;  // no package, no install folder: the listing fails
  w.view.onProcessMessages = [&] {
    if (w.view.page == 2) w.form.Button3Click();
  };
  w.InstallShowingErrors();
  EXPECT_EQ(w.view.errorBoxes.size(), 1u);
  EXPECT_EQ(w.view.closed, 1);
}

TEST(WizardInstall, CancelOutsideTheInstallEndsTheProgramAtOnce) {
  for (int page = 0; page <= 1; ++page) {
    Wizard w;
    w.form.FormCreate();
    for (int i = 0; i < page; ++i) w.form.Button1Click();
    w.form.Button3Click();
    EXPECT_EQ(w.view.closed, 1) << page;
  }
}

// ---- pages and buttons ----------------------------------------------------------

TEST(WizardPages, NextAndBackStatesOnEveryPage) {
  Wizard w;
  w.Package(ProductPackage());
  struct State {
    int page;
    bool next, back, cancel;
  };
  const auto expect = [&](const State& s, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(w.view.page, s.page);
    EXPECT_EQ(w.view.enabled[TaFormButton::Button1], s.next);
    EXPECT_EQ(w.view.enabled[TaFormButton::Button2], s.back);
    EXPECT_EQ(w.view.enabled[TaFormButton::Button3], s.cancel);
  };
  std::vector<State> duringInstall;
  w.view.onProcessMessages = [&] {
    if (w.view.page == 2)
      duringInstall.push_back({2, w.view.enabled[TaFormButton::Button1],
                               w.view.enabled[TaFormButton::Button2],
                               w.view.enabled[TaFormButton::Button3]});
  };
  w.form.FormCreate();
  expect({0, true, false, true}, "start");
  w.form.Button2Click();  // no page before 0
  expect({0, true, false, true}, "back on 0");
  w.form.Button1Click();
  expect({1, true, true, true}, "next to 1");
  w.form.Button2Click();
  expect({0, true, false, true}, "back to 0");
  w.form.Button1Click();
  expect({1, true, true, true}, "next to 1 again");
  w.form.Button1Click();
  expect({3, true, false, false}, "after the install");
  ASSERT_FALSE(duringInstall.empty());
  for (const auto& s : duringInstall) {
    EXPECT_FALSE(s.next);
    EXPECT_FALSE(s.back);
    EXPECT_TRUE(s.cancel);
  }
  w.form.Button2Click();  // Back is disabled here; even a stray call stays on 3's state
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button2]);
}

// ---- the component's design settings ----------------------------------------------

TEST(WizardForm, ComponentCarriesTheDesignSettings) {
  FakeView view;
  FakeShell shell("");
  TaForm form(view, shell);
  const zf::TZipArchiver& z = form.ZipArchiver1;
  EXPECT_EQ(z.GetName(), "ZipArchiver1");
  EXPECT_FALSE(z.GetExtractCorruptedFiles());
  EXPECT_EQ(z.GetCompressionLevel(), zf::clMax);
  EXPECT_EQ(z.GetCompressionMode(), 9);
  EXPECT_EQ(z.GetPassword(), "vor krat unpackr lorimen K.t.");
  EXPECT_EQ(z.GetPassword().size(), 29u);
  EXPECT_EQ(z.GetSpanningMode(), zf::smNone);
  EXPECT_TRUE(form.ZipArchiver1.SpanningOptions().GetAdvancedNaming());
  EXPECT_EQ(form.ZipArchiver1.SpanningOptions().GetVolumeSize(), zf::vsAutoDetect);
  EXPECT_EQ(z.Options().GetStorePath(), zf::spNoPath);
  EXPECT_TRUE(z.Options().GetFlushBuffers());
  EXPECT_TRUE(z.Options().GetOEMFileNames());
  EXPECT_FALSE(z.GetInMemory());
  EXPECT_EQ(z.GetZip64Mode(), zf::zmAuto);
  EXPECT_TRUE(static_cast<bool>(z.OnFileProgress));
  EXPECT_TRUE(static_cast<bool>(z.OnOverallProgress));
}

// ---- helpers ----------------------------------------------------------------------

TEST(WizardErrorBox, FullStopRule) {
  const std::pair<std::string, std::string> cases[] = {
      {"File not found", "File not found."},
      {"Done.", "Done."},
      {"100%", "100%"},
      {"a-", "a-"},
      {"path/", "path/."},
      {"", ""},
      {"Ошибка", "Ошибка."},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(WithFullStop(in), out) << in;
  EXPECT_EQ(ErrorBoxText(EWizardError("Нет папки")), "Нет папки.");
  EXPECT_EQ(ErrorBoxText(zf::Exception("Stream read error")), "Stream read error.");
}

TEST(WizardHelpers, ReplaceAllRestartsFromTheStart) {
  struct Case {
    std::string source, pattern, replacement, result;
  };
  const Case cases[] = {
      {"hthttp://tp://site", "http://", "", "site"},
      {"http://a http://b", "http://", "", "a b"},
      {"http://", "http://", "", ""},
      {"abc", "", "x", "abc"},
      {"aXbXc", "X", "--", "a--b--c"},
      {"none", "http://", "", "none"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReplaceAll(c.source, c.pattern, c.replacement), c.result) << c.source;
}

TEST(WizardHelpers, LinkFileNames) {
  const std::pair<std::string, std::string> cases[] = {
      {"prog.exe", "prog.lnk"},   {"readme.html", "readme.lnk"}, {"README.TXT", "README.lnk"},
      {"a.b.hlp", "a.b.lnk"},     {"noext", "noext.lnk"},        {".hlp", ".lnk"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(LinkFileName(in), out) << in;
}

TEST(WizardHelpers, PathParts) {
  const std::string s(1, kSep);
  EXPECT_EQ(FolderPart("a" + s + "b" + s + "c.stp"), "a" + s + "b" + s);
  EXPECT_EQ(FileNamePart("a" + s + "b" + s + "c.stp"), "c.stp");
  EXPECT_EQ(FolderPart("c.stp"), "");
  EXPECT_EQ(FileNamePart("tools\\inner.exe"), "inner.exe");  // as progress events name it
  EXPECT_EQ(FileNamePart("dir" + s), "");
#ifdef _WIN32
  EXPECT_EQ(FolderPart("D:setup.stp"), "D:");
  EXPECT_EQ(FileNamePart("D:setup.stp"), "setup.stp");
#endif
}

TEST(WizardHelpers, MasksAndListingFilter) {
  EXPECT_EQ(SplitMasks("*.exe;*.hlp;;readme.txt"),
            (std::vector<std::string>{"*.exe", "*.hlp", "readme.txt"}));
  EXPECT_TRUE(IsListedFile(zf::os::faArchive));
  EXPECT_TRUE(IsListedFile(zf::os::faArchive | zf::os::faReadOnly));
  EXPECT_TRUE(IsListedFile(0));
  for (uint32_t bad : {zf::os::faHidden, zf::os::faSysFile, zf::os::faVolumeID,
                       zf::os::faDirectory})
    EXPECT_FALSE(IsListedFile(bad | zf::os::faArchive)) << bad;
  std::vector<std::string> names{"README.TXT", "Prog.exe", "a.hlp", "b.exe", "B.exe"};
  SortNamesIgnoringCase(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a.hlp", "b.exe", "B.exe", "Prog.exe", "README.TXT"}));
}

TEST(WizardHelpers, PortableListingByMasks) {
  TempDir dir;
  for (const char* name : {"Prog.exe", "a.hlp", "README.TXT", "data.dat"})
    zf::test::WriteFile(dir / name, "x");
  zf::os::CreateDir(dir / "tools.exe");
#ifdef _WIN32
  zf::test::WriteFile(dir / "hidden.exe", "x");
  zf::os::SetAttributes(dir / "hidden.exe", zf::os::faHidden);
#else
  zf::test::WriteFile(dir / ".hidden.exe", "x");
#endif
  EXPECT_EQ(ListFilesPortable(dir.Path(), "*.exe;*.hlp;readme.txt;readme.htm;readme.html"),
            (std::vector<std::string>{"a.hlp", "Prog.exe", "README.TXT"}));
  EXPECT_EQ(ListFilesPortable(dir.Path(), "*.exe;prog.*"),
            (std::vector<std::string>{"Prog.exe", "Prog.exe"}));
  EXPECT_THROW(ListFilesPortable(dir / "missing" + kSep, "*.exe"), EInOutError);
}

TEST(WizardHelpers, IoErrorTexts) {
  const std::pair<int, std::string> cases[] = {
      {2, "File not found"}, {3, "Invalid filename"}, {5, "File access denied"},
      {32, "I/O error 32"}};
  for (const auto& [code, text] : cases) {
    EXPECT_EQ(EInOutError(code).Message(), text);
    EXPECT_EQ(EInOutError(code).ErrorCode(), code);
  }
}

TEST(WizardHelpers, PrivateTempFoldersAreFreshAndRemovedWhole) {
  const std::string a = MakePrivateTempFolder();
  const std::string b = MakePrivateTempFolder();
  EXPECT_NE(a, b);
  EXPECT_EQ(a.back(), kSep);
  zf::os::CreateDir(a + "sub");
  zf::test::WriteFile(a + "sub" + kSep + "f", "x");
  zf::test::WriteFile(a + "ro", "x");
  zf::os::SetAttributes(a + "ro", zf::os::faReadOnly);
  RemoveFolderTree(a);
  RemoveFolderTree(b);
  EXPECT_FALSE(zf::os::DirectoryExists(a));
  EXPECT_FALSE(zf::os::DirectoryExists(b));
}

// ---- configuration reader ---------------------------------------------------------

TEST(WizardIni, ReadsValuesAsTheSystemReaderDoes) {
  struct Case {
    const char* what;
    std::string text, section, key, result;
  };
  const Case cases[] = {
      {"plain", "[zel]\nname=Prog\n", "zel", "name", "Prog"},
      {"case of names", "[ZEL]\nNAME=Prog\n", "zel", "name", "Prog"},
      {"spaces", "  [ zel ]  \r\n  name  =  Prog  1  \r\n", "zel", "name", "Prog  1"},
      {"quotes", "[zel]\nname=\"  Prog \"\n", "zel", "name", "  Prog "},
      {"single quotes", "[zel]\nname='Prog'\n", "zel", "name", "Prog"},
      {"unmatched quote", "[zel]\nname=\"Prog\n", "zel", "name", "\"Prog"},
      {"empty value", "[zel]\nname=\n", "zel", "name", ""},
      {"missing key", "[zel]\nweb=x\n", "zel", "name", "DEF"},
      {"other section", "[other]\nname=x\n[zel]\nweb=y\n", "zel", "name", "DEF"},
      {"key after section", "[zel]\nweb=y\n[other]\nname=x\n", "zel", "name", "DEF"},
      {"first key wins", "[zel]\nname=a\nname=b\n", "zel", "name", "a"},
      {"comment", "[zel]\n;name=a\nname=b\n", "zel", "name", "b"},
      {"CR only", "[zel]\rname=a\rweb=b\r", "zel", "web", "b"},
      {"value with equals", "[zel]\nweb=a=b\n", "zel", "web", "a=b"},
      {"no file content", "", "zel", "name", "DEF"},
      {"1251 bytes", "[zel]\nname=\xD2\xE5\xF1\xF2\n", "zel", "name", "Тест"},
      {"UTF-8 with mark", "\xEF\xBB\xBF[zel]\nname=Тест\n", "zel", "name", "Тест"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IniValueFromText(c.text, c.section, c.key, "DEF"), c.result) << c.what;
}

TEST(WizardIni, ValueIsCutAt2047Bytes) {
  const std::string longValue(3000, 'x');
  EXPECT_EQ(IniValueFromText("[zel]\nname=" + longValue + "\n", "zel", "name", ""),
            std::string(2047, 'x'));
  // 1251: 2047 letters of one byte each arrive, as two-byte UTF-8.
  const std::string letters(3000, '\xE0');  // "а"
  std::string expected;
  for (int i = 0; i < 2047; ++i) expected += "а";
  EXPECT_EQ(IniValueFromText("[zel]\nname=" + letters + "\n", "zel", "name", ""), expected);
  // UTF-8: a letter cut in two is dropped whole.
  std::string utf8 = "\xEF\xBB\xBF[zel]\nname=xy";
  for (int i = 0; i < 1500; ++i) utf8 += "а";
  const std::string got = IniValueFromText(utf8 + "\n", "zel", "name", "");
  EXPECT_EQ(got.size(), 2046u);
  EXPECT_EQ(got.substr(0, 4), "xyа");
}

TEST(WizardIni, MissingFileGivesTheDefault) {
  TempDir dir;
  EXPECT_EQ(ReadIniValue(dir / "none.ins", "zel", "web", "http://"), "http://");
  zf::test::WriteFile(dir / "a.ins", "[zel]\nweb=x\n");
  EXPECT_EQ(ReadIniValue(dir / "a.ins", "zel", "web", "http://"), "x");
}

}  // namespace
}  // namespace setup
