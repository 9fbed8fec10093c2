// Buffered writing of the package file.
#include "output_file.h"


#include "mkstp.h"

namespace mkstp {

namespace {
constexpr size_t kBufferSize = 1 << 20;
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
  if (!file_.Open(path, zf::os::OpenMode::Create)) Fail("cannot create the file");
  buffer_.reserve(kBufferSize);
}

void OutputFile::Fail(const std::string& what) {
  throw Failure(path_ + ": " + what + ": " + SystemError());
}

void OutputFile::Flush() {
  if (buffer_.empty()) return;
  const int64_t n = file_.Write(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  if (n != static_cast<int64_t>(buffer_.size())) Fail("cannot write");
  buffer_.clear();
}

void OutputFile::Append(const void* data, size_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  position_ += count;
  while (count > 0) {
    const size_t room = kBufferSize - buffer_.size();
    const size_t take = count < room ? count : room;
    buffer_.insert(buffer_.end(), p, p + take);
    p += take;
    count -= take;
    if (buffer_.size() == kBufferSize) Flush();
  }
}

void OutputFile::Patch(uint64_t at, const std::vector<uint8_t>& bytes) {
  Flush();
  if (file_.Seek(static_cast<int64_t>(at), zf::os::SeekOrigin::Begin) < 0 ||
      file_.Write(bytes.data(), static_cast<int64_t>(bytes.size())) !=
          static_cast<int64_t>(bytes.size()) ||
      file_.Seek(static_cast<int64_t>(position_), zf::os::SeekOrigin::Begin) < 0)
    Fail("cannot write");
}

void OutputFile::CutBack(uint64_t at) {
  Flush();
  if (file_.Seek(static_cast<int64_t>(at), zf::os::SeekOrigin::Begin) < 0 || !file_.Truncate())
    Fail("cannot write");
  position_ = at;
}

void OutputFile::Close() {
  Flush();
  if (!file_.Flush()) Fail("cannot write");
  file_.Close();
}

}  // namespace mkstp
