// Decoding ahead (see ZFDecodeAhead.h).
#include "archive/ZFDecodeAhead.h"

#include <system_error>
#include <utility>

#include "archive/ZFConst.h"
#include "archive/ZFExcept.h"
#include "archive/ZFRecords.h"

namespace zf {

bool TZFDecodeAhead::Worthwhile(const TDirItem& item) {
  const uint16_t method = item.Header.Method;
  return (method == kMethodStored || method == kMethodDeflated) && !item.IsDirectory() &&
         item.CompressedSize() >= 0 && item.CompressedSize() <= kMaxEntrySize &&
         item.UncompressedSize() >= 0 && item.UncompressedSize() <= kMaxEntrySize;
}

std::unique_ptr<TZFDecodeAhead> TZFDecodeAhead::Start(TZFBaseArchiver& archiver,
                                                      const std::string& archivePath,
                                                      int64_t directoryStart,
                                                      std::vector<TJob> jobs,
                                                      const std::string& password) {
  if (jobs.size() < 2) return nullptr;
  try {
    auto archive = std::make_unique<TFileStream>(archivePath, TFileMode::fmOpenReadDenyNone);
    return std::unique_ptr<TZFDecodeAhead>(new TZFDecodeAhead(
        archiver, std::move(archive), directoryStart, std::move(jobs), password));
  } catch (const EFOpenError&) {
  } catch (const std::system_error&) {  // no thread to be had
  }
  return nullptr;
}

TZFDecodeAhead::TZFDecodeAhead(TZFBaseArchiver& archiver, std::unique_ptr<TFileStream> archive,
                               int64_t directoryStart, std::vector<TJob> jobs,
                               const std::string& password)
    : archiver_(archiver),
      archive_(std::move(archive)),
      directoryStart_(directoryStart),
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

void TZFDecodeAhead::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return stop_ || decoded_ == jobs_.size() || decoded_ < taken_ + kSlots;
    });
    if (stop_ || decoded_ == jobs_.size()) return;
    // Jobs the run has passed already are not worth decoding.
    if (decoded_ < taken_) {
      decoded_ = taken_;
      continue;
    }
    const TJob& job = jobs_[decoded_];
    TSlot& slot = slots_[decoded_ % kSlots];
    const std::string password = password_;
    lock.unlock();
    archive_->SetPosition(job.Item.LocalHeaderOffset());
    slot.Ok = DecodeEntryAhead(archiver_, *archive_, job.Item, job.DataLimit, directoryStart_,
                               password, slot.Entry);
    lock.lock();
    ++decoded_;
    changed_.notify_all();
  }
}

const TZFDecodedEntry* TZFDecodeAhead::Take(int32_t index, const std::string& password) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (password != password_) password_ = password;
  const size_t before = taken_;
  while (taken_ < jobs_.size() && jobs_[taken_].Index < index) ++taken_;
  if (taken_ != before) changed_.notify_all();
  if (taken_ == jobs_.size() || jobs_[taken_].Index != index) return nullptr;
  changed_.wait(lock, [this] { return decoded_ > taken_; });
  const TSlot& slot = slots_[taken_ % kSlots];
  if (!slot.Ok) return nullptr;
  if (slot.Entry.Encrypted && slot.Entry.Password != password) return nullptr;
  return &slot.Entry;
}

}  // namespace zf
