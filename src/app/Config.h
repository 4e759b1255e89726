#ifndef QM_APP_CONFIG_H
#define QM_APP_CONFIG_H

// The configuration the installer embeds (resource "UNIN" of type "LIST"),
// its file "unin.ini" beside the executable, and the values start-up reads.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Reads one INI file through the platform's private-profile reader; creating
// it reads nothing, every read goes to the file.
class TIniFile {
 public:
  explicit TIniFile(std::u16string fileName) : FFileName(std::move(fileName)) {}
  const std::u16string& FileName() const { return FFileName; }

  // The key's value, or def when the file, section or key is absent; at most
  // 2047 characters.
  std::u16string ReadString(const std::u16string& section, const std::u16string& key, const std::u16string& def) const;
  // The key's value as a 32-bit integer (see TryParseIniInteger), else def.
  std::int32_t ReadInteger(const std::u16string& section, const std::u16string& key, std::int32_t def) const;
  // ReadInteger with 1/0 for def; true when the integer is not 0.
  bool ReadBool(const std::u16string& section, const std::u16string& key, bool def) const;
  // Every key name of the section in file order; empty for an absent section.
  std::vector<std::u16string> ReadSection(const std::u16string& section) const;
  // Every section name in file order.
  std::vector<std::u16string> ReadSectionNames() const;

 private:
  std::u16string FFileName;
};

// Values of the process, set once by ReadConfiguration.
extern std::u16string AppName;
extern std::u16string AppVer;
extern std::u16string DelURL;
extern bool AskQuestion;
extern std::unique_ptr<TIniFile> UninIni;

// The folder of the running executable followed by "unin.ini".
std::u16string ConfigurationPath();

// Writes the running module's configuration resource to ConfigurationPath().
// Throws "Resource UNIN not found" or "Cannot create file "<path>". <reason>".
void ExtractConfiguration();

// Writes module's resource "UNIN" of type "LIST" to path, as ExtractConfiguration does.
void ExtractConfigurationFrom(HMODULE module, const std::u16string& path);

// The registry key (under HKEY_LOCAL_MACHINE) of a product's entry in the
// list of installed programs.
std::u16string UninstallKeyPath(const std::u16string& appName);

#endif
