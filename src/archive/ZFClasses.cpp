#include "archive/ZFClasses.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zf {

int64_t TStream::GetSize() {
  const int64_t here = GetPosition();
  const int64_t size = Seek(0, os::SeekOrigin::End);
  SetPosition(here);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  constexpr int64_t kChunk = 1 << 20;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kChunk)));
  int64_t done = 0;
  while (done < count) {
    const int64_t n = std::min(kChunk, count - done);
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    done += n;
  }
  return done;
}

// ---- TFileStream -----------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
  os::OpenMode osMode = os::OpenMode::Create;
  if (mode == TFileMode::fmOpenReadWriteDenyWrite) osMode = os::OpenMode::ReadWriteDenyWrite;
  if (mode == TFileMode::fmOpenReadDenyNone) osMode = os::OpenMode::ReadOnlyDenyNone;
  if (!owned_.Open(fileName, osMode)) {
    const int code = os::LastErrorCode();
    const char* verb = mode == TFileMode::fmCreate ? "Cannot create file" : "Cannot open file";
    throw EFOpenError(std::string(verb) + " \"" + fileName + "\". " + os::ErrorText(code), code);
  }
}

TFileStream::TFileStream(const std::string& fileName, os::File& file)
    : file_(&file), fileName_(fileName) {}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  const int64_t n = file_->Read(buffer, count);
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  const int64_t n = file_->Write(buffer, count);
  if (n != count) writeError_ = os::LastErrorCode();
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, os::SeekOrigin origin) {
  return file_->Seek(offset, origin);
}

int64_t TFileStream::GetSize() { return file_->Size(); }

void TFileStream::SetSize(int64_t size) {
  const int64_t here = file_->Seek(0, os::SeekOrigin::Current);
  if (file_->Seek(size, os::SeekOrigin::Begin) != size || !file_->Truncate())
    throw EWriteError("Stream write error");
  file_->Seek(std::min(here, size), os::SeekOrigin::Begin);
}

// ---- TFileWindowStream -----------------------------------------------------

TFileWindowStream::TFileWindowStream(const std::string& fileName, int64_t offset, int64_t size)
    : file_(fileName, TFileMode::fmOpenReadDenyNone), offset_(std::max<int64_t>(offset, 0)) {
  const int64_t fileSize = file_.GetSize();
  size_ = std::clamp<int64_t>(fileSize - offset_, 0, std::max<int64_t>(size, 0));
}

int64_t TFileWindowStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  count = std::min(count, size_ - position_);
  if (file_.Seek(offset_ + position_, os::SeekOrigin::Begin) < 0) return 0;
  const int64_t n = file_.Read(buffer, count);
  position_ += n;
  return n;
}

int64_t TFileWindowStream::Seek(int64_t offset, os::SeekOrigin origin) {
  int64_t base = 0;
  if (origin == os::SeekOrigin::Current) base = position_;
  if (origin == os::SeekOrigin::End) base = size_;
  if (offset > INT64_MAX - base || base + offset < 0) return -1;
  position_ = base + offset;
  return position_;
}

// ---- TMemoryStream ---------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = GetSize();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > GetSize()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, os::SeekOrigin origin) {
  int64_t base = 0;
  if (origin == os::SeekOrigin::Current) base = position_;
  if (origin == os::SeekOrigin::End) base = GetSize();
  if (base + offset < 0) return -1;
  position_ = base + offset;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  position_ = std::min(position_, GetSize());
}

// ---- TNullStream -------------------------------------------------------------

int64_t TNullStream::Write(const void*, int64_t count) {
  if (count <= 0) return 0;
  position_ += count;
  size_ = std::max(size_, position_);
  return count;
}

int64_t TNullStream::Seek(int64_t offset, os::SeekOrigin origin) {
  switch (origin) {
    case os::SeekOrigin::Begin: position_ = offset; break;
    case os::SeekOrigin::Current: position_ += offset; break;
    case os::SeekOrigin::End: position_ = size_ + offset; break;
  }
  return position_;
}

void TNullStream::SetSize(int64_t size) {
  size_ = size;
  position_ = std::min(position_, size_);
}

}  // namespace zf
