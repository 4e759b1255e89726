#include "wine/WineTestSupport.h"

#include <gtest/gtest.h>

#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/ControlIds.h"

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

std::u16string TestExeDir() { return ExtractFilePath(ExePath()); }

std::u16string TempDir() {
  wchar_t buf[MAX_PATH], full[MAX_PATH];
  GetTempPathW(MAX_PATH, buf);
  GetLongPathNameW(buf, full, MAX_PATH);
  std::u16string d = U(full);
  if (d.back() != u'\\') d += u'\\';
  return d;
}

namespace {
bool StartsWithI(const std::u16string& s, const std::u16string& prefix) {
  return s.size() >= prefix.size() && LowerAscii(s.substr(0, prefix.size())) == LowerAscii(prefix);
}
}  // namespace

void RemoveTree(const std::u16string& path) {
  // Test trees live under C:\qmtest or the temp folder; never anything else.
  RemoveTreeUnder(StartsWithI(path, TempDir()) ? TempDir() : u"C:\\qmtest", path);
}

void RemoveTreeUnder(const std::u16string& root, const std::u16string& path) {
  const std::u16string prefix = root.back() == u'\\' ? root : root + u"\\";
  if (!StartsWithI(path, prefix) || path.size() == prefix.size()) {
    ADD_FAILURE() << "refusing to remove " << Narrow(path);
    return;
  }
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(W(path + u"\\*"), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::u16string name = U(fd.cFileName);
      if (name == u"." || name == u"..") continue;
      const std::u16string full = path + u"\\" + name;
      if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTreeUnder(root, full);
      } else {
        SetFileAttributesW(W(full), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(full));
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(W(path));
}

TScratchDir::TScratchDir(const std::u16string& name) : FPath(u"C:\\qmtest\\scratch\\" + name) {
  CreateDirectoryW(L"C:\\qmtest\\scratch", nullptr);
  RemoveTree(FPath);
  CreateDirectoryW(W(FPath), nullptr);
}

TScratchDir::~TScratchDir() { RemoveTree(FPath); }

bool FileExists(const std::u16string& path) {
  const DWORD a = GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::u16string& path) {
  const DWORD a = GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteBytes(const std::u16string& path, const std::string& bytes) {
  HANDLE f = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << Narrow(path);
  DWORD n = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  ASSERT_EQ(n, bytes.size());
}

std::string ReadBytes(const std::u16string& path) {
  HANDLE f = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  std::string r;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof(buf), &n, nullptr) && n) r.append(buf, n);
  CloseHandle(f);
  return r;
}

void CopyOrDie(const std::u16string& from, const std::u16string& to) {
  ASSERT_TRUE(CopyFileW(W(from), W(to), FALSE)) << Narrow(from) << " -> " << Narrow(to) << " " << GetLastError();
}

HANDLE Start(const std::u16string& exe, const std::u16string& args) {
  std::u16string cmd = u"\"" + exe + u"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  const std::u16string dir = ExtractFilePath(exe);
  if (!CreateProcessW(W(exe), W(cmd.data()), nullptr, nullptr, FALSE, 0, nullptr, W(dir), &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

int RunAndWait(const std::u16string& exe, const std::u16string& args, DWORD timeoutMs) {
  HANDLE p = Start(exe, args);
  if (!p) return -1;
  DWORD code = 0;
  if (WaitForSingleObject(p, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(p, 99);
    code = static_cast<DWORD>(-2);
  } else {
    GetExitCodeProcess(p, &code);
  }
  CloseHandle(p);
  return static_cast<int>(code);
}

void MakeConfiguredExe(const std::u16string& path, const std::string& ini) {
  CopyOrDie(TestExeDir() + u"uninstall.exe", path);
  const std::u16string iniPath = path + u".ini";
  WriteBytes(iniPath, ini);
  // Forced: a test stages whatever bytes it needs, also ones the check refuses.
  ASSERT_EQ(RunAndWait(TestExeDir() + u"embed-config.exe", u"--force \"" + path + u"\" \"" + iniPath + u"\""), 0);
  DeleteFileW(W(iniPath));
}

std::vector<TFoundWindow> FindMainWindows() {
  std::vector<TFoundWindow> found;
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, reinterpret_cast<const wchar_t*>(QM_MAINFORM_CLASS), nullptr))) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    std::u16string path;
    if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
      wchar_t buf[MAX_PATH * 2];
      DWORD n = MAX_PATH * 2;
      if (QueryFullProcessImageNameW(p, 0, buf, &n)) path = U(buf, n);
      CloseHandle(p);
    }
    found.push_back({w, pid, path});
  }
  return found;
}

HWND WaitMainWindow(const std::u16string& exeSuffix, DWORD timeoutMs) {
  HWND hit = nullptr;
  const std::u16string suffix = LowerAscii(exeSuffix);
  WaitFor(
      [&] {
        for (const auto& f : FindMainWindows()) {
          const std::u16string p = LowerAscii(f.ExePath);
          if (IsWindowVisible(f.Wnd) && p.size() >= suffix.size() &&
              p.compare(p.size() - suffix.size(), suffix.size(), suffix) == 0) {
            hit = f.Wnd;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return hit;
}

HWND Control(HWND form, int id) {
  HWND c = GetDlgItem(form, id);
  if (!c) c = GetDlgItem(GetDlgItem(form, idSPanel), id);
  return c;
}

std::u16string TextOf(HWND wnd) { return WindowText(wnd); }

HWND FindDialogOf(DWORD pid) {
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, L"#32770", nullptr))) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

void KillStrayWindows() {
  for (const auto& f : FindMainWindows()) {
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, f.Pid)) {
      TerminateProcess(p, 98);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
  }
}

TScratchUninstallKey::TScratchUninstallKey(const std::u16string& appName)
    : FPath(u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + appName) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, W(FPath));
  HKEY k = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(FPath), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  if (k) RegCloseKey(k);
}

TScratchUninstallKey::~TScratchUninstallKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, W(FPath)); }

void TScratchUninstallKey::SetString(const std::u16string& name, const std::u16string& value, DWORD type) {
  EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, W(FPath), W(name), type, W(value),
                            static_cast<DWORD>((value.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
}

void TScratchUninstallKey::SetDword(const std::u16string& name, DWORD value) {
  EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, W(FPath), W(name), REG_DWORD, &value, sizeof(value)), ERROR_SUCCESS);
}

bool KeyExists(const TKey& k) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(k.Root, W(k.Path), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

void MakeKey(const TKey& k, const std::u16string& value) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(k.Root, W(k.Path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS)
      << Narrow(k.Path);
  if (!value.empty())
    RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(W(value)),
                   static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  RegCloseKey(h);
}

namespace {
const wchar_t ShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
}

TSavedShellFolders::TSavedShellFolders() {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ShellFoldersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const char16_t* name : {u"Programs", u"Desktop", u"SendTo"}) {
    TValue v;
    v.Name = name;
    DWORD size = 0;
    v.Present = key && RegQueryValueExW(key, W(v.Name), nullptr, &v.Type, nullptr, &size) == ERROR_SUCCESS;
    v.Data.resize(size);
    if (v.Present) RegQueryValueExW(key, W(v.Name), nullptr, &v.Type, v.Data.data(), &size);
    FValues.push_back(v);
  }
  if (key) RegCloseKey(key);
}

TSavedShellFolders::~TSavedShellFolders() {
  for (const auto& v : FValues) {
    if (v.Present)
      RegSetKeyValueW(HKEY_CURRENT_USER, ShellFoldersKey, W(v.Name), v.Type, v.Data.data(),
                      static_cast<DWORD>(v.Data.size()));
    else
      RegDeleteKeyValueW(HKEY_CURRENT_USER, ShellFoldersKey, W(v.Name));
  }
}
