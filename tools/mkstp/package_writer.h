// Writes a package: entries one after another (folders, and data entries
// deflated or stored and encrypted under the package password), then the
// central directory and the end records.
//
// A data entry costs two reads of its source: one for the CRC-32, which the
// encryption header's check byte and the local header need before the data
// (the package uses no data descriptors), and one that compresses, encrypts
// and writes in chunks, so no file is ever held in memory whole. When
// deflate does not make the data smaller, the entry is written again,
// stored. The local header is then patched with the final method and sizes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ZFCipher.h"
#include "entry_source.h"
#include "output_file.h"
#include "package_records.h"
#include "progress.h"

namespace mkstp {

class PackageWriter {
 public:
  // Creates path; level 0 stores every entry, 1-9 deflates at that level.
  // nameFlags (kFlagUtf8Name or 0) is set in every entry's flags.
  PackageWriter(const std::string& path, int level, uint16_t nameFlags, Progress& progress);

  void AddFolder(const std::string& storedName, uint32_t attributes, uint32_t dosDateTime);
  // size is what the source holds; a source that reads otherwise (a file
  // changed meanwhile) raises Failure.
  void AddData(const std::string& storedName, EntrySource& source, uint64_t size,
               uint32_t attributes, uint32_t dosDateTime);
  // Central directory and end records; closes the file.
  void Finish();

  const std::vector<EntryRecord>& Entries() const { return entries_; }
  uint64_t Size() const { return out_.Position(); }

 private:
  uint32_t ComputeCrc(EntrySource& source, uint64_t size);
  // Writes the encryption header and the deflated data and sets the
  // entry's compressed size; false (with the output cut back) when deflate
  // did not make the data smaller.
  bool WriteDeflated(EntrySource& source, EntryRecord& entry);
  void WriteStored(EntrySource& source, EntryRecord& entry);
  void StartEncryption(EntryRecord& entry);
  void AppendEncrypted(uint8_t* data, size_t count);

  OutputFile out_;
  int level_;
  uint16_t nameFlags_;
  Progress& progress_;
  std::vector<EntryRecord> entries_;
  std::vector<uint8_t> in_, deflated_;
  zf::TZFKeys keys_;
};

}  // namespace mkstp
