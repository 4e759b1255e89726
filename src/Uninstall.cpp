// The uninstaller's entry point: one window, one GUI thread.

#include <windows.h>
#include <commctrl.h>

#include "app/Application.h"
#include "base/Win32Text.h"
#include "ui/Main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The copy runs elevated from the temp folder: DLLs come from system32 only.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
  // The common controls load uxtheme.dll by name when they first draw, and
  // Wine's delay loader then searches the program's folder first. Loaded here
  // from system32, it is the one found by name later.
  LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);

  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  Application.Title = DefaultApplicationTitle(ExePath());

  TMainForm form;
  try {
    form.Create();
  } catch (...) {
    Application.ShowException(u"Cannot create the window");
    return 0;
  }
  form.ShowMainWindow();

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(form.Handle(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // The loop has taken the end request: the window goes, and FormDestroy
  // with it.
  if (form.Handle()) DestroyWindow(form.Handle());
  return 0;
}
