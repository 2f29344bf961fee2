// The project headers come first: <cxxabi.h>, which the test framework
// includes, declares a namespace alias that clashes with the ABI namespace.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>

#include "abi/tav2.h"
#include "layers/rtl_errors.h"
#include "quennet/drawing/document.h"
#include "quennet/drawing/emitters.h"
#include "quennet/drawing/points.h"
#include "quennet/drawing/tav2_binding.h"
#include "quennet/drawing/tests/recording.h"
#include "tests/support/test_support.h"

namespace quennet {
namespace {

using namespace tav2abi;
using test_support::Recorder;

constexpr TV7_Layer kTop = 1;
constexpr TV7_Layer kBottom = 32;
constexpr uint64_t kDefaultHandle = 0xEEEEEEEEEEEEEEEEull;
const char* const kLayerMissing =
    "an object is been created that references a layer that has not been created "
    "(DXFInterface, line 146)";

// A drawing on the recording engine with the top and bottom layers.
class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Tav2::Load(test_support::RecordingEngine());
    ASSERT_TRUE(Tav2::Loaded()) << Tav2::LastLoadError();
    ASSERT_TRUE(rec_.Attach());
    rec_.reset();
    ASSERT_TRUE(DXF_InitEngine(test_support::RecordingData().c_str()));
    NewDrawing(0);
  }
  void TearDown() override {
    rec_.Detach();
    DXF_CloseEngine();
  }
  void NewDrawing(int32_t units) {
    DXF_CreateDrawing(file_.c_str(), 4, units, 0, 0, 10000000, 10000000);
    DXF_AddLayer(kTop, 1);
    DXF_AddLayer(kBottom, 5);
    first_ = rec_.entityCount();
  }
  // Entity i of those written since the drawing was made.
  int32_t E(int32_t i) const { return first_ + i; }
  int32_t Written() const { return rec_.entityCount() - first_; }
  static double U(double pcb) { return pcb / 10000000.0; }

  Recorder rec_;
  test_support::TempDir tmp_;
  std::string file_ = tmp_ / "drawing.lst";
  int32_t first_ = 0;
};

TEST_F(DrawingTest, LayerRecordsAndNames) {
  ASSERT_EQ(rec_.layerCount(), 2);
  const uint8_t* top = rec_.layer(0);
  EXPECT_STREQ(reinterpret_cast<const char*>(top + kLayerName), "TopLayer");
  EXPECT_EQ(Get<int16_t>(top, kLayerColor), 1);
  EXPECT_NE(LoadHandle(top + kLayerHandle), 0u);
  EXPECT_EQ(top[kLayerOff], kRecDefaultByte);  // untouched fields keep the engine's defaults
  EXPECT_EQ(Get<int16_t>(rec_.layer(1), kLayerColor), 5);
  EXPECT_NE(LoadHandle(rec_.layer(1) + kLayerHandle), LoadHandle(top + kLayerHandle));
  EXPECT_EQ(DXF_LayerName(0), "Ignore");
  EXPECT_EQ(DXF_LayerName(kTop), "TopLayer");
  EXPECT_EQ(DXF_LayerName(59), "Mechanical3");
}

TEST_F(DrawingTest, LayerHandlesAreCachedPerDrawingAndLookedUpAfreshInTheNext) {
  DXF_AddLine(kTop, 0, 0, 1, 1, 0);
  DXF_AddLine(kTop, 0, 0, 2, 2, 0);
  DXF_AddCircle(kBottom, 0, 0, 5, 0);
  EXPECT_EQ(rec_.CountCalls("edaFindLayerByName TopLayer"), 1);
  EXPECT_EQ(rec_.CountCalls("edaFindLayerByName BottomLayer"), 1);
  const uint64_t firstTop = rec_.LayerOf(E(0));
  EXPECT_EQ(rec_.LayerOf(E(1)), firstTop);
  EXPECT_EQ(firstTop, LoadHandle(rec_.layer(0) + kLayerHandle));

  DXF_SaveDrawing(4, 1);
  NewDrawing(0);
  DXF_AddLine(kTop, 0, 0, 1, 1, 0);
  EXPECT_EQ(rec_.CountCalls("edaFindLayerByName TopLayer"), 2);
  EXPECT_EQ(rec_.LayerOf(E(0)), LoadHandle(rec_.layer(2) + kLayerHandle));
  EXPECT_NE(rec_.LayerOf(E(0)), firstTop);
}

TEST_F(DrawingTest, EntityOnALayerNotCreatedIsAnAssertionAndNothingIsAppended) {
  for (int attempt = 0; attempt < 2; ++attempt) {  // nothing is cached by a failed lookup
    try {
      DXF_AddLine(33, 0, 0, 1, 1, 0);
      ADD_FAILURE() << "no error";
    } catch (const EAssertionFailed& e) {
      EXPECT_STREQ(e.what(), kLayerMissing);
    }
  }
  EXPECT_EQ(Written(), 0);
  EXPECT_EQ(rec_.CountCalls("edaFindLayerByName TopOverlay"), 2);
}

TEST_F(DrawingTest, PlainEntitiesCarryConvertedCoordinatesAndRawAngles) {
  NewDrawing(1);  // millimetres
  DXF_AddLine(kTop, 10000000, -5000000, 0, 12345678, 0);
  DXF_AddCircle(kTop, 1, 2, 10000000, 0);
  DXF_AddArc(kBottom, 0, 0, 5000000, 0.25, 3.5, 0);
  ASSERT_EQ(Written(), 3);
  EXPECT_EQ(rec_.Type(E(0)), kEntLine);
  EXPECT_DOUBLE_EQ(rec_.D(E(0), kLineX1), 25.4);
  EXPECT_DOUBLE_EQ(rec_.D(E(0), kLineY1), -12.7);
  EXPECT_EQ(rec_.D(E(0), kLineZ1), 0.0);
  EXPECT_DOUBLE_EQ(rec_.D(E(0), kLineY2), 31.35802212);
  EXPECT_EQ(rec_.D(E(0), kLineZ2), 0.0);
  EXPECT_EQ(Get<double>(rec_.entityHeader(E(0)), kEntThickness), 0.0);
  EXPECT_NE(LoadHandle(rec_.entityHeader(E(0)) + kEntHandle), 0u);
  EXPECT_EQ(rec_.Type(E(1)), kEntCircle);
  EXPECT_DOUBLE_EQ(rec_.D(E(1), kCircleRadius), 25.4);
  EXPECT_EQ(rec_.Type(E(2)), kEntArc);
  EXPECT_DOUBLE_EQ(rec_.D(E(2), kCircleRadius), 12.7);
  EXPECT_EQ(rec_.D(E(2), kArcStartAngle), 0.25);
  EXPECT_EQ(rec_.D(E(2), kArcEndAngle), 3.5);
  EXPECT_EQ(rec_.LayerOf(E(2)), LoadHandle(rec_.layer(3) + kLayerHandle));
}

TEST_F(DrawingTest, UnitConversion) {
  struct Case {
    int32_t units;
    double v, expected;
  };
  const Case cases[] = {{0, 10000000, 1.0},
                        {1, 10000000, 25.4},
                        {0, 12345678, 1.2345678},
                        {1, 12345678, 31.35802212},
                        {0, -2147483648.0, -214.7483648},
                        {1, 0, 0}};
  for (const auto& c : cases) {
    DXF_CreateDrawing(file_.c_str(), 4, c.units, 0, 0, 0, 0);
    EXPECT_DOUBLE_EQ(ToDrawingUnits(c.v), c.expected) << c.v << " units " << c.units;
  }
}

TEST_F(DrawingTest, HeaderExtentsUnitsAndTileMode) {
  struct Case {
    int32_t units, minX, minY, maxX, maxY;
  };
  const Case cases[] = {{0, 0, 0, 0, 0},
                        {1, -10000000, 20000000, 30000000, 40000000},
                        {0, 50000000, 50000000, 10000000, 10000000}};  // min > max kept as is
  for (const auto& c : cases) {
    DXF_CreateDrawing(file_.c_str(), 4, c.units, c.minX, c.minY, c.maxX, c.maxY);
    const uint8_t* h = rec_.header();
    const double f = c.units ? 25.4 : 1.0;
    EXPECT_DOUBLE_EQ(Get<double>(h, kHeaderExtMinX), c.minX / 1e7 * f);
    EXPECT_DOUBLE_EQ(Get<double>(h, kHeaderExtMinY), c.minY / 1e7 * f);
    EXPECT_DOUBLE_EQ(Get<double>(h, kHeaderExtMaxX), c.maxX / 1e7 * f);
    EXPECT_DOUBLE_EQ(Get<double>(h, kHeaderExtMaxY), c.maxY / 1e7 * f);
    EXPECT_EQ(Get<double>(h, kHeaderExtMinZ), 0.0);
    EXPECT_EQ(Get<double>(h, kHeaderExtMaxZ), 0.0);
    EXPECT_EQ(Get<int16_t>(h, kHeaderMeasurement), c.units);
    EXPECT_EQ(Get<int16_t>(h, kHeaderTileMode), 1);
  }
  EXPECT_EQ(rec_.CountCalls("edaNewFile 0 0 0 4"), 4);
}

TEST_F(DrawingTest, DonutsTruncateLikeIntegerHalvings) {
  struct Case {
    int32_t outer, inner;
    double width, r;
  };
  const Case cases[] = {{11, 0, 5, 3}, {10, 4, 3, 3}, {4, 10, 5, 2}, {10, 0, 5, 2}};
  for (const auto& c : cases) {
    const int32_t base = rec_.entityCount();
    DXF_AddDonut(100, 200, c.outer, c.inner, kTop);
    ASSERT_EQ(rec_.entityCount() - base, 4);
    EXPECT_EQ(rec_.Type(base), kEntPolyline);
    EXPECT_EQ(Get<int16_t>(rec_.entityData(base), kPolylineClosed), 1);
    EXPECT_EQ(Get<int16_t>(rec_.entityData(base), kPolylineKind), 8);
    EXPECT_DOUBLE_EQ(rec_.D(base, kPolylineStartWidth), U(c.width)) << c.outer << "/" << c.inner;
    EXPECT_DOUBLE_EQ(rec_.D(base, kPolylineEndWidth), U(c.width));
    const double xs[2] = {100 - c.r, 100 + c.r};
    for (int v = 0; v < 2; ++v) {
      const int32_t i = base + 1 + v;
      EXPECT_EQ(rec_.Type(i), kEntVertex);
      EXPECT_DOUBLE_EQ(rec_.D(i, kVertexX), U(xs[v])) << c.outer << "/" << c.inner;
      EXPECT_DOUBLE_EQ(rec_.D(i, kVertexY), U(200));
      EXPECT_DOUBLE_EQ(rec_.D(i, kVertexStartWidth), U(c.width));
      EXPECT_DOUBLE_EQ(rec_.D(i, kVertexEndWidth), U(c.width));
      EXPECT_EQ(rec_.D(i, kVertexBulge), 1.0);
    }
    EXPECT_EQ(rec_.Type(base + 3), kEntSeqend);
    EXPECT_EQ(rec_.LayerOf(base + 3), kDefaultHandle);  // SEQEND keeps the default layer
  }
}

TEST_F(DrawingTest, SolidCornersInSolidOrderAndItsAssertions) {
  TPoints p(64);
  for (auto [x, y] : {std::pair{0, 0}, {10, 0}, {10, 5}, {0, 5}}) p.Add(x, y);
  DXF_AddSolid(&p, kTop);
  ASSERT_EQ(Written(), 1);
  EXPECT_EQ(rec_.Type(E(0)), kEntSolid);
  const double expected[4][2] = {{0, 0}, {10, 0}, {0, 5}, {10, 5}};
  const size_t corner[4] = {kSolidCorner1, kSolidCorner2, kSolidCorner3, kSolidCorner4};
  for (int c = 0; c < 4; ++c) {
    EXPECT_DOUBLE_EQ(rec_.D(E(0), corner[c]), U(expected[c][0])) << "corner " << c + 1;
    EXPECT_DOUBLE_EQ(rec_.D(E(0), corner[c] + 8), U(expected[c][1])) << "corner " << c + 1;
    EXPECT_EQ(rec_.D(E(0), corner[c] + 16), 0.0);
  }
  try {
    DXF_AddSolid(nullptr, kTop);
    ADD_FAILURE();
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Assertion failure (DXFInterface, line 392)");
  }
  p.Add(1, 1);
  try {
    DXF_AddSolid(&p, kTop);
    ADD_FAILURE();
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Assertion failure (DXFInterface, line 393)");
  }
  EXPECT_EQ(Written(), 1);
}

TEST_F(DrawingTest, WideArcsNegateTheBulgeAndFullRingsAreClosed) {
  TPoints p(64);
  p.Add(0, 0);
  p.Add(100, 0);
  p.Add(7, 7);  // only the first two points count
  DXF_AddWidePolyArc(p, 20, kBottom, 0.5, false);
  DXF_AddWidePolyArc(p, 20, kBottom, 0.5, true);
  ASSERT_EQ(Written(), 8);
  EXPECT_EQ(Get<int16_t>(rec_.entityData(E(0)), kPolylineClosed), 0);
  EXPECT_EQ(rec_.D(E(1), kVertexBulge), -0.5);
  EXPECT_EQ(rec_.D(E(2), kVertexBulge), 0.0);
  EXPECT_DOUBLE_EQ(rec_.D(E(2), kVertexX), U(100));
  EXPECT_DOUBLE_EQ(rec_.D(E(1), kVertexStartWidth), U(20));
  EXPECT_EQ(rec_.Type(E(3)), kEntSeqend);
  EXPECT_EQ(Get<int16_t>(rec_.entityData(E(4)), kPolylineClosed), 1);
  EXPECT_EQ(rec_.D(E(5), kVertexBulge), 1.0);
  EXPECT_EQ(rec_.D(E(6), kVertexBulge), 1.0);

  TPoints one(64);
  one.Add(1, 1);
  EXPECT_THROW(DXF_AddWidePolyArc(one, 20, kBottom, 0.5, false), EAssertionFailed);
  EXPECT_EQ(Written(), 8);  // nothing half-written
}

TEST_F(DrawingTest, PolylinesOneVertexPerPointAndEmptyOnes) {
  TPoints p(64);
  EXPECT_TRUE(DXF_AddPolyline(p, kTop, true, 0, 0));
  ASSERT_EQ(Written(), 2);
  EXPECT_EQ(rec_.Type(E(0)), kEntPolyline);
  EXPECT_EQ(rec_.Type(E(1)), kEntSeqend);
  p.Add(0, 0);
  p.Add(10, 0);
  p.Add(10, 10);
  EXPECT_TRUE(DXF_AddPolyline(p, kBottom, false, 40, 0.25));
  ASSERT_EQ(Written(), 7);
  for (int v = 0; v < 3; ++v) {
    EXPECT_EQ(rec_.Type(E(3 + v)), kEntVertex);
    EXPECT_EQ(rec_.D(E(3 + v), kVertexBulge), 0.25);
    EXPECT_EQ(rec_.LayerOf(E(3 + v)), rec_.LayerOf(E(2)));
  }
  EXPECT_DOUBLE_EQ(rec_.D(E(5), kVertexY), U(10));
}

TEST_F(DrawingTest, TextFieldsAndTheMirrorByte) {
  DXF_AddText(10000000, 20000000, 5000000, 0.8, 999, 1.5, false, "R1", kTop);
  DXF_AddText(0, 0, 10000000, 1.0, 0, 0, true, "MIRRORED", kBottom);
  ASSERT_EQ(Written(), 2);
  const uint8_t* d = rec_.entityData(E(0));
  EXPECT_EQ(rec_.Type(E(0)), kEntText);
  EXPECT_DOUBLE_EQ(rec_.D(E(0), kTextX), 1.0);
  EXPECT_DOUBLE_EQ(rec_.D(E(0), kTextY), 2.0);
  EXPECT_EQ(rec_.D(E(0), kTextZ), 0.0);
  EXPECT_DOUBLE_EQ(rec_.D(E(0), kTextHeight), 0.5);
  EXPECT_EQ(rec_.D(E(0), kTextRotation), 1.5);
  EXPECT_EQ(rec_.D(E(0), kTextWidthFactor), 0.8);
  EXPECT_EQ(d[kTextGeneration], kRecDefaultByte);
  EXPECT_EQ(d[kTextHAlign], 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(d + kTextValue), "R1");
  EXPECT_EQ(rec_.entityData(E(1))[kTextGeneration], 2);
  EXPECT_STREQ(reinterpret_cast<const char*>(rec_.entityData(E(1)) + kTextValue), "MIRRORED");
}

TEST_F(DrawingTest, BlocksInsertsAndNameRefusal) {
  const int32_t model = rec_.listOf("*MODEL_SPACE");
  ASSERT_TRUE(DXF_BeginBlock("U1"));
  const int32_t block = rec_.listOf("U1");
  ASSERT_NE(block, 0);
  ASSERT_NE(block, model);
  DXF_AddLine(kTop, 0, 0, 1, 1, 0);
  DXF_EndBlock();
  DXF_AddLine(kTop, 0, 0, 1, 1, 0);
  EXPECT_FALSE(DXF_BeginBlock("U1"));
  DXF_AddLine(kTop, 0, 0, 1, 1, 0);  // still model space
  DXF_InsertBlock(10000000, -10000000, "U1", 90);
  ASSERT_EQ(Written(), 6);
  const int16_t types[6] = {kEntBlock, kEntLine, kEntEndblk, kEntLine, kEntLine, kEntInsert};
  const int32_t lists[6] = {block, block, block, model, model, model};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(rec_.Type(E(i)), types[i]) << i;
    EXPECT_EQ(rec_.entityList(E(i)), lists[i]) << i;
  }
  EXPECT_STREQ(reinterpret_cast<const char*>(rec_.entityData(E(0)) + kBlockEntName), "U1");
  for (int i : {0, 2, 5}) EXPECT_EQ(rec_.LayerOf(E(i)), kDefaultHandle) << i;
  EXPECT_EQ(rec_.CountCalls("edaAddBlockheader U1"), 1);

  const uint8_t* ins = rec_.entityData(E(5));
  EXPECT_DOUBLE_EQ(rec_.D(E(5), kInsertRotation), std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(rec_.D(E(5), kInsertX), 1.0);
  EXPECT_DOUBLE_EQ(rec_.D(E(5), kInsertY), -1.0);
  for (size_t off : {kInsertScaleX, kInsertScaleY, kInsertScaleZ})
    EXPECT_EQ(Get<double>(ins, off), 1.0);
  EXPECT_EQ(Get<int16_t>(ins, kInsertColumns), 1);
  EXPECT_EQ(Get<int16_t>(ins, kInsertRows), 1);
  EXPECT_EQ(Get<int16_t>(ins, kInsertAttribsFollow), 0);
  uint8_t h[8];
  ASSERT_TRUE(
      Tav2::Api().edaFindBlockheaderByName(static_cast<int32_t>(DXF_CurrentDrawing()), "U1", h));
  EXPECT_EQ(LoadHandle(ins + kInsertBlock), LoadHandle(h));
}

TEST_F(DrawingTest, FailedSaveStillReleasesTheDrawingAndKeepsTheReason) {
  rec_.failNext("edaSaveFile", "disk full");
  const int32_t open = rec_.openDrawings();
  EXPECT_FALSE(DXF_SaveDrawing(4, 1));
  EXPECT_EQ(DXF_EngineError(), "disk full");
  EXPECT_EQ(rec_.CountCalls("edaCloseFile"), 1);
  EXPECT_EQ(rec_.openDrawings(), open - 1);
  EXPECT_EQ(rec_.CountCalls("edaSaveFile " + file_ + " 1 4 0 6 1 49"), 1);
}

TEST(EngineBinding, MissingLibraryAndMissingFunction) {
  Tav2::Load("/nonexistent/libtav2.so");
  EXPECT_FALSE(Tav2::Loaded());
  EXPECT_FALSE(Tav2::LastLoadError().empty());
  DXF_CloseEngine();  // nothing loaded: nothing happens

  // A library without the engine's names: the first name fails to bind.
  try {
    Tav2::Load(std::string(ORVANTA_BIN_DIR) + "/../lib/../recording/TAVINIT.DAT");
  } catch (...) {
  }
  EXPECT_FALSE(Tav2::Loaded());  // not a library at all
  try {
    Tav2::Load("libm.so.6");
    ADD_FAILURE() << "bound a library without the engine's names";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.unit(), "Tav2");
    EXPECT_NE(std::string(e.what()).find("edaInitAd2"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(Tav2::Loaded());
  DXF_CloseEngine();  // unloads without calling the names it never bound
  EXPECT_FALSE(Tav2::Loaded());

  Tav2::Load(test_support::RecordingEngine());
  ASSERT_TRUE(Tav2::Loaded());
  EXPECT_NE(Tav2::Api().edaCloseAd2, nullptr);
  EXPECT_NE(Tav2::Api().edaErrorText, nullptr);
  DXF_CloseEngine();
}

TEST(EngineFiles, FoundAlongPathOrHandedBackAsBareName) {
  const std::string dir = test_support::RecordingDir();
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath ? oldPath : "";
  setenv("PATH", (std::string("/nonexistent:") + dir + ":" + saved).c_str(), 1);
  abi::ShortString name;
  abi::SetShortString(name, "TAVINIT.DAT");
  EXPECT_TRUE(DXF_FindEngineFile(name));
  EXPECT_EQ(std::filesystem::canonical(abi::FromShortString(name)),
            std::filesystem::canonical(dir + "/TAVINIT.DAT"));
  setenv("PATH", saved.c_str(), 1);

  abi::SetShortString(name, "/no/such/folder/NOSUCHFILE.DAT");
  EXPECT_FALSE(DXF_FindEngineFile(name));
  EXPECT_FALSE(DXF_LastEngineFileSearch().empty());
}

}  // namespace
}  // namespace quennet
