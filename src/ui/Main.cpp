#include "ui/Main.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

#include "app/Application.h"
#include "app/Responsive.h"
#include "base/Error.h"
#include "base/Win32Text.h"
#include "feedback/HttpClient.h"
#include "ui/Art.h"
#include "ui/ControlIds.h"

TMainForm* MainForm = nullptr;

namespace {

constexpr int ClientWidth = 531;
constexpr int ClientHeight = 331;
constexpr int DesignDpi = 96;
constexpr int DesignTextHeight = 13;  // of the window's font at 96 dpi
constexpr COLORREF Teal = RGB(0, 128, 128);
constexpr BYTE CyrillicCharset = 204;
// Posted on every focus change: the buttons' default frame is set once the
// dialog manager has finished moving the focus (it resets that frame itself).
constexpr UINT WM_UPDATEDEFAULTBUTTON = WM_APP + 1;

const wchar_t* Cls(const char16_t* name) { return reinterpret_cast<const wchar_t*>(name); }

bool VisualStylesActive() {
  // uxtheme is loaded from the system folder only, and only to ask this.
  // Wine 8 has its "Light" theme active in a new prefix: there it is true,
  // with or without the common-controls manifest.
  using TIsAppThemed = BOOL(WINAPI*)();
  static bool loaded = false;
  static TIsAppThemed isAppThemed = nullptr;
  if (!loaded) {
    loaded = true;
    HMODULE ux = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (ux) isAppThemed = reinterpret_cast<TIsAppThemed>(reinterpret_cast<void*>(GetProcAddress(ux, "IsAppThemed")));
  }
  return isAppThemed && isAppThemed();
}

// The window's own font keeps the default character set; every control with
// a font of its own asks for the Cyrillic one.
constexpr TFontSpec WindowFont{u"Tahoma", 11, false, DEFAULT_CHARSET};
constexpr TFontSpec Verdana{u"Verdana", 11, false, CyrillicCharset};
constexpr TFontSpec VerdanaBold{u"Verdana", 11, true, CyrillicCharset};
constexpr TFontSpec TahomaBold{u"Tahoma", 11, true, CyrillicCharset};
constexpr TFontSpec ArialBold{u"Arial", 11, true, CyrillicCharset};

enum class TTextColor { WindowText, Teal };

// How a label of the logo panel looks and sizes itself.
struct TLabelStyle {
  const TFontSpec* Font;
  TTextColor Color;
  TAlignment Alignment;
  bool AlwaysTransparent;  // also without visual styles
  bool AutoSize;
  bool Visible;
};

constexpr auto Left = TAlignment::Left;
constexpr auto Right = TAlignment::Right;
constexpr auto Text = TTextColor::WindowText;
constexpr TLabelStyle LanguageName{&TahomaBold, Text, Left, true, true, true};
constexpr TLabelStyle WebLink{&VerdanaBold, Text, Left, true, true, true};
constexpr TLabelStyle Version{&ArialBold, TTextColor::Teal, Right, false, true, true};
constexpr TLabelStyle Folder{&ArialBold, TTextColor::Teal, Left, false, false, true};
constexpr TLabelStyle EmailCaption{&VerdanaBold, TTextColor::Teal, Right, false, true, false};
constexpr TLabelStyle Heading{&ArialBold, Text, Left, false, true, true};

// A label or picture of the logo panel; Style is null for a picture.
struct TPanelItem {
  TGraphicControl* Control;
  const char16_t* Name;
  TDesignRect Rect;
  const TLabelStyle* Style = nullptr;
  const char16_t* Caption = u"";
};

// A child window of the form or of the panel. Font null: the window's font.
struct TWindowItem {
  TControl* Control;
  int Id;
  bool OnPanel;
  const wchar_t* Class;
  DWORD Style;
  DWORD ExStyle;
  TDesignRect Rect;
  const TFontSpec* Font;
};

constexpr DWORD PushButton = WS_VISIBLE | WS_TABSTOP | BS_NOTIFY;
// Word wrap, Enter starts a new line, no scroll bars.
constexpr DWORD MemoStyle = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;

// The message box keeps Enter for a new line but leaves Tab and Esc to the
// dialog manager, so that Tab moves on to the e-mail box and Esc does
// nothing. A multi-line edit box wants every key; with the dialog manager at
// work it would otherwise send Tab to its parent (the panel) as
// WM_NEXTDLGCTL and Esc as WM_CLOSE (Windows and Wine alike).
// Its owner removes a subclass before the window is gone, as comctl32 asks
// (Wine's comctl32 would keep its record of the subclass otherwise).
LRESULT CALLBACK MemoProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(wnd, &MemoProc, id);
  LRESULT code = DefSubclassProc(wnd, msg, wp, lp);
  if (msg == WM_GETDLGCODE && lp) {
    const MSG* m = reinterpret_cast<const MSG*>(lp);
    if (m->message == WM_KEYDOWN && (m->wParam == VK_TAB || m->wParam == VK_ESCAPE)) code &= ~DLGC_WANTALLKEYS;
  }
  return code;
}

}  // namespace

TMainForm::TMainForm() = default;

TMainForm::~TMainForm() {
  if (FHandle && IsWindow(FHandle)) DestroyWindow(FHandle);
  if (Flags) ImageList_Destroy(Flags);
  if (MainForm == this) MainForm = nullptr;
}

// --- Scaling -----------------------------------------------------------------

int TMainForm::Scale(int designUnits) const { return MulDiv(designUnits, FScaleNum, FScaleDen); }
int TMainForm::ScaleFont(int designHeight) const { return MulDiv(designHeight, FDpi, DesignDpi); }

RECT TMainForm::ScaleRect(const TDesignRect& r) const {
  return {Scale(r.Left), Scale(r.Top), Scale(r.Left + r.Width), Scale(r.Top + r.Height)};
}

LOGFONTW TMainForm::LogFontOf(const TFontSpec& font) const {
  LOGFONTW lf{};
  lf.lfHeight = -ScaleFont(font.Height);
  lf.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = font.Charset;
  lstrcpynW(lf.lfFaceName, Cls(font.Face), LF_FACESIZE);
  return lf;
}

void TMainForm::InitScaling() {
  // Wine reports the user's setting ("LogPixels") to every program. Windows
  // reports 96 to a program that does not declare itself DPI-aware and
  // scales its window as a bitmap instead, except where the older scaling
  // is chosen (the default up to 120 dpi on Windows 7).
  HDC screen = GetDC(nullptr);
  FDpi = GetDeviceCaps(screen, LOGPIXELSY);
  if (FDpi <= 0) FDpi = DesignDpi;
  FScaleNum = FScaleDen = DesignTextHeight;
  if (FDpi != DesignDpi) {
    // Positions and sizes follow the window font's text height at this setting.
    const LOGFONTW lf = LogFontOf(WindowFont);
    TGdiObject font(CreateFontIndirectW(&lf));
    HGDIOBJ old = SelectObject(screen, font.Get());
    TEXTMETRICW tm{};
    GetTextMetricsW(screen, &tm);
    SelectObject(screen, old);
    if (tm.tmHeight > 0) FScaleNum = tm.tmHeight;
  }
  ReleaseDC(nullptr, screen);
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
  wc.lpszClassName = Cls(QM_MAINFORM_CLASS);
  RegisterClassExW(&wc);
  WNDCLASSEXW pc{};
  pc.cbSize = sizeof(pc);
  pc.style = CS_DBLCLKS;
  pc.lpfnWndProc = &TMainForm::PanelProc;
  pc.hInstance = inst;
  pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  pc.lpszClassName = Cls(QM_PANEL_CLASS);
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
  FHandle = CreateWindowExW(WS_EX_APPWINDOW, Cls(QM_MAINFORM_CLASS), L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, inst, this);
  if (!FHandle) throw TError(u"Cannot create the window. " + SysErrorMessage(GetLastError()));
  CreateControls();
  Application.Guard([this] { FormCreate(); });
}

void TMainForm::CreateControls() {
  IdHTTP1 = std::make_unique<TIdHTTP>();
  const LOGFONTW windowFont = LogFontOf(WindowFont);
  FWindowFont.Reset(CreateFontIndirectW(&windowFont));
  FPanelBrush.Reset(CreateSolidBrush(PanelGrey));
  CreatePanelControls();
  CreateWindowControls();
  CreateOsnLabel();
  CreateToolTip();
  LoadArt();
}

void TMainForm::CreatePanelControls() {
  const RECT panel = ScaleRect({0, 0, 529, 250});
  SPanel.Handle = CreateWindowExW(
      WS_EX_CONTROLPARENT, Cls(QM_PANEL_CLASS), L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
      panel.left, panel.top, panel.right - panel.left, panel.bottom - panel.top, FHandle,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(idSPanel)), GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(SPanel.Handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  // In creation order, which is the order of painting: later ones lie on top.
  const TPanelItem items[] = {
      {&LogoImage, u"LogoImage", {0, 0, 529, 250}},
      {&ULabel, u"ULabel", {450, 18, 45, 13}, &LanguageName, u"Русский"},
      {&Image1, u"Image1", {8, 13, 22, 22}},
      {&OpenURL, u"OpenURL", {36, 17, 85, 13}, &WebLink, u"quillmoor.example"},
      {&FlagImage, u"FlagImage", {425, 13, 22, 22}},
      {&ver_lb, u"ver_lb", {433, 231, 90, 14}, &Version},
      {&InfLabel, u"InfLabel", {8, 231, 401, 14}, &Folder},
      {&UaImage, u"UaImage", {425, 35, 22, 22}},
      {&Label2, u"Label2", {450, 39, 71, 13}, &LanguageName, u"Український"},
      {&EnImage, u"EnImage", {425, 57, 22, 22}},
      {&Label5, u"Label5", {450, 60, 39, 13}, &LanguageName, u"English"},
      {&Label1, u"Label1", {188, 19, 46, 13}, &EmailCaption, u"E-mail:"},
      {&Label3, u"Label3", {8, 215, 36, 14}, &Heading},
      {&DutchFlag, u"DutchFlag", {425, 79, 22, 22}},
      {&lblDutch, u"lblDutch", {450, 82, 63, 13}, &LanguageName, u"Nederlands"},
      {&PolishFlag, u"PolishFlag", {425, 101, 22, 22}},
      {&Label4, u"Label4", {450, 105, 33, 13}, &LanguageName, u"Polski"},
  };
  const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
  FGraphics.clear();
  for (const TPanelItem& item : items) {
    TGraphicControl& c = *item.Control;
    c.Name = item.Name;
    c.Parent = SPanel.Handle;
    c.Bounds = ScaleRect(item.Rect);
    FGraphics.push_back(&c);
    if (!item.Style) continue;
    auto& label = static_cast<TGraphicLabel&>(c);
    const TLabelStyle& s = *item.Style;
    label.LogFont = LogFontOf(*s.Font);
    label.Color = s.Color == TTextColor::Teal ? Teal : windowText;
    label.Alignment = s.Alignment;
    label.AlwaysTransparent = s.AlwaysTransparent;
    label.AutoSize = s.AutoSize;
    label.Visible = s.Visible;
    label.UpdateFont();
    label.SetCaption(item.Caption);
  }
  // The logo fills the panel, also where the panel has grown with the screen's setting.
  LogoImage.Stretch = true;
  FitLanguageColumn();
}

void TMainForm::FitLanguageColumn() {
  // A font wider than designed (another screen setting, or a stand-in for a
  // missing family: Wine has no Verdana or Arial, and its Tahoma Bold is
  // wider than Windows') must not push a language name past the panel's
  // right edge: the flags and names then move left together.
  TGraphicControl* column[] = {&FlagImage, &UaImage, &EnImage, &DutchFlag, &PolishFlag,
                               &ULabel,    &Label2,  &Label5,  &lblDutch,  &Label4};
  RECT panel{};
  GetClientRect(SPanel.Handle, &panel);
  LONG overflow = 0;
  for (const TGraphicControl* c : column) overflow = std::max(overflow, c->Bounds.right - panel.right);
  if (overflow > 0)
    for (TGraphicControl* c : column) OffsetRect(&c->Bounds, -overflow, 0);
}

void TMainForm::CreateWindowControls() {
  // In creation order: the first created is the first in the tab order.
  const TWindowItem items[] = {
      {&Memo1, idMemo1, true, L"EDIT", MemoStyle, WS_EX_CLIENTEDGE, {9, 41, 400, 203}, &Verdana},
      {&Edit1, idEdit1, true, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {240, 14, 169, 21}, nullptr},
      {&InsButton, idInsButton, false, L"BUTTON", PushButton | BS_DEFPUSHBUTTON, 0, {201, 296, 193, 25}, &VerdanaBold},
      {&Button3, idButton3, false, L"BUTTON", PushButton | BS_PUSHBUTTON, 0, {400, 296, 121, 25}, &Verdana},
      {&PB, idPB, false, PROGRESS_CLASSW, WS_VISIBLE, 0, {8, 260, 513, 25}, nullptr},
      {&uLang, idULang, false, L"LISTBOX", LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 0, {8, 291, 187, 32}, nullptr},
  };
  for (const TWindowItem& item : items) {
    const RECT r = ScaleRect(item.Rect);
    item.Control->Handle =
        CreateWindowExW(item.ExStyle, item.Class, L"", item.Style | WS_CHILD | WS_CLIPSIBLINGS, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, item.OnPanel ? SPanel.Handle : FHandle,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.Id)), GetModuleHandleW(nullptr), nullptr);
    HGDIOBJ font = FWindowFont.Get();
    if (item.Font) {
      const LOGFONTW lf = LogFontOf(*item.Font);
      FControlFonts.emplace_back(CreateFontIndirectW(&lf));
      font = FControlFonts.back().Get();
    }
    SendMessageW(item.Control->Handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  SetWindowSubclass(Memo1.Handle, &MemoProc, 0, 0);
  SendMessageW(PB.Handle, PBM_SETRANGE32, 0, 100);
  SendMessageW(PB.Handle, PBM_SETPOS, 0, 0);
  SendMessageW(uLang.Handle, LB_SETITEMHEIGHT, 0, Scale(13));
  SetLangLines(LanguageTableLines());
}

void TMainForm::CreateOsnLabel() {
  const RECT r = ScaleRect({9, 261, 511, 22});
  OsnLabel = std::make_unique<THrefLabel>(FHandle, idOsnLabel, r.left, r.top, r.right - r.left, r.bottom - r.top);
  OsnLabel->SetFont(LogFontOf(Verdana), GetSysColor(COLOR_WINDOWTEXT));
  OsnLabel->SetGotoLink(THrefLabel::TGotoEvent::Bind<&TMainForm::OsnLabelGotoLink>(this));
  OsnLabel->SetVisible(true);
  // It lies over the progress bar: right below Button3 in the stacking
  // order. Neither takes the focus, so the tab order is unchanged.
  SetWindowPos(OsnLabel->Handle(), Button3.Handle, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TMainForm::CreateToolTip() {
  // The web-site link shows its hint as a tooltip.
  FToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = SPanel.Handle;
  ti.uId = 1;
  ti.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  SyncToolTip();
}

void TMainForm::LoadArt() {
  // Missing artwork leaves its picture empty: the uninstaller works without it.
  HMODULE module = ResourceModule ? ResourceModule : GetModuleHandleW(nullptr);
  LogoImage.SetBitmap(LoadPngResource(module, LogoResource));
  const TGdiObject notice(LoadPngResource(module, NoticeResource));
  Image1.SetIcon(IconFromBitmap(static_cast<HBITMAP>(notice.Get())));
  if (Flags) ImageList_Destroy(Flags);
  Flags = LoadFlagList(module, FlagsResource);
}

void TMainForm::FillFlags() {
  struct TFlag {
    TGraphicPicture* Picture;
    int Index;
  };
  const TFlag flags[] = {{&FlagImage, 190}, {&UaImage, 228}, {&EnImage, 231}, {&DutchFlag, 133}, {&PolishFlag, 177}};
  for (const TFlag& f : flags) f.Picture->SetIcon(Flags ? ImageList_GetIcon(Flags, f.Index, ILD_NORMAL) : nullptr);
}

// --- Texts and state -----------------------------------------------------------

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
}

void TMainForm::ToggleFeedback() {
  const bool open = !Memo1.Visible();
  Memo1.SetVisible(open);
  Edit1.SetVisible(open);
  Label1.SetVisible(open);
  InsButton.SetCaption(GetLangValue(LangLines(), CurLang, open ? u"9" : u"4"));
  Image1.SetVisible(!open);
  OpenURL.SetVisible(!open);
  SyncToolTip();
}

void TMainForm::SyncToolTip() {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = SPanel.Handle;
  ti.uId = 1;
  // A hidden link has no tooltip: its rectangle becomes empty.
  ti.rect = OpenURL.Visible ? OpenURL.Bounds : RECT{};
  ti.lpszText = const_cast<wchar_t*>(W(OpenURL.Hint));
  SendMessageW(FToolTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(FToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

// --- Handlers ------------------------------------------------------------------

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

void TMainForm::OsnLabelGotoLink(THrefLabel*) { ToggleFeedback(); }
void TMainForm::Button3Click() { Close(); }

// --- The panel's labels and pictures ---------------------------------------------

namespace {

// The labels that react to the pointer: underline while it is over them, and a click.
struct TActiveLabel {
  TGraphicLabel TMainForm::*Label;
  void (TMainForm::*Click)();
};

constexpr TActiveLabel ActiveLabels[] = {
    {&TMainForm::ULabel, &TMainForm::ULabelClick},    {&TMainForm::Label2, &TMainForm::Label2Click},
    {&TMainForm::Label5, &TMainForm::Label5Click},    {&TMainForm::lblDutch, &TMainForm::LblDutchClick},
    {&TMainForm::Label4, &TMainForm::LblPolishClick}, {&TMainForm::OpenURL, &TMainForm::OpenURL_Click},
};

}  // namespace

TGraphicControl* TMainForm::GraphicAt(POINT pt) const {
  // The topmost visible one: the last painted.
  for (auto it = FGraphics.rbegin(); it != FGraphics.rend(); ++it)
    if ((*it)->Visible && PtInRect(&(*it)->Bounds, pt)) return *it;
  return nullptr;
}

TGraphicLabel* TMainForm::ActiveLabelAt(POINT pt) {
  const TGraphicControl* hit = GraphicAt(pt);
  for (const TActiveLabel& a : ActiveLabels)
    if (hit == &(this->*a.Label)) return &(this->*a.Label);
  return nullptr;
}

void TMainForm::OnPanelMouseMove(POINT pt) {
  TGraphicLabel* over = ActiveLabelAt(pt);
  if (over == FHover) return;
  if (FHover) OpenURLMouseLeave(*FHover);
  FHover = over;
  if (FHover) OpenURLMouseEnter(*FHover);
}

void TMainForm::OnPanelButtonDown(POINT pt) {
  FPressed = GraphicAt(pt);
  SetCapture(SPanel.Handle);
}

void TMainForm::OnPanelButtonUp(POINT pt) {
  // A click: press and release on the same label (a flag or the logo does nothing).
  TGraphicControl* pressed = std::exchange(FPressed, nullptr);
  if (GetCapture() == SPanel.Handle) ReleaseCapture();
  if (!pressed || GraphicAt(pt) != pressed) return;
  for (const TActiveLabel& a : ActiveLabels)
    if (pressed == &(this->*a.Label)) (this->*a.Click)();
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

// --- Keyboard: the default button ------------------------------------------------

HWND TMainForm::DefaultButton() const {
  // Enter activates the focused button; with the focus anywhere else, InsButton.
  HWND focus = GetFocus();
  return focus == Button3.Handle || focus == InsButton.Handle ? focus : InsButton.Handle;
}

void TMainForm::UpdateDefaultButton() {
  HWND def = DefaultButton();
  for (const TControl* b : {&InsButton, &Button3}) {
    const DWORD type = b->Handle == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    SendMessageW(b->Handle, BM_SETSTYLE, type | BS_NOTIFY, TRUE);
  }
}

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

// --- Message dispatch ------------------------------------------------------------

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
  const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
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
    case WM_PRINTCLIENT:
      PaintPanel(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_MOUSEMOVE:
      if (!FPanelTracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, panel, 0};
        FPanelTracking = TrackMouseEvent(&tme) != FALSE;
      }
      OnPanelMouseMove(pt);
      return 0;
    case WM_MOUSELEAVE:
      FPanelTracking = false;
      OnPanelMouseMove({-1, -1});
      return 0;
    case WM_LBUTTONDOWN:
      OnPanelButtonDown(pt);
      return 0;
    case WM_LBUTTONUP:
      OnPanelButtonUp(pt);
      return 0;
    case WM_COMMAND:
      return SendMessageW(FHandle, msg, wp, lp);
  }
  return DefWindowProcW(panel, msg, wp, lp);
}
