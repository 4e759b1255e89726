#ifndef QM_REMOVAL_PROGRESSTHROTTLE_H
#define QM_REMOVAL_PROGRESSTHROTTLE_H

// When to redraw a progress bar that advances once per deleted file, drawn
// by the walk itself (the window takes its messages only every 50 ms then).
// Portable.
//
// Drawing the bar is far dearer than deleting a file (under Wine one paint of
// the themed bar takes about 12 ms), so the position is counted here and the
// bar is drawn only when its drawn length changes, and no sooner after the
// last drawing than MinGapMs or CostFactor times what that drawing cost: the
// drawing then stays a small share of the removal's time wherever it runs.

#include <cstdint>

class TProgressThrottle {
 public:
  static constexpr std::uint64_t MinGapMs = 100;
  static constexpr std::uint64_t CostFactor = 30;

  // A bar of the given range and width in pixels, drawn at position pos.
  TProgressThrottle(int low, int high, int width, int pos);

  // Counts one step at time nowMs; true when the bar should be drawn now.
  bool Step(std::uint64_t nowMs);
  // Records a drawing of Position() that ended at nowMs and took costMs.
  void Drawn(std::uint64_t nowMs, std::uint64_t costMs);

  int Position() const { return FPos; }
  // True while the counted position has not been drawn.
  bool Pending() const { return FPos != FDrawnPos; }
  int High() const { return FHigh; }

 private:
  int Length(int pos) const;

  int FLow, FHigh, FWidth, FPos, FDrawnPos;
  std::uint64_t FNextDrawMs = 0;
};

#endif
