// The Start-menu group and the configured shortcuts, with the user's Shell
// Folders pointed into a scratch folder (the real values are restored).

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/Config.h"
#include "base/Error.h"
#include "base/Win32Text.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

const wchar_t ShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

void SetValue(const std::u16string& name, const std::u16string& value, DWORD type = REG_SZ) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, ShellFolders, W(name), type, W(value),
                            static_cast<DWORD>((value.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
}

void RemoveValue(const std::u16string& name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, ShellFolders, W(name)); }

void MakeFile(const std::u16string& path) { WriteBytes(path, "lnk"); }
void MakeDir(const std::u16string& path) { ASSERT_TRUE(CreateDirectoryW(W(path), nullptr)) << Narrow(path); }

class RemovalShortcuts : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDir(FDir / u"Programs");
    MakeDir(FDir / u"Desktop");
    MakeDir(FDir / u"SendTo");
    SetValue(u"Programs", FDir / u"Programs");
    SetValue(u"Desktop", FDir / u"Desktop");
    SetValue(u"SendTo", FDir / u"SendTo");

    Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) { return IDOK; };
    FForm.Create();
    SendMessageW(FForm.PB.Handle, PBM_SETRANGE32, 0, 1000);
  }
  void TearDown() override {
    UninIni.reset();
    Application.MessageBoxHook = nullptr;
  }
  void Configure(const std::string& ini) {
    WriteBytes(FDir / u"unin.ini", ini);
    UninIni = std::make_unique<TIniFile>(FDir / u"unin.ini");
  }
  int Position() const { return static_cast<int>(SendMessageW(FForm.PB.Handle, PBM_GETPOS, 0, 0)); }
  std::u16string In(const std::u16string& folder, const std::u16string& name) const {
    return FDir / (folder + u"\\" + name);
  }

  TSavedShellFolders FSavedFolders;  // put back after each case
  TScratchDir FDir{u"shortcuts"};
  TMainForm FForm;
};

TEST_F(RemovalShortcuts, RemovesTheGroupAndTheListedShortcuts) {
  MakeDir(In(u"Programs", u"Quill Group"));
  MakeFile(In(u"Programs", u"Quill Group\\Quill.lnk"));
  MakeFile(In(u"Programs", u"Quill Group\\Help.lnk"));
  SetFileAttributesW(W(In(u"Programs", u"Quill Group\\Help.lnk")), FILE_ATTRIBUTE_READONLY);
  MakeDir(In(u"Programs", u"Quill Group\\Tools"));
  MakeFile(In(u"Programs", u"Quill Group\\Tools\\Tool.lnk"));
  MakeDir(In(u"Programs", u"Other Group"));
  MakeFile(In(u"Programs", u"Other Group\\Other.lnk"));
  for (const char16_t* f : {u"Quill.lnk", u"Quill", u"Other.lnk", u"One.lnk"}) MakeFile(In(u"Desktop", f));
  for (const char16_t* f : {u"Quill Send", u"Quill Send.lnk", u"One"}) MakeFile(In(u"SendTo", f));

  Configure(
      "[Information]\r\nStartName=Quill Group\r\n"
      "[Shortcuts]\r\nz=Desk\r\na=Send\r\nm=Desk\r\nn=One\r\no=NoInto\r\np=Missing\r\nq=NoName\r\n"
      "[Desk]\r\nFileName=C:\\x\\Quill.exe\r\nName=Quill\r\nInto=0\r\n"
      "[Send]\r\nName=Quill Send\r\nInto=$2\r\n"
      "[One]\r\nName=One\r\nInto=1\r\n"
      "[NoInto]\r\nName=Other\r\n"
      "[NoName]\r\nInto=0\r\n");
  FForm.RemoveShortcuts();

  EXPECT_FALSE(FolderExists(In(u"Programs", u"Quill Group")));
  EXPECT_EQ(Position(), 3);  // the group's files; shortcuts do not count
  EXPECT_TRUE(FileExists(In(u"Programs", u"Other Group\\Other.lnk")));
  EXPECT_FALSE(FileExists(In(u"Desktop", u"Quill.lnk")));
  EXPECT_FALSE(FileExists(In(u"SendTo", u"Quill Send")));
  for (const char16_t* f : {u"Quill", u"Other.lnk", u"One.lnk"})
    EXPECT_TRUE(FileExists(In(u"Desktop", f))) << Narrow(f);
  for (const char16_t* f : {u"Quill Send.lnk", u"One"}) EXPECT_TRUE(FileExists(In(u"SendTo", f))) << Narrow(f);
}

TEST_F(RemovalShortcuts, WithoutAGroupTheShortcutsStillGo) {
  MakeFile(In(u"Programs", u"Keep.lnk"));
  MakeDir(In(u"Programs", u"Keep"));
  MakeFile(In(u"Desktop", u"Quill.lnk"));
  Configure("[Information]\r\nStartName=\r\n[Shortcuts]\r\n1=Desk\r\n[Desk]\r\nName=Quill\r\nInto=0\r\n");
  FForm.RemoveShortcuts();
  EXPECT_TRUE(FileExists(In(u"Programs", u"Keep.lnk")));
  EXPECT_TRUE(FolderExists(In(u"Programs", u"Keep")));
  EXPECT_FALSE(FileExists(In(u"Desktop", u"Quill.lnk")));
}

TEST_F(RemovalShortcuts, NamesThatLeadElsewhereNameNothing) {
  // Entries a careless name could reach: the shell folders themselves and
  // what lies beside them.
  MakeFile(In(u"Programs", u"Keep.lnk"));
  MakeFile(FDir / u"outside.lnk");
  MakeFile(FDir / u"outside");
  MakeFile(In(u"Desktop", u"..lnk"));
  MakeFile(In(u"SendTo", u"keep"));
  for (const char* start : {"..", ".", "   ", ". .", "..\\SendTo", "Programs/..", "C:"}) {
    Configure(std::string("[Information]\r\nStartName=") + start +
              "\r\n[Shortcuts]\r\n1=A\r\n2=B\r\n3=C\r\n4=D\r\n5=E\r\n"
              "[A]\r\nName=..\\outside\r\nInto=0\r\n[B]\r\nName=.\r\nInto=0\r\n[C]\r\nName=..\r\nInto=2\r\n"
              "[D]\r\nName=../outside\r\nInto=2\r\n[E]\r\nName=C:keep\r\nInto=2\r\n");
    FForm.RemoveShortcuts();
    EXPECT_TRUE(FileExists(In(u"Programs", u"Keep.lnk"))) << start;
  }
  EXPECT_TRUE(FolderExists(In(u"Programs", u"")));
  EXPECT_TRUE(FileExists(FDir / u"outside.lnk"));
  EXPECT_TRUE(FileExists(FDir / u"outside"));
  EXPECT_TRUE(FileExists(In(u"Desktop", u"..lnk")));
  EXPECT_TRUE(FileExists(In(u"SendTo", u"keep")));
  EXPECT_EQ(Position(), 0);
}

TEST_F(RemovalShortcuts, UnknownShellFoldersAreSkipped) {
  // Without a folder the paths would start at the root of the current drive.
  const std::u16string group = u"C:\\QmTestGroup";
  CreateDirectoryW(W(group), nullptr);
  MakeFile(group + u"\\x.lnk");
  MakeFile(u"C:\\QmTestDesk.lnk");
  MakeFile(u"C:\\QmTestSend");
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  RemoveValue(u"Programs");
  SetValue(u"Desktop", u"");
  SetValue(u"SendTo", u"SendTo");  // relative: no folder of the user's
  Configure(
      "[Information]\r\nStartName=QmTestGroup\r\n[Shortcuts]\r\n1=A\r\n2=B\r\n"
      "[A]\r\nName=QmTestDesk\r\nInto=0\r\n[B]\r\nName=QmTestSend\r\nInto=2\r\n");
  FForm.RemoveShortcuts();
  SetCurrentDirectoryW(W(TestExeDir()));
  EXPECT_TRUE(FileExists(group + u"\\x.lnk"));
  EXPECT_TRUE(FileExists(u"C:\\QmTestDesk.lnk"));
  EXPECT_TRUE(FileExists(u"C:\\QmTestSend"));
  DeleteFileW(L"C:\\QmTestDesk.lnk");
  DeleteFileW(L"C:\\QmTestSend");
  DeleteFileW(W(group + u"\\x.lnk"));
  RemoveDirectoryW(W(group));
}

TEST_F(RemovalShortcuts, ValuesAreUsedAsStored) {
  // An expandable string is text too, and its references are not expanded.
  SetEnvironmentVariableW(L"QM_TEST_SHELL", W(FDir.Path()));
  SetValue(u"Programs", u"%QM_TEST_SHELL%\\Programs", REG_EXPAND_SZ);
  SetValue(u"Desktop", FDir / u"Desktop", REG_EXPAND_SZ);
  MakeDir(In(u"Programs", u"Quill Group"));
  MakeFile(In(u"Programs", u"Quill Group\\Quill.lnk"));
  MakeFile(In(u"Desktop", u"Quill.lnk"));
  Configure("[Information]\r\nStartName=Quill Group\r\n[Shortcuts]\r\n1=Desk\r\n[Desk]\r\nName=Quill\r\nInto=0\r\n");
  FForm.RemoveShortcuts();
  SetEnvironmentVariableW(L"QM_TEST_SHELL", nullptr);
  EXPECT_TRUE(FileExists(In(u"Programs", u"Quill Group\\Quill.lnk")));
  EXPECT_FALSE(FileExists(In(u"Desktop", u"Quill.lnk")));
}

TEST_F(RemovalShortcuts, AShellFolderThatIsNoTextStopsBeforeAnyDeletion) {
  MakeDir(In(u"Programs", u"Quill Group"));
  MakeFile(In(u"Programs", u"Quill Group\\Quill.lnk"));
  MakeFile(In(u"Desktop", u"Quill.lnk"));
  Configure("[Information]\r\nStartName=Quill Group\r\n[Shortcuts]\r\n1=Desk\r\n[Desk]\r\nName=Quill\r\nInto=0\r\n");
  const DWORD number = 7;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, ShellFolders, L"SendTo", REG_DWORD, &number, sizeof(number)),
            ERROR_SUCCESS);
  try {
    FForm.RemoveShortcuts();
    ADD_FAILURE() << "no error";
  } catch (const TError& e) {
    EXPECT_EQ(e.Message(), u"Invalid data type for 'SendTo'");
  }
  EXPECT_TRUE(FileExists(In(u"Programs", u"Quill Group\\Quill.lnk")));
  EXPECT_TRUE(FileExists(In(u"Desktop", u"Quill.lnk")));
}

}  // namespace

namespace {

// RemovalShortcutsTest.prepare builds C:\qmtest\startlinks: a group and two
// desktop shortcuts that are links into another program's folder.
TEST_F(RemovalShortcuts, LinksInTheUsersFoldersGoAsLinksAndWhatTheyLeadToStays) {
  const std::u16string root = u"C:\\qmtest\\startlinks";
  ASSERT_TRUE(FileExists(root + u"\\other\\data\\d.dat")) << "the .prepare script did not run";
  SetValue(u"Programs", root + u"\\Programs");
  SetValue(u"Desktop", root + u"\\Desktop");
  SetValue(u"SendTo", root + u"\\SendTo");
  Configure(
      "[Information]\r\nStartName=Quill Group\r\n[Shortcuts]\r\na=App\r\nb=Dir\r\n"
      "[App]\r\nName=Quill\r\nInto=0\r\n[Dir]\r\nName=Dir\r\nInto=0\r\n");
  FForm.RemoveShortcuts();
  // Windows removes the three links; Wine cannot remove a link, and opens
  // what one leads to even when asked for the link itself, so they stay.
  EXPECT_TRUE(FileExists(root + u"\\other\\app.exe"));
  EXPECT_TRUE(FileExists(root + u"\\other\\data\\d.dat"));
  EXPECT_EQ(Position(), 0);
}

}  // namespace
