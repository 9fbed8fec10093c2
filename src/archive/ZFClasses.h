// The small base classes the engine is built on: the root exception class
// that holds a message, the named component, and seekable byte streams with
// 64-bit positions over files, windows of files and memory.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zf {

// Base of every exception the engine raises; holds the message text.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 protected:
  void SetMessage(std::string message) { message_ = std::move(message); }

 private:
  std::string message_;
};

// A stream could not deliver the bytes asked for ("Stream read error").
class EReadError : public Exception {
 public:
  using Exception::Exception;
};
// A stream could not take the bytes given ("Stream write error").
class EWriteError : public Exception {
 public:
  using Exception::Exception;
};
// A file could not be opened or created; the message names it, and
// SystemCode tells the system's reason (errno, or GetLastError on Windows).
class EFOpenError : public Exception {
 public:
  explicit EFOpenError(std::string message, int systemCode = 0)
      : Exception(std::move(message)), systemCode_(systemCode) {}
  int SystemCode() const { return systemCode_; }

 private:
  int systemCode_ = 0;
};

// An object with a name given by its owner (a form's member name such as
// "ZipArchiver1"); error messages are prefixed with it.
class TComponent {
 public:
  virtual ~TComponent() = default;
  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

 private:
  std::string name_;
};

// A seekable byte stream with 64-bit positions.
class TStream {
 public:
  virtual ~TStream() = default;
  // Up to count bytes; returns how many arrived (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Returns how many bytes were taken.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, os::SeekOrigin origin) = 0;
  virtual int64_t GetSize();
  // Cuts or extends the stream to size bytes.
  virtual void SetSize(int64_t size) = 0;
  // The system's error code of the last Write that took fewer bytes than
  // given (0: none known), read on the thread that wrote.
  virtual int WriteErrorCode() const { return 0; }

  int64_t GetPosition() { return Seek(0, os::SeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, os::SeekOrigin::Begin); }

  // Exactly count bytes or EReadError / EWriteError.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source at its position (all of it when count is
  // 0, from its start); returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// Open modes of TFileStream, as the component uses them.
enum class TFileMode { fmCreate, fmOpenReadWriteDenyWrite, fmOpenReadDenyNone };

class TFileStream : public TStream {
 public:
  // Raises EFOpenError ("Cannot open file "name". <system text>") on failure.
  TFileStream(const std::string& fileName, TFileMode mode);
  // Over a file opened elsewhere (an entry's pending file), which stays its
  // owner's and must outlive the stream; fileName is the name it stands for.
  TFileStream(const std::string& fileName, os::File& file);
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, os::SeekOrigin origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;
  int WriteErrorCode() const override { return writeError_; }
  bool Flush() { return file_->Flush(); }
  // The open file, for what is set on it rather than by name (time, attributes).
  os::File& File() { return *file_; }
  const std::string& FileName() const { return fileName_; }

 private:
  os::File owned_;
  os::File* file_ = &owned_;
  std::string fileName_;
  int writeError_ = 0;
};

// A read-only window of a file: the bytes [offset, offset + size) read as a
// stream of their own, positions counted from the window's start. An
// archive kept inside a bigger file (behind a program, before a signature)
// is read through one. A window reaching past the file's end ends with
// the file.
class TFileWindowStream : public TStream {
 public:
  // Raises EFOpenError as TFileStream does.
  TFileWindowStream(const std::string& fileName, int64_t offset, int64_t size);
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, os::SeekOrigin origin) override;
  int64_t GetSize() override { return size_; }
  void SetSize(int64_t) override { throw EWriteError("Stream write error"); }

 private:
  TFileStream file_;
  int64_t offset_;
  int64_t size_;
  int64_t position_ = 0;
};

class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, os::SeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;
  const std::vector<uint8_t>& Data() const { return data_; }
  std::vector<uint8_t>& Data() { return data_; }

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

// Takes every byte and keeps none, counting them: the destination of a run
// that only checks entries (Test) and of any other decoding done to learn
// whether the data is sound.
class TNullStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override;
  int64_t Seek(int64_t offset, os::SeekOrigin origin) override;
  int64_t GetSize() override { return size_; }
  void SetSize(int64_t size) override;

 private:
  int64_t position_ = 0;
  int64_t size_ = 0;
};

}  // namespace zf
