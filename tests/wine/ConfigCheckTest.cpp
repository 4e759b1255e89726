// The configuration check through the uninstaller's own reader: every case of
// the native table gives the same findings here, and the uninstaller's own
// steps do what the report says (the invitation, the folder-safety check, the
// Start-menu group and each shortcut), with the user's Shell Folders pointed
// into a scratch folder (the real values are restored).

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/Application.h"
#include "app/Config.h"
#include "embed-config/IniConfigSource.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "host/ConfigCheckCases.h"
#include "removal/FolderRemoval.h"
#include "removal/PathSafety.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

const wchar_t ShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class ConfigCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* name : {u"Programs", u"Desktop", u"SendTo"}) CreateDirectoryW(W(FDir / name), nullptr);
    Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) { return IDOK; };
    FForm.Create();
    SendMessageW(FForm.PB.Handle, PBM_SETRANGE32, 0, 1000);
  }
  void TearDown() override {
    UninIni.reset();
    Application.MessageBoxHook = nullptr;
  }

  // Points the user's Shell Folders into the scratch folder. Looking up a
  // known folder (the folder-safety check does, for the group) writes its
  // real path back into Shell Folders, so this is done before each run.
  void PointShellFolders() {
    for (const std::u16string name : {u"Programs", u"Desktop", u"SendTo"}) {
      const std::u16string folder = FDir / name;
      ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, ShellFolders, W(name), REG_SZ, W(folder),
                                static_cast<DWORD>((folder.size() + 1) * sizeof(char16_t))),
                ERROR_SUCCESS);
    }
  }

  // Stages a file wherever a shortcut of the report could be, and beside the
  // shell folders; runs RemoveShortcuts; exactly what the report lists is gone.
  void ExpectShortcutsAsReported(const TConfigReport& r, const std::u16string& file) {
    std::vector<std::u16string> staged, removed;
    const auto stage = [&](const std::u16string& path) {
      WriteBytes(path, "lnk");
      staged.push_back(path);
    };
    stage(FDir / u"Programs\\keep.lnk");
    stage(FDir / u"outside.lnk");
    const std::u16string group = FDir / (u"Programs\\" + r.Group.Name);
    const bool groupStaged = !r.Group.Name.empty() && IsPlainName(r.Group.Name);
    if (groupStaged) {
      CreateDirectoryW(W(group), nullptr);
      stage(group + u"\\group.lnk");
      if (r.Group.Removed) removed.push_back(group + u"\\group.lnk");
    }
    for (const auto& s : r.Shortcuts) {
      if (!s.Name.empty() && s.Name.size() < 100)  // a longer name would exceed the file system's limit
        for (const char16_t* folder : {u"Desktop\\", u"SendTo\\"})
          for (const char16_t* ext : {u"", u".lnk"}) stage(FDir / (folder + s.Name + ext));
      if (s.Place != TShortcutPlace::None)
        removed.push_back(FDir / ((s.Place == TShortcutPlace::Desktop ? u"Desktop\\" : u"SendTo\\") + s.File));
    }

    PointShellFolders();
    UninIni = std::make_unique<TIniFile>(file);
    FForm.RemoveShortcuts();
    UninIni.reset();

    for (const auto& f : staged) {
      const bool gone = std::any_of(removed.begin(), removed.end(), [&](const auto& x) { return SamePath(f, x); });
      EXPECT_EQ(FileExists(f), !gone) << Narrow(f);
    }
    for (const auto& f : staged) DeleteFileW(W(f));
    if (groupStaged) {
      EXPECT_EQ(FolderExists(group), !r.Group.Removed);
      RemoveDirectoryW(W(group));
    }
  }

  TSavedShellFolders FSavedFolders;  // put back after each case
  TScratchDir FDir{u"config-check"};
  TMainForm FForm;
};

TEST_F(ConfigCheck, TheUninstallerDoesWhatTheReportSays) {
  // The table's profile is this user's, whose folders the uninstaller knows here.
  wchar_t buf[MAX_PATH];
  ASSERT_NE(GetEnvironmentVariableW(L"USERPROFILE", buf, MAX_PATH), 0u);
  const std::string profile = Narrow(U(buf));
  int n = 0;
  for (TCheckCase c : CheckCases()) {
    SCOPED_TRACE(c.Name);
    for (size_t at; (at = c.Ini.find("C:\\Users\\Bob")) != std::string::npos;) c.Ini.replace(at, 12, profile);
    // A file of its own for each case: Wine's reader keeps recently read files cached by name.
    const std::u16string file = FDir / (u"case" + IntToText(++n) + u".ini");
    WriteBytes(file, c.Ini);
    const TConfigReport r = CheckConfiguration(TIniConfigSource(file));
    EXPECT_EQ(Briefs(r), c.Findings);

    const TIniFile ini(file);
    EXPECT_EQ(ini.ReadBool(u"Uninstall", u"Question", false), r.Feedback.Invitation);
    if (r.Folder.FromPath) {
      EXPECT_EQ(RemovableFolder(ini.ReadString(u"Uninstall", u"Path", u"")).has_value(), r.Folder.Deleted)
          << Narrow(r.Folder.Path);
    }
    ExpectShortcutsAsReported(r, file);
  }
}

// What the check says each of our users reads is what the reader gives under
// their code page (this test runs under each of their locales as well): every
// byte above 0x7F, in a file without a mark; a file with the UTF-16 LE mark
// reads as written under every one.
TEST(ConfigEncoding, TheReaderReadsWhatTheCheckSays) {
  TScratchDir dir(u"config-encoding");
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b) high += static_cast<char>(b);
  const std::u16string ansi = dir / u"ansi.ini", utf16 = dir / u"utf16.ini";
  WriteBytes(ansi, "[Information]\r\nAppName=<" + high + ">\r\n");
  WriteBytes(utf16, Utf16Bytes("[Information]\r\nAppName=Квиллмур Łódź Ærø\r\n"));
  const int codePage = static_cast<int>(GetACP());
  ASSERT_TRUE(codePage == 1250 || codePage == 1251 || codePage == 1252) << codePage;
  EXPECT_EQ(Narrow(TIniFile(ansi).ReadString(u"Information", u"AppName", u"")),
            Narrow(u"<" + ReadInCodePage(high, codePage) + u">"));
  EXPECT_EQ(TIniFile(utf16).ReadString(u"Information", u"AppName", u""), u"Квиллмур Łódź Ærø");
  EXPECT_EQ(CheckConfiguration(TIniConfigSource(utf16)).Encoding, TConfigEncoding::Utf16Le);
}

}  // namespace
