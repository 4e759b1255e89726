/* The DLL-planting test's control program: "PlantProbe plain NAME..." loads
 * each library by name as a careless program would (LoadLibraryW: the
 * program's own folder first), "PlantProbe system32 NAME..." the safe way
 * (system32 only). The exit code is the number of libraries that loaded.
 * Built without the C runtime: it imports kernel32 alone. */
#include <windows.h>

static wchar_t Line[4096];

static wchar_t* NextWord(wchar_t** at) {
  wchar_t* p = *at;
  wchar_t* word;
  while (*p == L' ' || *p == L'\t') ++p;
  if (!*p) return NULL;
  word = p;
  while (*p && *p != L' ' && *p != L'\t') ++p;
  if (*p) *p++ = 0;
  *at = p;
  return word;
}

void WINAPI ProbeMain(void) {
  wchar_t* at = Line;
  wchar_t* mode;
  wchar_t* name;
  DWORD flags;
  UINT loaded = 0;
  lstrcpynW(Line, GetCommandLineW(), sizeof(Line) / sizeof(Line[0]));
  if (*at == L'"') { /* the program's own name, quoted */
    ++at;
    while (*at && *at != L'"') ++at;
    if (*at) ++at;
  } else {
    NextWord(&at);
  }
  mode = NextWord(&at);
  if (!mode) ExitProcess(0);
  flags = lstrcmpiW(mode, L"system32") == 0 ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0;
  while ((name = NextWord(&at)) != NULL)
    if (LoadLibraryExW(name, NULL, flags)) ++loaded;
  ExitProcess(loaded);
}
