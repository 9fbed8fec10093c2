// PPMd variant I: the range decoder, the block allocator and the model's
// update rules. The constants and the order of every step are the
// format's: the encoder ran the same model, and the decoder must grow,
// rescale and run out of memory exactly when it did.
#include "archive/methods/PpmdModel.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zf {

namespace {

constexpr uint32_t kTop = 1u << 24;
constexpr uint32_t kBottom = 1u << 15;
constexpr uint32_t kUnitSize = 12;
constexpr uint32_t kStateSize = 6;
constexpr unsigned kMaxFreq = 124;
constexpr uint32_t kEmptyNode = 0xFFFFFFFF;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScale = 1u << (kIntBits + kPeriodBits);
// The lead bytes of the block: offset 0 stands for "none", so no unit
// starts there, and a suffix read from "none" reads these zeros.
constexpr uint32_t kAlign = 4;

constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                     0x64A1, 0x5ABC, 0x6632, 0x6051};

uint32_t UnitBytes(unsigned units) { return units * kUnitSize; }
unsigned BinMean(unsigned prob) { return (prob + (1u << (kPeriodBits - 2))) >> kPeriodBits; }
uint8_t HighSymbolFlag(uint8_t symbol) { return symbol >= 0x40 ? 0x08 : 0; }

}  // namespace

// ---- the range decoder ---------------------------------------------------------

void TPpmdRangeDecoder::Start() {
  Low = 0;
  Range = 0xFFFFFFFF;
  Code = 0;
  for (int i = 0; i < 4; ++i) Code = Code << 8 | Byte();
}

bool TPpmdRangeDecoder::Threshold(uint32_t total, uint32_t& count) {
  if (total == 0 || Range / total == 0) return false;
  Range /= total;
  count = Code / Range;
  return true;
}

// Takes the symbol's share of the range, then brings in bytes while the top
// byte of the interval is settled, or while the range is too small (it is
// then cut to the next 2^15 boundary: the coder carries nothing). Each call
// reads at most eight bytes.
void TPpmdRangeDecoder::Take(uint32_t start, uint32_t size) {
  start *= Range;
  Low += start;
  Code -= start;
  Range *= size;
  if (Range == 0) {  // a symbol of size 0: the normalization would never end
    Broken = true;
    Range = 1;
    return;
  }
  for (;;) {
    if ((Low ^ (Low + Range)) >= kTop) {
      if (Range >= kBottom) break;
      Range = (0u - Low) & (kBottom - 1);
    }
    Code = Code << 8 | Byte();
    Range <<= 8;
    Low <<= 8;
  }
}

// ---- the block -------------------------------------------------------------------------

TPpmdModel::TPpmdModel() {
  // Block sizes: 1-4 units one by one, then steps of 2, 3 and 4 up to 128.
  unsigned units = 0;
  for (unsigned i = 0; i < kIndexCount; ++i) {
    const unsigned step = i >= 12 ? 4 : i / 4 + 1;
    for (unsigned k = 0; k < step; ++k) units2Index_[units++] = static_cast<uint8_t>(i);
    index2Units_[i] = static_cast<uint8_t>(units);
  }
  ns2BsIndex_[0] = 0;
  ns2BsIndex_[1] = 2;
  std::fill(ns2BsIndex_.begin() + 2, ns2BsIndex_.begin() + 11, 4);
  std::fill(ns2BsIndex_.begin() + 11, ns2BsIndex_.end(), 6);
  // Classes of state counts: 0-4 alone, then runs of 1, 2, 3... counts.
  unsigned i = 0;
  for (; i < 5; ++i) ns2Index_[i] = static_cast<uint8_t>(i);
  for (unsigned m = i, left = 1; i < ns2Index_.size(); ++i) {
    ns2Index_[i] = static_cast<uint8_t>(m);
    if (--left == 0) left = ++m - 4;
  }
}

TPpmdModel::~TPpmdModel() = default;

bool TPpmdModel::Allocate(uint32_t size) {
  block_.reset(new (std::nothrow) uint8_t[kAlign + size]);
  if (!block_) return false;
  mem_ = block_.get();
  std::memset(mem_, 0, kAlign);
  size_ = size;
  return true;
}

uint32_t TPpmdModel::Load32(uint32_t at) const {
  uint32_t v;
  std::memcpy(&v, mem_ + at, 4);
  return v;
}

void TPpmdModel::Store32(uint32_t at, uint32_t v) { std::memcpy(mem_ + at, &v, 4); }

TPpmdModel::TState TPpmdModel::GetState(uint32_t s) const {
  return {mem_[s], mem_[s + 1], Successor(s)};
}

void TPpmdModel::PutState(uint32_t s, const TState& v) {
  mem_[s] = v.Symbol;
  mem_[s + 1] = v.Freq;
  SetSuccessor(s, v.Successor);
}

void TPpmdModel::SwapStates(uint32_t a, uint32_t b) {
  uint8_t t[kStateSize];
  std::memcpy(t, mem_ + a, kStateSize);
  std::memcpy(mem_ + a, mem_ + b, kStateSize);
  std::memcpy(mem_ + b, t, kStateSize);
}

uint16_t TPpmdModel::SummFreq(uint32_t c) const {
  uint16_t v;
  std::memcpy(&v, mem_ + c + 2, 2);
  return v;
}

void TPpmdModel::SetSummFreq(uint32_t c, unsigned v) {
  const uint16_t w = static_cast<uint16_t>(v);
  std::memcpy(mem_ + c + 2, &w, 2);
}

// The state of symbol in a context of several: every symbol of a context
// is in its suffix, so it is there unless the data is damaged.
uint32_t TPpmdModel::FindState(uint32_t c, uint8_t symbol) {
  uint32_t s = Stats(c);
  for (unsigned n = NumStats(c) + 1u; n > 0; --n, s += kStateSize)
    if (Symbol(s) == symbol) return s;
  broken_ = true;
  return Stats(c);
}

// ---- the allocator: free blocks in lists by size class ------------------------

void TPpmdModel::InsertNode(uint32_t node, unsigned index) {
  Store32(node, kEmptyNode);
  Store32(node + 4, freeList_[index]);
  Store32(node + 8, I2U(index));
  freeList_[index] = node;
  ++stamps_[index];
}

uint32_t TPpmdModel::RemoveNode(unsigned index) {
  const uint32_t node = freeList_[index];
  freeList_[index] = NextFree(node);
  --stamps_[index];
  return node;
}

// Frees what is left of a block of oldIndex's size once newIndex's size is
// taken from its start.
void TPpmdModel::SplitBlock(uint32_t block, unsigned oldIndex, unsigned newIndex) {
  const unsigned units = I2U(oldIndex) - I2U(newIndex);
  block += UnitBytes(I2U(newIndex));
  unsigned i = U2I(units);
  if (I2U(i) != units) {
    const unsigned k = I2U(--i);
    InsertNode(block + UnitBytes(k), units - k - 1);
  }
  InsertNode(block, i);
}

// Merges free blocks that lie next to each other, then files them again by
// size. The unit at loUnit_ (when there is a gap) gets a stamp that stops a
// merge; the order-0 context at the top stops one there.
void TPpmdModel::GlueFreeBlocks() {
  glueCount_ = 1u << 13;
  stamps_.fill(0);
  if (loUnit_ != hiUnit_) Store32(loUnit_, 0);

  uint32_t head = 0;
  uint32_t last = 0;  // the last block of the merged list; 0: none yet
  auto link = [&](uint32_t node) {
    if (last == 0) head = node;
    else Store32(last + 4, node);
    last = node;
  };
  for (unsigned i = 0; i < kIndexCount; ++i) {
    uint32_t next = freeList_[i];
    freeList_[i] = 0;
    while (next != 0) {
      const uint32_t node = next;
      if (Units(node) != 0) {
        link(node);
        for (;;) {
          const uint32_t after = node + UnitBytes(Units(node));
          if (Stamp(after) != kEmptyNode) break;
          Store32(node + 8, Units(node) + Units(after));
          Store32(after + 8, 0);
        }
      }
      next = NextFree(node);
    }
  }
  if (last != 0) Store32(last + 4, 0);
  else head = 0;

  while (head != 0) {
    uint32_t node = head;
    head = NextFree(node);
    unsigned units = Units(node);
    if (units == 0) continue;
    for (; units > 128; units -= 128, node += UnitBytes(128)) InsertNode(node, kIndexCount - 1);
    unsigned i = U2I(units);
    if (I2U(i) != units) {
      const unsigned k = I2U(--i);
      InsertNode(node + UnitBytes(k), units - k - 1);
    }
    InsertNode(node, i);
  }
}

uint32_t TPpmdModel::AllocUnitsRare(unsigned index) {
  if (glueCount_ == 0) {
    GlueFreeBlocks();
    if (freeList_[index] != 0) return RemoveNode(index);
  }
  unsigned i = index;
  do {
    if (++i == kIndexCount) {
      // No bigger block either: take from the text area's top, if it has room.
      const uint32_t bytes = UnitBytes(I2U(index));
      --glueCount_;
      if (unitsStart_ - text_ > bytes) return unitsStart_ -= bytes;
      return 0;
    }
  } while (freeList_[i] == 0);
  const uint32_t block = RemoveNode(i);
  SplitBlock(block, i, index);
  return block;
}

uint32_t TPpmdModel::AllocUnits(unsigned index) {
  if (freeList_[index] != 0) return RemoveNode(index);
  const uint32_t bytes = UnitBytes(I2U(index));
  if (bytes <= hiUnit_ - loUnit_) {
    const uint32_t block = loUnit_;
    loUnit_ += bytes;
    return block;
  }
  return AllocUnitsRare(index);
}

// Contexts come from the top of the gap, states from its bottom.
uint32_t TPpmdModel::AllocContext() {
  if (hiUnit_ != loUnit_) return hiUnit_ -= kUnitSize;
  if (freeList_[0] != 0) return RemoveNode(0);
  return AllocUnitsRare(0);
}

void TPpmdModel::CopyUnits(uint32_t to, uint32_t from, unsigned units) {
  std::memmove(mem_ + to, mem_ + from, UnitBytes(units));
}

uint32_t TPpmdModel::ShrinkUnits(uint32_t block, unsigned oldUnits, unsigned newUnits) {
  const unsigned i0 = U2I(oldUnits);
  const unsigned i1 = U2I(newUnits);
  if (i0 == i1) return block;
  if (freeList_[i1] != 0) {
    const uint32_t moved = RemoveNode(i1);
    CopyUnits(moved, block, newUnits);
    InsertNode(block, i0);
    return moved;
  }
  SplitBlock(block, i0, i1);
  return block;
}

void TPpmdModel::SpecialFreeUnit(uint32_t block) {
  if (block != unitsStart_) InsertNode(block, 0);
  else unitsStart_ += kUnitSize;
}

// Moves a block near the text area's top to a free block higher up, so the
// text area can grow into the space.
uint32_t TPpmdModel::MoveUnitsUp(uint32_t block, unsigned units) {
  const unsigned index = U2I(units);
  if (block > unitsStart_ + 16 * 1024 || block > freeList_[index]) return block;
  const uint32_t moved = RemoveNode(index);
  CopyUnits(moved, block, units);
  if (block != unitsStart_) InsertNode(block, index);
  else unitsStart_ += UnitBytes(I2U(index));
  return moved;
}

// Gives the free blocks at the bottom of the units area to the text area.
void TPpmdModel::ExpandTextArea() {
  uint32_t count[kIndexCount] = {};
  if (loUnit_ != hiUnit_) Store32(loUnit_, 0);
  uint32_t node = unitsStart_;
  while (Stamp(node) == kEmptyNode) {
    const uint32_t units = Units(node);
    if (units == 0 || units > 128) {  // not a block InsertNode wrote: damaged model
      broken_ = true;
      break;
    }
    Store32(node, 0);
    ++count[U2I(units)];
    node += UnitBytes(units);
  }
  unitsStart_ = node;

  // Unlink the blocks just given away (their stamps are now 0).
  for (unsigned i = 0; i < kIndexCount; ++i) {
    uint32_t prev = 0;  // the block whose link is walked; 0: the list's head
    while (count[i] != 0) {
      uint32_t at = prev == 0 ? freeList_[i] : NextFree(prev);
      while (Stamp(at) == 0) {
        at = NextFree(at);
        if (prev == 0) freeList_[i] = at;
        else Store32(prev + 4, at);
        --stamps_[i];
        if (--count[i] == 0) break;
      }
      prev = at;
    }
  }
}

uint32_t TPpmdModel::UsedMemory() const {
  uint32_t units = 0;
  for (unsigned i = 0; i < kIndexCount; ++i) units += stamps_[i] * I2U(i);
  return size_ - (hiUnit_ - loUnit_) - (unitsStart_ - text_) - UnitBytes(units);
}

// ---- the model ------------------------------------------------------------------------

void TPpmdModel::Start(unsigned maxOrder, TRestore restore) {
  maxOrder_ = maxOrder;
  restore_ = restore;
  broken_ = false;
  Restart();
  dummySee_.Shift = kPeriodBits;
  dummySee_.Summ = 0;
  dummySee_.Count = 64;
}

// An order-0 context of all 256 symbols at the top of the block; the text
// area takes the bottom eighth.
void TPpmdModel::Restart() {
  freeList_.fill(0);
  stamps_.fill(0);
  text_ = kAlign;
  hiUnit_ = text_ + size_;
  loUnit_ = unitsStart_ = hiUnit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
  glueCount_ = 0;

  orderFall_ = maxOrder_;
  runLength_ = initRunLength_ = -static_cast<int32_t>(std::min(maxOrder_, 12u)) - 1;
  prevSuccess_ = 0;

  hiUnit_ -= kUnitSize;
  minContext_ = maxContext_ = hiUnit_;
  SetSuffix(minContext_, 0);
  NumStats(minContext_) = 255;
  Flags(minContext_) = 0;
  SetSummFreq(minContext_, 256 + 1);
  foundState_ = loUnit_;
  loUnit_ += UnitBytes(256 / 2);
  SetStats(minContext_, foundState_);
  for (unsigned i = 0; i < 256; ++i)
    PutState(foundState_ + i * kStateSize, {static_cast<uint8_t>(i), 1, 0});

  for (unsigned i = 0, m = 0; m < 25; ++m) {
    while (ns2Index_[i] == m) ++i;
    for (unsigned k = 0; k < 8; ++k) {
      const uint16_t value = static_cast<uint16_t>(kBinScale - kInitBinEsc[k] / (i + 1));
      for (unsigned r = 0; r < 64; r += 8) binSumm_[m][k + r] = value;
    }
  }
  for (unsigned i = 0, m = 0; m < 24; ++m) {
    while (ns2Index_[i + 3] == m + 3) ++i;
    for (TSee& see : see_[m]) {
      see.Shift = kPeriodBits - 4;
      see.Summ = static_cast<uint16_t>((2 * i + 5) << see.Shift);
      see.Count = 7;
    }
  }
}

// Scales a context's frequencies down (scale 1 halves them) after its
// states were reduced in number, and shrinks its block to fit.
void TPpmdModel::Refresh(uint32_t c, unsigned oldUnits, unsigned scale) {
  unsigned i = NumStats(c);
  uint32_t s = ShrinkUnits(Stats(c), oldUnits, (i + 2) >> 1);
  SetStats(c, s);
  unsigned flags = (Flags(c) & (0x10 + 0x04 * scale)) + HighSymbolFlag(Symbol(s));
  unsigned escFreq = SummFreq(c) - Freq(s);
  unsigned sumFreq = Freq(s) = static_cast<uint8_t>((Freq(s) + scale) >> scale);
  do {
    s += kStateSize;
    escFreq -= Freq(s);
    sumFreq += Freq(s) = static_cast<uint8_t>((Freq(s) + scale) >> scale);
    flags |= HighSymbolFlag(Symbol(s));
  } while (--i);
  SetSummFreq(c, sumFreq + ((escFreq + scale) >> scale));
  Flags(c) = static_cast<uint8_t>(flags);
}

// Removes the states whose successors lie in the text area (branches not
// seen since the text area was last given up), deepest first; returns the
// context, or 0 when nothing of it is left.
uint32_t TPpmdModel::CutOff(uint32_t c, unsigned order) {
  if (NumStats(c) == 0) {
    const uint32_t s = OneState(c);
    if (Successor(s) >= unitsStart_) {
      SetSuccessor(s, order < maxOrder_ ? CutOff(Successor(s), order + 1) : 0);
      if (Successor(s) != 0 || order <= 9) return c;
    }
    SpecialFreeUnit(c);
    return 0;
  }
  const unsigned units = (NumStats(c) + 2u) >> 1;
  SetStats(c, MoveUnitsUp(Stats(c), units));
  const uint32_t stats = Stats(c);
  int kept = NumStats(c);  // the last state kept
  for (int j = NumStats(c); j >= 0; --j) {
    const uint32_t s = stats + static_cast<uint32_t>(j) * kStateSize;
    if (Successor(s) < unitsStart_) {
      SetSuccessor(s, 0);
      SwapStates(s, stats + static_cast<uint32_t>(kept--) * kStateSize);
    } else {
      SetSuccessor(s, order < maxOrder_ ? CutOff(Successor(s), order + 1) : 0);
    }
  }
  if (kept != NumStats(c) && order != 0) {
    NumStats(c) = static_cast<uint8_t>(kept);
    if (kept < 0) {
      FreeUnits(stats, units);
      SpecialFreeUnit(c);
      return 0;
    }
    if (kept == 0) {
      Flags(c) = static_cast<uint8_t>((Flags(c) & 0x10) + HighSymbolFlag(Symbol(stats)));
      PutState(OneState(c), GetState(stats));
      FreeUnits(stats, units);
      Freq(OneState(c)) = static_cast<uint8_t>((Freq(OneState(c)) + 11u) >> 3);
    } else {
      Refresh(c, units, SummFreq(c) > 16u * static_cast<unsigned>(kept));
    }
  }
  return c;
}

// The memory is full: undo the half-made update from maxContext_ down to
// c1, then restart the model, or cut it back until a quarter is free.
void TPpmdModel::Restore(uint32_t c1) {
  text_ = kAlign;
  uint32_t c = maxContext_;
  for (; c != c1; c = Suffix(c)) {
    if (--NumStats(c) == 0) {
      const uint32_t s = Stats(c);
      Flags(c) = static_cast<uint8_t>((Flags(c) & 0x10) + HighSymbolFlag(Symbol(s)));
      PutState(OneState(c), GetState(s));
      SpecialFreeUnit(s);
      Freq(OneState(c)) = static_cast<uint8_t>((Freq(OneState(c)) + 11u) >> 3);
    } else {
      Refresh(c, (NumStats(c) + 3u) >> 1, 0);
    }
  }
  for (; c != minContext_; c = Suffix(c)) {
    if (NumStats(c) == 0) {
      Freq(OneState(c)) = static_cast<uint8_t>(Freq(OneState(c)) - (Freq(OneState(c)) >> 1));
    } else {
      SetSummFreq(c, SummFreq(c) + 4u);
      if (SummFreq(c) > 128u + 4u * NumStats(c)) Refresh(c, (NumStats(c) + 2u) >> 1, 1);
    }
  }
  if (restore_ == TRestore::Restart || UsedMemory() < (size_ >> 1)) {
    Restart();
    return;
  }
  while (Suffix(maxContext_) != 0) maxContext_ = Suffix(maxContext_);
  do {
    CutOff(maxContext_, 0);
    ExpandTextArea();
  } while (!broken_ && UsedMemory() > 3 * (size_ >> 2));
  glueCount_ = 0;
  orderFall_ = maxOrder_;
}

// Creates the chain of one-state contexts the found symbol opens, from the
// deepest suffix that already has one up to the current order; 0 when the
// memory runs out.
uint32_t TPpmdModel::CreateSuccessors(bool skip, uint32_t s1, uint32_t c) {
  const uint32_t upBranch = Successor(foundState_);
  const uint8_t symbol = Symbol(foundState_);
  uint32_t ps[kMaxOrder + 1];
  unsigned numPs = 0;
  if (!skip) ps[numPs++] = foundState_;

  while (Suffix(c) != 0) {
    c = Suffix(c);
    uint32_t s;
    if (s1 != 0) {
      s = s1;
      s1 = 0;
    } else if (NumStats(c) != 0) {
      s = FindState(c, symbol);
      if (Freq(s) < kMaxFreq - 9) {
        ++Freq(s);
        SetSummFreq(c, SummFreq(c) + 1u);
      }
    } else {
      s = OneState(c);
      Freq(s) = static_cast<uint8_t>(Freq(s) + (NumStats(Suffix(c)) == 0 && Freq(s) < 24));
    }
    const uint32_t successor = Successor(s);
    if (successor != upBranch) {
      c = successor;
      if (numPs == 0) return c;
      break;
    }
    if (numPs == kMaxOrder + 1) {  // deeper than any order: damaged model
      broken_ = true;
      return 0;
    }
    ps[numPs++] = s;
  }

  TState up{mem_[upBranch], 0, upBranch + 1};
  const uint8_t flags = static_cast<uint8_t>((symbol >= 0x40 ? 0x10 : 0) + HighSymbolFlag(up.Symbol));
  if (NumStats(c) == 0) {
    up.Freq = Freq(OneState(c));
  } else {
    const uint32_t s = FindState(c, up.Symbol);
    const uint32_t cf = Freq(s) - 1u;
    const uint32_t s0 = SummFreq(c) - NumStats(c) - cf;
    if (2 * cf > s0 && s0 == 0) {
      broken_ = true;
      return 0;
    }
    up.Freq = static_cast<uint8_t>(1 + (2 * cf <= s0 ? (5 * cf > s0) : (cf + 2 * s0 - 3) / s0));
  }
  while (numPs != 0) {
    const uint32_t c1 = AllocContext();
    if (c1 == 0) return 0;
    NumStats(c1) = 0;
    Flags(c1) = flags;
    PutState(OneState(c1), up);
    SetSuffix(c1, c);
    SetSuccessor(ps[--numPs], c1);
    c = c1;
  }
  return c;
}

// The found symbol had no successor context: point the states on the way
// down to the text, and find (or create) the context to go on from.
uint32_t TPpmdModel::ReduceOrder(uint32_t s1, uint32_t c) {
  const uint32_t c1 = c;
  const uint32_t upBranch = text_;
  const uint8_t symbol = Symbol(foundState_);
  SetSuccessor(foundState_, upBranch);
  ++orderFall_;
  uint32_t s = 0;
  for (;;) {
    if (s1 != 0) {
      c = Suffix(c);
      s = s1;
      s1 = 0;
    } else {
      if (Suffix(c) == 0) return c;
      c = Suffix(c);
      if (NumStats(c) != 0) {
        s = FindState(c, symbol);
        if (Freq(s) < kMaxFreq - 9) {
          Freq(s) += 2;
          SetSummFreq(c, SummFreq(c) + 2u);
        }
      } else {
        s = OneState(c);
        Freq(s) = static_cast<uint8_t>(Freq(s) + (Freq(s) < 32));
      }
    }
    if (Successor(s) != 0) break;
    SetSuccessor(s, upBranch);
    ++orderFall_;
  }
  if (Successor(s) <= upBranch) {
    const uint32_t found = foundState_;
    foundState_ = s;
    SetSuccessor(s, CreateSuccessors(false, 0, c));
    foundState_ = found;
  }
  if (orderFall_ == 1 && c1 == maxContext_) {
    SetSuccessor(foundState_, Successor(s));
    --text_;
  }
  return Successor(s);
}

// Adds the found symbol to every context from maxContext_ down to the one
// it was found in, and moves to the next context.
void TPpmdModel::UpdateModel() {
  uint32_t fSuccessor = Successor(foundState_);
  const unsigned fFreq = Freq(foundState_);
  const uint8_t fSymbol = Symbol(foundState_);
  uint32_t s = 0;

  if (fFreq < kMaxFreq / 4 && Suffix(minContext_) != 0) {
    const uint32_t c = Suffix(minContext_);
    if (NumStats(c) == 0) {
      s = OneState(c);
      if (Freq(s) < 32) ++Freq(s);
    } else {
      s = Stats(c);
      if (Symbol(s) != fSymbol) {
        s = FindState(c, fSymbol);
        if (Freq(s) >= Freq(s - kStateSize)) {
          SwapStates(s, s - kStateSize);
          s -= kStateSize;
        }
      }
      if (Freq(s) < kMaxFreq - 9) {
        Freq(s) += 2;
        SetSummFreq(c, SummFreq(c) + 2u);
      }
    }
  }

  uint32_t c = maxContext_;
  if (orderFall_ == 0 && fSuccessor != 0) {
    const uint32_t cs = CreateSuccessors(true, s, minContext_);
    SetSuccessor(foundState_, cs);
    if (cs == 0) Restore(c);
    else maxContext_ = cs;
    return;
  }

  mem_[text_++] = fSymbol;
  uint32_t successor = text_;
  if (text_ >= unitsStart_) {
    Restore(c);
    return;
  }
  if (fSuccessor == 0) {
    fSuccessor = ReduceOrder(s, minContext_);
  } else if (fSuccessor < unitsStart_) {
    fSuccessor = CreateSuccessors(false, s, minContext_);
  }
  if (fSuccessor == 0 || broken_) {
    Restore(c);
    return;
  }

  if (--orderFall_ == 0) {
    successor = fSuccessor;
    text_ -= maxContext_ != minContext_;
  }

  const unsigned ns = NumStats(minContext_);
  const unsigned s0 = SummFreq(minContext_) - ns - fFreq;
  for (; c != minContext_; c = Suffix(c)) {
    const unsigned ns1 = NumStats(c);
    if (ns1 != 0) {
      if ((ns1 & 1) != 0) {
        // The states fill their block: move them to one a unit bigger.
        const unsigned oldUnits = (ns1 + 1) >> 1;
        const unsigned i = U2I(oldUnits);
        if (i != U2I(oldUnits + 1)) {
          const uint32_t block = AllocUnits(i + 1);
          if (block == 0) {
            Restore(c);
            return;
          }
          CopyUnits(block, Stats(c), oldUnits);
          InsertNode(Stats(c), i);
          SetStats(c, block);
        }
      }
      SetSummFreq(c, SummFreq(c) + (3 * ns1 + 1 < ns));
    } else {
      const uint32_t s2 = AllocUnits(0);
      if (s2 == 0) {
        Restore(c);
        return;
      }
      PutState(s2, GetState(OneState(c)));
      SetStats(c, s2);
      Freq(s2) = Freq(s2) < kMaxFreq / 4 - 1 ? static_cast<uint8_t>(Freq(s2) * 2) : kMaxFreq - 4;
      SetSummFreq(c, Freq(s2) + initEsc_ + (ns > 2));
    }
    uint32_t cf = 2 * fFreq * (SummFreq(c) + 6u);
    const uint32_t sf = s0 + SummFreq(c);
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf) + (cf >= 4 * sf);
      SetSummFreq(c, SummFreq(c) + 4u);
    } else {
      cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
      SetSummFreq(c, SummFreq(c) + cf);
    }
    const uint32_t added = Stats(c) + (ns1 + 1) * kStateSize;
    PutState(added, {fSymbol, static_cast<uint8_t>(cf), successor});
    Flags(c) |= HighSymbolFlag(fSymbol);
    NumStats(c) = static_cast<uint8_t>(ns1 + 1);
  }
  maxContext_ = minContext_ = fSuccessor;
}

// Halves the frequencies of minContext_ (the found state first, the rest
// kept in falling order) and drops the states that reach 0.
void TPpmdModel::Rescale() {
  const uint32_t stats = Stats(minContext_);
  uint32_t s = foundState_;
  {
    const TState found = GetState(s);
    for (; s != stats; s -= kStateSize) PutState(s, GetState(s - kStateSize));
    PutState(s, found);
  }
  unsigned escFreq = SummFreq(minContext_) - Freq(s);
  Freq(s) += 4;
  const unsigned adder = orderFall_ != 0;
  Freq(s) = static_cast<uint8_t>((Freq(s) + adder) >> 1);
  unsigned sumFreq = Freq(s);

  unsigned i = NumStats(minContext_);
  do {
    s += kStateSize;
    escFreq -= Freq(s);
    Freq(s) = static_cast<uint8_t>((Freq(s) + adder) >> 1);
    sumFreq += Freq(s);
    if (Freq(s) > Freq(s - kStateSize)) {
      const TState moving = GetState(s);
      uint32_t at = s;
      do {
        PutState(at, GetState(at - kStateSize));
        at -= kStateSize;
      } while (at != stats && moving.Freq > Freq(at - kStateSize));
      PutState(at, moving);
    }
  } while (--i);

  if (Freq(s) == 0) {
    const unsigned numStats = NumStats(minContext_);
    do {
      ++i;
      s -= kStateSize;
    } while (Freq(s) == 0);
    escFreq += i;
    NumStats(minContext_) = static_cast<uint8_t>(NumStats(minContext_) - i);
    if (NumStats(minContext_) == 0) {
      TState only = GetState(stats);
      only.Freq = static_cast<uint8_t>(
          std::min<unsigned>((2 * only.Freq + escFreq - 1) / escFreq, kMaxFreq / 3));
      InsertNode(stats, U2I((numStats + 2) >> 1));
      Flags(minContext_) =
          static_cast<uint8_t>((Flags(minContext_) & 0x10) + HighSymbolFlag(only.Symbol));
      foundState_ = OneState(minContext_);
      PutState(foundState_, only);
      return;
    }
    const unsigned n0 = (numStats + 2) >> 1;
    const unsigned n1 = (NumStats(minContext_) + 2u) >> 1;
    if (n0 != n1) SetStats(minContext_, ShrinkUnits(stats, n0, n1));
    uint8_t flags = Flags(minContext_) & ~0x08;
    s = Stats(minContext_);
    for (unsigned k = 0; k <= NumStats(minContext_); ++k, s += kStateSize)
      flags |= HighSymbolFlag(Symbol(s));
    Flags(minContext_) = flags;
  }
  SetSummFreq(minContext_, sumFreq + escFreq - (escFreq >> 1));
  Flags(minContext_) |= 0x04;
  foundState_ = Stats(minContext_);
}

// The escape frequency of minContext_ after numMasked + 1 of its symbols
// were ruled out, from the secondary model (SEE) of contexts like it.
TPpmdModel::TSee* TPpmdModel::MakeEscFreq(unsigned numMasked, uint32_t& escFreq) {
  const unsigned ns = NumStats(minContext_);
  if (ns == 0xFF) {
    escFreq = 1;
    return &dummySee_;
  }
  TSee* see = &see_[ns2Index_[ns + 2] - 3][(SummFreq(minContext_) > 11 * (ns + 1)) +
                                          2 * (2 * ns < NumStats(Suffix(minContext_)) + numMasked) +
                                          Flags(minContext_)];
  const unsigned r = see->Summ >> see->Shift;
  see->Summ = static_cast<uint16_t>(see->Summ - r);
  escFreq = r + (r == 0);
  return see;
}

void TPpmdModel::NextContext() {
  const uint32_t c = Successor(foundState_);
  if (orderFall_ == 0 && c >= unitsStart_) {
    minContext_ = maxContext_ = c;
  } else {
    UpdateModel();
    minContext_ = maxContext_;
  }
}

// Found in minContext_, not as its first state.
void TPpmdModel::Update1() {
  uint32_t s = foundState_;
  Freq(s) += 4;
  SetSummFreq(minContext_, SummFreq(minContext_) + 4u);
  if (Freq(s) > Freq(s - kStateSize)) {
    SwapStates(s, s - kStateSize);
    foundState_ = s -= kStateSize;
    if (Freq(s) > kMaxFreq) Rescale();
  }
  NextContext();
}

// Found as minContext_'s first state.
void TPpmdModel::Update1First() {
  prevSuccess_ = 2u * Freq(foundState_) >= SummFreq(minContext_);
  runLength_ += static_cast<int32_t>(prevSuccess_);
  SetSummFreq(minContext_, SummFreq(minContext_) + 4u);
  Freq(foundState_) += 4;
  if (Freq(foundState_) > kMaxFreq) Rescale();
  NextContext();
}

void TPpmdModel::UpdateBinary() {
  Freq(foundState_) = static_cast<uint8_t>(Freq(foundState_) + (Freq(foundState_) < 196));
  prevSuccess_ = 1;
  ++runLength_;
  NextContext();
}

// Found after one or more escapes.
void TPpmdModel::Update2() {
  SetSummFreq(minContext_, SummFreq(minContext_) + 4u);
  Freq(foundState_) += 4;
  if (Freq(foundState_) > kMaxFreq) Rescale();
  runLength_ = initRunLength_;
  UpdateModel();
  minContext_ = maxContext_;
}

// The probability of a binary context's one symbol, by its frequency, its
// suffix's size, the last symbol's success, its flags and the run length.
uint16_t& TPpmdModel::BinSumm() {
  const unsigned freq = Freq(OneState(minContext_));
  return binSumm_[ns2Index_[freq - 1]][ns2BsIndex_[NumStats(Suffix(minContext_))] + prevSuccess_ +
                                       Flags(minContext_) + (runLength_ < 0 ? 0x20 : 0)];
}

// Starts a new set of symbols ruled out: those whose mark is the new epoch.
void TPpmdModel::ClearMasked() {
  if (++maskEpoch_ == 0) {
    masked_.fill(0);
    maskEpoch_ = 1;
  }
}

int TPpmdModel::DecodeSymbol(TPpmdRangeDecoder& rc) {
  if (NumStats(minContext_) != 0) {
    uint32_t s = Stats(minContext_);
    uint32_t count;
    if (!rc.Threshold(SummFreq(minContext_), count)) return kError;
    uint32_t hiCnt = Freq(s);
    if (count < hiCnt) {
      rc.Take(0, Freq(s));
      foundState_ = s;
      const uint8_t symbol = Symbol(s);
      Update1First();
      return symbol;
    }
    prevSuccess_ = 0;
    for (unsigned i = NumStats(minContext_); i > 0; --i) {
      s += kStateSize;
      if ((hiCnt += Freq(s)) > count) {
        rc.Take(hiCnt - Freq(s), Freq(s));
        foundState_ = s;
        const uint8_t symbol = Symbol(s);
        Update1();
        return symbol;
      }
    }
    if (count >= SummFreq(minContext_)) return kError;
    rc.Take(hiCnt, SummFreq(minContext_) - hiCnt);
    ClearMasked();
    for (uint32_t k = Stats(minContext_); k <= s; k += kStateSize) masked_[Symbol(k)] = maskEpoch_;
  } else {
    uint16_t& prob = BinSumm();
    if (rc.BinaryThreshold() < prob) {
      rc.Take(0, prob);
      prob = static_cast<uint16_t>(prob + (1u << kIntBits) - BinMean(prob));
      foundState_ = OneState(minContext_);
      const uint8_t symbol = Symbol(foundState_);
      UpdateBinary();
      return symbol;
    }
    rc.Take(prob, kBinScale - prob);
    prob = static_cast<uint16_t>(prob - BinMean(prob));
    initEsc_ = kExpEscape[prob >> 10];
    ClearMasked();
    masked_[Symbol(OneState(minContext_))] = maskEpoch_;
    prevSuccess_ = 0;
  }

  for (;;) {
    const unsigned numMasked = NumStats(minContext_);
    do {
      ++orderFall_;
      if (Suffix(minContext_) == 0) return kEndMark;
      minContext_ = Suffix(minContext_);
    } while (NumStats(minContext_) == numMasked);

    // The symbols not ruled out yet, in the context's order.
    uint32_t ps[256];
    const unsigned num = NumStats(minContext_) - numMasked;
    unsigned n = 0;
    uint32_t hiCnt = 0;
    uint32_t s = Stats(minContext_);
    for (unsigned left = NumStats(minContext_) + 1u; n != num; s += kStateSize) {
      if (left-- == 0) {  // fewer unmasked symbols than the counts say
        broken_ = true;
        return kError;
      }
      if (masked_[Symbol(s)] != maskEpoch_) {
        hiCnt += Freq(s);
        ps[n++] = s;
      }
    }

    uint32_t freqSum;
    TSee* see = MakeEscFreq(numMasked, freqSum);
    freqSum += hiCnt;
    uint32_t count;
    if (!rc.Threshold(freqSum, count)) return kError;
    if (count < hiCnt) {
      unsigned k = 0;
      hiCnt = 0;
      while ((hiCnt += Freq(ps[k])) <= count) ++k;
      s = ps[k];
      rc.Take(hiCnt - Freq(s), Freq(s));
      if (see->Shift < kPeriodBits && --see->Count == 0) {
        see->Summ = static_cast<uint16_t>(see->Summ << 1);
        see->Count = static_cast<uint8_t>(3 << see->Shift++);
      }
      foundState_ = s;
      const uint8_t symbol = Symbol(s);
      Update2();
      return symbol;
    }
    if (count >= freqSum) return kError;
    rc.Take(hiCnt, freqSum - hiCnt);
    see->Summ = static_cast<uint16_t>(see->Summ + freqSum);
    for (unsigned k = 0; k < n; ++k) masked_[Symbol(ps[k])] = maskEpoch_;
  }
}

}  // namespace zf
