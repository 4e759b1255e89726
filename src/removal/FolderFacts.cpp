#include "removal/FolderFacts.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "base/ScopedHandle.h"
#include "base/Win32Text.h"
#include "removal/PathForms.h"
#include "removal/SystemFolders.h"

namespace {

// The service SID of TrustedInstaller, which owns the system's own files.
constexpr wchar_t TrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1850103890-2521686466";

TLinkOwner OwnerKind(PSID owner) {
  if (!owner || !IsValidSid(owner)) return TLinkOwner::Unknown;
  if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) return TLinkOwner::Administrators;
  if (IsWellKnownSid(owner, WinLocalSystemSid)) return TLinkOwner::System;
  PSID installer = nullptr;
  TLinkOwner kind = TLinkOwner::Other;
  if (ConvertStringSidToSidW(TrustedInstallerSid, &installer)) {
    if (EqualSid(owner, installer)) kind = TLinkOwner::TrustedInstaller;
    LocalFree(installer);
  }
  return kind;
}

// The owner of the link at full itself, read through a handle to the link.
// Unknown when the handle is not the link: Wine opens what a link points to
// even when asked for the link itself, so under Wine every link's owner is
// unknown and no link is followed. (Windows opens the link, and reports the
// owner its maker gave it: an elevated administrator's links belong to the
// Administrators group, a standard user's to that user.)
TLinkOwner LinkOwnerOf(const std::u16string& full) {
  TFileHandle link(CreateFileW(W(ExtendedLengthPath(full)), READ_CONTROL | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!link.IsValid() || !GetFileInformationByHandleEx(link.Get(), FileAttributeTagInfo, &tag, sizeof tag) ||
      !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return TLinkOwner::Unknown;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(link.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &sd) !=
      ERROR_SUCCESS)
    return TLinkOwner::Unknown;
  const TLinkOwner kind = OwnerKind(owner);
  LocalFree(sd);
  return kind;
}

}  // namespace

TFolderFacts FolderFacts(const std::u16string& path) {
  TFolderFacts facts;
  facts.Full = FullPathName(path);
  while (facts.Full.size() > 3 && (facts.Full.back() == u'\\' || facts.Full.back() == u'/')) facts.Full.pop_back();
  const DWORD attrs = GetFileAttributesW(W(ExtendedLengthPath(facts.Full)));
  facts.IsLink = attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
  facts.Long = ComparableForm(facts.Full);
  facts.Final = FinalPathName(facts.Full);
  // Most folders resolve to themselves: their comparable form is known then
  // (each form asks the system once per path component).
  if (!facts.Final.empty()) facts.FinalLong = facts.Final == facts.Full ? facts.Long : ComparableForm(facts.Final);
  if (facts.IsLink) facts.LinkOwner = LinkOwnerOf(facts.Full);
  facts.Protected = ProtectedSystemFolders();
  return facts;
}

std::optional<TRemovalTarget> RemovableFolder(const std::u16string& path, TLinkRule rule) {
  // Relative forms would be resolved against the current folder: refused
  // before the system makes them full.
  if (ClassifyPath(path) != TPathShape::Folder) return std::nullopt;
  return DecideRemovableFolder(path, FolderFacts(path), rule);
}
