#include "recording/time_stamp.hpp"

#include <gtest/gtest.h>

namespace hfd::test {
namespace {

TEST(BlockTime, StampsCountPastMidnight) {
  TimeStamp start;
  start.kYear = 2008;
  start.kMonth = 5;
  start.kDay = 15;
  start.kH = 12;
  start.Secs = 43200.0;
  TimeStamp t;
  const double tblock512 = 512 * 0.01;
  StampBlock(start, tblock512 * 3, t);
  EXPECT_EQ(t.Secs, 43200.0 + tblock512 * 3);
  EXPECT_EQ(t.kH, 12);
  EXPECT_EQ(t.kM, 0);
  EXPECT_EQ(t.kS, 15);
  EXPECT_EQ(SecondsOfDay(t), 43215);

  start.kH = 23;
  start.kM = 59;
  start.Secs = 86340.0;
  StampBlock(start, (1024 * 0.01) * 6, t);  // 86401.44 s
  EXPECT_EQ(t.kDay, 16);
  EXPECT_EQ(t.kMonth, 5);
  EXPECT_EQ(t.kH, 24);
  EXPECT_EQ(t.kM, 0);
  EXPECT_EQ(t.kS, 1);
  EXPECT_EQ(SecondsOfDay(t), 86401);
}

}  // namespace
}  // namespace hfd::test
