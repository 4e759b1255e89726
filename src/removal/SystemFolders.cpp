#include "removal/SystemFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/PathForms.h"

namespace {

std::u16string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::u16string result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path))) result = U(path);
  CoTaskMemFree(path);
  return result;
}

std::u16string EnvironmentFolder(const wchar_t* name) {
  return FilledOr(std::u16string(), [&](wchar_t* buf, DWORD size) { return GetEnvironmentVariableW(name, buf, size); });
}

// The system's own folders, in the form they are compared.
TProtectedFolders SystemFolders() {
  TProtectedFolders system;
  const auto add = [](std::vector<std::u16string>& list, const std::u16string& path) {
    if (ClassifyPath(path) != TPathShape::Relative) list.push_back(ComparableForm(path));
  };
  static const KNOWNFOLDERID* const known[] = {
      &FOLDERID_Windows,
      &FOLDERID_System,
      &FOLDERID_SystemX86,
      &FOLDERID_ProgramFiles,
      &FOLDERID_ProgramFilesX86,
      &FOLDERID_ProgramFilesCommon,
      &FOLDERID_ProgramFilesCommonX86,
      &FOLDERID_ProgramData,
      &FOLDERID_Profile,
      &FOLDERID_Public,
      &FOLDERID_Desktop,
      &FOLDERID_PublicDesktop,
      &FOLDERID_Documents,
      &FOLDERID_PublicDocuments,
      &FOLDERID_StartMenu,
      &FOLDERID_Programs,
      &FOLDERID_Startup,
      &FOLDERID_CommonStartMenu,
      &FOLDERID_CommonPrograms,
      &FOLDERID_CommonStartup,
      &FOLDERID_SendTo,
      &FOLDERID_RoamingAppData,
      &FOLDERID_LocalAppData,
  };
  for (const KNOWNFOLDERID* id : known) add(system.Folders, KnownFolder(*id));
  // A 32-bit process on 64-bit Windows is told the x86 folders above; the
  // native ones it finds in the environment.
  for (const wchar_t* name : {L"ProgramW6432", L"CommonProgramW6432", L"SystemRoot"})
    add(system.Folders, EnvironmentFolder(name));
  const std::u16string windows = KnownFolder(FOLDERID_Windows);
  if (!windows.empty())
    for (const char16_t* sub : {u"\\System32", u"\\SysWOW64", u"\\Sysnative"}) add(system.Folders, windows + sub);
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n > 0 && n <= MAX_PATH) add(system.Folders, U(temp, n));

  add(system.Containers, KnownFolder(FOLDERID_UserProfiles));
  std::u16string profile = KnownFolder(FOLDERID_Profile);
  while (!profile.empty() && profile.back() == u'\\') profile.pop_back();
  add(system.Containers, ExtractFilePath(profile));
  return system;
}

}  // namespace

// Looked up once per process (some 30 lookups, about 25 ms under Wine): the
// system's folders do not move while the program runs.
const TProtectedFolders& ProtectedSystemFolders() {
  static const TProtectedFolders system = SystemFolders();
  return system;
}

void LookUpSystemFolders() { ProtectedSystemFolders(); }
