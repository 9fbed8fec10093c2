// The decode-event sink: what the entry codec reports and asks while it
// decodes one entry (progress before each chunk, which is where a run can be
// cancelled, and the password question, which is where an entry can be
// skipped). The archive component implements it with its events and default
// dialogs; decoding that runs off the run's thread (ZFDecodeAhead) uses the
// silent sink, which reports nothing and asks nobody.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace zf {

struct TDirItem;  // ZFDirItem.h; only passed on by reference here

class IZFDecodeEvents {
 public:
  virtual ~IZFDecodeEvents() = default;

  // Before each chunk: consumed of total compressed bytes of item are
  // done. False when the run is cancelled: decoding stops right there.
  virtual bool Progress(const TDirItem& item, int64_t consumed, long double total) = 0;
  // The password to try on an encrypted entry.
  virtual std::string Password() = 0;
  // The password did not fit item: asks for another one, which Password()
  // then gives. False when the entry is skipped instead.
  virtual bool AskPassword(const TDirItem& item) = 0;
  // Whether AskPassword may ask anyone at all; without, a password that
  // does not fit is a wrong password rather than a skipped entry.
  virtual bool CanAsk() const { return true; }
  // Between the output buffers of an entry: whether the run is to stop at
  // once (the user asked the program to stop). Decoding then drops what it
  // still holds and the entry is cancelled, however much of it is left in
  // its current chunk. Asked often: it must be cheap.
  virtual bool StopRequested() { return false; }
};

// Reports nothing, asks nobody, tries one password; counts the progress
// reports a decoding made and stops it after maxReports of them.
class TZFSilentDecodeEvents : public IZFDecodeEvents {
 public:
  explicit TZFSilentDecodeEvents(std::string password, int maxReports = INT32_MAX)
      : password_(std::move(password)), maxReports_(maxReports) {}
  bool Progress(const TDirItem&, int64_t, long double total) override {
    total_ = total;
    return ++reports_ <= maxReports_;
  }
  std::string Password() override { return password_; }
  bool AskPassword(const TDirItem&) override { return false; }
  bool CanAsk() const override { return false; }
  int Reports() const { return reports_; }
  // The total the last report showed.
  long double Total() const { return total_; }

 private:
  std::string password_;
  int maxReports_;
  int reports_ = 0;
  long double total_ = 0;
};

}  // namespace zf
