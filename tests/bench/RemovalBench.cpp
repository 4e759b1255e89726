// RemovalBench: times the program's own folder removal against a bare walk,
// on identical trees made afresh before every run.
//
//   RemovalBench make FOLDER FILES [NAMELENGTH]
//       makes a product-like tree of FILES files (a multiple of 1000) at FOLDER,
//       their names NAMELENGTH characters long (11 when not given)
//   RemovalBench removal WORKFOLDER FILES ROUNDS [BUDGET [MODES [NAMELENGTH]]]
//       per round, in rotating order, on a fresh tree each (a mode whose runs
//       have taken BUDGET seconds in all is not run again, but each runs once;
//       MODES, e.g. "nobar,bare", limits the modes run):
//         ours   TMainForm::DeleteFolder with the window shown and PB's range
//                set to CountEntries of the tree, keeping its listings (the plain Delete
//                command's order: the walk takes the count's listings)
//         live   the same after CountEntries, which keeps nothing: the walk
//                lists every folder itself (feedback mode, the Start menu)
//         nobar  as ours, with PB's handle taken away, so the progress
//                stepper does nothing: the walk without the bar
//         busy   as ours, inside the Delete command's busy state: the
//                window takes its messages every 50 ms
//         bare   FindFirstFileW/FindNextFileW, DeleteFileW, RemoveDirectoryW;
//                SetFileAttributesW only when a delete fails (read-only)
//       and prints one line per timed step: "FILES MODE SECONDS"
//       (MODE: make, count, ours, live, nobar, bare; count is the count
//       before ours).
//   RemovalBench count FOLDER ROUNDS
//       CountEntries of FOLDER without and with kept listings, ROUNDS times each
//   RemovalBench bar STEPS
//       where one step of the progress bar spends its time, part by part
//   RemovalBench steps WORKFOLDER
//       what each of the Delete command's other steps takes: "steps NAME SECONDS"
// Exit code 0 on success, 1 when a tree could not be made or was not removed.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>

#include "app/Application.h"
#include "app/Responsive.h"
#include "bench/BenchClock.h"
#include "base/Win32Text.h"
#include "removal/FolderRemoval.h"
#include "removal/ProgressStepper.h"
#include "ui/Main.h"

namespace {

// n with two digits at least.
std::u16string Number(int n) {
  wchar_t buf[16];
  swprintf(buf, 16, L"%02d", n);
  return U(buf);
}

bool MakeFolder(const std::u16string& path) {
  return CreateDirectoryW(W(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Files of a product: of every ten, eight plain, one read-only, one hidden.
DWORD AttributesOfFile(int index) {
  if (index == 3) return FILE_ATTRIBUTE_READONLY;
  if (index == 7) return FILE_ATTRIBUTE_HIDDEN;
  return 0;
}

bool MakeFile(const std::u16string& path, DWORD attrs) {
  static const std::string content(512, 'q');
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) && written == content.size();
  CloseHandle(h);
  return ok && (!attrs || SetFileAttributesW(W(path), attrs));
}

// A file's name: "file-NN.bin", or as long as a media library's names
// ("file-NN Artist - Album - Title.bin") when nameLength asks for more.
std::u16string FileName(int index, int nameLength) {
  std::u16string name = u"file-" + Number(index);
  if (nameLength > 11) name += u" " + std::u16string(static_cast<size_t>(nameLength - 12), u'q');
  return name + u".bin";
}

// Three levels of folders, ten files in each folder of the last level:
// root\Component NN\Module NN\Part NN\file-NN.bin.
bool MakeTree(const std::u16string& root, int files, int nameLength = 0) {
  if (files <= 0 || files % 1000 != 0 || !MakeFolder(root)) return false;
  for (int a = 0; a < files / 1000; ++a) {
    const std::u16string pa = root + u"\\Component " + Number(a);
    if (!MakeFolder(pa)) return false;
    for (int b = 0; b < 10; ++b) {
      const std::u16string pb = pa + u"\\Module " + Number(b);
      if (!MakeFolder(pb)) return false;
      for (int c = 0; c < 10; ++c) {
        const std::u16string pc = pb + u"\\Part " + Number(c);
        if (!MakeFolder(pc)) return false;
        for (int f = 0; f < 10; ++f)
          if (!MakeFile(pc + u"\\" + FileName(f, nameLength), AttributesOfFile(f))) return false;
      }
    }
  }
  return true;
}

// The reference: the least a removal must do.
void BareDelete(const std::u16string& path) {
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(W(path + u"\\*"), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::u16string name = U(fd.cFileName);
      if (name == u"." || name == u"..") continue;
      const std::u16string full = path + u"\\" + name;
      if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        BareDelete(full);
      } else if (!DeleteFileW(W(full)) && GetLastError() == ERROR_ACCESS_DENIED) {
        SetFileAttributesW(W(full), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(full));
      }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
  }
  RemoveDirectoryW(W(path));
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool Exists(const std::u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

// The program's window as the Delete command leaves it before its walk: shown,
// the question hidden, the bar visible. The harness has no configuration: the
// form reports that (to nobody) and goes on.
void ShowForm(TMainForm& form) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) { return IDOK; };
  form.Create();
  form.ShowMainWindow();
  form.OsnLabel->SetVisible(false);
  form.PB.Show();
  UpdateWindow(form.Handle());
  PumpMessages();
}

enum class TMode { Ours, Live, NoBar, Busy, Bare };
constexpr int ModeCount = 5;
const char* const ModeNames[ModeCount] = {"ours", "live", "nobar", "busy", "bare"};

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

int RunRemoval(const std::u16string& work, int files, int rounds, double budget, const std::wstring& modes,
               int nameLength) {
  TMainForm form;
  ShowForm(form);

  MakeFolder(work);
  const std::u16string tree = work + u"\\Quillmoor";
  double spentIn[ModeCount] = {};
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < ModeCount; ++k) {
      const TMode mode = static_cast<TMode>((round + k) % ModeCount);
      if (modes.find(Wide(ModeNames[static_cast<int>(mode)])) == std::wstring::npos) continue;
      if (round > 0 && spentIn[static_cast<int>(mode)] >= budget) continue;
      double t = Now();
      if (Exists(tree) || !MakeTree(tree, files, nameLength)) {
        fprintf(stderr, "RemovalBench: could not make a fresh tree of %d files\n", files);
        return 1;
      }
      printf("%d make %.6f\n", files, Now() - t);

      double spent = 0;
      if (mode == TMode::Bare) {
        t = Now();
        BareDelete(tree);
        spent = Now() - t;
      } else {
        // The Delete command counts first, then walks with the bar.
        t = Now();
        TTreeListing listing;
        const int count = mode == TMode::Live ? CountEntries(tree) : CountEntries(tree, listing);
        if (mode == TMode::Ours) printf("%d count %.6f\n", files, Now() - t);
        SendMessageW(form.PB.Handle, PBM_SETRANGE32, 0, count);
        SendMessageW(form.PB.Handle, PBM_SETPOS, 0, 0);
        PumpMessages();
        const HWND bar = form.PB.Handle;
        if (mode == TMode::NoBar) form.PB.Handle = nullptr;
        t = Now();
        {
          std::optional<TBusyScope> busy;
          if (mode == TMode::Busy) busy.emplace();
          form.DeleteFolder(tree, TFolderRole::Product, mode == TMode::Live ? nullptr : &listing);
        }
        spent = Now() - t;
        form.PB.Handle = bar;
        const int pos = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
        if (pos != (mode == TMode::NoBar ? 0 : files)) {
          fprintf(stderr, "RemovalBench: the bar stands at %d after %d files (%s)\n", pos, files,
                  ModeNames[static_cast<int>(mode)]);
          return 1;
        }
      }
      printf("%d %s %.6f\n", files, ModeNames[static_cast<int>(mode)], spent);
      spentIn[static_cast<int>(mode)] += spent;
      fflush(stdout);
      if (Exists(tree)) {
        fprintf(stderr, "RemovalBench: %s left the tree of %d files behind\n", ModeNames[static_cast<int>(mode)],
                files);
        return 1;
      }
      PumpMessages();
    }
  }
  DestroyWindow(form.Handle());
  RemoveDirectoryW(W(work));
  return 0;
}

// Where a step of the bar spends its time: the program's stepper, then the
// parts one by one, each over the same number of steps from position 0.
int RunBar(int steps) {
  TMainForm form;
  ShowForm(form);
  const HWND bar = form.PB.Handle;
  RECT client{};
  GetClientRect(bar, &client);
  printf("bar width %ld px, %d steps\n", client.right, steps);
  int range = steps;
  const auto reset = [&] {
    SendMessageW(bar, PBM_SETRANGE32, 0, range);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    PumpMessages();
  };
  const auto time = [&](const char* what, auto step) {
    reset();
    const double t = Now();
    for (int i = 0; i < steps; ++i) step(i);
    const double spent = Now() - t;
    printf("%-52s %9.1f us/step\n", what, spent * 1e6 / steps);
  };
  const auto paint = [&] { RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
  const auto timeStepper = [&](const char* what) {
    reset();
    const double t = Now();
    {
      TProgressStepper stepper(bar);
      for (int i = 0; i < steps; ++i) stepper.Step();
    }
    printf("%-52s %9.1f us/step\n", what, (Now() - t) * 1e6 / steps);
  };
  timeStepper("TProgressStepper, drawn length grows every step");
  time("  PBM_DELTAPOS", [&](int) { SendMessageW(bar, PBM_DELTAPOS, 1, 0); });
  time("  PBM_GETRANGE, PBM_GETPOS, GetClientRect", [&](int) {
    PBRANGE r{};
    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&r));
    SendMessageW(bar, PBM_GETPOS, 0, 0);
    GetClientRect(bar, &client);
  });
  time("  PBM_SETPOS one past and back", [&](int i) {
    SendMessageW(bar, PBM_SETPOS, i + 2, 0);
    SendMessageW(bar, PBM_SETPOS, i + 1, 0);
  });
  time("  RedrawWindow(RDW_INVALIDATE | RDW_UPDATENOW)", [&](int) { paint(); });
  range = steps * 1000;
  timeStepper("TProgressStepper, drawn length unchanged");
  time("  PBM_DELTAPOS, drawn length unchanged", [&](int) { SendMessageW(bar, PBM_DELTAPOS, 1, 0); });
  range = 2;
  SendMessageW(bar, PBM_SETPOS, 1, 0);
  time("one paint of the half-full bar as created", [&](int) { paint(); });
  const LONG style = GetWindowLongW(bar, GWL_STYLE);
  SetWindowLongW(bar, GWL_STYLE, style | PBS_SMOOTH);
  time("one paint of the half-full bar with PBS_SMOOTH", [&](int) { paint(); });
  SetWindowLongW(bar, GWL_STYLE, style);
  time("  for scale: GetDC, FillRect, ReleaseDC on the bar", [&](int) {
    HDC dc = GetDC(bar);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(bar, dc);
  });
  SetWindowTheme(bar, L"", L"");
  time("one paint of the half-full bar, classic (no theme)", [&](int) { paint(); });
  DestroyWindow(form.Handle());
  return 0;
}

// What the Delete command does besides its walks, step by step: the lookup
// of the system's folders (made once the window is shown, before the click),
// the guard of one walk, the registry cleanup (nothing of the product
// registered), the shortcut step without a configuration, the start of a
// batch file the way the self-deletion starts its own (and, for scale, a
// plain process start), and the window's destruction, which the
// self-deletion leaves to the end of the process.
int RunSteps(const std::u16string& work) {
  TMainForm form;
  double t = Now();
  LookUpSystemFolders();  // before ShowForm, whose window would post it
  printf("steps system-folders %.6f\n", Now() - t);
  ShowForm(form);
  MakeFolder(work);
  t = Now();
  RemovableFolder(work);
  printf("steps safety-check %.6f\n", Now() - t);
  t = Now();
  form.GetUninstallPath();
  printf("steps registered-folder %.6f\n", Now() - t);
  t = Now();
  form.CleanRegistry();
  form.RemoveUninstallEntry();
  printf("steps registry %.6f\n", Now() - t);
  t = Now();
  form.RemoveShortcuts();
  printf("steps shortcuts %.6f\n", Now() - t);
  const std::u16string bat = work + u"\\$$QW_DEL.bat";
  HANDLE h = CreateFileW(W(bat), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  const char text[] = "exit\r\n";
  WriteFile(h, text, sizeof text - 1, &written, nullptr);
  CloseHandle(h);
  t = Now();
  ShellExecuteW(nullptr, L"open", W(bat), nullptr, W(work), SW_HIDE);
  printf("steps shellexecute %.6f\n", Now() - t);
  {
    std::wstring cmdLine = L"cmd.exe /c \"" + std::wstring(W(bat)) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    t = Now();
    if (CreateProcessW(nullptr, cmdLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, W(work), &si,
                       &pi)) {
      printf("steps createprocess %.6f\n", Now() - t);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
  }
  t = Now();
  DestroyWindow(form.Handle());
  printf("steps destroy %.6f\n", Now() - t);
  return 0;
}

// The count alone, ROUNDS times over the same tree (a count changes
// nothing): "count SECONDS" and "keep SECONDS" per round, then the value.
int RunCount(const std::u16string& tree, int rounds) {
  int n = 0;
  for (int round = 0; round < rounds; ++round) {
    double t = Now();
    n = CountEntries(tree);
    printf("count %.6f\n", Now() - t);
    t = Now();
    TTreeListing listing;
    CountEntries(tree, listing);
    printf("keep %.6f\n", Now() - t);
  }
  printf("entries %d\n", n);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring cmd = argc > 1 ? argv[1] : L"";
  if (cmd == L"make" && (argc == 4 || argc == 5))
    return MakeTree(U(argv[2]), _wtoi(argv[3]), argc > 4 ? _wtoi(argv[4]) : 0) ? 0 : 1;
  if (cmd == L"removal" && argc >= 5 && argc <= 8)
    return RunRemoval(U(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), argc > 5 ? _wtof(argv[5]) : 1e9,
                      argc > 6 ? argv[6] : L"ours,live,nobar,busy,bare", argc > 7 ? _wtoi(argv[7]) : 0);
  if (cmd == L"bar" && argc == 3) return RunBar(_wtoi(argv[2]));
  if (cmd == L"steps" && argc == 3) return RunSteps(U(argv[2]));
  if (cmd == L"count" && argc == 4) return RunCount(U(argv[2]), _wtoi(argv[3]));
  fprintf(stderr,
          "usage: RemovalBench make FOLDER FILES [NAMELENGTH] | removal WORKFOLDER FILES ROUNDS [BUDGET [MODES"
          " [NAMELENGTH]]] | bar STEPS"
          " | steps WORKFOLDER | count FOLDER ROUNDS\n");
  return 2;
}
