// The directory report's texts (see ZFDirReport.h).
#include "archive/ZFDirReport.h"

namespace zf {

const char* ProblemText(TZFDirProblem problem) {
  switch (problem) {
    case TZFDirProblem::NoEndRecord: return "no end of central directory record";
    case TZFDirProblem::NoZip64EndRecord: return "the Zip64 end record is missing";
    case TZFDirProblem::EntryCountUnknown: return "the entry count is unknown";
    case TZFDirProblem::EntryCountTooLarge: return "more entries than the directory can hold";
    case TZFDirProblem::EntryCountTooSmall:
      return "the directory holds more entries than the end record counts";
    case TZFDirProblem::DirectoryOutsideFile: return "the directory lies beyond the file";
    case TZFDirProblem::VolumeOutsideSet: return "the directory runs beyond the last volume";
    case TZFDirProblem::HeaderCutShort: return "a central header is cut short";
    case TZFDirProblem::NameIndexInvalid: return "the name index is out of step";
    case TZFDirProblem::Unreadable: return "the archive cannot be read";
    case TZFDirProblem::EntryCutShort: return "the file ends inside the entry";
  }
  return "unknown damage";
}

const TZFDirFinding* TZFDirReport::RebuildReason() const {
  if (!Rebuilt || RebuildFinding < 0 || static_cast<size_t>(RebuildFinding) >= Findings.size())
    return nullptr;
  return &Findings[static_cast<size_t>(RebuildFinding)];
}

std::string TZFDirReport::Summary() const {
  if (Findings.empty()) return std::string();
  const TZFDirFinding& f = RebuildReason() ? *RebuildReason() : Findings.front();
  std::string text = "directory damaged";
  if (f.Offset >= 0) text += " at offset " + std::to_string(f.Offset);
  text += " (" + f.Text;
  // How far the directory could be read, when it claims entries it did
  // not give.
  if (EntriesClaimed >= 0 && EntriesRead < EntriesClaimed)
    text += "; " + std::to_string(EntriesRead) + " of " + std::to_string(EntriesClaimed) +
            " central headers read";
  text += ")";
  if (Rebuilt) {
    text += ": rebuilt from " + std::to_string(LocalHeadersUsed) + " local header" +
            (LocalHeadersUsed == 1 ? "" : "s");
  }
  for (const TZFDirFinding& other : Findings) {
    if (&other == &f) continue;
    text += "; " + other.Text;
    if (other.Offset >= 0) text += " at offset " + std::to_string(other.Offset);
  }
  return text;
}

int64_t TZFDirReport::CutShortAt() const {
  for (const TZFDirFinding& f : Findings)
    if (f.Problem == TZFDirProblem::EntryCutShort) return f.Offset;
  return -1;
}

}  // namespace zf
