#ifndef QM_REMOVAL_SELFDELETEBATCH_H
#define QM_REMOVAL_SELFDELETEBATCH_H

// The text of the batch file that deletes the executable once its process
// has gone, then itself. Portable.

#include <string>
#include <string_view>

// The batch file's name beside the executable.
inline constexpr std::u16string_view SelfDeleteBatchName = u"$$QW_DEL.bat";

// The path as the command interpreter must read it: every "%" doubled, since
// it expands "%" even between quotes.
std::u16string EscapeBatchPercent(std::u16string_view path);

// Four lines, each ending with CR LF: retry deleting exePath while it exists,
// then delete batPath. Both paths stand between double quotes, "%" doubled.
std::u16string SelfDeleteBatchText(std::u16string_view exePath, std::u16string_view batPath);

#endif
