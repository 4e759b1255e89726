// Repeated use of the window leaves nothing behind: GDI and USER objects,
// kernel handles and memory stay flat over a thousand language switches,
// feedback-panel toggles and pointer moves, each painted before the next.

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/Main.h"
#include "wine/WindowFixture.h"

namespace {

// Wine 8 stubs some of the counters: GetGuiResources returns 0, and so do
// GetProcessHandleCount (successfully) and PrivateUsage. There the objects
// are counted through their tables instead, and the commit charge is read
// from PagefileUsage (which Windows reports as well, with the same value as
// PrivateUsage).

// Wine takes a GDI handle's low word as its index into the process's handle
// table and accepts it without the upper (reuse) bits, so every index whose
// object type is known is a live object. Windows refuses such handles: there
// this count is 0 and GetGuiResources counts.
long WineGdiObjects() {
  long n = 0;
  for (UINT_PTR index = 1; index <= 0xFFFF; ++index)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++n;
  return n;
}

// Kernel handles are multiples of 4; each open one has handle information.
long KernelHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return static_cast<long>(count);
  long n = 0;
  for (UINT_PTR value = 4; value <= 0xFFFF; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++n;
  }
  return n;
}

// Bytes in use in every heap of the process (operator new and the C
// library's malloc included).
long long HeapBytes() {
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  long long bytes = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    HeapLock(heaps[i]);
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    HeapUnlock(heaps[i]);
  }
  return bytes;
}

BOOL CALLBACK CountWindow(HWND wnd, LPARAM count) {
  ++*reinterpret_cast<long*>(count);
  EnumChildWindows(wnd, &CountWindow, count);
  return TRUE;
}

// This thread's windows, children and the tooltip included.
long ThreadWindows() {
  long n = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&n));
  return n;
}

struct TUsage {
  long GdiObjects;   // GetGuiResources, or the handle-table count under Wine
  long UserObjects;  // GetGuiResources; 0 under Wine
  long Windows;
  long Handles;
  long long CommitBytes;
  long long HeapBytes;

  static TUsage Now() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    return {static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) + WineGdiObjects(),
            static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)),
            ThreadWindows(),
            KernelHandles(),
            static_cast<long long>(memory.PagefileUsage),
            ::HeapBytes()};
  }
  std::string Text() const {
    char buf[200];
    std::snprintf(buf, sizeof buf, "GDI %ld, USER %ld, windows %ld, handles %ld, commit %lld KB, heaps %lld bytes",
                  GdiObjects, UserObjects, Windows, Handles, CommitBytes / 1024, HeapBytes);
    return buf;
  }
};

// What a repeated action may leave: a couple of objects or handles that the
// system makes at its own pace, and some memory of its caches. A leak of one
// object or of a few bytes per action exceeds it.
constexpr long ObjectSlack = 2;
constexpr long long CommitSlack = 256 * 1024;
constexpr long long HeapSlack = 2 * 1024;

void ExpectNoGrowth(const char* what, const TUsage& before, const TUsage& after) {
  std::printf("%s\n  before: %s\n  after:  %s\n", what, before.Text().c_str(), after.Text().c_str());
  EXPECT_LE(after.GdiObjects - before.GdiObjects, ObjectSlack) << what;
  EXPECT_LE(after.UserObjects - before.UserObjects, ObjectSlack) << what;
  EXPECT_EQ(after.Windows, before.Windows) << what;
  EXPECT_LE(after.Handles - before.Handles, ObjectSlack) << what;
  EXPECT_LE(after.CommitBytes - before.CommitBytes, CommitSlack) << what;
  EXPECT_LE(after.HeapBytes - before.HeapBytes, HeapSlack) << what;
}

// The window as the program shows it, with the invitation.
class Hygiene : public TShownWindow {
 public:
  // Step i of each exercise.
  void SwitchLanguage(int i) {
    const int lang = i % 5;
    Click(F.SPanel.Handle, Centre(LanguageLabels()[static_cast<size_t>(lang)]->Bounds));
    ASSERT_EQ(CurLang, lang);
  }
  void ToggleFeedback(int i) {
    Click(F.OsnLabel->Handle(), {F.OsnLabel->link.Left + 1, HrefMargin + 1});
    ASSERT_EQ(F.Memo1.Visible(), i % 2 == 0);
  }
  void Hover(int i) {
    // Over each active label of the panel in turn, then on and off the invitation's link.
    std::vector<TGraphicLabel*> over = LanguageLabels();
    over.push_back(&F.OpenURL);
    const size_t k = static_cast<size_t>(i) % (over.size() + 2);
    if (k < over.size()) {
      MoveTo(F.SPanel.Handle, Centre(over[k]->Bounds));
      Pump();
      ASSERT_TRUE(over[k]->Underline());
    } else {
      const bool onLink = k == over.size();
      MoveTo(F.OsnLabel->Handle(), {F.OsnLabel->link.Left + (onLink ? 1 : -2), HrefMargin + 1});
      Pump();
      ASSERT_EQ(F.OsnLabel->ulink, onLink);
    }
  }
};

// Every counter the test relies on must see a change: else flat counts would
// prove nothing.
TEST_F(Hygiene, CountersSeeNewObjects) {
  const TUsage before = TUsage::Now();
  std::vector<HGDIOBJ> brushes;
  for (int i = 0; i < 10; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  HWND extra = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, F.Handle(), nullptr, nullptr, nullptr);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  constexpr size_t Block = 1024 * 1024;
  std::vector<char> heapBlock(Block, 'x');
  const TUsage during = TUsage::Now();
  std::printf("idle:      %s\nwith more: %s\n", before.Text().c_str(), during.Text().c_str());

  EXPECT_EQ(during.GdiObjects - before.GdiObjects, 10);
  EXPECT_EQ(during.Windows - before.Windows, 1);
  if (before.UserObjects > 0) {
    EXPECT_GE(during.UserObjects - before.UserObjects, 1);
  }
  EXPECT_EQ(during.Handles - before.Handles, 1);
  EXPECT_GE(during.CommitBytes - before.CommitBytes, static_cast<long long>(Block));
  EXPECT_GE(during.HeapBytes - before.HeapBytes, static_cast<long long>(Block));

  heapBlock = {};
  CloseHandle(event);
  DestroyWindow(extra);
  for (HGDIOBJ b : brushes) DeleteObject(b);
  const TUsage after = TUsage::Now();
  EXPECT_EQ(after.GdiObjects, before.GdiObjects);
  EXPECT_EQ(after.Windows, before.Windows);
  EXPECT_EQ(after.Handles, before.Handles);
}

TEST_F(Hygiene, ThousandsOfSwitchesTogglesAndMovesLeaveNothingBehind) {
  const struct {
    const char* Name;
    void (Hygiene::*Step)(int);
  } exercises[] = {
      {"1000 language switches", &Hygiene::SwitchLanguage},
      {"1000 feedback panel toggles", &Hygiene::ToggleFeedback},
      {"1000 pointer moves", &Hygiene::Hover},
  };
  constexpr int WarmUp = 20;  // even, and a whole number of rounds of each
  constexpr int Steps = 1000;
  for (const auto& e : exercises) {
    // Whatever is made once and kept (cached fonts, the theme's parts) is
    // made during the warm-up and counted in the baseline.
    for (int i = 0; i < WarmUp; ++i) {
      (this->*e.Step)(i);
      if (HasFatalFailure()) return;
    }
    const TUsage before = TUsage::Now();
    for (int i = WarmUp; i < WarmUp + Steps; ++i) {
      (this->*e.Step)(i);
      if (HasFatalFailure()) return;
    }
    ExpectNoGrowth(e.Name, before, TUsage::Now());
  }
  EXPECT_TRUE(FBoxes.empty());
}

// A whole window, its artwork decoded and painted, then destroyed.
TEST_F(Hygiene, WindowsMadeAndDestroyedLeaveNothingBehind) {
  size_t boxes = 0;
  auto makeAndDestroy = [&] {
    TMainForm form;
    form.ResourceModule = FArt.Get();
    form.Create();
    ShowWindow(form.Handle(), SW_SHOWNA);
    UpdateWindow(form.Handle());
    Pump();
    // Counted and let go: keeping 200 texts would count as heap growth.
    for (const std::u16string& text : FBoxes) EXPECT_EQ(text, u"Resource UNIN not found.");
    boxes += FBoxes.size();
    FBoxes.clear();
  };
  for (int i = 0; i < 5; ++i) makeAndDestroy();
  const TUsage before = TUsage::Now();
  constexpr int Windows = 200;
  for (int i = 0; i < Windows; ++i) makeAndDestroy();
  ExpectNoGrowth("200 windows", before, TUsage::Now());
  // Each creation reports the missing configuration; nothing else.
  EXPECT_EQ(boxes, static_cast<size_t>(5 + Windows));
}

}  // namespace
