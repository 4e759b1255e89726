#ifndef QM_REMOVAL_FOLDERREMOVAL_H
#define QM_REMOVAL_FOLDERREMOVAL_H

// The removal's operations on folders and files: the entry count that sets
// the progress maximum, the file deletion, and the second removal of the
// product folder. (DeleteFolder itself is an operation of TMainForm.) Every
// one keeps to the product's own folders (FolderFacts.h) and walks them
// through handles (TreeWalk.h).

#include <cstdint>
#include <string>

#include "removal/FolderFacts.h"
#include "removal/SystemFolders.h"
#include "removal/TreeWalk.h"

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

// Removes the product folder at path once more when it is empty, then its
// link once the tree is gone. Outcomes are ignored.
void RemoveFolderAgain(const std::u16string& path);

#endif
