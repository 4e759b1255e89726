// The uninstaller runs elevated from the temp folder, where anyone may have
// left files: no library it loads may come from its own folder, the folder
// of the copy it hands over to, or the current folder. Decoy libraries under
// the names of system libraries are planted in all three; each records every
// time it is loaded (tests/plant/Decoy.c).
//
// Wine prefers its builtin libraries, so a planted copy is loaded only for
// the names it is told to load "native,builtin"; then it searches as Windows
// does. Wine 8 reads WINEDLLOVERRIDES from its own Unix environment only (a
// child given another value in its Windows environment block ignores it), so
// the test says it per program, in HKCU\Software\Wine\AppDefaults\<exe>.

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/ControlIds.h"
#include "wine/ScriptedServer.h"
#include "wine/WineTestSupport.h"

namespace {

// Checked: libraries that are not in Windows' KnownDLLs (so Windows looks
// for them in the program's folder first), comctl32, a static import bound to
// the side-by-side version 6 by the manifest, and ws2_32 and gdiplus, which a
// program or a system library may load by name.
const char16_t* const Checked[] = {u"comctl32", u"uxtheme", u"dwmapi",  u"cryptbase", u"profapi", u"winmm",
                                   u"gdiplus",  u"ws2_32",  u"userenv", u"propsys",   u"version", u"windowscodecs"};
// Planted as well, never preferred by Wine: the program's static imports
// other than comctl32, which Windows takes from KnownDLLs whatever lies
// beside the program (Wine has no KnownDLLs: told "n,b", it would load them
// from the program's folder).
const char16_t* const StaticImports[] = {u"advapi32", u"gdi32",   u"kernel32", u"msvcrt",
                                         u"ole32",    u"shell32", u"user32"};

// Wine's own user32 imports version.dll (Windows' does not), so Wine told to
// prefer a planted version.dll loads it into every GUI program before the
// program's first instruction: for GUI programs it stays Wine's builtin.
bool WineUser32Imports(const std::u16string& name) { return name == u"version"; }

std::vector<std::u16string> AllPlanted() {
  std::vector<std::u16string> all(std::begin(Checked), std::end(Checked));
  all.insert(all.end(), std::begin(StaticImports), std::end(StaticImports));
  return all;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::u16string MarkerPath(const std::u16string& name) { return u"C:\\qmtest\\planted-" + name + u".dll.txt"; }

void DeleteMarkers() {
  for (const std::u16string& name : AllPlanted()) DeleteFileW(W(MarkerPath(name)));
}

// Wine's per-program library settings: the checked names "native,builtin"
// for the programs named, while the object lives. Nothing under Windows.
class TPreferPlanted {
 public:
  TPreferPlanted(std::vector<std::u16string> exes, bool gui) : FExes(std::move(exes)) {
    if (!UnderWine()) return;
    for (const std::u16string& exe : FExes) {
      HKEY key = nullptr;
      EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(KeyOf(exe)), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                ERROR_SUCCESS);
      for (const char16_t* name : Checked)
        if (!gui || !WineUser32Imports(name))
          RegSetValueExW(key, W(std::u16string(name)), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"native,builtin"),
                         sizeof(L"native,builtin"));
      RegCloseKey(key);
    }
  }
  ~TPreferPlanted() {
    if (!UnderWine()) return;
    for (const std::u16string& exe : FExes) {
      for (const char16_t* name : Checked)
        RegDeleteKeyValueW(HKEY_CURRENT_USER, W(KeyOf(exe)), W(std::u16string(name)));
      RegDeleteKeyW(HKEY_CURRENT_USER, W(KeyOf(exe)));  // only when nothing else is left in them
      RegDeleteKeyW(HKEY_CURRENT_USER, W(u"Software\\Wine\\AppDefaults\\" + exe));
    }
  }
  TPreferPlanted(const TPreferPlanted&) = delete;
  TPreferPlanted& operator=(const TPreferPlanted&) = delete;

 private:
  static std::u16string KeyOf(const std::u16string& exe) {
    return u"Software\\Wine\\AppDefaults\\" + exe + u"\\DllOverrides";
  }
  std::vector<std::u16string> FExes;
};

// Starts exe with cwd as its current folder; its process handle.
HANDLE StartIn(const std::u16string& exe, const std::u16string& args, const std::u16string& cwd) {
  std::u16string cmd = u"\"" + exe + u"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(W(exe), W(cmd.data()), nullptr, nullptr, FALSE, 0, nullptr, W(cwd), &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

DWORD WaitExitCode(HANDLE process, DWORD ms = 30000) {
  DWORD code = 12345;
  if (process && WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  if (process) CloseHandle(process);
  return code;
}

void WriteResource(int id, const std::u16string& path) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
  ASSERT_NE(info, nullptr) << "resource " << id << " is missing: cmake/Plant.cmake embeds it";
  const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, info)));
  WriteBytes(path, std::string(data, SizeofResource(nullptr, info)));
}

// Plants a decoy under every name into folder (with a trailing "\").
void PlantInto(const std::u16string& folder) {
  for (const std::u16string& name : AllPlanted()) WriteResource(101, folder + name + u".dll");
}

void UnplantFrom(const std::u16string& folder) {
  for (const std::u16string& name : AllPlanted()) DeleteFileW(W(folder + name + u".dll"));
}

struct TLoad {
  std::string Event, Module, Process;
};

std::vector<TLoad> LoadsOf(const std::u16string& name) {
  std::vector<TLoad> loads;
  const std::string text = ReadBytes(MarkerPath(name));
  if (text == "<missing>") return loads;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find("\r\n", from);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(from, end - from);
    const size_t a = line.find('\t'), b = line.find('\t', a + 1);
    loads.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    from = end + 2;
  }
  return loads;
}

// Every load of a decoy, but one that Wine makes by itself: its user32 loads
// uxtheme by name while a GUI process starts, before the program's first
// instruction, and frees it again at once (Windows' theming loads it by full
// path). One such load and release per process is accepted under Wine.
std::vector<std::string> PlantedLoads(const std::vector<std::u16string>& names) {
  std::vector<std::string> found;
  for (const std::u16string& name : names) {
    std::vector<TLoad> loads = LoadsOf(name);
    if (name == u"uxtheme" && UnderWine()) {
      std::vector<std::string> excused;
      for (size_t i = 0; i + 1 < loads.size(); ++i) {
        const TLoad &a = loads[i], &r = loads[i + 1];
        if (a.Event == "attach" && r.Event == "release" && a.Module == r.Module && a.Process == r.Process &&
            std::find(excused.begin(), excused.end(), a.Process) == excused.end()) {
          excused.push_back(a.Process);
          loads.erase(loads.begin() + static_cast<std::ptrdiff_t>(i),
                      loads.begin() + static_cast<std::ptrdiff_t>(i) + 2);
          --i;
        }
      }
    }
    for (const TLoad& l : loads) found.push_back(l.Event + " " + l.Module + " by " + l.Process);
  }
  return found;
}

std::vector<std::u16string> CheckedNames() { return {std::begin(Checked), std::end(Checked)}; }

// Modules of a live process that come from one of the folders. Wine names a
// builtin library after the file it found first in the search path, even
// when it did not load that file: its builtins are told by their header.
std::vector<std::string> ModulesFrom(DWORD pid, const std::vector<std::u16string>& folders) {
  std::vector<std::string> found;
  HANDLE process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  EXPECT_TRUE(process && snap != INVALID_HANDLE_VALUE) << GetLastError();
  if (!process || snap == INVALID_HANDLE_VALUE) return found;
  MODULEENTRY32W me{};
  me.dwSize = sizeof(me);
  int modules = 0;
  for (BOOL ok = Module32FirstW(snap, &me); ok; ok = Module32NextW(snap, &me)) {
    ++modules;
    const std::u16string path = LowerAscii(U(me.szExePath));
    if (path.size() > 4 && path.compare(path.size() - 4, 4, u".exe") == 0) continue;  // the program itself
    bool planted = false;
    for (const std::u16string& f : folders) planted = planted || path.compare(0, f.size(), LowerAscii(f)) == 0;
    char stamp[16] = {};
    SIZE_T got = 0;
    ReadProcessMemory(process, me.modBaseAddr + 0x40, stamp, sizeof(stamp), &got);
    if (planted && std::string(stamp, got) != "Wine builtin DLL") found.push_back(Narrow(U(me.szExePath)));
  }
  CloseHandle(snap);
  CloseHandle(process);
  EXPECT_GT(modules, 5) << "the module list of process " << pid << " could not be read";
  return found;
}

// A program that calls into a decoy crashes; Wine then starts its debugger,
// which shows a crash dialog and waits for a click that never comes. While
// the object lives the debugger only writes its report and ends the program.
class TQuietCrashes {
 public:
  TQuietCrashes() {
    if (!UnderWine() || RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", 0, nullptr, 0,
                                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &FKey, nullptr) != ERROR_SUCCESS)
      return;
    DWORD size = sizeof(FOld);
    FHadOld = RegQueryValueExW(FKey, L"ShowCrashDialog", nullptr, nullptr, reinterpret_cast<BYTE*>(&FOld), &size) ==
              ERROR_SUCCESS;
    const DWORD off = 0;
    RegSetValueExW(FKey, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
  }
  ~TQuietCrashes() {
    if (!FKey) return;
    if (FHadOld)
      RegSetValueExW(FKey, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&FOld), sizeof(FOld));
    else
      RegDeleteValueW(FKey, L"ShowCrashDialog");
    RegCloseKey(FKey);
  }
  TQuietCrashes(const TQuietCrashes&) = delete;
  TQuietCrashes& operator=(const TQuietCrashes&) = delete;

 private:
  HKEY FKey = nullptr;
  DWORD FOld = 0;
  bool FHadOld = false;
};

// Ends every process whose program lies in one of the folders (what a failed
// test leaves running holds its decoys open).
void EndProcessesIn(const std::vector<std::u16string>& folders) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
    HANDLE p =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pe.th32ProcessID);
    if (!p) continue;
    wchar_t buf[MAX_PATH * 2];
    DWORD n = MAX_PATH * 2;
    const std::u16string path = QueryFullProcessImageNameW(p, 0, buf, &n) ? LowerAscii(U(buf, n)) : u"";
    for (const std::u16string& f : folders) {
      if (!path.empty() && path.compare(0, f.size(), LowerAscii(f)) == 0) {
        TerminateProcess(p, 97);
        WaitForSingleObject(p, 5000);
        break;
      }
    }
    CloseHandle(p);
  }
  CloseHandle(snap);
}

class DllPlanting : public ::testing::Test {
 protected:
  void SetUp() override {
    KillStrayWindows();
    EndProcessesIn(PlantedFolders());
    DeleteMarkers();
    DeleteFileW(W(TempDir() + u"QW_Setup.exe"));
    DeleteFileW(W(TempDir() + u"unin.ini"));
    UnplantFrom(TempDir());
  }
  void TearDown() override {
    EndProcessesIn(PlantedFolders());
    KillStrayWindows();
    UnplantFrom(TempDir());
    DeleteFileW(W(TempDir() + u"QW_Setup.exe"));
    DeleteMarkers();
  }

  // Starts uninstall.exe (configured with ini) from a planted product
  // folder, with a planted current folder and decoys beside the copy to
  // come; the copy's window, or null.
  HWND StartRelocation(const std::string& ini) {
    PlantInto(FProduct.Path() + u"\\");
    PlantInto(FCurrent.Path() + u"\\");
    PlantInto(TempDir());
    MakeConfiguredExe(FProduct / u"uninstall.exe", ini);
    HANDLE first = StartIn(FProduct / u"uninstall.exe", u"", FCurrent.Path());
    EXPECT_NE(first, nullptr);
    HWND form = WaitMainWindow(u"\\QW_Setup.exe");
    EXPECT_EQ(WaitExitCode(first), 0u) << "the first instance did not hand over";
    if (form) {
      DWORD pid = 0;
      GetWindowThreadProcessId(form, &pid);
      FCopy = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    }
    return form;
  }

  std::vector<std::u16string> PlantedFolders() const {
    return {FProduct.Path() + u"\\", FCurrent.Path() + u"\\", TempDir(), u"C:\\qmtest\\scratch\\plant-control\\"};
  }

  TQuietCrashes FQuiet;
  TPreferPlanted FPrefer{{u"uninstall.exe", u"QW_Setup.exe"}, true};
  TScratchDir FProduct{u"plant-product"}, FCurrent{u"plant-current"};
  HANDLE FCopy = nullptr;
};

// The control: the decoys, the setting and the records work, so that the
// tests below cannot pass for want of them. A plain LoadLibraryW takes each
// decoy from the program's folder; the system32-only search takes none.
TEST_F(DllPlanting, ControlAPlainLoadTakesEveryDecoyAndASafeLoadNone) {
  TPreferPlanted prefer({u"PlantProbe.exe"}, false);
  TScratchDir folder(u"plant-control");
  PlantInto(folder.Path() + u"\\");
  WriteResource(102, folder / u"PlantProbe.exe");
  std::u16string names;
  for (const char16_t* name : Checked) names += u" " + std::u16string(name) + u".dll";

  HANDLE safe = StartIn(folder / u"PlantProbe.exe", u"system32" + names, folder.Path());
  ASSERT_NE(safe, nullptr);
  WaitExitCode(safe);
  EXPECT_EQ(PlantedLoads(CheckedNames()), std::vector<std::string>());
  DeleteMarkers();

  HANDLE plain = StartIn(folder / u"PlantProbe.exe", u"plain" + names, folder.Path());
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(WaitExitCode(plain), std::size(Checked));
  for (const char16_t* name : Checked) {
    const std::vector<TLoad> loads = LoadsOf(name);
    ASSERT_EQ(loads.size(), 1u) << Narrow(name) << ": the planted copy was not loaded once: "
                                << testing::PrintToString(PlantedLoads({name}));
    EXPECT_EQ(loads[0].Event, "attach");
    EXPECT_EQ(loads[0].Module, Narrow(folder / name + u".dll"));
    EXPECT_EQ(loads[0].Process, Narrow(folder / u"PlantProbe.exe"));
  }
}

// Start-up, the hand-over to the copy in the temp folder, the window with
// its artwork and the feedback invitation, and Cancel.
TEST_F(DllPlanting, RelocationAndCancelLoadNothingPlanted) {
  HWND form = StartRelocation("[Information]\r\nAppName=QmPlant\r\nAppVer=1.0\r\n[Uninstall]\r\nQuestion=1\r\nPath=" +
                              Narrow(FProduct.Path()) + "\r\n");
  ASSERT_NE(form, nullptr) << "the copy's window did not appear; loads: "
                           << testing::PrintToString(PlantedLoads(CheckedNames()));
  DWORD pid = 0;
  GetWindowThreadProcessId(form, &pid);
  EXPECT_EQ(ModulesFrom(pid, PlantedFolders()), std::vector<std::string>());

  PostMessageW(Control(form, idButton3), BM_CLICK, 0, 0);
  EXPECT_EQ(WaitExitCode(FCopy), 0u);
  EXPECT_EQ(PlantedLoads(CheckedNames()), std::vector<std::string>());
  EXPECT_TRUE(FileExists(FProduct / u"uninstall.exe"));
}

// The feedback request (the program loads Winsock for it), the removal and
// the self-deletion through the batch file in the temp folder.
TEST_F(DllPlanting, FeedbackAndRemovalLoadNothingPlanted) {
  TScriptedServer server({"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", TEnd::Close});
  HWND form = StartRelocation("[Information]\r\nAppName=QmPlant\r\nAppVer=1.0\r\nDelURL=" + Narrow(server.Url()) +
                              "\r\n[Uninstall]\r\nQuestion=1\r\nPath=" + Narrow(FProduct.Path()) + "\r\n");
  ASSERT_NE(form, nullptr) << "the copy's window did not appear; loads: "
                           << testing::PrintToString(PlantedLoads(CheckedNames()));

  HWND osn = Control(form, idOsnLabel);
  const LPARAM at = MAKELPARAM(8, 10);  // on the invitation link, which starts at x = 4
  PostMessageW(osn, WM_MOUSEMOVE, 0, at);
  PostMessageW(osn, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(osn, WM_LBUTTONUP, 0, at);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Control(form, idMemo1)) != FALSE; }, 10000));
  SendMessageW(Control(form, idEdit1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x@y"));
  SendMessageW(Control(form, idMemo1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"planted"));
  PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);

  EXPECT_EQ(WaitExitCode(FCopy, 60000), 0u);
  EXPECT_TRUE(server.Finish().Connected) << "the feedback was not sent: Winsock was never needed";
  EXPECT_FALSE(FolderExists(FProduct.Path())) << "the removal did not run";
  // The batch file removes the copy once it has ended.
  EXPECT_TRUE(WaitFor([] { return !FileExists(TempDir() + u"QW_Setup.exe"); }, 20000));
  EXPECT_EQ(PlantedLoads(CheckedNames()), std::vector<std::string>());
}

}  // namespace
