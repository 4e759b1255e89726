#ifndef QM_UI_HREFLABEL_H
#define QM_UI_HREFLABEL_H

// THrefLabel: a one-row, self-painted child window whose caption marks its
// link with "<a>" and "</a>". The link is blue, underlined while the pointer
// is over it, shows the hand cursor, and a click on it fires GotoLink.
// Screen readers read its caption without markup, with the link as a child
// whose default action fires GotoLink too.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/ScopedHandle.h"
#include "ui/Accessible.h"
#include "ui/HrefLabelText.h"

class THrefLabel {
 public:
  // The GotoLink handler: a member function bound to its object, or none.
  class TGotoEvent {
   public:
    TGotoEvent() = default;
    TGotoEvent(std::nullptr_t) {}  // none, as SetGotoLink(nullptr) asks
    // Handler (a member function of T taking the sender) called on object.
    template <auto Handler, class T>
    static TGotoEvent Bind(T* object) {
      TGotoEvent event;
      event.FObject = object;
      event.FCall = [](void* o, THrefLabel* sender) { (static_cast<T*>(o)->*Handler)(sender); };
      return event;
    }
    explicit operator bool() const { return FCall != nullptr; }
    void operator()(THrefLabel* sender) const { FCall(FObject, sender); }

   private:
    void* FObject = nullptr;
    void (*FCall)(void* object, THrefLabel* sender) = nullptr;
  };

  // Creates the control as a child of parent, hidden until shown. It draws
  // in Tahoma 11 px and the parent's colour until told otherwise.
  THrefLabel(HWND parent, int id, int left, int top, int width, int height);
  ~THrefLabel();
  THrefLabel(const THrefLabel&) = delete;
  THrefLabel& operator=(const THrefLabel&) = delete;

  HWND Handle() const { return FHandle; }

  // Caption with markup; setting it does not repaint.
  const std::u16string& Caption() const { return FCaption; }
  void SetCaption(const std::u16string& caption);
  // Background colour; until set, the parent's (button face). Setting repaints.
  COLORREF Color() const;
  void SetColor(COLORREF color);
  // Font of all text and its colour; assigning copies it and repaints.
  const LOGFONTW& Font() const { return FFont; }
  COLORREF FontColor() const { return FFontColor; }
  void SetFont(const LOGFONTW& font, COLORREF color);
  // Fired by a click on the link, with the label as sender; may be empty.
  const TGotoEvent& GotoLink() const { return FGoto; }
  void SetGotoLink(TGotoEvent event) { FGoto = event; }

  bool Visible() const { return IsWindowVisible(FHandle) != FALSE; }
  void SetVisible(bool visible) { ShowWindow(FHandle, visible ? SW_SHOWNA : SW_HIDE); }
  // Invalidates the control and redraws it before returning.
  void Repaint();
  // The caption's segments as of the last paint.
  const std::vector<std::u16string>& Lines() const { return FLines; }

  // Rebuilds the segments from the caption.
  void ExtractWords();
  // Draws the whole control on dc; finds the link rectangle on the way.
  void Paint(HDC dc);
  // Mouse movement to (x, y) in client pixels: hit test, cursor, repaint.
  void TrackLink(int x, int y);
  // The pointer has left the control: default cursor, no underline.
  void Leave();
  // A click on the control: fires GotoLink when the pointer is over the link.
  void ClickLink();
  // The link's accessible default action: fires GotoLink, wherever the pointer is.
  void FollowLink();

  TBoundsHr link;      // the link rectangle found by the last paint
  bool ulink = false;  // the pointer is over the link (as of its last movement)

 private:
  // For screen readers: the caption without markup, with the link as its
  // one child.
  class TLinkParts final : public TAccessibleSource {
   public:
    explicit TLinkParts(THrefLabel& label) : FLabel(label) {}
    long ChildCount() const override;
    TAccessibleChild Child(long id) const override;
    long ChildAt(POINT pt) const override;
    void DoDefaultAction(long id) override;
    std::u16string SelfName() const override;
    long SelfRole() const override;

   private:
    THrefLabel& FLabel;
  };

  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void PaintBuffered(HDC target);
  void OnButtonUp(POINT pt);

  std::u16string FCaption;
  std::vector<std::u16string> FLines;
  TGotoEvent FGoto;
  HWND FHandle = nullptr;
  LOGFONTW FFont{};
  COLORREF FFontColor = 0;
  COLORREF FColor = 0;
  bool FColorSet = false;
  bool FTracking = false;  // leave notification requested
  bool FPressed = false;   // a click has begun on the control
  HCURSOR FCursor = nullptr;
  TLinkParts FParts{*this};
  TAccessibleHost FAccessible;  // made at the first client's request
};

#endif
