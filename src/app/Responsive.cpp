#include "app/Responsive.h"

#include "base/Win32Text.h"

namespace {

constexpr ULONGLONG PumpIntervalMs = 50;

struct TBusyState {
  bool Active = false;
  bool QuitTaken = false;
  int QuitCode = 0;
  ULONGLONG LastPump = 0;
};
TBusyState Busy;
bool SessionHeld = false;

bool IsInput(UINT msg) {
  return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
         (msg >= WM_NCMOUSEMOVE && msg <= WM_NCXBUTTONDBLCLK) || msg == WM_MOUSEHOVER || msg == WM_MOUSELEAVE ||
         msg == WM_NCMOUSEHOVER || msg == WM_NCMOUSELEAVE || msg == WM_CONTEXTMENU || msg == WM_APPCOMMAND;
}

// Takes every pending message: input is dropped, a request to end is kept
// for later, the rest (paint, timers of the controls, the system's own) is
// handled as the event loop would.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      Busy.QuitTaken = true;
      Busy.QuitCode = static_cast<int>(msg.wParam);
      continue;
    }
    if (IsInput(msg.message)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Busy.LastPump = GetTickCount64();
}

}  // namespace

TBusyScope::TBusyScope() {
  Busy = TBusyState{true, false, 0, GetTickCount64()};
  // The click that started the command was over the window: the busy cursor
  // shows at once, not with the next move.
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

TBusyScope::~TBusyScope() {
  // What the user did since the last look must not act once the command is
  // over: it goes while the window is still busy.
  Pump();
  Busy.Active = false;
  if (Busy.QuitTaken) PostQuitMessage(Busy.QuitCode);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

bool TBusyScope::Active() { return Busy.Active; }

TSessionHold::TSessionHold(HWND window) : FWindow(window) {
  SessionHeld = true;
  // The caption names the removal in the current language. Without a reason
  // Windows still waits, but shows the program as one that "is preventing
  // shutdown" with no word on why.
  ShutdownBlockReasonCreate(FWindow, W(WindowText(FWindow)));
}

TSessionHold::~TSessionHold() {
  ShutdownBlockReasonDestroy(FWindow);
  SessionHeld = false;
}

bool TSessionHold::Active() { return SessionHeld; }

void KeepResponsive() {
  if (Busy.Active && GetTickCount64() - Busy.LastPump >= PumpIntervalMs) Pump();
}

bool WaitResponsive(HANDLE handle, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
    if (!Busy.Active) return WaitForSingleObject(handle, left) == WAIT_OBJECT_0;
    const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;  // timed out, or the handle is no good
    Pump();
  }
}

bool IgnoredWhileBusy(UINT msg, WPARAM wp) {
  if (!Busy.Active) return false;
  switch (msg) {
    case WM_CLOSE:
      return true;
    case WM_COMMAND:
      return HIWORD(wp) == BN_CLICKED;
    case WM_SYSCOMMAND:
      return (wp & 0xFFF0) == SC_CLOSE || (wp & 0xFFF0) == SC_KEYMENU || (wp & 0xFFF0) == SC_MOUSEMENU;
    default:
      return false;
  }
}
