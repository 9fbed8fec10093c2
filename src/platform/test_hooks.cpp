#include "platform/test_hooks.h"

#include <atomic>
#include <mutex>

namespace zf::os {

namespace {

struct Hooks {
  std::mutex mutex;
  std::function<int(const std::string&)> removable;
  std::function<int64_t(const std::string&)> diskFree;
  std::function<bool(const std::string&, const std::string&)> driveLabel;
  DialogHookForTests dialog;
  std::function<void(int64_t)> write;
  std::atomic<bool> writeSet{false};
};

Hooks& All() {
  static Hooks hooks;
  return hooks;
}

template <typename F>
void Set(F Hooks::*member, F hook) {
  std::lock_guard<std::mutex> lock(All().mutex);
  All().*member = std::move(hook);
}

template <typename F>
F Get(F Hooks::*member) {
  std::lock_guard<std::mutex> lock(All().mutex);
  return All().*member;
}

}  // namespace

void SetRemovableHookForTests(std::function<int(const std::string&)> hook) {
  Set(&Hooks::removable, std::move(hook));
}
void SetDiskFreeHookForTests(std::function<int64_t(const std::string&)> hook) {
  Set(&Hooks::diskFree, std::move(hook));
}
void SetDriveLabelHookForTests(std::function<bool(const std::string&, const std::string&)> hook) {
  Set(&Hooks::driveLabel, std::move(hook));
}
void SetDialogHookForTests(DialogHookForTests hook) { Set(&Hooks::dialog, std::move(hook)); }
void SetWriteHookForTests(std::function<void(int64_t)> hook) {
  const bool set = static_cast<bool>(hook);
  Set(&Hooks::write, std::move(hook));
  All().writeSet.store(set, std::memory_order_release);
}

namespace hooks {
std::function<int(const std::string&)> Removable() { return Get(&Hooks::removable); }
std::function<int64_t(const std::string&)> DiskFree() { return Get(&Hooks::diskFree); }
std::function<bool(const std::string&, const std::string&)> DriveLabel() {
  return Get(&Hooks::driveLabel);
}
DialogHookForTests Dialog() { return Get(&Hooks::dialog); }
void BeforeWrite(int64_t count) {
  if (!All().writeSet.load(std::memory_order_acquire)) return;
  if (const auto hook = Get(&Hooks::write)) hook(count);
}
}  // namespace hooks

}  // namespace zf::os
