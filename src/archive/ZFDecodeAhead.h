// Decoding ahead: an extraction run of many small entries spends about as
// long inflating them as creating and writing their files. A worker thread
// reads and decodes the entries the run comes to next, into memory, while
// the run's own thread writes the current one; the run then takes each
// entry's plain bytes instead of decoding it (ReplayEntry).
//
// Nothing the run does moves: its events, password requests, overwrite
// rules and failures stay on its thread and in their order, as the worker
// decodes without the archiver. An entry the worker could not decode well
// (damaged, a password that does not fit, more than one chunk, anything
// unusual) is simply decoded again by the run, which meets and reports the
// failure itself. The worker reads the archive file through a handle of
// its own, decodes through the silent sink (ZFDecodeEvents.h), stays a
// bounded number of entries ahead, and takes small entries only, so its
// memory stays within kSlots * kMaxEntrySize.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/ZFClasses.h"
#include "archive/ZFCodec.h"
#include "archive/ZFDirItem.h"

namespace zf {

class TZFDecodeAhead {
 public:
  // An entry is decoded ahead when both its sizes are at most this.
  static constexpr int64_t kMaxEntrySize = 256 * 1024;
  // How many entries the worker may be ahead of the run.
  static constexpr size_t kSlots = 32;

  // One entry the run will come to, in the run's order.
  struct TJob {
    int32_t Index;    // in the directory
    TDirItem Item;    // a copy: the worker never reads the archiver's
    TZFEntryPlace Place;
  };

  // Whether an item is one to decode ahead: a small file of a method the
  // registry decodes.
  static bool Worthwhile(const TDirItem& item);

  // Starts the worker on jobs over the archive file archivePath (a single
  // file), trying password for encrypted entries. Null when there is
  // nothing to gain (fewer than two jobs) or the file cannot be opened a
  // second time.
  static std::unique_ptr<TZFDecodeAhead> Start(const std::string& archivePath,
                                               std::vector<TJob> jobs,
                                               const std::string& password);

  ~TZFDecodeAhead();
  TZFDecodeAhead(const TZFDecodeAhead&) = delete;
  TZFDecodeAhead& operator=(const TZFDecodeAhead&) = delete;

  // The entry at index, decoded well (with password, when it is encrypted),
  // or null: it was no job, failed, was decrypted with another password, or
  // the worker has not come to it yet, in which case the run decodes it
  // while the worker goes on with the next ones. While the worker is on it,
  // the run decodes later entries ahead through runArchive, its own archive
  // stream (left anywhere), or waits. Entries of lower indexes are dropped;
  // the one returned stays valid until a higher index is taken. password is
  // also the one the worker tries from now on.
  const TZFDecodedEntry* Take(int32_t index, const std::string& password, TStream& runArchive);

 private:
  TZFDecodeAhead(std::unique_ptr<TFileStream> archive, std::vector<TJob> jobs,
                 const std::string& password);
  void Run();
  // Decodes job k into its slot, reading archive.
  void Decode(size_t k, TStream& archive, const std::string& password);
  // Whether a job may be started: one is left, within kSlots of the run.
  bool HasRoom() const;

  static constexpr size_t kNone = SIZE_MAX;

  struct TSlot {
    TZFDecodedEntry Entry;
    bool Ok = false;
    size_t Job = kNone;  // the job decoded into it last
  };

  const std::unique_ptr<TFileStream> archive_;
  const std::vector<TJob> jobs_;
  TSlot slots_[kSlots];  // job k's result lives in slots_[k % kSlots]

  std::mutex mutex_;
  std::condition_variable changed_;
  size_t next_ = 0;         // the job the worker starts next; those before it are taken
  size_t working_ = kNone;  // the job the worker is decoding
  size_t taken_ = 0;        // the job the run is at; those before it are dropped
  std::string password_;
  bool stop_ = false;
  std::thread worker_;  // last: starts when everything above is ready
};

}  // namespace zf
