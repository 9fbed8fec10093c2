// Writing entries, the central directory and the end records.
#include "package_writer.h"

#include <zlib.h>

#include "archive/ZFCrc32.h"
#include "archive/ZFRecords.h"
#include "mkstp.h"
#include "platform/platform.h"
#include "package/PackageFormat.h"

namespace mkstp {

namespace {

constexpr size_t kChunk = 1 << 20;
// The attribute bits a package keeps: read-only, hidden, system, directory,
// archive.
constexpr uint32_t kKeptAttributes = zf::os::faReadOnly | zf::os::faHidden |
                                     zf::os::faSysFile | zf::os::faDirectory |
                                     zf::os::faArchive;

// Owns a raw deflate stream (no zlib wrapper: windowBits -15).
class Deflater {
 public:
  explicit Deflater(int level) {
    if (deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw Failure("cannot start the compression (out of memory?)");
  }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  z_stream& Stream() { return z_; }

 private:
  z_stream z_{};
};

// A source that read otherwise than expected changed while it was packed.
void CheckLength(uint64_t read, uint64_t expected, const EntrySource& source) {
  if (read != expected)
    throw Failure(source.Name() + ": the file changed while it was being packed");
}

}  // namespace

PackageWriter::PackageWriter(const std::string& path, int level, uint16_t nameFlags,
                             Progress& progress)
    : out_(path), level_(level), nameFlags_(nameFlags), progress_(progress), in_(kChunk),
      deflated_(kChunk) {}

void PackageWriter::AddFolder(const std::string& storedName, uint32_t attributes,
                              uint32_t dosDateTime) {
  EntryRecord entry;
  entry.storedName = storedName;
  entry.flags = nameFlags_;
  entry.dosDateTime = dosDateTime;
  entry.externalAttributes = (attributes & kKeptAttributes) | zf::os::faDirectory;
  entry.localHeaderOffset = out_.Position();
  out_.Append(LocalRecord(entry));
  entries_.push_back(entry);
}

uint32_t PackageWriter::ComputeCrc(EntrySource& source, uint64_t size) {
  source.Rewind();
  uint32_t crc = 0xFFFFFFFFu;
  uint64_t read = 0;
  for (;;) {
    StopIfInterrupted();
    const size_t n = source.Read(in_.data(), kChunk);
    if (n == 0) break;
    crc = zf::CRC32Update(crc, in_.data(), static_cast<int32_t>(n));
    read += n;
    progress_.Advance(n, source.Name());
  }
  CheckLength(read, size, source);
  return ~crc;
}

void PackageWriter::StartEncryption(EntryRecord& entry) {
  zf::InitKeys(std::string(setup::kPackagePassword), keys_);
  std::vector<uint8_t> header = PlainEncryptionHeader(entry.storedName, entry.crc);
  zf::EncryptBuffer(header.data(), static_cast<int64_t>(header.size()), keys_);
  out_.Append(header);
}

void PackageWriter::AppendEncrypted(uint8_t* data, size_t count) {
  zf::EncryptBuffer(data, static_cast<int64_t>(count), keys_);
  out_.Append(data, count);
}

bool PackageWriter::WriteDeflated(EntrySource& source, EntryRecord& entry) {
  const uint64_t dataStart = out_.Position();
  StartEncryption(entry);
  Deflater deflater(level_);
  z_stream& z = deflater.Stream();
  source.Rewind();
  uint64_t read = 0, written = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    StopIfInterrupted();
    const size_t n = source.Read(in_.data(), kChunk);
    read += n;
    progress_.Advance(n, source.Name());
    z.next_in = in_.data();
    z.avail_in = static_cast<uInt>(n);
    const int flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = deflated_.data();
      z.avail_out = static_cast<uInt>(deflated_.size());
      status = deflate(&z, flush);
      if (status == Z_STREAM_ERROR) throw Failure(source.Name() + ": compression failed");
      const size_t produced = deflated_.size() - z.avail_out;
      AppendEncrypted(deflated_.data(), produced);
      written += produced;
    } while (z.avail_out == 0);
    // Already no smaller than the data: storing is the better choice, and
    // reading on would only cost time.
    if (written >= entry.uncompressedSize && status != Z_STREAM_END) break;
  }
  if (status == Z_STREAM_END) CheckLength(read, entry.uncompressedSize, source);
  if (status != Z_STREAM_END || written >= entry.uncompressedSize) {
    out_.CutBack(dataStart);
    return false;
  }
  entry.method = zf::kMethodDeflated;
  entry.compressedSize = zf::kEncryptionHeaderSize + written;
  return true;
}

void PackageWriter::WriteStored(EntrySource& source, EntryRecord& entry) {
  StartEncryption(entry);
  source.Rewind();
  uint64_t read = 0;
  for (;;) {
    StopIfInterrupted();
    const size_t n = source.Read(in_.data(), kChunk);
    if (n == 0) break;
    read += n;
    AppendEncrypted(in_.data(), n);
  }
  CheckLength(read, entry.uncompressedSize, source);
  entry.method = zf::kMethodStored;
  entry.compressedSize = zf::kEncryptionHeaderSize + read;
}

void PackageWriter::AddData(const std::string& storedName, EntrySource& source, uint64_t size,
                            uint32_t attributes, uint32_t dosDateTime) {
  EntryRecord entry;
  entry.storedName = storedName;
  entry.flags = zf::kFlagEncrypted | nameFlags_;
  entry.dosDateTime = dosDateTime;
  entry.externalAttributes = attributes & kKeptAttributes & ~zf::os::faDirectory;
  entry.uncompressedSize = size;
  entry.localZip64 = NeedsLocalZip64(size);
  entry.crc = ComputeCrc(source, size);
  entry.localHeaderOffset = out_.Position();
  // A first image of the header reserves its room; the sizes follow below.
  out_.Append(LocalRecord(entry));
  if (level_ == 0 || !WriteDeflated(source, entry)) WriteStored(source, entry);
  out_.Patch(entry.localHeaderOffset, LocalRecord(entry));
  entries_.push_back(entry);
}

void PackageWriter::Finish() {
  const uint64_t directoryOffset = out_.Position();
  for (const EntryRecord& entry : entries_) out_.Append(CentralRecord(entry));
  const uint64_t directorySize = out_.Position() - directoryOffset;
  out_.Append(EndRecords(entries_.size(), directoryOffset, directorySize, out_.Position()));
  out_.Close();
}

}  // namespace mkstp
