#include "app/Startup.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <vector>

#include "app/Application.h"
#include "app/Config.h"
#include "app/Responsive.h"
#include "base/Error.h"
#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/FolderRemoval.h"
#include "ui/Main.h"

namespace {

constexpr DWORD TempBufferChars = 260;

[[noreturn]] void ThrowCreateError(const std::u16string& path) {
  const DWORD err = GetLastError();
  throw TError(u"Cannot create file \"" + path + u"\". " + SysErrorMessage(err));
}

[[noreturn]] void ThrowOpenError(const std::u16string& path) {
  const DWORD err = GetLastError();
  throw TError(u"Cannot open file \"" + path + u"\". " + SysErrorMessage(err));
}

void WriteWholeFile(const std::u16string& path, const std::string& bytes) {
  TFileHandle file(
      CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) ThrowCreateError(path);
  DWORD written = 0;
  if (!bytes.empty() && (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                         written != bytes.size()))
    throw TError(u"Stream write error");
}

// Reads the whole file from an open handle; false on a read error.
bool ReadAll(HANDLE file, std::string& bytes) {
  bytes.clear();
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(file, buf, sizeof(buf), &got, nullptr)) {
    if (got == 0) return true;
    bytes.append(buf, got);
  }
  return false;
}

std::string ReadWholeFile(const std::u16string& path) {
  TFileHandle file(
      CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) ThrowOpenError(path);
  std::string bytes;
  if (!ReadAll(file.Get(), bytes)) throw TError(u"Stream read error");
  return bytes;
}

// True when the open file holds exactly the bytes of the running executable.
bool SameAsRunningExe(HANDLE candidate) {
  TFileHandle self(CreateFileW(W(ExePath()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string mine, theirs;
  return self.IsValid() && ReadAll(self.Get(), mine) && ReadAll(candidate, theirs) && !mine.empty() && mine == theirs;
}

// The instance that handed over to this one, while it may still run (a raw
// handle: a static owner's constructor could throw before main).
HANDLE HandingOver = nullptr;

void ForgetHandingOverInstance() {
  if (HandingOver) CloseHandle(HandingOver);
  HandingOver = nullptr;
}

DWORD ParentProcessId() {
  const DWORD self = GetCurrentProcessId();
  TFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  return 0;
}

ULONGLONG CreationTime(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

void RememberHandingOverInstance() {
  ForgetHandingOverInstance();
  // The instance started as "uninstall.exe" is the one that hands over.
  if (LowerAscii(ExtractFileName(ExePath())) == u"uninstall.exe") return;
  const DWORD parent = ParentProcessId();
  if (!parent) return;
  TFileHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent));
  if (!process.IsValid()) return;  // gone already
  wchar_t image[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  if (!QueryFullProcessImageNameW(process.Get(), 0, image, &size)) return;
  if (LowerAscii(ExtractFileName(U(image, size))) != u"uninstall.exe") return;
  const ULONGLONG parentStart = CreationTime(process.Get()), selfStart = CreationTime(GetCurrentProcess());
  if (!parentStart || !selfStart || parentStart > selfStart) return;
  HandingOver = process.Take();
}

bool WaitForHandingOverInstance(unsigned ms) {
  if (!HandingOver) return true;
  const bool ended = WaitResponsive(HandingOver, ms);
  ForgetHandingOverInstance();
  return ended;
}

std::u16string GetTempDir() {
  wchar_t temp[TempBufferChars];
  const DWORD n = GetTempPathW(TempBufferChars, temp);
  if (n == 0 || n >= TempBufferChars) return std::u16string();
  wchar_t longPath[TempBufferChars];
  const DWORD m = GetLongPathNameW(temp, longPath, TempBufferChars);
  if (m == 0 || m >= TempBufferChars) return std::u16string();
  std::u16string dir = U(longPath, m);
  if (!dir.empty() && dir.back() != u'\\') dir += u'\\';
  return dir;
}

std::u16string RoundTripLines(const std::u16string& path, const std::u16string& text) {
  WriteWholeFile(path, "\xEF\xBB\xBF" + Utf16ToUtf8(text));
  std::string bytes = ReadWholeFile(path);
  DeleteFileW(W(path));
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return Utf8ToUtf16(bytes);
}

void TMainForm::RelocateToTemp() {
  const std::u16string exe = ExePath();
  if (LowerAscii(ExtractFileName(exe)) != u"uninstall.exe") return;
  const std::u16string target = GetTempDir() + u"QW_Setup.exe";
  DeleteFileOrLink(target);
  CopyFileW(W(exe), W(target), TRUE);
  // Start only what is byte for byte this executable, and hold it open with
  // writing and deletion denied until it has been started: the copy runs
  // elevated, so nothing another process left or swapped in may run instead.
  TFileHandle copy(
      CreateFileW(W(target), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (copy.IsValid() && SameAsRunningExe(copy.Get()))
    ShellExecuteW(nullptr, L"open", W(target), nullptr, nullptr, SW_SHOWNORMAL);
  Application.Terminate();
}

void TMainForm::FormCreate() {
  FillFlags();
  ChooseLanguage();
  RelocateToTemp();
  RememberHandingOverInstance();
  AskQuestion = false;
  ExtractConfiguration();

  // The language table passes through "lng.txt" beside the executable.
  std::u16string text;
  for (const auto& line : LangLines()) text += line + u"\r\n";
  SetLangLines(SplitLines(RoundTripLines(ExtractFilePath(ExePath()) + u"lng.txt", text)));

  InfLabel.SetCaption(ReadConfiguration());
  OsnLabel->SetVisible(AskQuestion);
}

void TMainForm::FormShow() {
  if (!AskQuestion) OsnLabel->SetVisible(false);
  ApplyLanguage(CurLang);
  ver_lb.SetCaption(AppVer);
  if (InfLabel.Caption().empty()) InsButton.SetEnabled(false);
}

void TMainForm::FormDestroy() {
  DeleteFileW(W(ConfigurationPath()));
  UninIni.reset();
}
