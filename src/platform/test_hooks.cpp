#include "platform/test_hooks.h"

#include <mutex>

namespace zf::os {

namespace {

struct Hooks {
  std::mutex mutex;
  std::function<int(const std::string&)> removable;
  std::function<int64_t(const std::string&)> diskFree;
  std::function<bool(const std::string&, const std::string&)> driveLabel;
  DialogHookForTests dialog;
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

namespace hooks {
std::function<int(const std::string&)> Removable() { return Get(&Hooks::removable); }
std::function<int64_t(const std::string&)> DiskFree() { return Get(&Hooks::diskFree); }
std::function<bool(const std::string&, const std::string&)> DriveLabel() {
  return Get(&Hooks::driveLabel);
}
DialogHookForTests Dialog() { return Get(&Hooks::dialog); }
}  // namespace hooks

}  // namespace zf::os
