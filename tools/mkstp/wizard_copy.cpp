// Finding the stamp's place, the package's digest, and the copy written.
#include "wizard_copy.h"

#include <algorithm>

#include "mkstp.h"
#include "platform/platform.h"

namespace mkstp {

namespace {

// No wizard is this big; the bound keeps the read of a wrong file sane.
constexpr int64_t kMaxWizardBytes = 256 << 20;
constexpr size_t kChunk = 1 << 20;

void AppendFile(zf::os::File& out, const std::string& to, const std::string& from) {
  zf::os::File in;
  if (!in.Open(from, zf::os::OpenMode::ReadOnlyDenyNone))
    throw Failure(from + ": cannot read the file: " + SystemError());
  std::vector<uint8_t> buffer(kChunk);
  for (;;) {
    StopIfInterrupted();
    const int64_t n = in.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (n < 0) throw Failure(from + ": cannot read the file: " + SystemError());
    if (n == 0) return;
    if (out.Write(buffer.data(), n) != n) throw Failure(to + ": cannot write: " + SystemError());
  }
}

}  // namespace

WizardImage ReadWizard(const std::string& path) {
  const int64_t size = zf::os::FileSize(path);
  if (size < 0) throw Failure(path + ": cannot read the wizard: " + SystemError());
  if (size > kMaxWizardBytes) throw Failure(path + ": too big for a wizard");
  WizardImage image;
  image.bytes.resize(static_cast<size_t>(size));
  zf::os::File file;
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone) ||
      file.Read(image.bytes.data(), size) != size)
    throw Failure(path + ": cannot read the wizard: " + SystemError());

  static constexpr uint8_t kMark[] = {ZF_PACKAGE_STAMP_MARK};
  const auto& b = image.bytes;
  auto at = std::search(b.begin(), b.end(), std::begin(kMark), std::end(kMark));
  if (at == b.end()) return image;
  if (std::search(at + 1, b.end(), std::begin(kMark), std::end(kMark)) != b.end())
    throw Failure(path + ": the wizard's stamp mark stands in it more than once");
  const size_t place = static_cast<size_t>(at - b.begin());
  if (b.size() - place < setup::kStampSize)
    throw Failure(path + ": the wizard's stamp place is cut short");
  image.stampAt = place;
  return image;
}

std::array<uint8_t, 32> FileSha256(const std::string& path, Progress& progress) {
  zf::os::File file;
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone))
    throw Failure(path + ": cannot read the package: " + SystemError());
  zf::os::Sha256 sha;
  std::vector<uint8_t> buffer(kChunk);
  for (;;) {
    StopIfInterrupted();
    const int64_t n = file.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (n < 0) throw Failure(path + ": cannot read the package: " + SystemError());
    if (n == 0) break;
    sha.Update(buffer.data(), static_cast<size_t>(n));
    progress.Advance(static_cast<uint64_t>(n), path);
  }
  return sha.Final();
}

void WriteWizardCopy(const WizardImage& wizard, const setup::TPackageStamp& stamp,
                     const std::string& to, const std::string& appended) {
  std::vector<uint8_t> bytes = wizard.bytes;
  if (wizard.stampAt) {
    const std::vector<uint8_t> place = setup::StampBytes(stamp);
    std::copy(place.begin(), place.end(), bytes.begin() + static_cast<std::ptrdiff_t>(*wizard.stampAt));
  }
  zf::os::File out;
  if (!out.Open(to, zf::os::OpenMode::Create))
    throw Failure(to + ": cannot create the file: " + SystemError());
  if (out.Write(bytes.data(), static_cast<int64_t>(bytes.size())) !=
      static_cast<int64_t>(bytes.size()))
    throw Failure(to + ": cannot write: " + SystemError());
  if (!appended.empty()) AppendFile(out, to, appended);
  if (!out.Flush()) throw Failure(to + ": cannot write: " + SystemError());
}

}  // namespace mkstp
