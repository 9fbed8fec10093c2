// Tests of the wizard's shell services over the real Windows API (run under
// Wine): the folder listing by masks with its attribute filter and order,
// shortcuts written and read back through the shell-link object, the group
// folder with its parents, the Shell Folders value, the program-files
// folder. Elsewhere the tests are skipped.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#endif

#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_util.h"
#include "archive/ZFStrFunc.h"
#include "wizard/ShellHelpers.h"
#ifdef _WIN32
#include "wizard/ShellServicesWin32.h"
#endif

namespace setup {
namespace {

using zf::test::TempDir;

#ifdef _WIN32

// COM in the single-threaded apartment, as the wizard's program sets it up.
class ShellServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
  ShellServicesWin32 shell;
  TempDir dir;
};

constexpr char kShortcutMasks[] = "*.exe;*.hlp;readme.txt;readme.htm;readme.html";

TEST_F(ShellServicesTest, ListFilesTakesPlainFilesSortedIgnoringCase) {
  for (const char* name : {"Prog.exe", "a.hlp", "README.TXT", "hidden.exe", "data.dat"})
    zf::test::WriteFile(dir / name, "x");
  ASSERT_TRUE(zf::os::SetAttributes(dir / "hidden.exe", zf::os::faHidden));
  ASSERT_TRUE(zf::os::CreateDir(dir / "tools.exe"));
  EXPECT_EQ(shell.ListFiles(dir.Path(), kShortcutMasks),
            (std::vector<std::string>{"a.hlp", "Prog.exe", "README.TXT"}));
}

TEST_F(ShellServicesTest, ListFilesTakesReadOnlyFilesAndListsTwiceForTwoMasks) {
  zf::test::WriteFile(dir / "b.exe", "x");
  zf::test::WriteFile(dir / "A.EXE", "x");
  zf::test::WriteFile(dir / "sys.exe", "x");
  ASSERT_TRUE(zf::os::SetAttributes(dir / "b.exe", zf::os::faReadOnly | zf::os::faArchive));
  ASSERT_TRUE(zf::os::SetAttributes(dir / "sys.exe", zf::os::faSysFile));
  EXPECT_EQ(shell.ListFiles(dir.Path(), "*.exe;b.*"),
            (std::vector<std::string>{"A.EXE", "b.exe", "b.exe"}));
  EXPECT_TRUE(shell.ListFiles(dir.Path(), "*.hlp").empty());
  zf::os::SetAttributes(dir / "b.exe", zf::os::faArchive);
}

TEST_F(ShellServicesTest, ListingAMissingFolderIsAnIoError) {
  try {
    shell.ListFiles(dir / "missing\\", kShortcutMasks);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_TRUE(e.ErrorCode() == 2 || e.ErrorCode() == 3) << e.ErrorCode();
    EXPECT_TRUE(e.Message() == "File not found" || e.Message() == "Invalid filename")
        << e.Message();
  }
}

TEST_F(ShellServicesTest, GroupFolderIsCreatedWithItsParents) {
  // The wizard's form of the path: a doubled separator before the name.
  const std::string group = dir / "Start Menu\\Programs\\\\My Product";
  EXPECT_TRUE(shell.CreateGroupFolder(group));
  EXPECT_TRUE(zf::os::DirectoryExists(dir / "Start Menu\\Programs\\My Product"));
  EXPECT_TRUE(shell.CreateGroupFolder(group + "\\"));  // exists: success at once
  EXPECT_TRUE(shell.CreateGroupFolder("C:"));          // too short to create
  EXPECT_FALSE(shell.CreateGroupFolder("\\\\setup"));  // no local folder
}

// Reads a shortcut back through IShellLinkA.
struct ShortcutInfo {
  std::string path, workingDirectory, arguments;
};
ShortcutInfo ReadShortcut(const std::string& linkFile) {
  ShortcutInfo info;
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  EXPECT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, reinterpret_cast<void**>(&link))));
  if (!link) return info;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    std::wstring wide(linkFile.begin(), linkFile.end());  // ASCII test paths
    EXPECT_TRUE(SUCCEEDED(file->Load(wide.c_str(), STGM_READ)));
    char buffer[MAX_PATH + 1] = {};
    WIN32_FIND_DATAA data;
    if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, &data, 0))) info.path = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) info.workingDirectory = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH))) info.arguments = buffer;
    file->Release();
  }
  link->Release();
  return info;
}

TEST_F(ShellServicesTest, ShortcutIsWrittenAndReadsBack) {
  const std::string install = dir / "App\\";
  ASSERT_TRUE(zf::os::CreateDir(dir / "App"));
  zf::test::WriteFile(install + "Prog.exe", "MZ");
  const std::string link = dir / "Prog.lnk";
  shell.CreateLink(install + "Prog.exe", "", install, link, "");
  ASSERT_TRUE(zf::os::FileExists(link));
  const ShortcutInfo info = ReadShortcut(link);
  EXPECT_EQ(zf::os::LowerString(info.path), zf::os::LowerString(install + "Prog.exe"));
  EXPECT_EQ(zf::os::LowerString(zf::RemoveTrailingDelimiter(info.workingDirectory)),
            zf::os::LowerString(zf::RemoveTrailingDelimiter(install)));
  EXPECT_EQ(info.arguments, "");
}

TEST_F(ShellServicesTest, LaterShortcutOfTheSameNameReplacesTheEarlier) {
  const std::string install = dir.Path();
  zf::test::WriteFile(install + "readme.htm", "h");
  zf::test::WriteFile(install + "readme.txt", "t");
  const std::string link = dir / "readme.lnk";
  shell.CreateLink(install + "readme.htm", "", install, link, "");
  shell.CreateLink(install + "readme.txt", "", install, link, "");
  EXPECT_EQ(zf::os::LowerString(ReadShortcut(link).path),
            zf::os::LowerString(install + "readme.txt"));
}

TEST_F(ShellServicesTest, ShortcutIntoAMissingFolderIsSimplyMissing) {
  const std::string link = dir / "no\\such\\folder\\x.lnk";
  EXPECT_NO_THROW(shell.CreateLink(dir / "x.exe", "", dir.Path(), link, ""));
  EXPECT_FALSE(zf::os::FileExists(link));
}

TEST_F(ShellServicesTest, SpecialAndShellFoldersEndInASeparator) {
  const std::string programFiles = shell.GetSpecialFolder(9);
  ASSERT_GE(programFiles.size(), 2u);
  EXPECT_EQ(programFiles.back(), '\\');
  EXPECT_TRUE(zf::os::DirectoryExists(programFiles));
  EXPECT_EQ(shell.GetSpecialFolder(15), "\\");  // outside the table
  const std::string programs = shell.GetShellFolder("Programs");
  EXPECT_EQ(programs.back(), '\\');
  EXPECT_EQ(shell.GetShellFolder("zf no such value"), "\\");
}

TEST_F(ShellServicesTest, ShellFolderValueOfTheWrongTypeIsAnError) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD number = 7;
  const char* name = "zf test number";
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  try {
    shell.GetShellFolder(name);
    ADD_FAILURE() << "no error";
  } catch (const zf::Exception& e) {
    EXPECT_EQ(e.Message(), "Invalid data type for 'zf test number'");
  }
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

TEST_F(ShellServicesTest, ExecutablePathIsThisProgram) {
  const std::string path = shell.ExecutablePath();
  EXPECT_TRUE(zf::os::FileExists(path)) << path;
  EXPECT_EQ(zf::os::LowerString(path.substr(path.size() - 4)), ".exe");
}

#else

TEST(ShellServicesTest, WindowsOnly) { GTEST_SKIP() << "the shell services are Windows ones"; }

#endif

}  // namespace
}  // namespace setup
