#include "quennet/pcbmodel/objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "layers/layerset.h"
#include "quennet/pcbmodel/pad.h"
#include "tests/support/editor.h"

namespace quennet {
namespace {

using test_support::EditorBoard;
using test_support::RecordingEditor;

TEST(Wrappers, TrackReadTwiceKeepsItsFieldsAndMovesBothEnds) {
  EditorBoard editor(R"({"objects": [{"kind": "polygon", "layer": "TopLayer",
    "outline": [[0, 0], [900, 0], [900, 900]], "primitives": [
      {"kind": "dimension", "layer": "Mechanical1", "primitives": [
        {"kind": "track", "layer": "TopLayer", "from": [100, 200], "to": [300, 400], "width": 50}]}]}]})");
  RecordingEditor host(editor);
  TPcbTrack t(editor.Object(pokTrack));
  host.Clear();
  ASSERT_EQ(t.Transfer(1), 0);
  ASSERT_EQ(t.Transfer(1), 0);
  EXPECT_EQ(t.ObjectKind(), pokTrack);
  EXPECT_EQ(t.Layer(), eTopLayer);
  EXPECT_EQ(t.Width(), 50);
  EXPECT_EQ(uint32_t(t.OwnerHandle2()), editor.Object(pokPolygon));  // the outer group
  EXPECT_EQ(host.Names(),
            (std::vector<std::string>{"GetObjectBitField2", "GetObjectBitField3", "QueryTrack",
                                      "GetObjectBitField2", "GetObjectBitField3", "QueryTrack"}));
  t.MoveBy(10, -5);
  EXPECT_EQ(t.X(), 110);
  EXPECT_EQ(t.Y(), 195);
  EXPECT_EQ(t.X2(), 310);
  EXPECT_EQ(t.Y2(), 395);
}

TEST(Wrappers, MissingHostFunctionsLeaveCreationValues) {
  // A host without any of the functions: every query answers its default
  // and writes nothing.
  TPcbApiTable empty;
  SetPcbApiOverride(&empty);
  TPcbText text(5);
  EXPECT_EQ(text.Transfer(1), 0);
  EXPECT_EQ(text.FontName(), "Arial");
  EXPECT_EQ(text.FTrueTypeValue, 200000);
  EXPECT_EQ(text.Text(), "");
  EXPECT_EQ(text.DisplayText(), "");
  TPcbTrack track(5);
  EXPECT_EQ(track.Transfer(1), 0);
  EXPECT_EQ(track.X2(), 0);
  SetPcbApiOverride(nullptr);
}

TEST(Wrappers, ViaOnExtendedMidLayerComesBackOnLastFixedMidLayer) {
  // The host keeps a via's layer in the older byte form.
  EditorBoard editor(R"({"objects": [{"kind": "via", "size": 500}]})");
  TPcbVia via(editor.Object(pokVia));
  via.Transfer(1);
  via.SetLayer(SignalLayer(40));
  via.Transfer(0);
  via.Transfer(1);
  EXPECT_EQ(via.Layer(), TV7_Layer{31});
  EXPECT_EQ(via.LegacyLayer(), 31);
  EXPECT_EQ(via.Size(), 500);
  EXPECT_EQ(via.XSize(), 500);
}

TEST(Wrappers, FactoryGivesTheClassOfEveryKind) {
  struct Case {
    uint8_t idByte;  // what the host answers for the handle
    bool none;
    uint8_t kind;  // ObjectKind of the wrapper
  };
  const Case cases[] = {
      {0, true, 0},
      {1, false, pokArc},
      {2, false, pokPad},
      {3, false, pokVia},
      {4, false, pokTrack},
      {5, false, pokText},
      {6, false, pokFill},
      {7, false, pokFromTo},
      {8, false, pokNet},
      {9, false, pokComponent},
      {10, false, pokPolygon},
      {11, false, pokRegion},
      {12, false, pokComponentBody},
      {13, false, pokDimension},
      {14, false, pokCoordinate},
      {15, false, pokClass},
      {16, false, pokRule},
      {17, false, 0},  // the manual from-to keeps kind 0
      {18, false, pokDifferentialPair},
      {19, false, pokViolation},
      {20, false, pokEmbedded},
      {21, false, pokEmbeddedBoard},
      {22, false, pokSplitPlane},
      {23, true, 0},
      {24, true, 0},
      {25, true, 0},
      {26, false, pokBoardOutline},
      {27, true, 0},
      {127, true, 0},
      {0x80 | 4, false, pokTrack},  // only the low 7 bits name the kind
  };
  // One object of every kind a document holds; the other kind bytes are a
  // host's answer for a track.
  EditorBoard editor(R"({"objects": [
    {"kind": "arc", "layer": "TopLayer", "center": [0, 0], "radius": 10},
    {"kind": "pad", "size": 10}, {"kind": "via", "size": 10},
    {"kind": "track", "layer": "TopLayer", "from": [0, 0], "to": [10, 0]},
    {"kind": "text", "layer": "TopOverlay", "text": "T"},
    {"kind": "fill", "layer": "TopLayer", "corner1": [0, 0], "corner2": [10, 10]},
    {"kind": "component", "pattern": "P"},
    {"kind": "polygon", "layer": "TopLayer", "outline": [[0, 0], [10, 0], [10, 10]]},
    {"kind": "region", "layer": "TopLayer", "outline": [[0, 0], [10, 0], [10, 10]]},
    {"kind": "componentBody", "layer": "Mechanical2", "outline": [[0, 0], [10, 0], [10, 10]]},
    {"kind": "dimension", "layer": "Mechanical1"}, {"kind": "coordinate", "x": 0, "y": 0}]})");
  RecordingEditor host(editor);
  static uint8_t answered;
  for (const Case& c : cases) {
    host.Answer.GetObjectIdFromObjectHandle = editor.Table().GetObjectIdFromObjectHandle;
    uint32_t handle = c.idByte == 0 ? 999u : 0u;  // a handle the editor does not know
    if (c.idByte > 0 && c.idByte < 0x80) {
      const auto real = editor.Objects(c.idByte);
      if (!real.empty()) handle = real[0];
    }
    if (!handle) {
      handle = editor.Object(pokTrack);
      answered = c.idByte;
      host.Answer.GetObjectIdFromObjectHandle = [](uint32_t) { return answered; };
    }
    auto w = CreateWrapperForHandle(handle);
    EXPECT_EQ(w == nullptr, c.none) << "kind byte " << int(c.idByte);
    if (w) {
      EXPECT_EQ(w->ObjectKind(), c.kind) << "kind byte " << int(c.idByte);
      EXPECT_EQ(w->Handle(), handle);
    }
    if (c.idByte == 26) {
      EXPECT_NE(dynamic_cast<TPcbBoardOutline*>(w.get()), nullptr);
    }
    if (c.idByte == 2) {
      EXPECT_NE(dynamic_cast<TPcbPad*>(w.get()), nullptr);
    }
  }
}

TEST(Wrappers, TextOfHandleAndComponentName) {
  EditorBoard editor(R"({"objects": [
    {"kind": "component", "pattern": "P", "designator": {"text": "R12"}},
    {"kind": "component", "pattern": "P"},
    {"kind": "track", "layer": "TopLayer", "from": [0, 0], "to": [10, 0]}]})");
  RecordingEditor host(editor);
  const uint32_t named = editor.Object(pokComponent, 0), unnamed = editor.Object(pokComponent, 1);
  TPcbComponent c(named);
  c.Transfer(1);
  const uint32_t designator = c.DesignatorHandle();

  EXPECT_EQ(TextOfHandle(designator), "R12");
  host.Clear();
  EXPECT_EQ(TextOfHandle(0), "");
  EXPECT_TRUE(host.Log.empty()) << "handle 0 must not reach the host";
  EXPECT_EQ(TextOfHandle(editor.Object(pokTrack)), "");  // a kind without text
  EXPECT_EQ(TextOfHandle(999), "");                      // a handle the host does not know

  TPcbComponent other(unnamed);
  other.Transfer(1);
  EXPECT_EQ(c.Name(), "R12");
  EXPECT_EQ(other.Name(), "");
}

TEST(Wrappers, TextTransferOrderAndBarCodeStatus) {
  EditorBoard editor(R"({"objects": [{"kind": "text", "layer": "TopOverlay", "text": "x"}]})");
  RecordingEditor host(editor);
  // A host that answers a text longer than a text keeps.
  host.Answer.QueryText = [](auto... a) -> int32_t {
    const int32_t status = RecordingEditor::Editor().QueryText(a...);
    unsigned char* text = std::get<14>(std::tuple(a...));
    text[0] = 255;
    std::memset(text + 1, 'x', 255);
    return status;
  };
  TPcbText text(editor.Object(pokText));
  text.Transfer(1);
  EXPECT_EQ(text.Text().size(), 254u);
  EXPECT_EQ(host.Names(),
            (std::vector<std::string>{"GetObjectBitField2", "GetObjectBitField3", "QueryText",
                                      "QueryTrueTypeTextInfo", "GetDesignatorDisplayString",
                                      "QueryBarCodeTextInfo"}));
  host.Fail("QueryBarCodeTextInfo", 1);
  EXPECT_EQ(text.Transfer(1), 1);
}

TEST(Wrappers, ClassReadTwiceListsItsMembersTwice) {
  // The editor keeps no classes: a host that does answers here.
  EditorBoard editor("{}");
  RecordingEditor host(editor);
  host.Answer.QueryClass = [](uint8_t mode, uint32_t, uint16_t*, unsigned char* name, uint8_t*,
                              uint8_t*) -> int32_t {
    if (mode == 1) abi::SetShortString(*reinterpret_cast<abi::ShortString*>(name), "Power");
    return 0;
  };
  host.Answer.GetMemberFromClassAt = [](uint32_t, int32_t i, unsigned char* name) -> int32_t {
    static const char* const members[] = {"GND", "VCC"};
    if (i < 0 || i >= 2) return 1;
    abi::SetShortString(*reinterpret_cast<abi::ShortString*>(name), members[i]);
    return 0;
  };
  TPCBObjectClass c(40);
  EXPECT_EQ(c.Transfer(1), 1);  // the call that ended the list
  c.Transfer(1);
  EXPECT_EQ(c.FMembers, (std::vector<std::string>{"GND", "VCC", "GND", "VCC"}));
  EXPECT_EQ(c.FName.Str(), "Power");
  EXPECT_EQ(c.Name(), "") << "a class is not one of the wrappers that answer a name";

  // Modes 0 and 2 write the member list back; any other mode but 1 leaves it.
  const std::pair<uint8_t, int> modes[] = {{0, 4}, {2, 4}, {3, 0}, {255, 0}};
  for (const auto& [mode, adds] : modes) {
    host.Clear();
    c.Transfer(mode);
    EXPECT_EQ(host.Count("RemoveAllMembersFromClass"), adds ? 1 : 0) << "mode " << int(mode);
    EXPECT_EQ(host.Count("AddMemberToClass"), adds) << "mode " << int(mode);
    EXPECT_EQ(host.Count("GetMemberFromClassAt"), 0) << "mode " << int(mode);
  }

  // A host that answers an error instead of 1 past the end still ends the list.
  host.Answer.GetMemberFromClassAt = [](uint32_t, int32_t i, unsigned char* name) -> int32_t {
    if (i < 1) {
      abi::SetShortString(*reinterpret_cast<abi::ShortString*>(name), "A");
      return 0;
    }
    return abi::E_FAIL;
  };
  TPCBObjectClass d(40);
  EXPECT_EQ(d.Transfer(1), abi::E_FAIL);
  EXPECT_EQ(d.FMembers, (std::vector<std::string>{"A"}));
}

TEST(Wrappers, PlainValuesOnALayerOnlyOnTheObjectsLayer) {
  TPcbTrack t;
  t.SetLegacyLayer(5);
  t.SetWidth(80);
  t.SetX(10);
  t.SetX2(20);
  EXPECT_EQ(t.SizeOnLayer(5), 0);  // tracks have no size
  EXPECT_EQ(t.SizeOnLayer(6), 0);
  EXPECT_EQ(t.WidthOnLayer(5), 80);
  EXPECT_EQ(t.WidthOnLayer(6), 0);
  EXPECT_EQ(t.X2OnLayer(5), 20);
  EXPECT_EQ(t.X2OnLayer(6), 0);
  TPCBObject plain;
  plain.SetX(10);
  EXPECT_EQ(plain.X2(), 10);  // the base answers its X for X2

  // A text answers its Width but takes it only as its LineWidth.
  TPcbText text;
  text.SetWidth(30);
  EXPECT_EQ(text.Width(), 0);
  text.SetLineWidth(30);
  EXPECT_EQ(text.Width(), 30);
  EXPECT_EQ(text.LineWidth(), 30);
}

TEST(Wrappers, FlagAccessorsAndImmediateWrites) {
  EditorBoard editor(
      R"({"objects": [{"kind": "track", "layer": "TopLayer", "from": [0, 0], "to": [10, 0]}]})");
  RecordingEditor host(editor);
  TPcbTrack t(editor.Object(pokTrack));
  t.SetFlags(0);
  EXPECT_TRUE(t.GetFlagsBit8Clear());
  host.Clear();
  t.SetFlagsBit8Clear(false);
  EXPECT_EQ(t.Flags(), 0x100);
  EXPECT_EQ(host.Count("QueryTrack"), 1) << "the setter writes the object back";
  t.SetSelected(true);
  EXPECT_TRUE(t.Selected());
  EXPECT_EQ(t.Flags(), 0x110);
  t.SetBitField3Both(true);
  EXPECT_TRUE(t.GetBitField3Bit1() && t.GetBitField3Bit2());
  t.SetBitField3Bit1(false);
  EXPECT_TRUE(t.GetBitField3Any());
  EXPECT_EQ(t.BitField3(), 0x04);
}

// Rotated extent corners: (corner1 .. corner4) as x, y pairs.
TEST(Wrappers, RotatedExtentCorners) {
  struct Case {
    int32_t x1, y1, x2, y2;
    double rotation;
    int32_t margin;
    int32_t expect[8];
  };
  const Case cases[] = {
      // Unrotated: the rectangle's own corners.
      {0, 0, 100, 40, 0, 0, {0, 0, 100, 0, 0, 40, 100, 40}},
      // The margin grows it on every side.
      {0, 0, 100, 40, 0, 5, {-5, -5, 105, -5, -5, 45, 105, 45}},
      // Turned 90 degrees about its centre (50, 20).
      {0, 0, 100, 40, 90, 0, {70, -30, 70, 70, 30, -30, 30, 70}},
      // No height: the ends of the centre line; odd width rounds halves to even.
      {0, 0, 5, 0, 0, 0, {0, 0, 4, 0, 0, 0, 4, 0}},
      // The centre halves each coordinate toward zero: -5 div 2 twice is -4.
      {-5, -5, -5, -5, 0, 0, {-4, -4, -4, -4, -4, -4, -4, -4}},
  };
  for (const Case& c : cases) {
    TPcbFill f;
    f.SetX(c.x1), f.SetY(c.y1), f.SetX2(c.x2), f.SetY2(c.y2), f.SetRotation(c.rotation);
    const int32_t got[8] = {f.ExtentCorner1X(c.margin), f.ExtentCorner1Y(c.margin),
                            f.ExtentCorner2X(c.margin), f.ExtentCorner2Y(c.margin),
                            f.ExtentCorner3X(c.margin), f.ExtentCorner3Y(c.margin),
                            f.ExtentCorner4X(c.margin), f.ExtentCorner4Y(c.margin)};
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(got[i], c.expect[i]) << "case " << (&c - cases) << " value " << i;
  }
  TPcbFill f;
  f.SetLegacyLayer(1);
  f.SetX2(100), f.SetY2(40);
  EXPECT_EQ(f.ExtentCorner4XOnLayer(1, 0), 100);
  EXPECT_EQ(f.ExtentCorner4XOnLayer(2, 0), 0);
}

TEST(Wrappers, ComponentChildrenAreIteratedWithMethodZero) {
  EditorBoard editor(R"({"objects": [{"kind": "component", "pattern": "P", "layer": "BottomLayer",
    "primitives": [{"kind": "pad", "size": 10}, {"kind": "pad", "size": 10},
                   {"kind": "track", "layer": "BottomLayer", "from": [0, 0], "to": [10, 0]}]}]})");
  RecordingEditor host(editor);
  const uint32_t comp = editor.Object(pokComponent);
  TPcbComponent c(comp);
  c.Transfer(1);
  EXPECT_EQ(c.Layer(), TV7_Layer{eBottomLayer});

  std::vector<uint32_t> seen;
  abi::TLegacyLayerSet layers{};
  LegacySetInclude(layers, 0);
  host.Clear();
  c.IterateChildren(
      [](void* ctx, uint32_t h) { static_cast<std::vector<uint32_t>*>(ctx)->push_back(h); }, &seen,
      KindBit(pokTrack) | KindBit(pokPad), layers);
  EXPECT_EQ(seen, (std::vector<uint32_t>{editor.Object(pokPad, 0), editor.Object(pokPad, 1),
                                         editor.Object(pokTrack)}));
  EXPECT_EQ(host.Log.front(), "CreateIterator(" + std::to_string(comp) + ",2,0,0)");
  EXPECT_EQ(host.Count("CreateIterator"), 2);
  EXPECT_EQ(host.Count("DestroyIterator"), 2);
}

}  // namespace
}  // namespace quennet
