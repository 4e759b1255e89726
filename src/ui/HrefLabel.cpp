#include "ui/HrefLabel.h"

#include <windowsx.h>

#include "base/Win32Text.h"
#include "ui/ControlIds.h"

namespace {

ATOM RegisterHrefLabelClass() {
  static ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per instance at WM_NCCREATE
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = nullptr;             // the control sets its cursor itself
    wc.lpszClassName = reinterpret_cast<const wchar_t*>(QM_HREFLABEL_CLASS);
    return RegisterClassExW(&wc);
  }();
  return atom;
}

SIZE TextSize(HDC dc, const std::u16string& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  return size;
}

}  // namespace

THrefLabel::THrefLabel(HWND parent, int id, int left, int top, int width, int height) {
  RegisterHrefLabelClass();
  FCursor = LoadCursorW(nullptr, IDC_ARROW);
  FFont.lfHeight = -11;
  FFont.lfWeight = FW_NORMAL;
  FFont.lfCharSet = DEFAULT_CHARSET;
  lstrcpyW(FFont.lfFaceName, L"Tahoma");
  FFontColor = GetSysColor(COLOR_WINDOWTEXT);
  FHandle = CreateWindowExW(0, reinterpret_cast<const wchar_t*>(QM_HREFLABEL_CLASS), L"",
                            WS_CHILD | WS_CLIPSIBLINGS, left, top, width, height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
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

void THrefLabel::ExtractWords() { FLines = ExtractWordsOf(FCaption); }

void THrefLabel::Paint(HDC dc) {
  ExtractWords();
  LOGFONTW drawFont = FFont;
  TGdiObject font(CreateFontIndirectW(&drawFont));
  HGDIOBJ oldFont = SelectObject(dc, font.Get());

  RECT client{};
  GetClientRect(FHandle, &client);
  TGdiObject brush(CreateSolidBrush(Color()));
  FillRect(dc, &client, static_cast<HBRUSH>(brush.Get()));
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, Color());

  auto restyle = [&](bool underline) {
    drawFont.lfUnderline = underline ? TRUE : FALSE;
    TGdiObject next(CreateFontIndirectW(&drawFont));
    SelectObject(dc, next.Get());
    font = std::move(next);
  };

  COLORREF textColor = FFontColor;
  int x = HrefMargin;
  for (size_t i = 0; i < FLines.size(); ++i) {
    const std::u16string& segment = FLines[i];
    if (IsLinkOpen(segment)) {
      textColor = RGB(0, 0, 255);
      link.Left = x;
      link.height = TextSize(dc, segment).cy;
      link.width = i + 1 < FLines.size() ? TextSize(dc, FLines[i + 1]).cx : 0;
      if (ulink) restyle(true);
    } else if (IsLinkClose(segment)) {
      textColor = FFontColor;
      restyle(false);
    } else if (!segment.empty()) {
      SetTextColor(dc, textColor);
      TextOutW(dc, x, HrefMargin, W(segment), static_cast<int>(segment.size()));
      x += TextSize(dc, segment).cx;
    }
  }
  SelectObject(dc, oldFont);
}

void THrefLabel::TrackLink(int x, int y) {
  ulink = InsideLink(link, x, y);
  FCursor = LoadCursorW(nullptr, ulink ? IDC_HAND : IDC_ARROW);
  SetCursor(FCursor);
  Repaint();
}

void THrefLabel::Leave() {
  FCursor = LoadCursorW(nullptr, IDC_ARROW);
  ulink = false;
  Repaint();
}

void THrefLabel::ClickLink() {
  if (ulink && GotoLink) GotoLink(this);
}

LRESULT CALLBACK THrefLabel::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<THrefLabel*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  return self->HandleMessage(msg, wp, lp);
}

LRESULT THrefLabel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // Paint fills everything; erasing first would flicker
    case WM_PAINT: {
      // Double-buffered: the pointer repaints the label on every move.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(FHandle, &ps);
      RECT client{};
      GetClientRect(FHandle, &client);
      HDC mem = CreateCompatibleDC(dc);
      TGdiObject bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
      HGDIOBJ old = SelectObject(mem, bitmap.Get());
      Paint(mem);
      BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      DeleteDC(mem);
      EndPaint(FHandle, &ps);
      return 0;
    }
    case WM_SETCURSOR:
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
    case WM_LBUTTONDBLCLK:
      FPressed = true;
      SetCapture(FHandle);
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = FPressed;
      FPressed = false;
      if (GetCapture() == FHandle) ReleaseCapture();
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      RECT client{};
      GetClientRect(FHandle, &client);
      if (wasPressed && PtInRect(&client, pt)) ClickLink();
      return 0;
    }
    case WM_NCDESTROY: {
      HWND wnd = FHandle;
      SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
      FHandle = nullptr;
      return DefWindowProcW(wnd, msg, wp, lp);
    }
  }
  return DefWindowProcW(FHandle, msg, wp, lp);
}
