// The context model of PPMd variant I (revision 1) and the carry-less range
// decoder it is read with, as ZIP's method 98 stores them.
//
// The model lives in one block of memory whose size the stream's header
// chooses: contexts and their states are carved out of it in 12-byte units,
// and the text seen so far grows from its bottom. When the block is full the
// model is restarted or its older branches are cut off, at exactly the point
// the encoder did the same: decoding depends on the allocator's every step,
// which is why it is kept here as the format defines it.
//
// Every structure is addressed by its 32-bit offset in the block (0 is
// none) and read or written byte-wise or through memcpy, never through a
// cast pointer: states overlay contexts and free blocks overlay both.
//
// Hostile data can only choose which symbols the model sees, and every
// symbol sequence is one an encoder could have coded. The few places where
// a damaged stream could still drive the arithmetic astray (a range
// smaller than the total it is divided by, a symbol missing from a context
// that must hold it) are checked and make the model Broken() instead.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zf {

// The range decoder over a window of input. Past the window's end it reads
// zeros and remembers that it did: the caller gives it enough bytes for a
// whole symbol, or all there is.
struct TPpmdRangeDecoder {
  uint32_t Range = 0;
  uint32_t Code = 0;
  uint32_t Low = 0;
  const uint8_t* Next = nullptr;
  const uint8_t* End = nullptr;
  bool Overrun = false;  // read past End
  bool Broken = false;   // a symbol of size 0 was taken: damaged data

  void Start();
  uint8_t Byte() {
    if (Next != End) return *Next++;
    Overrun = true;
    return 0;
  }
  // The count of the next symbol out of total; false when the range is too
  // small to divide (only damaged data brings that about).
  bool Threshold(uint32_t total, uint32_t& count);
  // The count of a binary context's next symbol, out of 2^14.
  uint32_t BinaryThreshold() {
    Range >>= 14;
    return Code / Range;
  }
  // Takes the symbol that covers [start, start + size) of the total.
  void Take(uint32_t start, uint32_t size);
};

class TPpmdModel {
 public:
  static constexpr unsigned kMinOrder = 2;
  static constexpr unsigned kMaxOrder = 16;
  // How the model goes on when its memory is full: it starts over, or cuts
  // off its least recently used branches. A third method ("freeze") exists
  // in the format but its writers disagree on it; it is not decoded.
  enum class TRestore : uint8_t { Restart, CutOff };

  static constexpr int kEndMark = -1;  // the escape out of the order-0 context
  static constexpr int kError = -2;    // a count past the total: damaged data

  TPpmdModel();
  ~TPpmdModel();
  TPpmdModel(const TPpmdModel&) = delete;
  TPpmdModel& operator=(const TPpmdModel&) = delete;

  // Reserves the model's memory (false when there is not so much); pages
  // are only touched as the model grows into them.
  bool Allocate(uint32_t size);
  void Start(unsigned maxOrder, TRestore restore);

  // The next byte (0-255), kEndMark or kError.
  int DecodeSymbol(TPpmdRangeDecoder& rc);
  bool Broken() const { return broken_; }

 private:
  struct TSee {
    uint16_t Summ;
    uint8_t Shift;
    uint8_t Count;
  };
  struct TState {  // a state as a value: 6 bytes in the block
    uint8_t Symbol;
    uint8_t Freq;
    uint32_t Successor;
  };
  static constexpr unsigned kIndexCount = 38;  // classes of block sizes, 1 to 128 units

  // ---- the block ----
  uint32_t Load32(uint32_t at) const;
  void Store32(uint32_t at, uint32_t v);
  // A state (6 bytes): symbol, frequency, successor (a context, or a
  // position in the text while it has none).
  uint8_t& Symbol(uint32_t s) { return mem_[s]; }
  uint8_t& Freq(uint32_t s) { return mem_[s + 1]; }
  uint32_t Successor(uint32_t s) const { return Load32(s + 2); }
  void SetSuccessor(uint32_t s, uint32_t v) { Store32(s + 2, v); }
  TState GetState(uint32_t s) const;
  void PutState(uint32_t s, const TState& v);
  void SwapStates(uint32_t a, uint32_t b);
  // A context (12 bytes): its states less one, flags, the sum of its
  // frequencies, its states (or its one state, in place of the last two),
  // and its suffix (the context one order lower).
  uint8_t& NumStats(uint32_t c) { return mem_[c]; }
  uint8_t& Flags(uint32_t c) { return mem_[c + 1]; }
  uint16_t SummFreq(uint32_t c) const;
  void SetSummFreq(uint32_t c, unsigned v);
  uint32_t Stats(uint32_t c) const { return Load32(c + 4); }
  void SetStats(uint32_t c, uint32_t v) { Store32(c + 4, v); }
  uint32_t Suffix(uint32_t c) const { return Load32(c + 8); }
  void SetSuffix(uint32_t c, uint32_t v) { Store32(c + 8, v); }
  static uint32_t OneState(uint32_t c) { return c + 2; }
  // A free block (12 bytes): a stamp that marks it free, the next free
  // block of its class, its size in units.
  uint32_t Stamp(uint32_t n) const { return Load32(n); }
  uint32_t NextFree(uint32_t n) const { return Load32(n + 4); }
  uint32_t Units(uint32_t n) const { return Load32(n + 8); }
  uint32_t FindState(uint32_t c, uint8_t symbol);

  // ---- the allocator ----
  unsigned U2I(unsigned units) const { return units2Index_[units - 1]; }
  unsigned I2U(unsigned index) const { return index2Units_[index]; }
  void InsertNode(uint32_t node, unsigned index);
  uint32_t RemoveNode(unsigned index);
  void SplitBlock(uint32_t block, unsigned oldIndex, unsigned newIndex);
  void GlueFreeBlocks();
  uint32_t AllocUnitsRare(unsigned index);
  uint32_t AllocUnits(unsigned index);
  uint32_t AllocContext();
  uint32_t ShrinkUnits(uint32_t block, unsigned oldUnits, unsigned newUnits);
  void FreeUnits(uint32_t block, unsigned units) { InsertNode(block, U2I(units)); }
  void SpecialFreeUnit(uint32_t block);
  uint32_t MoveUnitsUp(uint32_t block, unsigned units);
  void ExpandTextArea();
  uint32_t UsedMemory() const;
  void CopyUnits(uint32_t to, uint32_t from, unsigned units);

  // ---- the model ----
  void Restart();
  void Refresh(uint32_t c, unsigned oldUnits, unsigned scale);
  uint32_t CutOff(uint32_t c, unsigned order);
  void Restore(uint32_t c1);
  uint32_t CreateSuccessors(bool skip, uint32_t s1, uint32_t c);
  uint32_t ReduceOrder(uint32_t s1, uint32_t c);
  void UpdateModel();
  void Rescale();
  TSee* MakeEscFreq(unsigned numMasked, uint32_t& escFreq);
  void NextContext();
  void Update1();
  void Update1First();
  void UpdateBinary();
  void Update2();
  uint16_t& BinSumm();
  void ClearMasked();

  std::unique_ptr<uint8_t[]> block_;
  uint8_t* mem_ = nullptr;
  uint32_t size_ = 0;
  uint32_t text_ = 0, unitsStart_ = 0, loUnit_ = 0, hiUnit_ = 0;
  uint32_t glueCount_ = 0;
  std::array<uint32_t, kIndexCount> freeList_{};
  std::array<uint32_t, kIndexCount> stamps_{};  // free blocks per class

  uint32_t minContext_ = 0, maxContext_ = 0, foundState_ = 0;
  unsigned orderFall_ = 0, initEsc_ = 0, prevSuccess_ = 0, maxOrder_ = 0;
  int32_t runLength_ = 0, initRunLength_ = 0;
  TRestore restore_ = TRestore::Restart;
  bool broken_ = false;
  // The symbols a symbol's escapes have ruled out: those marked maskEpoch_
  // (a new epoch per symbol spares clearing the 256 marks each time).
  std::array<uint8_t, 256> masked_{};
  uint8_t maskEpoch_ = 0;

  std::array<uint8_t, kIndexCount> index2Units_{};
  std::array<uint8_t, 128> units2Index_{};
  std::array<uint8_t, 256> ns2BsIndex_{};
  std::array<uint8_t, 260> ns2Index_{};
  TSee dummySee_{};
  TSee see_[24][32] = {};
  uint16_t binSumm_[25][64] = {};
};

}  // namespace zf
