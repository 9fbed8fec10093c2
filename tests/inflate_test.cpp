// The streaming inflate. Good streams come from real encoders (zlib at
// every level and strategy, Info-ZIP zip, 7-Zip's Deflate and Deflate64)
// and from the test's own bit writer at the edges zlib allows; each is
// decoded whole, a byte at a time and in uneven pieces. Damaged streams are
// crafted one per cause: each is refused with its cause, after exactly the
// output that came before the damage, and zlib refuses it too (its message
// is the row's witness). A stream cut short is never taken for complete nor
// for damaged.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "archive/ZFRecords.h"
#include "archive/methods/ZFInflate.h"
#include "platform/platform.h"
#include "test_util.h"

namespace zf {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr TDeflateFormat kDeflate = TDeflateFormat::Deflate;
constexpr TDeflateFormat kDeflate64 = TDeflateFormat::Deflate64;

// ---- decoding ----------------------------------------------------------------

// How a stream is fed: the most input (0: all) and output room per call,
// or, with a seed, uneven pieces of up to that many bytes.
struct Plan {
  const char* name;
  size_t inputPiece, outputPiece;
  uint32_t seed = 0;
};
const Plan kPlans[] = {{"whole input", 0, 1 << 20}, {"bytewise", 1, 1}, {"pieces", 3000, 9000, 7}};

enum class End { Complete, Refused, CutShort };

struct Decoded {
  End end = End::CutShort;
  TInflateError error = TInflateError::None;
  Bytes out;
};

Decoded Inflate(TDeflateFormat format, const Bytes& stream, const Plan& plan) {
  constexpr size_t outputLimit = size_t{1} << 24;
  TInflater inflater(format);
  Decoded d;
  Bytes room(plan.outputPiece);
  uint32_t x = plan.seed;
  const auto piece = [&](size_t most) -> size_t {
    if (plan.seed == 0) return most;
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    return 1 + x % most;
  };
  size_t at = 0;
  while (d.out.size() <= outputLimit) {
    const size_t n = plan.inputPiece == 0 ? stream.size() - at
                                          : std::min(stream.size() - at, piece(plan.inputPiece));
    const size_t m = plan.seed == 0 ? room.size() : piece(plan.outputPiece);
    const TInflateStep step = inflater.Inflate({stream.data() + at, n}, {room.data(), m});
    at += step.Consumed;
    d.out.insert(d.out.end(), room.begin(), room.begin() + step.Produced);
    if (step.Status == TInflateStatus::StreamEnd) d.end = End::Complete;
    if (step.Status == TInflateStatus::Error) d.end = End::Refused;
    if (step.Status != TInflateStatus::Progress) break;
    if (at == stream.size() && step.Produced < m) break;  // wants input there is not
  }
  d.error = inflater.Error();
  EXPECT_EQ(inflater.TotalOut(), d.out.size());
  return d;
}

// zlib's raw inflate of the whole stream: its output, and its message when
// it refuses the stream.
struct ZlibResult {
  bool complete = false;
  std::string message;
  Bytes out;
};

ZlibResult ZlibInflate(const Bytes& stream) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
  ZlibResult r;
  r.out.resize(size_t{1} << 24);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = r.out.data();
  z.avail_out = static_cast<uInt>(r.out.size());
  const int status = inflate(&z, Z_FINISH);
  r.complete = status == Z_STREAM_END;
  if (status == Z_DATA_ERROR) r.message = z.msg;
  r.out.resize(z.total_out);
  inflateEnd(&z);
  return r;
}

Bytes Deflate(const Bytes& data, int level, int strategy, size_t flushEvery = 0) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 9, strategy), Z_OK);
  Bytes out(deflateBound(&z, data.size()) + data.size() / 100 + 1024);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  for (size_t at = 0; at < data.size() || z.avail_in != 0;) {
    const size_t n = flushEvery == 0 ? data.size() : std::min(flushEvery, data.size() - at);
    z.next_in = const_cast<Bytef*>(data.data() + at);
    z.avail_in = static_cast<uInt>(n);
    at += n;
    EXPECT_NE(deflate(&z, at == data.size() ? Z_FINISH : Z_SYNC_FLUSH), Z_STREAM_ERROR);
  }
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Text, noise and runs: every block type and distances of every size.
Bytes Sample() {
  Bytes data;
  for (int i = 0; data.size() < 200000; ++i) {
    const std::string line = "line " + std::to_string(i * 7919 % 100003) + " of the sample\n";
    data.insert(data.end(), line.begin(), line.end());
  }
  const Bytes noise = test::RandomBytes(40000, 1234);
  data.insert(data.end(), noise.begin(), noise.end());
  data.insert(data.end(), 3000, 'z');
  data.insert(data.end(), data.begin() + 1000, data.begin() + 60000);
  return data;
}

// The raw data of the first entry of a committed archive, with the size
// and CRC-32 its maker wrote.
struct Entry {
  Bytes data;
  uint32_t size = 0, crc = 0;
};

Entry ReadArchive(const std::string& name) {
  const char* dir = std::getenv("ZF_TESTDATA");
  EXPECT_NE(dir, nullptr);
  const std::string file = test::ReadFile(std::string(dir ? dir : ".") + "/inflate/" + name);
  const Bytes zip(file.begin(), file.end());
  Entry e;
  TLocalFileHeader local;
  if (zip.size() < kLocalFileHeaderSize || !ReadLocalFileHeader({zip.data(), kLocalFileHeaderSize}, local)) return e;
  const size_t start = kLocalFileHeaderSize + local.NameLength + local.ExtraLength;
  if (start + local.CompressedSize > zip.size()) return e;
  e.data.assign(zip.begin() + start, zip.begin() + start + local.CompressedSize);
  e.size = local.UncompressedSize;
  e.crc = local.Crc32;
  return e;
}

uint32_t Crc(const Bytes& b) { return static_cast<uint32_t>(crc32(0, b.data(), static_cast<uInt>(b.size()))); }

// ---- crafting streams ------------------------------------------------------------

class BitWriter {
 public:
  // count bits of value, lowest first (header fields, extra bits).
  BitWriter& Put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
    return *this;
  }
  // A prefix code: its first bit is the highest.
  BitWriter& Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
    return *this;
  }
  BitWriter& Align() {
    while (used_ != 0) Bit(0);
    return *this;
  }
  BitWriter& Stored(bool final, const Bytes& data) {
    Put(final, 1).Put(0, 2).Align();
    const uint32_t n = static_cast<uint32_t>(data.size());
    Put(n, 16).Put(~n & 0xFFFF, 16);
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  // A symbol of the fixed literal/length code; distance codes are 5 bits.
  BitWriter& Fixed(int symbol) {
    if (symbol < 144) return Code(0x30 + symbol, 8);
    if (symbol < 256) return Code(0x190 + symbol - 144, 9);
    if (symbol < 280) return Code(symbol - 256, 7);
    return Code(0xC0 + symbol - 280, 8);
  }
  Bytes Done() const { return bytes_; }

 private:
  void Bit(uint32_t b) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<uint8_t>(b << used_);
    used_ = (used_ + 1) & 7;
  }
  Bytes bytes_;
  int used_ = 0;
};

// The canonical codes of a set of lengths (RFC 1951, 3.2.2).
std::vector<uint32_t> Canonical(const Bytes& lengths) {
  uint32_t count[16] = {}, next[16] = {};
  for (uint8_t l : lengths) ++count[l];
  count[0] = 0;
  for (int len = 1, code = 0; len < 16; ++len) next[len] = code = (code + count[len - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  return codes;
}

// A code, and how to write its symbols.
struct Code {
  Bytes lengths;
  std::vector<uint32_t> codes = Canonical(lengths);
  void Write(BitWriter& w, int symbol) const { w.Code(codes[symbol], lengths[symbol]); }
};

Bytes Lengths(size_t n, std::initializer_list<std::pair<int, uint8_t>> set) {
  Bytes l(n);
  for (auto [symbol, length] : set) l[symbol] = length;
  return l;
}

constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A dynamic block's header with the code-length code given by its 19
// lengths, followed by the code-length symbols given (symbol, extra bits).
void DynamicHeader(BitWriter& w, bool final, int litlenCodes, int distCodes, const Bytes& clLengths,
                   std::initializer_list<std::pair<int, uint32_t>> symbols) {
  int sent = 19;
  while (sent > 4 && clLengths[kOrder[sent - 1]] == 0) --sent;
  w.Put(final, 1).Put(2, 2).Put(litlenCodes - 257, 5).Put(distCodes - 1, 5).Put(sent - 4, 4);
  for (int i = 0; i < sent; ++i) w.Put(clLengths[kOrder[i]], 3);
  const Code cl{clLengths};
  for (auto [symbol, extra] : symbols) {
    cl.Write(w, symbol);
    if (symbol >= 16) w.Put(extra, symbol == 16 ? 2 : symbol == 17 ? 3 : 7);
  }
}

// A dynamic block's header for the given codes, every length written as
// itself with a code-length code of sixteen 4-bit codes.
void Dynamic(BitWriter& w, bool final, const Bytes& litlen, const Bytes& dist) {
  Bytes cl(19, 4);
  cl[16] = cl[17] = cl[18] = 0;
  int sent = 19;
  while (sent > 4 && cl[kOrder[sent - 1]] == 0) --sent;
  w.Put(final, 1).Put(2, 2).Put(static_cast<uint32_t>(litlen.size() - 257), 5);
  w.Put(static_cast<uint32_t>(dist.size() - 1), 5).Put(sent - 4, 4);
  for (int i = 0; i < sent; ++i) w.Put(cl[kOrder[i]], 3);
  const Code code{cl};
  for (uint8_t l : litlen) code.Write(w, l);
  for (uint8_t l : dist) code.Write(w, l);
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// ---- good streams ------------------------------------------------------------------

struct Good {
  std::string name;
  TDeflateFormat format;
  Bytes stream;
  Bytes expected;        // empty: check size and CRC-32 instead
  uint32_t size = 0, crc = 0;
};

std::vector<Good> GoodStreams() {
  std::vector<Good> rows;
  const Bytes sample = Sample();
  const std::pair<int, const char*> strategies[] = {{Z_DEFAULT_STRATEGY, "default"},
                                                    {Z_FILTERED, "filtered"},
                                                    {Z_HUFFMAN_ONLY, "huffman-only"},
                                                    {Z_RLE, "rle"},
                                                    {Z_FIXED, "fixed"}};
  for (int level : {0, 1, 6, 9})
    for (auto [strategy, name] : strategies) {
      if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;
      rows.push_back({"zlib-" + std::to_string(level) + "-" + name, kDeflate,
                      Deflate(sample, level, strategy), sample});
    }
  rows.push_back({"zlib-6-sync-flushes", kDeflate, Deflate(sample, 6, Z_DEFAULT_STRATEGY, 9999),
                  sample});

  for (auto [file, format] : {std::pair{"infozip-deflate.zip", kDeflate},
                              std::pair{"7zz-deflate.zip", kDeflate},
                              std::pair{"7zz-deflate64.zip", kDeflate64}}) {
    const Entry e = ReadArchive(file);
    rows.push_back({file, format, e.data, {}, e.size, e.crc});
  }

  // A literal/length code of the end-of-block code alone (1 bit) and no
  // distance code: zlib takes both incomplete codes.
  {
    BitWriter w;
    w.Stored(false, Text("ab"));
    Dynamic(w, true, Lengths(257, {{256, 1}}), Bytes(1));
    Code{Lengths(257, {{256, 1}})}.Write(w, 256);
    rows.push_back({"only end of block", kDeflate, w.Done(), Text("ab")});
  }
  // Matches at one distance through a single 1-bit distance code.
  {
    BitWriter w;
    const Code litlen{Lengths(258, {{'a', 1}, {256, 2}, {257, 2}})};
    Dynamic(w, true, litlen.lengths, Bytes{1});
    litlen.Write(w, 'a');
    litlen.Write(w, 257);
    w.Code(0, 1);  // distance 1
    litlen.Write(w, 256);
    rows.push_back({"one 1-bit distance code", kDeflate, w.Done(), Text("aaaa")});
  }
  // Length 258 by code 284 with all five extra bits set, in both formats.
  for (TDeflateFormat format : {kDeflate, kDeflate64}) {
    BitWriter w;
    w.Put(1, 1).Put(1, 2).Fixed('x').Fixed(284).Put(31, 5).Put(0, 5).Fixed(256);
    rows.push_back({"length 258 by code 284", format, w.Done(), Bytes(259, 'x')});
  }
  // Deflate64: code 285 with its 16 extra bits, 65538 bytes long.
  {
    BitWriter w;
    w.Put(1, 1).Put(1, 2).Fixed('y').Fixed(285).Put(0xFFFF, 16).Put(0, 5).Fixed(256);
    rows.push_back({"deflate64 length 65538", kDeflate64, w.Done(), Bytes(65539, 'y')});
  }
  // Deflate64: distances 32769 (code 30) and 65536 (code 31, all 14 extra
  // bits) back over a stored block and a literal.
  {
    const Bytes stored = test::RandomBytes(65535, 99);
    BitWriter w;
    w.Stored(false, stored).Put(1, 1).Put(1, 2).Fixed('q');
    w.Fixed(257).Code(30, 5).Put(0, 14);
    w.Fixed(258).Code(31, 5).Put(16383, 14).Fixed(256);
    Bytes expected = stored;
    expected.push_back('q');
    for (size_t n = 3, distance = 32769; n > 0; --n) expected.push_back(expected.end()[-distance]);
    for (size_t n = 4, distance = 65536; n > 0; --n) expected.push_back(expected.end()[-distance]);
    rows.push_back({"deflate64 distance codes 30 and 31", kDeflate64, w.Done(), expected});
  }
  return rows;
}

TEST(InflateTest, GoodStreamsDecodeInEveryPlan) {
  for (const Good& row : GoodStreams()) {
    ASSERT_FALSE(row.stream.empty()) << row.name;
    if (row.format == kDeflate) {
      const ZlibResult z = ZlibInflate(row.stream);
      EXPECT_TRUE(z.complete) << row.name << ": zlib says " << z.message;
    }
    for (const Plan& plan : kPlans) {
      const Decoded d = Inflate(row.format, row.stream, plan);
      EXPECT_EQ(d.end, End::Complete) << row.name << ", " << plan.name << ": "
                                      << InflateErrorText(d.error);
      if (!row.expected.empty()) {
        EXPECT_TRUE(d.out == row.expected) << row.name << ", " << plan.name;
      } else {
        EXPECT_EQ(d.out.size(), row.size) << row.name << ", " << plan.name;
        EXPECT_EQ(Crc(d.out), row.crc) << row.name << ", " << plan.name;
      }
    }
  }
}

// ---- damaged streams ---------------------------------------------------------------

struct Bad {
  const char* name;
  TDeflateFormat format;
  std::function<void(BitWriter&)> write;
  TInflateError error;
  std::string before;       // the output that comes before the damage
  const char* zlibMessage;  // Deflate rows: what zlib says
};

// A complete literal/length code with 'a', end of block and length 3.
const Code kSmallLitlen{Lengths(258, {{'a', 1}, {256, 2}, {257, 2}})};

const Bad kBad[] = {
    {"block type 3", kDeflate, [](BitWriter& w) { w.Stored(false, Text("ok")).Put(1, 1).Put(3, 2); },
     TInflateError::InvalidBlockType, "ok", "invalid block type"},
    {"stored lengths that disagree", kDeflate,
     [](BitWriter& w) { w.Put(1, 1).Put(0, 2).Align().Put(4, 16).Put(0xFFFF ^ 5, 16); },
     TInflateError::StoredLengthMismatch, "", "invalid stored block lengths"},
    {"287 literal/length codes", kDeflate,
     [](BitWriter& w) { w.Put(1, 1).Put(2, 2).Put(30, 5).Put(0, 5).Put(0, 4); },
     TInflateError::TooManyCodes, "", "too many length or distance symbols"},
    {"31 distance codes in Deflate", kDeflate,
     [](BitWriter& w) { w.Put(1, 1).Put(2, 2).Put(0, 5).Put(30, 5).Put(0, 4); },
     TInflateError::TooManyCodes, "", "too many length or distance symbols"},
    {"over-subscribed code-length code", kDeflate,
     [](BitWriter& w) { DynamicHeader(w, true, 257, 1, Lengths(19, {{16, 1}, {17, 1}, {18, 1}}), {}); },
     TInflateError::OversubscribedCode, "", "invalid code lengths set"},
    {"incomplete code-length code", kDeflate,
     [](BitWriter& w) { DynamicHeader(w, true, 257, 1, Lengths(19, {{0, 1}}), {}); },
     TInflateError::IncompleteCode, "", "invalid code lengths set"},
    {"repeat with no length before it", kDeflate,
     [](BitWriter& w) { DynamicHeader(w, true, 257, 1, Lengths(19, {{0, 1}, {16, 1}}), {{16, 0}}); },
     TInflateError::BadCodeLengths, "", "invalid bit length repeat"},
    {"repeat past the last length", kDeflate,
     [](BitWriter& w) {
       DynamicHeader(w, true, 257, 1, Lengths(19, {{0, 1}, {18, 1}}), {{18, 127}, {18, 127}});
     },
     TInflateError::BadCodeLengths, "", "invalid bit length repeat"},
    {"no end-of-block code", kDeflate,
     [](BitWriter& w) {
       DynamicHeader(w, true, 257, 1, Lengths(19, {{0, 1}, {18, 1}}), {{18, 127}, {18, 109}});
     },
     TInflateError::BadCodeLengths, "", "invalid code -- missing end-of-block"},
    {"over-subscribed literal/length code", kDeflate,
     [](BitWriter& w) { Dynamic(w, true, Lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), Bytes(1)); },
     TInflateError::OversubscribedCode, "", "invalid literal/lengths set"},
    {"incomplete literal/length code", kDeflate,
     [](BitWriter& w) { Dynamic(w, true, Lengths(257, {{'a', 2}, {256, 2}}), Bytes(1)); },
     TInflateError::IncompleteCode, "", "invalid literal/lengths set"},
    {"over-subscribed distance code", kDeflate,
     [](BitWriter& w) { Dynamic(w, true, kSmallLitlen.lengths, Bytes{1, 1, 1}); },
     TInflateError::OversubscribedCode, "", "invalid distances set"},
    {"incomplete distance code", kDeflate,
     [](BitWriter& w) { Dynamic(w, true, kSmallLitlen.lengths, Bytes{2}); },
     TInflateError::IncompleteCode, "", "invalid distances set"},
    {"literal/length code 286", kDeflate,
     [](BitWriter& w) { w.Put(1, 1).Put(1, 2).Fixed('a').Fixed(286); },
     TInflateError::InvalidCode, "a", "invalid literal/length code"},
    {"distance code 30 in Deflate", kDeflate,
     [](BitWriter& w) { w.Put(1, 1).Put(1, 2).Fixed('a').Fixed('b').Fixed(257).Code(30, 5); },
     TInflateError::InvalidCode, "ab", "invalid distance code"},
    {"the pattern an incomplete distance code leaves", kDeflate,
     [](BitWriter& w) {
       Dynamic(w, true, kSmallLitlen.lengths, Bytes{1});
       kSmallLitlen.Write(w, 'a');
       kSmallLitlen.Write(w, 257);
       w.Code(1, 1);
     },
     TInflateError::InvalidCode, "a", "invalid distance code"},
    {"distance beyond the output", kDeflate,
     [](BitWriter& w) { w.Put(1, 1).Put(1, 2).Fixed('a').Fixed(257).Code(1, 5); },
     TInflateError::DistanceTooFar, "a", "invalid distance too far back"},
    {"distance code 30 beyond the output in Deflate64", kDeflate64,
     [](BitWriter& w) {
       w.Put(1, 1).Put(1, 2).Fixed('a').Fixed('b').Fixed(257).Code(30, 5).Put(0, 14);
     },
     TInflateError::DistanceTooFar, "ab", nullptr},
    {"block type 3 in Deflate64", kDeflate64,
     [](BitWriter& w) { w.Stored(false, Text("ok")).Put(1, 1).Put(3, 2); },
     TInflateError::InvalidBlockType, "ok", nullptr},
};

TEST(InflateTest, DamageIsRefusedWithItsCauseAfterTheOutputBeforeIt) {
  for (const Bad& row : kBad) {
    BitWriter w;
    row.write(w);
    // Room for more bits after the damage: it must be seen where it is.
    Bytes stream = w.Done();
    stream.resize(stream.size() + 16);
    if (row.zlibMessage != nullptr) {
      const ZlibResult z = ZlibInflate(stream);
      EXPECT_EQ(z.message, row.zlibMessage) << row.name;
      EXPECT_EQ(std::string(z.out.begin(), z.out.end()), row.before) << row.name;
    }
    for (const Plan& plan : kPlans) {
      const Decoded d = Inflate(row.format, stream, plan);
      EXPECT_EQ(d.end, End::Refused) << row.name << ", " << plan.name;
      EXPECT_EQ(d.error, row.error) << row.name << ", " << plan.name << ": "
                                    << InflateErrorText(d.error);
      EXPECT_EQ(std::string(d.out.begin(), d.out.end()), row.before) << row.name << ", " << plan.name;
    }
  }
}

TEST(InflateTest, Deflate64StreamReadAsDeflateIsRefused) {
  const Entry e = ReadArchive("7zz-deflate64.zip");
  const Decoded d = Inflate(kDeflate, e.data, kPlans[0]);
  EXPECT_EQ(d.end, End::Refused);
  EXPECT_EQ(d.error, TInflateError::TooManyCodes);  // 7-Zip declares all 32 distance codes
}

// ---- streams cut short ---------------------------------------------------------------

TEST(InflateTest, StreamCutShortIsNeitherCompleteNorDamaged) {
  Bytes text;
  for (int i = 0; text.size() < 6000; ++i) {
    const std::string line = "row " + std::to_string(i % 37) + "\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  BitWriter fixed;
  fixed.Stored(false, Text("stored")).Put(1, 1).Put(1, 2).Fixed('f').Fixed(257).Code(0, 5).Fixed(256);
  const std::pair<TDeflateFormat, Bytes> streams[] = {
      {kDeflate, Deflate(text, 9, Z_DEFAULT_STRATEGY)},
      {kDeflate, fixed.Done()},
      {kDeflate64, ReadArchive("7zz-deflate64.zip").data}};
  for (const auto& [format, stream] : streams) {
    const Bytes full = Inflate(format, stream, kPlans[0]).out;
    for (size_t cut = 0; cut < stream.size(); cut += 1 + stream.size() / 400) {
      const Bytes part(stream.begin(), stream.begin() + cut);
      const Decoded d = Inflate(format, part, kPlans[cut % 3]);
      ASSERT_EQ(d.end, End::CutShort) << "cut at " << cut << ": " << InflateErrorText(d.error);
      ASSERT_TRUE(std::equal(d.out.begin(), d.out.end(), full.begin())) << "cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace zf
