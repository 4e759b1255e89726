// End to end: a configuration the check warns about is embedded the way the
// installer does it, and the uninstaller, started from the product folder and
// driven through its window, does exactly what the report said: the hidden
// invitation, the folder and entry removed, the group removed, the shortcuts
// removed or left as listed. Runs in a 32-bit prefix and in a 64-bit one.

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "embed-config/ConfigReport.h"
#include "embed-config/IniConfigSource.h"
#include "base/Win32Text.h"
#include "removal/ProductKeys.h"
#include "ui/ControlIds.h"
#include "wine/EmbedConfigRun.h"
#include "wine/WineTestSupport.h"

namespace {

std::u16string Folder(int csidl) {
  wchar_t buf[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, buf), S_OK);
  return U(buf);
}

bool KeyExists(const std::u16string& path) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

const char Warned[] =
    "[Information]\r\nAppName=QmChecked\r\nAppVer=2.0\r\nDelURL=https://127.0.0.1/fb\r\nStartName=QmChecked\r\n"
    "[Uninstall]\r\nQuestion=yes\r\n"
    "[Shortcuts]\r\nDesk=Desk\r\nSend=Send\r\nOne=One\r\nGone=Missing\r\n"
    "[Desk]\r\nFileName=QmChecked.exe\r\nName=QmChecked\r\nInto=0\r\n"
    "[Send]\r\nName=QmChecked list\r\nInto=2\r\n"
    "[One]\r\nName=QmChecked one\r\nInto=1\r\n";

class EmbedCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    KillStrayWindows();
    for (const char16_t* f : {u"QW_Setup.exe", u"unin.ini", u"$$QW_DEL.bat"}) DeleteFileW(W(TempDir() + f));
  }
  void TearDown() override { KillStrayWindows(); }
};

TEST_F(EmbedCheck, TheUninstallerDoesWhatTheReportSaid) {
  // The installer's part: the product folder and its entry, the user's shell
  // folders with the group and a file for every shortcut the file names.
  const std::u16string product = Folder(CSIDL_PROGRAM_FILES) + u"\\QmChecked";
  const std::u16string programs = Folder(CSIDL_PROGRAMS), desktop = Folder(CSIDL_DESKTOPDIRECTORY),
                       sendTo = Folder(CSIDL_SENDTO);
  const std::u16string shellFolders = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const std::pair<const char16_t*, std::u16string> values[] = {
      {u"Programs", programs}, {u"Desktop", desktop}, {u"SendTo", sendTo}};
  for (const auto& [name, value] : values)
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, W(shellFolders), W(name), REG_SZ, W(value),
                              static_cast<DWORD>((value.size() + 1) * 2)),
              ERROR_SUCCESS);
  CreateDirectoryW(W(product), nullptr);
  CreateDirectoryW(W(product + u"\\Skins"), nullptr);
  WriteBytes(product + u"\\QmChecked.exe", "product");
  WriteBytes(product + u"\\Skins\\Dark.qsk", "product");
  TScratchUninstallKey entry(u"QmChecked");
  entry.SetString(u"UninstallPath", product);
  CreateDirectoryW(W(programs + u"\\QmChecked"), nullptr);
  WriteBytes(programs + u"\\QmChecked\\QmChecked.lnk", "lnk");
  std::vector<std::u16string> shortcuts;
  for (const auto& folder : {desktop, sendTo})
    for (const char16_t* name : {u"QmChecked", u"QmChecked list", u"QmChecked one"})
      for (const char16_t* ext : {u"", u".lnk"}) {
        shortcuts.push_back(folder + u"\\" + name + ext);
        WriteBytes(shortcuts.back(), "lnk");
      }

  // What the check says, in-process through the same reader; the tool must say the same as it embeds.
  TScratchDir dir(u"embed-check-e2e");
  WriteBytes(dir / u"unin.ini", Warned);
  const TConfigReport report = CheckConfiguration(TIniConfigSource(dir / u"unin.ini"));
  EXPECT_EQ(report.Count(TSeverity::Error), 0u);
  EXPECT_EQ(report.Count(TSeverity::Warning), 4u);  // Question, DelURL, One's Into, the missing section
  CopyOrDie(TestExeDir() + u"uninstall.exe", product + u"\\uninstall.exe");
  const std::u16string exe = product + u"\\uninstall.exe", ini = dir / u"unin.ini";
  const TToolRun run = RunEmbedConfig(u"--json \"" + exe + u"\" \"" + ini + u"\"");
  ASSERT_EQ(run.Code, 0) << run.Err;
  EXPECT_EQ(run.Out, FormatReportJson(report, ini, exe, true) + "\r\n");

  HANDLE first = Start(exe);
  ASSERT_NE(first, nullptr);
  HWND form = WaitMainWindow(u"\\QW_Setup.exe");
  // The instance in the product folder ends by itself; its file goes with the folder.
  EXPECT_EQ(WaitForSingleObject(first, 20000), WAIT_OBJECT_0);
  CloseHandle(first);
  ASSERT_NE(form, nullptr) << "the relocated copy's window did not appear";
  EXPECT_EQ(IsWindowVisible(Control(form, idOsnLabel)) != FALSE, report.Feedback.Invitation);
  DWORD pid = 0;
  GetWindowThreadProcessId(form, &pid);
  HANDLE copy = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_NE(copy, nullptr);
  PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);
  EXPECT_EQ(WaitForSingleObject(copy, 60000), WAIT_OBJECT_0);
  CloseHandle(copy);

  EXPECT_FALSE(report.Folder.FromPath);  // the registered folder, which is the product's
  EXPECT_FALSE(FolderExists(product));
  EXPECT_EQ(KeyExists(u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QmChecked"),
            ProductUninstallKeys(report.AppName).empty());
  EXPECT_TRUE(report.Group.Removed);
  EXPECT_FALSE(FolderExists(programs + u"\\QmChecked"));
  for (const auto& f : shortcuts) {
    bool listed = false;
    for (const auto& s : report.Shortcuts)
      if (s.Place != TShortcutPlace::None)
        listed = listed || f == (s.Place == TShortcutPlace::Desktop ? desktop : sendTo) + u"\\" + s.File;
    EXPECT_EQ(FileExists(f), !listed) << Narrow(f);
    DeleteFileW(W(f));
  }
  EXPECT_TRUE(
      WaitFor([] { return !FileExists(TempDir() + u"QW_Setup.exe") && !FileExists(TempDir() + u"unin.ini"); }, 20000));
}

}  // namespace
