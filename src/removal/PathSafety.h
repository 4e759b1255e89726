#ifndef QM_REMOVAL_PATHSAFETY_H
#define QM_REMOVAL_PATHSAFETY_H

// Which paths a removal may touch: path shapes, lexical normalisation and the
// protected-folder rule. Portable: the list of protected folders comes from
// the Win32 side.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TPathShape {
  Relative,  // names nothing by itself: "", "foo", "\foo", "C:foo", device forms
  Root,      // a whole volume or share: "C:\", "\\server\share", "\\server"
  Folder,    // a full path below a root
};

// The shape of path; "/" counts as "\", "\\?\" and "\\?\UNC\" prefixes are
// looked through, "." and ".." are resolved first ("C:\Windows\.." is a root).
TPathShape ClassifyPath(std::u16string_view path);

// A full path in plain form: "/" as "\", no "\\?\" prefix, no repeated
// separators, "." and ".." resolved (never above the root), no trailing
// separator (but "C:\"), trailing dots and blanks of the last name removed.
// Letter case stays. A path that is not full comes back with only "/" changed.
std::u16string NormalizePath(std::u16string_view path);

// True when a and b name the same path after NormalizePath, ASCII case ignored.
bool SamePath(std::u16string_view a, std::u16string_view b);

// True when folder is path itself or one of the folders that hold it.
bool IsSameOrAncestor(std::u16string_view folder, std::u16string_view path);

// The system's own folders, as the Win32 side finds them.
struct TProtectedFolders {
  std::vector<std::u16string> Folders;     // never removed, nor any folder holding one
  std::vector<std::u16string> Containers;  // the same, and each direct child too (the Users folder)
};

// True when the folder at path may be walked and removed: a full path below a
// root that is no protected folder, holds none and is no container's child.
// Callers compare comparable forms (full, long, one letter case).
bool IsRemovableFolder(std::u16string_view path, const TProtectedFolders& protectedFolders);

// Who owns a link, as far as the system can tell: a link made by a standard
// user is owned by that user; only an administrator (or the system itself)
// can give one to the Administrators group, SYSTEM or TrustedInstaller.
enum class TLinkOwner { Unknown, Administrators, System, TrustedInstaller, Other };

// Whether a removal may follow the link at the folder it is asked to walk.
enum class TLinkRule : int {
  FollowTrustedLink,  // the product folder: a link an administrator made is followed
  RemoveLinkOnly,     // the user's own folders: a link there is removed as a link
};

// What the system says of a folder that a removal is asked to walk, gathered
// once on the Win32 side (FolderFacts.cpp). Long, FinalLong and the
// protected folders are comparable forms: full, long names, one letter case.
struct TFolderFacts {
  std::u16string Full;          // the full form, without trailing separator
  std::u16string Long;          // Full's comparable form
  bool IsLink = false;          // Full itself is a link (reparse point)
  std::u16string Final;         // what the system resolves Full to, links followed; empty when it cannot be opened
  std::u16string FinalLong;     // Final's comparable form; empty with Final
  TProtectedFolders Protected;  // the system's own folders
  TLinkOwner LinkOwner = TLinkOwner::Unknown;  // the owner of the link itself, when Full is one
};

// What a removal walks: the tree, and the link that led to it, removed once
// the tree is gone (empty when the folder is no link). A link that is not to
// be followed gives no tree: only the link itself goes.
struct TRemovalTarget {
  std::u16string Tree;
  std::u16string Link;
  std::u16string TreeLong;  // the tree's comparable form as the system resolves it (empty when it cannot tell)
};

// The decision on a folder to walk, from the facts: nothing for a requested
// path that is relative or a root, for a protected folder or one holding one
// (by its own name or by what it resolves to). A link is followed only under
// FollowTrustedLink, when an administrator owns it and its target is safe
// (known, no protected folder, not holding the link): that folder is the tree
// and the link goes after it. Any other link is removed as a link, its
// target kept.
std::optional<TRemovalTarget> DecideRemovableFolder(std::u16string_view requested, const TFolderFacts& facts,
                                                    TLinkRule rule = TLinkRule::FollowTrustedLink);

// True for the owners a link is followed for: Administrators, SYSTEM,
// TrustedInstaller.
bool IsTrustedLinkOwner(TLinkOwner owner);

// True when name can only name an entry directly inside a folder: not empty
// after Trim, not made of dots and blanks alone, and free of "\", "/" and ":".
bool IsPlainName(std::u16string_view name);

// A full path in the form the file APIs take beyond 260 characters: "\\?\"
// (or "\\?\UNC\" for a share) before it once it is that long; shorter
// paths and paths already in that form come back unchanged.
std::u16string ExtendedLengthPath(std::u16string_view full);

#endif
