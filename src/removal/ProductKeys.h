#ifndef QM_REMOVAL_PRODUCTKEYS_H
#define QM_REMOVAL_PRODUCTKEYS_H

// The registry keys the product leaves behind, in the order the cleanup
// deletes them. Portable.

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The media file extensions the product registers, upper case, no dot.
extern const std::array<std::u16string_view, 81> AssocExts;

enum class TRegRoot { ClassesRoot, CurrentUser, LocalMachine };

struct TRegKeyPath {
  TRegRoot Root;
  std::u16string Path;
  bool operator==(const TRegKeyPath&) const = default;
};

// The file types, application and folder verbs, media client and autoplay
// handlers: 336 keys, in deletion order (337 deletions with the product's
// Uninstall entry of ProductUninstallKeys).
std::vector<TRegKeyPath> ProductClassKeys();

// The product's own entry in the list of installed programs; none when
// appName is empty or holds "\" (it would name the list itself or another
// program's key).
std::vector<TRegKeyPath> ProductUninstallKeys(std::u16string_view appName);

#endif
