// What the directory reader found in an archive, as facts: how many entries
// the end records claim and how many central headers were read, each
// problem met with the offset where it was met, and whether the directory
// was rebuilt from the local headers. TZFDirManager::Decide turns each
// problem into a decision (read on, rebuild, refuse); front ends show the
// report (zfx warns with Summary()).
//
// New checks add a TZFDirProblem and its text here and their decision in
// Decide, nowhere else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zf {

enum class TZFDirProblem : uint8_t {
  NoEndRecord,           // no end of central directory record reaches the end of the file
  NoZip64EndRecord,      // a Zip64 locator points at no Zip64 end record
  EntryCountUnknown,     // the end record says 0xFFFF entries and there are no Zip64 records
  EntryCountTooLarge,    // more entries than the directory's size can hold
  EntryCountTooSmall,    // the directory holds more central headers than the end records count
  DirectoryOutsideFile,  // the directory's size or offset lies beyond the file
  VolumeOutsideSet,      // the directory names or runs into a volume outside the set
  HeaderCutShort,        // a central header, its name, extra field or comment runs past the end
  NameIndexInvalid,      // the name index fell out of step with the items
  Unreadable,            // the stream failed while the directory was read
  EntryCutShort,         // the file ends inside a local header or an entry's data (found by
                         // a rebuild; the offset is the entry's local header)
};

// The English text of a problem, e.g. "a central header is cut short".
const char* ProblemText(TZFDirProblem problem);

struct TZFDirFinding {
  TZFDirProblem Problem;
  int64_t Offset = -1;  // where it was met, in its volume; -1 when nowhere in particular
  std::string Text;     // ProblemText, or more when the reader knows more
};

// What to do about a finding.
enum class TZFDirDecision : uint8_t {
  ReadOn,   // a leniency: the directory is used as it is, the finding noted
  Rebuild,  // the directory is replaced by one rebuilt from the local headers
  Refuse,   // the open fails
};

struct TZFDirReport {
  bool EndRecordFound = false;
  int64_t EntriesClaimed = -1;  // by the end records; -1 when there are none
  int64_t EntriesRead = 0;      // central headers read in full (before a rebuild); above
                                // EntriesClaimed when the directory held more
  bool Rebuilt = false;
  int32_t RebuildFinding = -1;   // index in Findings of the one that decided the rebuild
  int64_t LocalHeadersUsed = 0;  // items a rebuild made from local headers
  std::vector<TZFDirFinding> Findings;  // in the order met

  // Something was wrong with the directory.
  bool Damaged() const { return !Findings.empty(); }
  // The finding that made the reader rebuild, or null.
  const TZFDirFinding* RebuildReason() const;
  // The offset of the local header the file ends inside, or -1.
  int64_t CutShortAt() const;
  // One line for a user, empty when nothing was found, e.g.
  // "directory damaged at offset 1234 (a central header is cut short; 2 of
  // 3 central headers read): rebuilt from 3 local headers", with the
  // other findings after it ("; the file ends inside the entry at offset
  // 5678").
  std::string Summary() const;
};

}  // namespace zf
