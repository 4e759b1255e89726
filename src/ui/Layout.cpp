// The window's layout: the design table of every control (position, size,
// font, visibility, in creation order), the creation of the controls from it,
// the artwork, and the scaling from 96 dots per inch to the screen's setting.

#include "ui/Main.h"

#include <algorithm>

#include "base/Win32Text.h"
#include "feedback/HttpClient.h"
#include "ui/Art.h"
#include "ui/ControlIds.h"

namespace {

constexpr int DesignDpi = 96;
constexpr int DesignTextHeight = 13;  // of the window's font at 96 dpi
constexpr COLORREF Teal = RGB(0, 128, 128);
constexpr BYTE CyrillicCharset = 204;

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
  lstrcpynW(lf.lfFaceName, W(font.Face), LF_FACESIZE);
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
      WS_EX_CONTROLPARENT, W(QM_PANEL_CLASS), L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
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
    c.AccessibleId = static_cast<long>(FGraphics.size());
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
