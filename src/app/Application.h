#ifndef QM_APP_APPLICATION_H
#define QM_APP_APPLICATION_H

// The application object: its title, the main window, the end request and
// the message and error boxes that carry the title.

#include <windows.h>

#include <functional>
#include <string>

class TApplication {
 public:
  // Title of message and error boxes; the window caption once the language is applied.
  std::u16string Title;
  // The main window, once its creation handler has run.
  HWND MainWindow = nullptr;
  // Replaces the message box in tests: gets text, title and flags, returns the answer.
  std::function<int(const std::u16string&, const std::u16string&, UINT)> MessageBoxHook;

  // Requests the end of the process: the request waits in the event queue, the
  // running handler goes on, and a message box opened meanwhile closes at once.
  void Terminate();
  // True once Terminate has been called.
  bool Terminating() const { return FTerminating; }
  // Shows a message box titled with Title; returns the button pressed.
  int MsgBox(const std::u16string& text, UINT flags);
  // The error box: the text with the full-stop rule, error icon, OK, Title.
  void ShowException(const std::u16string& message);
  // Runs fn; an error that leaves it is shown in the error box. Nothing leaves
  // Guard: it stands where the system calls the program (window procedures),
  // whose frames no exception may cross on i686. An error of a type the box
  // does not know, or one of the box itself, ends here unshown.
  template <class F>
  void Guard(F&& fn) noexcept {
    try {
      fn();
    } catch (...) {
      try {
        ShowCurrentException();
      } catch (...) {
        // Nothing more can be done for it here.
      }
    }
  }
  // Called while an exception is handled: shows a TError's text, "Out of
  // memory" or another std::exception's text in the error box; lets any other
  // exception go on.
  void ShowCurrentException();

 private:
  bool FTerminating = false;
};

extern TApplication Application;

// The title before a language is applied: the executable's file name without
// its folder, cut before its first full stop, every character after the first
// in lower case.
std::u16string DefaultApplicationTitle(const std::u16string& exePath);

#endif
