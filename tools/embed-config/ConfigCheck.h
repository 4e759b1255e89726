#ifndef QM_EMBEDCONFIG_CONFIGCHECK_H
#define QM_EMBEDCONFIG_CONFIGCHECK_H

// What the uninstaller will read from a configuration and do with it: the
// report embed-config gives before it embeds one. Portable: the file is read
// through TConfigSource, which the Win32 side binds to the very reader the
// uninstaller uses (TIniFile), and its encoding from its bytes: where the
// reader of Wine differs from that of Windows, the check follows Windows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "embed-config/ConfigEncoding.h"

// A configuration file as the uninstaller's private-profile reader sees it.
class TConfigSource {
 public:
  virtual ~TConfigSource() = default;
  // The key's value as the uninstaller reads it (at most 2047 characters),
  // or def when the section or the key is absent.
  virtual std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                                    const std::u16string& def) const = 0;
  // The key names of the section in file order; empty for an absent section.
  virtual std::vector<std::u16string> ReadSection(const std::u16string& section) const = 0;
  // The names of all sections in file order.
  virtual std::vector<std::u16string> ReadSectionNames() const = 0;
  // The length of the key's value before the reader cuts it; 0 when absent.
  virtual std::size_t ValueLength(const std::u16string& section, const std::u16string& key) const = 0;
  // The file's bytes as stored.
  virtual std::string Bytes() const = 0;
};

enum class TSeverity { Warning, Error };

// One thing the uninstaller does differently from what the file seems to ask.
struct TFinding {
  TSeverity Severity = TSeverity::Warning;
  std::u16string Section;  // empty for a finding about the whole file
  std::u16string Key;      // empty for a finding about a whole section
  std::u16string Text;
  bool operator==(const TFinding&) const = default;
};

struct TFeedbackPlan {
  bool Invitation = false;  // the invitation to say why shows
  std::u16string Url;       // DelURL as read
  bool Postable = false;    // Url can take the form's POST
  std::u16string Reason;    // why not, when Url is set and not postable
  std::u16string Scheme;    // as written, lower case
  std::u16string Host;
  std::uint16_t Port = 0;
  std::u16string Target;
};

struct TFolderPlan {
  bool FromPath = false;       // "Path" names it; otherwise the product's registered UninstallPath
  std::u16string Path;         // "Path" as read
  bool Deleted = false;        // with FromPath: the folder-safety check lets it go
  std::u16string RegistryKey;  // without FromPath: where UninstallPath is looked up, as the program names it
};

struct TGroupPlan {
  std::u16string Name;  // StartName as read; empty for no group
  bool Removed = false;
};

enum class TShortcutPlace { None, Desktop, SendTo };

struct TShortcutPlan {
  std::u16string Key;      // the key of [Shortcuts]
  std::u16string Section;  // its value, the shortcut's section
  std::u16string Name;
  std::int32_t Into = -1;
  TShortcutPlace Place = TShortcutPlace::None;  // None: skipped
  std::u16string File;                          // the file removed from Place
  std::u16string Skipped;                       // why nothing is removed
};

struct TConfigReport {
  TConfigEncoding Encoding = TConfigEncoding::Ascii;
  std::u16string AppName;
  std::u16string AppVer;
  TFeedbackPlan Feedback;
  TFolderPlan Folder;
  TGroupPlan Group;
  std::vector<TShortcutPlan> Shortcuts;
  std::vector<TFinding> Findings;  // part by part, in the order of the report

  std::size_t Count(TSeverity severity) const;
};

// Reads the configuration as the uninstaller does and says what it will do,
// with a warning for each thing it does less of than the file seems to ask and
// an error for each value it refuses outright.
TConfigReport CheckConfiguration(const TConfigSource& ini);

#endif
