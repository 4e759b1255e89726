#ifndef QM_TESTS_CONFIGCHECKCASES_H
#define QM_TESTS_CONFIGCHECKCASES_H

// Configurations and what the check must find in each, as "warning [Section]
// Key", "error [Section] Key" or "error" (the whole file). Read natively
// through a model of the private-profile reader and, under Wine, through the
// uninstaller's own. The file's bytes are as written here: UTF-8, unless a
// case says otherwise.

#include <string>
#include <vector>

#include "embed-config/ConfigCheck.h"
#include "base/Text.h"

struct TCheckCase {
  std::string Name;
  std::string Ini;
  std::vector<std::string> Findings;
};

// The sample configuration of tools/sample/unin.ini, byte for byte.
inline const std::string SampleIni =
    "[Information]\r\nAppName=Quillmoor\r\nAppVer=4.5.1\r\nDelURL=http://127.0.0.1:8765/feedback.php\r\n"
    "StartName=Quillmoor\r\n\r\n[Uninstall]\r\nQuestion=1\r\n\r\n[Shortcuts]\r\nDesktop=ShortcutDesktop\r\n"
    "SendTo=ShortcutSendTo\r\n\r\n[ShortcutDesktop]\r\nFileName=Quillmoor.exe\r\nName=Quillmoor\r\nInto=0\r\n\r\n"
    "[ShortcutSendTo]\r\nFileName=Quillmoor.exe\r\nName=Quillmoor playlist\r\nInto=2\r\n";

// The UTF-8 text as UTF-16 LE or BE after its byte-order mark.
inline std::string Utf16Bytes(const std::string& utf8, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t c : Utf8ToUtf16(utf8)) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

inline std::vector<TCheckCase> CheckCases() {
  // A product, its folder and one desktop shortcut: nothing to find.
  const std::string info = "[Information]\r\nAppName=Qm\r\nAppVer=1.0\r\n";
  const std::string path = "[Uninstall]\r\nPath=C:\\Program Files\\Qm\r\n";
  const std::string shortcut = "[Shortcuts]\r\nS=Desk\r\n[Desk]\r\nName=Qm\r\n";
  const auto into = [&](const std::string& value) { return info + path + shortcut + "Into=" + value + "\r\n"; };
  const auto folder = [&](const std::string& value) { return info + "[Uninstall]\r\nPath=" + value + "\r\n"; };
  return {
      {"sample", SampleIni, {}},
      {"clean", info + path + shortcut + "Into=0\r\n", {}},
      {"names in another letter case",
       "[information]\r\nAPPNAME=Qm\r\ndelurl=http://h/x\r\n[UNINSTALL]\r\npath=D:\\Apps\\Qm\r\nquestion=0x10\r\n",
       {}},
      {"Into in hexadecimal", into("$2"), {}},
      {"https DelURL",
       info + "DelURL=https://example.com/fb\r\n" + path + "Question=1\r\n",
       {"warning [Information] DelURL"}},
      {"Question yes",
       info + "DelURL=http://example.com/fb\r\n" + path + "Question=yes\r\n",
       {"warning [Uninstall] Question"}},
      {"invitation without DelURL", info + path + "Question=-1\r\n", {"warning [Information] DelURL"}},
      {"DelURL without invitation", info + "DelURL=http://example.com/fb\r\n" + path, {"warning [Information] DelURL"}},
      {"DelURL with Question 0",
       info + "DelURL=http://example.com/fb\r\n" + path + "Question=0\r\n",
       {"warning [Information] DelURL"}},
      {"Into 1", into("1"), {"warning [Desk] Into"}},
      {"Into two", into("two"), {"warning [Desk] Into"}},
      {"Into empty", into(""), {"warning [Desk] Into"}},
      {"Into absent", info + path + shortcut, {"warning [Desk] Into"}},
      {"StartName backslash", info + "StartName=\\\r\n" + path, {"error [Information] StartName"}},
      {"StartName empty", info + "StartName=\r\n" + path, {}},
      {"missing shortcut section",
       info + path + "[Shortcuts]\r\nS=Desk\r\nT=Nowhere\r\n[Desk]\r\nName=Qm\r\nInto=0\r\n",
       {"warning [Shortcuts] T"}},
      {"shortcut without a section name", info + path + "[Shortcuts]\r\nS=\r\n", {"warning [Shortcuts] S"}},
      {"shortcut without Name",
       info + path + "[Shortcuts]\r\nS=Desk\r\n[Desk]\r\nFileName=Qm.exe\r\nInto=0\r\n",
       {"warning [Desk] Name"}},
      {"shortcut Name leading out",
       info + path + "[Shortcuts]\r\nS=Desk\r\n[Desk]\r\nName=..\\Qm\r\nInto=2\r\n",
       {"warning [Desk] Name"}},
      {"shortcut Name with .lnk",
       info + path + "[Shortcuts]\r\nS=Desk\r\n[Desk]\r\nName=Qm.lnk\r\nInto=0\r\n",
       {"warning [Desk] Name"}},
      {"one section named twice",
       info + path + "[Shortcuts]\r\nA=Desk\r\nB=Desk\r\n[Desk]\r\nName=Qm\r\nInto=0\r\n",
       {}},
      {"empty AppName", "[Information]\r\nAppName=\r\n" + path, {"warning [Information] AppName"}},
      {"no AppName, no Path",
       "[Information]\r\nAppVer=1\r\n",
       {"warning [Information] AppName", "warning [Uninstall] Path"}},
      {"AppName with a backslash", "[Information]\r\nAppName=Qm\\Sub\r\n" + path, {"warning [Information] AppName"}},
      {"registered folder", info, {}},
      {"Path in Program Files", folder("C:\\Program Files (x86)\\Qm"), {}},
      {"Path in a profile", folder("C:\\Users\\Bob\\AppData\\Local\\Qm"), {}},
      {"Path on a share", folder("\\\\server\\apps\\Qm"), {}},
      {"Path empty", folder(""), {"error [Uninstall] Path"}},
      {"Path a drive", folder("C:\\"), {"error [Uninstall] Path"}},
      {"Path up to a drive", folder("C:\\Program Files\\..\\"), {"error [Uninstall] Path"}},
      {"Path with a reference", folder("%ProgramFiles%\\Qm"), {"error [Uninstall] Path"}},
      {"Path the Windows folder", folder("c:/windows"), {"error [Uninstall] Path"}},
      {"Path Program Files", folder("C:\\Program Files"), {"error [Uninstall] Path"}},
      {"Path a profile", folder("C:\\Users\\Bob"), {"error [Uninstall] Path"}},
      {"Path above a profile's folder", folder("C:\\Users\\Bob\\AppData"), {"error [Uninstall] Path"}},
      {"Path ProgramData", folder("C:\\ProgramData"), {"error [Uninstall] Path"}},
      {"value cut at 2047",
       info + path + "[Shortcuts]\r\nS=Desk\r\n[Desk]\r\nName=" + std::string(3000, 'n') + "\r\nInto=0\r\n",
       {"warning [Desk] Name"}},
      {"misspelt key and section",
       info + "StratName=Qm\r\n" + path + "[Shortcut]\r\nS=Desk\r\n",
       {"warning [Information] StratName", "warning [Shortcut]"}},
      // Encodings: only text that reads by the user's code page is an error.
      {"UTF-16 LE with its mark", Utf16Bytes("[Information]\r\nAppName=Квиллмур Тест\r\n" + path), {}},
      {"UTF-8 without a mark", "[Information]\r\nAppName=Квиллмур Тест\r\n" + path, {"error [Information] AppName"}},
      {"ANSI",
       "[Information]\r\nAppName=\xCA\xE2\xE8\xEB\xEB\xEC\xF3\xF0 \xD2\xE5\xF1\xF2\r\n" + path,
       {"error [Information] AppName"}},
      {"UTF-8 key name",
       info + path + "[Shortcuts]\r\nРабочий стол=Desk\r\n[Desk]\r\nName=Qm\r\nInto=0\r\n",
       {"error [Shortcuts] Рабочий стол"}},
      {"non-ASCII text in a comment", info + "; Квиллмур\r\n" + path, {}},
      {"UTF-8 mark on a blank first line", "\xEF\xBB\xBF\r\n" + info + path, {}},
      {"UTF-8 mark before the first section",
       "\xEF\xBB\xBF[Information]\r\nAppName=Квиллмур\r\n" + path,
       {"error [Information]", "warning [Information] AppName"}},
      {"UTF-16 BE",
       Utf16Bytes(info + path, true),
       {"error", "warning [Information] AppName", "warning [Uninstall] Path"}},
      {"UTF-16 LE without its mark",
       Utf16Bytes(info + path).substr(2),
       {"error", "warning [Information] AppName", "warning [Uninstall] Path"}},
      {"key of Shortcuts written twice",
       info + path +
           "[Shortcuts]\r\nS=Desk\r\nS=Send\r\n[Desk]\r\nName=Qm\r\nInto=0\r\n[Send]\r\nName=Qm\r\nInto=2\r\n",
       {"warning [Shortcuts] S", "warning [Send]"}},
  };
}

// A finding as the cases write it.
inline std::string Brief(const TFinding& f) {
  return std::string(f.Severity == TSeverity::Error ? "error" : "warning") +
         (f.Section.empty() ? "" : " [" + Utf16ToUtf8(f.Section) + "]") +
         (f.Key.empty() ? "" : " " + Utf16ToUtf8(f.Key));
}

inline std::vector<std::string> Briefs(const TConfigReport& r) {
  std::vector<std::string> b;
  for (const auto& f : r.Findings) b.push_back(Brief(f));
  return b;
}

#endif
