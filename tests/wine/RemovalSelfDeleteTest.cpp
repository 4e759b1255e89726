// The self-deletion: the batch file's bytes, and a whole run in a child
// process (this test program, copied and started with a filter).

#include <windows.h>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/Config.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/SelfDelete.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

constexpr wchar_t ChildVariable[] = L"QM_SELF_DELETE_CHILD";

TEST(SelfDelete, TheBatchFileIsOemWithCrLfAndReplacesAnOldOne) {
  TScratchDir dir(u"self bat");
  // "é" is 0x82 in the OEM code page Wine uses under the C locale (437),
  // where the ANSI one (1252) has 0xE9.
  const bool oem437 = GetOEMCP() == 437;
  const std::u16string exeName = oem437 ? u"Quill Setup \u00e9.exe" : u"Quill Setup.exe";
  const std::string exeBytes = oem437 ? "Quill Setup \x82.exe" : "Quill Setup.exe";
  WriteBytes(dir / exeName, "MZ");
  WriteBytes(dir / u"$$QW_DEL.bat", std::string(5000, 'x'));  // left by an earlier run

  // The executable's path as given (here in 8.3 form); the batch file's own
  // path in its long form.
  wchar_t shortExe[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(W(dir / exeName), shortExe, MAX_PATH), 0u);
  const std::string exe = Narrow(U(shortExe));
  const std::u16string bat = WriteSelfDeleteBatch(U(shortExe));

  EXPECT_EQ(bat, dir / u"$$QW_DEL.bat");
  EXPECT_EQ(ReadBytes(bat),
            ":try\r\n"
            "del \"" +
                exe +
                "\"\r\n"
                "if exist \"" +
                exe +
                "\" goto try\r\n"
                "del \"C:\\qmtest\\scratch\\self bat\\$$QW_DEL.bat\"\r\n");

  // With the long path the name comes out in the OEM code page, one byte a
  // character, with no byte-order mark.
  WriteSelfDeleteBatch(dir / exeName);
  const std::string longExe = "C:\\qmtest\\scratch\\self bat\\" + exeBytes;
  EXPECT_EQ(ReadBytes(bat), ":try\r\ndel \"" + longExe + "\"\r\nif exist \"" + longExe +
                                "\" goto try\r\ndel \"C:\\qmtest\\scratch\\self bat\\$$QW_DEL.bat\"\r\n");

  // A file that cannot be replaced is neither written nor started.
  HANDLE held = CreateFileW(W(bat), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::string before = ReadBytes(bat);
  EXPECT_EQ(WriteSelfDeleteBatch(dir / u"Other.exe"), u"");
  EXPECT_EQ(ReadBytes(bat), before);
  CloseHandle(held);
}

TEST(SelfDelete, TheExecutableAndTheBatchFileGoOnceTheProcessHasEnded) {
  TScratchDir dir(u"self delete");
  const std::u16string exe = dir / u"Quill Self.exe";
  CopyOrDie(ExePath(), exe);
  WriteBytes(dir / u"unin.ini", "[Information]\r\n");
  WriteBytes(dir / u"$$QW_DEL.bat", "exit\r\n");  // would keep the executable if it stayed

  SetEnvironmentVariableW(ChildVariable, L"1");
  HANDLE child = Start(exe, u"--gtest_filter=SelfDeleteChild.*");
  SetEnvironmentVariableW(ChildVariable, nullptr);
  ASSERT_NE(child, nullptr);
  ASSERT_EQ(WaitForSingleObject(child, 60000), WAIT_OBJECT_0);
  DWORD code = 12345;
  GetExitCodeProcess(child, &code);
  CloseHandle(child);

  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(FileExists(dir / u"unin.ini"));  // FormDestroy ran on the way out
  EXPECT_TRUE(WaitFor([&] { return !FileExists(exe) && !FileExists(dir / u"$$QW_DEL.bat"); }))
      << "left: " << FileExists(exe) << FileExists(dir / u"$$QW_DEL.bat");
}

// Folders named in our users' languages, in none of their code pages, and
// with the characters the command interpreter treats specially. Run under
// the C locale and under ru_RU, uk_UA and pl_PL (ANSI 1251/1251/1250, OEM
// 866/866/852): Ukrainian "і" is in 1251 but not in 866, Greek and Chinese
// in neither, so those take the short form.
TEST(SelfDelete, TheExecutableGoesFromAFolderOfAnyName) {
  const std::u16string names[] = {
      u"\u0412\u0440\u0435\u043c\u0435\u043d\u043d\u044b\u0435 \u0444\u0430\u0439\u043b\u044b",  // Временные файлы
      u"\u0422\u0438\u043c\u0447\u0430\u0441\u043e\u0432\u0456 \u0444\u0430\u0439\u043b\u0438",  // Тимчасові файли
      u"Pliki tymczasowe \u0105\u0119\u0142\u015b\u017c",                                        // ąęłśż
      u"\u03a0\u03c1\u03bf\u03c3\u03c9\u03c1\u03b9\u03bd\u03ac \u4e34\u65f6",  // Προσωρινά 临时
      u"a b %TEMP% & ^ (1) !x!",
  };
  int i = 0;
  for (const auto& name : names) {
    TScratchDir dir(u"self any " + IntToText(i++));
    const std::u16string folder = dir / name;
    ASSERT_TRUE(CreateDirectoryW(W(folder), nullptr)) << Narrow(name);
    const std::u16string exe = folder + u"\\QW_Setup.exe";
    CopyOrDie(ExePath(), exe);
    WriteBytes(folder + u"\\unin.ini", "[Information]\r\n");
    WriteBytes(dir / u"QW_Setup.exe", "MZ must stay");  // what a wrong path could reach instead

    SetEnvironmentVariableW(ChildVariable, L"1");
    HANDLE child = Start(exe, u"--gtest_filter=SelfDeleteChild.*");
    SetEnvironmentVariableW(ChildVariable, nullptr);
    ASSERT_NE(child, nullptr) << Narrow(name);
    ASSERT_EQ(WaitForSingleObject(child, 60000), WAIT_OBJECT_0);
    CloseHandle(child);
    EXPECT_TRUE(WaitFor([&] { return !FileExists(exe) && !FileExists(folder + u"\\$$QW_DEL.bat"); }))
        << Narrow(name) << " (ANSI " << GetACP() << ", OEM " << GetOEMCP() << ") left: " << FileExists(exe)
        << FileExists(folder + u"\\$$QW_DEL.bat");
    EXPECT_TRUE(FileExists(dir / u"QW_Setup.exe"));
    // The batch file's command interpreter may still be in the folder a moment.
    EXPECT_TRUE(WaitFor([&] { return RemoveDirectoryW(W(folder)) != FALSE; }))
        << Narrow(name) << ": nothing else may stay, error " << GetLastError();
  }
}

// Runs only in the child that the tests above start.
TEST(SelfDeleteChild, DeletesItself) {
  if (!GetEnvironmentVariableW(ChildVariable, nullptr, 0)) GTEST_SKIP() << "runs as the child of SelfDelete.*";
  Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) { return IDOK; };
  TMainForm form;
  form.Create();  // reports the missing configuration resource
  UninIni = std::make_unique<TIniFile>(ConfigurationPath());
  ASSERT_TRUE(FileExists(ConfigurationPath()));
  form.SelfDelete();
}

}  // namespace
