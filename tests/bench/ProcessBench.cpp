// ProcessBench: watches the real program from a second process.
//
//   ProcessBench startup PRODUCT RUNS
//       RUNS + 1 times (the first warms the system's caches and is not
//       printed): starts PRODUCT\uninstall.exe with PRODUCT as its current
//       folder, waits for the visible main window of the relocated copy
//       (QW_Setup.exe), prints "startup SECONDS", presses Cancel and waits
//       for the copy to end.
//   ProcessBench memory PRODUCT
//       starts PRODUCT\uninstall.exe, waits for the copy's window, prints
//       "ready BYTES" (the copy's peak working set so far), presses Delete,
//       samples the copy's peak working set until the process ends and
//       prints "peak BYTES" and "delete SECONDS" (from the press to its end).
// Exit code 0 on success, 1 on a failure or time-out.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

#include "bench/BenchClock.h"
#include "support/ProcessWindow.h"

namespace {

constexpr int idInsButton = 1002;
constexpr int idButton3 = 1003;

struct TCopyWindow {
  HWND Wnd = nullptr;
  DWORD Pid = 0;
};

// The visible main window of a process started from "QW_Setup.exe".
TCopyWindow FindCopy() {
  TCopyWindow copy;
  copy.Wnd = FindProcessWindow(L"TMainForm", L"\\QW_Setup.exe", &copy.Pid);
  return copy;
}

HWND Child(HWND form, int id) { return FormControl(form, id); }

// Starts PRODUCT\uninstall.exe in PRODUCT; its process handle, or null.
HANDLE StartUninstaller(const std::wstring& product) {
  const std::wstring exe = product + L"\\uninstall.exe";
  std::wstring cmdLine = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), cmdLine.data(), nullptr, nullptr, FALSE, 0, nullptr, product.c_str(), &si, &pi)) {
    fwprintf(stderr, L"ProcessBench: cannot start %ls (error %lu)\n", exe.c_str(), GetLastError());
    return nullptr;
  }
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

// Waits for the copy's window, polling every millisecond.
TCopyWindow WaitForCopy(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const TCopyWindow copy = FindCopy();
    if (copy.Wnd) return copy;
    if (GetTickCount() - start > timeoutMs) return {};
    Sleep(1);
  }
}

int RunStartup(const std::wstring& product, int runs) {
  for (int run = 0; run <= runs; ++run) {
    const double t0 = Now();
    HANDLE launcher = StartUninstaller(product);
    if (!launcher) return 1;
    const TCopyWindow copy = WaitForCopy(60000);
    const double spent = Now() - t0;
    WaitForSingleObject(launcher, 30000);
    CloseHandle(launcher);
    if (!copy.Wnd) {
      fwprintf(stderr, L"ProcessBench: the copy's window did not appear\n");
      return 1;
    }
    if (run > 0) printf("startup %.6f\n", spent);
    fflush(stdout);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, copy.Pid);
    HWND cancel = Child(copy.Wnd, idButton3);
    if (!process || !cancel || !PostMessageW(cancel, BM_CLICK, 0, 0) ||
        WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) {
      fwprintf(stderr, L"ProcessBench: the copy did not end on Cancel\n");
      return 1;
    }
    CloseHandle(process);
  }
  return 0;
}

SIZE_T PeakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  return GetProcessMemoryInfo(process, &pmc, sizeof(pmc)) ? pmc.PeakWorkingSetSize : 0;
}

int RunMemory(const std::wstring& product) {
  HANDLE launcher = StartUninstaller(product);
  if (!launcher) return 1;
  const TCopyWindow copy = WaitForCopy(60000);
  WaitForSingleObject(launcher, 30000);
  CloseHandle(launcher);
  if (!copy.Wnd) {
    fwprintf(stderr, L"ProcessBench: the copy's window did not appear\n");
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, copy.Pid);
  HWND del = Child(copy.Wnd, idInsButton);
  if (!process || !del) {
    fwprintf(stderr, L"ProcessBench: cannot watch the copy\n");
    return 1;
  }
  Sleep(500);  // the window settles: its first paints are part of "ready"
  SIZE_T peak = PeakWorkingSet(process);
  printf("ready %lu\n", static_cast<unsigned long>(peak));
  const double t0 = Now();
  PostMessageW(del, BM_CLICK, 0, 0);
  // The peak only grows; the last reading before the process ends is its
  // peak over the whole removal.
  DWORD waited = WAIT_TIMEOUT;
  const DWORD start = GetTickCount();
  while (waited == WAIT_TIMEOUT && GetTickCount() - start < 600000) {
    peak = std::max(peak, PeakWorkingSet(process));
    waited = WaitForSingleObject(
        process, 20);  // the peak only grows: a coarse sampling loses nothing of it but its last moments
  }
  const double spent = Now() - t0;
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) {
    fwprintf(stderr, L"ProcessBench: the copy did not end after Delete\n");
    return 1;
  }
  printf("peak %lu\ndelete %.6f\n", static_cast<unsigned long>(peak), spent);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring cmd = argc > 1 ? argv[1] : L"";
  if (cmd == L"startup" && argc == 4) return RunStartup(argv[2], _wtoi(argv[3]));
  if (cmd == L"memory" && argc == 3) return RunMemory(argv[2]);
  fwprintf(stderr, L"usage: ProcessBench startup PRODUCT RUNS | memory PRODUCT\n");
  return 2;
}
