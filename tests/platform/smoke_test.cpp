#include <gtest/gtest.h>
#include "plat/clock.h"
TEST(Clock, ScaleShortensProductTime) {
  plat::setTimeScale(0.01);
  EXPECT_EQ(plat::scaled(5000), 50);
  EXPECT_EQ(plat::scaled(10), 1);
  EXPECT_EQ(plat::scaled(-1), -1);
  plat::setTimeScale(1.0);
  EXPECT_EQ(plat::scaled(5000), 5000);
}
