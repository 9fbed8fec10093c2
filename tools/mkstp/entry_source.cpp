// Reading entry data from files and memory.
#include "entry_source.h"

#include <cstring>

#include "mkstp.h"

namespace mkstp {

void FileSource::Rewind() {
  if (file_.IsOpen()) {
    if (file_.Seek(0, zf::os::SeekOrigin::Begin) == 0) return;
  } else if (file_.Open(path_, zf::os::OpenMode::ReadOnlyDenyNone)) {
    return;
  }
  throw Failure(path_ + ": cannot read the file: " + SystemError());
}

size_t FileSource::Read(uint8_t* buffer, size_t count) {
  const int64_t n = file_.Read(buffer, static_cast<int64_t>(count));
  if (n < 0) throw Failure(path_ + ": cannot read the file: " + SystemError());
  return static_cast<size_t>(n);
}

size_t MemorySource::Read(uint8_t* buffer, size_t count) {
  const size_t left = bytes_.size() - position_;
  const size_t n = count < left ? count : left;
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

}  // namespace mkstp
