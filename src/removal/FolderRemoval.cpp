#include "removal/FolderRemoval.h"

#include <commctrl.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/Responsive.h"
#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/PathSafety.h"
#include "ui/Main.h"

namespace {

// A subfolder to walk: the directory bit without the reparse-point bit. An
// entry with both is a link to a folder and is treated like a file.
bool IsSubfolder(DWORD attrs) { return (attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT); }

// Every entry of the listing of pattern, "." and ".." included, as a view of
// its name (valid during the call) and its attributes.
template <class Visit>
void ForEachEntry(const std::u16string& pattern, Visit visit) {
  WIN32_FIND_DATAW fd;
  TFindHandle find(FindFirstFileExW(W(ExtendedLengthPath(pattern)), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                    nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find.IsValid()) return;
  do {
    visit(std::u16string_view(reinterpret_cast<const char16_t*>(fd.cFileName)), fd.dwFileAttributes);
    KeepResponsive();
  } while (FindNextFileW(find.Get(), &fd));
}

// Calls an API that fills a buffer and returns the length it needs; the input
// itself when the call fails.
template <class Api>
std::u16string FilledOr(const std::u16string& input, Api api) {
  std::u16string buf(MAX_PATH, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = api(W(buf.data()), static_cast<DWORD>(buf.size()));
    if (n == 0) return input;
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.assign(n, u'\0');
  }
  return input;
}

std::u16string FullPathName(const std::u16string& path) {
  return FilledOr(path, [&](wchar_t* buf, DWORD size) { return GetFullPathNameW(W(path), size, buf, nullptr); });
}

// The form in which folders are compared: full, long names where the folder
// exists (8.3 names expanded), one letter case. The system calls take the
// extended-length form, so that they work at any length; their answers come
// back in plain form.
std::u16string ComparableForm(const std::u16string& path) {
  const std::u16string full = ExtendedLengthPath(FullPathName(path));
  std::u16string form =
      NormalizePath(FilledOr(full, [&](wchar_t* buf, DWORD size) { return GetLongPathNameW(W(full), buf, size); }));
  if (!form.empty()) CharUpperBuffW(W(form.data()), static_cast<DWORD>(form.size()));
  return form;
}

// The path the system resolves an existing folder to, links followed, in
// plain form; empty when it cannot be opened.
std::u16string FinalPathName(const std::u16string& full) {
  TFileHandle folder(CreateFileW(W(ExtendedLengthPath(full)), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.IsValid()) return {};
  return NormalizePath(FilledOr(std::u16string(), [&](wchar_t* buf, DWORD size) {
    return GetFinalPathNameByHandleW(folder.Get(), buf, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }));
}

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

// The listings a count made, kept for the walk that follows it at once: one
// block of entries per listed folder, in listing order, each subfolder entry
// pointing to its own block (or to none: the count does not list hidden,
// system and dot-named subfolders, and the walk lists those itself).
struct TTreeListing {
  struct TEntry {
    std::uint32_t NameStart;
    std::uint32_t NameLength;
    DWORD Attributes;
    std::int32_t Block;  // the subfolder's listing, or -1
  };
  std::u16string Names;
  std::vector<TEntry> Entries;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Blocks;  // [first, last) of Entries
  std::u16string Tree;                                          // the folder it lists
};

// Kept by CountEntriesAndKeep for the next DeleteFolder.
std::optional<TTreeListing> Kept;

// One listing per folder serves both of the count's listings ("*.*" and
// "*"), which yield the same names. The folder's own listing is taken whole
// before its subfolders are counted, so one search is open at a time.
std::int32_t CountTree(const std::u16string& path, TTreeListing* keep) {
  std::int32_t n = 0;
  std::vector<std::u16string> subfolders;  // the ones counted, in listing order
  std::vector<std::uint32_t> subEntries;   // and their kept entries
  const auto first = static_cast<std::uint32_t>(keep ? keep->Entries.size() : 0);
  ForEachEntry(path + u"\\*.*", [&](std::u16string_view name, DWORD attrs) {
    ++n;
    if (keep) {
      keep->Entries.push_back(
          {static_cast<std::uint32_t>(keep->Names.size()), static_cast<std::uint32_t>(name.size()), attrs, -1});
      keep->Names += name;
    }
    if (attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return;
    if (!IsSubfolder(attrs) || name.starts_with(u'.')) return;
    subfolders.emplace_back(name);
    if (keep) subEntries.push_back(static_cast<std::uint32_t>(keep->Entries.size() - 1));
  });
  if (keep) keep->Blocks.emplace_back(first, static_cast<std::uint32_t>(keep->Entries.size()));
  for (size_t i = 0; i < subfolders.size(); ++i) {
    if (keep) keep->Entries[subEntries[i]].Block = static_cast<std::int32_t>(keep->Blocks.size());
    n += CountTree(path + u"\\" + subfolders[i], keep);
  }
  return n;
}

// Deletes the tree at path depth first; its entries come from the kept
// listing's block, or from a listing of its own when it has none.
void DeleteTree(const std::u16string& path, TProgressStepper& progress, const TTreeListing* kept, std::int32_t block) {
  const auto visit = [&](std::u16string_view name, DWORD attrs, std::int32_t sub) {
    std::u16string full = path;
    full += u'\\';
    full += name;
    if (IsSubfolder(attrs)) {
      if (name != u"." && name != u"..") DeleteTree(full, progress, kept, sub);
      return;
    }
    // Links keep their attributes: Wine applies an attribute change to the
    // folder a link points to, and that folder is not ours.
    if (!(attrs & FILE_ATTRIBUTE_REPARSE_POINT) && attrs != FILE_ATTRIBUTE_ARCHIVE)
      SetFileAttributesW(W(ExtendedLengthPath(full)), FILE_ATTRIBUTE_ARCHIVE);
    if (DeleteFileOrLink(full)) progress.Step();
  };
  if (kept && block >= 0) {
    for (std::uint32_t i = kept->Blocks[block].first; i < kept->Blocks[block].second; ++i) {
      const auto& e = kept->Entries[i];
      visit(std::u16string_view(kept->Names).substr(e.NameStart, e.NameLength), e.Attributes, e.Block);
      KeepResponsive();
    }
  } else {
    ForEachEntry(path + u"\\*.*", [&](std::u16string_view name, DWORD attrs) { visit(name, attrs, -1); });
  }
  RemoveDirectoryW(W(ExtendedLengthPath(path)));
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

// Looked up once per process (some 30 lookups, about 25 ms under Wine): the
// system's folders do not move while the program runs.
const TProtectedFolders& ProtectedSystemFolders() {
  static const TProtectedFolders system = SystemFolders();
  return system;
}

}  // namespace

void LookUpSystemFolders() { ProtectedSystemFolders(); }

bool DeleteFileOrLink(const std::u16string& given) {
  const std::u16string path = ExtendedLengthPath(given);
  if (DeleteFileW(W(path))) return true;
  // On Windows this removes the link, never what it points to. Wine cannot
  // remove a link: the call reaches its target (an empty one goes, a full one
  // stays with ERROR_DIR_NOT_EMPTY).
  const DWORD attrs = GetFileAttributesW(W(path));
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) &&
         (attrs & FILE_ATTRIBUTE_REPARSE_POINT) && RemoveDirectoryW(W(path));
}

TFolderFacts FolderFacts(const std::u16string& path) {
  TFolderFacts facts;
  facts.Full = FullPathName(path);
  while (facts.Full.size() > 3 && (facts.Full.back() == u'\\' || facts.Full.back() == u'/')) facts.Full.pop_back();
  const DWORD attrs = GetFileAttributesW(W(ExtendedLengthPath(facts.Full)));
  facts.IsLink = attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
  facts.Long = ComparableForm(facts.Full);
  facts.Final = FinalPathName(facts.Full);
  // Most folders resolve to themselves: their comparable form is known then
  // (each form asks the system once per path component).
  if (!facts.Final.empty()) facts.FinalLong = facts.Final == facts.Full ? facts.Long : ComparableForm(facts.Final);
  facts.Protected = ProtectedSystemFolders();
  return facts;
}

std::optional<TRemovalTarget> RemovableFolder(const std::u16string& path) {
  // Relative forms would be resolved against the current folder: refused
  // before the system makes them full.
  if (ClassifyPath(path) != TPathShape::Folder) return std::nullopt;
  return DecideRemovableFolder(path, FolderFacts(path));
}

namespace {

// The link goes only once what it leads to has gone: on Windows removing it
// never touches the target, so a target left with a locked file would lose
// its only way in. (Wine cannot remove a link at all: the call reaches the
// target, which is gone by then, and fails.)
void RemoveLinkOf(const TRemovalTarget& target) {
  if (!target.Link.empty() && GetFileAttributesW(W(ExtendedLengthPath(target.Tree))) == INVALID_FILE_ATTRIBUTES)
    RemoveDirectoryW(W(ExtendedLengthPath(target.Link)));
}

}  // namespace

void RemoveFolderOf(const TRemovalTarget& target) {
  RemoveDirectoryW(W(ExtendedLengthPath(target.Tree)));
  RemoveLinkOf(target);
}

std::int32_t CountEntries(const std::u16string& path) {
  const auto target = RemovableFolder(path);
  return target ? CountTree(target->Tree, nullptr) : 0;
}

std::int32_t CountEntriesAndKeep(const std::u16string& path) {
  Kept.reset();
  const auto target = RemovableFolder(path);
  if (!target) return 0;
  Kept.emplace();
  Kept->Tree = target->Tree;
  return CountTree(target->Tree, &*Kept);
}

void TMainForm::DeleteFolder(const std::u16string& path) {
  // A kept listing serves this walk only, and only of the folder it lists.
  const std::optional<TTreeListing> kept = std::exchange(Kept, std::nullopt);
  if (const auto target = RemovableFolder(path)) {
    const bool useKept = kept && kept->Tree == target->Tree && !kept->Blocks.empty();
    TProgressStepper progress(PB.Handle);
    DeleteTree(target->Tree, progress, useKept ? &*kept : nullptr, useKept ? 0 : -1);
    RemoveLinkOf(*target);  // the walk has removed the tree's own folder
  }
}

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
