#include "base/Win32Text.h"

#include <vector>

std::u16string SysErrorMessage(DWORD code) {
  wchar_t* buf = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::u16string r = n ? U(buf, n) : std::u16string();
  if (buf) LocalFree(buf);
  while (!r.empty() && (r.back() <= u' ' || r.back() == u'.')) r.pop_back();
  return r;
}

std::u16string ExePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) return U(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

std::u16string WindowText(HWND wnd) {
  const LRESULT len = SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> buf(static_cast<size_t>(len) + 2);
  const LRESULT got = SendMessageW(wnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  return U(buf.data(), static_cast<size_t>(got));
}
