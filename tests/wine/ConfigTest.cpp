// The configuration reader, the resource extraction and the registered
// product folder, in process.

#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/Config.h"
#include "base/Error.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

TEST(IniFile, ReadsTextsIntegersFlagsAndSections) {
  TScratchDir dir(u"ini");
  const std::string longValue(3000, 'v');
  WriteBytes(dir / u"c.ini",
             "[Information]\r\nAppName=Quillmoor\r\nAppVer=4.5\r\nLong=" + longValue +
                 "\r\n[Uninstall]\r\nq1=1\r\nq2=2\r\nqm=-1\r\nqh=0x10\r\nq0=0\r\nqy=yes\r\nq1a=1a\r\nqe=\r\n"
                 "[Shortcuts]\r\nzeta=S1\r\nalpha=S2\r\nmid=S1\r\n"
                 "[S1]\r\nInto=2\r\n[S2]\r\nInto=$2\r\n[S3]\r\nInto=0x2\r\n[S4]\r\nInto=two\r\n[S5]\r\nInto=\r\n");
  TIniFile ini(dir / u"c.ini");

  EXPECT_EQ(ini.ReadString(u"information", u"APPNAME", u"d"), u"Quillmoor");  // names ignore case
  EXPECT_EQ(ini.ReadString(u"Information", u"Missing", u"dflt"), u"dflt");
  EXPECT_EQ(ini.ReadString(u"Nowhere", u"AppName", u""), u"");
  EXPECT_EQ(ini.ReadString(u"Information", u"Long", u""), std::u16string(2047, u'v'));

  for (const char16_t* key : {u"q1", u"q2", u"qm", u"qh"})
    EXPECT_TRUE(ini.ReadBool(u"Uninstall", key, false)) << Narrow(key);
  for (const char16_t* key : {u"q0", u"qy", u"q1a", u"qe", u"absent"})
    EXPECT_FALSE(ini.ReadBool(u"Uninstall", key, false)) << Narrow(key);

  for (const char16_t* s : {u"S1", u"S2", u"S3"}) EXPECT_EQ(ini.ReadInteger(s, u"Into", -1), 2) << Narrow(s);
  for (const char16_t* s : {u"S4", u"S5", u"S6"}) EXPECT_EQ(ini.ReadInteger(s, u"Into", -1), -1) << Narrow(s);

  EXPECT_EQ(ini.ReadSection(u"Shortcuts"), (std::vector<std::u16string>{u"zeta", u"alpha", u"mid"}));
  EXPECT_TRUE(ini.ReadSection(u"Absent").empty());
  EXPECT_TRUE(TIniFile(dir / u"none.ini").ReadSection(u"Shortcuts").empty());
}

TEST(IniFile, SectionWithManyLongKeysComesBackWhole) {
  TScratchDir dir(u"ini-big");
  std::string text = "[Shortcuts]\r\n";
  for (int i = 0; i < 400; ++i) text += "key_" + std::to_string(i) + std::string(40, 'k') + "=v\r\n";
  WriteBytes(dir / u"c.ini", text);
  const auto names = TIniFile(dir / u"c.ini").ReadSection(u"Shortcuts");
  ASSERT_EQ(names.size(), 400u);
  EXPECT_EQ(names.back(), Utf8ToUtf16("key_399" + std::string(40, 'k')));
}

// The configured copy of uninstall.exe, loaded as data.
class TConfiguredModule {
 public:
  TConfiguredModule(const TScratchDir& dir, const std::string& ini) {
    MakeConfiguredExe(dir / u"configured.exe", ini);
    FModule = LoadLibraryExW(W(dir / u"configured.exe"), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  ~TConfiguredModule() {
    if (FModule) FreeLibrary(FModule);
  }
  HMODULE Get() const { return FModule; }

 private:
  HMODULE FModule = nullptr;
};

TEST(ExtractConfiguration, WritesTheResourceBytesOverAnEarlierFile) {
  TScratchDir dir(u"extract");
  const std::string ini = "[Information]\r\nAppName=Q\xC3\xA9\r\n; bytes as written\r\n";
  TConfiguredModule module(dir, ini);
  ASSERT_NE(module.Get(), nullptr);
  WriteBytes(dir / u"unin.ini", std::string(5000, 'x'));  // left by an earlier run
  ExtractConfigurationFrom(module.Get(), dir / u"unin.ini");
  EXPECT_EQ(ReadBytes(dir / u"unin.ini"), ini);
}

TEST(ExtractConfiguration, MissingResourceAndUnwritableFileGiveTheirTexts) {
  TScratchDir dir(u"extract-fail");
  try {
    ExtractConfigurationFrom(GetModuleHandleW(nullptr), dir / u"unin.ini");  // the test program has none
    FAIL() << "no error";
  } catch (const TError& e) {
    EXPECT_EQ(e.Message(), u"Resource UNIN not found");
    EXPECT_EQ(ErrorBoxText(e.Message()), u"Resource UNIN not found.");
  }
  EXPECT_FALSE(FileExists(dir / u"unin.ini"));

  TConfiguredModule module(dir, "[Information]\r\n");
  const std::u16string bad = dir / u"no-such-folder\\unin.ini";
  try {
    ExtractConfigurationFrom(module.Get(), bad);
    FAIL() << "no error";
  } catch (const TError& e) {
    EXPECT_EQ(e.Message(), u"Cannot create file \"" + bad + u"\". " + SysErrorMessage(ERROR_PATH_NOT_FOUND));
    EXPECT_NE(SysErrorMessage(ERROR_PATH_NOT_FOUND), u"");
  }
}

// A window without the start-up sequence, for GetUninstallPath.
class UninstallPath : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.MessageBoxHook = [this](const std::u16string& text, const std::u16string&, UINT) {
      FBoxes.push_back(text);
      return IDOK;
    };
    FForm.Create();  // its creation reports the missing resource of the test program
    ASSERT_EQ(FBoxes, std::vector<std::u16string>{u"Resource UNIN not found."});
    Application.MainWindow = FForm.Handle();
    FBoxes.clear();
  }
  void TearDown() override {
    Application.MainWindow = nullptr;
    Application.MessageBoxHook = nullptr;
    AppName.clear();
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  // True when the close operation has requested the end of the process.
  static bool EndRequested() {
    MSG m;
    return PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  }
  TMainForm FForm;
  std::vector<std::u16string> FBoxes;
};

TEST_F(UninstallPath, ReadsTheRegisteredFolderAsStored) {
  AppName = u"QmTest Product";
  TScratchUninstallKey key(AppName);
  key.SetString(u"UninstallPath", u"%ProgramFiles%\\Quillmoor", REG_EXPAND_SZ);
  EXPECT_EQ(FForm.GetUninstallPath(), u"%ProgramFiles%\\Quillmoor");
  EXPECT_FALSE(EndRequested());
  key.SetString(u"UninstallPath", u"C:\\Program Files\\Quillmoor");
  EXPECT_EQ(FForm.GetUninstallPath(), u"C:\\Program Files\\Quillmoor");
}

TEST_F(UninstallPath, AbsentOrUnusableEntriesGiveTheEmptyText) {
  AppName = u"QmTest Absent";
  EXPECT_EQ(FForm.GetUninstallPath(), u"");
  EXPECT_TRUE(EndRequested());  // the missing product entry closes the window

  AppName = u"QmTest NoValue";
  TScratchUninstallKey key(AppName);
  EXPECT_EQ(FForm.GetUninstallPath(), u"");
  EXPECT_FALSE(EndRequested());
  key.SetString(u"UninstallPath", u"");
  EXPECT_EQ(FForm.GetUninstallPath(), u"");
  // A number is no folder: neither it nor the executable's folder is used.
  key.SetDword(u"UninstallPath", 42);
  EXPECT_EQ(FForm.GetUninstallPath(), u"");
  EXPECT_TRUE(FBoxes.empty());
}

TEST_F(UninstallPath, EmptyAppNameNamesTheListItself) {
  AppName.clear();
  EXPECT_EQ(FForm.GetUninstallPath(), u"");
  EXPECT_FALSE(EndRequested());  // the list's key exists
}

}  // namespace
