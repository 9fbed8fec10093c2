// The archive engine's error catalogue: the English message texts indexed by
// message number (an EZFException's ErrorCode) and the table that maps each
// native code (its NativeError, the place and reason of a failure) to a
// message number. Several native codes share one message.
//
// Both tables are constants of the program. The code table is kept and
// searched as a list of pairs, in order, even though pair i holds native
// code i: a code that no pair names yields message 0, "Unknown error".
#pragma once

#include <array>
#include <cstdint>

namespace zf {

inline constexpr int kZFMessageSlots = 41;  // 0-36 used, 37-40 empty
inline constexpr int kZFCodePairs = 62;     // native codes 0-61

struct TZFCodePair {
  int32_t NativeError;
  int32_t ErrorCode;  // message number
};

extern const std::array<const char*, kZFMessageSlots> ZFMessageTable;
extern const std::array<TZFCodePair, kZFCodePairs> ZFCodeTable;

// The message number of the first pair naming nativeError, else 0.
int32_t MessageNumberOf(int32_t nativeError);

// The text of a message slot; "" for an empty slot or a number outside the
// table.
const char* MessageText(int32_t errorCode);

// Native codes that operations of this system raise. The catalogue defines
// the others too, but nothing raises them.
enum TZFNativeCode : int32_t {
  neIndexGetItem = 2,          // item copy: index outside the item array
  neIndexItemRef = 3,          // stored item: index outside the item array
  neInvalidCompressionMode = 5,
  neExtractFailed = 8,         // size, CRC-32, unreadable data, method
  neBlankFileName = 9,         // Open with an empty file-name part
  neArchiveVanished = 12,      // the archive file disappeared during Open
  neArchiveNotOpen = 13,
  neCannotCreateFile = 19,
  neCannotCreateDir = 20,
  neBlankFileNameInMemory = 29,  // InMemory switched off with no FileName
  neInvalidArchive = 35,         // the recovery scan found no local header
  neNoZip64EndRecord = 40,
  neOpenAborted = 44,            // recovery needed in a multi-volume archive
  neVolumeRequestCancelled = 45,
  neStubTooLarge = 47,           // the stub does not fit on the first volume
  neDeflate64 = 55,
  neNameIndexInvalid = 59,
  neDirectoryTooLarge = 61,  // the directory would pass the item array's memory limit
};

}  // namespace zf
