#include <gtest/gtest.h>

#include "removal/ProgressThrottle.h"

namespace {

TEST(ProgressThrottle, DrawsOnlyWhenTheDrawnLengthChanges) {
  TProgressThrottle t(0, 1000, 100, 0);  // ten steps per pixel
  for (int i = 1; i < 10; ++i) EXPECT_FALSE(t.Step(0)) << i;
  EXPECT_TRUE(t.Step(0));  // the first pixel
  EXPECT_EQ(t.Position(), 10);
  EXPECT_TRUE(t.Pending());
  t.Drawn(0, 0);
  EXPECT_FALSE(t.Pending());
}

TEST(ProgressThrottle, WaitsLongerAfterADearDrawing) {
  TProgressThrottle t(0, 10, 100, 0);  // every step lengthens the bar
  ASSERT_TRUE(t.Step(1000));
  t.Drawn(1025, 25);  // a drawing as dear as Wine's: the next one 750 ms later
  EXPECT_FALSE(t.Step(1026));
  EXPECT_FALSE(t.Step(1774));
  EXPECT_TRUE(t.Step(1775));
  t.Drawn(1775, 0);  // a cheap one: the minimum gap
  EXPECT_FALSE(t.Step(1775 + TProgressThrottle::MinGapMs - 1));
  EXPECT_TRUE(t.Step(1775 + TProgressThrottle::MinGapMs));
  EXPECT_TRUE(t.Pending());  // a throttled position waits for the final drawing
}

TEST(ProgressThrottle, StopsAtTheMaximumAndCopesWithAnEmptyRange) {
  TProgressThrottle t(0, 2, 50, 1);
  EXPECT_TRUE(t.Step(0));
  t.Drawn(0, 0);
  EXPECT_FALSE(t.Step(100));  // already full: nothing more to draw
  EXPECT_EQ(t.Position(), 2);
  EXPECT_FALSE(t.Pending());

  TProgressThrottle empty(0, 0, 50, 0);  // a maximum of 0: nothing is ever drawn
  EXPECT_FALSE(empty.Step(0));
  EXPECT_FALSE(empty.Pending());
}

}  // namespace
