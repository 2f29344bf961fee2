// The per-release description that both writers walk: a slip in its tables
// (a variable listed twice for a release, a group code repeated in a record)
// would write an invalid file for one release only.
#include "tav2/src/schema.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace tav2::schema;

TEST(Schema, EachReleaseHasEachHeaderVariableOnceAndAMarker) {
  for (int r = 0; r < kReleaseCount; ++r) {
    std::set<std::string> names;
    for (const HeaderVarSpec& v : HeaderVars()) {
      if (r < v.first || r > v.last) continue;
      EXPECT_TRUE(names.insert(v.name).second) << v.name << " twice in release " << r;
      EXPECT_GE(v.count, 1);
      EXPECT_LE(v.count, 3);
    }
    EXPECT_TRUE(names.count("$ACADVER")) << r;
    EXPECT_EQ(std::string("AC10"), std::string(Info(r).marker).substr(0, 4));
  }
  EXPECT_EQ(std::string("AC1009"), Info(kR12).marker);
}

TEST(Schema, RecordsRepeatNoGroupCodeButSubclassMarkers) {
  for (int k = 0; k < static_cast<int>(Kind::Count); ++k) {
    const KindSpec& layout = Layout(static_cast<Kind>(k));
    for (int r = 0; r < kReleaseCount; ++r) {
      // The multiline style lists its two lines' groups once per line.
      if (static_cast<Kind>(k) == Kind::Mlinestyle && r < kR13) continue;
      std::set<int> codes;
      for (const FieldSpec& f : layout.fields) {
        if (!In(f, r) || f.code == 100) continue;
        if (static_cast<Kind>(k) == Kind::Mlinestyle && f.code != 2) continue;
        EXPECT_TRUE(codes.insert(f.code).second)
            << layout.dxfName << " repeats group " << f.code << " in release " << r;
      }
      const bool entity = k < static_cast<int>(Kind::Vport);
      EXPECT_TRUE(codes.count(entity ? 8 : 2))
          << layout.dxfName << " lacks its " << (entity ? "layer" : "name") << " in release " << r;
    }
  }
}

}  // namespace
