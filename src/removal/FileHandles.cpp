#include "removal/FileHandles.h"

#include <winternl.h>

#include "base/Win32Text.h"
#include "removal/PathForms.h"
#include "removal/PathSafety.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine, PVOID ApcContext,
                                               PIO_STATUS_BLOCK IoStatusBlock, PVOID FileInformation, ULONG Length,
                                               FILE_INFORMATION_CLASS FileInformationClass, BOOLEAN ReturnSingleEntry,
                                               PUNICODE_STRING FileName, BOOLEAN RestartScan);

namespace {

constexpr NTSTATUS StatusSuccess = 0;
// A listing's buffer: some 300 entries of media-library names per call.
constexpr std::size_t ListBufferBytes = 32 * 1024;

}  // namespace

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return CompareStringOrdinal(reinterpret_cast<LPCWCH>(a.data()), static_cast<int>(a.size()),
                              reinterpret_cast<LPCWCH>(b.data()), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

TFolderLister::TFolderLister(HANDLE folder)
    : FFolder(folder), FBuffer(new std::uint64_t[ListBufferBytes / sizeof(std::uint64_t)]) {}

bool TFolderLister::Fill() {
  IO_STATUS_BLOCK io{};
  // STATUS_NO_MORE_FILES ends the listing, as does any error.
  const NTSTATUS status =
      NtQueryDirectoryFile(FFolder, nullptr, nullptr, nullptr, &io, FBuffer.get(), static_cast<ULONG>(ListBufferBytes),
                           FileIdFullDirectoryInformation, FALSE, nullptr, FFilled ? FALSE : TRUE);
  FFilled = true;
  FOffset = 0;
  return status == StatusSuccess && io.Information > 0;
}

bool TFolderLister::Next(TListedEntry& entry) {
  if (FEnded) return false;
  if (FOffset == 0 && !Fill()) {
    FEnded = true;
    return false;
  }
  const auto* e =
      reinterpret_cast<const FILE_ID_FULL_DIR_INFORMATION*>(reinterpret_cast<const char*>(FBuffer.get()) + FOffset);
  entry.Name = std::u16string_view(reinterpret_cast<const char16_t*>(e->FileName), e->FileNameLength / 2);
  entry.Attributes = e->FileAttributes;
  entry.Id = static_cast<std::uint64_t>(e->FileId.QuadPart);
  // Offset 0 asks for the next buffer.
  FOffset = e->NextEntryOffset ? FOffset + e->NextEntryOffset : 0;
  return true;
}

TFileHandle OpenRelative(HANDLE parent, std::u16string_view name, ACCESS_MASK access, DWORD share, ULONG options,
                         LONG* status) {
  UNICODE_STRING us;
  us.Length = us.MaximumLength = static_cast<USHORT>(name.size() * sizeof(char16_t));
  us.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(name.data()));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &us, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS result = NtCreateFile(
      &handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, share, FILE_OPEN,
      options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status) *status = result;
  return TFileHandle(result == StatusSuccess ? handle : nullptr);
}

TFileHandle OpenEntry(const std::u16string& path, ACCESS_MASK access, DWORD share) {
  return TFileHandle(CreateFileW(W(ExtendedLengthPath(path)), access, share, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

DWORD AttributesOf(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ? tag.FileAttributes : 0;
}

bool IsPlainFolder(HANDLE handle) {
  const DWORD attrs = AttributesOf(handle);
  return (attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::uint64_t IdOf(HANDLE handle) {
  IO_STATUS_BLOCK io{};
  LARGE_INTEGER id{};  // FILE_INTERNAL_INFORMATION
  if (NtQueryInformationFile(handle, &io, &id, sizeof id, FileInternalInformation) != StatusSuccess) return 0;
  return static_cast<std::uint64_t>(id.QuadPart);
}

bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = TRUE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info);
}

bool ResetToArchive(HANDLE handle) {
  FILE_BASIC_INFO info{};  // times of 0 stay as they are
  info.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
  return SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info);
}

bool IsNamedEntryOf(HANDLE folder, HANDLE entry, std::u16string_view name, std::u16string_view longName) {
  const std::u16string folderFinal = FinalPathOf(folder);
  const std::u16string entryFinal = FinalPathOf(entry);
  // A system that cannot tell final names (some network and third-party
  // file systems) is Windows, which opened the entry itself.
  if (folderFinal.empty() || entryFinal.empty()) return true;
  const size_t slash = entryFinal.rfind(u'\\');
  if (slash == std::u16string::npos) return false;
  const std::u16string_view entryName = std::u16string_view(entryFinal).substr(slash + 1);
  std::u16string_view entryFolder = std::u16string_view(entryFinal).substr(0, slash);
  if (entryFolder.size() == 2) entryFolder = std::u16string_view(entryFinal).substr(0, 3);  // "C:\"
  return EqualIgnoringCase(entryFolder, folderFinal) &&
         (EqualIgnoringCase(entryName, name) || (!longName.empty() && EqualIgnoringCase(entryName, longName)));
}
