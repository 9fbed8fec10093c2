// Open + extract: the input is an archive file, extracted with every entry
// selected into a private folder, with the password of the encrypted seeds
// set and a handler on every event, so that no default dialog is reached
// and every answer the component allows is given somewhere:
// - overwriting is asked for (omPrompt) and answered yes and no in turn;
// - a password that does not fit is answered once with an empty one, once
//   with the seeds' password, then the entry is skipped;
// - a failed entry is retried once, then ignored;
// - an entry whose name holds "!c" is cancelled during its data;
// - a volume is found only when its file exists, blank volumes are refused.
// The input's length picks two settings: odd lengths keep corrupted files,
// lengths divisible by 3 junk the stored folders.
//
// After each run nothing may exist in the scratch folder but the archive
// and the output folder: an entry that got out of the output folder is a
// finding (abort).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>

#include "archive/ZFArchiver.h"
#include "fuzz_support.h"
#include "platform/platform.h"

namespace {

constexpr const char* kSeedPassword = "secret";

class Run {
 public:
  Run(const std::string& archive, const std::string& outDir, size_t size) {
    zip_.SetFileName(archive);
    zip_.SetBaseDir(outDir);
    zip_.SetPassword(kSeedPassword);
    zip_.SetExtractCorruptedFiles(size % 2 == 1);
    zip_.Options().SetCreateDirs(size % 3 != 0);
    zip_.Options().SetOverwriteMode(zf::omPrompt);
    AnswerEveryEvent();
  }

  void Go() {
    try {
      zip_.Open();
      zip_.Extract("*.*", zf::os::faSearchAll, "");
    } catch (const std::exception&) {
      // A damaged archive may fail its open or its run: that is an answer.
    }
    zip_.Close();
  }

 private:
  void AnswerEveryEvent() {
    using namespace zf;
    zip_.OnFileProgress = [](TZFBaseArchiver*, const std::string& name, double,
                             TZFProcessOperation, TZFProgressPhase phase, bool& cancel) {
      if (phase == ppProcess && name.find("!c") != std::string::npos) cancel = true;
    };
    zip_.OnOverallProgress = [](TZFBaseArchiver*, double, TZFProcessOperation, TZFProgressPhase,
                                bool&) {};
    zip_.OnConfirmOverwrite = [this](TZFBaseArchiver*, const std::string&, std::string&,
                                     bool& confirm) { confirm = ++overwrites_ % 2 == 1; };
    zip_.OnConfirmProcessFile = [](TZFBaseArchiver*, const std::string&, TZFProcessOperation,
                                   bool& confirm) { confirm = true; };
    zip_.OnPassword = [this](TZFBaseArchiver*, const std::string& name, std::string& password,
                             bool& skip) {
      const int asked = ++passwordQuestions_[name];
      skip = asked > 2;
      if (!skip) password = asked == 1 ? "" : kSeedPassword;
    };
    zip_.OnProcessFileFailure = [this](TZFBaseArchiver*, const std::string& name,
                                       TZFProcessOperation, int32_t, int32_t, const std::string&,
                                       TZFAction& action) {
      action = ++failures_[name] == 1 ? fxaRetry : fxaIgnore;
    };
    const auto existing = [](const std::string& name, bool& cancel) {
      cancel = !os::FileExists(name);
    };
    zip_.OnRequestFirstVolume = [existing](TZFBaseArchiver*, std::string& name, bool& cancel) {
      existing(name, cancel);
    };
    zip_.OnRequestLastVolume = [existing](TZFBaseArchiver*, std::string& name, bool& cancel) {
      existing(name, cancel);
    };
    zip_.OnRequestMiddleVolume = [existing](TZFBaseArchiver*, int32_t, std::string& name,
                                            bool& cancel) { existing(name, cancel); };
    zip_.OnRequestBlankVolume = [](TZFBaseArchiver*, int32_t, std::string&, bool& cancel) {
      cancel = true;
    };
    zip_.OnDiskFull = [](TZFBaseArchiver*, int32_t, const std::string&, bool& cancel) {
      cancel = true;
    };
    zip_.OnExtractFile = [](TZFBaseArchiver*, std::string&, uint32_t&, const std::string&) {};
    zip_.AfterOpen = [](TZFBaseArchiver*) {};
  }

  zf::TZipArchiver zip_;
  int overwrites_ = 0;
  std::map<std::string, int> passwordQuestions_, failures_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zffuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const zffuzz::Scratch scratch;
  scratch.Clear();
  const std::string archive = scratch.WriteInput("case.zip", data, size);
  const std::string outDir = scratch.Path() + "out/";
  if (!zf::os::CreateDir(outDir.substr(0, outDir.size() - 1))) std::abort();
  Run(archive, outDir, size).Go();
  if (scratch.Listing() != "case.zip\nout\n") {
    std::fprintf(::fdopen(2, "w"), "an entry was written outside the output folder:\n%s",
                 scratch.Listing().c_str());
    std::abort();
  }
  return 0;
}
