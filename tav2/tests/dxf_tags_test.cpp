// Real values are copied from earlier lines of the same number; a number
// that meets another in the copy table must still come out as itself.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tav2/src/dxf/tags.h"
#include "tav2/src/output.h"
#include "tests/support/test_support.h"

namespace {

std::string Expected(int code, double v) {
  char buf[40];
  char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  std::string s(buf, end);
  if (s.find_first_not_of("-0123456789") == std::string::npos) s += ".0";
  std::string c = std::to_string(code);
  return std::string(3 - c.size(), ' ') + c + "\r\n" + s + "\r\n";
}

TEST(DxfTags, RealsRepeatedOrNotReadAsTheirOwnValue) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                58.547,
                                1e+05,
                                0.2032,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                -2.2250738585072014e-308};
  // Thousands of distinct values meet in the table; each comes back twice.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> any(-1e4, 1e4);
  for (int i = 0; i < 5000; ++i) values.push_back(std::round(any(rng) * 1e3) / 1e3);
  for (int i = 0; i < 5000; ++i) values.push_back(values[rng() % values.size()]);

  test_support::TempDir dir;
  const std::string path = dir / "t.dxf";
  std::string expected, error;
  {
    tav2::ReplacingFile file;
    ASSERT_TRUE(file.Open(path, error)) << error;
    tav2::OutputSink out(&file);
    tav2::dxf::Tags tags(out);
    for (size_t i = 0; i < values.size(); ++i) {
      const int code = 10 + static_cast<int>(i % 3) * 10;
      tags.Real(code, values[i]);
      expected += Expected(code, values[i]);
    }
    ASSERT_TRUE(out.Finish(error)) << error;
    ASSERT_TRUE(file.Commit(error)) << error;
  }
  EXPECT_EQ(test_support::ReadFile(path), expected);
}

}  // namespace
