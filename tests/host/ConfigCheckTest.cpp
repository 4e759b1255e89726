#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "embed-config/ConfigCheck.h"
#include "embed-config/ConfigReport.h"
#include "host/ConfigCheckCases.h"

namespace {

// INI text read the private-profile way: names in any letter case, blanks
// around names and values dropped, the first section and key of a name win,
// values cut to 2047 characters. As Windows' reader: UTF-16 LE after its mark,
// anything else in the ANSI code page (1252 here, as the Wine tests have it).
class TIniText : public TConfigSource {
 public:
  explicit TIniText(const std::string& bytes) : FBytes(bytes) {
    std::u16string text;
    if (bytes.starts_with("\xFF\xFE")) {
      for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text +=
            static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    } else {
      text = ReadInCodePage(bytes, 1252);
    }
    for (const auto& raw : SplitLines(text)) {
      const std::u16string line = Trim(raw);
      if (line.starts_with(u'[')) {
        FSections.push_back({Trim(line.substr(1, line.find(u']') - 1)), {}});
      } else if (const size_t eq = line.find(u'='); eq != std::u16string::npos && !FSections.empty()) {
        FSections.back().Keys.push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
      }
    }
  }
  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            const std::u16string& def) const override {
    const auto* value = Find(section, key);
    return value ? value->substr(0, 2047) : def;
  }
  std::vector<std::u16string> ReadSection(const std::u16string& section) const override {
    std::vector<std::u16string> names;
    if (const auto* s = Find(section))
      for (const auto& k : s->Keys) names.push_back(k.first);
    return names;
  }
  std::vector<std::u16string> ReadSectionNames() const override {
    std::vector<std::u16string> names;
    for (const auto& s : FSections) names.push_back(s.Name);
    return names;
  }
  std::size_t ValueLength(const std::u16string& section, const std::u16string& key) const override {
    const auto* value = Find(section, key);
    return value ? value->size() : 0;
  }
  std::string Bytes() const override { return FBytes; }

 private:
  struct TSection {
    std::u16string Name;
    std::vector<std::pair<std::u16string, std::u16string>> Keys;
  };
  const TSection* Find(const std::u16string& section) const {
    for (const auto& s : FSections)
      if (LowerAscii(s.Name) == LowerAscii(section)) return &s;
    return nullptr;
  }
  const std::u16string* Find(const std::u16string& section, const std::u16string& key) const {
    if (const auto* s = Find(section))
      for (const auto& k : s->Keys)
        if (LowerAscii(k.first) == LowerAscii(key)) return &k.second;
    return nullptr;
  }
  std::string FBytes;
  std::vector<TSection> FSections;
};

TEST(ConfigCheck, EachCaseGivesItsFindings) {
  for (const auto& c : CheckCases()) {
    const TConfigReport r = CheckConfiguration(TIniText(c.Ini));
    EXPECT_EQ(Briefs(r), c.Findings) << c.Name << "\n" << Utf16ToUtf8(FormatReportText(r, u"case.ini"));
  }
  // The system may live on any drive: its folders' shapes count on each.
  for (const char* path : {"D:\\Windows", "e:\\program files (x86)", "\\\\?\\D:\\Users\\Bob\\Desktop"})
    EXPECT_EQ(Briefs(CheckConfiguration(
                  TIniText(std::string("[Information]\r\nAppName=Qm\r\n[Uninstall]\r\nPath=") + path + "\r\n"))),
              std::vector<std::string>{"error [Uninstall] Path"})
        << path;
}

TEST(ConfigCheck, TheCheckedSampleIsTheShippedOne) {
  std::ifstream f(QM_SOURCE_DIR "/tools/sample/unin.ini", std::ios::binary);
  std::stringstream bytes;
  bytes << f.rdbuf();
  EXPECT_EQ(bytes.str(), SampleIni);
}

TEST(ConfigCheck, ReportsForPeopleAndForScripts) {
  const TConfigReport sample = CheckConfiguration(TIniText(SampleIni));
  EXPECT_EQ(FormatReportText(sample, u"unin.ini"),
            u"Configuration: unin.ini\r\n"
            u"Encoding:      ASCII, which reads the same under every code page\r\n"
            u"Product:       Quillmoor, version 4.5.1\r\n"
            u"Invitation:    shown\r\n"
            u"Feedback:      posted to http://127.0.0.1:8765/feedback.php\r\n"
            u"               scheme http, host 127.0.0.1, port 8765, target /feedback.php\r\n"
            u"Folder:        the product's registered UninstallPath, from\r\n"
            u"               HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor\r\n"
            u"               (on 64-bit Windows the 32-bit uninstaller reads it under "
            u"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node)\r\n"
            u"Start menu:    the group \"Quillmoor\" in the user's Programs folder\r\n"
            u"Shortcuts:     2 shortcuts, in file order\r\n"
            u"  Desktop=ShortcutDesktop: \"Quillmoor.lnk\" from the user's desktop\r\n"
            u"  SendTo=ShortcutSendTo: \"Quillmoor playlist\" from the user's SendTo folder\r\n"
            u"No warnings, no errors.\r\n");
  EXPECT_EQ(
      FormatReportJson(sample, u"C:\\cfg\\unin.ini", u"", false),
      R"({"config":"C:\\cfg\\unin.ini","target":null,"embedded":false,"encoding":"ascii",)"
      R"("product":{"name":"Quillmoor","version":"4.5.1"},)"
      R"("feedback":{"invitation":true,"url":"http://127.0.0.1:8765/feedback.php","postable":true,)"
      R"("reason":null,"scheme":"http","host":"127.0.0.1","port":8765,"target":"/feedback.php"},)"
      R"("folder":{"from":"registry","path":null,"deleted":null,)"
      R"("registryKey":"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor"},)"
      R"("startMenuGroup":{"name":"Quillmoor","removed":true},)"
      R"("shortcuts":[{"key":"Desktop","section":"ShortcutDesktop","name":"Quillmoor","into":0,)"
      R"("folder":"desktop","file":"Quillmoor.lnk","skipped":null},)"
      R"({"key":"SendTo","section":"ShortcutSendTo","name":"Quillmoor playlist","into":2,)"
      R"("folder":"sendTo","file":"Quillmoor playlist","skipped":null}],)"
      R"("findings":[],"warnings":0,"errors":0})");

  // Findings, and quotes, backslashes, control and non-ASCII characters in values.
  const TConfigReport odd = CheckConfiguration(
      TIniText(Utf16Bytes("[Information]\r\nAppName=Q\"m\x01\\x\r\nAppVer=\xC3\xA9\r\n[Uninstall]\r\nPath=rel\r\n")));
  const std::u16string text = FormatReportText(odd, u"c.ini");
  for (const char16_t* line : {u"Folder:        none (the folder-safety check refuses \"rel\")\r\n",
                               u"error: [Uninstall] Path \"rel\" is not a full path: the folder-safety check "
                               u"refuses it and no folder is deleted\r\n",
                               u"1 error, 1 warning.\r\n"})
    EXPECT_NE(text.find(line), std::u16string::npos) << Utf16ToUtf8(line) << Utf16ToUtf8(text);
  const std::string json = FormatReportJson(odd, u"c.ini", u"C:\\t\\u.exe", true);
  for (const char* part :
       {R"("target":"C:\\t\\u.exe","embedded":true)", R"("name":"Q\"m\u0001\\x","version":"é")",
        R"("folder":{"from":"Path","path":"rel","deleted":false,"registryKey":null})",
        R"({"severity":"error","section":"Uninstall","key":"Path","message":"\"rel\" is not a full path)"})
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;

  // Text that reads by the user's code page: what each of our users' systems makes of it.
  const std::string name = "[Information]\r\nAppName=Квиллмур Тест\r\n";
  const std::u16string utf8 = FormatReportText(CheckConfiguration(TIniText(name)), u"c.ini");
  for (const char16_t* part :
       {u"Encoding:      UTF-8 without a byte-order mark, read in the user's ANSI code page\r\n",
        u"error: [Information] AppName holds text that reads by the user's code page: \"Квиллмур Тест\" (UTF-8) "
        u"reads as \"РљРІРёР»Р»РјСѓСЂ РўРµСЃС‚\" under 1251 (Russian, Ukrainian), \"ĐšĐ˛Đ¸",
        u"under 1250 (Polish), \"ÐšÐ²Ð¸",
        u"under 1252 (English, Dutch); save the file as UTF-16 LE with a byte-order mark, which reads the same "
        u"everywhere\r\n"})
    EXPECT_NE(utf8.find(part), std::u16string::npos) << Utf16ToUtf8(part) << "\n" << Utf16ToUtf8(utf8);
  const std::u16string ansi = FormatReportText(
      CheckConfiguration(TIniText("[Information]\r\nAppName=\xCA\xE2\xE8\xEB\xEB\xEC\xF3\xF0\r\n")), u"c.ini");
  EXPECT_NE(ansi.find(u"AppName holds text that reads by the user's code page: the uninstaller reads \"Квиллмур\" "
                      u"under 1251 (Russian, Ukrainian), \"Ęâčëëěóđ\" under 1250 (Polish), \"Êâèëëìóð\" under 1252"),
            std::u16string::npos)
      << Utf16ToUtf8(ansi);
  EXPECT_NE(FormatReportJson(CheckConfiguration(TIniText(Utf16Bytes(name, true))), u"c.ini", u"", false)
                .find(R"("encoding":"utf-16be",)"),
            std::string::npos);
}

}  // namespace
