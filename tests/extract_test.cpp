// Extract end to end: byte-exact archives from the test builder extracted
// into a temporary folder, checked through the events they raise and the
// files, times and attributes they leave, with the default dialogs answered
// through the platform's dialog hook.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "archive/ZFArchiver.h"
#include "archive/ZFConst.h"
#include "archive/ZFDirManager.h"
#include "archive/ZFExcept.h"
#include "archive/ZFRecords.h"
#include "test_util.h"
#include "zip_builder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace zf {
namespace {

using test::TempDir;
using test::ZipBuilder;
using test::ZipEntry;

ZipEntry Entry(const std::string& name, const std::string& data, uint32_t attr = 0x20) {
  ZipEntry e;
  e.name = name;
  e.data = data;
  e.externalAttributes = attr;
  return e;
}

ZipEntry Stored(const std::string& name, const std::string& data) {
  ZipEntry e = Entry(name, data);
  e.method = kMethodStored;
  return e;
}

// Answers the default dialogs for one test and removes itself afterwards.
class DialogAnswers {
 public:
  std::vector<std::string> texts;  // every question asked, in order
  std::vector<int> messageAnswers, choiceAnswers;
  std::vector<std::string> passwords;  // an empty string cancels

  DialogAnswers() {
    os::DialogHookForTests hook;
    hook.message = [this](const std::string& text, const std::string&, unsigned) {
      texts.push_back(text);
      return Next(messageAnswers, os::idAbort);
    };
    hook.choice = [this](const std::string& text, const std::string&,
                         const std::vector<std::string>& buttons) {
      texts.push_back(text);
      buttonLabels = buttons;
      return Next(choiceAnswers, -1);
    };
    hook.input = [this](const std::string& caption, const std::string& prompt,
                        std::string& value, bool) {
      texts.push_back(caption + "|" + prompt + "|" + value);
      const std::string answer = passwords.empty() ? "" : passwords.front();
      if (!passwords.empty()) passwords.erase(passwords.begin());
      if (answer.empty()) return false;
      value = answer;
      return true;
    };
    os::SetDialogHookForTests(hook);
  }
  ~DialogAnswers() { os::SetDialogHookForTests({}); }
  std::vector<std::string> buttonLabels;

 private:
  static int Next(std::vector<int>& answers, int otherwise) {
    if (answers.empty()) return otherwise;
    const int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
};

class ExtractTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string archive = dir / "pkg.zip";
  std::string out = dir / "out" + test::kSep;
  TZipArchiver z;
  std::vector<int32_t> failures;  // native codes reported, in order
  std::vector<std::string> failureMessages;

  void OpenWith(const ZipBuilder& b) {
    b.Save(archive);
    z.SetFileName(archive);
    z.SetBaseDir(out);
    z.Open();
  }
  // Records failures and answers them with the given actions, then Ignore.
  void AnswerFailures(std::vector<TZFAction> actions) {
    z.OnProcessFileFailure = [this, actions](TZFBaseArchiver*, const std::string&,
                                             TZFProcessOperation, int32_t native, int32_t,
                                             const std::string& message,
                                             TZFAction& action) mutable {
      failures.push_back(native);
      failureMessages.push_back(message);
      if (!actions.empty()) {
        action = actions.front();
        actions.erase(actions.begin());
      }
    };
  }
  std::string Out(std::string rel) const {
    std::replace(rel.begin(), rel.end(), '/', test::kSep);
    return out + rel;
  }
  bool Exists(const std::string& rel) const { return os::FileExists(Out(rel)); }
  std::string Read(const std::string& rel) const { return test::ReadFile(Out(rel)); }
  // Names in a folder of the output, sorted (temporary files would show).
  std::vector<std::string> Listing(const std::string& rel = "") const {
    std::vector<os::DirEntry> entries;
    os::ListDirectory(rel.empty() ? out : Out(rel), entries);
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
  }
};

// ---- events and progress -------------------------------------------------------

TEST_F(ExtractTest, EventsArriveInOrderWithTheirProgressValues) {
  OpenWith(ZipBuilder()
               .Add(Entry("a.txt", std::string(5000, 'a')))
               .Add(Stored("empty.txt", ""))
               .Add(Entry("d/", "", 0x10))
               .Add(Entry("d/b.txt", "bee")));
  std::vector<std::string> log;
  auto phase = [](TZFProgressPhase p) { return p == ppStart ? "start" : p == ppEnd ? "end" : "process"; };
  z.OnOverallProgress = [&](TZFBaseArchiver*, double progress, TZFProcessOperation op,
                            TZFProgressPhase p, bool&) {
    EXPECT_EQ(op, poExtract);
    if (p != ppProcess) log.push_back(std::string("overall ") + phase(p) + " " + std::to_string(int(progress)));
  };
  z.OnConfirmProcessFile = [&](TZFBaseArchiver*, const std::string& name, TZFProcessOperation,
                               bool& confirm) {
    EXPECT_TRUE(confirm);
    log.push_back("confirm " + name);
  };
  z.OnExtractFile = [&](TZFBaseArchiver*, std::string& name, uint32_t&, const std::string&) {
    log.push_back("extract " + name);
  };
  std::vector<double> processValues;
  z.OnFileProgress = [&](TZFBaseArchiver*, const std::string& name, double progress,
                         TZFProcessOperation, TZFProgressPhase p, bool&) {
    if (p == ppProcess) {
      processValues.push_back(progress);
      if (log.back() != "file process " + name) log.push_back("file process " + name);
      return;
    }
    log.push_back(std::string("file ") + phase(p) + " " + name + " " + std::to_string(int(progress)));
  };
  z.Extract("*.*", os::faSearchAll, "");
  const std::vector<std::string> expected = {
      "overall start 0",
      "confirm a.txt", "file start a.txt 0", "extract a.txt", "file process a.txt",
      "file end a.txt 100",
      "confirm empty.txt", "file start empty.txt 0", "extract empty.txt", "file end empty.txt 100",
      "confirm d\\", "file start d\\ 0", "extract d\\", "file end d\\ 100",
      "confirm d\\b.txt", "file start d\\b.txt 0", "extract d\\b.txt", "file process d\\b.txt",
      "file end d\\b.txt 100",
      "overall end 100"};
  EXPECT_EQ(log, expected);
  for (double v : processValues) {
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 100);
  }
  EXPECT_EQ(z.EntriesSelected(), 4);
  EXPECT_EQ(z.EntriesDone(), 4);
  EXPECT_EQ(Read("a.txt"), std::string(5000, 'a'));
  EXPECT_EQ(Read("empty.txt"), "");
  EXPECT_EQ(Read("d/b.txt"), "bee");
}

TEST_F(ExtractTest, CancelStopsTheRunAndLeavesNoPartialFile) {
  struct Case {
    const char* when;  // the event whose handler cancels
    std::vector<std::string> files;
  };
  const Case cases[] = {{"overall start", {}},
                        {"file start first", {}},
                        {"file process first", {}},
                        {"file end first", {"first.txt"}}};
  for (const Case& c : cases) {
    TempDir::RemoveTree(out);
    TZipArchiver fresh;
    ZipBuilder().Add(Entry("first.txt", "one")).Add(Entry("second.txt", "two")).Save(archive);
    fresh.SetFileName(archive);
    fresh.SetBaseDir(out);
    fresh.Open();
    const std::string when = c.when;
    int overallEnds = 0, fileEnds = 0;
    fresh.OnOverallProgress = [&](TZFBaseArchiver*, double, TZFProcessOperation,
                                  TZFProgressPhase p, bool& cancel) {
      if (p == ppEnd) ++overallEnds;
      if (p == ppStart && when == "overall start") cancel = true;
    };
    fresh.OnFileProgress = [&](TZFBaseArchiver*, const std::string& name, double,
                               TZFProcessOperation, TZFProgressPhase p, bool& cancel) {
      if (p == ppEnd) ++fileEnds;
      if (name != "first.txt") return;
      if ((p == ppStart && when == "file start first") ||
          (p == ppProcess && when == "file process first") ||
          (p == ppEnd && when == "file end first"))
        cancel = true;
    };
    fresh.Extract("*.*", os::faSearchAll, "");
    EXPECT_TRUE(fresh.Cancelled()) << when;
    EXPECT_EQ(overallEnds, 1) << when;
    EXPECT_EQ(fileEnds, when == "file process first" || when == "file end first" ? 1 : 0) << when;
    EXPECT_EQ(Listing(), c.files) << when;
    EXPECT_EQ(fresh.EntriesDone(), 0) << when;
  }
}

TEST_F(ExtractTest, RefusedConfirmationPassesTheEntryOver) {
  OpenWith(ZipBuilder().Add(Entry("skip.txt", "s")).Add(Entry("keep.txt", "k")));
  z.OnConfirmProcessFile = [](TZFBaseArchiver*, const std::string& name, TZFProcessOperation,
                              bool& confirm) { confirm = name != "skip.txt"; };
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(Listing(), std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(z.EntriesDone(), 1);
}

// ---- failures ---------------------------------------------------------------------

ZipBuilder BadThenGood() {
  ZipEntry bad = Entry("bad.txt", "payload");
  bad.crc = 0x12345678;
  return ZipBuilder().Add(bad).Add(Entry("good.txt", "fine"));
}

TEST_F(ExtractTest, FailureActionsRetryIgnoreAbort) {
  struct Case {
    std::vector<TZFAction> actions;
    size_t reports;
    bool goodExtracted;
  };
  const Case cases[] = {{{fxaIgnore}, 1, true},
                        {{fxaRetry, fxaRetry, fxaIgnore}, 3, true},
                        {{fxaAbort}, 1, false}};
  for (const Case& c : cases) {
    TempDir::RemoveTree(out);
    failures.clear();
    z.Close();
    OpenWith(BadThenGood());
    AnswerFailures(c.actions);
    int confirms = 0;
    z.OnConfirmProcessFile = [&](TZFBaseArchiver*, const std::string& name, TZFProcessOperation,
                                 bool&) { confirms += name == "bad.txt"; };
    z.Extract("*.*", os::faSearchAll, "");
    EXPECT_EQ(failures, std::vector<int32_t>(c.reports, neExtractFailed));
    EXPECT_EQ(confirms, static_cast<int>(c.reports));  // each retry starts from the confirmation
    EXPECT_FALSE(Exists("bad.txt"));
    EXPECT_EQ(Exists("good.txt"), c.goodExtracted);
    EXPECT_EQ(z.EntriesDone(), c.goodExtracted ? 1 : 0);
  }
}

TEST_F(ExtractTest, DefaultFailureDialogAsksAndAnswers) {
  OpenWith(BadThenGood());
  DialogAnswers answers;
  answers.messageAnswers = {os::idRetry, os::idIgnore};
  z.Extract("*.*", os::faSearchAll, "");
  ASSERT_EQ(answers.texts.size(), 2u);
  EXPECT_NE(answers.texts[0].find("Invalid size or check sum of file"), std::string::npos);
  EXPECT_NE(answers.texts[0].find(". File processing error, possibly disk is full"),
            std::string::npos);
  EXPECT_TRUE(Exists("good.txt"));

  // A refused volume aborts without a question.
  TZFAction action = fxaRetry;
  z.DoProcessFileFailure("x", poExtract, neVolumeRequestCancelled, 24, "m", action);
  EXPECT_EQ(action, fxaAbort);
  EXPECT_EQ(answers.texts.size(), 2u);
}

TEST_F(ExtractTest, CorruptedEntriesAreKeptOnlyOnRequest) {
  OpenWith(BadThenGood());
  AnswerFailures({});
  z.SetExtractCorruptedFiles(true);
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(Read("bad.txt"), "payload");
  EXPECT_EQ(z.EntriesDone(), 2);
}

TEST_F(ExtractTest, FailedEntryLeavesTheOldFileAndNoTemporaryFile) {
  os::ForceDirectories(out);
  test::WriteFile(Out("bad.txt"), "old contents");
  OpenWith(BadThenGood());
  AnswerFailures({});
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(failures, std::vector<int32_t>{neExtractFailed});
  EXPECT_EQ(Read("bad.txt"), "old contents");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"bad.txt", "good.txt"}));
}

TEST_F(ExtractTest, HostileNamesFailWithoutWritingOutsideBaseDir) {
  // (Drive and stream colons, which only Windows refuses, are in
  // NamesThePlatformRefusesFailOnTheirOwn.)
  const char* names[] = {"../evil1.txt", "..\\evil2.txt", "/abs3.txt", "\\abs4.txt",
                         "\\\\server\\share\\evil7.txt", "a/../../evil8.txt", "a//evil9.txt",
                         "a/.../evil10.txt"};
  ZipBuilder b;
  for (const char* n : names) b.Add(Entry(n, "x"));
  b.Add(Entry("safe.txt", "ok"));
  OpenWith(b);
  AnswerFailures({});
  z.Extract("*.*", os::faSearchAll, "");
  ASSERT_EQ(failures.size(), std::size(names));
  for (size_t i = 0; i < failures.size(); ++i) {
    EXPECT_EQ(failures[i], neCannotCreateFile) << names[i];
    std::string shown = names[i];
    std::replace(shown.begin(), shown.end(), '/', '\\');
    EXPECT_NE(failureMessages[i].find("\"" + shown + "\""), std::string::npos) << failureMessages[i];
  }
  EXPECT_EQ(Listing(), std::vector<std::string>{"safe.txt"});
  std::vector<os::DirEntry> top;
  os::ListDirectory(dir.Path(), top);
  EXPECT_EQ(top.size(), 2u);  // pkg.zip and out
}

// Windows refuses device names and the characters it forbids, each entry on
// its own with native code 19 and its name; on Linux they are ordinary
// names and extract as they are, as Python's zipfile and bsdtar extract
// them. Names that only look like devices extract on both.
TEST_F(ExtractTest, NamesThePlatformRefusesFailOnTheirOwn) {
  struct Case {
    const char* stored;
    bool refusedOnWindows;
  };
  const Case cases[] = {
      {"nul.txt", true},        {"NUL", true},          {"con", true},
      {"Aux.h", true},          {"prn.tar.gz", true},   {"com1", true},
      {"COM9.log", true},       {"lpt1.txt", true},     {"LpT9", true},
      {"nul .txt", true},       {"dir/nul.txt", true},  {"CON/inner.txt", true},
      {"C:evil5.txt", true},    {"C:\\evil6.txt", true}, {"a/stream.txt:evil11", true},
      {"123456789:;<=>?@", true}, {"star*.txt", true},  {"quote\".txt", true},
      {"lt<gt>.txt", true},     {"pipe|.txt", true},    {"tab\t.txt", true},
      {"bell\x07.txt", true},  {"console.txt", false}, {"COM10.txt", false},
      {"nul_file.txt", false},  {"lpt.txt", false},     {"auxiliary", false},
      {"conx/inner.txt", false},
  };
  ZipBuilder b;
  for (const Case& c : cases) b.Add(Entry(c.stored, c.stored));  // each holds its own name
  OpenWith(b);
  AnswerFailures({});
  z.Extract("*.*", os::faSearchAll, "");
  std::vector<std::string> refused;
  for (const Case& c : cases) {
    std::string shown = c.stored;
    std::replace(shown.begin(), shown.end(), '/', '\\');
#ifdef _WIN32
    if (c.refusedOnWindows) {
      refused.push_back(shown);
      continue;
    }
#endif
    std::string path = c.stored;
    std::replace(path.begin(), path.end(), '\\', '/');
    EXPECT_EQ(Read(path), c.stored) << shown;
  }
  ASSERT_EQ(failures.size(), refused.size());
  for (size_t i = 0; i < refused.size(); ++i) {
    EXPECT_EQ(failures[i], neCannotCreateFile) << refused[i];
    EXPECT_NE(failureMessages[i].find("\"" + refused[i] + "\""), std::string::npos)
        << failureMessages[i];
  }
  EXPECT_EQ(z.EntriesDone(), static_cast<int32_t>(std::size(cases) - refused.size()));
}

TEST_F(ExtractTest, NameChosenByTheHandlerIsUsed) {
  OpenWith(ZipBuilder().Add(Entry("../stored.txt", "x")).Add(Entry("plain.txt", "y")));
  const std::string chosen = dir / "chosen.txt";
  z.OnExtractFile = [&](TZFBaseArchiver*, std::string& name, uint32_t&, const std::string&) {
    if (name == "..\\stored.txt") name = chosen;
    if (name == "plain.txt") name = "renamed.txt";
  };
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(test::ReadFile(chosen), "x");
  EXPECT_EQ(Read("renamed.txt"), "y");
}

// ---- the target rules ---------------------------------------------------------------

TEST_F(ExtractTest, OverwriteModes) {
  const uint16_t itemDate = os::EncodeDosDate(2025, 1, 1);
  struct Case {
    const char* label;
    TZFOverwriteMode mode;
    int diskYear;
    int dialogAnswer;  // index of Yes, No, No to All, Yes to All; -1 none
    bool replaced;
    TZFOverwriteMode modeAfter;
  };
  const Case cases[] = {
      {"always", omAlways, 2030, -1, true, omAlways},
      {"never", omNever, 2020, -1, false, omNever},
      {"if newer: item newer", omIfNewer, 2020, -1, true, omIfNewer},
      {"if newer: equal times", omIfNewer, 2025, -1, false, omIfNewer},
      {"if newer: item older", omIfNewer, 2030, -1, false, omIfNewer},
      {"if older: item older", omIfOlder, 2030, -1, true, omIfOlder},
      {"if older: item newer", omIfOlder, 2020, -1, false, omIfOlder},
      {"prompt: yes", omPrompt, 2020, 0, true, omPrompt},
      {"prompt: no", omPrompt, 2020, 1, false, omPrompt},
      {"prompt: no to all", omPrompt, 2020, 2, false, omNever},
      {"prompt: yes to all", omPrompt, 2020, 3, true, omAlways},
      {"prompt: closed", omPrompt, 2020, -1, false, omPrompt},
  };
  ZipEntry e = Entry("f.txt", "new");
  e.date = itemDate;
  ZipBuilder().Add(e).Save(archive);
  for (const Case& c : cases) {
    TempDir::RemoveTree(out);
    os::ForceDirectories(out);
    test::WriteFile(Out("f.txt"), "old");
    uint32_t itemTime = os::MakeDosDateTime(os::EncodeDosDate(c.diskYear, 1, 1), e.time);
    ASSERT_TRUE(os::SetFileDosDateTime(Out("f.txt"), itemTime));
    TZipArchiver fresh;
    fresh.SetFileName(archive);
    fresh.SetBaseDir(out);
    fresh.Options().SetOverwriteMode(c.mode);
    fresh.Open();
    DialogAnswers answers;
    if (c.dialogAnswer >= 0) answers.choiceAnswers = {c.dialogAnswer};
    fresh.Extract("*.*", os::faSearchAll, "");
    EXPECT_EQ(Read("f.txt"), c.replaced ? "new" : "old") << c.label;
    EXPECT_EQ(fresh.Options().GetOverwriteMode(), c.modeAfter) << c.label;
    EXPECT_EQ(fresh.EntriesDone(), 1) << c.label;
    if (c.mode == omPrompt) {
      ASSERT_EQ(answers.texts.size(), 1u) << c.label;
      EXPECT_EQ(answers.texts[0], "Overwrite file \"" + Out("f.txt") + "\" with \"f.txt\"");
      EXPECT_EQ(answers.buttonLabels,
                (std::vector<std::string>{"Yes", "No", "No to All", "Yes to All"}));
    }
  }
}

TEST_F(ExtractTest, NoToAllHoldsForTheRestOfTheRun) {
  os::ForceDirectories(out);
  for (const char* n : {"a.txt", "b.txt"}) test::WriteFile(Out(n), "old");
  OpenWith(ZipBuilder().Add(Entry("a.txt", "new")).Add(Entry("b.txt", "new")));
  z.Options().SetOverwriteMode(omPrompt);
  DialogAnswers answers;
  answers.choiceAnswers = {2};
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(answers.texts.size(), 1u);
  EXPECT_EQ(Read("a.txt"), "old");
  EXPECT_EQ(Read("b.txt"), "old");
  EXPECT_EQ(z.Options().GetOverwriteMode(), omNever);
}

TEST_F(ExtractTest, ReadOnlyTargets) {
  for (bool replace : {true, false}) {
    TempDir::RemoveTree(out);
    os::ForceDirectories(out);
    test::WriteFile(Out("r.txt"), "old");
    ASSERT_TRUE(os::SetAttributes(Out("r.txt"), os::faReadOnly));
    z.Close();
    OpenWith(ZipBuilder().Add(Entry("r.txt", "new")));
    z.Options().SetReplaceReadOnly(replace);
    AnswerFailures({});
    z.Extract("*.*", os::faSearchAll, "");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(Read("r.txt"), replace ? "new" : "old");
    EXPECT_EQ(z.EntriesDone(), 1);
    EXPECT_EQ(Listing(), std::vector<std::string>{"r.txt"});
  }
}

TEST_F(ExtractTest, CreateDirsOffPutsEveryEntryIntoBaseDir) {
  OpenWith(ZipBuilder().Add(Entry("x/", "", 0x10)).Add(Entry("x/y/z.txt", "deep")));
  z.Options().SetCreateDirs(false);
  os::ForceDirectories(out);  // nothing creates BaseDir itself now
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(Listing(), std::vector<std::string>{"z.txt"});
  EXPECT_EQ(Read("z.txt"), "deep");
}

TEST_F(ExtractTest, FoldersAreRebuilt) {
  OpenWith(ZipBuilder().Add(Entry("empty/", "", 0x10)).Add(Entry("a/b/c.txt", "c")));
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_TRUE(os::DirectoryExists(Out("empty")));
  EXPECT_EQ(Read("a/b/c.txt"), "c");
}

// Archives that writers, damage or nesting make odd: every file comes out
// as a file with its contents, every folder as a folder, nothing fails.
TEST_F(ExtractTest, OddArchivesExtractWhole) {
  const auto cutAtDirectory = [](const ZipBuilder& b) {
    const test::ZipLayout z = b.Build();
    return std::string(z.bytes.begin(), z.bytes.begin() + z.directoryOffset);
  };
  const std::string inner = ZipBuilder().Add(Entry("in1", "1")).Add(Entry("in2", "22")).Build().str();
  ZipEntry unixFile = Entry("unix.txt", "made on Unix", (kUnixRegular | 0644u) << 16 | 0xFFFF);
  unixFile.versionMadeBy = MadeBy(kHostUnix, 30);
  ZipEntry unixDir = Entry("unixdir/", "", (kUnixDirectory | 0755u) << 16);
  unixDir.versionMadeBy = MadeBy(kHostUnix, 30);
  ZipEntry zip64Local = Stored("z64.txt", "sizes in the local Zip64 block");
  zip64Local.zip64Local = true;
  struct Case {
    const char* name;
    std::string bytes;
    std::map<std::string, std::string> files;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {"rebuilt directory with an empty file",
       cutAtDirectory(ZipBuilder().Add(Stored("zero.txt", "")).Add(Entry("d/", "", 0x10))),
       {{"zero.txt", ""}}, {"d"}},
      {"Unix entries with garbage DOS bits",
       ZipBuilder().Add(unixFile).Add(unixDir).Build().str(),
       {{"unix.txt", "made on Unix"}}, {"unixdir"}},
      {"end record counting two of three",
       ZipBuilder().Add(Entry("1", "one")).Add(Entry("2", "two")).Add(Entry("3", "three"))
           .EndRecordEntries(2).Build().str(),
       {{"1", "one"}, {"2", "two"}, {"3", "three"}}, {}},
      {"Zip64 local header behind a prefix",
       ZipBuilder().Add(zip64Local).Prefix(test::NoiseBytes(122, 3), true).Build().str(),
       {{"z64.txt", "sizes in the local Zip64 block"}}, {}},
      {"stored archive inside a rebuilt one",
       cutAtDirectory(ZipBuilder().Add(Stored("inner.zip", inner)).Add(Entry("after", "a"))),
       {{"inner.zip", inner}, {"after", "a"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(archive, c.bytes);
    TZipArchiver zip;
    zip.SetFileName(archive);
    zip.SetBaseDir(out);
    std::vector<int32_t> failed;
    zip.OnProcessFileFailure = [&](TZFBaseArchiver*, const std::string&, TZFProcessOperation,
                                   int32_t native, int32_t, const std::string&,
                                   TZFAction& action) {
      failed.push_back(native);
      action = fxaIgnore;
    };
    zip.Open();
    zip.Extract("*.*", os::faSearchAll, "");
    zip.Close();
    EXPECT_EQ(failed, std::vector<int32_t>{});
    for (const auto& [name, contents] : c.files) {
      EXPECT_TRUE(os::FileExists(Out(name))) << name;
      EXPECT_EQ(Read(name), contents) << name;
    }
    for (const std::string& folder : c.folders) EXPECT_TRUE(os::DirectoryExists(Out(folder))) << folder;
    std::vector<std::string> names;
    for (const auto& [name, contents] : c.files) names.push_back(name);
    names.insert(names.end(), c.folders.begin(), c.folders.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(Listing(), names);
    TempDir::RemoveTree(out);
  }
}

// ---- passwords -------------------------------------------------------------------------

TEST_F(ExtractTest, PasswordDialogRepeatsUntilThePasswordFits) {
  ZipEntry one = Entry("one.txt", "first secret");
  one.password = "right";
  ZipEntry two = Entry("two.txt", "second secret");
  two.password = "right";
  OpenWith(ZipBuilder().Add(one).Add(two));
  z.SetPassword("bad");
  DialogAnswers answers;
  answers.passwords = {"still bad", "right"};
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_EQ(Read("one.txt"), "first secret");
  EXPECT_EQ(Read("two.txt"), "second secret");
  EXPECT_EQ(z.GetPassword(), "right");
  ASSERT_EQ(answers.texts.size(), 2u);
  EXPECT_EQ(answers.texts[0], "Password for \"one.txt\"|Enter password: |bad");
  EXPECT_EQ(answers.texts[1], "Password for \"one.txt\"|Enter password: |still bad");
}

TEST_F(ExtractTest, CancelledPasswordDropsTheEntrySilently) {
  os::ForceDirectories(out);
  test::WriteFile(Out("enc.txt"), "old");
  ZipEntry enc = Entry("enc.txt", "secret");
  enc.password = "right";
  OpenWith(ZipBuilder().Add(enc).Add(Entry("plain.txt", "p")));
  AnswerFailures({});
  DialogAnswers answers;  // no password given: the dialog is cancelled
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(Read("enc.txt"), "old");
  EXPECT_EQ(Read("plain.txt"), "p");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"enc.txt", "plain.txt"}));
}

// ---- many entries ------------------------------------------------------------------------

// A run long enough for the worker decoding ahead to wrap around its slots,
// with what makes it give an entry back to the run: damage, a password
// that changes halfway, an entry above the size it takes.
// "d<i/25><separator>f<i>.txt", built by appending (GCC 12 warns falsely
// about concatenating with a string literal in front).
std::string NumberedName(int i, char separator = '/') {
  std::string name = "d";
  name += std::to_string(i / 25);
  name += separator;
  name += 'f';
  name += std::to_string(i);
  name += ".txt";
  return name;
}

TEST_F(ExtractTest, LongRunsKeepTheirOrderFailuresAndPasswordRequests) {
  ZipBuilder b;
  std::vector<std::string> contents;
  for (int i = 0; i < 100; ++i) {
    std::string data = std::to_string(i);
    data.append(static_cast<size_t>(i) * 37, static_cast<char>('a' + i % 26));
    if (i == 90) data = test::NoiseBytes(300 * 1024);
    if (i == 95) data.clear();
    ZipEntry e = i % 10 == 3 ? Stored("", data) : Entry("", data);
    e.name = NumberedName(i);
    if (i == 10 || i == 70) e.crc = test::Crc32Of(data) ^ 1;
    if (i >= 20 && i < 60) e.password = i < 40 ? "first" : "second";
    b.Add(e);
    contents.push_back(data);
  }
  OpenWith(b);
  z.SetPassword("first");
  AnswerFailures({});
  DialogAnswers answers;
  // A handler changing the password makes the next encrypted entry ask.
  answers.passwords = {"first", "second"};
  std::vector<std::string> started;
  z.OnFileProgress = [&](TZFBaseArchiver*, const std::string& name, double, TZFProcessOperation,
                         TZFProgressPhase p, bool&) {
    if (p == ppStart) started.push_back(name);
    if (p == ppEnd && name == NumberedName(25, '\\')) z.SetPassword("stale");
  };
  z.Extract("*.*", os::faSearchAll, "");

  EXPECT_EQ(failures, std::vector<int32_t>(2, neExtractFailed));
  EXPECT_EQ(answers.texts,
            (std::vector<std::string>{"Password for \"d1/f26.txt\"|Enter password: |stale",
                                      "Password for \"d1/f40.txt\"|Enter password: |first"}));
  ASSERT_EQ(started.size(), 100u);
  for (int i = 0; i < 100; ++i) {
    const std::string name = NumberedName(i);
    EXPECT_EQ(started[i], NumberedName(i, '\\'));
    if (i == 10 || i == 70) {
      EXPECT_FALSE(Exists(name)) << name;
    } else {
      EXPECT_EQ(Read(name), contents[i]) << name;
    }
  }
  EXPECT_EQ(z.EntriesDone(), 98);
}

TEST_F(ExtractTest, LongRunsSkipAndCancelWherever) {
  ZipBuilder b;
  for (int i = 0; i < 80; ++i) b.Add(Entry(NumberedName(i), std::to_string(i)));
  OpenWith(b);
  z.OnConfirmProcessFile = [](TZFBaseArchiver*, const std::string& name, TZFProcessOperation,
                              bool& confirm) { confirm = name.size() == 10; };  // two digits
  z.OnFileProgress = [](TZFBaseArchiver*, const std::string& name, double, TZFProcessOperation,
                        TZFProgressPhase p, bool& cancel) {
    cancel = p == ppEnd && name == NumberedName(50, '\\');
  };
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_TRUE(z.Cancelled());
  for (int i = 0; i < 80; ++i) EXPECT_EQ(Exists(NumberedName(i)), i >= 10 && i <= 50) << i;
}

// ---- selection --------------------------------------------------------------------------

TEST_F(ExtractTest, Selection) {
  OpenWith(ZipBuilder()
               .Add(Entry("readme.txt", "r"))
               .Add(Entry("hidden.txt", "h", 0x22))
               .Add(Entry("noext", "n"))
               .Add(Entry("dir/", "", 0x10))
               .Add(Entry("pics/iconsetup.bmp", "i"))
               .Add(Entry("sub/readme", "s")));
  struct Case {
    const char* mask;
    int32_t attr;
    bool recurse;
    const char* exclusion;
    std::set<std::string> names;
    std::vector<std::string> fileMasks = {}, exclusionMasks = {};
  };
  const std::set<std::string> all = {"readme.txt", "hidden.txt", "noext", "dir/",
                                     "pics/iconsetup.bmp", "sub/readme"};
  constexpr int32_t kAll = os::faSearchAll, kNoHidden = kAll & ~os::faHidden;
  const Case cases[] = {
      {"*.*", kAll, true, "", all},
      {"*", kAll, true, "", all},
      {"iconsetup.bmp", kAll, true, "", {"pics/iconsetup.bmp"}},
      // Case differs only where no "i" is involved: in the Turkish locale "I"
      // and "i" are different letters.
      {"iconSETUP.BMP", kAll, true, "", {"pics/iconsetup.bmp"}},
      {"*.*", kAll, false, "", {"readme.txt", "hidden.txt", "noext", "dir/"}},
      {"sub\\*", kAll, false, "", {"sub/readme"}},
      {"*.*", kNoHidden, true, "",
       {"readme.txt", "noext", "dir/", "pics/iconsetup.bmp", "sub/readme"}},
      {"*.*", 0, true, "", {"readme.txt", "noext", "pics/iconsetup.bmp", "sub/readme"}},
      {"*.", kAll, true, "", {"noext", "dir/", "sub/readme"}},
      {"C:\\*.txt", kAll, true, "", {"readme.txt", "hidden.txt"}},
      {"*.*", kAll, true, "*.txt", {"noext", "dir/", "pics/iconsetup.bmp", "sub/readme"}},
      {"", kAll, true, "", {}},
      // An empty mask selects by the lists: each entry once, whatever number
      // of masks match it.
      {"", kAll, true, "", {"readme.txt", "hidden.txt", "sub/readme"}, {"*.txt", "readme*"}},
      {"", kAll, true, "", {"noext", "pics/iconsetup.bmp", "sub/readme"}, {"*.*"},
       {"*.txt", "dir"}},
      {"", kAll, true, "noext", {"dir/", "pics/iconsetup.bmp", "sub/readme"}, {"*.*"},
       {"*.TXT"}},
      {"", kAll, false, "", {"readme.txt", "sub/readme"}, {"*.txt", "sub\\*"}, {"hidden*"}},
      {"", kNoHidden, true, "", {"readme.txt"}, {"C:\\*.txt"}},
      // A mask given: the lists play no part.
      {"noext", kAll, true, "", {"noext"}, {"*.txt"}, {"noext"}},
  };
  for (const Case& c : cases) {
    z.Options().SetRecurse(c.recurse);
    z.FileMasks().Clear();
    z.ExclusionMasks().Clear();
    for (const std::string& m : c.fileMasks) z.FileMasks().Add(m);
    for (const std::string& m : c.exclusionMasks) z.ExclusionMasks().Add(m);
    std::set<std::string> got;
    TZFArchiveItem f;
    for (bool more = z.FindFirstItem(c.mask, f, c.attr, c.exclusion); more; more = z.FindNextItem(f))
      got.insert(std::string(z.DirManager()->Dir().ItemRef(f.Handle.ItemIndex).Name()));
    EXPECT_EQ(got, c.names) << c.mask << " attr " << c.attr << " recurse " << c.recurse;
  }

  TZFArchiveItem f;
  ASSERT_TRUE(z.FindFirstItem("iconsetup.bmp", f, os::faSearchAll, ""));
  EXPECT_EQ(f.FileName, "iconsetup.bmp");
  EXPECT_EQ(f.StoredPath, "pics\\");
  z.Options().SetRecurse(true);
  z.Extract("iconsetup.bmp", os::faSearchAll, "");
  EXPECT_EQ(Listing(), std::vector<std::string>{"pics"});
  EXPECT_EQ(Read("pics/iconsetup.bmp"), "i");

  // One run over the lists: readme.txt, which both masks match, is written
  // once.
  z.FileMasks().Clear();
  z.FileMasks().Add("*.txt");
  z.FileMasks().Add("readme*");
  z.ExclusionMasks().Clear();
  z.ExclusionMasks().Add("hidden.txt");
  int started = 0;
  z.OnFileProgress = [&](TZFBaseArchiver*, const std::string&, double, TZFProcessOperation,
                         TZFProgressPhase p, bool&) { started += p == ppStart; };
  z.Extract("", os::faSearchAll, "");
  EXPECT_EQ(z.EntriesSelected(), 2);
  EXPECT_EQ(started, 2);
  EXPECT_EQ(Read("readme.txt"), "r");
  EXPECT_EQ(Read("sub/readme"), "s");
}

// ---- times and attributes -----------------------------------------------------------------

TEST_F(ExtractTest, TimesAndAttributesAreApplied) {
  ZipEntry ro = Entry("ro.txt", "r", 0x21);
  ro.date = os::EncodeDosDate(2001, 2, 3);
  ro.time = os::EncodeDosTime(4, 5, 6);
  ZipEntry unixExec = Entry("tool.sh", "#!", ((kUnixRegular | 0755u) << 16) | os::faArchive);
  unixExec.versionMadeBy = MadeBy(kHostUnix, 30);
  ZipEntry setuid = Entry("suid", "x", (kUnixRegular | kUnixSetId | 0755u) << 16);
  setuid.versionMadeBy = MadeBy(kHostUnix, 30);
  ZipEntry link = Entry("link", "/etc/passwd", (kUnixSymlink | 0777u) << 16);
  link.versionMadeBy = MadeBy(kHostUnix, 30);
  OpenWith(ZipBuilder().Add(ro).Add(unixExec).Add(setuid).Add(link));
  z.Extract("*.*", os::faSearchAll, "");

  uint32_t when = 0;
  ASSERT_TRUE(os::GetFileDosDateTime(Out("ro.txt"), when));
  EXPECT_EQ(when, os::MakeDosDateTime(ro.date, ro.time));
  EXPECT_TRUE(os::GetAttributes(Out("ro.txt")) & os::faReadOnly);
  EXPECT_FALSE(os::GetAttributes(Out("tool.sh")) & os::faReadOnly);
  EXPECT_EQ(Read("link"), "/etc/passwd");  // the link's text, as a plain file
#ifndef _WIN32
  struct stat st;
  ASSERT_EQ(::lstat(Out("tool.sh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(::lstat(Out("suid").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(::lstat(Out("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
#endif
}

TEST_F(ExtractTest, AttributesLeftAloneWhenSetAttributesIsOff) {
  OpenWith(ZipBuilder().Add(Entry("ro.txt", "r", 0x21)));
  z.Options().SetSetAttributes(false);
  z.Extract("*.*", os::faSearchAll, "");
  EXPECT_FALSE(os::GetAttributes(Out("ro.txt")) & os::faReadOnly);
}

}  // namespace
}  // namespace zf
