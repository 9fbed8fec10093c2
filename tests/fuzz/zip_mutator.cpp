// The mutations of the archive targets: half of the time libFuzzer's own,
// half of the time damage aimed at the ZIP records, which byte-level
// mutations rarely hit as a whole: near a record signature (local header,
// central header, end records, data descriptor) a field is set to a value
// that sizes, counts and offsets get wrong (0, 0xFFFF, 0xFFFFFFFF, ...), a
// bit is flipped, a run is duplicated or cut, or the archive is truncated.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

constexpr std::string_view kSignatures[] = {"PK\x03\x04", "PK\x01\x02", "PK\x05\x06",
                                            "PK\x06\x06", "PK\x06\x07", "PK\x07\x08"};
constexpr uint32_t kInteresting32[] = {0,          1,          0x7F,       0x80,
                                       0xFF,       0xFFFF,     0x10000,    0x7FFFFFFF,
                                       0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
constexpr uint16_t kInteresting16[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFE, 0xFFFF};

std::vector<size_t> RecordOffsets(const uint8_t* data, size_t size) {
  std::vector<size_t> offsets;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (std::string_view signature : kSignatures)
    for (size_t p = bytes.find(signature); p != std::string_view::npos;
         p = bytes.find(signature, p + 1))
      offsets.push_back(p);
  if (offsets.empty()) offsets.push_back(0);
  return offsets;
}

void PutLittleEndian(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t DamageRecords(uint8_t* data, size_t size, size_t maxSize, std::minstd_rand& rng) {
  const auto below = [&rng](size_t n) { return n == 0 ? 0 : static_cast<size_t>(rng() % n); };
  const std::vector<size_t> records = RecordOffsets(data, size);
  for (size_t round = 0, rounds = 1 + below(6); round < rounds && size > 0; ++round) {
    size_t pos = below(4) < 3 ? records[below(records.size())] + below(61) : below(size);
    if (pos >= size) pos = size - 1;
    switch (below(7)) {
      case 0:
        data[pos] ^= static_cast<uint8_t>(1u << below(8));
        break;
      case 1: {
        const uint8_t values[] = {0, 0xFF, 0x7F, 0x80, static_cast<uint8_t>(rng())};
        data[pos] = values[below(5)];
        break;
      }
      case 2:
        if (pos + 2 <= size) PutLittleEndian(data + pos, kInteresting16[below(9)], 2);
        break;
      case 3:
        if (pos + 4 <= size) PutLittleEndian(data + pos, kInteresting32[below(11)], 4);
        break;
      case 4:
        size = below(size);  // truncate
        break;
      case 5: {  // duplicate a run in place
        const size_t n = std::min<size_t>({1 + below(64), size - pos, maxSize - size});
        std::memmove(data + pos + n, data + pos, size - pos);
        size += n;
        break;
      }
      default: {  // cut a run
        const size_t n = std::min<size_t>(1 + below(64), size - pos);
        std::memmove(data + pos, data + pos + n, size - pos - n);
        size -= n;
      }
    }
  }
  return size;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  std::minstd_rand rng(seed);
  if (size == 0 || rng() % 2 == 0) return LLVMFuzzerMutate(data, size, maxSize);
  return DamageRecords(data, size, maxSize, rng);
}
