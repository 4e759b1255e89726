// What a screen reader learns of the window through Active Accessibility:
// the panel's painted labels and pictures as children of its object (names in
// every language, roles, places, invisible and hot-tracked states, the
// default action of the language names), the invitation's link, and the
// same tree read from a second process.

#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Config.h"
#include "app/Responsive.h"
#include "base/Error.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/Accessible.h"
#include "ui/Main.h"
#include "wine/WindowFixture.h"
#include "wine/WineTestSupport.h"

namespace {

const TStrings Table = LanguageTableLines();
std::u16string V(int lang, const char16_t* key) { return GetLangValue(Table, lang, key); }

VARIANT Id(long id) {
  VARIANT v{};
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::u16string Take(BSTR s) {
  std::u16string text = s ? U(s, SysStringLen(s)) : std::u16string();
  SysFreeString(s);
  return text;
}

// One IAccessible reference, released at the end of its scope.
class TAcc {
 public:
  TAcc() = default;
  explicit TAcc(IAccessible* p) : FPtr(p) {}
  TAcc(const TAcc&) = delete;
  TAcc& operator=(const TAcc&) = delete;
  ~TAcc() {
    if (FPtr) FPtr->Release();
  }
  IAccessible* operator->() const { return FPtr; }
  IAccessible* Get() const { return FPtr; }
  void** Receive() { return reinterpret_cast<void**>(&FPtr); }

  std::u16string Name(long id) const {
    BSTR s = nullptr;
    FPtr->get_accName(Id(id), &s);
    return Take(s);
  }
  std::u16string DefaultAction(long id) const {
    BSTR s = nullptr;
    FPtr->get_accDefaultAction(Id(id), &s);
    return Take(s);
  }
  long Role(long id) const {
    VARIANT v{};
    return SUCCEEDED(FPtr->get_accRole(Id(id), &v)) && v.vt == VT_I4 ? v.lVal : -1;
  }
  long State(long id) const {
    VARIANT v{};
    return SUCCEEDED(FPtr->get_accState(Id(id), &v)) && v.vt == VT_I4 ? v.lVal : -1;
  }
  RECT Location(long id) const {
    long x = 0, y = 0, w = 0, h = 0;
    FPtr->accLocation(&x, &y, &w, &h, Id(id));
    return {x, y, x + w, y + h};
  }
  long ChildCount() const {
    long n = -1;
    FPtr->get_accChildCount(&n);
    return n;
  }

 private:
  IAccessible* FPtr = nullptr;
};

// The client object of a window, as a screen reader gets it.
void Open(HWND wnd, TAcc& acc) {
  ASSERT_EQ(AccessibleObjectFromWindow(wnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.Receive()), S_OK);
  ASSERT_NE(acc.Get(), nullptr);
}

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

RECT OnScreen(HWND wnd, RECT r) {
  MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class Accessible : public TShownWindow {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TShownWindow::SetUp();
  }
  void TearDown() override {
    TShownWindow::TearDown();
    CoUninitialize();
  }

  struct TExpected {
    const TGraphicControl* Control;
    std::u16string Name;
    long Role;
    bool Click;
  };
  // The panel's painted controls in creation order, as they read in lang.
  std::vector<TExpected> Expected(int lang) {
    const long link = ROLE_SYSTEM_LINK, text = ROLE_SYSTEM_STATICTEXT, graphic = ROLE_SYSTEM_GRAPHIC;
    return {
        {&F.LogoImage, u"Quillmoor", graphic, false},
        {&F.ULabel, u"Русский", link, true},
        {&F.Image1, u"", graphic, false},
        {&F.OpenURL, V(lang, u"10"), link, true},
        {&F.FlagImage, u"Русский", graphic, false},
        {&F.ver_lb, u"4.5.1", text, false},
        {&F.InfLabel, u"C:\\Program Files\\Quillmoor", text, false},
        {&F.UaImage, u"Український", graphic, false},
        {&F.Label2, u"Український", link, true},
        {&F.EnImage, u"English", graphic, false},
        {&F.Label5, u"English", link, true},
        {&F.Label1, u"E-mail:", text, false},
        {&F.Label3, V(lang, u"2"), text, false},
        {&F.DutchFlag, u"Nederlands", graphic, false},
        {&F.lblDutch, u"Nederlands", link, true},
        {&F.PolishFlag, u"Polski", graphic, false},
        {&F.Label4, u"Polski", link, true},
    };
  }
  long IdOf(const TGraphicControl& c) {
    const std::vector<TExpected> all = Expected(CurLang);
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i].Control == &c) return static_cast<long>(i) + 1;
    return 0;
  }
};

TEST_F(Accessible, PanelChildrenAreItsPaintedControlsInEveryLanguage) {
  TAcc panel;
  Open(F.SPanel.Handle, panel);
  if (HasFatalFailure()) return;
  // The painted controls, then the panel's child windows (the message and
  // e-mail boxes), which answer for themselves.
  const long painted = static_cast<long>(Expected(2).size());
  ASSERT_EQ(panel.ChildCount(), painted + 2);
  for (int lang : {0, 1, 2, 3, 4}) {
    SCOPED_TRACE(lang);
    F.ApplyLanguage(lang);
    const std::vector<TExpected> expected = Expected(lang);
    std::vector<VARIANT> children(static_cast<size_t>(painted + 2));
    long got = 0;
    ASSERT_EQ(AccessibleChildren(panel.Get(), 0, painted + 2, children.data(), &got), S_OK);
    ASSERT_EQ(got, painted + 2);
    for (long id = 1; id <= painted; ++id) {
      const TExpected& e = expected[static_cast<size_t>(id - 1)];
      SCOPED_TRACE(Narrow(e.Control->Name));
      EXPECT_EQ(children[static_cast<size_t>(id - 1)].vt, VT_I4);
      EXPECT_EQ(children[static_cast<size_t>(id - 1)].lVal, id);
      EXPECT_EQ(panel.Name(id), e.Name);
      EXPECT_EQ(panel.Role(id), e.Role);
      EXPECT_EQ(panel.DefaultAction(id), e.Click ? u"Click" : u"");
      EXPECT_EQ(Show(panel.Location(id)), Show(OnScreen(F.SPanel.Handle, e.Control->Bounds)));
    }
    for (long k = painted; k < painted + 2; ++k) {
      VARIANT& w = children[static_cast<size_t>(k)];
      EXPECT_EQ(w.vt, VT_DISPATCH);
      if (w.vt == VT_DISPATCH && w.pdispVal) w.pdispVal->Release();
    }
    // The web-site link's hint is its description.
    BSTR hint = nullptr;
    panel->get_accDescription(Id(IdOf(F.OpenURL)), &hint);
    EXPECT_EQ(Take(hint), V(lang, u"11"));
  }
  // Out of range, and the window itself.
  BSTR none = nullptr;
  EXPECT_EQ(panel->get_accName(Id(painted + 3), &none), E_INVALIDARG);
  EXPECT_EQ(panel.Role(CHILDID_SELF), ROLE_SYSTEM_CLIENT);
  EXPECT_EQ(Show(panel.Location(CHILDID_SELF)), Show(OnScreen(F.SPanel.Handle, {0, 0, 529, 250})));
}

TEST_F(Accessible, DefaultActionOfALanguageNameSwitchesTheLanguage) {
  F.ApplyLanguage(0);
  TAcc panel;
  Open(F.SPanel.Handle, panel);
  if (HasFatalFailure()) return;
  const long english = IdOf(F.Label5);
  ASSERT_EQ(panel.Name(english), u"English");
  ASSERT_EQ(panel.DefaultAction(english), u"Click");
  {
    // While the Delete command runs, a screen reader's click does nothing either.
    TBusyScope busy;
    EXPECT_EQ(panel->accDoDefaultAction(Id(english)), S_OK);
    Sleep(60);
    KeepResponsive();
  }
  EXPECT_EQ(CurLang, 0);
  EXPECT_EQ(panel->accDoDefaultAction(Id(english)), S_OK);
  Pump();  // the click runs once the client's call has returned
  EXPECT_EQ(CurLang, 2);
  EXPECT_EQ(F.Caption(), FormatOne(V(2, u"6"), u"Quillmoor"));
  EXPECT_EQ(F.InsButton.Caption(), V(2, u"4"));

  // A flag and a plain label have no default action; nothing happens.
  for (const TGraphicControl* c : std::vector<const TGraphicControl*>{&F.FlagImage, &F.Label3}) {
    EXPECT_EQ(panel->accDoDefaultAction(Id(IdOf(*c))), DISP_E_MEMBERNOTFOUND) << Narrow(c->Name);
  }
  Pump();
  EXPECT_EQ(CurLang, 2);
  EXPECT_TRUE(FBoxes.empty());
}

TEST_F(Accessible, HiddenControlsAreInvisibleAndHoverIsHotTracked) {
  TAcc panel;
  Open(F.SPanel.Handle, panel);
  if (HasFatalFailure()) return;
  const long email = IdOf(F.Label1), web = IdOf(F.OpenURL), notice = IdOf(F.Image1), dutch = IdOf(F.lblDutch);
  EXPECT_TRUE(panel.State(email) & STATE_SYSTEM_INVISIBLE);
  EXPECT_FALSE(panel.State(web) & STATE_SYSTEM_INVISIBLE);
  EXPECT_TRUE(panel.State(web) & STATE_SYSTEM_LINKED);
  EXPECT_TRUE(panel.State(IdOf(F.Label3)) & STATE_SYSTEM_READONLY);

  // With the feedback panel open the web-site link and its icon are hidden,
  // and the hidden link cannot be clicked.
  F.ToggleFeedback();
  EXPECT_FALSE(panel.State(email) & STATE_SYSTEM_INVISIBLE);
  EXPECT_TRUE(panel.State(web) & STATE_SYSTEM_INVISIBLE);
  EXPECT_TRUE(panel.State(notice) & STATE_SYSTEM_INVISIBLE);
  EXPECT_EQ(panel->accDoDefaultAction(Id(web)), E_FAIL);
  // The message box covers the folder rows: a hit there is the box itself.
  VARIANT hit{};
  const RECT memo = OnScreen(F.SPanel.Handle, F.InfLabel.Bounds);
  ASSERT_EQ(panel->accHitTest(memo.left + 2, memo.top + 2, &hit), S_OK);
  EXPECT_EQ(hit.vt, VT_DISPATCH);
  if (hit.vt == VT_DISPATCH && hit.pdispVal) hit.pdispVal->Release();
  F.ToggleFeedback();

  // The hot-tracked state follows the hover underline.
  EXPECT_FALSE(panel.State(dutch) & STATE_SYSTEM_HOTTRACKED);
  MoveTo(F.SPanel.Handle, Centre(F.lblDutch.Bounds));
  ASSERT_TRUE(F.lblDutch.Underline());
  EXPECT_TRUE(panel.State(dutch) & STATE_SYSTEM_HOTTRACKED);
  MoveTo(F.SPanel.Handle, Centre(F.Label3.Bounds));
  EXPECT_FALSE(panel.State(dutch) & STATE_SYSTEM_HOTTRACKED);

  // A hit on a language name is that name; on the bare logo, the panel.
  const RECT name = OnScreen(F.SPanel.Handle, F.lblDutch.Bounds);
  ASSERT_EQ(panel->accHitTest((name.left + name.right) / 2, (name.top + name.bottom) / 2, &hit), S_OK);
  EXPECT_EQ(hit.vt, VT_I4);
  EXPECT_EQ(hit.lVal, dutch);
  const RECT logo = OnScreen(F.SPanel.Handle, {300, 150, 301, 151});
  ASSERT_EQ(panel->accHitTest(logo.left, logo.top, &hit), S_OK);
  EXPECT_EQ(hit.lVal, IdOf(F.LogoImage));
}

TEST_F(Accessible, InvitationReadsWithoutMarkupAndItsLinkOpensThePanel) {
  TAcc label;
  Open(F.OsnLabel->Handle(), label);
  if (HasFatalFailure()) return;
  for (int lang : {2, 1}) {
    F.ApplyLanguage(lang);
    const std::u16string text = FormatOne(V(lang, u"1"), u"Quillmoor");
    EXPECT_EQ(label.Name(CHILDID_SELF), text);
    EXPECT_EQ(label.Role(CHILDID_SELF), ROLE_SYSTEM_STATICTEXT);
    ASSERT_EQ(label.ChildCount(), 1);
    EXPECT_EQ(label.Name(1), text);
    EXPECT_EQ(label.Role(1), ROLE_SYSTEM_LINK);
  }
  RedrawWindow(F.OsnLabel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const TBoundsHr& link = F.OsnLabel->link;
  EXPECT_EQ(
      Show(label.Location(1)),
      Show(OnScreen(F.OsnLabel->Handle(), {link.Left, HrefMargin, link.Left + link.width, HrefMargin + link.height})));
  EXPECT_EQ(label.DefaultAction(1), u"Click");
  ASSERT_FALSE(F.Memo1.Visible());
  EXPECT_EQ(label->accDoDefaultAction(Id(1)), S_OK);
  Pump();
  EXPECT_TRUE(F.Memo1.Visible()) << "GotoLink opens the feedback panel";
  EXPECT_EQ(GetFocus(), F.InsButton.Handle) << "the focus stays where it was";

  // A caption without a link has no child.
  F.OsnLabel->SetCaption(u"plain <b>text</b>");
  EXPECT_EQ(label.Name(CHILDID_SELF), u"plain <b>text</b>");
  EXPECT_EQ(label.ChildCount(), 0);
}

// Under Wine 8 as on Windows, oleacc marshals the object to another process:
// the second process reads the same names and its default action reaches
// this one.
TEST_F(Accessible, AnotherProcessReadsTheTreeAndClicks) {
  F.ApplyLanguage(3);
  TScratchDir dir(u"accessible");
  const std::u16string out = dir / u"names.txt";
  SetEnvironmentVariableW(L"QM_ACC_PANEL", W(IntToText(static_cast<int>(reinterpret_cast<INT_PTR>(F.SPanel.Handle)))));
  SetEnvironmentVariableW(L"QM_ACC_OUT", W(out));
  HANDLE client = Start(ExePath(), u"--gtest_filter=AccessibleClient.*");
  SetEnvironmentVariableW(L"QM_ACC_PANEL", nullptr);
  SetEnvironmentVariableW(L"QM_ACC_OUT", nullptr);
  ASSERT_NE(client, nullptr);
  // This thread serves the client's calls: it keeps handling messages.
  const DWORD start = GetTickCount();
  while (MsgWaitForMultipleObjects(1, &client, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
    Pump();
    if (GetTickCount() - start > 60000) break;
  }
  Pump();
  DWORD code = 1;
  GetExitCodeProcess(client, &code);
  CloseHandle(client);
  EXPECT_EQ(code, 0u) << "the client process failed";

  std::u16string expected;
  for (const TExpected& e : Expected(3)) expected += e.Name + u"\n";
  EXPECT_EQ(Utf8ToUtf16(ReadBytes(out)), expected);
  EXPECT_EQ(CurLang, 4) << "the client clicked Polski";
}

// The second process of AnotherProcessReadsTheTreeAndClicks; skipped when run alone.
TEST(AccessibleClient, ReadsThePanelAndClicksPolski) {
  const char* panelText = getenv("QM_ACC_PANEL");
  const char* outText = getenv("QM_ACC_OUT");
  if (!panelText || !outText) GTEST_SKIP() << "started by AnotherProcessReadsTheTreeAndClicks";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    HWND panel = reinterpret_cast<HWND>(static_cast<INT_PTR>(atoi(panelText)));
    TAcc acc;
    Open(panel, acc);
    if (HasFatalFailure()) return;
    const long count = acc.ChildCount();
    ASSERT_GT(count, 2);
    std::string names;
    long polski = 0;
    for (long id = 1; id <= count - 2; ++id) {
      const std::u16string name = acc.Name(id);
      names += Utf16ToUtf8(name) + "\n";
      if (name == u"Polski" && acc.Role(id) == ROLE_SYSTEM_LINK) polski = id;
    }
    WriteBytes(Utf8ToUtf16(outText), names);
    ASSERT_NE(polski, 0);
    EXPECT_EQ(acc->accDoDefaultAction(Id(polski)), S_OK);
  }
  CoUninitialize();
}

// A source whose answers fail, as they might when memory runs out.
class TFailingSource : public TAccessibleSource {
 public:
  std::function<void()> Fail;  // throws
  long ChildCount() const override { return 2; }
  TAccessibleChild Child(long) const override {
    Fail();
    return {};
  }
  long ChildAt(POINT) const override {
    Fail();
    return 0;
  }
  void DoDefaultAction(long) override {}
};

TFailingSource FailingSource;
TAccessibleHost* FailingHost = nullptr;

LRESULT CALLBACK FailingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_GETOBJECT && FailingHost)
    if (const LRESULT object = FailingHost->Answer(wnd, wp, lp, FailingSource)) return object;
  return DefWindowProcW(wnd, msg, wp, lp);
}

// What the system calls lets no error out: a failing accessible object
// answers with an error code, and the window procedures' guard shows what it
// can and swallows the rest.
TEST(SystemEdge, ErrorsBecomeErrorCodesOrAreShown) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &FailingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QmFailingAccessible";
  RegisterClassW(&wc);
  HWND wnd =
      CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 10, 10, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(wnd, nullptr);
  {
    TAccessibleHost host;
    FailingHost = &host;
    TAcc acc;
    ASSERT_EQ(AccessibleObjectFromWindow(wnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.Receive()), S_OK);
    BSTR name = nullptr;
    VARIANT v{};
    long x = 0, y = 0, w = 0, h = 0;
    FailingSource.Fail = [] { throw std::bad_alloc(); };
    EXPECT_EQ(acc->get_accName(Id(1), &name), E_OUTOFMEMORY);
    EXPECT_EQ(acc->get_accRole(Id(2), &v), E_OUTOFMEMORY);
    FailingSource.Fail = [] { throw TError(u"the part is gone"); };
    EXPECT_EQ(acc->accLocation(&x, &y, &w, &h, Id(1)), E_FAIL);
    EXPECT_EQ(acc->accHitTest(20, 20, &v), E_FAIL);
    EXPECT_EQ(name, nullptr);
    FailingHost = nullptr;
  }
  DestroyWindow(wnd);

  std::u16string shown;
  Application.MessageBoxHook = [&](const std::u16string& text, const std::u16string&, UINT) {
    shown = text;
    return IDOK;
  };
  EXPECT_NO_THROW(Application.Guard([] { throw TError(u"Shown"); }));
  EXPECT_EQ(shown, u"Shown.");
  EXPECT_NO_THROW(Application.Guard([] { throw 42; }));  // no error of ours
  Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) -> int {
    throw std::bad_alloc();  // the error box itself fails
  };
  EXPECT_NO_THROW(Application.Guard([] { throw TError(u"Lost"); }));
  Application.MessageBoxHook = nullptr;
}

}  // namespace
