#ifndef QM_BASE_WIN32TEXT_H
#define QM_BASE_WIN32TEXT_H

// Where UTF-16 program text meets the Win32 API (wchar_t is 16-bit there).

#include <windows.h>

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wchar_t is UTF-16");

// A view of program text as an API string (needs -fno-strict-aliasing).
inline const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// API text as program text.
inline std::u16string U(const wchar_t* s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}
inline std::u16string U(const wchar_t* s, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), n); }

// The system's description of an error code, without trailing blanks, line
// breaks or full stop (the error box adds the full stop).
std::u16string SysErrorMessage(DWORD code);

// The full path of the running executable.
std::u16string ExePath();

// A window's text, read through WM_GETTEXT.
std::u16string WindowText(HWND wnd);

#endif
