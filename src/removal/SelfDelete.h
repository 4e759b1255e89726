#ifndef QM_REMOVAL_SELFDELETE_H
#define QM_REMOVAL_SELFDELETE_H

// The batch file that deletes the executable after its process has ended.

#include <string>

// Writes "$$QW_DEL.bat" beside exePath in the console's OEM code page, which
// the command interpreter reads it in, replacing any file of that name. Each
// path stands in a form that code page holds: itself, its short form, or its
// name alone (resolved in the batch file's folder, where it is started).
// Returns the batch file's (long) path, or the empty text when it could not be
// created anew or a name has no such form (the executable then stays).
std::u16string WriteSelfDeleteBatch(const std::u16string& exePath);

#endif
