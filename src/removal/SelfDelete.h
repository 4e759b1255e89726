#ifndef QM_REMOVAL_SELFDELETE_H
#define QM_REMOVAL_SELFDELETE_H

// The batch file that deletes the executable after its process has ended.

#include <string>

// Writes "$$QW_DEL.bat" beside exePath in the ANSI code page, replacing any
// file of that name; returns its (long) path, or the empty text when the file
// could not be created anew.
std::u16string WriteSelfDeleteBatch(const std::u16string& exePath);

#endif
