// The wizard's shell services over the real Windows API (Windows only).
//
// Calls run on the GUI thread, with COM initialised there in the
// single-threaded apartment before the first CreateLink. The owner window
// is the parent of the folder dialog and of the special-folder query; set
// it once the window exists (none: the desktop).
#pragma once

#include "wizard/ShellServices.h"

namespace setup {

class ShellServicesWin32 : public IShellServices {
 public:
  // `ownerWindow` is an HWND.
  void SetOwnerWindow(void* ownerWindow) { owner_ = ownerWindow; }

  std::string GetSpecialFolder(int index) override;
  std::string GetShellFolder(const std::string& valueName) override;
  bool CreateGroupFolder(const std::string& path) override;
  void CreateLink(const std::string& target, const std::string& arguments,
                  const std::string& workingFolder, const std::string& linkFile,
                  const std::string& iconLocation) override;
  std::vector<std::string> ListFiles(const std::string& folder,
                                     const std::string& masks) override;
  std::optional<std::string> BrowseForFolder(const std::string& title) override;
  void OpenWebLink(const std::string& address) override;
  std::string ReadIniString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& defaultValue) override;
  void Sleep(unsigned milliseconds) override;
  bool RemoveFile(const std::string& path) override;
  std::string ExecutablePath() override;
  uint16_t UserUILanguage() override;
  std::string CreatePrivateTempFolder() override;
  void RemovePrivateTempFolder(const std::string& folder) override;
  TRegistryPlace WriteUninstallEntry(const TUninstallEntry& entry) override;
  bool RemoveUninstallEntry(const std::string& root, const std::string& key) override;
  std::optional<TInstalledEntry> ReadUninstallEntry(const std::string& key) override;
  TPackageStamp PackageStamp() override;
  bool IsElevated() override;
  std::optional<int> RunElevated(const std::vector<std::string>& args) override;
  bool StartProgram(const std::string& path, const std::string& folder) override;

 private:
  void* owner_ = nullptr;
};

}  // namespace setup
