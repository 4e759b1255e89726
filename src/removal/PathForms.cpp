#include "removal/PathForms.h"

#include "base/ScopedHandle.h"
#include "base/Win32Text.h"
#include "removal/PathSafety.h"

std::u16string FullPathName(const std::u16string& path) {
  return FilledOr(path, [&](wchar_t* buf, DWORD size) { return GetFullPathNameW(W(path), size, buf, nullptr); });
}

// The system calls take the extended-length form, so that they work at any
// length; their answers come back in plain form.
std::u16string ComparableForm(const std::u16string& path) {
  const std::u16string full = ExtendedLengthPath(FullPathName(path));
  std::u16string form =
      NormalizePath(FilledOr(full, [&](wchar_t* buf, DWORD size) { return GetLongPathNameW(W(full), buf, size); }));
  if (!form.empty()) CharUpperBuffW(W(form.data()), static_cast<DWORD>(form.size()));
  return form;
}

std::u16string LongPathName(const std::u16string& path) {
  const std::u16string full = ExtendedLengthPath(path);
  return NormalizePath(
      FilledOr(std::u16string(), [&](wchar_t* buf, DWORD size) { return GetLongPathNameW(W(full), buf, size); }));
}

std::u16string FinalPathOf(HANDLE handle) {
  return NormalizePath(FilledOr(std::u16string(), [&](wchar_t* buf, DWORD size) {
    return GetFinalPathNameByHandleW(handle, buf, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }));
}

std::u16string FinalPathName(const std::u16string& full) {
  TFileHandle folder(CreateFileW(W(ExtendedLengthPath(full)), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return folder.IsValid() ? FinalPathOf(folder.Get()) : std::u16string();
}
