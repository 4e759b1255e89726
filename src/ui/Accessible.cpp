#include "ui/Accessible.h"

#include <oleacc.h>

#include <new>

#include "base/Win32Text.h"

namespace {

// oleacc and oleaut32 come from system32, and only once a client asks. The
// program imports neither: oleacc is no KnownDLL, so Windows would look for a
// static import beside the program first.
struct TOleAccApi {
  decltype(&LresultFromObject) Lresult = nullptr;
  decltype(&CreateStdAccessibleObject) CreateStd = nullptr;
  decltype(&AccessibleObjectFromWindow) FromWindow = nullptr;
  decltype(&SysAllocStringLen) AllocString = nullptr;
};

template <class T>
void Bind(T& fn, HMODULE module, const char* name) {
  if (module) fn = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const TOleAccApi& OleAcc() {
  static const TOleAccApi api = [] {
    TOleAccApi a;
    HMODULE acc = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    HMODULE aut = LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    Bind(a.Lresult, acc, "LresultFromObject");
    Bind(a.CreateStd, acc, "CreateStdAccessibleObject");
    Bind(a.FromWindow, acc, "AccessibleObjectFromWindow");
    Bind(a.AllocString, aut, "SysAllocStringLen");
    return a;
  }();
  return api;
}

// A text for the client, which frees it; an empty one is no text (S_FALSE).
HRESULT ReturnText(const std::u16string& text, BSTR* out) {
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  const auto alloc = OleAcc().AllocString;
  if (!alloc) return E_FAIL;
  *out = alloc(W(text), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// A method's body at the system's edge: a client calls it through COM's
// frames, which no exception may cross, so an error becomes an error code.
template <class F>
HRESULT AtEdge(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// VariantInit's work, without importing oleaut32 for it.
void Clear(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->lVal = 0;
}

void SetI4(VARIANT* v, long value) {
  v->vt = VT_I4;
  v->lVal = value;
}

}  // namespace

// The object itself. Its children are the source's parts (ids 1..n, simple
// elements) followed by the window's child windows (their own objects).
class TAccessibleObject final : public IAccessible {
 public:
  TAccessibleObject(HWND wnd, TAccessibleSource* source, IAccessible* standard)
      : FWnd(wnd), FSource(source), FStandard(standard) {}
  TAccessibleObject(const TAccessibleObject&) = delete;
  TAccessibleObject& operator=(const TAccessibleObject&) = delete;

  // The window is going: every later call fails, and remote clients are cut off.
  void Disconnect() {
    FSource = nullptr;
    if (FStandard) FStandard->Release();
    FStandard = nullptr;
    CoDisconnectObject(static_cast<IAccessible*>(this), 0);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) noexcept override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) && riid != __uuidof(IAccessible))
      return E_NOINTERFACE;
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG refs = --FRefs;
    if (refs == 0) delete this;
    return refs;
  }

  // IUnknown and IDispatch do nothing that throws. IDispatch: clients call
  // IAccessible directly; there is no type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) noexcept override {
    return E_NOTIMPL;
  }

  // IAccessible: each method catches at its edge (AtEdge).
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return AtEdge([&] {
      if (!parent) return E_POINTER;
      *parent = nullptr;
      if (!FSource) return CO_E_OBJNOTCONNECTED;
      return FStandard ? FStandard->get_accParent(parent) : S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return AtEdge([&] {
      if (!count) return E_POINTER;
      *count = 0;
      if (!FSource) return CO_E_OBJNOTCONNECTED;
      *count = FSource->ChildCount() + static_cast<long>(WindowCount());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return AtEdge([&] {
      if (!out) return E_POINTER;
      *out = nullptr;
      long id = 0;
      if (const HRESULT hr = Check(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF) return E_INVALIDARG;
      if (id <= FSource->ChildCount()) return S_FALSE;  // a simple element: the client asks this object
      return WindowObject(WindowAt(id - FSource->ChildCount()), out);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return AtEdge([&] {
      if (!name) return E_POINTER;
      *name = nullptr;
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id != CHILDID_SELF) return ReturnText(FSource->Child(id).Name, name);
      const std::u16string own = FSource->SelfName();
      if (!own.empty() || !FStandard) return ReturnText(own, name);
      return FStandard->get_accName(child, name);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return AtEdge([&] {
      if (!value) return E_POINTER;
      *value = nullptr;
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF && FStandard) return FStandard->get_accValue(child, value);
      return S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return AtEdge([&] {
      if (!text) return E_POINTER;
      *text = nullptr;
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id != CHILDID_SELF) return ReturnText(FSource->Child(id).Description, text);
      return FStandard ? FStandard->get_accDescription(child, text) : S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return AtEdge([&] {
      if (!role) return E_POINTER;
      Clear(role);
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      const long own = id == CHILDID_SELF ? FSource->SelfRole() : FSource->Child(id).Role;
      if (own == 0 && FStandard) return FStandard->get_accRole(child, role);
      SetI4(role, own ? own : ROLE_SYSTEM_CLIENT);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return AtEdge([&] {
      if (!state) return E_POINTER;
      Clear(state);
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF) {
        if (FStandard) return FStandard->get_accState(child, state);
        SetI4(state, 0);
        return S_OK;
      }
      const TAccessibleChild c = FSource->Child(id);
      long bits = c.Role == ROLE_SYSTEM_LINK ? STATE_SYSTEM_LINKED : STATE_SYSTEM_READONLY;
      if (!c.Visible) bits |= STATE_SYSTEM_INVISIBLE;
      if (c.Hot) bits |= STATE_SYSTEM_HOTTRACKED;
      SetI4(state, bits);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override {
    return AtEdge([&] {
      if (!help) return E_POINTER;
      *help = nullptr;
      return FSource ? S_FALSE : CO_E_OBJNOTCONNECTED;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    return AtEdge([&] {
      if (!file || !topic) return E_POINTER;
      *file = nullptr;
      *topic = 0;
      return FSource ? S_FALSE : CO_E_OBJNOTCONNECTED;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return AtEdge([&] {
      if (!keys) return E_POINTER;
      *keys = nullptr;
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF && FStandard) return FStandard->get_accKeyboardShortcut(child, keys);
      return S_FALSE;  // the painted parts take no keyboard focus
    });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return AtEdge([&] {
      if (!focus) return E_POINTER;
      Clear(focus);
      if (!FSource) return CO_E_OBJNOTCONNECTED;
      // Only the window itself or one of its child windows can have it.
      return FStandard ? FStandard->get_accFocus(focus) : S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return AtEdge([&] {
      if (!selection) return E_POINTER;
      Clear(selection);
      return FSource ? S_FALSE : CO_E_OBJNOTCONNECTED;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return AtEdge([&] {
      if (!action) return E_POINTER;
      *action = nullptr;
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF) return FStandard ? FStandard->get_accDefaultAction(child, action) : S_FALSE;
      return FSource->Child(id).HasDefaultAction ? ReturnText(AccessibleClick, action) : S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return AtEdge([&] {
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF && FStandard) return FStandard->accSelect(flags, child);
      return DISP_E_MEMBERNOTFOUND;
    });
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return AtEdge([&] {
      if (!left || !top || !width || !height) return E_POINTER;
      *left = *top = *width = *height = 0;
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF) return FStandard ? FStandard->accLocation(left, top, width, height, child) : S_FALSE;
      RECT r = FSource->Child(id).Bounds;
      MapWindowPoints(FWnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
      *left = r.left;
      *top = r.top;
      *width = r.right - r.left;
      *height = r.bottom - r.top;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return AtEdge([&] {
      if (!end) return E_POINTER;
      Clear(end);
      long id = 0;
      if (const HRESULT hr = Check(start, &id); hr != S_OK) return hr;
      const long count = FSource->ChildCount() + static_cast<long>(WindowCount());
      long to = 0;
      if (id == CHILDID_SELF) {
        if (direction == NAVDIR_FIRSTCHILD)
          to = 1;
        else if (direction == NAVDIR_LASTCHILD)
          to = count;
        else
          return FStandard ? FStandard->accNavigate(direction, start, end) : S_FALSE;
      } else if (direction == NAVDIR_NEXT) {
        to = id + 1;
      } else if (direction == NAVDIR_PREVIOUS) {
        to = id - 1;
      } else if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
        return E_INVALIDARG;  // a part has no children
      }
      if (to < 1 || to > count) return S_FALSE;
      return ChildVariant(to, end);
    });
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
    return AtEdge([&] {
      if (!hit) return E_POINTER;
      Clear(hit);
      if (!FSource) return CO_E_OBJNOTCONNECTED;
      POINT pt{x, y};
      ScreenToClient(FWnd, &pt);
      RECT client{};
      GetClientRect(FWnd, &client);
      if (!PtInRect(&client, pt)) return S_FALSE;
      // Child windows cover the painted parts.
      HWND over = ChildWindowFromPointEx(FWnd, pt, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
      if (over && over != FWnd) {
        hit->vt = VT_DISPATCH;
        return WindowObject(over, &hit->pdispVal);
      }
      SetI4(hit, FSource->ChildAt(pt));
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return AtEdge([&] {
      long id = 0;
      if (const HRESULT hr = CheckElement(child, &id); hr != S_OK) return hr;
      if (id == CHILDID_SELF) return FStandard ? FStandard->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
      const TAccessibleChild c = FSource->Child(id);
      if (!c.HasDefaultAction) return DISP_E_MEMBERNOTFOUND;
      if (!c.Visible) return E_FAIL;  // a hidden part cannot be clicked either
      FSource->DoDefaultAction(id);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) noexcept override { return E_NOTIMPL; }

 private:
  ~TAccessibleObject() {
    if (FStandard) FStandard->Release();
  }

  // A child id: CHILDID_SELF or 1..the number of children.
  HRESULT Check(const VARIANT& v, long* id) const {
    if (!FSource) return CO_E_OBJNOTCONNECTED;
    if (v.vt != VT_I4) return E_INVALIDARG;
    const long count = FSource->ChildCount() + static_cast<long>(WindowCount());
    if (v.lVal < 0 || v.lVal > count) return E_INVALIDARG;
    *id = v.lVal;
    return S_OK;
  }
  // CHILDID_SELF or a painted part: a child window answers for itself.
  HRESULT CheckElement(const VARIANT& v, long* id) const {
    const HRESULT hr = Check(v, id);
    return hr == S_OK && *id > FSource->ChildCount() ? E_INVALIDARG : hr;
  }
  size_t WindowCount() const {
    size_t n = 0;
    for (HWND c = GetWindow(FWnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
    return n;
  }
  // The k-th child window (from 1), in the window system's order.
  HWND WindowAt(long k) const {
    HWND c = GetWindow(FWnd, GW_CHILD);
    while (c && --k > 0) c = GetWindow(c, GW_HWNDNEXT);
    return c;
  }
  static HRESULT WindowObject(HWND wnd, IDispatch** out) {
    *out = nullptr;
    if (!wnd) return E_INVALIDARG;
    const auto fromWindow = OleAcc().FromWindow;
    if (!fromWindow) return E_FAIL;
    return fromWindow(wnd, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch), reinterpret_cast<void**>(out));
  }
  HRESULT ChildVariant(long id, VARIANT* out) const {
    if (id <= FSource->ChildCount()) {
      SetI4(out, id);
      return S_OK;
    }
    out->vt = VT_DISPATCH;
    const HRESULT hr = WindowObject(WindowAt(id - FSource->ChildCount()), &out->pdispVal);
    if (FAILED(hr)) out->vt = VT_EMPTY;
    return hr;
  }

  HWND FWnd;
  TAccessibleSource* FSource;
  IAccessible* FStandard;
  ULONG FRefs = 1;  // the host's
};

TAccessibleHost::~TAccessibleHost() {
  if (!FObject) return;
  FObject->Disconnect();
  FObject->Release();
}

LRESULT TAccessibleHost::Answer(HWND wnd, WPARAM wp, LPARAM lp, TAccessibleSource& source) {
  if (static_cast<LONG>(lp) != OBJID_CLIENT) return 0;
  const auto lresult = OleAcc().Lresult;
  const auto createStd = OleAcc().CreateStd;
  if (!lresult || !createStd) return 0;
  // The object is handed over marshalled and lives in this thread's
  // apartment for as long as clients hold it: COM stays initialised on the
  // GUI thread from the first client on. An apartment already there serves.
  static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  static_cast<void>(com);
  if (!FObject) {
    IAccessible* standard = nullptr;
    if (FAILED(createStd(wnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))))
      standard = nullptr;
    FObject = new (std::nothrow) TAccessibleObject(wnd, &source, standard);
    if (!FObject) {
      if (standard) standard->Release();
      return 0;
    }
  }
  return lresult(__uuidof(IAccessible), wp, static_cast<IAccessible*>(FObject));
}

void TAccessibleHost::Notify(DWORD event, HWND wnd, long id) {
  if (wnd) NotifyWinEvent(event, wnd, OBJID_CLIENT, id);
}
