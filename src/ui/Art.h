#ifndef QM_UI_ART_H
#define QM_UI_ART_H

// The window's artwork: PNG files embedded as RCDATA resources, decoded by
// the system's imaging component (WIC).

#include <windows.h>
#include <commctrl.h>

// Resource names, as res/Uninstall.rc gives them.
inline constexpr const wchar_t* LogoResource = L"LOGO";
inline constexpr const wchar_t* NoticeResource = L"NOTICE";
inline constexpr const wchar_t* FlagsResource = L"FLAGS";

// The flag strip's cells and their number.
inline constexpr int FlagWidth = 16;
inline constexpr int FlagHeight = 11;
inline constexpr int FlagCount = 248;

// The PNG resource as a top-down 32-bit DIB section (BGRA, straight alpha);
// null when the resource is missing or cannot be decoded.
HBITMAP LoadPngResource(HMODULE module, const wchar_t* name);

// An icon of the same size as a 32-bit bitmap, drawn with its alpha; null on
// failure. The bitmap stays the caller's.
HICON IconFromBitmap(HBITMAP bitmap);

// The image list of flag icons (16 x 11, 32-bit with a mask), one per cell of
// the PNG strip resource; null when the strip cannot be loaded.
HIMAGELIST LoadFlagList(HMODULE module, const wchar_t* name);

#endif
