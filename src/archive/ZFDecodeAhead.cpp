// Decoding ahead (see ZFDecodeAhead.h).
#include "archive/ZFDecodeAhead.h"

#include <system_error>
#include <utility>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "archive/ZFRecords.h"
#include "archive/methods/Decompressor.h"
#include "archive/methods/EntryCipher.h"

namespace zf {

bool TZFDecodeAhead::Worthwhile(const TDirItem& item) {
  // An AES entry's block names its real method.
  const uint16_t method =
      item.Header.Method == kMethodAes ? EntryCodingOf(item).Method : item.Header.Method;
  return IsRegisteredMethod(method) && !item.IsDirectory() &&
         item.CompressedSize() >= 0 && item.CompressedSize() <= kMaxEntrySize &&
         item.UncompressedSize() >= 0 && item.UncompressedSize() <= kMaxEntrySize;
}

std::unique_ptr<TZFDecodeAhead> TZFDecodeAhead::Start(const std::string& archivePath,
                                                      std::vector<TJob> jobs,
                                                      const std::string& password) {
  if (jobs.size() < 2) return nullptr;
  try {
    auto archive = std::make_unique<TFileStream>(archivePath, TFileMode::fmOpenReadDenyNone);
    return std::unique_ptr<TZFDecodeAhead>(
        new TZFDecodeAhead(std::move(archive), std::move(jobs), password));
  } catch (const EFOpenError&) {
  } catch (const std::system_error&) {  // no thread to be had
  }
  return nullptr;
}

TZFDecodeAhead::TZFDecodeAhead(std::unique_ptr<TFileStream> archive, std::vector<TJob> jobs,
                               const std::string& password)
    : archive_(std::move(archive)),
      jobs_(std::move(jobs)),
      password_(password),
      worker_([this] { Run(); }) {}

TZFDecodeAhead::~TZFDecodeAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void TZFDecodeAhead::Decode(size_t k, TStream& archive, const std::string& password) {
  const TJob& job = jobs_[k];
  TSlot& slot = slots_[k % kSlots];
  archive.SetPosition(job.Item.LocalHeaderOffset());
  slot.Ok = DecodeEntryAhead(archive, job.Item, job.Place, password, slot.Entry);
  slot.Job = k;
}

bool TZFDecodeAhead::HasRoom() const {
  return next_ < jobs_.size() && next_ < taken_ + kSlots;
}

void TZFDecodeAhead::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || next_ == jobs_.size() || HasRoom(); });
    // Jobs the run has passed already are not worth decoding; it may have
    // passed them all.
    if (next_ < taken_) next_ = taken_;
    if (stop_ || next_ == jobs_.size()) return;
    const size_t k = next_++;
    working_ = k;
    const std::string password = password_;
    lock.unlock();
    Decode(k, *archive_, password);
    lock.lock();
    working_ = kNone;
    changed_.notify_all();
  }
}

const TZFDecodedEntry* TZFDecodeAhead::Take(int32_t index, const std::string& password,
                                            TStream& runArchive) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (password != password_) password_ = password;
  const size_t before = taken_;
  while (taken_ < jobs_.size() && jobs_[taken_].Index < index) ++taken_;
  if (taken_ != before) changed_.notify_all();
  if (taken_ == jobs_.size() || jobs_[taken_].Index != index) return nullptr;
  if (taken_ >= next_) {
    // The worker has not come to it: the run decodes this entry itself,
    // with its events, and the worker goes on after it.
    next_ = taken_ + 1;
    return nullptr;
  }
  // The worker is on it: rather than wait, the run decodes a later entry
  // ahead too, so that both cores decode while the writing keeps up.
  while (working_ == taken_) {
    if (!HasRoom()) {
      changed_.wait(lock);
      continue;
    }
    const size_t k = next_++;
    lock.unlock();
    Decode(k, runArchive, password);
    lock.lock();
  }
  const TSlot& slot = slots_[taken_ % kSlots];
  if (slot.Job != taken_ || !slot.Ok) return nullptr;  // the run's own, or a failure
  if (slot.Entry.Encrypted && slot.Entry.Password != password) return nullptr;
  return &slot.Entry;
}

}  // namespace zf
