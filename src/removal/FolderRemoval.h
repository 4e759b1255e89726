#ifndef QM_REMOVAL_FOLDERREMOVAL_H
#define QM_REMOVAL_FOLDERREMOVAL_H

// Folder walks of the removal: the entry count that sets the progress
// maximum, the file deletion, and the guard that keeps every walk inside the
// product's own folders. (DeleteFolder itself is an operation of TMainForm.)

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "removal/PathSafety.h"
#include "removal/ProgressThrottle.h"

// Deletes the file at path; when that fails on a link to a folder, removes
// the link instead. True on success; never throws.
bool DeleteFileOrLink(const std::u16string& path);

// The number of entries of the tree at path that sets the progress maximum
// (three files count 5, an empty folder 2); 0 for a missing folder and for
// any path RemovableFolder refuses. Never throws.
std::int32_t CountEntries(const std::u16string& path);

// CountEntries, keeping what it listed for the DeleteFolder that follows at
// once on the same folder, which then walks those listings instead of asking
// the system again (it still lists the subfolders the count does not list).
// Only for a walk that nothing may change the tree before: the next
// DeleteFolder takes the kept listings, whatever folder it walks.
std::int32_t CountEntriesAndKeep(const std::u16string& path);

// Looks up the system's own folders, which every guard below compares with,
// now rather than in the first removal; they are looked up once per process.
void LookUpSystemFolders();

// What the system says of the folder at path (a full path): its forms, whether
// it is a link and where it leads, and the system's own folders.
TFolderFacts FolderFacts(const std::u16string& path);

// What a removal may walk for path (DecideRemovableFolder on FolderFacts);
// nothing for relative paths and roots, the system's own folders, any folder
// that holds one, and links that lead to none of ours.
std::optional<TRemovalTarget> RemovableFolder(const std::u16string& path);

// Removes the target's tree folder when it is empty, then its link once the
// tree is gone. Outcomes are ignored.
void RemoveFolderOf(const TRemovalTarget& target);

// Advances a progress bar once per deleted file, drawing it at once (not on
// the next paint message) but only when TProgressThrottle says so; the last
// position is drawn by Finish, or on destruction.
class TProgressStepper {
 public:
  explicit TProgressStepper(HWND bar);
  ~TProgressStepper() { Finish(); }
  TProgressStepper(const TProgressStepper&) = delete;
  TProgressStepper& operator=(const TProgressStepper&) = delete;

  void Step();
  void Finish();

 private:
  void Draw();
  HWND FBar;
  std::optional<TProgressThrottle> FThrottle;
};

#endif
