// The main window in process: layout, artwork, languages, the feedback
// panel, the hover underline, the hyperlink label, the keyboard and the
// layout at other screen settings.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Config.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/Art.h"
#include "ui/ControlIds.h"
#include "ui/Main.h"
#include "wine/WindowFixture.h"
#include "wine/WineTestSupport.h"

namespace {

const TStrings Table = LanguageTableLines();
std::u16string V(int lang, const char16_t* key) { return GetLangValue(Table, lang, key); }

constexpr COLORREF Teal = RGB(0, 128, 128);
constexpr int Languages = 5;

bool Overlap(const RECT& a, const RECT& b) {
  RECT i;
  return IntersectRect(&i, &a, &b) != FALSE;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

// A child window's rectangle in its parent's client pixels.
RECT RectInParent(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  MapWindowPoints(nullptr, GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

LOGFONTW FontOf(HWND wnd) {
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(wnd, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  return lf;
}

SIZE TextExtent(const LOGFONTW& lf, const std::u16string& text) {
  HDC dc = GetDC(nullptr);
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return size;
}

// A window's client area as its own painting draws it (WM_PRINTCLIENT).
class TSnapshot {
 public:
  explicit TSnapshot(HWND wnd) {
    RECT r{};
    GetClientRect(wnd, &r);
    FWidth = r.right;
    FHeight = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), FWidth, -FHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    SendMessageW(wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* px = static_cast<const DWORD*>(bits);
    FPixels.assign(px, px + FWidth * FHeight);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const {
    const DWORD p = FPixels.at(static_cast<size_t>(y * FWidth + x));
    return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
  }
  // Pixels of the rectangle for which pred holds.
  template <class Pred>
  int Count(const RECT& r, Pred pred) const {
    int n = 0;
    for (int y = std::max(0L, r.top); y < std::min<LONG>(FHeight, r.bottom); ++y)
      for (int x = std::max(0L, r.left); x < std::min<LONG>(FWidth, r.right); ++x) n += pred(At(x, y)) ? 1 : 0;
    return n;
  }

 private:
  int FWidth = 0, FHeight = 0;
  std::vector<DWORD> FPixels;
};

// Rough colour classes of anti-aliased text and flag stripes.
bool IsTealish(COLORREF c) { return GetRValue(c) + 40 < GetGValue(c) && std::abs(GetGValue(c) - GetBValue(c)) < 40; }
bool IsBlue(COLORREF c) {
  return GetBValue(c) > 120 && GetBValue(c) > GetRValue(c) + 60 && GetBValue(c) > GetGValue(c) + 40;
}
bool IsRed(COLORREF c) { return GetRValue(c) > 170 && GetGValue(c) < 70 && GetBValue(c) < 80; }
bool IsWhite(COLORREF c) { return GetRValue(c) > 225 && GetGValue(c) > 225 && GetBValue(c) > 225; }
bool IsYellow(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 170 && GetBValue(c) < 90; }
bool IsOrange(COLORREF c) {
  return GetRValue(c) > 200 && GetGValue(c) > 90 && GetGValue(c) < 220 && GetBValue(c) < 120;
}
bool IsDark(COLORREF c) { return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100; }

// The form's WM_COMMAND from Delete is counted and swallowed: no test ever
// starts a removal.
WNDPROC FormProc = nullptr;
int DeleteClicks = 0;

LRESULT CALLBACK CountDelete(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND && LOWORD(wp) == idInsButton && HIWORD(wp) == BN_CLICKED) {
    ++DeleteClicks;
    return 0;
  }
  return CallWindowProcW(FormProc, wnd, msg, wp, lp);
}

// The window as the program shows it; Delete is counted, never run.
class Window : public TShownWindow {
 protected:
  void SetUp() override {
    TShownWindow::SetUp();
    if (HasFatalFailure()) return;
    FormProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(F.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountDelete)));
    DeleteClicks = 0;
  }

  // A key pressed and released on the focused control; true when the end was requested.
  bool Press(UINT vk) {
    HWND target = GetFocus();
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, vk, scan | 1);
    PostMessageW(target, WM_KEYUP, vk, scan | 0xC0000001);
    return Pump();
  }

  void ClickPanel(const TGraphicControl& c) { Click(F.SPanel.Handle, Centre(c.Bounds)); }
  // Paints the invitation and clicks its link.
  void FollowInvitation() {
    RedrawWindow(F.OsnLabel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Click(F.OsnLabel->Handle(), {F.OsnLabel->link.Left + 1, HrefMargin + 1});
  }

  std::vector<TGraphicLabel*> Labels() {
    return {&F.ULabel, &F.OpenURL, &F.ver_lb, &F.InfLabel, &F.Label2,
            &F.Label5, &F.Label1,  &F.Label3, &F.lblDutch, &F.Label4};
  }
  std::vector<TGraphicPicture*> Flags() { return {&F.FlagImage, &F.UaImage, &F.EnImage, &F.DutchFlag, &F.PolishFlag}; }
};

// --- Layout --------------------------------------------------------------------

TEST_F(Window, ChildWindowsStandWhereDesignedInStackingOrder) {
  RECT client{};
  GetClientRect(F.Handle(), &client);
  EXPECT_EQ(Show(client), Show({0, 0, 531, 331}));
  const LONG style = GetWindowLongW(F.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));

  const struct {
    HWND Wnd;
    RECT Rect;
    bool Visible;
  } windows[] = {
      {F.SPanel.Handle, {0, 0, 529, 250}, true},        {F.InsButton.Handle, {201, 296, 394, 321}, true},
      {F.Button3.Handle, {400, 296, 521, 321}, true},   {F.PB.Handle, {8, 260, 521, 285}, true},
      {F.OsnLabel->Handle(), {9, 261, 520, 283}, true}, {F.uLang.Handle, {8, 291, 195, 323}, false},
      {F.Memo1.Handle, {9, 41, 409, 244}, false},       {F.Edit1.Handle, {240, 14, 409, 35}, false},
  };
  for (const auto& w : windows) {
    SCOPED_TRACE(GetDlgCtrlID(w.Wnd));
    EXPECT_EQ(Show(RectInParent(w.Wnd)), Show(w.Rect));
    EXPECT_EQ(IsWindowVisible(w.Wnd) != FALSE, w.Visible);
  }
  // Top to bottom: the invitation lies over the progress bar.
  std::vector<HWND> order;
  for (HWND c = GetWindow(F.Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) order.push_back(c);
  EXPECT_EQ(order, (std::vector<HWND>{F.SPanel.Handle, F.InsButton.Handle, F.Button3.Handle, F.OsnLabel->Handle(),
                                      F.PB.Handle, F.uLang.Handle}));
  EXPECT_EQ(GetWindow(F.SPanel.Handle, GW_CHILD), F.Memo1.Handle);
  EXPECT_EQ(GetWindow(F.Memo1.Handle, GW_HWNDNEXT), F.Edit1.Handle);

  EXPECT_EQ(SendMessageW(F.PB.Handle, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendMessageW(F.PB.Handle, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(F.uLang.Handle, LB_GETCOUNT, 0, 0), 79);
  EXPECT_EQ(SendMessageW(F.uLang.Handle, LB_GETITEMHEIGHT, 0, 0), 13);
  const LONG memo = GetWindowLongW(F.Memo1.Handle, GWL_STYLE);
  EXPECT_TRUE((memo & ES_MULTILINE) && (memo & ES_WANTRETURN));
  EXPECT_FALSE(memo & (ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL));  // word wrap, no scroll bars
}

TEST_F(Window, LabelsAndPicturesStandWhereDesigned) {
  // Auto-sized labels keep their left edge, right-aligned ones their right edge.
  const struct {
    TGraphicLabel* Label;
    int Left, Top, Right;  // -1: sized to the text
    bool Visible;
  } labels[] = {
      {&F.ULabel, 450, 18, -1, true},   {&F.OpenURL, 36, 17, -1, true},   {&F.Label2, 450, 39, -1, true},
      {&F.Label5, 450, 60, -1, true},   {&F.lblDutch, 450, 82, -1, true}, {&F.Label4, 450, 105, -1, true},
      {&F.Label3, 8, 215, -1, true},    {&F.ver_lb, -1, 231, 523, true},  {&F.Label1, -1, 19, 234, false},
      {&F.InfLabel, 8, 231, 409, true},
  };
  for (const auto& l : labels) {
    SCOPED_TRACE(Narrow(l.Label->Name));
    const RECT& b = l.Label->Bounds;
    if (l.Left >= 0) {
      EXPECT_EQ(b.left, l.Left);
    }
    if (l.Right >= 0) {
      EXPECT_EQ(b.right, l.Right);
    }
    EXPECT_EQ(b.top, l.Top);
    EXPECT_EQ(l.Label->Visible, l.Visible);
    const SIZE text = TextExtent(l.Label->LogFont, l.Label->Caption());
    if (l.Label != &F.InfLabel) {
      EXPECT_EQ(b.right - b.left, text.cx);
    }
  }
  EXPECT_EQ(F.InfLabel.Bounds.bottom - F.InfLabel.Bounds.top, 14);

  const struct {
    TGraphicPicture* Picture;
    RECT Rect;
  } pictures[] = {
      {&F.LogoImage, {0, 0, 529, 250}},      {&F.Image1, {8, 13, 30, 35}},     {&F.FlagImage, {425, 13, 447, 35}},
      {&F.UaImage, {425, 35, 447, 57}},      {&F.EnImage, {425, 57, 447, 79}}, {&F.DutchFlag, {425, 79, 447, 101}},
      {&F.PolishFlag, {425, 101, 447, 123}},
  };
  for (const auto& p : pictures) {
    EXPECT_EQ(Show(p.Picture->Bounds), Show(p.Rect)) << Narrow(p.Picture->Name);
    EXPECT_TRUE(p.Picture->Visible);
  }
}

TEST_F(Window, FontsAndColoursAreAsDesigned) {
  const struct {
    LOGFONTW Font;
    const wchar_t* Face;
    bool Bold;
    BYTE Charset;
  } fonts[] = {
      {FontOf(F.InsButton.Handle), L"Verdana", true, 204},
      {FontOf(F.Button3.Handle), L"Verdana", false, 204},
      {FontOf(F.Memo1.Handle), L"Verdana", false, 204},
      {FontOf(F.Edit1.Handle), L"Tahoma", false, DEFAULT_CHARSET},
      {F.OsnLabel->Font(), L"Verdana", false, 204},
      {F.ULabel.LogFont, L"Tahoma", true, 204},
      {F.OpenURL.LogFont, L"Verdana", true, 204},
      {F.ver_lb.LogFont, L"Arial", true, 204},
      {F.InfLabel.LogFont, L"Arial", true, 204},
      {F.Label1.LogFont, L"Verdana", true, 204},
      {F.Label3.LogFont, L"Arial", true, 204},
      {F.Label4.LogFont, L"Tahoma", true, 204},
  };
  for (const auto& f : fonts) {
    SCOPED_TRACE(Narrow(U(f.Font.lfFaceName)));
    EXPECT_STREQ(f.Font.lfFaceName, f.Face);
    EXPECT_EQ(f.Font.lfHeight, -11);
    EXPECT_EQ(f.Font.lfWeight, f.Bold ? FW_BOLD : FW_NORMAL);
    EXPECT_EQ(f.Font.lfCharSet, f.Charset);
    EXPECT_FALSE(f.Font.lfUnderline);
  }
  const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
  const std::vector<TGraphicLabel*> names = LanguageLabels();
  for (TGraphicLabel* l : Labels()) {
    const bool teal = l == &F.ver_lb || l == &F.InfLabel || l == &F.Label1;
    EXPECT_EQ(l->Color, teal ? Teal : text) << Narrow(l->Name);
    // Only the language names and the web-site link stay transparent without visual styles.
    const bool always = l == &F.OpenURL || std::count(names.begin(), names.end(), l);
    EXPECT_EQ(l->AlwaysTransparent, always) << Narrow(l->Name);
  }
  EXPECT_EQ(F.OsnLabel->FontColor(), text);
  EXPECT_EQ(F.OsnLabel->Color(), GetSysColor(COLOR_BTNFACE));
}

// The face that draws a font asked for by name, and the width of a text in it.
struct TDrawn {
  std::u16string Face;
  LONG Width;
};

TDrawn Drawn(const wchar_t* face, bool bold, const std::u16string& text) {
  LOGFONTW lf{};
  lf.lfHeight = -11;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  HDC dc = GetDC(nullptr);
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t name[LF_FACESIZE] = L"";
  GetTextFaceW(dc, LF_FACESIZE, name);
  SIZE size{};
  GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return {U(name), size.cx};
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Windows' fonts draw the window, or under Wine the ones the test prefix
// gives it: Wine's own Tahoma and Marlett (without Marlett the title bar's
// buttons are letters), and for Arial and Verdana the stand-ins of the same
// metrics that the prefix maps them to.
TEST_F(Window, WindowsFontsOrTheirStandInsDrawTheText) {
  const std::u16string sample = u"C:\\Program Files\\Quillmoor 4.5.1 Удалить";
  for (bool bold : {false, true}) {
    SCOPED_TRACE(bold);
    EXPECT_EQ(Drawn(L"Tahoma", bold, sample).Face, u"Tahoma");
    EXPECT_EQ(Drawn(L"Marlett", bold, u"012r").Face, u"Marlett");
    if (!UnderWine()) continue;
    // A replaced family keeps its name; its widths are those of the stand-in.
    EXPECT_EQ(Drawn(L"Arial", bold, sample).Width, Drawn(L"Liberation Sans", bold, sample).Width);
    EXPECT_EQ(Drawn(L"Verdana", bold, sample).Width, Drawn(L"DejaVu Sans", bold, sample).Width);
    EXPECT_NE(Drawn(L"Arial", bold, sample).Width, Drawn(L"DejaVu Sans", bold, sample).Width);
  }
}

TEST_F(Window, PanelIsLightGreyAndOpaqueLabelsSitOnItWithoutVisualStyles) {
  F.LogoImage.Hide();
  const TSnapshot panel(F.SPanel.Handle);
  EXPECT_EQ(panel.At(300, 200), RGB(224, 224, 224));
  EXPECT_EQ(panel.At(528, 249), RGB(224, 224, 224));

  // Painted as without visual styles, over black: the opaque labels fill
  // their rectangle with the panel's grey, the others leave it alone.
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 529, -250, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, dib);
  for (TGraphicLabel* l : {&F.Label3, &F.ULabel}) l->Paint(dc, false);
  for (TGraphicLabel* l : {&F.Label3, &F.ULabel}) l->Paint(dc, true);
  GdiFlush();
  auto at = [&](LONG x, LONG y) { return static_cast<const DWORD*>(bits)[y * 529 + x] & 0xFFFFFF; };
  EXPECT_EQ(at(F.Label3.Bounds.right - 1, F.Label3.Bounds.bottom - 1), 0xE0E0E0u);
  EXPECT_EQ(at(F.ULabel.Bounds.right - 1, F.ULabel.Bounds.bottom - 1), 0u);
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
}

TEST_F(Window, FolderLongerThanTheLabelIsCutOffAtItsRightEdge) {
  const RECT before = F.InfLabel.Bounds;
  F.InfLabel.SetCaption(u"C:\\Program Files\\" + std::u16string(120, u'W') + u"\\Quillmoor");
  EXPECT_EQ(Show(F.InfLabel.Bounds), Show(before));
  const TSnapshot panel(F.SPanel.Handle);
  const RECT b = F.InfLabel.Bounds;
  EXPECT_GT(panel.Count({b.right - 12, b.top, b.right, b.bottom}, IsTealish), 0) << "the text reaches the edge";
  EXPECT_EQ(panel.Count({b.right, b.top, F.ver_lb.Bounds.left, b.bottom}, IsTealish), 0) << "and stops there";
  EXPECT_GT(panel.Count(F.ver_lb.Bounds, IsTealish), 0);
}

// --- Artwork ---------------------------------------------------------------------

TEST_F(Window, ArtworkIsDecodedFromTheProgramsResources) {
  ASSERT_NE(F.Flags, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(F.Flags), FlagCount);
  int w = 0, h = 0;
  ImageList_GetIconSize(F.Flags, &w, &h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 11);
  ASSERT_NE(F.LogoImage.Bitmap(), nullptr);
  BITMAP logo{};
  GetObjectW(F.LogoImage.Bitmap(), sizeof(logo), &logo);
  EXPECT_EQ(logo.bmWidth, 529);
  EXPECT_EQ(logo.bmHeight, 250);
  ASSERT_NE(F.Image1.Icon(), nullptr);
  for (int size : {16, 32, 48}) {
    HICON icon = static_cast<HICON>(LoadImageW(FArt.Get(), L"MAINICON", IMAGE_ICON, size, size, 0));
    EXPECT_NE(icon, nullptr) << size;
    if (icon) DestroyIcon(icon);
  }
}

TEST_F(Window, FlagsNoticeAndLogoAreDrawn) {
  const TSnapshot panel(F.SPanel.Handle);
  // Stripe colours of each flag, as (column, row) in the 16 x 11 icon, which
  // is centred in its 22 x 22 frame.
  const struct {
    TGraphicPicture* Picture;
    struct {
      int X, Y;
      bool (*Is)(COLORREF);
    } Probes[3];
  } flags[] = {
      {&F.FlagImage, {{8, 2, IsWhite}, {8, 5, IsBlue}, {8, 8, IsRed}}},
      {&F.UaImage, {{8, 2, IsBlue}, {8, 4, IsBlue}, {8, 8, IsYellow}}},
      {&F.EnImage, {{3, 5, IsBlue}, {10, 2, IsRed}, {10, 3, IsWhite}}},
      {&F.DutchFlag, {{8, 2, IsRed}, {8, 5, IsWhite}, {8, 8, IsBlue}}},
      {&F.PolishFlag, {{8, 2, IsWhite}, {8, 4, IsWhite}, {8, 8, IsRed}}},
  };
  for (const auto& f : flags) {
    const LONG x0 = f.Picture->Bounds.left + 3, y0 = f.Picture->Bounds.top + 5;
    for (const auto& p : f.Probes) {
      const COLORREF c = panel.At(x0 + p.X, y0 + p.Y);
      EXPECT_TRUE(p.Is(c)) << Narrow(f.Picture->Name) << " at " << p.X << "," << p.Y << ": " << std::hex << c;
    }
  }
  // The notice bubble is orange, and its transparent corner shows the logo.
  const LONG nx = F.Image1.Bounds.left + 3, ny = F.Image1.Bounds.top + 3;
  EXPECT_TRUE(IsOrange(panel.At(nx + 4, ny + 6))) << std::hex << panel.At(nx + 4, ny + 6);
  F.Image1.Hide();
  const TSnapshot logoOnly(F.SPanel.Handle);
  EXPECT_EQ(panel.At(nx, ny), logoOnly.At(nx, ny));
  EXPECT_FALSE(IsDark(panel.At(nx, ny)));
  // The logo: pale blue, and the plain light strip at the bottom.
  EXPECT_GT(GetBValue(panel.At(300, 60)), GetRValue(panel.At(300, 60)));
  EXPECT_TRUE(IsWhite(panel.At(300, 240)) || GetRValue(panel.At(300, 240)) > 235);
}

// --- Languages -------------------------------------------------------------------

TEST_F(Window, LanguageClicksSwitchEveryTextAndKeepTheRest) {
  std::vector<HICON> flagIcons;
  for (TGraphicPicture* p : Flags()) flagIcons.push_back(p->Icon());
  std::vector<std::u16string> names;
  for (TGraphicLabel* l : LanguageLabels()) names.push_back(l->Caption());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Русский", u"Український", u"English", u"Nederlands", u"Polski"}));

  for (int lang : {4, 0, 3, 1, 2}) {
    SCOPED_TRACE(lang);
    ClickPanel(*LanguageLabels()[static_cast<size_t>(lang)]);
    EXPECT_EQ(CurLang, lang);
    EXPECT_EQ(F.Caption(), FormatOne(V(lang, u"6"), u"Quillmoor"));
    EXPECT_EQ(Application.Title, F.Caption());
    EXPECT_EQ(F.OsnLabel->Caption(), u"<a>" + FormatOne(V(lang, u"1"), u"Quillmoor") + u"</a>");
    EXPECT_EQ(F.Label3.Caption(), V(lang, u"2"));
    EXPECT_EQ(F.Button3.Caption(), V(lang, u"3"));
    EXPECT_EQ(F.InsButton.Caption(), V(lang, u"4"));
    EXPECT_EQ(F.OpenURL.Caption(), V(lang, u"10"));
    EXPECT_EQ(F.OpenURL.Hint, V(lang, u"11"));
    EXPECT_EQ(EmptyFieldsMsg, V(lang, u"8"));
    // Names, flags and the closed panel stay as they were.
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(LanguageLabels()[i]->Caption(), names[i]);
    for (size_t i = 0; i < flagIcons.size(); ++i) EXPECT_EQ(Flags()[i]->Icon(), flagIcons[i]);
    EXPECT_FALSE(F.Memo1.Visible());
    EXPECT_EQ(F.ver_lb.Caption(), u"4.5.1");
    EXPECT_EQ(F.InfLabel.Caption(), u"C:\\Program Files\\Quillmoor");
  }
  EXPECT_NE(V(0, u"10"), V(2, u"10"));  // the sections' addresses differ

  // A flag is no language choice.
  ClickPanel(F.FlagImage);
  EXPECT_EQ(CurLang, 2);
  EXPECT_TRUE(FBoxes.empty());
}

TEST_F(Window, LanguageChangeWithThePanelOpenKeepsItOpen) {
  FollowInvitation();
  ASSERT_TRUE(F.Memo1.Visible());
  ClickPanel(F.lblDutch);
  EXPECT_EQ(F.InsButton.Caption(), V(3, u"9"));
  EXPECT_TRUE(F.Memo1.Visible() && F.Edit1.Visible() && F.Label1.Visible);
  EXPECT_EQ(F.Label1.Caption(), u"E-mail:");
  FollowInvitation();
  EXPECT_FALSE(F.Memo1.Visible());
  EXPECT_EQ(F.InsButton.Caption(), V(3, u"4"));
}

// --- The feedback panel and the invitation -----------------------------------------

TEST_F(Window, InvitationLinkTogglesThePanelAndTheTextsStay) {
  RedrawWindow(F.OsnLabel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const TBoundsHr link = F.OsnLabel->link;
  EXPECT_EQ(link.Left, 4);
  EXPECT_EQ(link.width, TextExtent(F.OsnLabel->Font(), FormatOne(V(2, u"1"), u"Quillmoor")).cx);

  // Beside the link and above it: nothing happens.
  Click(F.OsnLabel->Handle(), {link.Left + link.width + 3, HrefMargin + 2});
  Click(F.OsnLabel->Handle(), {link.Left + 2, HrefMargin - 1});
  EXPECT_FALSE(F.Memo1.Visible());

  FollowInvitation();
  EXPECT_TRUE(F.Memo1.Visible() && F.Edit1.Visible() && F.Label1.Visible);
  EXPECT_FALSE(F.Image1.Visible || F.OpenURL.Visible);
  for (TGraphicLabel* l : LanguageLabels()) EXPECT_TRUE(l->Visible);
  for (TGraphicPicture* p : Flags()) EXPECT_TRUE(p->Visible);
  EXPECT_EQ(F.InsButton.Caption(), u"Continue");
  EXPECT_EQ(GetFocus(), F.InsButton.Handle);  // the focus does not move
  F.Edit1.SetCaption(u"me@example.org");
  F.Memo1.SetCaption(u"Too loud.\r\nBye");

  FollowInvitation();
  EXPECT_FALSE(F.Memo1.Visible() || F.Edit1.Visible() || F.Label1.Visible);
  EXPECT_TRUE(F.Image1.Visible && F.OpenURL.Visible);
  EXPECT_EQ(F.InsButton.Caption(), u"Delete");

  FollowInvitation();
  EXPECT_EQ(F.Edit1.Caption(), u"me@example.org");
  EXPECT_EQ(F.Memo1.Caption(), u"Too loud.\r\nBye");
}

TEST_F(Window, HyperlinkLabelDrawsAndTracksItsLink) {
  THrefLabel& l = *F.OsnLabel;
  const TBoundsHr before = l.link;
  l.SetCaption(u"ab <a>cd</a> ef");
  EXPECT_EQ(l.link.Left, before.Left);  // shown only at the next paint
  const TSnapshot plain(l.Handle());
  const SIZE ab = TextExtent(l.Font(), u"ab "), cd = TextExtent(l.Font(), u"cd"), ef = TextExtent(l.Font(), u" ef");
  EXPECT_EQ(l.link.Left, 4 + ab.cx);
  EXPECT_EQ(l.link.width, cd.cx);
  EXPECT_EQ(l.link.height, TextExtent(l.Font(), u"<a>").cy);
  EXPECT_EQ(l.Lines(), (std::vector<std::u16string>{u"ab ", u"<a>", u"cd", u"</a>", u" ef"}));

  const LONG top = HrefMargin, bottom = HrefMargin + l.link.height;
  const RECT before_link{4, top, 4 + ab.cx, bottom}, in_link{l.link.Left, top, l.link.Left + cd.cx, bottom},
      after_link{in_link.right, top, in_link.right + ef.cx, bottom};
  EXPECT_GT(plain.Count(before_link, IsDark), 0);
  EXPECT_EQ(plain.Count(before_link, IsBlue), 0);
  EXPECT_GT(plain.Count(in_link, IsBlue), 0);
  EXPECT_EQ(plain.Count(in_link, IsDark), 0);
  EXPECT_GT(plain.Count(after_link, IsDark), 0);
  EXPECT_EQ(plain.Count(after_link, IsBlue), 0);

  // Over the link: hand cursor and underline; off it and after leaving: neither.
  MoveTo(l.Handle(), {l.link.Left + l.link.width, HrefMargin + l.link.height});
  EXPECT_TRUE(l.ulink);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  const TSnapshot hovered(l.Handle());
  EXPECT_GT(hovered.Count(in_link, IsBlue), plain.Count(in_link, IsBlue));
  EXPECT_EQ(hovered.Count(after_link, IsBlue), 0);
  MoveTo(l.Handle(), {l.link.Left - 1, HrefMargin + 1});
  EXPECT_FALSE(l.ulink);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  MoveTo(l.Handle(), {l.link.Left + 1, HrefMargin + 1});
  SendMessageW(l.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(l.ulink);
  EXPECT_EQ(TSnapshot(l.Handle()).Count(in_link, IsBlue), plain.Count(in_link, IsBlue));

  // With an underlined font the text before the link and the link are
  // underlined; after the first "</a>" the underline is gone.
  const LOGFONTW normal = l.Font();
  LOGFONTW underlined = normal;
  underlined.lfUnderline = TRUE;
  l.SetFont(underlined, l.FontColor());
  const TSnapshot lined(l.Handle());
  EXPECT_GT(lined.Count(before_link, IsDark), plain.Count(before_link, IsDark));
  EXPECT_GT(lined.Count(in_link, IsBlue), plain.Count(in_link, IsBlue));
  EXPECT_EQ(lined.Count(after_link, IsDark), plain.Count(after_link, IsDark));
  l.SetFont(normal, l.FontColor());

  // An empty caption: the background only.
  l.SetCaption(u"");
  const TSnapshot empty(l.Handle());
  const COLORREF back = l.Color();
  EXPECT_EQ(empty.Count({0, 0, 511, 22}, [&](COLORREF c) { return c != back; }), 0);

  // Upper-case tags are text: drawn literally, the old rectangle kept.
  const TBoundsHr kept = l.link;
  l.SetCaption(u"<A>b</A>");
  const TSnapshot literal(l.Handle());
  EXPECT_EQ(literal.Count({0, 0, 200, 22}, IsBlue), 0);
  EXPECT_GT(literal.Count({4, top, 4 + TextExtent(l.Font(), u"<A>b</A>").cx, bottom}, IsDark), 0);
  EXPECT_EQ(l.link.Left, kept.Left);
  EXPECT_EQ(l.link.width, kept.width);

  // A click on the link with no GotoLink does nothing.
  l.SetCaption(u"<a>go</a>");
  RedrawWindow(l.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  l.SetGotoLink(nullptr);
  Click(l.Handle(), {l.link.Left + 1, HrefMargin + 1});
  EXPECT_FALSE(F.Memo1.Visible());
}

// --- Pointer over the panel's labels ------------------------------------------------

TEST_F(Window, HoverUnderlinesTheLanguageNamesAndTheWebLinkOnly) {
  std::vector<TGraphicLabel*> active = LanguageLabels();
  active.push_back(&F.OpenURL);
  auto underlined = [&] {
    std::vector<TGraphicLabel*> u;
    for (TGraphicLabel* l : Labels())
      if (l->Underline()) u.push_back(l);
    return u;
  };
  for (TGraphicLabel* l : active) {
    MoveTo(F.SPanel.Handle, Centre(l->Bounds));
    EXPECT_EQ(underlined(), std::vector<TGraphicLabel*>{l}) << Narrow(l->Name);
    EXPECT_EQ(l->LogFont.lfWeight, FW_BOLD);
  }
  for (const TGraphicControl* c :
       std::vector<const TGraphicControl*>{&F.Label3, &F.InfLabel, &F.ver_lb, &F.FlagImage}) {
    MoveTo(F.SPanel.Handle, Centre(c->Bounds));
    EXPECT_TRUE(underlined().empty()) << Narrow(c->Name);
  }
  MoveTo(F.SPanel.Handle, Centre(F.Label5.Bounds));
  SendMessageW(F.SPanel.Handle, WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(underlined().empty());
}

BOOL CALLBACK FindToolTip(HWND w, LPARAM found) {
  wchar_t cls[64];
  GetClassNameW(w, cls, 64);
  if (lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0 && GetWindow(w, GW_OWNER) == MainForm->Handle())
    *reinterpret_cast<HWND*>(found) = w;
  return TRUE;
}

struct TTool {
  RECT Rect;
  std::u16string Text;
};

TTool ToolOf(HWND tip, HWND panel) {
  wchar_t text[256] = L"";
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = panel;
  ti.uId = 1;
  ti.lpszText = text;
  SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti));
  return {ti.rect, U(text)};
}

TEST_F(Window, WebLinkShowsItsHintAsATooltip) {
  HWND tip = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindToolTip, reinterpret_cast<LPARAM>(&tip));
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(Show(ToolOf(tip, F.SPanel.Handle).Rect), Show(F.OpenURL.Bounds));
  EXPECT_EQ(ToolOf(tip, F.SPanel.Handle).Text, u"Visit Quillmoor web-site");
  ClickPanel(F.lblDutch);
  const TTool dutch = ToolOf(tip, F.SPanel.Handle);
  EXPECT_EQ(dutch.Text, V(3, u"11"));
  EXPECT_EQ(Show(dutch.Rect), Show(F.OpenURL.Bounds));
  FollowInvitation();  // the hidden link shows no tooltip
  const TTool hidden = ToolOf(tip, F.SPanel.Handle);
  EXPECT_TRUE(IsRectEmpty(&hidden.Rect)) << Show(hidden.Rect);
}

// The system's handler of http addresses, replaced for one test by a command
// that writes the address it gets to a file.
class THttpHandlerOverride {
 public:
  explicit THttpHandlerOverride(const std::u16string& command) {
    RegCreateKeyExW(HKEY_CLASSES_ROOT, FKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FHandle, nullptr);
    wchar_t old[1024];
    DWORD size = sizeof(old);
    FHadValue = RegQueryValueExW(FHandle, nullptr, nullptr, &FType, reinterpret_cast<BYTE*>(old), &size) == 0;
    if (FHadValue) FOld.assign(reinterpret_cast<const char*>(old), size);
    RegSetValueExW(FHandle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(W(command)),
                   static_cast<DWORD>((command.size() + 1) * 2));
  }
  ~THttpHandlerOverride() {
    if (FHadValue)
      RegSetValueExW(FHandle, nullptr, 0, FType, reinterpret_cast<const BYTE*>(FOld.data()),
                     static_cast<DWORD>(FOld.size()));
    else
      RegDeleteValueW(FHandle, nullptr);
    RegCloseKey(FHandle);
  }
  // The command as the system now reads it.
  std::u16string Current() const {
    wchar_t buf[1024];
    DWORD size = sizeof(buf);
    if (RegGetValueW(HKEY_CLASSES_ROOT, FKey, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                     buf, &size))
      return u"";
    return U(buf);
  }

 private:
  static constexpr const wchar_t* FKey = L"http\\shell\\open\\command";
  HKEY FHandle = nullptr;
  bool FHadValue = false;
  DWORD FType = REG_SZ;
  std::string FOld;
};

TEST_F(Window, WebLinkOpensTheCurrentLanguagesAddress) {
  TScratchDir dir(u"weblink");
  const std::u16string out = dir / u"url.txt";
  const std::u16string command = u"C:\\windows\\system32\\cmd.exe /c echo %1>" + out;
  THttpHandlerOverride handler(command);
  // Never let a click reach the real browser of the machine running the tests.
  ASSERT_EQ(handler.Current(), command);
  for (int lang : {0, 2}) {
    SCOPED_TRACE(lang);
    F.ApplyLanguage(lang);
    DeleteFileW(W(out));
    ClickPanel(F.OpenURL);
    ASSERT_TRUE(WaitFor([&] { return FileExists(out) && !ReadBytes(out).empty(); }, 20000));
    Sleep(100);  // the command interpreter may still be writing
    EXPECT_EQ(Trim(Utf8ToUtf16(ReadBytes(out))), V(lang, u"10"));
  }
}

// --- Keyboard ----------------------------------------------------------------------

TEST_F(Window, TabEnterAndEscFollowTheDialogRules) {
  auto isDefault = [](const TControl& b) {
    return (GetWindowLongW(b.Handle, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  };
  EXPECT_EQ(GetFocus(), F.InsButton.Handle);
  EXPECT_TRUE(isDefault(F.InsButton));
  EXPECT_EQ(LOWORD(SendMessageW(F.Handle(), DM_GETDEFID, 0, 0)), idInsButton);

  // Panel closed: the buttons only.
  Press(VK_TAB);
  EXPECT_EQ(GetFocus(), F.Button3.Handle);
  EXPECT_TRUE(isDefault(F.Button3));
  EXPECT_FALSE(isDefault(F.InsButton));
  Press(VK_TAB);
  EXPECT_EQ(GetFocus(), F.InsButton.Handle);

  // Panel open: message, e-mail, Delete, Cancel, and round again.
  FollowInvitation();
  SetFocus(F.Memo1.Handle);
  Pump();
  for (HWND next : {F.Edit1.Handle, F.InsButton.Handle, F.Button3.Handle, F.Memo1.Handle}) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), next) << GetDlgCtrlID(next);
  }
  EXPECT_EQ(F.Memo1.Caption(), u"") << "Tab typed into the message box";
  EXPECT_TRUE(isDefault(F.InsButton));
  EXPECT_FALSE(isDefault(F.Button3));

  // Enter in the message box starts a new line; Delete is not pressed.
  F.Memo1.SetCaption(u"");
  EXPECT_FALSE(Press(VK_RETURN));
  EXPECT_EQ(F.Memo1.Caption(), u"\r\n");
  EXPECT_EQ(DeleteClicks, 0);

  // Esc does nothing anywhere.
  for (HWND at : {F.Memo1.Handle, F.Edit1.Handle, F.InsButton.Handle, F.Button3.Handle}) {
    SetFocus(at);
    Pump();
    EXPECT_FALSE(Press(VK_ESCAPE)) << GetDlgCtrlID(at);
    EXPECT_TRUE(IsWindow(F.SPanel.Handle) && IsWindowVisible(F.Handle()) && F.Memo1.Visible());
  }
  EXPECT_EQ(DeleteClicks, 0);

  // Enter in the e-mail box and on Delete presses Delete.
  for (HWND at : {F.Edit1.Handle, F.InsButton.Handle}) {
    SetFocus(at);
    Pump();
    EXPECT_FALSE(Press(VK_RETURN));
  }
  EXPECT_EQ(DeleteClicks, 2);

  // Enter on Cancel ends the uninstaller.
  SetFocus(F.Button3.Handle);
  Pump();
  EXPECT_TRUE(Press(VK_RETURN));
  EXPECT_EQ(DeleteClicks, 2);
}

TEST_F(Window, WithoutAFolderTheFocusStartsOnCancelAndEnterCloses) {
  F.InfLabel.SetCaption(u"");
  F.ShowMainWindow();
  Pump();
  EXPECT_FALSE(F.InsButton.Enabled());
  EXPECT_EQ(GetFocus(), F.Button3.Handle);
  EXPECT_TRUE(Press(VK_RETURN));
  EXPECT_EQ(DeleteClicks, 0);
}

TEST_F(Window, ClosingIsNeverRefused) {
  EXPECT_FALSE(Pump());
  SendMessageW(F.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(Pump());
  SendMessageW(F.Button3.Handle, BM_CLICK, 0, 0);
  EXPECT_TRUE(Pump());
  EXPECT_TRUE(FBoxes.empty());
}

// --- The layout at the screen's setting ----------------------------------------------

// Nothing cut off, nothing overlapping, at whatever setting this process runs
// with (96 dpi in the normal run; see LayoutFitsAtHigherSettings).
TEST_F(Window, LayoutFitsAtTheScreensSetting) {
  if (const char* dpi = getenv("QM_EXPECT_DPI")) {
    ASSERT_EQ(F.Dpi(), atoi(dpi)) << "the screen's setting did not take effect";
  }
  RECT client{};
  GetClientRect(F.Handle(), &client);
  EXPECT_EQ(Show(client), Show({0, 0, F.Scale(531), F.Scale(331)}));
  RECT panel{};
  GetClientRect(F.SPanel.Handle, &panel);

  auto checkPanel = [&](bool open) {
    std::vector<std::pair<std::u16string, RECT>> parts;  // what shows on the panel, the logo aside
    for (const TGraphicControl* c : std::vector<const TGraphicControl*>{
             &F.ULabel, &F.Image1, &F.OpenURL, &F.FlagImage, &F.ver_lb, &F.InfLabel, &F.UaImage, &F.Label2, &F.EnImage,
             &F.Label5, &F.Label1, &F.Label3, &F.DutchFlag, &F.lblDutch, &F.PolishFlag, &F.Label4}) {
      if (!c->Visible) continue;
      EXPECT_TRUE(Inside(c->Bounds, panel)) << Narrow(c->Name) << " " << Show(c->Bounds);
      // The message box covers the folder rows on purpose.
      if (!open || (c != &F.Label3 && c != &F.InfLabel)) parts.emplace_back(c->Name, c->Bounds);
    }
    if (open) {
      parts.emplace_back(u"Memo1", RectInParent(F.Memo1.Handle));
      parts.emplace_back(u"Edit1", RectInParent(F.Edit1.Handle));
    }
    for (size_t i = 0; i < parts.size(); ++i)
      for (size_t j = i + 1; j < parts.size(); ++j)
        EXPECT_FALSE(Overlap(parts[i].second, parts[j].second))
            << Narrow(parts[i].first) << " " << Show(parts[i].second) << " and " << Narrow(parts[j].first) << " "
            << Show(parts[j].second);
  };
  auto fits = [](const LOGFONTW& font, const std::u16string& text, const RECT& r, int margin) {
    const SIZE s = TextExtent(font, text);
    return s.cx + margin <= r.right - r.left && s.cy <= r.bottom - r.top;
  };

  for (int lang = 0; lang < Languages; ++lang) {
    SCOPED_TRACE(lang);
    F.ApplyLanguage(lang);
    for (TGraphicLabel* l : Labels()) EXPECT_TRUE(fits(l->LogFont, l->Caption(), l->Bounds, 0)) << Narrow(l->Name);
    const RECT osn = RectInParent(F.OsnLabel->Handle());
    EXPECT_TRUE(fits(F.OsnLabel->Font(), FormatOne(V(lang, u"1"), AppName), osn, 2 * HrefMargin));
    EXPECT_GE(osn.bottom - osn.top, TextExtent(F.OsnLabel->Font(), u"Ag").cy + HrefMargin);
    for (const TControl* b : {&F.InsButton, &F.Button3})
      for (const char16_t* key : {u"3", u"4", u"9"})
        EXPECT_TRUE(fits(FontOf(b->Handle), V(lang, key), RectInParent(b->Handle), 8)) << Narrow(V(lang, key));
    checkPanel(false);
    F.ToggleFeedback();
    checkPanel(true);
    F.ToggleFeedback();
  }

  const RECT ins = RectInParent(F.InsButton.Handle), cancel = RectInParent(F.Button3.Handle),
             pb = RectInParent(F.PB.Handle), osn = RectInParent(F.OsnLabel->Handle());
  for (const RECT& r : {ins, cancel, pb, RectInParent(F.SPanel.Handle)}) EXPECT_TRUE(Inside(r, client)) << Show(r);
  EXPECT_FALSE(Overlap(ins, cancel));
  EXPECT_FALSE(Overlap(ins, pb) || Overlap(cancel, pb));
  EXPECT_FALSE(Overlap(RectInParent(F.SPanel.Handle), pb));
  EXPECT_TRUE(Inside(osn, pb)) << "the invitation lies over the progress bar";
  EXPECT_TRUE(Inside(RectInParent(F.Edit1.Handle), panel));
  EXPECT_TRUE(Inside(RectInParent(F.Memo1.Handle), panel));
}

// Runs this program's layout test again in a process that starts with the
// screen set to another number of dots per inch (Wine reads it per process
// from the user's "LogPixels" value).
TEST(WindowScaling, LayoutFitsAtHigherSettings) {
  if (getenv("QM_EXPECT_DPI")) GTEST_SKIP() << "already the run at another setting";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            0);
  DWORD old = 0, size = sizeof(old);
  const bool hadOld = RegQueryValueExW(key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old), &size) == 0;
  for (DWORD dpi : {120u, 144u}) {
    SCOPED_TRACE(dpi);
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
    SetEnvironmentVariableW(L"QM_EXPECT_DPI", W(IntToText(dpi)));
    const int code = RunAndWait(ExePath(), u"--gtest_filter=Window.LayoutFitsAtTheScreensSetting", 120000);
    SetEnvironmentVariableW(L"QM_EXPECT_DPI", nullptr);
    EXPECT_EQ(code, 0) << "the layout test failed at " << dpi << " dpi";
  }
  if (hadOld)
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old), sizeof(old));
  else
    RegDeleteValueW(key, L"LogPixels");
  RegCloseKey(key);
}

}  // namespace
