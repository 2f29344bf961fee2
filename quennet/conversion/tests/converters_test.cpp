// The converters on objects read from the editor, down to the emitter calls.
#include "quennet/conversion/converters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layers/layerset.h"
#include "layers/rtl_errors.h"
#include "quennet/conversion/tests/recorder.h"
#include "quennet/conversion/undrawn.h"
#include "quennet/driver/state.h"
#include "quennet/pcbmodel/objects.h"
#include "tests/support/editor.h"

namespace quennet {
namespace {

using test_support::EditorBoard;
using test_support::RecordingEditor;
using test_support::TExportStateGuard;
using test_support::TRecorder;

std::string Joined(const std::vector<std::string>& calls) {
  std::string s;
  for (const auto& c : calls) s += c + "\n";
  return s;
}

std::string Board(const std::string& objects) {
  return R"({"objects": [)" + objects + "]}";
}

std::string Track(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const char* layer = "TopLayer",
                  const char* more = "") {
  return R"({"kind": "track", "layer": ")" + std::string(layer) + R"(", "from": [)" +
         std::to_string(x1) + ", " + std::to_string(y1) + "], \"to\": [" + std::to_string(x2) +
         ", " + std::to_string(y2) + "], \"width\": 100000" + more + "}";
}

std::string Text(int32_t x, int32_t y, const std::string& text, const char* more = "") {
  return R"({"layer": "TopOverlay", "x": )" + std::to_string(x) + ", \"y\": " + std::to_string(y) +
         R"(, "height": 600000, "width": 0, "mirrored": false, "text": ")" + text + "\"" + more +
         "}";
}

// A component with a designator and a comment, both visible, on either side.
std::string Component(const std::string& pattern, const char* side, int32_t x, int32_t y,
                      double rotation, const std::string& primitives = "",
                      const std::string& designator = "U1", bool commentVisible = true) {
  return R"({"kind": "component", "pattern": ")" + pattern + R"(", "layer": ")" + side +
         R"(", "x": )" + std::to_string(x) + ", \"y\": " + std::to_string(y) +
         ", \"rotation\": " + std::to_string(rotation) +
         ", \"designator\": " + Text(x, y + 1000000, designator) + ", \"comment\": " +
         Text(x, y - 1000000, "Comment", commentVisible ? "" : R"(, "visible": false)") +
         ", \"primitives\": [" + primitives + "]}";
}

class Converters : public ::testing::Test {
 protected:
  Converters() : savedSet_(ExportLayerSet()) {
    ExportLayerSet() = NewEmptySet();
    ExportLayerSet().IncludeArray({1, 32, 33, 34, 39});
    ExportOptions().RoundedTracks = false;
    SetBlockCounter(0);
  }
  ~Converters() override { ExportLayerSet() = savedSet_; }

  TExportStateGuard state;
  TRecorder rec;

 private:
  TLayerSetRef savedSet_;
};

// An interface of the test's own: counted references, no other interfaces.
template <class I>
class TOwnInterface : public I {
 public:
  abi::TStatus QueryInterface(const abi::TGUID&, void** out) override {
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t r = --refs_;
    if (r == 0) delete this;
    return r;
  }
  virtual ~TOwnInterface() = default;

 private:
  uint32_t refs_ = 1;
};

TEST_F(Converters, TrackOnALayerNotExportedWritesNothing) {
  EditorBoard editor(Board(Track(0, 0, 10, 0, "Mechanical1") + "," + Track(0, 0, 10, 0)));
  RecordingEditor host(editor);
  ConvertTrack(editor.Object(pokTrack, 0));
  ConvertTrack(editor.Object(pokTrack, 1));
  EXPECT_EQ(Joined(rec.calls), "PLINE L1 0 100000 0 0 0 10 0\n");
  EXPECT_EQ(host.Count("Percent_Update"), 2);
}

TEST_F(Converters, ZeroWidthForSelectedObjectsAndSelectedComponents) {
  ExportOptions().ZeroWidthLines = 2;
  EditorBoard editor(Board(R"({"kind": "component", "pattern": "P", "selected": true,
    "primitives": [)" + Track(0, 0, 10, 0) +
                           "]}," + Track(0, 0, 20, 0, "TopLayer", R"(, "selected": true)") + "," +
                           Track(0, 0, 30, 0)));
  for (uint32_t track : editor.Objects(pokTrack)) ConvertTrack(track);
  // The last one, free and unselected, keeps its width.
  EXPECT_EQ(Joined(rec.calls),
            "LINE L1 0 0 10 0 0\n"
            "LINE L1 0 0 20 0 0\n"
            "PLINE L1 0 100000 0 0 0 30 0\n");
}

TEST_F(Converters, ArcFullCircleWithZeroWidth) {
  ExportOptions().ZeroWidthLines = 1;
  EditorBoard editor(Board(R"({"kind": "arc", "layer": "TopLayer", "center": [5, 6],
    "radius": 1000, "startAngle": 360, "endAngle": 0})"));
  ConvertArc(editor.Object(pokArc));
  EXPECT_EQ(Joined(rec.calls), "CIRCLE L1 5 6 1000 0\n");
}

TEST_F(Converters, PadOnEveryExportedLayerThenItsHole) {
  ExportLayerSet().IncludeArray({81});
  ExportOptions().HoleMode = 1;
  // Round on the top layer; the rounded rectangle as round as it gets: a
  // circle of four arcs; paste is not exported here.
  EditorBoard editor(Board(R"({"kind": "pad", "x": 1000000, "y": 2000000, "hole": 300000,
    "size": 600000, "layers": [
      {"layer": "BottomLayer", "shape": "rectangle", "size": [600000, 400000]},
      {"layer": "TopOverlay", "shape": "roundedRectangle", "size": 600000, "cornerRadius": 100},
      {"layer": "BottomOverlay", "size": 600000},
      {"layer": "TopPaste", "size": 600000}]})"));
  // A host with a shape the export has no drawing for.
  RecordingEditor host(editor);
  host.Answer.QueryPadOrViaShapeOnLayer = [](uint32_t pad, uint8_t layer, uint8_t* shape) {
    const int32_t status = RecordingEditor::Editor().QueryPadOrViaShapeOnLayer(pad, layer, shape);
    if (layer == eBottomOverlay) *shape = 7;
    return status;
  };
  ResetUndrawnShapes();
  const uint32_t pad = editor.Object(pokPad);
  ConvertPad(pad);
  const std::string calls = Joined(rec.calls);
  EXPECT_EQ(calls.substr(0, calls.find("BPLINE")),
            "DONUT L1 1000000 2000000 600000 0\n"
            "SOLID L32 700000 1800000 1300000 1800000 1300000 2200000 700000 2200000\n");
  EXPECT_NE(calls.find("BPLINE L33 1 1000000 1700000 0.4142"), std::string::npos) << calls;
  EXPECT_NE(calls.find("\nDONUT L81 1000000 2000000 300000 0\n"), std::string::npos) << calls;
  EXPECT_EQ(calls.find("L34"), std::string::npos) << calls;
  ConvertPad(pad);
  EXPECT_EQ(UndrawnShapeReport(),
            std::vector<std::string>{"2 pads of shape 7 on BottomOverlay were not drawn"});
}

TEST_F(Converters, PadReliefOnAPlane) {
  // The board's default rule: relief 20/10 mil, 4 entries, 10 mil gap.
  ExportLayerSet() = NewEmptySet();
  ExportLayerSet().IncludeArray({39});
  EditorBoard editor(R"({"board": {"stack": ["TopLayer",
      {"layer": "InternalPlane1", "net": "GND"}, "BottomLayer"]},
    "objects": [{"kind": "pad", "hole": 300000, "size": 600000, "net": "GND"}]})");
  ConvertPad(editor.Object(pokPad));
  ASSERT_EQ(rec.calls.size(), 12u) << Joined(rec.calls);
  EXPECT_EQ(rec.calls[1], "DONUT L39 -200000 346410 100000 0");
}

// A host whose pads report, on a layer beyond the fixed ones, the copper of
// the fixed layer it comes down to.
class TClampingPad final : public TOwnInterface<abi::IPCB_Pad> {
 public:
  explicit TClampingPad(abi::IPCB_Pad* pad) : pad_(pad) {}
  abi::TStatus Handle(uint32_t* out) override { return pad_->Handle(out); }
  abi::TStatus ObjectId(uint8_t* out) override { return pad_->ObjectId(out); }
  abi::TStatus Layer(uint32_t* out) override { return pad_->Layer(out); }
  abi::TStatus Board(abi::IPCB_Board** out) override { return pad_->Board(out); }
  abi::TStatus XSizeOnLayer(uint32_t l, int32_t* out) override {
    return pad_->XSizeOnLayer(V7ToLayer(l), out);
  }
  abi::TStatus YSizeOnLayer(uint32_t l, int32_t* out) override {
    return pad_->YSizeOnLayer(V7ToLayer(l), out);
  }
  abi::TStatus ShapeOnLayer(uint32_t l, uint8_t* out) override {
    return pad_->ShapeOnLayer(V7ToLayer(l), out);
  }
  abi::TStatus X(int32_t* out) override { return pad_->X(out); }
  abi::TStatus Y(int32_t* out) override { return pad_->Y(out); }
  abi::TStatus HoleSize(int32_t* out) override { return pad_->HoleSize(out); }
  abi::TStatus Rotation(double* out) override { return pad_->Rotation(out); }

 private:
  abi::Ref<abi::IPCB_Pad> pad_;
};

TEST_F(Converters, PadOnALayerBeyondTheFixedOnesEndsTheExport) {
  const TV7_Layer mid63 = 0x01010040;
  ExportLayerSet() = NewEmptySet();
  ExportLayerSet().Include(mid63);
  // The track puts the layer on the board.
  EditorBoard editor(Board(Track(0, 0, 10, 0, "MidLayer63") + R"(,
    {"kind": "pad", "size": 600000, "layers": [{"layer": "MidLayer30", "size": 600000}]})"));
  RecordingEditor host(editor);
  host.HandOut = [](uint32_t, const abi::TGUID& iid, void** out) {
    if (iid == abi::IID_IPCB_Pad) *out = new TClampingPad(static_cast<abi::IPCB_Pad*>(*out));
  };
  try {
    ConvertPad(editor.Object(pokPad));
    FAIL() << "no error";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("TV7_Layer.Implicit(Mid Layer 63)"), std::string::npos)
        << e.what();
  }
}

TEST_F(Converters, ViasByShapeOnEachLayer) {
  ExportLayerSet().IncludeArray({82});
  ExportOptions().HoleMode = 1;
  // No rule covers the via: its relief has no values.
  EditorBoard editor(R"({"board": {"stack": ["TopLayer", "InternalPlane1", "BottomLayer"]},
    "rules": [{"kind": "planeConnect", "scope": "named"}],
    "objects": [{"kind": "via", "x": 10, "y": 20, "hole": 200000, "size": 500000, "layers": [
      {"layer": "BottomLayer", "shape": "none", "size": 500000},
      {"layer": "TopOverlay", "shape": "rectangle", "size": 500000},
      {"layer": "InternalPlane1", "shape": "planeRelief", "size": 0}]}]})");
  ResetUndrawnShapes();
  ConvertVia(editor.Object(pokVia));
  // A rectangle on a via is not drawn, but counted.
  EXPECT_EQ(UndrawnShapeReport(),
            std::vector<std::string>{"1 via of shape rectangle on TopOverlay was not drawn"});
  const std::string calls = Joined(rec.calls);
  EXPECT_EQ(rec.calls.front(), "DONUT L1 10 20 500000 0");
  EXPECT_EQ(rec.calls.back(), "DONUT L82 10 20 200000 0");
  EXPECT_EQ(rec.calls.size(), 1u + 6u + 1u) << calls;  // two relief arcs with their caps
  EXPECT_EQ(calls.find("L32"), std::string::npos);
}

TEST_F(Converters, ViaTheHostCannotGiveIsSkipped) {
  EditorBoard editor(Board(Track(0, 0, 1, 1)));
  ConvertVia(editor.Object(pokTrack));
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(Converters, RegionOutlinesThroughTheHostInterface) {
  EditorBoard editor(Board(R"({"kind": "region", "layer": "TopLayer",
    "outline": [[0, 0], [100, 0], [100, 100], [0, 100]], "holes": [[[10, 10], [20, 10], [20, 20]]]})"));
  ConvertRegion(editor.Object(pokRegion));
  EXPECT_EQ(rec.calls.size(), 7u) << Joined(rec.calls);
  EXPECT_EQ(rec.calls[0], "LINE L1 0 100 0 0 0");
  EXPECT_EQ(rec.calls[4], "LINE L1 20 20 10 10 0");
}

TEST_F(Converters, TextStrings) {
  // The board document lies deep enough for its path to be longer than a
  // text holds.
  const std::string folder = std::string(200, 'f') + "/" + std::string(100, 'f');
  const char* raw[] = {".Designator", ".print_Scale",      ".PRINT_SCALE ",
                       ".Unknown",    "\xc3\xa9t\xc3\xa9", ".Pcb_File_Name"};
  std::string objects = Component("P", "TopLayer", 0, 0, 0,
                                  R"({"kind": "text", )" + Text(0, 0, raw[0]).substr(1), "R1");
  for (size_t i = 1; i < std::size(raw); ++i)
    objects += R"(, {"kind": "text", )" + Text(0, 0, raw[i]).substr(1);
  EditorBoard editor(Board(objects), folder + "/board.json");
  ASSERT_GT(editor.Path().size(), 255u);
  std::vector<std::string> got;
  for (uint32_t h : editor.Objects(pokText)) {
    TPcbText text(h);
    text.Transfer(1);
    if (text.Text() == "R1" || text.Text() == "Comment") continue;  // the component's own
    got.push_back(ResolveTextString(text));
  }
  EXPECT_EQ(got, (std::vector<std::string>{"R1", "SCALE: 1.00", ".PRINT_SCALE ", ".Unknown",
                                           "\xe9t\xe9", editor.Path().substr(0, 255)}));
}

// A host whose region outline has a point far beyond any board.
class TFarContour final : public TOwnInterface<abi::IPCB_Contour> {
 public:
  abi::TStatus PointCount(int32_t* out) override {
    *out = 2;
    return abi::S_OK;
  }
  abi::TStatus GetPoints(abi::TPcbApiContourPoints* out) override {
    static const abi::TPcbApiPointF points[] = {{0, 0}, {3e9, 0}};
    *out = {2, points};
    return abi::S_OK;
  }
};
class TFarOutline final : public TOwnInterface<abi::IPCB_GeometricPolygon> {
 public:
  abi::TStatus ContourCount(int32_t* out) override {
    *out = 1;
    return abi::S_OK;
  }
  abi::TStatus Contour(int32_t, abi::IPCB_Contour** out) override {
    *out = new TFarContour;
    return abi::S_OK;
  }
  abi::TStatus IsHole(int32_t, uint8_t* out) override {
    *out = 0;
    return abi::S_OK;
  }
};
class TFarRegion final : public TOwnInterface<abi::IPCB_Region> {
 public:
  explicit TFarRegion(abi::IPCB_Region* region) : region_(region) {}
  abi::TStatus Handle(uint32_t* out) override { return region_->Handle(out); }
  abi::TStatus ObjectId(uint8_t* out) override { return region_->ObjectId(out); }
  abi::TStatus Layer(uint32_t* out) override { return region_->Layer(out); }
  abi::TStatus Board(abi::IPCB_Board** out) override { return region_->Board(out); }
  abi::TStatus GeometricPolygon(abi::IPCB_GeometricPolygon** out) override {
    *out = new TFarOutline;
    return abi::S_OK;
  }

 private:
  abi::Ref<abi::IPCB_Region> region_;
};

TEST_F(Converters, ValuesADrawingCannotHoldAreErrorsNamingTheObject) {
  EditorBoard editor(Board(R"({"kind": "arc", "layer": "TopLayer", "center": [2000000000, 5],
      "radius": 500000000, "width": 10, "startAngle": 0, "endAngle": 90},
    {"kind": "text", )" + Text(7, 8, "x").substr(1) +
                           R"(,
    {"kind": "region", "layer": "BottomLayer", "outline": [[0, 0], [10, 0], [10, 10]]})"));
  // A rotation no document holds, written into the editor as the plug-in can.
  double rotation = 1e300;
  ASSERT_EQ(editor.Table().QueryText(0, editor.Object(pokText), nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     &rotation, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  RecordingEditor host(editor);
  host.HandOut = [](uint32_t, const abi::TGUID& iid, void** out) {
    if (iid == abi::IID_IPCB_Region) *out = new TFarRegion(static_cast<abi::IPCB_Region*>(*out));
  };
  struct Case {
    uint32_t object;
    void (*convert)(uint32_t);
    const char* message;
  } cases[] = {
      {editor.Object(pokArc), ConvertArc,
       "arc at (2000000000, 5) on TopLayer: arc start point out of the coordinate"},
      {editor.Object(pokText), ConvertText,
       "text at (7, 8) on TopOverlay: text rotation out of the 6-byte real"},
      {editor.Object(pokRegion), ConvertRegion,
       "region at (0, 0) on BottomLayer: region point out of the coordinate"},
  };
  for (const auto& c : cases) {
    try {
      c.convert(c.object);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EExportError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
  EXPECT_TRUE(rec.calls.empty()) << Joined(rec.calls);
}

TEST_F(Converters, ComponentAsABlockInItsOwnFrame) {
  EditorBoard editor(Board(
      Component("DIP14", "TopLayer", 10000000, 0, 90, Track(10000000, 0, 10000000, 1000000))));
  ConvertComponent(editor.Object(pokComponent));
  EXPECT_EQ(Joined(rec.calls),
            "BLOCK DIP14_1\n"
            "PLINE L1 0 100000 0 0 0 1000000 0\n"
            "ENDBLK\n"
            "INSERT 10000000 0 DIP14_1 90\n"
            "TEXT L33 10000000 1000000 600000 1 0 0 0 \"U1\"\n"
            "TEXT L33 10000000 -1000000 600000 1 0 0 0 \"Comment\"\n");
  EXPECT_EQ(Placement().OffsetX, 10000000);
  EXPECT_EQ(Placement().Rotation, -90.0);
}

TEST_F(Converters, ComponentAsPrimitives) {
  ExportOptions().ComponentsMode = 1;
  // The designator is written as it stands; the comment is hidden.
  EditorBoard editor(
      Board(Component("DIP14", "TopLayer", 10000000, 0, 90, Track(10000000, 0, 10000000, 1000000),
                      ".PRINT_SCALE", false)));
  ConvertComponent(editor.Object(pokComponent));
  EXPECT_EQ(Joined(rec.calls),
            "PLINE L1 0 100000 0 10000000 0 10000000 1000000\n"
            "TEXT L33 10000000 1000000 600000 1 0 0 0 \".PRINT_SCALE\"\n");
  EXPECT_EQ(BlockCounter(), 0);
}

TEST_F(Converters, BlockNumbersKeepCountingAcrossRuns) {
  EditorBoard editor(Board(Component("DIP14", "TopLayer", 0, 0, 0) + "," +
                           Component("sot-23", "BottomLayer", 0, 0, 0) + "," +
                           Component("DIP14", "TopLayer", 0, 0, 0)));
  ConvertComponent(editor.Object(pokComponent, 0));
  SetBlockCounter(4);
  ConvertComponent(editor.Object(pokComponent, 1));
  // A second export run while the module stays loaded: nothing resets the count.
  Placement() = TPlacement{};
  TRecorder secondRun;
  secondRun.existingBlocks.clear();
  ConvertComponent(editor.Object(pokComponent, 2));
  EXPECT_EQ(rec.calls[0], "BLOCK DIP14_1");
  EXPECT_EQ(rec.calls[5], "BLOCK ____23_B_5");
  EXPECT_EQ(rec.calls[7], "INSERT 0 0 ____23_B_5 0");
  EXPECT_EQ(secondRun.calls[0], "BLOCK DIP14_6");
  EXPECT_EQ(BlockCounter(), 6);
}

TEST_F(Converters, BlockNamesThatCollideAfterTheCutStayApart) {
  const std::string pattern(250, 'P');
  EditorBoard editor(
      Board(Component(pattern, "BottomLayer", 0, 0, 0, Track(0, 0, 10, 0, "BottomLayer")) + "," +
            Component(pattern, "BottomLayer", 0, 0, 0, Track(0, 0, 20, 0, "BottomLayer"))));
  SetBlockCounter(11);
  ConvertComponent(editor.Object(pokComponent, 0));  // block 12
  SetBlockCounter(122);
  ConvertComponent(editor.Object(pokComponent, 1));  // block 123: cut to ..._B_12
  const std::string first = pattern + "_B_12", second = pattern.substr(0, 249) + "_B_123";
  EXPECT_EQ(Joined(rec.calls),
            "BLOCK " + first + "\nPLINE L32 0 100000 0 0 0 10 0\nENDBLK\nINSERT 0 0 " + first +
                " 0\n" + "TEXT L33 0 1000000 600000 1 0 0 0 \"U1\"\n" +
                "TEXT L33 0 -1000000 600000 1 0 0 0 \"Comment\"\n" + "BLOCK refused " + first +
                "\nBLOCK " + second + "\nPLINE L32 0 100000 0 0 0 20 0\nENDBLK\nINSERT 0 0 " +
                second + " 0\n" + "TEXT L33 0 1000000 600000 1 0 0 0 \"U1\"\n" +
                "TEXT L33 0 -1000000 600000 1 0 0 0 \"Comment\"\n");
}

TEST_F(Converters, ACutNameThatDoesNotCollideIsKept) {
  EditorBoard editor(Board(Component(std::string(250, 'P'), "BottomLayer", 0, 0, 0)));
  SetBlockCounter(122);
  ConvertComponent(editor.Object(pokComponent));
  EXPECT_EQ(rec.calls[0], "BLOCK " + std::string(250, 'P') + "_B_12");
}

}  // namespace
}  // namespace quennet
