// Versions and upgrades in the controller, against the fakes of
// wizard_fakes.h with real packages and files: what the Wine test of the
// shipped program cannot reach cheaply (a failed upgrade that rolls back to
// the old version, every answer to the downgrade question, an entry that
// names an install made elsewhere since).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "package/PackageFormat.h"
#include "wizard/InstallJournal.h"
#include "wizard/Uninstaller.h"
#include "wizard_fakes.h"

namespace setup {
namespace {

using namespace setup::test;

TEST(Versions, CompareByTheirNumbersAndNoVersionIsOlder) {
  const std::tuple<std::string, std::string, int> cases[] = {
      {"2.1.0", "2.1", 0}, {"2.10", "2.9", 1}, {"1.0.0.1", "1", 1}, {"", "0.1", -1},
      {"1.x", "1", -1},    {"", "", 0},        {"3", "12", -1},     {"1.2.3.4.5", "1", -1}};
  for (const auto& [a, b, order] : cases) {
    EXPECT_EQ(CompareVersions(a, b), order) << a << " vs " << b;
    EXPECT_EQ(CompareVersions(b, a), -order) << b << " vs " << a;
  }
}

std::string Config(const std::string& version) {
  return Cp1251("[zel]\r\nname=Учёт\r\nid={C0FFEE00-1234-4321-8888-000000000001}\r\n" +
                (version.empty() ? std::string() : "version=" + version + "\r\n"));
}
const std::string kKey = "HKLM\\" + UninstallKeyFor("{C0FFEE00-1234-4321-8888-000000000001}");

ZipBuilder Version1() {
  return ZipBuilder()
      .Add(Encrypted("setup.ins", Config("1.0")))
      .Add(Encrypted("Prog.exe", "MZ program 1"))
      .Add(Encrypted("old.txt", "dropped in 2"));
}
ZipBuilder Version2() {
  return ZipBuilder()
      .Add(Encrypted("setup.ins", Config("2.0")))
      .Add(Encrypted("Prog.exe", "MZ program 2"))
      .Add(Encrypted("new.txt", "new in 2"));
}

// Runs the wizard again in the same world with another package, answering
// `answer` to every question; the exit code.
int RunAgain(Wizard& w, const ZipBuilder& package, TSetupOptions options = {}, bool answer = true,
             size_t* questions = nullptr) {
  FakeView view;
  view.answer = answer;
  TaForm form(view, w.shell, std::move(options));
  w.Package(package);
  form.RunHandler([&] { form.FormCreate(); });
  if (!form.StartFailed()) {
    form.Button1Click();
    form.Button1Click();
  }
  if (questions) *questions = view.questions.size();
  return form.ExitCode();
}

TEST(Upgrade, AFailedUpgradeLeavesVersion1AsItWas) {
  Wizard w;
  ASSERT_EQ(RunAgain(w, Version1()), kExitDone);
  const std::string dir = w.InstallDir();
  ZipEntry damaged = Encrypted("zz-last.dat", "data");
  damaged.crc = zf::test::Crc32Of(damaged.data) ^ 0x1;
  // Failures before the old files are removed (a damaged last entry),
  // after (the entry cannot be written), and after the entry was written
  // (the journal cannot be saved): version 1's files, the one version 2
  // drops and the entry's values come back each time.
  for (const char* failure : {"damaged entry", "registry", "journal"}) {
    SCOPED_TRACE(failure);
    w.shell.registryFails = failure == std::string("registry");
    if (failure == std::string("journal")) {
      ASSERT_TRUE(zf::os::RemoveFile(dir + "uninstall.dat"));
      ASSERT_TRUE(zf::os::CreateDir(dir + "uninstall.dat"));
    }
    const bool damage = failure == std::string("damaged entry");
    EXPECT_EQ(RunAgain(w, damage ? Version2().Add(damaged) : Version2()), kExitFailed);
    EXPECT_EQ(zf::test::ReadFile(dir + "Prog.exe"), "MZ program 1");
    EXPECT_EQ(zf::test::ReadFile(dir + "old.txt"), "dropped in 2");
    EXPECT_FALSE(zf::os::FileExists(dir + "new.txt"));
    EXPECT_EQ(w.shell.registry.at(kKey).displayVersion, "1.0");
  }
}

TEST(Upgrade, ANewerVersionInstalledIsReplacedOnlyWhenTheUserSaysSo) {
  struct Case {
    const char* what;
    std::string installed;  // the installed version ("": a package without one)
    bool suppressed, answer;
    int exitCode;
    size_t questions;
  };
  const Case cases[] = {
      {"boxes suppressed: refused", "2.0", true, false, kExitNewerInstalled, 0},
      {"asked, No", "2.0", false, false, kExitNewerInstalled, 1},
      {"asked, Yes", "2.0", false, true, kExitDone, 1},
      {"an install without a version is older", "", true, false, kExitDone, 0},
      {"the same version is a repair", "1.0", true, false, kExitDone, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Wizard w;
    ASSERT_EQ(RunAgain(w, ZipBuilder()
                              .Add(Encrypted("setup.ins", Config(c.installed)))
                              .Add(Encrypted("Prog.exe", "MZ installed"))),
              kExitDone);
    TSetupOptions options;
    if (c.suppressed) options.silent = options.suppressMsgBoxes = true;
    size_t questions = 0;
    EXPECT_EQ(RunAgain(w, Version1(), options, c.answer, &questions), c.exitCode);
    EXPECT_EQ(questions, c.questions);
    const bool replaced = c.exitCode == kExitDone;
    EXPECT_EQ(zf::test::ReadFile(w.InstallDir() + "Prog.exe"),
              replaced ? "MZ program 1" : "MZ installed");
    EXPECT_EQ(w.shell.registry.at(kKey).displayVersion, replaced ? "1.0" : c.installed);
  }
}

struct YesBoxes : IUninstallerBoxes {
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  void ShowMessage(const std::string&, const std::string&) override {}
  void ShowError(const std::string&, const std::string&) override {}
};

TEST(Upgrade, AnUninstallerLeavesTheEntryOfAnInstallMadeElsewhereSince) {
  Wizard w;
  ASSERT_EQ(RunAgain(w, Version1()), kExitDone);
  TempDir elsewhere;
  TSetupOptions there;
  there.dir = zf::os::AnsiToUtf8(elsewhere / "Prod");
  ASSERT_EQ(RunAgain(w, Version2(), there), kExitDone);
  w.shell.exePath = w.InstallDir() + "uninstall.exe";
  YesBoxes boxes;
  EXPECT_EQ(TUninstaller(w.shell, boxes, {}).Run(), kExitDone);
  EXPECT_FALSE(zf::os::FileExists(w.InstallDir() + "Prog.exe"));
  ASSERT_TRUE(w.shell.registry.contains(kKey));
  EXPECT_EQ(w.shell.registry.at(kKey).installLocation,
            zf::os::AnsiToUtf8(elsewhere / "Prod" + kSep));
}

}  // namespace
}  // namespace setup
