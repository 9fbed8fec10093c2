// Tests of the wizard's controller (TaForm) with fakes of the window and the
// shell services, and of its portable helpers: names from the program's
// path, texts from the package configuration, the start-up through a private
// temporary folder, the install sequence with its shortcuts and the
// uninstaller, page and button states, progress, and the error box (the
// journal, rollback, uninstall and disk space: installer_test.cpp).
// The archive engine is real: the packages are built here, encrypted under
// the package password.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wizard/ErrorBox.h"
#include "wizard/Languages.h"
#include "wizard/WizardTexts.h"
#include "wizard_fakes.h"

namespace setup {
namespace {

using namespace setup::test;
using zf::test::TempDir;

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
    w.AnyPackage();
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
  w.AnyPackage();
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
  EXPECT_EQ(entries.size(), 2u);  // setup.exe and setup.stp
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

TEST(WizardStartUp, MissingOrDamagedPackageMeansSetupCannotStart) {
  struct Case {
    const char* what;
    std::optional<std::string> package;  // bytes; nothing: no package
    std::string box;
  };
  std::string badIni = ZipBuilder().Add(Encrypted("setup.ins", kConfig)).Build().str();
  badIni[30 + 9 + 12 + 4] ^= 0x55;  // in the data after the encryption header
  const Case cases[] = {
      {"missing", std::nullopt, "Не найден пакет установки: \""},
      {"damaged configuration", badIni, "Пакет установки повреждён: \"setup.ins\"."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Wizard w;
    if (c.package) zf::test::WriteFile(w.exeDir + "setup.stp", *c.package);
    w.form.RunHandler([&] { w.form.FormCreate(); });
    EXPECT_TRUE(w.form.StartFailed());
    EXPECT_EQ(w.form.ExitCode(), kExitCannotStart);
    ASSERT_EQ(w.view.errorBoxes.size(), 1u);
    EXPECT_TRUE(w.view.errorBoxes[0].starts_with(c.box)) << w.view.errorBoxes[0];
    // No empty archive is made in the package's place.
    EXPECT_EQ(zf::os::FileExists(w.exeDir + "setup.stp"), c.package.has_value());
  }
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

// ---- language ---------------------------------------------------------------------

constexpr uint16_t kUiRussian = 0x0419, kUiRussianMoldova = 0x0819, kUiUkrainian = 0x0422,
                   kUiBelarusian = 0x0423, kUiEnglish = 0x0409, kUiGerman = 0x0407;

TEST(WizardLanguage, ChosenByTheUserTheSwitchAndThePackage) {
  struct Case {
    uint16_t ui;
    std::string languages;  // the configuration's value; "" for no key
    std::optional<Language> asked;
    Language chosen;
  };
  const Case cases[] = {
      {kUiEnglish, "", std::nullopt, Language::Russian},  // made before languages
      {kUiEnglish, "ru", std::nullopt, Language::Russian},
      {kUiRussian, "ru,en", std::nullopt, Language::Russian},
      {kUiRussianMoldova, "ru,en", std::nullopt, Language::Russian},
      {kUiUkrainian, "ru,en", std::nullopt, Language::Russian},
      {kUiBelarusian, "en,ru", std::nullopt, Language::Russian},
      {kUiEnglish, "ru,en", std::nullopt, Language::English},
      {kUiGerman, "ru,en", std::nullopt, Language::English},
      {kUiRussian, "en", std::nullopt, Language::English},
      {kUiEnglish, "ru,en", Language::Russian, Language::Russian},
      {kUiRussian, "ru, en", Language::English, Language::English},
      {kUiRussian, "ru", Language::English, Language::Russian},  // a language it lacks
      {kUiEnglish, "en", Language::Russian, Language::English},
      {kUiEnglish, "fr", std::nullopt, Language::Russian},  // not understood
  };
  // The English texts where the package has them, the plain (Russian)
  // ones where it has not (web, firma).
  const std::string config =
      "\xEF\xBB\xBF[zel]\nname=Склад\nname.en=Stock\ncoment=Учёт товаров\n"
      "coment.en=Keeps stock\nweb=http://sklad.example\nfirma=ООО Склад\nlanguages=";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.ui) + " [" + c.languages + "]");
    TSetupOptions options;
    options.language = c.asked;
    Wizard w("setup.exe", options);
    w.shell.uiLanguage = c.ui;
    const std::string ini = c.languages.empty() ? config.substr(0, config.rfind("languages="))
                                                : config + c.languages + "\n";
    w.Package(ZipBuilder().Add(Encrypted("setup.ins", ini)).Add(Encrypted("Prog.exe", "MZ")));
    w.form.FormCreate();
    ASSERT_NE(w.view.texts, nullptr);
    EXPECT_EQ(w.view.texts->language, c.chosen);
    const bool en = c.chosen == Language::English;
    EXPECT_EQ(w.view.caption, en ? "Setup: setup" : "Установка: setup");
    EXPECT_EQ(w.view.labels[TaFormLabel::Label2], en ? "Stock" : "Склад");
    EXPECT_EQ(w.view.labels[TaFormLabel::Label7], en ? "Stock" : "Склад");
    EXPECT_EQ(w.view.labels[TaFormLabel::Label3], en ? "Keeps stock" : "Учёт товаров");
    EXPECT_EQ(w.view.labels[TaFormLabel::Label4], "sklad.example");
    EXPECT_EQ(w.view.hint, "ООО Склад");
    EXPECT_TRUE(w.view.labels[TaFormLabel::Label13].starts_with(en ? "Space required: "
                                                                   : "Требуется на диске: "));
  }
}

TEST(WizardLanguage, BeforeThePackageIsReadTheUserDecidesAlone) {
  struct Case {
    uint16_t ui;
    std::optional<Language> asked;
    std::string box;
  };
  const Case cases[] = {
      {kUiEnglish, std::nullopt, "The setup package was not found: \""},
      {kUiGerman, std::nullopt, "The setup package was not found: \""},
      {kUiUkrainian, std::nullopt, "Не найден пакет установки: \""},
      {kUiEnglish, Language::Russian, "Не найден пакет установки: \""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ui);
    TSetupOptions options;
    options.language = c.asked;
    Wizard w("setup.exe", options);
    w.shell.uiLanguage = c.ui;
    w.form.RunHandler([&] { w.form.FormCreate(); });
    EXPECT_EQ(w.form.ExitCode(), kExitCannotStart);
    ASSERT_EQ(w.view.errorBoxes.size(), 1u);
    EXPECT_TRUE(w.view.errorBoxes[0].starts_with(c.box)) << w.view.errorBoxes[0];
  }
}

TEST(WizardLanguage, ListsOfLanguages) {
  const std::pair<std::string, std::optional<std::vector<Language>>> cases[] = {
      {"ru", std::vector{Language::Russian}},
      {"en", std::vector{Language::English}},
      {"ru,en", std::vector{Language::Russian, Language::English}},
      {" EN , Ru ", std::vector{Language::Russian, Language::English}},
      {"", std::nullopt},
      {"ru,", std::nullopt},
      {"ru,ru", std::nullopt},
      {"ru;en", std::nullopt},
      {"de", std::nullopt},
  };
  for (const auto& [list, languages] : cases) {
    const auto set = ParseLanguageList(list);
    ASSERT_EQ(set.has_value(), languages.has_value()) << list;
    if (!set) continue;
    TLanguageSet want;
    for (Language l : *languages) want.Add(l);
    EXPECT_TRUE(*set == want) << list;
  }
}

// ---- install ----------------------------------------------------------------------


TEST(WizardInstall, ExtractsEverythingMakesShortcutsAndTheUninstaller) {
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
  // The configuration copies are read at start-up and never installed.
  EXPECT_FALSE(zf::os::FileExists(dir + "setup.ins"));
  EXPECT_FALSE(zf::os::FileExists(dir + "iconsetup.bmp"));
  // The wizard itself as the uninstaller, beside its journal.
  EXPECT_EQ(zf::test::ReadFile(dir + "uninstall.exe"), "MZ the wizard");
  EXPECT_TRUE(zf::os::FileExists(dir + "uninstall.dat"));

  // The group: the Programs folder, a doubled separator, the base name.
  EXPECT_EQ(w.shell.groupFolders, std::vector<std::string>{w.Group()});
  EXPECT_TRUE(zf::os::DirectoryExists(w.Group()));
  const std::string g = w.Group() + kSep;
  // In the sorted order, and none replaces another: the program keeps
  // Prog.lnk, its help file and the second readme get their whole names.
  EXPECT_EQ(w.shell.linkOrder,
            (std::vector<std::string>{g + "a.lnk", g + "Prog.lnk", g + "Prog.hlp.lnk",
                                      g + "readme.lnk", g + "readme.txt.lnk"}));
  EXPECT_EQ(w.shell.links[g + "Prog.lnk"].target, dir + "Prog.exe");
  EXPECT_EQ(w.shell.links[g + "Prog.hlp.lnk"].target, dir + "Prog.hlp");
  EXPECT_EQ(w.shell.links[g + "readme.lnk"].target, dir + "readme.htm");
  EXPECT_EQ(w.shell.links[g + "readme.txt.lnk"].target, dir + "readme.txt");
  for (const auto& [file, link] : w.shell.links) {
    SCOPED_TRACE(file);
    EXPECT_EQ(link.workingFolder, dir);
    EXPECT_EQ(link.arguments, "");
    EXPECT_EQ(link.iconLocation, "");
    EXPECT_TRUE(link.target.starts_with(dir));
  }
  EXPECT_EQ(w.shell.sleeps, std::vector<unsigned>{500});

  // Add/Remove Programs.
  ASSERT_EQ(w.shell.registry.size(), 1u);
  const TUninstallEntry& entry = w.shell.registry.begin()->second;
  EXPECT_EQ(w.shell.registry.begin()->first,
            "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\setup");
  EXPECT_EQ(entry.displayName, "Бухгалтерия 1.0");
  EXPECT_EQ(entry.publisher, "ООО Ромашка");
  EXPECT_EQ(entry.urlInfoAbout, "http://www.romashka.ru");
  EXPECT_EQ(entry.displayIcon, dir + "Prog.exe");
  EXPECT_EQ(entry.installLocation, dir);
  EXPECT_EQ(entry.uninstallString, "\"" + dir + "uninstall.exe\"");
  EXPECT_EQ(entry.quietUninstallString, "\"" + dir + "uninstall.exe\" /VERYSILENT");
  EXPECT_EQ(entry.estimatedSizeKiB, 49u);  // 50,000 bytes of Prog.exe and a few small ones

  // Final page.
  EXPECT_EQ(w.view.page, 3);
  EXPECT_EQ(w.view.labels[TaFormLabel::Label8], "Регистрация файлов...");
  EXPECT_EQ(w.view.buttonCaptions[TaFormButton::Button1], "Выход");
  EXPECT_TRUE(w.view.enabled[TaFormButton::Button1]);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button2]);
  EXPECT_FALSE(w.view.enabled[TaFormButton::Button3]);
  EXPECT_EQ(w.view.closed, 0);
  EXPECT_EQ(w.form.ExitCode(), kExitDone);

  // Order of the last steps: listing, group, links, registry, pause.
  std::vector<std::string> tail(w.shell.log.end() - 9, w.shell.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "list *.exe;*.hlp;readme.txt;readme.htm;readme.html", "group " + w.Group(),
                      "link " + g + "a.lnk", "link " + g + "Prog.lnk", "link " + g + "Prog.hlp.lnk",
                      "link " + g + "readme.lnk", "link " + g + "readme.txt.lnk", "registry HKLM",
                      "sleep"}));

  // "Выход" ends the program.
  w.form.Button1Click();
  EXPECT_EQ(w.view.closed, 1);
  EXPECT_EQ(w.form.ExitCode(), kExitDone);
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
  for (const bool typedWithSeparator : {false, true}) {
    Wizard w;
    w.AnyPackage();
    w.form.FormCreate();
    w.form.Button1Click();
    const std::string folder = w.dir.Path() + "apps" + kSep;
    w.view.edit1 = typedWithSeparator ? folder : folder.substr(0, folder.size() - 1);
    w.form.Button1Click();
    EXPECT_EQ(w.view.edit1, folder);
    EXPECT_EQ(w.form.ZipArchiver1.GetBaseDir(), folder);
    EXPECT_TRUE(zf::os::FileExists(folder + "data.dat"));
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

TEST(WizardInstall, CancelOutsideTheInstallEndsTheProgramAtOnce) {
  for (int page = 0; page <= 1; ++page) {
    Wizard w;
    w.AnyPackage();
    w.form.FormCreate();
    for (int i = 0; i < page; ++i) w.form.Button1Click();
    w.form.Button3Click();
    EXPECT_EQ(w.view.closed, 1) << page;
    EXPECT_TRUE(w.view.questions.empty());
    EXPECT_EQ(w.form.ExitCode(), kExitCancelled);
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
  const TWizardTexts& ru = TextsFor(Language::Russian);
  const TWizardTexts& en = TextsFor(Language::English);
  const EWizardError missing(&TWizardTexts::packageMissing, "D:\\setup.stp");
  // A closing quote comes before "." in character order: no full stop.
  EXPECT_EQ(ErrorBoxText(missing, ru), "Не найден пакет установки: \"D:\\setup.stp\"");
  EXPECT_EQ(ErrorBoxText(missing, en), "The setup package was not found: \"D:\\setup.stp\"");
  EXPECT_STREQ(missing.what(), "The setup package was not found: \"D:\\setup.stp\"");
  EXPECT_EQ(ErrorBoxText(zf::Exception("Stream read error"), ru), "Stream read error.");
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
