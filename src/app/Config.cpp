#include "app/Config.h"

#include "app/IniNumber.h"
#include "base/Error.h"
#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/Main.h"

std::u16string AppName;
std::u16string AppVer;
std::u16string DelURL;
bool AskQuestion = false;
std::unique_ptr<TIniFile> UninIni;

namespace {
constexpr DWORD IniBufferChars = 2048;
}

std::u16string TIniFile::ReadString(const std::u16string& section, const std::u16string& key,
                                    const std::u16string& def) const {
  wchar_t buf[IniBufferChars];
  const DWORD n = GetPrivateProfileStringW(W(section), W(key), W(def), buf, IniBufferChars, W(FFileName));
  return U(buf, n);
}

std::int32_t TIniFile::ReadInteger(const std::u16string& section, const std::u16string& key, std::int32_t def) const {
  std::int32_t value = 0;
  return TryParseIniInteger(ReadString(section, key, u""), value) ? value : def;
}

bool TIniFile::ReadBool(const std::u16string& section, const std::u16string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

namespace {

// A list the private-profile reader returns NUL-separated through read(buf,
// size); a full buffer (size - 2 returned) means it was cut, so the buffer
// grows until it fits.
template <class Read>
std::vector<std::u16string> ReadProfileList(Read read) {
  std::vector<wchar_t> buf(4096);
  DWORD n = 0;
  for (;;) {
    n = read(buf.data(), static_cast<DWORD>(buf.size()));
    if (n + 2 < buf.size()) break;
    buf.resize(buf.size() * 4);
  }
  std::vector<std::u16string> names;
  for (DWORD i = 0; i < n;) {
    const std::u16string name = U(buf.data() + i);
    if (name.empty()) break;
    i += static_cast<DWORD>(name.size()) + 1;
    names.push_back(name);
  }
  return names;
}

}  // namespace

std::vector<std::u16string> TIniFile::ReadSection(const std::u16string& section) const {
  return ReadProfileList([&](wchar_t* buf, DWORD size) {
    return GetPrivateProfileStringW(W(section), nullptr, L"", buf, size, W(FFileName));
  });
}

std::vector<std::u16string> TIniFile::ReadSectionNames() const {
  return ReadProfileList(
      [&](wchar_t* buf, DWORD size) { return GetPrivateProfileSectionNamesW(buf, size, W(FFileName)); });
}

std::u16string ConfigurationPath() { return ExtractFilePath(ExePath()) + u"unin.ini"; }

void ExtractConfigurationFrom(HMODULE module, const std::u16string& path) {
  HRSRC info = FindResourceW(module, L"UNIN", L"LIST");
  if (!info) throw TError(FormatOne(u"Resource %s not found", u"UNIN"));
  HGLOBAL res = LoadResource(module, info);
  const DWORD size = SizeofResource(module, info);
  const void* data = res ? LockResource(res) : nullptr;
  if (!data && size) throw TError(FormatOne(u"Resource %s not found", u"UNIN"));

  TFileHandle file(
      CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    const DWORD err = GetLastError();
    throw TError(u"Cannot create file \"" + path + u"\". " + SysErrorMessage(err));
  }
  DWORD written = 0;
  if (size && (!WriteFile(file.Get(), data, size, &written, nullptr) || written != size))
    throw TError(u"Stream write error");
  // Resources of a loaded module need no release beyond the module's own.
}

void ExtractConfiguration() { ExtractConfigurationFrom(GetModuleHandleW(nullptr), ConfigurationPath()); }

std::u16string UninstallKeyPath(const std::u16string& appName) {
  return u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + appName;
}

std::u16string TMainForm::ReadConfiguration() {
  UninIni = std::make_unique<TIniFile>(ConfigurationPath());
  AppName = UninIni->ReadString(u"Information", u"AppName", u"");
  AppVer = UninIni->ReadString(u"Information", u"AppVer", u"");
  DelURL = UninIni->ReadString(u"Information", u"DelURL", u"");
  const std::u16string registered = GetUninstallPath();
  std::u16string folder = UninIni->ReadString(u"Uninstall", u"Path", registered);
  AskQuestion = UninIni->ReadBool(u"Uninstall", u"Question", false);
  return folder;
}

std::u16string TMainForm::GetUninstallPath() {
  std::u16string result = ExtractFilePath(ExePath());
  try {
    const std::u16string key = UninstallKeyPath(AppName);
    TRegKey probe;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(key), 0, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                      probe.Receive()) != ERROR_SUCCESS)
      Close();
    probe.Reset();

    TRegKey full;
    result.clear();
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(key), 0, KEY_ALL_ACCESS, full.Receive()) != ERROR_SUCCESS) return result;
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(full.Get(), L"UninstallPath", nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return result;
    // Only text counts: a number or raw data would make the executable's own
    // folder (the temp folder, for the relocated copy) the folder to delete.
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0) return result;
    std::u16string value(bytes / sizeof(char16_t) + 1, u'\0');
    DWORD got = bytes;
    if (RegQueryValueExW(full.Get(), L"UninstallPath", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &got) !=
        ERROR_SUCCESS)
      return result;
    value.resize(got / sizeof(char16_t));
    const size_t nul = value.find(u'\0');
    if (nul != std::u16string::npos) value.resize(nul);
    result = value;
  } catch (...) {
    // Guarded: the result keeps what it held when the error came.
  }
  return result;
}
