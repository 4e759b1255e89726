// The registry cleanup: the product's file types, registrations and its
// entry in the list of installed programs.

#include <windows.h>

#include <vector>

#include "app/Config.h"
#include "app/Responsive.h"
#include "base/ScopedHandle.h"
#include "base/Win32Text.h"
#include "removal/ProductKeys.h"
#include "ui/Main.h"

namespace {

HKEY RootKey(TRegRoot root) {
  switch (root) {
    case TRegRoot::ClassesRoot:
      return HKEY_CLASSES_ROOT;
    case TRegRoot::CurrentUser:
      return HKEY_CURRENT_USER;
    case TRegRoot::LocalMachine:
      break;
  }
  return HKEY_LOCAL_MACHINE;
}

// Deletes the key at path below parent with its subtree, last subkey first;
// what cannot go stays, with every key above it. Failures are ignored.
void DeleteKeyTree(HKEY parent, const std::u16string& path) {
  KeepResponsive();
  HKEY opened = nullptr;
  const LONG open = RegOpenKeyExW(parent, W(path), 0, KEY_ALL_ACCESS, &opened);
  // Most of the product's keys are absent on a given machine: a key that is
  // not there cannot be deleted either, and one call is saved.
  if (open == ERROR_FILE_NOT_FOUND) return;
  if (open == ERROR_SUCCESS) {
    const TRegKey key(opened);
    DWORD count = 0, maxName = 0;
    if (RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &count, &maxName, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS) {
      std::vector<wchar_t> name(maxName + 1);
      for (DWORD i = count; i-- > 0;) {
        DWORD length = maxName + 1;
        if (RegEnumKeyExW(opened, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
          DeleteKeyTree(opened, U(name.data(), length));
      }
    }
  }
  RegDeleteKeyW(parent, W(path));
}

void DeleteKeys(const std::vector<TRegKeyPath>& keys) {
  for (const auto& k : keys) DeleteKeyTree(RootKey(k.Root), k.Path);
}

}  // namespace

void TMainForm::CleanRegistry() {
  try {
    DeleteKeys(ProductClassKeys());
  } catch (...) {
  }
}

// A block of its own, the last of the removal: whatever stopped the others,
// it is attempted, and until then the product can be removed again from the
// list of installed programs.
void TMainForm::RemoveUninstallEntry() {
  try {
    DeleteKeys(ProductUninstallKeys(AppName));
  } catch (...) {
  }
}
