// Tests of what makes the wizard an installer: the journal and its file
// uninstall.dat, the rollback's order, the uninstall that keeps what the
// user changed, the command-line switches, shortcut names that never
// replace each other, the disk space, and the controller's runs end to end
// against the fakes of wizard_fakes.h with every exit code: installed,
// cancelled and rolled back, failed and rolled back, reinstalled, removed,
// nothing to remove. Packages and files are real; only the window and the
// registry are fakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "wizard/InstallErrors.h"
#include "wizard/InstallJournal.h"
#include "wizard/JournalUndo.h"
#include "wizard/PackageContents.h"
#include "wizard/SetupOptions.h"
#include "wizard/Uninstaller.h"
#include "wizard/WizardTexts.h"
#include "wizard_fakes.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "wizard/Win32Text.h"
#endif

namespace setup {
namespace {

using namespace setup::test;

std::string Root() {
#ifdef _WIN32
  return "C:\\";
#else
  return "/";
#endif
}
std::string P(const std::string& relative) {
  std::string path = Root() + relative;
  std::replace(path.begin(), path.end(), '|', kSep);
  return path;
}

TJournalRecord R(JournalKind kind, std::string path, std::string root = "", int64_t size = -1,
                 uint32_t crc = 0) {
  TJournalRecord r;
  r.kind = kind;
  r.path = std::move(path);
  r.root = std::move(root);
  r.size = size;
  r.crc = crc;
  return r;
}

std::string Describe(const TJournalRecord& r) {
  return std::to_string(static_cast<int>(r.kind)) + " " + r.root + " " + r.path + " " +
         std::to_string(r.size) + " " + std::to_string(r.crc);
}
std::vector<std::string> Describe(const std::vector<TJournalRecord>& records) {
  std::vector<std::string> out;
  for (const auto& r : records) out.push_back(Describe(r));
  return out;
}

// ---- the journal ------------------------------------------------------------------

TEST(InstallJournal, SavedAndReadBack) {
  const TProductInfo product{"setup", "Бухгалтерия 1.0", P("Apps|Книга|"), "en",
                             "{1F2E3D4C-0000-4000-8000-00000000ABCD}", "2.1.0"};
  const std::vector<TJournalRecord> records = {
      R(JournalKind::Folder, P("Apps|Книга")),
      R(JournalKind::File, P("Apps|Книга|prog.exe"), "", 50000, 0xDEADBEEF),
      R(JournalKind::File, P("Apps|Книга|empty.txt"), "", 0, 0),
      R(JournalKind::Group, P("Menu|setup")),
      R(JournalKind::Link, P("Menu|setup|prog.lnk")),
      R(JournalKind::Registry, UninstallKeyFor(product.id), "HKLM"),
  };
  // Paths travel in the ANSI code page, the file holds UTF-8.
  std::vector<TJournalRecord> ansi = records;
  for (auto& r : ansi) r.path = zf::os::Utf8ToAnsi(r.path);
  TProductInfo ansiProduct = product;
  ansiProduct.location = zf::os::Utf8ToAnsi(product.location);
  const std::string text = SerializeJournal(ansiProduct, ansi);
  EXPECT_TRUE(text.starts_with("zfsetup journal\t1\r\n")) << text;
  TProductInfo back;
  const auto parsed = ParseJournal(text, back);
  ASSERT_TRUE(parsed) << text;
  EXPECT_EQ(Describe(*parsed), Describe(ansi));
  EXPECT_EQ(back.baseName, "setup");
  EXPECT_EQ(back.displayName, "Бухгалтерия 1.0");
  EXPECT_EQ(back.location, ansiProduct.location);
  EXPECT_EQ(back.language, "en");
  // A setting a later version adds is skipped; a journal without the
  // language (made before it was recorded) reads as before.
  std::string later = text;
  later.insert(later.find("folder\t"), "setting\tcolour\tblue\r\n");
  ASSERT_TRUE(ParseJournal(later, back));
  EXPECT_EQ(back.language, "en");
  EXPECT_EQ(back.id, "{1F2E3D4C-0000-4000-8000-00000000ABCD}");
  EXPECT_EQ(back.version, "2.1.0");
  // A journal without language, id and version (made before they were
  // recorded): no language, the base name is the id, no version.
  ansiProduct.language.clear(), ansiProduct.id = "setup", ansiProduct.version.clear();
  ansi.back().path = UninstallKeyFor("setup");
  ASSERT_TRUE(ParseJournal(SerializeJournal(ansiProduct, ansi), back));
  EXPECT_EQ(back.language, "");
  EXPECT_EQ(back.id, "setup");
  EXPECT_EQ(back.version, "");
}

TEST(InstallJournal, ReadingRefusesWhatReachesOutsideTheProduct) {
  const std::string head = "zfsetup journal\t1\r\nproduct\tsetup\tName\t" + P("Apps|Prod|") +
                           "\r\ngroup\t" + P("Menu|setup") + "\r\n";
  struct Case {
    const char* what;
    std::string text;
    bool good;
  };
  const Case cases[] = {
      {"its own files, folders and parents",
       head + "folder\t" + P("Apps") + "\r\nfolder\t" + P("Apps|Prod|sub") + "\r\nfile\t" +
           P("Apps|Prod|a.txt") + "\t1\t0000ABCD\r\nlink\t" + P("Menu|setup|a.lnk") + "\r\n",
       true},
      {"no journal", "hello\r\n", false},
      {"another version", "zfsetup journal\t2\r\nproduct\tsetup\tN\t" + P("Apps|") + "\r\n", false},
      {"an id that is no key's name", head + "setting\tid\ta\\b\r\n", false},
      {"a file elsewhere", head + "file\t" + P("Windows|system.ini") + "\t1\t00000000\r\n", false},
      {"a file in a sibling", head + "file\t" + P("Apps|Product|a") + "\t1\t00000000\r\n", false},
      {"a climbing file", head + "file\t" + P("Apps|Prod|..|..|boot.ini") + "\t1\t00000000\r\n",
       false},
      {"a relative file", head + "file\tProd" + std::string(1, kSep) + "a\t1\t00000000\r\n", false},
      {"a folder elsewhere", head + "folder\t" + P("Users") + "\r\n", false},
      {"a link outside the group", head + "link\t" + P("Desktop|a.lnk") + "\r\n", false},
      {"a link in a group made before", head + "link\t" + P("Other|setup|a.lnk") + "\r\n", true},
      {"no link", head + "link\t" + P("Other|setup|a.exe") + "\r\n", false},
      {"the desktop shortcut", head + "desktop\t" + P("Desktop|Prod.lnk") + "\r\n", true},
      {"a desktop file", head + "desktop\t" + P("Desktop|notes.txt") + "\r\n", false},
      {"another product's key",
       head + "registry\tHKLM\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\other\r\n",
       false},
      {"an odd root", head + "registry\tHKCR\t" + UninstallKeyFor("setup") + "\r\n", false},
      {"a broken checksum", head + "file\t" + P("Apps|Prod|a") + "\t1\tXYZ\r\n", false},
      {"an unknown record", head + "service\tx\r\n", false},
  };
  for (const auto& c : cases) {
    TProductInfo product;
    EXPECT_EQ(ParseJournal(c.text, product).has_value(), c.good) << c.what;
  }
}

TEST(InstallJournal, ReinstallMergesWithoutDuplicates) {
  TInstallJournal journal;
  journal.SetPrevious({R(JournalKind::Folder, P("Prod")), R(JournalKind::File, P("Prod|a"), "", 1, 1),
                       R(JournalKind::File, P("Prod|old"), "", 2, 2),
                       R(JournalKind::Registry, UninstallKeyFor("setup"), "HKLM")});
  journal.AddFile(P("Prod|a"), "backup-1");  // written again
  journal.SetFingerprint(P("Prod|a"), 10, 10);
  journal.AddFile(P("Prod|new"), "");
  journal.SetFingerprint(P("Prod|new"), 3, 3);
  journal.AddRegistry("HKLM", UninstallKeyFor("setup"), false);
  EXPECT_EQ(Describe(journal.Product()),
            Describe({R(JournalKind::Folder, P("Prod")), R(JournalKind::File, P("Prod|a"), "", 10, 10),
                      R(JournalKind::File, P("Prod|old"), "", 2, 2),
                      R(JournalKind::Registry, UninstallKeyFor("setup"), "HKLM"),
                      R(JournalKind::File, P("Prod|new"), "", 3, 3)}));
  // A key that was there before the run is no run's to delete.
  for (const auto& r : journal.RunToUndo()) EXPECT_NE(r.kind, JournalKind::Registry);
}

// ---- rollback and uninstall -------------------------------------------------------------

struct RecordingActions : IJournalActions {
  std::vector<std::string> calls;
  std::vector<std::string> unchanged;  // files FileUnchanged answers true for
  bool fail = false;
  bool RemoveFile(const std::string& p) override { return Call("remove " + p); }
  bool RestoreFile(const std::string& b, const std::string& p) override {
    return Call("restore " + p + " from " + b);
  }
  bool RemoveFolderIfEmpty(const std::string& p) override { return Call("rmdir " + p); }
  bool RemoveUninstallEntry(const std::string& root, const std::string& key) override {
    return Call("unregister " + root + " " + key);
  }
  bool FileUnchanged(const std::string& p, int64_t, uint32_t) override {
    return std::find(unchanged.begin(), unchanged.end(), p) != unchanged.end();
  }
  bool Call(const std::string& what) {
    calls.push_back(what);
    return !fail;
  }
};

TEST(InstallRollback, UndoesTheRunNewestFirst) {
  TInstallJournal run;
  run.AddFolder(P("Prod"));
  run.AddFile(P("Prod|new.txt"), "");
  run.AddFile(P("Prod|old.txt"), "B1");
  run.AddGroup(P("Menu|setup"));
  run.AddLink(P("Menu|setup|a.lnk"), "");
  run.AddLink(P("Menu|setup|b.lnk"), "B2");
  run.AddRegistry("HKCU", "Key", true);
  RecordingActions actions;
  std::vector<std::string> report;
  EXPECT_EQ(RollBack(run.RunToUndo(), actions, [&](const std::string& l) { report.push_back(l); }),
            0);
  EXPECT_EQ(actions.calls, (std::vector<std::string>{
                               "unregister HKCU Key", "restore " + P("Menu|setup|b.lnk") + " from B2",
                               "remove " + P("Menu|setup|a.lnk"), "rmdir " + P("Menu|setup"),
                               "restore " + P("Prod|old.txt") + " from B1",
                               "remove " + P("Prod|new.txt"), "rmdir " + P("Prod")}));
  EXPECT_EQ(report.size(), actions.calls.size());

  // Every step is tried even when the ones before failed; folders that stay
  // (not empty) are no failure.
  RecordingActions failing;
  failing.fail = true;
  EXPECT_EQ(RollBack(run.RunToUndo(), failing, [](const std::string&) {}), 5);
  EXPECT_EQ(failing.calls.size(), 7u);
}

TEST(InstallRollback, UninstallKeepsChangedFilesAndSkipsItsOwn) {
  TempDir dir;
  for (const char* name : {"same.txt", "changed.txt", "uninstall.exe"})
    zf::test::WriteFile(dir / name, "x");
  const std::vector<TJournalRecord> records = {
      R(JournalKind::Folder, zf::RemoveTrailingDelimiter(dir.Path())),
      R(JournalKind::File, dir / "same.txt", "", 1, 0),
      R(JournalKind::File, dir / "changed.txt", "", 1, 0),
      R(JournalKind::File, dir / "gone.txt", "", 1, 0),  // removed by the user: nothing to do
      R(JournalKind::File, dir / "uninstall.exe", "", 1, 0),
      R(JournalKind::Registry, "Key", "HKLM")};
  RecordingActions actions;
  actions.unchanged = {dir / "same.txt", dir / "uninstall.exe"};
  int kept = 0;
  Uninstall(records, {dir / "uninstall.exe"}, actions, [](const std::string&) {}, kept);
  EXPECT_EQ(actions.calls, (std::vector<std::string>{"unregister HKLM Key",
                                                     "remove " + (dir / "same.txt"),
                                                     "rmdir " + zf::RemoveTrailingDelimiter(dir.Path())}));
  EXPECT_EQ(kept, 1);  // changed.txt (the folder "removal" is the fake's success)
}

// ---- switches ------------------------------------------------------------------------

TEST(SetupSwitches, ReadAsPeopleKnowThem) {
  struct Case {
    std::vector<std::string> args;
    SwitchSet set;
    bool ok;
    std::string bad;
  };
  const Case cases[] = {
      {{}, SwitchSet::Setup, true, ""},
      {{"/silent", "/SuppressMsgBoxes", "/DIR=C:\\My Prod", "/noicons", "/Log=C:\\l og.txt"},
       SwitchSet::Setup, true, ""},
      {{"/VERYSILENT", "/?"}, SwitchSet::Setup, true, ""},
      {{"/DIR="}, SwitchSet::Setup, false, "/DIR="},
      {{"/SILENT", "/QUIET"}, SwitchSet::Setup, false, "/QUIET"},
      {{"/SILENTLY"}, SwitchSet::Setup, false, "/SILENTLY"},
      {{"C:\\folder"}, SwitchSet::Setup, false, "C:\\folder"},
      {{"/ZF-CLEANUP-AFTER=12"}, SwitchSet::Setup, false, "/ZF-CLEANUP-AFTER=12"},
      {{"/VERYSILENT", "/SUPPRESSMSGBOXES", "/LOG=u.log"}, SwitchSet::Uninstaller, true, ""},
      {{"/DIR=C:\\x"}, SwitchSet::Uninstaller, false, "/DIR=C:\\x"},
      {{"/NOICONS"}, SwitchSet::Uninstaller, false, "/NOICONS"},
      {{"/ZF-CLEANUP-AFTER=x"}, SwitchSet::Uninstaller, false, "/ZF-CLEANUP-AFTER=x"},
      {{"/LANG=en", "/lang=RU"}, SwitchSet::Setup, true, ""},
      {{"/LANG=en"}, SwitchSet::Uninstaller, true, ""},
      {{"/LANG=de"}, SwitchSet::Setup, false, "/LANG=de"},
      {{"/LANG="}, SwitchSet::Setup, false, "/LANG="},
      {{"/RUN", "/desktop", "/NoDesktop", "/ALLUSERS", "/CurrentUser"}, SwitchSet::Setup, true, ""},
      {{"/RUN"}, SwitchSet::Uninstaller, false, "/RUN"},
      {{"/ALLUSERS"}, SwitchSet::Uninstaller, false, "/ALLUSERS"},
      {{"/ZF-ELEVATED"}, SwitchSet::Uninstaller, true, ""},
  };
  for (const auto& c : cases) {
    TSetupOptions options;
    std::string bad;
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    EXPECT_EQ(ParseSwitches(c.args, c.set, options, bad), c.ok);
    EXPECT_EQ(bad, c.bad);
  }
  TSetupOptions o;
  std::string bad;
  ASSERT_TRUE(ParseSwitches({"/silent", "/SuppressMsgBoxes", "/DIR=C:\\My Prod", "/noicons",
                             "/LOG=l.txt"},
                            SwitchSet::Setup, o, bad));
  EXPECT_TRUE(o.silent && o.suppressMsgBoxes && o.noIcons && o.Unattended() && o.SuppressBoxes());
  EXPECT_FALSE(o.verySilent);
  EXPECT_EQ(o.dir, "C:\\My Prod");
  EXPECT_EQ(o.logFile, "l.txt");
  EXPECT_EQ(o.language, std::nullopt);
  ASSERT_TRUE(ParseSwitches({"/LANG=ru", "/LANG=En"}, SwitchSet::Setup, o, bad));
  EXPECT_EQ(o.language, Language::English);  // the last one counts
  // Message boxes give way only in a silent run.
  TSetupOptions interactive;
  ASSERT_TRUE(ParseSwitches({"/SUPPRESSMSGBOXES"}, SwitchSet::Setup, interactive, bad));
  EXPECT_FALSE(interactive.SuppressBoxes());
  TSetupOptions cleanUp;
  ASSERT_TRUE(ParseSwitches({"/ZF-CLEANUP-AFTER=4242", "/ZF-CLEANUP-FILE=C:\\P\\uninstall.exe",
                             "/ZF-CLEANUP-FOLDERS-TO=C:\\P"},
                            SwitchSet::Uninstaller, cleanUp, bad));
  EXPECT_EQ(cleanUp.cleanUpAfter, 4242u);
  EXPECT_EQ(cleanUp.cleanUpFile, "C:\\P\\uninstall.exe");
  EXPECT_EQ(cleanUp.cleanUpFoldersTo, "C:\\P");
  // The elevated copy reads back what this run was told, and knows itself.
  for (const SwitchSet set : {SwitchSet::Setup, SwitchSet::Uninstaller}) {
    TSetupOptions given, copy;
    const std::vector<std::string> args =
        set == SwitchSet::Setup
            ? std::vector<std::string>{"/SILENT", "/LANG=en", "/LOG=C:\\l og.txt",
                                       "/DIR=C:\\My Prod\\", "/NOICONS", "/RUN", "/NODESKTOP",
                                       "/CURRENTUSER"}
            : std::vector<std::string>{"/VERYSILENT", "/SUPPRESSMSGBOXES", "/LANG=ru"};
    ASSERT_TRUE(ParseSwitches(args, set, given, bad));
    std::vector<std::string> want = args;
    want.push_back(kElevatedSwitch);
    EXPECT_EQ(ElevatedSwitches(given, set), want);
    ASSERT_TRUE(ParseSwitches(ElevatedSwitches(given, set), set, copy, bad));
    EXPECT_TRUE(copy.elevatedCopy && copy.dir == given.dir && copy.desktop == given.desktop &&
                copy.scope == given.scope && copy.run == given.run);
  }
}

#ifdef _WIN32
// The system splits the command line: a quoted value and a quoted switch
// arrive as the same argument.
TEST(SetupSwitches, QuotedValueOrQuotedSwitchReadTheSame) {
  for (const wchar_t* line : {L"setup.exe /DIR=\"C:\\My Prod\" /silent",
                              L"setup.exe \"/DIR=C:\\My Prod\" /silent"}) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line, &count);
    ASSERT_NE(argv, nullptr);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(win32::Narrow(argv[i]));
    LocalFree(argv);
    TSetupOptions options;
    std::string bad;
    ASSERT_TRUE(ParseSwitches(args, SwitchSet::Setup, options, bad)) << bad;
    EXPECT_EQ(options.dir, "C:\\My Prod");
    EXPECT_TRUE(options.silent);
  }
}
#endif

// ---- shortcut names and sizes -------------------------------------------------------------

TEST(ShortcutNames, NoShortcutReplacesAnother) {
  struct Case {
    std::vector<std::string> targets;
    std::vector<std::string> links;
  };
  const Case cases[] = {
      {{"prog.exe", "prog.hlp"}, {"prog.lnk", "prog.hlp.lnk"}},
      {{"prog.hlp", "prog.exe"}, {"prog.hlp.lnk", "prog.lnk"}},  // the program keeps its name
      {{"readme.htm", "readme.txt"}, {"readme.lnk", "readme.txt.lnk"}},
      {{"a.hlp", "Prog.exe", "README.TXT"}, {"a.lnk", "Prog.lnk", "README.lnk"}},
      {{"Prog.exe", "prog.exe"}, {"Prog.lnk"}},  // one file listed by two masks
      {{"x.hlp", "x.hlp.exe", "x.exe"}, {"x.hlp (2).lnk", "x.hlp.lnk", "x.lnk"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> links;
    for (const auto& n : LinkNamesFor(c.targets)) links.push_back(n.link);
    EXPECT_EQ(links, c.links) << c.targets[0];
  }
}

const TWizardTexts& kRu = TextsFor(Language::Russian);
const TWizardTexts& kEn = TextsFor(Language::English);

TEST(DiskSpace, NeedsWholeClustersAndReadsInEachLanguage) {
  const std::vector<TPackageEntry> entries = {
      {"a", 1, 0, false}, {"b", 4096, 0, false}, {"c", 4097, 0, false}, {"d", 0, 0, false},
      {"dir", 0, 0, true}};
  EXPECT_EQ(RequiredBytes(entries, 10), 4096 + 4096 + 8192 + 4096);
  const std::tuple<int64_t, Rounding, std::string, std::string> sizes[] = {
      {0, Rounding::Up, "0 байт", "0 bytes"},
      {1023, Rounding::Up, "1023 байт", "1023 bytes"},
      {1536, Rounding::Up, "1,5 КБ", "1.5 KB"},
      {1537, Rounding::Up, "1,6 КБ", "1.6 KB"},
      {1537, Rounding::Down, "1,5 КБ", "1.5 KB"},
      {5 << 20, Rounding::Down, "5,0 МБ", "5.0 MB"},
      {(3LL << 30) / 2, Rounding::Up, "1,5 ГБ", "1.5 GB"}};
  for (const auto& [bytes, rounding, ru, en] : sizes) {
    EXPECT_EQ(SizeText(bytes, rounding, kRu), ru) << bytes;
    EXPECT_EQ(SizeText(bytes, rounding, kEn), en) << bytes;
  }
}

// ---- failure causes --------------------------------------------------------------------------

TEST(InstallErrors, EachEngineCauseHasItsBoxLine) {
  using enum zf::TZFCause;
  struct Case {
    zf::TZFCause engine;
    FailureCause shown;
    std::string_view firstLine;
  };
  const Case cases[] = {
      {DiskFull, FailureCause::NoSpace, kRu.causeNoSpace},
      {AccessDenied, FailureCause::AccessDenied, kRu.causeAccessDenied},
      {CrcMismatch, FailureCause::Damaged, kRu.causeDamaged},
      {SizeMismatch, FailureCause::Damaged, kRu.causeDamaged},
      {Truncated, FailureCause::Damaged, kRu.causeDamaged},
      {DamagedData, FailureCause::Damaged, kRu.causeDamaged},
      {Overlap, FailureCause::Damaged, kRu.causeDamaged},
      {UnsupportedMethod, FailureCause::Damaged, kRu.causeDamaged},
      {AuthenticationFailed, FailureCause::Damaged, kRu.causeDamaged},
      {WrongPassword, FailureCause::WrongPassword, kRu.causeWrongPassword},
      {Skipped, FailureCause::WrongPassword, kRu.causeWrongPassword},
      {IoError, FailureCause::CannotWrite, kRu.causeCannotWrite},
      {SystemError, FailureCause::CannotWrite, kRu.causeCannotWrite},
      {FolderInTheWay, FailureCause::CannotWrite, kRu.causeCannotWrite},
      {Cancelled, FailureCause::Other, kRu.causeOther},
      {None, FailureCause::Other, kRu.causeOther},
  };
  const std::string message = "Invalid size - Native error: 00008";
  for (const Case& c : cases) {
    SCOPED_TRACE(zf::CauseName(c.engine));
    zf::TZFErrorDetail detail;
    detail.Cause = c.engine;
    detail.EntryOffset = 1234;
    const TInstallFailure failure = EngineFailure("big.bin", message, detail);
    EXPECT_EQ(failure.cause, c.shown);
    // The line in the user's language, then the engine's message with its
    // native code and the cause's detail, for support.
    const std::string box = FailureBoxText(failure, kRu);
    EXPECT_EQ(box.substr(0, box.find('\n')), std::string(c.firstLine) + ": \"big.bin\".");
    EXPECT_EQ(box.substr(box.find('\n') + 1), zf::AppendDetail(message, detail));
    EXPECT_EQ(FailureLogText(failure).substr(0, 9 + std::string(zf::CauseName(c.engine)).size()),
              "big.bin: " + std::string(zf::CauseName(c.engine)));
  }
}

TEST(InstallErrors, FailuresOutsideTheEngineRunKeepTheirCause) {
#ifdef _WIN32
  const int32_t full = 112, denied = 5, other = 87;  // ERROR_INVALID_PARAMETER
#else
  const int32_t full = 28, denied = 13, other = 22;  // EINVAL
#endif
  // A folder or file the wizard itself could not make: the system's code.
  EXPECT_EQ(SystemFailure("C:\\Prod", full).cause, FailureCause::NoSpace);
  EXPECT_EQ(SystemFailure("C:\\Prod", denied).cause, FailureCause::AccessDenied);
  EXPECT_EQ(SystemFailure("C:\\Prod", other).cause, FailureCause::CannotWrite);
  EXPECT_EQ(SystemFailure("C:\\Prod", full).detail, zf::os::AnsiToUtf8(zf::os::ErrorText(full)));
  // An exception that ended the install: the engine's detail, a file that
  // could not be opened with its system code.
  zf::TZFErrorDetail detail;
  detail.Cause = zf::TZFCause::DiskFull;
  const TInstallFailure engine =
      FailureOf(zf::EZFException(zf::neExtractFailed, nullptr).WithDetail(detail), kRu);
  EXPECT_EQ(engine.cause, FailureCause::NoSpace);
  EXPECT_NE(engine.detail.find("Native error: 00008 (disk full"), std::string::npos) << engine.detail;
  EXPECT_EQ(FailureOf(zf::EZFException(zf::neExtractFailed, nullptr), kRu).cause,
            FailureCause::Other);
  EXPECT_EQ(FailureOf(zf::EFOpenError("Cannot create file", denied), kRu).cause,
            FailureCause::AccessDenied);
  EXPECT_EQ(FailureOf(zf::EWriteError("Stream write error"), kRu).cause,
            FailureCause::CannotWrite);
  EXPECT_EQ(FailureBoxText({FailureCause::AccessDenied, "", ""}, kRu),
            "Нет доступа к файлу или папке.");
  EXPECT_EQ(FailureBoxText({FailureCause::AccessDenied, "", ""}, kEn),
            "Access to the file or folder was denied.");
  // The wizard's own error, told in the box's language.
  const TInstallFailure own = FailureOf(EWizardError(&TWizardTexts::noTempFolder), kEn);
  EXPECT_EQ(own.detail, kEn.noTempFolder);
}

// ---- the controller's runs -----------------------------------------------------------------

// The disk reports `bytes` free while the object lives.
struct FreeSpace {
  explicit FreeSpace(int64_t bytes) {
    zf::os::SetDiskFreeHookForTests([bytes](const std::string&) { return bytes; });
  }
  ~FreeSpace() { zf::os::SetDiskFreeHookForTests({}); }
};

std::vector<TJournalRecord> SavedJournal(const Wizard& w) {
  TProductInfo product;
  const auto records = ParseJournal(zf::test::ReadFile(w.InstallDir() + "uninstall.dat"), product);
  EXPECT_TRUE(records);
  EXPECT_EQ(product.location, w.InstallDir());
  return records.value_or(std::vector<TJournalRecord>{});
}

bool Has(const std::vector<TJournalRecord>& records, JournalKind kind, const std::string& path) {
  return std::any_of(records.begin(), records.end(), [&](const TJournalRecord& r) {
    return r.kind == kind && r.path == path;
  });
}

// Nothing of the product anywhere: no folder, no group, no entry, no backup.
void ExpectNothingLeft(const Wizard& w) {
  EXPECT_FALSE(zf::os::DirectoryExists(w.dir.Path() + "Program Files"));
  EXPECT_FALSE(zf::os::DirectoryExists(w.Group()));
  EXPECT_TRUE(w.shell.registry.empty());
  for (const auto& temp : w.shell.tempFolders) EXPECT_FALSE(zf::os::DirectoryExists(temp)) << temp;
}

TEST(InstallRun, TheJournalNamesEverythingInstalled) {
  Wizard w;
  w.Package(ProductPackage());
  w.Install();
  ASSERT_EQ(w.form.ExitCode(), kExitDone);
  const auto records = SavedJournal(w);
  const std::string dir = w.InstallDir();
  // The program-files folder did not exist either: both are the install's.
  EXPECT_TRUE(Has(records, JournalKind::Folder, w.dir.Path() + "Program Files"));
  EXPECT_TRUE(Has(records, JournalKind::Folder, zf::RemoveTrailingDelimiter(dir)));
  EXPECT_TRUE(Has(records, JournalKind::Folder, dir + "tools"));
  for (const char* name : {"Prog.exe", "a.hlp", "readme.txt", "data.dat"})
    EXPECT_TRUE(Has(records, JournalKind::File, dir + name)) << name;
  const auto prog = std::find_if(records.begin(), records.end(), [&](const TJournalRecord& r) {
    return r.path == dir + "Prog.exe";
  });
  ASSERT_NE(prog, records.end());
  EXPECT_EQ(prog->size, 50000);
  EXPECT_EQ(prog->crc, zf::test::Crc32Of(zf::test::NoiseBytes(50000)));
  const std::string group = CollapseSeparators(w.Group());
  EXPECT_TRUE(Has(records, JournalKind::Group, group));
  EXPECT_TRUE(Has(records, JournalKind::Link, group + kSep + "Prog.lnk"));
  EXPECT_TRUE(Has(records, JournalKind::Registry, UninstallKeyFor("setup")));
  // Neither the configuration copies nor the uninstaller's own files.
  for (const char* name : {"setup.ins", "iconsetup.bmp", "uninstall.exe", "uninstall.dat"})
    EXPECT_FALSE(Has(records, JournalKind::File, dir + name)) << name;
  // The backups' folder went with the run.
  for (const auto& temp : w.shell.tempFolders) EXPECT_FALSE(zf::os::DirectoryExists(temp));
}

TEST(InstallRun, CancelYesStopsAfterTheCurrentEntryAndRollsEverythingBack) {
  Wizard w;
  w.Package(ProductPackage());
  std::vector<std::string> shown;
  w.view.onProcessMessages = [&] {
    if (w.view.page != 2) return;
    shown.push_back(w.view.labels[TaFormLabel::Label8]);
    if (shown.back() == "data.dat" && w.view.questions.empty()) w.form.Button3Click();
  };
  w.Install();
  EXPECT_EQ(w.view.questions, std::vector<std::string>{"Прервать установку?"});
  EXPECT_EQ(w.form.ExitCode(), kExitCancelled);
  EXPECT_EQ(w.view.closed, 1);
  EXPECT_TRUE(w.view.errorBoxes.empty());
  // The entry after data.dat never started; no shortcut was made.
  EXPECT_EQ(std::find(shown.begin(), shown.end(), "inner.exe"), shown.end());
  EXPECT_TRUE(w.shell.links.empty());
  ExpectNothingLeft(w);
}

TEST(InstallRun, CancelNoGoesOnAndTheCloseBoxAsksToo) {
  Wizard w;
  w.Package(ProductPackage());
  w.view.answer = false;
  w.view.onProcessMessages = [&] {
    if (w.view.page == 2 && w.view.questions.empty()) w.form.RequestClose();
  };
  w.Install();
  EXPECT_EQ(w.view.questions.size(), 1u);
  EXPECT_EQ(w.form.ExitCode(), kExitDone);
  EXPECT_EQ(w.view.page, 3);
  EXPECT_TRUE(zf::os::FileExists(w.InstallDir() + "tools" + kSep + "inner.exe"));
}

// ProductPackage with one more entry at its end.
ZipBuilder PackageEndingWith(ZipEntry last) { return ProductPackage().Add(std::move(last)); }

TEST(InstallRun, AFailedInstallShowsItsCauseAndLeavesNothing) {
  ZipEntry damaged = Encrypted("zz-last.dat", "the last entry's data, long enough to deflate");
  // Another checksum than the data's, the high byte kept (the encryption
  // header's check byte comes from it).
  damaged.crc = zf::test::Crc32Of(damaged.data) ^ 0x1;
  ZipEntry otherPassword = Encrypted("zz-last.dat", "data");
  otherPassword.password = "not the package's password";
  struct Case {
    const char* what;
    ZipEntry last;
    std::string box;
  };
  const Case cases[] = {
      {"damaged entry", damaged, "Пакет установки повреждён: \"zz-last.dat\".\n"},
      {"wrong password", otherPassword, "Неверный пароль пакета установки: \"zz-last.dat\"."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Wizard w;
    w.Package(PackageEndingWith(c.last));
    w.Install();
    EXPECT_EQ(w.form.ExitCode(), kExitFailed);
    ASSERT_EQ(w.view.errorBoxes.size(), 1u);
    EXPECT_TRUE(w.view.errorBoxes[0].starts_with(c.box)) << w.view.errorBoxes[0];
    EXPECT_EQ(w.view.closed, 1);
    ExpectNothingLeft(w);
  }
#ifndef _WIN32
  {
    // The disk takes no file past 200 KB: the last entry, larger, fails as
    // a full disk, never as a damaged package, and the box says so.
    SCOPED_TRACE("disk full");
    Wizard w;
    w.Package(PackageEndingWith(Encrypted("zz-last.dat", zf::test::NoiseBytes(300000))));
    {
      const zf::test::FileSizeLimit full(200000);
      ASSERT_TRUE(full.Active());
      w.Install();
    }
    EXPECT_EQ(w.form.ExitCode(), kExitFailed);
    ASSERT_EQ(w.view.errorBoxes.size(), 1u);
    const std::string& box = w.view.errorBoxes[0];
    EXPECT_TRUE(box.starts_with("Недостаточно места на диске: \"zz-last.dat\".\n")) << box;
    EXPECT_NE(box.find("(disk full: "), std::string::npos) << box;
    ExpectNothingLeft(w);
  }
#endif
  // The engine's message with its native code on the second line.
  Wizard w;
  w.Package(PackageEndingWith(damaged));
  w.Install();
  ASSERT_EQ(w.view.errorBoxes.size(), 1u);
  EXPECT_NE(w.view.errorBoxes[0].find("\nZipArchiver1: "), std::string::npos);
  EXPECT_NE(w.view.errorBoxes[0].find("Native error: 00008"), std::string::npos);
}

TEST(InstallRun, AFailedInstallRestoresTheFilesItReplaced) {
  Wizard w;
  const std::string dir = w.InstallDir();
  ASSERT_TRUE(zf::os::ForceDirectories(dir + "tools"));
  zf::test::WriteFile(dir + "Prog.exe", "the old program");
  zf::os::SetAttributes(dir + "Prog.exe", zf::os::faReadOnly);
  zf::test::WriteFile(dir + "tools" + kSep + "inner.exe", "old inner");
  zf::test::WriteFile(dir + "notes.txt", "the user's own");
  ZipEntry damaged = Encrypted("zz-last.dat", "data");
  damaged.crc = zf::test::Crc32Of(damaged.data) ^ 0x1;
  w.Package(PackageEndingWith(damaged));
  w.Install();
  EXPECT_EQ(w.form.ExitCode(), kExitFailed);
  EXPECT_EQ(zf::test::ReadFile(dir + "Prog.exe"), "the old program");
  EXPECT_TRUE(zf::os::GetAttributes(dir + "Prog.exe") & zf::os::faReadOnly);
  EXPECT_EQ(zf::test::ReadFile(dir + "tools" + kSep + "inner.exe"), "old inner");
  EXPECT_EQ(zf::test::ReadFile(dir + "notes.txt"), "the user's own");
  EXPECT_FALSE(zf::os::FileExists(dir + "a.hlp"));
  EXPECT_FALSE(zf::os::FileExists(dir + "uninstall.exe"));
  std::vector<zf::os::DirEntry> entries;
  ASSERT_TRUE(zf::os::ListDirectory(dir, entries));
  EXPECT_EQ(entries.size(), 3u);  // Prog.exe, tools, notes.txt
}

TEST(InstallRun, AnEntryThatCannotBeRegisteredRollsBackTheUninstallerToo) {
  Wizard w;
  w.shell.registryFails = true;
  w.Package(ProductPackage());
  w.Install();
  EXPECT_EQ(w.form.ExitCode(), kExitFailed);
  ASSERT_EQ(w.view.errorBoxes.size(), 1u);
  EXPECT_EQ(w.view.errorBoxes[0], "Ошибка установки.\nCannot write the uninstall entry");
  ExpectNothingLeft(w);
}

TEST(InstallRun, ReinstallUpdatesTheJournalAndTheEntryWithoutDuplicates) {
  Wizard w;
  w.Package(ProductPackage().Add(Encrypted("only-in-1.txt", "one")));
  w.Install();
  ASSERT_EQ(w.form.ExitCode(), kExitDone);
  const auto first = SavedJournal(w);

  // A second run of the wizard in the same world, with a newer package.
  FakeView view2;
  TaForm form2(view2, w.shell);
  w.Package(ProductPackage().Add(Encrypted("new.txt", "2")));
  form2.FormCreate();
  form2.Button1Click();
  form2.Button1Click();
  ASSERT_EQ(form2.ExitCode(), kExitDone);
  EXPECT_EQ(w.shell.registry.size(), 1u);
  const auto second = SavedJournal(w);
  std::vector<std::string> keys;
  for (const auto& r : second) keys.push_back(std::to_string(int(r.kind)) + r.root + r.path);
  std::vector<std::string> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "duplicates";
  // What the first install made stays listed, with the new fingerprints.
  EXPECT_TRUE(Has(second, JournalKind::File, w.InstallDir() + "only-in-1.txt"));
  EXPECT_TRUE(Has(second, JournalKind::File, w.InstallDir() + "new.txt"));
  EXPECT_GT(second.size(), first.size());
}

// Uninstaller boxes that answer as told and keep what they showed.
struct FakeBoxes : IUninstallerBoxes {
  bool answer = true;
  std::vector<std::string> questions, messages, errors;
  std::vector<std::string> titles;
  bool AskYesNo(const std::string& title, const std::string& t) override {
    titles.push_back(title);
    questions.push_back(t);
    return answer;
  }
  void ShowMessage(const std::string& title, const std::string& t) override {
    titles.push_back(title);
    messages.push_back(t);
  }
  void ShowError(const std::string& title, const std::string& t) override {
    titles.push_back(title);
    errors.push_back(t);
  }
};

// The product installed, and the shell's program now its uninstaller.
void InstallAndRunAsUninstaller(Wizard& w) {
  w.Package(ProductPackage());
  w.Install();
  ASSERT_EQ(w.form.ExitCode(), kExitDone);
  w.shell.exePath = w.InstallDir() + "uninstall.exe";
}

TEST(Uninstall, RemovesWhatWasInstalledAndKeepsWhatTheUserMade) {
  Wizard w;
  w.Package(ProductPackage());
  w.Install();
  ASSERT_EQ(w.form.ExitCode(), kExitDone);
  const std::string dir = w.InstallDir();
  zf::test::WriteFile(dir + "my notes.txt", "the user's");
  zf::test::WriteFile(dir + "readme.txt", "edited by the user");
  zf::os::SetAttributes(dir + "Prog.exe", zf::os::faReadOnly);  // installed read-only

  w.shell.exePath = dir + "uninstall.exe";
  FakeBoxes boxes;
  TUninstaller uninstaller(w.shell, boxes, {});
  EXPECT_EQ(uninstaller.Run(), kExitDone);
  EXPECT_EQ(boxes.questions,
            std::vector<std::string>{"Удалить программу \"Бухгалтерия 1.0\" со всеми её компонентами?"});
  ASSERT_EQ(boxes.messages.size(), 1u);
  EXPECT_TRUE(boxes.messages[0].starts_with("Программа \"Бухгалтерия 1.0\" удалена.\nФайлы,"));
  for (const char* gone : {"Prog.exe", "a.hlp", "data.dat", "uninstall.dat"})
    EXPECT_FALSE(zf::os::FileExists(dir + gone)) << gone;
  EXPECT_FALSE(zf::os::DirectoryExists(dir + "tools"));
  EXPECT_EQ(zf::test::ReadFile(dir + "readme.txt"), "edited by the user");
  EXPECT_TRUE(zf::os::FileExists(dir + "my notes.txt"));
  EXPECT_FALSE(zf::os::DirectoryExists(w.Group()));
  EXPECT_TRUE(w.shell.registry.empty());
  // Its own file is left to the clean-up copy, with the folders the install
  // made; they stay while the user's files are in them.
  EXPECT_TRUE(zf::os::FileExists(dir + "uninstall.exe"));
  EXPECT_EQ(uninstaller.CleanUpFile(), dir + "uninstall.exe");
  EXPECT_EQ(uninstaller.CleanUpFoldersTo(), w.dir.Path() + "Program Files");
  CleanUpAfterUninstall(uninstaller.CleanUpFile(), uninstaller.CleanUpFoldersTo());
  EXPECT_FALSE(zf::os::FileExists(dir + "uninstall.exe"));
  EXPECT_TRUE(zf::os::FileExists(dir + "my notes.txt"));
}

TEST(Uninstall, SpeaksTheLanguageOfTheInstall) {
  struct Case {
    std::optional<Language> installedIn;  // /LANG= of the install
    std::optional<Language> asked;        // /LANG= of the uninstaller
    std::string question, title;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, "Удалить программу \"Бухгалтерия 1.0\" со всеми её компонентами?",
       "Удаление программы"},
      {Language::English, std::nullopt, "Remove \"Accounts 1.0\" and all of its components?",
       "Uninstall"},
      {Language::English, Language::Russian,
       "Удалить программу \"Accounts 1.0\" со всеми её компонентами?", "Удаление программы"},
  };
  for (const Case& c : cases) {
    TSetupOptions install;
    install.language = c.installedIn;
    Wizard w("setup.exe", install);
    w.Package(ProductPackage(
        "\xEF\xBB\xBF[zel]\nlanguages=ru,en\nname=Бухгалтерия 1.0\nname.en=Accounts 1.0\n"));
    w.Install();
    ASSERT_EQ(w.form.ExitCode(), kExitDone);
    // Whatever the language of the user who removes it.
    w.shell.exePath = w.InstallDir() + "uninstall.exe";
    w.shell.uiLanguage = c.installedIn ? 0x0419 : 0x0409;
    FakeBoxes boxes;
    boxes.answer = false;
    TSetupOptions uninstall;
    uninstall.language = c.asked;
    EXPECT_EQ(TUninstaller(w.shell, boxes, uninstall).Run(), kExitCancelled);
    EXPECT_EQ(boxes.questions, std::vector<std::string>{c.question});
    EXPECT_EQ(boxes.titles, std::vector<std::string>{c.title});
  }
}

TEST(Uninstall, SilentRemovalLeavesNoFolderBehind) {
  Wizard w;
  InstallAndRunAsUninstaller(w);
  FakeBoxes boxes;
  TSetupOptions silent;
  silent.verySilent = true;
  TUninstaller uninstaller(w.shell, boxes, silent);
  EXPECT_EQ(uninstaller.Run(), kExitDone);
  EXPECT_TRUE(boxes.questions.empty() && boxes.messages.empty() && boxes.errors.empty());
  CleanUpAfterUninstall(uninstaller.CleanUpFile(), uninstaller.CleanUpFoldersTo());
  ExpectNothingLeft(w);
  EXPECT_TRUE(zf::os::DirectoryExists(w.dir.Path() + "Programs"));  // never the install's
}

TEST(Uninstall, AWholeRemovalReportsNothingKept) {
  Wizard w;
  InstallAndRunAsUninstaller(w);
  FakeBoxes boxes;
  EXPECT_EQ(TUninstaller(w.shell, boxes, {}).Run(), kExitDone);
  // The folder holds only the uninstaller itself, which the clean-up takes.
  EXPECT_EQ(boxes.messages, std::vector<std::string>{"Программа \"Бухгалтерия 1.0\" удалена."});
}

TEST(Uninstall, NothingToRemoveOrDeclined) {
  Wizard w;
  w.Package(ProductPackage());
  w.Install();
  const std::string dir = w.InstallDir();
  FakeBoxes no;
  no.answer = false;
  w.shell.exePath = dir + "uninstall.exe";
  EXPECT_EQ(TUninstaller(w.shell, no, {}).Run(), kExitCancelled);
  EXPECT_TRUE(zf::os::FileExists(dir + "Prog.exe"));
  EXPECT_EQ(w.shell.registry.size(), 1u);

  // A copy elsewhere finds no journal of its own folder.
  const std::string elsewhere = w.dir.Path() + "copy" + kSep;
  zf::os::CreateDir(elsewhere);
  ASSERT_TRUE(CopyFileReplacing(dir + "uninstall.dat", elsewhere + "uninstall.dat"));
  for (const std::string& exe : {elsewhere + "uninstall.exe", w.dir.Path() + "uninstall.exe"}) {
    FakeBoxes boxes;
    w.shell.exePath = exe;
    TUninstaller uninstaller(w.shell, boxes, {});
    EXPECT_EQ(uninstaller.Run(), kExitNothingToUninstall) << exe;
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_TRUE(boxes.errors[0].starts_with("Нечего удалять")) << boxes.errors[0];
    EXPECT_TRUE(uninstaller.CleanUpFile().empty());
  }
  EXPECT_TRUE(zf::os::FileExists(dir + "Prog.exe"));
}

TEST(Uninstall, TheDesktopShortcutGoesAndPerMachineRemovalIsElevated) {
  Wizard w;
  w.Package(ProductPackage(kConfig + "desktop=Prog.exe\r\n"));
  w.shell.shellFolders["Desktop"] = w.dir.Path() + "Desktop";
  zf::os::CreateDir(w.dir.Path() + "Desktop");
  w.Install();
  ASSERT_EQ(w.form.ExitCode(), kExitDone);
  const std::string link = zf::os::Utf8ToAnsi(w.dir.Path() + "Desktop" + kSep + "Бухгалтерия 1.0.lnk");
  ASSERT_TRUE(zf::os::FileExists(link));
  // The journal holds its paths in UTF-8, whatever the ANSI code page.
  EXPECT_NE(zf::test::ReadFile(w.InstallDir() + "uninstall.dat")
                .find("desktop\t" + zf::os::AnsiToUtf8(link)),
            std::string::npos);
  w.shell.exePath = w.InstallDir() + "uninstall.exe";

  // Without administrator rights: a copy with them does the work, this
  // one ends with its exit code.
  w.shell.userOnly = true;
  w.shell.elevatedExitCode = kExitCancelled;
  FakeBoxes boxes;
  TSetupOptions silent;
  silent.silent = true;
  EXPECT_EQ(TUninstaller(w.shell, boxes, silent).Run(), kExitCancelled);
  EXPECT_EQ(w.shell.elevatedRuns,
            (std::vector<std::vector<std::string>>{{"/SILENT", kElevatedSwitch}}));
  EXPECT_TRUE(zf::os::FileExists(link));

  silent.elevatedCopy = true;
  EXPECT_EQ(TUninstaller(w.shell, boxes, silent).Run(), kExitDone);
  EXPECT_FALSE(zf::os::FileExists(link));
  EXPECT_TRUE(w.shell.registry.empty());
}

TEST(InstallRun, DiskSpaceLinesAndTheRefusalOnPage1) {
  Wizard w;
  w.Package(ProductPackage());
  FreeSpace little(1000);
  w.form.FormCreate();
  w.form.Button1Click();
  EXPECT_EQ(w.view.labels[TaFormLabel::Label13].rfind("Требуется на диске: ", 0), 0u);
  EXPECT_EQ(w.view.labels[TaFormLabel::Label14], "Свободно на диске: 1000 байт");
  EXPECT_GT(w.form.RequiredSpace(), 50000);
  w.form.Button1Click();
  ASSERT_EQ(w.view.errorBoxes.size(), 1u);
  EXPECT_TRUE(w.view.errorBoxes[0].starts_with("Недостаточно места на диске для установки.\n"));
  EXPECT_EQ(w.view.page, 1);
  EXPECT_FALSE(zf::os::DirectoryExists(w.InstallDir()));
  // Another folder, another drive: the lines follow the field.
  zf::os::SetDiskFreeHookForTests([](const std::string& path) -> int64_t {
    return path.find("Big") != std::string::npos ? int64_t{5} << 30 : 1000;
  });
  w.view.edit1 = zf::os::AnsiToUtf8(w.dir.Path() + "Big");
  w.form.Edit1Change();
  EXPECT_EQ(w.view.labels[TaFormLabel::Label14], "Свободно на диске: 5,0 ГБ");
  w.form.Button1Click();
  EXPECT_EQ(w.view.page, 3);
  EXPECT_EQ(w.form.ExitCode(), kExitDone);
}

TEST(InstallRun, UnattendedRunsAndTheirExitCodes) {
  struct Case {
    const char* what;
    bool noIcons, suppress;
    int64_t free;  // -1: the real disk
    int exitCode;
  };
  const Case cases[] = {
      {"silent", false, false, -1, kExitDone},
      {"without icons", true, false, -1, kExitDone},
      {"too little space", false, false, 1000, kExitFailed},
      {"too little space, boxes suppressed", false, true, 1000, kExitFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir target;
    TSetupOptions options;
    options.verySilent = true;
    options.noIcons = c.noIcons;
    options.suppressMsgBoxes = c.suppress;
    options.dir = zf::os::AnsiToUtf8(target / "Prod");
    Wizard w("setup.exe", options);
    w.Package(ProductPackage());
    FreeSpace space(c.free);
    w.form.FormCreate();
    w.form.InstallUnattended();
    EXPECT_EQ(w.form.ExitCode(), c.exitCode);
    EXPECT_EQ(w.view.closed, 1);
    EXPECT_TRUE(w.view.questions.empty());
    EXPECT_EQ(w.view.errorBoxes.size(), c.exitCode == kExitDone || c.suppress ? 0u : 1u);
    const bool installed = c.exitCode == kExitDone;
    EXPECT_EQ(zf::os::FileExists(target / "Prod" + kSep + "Prog.exe"), installed);
    EXPECT_EQ(zf::os::DirectoryExists(w.Group()), installed && !c.noIcons);
    EXPECT_EQ(w.shell.links.empty(), !installed || c.noIcons);
  }
}

TEST(InstallRun, TheLogHasALinePerStepAndFile) {
  TempDir logs;
  TSetupOptions options;
  options.logFile = zf::os::AnsiToUtf8(logs / "setup.log");
  {
    Wizard w("setup.exe", options);
    ZipEntry damaged = Encrypted("zz-last.dat", "data");
    damaged.crc = zf::test::Crc32Of(damaged.data) ^ 0x1;
    w.Package(PackageEndingWith(damaged));
    w.Install();
  }
  const std::string log = zf::test::ReadFile(logs / "setup.log");
  for (const char* line : {"Setup started: ", "Install folder: ", "File installed: ",
                           "Error: zz-last.dat: crc-mismatch: ",
                           "Install failed (zz-last.dat: crc-mismatch: ", "Rollback: removed ",
                           "Exit code 3"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

}  // namespace
}  // namespace setup
