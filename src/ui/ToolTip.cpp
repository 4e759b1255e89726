// The web-site link's tooltip: one tool over the link's rectangle on the
// panel, with the link's hint as its text.

#include "ui/Main.h"

#include "base/Win32Text.h"

void TMainForm::CreateToolTip() {
  // The web-site link shows its hint as a tooltip.
  FToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = SPanel.Handle;
  ti.uId = 1;
  ti.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  SyncToolTip();
}

void TMainForm::SyncToolTip() {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = SPanel.Handle;
  ti.uId = 1;
  // A hidden link has no tooltip: its rectangle becomes empty.
  ti.rect = OpenURL.Visible ? OpenURL.Bounds : RECT{};
  ti.lpszText = const_cast<wchar_t*>(W(OpenURL.Hint));
  SendMessageW(FToolTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(FToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}
