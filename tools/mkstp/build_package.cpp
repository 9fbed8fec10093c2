// The mkstp run, step by step.
#include "build_package.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <vector>

#include "archive/ZFStrFunc.h"
#include "bmp_check.h"
#include "exe_check.h"
#include "entry_source.h"
#include "package_config.h"
#include "package_writer.h"
#include "platform/platform.h"
#include "sign_command.h"
#include "source_walk.h"
#include "stored_names.h"
#include "verify.h"
#include "wizard_copy.h"
#include "package/PackageFormat.h"

namespace mkstp {

namespace {

// A picture bigger than this is surely not meant for a 32 x 32 box; the
// limit keeps the check's read bounded.
constexpr int64_t kMaxPictureBytes = 16 << 20;
constexpr uint32_t kFileAttributes = zf::os::faArchive;

std::string RemoveTrailingSeparators(std::string path) {
  while (path.size() > 1 && zf::IsSeparator(path.back())) path.pop_back();
  return path;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  const char last = dir.back();
  return last == '/' || last == zf::kPathDelim ? dir + name : dir + zf::kPathDelim + name;
}

void CheckCodePage(unsigned codePage, const char* option) {
  std::string out;
  if (!zf::os::ConvertCodePage("A", zf::os::AnsiCodePage(), codePage, out))
    throw Failure(std::string(option) + " " + std::to_string(codePage) +
                  ": this system does not know the code page");
}

// A file named on the command line: a folder or nothing under its name is
// refused, each with its own words.
void RequireFile(const std::string& path, const std::string& missingHint = "") {
  if (zf::os::DirectoryExists(path)) throw Failure(path + ": a folder, not a file");
  if (!zf::os::FileExists(path)) throw Failure(path + ": no such file" + missingHint);
}

// The first bytes of a file, at most limit of them.
std::vector<uint8_t> ReadStart(const std::string& path, int64_t limit) {
  const int64_t size = zf::os::FileSize(path);
  if (size < 0) throw Failure(path + ": cannot read the file: " + SystemError());
  const int64_t count = std::min(size, limit);
  zf::os::File file;
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone) ||
      file.Read(bytes.data(), count) != count)
    throw Failure(path + ": cannot read the file: " + SystemError());
  return bytes;
}

// The folder above path ("" for a name without one, which is the current
// folder); the root stays the root.
std::string Parent(std::string path) {
  while (path.size() > 1 && zf::IsSeparator(path.back())) path.pop_back();
  const size_t cut = zf::FileNameStart(path);
  if (cut == 0) return std::string();
  std::string parent = path.substr(0, cut);
  while (parent.size() > 1 && zf::IsSeparator(parent.back())) parent.pop_back();
  return parent;
}

// The absolute form of a folder that need not exist yet: its nearest
// existing ancestor resolved, the missing rest appended as written.
std::string ResolvedFolder(const std::string& dir) {
  std::string existing = dir, rest;
  while (!existing.empty() && !zf::os::DirectoryExists(existing)) {
    rest = zf::FileNamePart(RemoveTrailingSeparators(existing)) + zf::kPathDelim + rest;
    existing = Parent(existing);
  }
  const std::string full = zf::os::FullPath(existing.empty() ? "." : existing);
  return full.empty() ? full : zf::AddTrailingDelimiter(full) + rest;
}

// Whether folder inner is outer or lies inside it, by their absolute forms
// (on Windows without regard to case, as its file systems compare).
bool SameOrInside(const std::string& inner, const std::string& outer) {
  std::string in = zf::AddTrailingDelimiter(ResolvedFolder(inner));
  std::string out = zf::AddTrailingDelimiter(zf::os::FullPath(outer));
  if (in.size() < 2 || out.size() < 2) return false;
#ifdef _WIN32
  in = zf::os::UpperString(in);
  out = zf::os::UpperString(out);
#endif
  return in.compare(0, out.size(), out) == 0;
}

// The wizard to copy: --setup, or setup.exe in the folder mkstp was started
// from.
std::string WizardPath(const Options& o, const std::string& programPath) {
  if (!o.setupPath.empty()) return o.setupPath;
  const size_t cut = programPath.find_last_of(zf::kPathDelim == '/' ? "/" : "\\/:");
  const std::string dir = cut == std::string::npos ? "." : programPath.substr(0, cut + 1);
  return Join(dir, "setup.exe");
}

// Removes its file unless told to keep it: what a failed run leaves.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) zf::os::RemoveFile(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path_; }
  void Kept() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

// The folders a run makes for its output, removed again (deepest first,
// and only while empty) unless the run succeeds: a failed run leaves
// nothing behind.
class MadeFolders {
 public:
  MadeFolders() = default;
  ~MadeFolders() {
    if (kept_) return;
    for (const std::string& dir : made_) zf::os::RemoveDir(dir);
  }
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;

  void Make(const std::string& dir) {
    for (std::string p = dir; !p.empty() && !zf::os::DirectoryExists(p); p = Parent(p))
      made_.push_back(p);
    if (!made_.empty() && !zf::os::ForceDirectories(dir))
      throw Failure(dir + ": cannot create the folder: " + SystemError());
  }
  void Kept() { kept_ = true; }

 private:
  std::vector<std::string> made_;  // deepest first
  bool kept_ = false;
};

void CopyFile(const std::string& from, const std::string& to) {
  zf::os::File in, out;
  if (!in.Open(from, zf::os::OpenMode::ReadOnlyDenyNone))
    throw Failure(from + ": cannot read the wizard: " + SystemError());
  if (!out.Open(to, zf::os::OpenMode::Create))
    throw Failure(to + ": cannot create the file: " + SystemError());
  std::vector<uint8_t> buffer(1 << 20);
  for (;;) {
    StopIfInterrupted();
    const int64_t n = in.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (n < 0) throw Failure(from + ": cannot read the wizard: " + SystemError());
    if (n == 0) break;
    if (out.Write(buffer.data(), n) != n) throw Failure(to + ": cannot write: " + SystemError());
  }
  if (!out.Flush()) throw Failure(to + ": cannot write: " + SystemError());
}

// Entry times as they go into the package: as on disk, or, for a
// reproducible build (SOURCE_DATE_EPOCH), never after the source's epoch,
// which is taken in UTC so that every machine gives the same bytes.
class EntryClock {
 public:
  explicit EntryClock(int64_t epochSeconds) : reproducible_(epochSeconds >= 0) {
    if (!reproducible_) return;
    const std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    epoch_ = zf::os::EncodeDosDateTime({utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                                        utc.tm_hour, utc.tm_min, utc.tm_sec});
  }
  bool Reproducible() const { return reproducible_; }
  uint32_t Epoch() const { return epoch_; }
  uint32_t Of(uint32_t dosDateTime) const {
    return reproducible_ ? std::min(dosDateTime, epoch_) : dosDateTime;
  }

 private:
  bool reproducible_;
  uint32_t epoch_ = 0;
};

void MoveIntoPlace(TemporaryFile& temp, const std::string& target) {
  if (!zf::os::RenameFile(temp.Path(), target))
    throw Failure(target + ": cannot put the file in place: " + SystemError());
  temp.Kept();
}

// The source file `given` names ("/" or "\" between folders, any letter
// case), as its path in the source with "\"; "" for none. Raises Failure
// when the source has no such file.
std::string ProgramOfSource(const std::vector<SourceEntry>& source, const std::string& sourceDir,
                            const std::string& given, const char* option) {
  if (given.empty()) return {};
  std::string wanted = given;
  std::replace(wanted.begin(), wanted.end(), '\\', '/');
  while (wanted.starts_with("./")) wanted.erase(0, 2);
  const std::string folded = FoldAsciiCase(wanted);
  for (const SourceEntry& entry : source) {
    if (entry.folder || FoldAsciiCase(entry.relativeName) != folded) continue;
    std::string name = entry.relativeName;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
  }
  throw Failure(std::string(option) + " " + given + ": no such file in " + sourceDir);
}

}  // namespace

void BuildPackage(const Options& o, const std::string& programPath, Progress& progress) {
  // ---- everything that can be checked before writing ----
  CheckCodePage(o.nameCodePage, "--oem-codepage");
  CheckCodePage(o.iniCodePage, "--ini-codepage");
  const std::string wizard = WizardPath(o, programPath);
  RequireFile(wizard, " (build the wizard, or name it with --setup)");
  const std::string notProgram = ProgramProblem(ReadStart(wizard, kProgramHeadBytes));
  if (!notProgram.empty()) throw Failure(wizard + ": " + notProgram);
  const WizardImage wizardImage = ReadWizard(wizard);
  const std::string baseUtf8 = zf::os::AnsiToUtf8(o.base);
  if (o.singleFile && !wizardImage.stampAt)
    throw Failure(wizard + ": the wizard has no place for the package's stamp; a one-file "
                           "setup needs a wizard of this version");
  if (o.singleFile && baseUtf8.size() > setup::kStampMaxBaseName)
    throw Failure("--base: a one-file setup keeps at most " +
                  std::to_string(setup::kStampMaxBaseName) + " bytes of its base name");
  const EntryClock clock(o.sourceDateEpoch);

  std::vector<uint8_t> picture;
  uint32_t pictureTime = 0;
  if (!o.picture.empty()) {
    RequireFile(o.picture);
    if (zf::os::FileSize(o.picture) > kMaxPictureBytes)
      throw Failure(o.picture + ": too big for a picture");
    picture = ReadStart(o.picture, kMaxPictureBytes);
    const std::string problem = BmpProblem(picture);
    if (!problem.empty()) throw Failure(o.picture + ": " + problem);
    if (!zf::os::GetFileDosDateTime(o.picture, pictureTime))
      throw Failure(o.picture + ": cannot read its time: " + SystemError());
    pictureTime = clock.Of(pictureTime);
  }
  // A package written into its own source would be packed by the next run
  // (last run's NAME.stp and NAME.exe inside the new package).
  if (zf::os::DirectoryExists(o.source) && SameOrInside(o.outDir, o.source))
    throw Failure(o.outDir + ": the output folder lies in the source folder " + o.source +
                  ", whose next package would hold this one; choose -o outside it");
  const std::vector<SourceEntry> source = WalkSource(o.source, o.nameCodePage);
  if (std::none_of(source.begin(), source.end(), [](const SourceEntry& e) { return !e.folder; }))
    progress.Warn(o.source + ": the folder holds no files; the package installs " +
                  (source.empty() ? "nothing" : "only empty folders"));
  // The programs the wizard starts or links are files of the product,
  // named in the configuration as they are stored, with Windows' "\".
  Options withPrograms = o;
  withPrograms.run = ProgramOfSource(source, o.source, o.run, "--run");
  withPrograms.desktopShortcut = ProgramOfSource(source, o.source, o.desktopShortcut,
                                                 "--desktop-shortcut");
  std::vector<uint8_t> config;
  {
    const std::string text = BuildPackageConfig(withPrograms, o.iniCodePage);
    config.assign(text.begin(), text.end());
  }
  const std::string configName = setup::ConfigFileName(o.base);
  const std::string configStored = ToStoredName(configName, o.nameCodePage, configName);
  const std::string pictureStored(setup::kPictureName);
  const std::string uninstallerStored(setup::kUninstallerEntry);
  // The package's own root entries, which no file of the source may take.
  std::vector<std::string> own = {FoldAsciiCase(configStored)};
  if (!picture.empty()) own.push_back(FoldAsciiCase(pictureStored));
  if (o.singleFile) own.push_back(FoldAsciiCase(uninstallerStored));
  // The configuration has no file of its own: it takes the newest time of
  // the source (or the reproducible build's time), so that the same source
  // gives the same package.
  uint32_t newest = pictureTime;
  for (const SourceEntry& entry : source) {
    newest = std::max(newest, clock.Of(entry.dosDateTime));
    if (std::find(own.begin(), own.end(), FoldAsciiCase(entry.storedName)) != own.end())
      throw Failure(entry.path + ": the package keeps its own " + entry.relativeName +
                    " at this place; rename the file or choose another --base");
  }
  if (newest == 0) newest = zf::os::MakeDosDateTime(zf::os::EncodeDosDate(1980, 1, 1), 0);
  if (clock.Reproducible()) newest = clock.Epoch();

  MadeFolders outputFolders;
  outputFolders.Make(o.outDir);
  const std::string packagePath = Join(o.outDir, setup::PackageFileName(o.base));
  const std::string wizardCopy = Join(o.outDir, setup::WizardFileName(o.base));

  // ---- a one-file setup's uninstaller: a plain copy of the wizard, signed
  // on its own (a copy of the setup itself would carry the whole package) ----
  std::optional<TemporaryFile> uninstaller;
  uint32_t uninstallerTime = 0;
  if (o.singleFile) {
    uninstaller.emplace(Join(o.outDir, o.base + ".uninstall.part"));
    CopyFile(wizard, uninstaller->Path());
    if (!o.signCommand.empty()) RunSignCommand(o.signCommand, uninstaller->Path());
    if (!zf::os::GetFileDosDateTime(wizard, uninstallerTime))
      throw Failure(wizard + ": cannot read its time: " + SystemError());
    uninstallerTime = clock.Of(uninstallerTime);
  }

  // ---- the package ----
  uint64_t work = config.size() + picture.size();
  for (const SourceEntry& entry : source) work += static_cast<uint64_t>(entry.size);
  TemporaryFile packageTemp(packagePath + ".part");
  PackageWriter writer(packageTemp.Path(), o.level,
                       o.nameCodePage == kUtf8Names ? zf::kFlagUtf8Name : uint16_t{0}, progress);
  progress.Begin("packing", 2 * work);
  MemorySource configSource(configName, config);
  writer.AddData(configStored, configSource, config.size(), kFileAttributes, newest);
  if (!picture.empty()) {
    MemorySource pictureSource(o.picture, picture);
    writer.AddData(pictureStored, pictureSource, picture.size(), kFileAttributes, pictureTime);
  }
  if (uninstaller) {
    FileSource file(uninstaller->Path());
    writer.AddData(uninstallerStored, file,
                   static_cast<uint64_t>(zf::os::FileSize(uninstaller->Path())), kFileAttributes,
                   uninstallerTime);
  }
  for (const SourceEntry& entry : source) {
    if (entry.folder) {
      writer.AddFolder(entry.storedName, entry.attributes, clock.Of(entry.dosDateTime));
    } else {
      FileSource file(entry.path);
      writer.AddData(entry.storedName, file, static_cast<uint64_t>(entry.size),
                     entry.attributes, clock.Of(entry.dosDateTime));
    }
  }
  writer.Finish();
  progress.End();
  if (o.verify) VerifyPackage(packageTemp.Path(), packagePath, writer.Entries(), progress);

  // ---- the wizard: its stamp (the package's digest, and for one file the
  // package's place and name), the package behind it for one file, then
  // the signature, last ----
  setup::TPackageStamp stamp;
  stamp.flags = setup::kStampDigest | (o.singleFile ? setup::kStampSingleFile : 0);
  stamp.offset = o.singleFile ? wizardImage.bytes.size() : 0;
  stamp.size = writer.Size();
  progress.Begin("digest", stamp.size);
  stamp.sha256 = FileSha256(packageTemp.Path(), progress);
  progress.End();
  if (o.singleFile) stamp.baseName = baseUtf8;
  TemporaryFile wizardTemp(wizardCopy + ".part");
  WriteWizardCopy(wizardImage, stamp, wizardTemp.Path(), o.singleFile ? packageTemp.Path() : "");
  if (!o.signCommand.empty()) RunSignCommand(o.signCommand, wizardTemp.Path());

  // ---- everything in place ----
  if (o.singleFile) {
    MoveIntoPlace(wizardTemp, wizardCopy);
  } else {
    MoveIntoPlace(packageTemp, packagePath);
    try {
      MoveIntoPlace(wizardTemp, wizardCopy);
    } catch (const Failure&) {
      zf::os::RemoveFile(packagePath);  // a package without its wizard is no use
      throw;
    }
  }

  outputFolders.Kept();

  size_t files = 0, folders = 0;
  for (const SourceEntry& entry : source) (entry.folder ? folders : files)++;
  const auto count = [](size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  const std::string counts = count(files, "file") + ", " + count(folders, "folder") + ", " +
                             std::to_string(writer.Size()) + " bytes" +
                             (o.verify ? ", verified" : "");
  const std::string digest = wizardImage.stampAt
                                 ? "SHA-256 " + setup::HexDigest(stamp.sha256)
                                 : "the wizard has no place for the package's digest: not checked";
  const std::string signedText = o.signCommand.empty() ? "" : ", signed";
  if (o.singleFile) {
    progress.Info(wizardCopy + ": one file, the package inside: " + counts + ", " + digest +
                  signedText);
  } else {
    progress.Info(packagePath + ": " + counts);
    progress.Info(wizardCopy + ": the wizard beside it, " + digest + signedText);
  }
}

}  // namespace mkstp
