#ifndef QM_TESTS_SUPPORT_PROCESSWINDOW_H
#define QM_TESTS_SUPPORT_PROCESSWINDOW_H

// Finding the uninstaller's window from another process, for the window
// driver and the benchmark (header only: neither links the program).

#include <windows.h>

#include <cwchar>
#include <string>

// The text with every letter lowered.
inline std::wstring LowerText(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

// The first visible top-level window of class className whose process runs
// an executable whose full path ends with suffix (case ignored); null when
// there is none. Its process id goes to *pid when asked for.
inline HWND FindProcessWindow(const wchar_t* className, const std::wstring& suffix, DWORD* pidOut = nullptr) {
  const std::wstring want = LowerText(suffix);
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, className, nullptr))) {
    if (!IsWindowVisible(w)) continue;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p) continue;
    wchar_t buf[1024];
    DWORD n = 1024;
    const bool ok = QueryFullProcessImageNameW(p, 0, buf, &n);
    CloseHandle(p);
    const std::wstring path = ok ? LowerText(std::wstring(buf, n)) : L"";
    if (path.size() >= want.size() && path.compare(path.size() - want.size(), want.size(), want) == 0) {
      if (pidOut) *pidOut = pid;
      return w;
    }
  }
  return nullptr;
}

// A control of the main window by its identifier, on the window or on its
// logo panel (identifier 1001).
inline HWND FormControl(HWND form, int id) {
  HWND c = GetDlgItem(form, id);
  return c ? c : GetDlgItem(GetDlgItem(form, 1001), id);
}

#endif
