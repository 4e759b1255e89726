#include "ui/HrefLabel.h"

#include <windowsx.h>
#include <oleacc.h>

#include <utility>

#include "app/Application.h"
#include "app/Responsive.h"
#include "base/Win32Text.h"
#include "ui/ControlIds.h"

namespace {

constexpr COLORREF LinkBlue = RGB(0, 0, 255);
// Posted by the accessible default action: GotoLink runs once the client's
// call has returned.
constexpr UINT WM_FOLLOWLINK = WM_APP + 3;
constexpr long LinkChild = 1;

// Once per process, from the GUI thread.
void RegisterHrefLabelClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = nullptr;  // the control sets its cursor itself
  wc.lpszClassName = reinterpret_cast<const wchar_t*>(QM_HREFLABEL_CLASS);
  registered = RegisterClassExW(&wc) != 0;
}

SIZE TextSize(HDC dc, const std::u16string& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  return size;
}

// The drawing font of one paint: a copy of the control's font whose
// underline the link markup turns on and off.
class TDrawFont {
 public:
  TDrawFont(HDC dc, const LOGFONTW& font) : FDc(dc), FLogFont(font), FFont(CreateFontIndirectW(&font)) {
    FOld = SelectObject(dc, FFont.Get());
  }
  ~TDrawFont() { SelectObject(FDc, FOld); }
  TDrawFont(const TDrawFont&) = delete;
  TDrawFont& operator=(const TDrawFont&) = delete;
  void SetUnderline(bool underline) {
    FLogFont.lfUnderline = underline ? TRUE : FALSE;
    TGdiObject next(CreateFontIndirectW(&FLogFont));
    SelectObject(FDc, next.Get());
    FFont = std::move(next);
  }

 private:
  HDC FDc;
  LOGFONTW FLogFont;
  TGdiObject FFont;
  HGDIOBJ FOld;
};

}  // namespace

THrefLabel::THrefLabel(HWND parent, int id, int left, int top, int width, int height) {
  RegisterHrefLabelClass();
  FCursor = LoadCursorW(nullptr, IDC_ARROW);
  FFont.lfHeight = -11;
  FFont.lfWeight = FW_NORMAL;
  FFont.lfCharSet = DEFAULT_CHARSET;
  lstrcpyW(FFont.lfFaceName, L"Tahoma");
  FFontColor = GetSysColor(COLOR_WINDOWTEXT);
  FHandle = CreateWindowExW(0, reinterpret_cast<const wchar_t*>(QM_HREFLABEL_CLASS), L"", WS_CHILD | WS_CLIPSIBLINGS,
                            left, top, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(FHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&THrefLabel::WndProc));
}

THrefLabel::~THrefLabel() {
  if (FHandle && IsWindow(FHandle)) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
}

COLORREF THrefLabel::Color() const { return FColorSet ? FColor : GetSysColor(COLOR_BTNFACE); }

void THrefLabel::SetColor(COLORREF color) {
  FColor = color;
  FColorSet = true;
  Repaint();
}

void THrefLabel::SetFont(const LOGFONTW& font, COLORREF color) {
  FFont = font;
  FFontColor = color;
  Repaint();
}

void THrefLabel::Repaint() {
  InvalidateRect(FHandle, nullptr, FALSE);
  UpdateWindow(FHandle);
}

void THrefLabel::SetCaption(const std::u16string& caption) {
  FCaption = caption;
  TAccessibleHost::Notify(EVENT_OBJECT_NAMECHANGE, FHandle, CHILDID_SELF);
}

void THrefLabel::ExtractWords() { FLines = ExtractWordsOf(FCaption); }

void THrefLabel::Paint(HDC dc) {
  ExtractWords();
  TDrawFont font(dc, FFont);
  RECT client{};
  GetClientRect(FHandle, &client);
  TGdiObject brush(CreateSolidBrush(Color()));
  FillRect(dc, &client, static_cast<HBRUSH>(brush.Get()));
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, Color());
  SetTextColor(dc, FFontColor);

  int x = HrefMargin;
  for (size_t i = 0; i < FLines.size(); ++i) {
    const std::u16string& segment = FLines[i];
    if (IsLinkOpen(segment)) {
      SetTextColor(dc, LinkBlue);
      link.Left = x;
      link.height = TextSize(dc, segment).cy;
      // A caption that ends in "<a>" has no link text: its link is 0 wide.
      link.width = i + 1 < FLines.size() ? TextSize(dc, FLines[i + 1]).cx : 0;
      if (ulink) font.SetUnderline(true);
    } else if (IsLinkClose(segment)) {
      SetTextColor(dc, FFontColor);
      font.SetUnderline(false);
    } else {
      TextOutW(dc, x, HrefMargin, W(segment), static_cast<int>(segment.size()));
      x += TextSize(dc, segment).cx;
    }
  }
}

void THrefLabel::TrackLink(int x, int y) {
  const bool was = ulink;
  ulink = InsideLink(link, x, y);
  if (ulink != was) TAccessibleHost::Notify(EVENT_OBJECT_STATECHANGE, FHandle, LinkChild);
  FCursor = LoadCursorW(nullptr, ulink ? IDC_HAND : IDC_ARROW);
  SetCursor(FCursor);
  Repaint();
}

void THrefLabel::Leave() {
  FCursor = LoadCursorW(nullptr, IDC_ARROW);
  if (ulink) TAccessibleHost::Notify(EVENT_OBJECT_STATECHANGE, FHandle, LinkChild);
  ulink = false;
  Repaint();
}

void THrefLabel::ClickLink() {
  if (ulink && FGoto) FGoto(this);
}

void THrefLabel::FollowLink() {
  if (FGoto) FGoto(this);
}

// The parts are read from the caption, not from the last paint: a new
// caption is the screen reader's at once.
long THrefLabel::TLinkParts::ChildCount() const { return HasLink(ExtractWordsOf(FLabel.FCaption)) ? 1 : 0; }

TAccessibleChild THrefLabel::TLinkParts::Child(long) const {
  TAccessibleChild c;
  c.Name = LinkTextOf(ExtractWordsOf(FLabel.FCaption));
  c.Role = ROLE_SYSTEM_LINK;
  c.Bounds = {FLabel.link.Left, HrefMargin, FLabel.link.Left + FLabel.link.width, HrefMargin + FLabel.link.height};
  c.Visible = FLabel.Visible();
  c.Hot = FLabel.ulink;
  c.HasDefaultAction = static_cast<bool>(FLabel.FGoto);
  return c;
}

long THrefLabel::TLinkParts::ChildAt(POINT pt) const {
  return ChildCount() && InsideLink(FLabel.link, pt.x, pt.y) ? LinkChild : CHILDID_SELF;
}

void THrefLabel::TLinkParts::DoDefaultAction(long) { PostMessageW(FLabel.FHandle, WM_FOLLOWLINK, 0, 0); }

std::u16string THrefLabel::TLinkParts::SelfName() const { return PlainTextOf(ExtractWordsOf(FLabel.FCaption)); }

long THrefLabel::TLinkParts::SelfRole() const { return ROLE_SYSTEM_STATICTEXT; }

void THrefLabel::PaintBuffered(HDC target) {
  // Every movement of the pointer repaints the label: draw off screen first.
  RECT client{};
  GetClientRect(FHandle, &client);
  HDC mem = CreateCompatibleDC(target);
  TGdiObject bitmap(CreateCompatibleBitmap(target, client.right, client.bottom));
  HGDIOBJ old = SelectObject(mem, bitmap.Get());
  Paint(mem);
  BitBlt(target, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void THrefLabel::OnButtonUp(POINT pt) {
  // A click is a press and a release on the control; the second press of a
  // double-click is no click.
  const bool pressed = std::exchange(FPressed, false);
  if (GetCapture() == FHandle) ReleaseCapture();
  RECT client{};
  GetClientRect(FHandle, &client);
  if (pressed && PtInRect(&client, pt)) ClickLink();
}

LRESULT CALLBACK THrefLabel::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<THrefLabel*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  LRESULT result = 0;
  // An error that leaves a handler (GotoLink's, say) is reported here, as
  // the event loop does.
  Application.Guard([&] { result = self->HandleMessage(msg, wp, lp); });
  return result;
}

LRESULT THrefLabel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // Paint fills everything
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(FHandle, &ps);
      PaintBuffered(dc);
      EndPaint(FHandle, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintBuffered(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_SETCURSOR:
      // A busy window shows its busy cursor over every control:
      // DefWindowProc asks the parents.
      if (TBusyScope::Active()) break;
      if (LOWORD(lp) == HTCLIENT) {
        SetCursor(FCursor);
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (!FTracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, FHandle, 0};
        FTracking = TrackMouseEvent(&tme) != FALSE;
      }
      TrackLink(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_MOUSELEAVE:
      FTracking = false;
      Leave();
      return 0;
    case WM_LBUTTONDOWN:
      FPressed = true;
      SetCapture(FHandle);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_FOLLOWLINK:
      if (!TBusyScope::Active()) FollowLink();  // no click acts while the Delete command runs
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = FAccessible.Answer(FHandle, wp, lp, FParts)) return object;
      break;
    case WM_NCDESTROY: {
      HWND wnd = FHandle;
      SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
      FHandle = nullptr;
      return DefWindowProcW(wnd, msg, wp, lp);
    }
  }
  return DefWindowProcW(FHandle, msg, wp, lp);
}
