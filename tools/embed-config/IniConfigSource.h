#ifndef QM_EMBEDCONFIG_INICONFIGSOURCE_H
#define QM_EMBEDCONFIG_INICONFIGSOURCE_H

// A configuration file for the configuration check, read through the
// uninstaller's own reader (TIniFile, the platform's private-profile rules).

#include <string>
#include <vector>

#include "app/Config.h"
#include "embed-config/ConfigCheck.h"

class TIniConfigSource : public TConfigSource {
 public:
  // fileName must be a full path: the private-profile reader looks for
  // other names in the Windows folder.
  explicit TIniConfigSource(std::u16string fileName) : FIni(std::move(fileName)) {}

  // As TIniFile::ReadString.
  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& def) const override;
  // As TIniFile::ReadSection.
  std::vector<std::u16string> ReadSection(const std::u16string& section) const override;
  // Every section name in file order, through GetPrivateProfileSectionNamesW.
  std::vector<std::u16string> ReadSectionNames() const override;
  // The key's value read with a buffer that grows until nothing is cut: its length.
  std::size_t ValueLength(const std::u16string& section, const std::u16string& key) const override;
  // The file's bytes; empty when it cannot be read.
  std::string Bytes() const override;

 private:
  TIniFile FIni;
};

#endif
