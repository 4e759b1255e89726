#ifndef QM_REMOVAL_PROGRESSSTEPPER_H
#define QM_REMOVAL_PROGRESSSTEPPER_H

// The removal's progress bar, advanced once per deleted file.

#include <windows.h>

#include <optional>

#include "removal/ProgressThrottle.h"

// Advances a progress bar once per deleted file, drawing it at once (not on
// the next paint message) but only when TProgressThrottle says so; the last
// position is drawn by Finish, or on destruction. A null bar is ignored.
class TProgressStepper {
 public:
  explicit TProgressStepper(HWND bar);
  ~TProgressStepper() { Finish(); }
  TProgressStepper(const TProgressStepper&) = delete;
  TProgressStepper& operator=(const TProgressStepper&) = delete;

  void Step();
  void Finish();

 private:
  void Draw();
  HWND FBar;
  std::optional<TProgressThrottle> FThrottle;
};

#endif
