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
  NotifyAccessible(visible ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE);
}

void TGraphicControl::Invalidate() const {
  if (Parent) InvalidateRect(Parent, &Bounds, FALSE);
}

void TGraphicControl::NotifyAccessible(DWORD event) const {
  if (Parent && AccessibleId) NotifyWinEvent(event, Parent, OBJID_CLIENT, AccessibleId);
}

void TGraphicLabel::SetCaption(const std::u16string& text) {
  if (text == FCaption) return;
  Invalidate();
  FCaption = text;
  if (AutoSize) FitToText();
  Invalidate();
  NotifyAccessible(EVENT_OBJECT_NAMECHANGE);
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
  // Without visual styles only the language names and the web-site link
  // stay transparent; the others sit on the panel's light grey.
  if (!themed && !AlwaysTransparent) {
    TGdiObject grey(CreateSolidBrush(PanelGrey));
    FillRect(dc, &Bounds, static_cast<HBRUSH>(grey.Get()));
  }
  HGDIOBJ old = SelectObject(dc, FFont.Get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Color);
  RECT r = Bounds;
  const UINT align = Alignment == TAlignment::Right ? DT_RIGHT : DT_LEFT;
  // Clipped to the bounds: a fixed-size label cuts a longer text off at its right edge.
  DrawTextW(dc, W(FCaption), static_cast<int>(FCaption.size()), &r, align | DT_NOPREFIX | DT_SINGLELINE);
  SelectObject(dc, old);
}

namespace {

SIZE IconSize(HICON icon) {
  SIZE size{};
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return size;
  BITMAP bm{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
  size = {bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return size;
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !GetObjectW(bitmap, sizeof(bm), &bm)) return {};
  return {bm.bmWidth, bm.bmHeight};
}

}  // namespace

void TGraphicPicture::ClearIcon() {
  if (FIcon) DestroyIcon(FIcon);
  FIcon = nullptr;
}

void TGraphicPicture::SetIcon(HICON icon) {
  ClearIcon();
  FBitmap.Reset();
  FIcon = icon;
  FSize = IconSize(icon);
  Invalidate();
}

void TGraphicPicture::SetBitmap(HBITMAP bitmap) {
  ClearIcon();
  FBitmap.Reset(bitmap);
  FSize = BitmapSize(bitmap);
  Invalidate();
}

TGraphicPicture::~TGraphicPicture() { ClearIcon(); }

void TGraphicPicture::Paint(HDC dc, bool) const {
  const int w = Bounds.right - Bounds.left, h = Bounds.bottom - Bounds.top;
  const int x = Bounds.left + (w - FSize.cx) / 2, y = Bounds.top + (h - FSize.cy) / 2;
  if (FIcon) {
    DrawIconEx(dc, x, y, FIcon, FSize.cx, FSize.cy, 0, nullptr, DI_NORMAL);
    return;
  }
  if (!FBitmap.IsValid()) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, FBitmap.Get());
  if (Stretch && (w != FSize.cx || h != FSize.cy)) {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, Bounds.left, Bounds.top, w, h, mem, 0, 0, FSize.cx, FSize.cy, SRCCOPY);
  } else {
    BitBlt(dc, x, y, FSize.cx, FSize.cy, mem, 0, 0, SRCCOPY);
  }
  SelectObject(mem, old);
  DeleteDC(mem);
}
