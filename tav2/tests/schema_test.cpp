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

namespace {

using namespace tav2::schema;

// A DWG field takes the value its DXF twin carries: a slip (a field or a
// header variable the DXF record does not have) would make the two formats
// of one drawing disagree.
TEST(Schema, DwgFieldsCarryTheValuesOfTheDxfRecord) {
  for (int k = 0; k < static_cast<int>(Kind::Count); ++k) {
    const KindSpec& layout = Layout(static_cast<Kind>(k));
    for (int r = kR13; r <= kR14; ++r) {
      for (const DwgFieldSpec& f : layout.dwg) {
        if (!In(f, r)) continue;
        switch (f.field) {
          case Field::Const:
          case Field::ConstText:
          case Field::Extrusion:  // (0, 0, 1): the DXF leaves it out
          case Field::LayerOff:   // the DXF's colour sign
          case Field::ViewWidth:  // the DXF's height and aspect
            continue;
          default:
            break;
        }
        // A block header's flags and base point are the BLOCK's in a DXF.
        const KindSpec& twin =
            static_cast<Kind>(k) == Kind::BlockRecord ? Layout(Kind::Block) : layout;
        bool found = false;
        for (const FieldSpec& d : twin.fields) {
          if (!In(d, r) || d.field != f.field) continue;
          if (f.text && (!d.text || std::string(f.text) != d.text)) continue;
          found = true;
        }
        EXPECT_TRUE(found) << layout.dxfName << ": DWG field of group " << f.code
                           << (f.text ? std::string(" ") + f.text : "") << " in release " << r
                           << " has no DXF twin";
      }
    }
  }
}

// Every header variable of the DWG header is one the DXF of the release
// carries, or one of the few a DWG alone holds (the DXF of R13 no longer
// lists $BLIPMODE and does not yet list $PROXYGRAPHICS).
TEST(Schema, DwgHeaderVariablesAreTheDxfHeaders) {
  const std::set<std::string> dwgOnly = {"$PELLIPSE", "$ISOLINES", "$TEXTQLTY",
                                         "$FACETRES", "$BLIPMODE", "$PROXYGRAPHICS"};
  for (int r = kR13; r <= kR14; ++r) {
    std::set<std::string> dxf;
    for (const HeaderVarSpec& v : HeaderVars())
      if (r >= v.first && r <= v.last) dxf.insert(v.name);
    for (const DwgVarSpec& v : DwgHeaderVars()) {
      if (!v.name || v.name[0] != '$' || r < v.first || r > v.last) continue;
      EXPECT_TRUE(dxf.count(v.name) || dwgOnly.count(v.name)) << v.name << " in release " << r;
    }
  }
}

}  // namespace
