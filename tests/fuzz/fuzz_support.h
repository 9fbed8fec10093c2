// What the fuzz targets share: a private scratch folder for the files a run
// reads and writes, and a process set up so that nothing can wait for a
// person (no terminal, every standard dialog answered at once) or flood the
// fuzzer's output with the programs' own messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zffuzz {

// Standard input from /dev/null (so no question finds a terminal), the C
// streams stdout and stderr into /dev/null (the sanitizers and libFuzzer
// still report on file descriptor 2), and the standard dialogs answered as
// nobody-there: Cancel, Ignore for a failure, no password.
void QuietProcess();

// A folder of this process's own under /dev/shm (else TMPDIR), made once
// and removed at exit.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // The folder, ending in "/".
  const std::string& Path() const { return path_; }
  // Writes the input as the file `name` in the folder; returns its path.
  std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) const;
  // Empties the folder.
  void Clear() const;
  // The names directly in the folder, sorted.
  std::string Listing() const;

 private:
  std::string path_;
};

}  // namespace zffuzz
