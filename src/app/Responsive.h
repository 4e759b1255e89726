#ifndef QM_APP_RESPONSIVE_H
#define QM_APP_RESPONSIVE_H

// The window stays responsive through the Delete command, which runs on the
// one GUI thread from the click to its end: the long steps call
// KeepResponsive (or wait with WaitResponsive), which takes the thread's
// messages often enough that Windows never marks the window "Not
// Responding" (no message taken for 5 s), and lets it repaint and the bar
// move. Input does nothing meanwhile: every keyboard and mouse message is
// dropped, and the pointer shows the busy cursor over the window.

#include <windows.h>

// Marks the command as running from construction to destruction. A request
// to end the process (WM_QUIT) taken meanwhile is posted again at the end,
// and input still queued then is dropped with the rest. Not nested.
class TBusyScope {
 public:
  TBusyScope();
  ~TBusyScope();
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

  // True while a scope lives.
  static bool Active();
};

// Holds the end of the session from construction to destruction: the window
// answers WM_QUERYENDSESSION with FALSE ("not now"), and Windows shows the
// window's caption as the reason on its screen of programs that hold the
// session. Only for the Delete command; not nested.
class TSessionHold {
 public:
  explicit TSessionHold(HWND window);
  ~TSessionHold();
  TSessionHold(const TSessionHold&) = delete;
  TSessionHold& operator=(const TSessionHold&) = delete;

  // True while a hold lives: the window's answer to WM_QUERYENDSESSION.
  static bool Active();

 private:
  HWND FWindow;
};

// Within a busy scope, takes the pending messages when some 50 ms have passed
// since it last did; otherwise returns at once. Cheap enough for every file.
void KeepResponsive();

// Waits at most ms for handle to be signalled, taking messages meanwhile
// (within a busy scope; outside one it only waits). True when signalled.
bool WaitResponsive(HANDLE handle, DWORD ms);

// True for the messages that a busy window ignores even when they reach it
// by another way than its queue (sent, or from a posted BM_CLICK): a button's
// click, the close request and the system menu's commands.
bool IgnoredWhileBusy(UINT msg, WPARAM wp);

#endif
