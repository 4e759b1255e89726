#ifndef QM_REMOVAL_SYSTEMFOLDERS_H
#define QM_REMOVAL_SYSTEMFOLDERS_H

// The system's own folders, which no removal may walk: Windows, Program
// Files, the profiles and the user's shell folders, the temporary folder.

#include "removal/PathSafety.h"

// Looks up the system's own folders now rather than in the first removal;
// they are looked up once per process.
void LookUpSystemFolders();

// The system's own folders in comparable form, looked up on first use.
const TProtectedFolders& ProtectedSystemFolders();

#endif
