// Start-up of the real uninstall.exe: relocation, the configuration file's
// lifetime, the start-up error box and the first state of the window.

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "app/Startup.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/ControlIds.h"
#include "ui/Lang.h"
#include "wine/WineTestSupport.h"

namespace {

std::string Config(const std::string& appName, const std::string& extra = "") {
  return "[Information]\r\nAppName=" + appName + "\r\nAppVer=4.5.1\r\n[Uninstall]\r\nQuestion=1\r\n" + extra;
}

// Processes whose executable has this file name (case-insensitive).
int CountProcesses(const std::u16string& name) {
  int n = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
    if (LowerAscii(U(pe.szExeFile)) == LowerAscii(name)) ++n;
  CloseHandle(snap);
  return n;
}

// Presses Cancel and waits for the window's process to end; its exit code.
DWORD CancelAndWait(HWND form) {
  DWORD pid = 0;
  GetWindowThreadProcessId(form, &pid);
  HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  PostMessageW(Control(form, idButton3), BM_CLICK, 0, 0);
  DWORD code = 12345;
  if (p && WaitForSingleObject(p, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(p, &code);
  if (p) CloseHandle(p);
  return code;
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    KillStrayWindows();
    DeleteFileW(W(TempDir() + u"QW_Setup.exe"));
    DeleteFileW(W(TempDir() + u"unin.ini"));
  }
  void TearDown() override { KillStrayWindows(); }
};

TEST_F(Startup, UninstallExeHandsOverToACopyInTheTempFolder) {
  TScratchDir product(u"reloc");
  TScratchUninstallKey key(u"QmReloc");
  key.SetString(u"UninstallPath", product.Path());
  const std::string ini = Config("QmReloc");
  MakeConfiguredExe(product / u"UNINSTALL.EXE", ini);  // the name counts in any letter case

  HANDLE first = Start(product / u"UNINSTALL.EXE");
  ASSERT_NE(first, nullptr);
  HWND copy = WaitMainWindow(u"\\QW_Setup.exe");
  ASSERT_NE(copy, nullptr) << "the copy's window did not appear";

  // The handing-over instance ends by itself, cleaning up its own folder.
  ASSERT_EQ(WaitForSingleObject(first, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(first, &code);
  CloseHandle(first);
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(FileExists(product / u"unin.ini"));
  EXPECT_FALSE(FileExists(product / u"lng.txt"));
  EXPECT_EQ(ReadBytes(TempDir() + u"QW_Setup.exe"), ReadBytes(product / u"UNINSTALL.EXE"));

  // The copy holds its configuration beside itself while its window lives.
  EXPECT_EQ(ReadBytes(TempDir() + u"unin.ini"), ini);
  EXPECT_FALSE(FileExists(TempDir() + u"lng.txt"));
  EXPECT_EQ(TextOf(copy), u"QmReloc Uninstalling");
  EXPECT_EQ(TextOf(Control(copy, idInsButton)), u"Delete");
  EXPECT_EQ(TextOf(Control(copy, idButton3)), u"Cancel");
  EXPECT_TRUE(IsWindowEnabled(Control(copy, idInsButton)));
  EXPECT_TRUE(IsWindowVisible(Control(copy, idOsnLabel)));

  EXPECT_EQ(CancelAndWait(copy), 0u);
  EXPECT_FALSE(FileExists(TempDir() + u"unin.ini"));
  EXPECT_TRUE(FileExists(product / u"UNINSTALL.EXE"));  // Cancel removes nothing
}

TEST_F(Startup, AnyOtherNameRunsInPlaceAndReplacesLeftovers) {
  TScratchDir dir(u"inplace");
  const std::string ini = Config("QmInPlace", "Path=C:\\qmtest\\scratch\\inplace\\data\r\n");
  MakeConfiguredExe(dir / u"QW_Setup.exe", ini);
  WriteBytes(dir / u"unin.ini", "[Information]\r\nAppName=Stale\r\n");
  WriteBytes(dir / u"lng.txt", "stale");

  HANDLE p = Start(dir / u"QW_Setup.exe");
  ASSERT_NE(p, nullptr);
  HWND form = WaitMainWindow(dir / u"QW_Setup.exe");
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(FileExists(TempDir() + u"QW_Setup.exe"));  // no relocation
  EXPECT_EQ(ReadBytes(dir / u"unin.ini"), ini);
  EXPECT_FALSE(FileExists(dir / u"lng.txt"));
  // "Path" names the folder even without a registered product entry.
  EXPECT_TRUE(IsWindowEnabled(Control(form, idInsButton)));
  EXPECT_EQ(CancelAndWait(form), 0u);
  CloseHandle(p);
  EXPECT_FALSE(FileExists(dir / u"unin.ini"));
}

TEST_F(Startup, NoFolderKnownDisablesDeleteAndFocusesCancel) {
  TScratchDir dir(u"nofolder");
  MakeConfiguredExe(dir / u"run.exe", "[Information]\r\nAppName=QmNotRegistered\r\n");
  HANDLE p = Start(dir / u"run.exe");
  HWND form = WaitMainWindow(dir / u"run.exe");
  ASSERT_NE(form, nullptr);  // the missing entry's close request during creation has no effect
  EXPECT_FALSE(IsWindowEnabled(Control(form, idInsButton)));
  EXPECT_FALSE(IsWindowVisible(Control(form, idOsnLabel)));  // no Question
  // The focus is set right after the window appears.
  HWND focus = nullptr;
  WaitFor(
      [&] {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &gui);
        return (focus = gui.hwndFocus) == Control(form, idButton3);
      },
      5000);
  EXPECT_EQ(focus, Control(form, idButton3)) << "focus on control " << GetDlgCtrlID(focus);
  EXPECT_EQ(CancelAndWait(form), 0u);
  CloseHandle(p);
}

TEST_F(Startup, MissingConfigurationIsReportedAndTheWindowStillShows) {
  TScratchDir dir(u"noconfig");
  CopyOrDie(TestExeDir() + u"uninstall.exe", dir / u"PLAIN.test.exe");
  HANDLE p = Start(dir / u"PLAIN.test.exe");
  ASSERT_NE(p, nullptr);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindDialogOf(GetProcessId(p))) != nullptr; })) << "no error box";
  EXPECT_EQ(TextOf(box), u"Plain");  // the file name up to its first dot, lower case after its first letter
  EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), u"Resource UNIN not found.");
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  HWND form = WaitMainWindow(dir / u"PLAIN.test.exe");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(TextOf(form), u" Uninstalling");
  EXPECT_FALSE(IsWindowEnabled(Control(form, idInsButton)));
  EXPECT_FALSE(IsWindowVisible(Control(form, idOsnLabel)));
  EXPECT_EQ(CancelAndWait(form), 0u);
  CloseHandle(p);
  EXPECT_FALSE(FileExists(dir / u"unin.ini"));
}

// The copy that runs elevated must be this very program, never something
// left in the temp folder by another process.
TEST_F(Startup, AForeignFileInThePlaceOfTheCopyIsNeverStarted) {
  TScratchDir product(u"foreign");
  MakeConfiguredExe(product / u"uninstall.exe", Config("QmForeign"));
  const std::u16string target = TempDir() + u"QW_Setup.exe";

  for (const bool same : {false, true}) {
    SCOPED_TRACE(same ? "identical file" : "foreign file");
    CopyOrDie(same ? product / u"uninstall.exe" : TestExeDir() + u"embed-config.exe", target);
    // Held open without delete or write sharing: it can be neither deleted nor replaced.
    HANDLE lock = CreateFileW(W(target), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const int before = CountProcesses(u"QW_Setup.exe");
    EXPECT_EQ(RunAndWait(product / u"uninstall.exe", u""), 0);
    if (same) {
      HWND copy = WaitMainWindow(u"\\QW_Setup.exe");
      EXPECT_NE(copy, nullptr) << "the identical copy was not started";
      if (copy) {
        EXPECT_EQ(CancelAndWait(copy), 0u);
      }
    } else {
      Sleep(1500);
      EXPECT_EQ(CountProcesses(u"QW_Setup.exe"), before) << "a foreign file was started";
    }
    CloseHandle(lock);
    KillStrayWindows();
    DeleteFileW(W(target));
  }
}

// The test run names the system language it set up and the window's choice.
TEST(SystemLanguage, TheWindowSpeaksTheSystemLanguage) {
  const char* id = getenv("QM_EXPECT_LANGID");
  const char* index = getenv("QM_EXPECT_LANG");
  ASSERT_TRUE(id && index) << "QM_EXPECT_LANGID and QM_EXPECT_LANG must be set by the test run";
  ASSERT_EQ(GetSystemDefaultLangID(), atoi(id)) << "the locale did not take effect";
  KillStrayWindows();
  TScratchDir dir(u"language");
  MakeConfiguredExe(dir / u"run.exe", Config("QmLang", "Path=C:\\qmtest\\scratch\\language\\data\r\n"));
  HANDLE p = Start(dir / u"run.exe");
  HWND form = WaitMainWindow(dir / u"run.exe");
  ASSERT_NE(form, nullptr);
  const TStrings table = LanguageTableLines();
  const int lang = atoi(index);
  EXPECT_EQ(TextOf(form), FormatOne(GetLangValue(table, lang, u"6"), u"QmLang"));
  EXPECT_EQ(TextOf(Control(form, idInsButton)), GetLangValue(table, lang, u"4"));
  EXPECT_EQ(TextOf(Control(form, idButton3)), GetLangValue(table, lang, u"3"));
  EXPECT_EQ(CancelAndWait(form), 0u);
  CloseHandle(p);
}

TEST(LanguageFile, TheTableSurvivesTheRoundTripUnchanged) {
  TScratchDir dir(u"lng");
  std::u16string text;
  for (const auto& line : LanguageTableLines()) text += line + u"\r\n";
  const std::u16string back = RoundTripLines(dir / u"lng.txt", text);
  EXPECT_EQ(SplitLines(back), LanguageTableLines());
  EXPECT_FALSE(FileExists(dir / u"lng.txt"));
}

}  // namespace
