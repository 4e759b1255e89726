// qmdriver: drives the uninstaller's window from a second process, for the
// demo and the end-to-end scripts.
//
//   qmdriver wait SUFFIX [MS]        wait until a visible main window of a
//                                    process whose exe path ends with SUFFIX
//   qmdriver gone SUFFIX [MS]        wait until no such window is left
//   qmdriver click SUFFIX ID         press the button with control ID
//   qmdriver text SUFFIX [ID]        print the window's (or control's) text
//   qmdriver type SUFFIX ID TEXT     set an edit box's text
//   qmdriver panel-click SUFFIX X Y  click the logo panel at design point X,Y
//   qmdriver mouse-click SUFFIX ID X Y  move onto control ID at X,Y and click
//   qmdriver rect SUFFIX             print the window's screen rectangle and
//                                    its client area's top-left corner
//   qmdriver close SUFFIX            close the window (as its close button)
// Exit code 0 on success, 1 on failure or time-out.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "support/ProcessWindow.h"

namespace {

HWND FindMain(const std::wstring& suffix) { return FindProcessWindow(L"TMainForm", suffix); }

HWND Child(HWND form, int id) { return FormControl(form, id); }

std::wstring Text(HWND w) {
  wchar_t buf[4096];
  const LRESULT n = SendMessageW(w, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf));
  return std::wstring(buf, static_cast<size_t>(n));
}

bool WaitUntil(bool wantPresent, const std::wstring& suffix, DWORD ms) {
  const DWORD start = GetTickCount();
  while ((FindMain(suffix) != nullptr) != wantPresent) {
    if (GetTickCount() - start > ms) return false;
    Sleep(50);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: qmdriver wait|gone|click|text|type|panel-click|mouse-click|rect|close SUFFIX ...\n");
    return 2;
  }
  const std::wstring cmd = argv[1], suffix = argv[2];
  const DWORD ms = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 30000;
  if (cmd == L"wait") return WaitUntil(true, suffix, ms) ? 0 : 1;
  if (cmd == L"gone") return WaitUntil(false, suffix, ms) ? 0 : 1;

  HWND form = FindMain(suffix);
  if (!form) {
    fwprintf(stderr, L"qmdriver: no window of %ls\n", suffix.c_str());
    return 1;
  }
  if (cmd == L"close") return PostMessageW(form, WM_CLOSE, 0, 0) ? 0 : 1;
  if (cmd == L"text") {
    HWND w = argc > 3 ? Child(form, _wtoi(argv[3])) : form;
    if (!w) return 1;
    const std::wstring t = Text(w);
    char out[16384];
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, t.c_str(), static_cast<int>(t.size()), out, sizeof(out), nullptr, nullptr);
    fwrite(out, 1, static_cast<size_t>(n), stdout);
    fputc('\n', stdout);
    return 0;
  }
  if (cmd == L"click" && argc > 3) {
    HWND b = Child(form, _wtoi(argv[3]));
    return b && PostMessageW(b, BM_CLICK, 0, 0) ? 0 : 1;
  }
  if (cmd == L"type" && argc > 4) {
    HWND e = Child(form, _wtoi(argv[3]));
    return e && SendMessageW(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4])) ? 0 : 1;
  }
  if (cmd == L"panel-click" && argc > 4) {
    HWND panel = GetDlgItem(form, 1001);
    const LPARAM at = MAKELPARAM(_wtoi(argv[3]), _wtoi(argv[4]));
    return panel && PostMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageW(panel, WM_LBUTTONUP, 0, at) ? 0
                                                                                                                    : 1;
  }
  if (cmd == L"mouse-click" && argc > 5) {
    HWND c = Child(form, _wtoi(argv[3]));
    const LPARAM at = MAKELPARAM(_wtoi(argv[4]), _wtoi(argv[5]));
    return c && PostMessageW(c, WM_MOUSEMOVE, 0, at) && PostMessageW(c, WM_LBUTTONDOWN, MK_LBUTTON, at) &&
                   PostMessageW(c, WM_LBUTTONUP, 0, at)
               ? 0
               : 1;
  }
  if (cmd == L"rect") {
    RECT r{};
    if (!GetWindowRect(form, &r)) return 1;
    POINT client{0, 0};
    ClientToScreen(form, &client);
    printf("%ld %ld %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom, client.x, client.y);
    return 0;
  }
  fwprintf(stderr, L"qmdriver: unknown command %ls\n", cmd.c_str());
  return 2;
}
