// The busy state of the Delete command: messages are taken, input is not,
// and the end of the session waits.

#include <windows.h>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/Responsive.h"
#include "base/Win32Text.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

class Responsive : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) { return IDOK; };
    FForm.Create();  // reports the missing configuration of the test program
    Application.MainWindow = FForm.Handle();
    ShowWindow(FForm.Handle(), SW_SHOWNOACTIVATE);
    Drain();
  }
  void TearDown() override {
    Application.MessageBoxHook = nullptr;
    Application.MainWindow = nullptr;
  }
  // The event loop's part, for what reaches the queue outside a busy scope.
  static bool Drain() {
    bool quit = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) quit = true;
      DispatchMessageW(&msg);
    }
    return quit;
  }
  static HCURSOR CursorOver(HWND control) {
    SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  }
  TMainForm FForm;
};

TEST_F(Responsive, InputDuringTheRunActsNeitherThenNorAfter) {
  const std::u16string caption = FForm.Caption();
  HWND panel = FForm.SPanel.Handle;
  {
    TBusyScope busy;
    EXPECT_TRUE(TBusyScope::Active());
    // Cancel, a language name, the close button, Alt+F4, Esc and Enter.
    PostMessageW(FForm.Button3.Handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(FForm.Button3.Handle, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(460, 45));
    PostMessageW(panel, WM_LBUTTONUP, 0, MAKELPARAM(460, 45));
    PostMessageW(FForm.Handle(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
    PostMessageW(FForm.Handle(), WM_SYSKEYDOWN, VK_F4, 1 << 29);
    PostMessageW(FForm.InsButton.Handle, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(FForm.InsButton.Handle, WM_KEYDOWN, VK_RETURN, 1);
    // Clicks that come another way than the mouse.
    PostMessageW(FForm.Button3.Handle, BM_CLICK, 0, 0);
    PostMessageW(FForm.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(FForm.Handle(), WM_CLOSE, 0, 0);
    Sleep(60);
    KeepResponsive();  // takes them all
    // Queued after the last look: dropped when the run ends.
    PostMessageW(FForm.Button3.Handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(FForm.Button3.Handle, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(CursorOver(FForm.InsButton.Handle), LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(CursorOver(FForm.OsnLabel->Handle()), LoadCursorW(nullptr, IDC_WAIT));
  }
  EXPECT_FALSE(TBusyScope::Active());
  EXPECT_FALSE(Drain()) << "Cancel or a close request acted";
  EXPECT_TRUE(IsWindow(FForm.Handle()));
  EXPECT_EQ(FForm.Caption(), caption) << "a language name acted";
  EXPECT_NE(CursorOver(FForm.InsButton.Handle), LoadCursorW(nullptr, IDC_WAIT));
}

TEST_F(Responsive, AnEndRequestTakenDuringTheRunWaitsForItsEnd) {
  {
    TBusyScope busy;
    Application.Terminate();  // as a missing product entry does during the count
    Sleep(60);
    KeepResponsive();
  }
  EXPECT_TRUE(Drain());
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The reason Windows shows for the window, or "-" when it has none.
std::u16string BlockReason(HWND wnd) {
  wchar_t reason[256] = {};
  DWORD length = 256;
  return ShutdownBlockReasonQuery(wnd, reason, &length) ? U(reason) : u"-";
}

// While the Delete command runs the window asks the session to wait, with
// its caption as the reason; before and after, the default answer (yes).
// Wine keeps no reason: its ShutdownBlockReasonQuery is a stub that ends the
// process when called.
TEST_F(Responsive, TheSessionWaitsOnlyWhileTheCommandRuns) {
  HWND wnd = FForm.Handle();
  FForm.SetCaption(u"Quillmoor Удаление");
  EXPECT_EQ(SendMessageW(wnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  {
    TBusyScope busy;
    TSessionHold hold(wnd);
    EXPECT_TRUE(TSessionHold::Active());
    EXPECT_EQ(SendMessageW(wnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    EXPECT_EQ(SendMessageW(wnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), FALSE);
    if (!UnderWine()) {
      EXPECT_EQ(BlockReason(wnd), u"Quillmoor Удаление");
    }
  }
  EXPECT_FALSE(TSessionHold::Active());
  EXPECT_EQ(SendMessageW(wnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  if (!UnderWine()) {
    EXPECT_EQ(BlockReason(wnd), u"-") << "the reason was not released";
  }
}

TEST_F(Responsive, WaitsTakeMessagesAndEndOnTheHandleOrTheTime) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  TBusyScope busy;
  InvalidateRect(FForm.Handle(), nullptr, TRUE);
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(WaitResponsive(event, 300));
  EXPECT_GE(GetTickCount64() - start, 250u);
  EXPECT_FALSE(GetUpdateRect(FForm.Handle(), nullptr, FALSE)) << "the window was not repainted meanwhile";
  SetEvent(event);
  EXPECT_TRUE(WaitResponsive(event, 5000));
  CloseHandle(event);
}

}  // namespace
