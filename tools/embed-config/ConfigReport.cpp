#include "embed-config/ConfigReport.h"

#include "base/Text.h"

namespace {

std::u16string Quote(std::u16string_view s) { return u"\"" + std::u16string(s) + u"\""; }

std::u16string Counted(std::size_t n, std::u16string_view one) {
  return IntToText(static_cast<std::int64_t>(n)) + u" " + std::u16string(one) + (n == 1 ? u"" : u"s");
}

// A small writer of one JSON object.
class TJsonObject {
 public:
  static std::string Text(std::u16string_view s) {
    std::string r = "\"";
    for (const char c : Utf16ToUtf8(s)) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        r += '\\';
        r += c;
      } else if (u < 0x20) {
        constexpr char hex[] = "0123456789abcdef";
        r += "\\u00";
        r += hex[u >> 4];
        r += hex[u & 15];
      } else {
        r += c;
      }
    }
    return r + "\"";
  }
  TJsonObject& Raw(std::string_view name, std::string_view json) {
    FBody += FBody.empty() ? "{" : ",";
    FBody += Text(Utf8ToUtf16(name)) + ":" + std::string(json);
    return *this;
  }
  TJsonObject& Str(std::string_view name, std::u16string_view value) { return Raw(name, Text(value)); }
  // The text, or null when it does not apply.
  TJsonObject& StrOrNull(std::string_view name, std::u16string_view value, bool applies) {
    return Raw(name, applies ? Text(value) : "null");
  }
  TJsonObject& Bool(std::string_view name, bool value) { return Raw(name, value ? "true" : "false"); }
  TJsonObject& Int(std::string_view name, std::int64_t value) { return Raw(name, Utf16ToUtf8(IntToText(value))); }
  std::string Close() const { return FBody.empty() ? "{}" : FBody + "}"; }

 private:
  std::string FBody;
};

std::string JsonArray(const std::vector<std::string>& items) {
  std::string r = "[";
  for (std::size_t i = 0; i < items.size(); ++i) r += (i ? "," : "") + items[i];
  return r + "]";
}

std::u16string PlaceText(TShortcutPlace place) {
  return place == TShortcutPlace::Desktop ? u"the user's desktop" : u"the user's SendTo folder";
}

}  // namespace

std::u16string FormatReportText(const TConfigReport& r, std::u16string_view config) {
  std::u16string t;
  const auto line = [&](std::u16string_view label, std::u16string_view text) {
    t += label;
    t.append(label.size() < 15 ? 15 - label.size() : 1, u' ');
    t += text;
    t += u"\r\n";
  };
  line(u"Configuration:", config);
  line(u"Encoding:", EncodingName(r.Encoding));
  line(u"Product:",
       (r.AppName.empty() ? u"(no name)" : r.AppName) + u", version " + (r.AppVer.empty() ? u"(none)" : r.AppVer));
  const TFeedbackPlan& f = r.Feedback;
  line(u"Invitation:", f.Invitation ? u"shown" : u"hidden");
  if (f.Url.empty())
    line(u"Feedback:", u"nothing is posted (no DelURL)");
  else if (!f.Postable)
    line(u"Feedback:", u"nothing is posted: " + Quote(f.Url) + u" cannot be posted");
  else
    line(u"Feedback:", (f.Invitation ? u"posted to " : u"never posted (the invitation is hidden) to ") + f.Url);
  if (f.Postable)
    line(u"", u"scheme " + f.Scheme + u", host " + f.Host + u", port " + IntToText(f.Port) + u", target " + f.Target);

  const TFolderPlan& d = r.Folder;
  if (!d.FromPath) {
    line(u"Folder:", u"the product's registered UninstallPath, from");
    line(u"", d.RegistryKey);
    // The shipped uninstaller is a 32-bit program: where regedit shows the key on a 64-bit system.
    line(u"", u"(on 64-bit Windows the 32-bit uninstaller reads it under HKEY_LOCAL_MACHINE\\Software\\WOW6432Node)");
  } else if (d.Deleted) {
    line(u"Folder:", d.Path + u" ([Uninstall] Path)");
  } else {
    line(u"Folder:", d.Path.empty() ? u"none ([Uninstall] Path is empty)"
                                    : u"none (the folder-safety check refuses " + Quote(d.Path) + u")");
  }

  const TGroupPlan& g = r.Group;
  if (g.Name.empty())
    line(u"Start menu:", u"no group (no StartName)");
  else if (g.Removed)
    line(u"Start menu:", u"the group " + Quote(g.Name) + u" in the user's Programs folder");
  else
    line(u"Start menu:", u"none (" + Quote(g.Name) + u" is not a plain name)");

  line(u"Shortcuts:", r.Shortcuts.empty() ? u"none" : Counted(r.Shortcuts.size(), u"shortcut") + u", in file order");
  for (const auto& s : r.Shortcuts) {
    t += u"  " + s.Key + u"=" + s.Section + u": ";
    t += s.Place == TShortcutPlace::None ? u"skipped, " + s.Skipped : Quote(s.File) + u" from " + PlaceText(s.Place);
    t += u"\r\n";
  }

  for (const auto& finding : r.Findings) {
    t += finding.Severity == TSeverity::Error ? u"error: " : u"warning: ";
    if (!finding.Section.empty()) t += u"[" + finding.Section + u"] ";
    if (!finding.Key.empty()) t += finding.Key + u" ";
    t += finding.Text + u"\r\n";
  }
  const std::size_t errors = r.Count(TSeverity::Error), warnings = r.Count(TSeverity::Warning);
  if (errors + warnings == 0)
    t += u"No warnings, no errors.\r\n";
  else
    t += Counted(errors, u"error") + u", " + Counted(warnings, u"warning") + u".\r\n";
  return t;
}

std::string FormatReportJson(const TConfigReport& r, std::u16string_view config, std::u16string_view target,
                             bool embedded) {
  const TFeedbackPlan& f = r.Feedback;
  const TFolderPlan& d = r.Folder;
  std::vector<std::string> shortcuts, findings;
  for (const auto& s : r.Shortcuts) {
    const bool removed = s.Place != TShortcutPlace::None;
    shortcuts.push_back(TJsonObject()
                            .Str("key", s.Key)
                            .Str("section", s.Section)
                            .Str("name", s.Name)
                            .Int("into", s.Into)
                            .StrOrNull("folder", s.Place == TShortcutPlace::Desktop ? u"desktop" : u"sendTo", removed)
                            .StrOrNull("file", s.File, removed)
                            .StrOrNull("skipped", s.Skipped, !removed)
                            .Close());
  }
  for (const auto& x : r.Findings)
    findings.push_back(TJsonObject()
                           .Str("severity", x.Severity == TSeverity::Error ? u"error" : u"warning")
                           .StrOrNull("section", x.Section, !x.Section.empty())
                           .StrOrNull("key", x.Key, !x.Key.empty())
                           .Str("message", x.Text)
                           .Close());
  return TJsonObject()
      .Str("config", config)
      .StrOrNull("target", target, !target.empty())
      .Bool("embedded", embedded)
      .Str("encoding", EncodingId(r.Encoding))
      .Raw("product", TJsonObject().Str("name", r.AppName).Str("version", r.AppVer).Close())
      .Raw("feedback", TJsonObject()
                           .Bool("invitation", f.Invitation)
                           .Str("url", f.Url)
                           .Bool("postable", f.Postable)
                           .StrOrNull("reason", f.Reason, !f.Url.empty() && !f.Postable)
                           .StrOrNull("scheme", f.Scheme, f.Postable)
                           .StrOrNull("host", f.Host, f.Postable)
                           .Raw("port", f.Postable ? Utf16ToUtf8(IntToText(f.Port)) : "null")
                           .StrOrNull("target", f.Target, f.Postable)
                           .Close())
      .Raw("folder", TJsonObject()
                         .Str("from", d.FromPath ? u"Path" : u"registry")
                         .StrOrNull("path", d.Path, d.FromPath)
                         .Raw("deleted", d.FromPath ? (d.Deleted ? "true" : "false") : "null")
                         .StrOrNull("registryKey", d.RegistryKey, !d.FromPath)
                         .Close())
      .Raw("startMenuGroup", TJsonObject().Str("name", r.Group.Name).Bool("removed", r.Group.Removed).Close())
      .Raw("shortcuts", JsonArray(shortcuts))
      .Raw("findings", JsonArray(findings))
      .Int("warnings", static_cast<std::int64_t>(r.Count(TSeverity::Warning)))
      .Int("errors", static_cast<std::int64_t>(r.Count(TSeverity::Error)))
      .Close();
}
