#ifndef QM_REMOVAL_FOLDERREMOVAL_H
#define QM_REMOVAL_FOLDERREMOVAL_H

// Folder walks of the removal: the entry count that sets the progress
// maximum, the file deletion, and the guard that keeps every walk inside the
// product's own folders. (DeleteFolder itself is an operation of TMainForm.)

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "removal/ProgressThrottle.h"

// Deletes the file at path; when that fails on a link to a folder, removes
// the link instead. True on success; never throws.
bool DeleteFileOrLink(const std::u16string& path);

// The number of entries of the tree at path that sets the progress maximum
// (three files count 5, an empty folder 2); 0 for a missing folder and for
// any path RemovableFolder refuses. Never throws.
std::int32_t CountEntries(const std::u16string& path);

// The full form of path, without trailing separator, when a removal may walk
// and remove it; nothing for relative paths, roots, links, the system's own
// folders and any folder that holds one of them.
std::optional<std::u16string> RemovableFolder(const std::u16string& path);

// Advances a progress bar once per deleted file while no messages are
// handled, drawing it only when TProgressThrottle says so; the last position
// is drawn by Finish, or on destruction.
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
