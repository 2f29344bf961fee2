#include "quennet/drawing/points.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "layers/rtl_errors.h"

namespace quennet {
namespace {

TEST(Points, GrowsByDoublingOnlyWhenFull) {
  TPoints p(64);
  for (int i = 0; i < 64; ++i) p.Add(i, -i);
  EXPECT_EQ(p.Capacity(), 64);
  p.Add(64, -64);
  EXPECT_EQ(p.Capacity(), 128);
  EXPECT_EQ(p.Count, 65);
  for (int i = 0; i < 65; ++i) {
    ASSERT_EQ(p.GetX(i), i);
    ASSERT_EQ(p.GetY(i), -i);
  }
  p.Clear();
  p.Add(7, 8);
  EXPECT_EQ(p.Capacity(), 128);
  EXPECT_EQ(p.Count, 1);
  EXPECT_EQ(p.GetX(0), 7);

  TPoints empty(0);
  int seen[5] = {};
  for (int i = 0; i < 5; ++i) {
    empty.Add(i, i);
    seen[i] = empty.Capacity();
  }
  EXPECT_EQ(seen[0], 1);
  EXPECT_EQ(seen[1], 2);
  EXPECT_EQ(seen[2], 4);
  EXPECT_EQ(seen[3], 4);
  EXPECT_EQ(seen[4], 8);
}

TEST(Points, IndexOutsideCountIsAssertionWithItsLine) {
  TPoints p(64);
  p.Add(1, 2);
  struct Case {
    const char* what;
    std::function<void()> call;
    int line;
  };
  const Case cases[] = {
      {"GetX", [&] { (void)p.GetX(1); }, 110},
      {"GetY", [&] { (void)p.GetY(-1); }, 118},
      {"SetX", [&] { p.SetX(1, 0); }, 94},
      {"SetY", [&] { p.SetY(5, 0); }, 102},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << " did not fail";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(std::string(e.what()),
                "Assertion failure (DXFUtil, line " + std::to_string(c.line) + ")")
          << c.what;
    }
  }
  // Spare capacity is not a valid point.
  EXPECT_THROW((void)p.GetX(p.Count), EAssertionFailed);
}

TEST(Points, TranslateAndSet) {
  TPoints p(2);
  p.Add(1, 2);
  p.Add(-3, 4);
  p.Translate(10, -20);
  EXPECT_EQ(p.GetX(0), 11);
  EXPECT_EQ(p.GetY(0), -18);
  EXPECT_EQ(p.GetX(1), 7);
  EXPECT_EQ(p.GetY(1), -16);
  p.SetX(1, 100);
  p.SetY(1, 200);
  EXPECT_EQ(p.GetX(1), 100);
  EXPECT_EQ(p.GetY(1), 200);
}

TEST(Points, RotateCases) {
  struct Case {
    double cx, cy, angle;
    int32_t x, y, ex, ey;
  };
  const Case cases[] = {
      {0, 0, 90, 10, 0, 0, 10},
      {0, 0, 90, 0, 10, -10, 0},
      {0, 0, 45, 1, 0, 1, 1},
      {0.5, 0.25, 0, 3, 4, 3, 4},  // angle 0 never moves points, even about a fractional centre
      {0, 0, 180, 7, -3, -7, 3},
      {0, 0, -90, 10, 0, 0, -10},
      // A half turn about a centre on the point's own line is exact (the
      // cosine rounds to -1), so these land exactly on halves: even wins.
      {0.25, 0, 180, 0, 0, 0, 0},   // x = 0.5 -> 0
      {0.75, 0, 180, 0, 0, 2, 0},   // x = 1.5 -> 2
      {0.25, 0, 180, 1, 0, 0, 0},   // x = -0.5 -> 0
      {1.25, 0, 180, 0, 0, 2, 0},   // x = 2.5 -> 2
      {0.5, 0.5, 180, 0, 0, 1, 1},  // (1, 1) up to 2e-10
  };
  for (const auto& c : cases) {
    TPoints p(64);
    p.Add(c.x, c.y);
    p.Rotate(c.cx, c.cy, c.angle);
    EXPECT_EQ(p.GetX(0), c.ex) << c.x << "," << c.y << " by " << c.angle << " about " << c.cx << ","
                               << c.cy;
    EXPECT_EQ(p.GetY(0), c.ey) << c.x << "," << c.y << " by " << c.angle;
  }
}

TEST(Points, RotateUsesTenDigitPi) {
  // pi to ten digits is slightly too large, so a half turn of a far point
  // leaves it 0.88 units off the axis; exact pi would leave it on the axis.
  TPoints p(1);
  p.Add(2147483647, 0);
  p.Rotate(0, 0, 180);
  EXPECT_EQ(p.GetX(0), -2147483647);
  EXPECT_EQ(p.GetY(0), -1);
}

}  // namespace
}  // namespace quennet
