#ifndef QM_REMOVAL_FILEHANDLES_H
#define QM_REMOVAL_FILEHANDLES_H

// Files and folders through handles: an entry is opened relative to the
// handle of the folder that holds it, without following a link at its name,
// so that what is checked through a handle is what is acted on.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/ScopedHandle.h"

// What a folder listing gives of one entry. Name is valid until the next
// entry is read.
struct TListedEntry {
  std::u16string_view Name;
  DWORD Attributes = 0;
  std::uint64_t Id = 0;  // the file system's id of the entry (of what a link leads to, under Wine)
};

// A folder's entries, "." and ".." included, in the order the file system
// returns them, read through the folder's handle a buffer at a time.
class TFolderLister {
 public:
  explicit TFolderLister(HANDLE folder);
  // The next entry into entry; false at the end or on an error.
  bool Next(TListedEntry& entry);

 private:
  bool Fill();
  HANDLE FFolder;
  std::unique_ptr<std::uint64_t[]> FBuffer;
  std::size_t FOffset = 0;
  bool FFilled = false;
  bool FEnded = false;
};

// The sharing a walk holds a folder with: others may read and write in it,
// but not rename, replace or delete it.
constexpr DWORD FolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// What a walk opens a folder for: listing it and reading its attributes.
constexpr ACCESS_MASK FolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// Opens name inside the folder open as parent, never through a link at that
// name (the link itself is opened; Wine opens what it leads to). options are
// NtCreateFile's (FILE_DIRECTORY_FILE, FILE_NON_DIRECTORY_FILE); the
// handle is synchronous. status, when given, receives the system's status.
TFileHandle OpenRelative(HANDLE parent, std::u16string_view name, ACCESS_MASK access, DWORD share, ULONG options,
                         LONG* status = nullptr);

// Opens the entry at a full path itself (a link at its last name is not
// followed), for access, with share; an empty handle when that fails.
TFileHandle OpenEntry(const std::u16string& path, ACCESS_MASK access, DWORD share);

// The attributes of the open entry; 0 when they cannot be read.
DWORD AttributesOf(HANDLE handle);

// True when the open entry is a folder and no link.
bool IsPlainFolder(HANDLE handle);

// The file system's id of the open entry; 0 when it cannot be read.
std::uint64_t IdOf(HANDLE handle);

// Marks the open entry for deletion once its last handle closes (a folder
// only when empty). The handle needs DELETE access.
bool MarkForDeletion(HANDLE handle);

// Sets the open entry's attributes to FILE_ATTRIBUTE_ARCHIVE alone. The
// handle needs FILE_WRITE_ATTRIBUTES access.
bool ResetToArchive(HANDLE handle);

// True when a and b are the same name, letter case aside (any script).
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

// True when the system's own final names of folder and entry show entry
// directly inside folder under the name name (or its long form long name),
// letter case aside. Where the system opens what a link leads to (Wine),
// this is how a link shows itself. True when the system cannot tell final
// names (then it is Windows, which opens a link itself).
bool IsNamedEntryOf(HANDLE folder, HANDLE entry, std::u16string_view name, std::u16string_view longName = {});

#endif
