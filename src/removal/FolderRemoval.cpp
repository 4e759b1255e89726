#include "removal/FolderRemoval.h"

#include <windows.h>

#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/FileHandles.h"
#include "removal/PathForms.h"
#include "removal/PathSafety.h"
#include "removal/ProgressStepper.h"
#include "ui/Main.h"

namespace {

// The link goes only once what it leads to has gone: removing it never
// touches the target, but a target left with a locked file would lose its
// only way in. A link not followed goes at once.
void RemoveLinkOf(const TRemovalTarget& target) {
  if (target.Link.empty()) return;
  if (target.Tree.empty() || GetFileAttributesW(W(ExtendedLengthPath(target.Tree))) == INVALID_FILE_ATTRIBUTES)
    RemoveLinkItself(target.Link);
}

}  // namespace

bool DeleteFileOrLink(const std::u16string& given) {
  const std::u16string path = NormalizePath(given);
  if (ClassifyPath(path) != TPathShape::Folder) return false;
  const std::u16string name = ExtractFileName(path);
  std::u16string parentPath = ExtractFilePath(path);
  if (parentPath.size() > 3 && parentPath.back() == u'\\') parentPath.pop_back();
  // The folder that holds it may be reached through links (a desktop moved
  // to another drive); the entry itself is opened as it is.
  const TFileHandle parent(CreateFileW(W(ExtendedLengthPath(parentPath)), FolderAccess, ShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!parent.IsValid()) return false;
  const TFileHandle entry = OpenRelative(parent.Get(), name, DELETE | FILE_READ_ATTRIBUTES, ShareAll, 0);
  if (!entry.IsValid()) return false;
  const DWORD attrs = AttributesOf(entry.Get());
  if (!attrs || ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT))) return false;
  // Windows opened the entry itself. Wine opens what a link leads to, as a
  // plain file: a handle that is not at this name in this folder is left.
  if (!(attrs & FILE_ATTRIBUTE_REPARSE_POINT) && !IsNamedEntryOf(parent.Get(), entry.Get(), name)) {
    const std::u16string longForm = LongPathName(path);
    if (longForm.empty() || !IsNamedEntryOf(parent.Get(), entry.Get(), name, ExtractFileName(longForm))) return false;
  }
  return MarkForDeletion(entry.Get());
}

std::int32_t CountEntries(const std::u16string& path) {
  const auto target = RemovableFolder(path);
  return target ? CountTree(*target, nullptr) : 0;
}

std::int32_t CountEntries(const std::u16string& path, TTreeListing& keep) {
  const auto target = RemovableFolder(path);
  return target ? CountTree(*target, &keep) : 0;
}

bool RemoveFolderAgain(const std::u16string& path, HWND bar) {
  const auto target = RemovableFolder(path);
  if (!target) return true;
  bool gone = true;
  if (!target->Tree.empty()) {
    TProgressStepper progress(bar);
    gone = DeleteTopFile(*target, UninstallerName, progress);
    RemoveEmptyTree(*target);
  }
  RemoveLinkOf(*target);
  return gone;
}

void TMainForm::DeleteFolder(const std::u16string& path, TFolderRole role, const TTreeListing* kept) {
  const bool product = role == TFolderRole::Product;
  const auto target = RemovableFolder(path, product ? TLinkRule::FollowTrustedLink : TLinkRule::RemoveLinkOnly);
  if (!target) return;
  if (!target->Tree.empty()) {
    TProgressStepper progress(PB.Handle);
    DeleteTree(*target, progress, kept, product ? std::u16string_view(UninstallerName) : std::u16string_view());
  }
  RemoveLinkOf(*target);
}
