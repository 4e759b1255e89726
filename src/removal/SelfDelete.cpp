#include "removal/SelfDelete.h"

#include <windows.h>
#include <shellapi.h>

#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/SelfDeleteBatch.h"
#include "ui/Main.h"

namespace {

// The text in the system's ANSI code page; characters it cannot hold become
// best-fit or default characters.
std::string ToAnsi(const std::u16string& text) {
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, W(text), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, W(text), size, bytes.data(), n, nullptr, nullptr);
  return bytes;
}

// True when the text comes through the ANSI code page unchanged (no best-fit
// or default character stands in for one of its characters).
bool SurvivesAnsi(const std::u16string& text) {
  BOOL usedDefault = FALSE;
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, W(text), size, nullptr, 0, nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}

// The long or short form of path by api; path itself when the call fails.
template <class Api>
std::u16string PathForm(const std::u16string& path, Api api) {
  const DWORD n = api(W(path), nullptr, 0);
  if (n == 0) return path;
  std::u16string form(n, u'\0');
  const DWORD m = api(W(path), W(form.data()), n);
  if (m == 0 || m >= n) return path;
  form.resize(m);
  return form;
}

}  // namespace

std::u16string WriteSelfDeleteBatch(const std::u16string& exePath) {
  std::u16string dir = PathForm(ExtractFilePath(exePath), GetLongPathNameW);
  if (!dir.empty() && dir.back() != u'\\') dir += u'\\';
  std::u16string bat = dir + std::u16string(SelfDeleteBatchName);
  // A fresh file only: whatever holds the name now (an earlier run's file,
  // or a link planted in its place) goes first and is never written through
  // or started.
  DeleteFileW(W(bat));
  TFileHandle file(CreateFileW(W(bat), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return {};
  // A path the code page cannot hold would name another file in the batch
  // file: its short form, plain ASCII on every system, stands in for it.
  const auto ansiSafe = [](const std::u16string& path) {
    return SurvivesAnsi(path) ? path : PathForm(path, GetShortPathNameW);
  };
  const std::string bytes = ToAnsi(SelfDeleteBatchText(ansiSafe(exePath), ansiSafe(bat)));
  DWORD written = 0;
  WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return bat;
}

void TMainForm::SelfDelete() {
  const std::u16string bat = WriteSelfDeleteBatch(ExePath());
  if (!bat.empty()) ShellExecuteW(nullptr, L"open", W(PathForm(bat, GetShortPathNameW)), nullptr, nullptr, SW_HIDE);
  // The process ends here, but the window goes first, as on every way out:
  // its destruction deletes "unin.ini" and releases the configuration.
  if (Handle()) DestroyWindow(Handle());
  ExitProcess(0);
}
