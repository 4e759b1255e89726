// TMainForm's lifetime and its window procedure: creation of the window,
// showing and closing it, and the dispatch of its messages to the handlers.

#include "ui/Main.h"

#include <utility>

#include "app/Application.h"
#include "app/Responsive.h"
#include "base/Error.h"
#include "base/Win32Text.h"
#include "feedback/HttpClient.h"
#include "removal/FolderRemoval.h"
#include "ui/ControlIds.h"

TMainForm* MainForm = nullptr;

namespace {

constexpr int ClientWidth = 531;
constexpr int ClientHeight = 331;
// Posted on every focus change: the buttons' default frame is set once the
// dialog manager has finished moving the focus (it resets that frame itself).
constexpr UINT WM_UPDATEDEFAULTBUTTON = WM_APP + 1;
// Posted once the window is shown: what the Delete command's guards compare
// with is looked up while the user reads the window, not after the click.
constexpr UINT WM_LOOKUPFOLDERS = WM_APP + 4;

}  // namespace

TMainForm::TMainForm() = default;

TMainForm::~TMainForm() {
  if (FHandle && IsWindow(FHandle)) DestroyWindow(FHandle);
  if (Flags) ImageList_Destroy(Flags);
  if (MainForm == this) MainForm = nullptr;
}

// --- Creation ----------------------------------------------------------------

void TMainForm::RegisterClasses(HINSTANCE inst) {
  // Once per process, from the GUI thread.
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TMainForm::WndProc;
  wc.hInstance = inst;
  wc.hIcon = LoadIconW(inst, L"MAINICON");
  wc.hIconSm = static_cast<HICON>(LoadImageW(inst, L"MAINICON", IMAGE_ICON, 16, 16, 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = W(QM_MAINFORM_CLASS);
  RegisterClassExW(&wc);
  WNDCLASSEXW pc{};
  pc.cbSize = sizeof(pc);
  pc.style = CS_DBLCLKS;
  pc.lpfnWndProc = &TMainForm::PanelProc;
  pc.hInstance = inst;
  pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  pc.lpszClassName = W(QM_PANEL_CLASS);
  RegisterClassExW(&pc);
  registered = true;
}

void TMainForm::Create() {
  MainForm = this;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  RegisterClasses(inst);
  InitScaling();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{0, 0, Scale(ClientWidth), Scale(ClientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_APPWINDOW);
  FHandle = CreateWindowExW(WS_EX_APPWINDOW, W(QM_MAINFORM_CLASS), L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, inst, this);
  if (!FHandle) throw TError(u"Cannot create the window. " + SysErrorMessage(GetLastError()));
  CreateControls();
  Application.Guard([this] { FormCreate(); });
}

// --- Window state -------------------------------------------------------------
// -----------------------------------------------------------

std::u16string TMainForm::Caption() const { return WindowText(FHandle); }
void TMainForm::SetCaption(const std::u16string& caption) { SetWindowTextW(FHandle, W(caption)); }

void TMainForm::Close() {
  if (Application.MainWindow == FHandle)
    Application.Terminate();
  else
    ShowWindow(FHandle, SW_HIDE);
}

void TMainForm::ShowMainWindow() {
  Application.MainWindow = FHandle;
  Application.Guard([this] { FormShow(); });
  RECT wr{};
  GetWindowRect(FHandle, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  SetWindowPos(FHandle, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(FHandle, SW_SHOW);
  UpdateWindow(FHandle);
  FFocus = InsButton.Enabled() ? InsButton.Handle : Button3.Handle;
  SetFocus(FFocus);
  UpdateDefaultButton();
  PostMessageW(FHandle, WM_LOOKUPFOLDERS, 0, 0);
}

// --- Message dispatch ------------------------------------------------------------

void TMainForm::OnCommand(int id, int code) {
  const bool buttonFocus = (code == BN_SETFOCUS || code == BN_KILLFOCUS) && (id == idInsButton || id == idButton3);
  if (buttonFocus || code == EN_SETFOCUS) PostMessageW(FHandle, WM_UPDATEDEFAULTBUTTON, 0, 0);
  if (code != BN_CLICKED) return;
  // Esc arrives as IDCANCEL and Enter without a default button as IDOK: no
  // control has those identifiers, so nothing answers them.
  switch (id) {
    case idInsButton:
      InsButtonClick();
      break;
    case idButton3:
      Button3Click();
      break;
    default:
      break;
  }
}

LRESULT CALLBACK TMainForm::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<TMainForm*>(cs->lpCreateParams)->FHandle = wnd;
  }
  auto* self = reinterpret_cast<TMainForm*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  LRESULT result = 0;
  bool handled = false;
  // An error that leaves a handler is reported here, as the event loop does.
  Application.Guard([&] {
    result = self->HandleMessage(msg, wp, lp);
    handled = true;
  });
  return handled ? result : 0;
}

LRESULT TMainForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  // While the Delete command runs, nothing the user does acts.
  if (IgnoredWhileBusy(msg, wp)) return 0;
  switch (msg) {
    case WM_SETCURSOR:
      // Asked first for every control of the window (DefWindowProc passes
      // the question up): the busy cursor over all of them.
      if (TBusyScope::Active()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      Close();  // never refused
      return 0;
    case WM_QUERYENDSESSION:
      // "Not now" while the Delete command runs: the session waits for the
      // removal. Otherwise the default answer, yes.
      if (TSessionHold::Active()) return FALSE;
      break;
    case WM_DESTROY:
      FormDestroy();
      return 0;
    case WM_NCDESTROY: {
      SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
      HWND wnd = std::exchange(FHandle, nullptr);
      return DefWindowProcW(wnd, msg, wp, lp);
    }
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focus leaves with the window and comes back
      // to the same control.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(FHandle, focus)) FFocus = focus;
      } else if (FFocus && IsWindow(FFocus) && !HIWORD(wp)) {
        SetFocus(FFocus);
      }
      return 0;
    case WM_SETFOCUS:
      if (FFocus && IsWindow(FFocus)) SetFocus(FFocus);
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(GetDlgCtrlID(DefaultButton()), DC_HASDEFID);
    case WM_UPDATEDEFAULTBUTTON:
      UpdateDefaultButton();
      return 0;
    case WM_LOOKUPFOLDERS:
      // Not for an instance that is ending (the one that hands over).
      if (!Application.Terminating()) LookUpSystemFolders();
      return 0;
  }
  return DefWindowProcW(FHandle, msg, wp, lp);
}
