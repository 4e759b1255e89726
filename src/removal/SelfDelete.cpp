#include "removal/SelfDelete.h"

#include <windows.h>
#include <shellapi.h>

#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/SelfDeleteBatch.h"
#include "ui/Main.h"

namespace {

// The command interpreter reads a batch file in the console's OEM code page
// (866 on Russian and Ukrainian systems, 852 on Polish ones), not in the ANSI
// one of GUI programs (1251, 1250): the text is written in that code page.
std::string ToOem(const std::u16string& text) {
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_OEMCP, 0, W(text), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_OEMCP, 0, W(text), size, bytes.data(), n, nullptr, nullptr);
  return bytes;
}

// True when the text comes through the OEM code page unchanged (no best-fit
// or default character stands in for one of its characters).
bool SurvivesOem(const std::u16string& text) {
  BOOL usedDefault = FALSE;
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, W(text), size, nullptr, 0, nullptr, &usedDefault);
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

// The form of path that the command interpreter reads back as this very
// path: the path itself when the OEM code page holds it; else its short form,
// plain ASCII wherever the volume makes short names; else, on a volume
// without them, the name alone, which the batch file resolves in its own
// folder (SelfDelete starts it there, and the executable and the batch file
// are both in that folder). Empty when even the name cannot be held: a
// stand-in character would name another file, and "?" is a wildcard to del.
std::u16string BatchForm(const std::u16string& path) {
  if (SurvivesOem(path)) return path;
  std::u16string shortForm = PathForm(path, GetShortPathNameW);
  if (SurvivesOem(shortForm)) return shortForm;
  const std::u16string name = ExtractFileName(shortForm);
  return SurvivesOem(name) ? name : std::u16string();
}

}  // namespace

std::u16string WriteSelfDeleteBatch(const std::u16string& exePath) {
  std::u16string dir = PathForm(ExtractFilePath(exePath), GetLongPathNameW);
  if (!dir.empty() && dir.back() != u'\\') dir += u'\\';
  std::u16string bat = dir + std::u16string(SelfDeleteBatchName);
  const std::u16string exeForm = BatchForm(exePath), batForm = BatchForm(bat);
  if (exeForm.empty() || batForm.empty()) return {};  // the executable stays
  // A fresh file only: whatever holds the name now (an earlier run's file,
  // or a link planted in its place) goes first and is never written through
  // or started.
  DeleteFileW(W(bat));
  TFileHandle file(CreateFileW(W(bat), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return {};
  const std::string bytes = ToOem(SelfDeleteBatchText(exeForm, batForm));
  DWORD written = 0;
  WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return bat;
}

void TMainForm::SelfDelete() {
  const std::u16string bat = WriteSelfDeleteBatch(ExePath());
  // Started in its own folder, where a name alone in it resolves.
  if (!bat.empty())
    ShellExecuteW(nullptr, L"open", W(PathForm(bat, GetShortPathNameW)), nullptr, W(ExtractFilePath(bat)), SW_HIDE);
  // The process ends here. What the window's destruction does on every way
  // out (FormDestroy: "unin.ini" deleted, the configuration released) is
  // done now; the window itself ends with the process, as the system takes
  // every window of a process that ends. Destroying it first would add no
  // more than hiding it and tearing down each control (under Wine some 40 ms).
  if (Handle()) FormDestroy();
  ExitProcess(0);
}
