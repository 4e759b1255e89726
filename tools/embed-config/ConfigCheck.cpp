#include "embed-config/ConfigCheck.h"

#include <algorithm>
#include <optional>

#include "app/IniNumber.h"
#include "base/Text.h"
#include "feedback/HttpUrl.h"
#include "removal/PathSafety.h"
#include "removal/ProductKeys.h"

namespace {

constexpr std::size_t ReaderLimit = 2047;  // the uninstaller's buffer: 2048 characters with the NUL

constexpr std::u16string_view Information = u"Information";
constexpr std::u16string_view Uninstall = u"Uninstall";
constexpr std::u16string_view Shortcuts = u"Shortcuts";
constexpr std::u16string_view UninstallList =
    u"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool SameName(std::u16string_view a, std::u16string_view b) { return LowerAscii(a) == LowerAscii(b); }

bool IsOneOf(std::u16string_view name, const std::vector<std::u16string_view>& names) {
  for (const auto n : names)
    if (SameName(name, n)) return true;
  return false;
}

std::u16string Quote(std::u16string_view s) { return u"\"" + std::u16string(s) + u"\""; }

std::u16string Counted(std::size_t n, std::u16string_view one) {
  return IntToText(static_cast<std::int64_t>(n)) + u" " + std::u16string(one) + (n == 1 ? u"" : u"s");
}

// The system's own folders in the shapes they have on any Windows, for the
// drive of path and for the profile path lies in, each after the folders
// that hold it. The uninstaller asks the user's system for them; the machine
// the installer is built on is another.
TProtectedFolders SystemFolderShapes(std::u16string_view path) {
  TProtectedFolders shapes;
  const std::u16string full = NormalizePath(path);
  if (full.size() < 3 || full[1] != u':' || full[2] != u'\\') return shapes;  // a share holds none of them
  const std::u16string root = full.substr(0, 3);
  for (const char16_t* f :
       {u"Windows", u"Windows\\System32", u"Windows\\SysWOW64", u"Program Files", u"Program Files\\Common Files",
        u"Program Files (x86)", u"Program Files (x86)\\Common Files", u"ProgramData",
        u"ProgramData\\Microsoft\\Windows\\Start Menu", u"ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
        u"ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", u"Users\\Public", u"Users\\Public\\Desktop",
        u"Users\\Public\\Documents"})
    shapes.Folders.push_back(root + f);
  for (const char16_t* container : {u"Users", u"Documents and Settings"}) {
    const std::u16string profiles = root + container;
    shapes.Containers.push_back(profiles);
    if (!IsSameOrAncestor(profiles, full) || SamePath(profiles, full)) continue;
    const std::u16string profile = full.substr(0, full.find(u'\\', profiles.size() + 1));
    for (const char16_t* f :
         {u"Desktop", u"Documents", u"AppData\\Roaming", u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
          u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
          u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
          u"AppData\\Roaming\\Microsoft\\Windows\\SendTo", u"AppData\\Local", u"AppData\\Local\\Temp", u"My Documents",
          u"Application Data", u"Local Settings\\Application Data", u"Local Settings\\Temp", u"Start Menu",
          u"Start Menu\\Programs", u"Start Menu\\Programs\\Startup", u"SendTo"})
      shapes.Folders.push_back(profile + u"\\" + f);
  }
  return shapes;
}

// Why the folder-safety check refuses "Path"; empty when it lets it go.
std::u16string PathRefusal(const std::u16string& path) {
  constexpr std::u16string_view refused = u": the folder-safety check refuses it and no folder is deleted";
  if (path.empty()) return u"is empty: no folder is known, the Delete button stays disabled and nothing is removed";
  switch (ClassifyPath(path)) {
    case TPathShape::Relative:
      return Quote(path) + u" is not a full path" +
             (path.find(u'%') != std::u16string::npos ? u" (environment references are not expanded)" : u"") +
             std::u16string(refused);
    case TPathShape::Root:
      return Quote(path) + u" is a whole drive or share" + std::u16string(refused);
    case TPathShape::Folder:
      break;
  }
  const auto relation = [&](const std::u16string& f) {
    return Quote(path) +
           (SamePath(path, f)           ? u" is"
            : IsSameOrAncestor(path, f) ? u" holds"
                                        : u" lies directly in") +
           u" the system folder " + Quote(f) + std::u16string(refused);
  };
  const TProtectedFolders shapes = SystemFolderShapes(path);
  for (const auto& c : shapes.Containers)
    if (!IsRemovableFolder(path, {{}, {c}})) return relation(c);
  for (const auto& f : shapes.Folders)
    if (!IsRemovableFolder(path, {{f}, {}})) return relation(f);
  return {};
}

// The file as Windows reads it where Wine's reader reads more: no section at
// all, or none of the one behind a UTF-8 mark (see ConfigEncoding.h).
class TWindowsView : public TConfigSource {
 public:
  explicit TWindowsView(const TConfigSource& ini) : FIni(ini) {}
  void HideEverything() { FNothing = true; }
  void HideSection(std::u16string section) { FHidden = std::move(section); }

  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& def) const override {
    return Hidden(section) ? def : FIni.ReadString(section, key, def);
  }
  std::vector<std::u16string> ReadSection(const std::u16string& section) const override {
    return Hidden(section) ? std::vector<std::u16string>() : FIni.ReadSection(section);
  }
  std::vector<std::u16string> ReadSectionNames() const override {
    std::vector<std::u16string> names;
    for (auto& name : FIni.ReadSectionNames())
      if (!Hidden(name)) names.push_back(std::move(name));
    return names;
  }
  std::size_t ValueLength(const std::u16string& section, const std::u16string& key) const override {
    return Hidden(section) ? 0 : FIni.ValueLength(section, key);
  }
  std::string Bytes() const override { return FIni.Bytes(); }

 private:
  bool Hidden(const std::u16string& section) const {
    return FNothing || (!FHidden.empty() && SameName(section, FHidden));
  }
  const TConfigSource& FIni;
  bool FNothing = false;
  std::u16string FHidden;
};

constexpr std::u16string_view SaveAsUtf16 =
    u"; save the file as UTF-16 LE with a byte-order mark, which reads the same everywhere";

// What the bytes read as under each of our users' code pages.
std::u16string Readings(std::string_view bytes) {
  std::u16string text;
  for (const auto& page : UserCodePages) {
    if (!text.empty()) text += u", ";
    text +=
        Quote(ReadInCodePage(bytes, page.CodePage)) + u" under " + IntToText(page.CodePage) + u" (" + page.Users + u")";
  }
  return text;
}

class TChecker {
 public:
  explicit TChecker(const TConfigSource& ini) : FFile(ini) {}

  TConfigReport Run() {
    CheckEncoding();
    ReadProduct();
    PlanFeedback();
    PlanFolder();
    PlanGroup();
    PlanShortcuts();
    CheckUnread();
    return std::move(FReport);
  }

 private:
  void Add(TSeverity severity, std::u16string_view section, std::u16string_view key, std::u16string text) {
    FReport.Findings.push_back({severity, std::u16string(section), std::u16string(key), std::move(text)});
  }
  void Warn(std::u16string_view section, std::u16string_view key, std::u16string text) {
    Add(TSeverity::Warning, section, key, std::move(text));
  }

  // The value the uninstaller reads, or nothing when the file lacks it. The
  // reader gives its default back only for an absent key; a second default
  // tells a value equal to the first from none.
  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) {
    const std::u16string s(section), k(key);
    std::u16string value = FIni.ReadString(s, k, u"\x01");
    if (value == u"\x01" && FIni.ReadString(s, k, u"\x02") == u"\x02") return std::nullopt;
    if (value.size() >= ReaderLimit) {
      const std::size_t whole = FIni.ValueLength(s, k);
      if (whole > value.size())
        Warn(s, k,
             u"has " + Counted(whole, u"character") + u": the uninstaller reads only its first " +
                 IntToText(static_cast<std::int64_t>(value.size())));
    }
    return value;
  }

  // Text that reads by the user's code page is an error: our users have
  // three of them. What Windows cannot read at all is read as nothing.
  void CheckEncoding() {
    const std::string bytes = FFile.Bytes();
    const TConfigEncoding encoding = FReport.Encoding = DetectConfigEncoding(bytes);
    if (encoding == TConfigEncoding::Utf16Be || encoding == TConfigEncoding::Utf16NoBom) {
      FIni.HideEverything();
      Add(TSeverity::Error, u"", u"",
          (encoding == TConfigEncoding::Utf16Be
               ? u"the file is UTF-16 BE, whose byte-order mark Windows does not recognise"
               : u"the file holds NUL bytes and no byte-order mark (UTF-16 without its mark)") +
              std::u16string(u": the uninstaller reads it as ANSI text and finds no section in it") +
              std::u16string(SaveAsUtf16));
      return;
    }
    if (!ReadsByCodePage(encoding)) return;
    const auto name = [&](std::string_view s) {
      return encoding == TConfigEncoding::Ansi ? ReadInCodePage(s, 1252) : Utf8ToUtf16(s);
    };
    if (std::string lost, line; SectionBehindUtf8Mark(bytes, lost, line)) {
      FIni.HideSection(name(lost));
      Add(TSeverity::Error, name(lost), u"",
          u"is on the first line, behind a UTF-8 byte-order mark that Windows reads as text: " + Readings(line) +
              u"; the line starts no section and none of its keys is read" + std::u16string(SaveAsUtf16));
    }
    for (const TCodePageText& t : CodePageDependentText(bytes)) {
      std::u16string text = t.InName ? u"is a name that reads by the user's code page: "
                                     : u"holds text that reads by the user's code page: ";
      text += encoding == TConfigEncoding::Ansi ? u"the uninstaller reads "
                                                : Quote(Utf8ToUtf16(t.Text)) + u" (UTF-8) reads as ";
      Add(TSeverity::Error, name(t.Section), name(t.Key), text + Readings(t.Text) + std::u16string(SaveAsUtf16));
    }
  }

  void ReadProduct() {
    FReport.AppName = Read(Information, u"AppName").value_or(u"");
    FReport.AppVer = Read(Information, u"AppVer").value_or(u"");
    // The cleanup's own rule for the product's entry in the list of installed programs.
    if (!ProductUninstallKeys(FReport.AppName).empty()) return;
    Warn(Information, u"AppName",
         (FReport.AppName.empty() ? u"is empty" : Quote(FReport.AppName) + u" holds \"\\\"") +
             u": the product's entry in the list of installed programs stays in place");
  }

  void PlanFeedback() {
    TFeedbackPlan& f = FReport.Feedback;
    // As ReadBool("Uninstall", "Question", false).
    const auto question = Read(Uninstall, u"Question");
    std::int32_t value = 0;
    const bool number = question && TryParseIniInteger(*question, value);
    f.Invitation = number && value != 0;
    if (question && !number)
      Warn(Uninstall, u"Question",
           (question->empty() ? u"is empty" : Quote(*question) + u" is not a number") +
               u" and reads as false: the feedback invitation stays hidden");

    f.Url = Read(Information, u"DelURL").value_or(u"");
    if (!f.Url.empty()) {
      const THttpUrl url = SplitHttpUrl(f.Url);
      f.Postable = url.Ok;
      f.Reason = url.ErrorText;
      if (url.Ok) {
        f.Scheme = LowerAscii(f.Url.substr(0, f.Url.find(u"://")));
        f.Host = Utf8ToUtf16(url.Host);
        f.Port = url.Port;
        f.Target = Utf8ToUtf16(url.Target);
      }
    }
    if (f.Invitation && f.Url.empty())
      Warn(Information, u"DelURL", u"is empty: the feedback invitation shows, but nothing is ever posted");
    else if (!f.Url.empty() && !f.Postable)
      Warn(Information, u"DelURL", Quote(f.Url) + u" cannot be posted: " + f.Reason);
    else if (f.Postable && !f.Invitation && number)
      Warn(Information, u"DelURL",
           u"is never posted: [Uninstall] Question reads as 0, the feedback invitation is hidden");
    else if (f.Postable && !question)
      Warn(Information, u"DelURL",
           u"is never posted: [Uninstall] Question is absent, the feedback invitation is hidden");
  }

  void PlanFolder() {
    TFolderPlan& d = FReport.Folder;
    const auto path = Read(Uninstall, u"Path");
    if (!path) {
      d.RegistryKey = std::u16string(UninstallList) + FReport.AppName;
      if (FReport.AppName.empty())
        Warn(Uninstall, u"Path",
             u"is absent and AppName is empty: the registered UninstallPath is looked up in the list's own key, "
             u"which normally has none, so no folder is deleted");
      return;
    }
    d.FromPath = true;
    d.Path = *path;
    std::u16string refusal = PathRefusal(d.Path);
    d.Deleted = refusal.empty();
    if (!d.Deleted) Add(TSeverity::Error, Uninstall, u"Path", std::move(refusal));
  }

  void PlanGroup() {
    TGroupPlan& g = FReport.Group;
    g.Name = Read(Information, u"StartName").value_or(u"");
    if (g.Name.empty()) return;
    g.Removed = IsPlainName(g.Name);
    if (!g.Removed)
      Add(TSeverity::Error, Information, u"StartName",
          Quote(g.Name) + u" is not a plain name: the uninstaller leaves the Start-menu group alone");
  }

  void PlanShortcuts() {
    std::vector<std::u16string> keys;
    for (const auto& key : FIni.ReadSection(std::u16string(Shortcuts))) {
      TShortcutPlan s;
      s.Key = key;
      // A key written twice is listed twice, and both times its first value is read.
      if (std::count_if(keys.begin(), keys.end(), [&](const auto& k) { return SameName(k, key); }) == 1)
        Warn(Shortcuts, key, u"is written more than once: each time the uninstaller reads its first value");
      keys.push_back(key);
      s.Section = Read(Shortcuts, key).value_or(u"");
      const TShortcutPlan* earlier = nullptr;
      for (const auto& e : FReport.Shortcuts)
        if (SameName(e.Section, s.Section)) earlier = &e;
      if (earlier) {
        // The same section once more: the same deletion is tried again.
        TShortcutPlan again = *earlier;
        again.Key = key;
        FReport.Shortcuts.push_back(std::move(again));
        continue;
      }
      PlanShortcut(s);
      FReport.Shortcuts.push_back(std::move(s));
    }
  }

  void PlanShortcut(TShortcutPlan& s) {
    if (s.Section.empty()) {
      s.Skipped = u"it names no section";
      Warn(Shortcuts, s.Key, u"names no section: nothing is removed");
      return;
    }
    if (FIni.ReadSection(s.Section).empty()) {
      s.Skipped = u"the section [" + s.Section + u"] is missing or empty";
      Warn(Shortcuts, s.Key, u"names the section [" + s.Section + u"], which is missing or empty: nothing is removed");
      return;
    }
    FShortcutSections.push_back(s.Section);
    s.Name = Read(s.Section, u"Name").value_or(u"");
    // As ReadInteger(section, "Into", -1).
    const auto into = Read(s.Section, u"Into");
    std::int32_t value = -1;
    const bool number = into && TryParseIniInteger(*into, value);
    s.Into = number ? value : -1;
    if (s.Name.empty()) {
      s.Skipped = u"it has no Name";
      Warn(s.Section, u"Name", u"is missing or empty: nothing is removed");
    }
    if (!number || (s.Into != 0 && s.Into != 2)) {
      if (s.Skipped.empty())
        s.Skipped = u"Into is " + (number ? IntToText(s.Into) : into ? u"not a number" : u"missing");
      if (!into)
        Warn(s.Section, u"Into", u"is missing and reads as -1: nothing is removed");
      else if (!number)
        Warn(s.Section, u"Into",
             (into->empty() ? u"is empty" : Quote(*into) + u" is not a number") +
                 u" and reads as -1: nothing is removed");
      else
        Warn(s.Section, u"Into",
             u"is " + IntToText(s.Into) +
                 u": only 0 (the desktop) and 2 (the SendTo folder) remove a shortcut, so nothing is removed");
    }
    if (!s.Skipped.empty()) return;
    if (!IsPlainName(s.Name)) {
      s.Skipped = u"Name is not a plain file name";
      Warn(s.Section, u"Name", Quote(s.Name) + u" is not a plain file name: the uninstaller skips it");
      return;
    }
    s.Place = s.Into == 0 ? TShortcutPlace::Desktop : TShortcutPlace::SendTo;
    s.File = s.Name + (s.Into == 0 ? u".lnk" : u"");
    if (s.Into == 0 && LowerAscii(s.Name).ends_with(u".lnk"))
      Warn(s.Section, u"Name",
           Quote(s.Name) + u" already ends in .lnk: the uninstaller removes " + Quote(s.File) + u" from the desktop");
  }

  // Sections and keys that nothing reads: a misspelt name asks for what never happens.
  void CheckUnread() {
    std::vector<std::u16string> seen;
    for (const auto& section : FIni.ReadSectionNames()) {
      if (std::any_of(seen.begin(), seen.end(), [&](const auto& s) { return SameName(s, section); })) continue;
      seen.push_back(section);
      std::vector<std::u16string_view> known;
      if (SameName(section, Information))
        known = {u"AppName", u"AppVer", u"DelURL", u"StartName"};
      else if (SameName(section, Uninstall))
        known = {u"Path", u"Question"};
      else if (SameName(section, Shortcuts))
        continue;
      else if (std::any_of(FShortcutSections.begin(), FShortcutSections.end(),
                           [&](const auto& s) { return SameName(s, section); }))
        known = {u"FileName", u"Name", u"Into"};
      else {
        Warn(section, u"", u"is not read by the uninstaller");
        continue;
      }
      for (const auto& key : FIni.ReadSection(section))
        if (!IsOneOf(key, known)) Warn(section, key, u"is not a key the uninstaller reads");
    }
  }

  const TConfigSource& FFile;
  TWindowsView FIni{FFile};
  TConfigReport FReport;
  std::vector<std::u16string> FShortcutSections;
};

}  // namespace

std::size_t TConfigReport::Count(TSeverity severity) const {
  return static_cast<std::size_t>(
      std::count_if(Findings.begin(), Findings.end(), [&](const TFinding& f) { return f.Severity == severity; }));
}

TConfigReport CheckConfiguration(const TConfigSource& ini) { return TChecker(ini).Run(); }
