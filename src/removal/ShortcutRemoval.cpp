// The Start-menu group and the desktop and SendTo shortcuts of the product.

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "app/Config.h"
#include "app/Responsive.h"
#include "base/Error.h"
#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/FolderRemoval.h"
#include "removal/PathSafety.h"
#include "ui/Main.h"

namespace {

constexpr wchar_t ShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

// A text value as stored (references not expanded), up to its first NUL;
// empty when the key or value is missing. Throws for a value that is no text.
std::u16string ReadTextValue(HKEY key, const std::u16string& name) {
  DWORD type = 0, size = 0;
  if (!key || RegQueryValueExW(key, W(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw TError(FormatOne(u"Invalid data type for '%s'", name));
  std::u16string data(size / sizeof(char16_t) + 1, u'\0');
  size = static_cast<DWORD>(data.size()) * sizeof(char16_t);
  if (RegQueryValueExW(key, W(name), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
    return {};
  data.resize(std::min<size_t>(data.size(), size / sizeof(char16_t)));
  return data.substr(0, data.find(u'\0'));
}

// folder + "\" + name + suffix, when that names an entry directly inside a
// known folder; nothing for an unknown (empty or relative) folder or a name
// that could lead elsewhere.
std::optional<std::u16string> EntryIn(const std::u16string& folder, const std::u16string& name,
                                      const std::u16string& suffix = u"") {
  if (ClassifyPath(folder) == TPathShape::Relative || !IsPlainName(name)) return std::nullopt;
  return folder + u"\\" + name + suffix;
}

}  // namespace

void TMainForm::RemoveShortcuts() {
  if (!UninIni) return;  // start-up stopped before the configuration was read
  const TIniFile& ini = *UninIni;
  std::vector<std::u16string> sections;
  for (const auto& key : ini.ReadSection(u"Shortcuts")) sections.push_back(ini.ReadString(u"Shortcuts", key, u""));

  // Every value is read before anything is deleted: a value of the wrong
  // type ends the step with nothing removed.
  std::u16string programs, desktop, sendTo;
  const std::u16string startName = ini.ReadString(u"Information", u"StartName", u"");
  {
    HKEY opened = nullptr;
    TRegKey key(RegOpenKeyExW(HKEY_CURRENT_USER, ShellFoldersKey, 0, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS
                    ? opened
                    : nullptr);
    programs = ReadTextValue(key.Get(), u"Programs");
    desktop = ReadTextValue(key.Get(), u"Desktop");
    sendTo = ReadTextValue(key.Get(), u"SendTo");
  }

  // The group lives in the user's own profile, where anyone the user runs
  // can put a link in its place: a link there goes as a link.
  if (const auto group = EntryIn(programs, startName)) DeleteFolder(*group, TFolderRole::UsersOwn);
  for (const auto& section : sections) {
    const std::u16string name = ini.ReadString(section, u"Name", u"");
    std::optional<std::u16string> shortcut;
    switch (ini.ReadInteger(section, u"Into", -1)) {
      case 0:
        shortcut = EntryIn(desktop, name, u".lnk");
        break;
      case 2:
        shortcut = EntryIn(sendTo, name);
        break;
      default:
        break;
    }
    if (shortcut) DeleteFileOrLink(*shortcut);
    KeepResponsive();
  }
}
