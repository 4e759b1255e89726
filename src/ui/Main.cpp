#include "ui/Main.h"

#include <shellapi.h>
#include <windowsx.h>

#include "app/Application.h"
#include "base/Error.h"
#include "base/Win32Text.h"
#include "ui/ControlIds.h"

TMainForm* MainForm = nullptr;

namespace {

constexpr int ClientWidth = 531;
constexpr int ClientHeight = 331;
constexpr COLORREF Teal = RGB(0, 128, 128);
constexpr COLORREF PanelGrey = RGB(224, 224, 224);
constexpr BYTE CyrillicCharset = 204;

const wchar_t* Cls(const char16_t* name) { return reinterpret_cast<const wchar_t*>(name); }

bool VisualStylesActive() {
  // uxtheme is loaded from the system folder only, and only to ask this.
  using TIsAppThemed = BOOL(WINAPI*)();
  static TIsAppThemed isAppThemed = [] {
    HMODULE ux = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return ux ? reinterpret_cast<TIsAppThemed>(reinterpret_cast<void*>(GetProcAddress(ux, "IsAppThemed")))
              : nullptr;
  }();
  return isAppThemed && isAppThemed();
}

struct TFontSpec {
  const char16_t* Face;
  int Height;
  bool Bold;
};

constexpr TFontSpec Verdana{u"Verdana", 11, false};
constexpr TFontSpec VerdanaBold{u"Verdana", 11, true};
constexpr TFontSpec TahomaBold{u"Tahoma", 11, true};
constexpr TFontSpec ArialBold{u"Arial", 11, true};

}  // namespace

TMainForm::TMainForm() = default;

TMainForm::~TMainForm() {
  if (FHandle && IsWindow(FHandle)) DestroyWindow(FHandle);
  if (Flags) ImageList_Destroy(Flags);
  if (MainForm == this) MainForm = nullptr;
}

int TMainForm::Scale(int designUnits) const { return MulDiv(designUnits, FScaleNum, FScaleDen); }
int TMainForm::ScaleFont(int designHeight) const { return MulDiv(designHeight, FDpi, 96); }

void TMainForm::InitScaling() {
  HDC screen = GetDC(nullptr);
  FDpi = GetDeviceCaps(screen, LOGPIXELSY);
  FScaleNum = FScaleDen = 13;
  if (FDpi != 96 && FDpi > 0) {
    // Positions follow the window font's text height at this setting.
    HFONT font = CreateFontW(-ScaleFont(11), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(screen, &tm);
    SelectObject(screen, old);
    DeleteObject(font);
    if (tm.tmHeight > 0) FScaleNum = tm.tmHeight;
  }
  ReleaseDC(nullptr, screen);
}

void TMainForm::Create() {
  MainForm = this;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  static const ATOM formClass = [inst] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TMainForm::WndProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconW(inst, L"MAINICON");
    wc.hIconSm = static_cast<HICON>(LoadImageW(inst, L"MAINICON", IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = Cls(QM_MAINFORM_CLASS);
    RegisterClassExW(&wc);
    WNDCLASSEXW pc{};
    pc.cbSize = sizeof(pc);
    pc.style = CS_DBLCLKS;
    pc.lpfnWndProc = &TMainForm::PanelProc;
    pc.hInstance = inst;
    pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pc.lpszClassName = Cls(QM_PANEL_CLASS);
    return RegisterClassExW(&pc);
  }();
  (void)formClass;

  InitScaling();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{0, 0, Scale(ClientWidth), Scale(ClientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_APPWINDOW);
  FHandle = CreateWindowExW(WS_EX_APPWINDOW, Cls(QM_MAINFORM_CLASS), L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, inst, this);
  if (!FHandle) throw TError(u"Cannot create the window. " + SysErrorMessage(GetLastError()));
  CreateControls();
  Application.Guard([this] { FormCreate(); });
}

void TMainForm::CreateControls() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  FWindowFont.Reset(CreateFontW(-ScaleFont(11), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
  FPanelBrush.Reset(CreateSolidBrush(PanelGrey));

  auto logFont = [this](const TFontSpec& f) {
    LOGFONTW lf{};
    lf.lfHeight = -ScaleFont(f.Height);
    lf.lfWeight = f.Bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = CyrillicCharset;
    lstrcpynW(lf.lfFaceName, Cls(f.Face), LF_FACESIZE);
    return lf;
  };
  auto window = [&](TControl& c, DWORD exStyle, const wchar_t* cls, DWORD style, HWND parent, int id, int x, int y,
                    int w, int h, const TFontSpec* font) {
    c.Handle = CreateWindowExW(exStyle, cls, L"", style | WS_CHILD | WS_CLIPSIBLINGS, Scale(x), Scale(y), Scale(w), Scale(h), parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    HFONT hf = static_cast<HFONT>(FWindowFont.Get());
    if (font) {
      const LOGFONTW lf = logFont(*font);
      FControlFonts.emplace_back(CreateFontIndirectW(&lf));
      hf = static_cast<HFONT>(FControlFonts.back().Get());
    }
    SendMessageW(c.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(hf), FALSE);
  };
  auto picture = [&](TGraphicPicture& p, const char16_t* name, int x, int y, int w, int h) {
    p.Name = name;
    p.Parent = SPanel.Handle;
    p.Bounds = {Scale(x), Scale(y), Scale(x + w), Scale(y + h)};
    FGraphics.push_back(&p);
  };
  auto label = [&](TGraphicLabel& l, const char16_t* name, int x, int y, int w, int h, const TFontSpec& font,
                   COLORREF color, bool visible, TAlignment align, bool alwaysTransparent, const char16_t* text) {
    l.Name = name;
    l.Parent = SPanel.Handle;
    l.Bounds = {Scale(x), Scale(y), Scale(x + w), Scale(y + h)};
    l.LogFont = logFont(font);
    l.Color = color;
    l.Visible = visible;
    l.Alignment = align;
    l.AlwaysTransparent = alwaysTransparent;
    l.UpdateFont();
    l.SetCaption(text);
    FGraphics.push_back(&l);
  };
  const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
  constexpr auto L = TAlignment::Left;
  constexpr auto R = TAlignment::Right;

  window(SPanel, WS_EX_CONTROLPARENT, Cls(QM_PANEL_CLASS), WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, FHandle,
         idSPanel, 0, 0, 529, 250, nullptr);
  SetWindowLongPtrW(SPanel.Handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  picture(LogoImage, u"LogoImage", 0, 0, 529, 250);
  label(ULabel, u"ULabel", 450, 18, 45, 13, TahomaBold, text, true, L, true, u"Русский");
  picture(Image1, u"Image1", 8, 13, 22, 22);
  label(OpenURL, u"OpenURL", 36, 17, 85, 13, VerdanaBold, text, true, L, true, u"quillmoor.example");
  picture(FlagImage, u"FlagImage", 425, 13, 22, 22);
  label(ver_lb, u"ver_lb", 433, 231, 90, 14, ArialBold, Teal, true, R, false, u"");
  label(InfLabel, u"InfLabel", 8, 231, 401, 14, ArialBold, Teal, true, L, false, u"");
  InfLabel.AutoSize = false;
  InfLabel.Bounds = {Scale(8), Scale(231), Scale(8 + 401), Scale(231 + 14)};
  picture(UaImage, u"UaImage", 425, 35, 22, 22);
  label(Label2, u"Label2", 450, 39, 71, 13, TahomaBold, text, true, L, true, u"Український");
  picture(EnImage, u"EnImage", 425, 57, 22, 22);
  label(Label5, u"Label5", 450, 60, 39, 13, TahomaBold, text, true, L, true, u"English");
  label(Label1, u"Label1", 188, 19, 46, 13, VerdanaBold, Teal, false, R, false, u"E-mail:");
  label(Label3, u"Label3", 8, 215, 36, 14, ArialBold, text, true, L, false, u"");
  picture(DutchFlag, u"DutchFlag", 425, 79, 22, 22);
  label(lblDutch, u"lblDutch", 450, 82, 63, 13, TahomaBold, text, true, L, true, u"Nederlands");
  picture(PolishFlag, u"PolishFlag", 425, 101, 22, 22);
  label(Label4, u"Label4", 450, 105, 33, 13, TahomaBold, text, true, L, true, u"Polski");
  window(Memo1, WS_EX_CLIENTEDGE, L"EDIT", WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, SPanel.Handle,
         idMemo1, 9, 41, 400, 203, &Verdana);
  window(Edit1, WS_EX_CLIENTEDGE, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, SPanel.Handle, idEdit1, 240, 14, 169, 21,
         nullptr);

  window(InsButton, 0, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, FHandle, idInsButton, 201, 296, 193, 25,
         &VerdanaBold);
  window(Button3, 0, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, FHandle, idButton3, 400, 296, 121, 25,
         &Verdana);
  window(PB, 0, PROGRESS_CLASSW, WS_VISIBLE, FHandle, idPB, 8, 260, 513, 25, nullptr);
  SendMessageW(PB.Handle, PBM_SETRANGE32, 0, 100);
  SendMessageW(PB.Handle, PBM_SETPOS, 0, 0);

  OsnLabel = std::make_unique<THrefLabel>(FHandle, idOsnLabel, Scale(9), Scale(261), Scale(511), Scale(22));
  LOGFONTW osnFont = logFont(Verdana);
  OsnLabel->SetFont(osnFont, text);
  OsnLabel->GotoLink = [this](THrefLabel* sender) { Application.Guard([&] { OsnLabelGotoLink(sender); }); };
  OsnLabel->SetVisible(true);
  // It lies over the progress bar: above it in the stacking order.
  SetWindowPos(OsnLabel->Handle(), Button3.Handle, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  window(uLang, 0, L"LISTBOX", LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, FHandle, idULang, 8, 291, 187, 32, nullptr);
  SendMessageW(uLang.Handle, LB_SETITEMHEIGHT, 0, Scale(13));
  SetLangLines(LanguageTableLines());

  // The web-site link shows its hint as a tooltip.
  FToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr, inst, nullptr);
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = SPanel.Handle;
  ti.uId = 1;
  ti.rect = OpenURL.Bounds;
  ti.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

TStrings TMainForm::LangLines() const {
  TStrings lines;
  const LRESULT n = SendMessageW(uLang.Handle, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    const LRESULT len = SendMessageW(uLang.Handle, LB_GETTEXTLEN, i, 0);
    std::u16string s(static_cast<size_t>(len < 0 ? 0 : len) + 1, u'\0');
    const LRESULT got = SendMessageW(uLang.Handle, LB_GETTEXT, i, reinterpret_cast<LPARAM>(s.data()));
    s.resize(got < 0 ? 0 : static_cast<size_t>(got));
    lines.push_back(std::move(s));
  }
  return lines;
}

void TMainForm::SetLangLines(const TStrings& lines) {
  SendMessageW(uLang.Handle, LB_RESETCONTENT, 0, 0);
  for (const auto& line : lines) SendMessageW(uLang.Handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(line)));
}

std::u16string TMainForm::Caption() const { return WindowText(FHandle); }
void TMainForm::SetCaption(const std::u16string& caption) { SetWindowTextW(FHandle, W(caption)); }

void TMainForm::Close() {
  if (Application.MainWindow == FHandle) Application.Terminate();
  else ShowWindow(FHandle, SW_HIDE);
}

void TMainForm::ShowMainWindow() {
  Application.MainWindow = FHandle;
  Application.Guard([this] { FormShow(); });
  RECT wr{};
  GetWindowRect(FHandle, &wr);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  SetWindowPos(FHandle, nullptr, work.left + (work.right - work.left - w) / 2,
               work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(FHandle, SW_SHOW);
  UpdateWindow(FHandle);
  FFocus = InsButton.Enabled() ? InsButton.Handle : Button3.Handle;
  SetFocus(FFocus);
}

void TMainForm::ToggleFeedback() {
  const TStrings lines = LangLines();
  if (Memo1.Visible()) {
    Memo1.Hide();
    Edit1.Hide();
    Label1.Hide();
    InsButton.SetCaption(GetLangValue(lines, CurLang, u"4"));
    Image1.Show();
    OpenURL.Show();
  } else {
    Memo1.Show();
    Edit1.Show();
    Label1.Show();
    InsButton.SetCaption(GetLangValue(lines, CurLang, u"9"));
    Image1.Hide();
    OpenURL.Hide();
  }
}

void TMainForm::ULabelClick() { ApplyLanguage(0); }
void TMainForm::Label2Click() { ApplyLanguage(1); }
void TMainForm::Label5Click() { ApplyLanguage(2); }
void TMainForm::LblDutchClick() { ApplyLanguage(3); }
void TMainForm::LblPolishClick() { ApplyLanguage(4); }
void TMainForm::OpenURLMouseEnter(TGraphicLabel& label) { label.SetUnderline(true); }
void TMainForm::OpenURLMouseLeave(TGraphicLabel& label) { label.SetUnderline(false); }

void TMainForm::OpenURL_Click() {
  ShellExecuteW(nullptr, L"open", W(OpenURL.Caption()), nullptr, nullptr, SW_SHOWNORMAL);
}

void TMainForm::SyncToolTip() {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = SPanel.Handle;
  ti.uId = 1;
  ti.rect = OpenURL.Bounds;
  ti.lpszText = const_cast<wchar_t*>(W(OpenURL.Hint));
  SendMessageW(FToolTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(FToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TMainForm::OsnLabelGotoLink(THrefLabel*) { ToggleFeedback(); }
void TMainForm::Button3Click() { Close(); }

TGraphicLabel* TMainForm::LabelAt(POINT pt) {
  // Topmost first: the last painted wins.
  for (auto it = FGraphics.rbegin(); it != FGraphics.rend(); ++it) {
    auto* label = dynamic_cast<TGraphicLabel*>(*it);
    if (label && label->Visible && PtInRect(&label->Bounds, pt)) return label;
  }
  return nullptr;
}

void TMainForm::OnPanelMouseMove(POINT pt) {
  TGraphicLabel* over = LabelAt(pt);
  const auto hoverable = [this](TGraphicLabel* l) {
    return l == &ULabel || l == &OpenURL || l == &Label2 || l == &Label5 || l == &lblDutch || l == &Label4;
  };
  if (!hoverable(over)) over = nullptr;
  if (over == FHover) return;
  if (FHover) OpenURLMouseLeave(*FHover);
  FHover = over;
  if (FHover) OpenURLMouseEnter(*FHover);
}

void TMainForm::OnPanelClick(POINT pt) {
  TGraphicLabel* l = LabelAt(pt);
  if (!l || l != FPressed) return;
  if (l == &ULabel) ULabelClick();
  else if (l == &Label2) Label2Click();
  else if (l == &Label5) Label5Click();
  else if (l == &lblDutch) LblDutchClick();
  else if (l == &Label4) LblPolishClick();
  else if (l == &OpenURL) OpenURL_Click();
}

void TMainForm::PaintPanel(HDC target) {
  RECT client{};
  GetClientRect(SPanel.Handle, &client);
  HDC dc = CreateCompatibleDC(target);
  TGdiObject bitmap(CreateCompatibleBitmap(target, client.right, client.bottom));
  HGDIOBJ old = SelectObject(dc, bitmap.Get());
  FillRect(dc, &client, static_cast<HBRUSH>(FPanelBrush.Get()));
  const bool themed = VisualStylesActive();
  for (const TGraphicControl* g : FGraphics)
    if (g->Visible) g->Paint(dc, themed);
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, old);
  DeleteDC(dc);
}

void TMainForm::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case idButton3:
      Button3Click();
      break;
    default:
      break;  // IDCANCEL from Esc: no button answers it
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
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      FormDestroy();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
      {
        HWND wnd = FHandle;
        FHandle = nullptr;
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
      return MAKELRESULT(idInsButton, DC_HASDEFID);
  }
  return DefWindowProcW(FHandle, msg, wp, lp);
}

LRESULT CALLBACK TMainForm::PanelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TMainForm*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  LRESULT result = 0;
  bool handled = false;
  Application.Guard([&] {
    result = self->HandlePanelMessage(msg, wp, lp);
    handled = true;
  });
  return handled ? result : 0;
}

LRESULT TMainForm::HandlePanelMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND panel = SPanel.Handle;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(panel, &ps);
      PaintPanel(dc);
      EndPaint(panel, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!FPanelTracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, panel, 0};
        FPanelTracking = TrackMouseEvent(&tme) != FALSE;
      }
      OnPanelMouseMove({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_MOUSELEAVE:
      FPanelTracking = false;
      OnPanelMouseMove({-1, -1});
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      FPressed = LabelAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_LBUTTONUP: {
      OnPanelClick({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      FPressed = nullptr;
      return 0;
    }
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return SendMessageW(FHandle, msg, wp, lp);
  }
  return DefWindowProcW(panel, msg, wp, lp);
}

void TMainForm::FillFlags() {
  struct TFlag {
    TGraphicPicture* Picture;
    int Index;
  };
  const TFlag flags[] = {{&FlagImage, 190}, {&UaImage, 228}, {&EnImage, 231}, {&DutchFlag, 133}, {&PolishFlag, 177}};
  for (const TFlag& f : flags)
    f.Picture->SetIcon(Flags ? ImageList_GetIcon(Flags, f.Index, ILD_NORMAL) : nullptr);
}
