// The default button's frame: Enter activates the focused button, and
// InsButton with the focus anywhere else; the frame shows which.

#include "ui/Main.h"

HWND TMainForm::DefaultButton() const {
  // Enter activates the focused button; with the focus anywhere else, InsButton.
  HWND focus = GetFocus();
  return focus == Button3.Handle || focus == InsButton.Handle ? focus : InsButton.Handle;
}

void TMainForm::UpdateDefaultButton() {
  HWND def = DefaultButton();
  for (const TControl* b : {&InsButton, &Button3}) {
    const DWORD type = b->Handle == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    SendMessageW(b->Handle, BM_SETSTYLE, type | BS_NOTIFY, TRUE);
  }
}
