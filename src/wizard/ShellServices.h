// The wizard's services around the operating system: special folders, the
// user's Shell Folders values, the Start-menu group folder, shortcuts, the
// folder listing by masks, the folder dialog, the web link, the package
// configuration reader, the Add/Remove Programs entry, the package's
// stamp in the running program, and small file chores.
//
// Paths are 8-bit strings in the ANSI code page, like the archive engine's.
// Texts meant for people (the configuration values, the web address) are
// UTF-8, like the window's. Failures are exceptions derived from
// zf::Exception whose messages are in the ANSI code page.
//
// ShellServicesWin32 implements it with the real API; the controller's
// tests use a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/PackageStamp.h"

namespace setup {

// Index of the program-files folder in the special-folder table
// (CSIDL_PROGRAM_FILES); the only kind the wizard asks for.
inline constexpr int kProgramFilesFolder = 9;
// The user's local application data (CSIDL_LOCAL_APPDATA), under which a
// per-user install goes.
inline constexpr int kLocalAppDataFolder = 2;
// Number of entries of the special-folder table.
inline constexpr int kSpecialFolderCount = 15;

// A product's entry in Add/Remove Programs: its key (in the ANSI code page,
// like paths) and the values (UTF-8).
struct TUninstallEntry {
  std::string key;  // below the root: Software\...\Uninstall\<base name>
  std::string displayName;
  std::string publisher;
  std::string displayVersion;  // empty: not written
  std::string urlInfoAbout;
  std::string displayIcon;  // empty: not written
  std::string installLocation;
  std::string uninstallString;       // the quoted uninstall.exe
  std::string quietUninstallString;  // the same with /VERYSILENT
  uint32_t estimatedSizeKiB = 0;
  bool currentUser = false;  // a per-user install: HKCU only
};

// Where an entry went: "HKLM" or "HKCU", and whether the key is new.
struct TRegistryPlace {
  std::string root;
  bool created = false;
};

// An entry found in Add/Remove Programs, and where.
struct TInstalledEntry {
  std::string root;  // "HKLM" or "HKCU"
  TUninstallEntry entry;
};

class IShellServices {
 public:
  virtual ~IShellServices() = default;

  // Folder of the special-folder table entry `index` (0 to 14), ending in
  // "\"; "\" alone when the system has none (or the index is out of range).
  virtual std::string GetSpecialFolder(int index) = 0;

  // Value `valueName` of HKCU "...\Explorer\Shell Folders" with "\"
  // appended; "\" when the value (or the key) is missing. Throws
  // zf::Exception("Invalid data type for '<valueName>'") for a value that is
  // not a string.
  virtual std::string GetShellFolder(const std::string& valueName) = 0;

  // Creates the folder and every missing parent (one trailing "\" ignored);
  // true when it exists afterwards as far as the algorithm can tell.
  virtual bool CreateGroupFolder(const std::string& path) = 0;

  // Writes one shortcut file `linkFile` (replacing an existing one) that
  // starts `target` with `arguments` in `workingFolder`, showing the icon
  // `iconLocation` (empty: the target's own). Throws when the shell-link
  // object cannot be made; a failed save is not reported.
  virtual void CreateLink(const std::string& target, const std::string& arguments,
                          const std::string& workingFolder, const std::string& linkFile,
                          const std::string& iconLocation) = 0;

  // Names (without folder) of the plain files of `folder` (ending in "\")
  // that match one of the ";"-separated `masks`: no hidden, system, volume
  // or folder entries. Sorted ascending ignoring case; a name matched by two
  // masks appears twice. Throws zf::Exception with the I/O error text
  // ("File not found", ...) when the folder does not exist.
  virtual std::vector<std::string> ListFiles(const std::string& folder,
                                             const std::string& masks) = 0;

  // The folder dialog with this title (UTF-8): the chosen file-system
  // folder as returned by the system, or nothing when cancelled.
  virtual std::optional<std::string> BrowseForFolder(const std::string& title) = 0;

  // Opens "http://" + address (UTF-8) with its default program.
  virtual void OpenWebLink(const std::string& address) = 0;

  // One value of the package configuration (an INI file): `defaultValue`
  // when the file, the section or the key is missing. The value is read as
  // the system's INI reader would into a 2048-byte buffer (at most 2047
  // bytes) and returned as UTF-8 (see IniFile.h for the code pages).
  // Section, key and default are ASCII.
  virtual std::string ReadIniString(const std::string& file, const std::string& section,
                                    const std::string& key,
                                    const std::string& defaultValue) = 0;

  // Waits without processing messages.
  virtual void Sleep(unsigned milliseconds) = 0;

  // Deletes one file; false when it could not (the wizard ignores that).
  virtual bool RemoveFile(const std::string& path) = 0;

  // Full path of the running program.
  virtual std::string ExecutablePath() = 0;

  // The language of the user's Windows, as a language id
  // (GetUserDefaultUILanguage).
  virtual uint16_t UserUILanguage() = 0;

  // A new folder of this process's own under the system's temporary folder,
  // ending in the path separator; throws when none can be made.
  virtual std::string CreatePrivateTempFolder() = 0;
  // Removes such a folder with everything in it; errors are ignored.
  virtual void RemovePrivateTempFolder(const std::string& folder) = 0;

  // Writes (or updates) the entry under HKCU for a per-user install, else
  // under HKLM when the program may write there (it runs elevated), else
  // under HKCU, with the values DisplayName,
  // Publisher, DisplayVersion (when there is one), URLInfoAbout, DisplayIcon, InstallLocation, UninstallString,
  // QuietUninstallString, EstimatedSize (KiB) and NoModify = NoRepair = 1.
  // Throws zf::Exception when neither can be written.
  virtual TRegistryPlace WriteUninstallEntry(const TUninstallEntry& entry) = 0;
  // Deletes the key `key` (ANSI) below `root` ("HKLM" or "HKCU"); true
  // when it is gone (or was never there).
  virtual bool RemoveUninstallEntry(const std::string& root, const std::string& key) = 0;
  // The entry under the key `key` (ANSI), HKLM's first, then HKCU's, with
  // the values WriteUninstallEntry writes (missing ones empty); nothing
  // when neither has it.
  virtual std::optional<TInstalledEntry> ReadUninstallEntry(const std::string& key) = 0;

  // The stamp mkstp wrote into the running program (PackageStamp.h); a
  // blank one (no stamp) where there is none.
  virtual TPackageStamp PackageStamp() { return {}; }

  // The program runs with administrator rights (on systems before
  // elevation: as an administrator).
  virtual bool IsElevated() = 0;
  // Starts this program again with administrator rights and these
  // arguments (UTF-8), waits for it to end and gives its exit code;
  // nothing when it did not start (the user said no).
  virtual std::optional<int> RunElevated(const std::vector<std::string>& args) = 0;
  // Starts an installed program (ANSI path) in its folder as the user who
  // started setup, even when setup runs elevated; false when it could not.
  virtual bool StartProgram(const std::string& path, const std::string& folder) = 0;
};

}  // namespace setup
