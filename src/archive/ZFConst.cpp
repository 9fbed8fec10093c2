#include "archive/ZFConst.h"

#include <cstddef>

namespace zf {

// Texts are kept byte for byte as users and handlers have always seen them,
// misspellings included ("beore", "splitted").
const std::array<const char*, kZFMessageSlots> ZFMessageTable = {
    /*  0 */ "Unknown error",
    /*  1 */ "Index out of bounds",
    /*  2 */ "Invalid compression mode. Mode must be in [0-9] range",
    /*  3 */ "Unexpected nil pointer",
    /*  4 */ "Invalid size or check sum of file or unsupported compression format",
    /*  5 */ "File name is blank. Specify appropriate file name",
    /*  6 */ "File \"%s\" not found",
    /*  7 */ "Archive is not open",
    /*  8 */ "SFXStub property is not specified",
    /*  9 */ "Cannot create file \"%s\"",
    /* 10 */ "Cannot create directory \"%s\"",
    /* 11 */ "Internal error. Update is not started",
    /* 12 */ "Cannot open file \"%s\"",
    /* 13 */ "Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    /* 14 */ "Cannot delete file \"%s\"",
    /* 15 */ "In-memory archive can be created only",
    /* 16 */ "File is open in read-only mode",
    /* 17 */ "Invalid compressed size, rfs.size = %d, count = %d",
    /* 18 */ "Invalid archive file.",
    /* 19 */ "Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    /* 20 */ "Archive is open. You should close it beore performing this operation.",
    /* 21 */ "Unable to create directory",
    /* 22 */ "Cannot find Zip64 directory end record",
    /* 23 */ "Cannot compress file '%s'. Zip64 mode is not enabled",
    /* 24 */ "Cannot open archive file. Opening aborted or invalid file",
    /* 25 */ "Write to stream error",
    /* 26 */ "Cannot place SFX stub on volume. Volume size limit is too small",
    /* 27 */ "Archive is damaged. Open failed",
    /* 28 */ "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive creation instead of MakeSFX",
    /* 29 */ "Archive already has SFX stub",
    /* 30 */ "Multi-volume archive is not allowed for custom stream",
    /* 31 */ "Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods to add files several times",
    /* 32 */ "Deflate64 compression method is not supported",
    /* 33 */ "MakeSFX error",
    /* 34 */ "Hashed list of file names is invalid",
    /* 35 */ "Cannot delete folder \"%s\"",
    /* 36 */ "The archive's directory needs more memory than the limit of %d MB",
    /* 37-40: empty, never selected */ "", "", "", "",
};

const std::array<TZFCodePair, kZFCodePairs> ZFCodeTable = {{
    {0, 0},   {1, 1},   {2, 1},   {3, 1},   {4, 1},   {5, 2},   {6, 3},
    {7, 1},   {8, 4},   {9, 5},   {10, 5},  {11, 6},  {12, 6},  {13, 7},
    {14, 7},  {15, 6},  {16, 1},  {17, 8},  {18, 6},  {19, 9},  {20, 10},
    {21, 1},  {22, 11}, {23, 9},  {24, 1},  {25, 11}, {26, 13}, {27, 14},
    {28, 15}, {29, 5},  {30, 6},  {31, 6},  {32, 16}, {33, 12}, {34, 17},
    {35, 18}, {36, 19}, {37, 20}, {38, 6},  {39, 21}, {40, 22}, {41, 23},
    {42, 6},  {43, 23}, {44, 24}, {45, 24}, {46, 25}, {47, 26}, {48, 27},
    {49, 28}, {50, 29}, {51, 30}, {52, 31}, {53, 6},  {54, 6},  {55, 32},
    {56, 33}, {57, 27}, {58, 34}, {59, 34}, {60, 35}, {61, 36},
}};

int32_t MessageNumberOf(int32_t nativeError) {
  for (const TZFCodePair& pair : ZFCodeTable)
    if (pair.NativeError == nativeError) return pair.ErrorCode;
  return 0;
}

const char* MessageText(int32_t errorCode) {
  if (errorCode < 0 || errorCode >= kZFMessageSlots) return "";
  return ZFMessageTable[static_cast<size_t>(errorCode)];
}

}  // namespace zf
