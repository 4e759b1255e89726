#ifndef QM_TESTS_WINETESTSUPPORT_H
#define QM_TESTS_WINETESTSUPPORT_H

// Helpers of the tests that run under Wine: scratch folders and registry
// keys, files, processes, and a small automation driver for our window.

#include <windows.h>

#include <string>
#include <vector>

// A registry key of a test: a root and a path below it.
struct TKey {
  HKEY Root;
  std::u16string Path;
};

// True when the key can be opened for reading.
bool KeyExists(const TKey& k);

// Creates the key (with those above it) and sets its default value to value;
// a failure fails the test.
void MakeKey(const TKey& k, const std::u16string& value = u"data");

// The user's Shell Folders values "Programs", "Desktop" and "SendTo": saved
// on construction, put back (or removed, when absent) on destruction.
class TSavedShellFolders {
 public:
  TSavedShellFolders();
  ~TSavedShellFolders();
  TSavedShellFolders(const TSavedShellFolders&) = delete;
  TSavedShellFolders& operator=(const TSavedShellFolders&) = delete;

 private:
  struct TValue {
    std::u16string Name;
    bool Present = false;
    DWORD Type = 0;
    std::vector<BYTE> Data;
  };
  std::vector<TValue> FValues;
};

// Narrow text of UTF-16, for test messages.
std::string Narrow(const std::u16string& s);

// The folder of the running test program, with a trailing "\".
std::u16string TestExeDir();

// A fresh, empty folder for one test (removed again by the destructor).
class TScratchDir {
 public:
  explicit TScratchDir(const std::u16string& name);
  ~TScratchDir();
  const std::u16string& Path() const { return FPath; }
  std::u16string operator/(const std::u16string& name) const { return FPath + u"\\" + name; }

 private:
  std::u16string FPath;
};

// Deletes a tree (test data only: refuses anything outside C:\qmtest and the temp folder).
void RemoveTree(const std::u16string& path);
// Deletes a tree strictly below root; links to folders are not followed.
void RemoveTreeUnder(const std::u16string& root, const std::u16string& path);

bool FileExists(const std::u16string& path);
bool FolderExists(const std::u16string& path);
void WriteBytes(const std::u16string& path, const std::string& bytes);
std::string ReadBytes(const std::u16string& path);
void CopyOrDie(const std::u16string& from, const std::u16string& to);

// Runs a program to its end; returns its exit code (or -1 when it did not start).
int RunAndWait(const std::u16string& exe, const std::u16string& args, DWORD timeoutMs = 60000);
// Starts a program; returns its process handle.
HANDLE Start(const std::u16string& exe, const std::u16string& args = u"");
// Copies uninstall.exe (beside the tests) to path with config embedded by embed-config
// (forced: whatever the check says of it).
void MakeConfiguredExe(const std::u16string& path, const std::string& ini);

// Waits until pred() holds; false on time-out.
template <class Pred>
bool WaitFor(Pred pred, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (!pred()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

// Top-level windows of our main window class, with their process's exe path.
struct TFoundWindow {
  HWND Wnd;
  DWORD Pid;
  std::u16string ExePath;
};
std::vector<TFoundWindow> FindMainWindows();
// The first visible main window whose exe path ends with suffix (case-insensitive).
HWND WaitMainWindow(const std::u16string& exeSuffix, DWORD timeoutMs = 30000);
HWND Control(HWND form, int id);
std::u16string TextOf(HWND wnd);
// A top-level dialog (#32770) of the process, such as a message box.
HWND FindDialogOf(DWORD pid);
// Ends every process whose main window is ours (clean-up after a failed test).
void KillStrayWindows();

// The temp folder as the program sees it, long form, trailing "\".
std::u16string TempDir();

// A scratch key under HKEY_LOCAL_MACHINE's Uninstall list, deleted with its subtree.
class TScratchUninstallKey {
 public:
  explicit TScratchUninstallKey(const std::u16string& appName);
  ~TScratchUninstallKey();
  void SetString(const std::u16string& name, const std::u16string& value, DWORD type = REG_SZ);
  void SetDword(const std::u16string& name, DWORD value);

 private:
  std::u16string FPath;
};

#endif
