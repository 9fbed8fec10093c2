// The package file being written: buffered appends, the position, and
// patching bytes already written (a local header once its sizes are known).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace mkstp {

class OutputFile {
 public:
  // Creates (or truncates) path; raises Failure when it cannot.
  explicit OutputFile(const std::string& path);

  // Appends; raises Failure on a write error (a full disk, say).
  void Append(const void* data, size_t count);
  void Append(const std::vector<uint8_t>& bytes) { Append(bytes.data(), bytes.size()); }
  // The position the next Append writes at.
  uint64_t Position() const { return position_; }
  // Writes bytes at an earlier position and comes back to the end.
  void Patch(uint64_t at, const std::vector<uint8_t>& bytes);
  // Drops everything from position at on; appending goes on from there.
  void CutBack(uint64_t at);
  // Writes what is buffered and closes; raises Failure on a write error.
  void Close();

 private:
  void Flush();
  [[noreturn]] void Fail(const std::string& what);

  std::string path_;
  zf::os::File file_;
  std::vector<uint8_t> buffer_;
  uint64_t position_ = 0;
};

}  // namespace mkstp
