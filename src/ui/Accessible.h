#ifndef QM_UI_ACCESSIBLE_H
#define QM_UI_ACCESSIBLE_H

// Active Accessibility for windows that paint their own parts: an IAccessible
// whose children (ids 1, 2, ...) are the parts a TAccessibleSource describes.
// Everything about the window itself (parent, focus, its own location and
// state) comes from the system's standard object for the window's client.
// oleacc and oleaut32 are loaded from system32 when a client first asks.

#include <windows.h>

#include <string>

// What a client is told about one painted part.
struct TAccessibleChild {
  std::u16string Name;
  std::u16string Description;
  long Role = 0;                  // ROLE_SYSTEM_STATICTEXT, ROLE_SYSTEM_LINK, ROLE_SYSTEM_GRAPHIC...
  RECT Bounds{};                  // in the window's client pixels
  bool Visible = true;            // else the state says invisible
  bool Hot = false;               // the pointer is over it (hot-tracked)
  bool HasDefaultAction = false;  // "Click"
};

// The window's side: its parts, numbered from 1 in their order.
class TAccessibleSource {
 public:
  // The number of parts.
  virtual long ChildCount() const = 0;
  // Part id, 1 <= id <= ChildCount().
  virtual TAccessibleChild Child(long id) const = 0;
  // The topmost visible part at pt (client pixels), or 0.
  virtual long ChildAt(POINT pt) const = 0;
  // Runs part id's default action (it has one, and it is visible); never throws.
  virtual void DoDefaultAction(long id) = 0;
  // The window's own name and role; empty or 0: the standard object's.
  virtual std::u16string SelfName() const { return {}; }
  virtual long SelfRole() const { return 0; }

 protected:
  ~TAccessibleSource() = default;
};

class TAccessibleObject;

// The accessible object of one window, made when a client first asks and cut
// off from its source when the holder goes (a client may keep its reference
// longer: it then gets CO_E_OBJNOTCONNECTED).
class TAccessibleHost {
 public:
  TAccessibleHost() = default;
  ~TAccessibleHost();
  TAccessibleHost(const TAccessibleHost&) = delete;
  TAccessibleHost& operator=(const TAccessibleHost&) = delete;

  // The answer to WM_GETOBJECT (wp, lp) sent to wnd: the object for
  // OBJID_CLIENT, 0 for any other id (DefWindowProc answers those).
  LRESULT Answer(HWND wnd, WPARAM wp, LPARAM lp, TAccessibleSource& source);
  // Tells listening clients that part id (0: the window itself) changed.
  static void Notify(DWORD event, HWND wnd, long id);

 private:
  TAccessibleObject* FObject = nullptr;
};

// The name of the default action of the parts that have one.
inline constexpr const char16_t* AccessibleClick = u"Click";

#endif
