// embed-config, the installer's resource writer: what it writes, what it
// refuses, and that a refused or failed run leaves the target as it was; the
// check it runs first, alone with --check, in text and in JSON.

#include <gtest/gtest.h>

#include "app/Config.h"
#include "base/Win32Text.h"
#include "host/ConfigCheckCases.h"
#include "wine/EmbedConfigRun.h"
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

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(EmbedConfig, CheckSaysWhatTheUninstallerWillDo) {
  // A name without a folder: the check must read this file, not one of that
  // name in the Windows folder, where the private-profile reader would look.
  const std::u16string sample = TestExeDir() + u"qm-sample.ini";
  WriteBytes(sample, SampleIni);
  TToolRun run = RunEmbedConfig(u"--check qm-sample.ini");
  EXPECT_EQ(run.Code, 0) << run.Err;
  for (const char* line :
       {"Configuration: qm-sample.ini\r\n", "Product:       Quillmoor, version 4.5.1\r\n", "Invitation:    shown\r\n",
        "               scheme http, host 127.0.0.1, port 8765, target /feedback.php\r\n",
        "  SendTo=ShortcutSendTo: \"Quillmoor playlist\" from the user's SendTo folder\r\n",
        "No warnings, no errors.\r\n"})
    EXPECT_TRUE(Has(run.Out, line)) << line << run.Out;

  run = RunEmbedConfig(u"--json --check qm-sample.ini");
  EXPECT_EQ(run.Code, 0) << run.Err;
  EXPECT_TRUE(run.Out.starts_with("{\"config\":\"qm-sample.ini\",\"target\":null,\"embedded\":false,")) << run.Out;
  EXPECT_TRUE(run.Out.ends_with("\"findings\":[],\"warnings\":0,\"errors\":0}\r\n")) << run.Out;
  EXPECT_EQ(run.Out.find('\n'), run.Out.size() - 1) << "one line, one object";
  DeleteFileW(W(sample));

  TScratchDir dir(u"embed-check");
  WriteBytes(dir / u"warned.ini", "[Information]\r\nAppName=Qm\r\n[Uninstall]\r\nQuestion=yes\r\n");
  run = RunEmbedConfig(u"--check " + Quoted(dir / u"warned.ini"));
  EXPECT_EQ(run.Code, 0) << "warnings alone pass";
  EXPECT_TRUE(Has(run.Out, "warning: [Uninstall] Question \"yes\" is not a number and reads as false")) << run.Out;
  EXPECT_TRUE(Has(run.Out, "0 errors, 1 warning.\r\n")) << run.Out;

  // A UTF-16 file (the reader's Unicode form); non-ASCII text reaches a pipe or file as UTF-8.
  const std::u16string wrong = u"\xFEFF[Information]\r\nAppName=Qm\r\nStartName=\u00E9\\x\r\n";
  WriteBytes(dir / u"wrong.ini", std::string(reinterpret_cast<const char*>(wrong.data()), wrong.size() * 2));
  run = RunEmbedConfig(u"--check " + Quoted(dir / u"wrong.ini"));
  EXPECT_EQ(run.Code, 3);
  EXPECT_TRUE(Has(run.Out, "error: [Information] StartName \"\xC3\xA9\\x\" is not a plain name")) << run.Out;
  EXPECT_TRUE(Has(run.Out, "Encoding:      UTF-16 LE with a byte-order mark, which reads the same")) << run.Out;

  EXPECT_EQ(RunEmbedConfig(u"--check").Code, 2);
  EXPECT_EQ(RunEmbedConfig(u"--check a.ini b.ini").Code, 2);
  EXPECT_EQ(RunEmbedConfig(u"--check --force a.ini").Code, 2);
  EXPECT_EQ(RunEmbedConfig(u"--verbose a.exe a.ini").Code, 2);
  EXPECT_EQ(RunEmbedConfig(u"--check " + Quoted(dir / u"missing.ini")).Code, 1);
}

TEST(EmbedConfig, AConfigurationWithErrorsIsEmbeddedOnlyWhenForced) {
  TScratchDir dir(u"embed-force");
  const std::u16string exe = dir / u"uninstall.exe";
  CopyOrDie(TestExeDir() + u"uninstall.exe", exe);
  const std::string ini = "[Information]\r\nAppName=Qm\r\n[Uninstall]\r\nPath=C:\\\r\n";
  WriteBytes(dir / u"bad.ini", ini);
  const std::string before = ReadBytes(exe);
  const std::u16string args = Quoted(exe) + u" " + Quoted(dir / u"bad.ini");

  TToolRun run = RunEmbedConfig(args);
  EXPECT_EQ(run.Code, 3);
  EXPECT_TRUE(Has(run.Out, "error: [Uninstall] Path \"C:\\\" is a whole drive or share")) << run.Out;
  EXPECT_TRUE(Has(run.Err, "is unchanged (--force embeds it anyway)")) << run.Err;
  run = RunEmbedConfig(u"--json " + args);
  EXPECT_EQ(run.Code, 3);
  EXPECT_TRUE(Has(run.Out, "\"embedded\":false,")) << run.Out;
  EXPECT_TRUE(Has(run.Out, "\"errors\":1}")) << run.Out;
  EXPECT_EQ(ReadBytes(exe), before);
  EXPECT_FALSE(FileExists(exe + u".embed-config.tmp"));

  run = RunEmbedConfig(u"--force " + args);
  EXPECT_EQ(run.Code, 0) << run.Err;
  EXPECT_TRUE(Has(run.Out, "now holds")) << run.Out;
  EXPECT_TRUE(Has(run.Out, "despite its errors")) << run.Out;
  EXPECT_EQ(EmbeddedConfig(exe), ini);
  run = RunEmbedConfig(u"--json --force " + args);
  EXPECT_EQ(run.Code, 0) << run.Err;
  std::string target;  // as JSON writes it
  for (const char c : Narrow(exe)) target += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_TRUE(Has(run.Out, "\"target\":\"" + target + "\",\"embedded\":true,")) << run.Out;
  EXPECT_EQ(EmbeddedConfig(exe), ini);
}

}  // namespace
