// What a package may offer beyond the four pages, through the controller
// with fakes: the choices shown and their states, the launch from the
// final page, per-user installs and the hand-over to an elevated copy.
#include "wizard_fakes.h"

namespace setup::test {
namespace {

// A product package whose configuration has `extra` lines.
void PackageWith(Wizard& w, const std::string& extra) {
  w.Package(ProductPackage(kConfig + extra));
}

TEST(WizardChoices, ShownAndCheckedAsThePackageAndTheSwitchesSay) {
  using C = TaFormChoice;
  struct Case {
    std::string extra;
    std::vector<std::string> switches;
    bool elevated;
    std::map<C, bool> shown;  // the shown choices and whether each is checked
    std::string folder;       // below the test's folder; "" when refused
  };
  const std::string pf = "Program Files" + std::string(1, kSep) + "setup";
  const std::string user = "Local" + std::string(1, kSep) + "Programs" + kSep + "setup";
  const Case cases[] = {
      {"", {}, true, {}, pf},  // a package as before: nothing new
      {"", {}, false, {}, pf},  // ... handed over to an elevated copy
      {"desktop=Prog.exe\r\n", {}, true, {{C::CheckBox1, true}}, pf},
      {"desktop=Prog.exe\r\n", {"/NODESKTOP"}, true, {{C::CheckBox1, false}}, pf},
      {"desktop=..\\Prog.exe\r\n", {}, true, {}, pf},  // outside the folder: ignored
      {"run=C:\\Windows\\evil.exe\r\n", {}, true, {}, pf},
      {"privileges=both\r\n", {}, true, {{C::RadioButton1, true}, {C::RadioButton2, false}}, pf},
      {"privileges=both\r\n", {}, false, {{C::RadioButton1, false}, {C::RadioButton2, true}}, user},
      {"privileges=both\r\n", {"/CURRENTUSER"}, true,
       {{C::RadioButton1, false}, {C::RadioButton2, true}}, user},
      {"privileges=lowest\r\n", {}, true, {}, user},
      {"privileges=lowest\r\n", {"/ALLUSERS"}, true, {}, ""},
      {"", {"/CURRENTUSER"}, true, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra + (c.switches.empty() ? "" : c.switches[0]));
    TSetupOptions options;
    std::string bad;
    ASSERT_TRUE(ParseSwitches(c.switches, SwitchSet::Setup, options, bad));
    Wizard w("setup.exe", options);
    w.shell.userOnly = !c.elevated;
    w.shell.localAppData = w.dir.Path() + "Local";
    PackageWith(w, c.extra);
    w.form.RunHandler([&] { w.form.FormCreate(); });
    std::map<C, bool> shown;
    for (const auto& [choice, caption] : w.view.choices) shown[choice] = w.view.ChoiceChecked(choice);
    EXPECT_EQ(shown, c.shown);
    if (c.folder.empty()) {
      EXPECT_TRUE(w.form.StartFailed());
      EXPECT_EQ(w.form.ExitCode(), kExitCannotStart);
      ASSERT_EQ(w.view.errorBoxes.size(), 1u);
      EXPECT_NE(w.view.errorBoxes[0].find(c.extra.empty() ? "/CURRENTUSER" : "/ALLUSERS"),
                std::string::npos);
    } else {
      EXPECT_EQ(w.view.edit1, w.dir.Path() + c.folder);
      // Per-machine without the rights: the whole run is the elevated copy's.
      EXPECT_EQ(w.shell.elevatedRuns.size(), c.elevated || c.folder == user ? 0u : 1u);
    }
  }
}

TEST(WizardChoices, TheProgramStartsWhenTheUserOrTheCommandLineSays) {
  struct Case {
    std::string extra;
    std::vector<std::string> switches;
    bool unchecked;  // the user clears "Launch" before "Выход"
    bool fails;      // the program does not start
    bool started;
  };
  const Case cases[] = {
      {"run=tools/inner.exe\r\n", {}, false, false, true},
      {"run=tools/inner.exe\r\n", {}, true, false, false},
      {"run=tools/inner.exe\r\n", {"/SILENT"}, false, false, false},
      {"run=tools/inner.exe\r\n", {"/VERYSILENT", "/RUN"}, false, false, true},
      {"", {"/SILENT", "/RUN"}, false, false, false},  // nothing named to start
      {"run=tools/inner.exe\r\n", {}, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra + (c.switches.empty() ? "" : c.switches.back()));
    TSetupOptions options;
    std::string bad;
    ASSERT_TRUE(ParseSwitches(c.switches, SwitchSet::Setup, options, bad));
    Wizard w("setup.exe", options);
    w.shell.startFails = c.fails;
    PackageWith(w, c.extra);
    if (options.Unattended()) {
      w.form.FormCreate();
      w.form.InstallUnattended();
    } else {
      w.Install();
      ASSERT_EQ(w.view.page, 3);
      EXPECT_EQ(w.view.choices.contains(TaFormChoice::CheckBox2), !c.extra.empty());
      if (!c.extra.empty()) {
        EXPECT_EQ(w.view.choices[TaFormChoice::CheckBox2], "Запустить Бухгалтерия 1.0");
      }
      if (c.unchecked) w.view.SetChoiceChecked(TaFormChoice::CheckBox2, false);
      w.form.RunHandler([&] { w.form.Button1Click(); });
    }
    EXPECT_EQ(w.form.ExitCode(), kExitDone);
    const std::string program = w.InstallDir() + "tools" + kSep + "inner.exe";
    EXPECT_EQ(w.shell.started, c.started ? std::vector<std::string>{program}
                                         : std::vector<std::string>{});
    EXPECT_EQ(w.view.errorBoxes.size(), c.fails ? 1u : 0u);
    if (c.fails) {
      EXPECT_TRUE(w.view.errorBoxes[0].starts_with("Не удалось запустить программу: \""));
    }
  }
}

TEST(WizardChoices, PerUserInstallGoesIntoTheProfileAndHkcu) {
  TSetupOptions options;
  options.scope = InstallScope::CurrentUser;
  Wizard w("setup.exe", options);
  w.shell.localAppData = w.dir.Path() + "Local";
  PackageWith(w, "privileges=both\r\ndesktop=Prog.exe\r\n");
  w.shell.shellFolders["Desktop"] = w.dir.Path() + "Desktop";
  zf::os::CreateDir(w.dir.Path() + "Desktop");
  w.Install();
  ASSERT_EQ(w.form.ExitCode(), kExitDone);
  const std::string folder = w.dir.Path() + "Local" + kSep + "Programs" + kSep + "setup" + kSep;
  EXPECT_TRUE(zf::os::FileExists(folder + "Prog.exe"));
  EXPECT_TRUE(w.shell.elevatedRuns.empty());
  ASSERT_EQ(w.shell.registry.size(), 1u);
  EXPECT_TRUE(w.shell.registry.begin()->first.starts_with("HKCU\\"));
  EXPECT_EQ(w.shell.registry.begin()->second.installLocation, folder);
  const std::string link = w.dir.Path() + "Desktop" + kSep + "Бухгалтерия 1.0.lnk";
  ASSERT_TRUE(w.shell.links.contains(zf::os::Utf8ToAnsi(link)));
  EXPECT_EQ(w.shell.links[zf::os::Utf8ToAnsi(link)].target, folder + "Prog.exe");
}

TEST(WizardChoices, AllUsersChosenWithoutRightsHandsTheInstallOver) {
  struct Case {
    std::optional<int> copyEnds;  // nothing: the user refused the rights
    int page;
    int exitCode;
  };
  const Case cases[] = {{0, 3, kExitDone}, {kExitFailed, 1, kExitFailed},
                        {std::nullopt, 1, kExitCannotStart}};
  for (const Case& c : cases) {
    Wizard w;
    w.shell.userOnly = true;
    w.shell.elevatedExitCode = c.copyEnds;
    w.shell.localAppData = w.dir.Path() + "Local";
    PackageWith(w, "privileges=both\r\ndesktop=Prog.exe\r\nrun=Prog.exe\r\n");
    w.form.FormCreate();
    w.form.Button1Click();
    // "For all users": the folder follows while it is the proposed one.
    w.view.SetChoiceChecked(TaFormChoice::RadioButton1, true);
    w.view.SetChoiceChecked(TaFormChoice::RadioButton2, false);
    w.form.RadioButtonClick();
    EXPECT_EQ(w.view.edit1, zf::RemoveTrailingDelimiter(w.InstallDir()));
    w.view.SetChoiceChecked(TaFormChoice::CheckBox1, false);
    w.form.RunHandler([&] { w.form.Button1Click(); });
    const std::vector<std::string> want = {"/SILENT",        "/LANG=ru", "/DIR=" + w.view.edit1,
                                           "/NODESKTOP",     "/ALLUSERS", kElevatedSwitch};
    ASSERT_EQ(w.shell.elevatedRuns.size(), 1u);
    EXPECT_EQ(w.shell.elevatedRuns[0], want);
    EXPECT_FALSE(zf::os::FileExists(w.InstallDir() + "Prog.exe"));  // the copy's work
    EXPECT_EQ(w.form.ExitCode(), c.exitCode);
    if (c.page == 3) {
      EXPECT_EQ(w.view.page, 3);
      EXPECT_TRUE(w.view.choices.contains(TaFormChoice::CheckBox2));
      w.form.Button1Click();  // "Выход": started here, with the user's own rights
      EXPECT_EQ(w.shell.started, std::vector<std::string>{w.InstallDir() + "Prog.exe"});
    }
    EXPECT_EQ(w.view.closed, c.exitCode == kExitFailed || c.page == 3 ? 1 : 0);
    EXPECT_EQ(w.view.errorBoxes.size(), c.copyEnds ? 0u : 1u);
  }
}

TEST(WizardChoices, AnUpgradeKeepsTheModeAndTheDesktopChoiceOfTheInstall) {
  const auto package = [](const char* version) {
    return ProductPackage(kConfig + "id=ChoiceProd\r\nversion=" + version +
                          "\r\nprivileges=both\r\ndesktop=Prog.exe\r\n");
  };
  Wizard w;  // elevated: without a switch a new install would be for all users
  w.shell.localAppData = w.dir.Path() + "Local";
  w.shell.shellFolders["Desktop"] = w.dir.Path() + "Desktop";
  zf::os::CreateDir(w.dir.Path() + "Desktop");
  const std::string folder = w.dir.Path() + "Local" + kSep + "Programs" + kSep + "setup";
  for (const char* version : {"1.0", "2.0"}) {
    SCOPED_TRACE(version);
    TSetupOptions options;
    if (version == std::string("1.0")) {
      options.scope = InstallScope::CurrentUser;
      options.desktop = false;
    }
    FakeView view;
    TaForm form(view, w.shell, options);
    w.Package(package(version));
    form.FormCreate();
    EXPECT_EQ(form.Scope(), InstallScope::CurrentUser);
    EXPECT_EQ(view.edit1, folder);
    EXPECT_FALSE(view.ChoiceChecked(TaFormChoice::CheckBox1));
    form.Button1Click();
    form.Button1Click();
    ASSERT_EQ(form.ExitCode(), kExitDone);
    ASSERT_EQ(w.shell.registry.size(), 1u);
    EXPECT_EQ(w.shell.registry.begin()->first, "HKCU\\" + UninstallKeyFor("ChoiceProd"));
    EXPECT_FALSE(zf::os::FileExists(
        zf::os::Utf8ToAnsi(w.dir.Path() + "Desktop" + kSep + "Бухгалтерия 1.0.lnk")));
  }
}

}  // namespace
}  // namespace setup::test
