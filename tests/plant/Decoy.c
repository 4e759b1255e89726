/* A stand-in for a system library, planted where a careless program would
 * look for it. Each load appends a line "attach", and each unload through
 * FreeLibrary a line "release", to C:\qmtest\planted-<its file name>.txt,
 * with its own path and that of the process, tab-separated. It has no
 * exports on purpose: a program that took it as a static import would fail
 * to start, and one that calls into it crashes, which the test sees as well.
 * Built without the C runtime, so that it imports nothing but kernel32, a
 * library the test never lets a planted copy replace. */
#include <windows.h>

static void Append(HANDLE file, const wchar_t* text) {
  char utf8[1024];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL);
  DWORD written = 0;
  if (n > 1) WriteFile(file, utf8, (DWORD)(n - 1), &written, NULL);
}

static void Record(HINSTANCE self, const wchar_t* event) {
  static wchar_t module[MAX_PATH], process[MAX_PATH], marker[MAX_PATH + 40];
  const wchar_t* name = module;
  const wchar_t* p;
  HANDLE file;
  if (!GetModuleFileNameW(self, module, MAX_PATH)) lstrcpyW(module, L"?");
  if (!GetModuleFileNameW(NULL, process, MAX_PATH)) lstrcpyW(process, L"?");
  for (p = module; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  lstrcpyW(marker, L"C:\\qmtest\\planted-");
  lstrcatW(marker, name);
  lstrcatW(marker, L".txt");
  file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  Append(file, event);
  Append(file, L"\t");
  Append(file, module);
  Append(file, L"\t");
  Append(file, process);
  Append(file, L"\r\n");
  CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) Record(self, L"attach");
  /* reserved is null for FreeLibrary, set when the process ends. */
  if (reason == DLL_PROCESS_DETACH && !reserved) Record(self, L"release");
  return TRUE;
}
