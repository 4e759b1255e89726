#ifndef QM_TESTS_WINDOWFIXTURE_H
#define QM_TESTS_WINDOWFIXTURE_H

// The main window as the program shows it, for the tests that drive it in
// their own process: in English, with a folder, a version and the
// invitation; the artwork comes from uninstall.exe beside the tests, and
// message boxes are collected, never shown.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Main.h"

// uninstall.exe beside the tests, loaded as data for its artwork.
class TArtModule {
 public:
  TArtModule();
  ~TArtModule();
  HMODULE Get() const { return FModule; }

 private:
  HMODULE FModule;
};

// The centre of a rectangle.
POINT Centre(const RECT& r);

class TShownWindow : public ::testing::Test {
 protected:
  // Creates and shows F; the creation's one message box (the test program
  // has no configuration resource) is checked and cleared.
  void SetUp() override;
  void TearDown() override;

  // The program's event loop until the queue is empty, painting what is
  // due; true when the end of the process was requested.
  bool Pump();
  // The pointer moved to pt of wnd's client area, the system's one with it.
  void MoveTo(HWND wnd, POINT pt);
  // A press and release of the left button at pt of wnd, then Pump.
  void Click(HWND wnd, POINT pt);
  // ULabel, Label2, Label5, lblDutch, Label4: the language names in index order.
  std::vector<TGraphicLabel*> LanguageLabels();

  TArtModule FArt;
  TMainForm F;
  std::vector<std::u16string> FBoxes;  // the texts of the message boxes shown
};

#endif
