#include "ui/Controls.h"

#include "base/Win32Text.h"

std::u16string TControl::Caption() const { return WindowText(Handle); }

void TControl::SetCaption(const std::u16string& text) { SetWindowTextW(Handle, W(text)); }

void TControl::SetVisible(bool visible) {
  if (Visible() != visible) ShowWindow(Handle, visible ? SW_SHOWNA : SW_HIDE);
}

void TGraphicControl::SetVisible(bool visible) {
  if (Visible == visible) return;
  Visible = visible;
  Invalidate();
}

void TGraphicControl::Invalidate() const {
  if (Parent) InvalidateRect(Parent, &Bounds, FALSE);
}

void TGraphicLabel::SetCaption(const std::u16string& text) {
  if (text == FCaption) return;
  Invalidate();
  FCaption = text;
  if (AutoSize) FitToText();
  Invalidate();
}

void TGraphicLabel::SetUnderline(bool underline) {
  if (Underline() == underline) return;
  LogFont.lfUnderline = underline ? TRUE : FALSE;
  UpdateFont();
  Invalidate();
}

void TGraphicLabel::UpdateFont() {
  FFont.Reset(CreateFontIndirectW(&LogFont));
  if (AutoSize) FitToText();
}

void TGraphicLabel::FitToText() {
  HDC dc = GetDC(Parent);
  HGDIOBJ old = SelectObject(dc, FFont.Get());
  RECT r{0, 0, 0, 0};
  if (FCaption.empty()) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    r.bottom = tm.tmHeight;
  } else {
    DrawTextW(dc, W(FCaption), static_cast<int>(FCaption.size()), &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
  }
  SelectObject(dc, old);
  ReleaseDC(Parent, dc);
  if (Alignment == TAlignment::Right) {
    Bounds.left = Bounds.right - r.right;
  } else {
    Bounds.right = Bounds.left + r.right;
  }
  Bounds.bottom = Bounds.top + r.bottom;
}

void TGraphicLabel::Paint(HDC dc, bool themed) const {
  if (!themed && !AlwaysTransparent) {
    // Without visual styles the label sits on the panel's light grey.
    HBRUSH grey = CreateSolidBrush(RGB(224, 224, 224));
    FillRect(dc, &Bounds, grey);
    DeleteObject(grey);
  }
  HGDIOBJ old = SelectObject(dc, FFont.Get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Color);
  RECT r = Bounds;
  const UINT align = Alignment == TAlignment::Right ? DT_RIGHT : DT_LEFT;
  // A fixed-size label cuts a longer text off at its right edge.
  DrawTextW(dc, W(FCaption), static_cast<int>(FCaption.size()), &r, align | DT_NOPREFIX | DT_SINGLELINE);
  SelectObject(dc, old);
}

void TGraphicPicture::SetIcon(HICON icon) {
  if (FIcon) DestroyIcon(FIcon);
  FIcon = icon;
  FBitmap.Reset();
  Invalidate();
}

void TGraphicPicture::SetBitmap(HBITMAP bitmap) {
  if (FIcon) DestroyIcon(FIcon);
  FIcon = nullptr;
  FBitmap.Reset(bitmap);
  Invalidate();
}

TGraphicPicture::~TGraphicPicture() {
  if (FIcon) DestroyIcon(FIcon);
}

void TGraphicPicture::Paint(HDC dc, bool) const {
  const int w = Bounds.right - Bounds.left, h = Bounds.bottom - Bounds.top;
  if (FIcon) {
    ICONINFO info{};
    int iw = 16, ih = 16;
    if (GetIconInfo(FIcon, &info)) {
      BITMAP bm{};
      GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
      iw = bm.bmWidth;
      ih = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
      if (info.hbmColor) DeleteObject(info.hbmColor);
      if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    DrawIconEx(dc, Bounds.left + (w - iw) / 2, Bounds.top + (h - ih) / 2, FIcon, iw, ih, 0, nullptr, DI_NORMAL);
  } else if (FBitmap.IsValid()) {
    BITMAP bm{};
    GetObjectW(FBitmap.Get(), sizeof(bm), &bm);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, FBitmap.Get());
    BitBlt(dc, Bounds.left + (w - bm.bmWidth) / 2, Bounds.top + (h - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight, mem,
           0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
}
