#include "app/Application.h"

#include <exception>

#include "base/Error.h"
#include "base/Text.h"
#include "base/Win32Text.h"

TApplication Application;

void TApplication::Terminate() {
  FTerminating = true;
  PostQuitMessage(0);
}

int TApplication::MsgBox(const std::u16string& text, UINT flags) {
  if (MessageBoxHook) return MessageBoxHook(text, Title, flags);
  // A pending end request (WM_QUIT) makes the box's own loop return at once.
  HWND owner = MainWindow && IsWindowVisible(MainWindow) ? MainWindow : nullptr;
  return MessageBoxW(owner, W(text), W(Title), flags);
}

void TApplication::ShowException(const std::u16string& message) { MsgBox(ErrorBoxText(message), MB_OK | MB_ICONERROR); }

void TApplication::ShowCurrentException() {
  try {
    throw;
  } catch (const TError& e) {
    ShowException(e.Message());
  } catch (const std::bad_alloc&) {
    ShowException(u"Out of memory");
  } catch (const std::exception& e) {
    ShowException(Utf8ToUtf16(e.what()));
  }
}

std::u16string DefaultApplicationTitle(const std::u16string& exePath) {
  std::u16string name = ExtractFileName(exePath);
  const size_t dot = name.find(u'.');
  if (dot != std::u16string::npos) name.resize(dot);
  if (name.size() > 1) CharLowerBuffW(W(name.data() + 1), static_cast<DWORD>(name.size() - 1));
  return name;
}
