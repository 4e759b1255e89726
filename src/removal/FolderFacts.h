#ifndef QM_REMOVAL_FOLDERFACTS_H
#define QM_REMOVAL_FOLDERFACTS_H

// What the system says of a folder that a removal is asked to walk, and the
// decision on it.

#include <optional>
#include <string>

#include "removal/PathSafety.h"

// What the system says of the folder at path (a full path): its forms,
// whether it is a link, who owns the link and where it leads, and the
// system's own folders.
TFolderFacts FolderFacts(const std::u16string& path);

// What a removal may walk for path (DecideRemovableFolder on FolderFacts);
// nothing for relative paths and roots, the system's own folders and any
// folder that holds one; only the link itself for a link not to be followed.
std::optional<TRemovalTarget> RemovableFolder(const std::u16string& path,
                                              TLinkRule rule = TLinkRule::FollowTrustedLink);

#endif
