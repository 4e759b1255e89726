#ifndef QM_REMOVAL_FOLDERREMOVAL_H
#define QM_REMOVAL_FOLDERREMOVAL_H

// The removal's operations on folders and files: the entry count that sets
// the progress maximum, the file deletion, and the second removal of the
// product folder. (DeleteFolder itself is an operation of TMainForm.) Every
// one keeps to the product's own folders (FolderFacts.h) and walks them
// through handles (TreeWalk.h).

#include <windows.h>

#include <cstdint>
#include <string>

#include "removal/FolderFacts.h"
#include "removal/SystemFolders.h"
#include "removal/TreeWalk.h"

// The name of the product's uninstaller in the product folder.
constexpr char16_t UninstallerName[] = u"uninstall.exe";

// How a removal treats the folder it is asked to remove.
enum class TFolderRole : int {
  // The product folder: a link at it is followed when an administrator made
  // it, and "uninstall.exe" at its top stays for the last step, so that an
  // interrupted removal can be finished by running it again.
  Product,
  // A folder of the user's own (the Start-menu group): a link at it goes as
  // a link, never followed.
  UsersOwn,
};

// Deletes the file at path, or the link at path itself (to a file or a
// folder), never what a link leads to and never a folder. True on success;
// never throws.
bool DeleteFileOrLink(const std::u16string& path);

// The number of entries of the tree at path that sets the progress maximum
// (three files count 5, an empty folder 2); 0 for a missing folder, for any
// path RemovableFolder refuses, and for a link that is not followed. Never
// throws.
std::int32_t CountEntries(const std::u16string& path);

// CountEntries, keeping in keep what it listed (within keep's budget) for
// the DeleteFolder of the same folder that follows.
std::int32_t CountEntries(const std::u16string& path, TTreeListing& keep);

// The last removal of the product folder at path: "uninstall.exe" at its
// top, which the walk passed over (stepping bar, when not null, as the walk
// would have), then the folder once empty, then its link once the tree is
// gone. True when no uninstaller is left there.
bool RemoveFolderAgain(const std::u16string& path, HWND bar);

#endif
