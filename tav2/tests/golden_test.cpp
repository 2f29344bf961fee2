// A small drawing in each release, compared with a stored copy, so that any
// change to a release's header, tables or records is seen and reviewed.
// Regenerate after an intended change with TAV2_UPDATE_GOLDEN=1.
#include "tav2/tests/test_support.h"

namespace test_support {
namespace {

// The creation date changes with every save.
std::string Masked(const std::string& dxf) {
  std::string out;
  std::istringstream in(dxf);
  std::string line;
  bool maskNext = false;
  while (std::getline(in, line)) {
    if (maskNext && line.rfind("40", line.find_first_not_of(' ')) != std::string::npos) {
      out += line + "\n";
      std::getline(in, line);
      line = "<date>\r";
      maskNext = false;
    } else if (line == "$TDCREATE\r" || line == "$TDUPDATE\r") {
      maskNext = true;
    }
    out += line + "\n";
  }
  return out;
}

class Golden : public testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    int32_t out;
    ASSERT_TRUE(edaInitAd2(DataFile().c_str(), 0, &out)) << edaGetLastError();
  }
};

TEST_P(Golden, FileMatchesTheStoredCopy) {
  const int release = GetParam();
  TempDir s;
  Builder b(static_cast<int16_t>(release));
  b.Extents(0, 0, 2, 1, 0);
  ASSERT_TRUE(b.AddLayer("TopLayer", 1));
  ASSERT_TRUE(b.AddLayer("BottomLayer", 5));
  ASSERT_TRUE(b.Line("TopLayer", 0, 0, 2, 1));
  ASSERT_TRUE(b.BeginBlock("P1"));
  ASSERT_TRUE(b.Polyline("BottomLayer", true, 0.1, {{-0.1, 0, 1}, {0.1, 0, 1}}));
  ASSERT_TRUE(b.EndBlock());
  ASSERT_TRUE(b.Insert("P1", 1, 0.5, 0));
  const std::string file = s / "golden.dxf";
  ASSERT_TRUE(b.Save(file, kFormatDxf, static_cast<int16_t>(release))) << edaGetLastError();
  const std::string got = Masked(ReadFile(file));

  static const char* const kFiles[] = {"v2_5", "v2_6", "r9", "r10", "r12", "r13", "r14"};
  const std::string stored =
      std::string(ORVANTA_SOURCE_DIR) + "/tav2/tests/golden/" + kFiles[release] + ".dxf";
  if (getenv("TAV2_UPDATE_GOLDEN")) WriteFile(stored, got);
  const std::string want = ReadFile(stored);
  ASSERT_FALSE(want.empty()) << stored << " is missing; run with TAV2_UPDATE_GOLDEN=1";
  if (got == want) return;
  std::istringstream a(want), c(got);
  std::string la, lc;
  for (int line = 1;; ++line) {
    const bool ea = !std::getline(a, la), ec = !std::getline(c, lc);
    if (ea && ec) break;
    if (ea != ec || la != lc) {
      FAIL() << stored << " differs at line " << line << ": stored \"" << la << "\", written \""
             << lc << "\"";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllReleases, Golden, testing::Range(0, 7));

}  // namespace
}  // namespace test_support
