// The logo panel: it paints its labels and pictures itself (they are no
// windows), finds the one under the pointer, underlines the active labels
// while the pointer is over them and runs their click handlers. Its
// accessible object tells screen readers about the same labels and pictures.

#include "ui/Main.h"

#include <windowsx.h>

#include <oleacc.h>

#include <utility>

#include "app/Application.h"
#include "app/Config.h"
#include "app/Responsive.h"

namespace {

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

// The pictures; a flag is named after the language beside it.
struct TPicture {
  TGraphicPicture TMainForm::*Picture;
  TGraphicLabel TMainForm::*Language;  // null: no language
};

constexpr TPicture Pictures[] = {
    {&TMainForm::LogoImage, nullptr},
    {&TMainForm::Image1, nullptr},
    {&TMainForm::FlagImage, &TMainForm::ULabel},
    {&TMainForm::UaImage, &TMainForm::Label2},
    {&TMainForm::EnImage, &TMainForm::Label5},
    {&TMainForm::DutchFlag, &TMainForm::lblDutch},
    {&TMainForm::PolishFlag, &TMainForm::Label4},
};

// Posted by the accessible default action (wParam: the control's index). A
// client waits on the call, maybe from another process, so the click runs
// after it has returned, as the system's own controls do it.
constexpr UINT WM_PANELCLICK = WM_APP + 2;

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
  if (FHover) {
    OpenURLMouseLeave(*FHover);
    FHover->NotifyAccessible(EVENT_OBJECT_STATECHANGE);  // no longer hot-tracked
  }
  FHover = over;
  if (FHover) {
    OpenURLMouseEnter(*FHover);
    FHover->NotifyAccessible(EVENT_OBJECT_STATECHANGE);
  }
}

void TMainForm::OnPanelButtonDown(POINT pt) {
  FPressed = GraphicAt(pt);
  SetCapture(SPanel.Handle);
}

void TMainForm::OnPanelButtonUp(POINT pt) {
  // A click: press and release on the same label (a flag or the logo does nothing).
  TGraphicControl* pressed = std::exchange(FPressed, nullptr);
  if (GetCapture() == SPanel.Handle) ReleaseCapture();
  if (pressed && GraphicAt(pt) == pressed) ClickGraphic(*pressed);
}

void TMainForm::ClickGraphic(const TGraphicControl& control) {
  // While the Delete command runs, no click acts, a screen reader's neither.
  if (!control.Visible || TBusyScope::Active()) return;
  for (const TActiveLabel& a : ActiveLabels)
    if (&control == &(this->*a.Label)) (this->*a.Click)();
}

// --- Accessibility ---------------------------------------------------------------

long TMainForm::TPanelParts::ChildCount() const { return static_cast<long>(FForm.FGraphics.size()); }

TAccessibleChild TMainForm::TPanelParts::Child(long id) const {
  const TGraphicControl* g = FForm.FGraphics.at(static_cast<size_t>(id - 1));
  TAccessibleChild c;
  c.Bounds = g->Bounds;
  c.Visible = g->Visible;
  for (const TPicture& p : Pictures) {
    if (g != &(FForm.*p.Picture)) continue;
    c.Role = ROLE_SYSTEM_GRAPHIC;
    if (p.Language) c.Name = (FForm.*p.Language).Caption();
    if (p.Picture == &TMainForm::LogoImage) c.Name = AppName;
    return c;
  }
  const auto* label = static_cast<const TGraphicLabel*>(g);
  c.Name = label->Caption();
  c.Description = label->Hint;
  c.Role = ROLE_SYSTEM_STATICTEXT;
  for (const TActiveLabel& a : ActiveLabels) {
    if (label != &(FForm.*a.Label)) continue;
    c.Role = ROLE_SYSTEM_LINK;
    c.HasDefaultAction = true;
    c.Hot = label == FForm.FHover;
  }
  return c;
}

long TMainForm::TPanelParts::ChildAt(POINT pt) const {
  const TGraphicControl* g = FForm.GraphicAt(pt);
  return g ? g->AccessibleId : 0;
}

void TMainForm::TPanelParts::DoDefaultAction(long id) {
  PostMessageW(FForm.SPanel.Handle, WM_PANELCLICK, static_cast<WPARAM>(id - 1), 0);
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
    case WM_PANELCLICK:
      if (wp < FGraphics.size()) ClickGraphic(*FGraphics[wp]);
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = FPanelAccessible.Answer(panel, wp, lp, FPanelParts)) return object;
      break;
  }
  return DefWindowProcW(panel, msg, wp, lp);
}
