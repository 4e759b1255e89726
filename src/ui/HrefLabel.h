#ifndef QM_UI_HREFLABEL_H
#define QM_UI_HREFLABEL_H

// THrefLabel: a one-row, self-painted child window whose caption marks its
// link with "<a>" and "</a>". The link is blue, underlined while the pointer
// is over it, shows the hand cursor, and a click on it fires GotoLink.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/ScopedHandle.h"
#include "ui/HrefLabelText.h"

class THrefLabel {
 public:
  using TGotoEvent = std::function<void(THrefLabel* sender)>;

  // Creates the control as a child of parent (hidden until shown).
  THrefLabel(HWND parent, int id, int left, int top, int width, int height);
  ~THrefLabel();
  THrefLabel(const THrefLabel&) = delete;
  THrefLabel& operator=(const THrefLabel&) = delete;

  HWND Handle() const { return FHandle; }

  // Caption with markup; setting it does not repaint.
  const std::u16string& Caption() const { return FCaption; }
  void SetCaption(const std::u16string& caption) { FCaption = caption; }
  // Background colour; until set, the parent's (button face).
  COLORREF Color() const;
  void SetColor(COLORREF color);
  // Font of all text; assigning copies it and repaints.
  const LOGFONTW& Font() const { return FFont; }
  void SetFont(const LOGFONTW& font, COLORREF color);
  COLORREF FontColor() const { return FFontColor; }
  TGotoEvent GotoLink;  // FGoto

  bool Visible() const { return IsWindowVisible(FHandle) != FALSE; }
  void SetVisible(bool visible) { ShowWindow(FHandle, visible ? SW_SHOWNA : SW_HIDE); }
  // Repaints at once.
  void Repaint();

  void ExtractWords();
  void Paint(HDC dc);
  void TrackLink(int x, int y);
  void Leave();
  void ClickLink();

  TBoundsHr link;
  bool ulink = false;
  std::vector<std::u16string> FLines;

 private:
  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

  HWND FHandle = nullptr;
  std::u16string FCaption;
  LOGFONTW FFont{};
  COLORREF FFontColor = 0;
  COLORREF FColor = 0;
  bool FColorSet = false;
  bool FTracking = false;
  bool FPressed = false;
  HCURSOR FCursor = nullptr;
};

#endif
