// The mkstp run, step by step.
#include "build_package.h"

#include <algorithm>
#include <vector>

#include "archive/ZFStrFunc.h"
#include "bmp_check.h"
#include "entry_source.h"
#include "package_config.h"
#include "package_writer.h"
#include "platform/platform.h"
#include "source_walk.h"
#include "stored_names.h"
#include "verify.h"
#include "package/PackageFormat.h"

namespace mkstp {

namespace {

// A picture bigger than this is surely not meant for a 32 x 32 box; the
// limit keeps the check's read bounded.
constexpr int64_t kMaxPictureBytes = 16 << 20;
constexpr uint32_t kFileAttributes = zf::os::faArchive;

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

std::vector<uint8_t> ReadSmallFile(const std::string& path, int64_t limit) {
  const int64_t size = zf::os::FileSize(path);
  if (size < 0) throw Failure(path + ": cannot read the file: " + SystemError());
  if (size > limit) throw Failure(path + ": too big for a picture");
  zf::os::File file;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone) ||
      file.Read(bytes.data(), size) != size)
    throw Failure(path + ": cannot read the file: " + SystemError());
  return bytes;
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

void MoveIntoPlace(TemporaryFile& temp, const std::string& target) {
  if (!zf::os::RenameFile(temp.Path(), target))
    throw Failure(target + ": cannot put the file in place: " + SystemError());
  temp.Kept();
}

}  // namespace

void BuildPackage(const Options& o, const std::string& programPath, Progress& progress) {
  // ---- everything that can be checked before writing ----
  CheckCodePage(o.nameCodePage, "--oem-codepage");
  CheckCodePage(o.iniCodePage, "--ini-codepage");
  const std::string wizard = WizardPath(o, programPath);
  if (!zf::os::FileExists(wizard))
    throw Failure(wizard + ": no such file (build the wizard, or name it with --setup)");

  std::vector<uint8_t> picture;
  uint32_t pictureTime = 0;
  if (!o.picture.empty()) {
    if (!zf::os::FileExists(o.picture)) throw Failure(o.picture + ": no such file");
    picture = ReadSmallFile(o.picture, kMaxPictureBytes);
    const std::string problem = BmpProblem(picture);
    if (!problem.empty()) throw Failure(o.picture + ": " + problem);
    if (!zf::os::GetFileDosDateTime(o.picture, pictureTime))
      throw Failure(o.picture + ": cannot read its time: " + SystemError());
  }
  std::vector<uint8_t> config;
  {
    const std::string text = BuildPackageConfig(o, o.iniCodePage);
    config.assign(text.begin(), text.end());
  }

  const std::vector<SourceEntry> source = WalkSource(o.source, o.nameCodePage);
  const std::string configName = setup::ConfigFileName(o.base);
  const std::string configStored = ToStoredName(configName, o.nameCodePage, configName);
  const std::string pictureStored(setup::kPictureName);
  const std::string configFolded = FoldAsciiCase(configStored);
  const std::string pictureFolded = FoldAsciiCase(pictureStored);
  // The configuration has no file of its own: it takes the newest time of
  // the source, so that the same source gives the same package.
  uint32_t newest = pictureTime;
  for (const SourceEntry& entry : source) {
    newest = std::max(newest, entry.dosDateTime);
    const std::string folded = FoldAsciiCase(entry.storedName);
    if (folded == configFolded || (!picture.empty() && folded == pictureFolded))
      throw Failure(entry.path + ": the package keeps its own " + entry.relativeName +
                    " at this place; rename the file or choose another --base");
  }
  if (newest == 0) newest = zf::os::MakeDosDateTime(zf::os::EncodeDosDate(1980, 1, 1), 0);

  if (!zf::os::DirectoryExists(o.outDir) && !zf::os::ForceDirectories(o.outDir))
    throw Failure(o.outDir + ": cannot create the folder: " + SystemError());
  const std::string packagePath = Join(o.outDir, setup::PackageFileName(o.base));
  const std::string wizardCopy = Join(o.outDir, setup::WizardFileName(o.base));

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
  for (const SourceEntry& entry : source) {
    if (entry.folder) {
      writer.AddFolder(entry.storedName, entry.attributes, entry.dosDateTime);
    } else {
      FileSource file(entry.path);
      writer.AddData(entry.storedName, file, static_cast<uint64_t>(entry.size),
                     entry.attributes, entry.dosDateTime);
    }
  }
  writer.Finish();
  progress.End();
  if (o.verify) VerifyPackage(packageTemp.Path(), packagePath, writer.Entries(), progress);

  // ---- the wizard beside it, then both in place ----
  TemporaryFile wizardTemp(wizardCopy + ".part");
  CopyFile(wizard, wizardTemp.Path());
  MoveIntoPlace(packageTemp, packagePath);
  try {
    MoveIntoPlace(wizardTemp, wizardCopy);
  } catch (const Failure&) {
    zf::os::RemoveFile(packagePath);  // a package without its wizard is no use
    throw;
  }

  size_t files = 0, folders = 0;
  for (const SourceEntry& entry : source) (entry.folder ? folders : files)++;
  progress.Info("mkstp: " + packagePath + ": " + std::to_string(files) + " files, " +
                std::to_string(folders) + " folders, " + std::to_string(writer.Size()) +
                " bytes" + (o.verify ? ", verified" : ""));
  progress.Info("mkstp: " + wizardCopy + ": the wizard beside it");
}

}  // namespace mkstp
