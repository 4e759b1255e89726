#include "removal/TreeWalk.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>

#include "app/Responsive.h"
#include "base/ScopedHandle.h"
#include "removal/FileHandles.h"
#include "removal/PathForms.h"
#include "removal/ProgressStepper.h"

namespace {

constexpr LONG StatusSharingViolation = static_cast<LONG>(0xC0000043);
constexpr LONG StatusNameNotFound = static_cast<LONG>(0xC0000034);

// A subfolder to walk: the directory bit without the reparse-point bit. An
// entry with both is a link to a folder and is treated like a file.
bool IsSubfolder(DWORD attrs) { return (attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT); }

bool IsDotEntry(std::u16string_view name) { return name == u"." || name == u".."; }

// The tree's own folder, held as the walks hold every folder: opened at its
// name itself (a link there is not followed), a plain folder, and the one the
// decision found (the system resolves it to the same place). With DELETE
// access where the system grants it, for the deletion.
TFileHandle OpenTreeRoot(const TRemovalTarget& target, bool forDeletion) {
  if (target.Tree.empty()) return {};
  TFileHandle root;
  if (forDeletion) root = OpenEntry(target.Tree, FolderAccess | DELETE, FolderShare);
  // Without DELETE (the folder is someone's current folder, or its rights
  // deny it): its contents can go all the same.
  if (!root.IsValid()) root = OpenEntry(target.Tree, FolderAccess, FolderShare);
  if (!root.IsValid() || !IsPlainFolder(root.Get())) return {};
  // Empty on both sides where the system cannot tell final names (some
  // network and third-party file systems).
  std::u16string final = FinalPathOf(root.Get());
  if (!final.empty()) CharUpperBuffW(reinterpret_cast<wchar_t*>(final.data()), static_cast<DWORD>(final.size()));
  if (final != target.TreeLong) return {};
  return root;
}

// Opens a subfolder that a listing of parent showed, for the walk: the
// handle when it is a plain folder still at that name. A folder that is no
// longer the one listed (another id) must prove its name through the system's
// final names: where the system opens what a link leads to (Wine), that is
// how a link swapped in since the listing shows.
TFileHandle EnterSubfolder(HANDLE parent, std::u16string_view name, std::uint64_t listedId, ACCESS_MASK access,
                           bool& sameAsListed, bool& isLink) {
  sameAsListed = false;
  isLink = false;
  TFileHandle folder = OpenRelative(parent, name, access, FolderShare, FILE_DIRECTORY_FILE);
  if (!folder.IsValid() && (access & DELETE))
    folder = OpenRelative(parent, name, access & ~DELETE, FolderShare, FILE_DIRECTORY_FILE);
  if (!folder.IsValid()) return {};
  const DWORD attrs = AttributesOf(folder.Get());
  if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
    isLink = true;  // the handle is the link itself
    return folder;
  }
  if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) return {};
  sameAsListed = IdOf(folder.Get()) == listedId;
  if (!sameAsListed && !IsNamedEntryOf(parent, folder.Get(), name)) return {};
  return folder;
}

// The count of the folder open as folder; its listing kept as a block of
// keep (its index in block) when keep is given and has room.
std::int32_t CountFolder(HANDLE folder, TTreeListing* keep, std::int32_t& block) {
  struct TSub {
    std::u16string Name;
    std::uint64_t Id;
    std::int32_t Entry;  // its kept entry, or -1
  };
  std::int32_t n = 0;
  std::vector<TSub> subfolders;  // the ones counted, in listing order
  bool keeping = keep && !keep->Exhausted;
  const auto firstEntry = static_cast<std::uint32_t>(keeping ? keep->Entries.size() : 0);
  const std::size_t firstName = keeping ? keep->Names.size() : 0;
  // The folder's own listing is taken whole before its subfolders are
  // counted, so that a folder's kept entries lie together.
  TFolderLister lister(folder);
  TListedEntry e;
  while (lister.Next(e)) {
    ++n;
    if (keeping && !keep->Keep(e.Name, e.Attributes, e.Id)) {
      keeping = false;
      keep->Exhausted = true;
      keep->Entries.resize(firstEntry);
      keep->Names.resize(firstName);
      for (auto& s : subfolders) s.Entry = -1;
    }
    KeepResponsive();
    if (e.Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    if (!IsSubfolder(e.Attributes) || e.Name.starts_with(u'.')) continue;
    subfolders.push_back({std::u16string(e.Name), e.Id,
                          keeping ? static_cast<std::int32_t>(keep->Entries.size() - 1) : std::int32_t{-1}});
  }
  block = -1;
  if (keeping) {
    block = static_cast<std::int32_t>(keep->Blocks.size());
    keep->Blocks.push_back({firstEntry, static_cast<std::uint32_t>(keep->Entries.size())});
  }
  for (const auto& s : subfolders) {
    const TFileHandle sub = OpenRelative(folder, s.Name, FolderAccess, FolderShare, FILE_DIRECTORY_FILE);
    if (!sub.IsValid() || !IsPlainFolder(sub.Get())) continue;
    // Only a listing of the very folder listed is kept for the deletion.
    const bool keepSub = keep && s.Entry >= 0 && IdOf(sub.Get()) == s.Id;
    std::int32_t subBlock = -1;
    n += CountFolder(sub.Get(), keepSub ? keep : nullptr, subBlock);
    if (keepSub) keep->Entries[static_cast<std::size_t>(s.Entry)].Block = subBlock;
  }
  return n;
}

// Deletes what a listing showed as a file or a link, inside the folder open
// as parent: the entry itself, never what a link leads to.
bool DeleteEntry(HANDLE parent, std::u16string_view name, DWORD attrs) {
  const bool link = attrs & FILE_ATTRIBUTE_REPARSE_POINT;
  // Links keep their attributes: Wine applies an attribute change to what a
  // link points to, and that is not ours.
  const bool reset = !link && attrs != FILE_ATTRIBUTE_ARCHIVE;
  const ULONG options = (attrs & FILE_ATTRIBUTE_DIRECTORY) ? 0 : FILE_NON_DIRECTORY_FILE;
  const ACCESS_MASK access = DELETE | FILE_READ_ATTRIBUTES | (reset ? FILE_WRITE_ATTRIBUTES : 0);
  LONG status = 0;
  TFileHandle entry = OpenRelative(parent, name, access, ShareAll, options, &status);
  if (!entry.IsValid()) {
    // Held open by another process without delete sharing: it stays, its
    // attributes reset all the same.
    if (reset && status == StatusSharingViolation) {
      const TFileHandle held =
          OpenRelative(parent, name, FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, ShareAll, options);
      if (held.IsValid()) ResetToArchive(held.Get());
    }
    return false;
  }
  // A link to a folder is opened as the link on Windows. Wine opens the
  // folder it leads to, without the reparse bit: that one stays.
  if (link && !(AttributesOf(entry.Get()) & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  if (reset) ResetToArchive(entry.Get());
  // Under Wine a link to a file (which only the Linux side can make there)
  // shows as a plain file, and its deletion reaches the file it leads to;
  // Windows deletes the link itself.
  return MarkForDeletion(entry.Get());
}

class TDeletion {
 public:
  TDeletion(TProgressStepper& progress, const TTreeListing* kept, std::u16string_view passOver)
      : FProgress(progress), FKept(kept), FPassOver(passOver) {}

  // Deletes the entries of the folder open as folder (from its kept block,
  // or from a listing of its own when block is -1), then the folder itself.
  void Folder(HANDLE folder, std::int32_t block, bool top = false) {
    if (FKept && block >= 0) {
      const TTreeListing::TBlock b = FKept->Blocks[static_cast<std::size_t>(block)];
      const std::u16string_view names(FKept->Names.data(), FKept->Names.size());
      for (std::uint32_t i = b.First; i < b.Last; ++i) {
        const TTreeListing::TEntry& e = FKept->Entries[i];
        Entry(folder, names.substr(e.NameStart, e.NameLength), e.Attributes, e.Id, e.Block, top);
        KeepResponsive();
      }
    } else {
      TFolderLister lister(folder);
      TListedEntry e;
      while (lister.Next(e)) {
        Entry(folder, e.Name, e.Attributes, e.Id, -1, top);
        KeepResponsive();
      }
    }
    MarkForDeletion(folder);  // goes when the handle closes, if it is empty
  }

 private:
  void Entry(HANDLE folder, std::u16string_view name, DWORD attrs, std::uint64_t id, std::int32_t block, bool top) {
    if (!IsSubfolder(attrs)) {
      if (top && !FPassOver.empty() && EqualIgnoringCase(name, FPassOver)) return;
      if (DeleteEntry(folder, name, attrs)) FProgress.Step();
      return;
    }
    if (IsDotEntry(name)) return;
    bool same = false, isLink = false;
    const TFileHandle sub = EnterSubfolder(folder, name, id, FolderAccess | DELETE, same, isLink);
    if (!sub.IsValid()) return;
    if (isLink) {
      // A link put in the folder's place since the listing goes as a link.
      if (MarkForDeletion(sub.Get())) FProgress.Step();
      return;
    }
    Folder(sub.Get(), same ? block : -1);
  }

  TProgressStepper& FProgress;
  const TTreeListing* FKept;
  std::u16string_view FPassOver;
};

}  // namespace

std::size_t TTreeListing::Bytes() const {
  return Names.capacity() * sizeof(char16_t) + Entries.capacity() * sizeof(TEntry) + Blocks.capacity() * sizeof(TBlock);
}

bool TTreeListing::Keep(std::u16string_view name, std::uint32_t attributes, std::uint64_t id) {
  // The containers grow by doubling, as far as the budget allows; past the
  // budget nothing more is kept. A block is needed for each folder too: room
  // for one more is made with each entry.
  const auto grow = [this](auto& container, std::size_t needed, std::size_t unit) {
    if (needed <= container.capacity()) return true;
    const std::size_t others = Bytes() - container.capacity() * unit;
    if (others > Budget) return false;
    const std::size_t room = (Budget - others) / unit;
    const std::size_t want = std::min(std::max<std::size_t>({needed, container.capacity() * 2, 256}), room);
    if (want < needed) return false;
    container.reserve(want);
    return true;
  };
  if (name.size() > 0xFFFF || Names.size() + name.size() > 0xFFFFFFFFu) return false;
  if (!grow(Names, Names.size() + name.size(), sizeof(char16_t)) ||
      !grow(Entries, Entries.size() + 1, sizeof(TEntry)) || !grow(Blocks, Blocks.size() + 1, sizeof(TBlock)))
    return false;
  Entries.push_back(
      {id, static_cast<std::uint32_t>(Names.size()), attributes, static_cast<std::uint16_t>(name.size()), -1});
  Names.insert(Names.end(), name.begin(), name.end());
  return true;
}

std::int32_t CountTree(const TRemovalTarget& target, TTreeListing* keep) {
  const TFileHandle root = OpenTreeRoot(target, false);
  if (!root.IsValid()) return 0;
  if (keep) {
    keep->Tree = target.Tree;
    keep->TreeId = IdOf(root.Get());
  }
  std::int32_t block = -1;
  return CountFolder(root.Get(), keep, block);
}

void DeleteTree(const TRemovalTarget& target, TProgressStepper& progress, const TTreeListing* kept,
                std::u16string_view passOver) {
  const TFileHandle root = OpenTreeRoot(target, true);
  if (!root.IsValid()) return;
  // The kept listings serve only the tree they list, still the same folder.
  const bool useKept = kept && !kept->Blocks.empty() && kept->Tree == target.Tree && kept->TreeId == IdOf(root.Get());
  TDeletion(progress, useKept ? kept : nullptr, passOver).Folder(root.Get(), useKept ? 0 : -1, true);
}

bool DeleteTopFile(const TRemovalTarget& target, std::u16string_view name, TProgressStepper& progress) {
  const TFileHandle root = OpenTreeRoot(target, false);
  if (!root.IsValid()) {
    const std::u16string path = target.Tree + u"\\" + std::u16string(name);
    return GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) == INVALID_FILE_ATTRIBUTES;
  }
  DWORD attrs = 0;
  {
    LONG status = 0;
    const TFileHandle probe = OpenRelative(root.Get(), name, FILE_READ_ATTRIBUTES, ShareAll, 0, &status);
    if (!probe.IsValid()) return status == StatusNameNotFound;
    attrs = AttributesOf(probe.Get());
  }
  if (!attrs || IsSubfolder(attrs) || !DeleteEntry(root.Get(), name, attrs)) return false;
  progress.Step();
  return true;
}

bool RemoveEmptyTree(const TRemovalTarget& target) {
  const TFileHandle root = OpenTreeRoot(target, true);
  return root.IsValid() && MarkForDeletion(root.Get());
}

bool RemoveLinkItself(const std::u16string& path) {
  const TFileHandle link = OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES, ShareAll);
  // Wine opens what the link leads to, without the reparse bit: left there.
  return link.IsValid() && (AttributesOf(link.Get()) & FILE_ATTRIBUTE_REPARSE_POINT) && MarkForDeletion(link.Get());
}
