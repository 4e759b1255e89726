// The self-deletion: the batch file's bytes, and a whole run in a child
// process (this test program, copied and started with a filter).

#include <windows.h>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/Config.h"
#include "base/Win32Text.h"
#include "removal/SelfDelete.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

constexpr wchar_t ChildVariable[] = L"QM_SELF_DELETE_CHILD";

TEST(SelfDelete, TheBatchFileIsAnsiWithCrLfAndReplacesAnOldOne) {
  TScratchDir dir(u"self bat");
  // "é" is 0xE9 in the code page Wine uses under the C locale.
  const bool latin1 = GetACP() == 1252;
  const std::u16string exeName = latin1 ? u"Quill Setup \u00e9.exe" : u"Quill Setup.exe";
  const std::string exeBytes = latin1 ? "Quill Setup \xE9.exe" : "Quill Setup.exe";
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

  // With the long path the name comes out in the ANSI code page, one byte a
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
  EXPECT_FALSE(FileExists(dir / u"unin.ini"));  // the window went on the way out
  EXPECT_TRUE(WaitFor([&] { return !FileExists(exe) && !FileExists(dir / u"$$QW_DEL.bat"); }))
      << "left: " << FileExists(exe) << FileExists(dir / u"$$QW_DEL.bat");
}

// Runs only in the child that the test above starts.
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
