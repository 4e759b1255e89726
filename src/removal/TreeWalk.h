#ifndef QM_REMOVAL_TREEWALK_H
#define QM_REMOVAL_TREEWALK_H

// The two walks over a folder tree, the count and the deletion, through
// handles: each folder is opened relative to its parent's handle without
// following a link, checked through that handle to be a plain folder, held
// so that it cannot be renamed or replaced while the walk works in it,
// listed from that handle, and its entries deleted relative to it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "removal/PathSafety.h"

class TProgressStepper;

// The listings a count took, kept for the deletion that follows it, which
// then asks the system for them only once. Within a budget: past it the
// count keeps no more, and the deletion lists the other folders afresh. A
// kept listing serves only the very folder it was taken of (the same id,
// entered and checked by the deletion itself).
struct TTreeListing {
  static constexpr std::size_t DefaultBudget = std::size_t{3} << 20;

  struct TEntry {
    std::uint64_t Id;  // the entry's id when listed
    std::uint32_t NameStart;
    std::uint32_t Attributes;
    std::uint16_t NameLength;
    std::int32_t Block;  // the subfolder's own listing, or -1
  };
  struct TBlock {
    std::uint32_t First, Last;  // [First, Last) of Entries
  };

  explicit TTreeListing(std::size_t budget = DefaultBudget) : Budget(budget) {}
  // What the kept listings take of memory now, in bytes.
  std::size_t Bytes() const;
  // Keeps one more entry of the block being listed; false when that would go
  // past the budget (nothing is kept then).
  bool Keep(std::u16string_view name, std::uint32_t attributes, std::uint64_t id);

  std::u16string Tree;          // the folder listed, as the deletion names it
  std::uint64_t TreeId = 0;     // its id when listed
  std::vector<char16_t> Names;  // every kept name, one after the other
  std::vector<TEntry> Entries;
  std::vector<TBlock> Blocks;  // Blocks[0] lists Tree itself
  std::size_t Budget;
  bool Exhausted = false;  // the budget ran out before the count's end
};

// The count of the tree of target (see CountEntries); keeps its listings in
// keep, when given. 0 when the tree's folder cannot be opened as a plain
// folder where the decision found it.
std::int32_t CountTree(const TRemovalTarget& target, TTreeListing* keep);

// Deletes the tree of target depth first, the tree's own folder last,
// stepping progress once per deleted file; takes the kept listings of
// folders that are still the ones listed. A file named passOver at the
// tree's top (letter case aside) stays, and so does the tree's folder then.
void DeleteTree(const TRemovalTarget& target, TProgressStepper& progress, const TTreeListing* kept,
                std::u16string_view passOver = {});

// Deletes the file named name at the top of the tree of target, through the
// tree's checked folder; steps progress when it went. True when it went or
// was not there.
bool DeleteTopFile(const TRemovalTarget& target, std::u16string_view name, TProgressStepper& progress);

// Removes the tree's own folder when it is empty. True when it went.
bool RemoveEmptyTree(const TRemovalTarget& target);

// Removes the link at path itself, never what it leads to; false where it is
// no link, or the system cannot remove a link (Wine).
bool RemoveLinkItself(const std::u16string& path);

#endif
