// embed-config, the installer's resource writer: what it writes, what it
// refuses, and that a refused or failed run leaves the target as it was.

#include <gtest/gtest.h>

#include "app/Config.h"
#include "base/Win32Text.h"
#include "wine/WineTestSupport.h"

namespace {

int Embed(const std::u16string& args) { return RunAndWait(TestExeDir() + u"embed-config.exe", args); }

std::u16string Quoted(const std::u16string& s) { return u"\"" + s + u"\""; }

// The LIST/UNIN resource of the image at path, or "<none>".
std::string EmbeddedConfig(const std::u16string& path) {
  HMODULE m = LoadLibraryExW(W(path), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) return "<not loadable>";
  std::string r = "<none>";
  if (HRSRC info = FindResourceW(m, L"UNIN", L"LIST"))
    r.assign(static_cast<const char*>(LockResource(LoadResource(m, info))), SizeofResource(m, info));
  FreeLibrary(m);
  return r;
}

TEST(EmbedConfig, WritesAndReplacesTheConfiguration) {
  TScratchDir dir(u"embed");
  const std::u16string exe = dir / u"uninstall.exe";
  CopyOrDie(TestExeDir() + u"uninstall.exe", exe);
  EXPECT_EQ(EmbeddedConfig(exe), "<none>");  // the program as built carries none
  WriteBytes(dir / u"a.ini", "[Information]\r\nAppName=First\r\n");
  WriteBytes(dir / u"b.ini", "[Information]\r\nAppName=Second, longer than the first\r\n");
  EXPECT_EQ(Embed(Quoted(exe) + u" " + Quoted(dir / u"a.ini")), 0);
  EXPECT_EQ(EmbeddedConfig(exe), "[Information]\r\nAppName=First\r\n");
  EXPECT_EQ(Embed(Quoted(exe) + u" " + Quoted(dir / u"b.ini")), 0);
  EXPECT_EQ(EmbeddedConfig(exe), "[Information]\r\nAppName=Second, longer than the first\r\n");
  EXPECT_FALSE(FileExists(exe + u".embed-config.tmp"));
}

TEST(EmbedConfig, RefusesBadInputAndLeavesTheTargetUntouched) {
  TScratchDir dir(u"embed-bad");
  const std::u16string exe = dir / u"uninstall.exe";
  CopyOrDie(TestExeDir() + u"uninstall.exe", exe);
  WriteBytes(dir / u"ok.ini", "[Information]\r\n");
  WriteBytes(dir / u"empty.ini", "");
  WriteBytes(dir / u"text.exe", "MZ but nothing more of a PE image");
  const std::string before = ReadBytes(exe);

  EXPECT_EQ(Embed(u""), 2);
  EXPECT_EQ(Embed(Quoted(exe)), 2);
  EXPECT_EQ(Embed(Quoted(exe) + u" " + Quoted(dir / u"missing.ini")), 1);
  EXPECT_EQ(Embed(Quoted(exe) + u" " + Quoted(dir / u"empty.ini")), 1);
  EXPECT_EQ(Embed(Quoted(dir / u"missing.exe") + u" " + Quoted(dir / u"ok.ini")), 1);
  EXPECT_EQ(Embed(Quoted(dir / u"text.exe") + u" " + Quoted(dir / u"ok.ini")), 1);
  EXPECT_EQ(ReadBytes(dir / u"text.exe"), "MZ but nothing more of a PE image");
  EXPECT_EQ(ReadBytes(exe), before);

  // A target in use cannot be replaced: the run fails and the file stays whole.
  HANDLE lock = CreateFileW(W(exe), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Embed(Quoted(exe) + u" " + Quoted(dir / u"ok.ini")), 1);
  CloseHandle(lock);
  EXPECT_EQ(ReadBytes(exe), before);
  EXPECT_FALSE(FileExists(exe + u".embed-config.tmp"));
}

}  // namespace
