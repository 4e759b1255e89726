#include "removal/ProgressStepper.h"

#include <commctrl.h>

TProgressStepper::TProgressStepper(HWND bar) : FBar(bar) {
  if (!bar) return;
  PBRANGE range{};
  SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  RECT client{};
  GetClientRect(bar, &client);
  FThrottle.emplace(range.iLow, range.iHigh, client.right, static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)));
}

void TProgressStepper::Step() {
  if (FThrottle && FThrottle->Step(GetTickCount64())) Draw();
}

void TProgressStepper::Finish() {
  if (FThrottle && FThrottle->Pending()) Draw();
}

void TProgressStepper::Draw() {
  const ULONGLONG start = GetTickCount64();
  const int pos = FThrottle->Position();
  const int high = FThrottle->High();
  // A themed bar (common controls 6) glides up to a higher position on timer
  // messages, which the removal takes only now and then; a lower position it
  // draws at once. So the bar steps one past the position and back.
  // (Wine's bar paints itself within each PBM_SETPOS.)
  if (pos < high) {
    SendMessageW(FBar, PBM_SETPOS, pos + 1, 0);
    SendMessageW(FBar, PBM_SETPOS, pos, 0);
  } else {
    PBRANGE range{};
    SendMessageW(FBar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    SendMessageW(FBar, PBM_SETRANGE32, range.iLow, range.iHigh + 1);
    SendMessageW(FBar, PBM_SETPOS, pos + 1, 0);
    SendMessageW(FBar, PBM_SETPOS, pos, 0);
    SendMessageW(FBar, PBM_SETRANGE32, range.iLow, range.iHigh);
  }
  RedrawWindow(FBar, nullptr, nullptr, RDW_UPDATENOW);
  const ULONGLONG end = GetTickCount64();
  FThrottle->Drawn(end, end - start);
}
