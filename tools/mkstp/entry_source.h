// Where an entry's data comes from: a file on disk, read in chunks and
// from the start again for each pass, or bytes already in memory (the
// configuration file, the picture).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace mkstp {

class EntrySource {
 public:
  virtual ~EntrySource() = default;
  // Back to the first byte; raises Failure when the data cannot be read.
  virtual void Rewind() = 0;
  // Up to count bytes (0 at the end); raises Failure on a read error.
  virtual size_t Read(uint8_t* buffer, size_t count) = 0;
  // The name for messages.
  virtual const std::string& Name() const = 0;
};

class FileSource : public EntrySource {
 public:
  explicit FileSource(std::string path) : path_(std::move(path)) {}
  void Rewind() override;
  size_t Read(uint8_t* buffer, size_t count) override;
  const std::string& Name() const override { return path_; }

 private:
  std::string path_;
  zf::os::File file_;
};

class MemorySource : public EntrySource {
 public:
  MemorySource(std::string name, const std::vector<uint8_t>& bytes)
      : name_(std::move(name)), bytes_(bytes) {}
  void Rewind() override { position_ = 0; }
  size_t Read(uint8_t* buffer, size_t count) override;
  const std::string& Name() const override { return name_; }

 private:
  std::string name_;
  const std::vector<uint8_t>& bytes_;
  size_t position_ = 0;
};

}  // namespace mkstp
