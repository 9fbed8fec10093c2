// The error catalogue, the composition of EZFException messages, the typed
// formatter, and the zlib adapter: exceptions, status check, whole-buffer
// inflate with its output limit, and the compression-mode routines.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "archive/ZFTypes.h"
#include "archive/ZFZlib.h"

namespace zf {
namespace {

using Bytes = std::vector<uint8_t>;

// The catalogue as a table of message number, text and the native codes
// that select it, written out independently of ZFConst.cpp.
struct CatalogueRow {
  int32_t message;
  const char* text;
  std::vector<int32_t> codes;
};

const std::vector<CatalogueRow>& Catalogue() {
  static const std::vector<CatalogueRow> rows = {
      {0, "Unknown error", {0}},
      {1, "Index out of bounds", {1, 2, 3, 4, 7, 16, 21, 24}},
      {2, "Invalid compression mode. Mode must be in [0-9] range", {5}},
      {3, "Unexpected nil pointer", {6}},
      {4, "Invalid size or check sum of file or unsupported compression format", {8}},
      {5, "File name is blank. Specify appropriate file name", {9, 10, 29}},
      {6, "File \"%s\" not found", {11, 12, 15, 18, 30, 31, 38, 42, 53, 54}},
      {7, "Archive is not open", {13, 14}},
      {8, "SFXStub property is not specified", {17}},
      {9, "Cannot create file \"%s\"", {19, 23}},
      {10, "Cannot create directory \"%s\"", {20}},
      {11, "Internal error. Update is not started", {22, 25}},
      {12, "Cannot open file \"%s\"", {33}},
      {13, "Cannot proceed when update is not ended. Preceding EndUpdate call is required.", {26}},
      {14, "Cannot delete file \"%s\"", {27}},
      {15, "In-memory archive can be created only", {28}},
      {16, "File is open in read-only mode", {32}},
      {17, "Invalid compressed size, rfs.size = %d, count = %d", {34}},
      {18, "Invalid archive file.", {35}},
      {19, "Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
       {36}},
      {20, "Archive is open. You should close it beore performing this operation.", {37}},
      {21, "Unable to create directory", {39}},
      {22, "Cannot find Zip64 directory end record", {40}},
      {23, "Cannot compress file '%s'. Zip64 mode is not enabled", {41, 43}},
      {24, "Cannot open archive file. Opening aborted or invalid file", {44, 45}},
      {25, "Write to stream error", {46}},
      {26, "Cannot place SFX stub on volume. Volume size limit is too small", {47}},
      {27, "Archive is damaged. Open failed", {48, 57}},
      {28, "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive "
           "creation instead of MakeSFX",
       {49}},
      {29, "Archive already has SFX stub", {50}},
      {30, "Multi-volume archive is not allowed for custom stream", {51}},
      {31, "Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate "
           "methods to add files several times",
       {52}},
      {32, "Deflate64 compression method is not supported", {55}},
      {33, "MakeSFX error", {56}},
      {34, "Hashed list of file names is invalid", {58, 59}},
      {35, "Cannot delete folder \"%s\"", {60}},
      {36, "The archive's directory needs more memory than the limit of %d MB", {61}},
  };
  return rows;
}

std::string Suffix5(int32_t code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%05d", code);
  return buf;
}

TComponent Named(const std::string& name) {
  TComponent c;
  c.SetName(name);
  return c;
}

// ---- catalogue ------------------------------------------------------------

TEST(Catalogue, TablesHaveTheirSizesAndPairIHoldsCodeI) {
  EXPECT_EQ(ZFMessageTable.size(), 41u);
  ASSERT_EQ(ZFCodeTable.size(), 62u);
  for (int32_t i = 0; i < 62; ++i) EXPECT_EQ(ZFCodeTable[i].NativeError, i);
  for (int slot = 37; slot <= 40; ++slot) EXPECT_STREQ(ZFMessageTable[slot], "") << slot;
}

TEST(Catalogue, TextsAreByteExact) {
  for (const CatalogueRow& row : Catalogue())
    EXPECT_STREQ(MessageText(row.message), row.text) << row.message;
}

TEST(Catalogue, EveryNativeCodeMapsToItsMessage) {
  std::map<int32_t, int32_t> expected;
  for (const CatalogueRow& row : Catalogue())
    for (int32_t code : row.codes) EXPECT_TRUE(expected.emplace(code, row.message).second) << code;
  ASSERT_EQ(expected.size(), 62u);  // each of 0-61 exactly once
  for (int32_t code = 0; code <= 61; ++code) {
    EXPECT_EQ(MessageNumberOf(code), expected.at(code)) << code;
    const EZFException e(code, nullptr);
    EXPECT_EQ(e.ErrorCode(), expected.at(code)) << code;
    EXPECT_EQ(e.NativeError(), code);
    EXPECT_EQ(e.Message(), std::string(MessageText(expected.at(code))) + " - Native error: " +
                               Suffix5(code));
  }
}

TEST(Catalogue, UnknownCodesGiveMessageZero) {
  for (int32_t code : {62, -1, 1000, std::numeric_limits<int32_t>::min()}) {
    EXPECT_EQ(MessageNumberOf(code), 0) << code;
    const EZFException e(code, nullptr);
    EXPECT_EQ(e.ErrorCode(), 0);
    EXPECT_EQ(e.NativeError(), code);
  }
  EXPECT_EQ(EZFException(62, nullptr).Message(), "Unknown error - Native error: 00062");
}

TEST(Catalogue, MessageTextOutsideTheTableIsEmpty) {
  EXPECT_STREQ(MessageText(-1), "");
  EXPECT_STREQ(MessageText(41), "");
}

TEST(Catalogue, PlaceholderCounts) {
  const std::map<int32_t, std::pair<int, int>> withPlaceholders = {
      {6, {1, 0}},  {9, {1, 0}},  {10, {1, 0}}, {12, {1, 0}}, {14, {1, 0}},
      {19, {1, 0}}, {23, {1, 0}}, {35, {1, 0}}, {17, {0, 2}}, {36, {0, 1}},
  };
  const auto count = [](const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
      ++n;
    return n;
  };
  for (int32_t message = 0; message < kZFMessageSlots; ++message) {
    const std::string text = MessageText(message);
    const auto it = withPlaceholders.find(message);
    const std::pair<int, int> want = it == withPlaceholders.end() ? std::pair{0, 0} : it->second;
    EXPECT_EQ(count(text, "%s"), want.first) << message;
    EXPECT_EQ(count(text, "%d"), want.second) << message;
    EXPECT_EQ(count(text, "%"), want.first + want.second) << message;
  }
}

TEST(Catalogue, NamedNativeCodesSelectTheirMessages) {
  EXPECT_EQ(MessageNumberOf(neArchiveNotOpen), 7);
  EXPECT_EQ(MessageNumberOf(neDeflate64), 32);
  EXPECT_EQ(MessageNumberOf(neNameIndexInvalid), 34);
  EXPECT_EQ(MessageNumberOf(neInvalidArchive), 18);
  EXPECT_EQ(MessageNumberOf(neOpenAborted), 24);
  EXPECT_EQ(MessageNumberOf(neVolumeRequestCancelled), 24);
}

// ---- composition ------------------------------------------------------------

TEST(Composition, ComponentNamePrefixesTheText) {
  const TComponent zip1 = Named("Zip1");
  const EZFException e(13, &zip1);
  EXPECT_EQ(e.Message(), "Zip1: Archive is not open - Native error: 00013");
  EXPECT_STREQ(e.what(), "Zip1: Archive is not open - Native error: 00013");
  EXPECT_EQ(e.ErrorCode(), 7);
  EXPECT_EQ(e.NativeError(), 13);
}

TEST(Composition, NoComponentNoPrefix) {
  EXPECT_EQ(EZFException(55, nullptr).Message(),
            "Deflate64 compression method is not supported - Native error: 00055");
}

TEST(Composition, EmptyComponentNameGivesNoPrefix) {
  const TComponent unnamed;
  EXPECT_EQ(EZFException(13, &unnamed).Message(), "Archive is not open - Native error: 00013");
}

TEST(Composition, NameIsTakenWhenRaised) {
  TComponent c = Named("First");
  const EZFException e(13, &c);
  c.SetName("Second");
  EXPECT_EQ(e.Message(), "First: Archive is not open - Native error: 00013");
}

TEST(Composition, NativeSuffixIsFiveCharactersWithZeros) {
  const struct {
    int32_t code;
    const char* suffix;
  } cases[] = {
      {0, "00000"},      {60, "00060"},       {-1, "000-1"},
      {-1234, "-1234"},  {99999, "99999"},    {123456, "123456"},
      {-12345, "-12345"}, {std::numeric_limits<int32_t>::min(), "-2147483648"},
  };
  for (const auto& c : cases) {
    const std::string message = EZFException(c.code, nullptr).Message();
    const std::string tail = std::string(" - Native error: ") + c.suffix;
    ASSERT_GE(message.size(), tail.size());
    EXPECT_EQ(message.substr(message.size() - tail.size()), tail) << c.code;
  }
  EXPECT_EQ(EZFException(-1, nullptr).Message(), "Unknown error - Native error: 000-1");
}

TEST(Composition, PlainConstructorKeepsPlaceholders) {
  EXPECT_EQ(EZFException(19, nullptr).Message(), "Cannot create file \"%s\" - Native error: 00019");
  EXPECT_EQ(EZFException(34, nullptr).Message(),
            "Invalid compressed size, rfs.size = %d, count = %d - Native error: 00034");
}

TEST(Composition, FormattingConstructorFillsTheName) {
  const TComponent zip = Named("ZipArchiver1");
  const EZFException e(19, {"C:\\dest\\a.txt"}, &zip);
  EXPECT_EQ(e.Message(),
            "ZipArchiver1: Cannot create file \"C:\\dest\\a.txt\" - Native error: 00019");
  EXPECT_EQ(e.ErrorCode(), 9);
  EXPECT_EQ(e.NativeError(), 19);
  EXPECT_EQ(EZFException(20, {std::string("sub\\dir")}, nullptr).Message(),
            "Cannot create directory \"sub\\dir\" - Native error: 00020");
}

TEST(Composition, SixtyFourBitIntegers) {
  EXPECT_EQ(EZFException(34, {int64_t{1000}, int64_t{500}}, nullptr).Message(),
            "Invalid compressed size, rfs.size = 1000, count = 500 - Native error: 00034");
  const TComponent zip1 = Named("Zip1");
  EXPECT_EQ(EZFException(34, {int64_t{1000}, int64_t{500}}, &zip1).Message(),
            "Zip1: Invalid compressed size, rfs.size = 1000, count = 500 - Native error: 00034");
  EXPECT_EQ(EZFException(34, {int64_t{5000000000}, (int64_t{1} << 40) + 1}, nullptr).Message(),
            "Invalid compressed size, rfs.size = 5000000000, count = 1099511627777"
            " - Native error: 00034");
  EXPECT_EQ(EZFException(34, {std::numeric_limits<int64_t>::min(),
                              std::numeric_limits<uint64_t>::max()},
                         nullptr)
                .Message(),
            "Invalid compressed size, rfs.size = -9223372036854775808, count = "
            "18446744073709551615 - Native error: 00034");
}

TEST(Composition, ArgumentTextIsNeverReadAsFormat) {
  const TComponent odd = Named("Z%d%s");
  EXPECT_EQ(EZFException(19, {"%s%d%n%%"}, &odd).Message(),
            "Z%d%s: Cannot create file \"%s%d%n%%\" - Native error: 00019");
}

TEST(Composition, MissingArgumentsStayAsPlaceholders) {
  EXPECT_EQ(EZFException(34, {int64_t{7}}, nullptr).Message(),
            "Invalid compressed size, rfs.size = 7, count = %d - Native error: 00034");
  EXPECT_EQ(EZFException(19, {}, nullptr).Message(),
            "Cannot create file \"%s\" - Native error: 00019");
}

TEST(Composition, SurplusArgumentsAreIgnored) {
  EXPECT_EQ(EZFException(13, {"x", 1, 2}, nullptr).Message(),
            "Archive is not open - Native error: 00013");
  EXPECT_EQ(EZFException(19, {"a", "b"}, nullptr).Message(),
            "Cannot create file \"a\" - Native error: 00019");
}

TEST(Composition, IsAnEngineException) {
  try {
    throw EZFException(13, nullptr);
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Archive is not open - Native error: 00013");
  }
  static_assert(std::is_base_of_v<Exception, EZFException>);
  static_assert(std::is_base_of_v<std::exception, EZFException>);
}

// ---- the formatter ----------------------------------------------------------

TEST(FormatText, Table) {
  const struct {
    const char* format;
    std::vector<TZFFormatArg> args;
    const char* want;
  } cases[] = {
      {"plain", {}, "plain"},
      {"%s and %d", {"a", 5}, "a and 5"},
      {"%5d", {13}, "   13"},
      {"%5d", {-1}, "   -1"},
      {"%-5d|", {13}, "13   |"},
      {"%.3d", {7}, "007"},
      {"%.3d", {-7}, "-007"},
      {"%6.3d", {-7}, "  -007"},
      {"%4s|%-4s|", {"ab", "cd"}, "  ab|cd  |"},
      {"%.2s", {"abcdef"}, "ab"},
      {"%s", {uint8_t{200}}, "200"},
      {"%d", {int8_t{-5}}, "-5"},
      {"%d", {uint64_t{18446744073709551615u}}, "18446744073709551615"},
      {"100%%", {}, "100%"},
      {"%", {}, "%"},
      {"50% off", {1}, "50% off"},
      {"%q %s", {"x"}, "%q x"},
      {"%-", {}, "%-"},
      {"%.s", {"x"}, "%.s"},
      {"%d", {"text"}, "%d"},
      {"%d %s", {"text", "y"}, "%d y"},
      {"%s %s %s", {"a"}, "a %s %s"},
      {"%99999999999d", {1}, "%99999999999d"},
      {"", {"a"}, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatText(c.format, c.args), c.want) << c.format;
}

TEST(FormatText, NullCharPointerIsEmpty) {
  const char* none = nullptr;
  EXPECT_EQ(FormatText("[%s]", {none}), "[]");
}

// ---- zlib adapter: exceptions and status check ---------------------------------

TEST(ZlibAdapter, ExceptionClasses) {
  static_assert(std::is_base_of_v<Exception, EZlibError>);
  static_assert(std::is_base_of_v<EZlibError, ECompressionError>);
  static_assert(std::is_base_of_v<EZlibError, EDecompressionError>);
  static_assert(!std::is_base_of_v<EZFException, EZlibError>);
}

TEST(ZlibAdapter, DecompressCheckPassesNonNegativeStatus) {
  EXPECT_EQ(DecompressCheck(Z_OK), Z_OK);
  EXPECT_EQ(DecompressCheck(Z_STREAM_END), Z_STREAM_END);
  EXPECT_EQ(DecompressCheck(Z_NEED_DICT), Z_NEED_DICT);
  EXPECT_EQ(DecompressCheck(12345), 12345);
}

TEST(ZlibAdapter, DecompressCheckRaisesForNegativeStatus) {
  for (int status : {Z_ERRNO, Z_STREAM_ERROR, Z_DATA_ERROR, Z_MEM_ERROR, Z_BUF_ERROR, -100}) {
    try {
      DecompressCheck(status);
      ADD_FAILURE() << "no exception for " << status;
    } catch (const EDecompressionError& e) {
      EXPECT_EQ(e.Message(), "error");
    }
  }
  EXPECT_THROW(DecompressCheck(-1), EZlibError);
}

TEST(ZlibAdapter, AllocationIsZeroFilled) {
  void* block = ZlibAlloc(nullptr, 100, 37);
  ASSERT_NE(block, nullptr);
  const auto* bytes = static_cast<const uint8_t*>(block);
  for (size_t i = 0; i < 3700; ++i) ASSERT_EQ(bytes[i], 0) << i;
  ZlibFree(nullptr, block);
}

// ---- whole-buffer inflate ----------------------------------------------------------

// zlib streams written out byte for byte.
const Bytes kHello = {0x78, 0x9C, 0xCB, 0x48, 0xCD, 0xC9, 0xC9, 0x07, 0x00, 0x06, 0x2C, 0x02, 0x15};
// One stored block holding "abc"; Adler-32 0x024D0127.
const Bytes kStoredAbc = {0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 0x61,
                          0x62, 0x63, 0x02, 0x4D, 0x01, 0x27};
// An empty stream.
const Bytes kEmpty = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Compress(const Bytes& plain) {
  uLongf size = compressBound(static_cast<uLong>(plain.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, plain.data(), static_cast<uLong>(plain.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

Bytes Repeated(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i % 8);  // a counter pattern
  return b;
}

TEST(InflateWholeBuffer, KnownStreams) {
  EXPECT_EQ(InflateWholeBuffer(kHello, 5, 5), Text("hello"));
  EXPECT_EQ(InflateWholeBuffer(kStoredAbc, 3, 3), Text("abc"));
  EXPECT_EQ(InflateWholeBuffer(kEmpty, 0, 0), Bytes{});
}

TEST(InflateWholeBuffer, FirstSizeSmallerThanTheOutputGrows) {
  EXPECT_EQ(InflateWholeBuffer(kHello, 1, 100), Text("hello"));
  const Bytes plain = Repeated(300000);
  const Bytes packed = Compress(plain);
  ASSERT_LT(packed.size(), 4000u);
  // First size 0: the input length rounded up to 256, then growth.
  EXPECT_EQ(InflateWholeBuffer(packed, 0, plain.size()), plain);
  EXPECT_EQ(InflateWholeBuffer(packed, 17, plain.size()), plain);
  EXPECT_EQ(InflateWholeBuffer(packed, plain.size(), plain.size()), plain);
}

TEST(InflateWholeBuffer, FirstSizeLargerThanTheOutput) {
  EXPECT_EQ(InflateWholeBuffer(kHello, 1 << 20, 1 << 20), Text("hello"));
}

TEST(InflateWholeBuffer, OutputExactlyAtTheLimit) {
  const Bytes plain = Repeated(100000);
  EXPECT_EQ(InflateWholeBuffer(Compress(plain), 0, plain.size()), plain);
  EXPECT_EQ(InflateWholeBuffer(kHello, 0, 5), Text("hello"));
}

TEST(InflateWholeBuffer, OutputBeyondTheLimitFails) {
  const Bytes plain = Repeated(100000);
  const Bytes packed = Compress(plain);
  EXPECT_THROW(InflateWholeBuffer(packed, 0, plain.size() - 1), EDecompressionError);
  EXPECT_THROW(InflateWholeBuffer(packed, plain.size(), plain.size() - 1), EDecompressionError);
  EXPECT_THROW(InflateWholeBuffer(kHello, 0, 4), EDecompressionError);
  EXPECT_THROW(InflateWholeBuffer(kHello, 5, 0), EDecompressionError);
}

TEST(InflateWholeBuffer, HugeDeclaredSizeDoesNotSizeTheBuffer) {
  // A first size of 4 GiB - 1 from some header: the adapter allocates what
  // 13 bytes of input can decode to, not what the header says.
  EXPECT_EQ(InflateWholeBuffer(kHello, 0xFFFFFFFFu, 0xFFFFFFFFu), Text("hello"));
}

TEST(InflateWholeBuffer, BombStopsAtTheLimit) {
  const Bytes zeros(16 << 20, 0);
  const Bytes packed = Compress(zeros);
  ASSERT_LT(packed.size(), 64u << 10);
  EXPECT_THROW(InflateWholeBuffer(packed, 4096, 1 << 20), EDecompressionError);
}

TEST(InflateWholeBuffer, TruncatedStreamFails) {
  const Bytes packed = Compress(Repeated(5000));
  for (size_t keep : {size_t{1}, size_t{2}, size_t{10}, packed.size() / 2, packed.size() - 1}) {
    const Bytes cut(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_THROW(InflateWholeBuffer(cut, 0, 5000), EDecompressionError) << keep;
  }
}

TEST(InflateWholeBuffer, DamagedStreamFails) {
  Bytes badHeader = kHello;
  badHeader[1] ^= 0x01;  // header check fails
  EXPECT_THROW(InflateWholeBuffer(badHeader, 5, 5), EDecompressionError);
  Bytes badTrailer = kHello;
  badTrailer.back() ^= 0xFF;  // Adler-32 mismatch
  EXPECT_THROW(InflateWholeBuffer(badTrailer, 5, 5), EDecompressionError);
  Bytes badBlock = kHello;
  badBlock[2] = 0xFF;  // reserved block type
  EXPECT_THROW(InflateWholeBuffer(badBlock, 5, 5), EDecompressionError);
  EXPECT_THROW(InflateWholeBuffer(Bytes{}, 5, 5), EDecompressionError);
}

TEST(InflateWholeBuffer, PresetDictionaryStreamFails) {
  // Header 0x78 0xBB has the dictionary flag; dictionary id follows.
  const Bytes needsDict = {0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00};
  EXPECT_THROW(InflateWholeBuffer(needsDict, 16, 16), EDecompressionError);
}

TEST(InflateInPieces, PiecesFillTheBufferAndMakeTheStream) {
  const Bytes plain = Repeated(300000);
  const Bytes packed = Compress(plain);
  for (size_t size : {size_t{1}, size_t{4096}, size_t{1} << 20}) {
    Bytes piece(size), got;
    size_t pieces = 0;
    const bool ended = InflateInPieces(packed, piece, [&](std::span<const uint8_t> bytes) {
      EXPECT_LE(bytes.size(), size);
      ++pieces;
      got.insert(got.end(), bytes.begin(), bytes.end());
      return true;
    });
    EXPECT_TRUE(ended) << size;
    EXPECT_EQ(got, plain) << size;
    EXPECT_EQ(pieces, (plain.size() + size - 1) / size) << size;
  }
}

TEST(InflateInPieces, AHandlerThatStopsEndsTheInflate) {
  // A bomb: 16 MiB of zeros from a few kilobytes; stopped after 1 MiB, no
  // more of it is decoded.
  const Bytes packed = Compress(Bytes(16 << 20, 0));
  Bytes piece(64 << 10);
  size_t decoded = 0;
  EXPECT_FALSE(InflateInPieces(packed, piece, [&](std::span<const uint8_t> bytes) {
    decoded += bytes.size();
    return decoded < (1u << 20);
  }));
  EXPECT_EQ(decoded, 1u << 20);
}

TEST(InflateInPieces, NoPieceBufferFails) {
  Bytes none;
  EXPECT_THROW(InflateInPieces(kHello, none, [](std::span<const uint8_t>) { return true; }),
               EDecompressionError);
  EXPECT_EQ(ModeToZlibHeader(10)[1], 0xDA);
}

TEST(CompressionMode, LevelIsOneByteEnumeration) {
  static_assert(sizeof(TZFCompressionLevel) == 1);
  EXPECT_EQ(static_cast<int>(clNone), 0);
  EXPECT_EQ(static_cast<int>(clFastest), 1);
  EXPECT_EQ(static_cast<int>(clNormal), 2);
  EXPECT_EQ(static_cast<int>(clMax), 3);
}

TEST(CompressionMode, ModeToLevel) {
  const TZFCompressionLevel want[10] = {clNone,   clFastest, clFastest, clFastest, clNormal,
                                        clNormal, clNormal,  clMax,     clMax,     clMax};
  for (int mode = 0; mode <= 9; ++mode) EXPECT_EQ(ModeToLevel(mode), want[mode]) << mode;
  for (int mode : {-1, 10, 255, 1000}) EXPECT_EQ(ModeToLevel(mode), clNone) << mode;
}

TEST(CompressionMode, LevelToMode) {
  EXPECT_EQ(LevelToMode(clNone), 0);
  EXPECT_EQ(LevelToMode(clFastest), 1);
  EXPECT_EQ(LevelToMode(clNormal), 6);
  EXPECT_EQ(LevelToMode(clMax), 9);
  for (TZFCompressionLevel level : {clNone, clFastest, clNormal, clMax})
    EXPECT_EQ(ModeToLevel(LevelToMode(level)), level);
}

TEST(CompressionMode, ZlibHeaderBytes) {
  const uint8_t second[10] = {0xDA, 0x01, 0x01, 0x5E, 0x5E, 0x9C, 0x9C, 0xDA, 0xDA, 0xDA};
  for (int mode = 0; mode <= 9; ++mode) {
    const auto header = ModeToZlibHeader(mode);
    EXPECT_EQ(header[0], 0x78) << mode;
    EXPECT_EQ(header[1], second[mode]) << mode;
    EXPECT_EQ((header[0] * 256 + header[1]) % 31, 0) << mode;  // a valid zlib header
  }
  EXPECT_EQ(ModeToZlibHeader(10)[1], 0xDA);
}

TEST(CompressionMode, AnyHeaderOfTheTableWrapsRawDeflateData) {
  // The codec puts the mode-1 header in front of an entry's raw deflate data;
  // the level bits are informational, so every header of the table decodes.
  const Bytes plain = Repeated(20000);
  const Bytes packed = Compress(plain);
  for (int mode = 0; mode <= 9; ++mode) {
    Bytes wrapped = packed;
    const auto header = ModeToZlibHeader(mode);
    wrapped[0] = header[0];
    wrapped[1] = header[1];
    EXPECT_EQ(InflateWholeBuffer(wrapped, 0, plain.size()), plain) << mode;
  }
}

}  // namespace
}  // namespace zf
