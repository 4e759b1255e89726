#include "removal/ProgressThrottle.h"

#include <algorithm>

TProgressThrottle::TProgressThrottle(int low, int high, int width, int pos)
    : FLow(low), FHigh(high), FWidth(width), FPos(pos), FDrawnPos(pos) {}

int TProgressThrottle::Length(int pos) const {
  if (FHigh <= FLow) return 0;
  const std::int64_t done = std::clamp(pos, FLow, FHigh) - static_cast<std::int64_t>(FLow);
  return static_cast<int>(done * FWidth / (static_cast<std::int64_t>(FHigh) - FLow));
}

bool TProgressThrottle::Step(std::uint64_t nowMs) {
  if (FPos < FHigh) ++FPos;
  return Length(FPos) != Length(FDrawnPos) && nowMs >= FNextDrawMs;
}

void TProgressThrottle::Drawn(std::uint64_t nowMs, std::uint64_t costMs) {
  FDrawnPos = FPos;
  FNextDrawMs = nowMs + std::max(MinGapMs, CostFactor * costMs);
}
