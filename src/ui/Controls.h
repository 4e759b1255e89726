#ifndef QM_UI_CONTROLS_H
#define QM_UI_CONTROLS_H

// Views of the main window's controls. Child windows are owned by their
// parent, so TControl does not own its handle. Labels and pictures on the
// logo panel are not windows: the panel paints them (TGraphicControl).

#include <windows.h>

#include <string>

#include "base/ScopedHandle.h"

class TControl {
 public:
  HWND Handle = nullptr;

  std::u16string Caption() const;
  void SetCaption(const std::u16string& text);
  bool Visible() const { return Handle && (GetWindowLongW(Handle, GWL_STYLE) & WS_VISIBLE); }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return Handle && IsWindowEnabled(Handle); }
  void SetEnabled(bool enabled) { EnableWindow(Handle, enabled); }
};

enum class TAlignment { Left, Right };

// A place in design units: client pixels at 96 dots per inch.
struct TDesignRect {
  int Left, Top, Width, Height;
};

// A font as designed: family, character height in pixels at 96 dpi, style,
// character set.
struct TFontSpec {
  const char16_t* Face;
  int Height;
  bool Bold;
  BYTE Charset;
};

// The logo panel's own background, and that of its opaque labels.
constexpr COLORREF PanelGrey = RGB(224, 224, 224);

// A label or picture painted by its parent panel, in creation order.
class TGraphicControl {
 public:
  virtual ~TGraphicControl() = default;
  const char16_t* Name = u"";
  RECT Bounds{};  // in the panel's client pixels
  bool Visible = true;
  HWND Parent = nullptr;
  long AccessibleId = 0;  // its child id in the parent's accessible object; 0: none

  virtual void Paint(HDC dc, bool themed) const = 0;
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Asks the parent to repaint this control's rectangle.
  void Invalidate() const;
  // Tells accessibility clients of a change (EVENT_OBJECT_SHOW, ...).
  void NotifyAccessible(DWORD event) const;
};

class TGraphicLabel : public TGraphicControl {
 public:
  LOGFONTW LogFont{};
  COLORREF Color = 0;
  TAlignment Alignment = TAlignment::Left;
  bool AutoSize = true;
  bool AlwaysTransparent = false;  // transparent also without visual styles
  std::u16string Hint;             // tooltip text

  const std::u16string& Caption() const { return FCaption; }
  // Sets the text; an auto-sized label fits itself to it (a right-aligned
  // one keeps its right edge).
  void SetCaption(const std::u16string& text);
  bool Underline() const { return LogFont.lfUnderline != 0; }
  void SetUnderline(bool underline);
  HFONT Font() const { return static_cast<HFONT>(FFont.Get()); }
  // Creates the font from LogFont; call after changing it.
  void UpdateFont();
  void Paint(HDC dc, bool themed) const override;

 private:
  void FitToText();
  std::u16string FCaption;
  TGdiObject FFont;
};

class TGraphicPicture : public TGraphicControl {
 public:
  // A bitmap is drawn stretched over the bounds, else centred at its size.
  bool Stretch = false;

  // One of the two: an icon (owned, drawn with its alpha) or an opaque bitmap (owned).
  void SetIcon(HICON icon);
  void SetBitmap(HBITMAP bitmap);
  HICON Icon() const { return FIcon; }
  HBITMAP Bitmap() const { return static_cast<HBITMAP>(FBitmap.Get()); }
  void Paint(HDC dc, bool themed) const override;
  ~TGraphicPicture() override;

 private:
  void ClearIcon();
  HICON FIcon = nullptr;
  SIZE FSize{};  // of the icon or the bitmap
  TGdiObject FBitmap;
};

#endif
