#include "wine/WindowFixture.h"

#include "app/Application.h"
#include "app/Config.h"
#include "base/Win32Text.h"
#include "wine/WineTestSupport.h"

TArtModule::TArtModule()
    : FModule(LoadLibraryExW(W(TestExeDir() + u"uninstall.exe"), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

TArtModule::~TArtModule() {
  if (FModule) FreeLibrary(FModule);
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

void TShownWindow::SetUp() {
  Application.MessageBoxHook = [this](const std::u16string& text, const std::u16string&, UINT) {
    FBoxes.push_back(text);
    return IDOK;
  };
  ASSERT_NE(FArt.Get(), nullptr);
  F.ResourceModule = FArt.Get();
  F.Create();
  ASSERT_EQ(FBoxes, std::vector<std::u16string>{u"Resource UNIN not found."});
  FBoxes.clear();
  AppName = u"Quillmoor";
  AppVer = u"4.5.1";
  AskQuestion = true;
  CurLang = 2;
  F.InfLabel.SetCaption(u"C:\\Program Files\\Quillmoor");
  F.OsnLabel->SetVisible(true);
  SetCursorPos(0, 0);  // away from the window, whatever an earlier test left
  F.ShowMainWindow();
  Pump();
}

void TShownWindow::TearDown() {
  Pump();
  Application.MainWindow = nullptr;
  Application.MessageBoxHook = nullptr;
  AppName.clear();
  AppVer.clear();
  AskQuestion = false;
}

bool TShownWindow::Pump() {
  UpdateWindow(F.Handle());
  bool quit = false;
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      quit = true;
      continue;
    }
    if (!IsDialogMessageW(F.Handle(), &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  return quit;
}

void TShownWindow::MoveTo(HWND wnd, POINT pt) {
  POINT screen = pt;
  ClientToScreen(wnd, &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageW(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
}

void TShownWindow::Click(HWND wnd, POINT pt) {
  MoveTo(wnd, pt);
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
  Pump();
}

std::vector<TGraphicLabel*> TShownWindow::LanguageLabels() {
  return {&F.ULabel, &F.Label2, &F.Label5, &F.lblDutch, &F.Label4};
}
