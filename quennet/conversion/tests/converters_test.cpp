// The converters on objects read from a host, down to the emitter calls.
#include "quennet/conversion/converters.h"

#include <gtest/gtest.h>

#include "layers/layerset.h"
#include "layers/rtl_errors.h"
#include "quennet/conversion/tests/fake_host.h"
#include "quennet/conversion/tests/recorder.h"
#include "quennet/conversion/undrawn.h"
#include "quennet/driver/state.h"

namespace quennet {
namespace {

using test_support::TExportStateGuard;
using test_support::TFakeHost;
using test_support::TFakeObject;
using test_support::TRecorder;

std::string Joined(const std::vector<std::string>& calls) {
  std::string s;
  for (const auto& c : calls) s += c + "\n";
  return s;
}

TFakeObject Track(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t layer = 1) {
  TFakeObject o;
  o.kind = pokTrack;
  o.layer = layer;
  o.x = x1, o.y = y1, o.x2 = x2, o.y2 = y2, o.width = 100000;
  return o;
}

TFakeObject Text(int32_t x, int32_t y, std::string s, uint32_t layer = 33) {
  TFakeObject o;
  o.kind = pokText;
  o.layer = layer;
  o.x = x, o.y = y, o.size = 600000, o.text = std::move(s);
  return o;
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

  // A component with a designator and a comment, both visible.
  uint32_t Component(std::string pattern, uint32_t layer, int32_t x, int32_t y, double rotation,
                     std::vector<uint32_t> children = {}) {
    TFakeObject c;
    c.kind = pokComponent;
    c.layer = layer;
    c.pattern = std::move(pattern);
    c.x = x, c.y = y, c.rotation = rotation;
    c.children = std::move(children);
    c.designator = host.Add(Text(x, y + 1000000, "U1"));
    c.comment = host.Add(Text(x, y - 1000000, "Comment"));
    c.designatorVisible = c.commentVisible = 1;
    return host.Add(c);
  }

  TExportStateGuard state;
  TFakeHost host;
  TRecorder rec;

 private:
  TLayerSetRef savedSet_;
};

TEST_F(Converters, TrackOnALayerNotExportedWritesNothing) {
  ConvertTrack(host.Add(Track(0, 0, 10, 0, 57)));
  ConvertTrack(host.Add(Track(0, 0, 10, 0, 1)));
  EXPECT_EQ(Joined(rec.calls), "PLINE L1 0 100000 0 0 0 10 0\n");
  EXPECT_EQ(host.progressSteps, 2);
}

TEST_F(Converters, ZeroWidthForSelectedObjectsAndSelectedComponents) {
  ExportOptions().ZeroWidthLines = 2;
  TFakeObject selectedComponent;
  selectedComponent.kind = pokComponent;
  selectedComponent.flags = 1 << 4;
  const uint32_t comp = host.Add(selectedComponent);
  TFakeObject member = Track(0, 0, 10, 0);
  member.bitField2 = 1 << 3;
  member.component = comp;
  TFakeObject selected = Track(0, 0, 20, 0);
  selected.flags = 1 << 4;
  ConvertTrack(host.Add(member));
  ConvertTrack(host.Add(selected));
  ConvertTrack(host.Add(Track(0, 0, 30, 0)));  // free and unselected: keeps its width
  EXPECT_EQ(Joined(rec.calls),
            "LINE L1 0 0 10 0 0\n"
            "LINE L1 0 0 20 0 0\n"
            "PLINE L1 0 100000 0 0 0 30 0\n");
}

TEST_F(Converters, ArcFullCircleWithZeroWidth) {
  ExportOptions().ZeroWidthLines = 1;
  TFakeObject arc;
  arc.kind = pokArc;
  arc.layer = 1;
  arc.x = 5, arc.y = 6, arc.radius = 1000, arc.startAngle = 360, arc.endAngle = 0;
  ConvertArc(host.Add(arc));
  EXPECT_EQ(Joined(rec.calls), "CIRCLE L1 5 6 1000 0\n");
}

TEST_F(Converters, PadOnEveryExportedLayerThenItsHole) {
  ExportLayerSet().IncludeArray({81});
  ExportOptions().HoleMode = 1;
  TFakeObject pad;
  pad.kind = pokPad;
  pad.layer = 74;
  pad.x = 1000000, pad.y = 2000000, pad.hole = 300000;
  pad.OnLayer(1, psRound, 600000, 600000)
      .OnLayer(32, psRectangle, 600000, 400000)
      .OnLayer(33, psRoundedRectangle, 600000, 600000)
      .OnLayer(34, 7, 600000, 600000)         // a shape the export has no drawing for
      .OnLayer(35, psRound, 600000, 600000);  // paste is not exported here
  pad.cornerRadius[33] = 300000;              // as round as it gets: a circle of four arcs
  ResetUndrawnShapes();
  ConvertPad(host.Add(pad));
  const std::string calls = Joined(rec.calls);
  EXPECT_EQ(calls.substr(0, calls.find("BPLINE")),
            "DONUT L1 1000000 2000000 600000 0\n"
            "SOLID L32 700000 1800000 1300000 1800000 1300000 2200000 700000 2200000\n");
  EXPECT_NE(calls.find("BPLINE L33 1 1000000 1700000 0.4142"), std::string::npos) << calls;
  EXPECT_NE(calls.find("\nDONUT L81 1000000 2000000 300000 0\n"), std::string::npos) << calls;
  EXPECT_EQ(calls.find("L34"), std::string::npos) << calls;
  ConvertPad(host.Add(pad));
  EXPECT_EQ(UndrawnShapeReport(),
            std::vector<std::string>{"2 pads of shape 7 on BottomOverlay were not drawn"});
}

TEST_F(Converters, PadReliefOnAPlane) {
  TFakeObject pad;
  pad.kind = pokPad;
  pad.layer = 74;
  pad.hole = 300000;
  pad.OnLayer(39, psPlaneRelief, 600000, 600000);
  pad.reliefExpansion = 200000, pad.reliefConductor = 100000, pad.reliefEntries = 4;
  pad.reliefGap = 100000;
  ConvertPad(host.Add(pad));
  ASSERT_EQ(rec.calls.size(), 12u) << Joined(rec.calls);
  EXPECT_EQ(rec.calls[1], "DONUT L39 -200000 346410 100000 0");
}

TEST_F(Converters, PadOnALayerBeyondTheFixedOnesEndsTheExport) {
  const TV7_Layer mid63 = 0x01010040;
  ExportLayerSet().Include(mid63);
  host.boardLayers = {mid63};
  TFakeObject pad;
  pad.kind = pokPad;
  pad.layer = 74;
  pad.OnLayer(31, psRound, 600000, 600000);  // where the fixture keeps the clamped layer
  try {
    ConvertPad(host.Add(pad));
    FAIL() << "no error";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("TV7_Layer.Implicit(Mid Layer 63)"), std::string::npos)
        << e.what();
  }
}

TEST_F(Converters, ViasByShapeOnEachLayer) {
  ExportLayerSet().IncludeArray({82});
  ExportOptions().HoleMode = 1;
  TFakeObject via;
  via.kind = pokVia;
  via.x = 10, via.y = 20, via.hole = 200000;
  via.OnLayer(1, psRound, 500000, 500000)
      .OnLayer(32, 0, 500000, 500000)            // not present there
      .OnLayer(33, psRectangle, 500000, 500000)  // vias are round: not drawn, but counted
      .OnLayer(39, psPlaneRelief, 0, 0);         // a relief even with size 0
  ResetUndrawnShapes();
  ConvertVia(host.Add(via));
  EXPECT_EQ(UndrawnShapeReport(),
            std::vector<std::string>{"1 via of shape rectangle on TopOverlay was not drawn"});
  const std::string calls = Joined(rec.calls);
  EXPECT_EQ(rec.calls.front(), "DONUT L1 10 20 500000 0");
  EXPECT_EQ(rec.calls.back(), "DONUT L82 10 20 200000 0");
  EXPECT_EQ(rec.calls.size(), 1u + 6u + 1u) << calls;  // two relief arcs with their caps
  EXPECT_EQ(calls.find("L32"), std::string::npos);
}

TEST_F(Converters, ViaTheHostCannotGiveIsSkipped) {
  TFakeObject notAVia = Track(0, 0, 1, 1);
  ConvertVia(host.Add(notAVia));
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(Converters, RegionOutlinesThroughTheHostInterface) {
  TFakeObject region;
  region.kind = pokRegion;
  region.layer = 1;
  region.contours = {{{0, 0}, {100, 0}, {100, 100}, {0, 100}}, {{10, 10}, {20, 10}, {20, 20}}};
  ConvertRegion(host.Add(region));
  EXPECT_EQ(rec.calls.size(), 7u) << Joined(rec.calls);
  EXPECT_EQ(rec.calls[0], "LINE L1 0 100 0 0 0");
  EXPECT_EQ(rec.calls[4], "LINE L1 20 20 10 10 0");
}

TEST_F(Converters, TextStrings) {
  host.specialStrings[u".Designator"] = u"R1";
  host.specialStrings[u".Pcb_File_Name"] = std::u16string(300, u'f');
  const char* raw[] = {".Designator", ".print_Scale", ".PRINT_SCALE ",
                       ".Unknown",    "\xe9t\xe9",    ".Pcb_File_Name"};
  std::vector<std::string> got;
  for (const char* s : raw) {
    TPcbText text(host.Add(Text(0, 0, s)));
    text.Transfer(1);
    got.push_back(ResolveTextString(text));
  }
  EXPECT_EQ(got, (std::vector<std::string>{"R1", "SCALE: 1.00", ".PRINT_SCALE ", ".Unknown",
                                           "\xe9t\xe9", std::string(255, 'f')}));
}

TEST_F(Converters, ValuesADrawingCannotHoldAreErrorsNamingTheObject) {
  TFakeObject arc;
  arc.kind = pokArc;
  arc.layer = 1;
  arc.x = 2000000000, arc.y = 5, arc.radius = 500000000, arc.width = 10;
  arc.startAngle = 0, arc.endAngle = 90;
  TFakeObject text = Text(7, 8, "x");
  text.rotation = 1e300;
  TFakeObject region;
  region.kind = pokRegion;
  region.layer = 32;
  region.contours = {{{0, 0}, {3e9, 0}}};
  struct Case {
    TFakeObject object;
    void (*convert)(uint32_t);
    const char* message;
  } cases[] = {
      {arc, ConvertArc,
       "arc at (2000000000, 5) on TopLayer: arc start point out of the coordinate"},
      {text, ConvertText, "text at (7, 8) on TopOverlay: text rotation out of the 6-byte real"},
      {region, ConvertRegion,
       "region at (0, 0) on BottomLayer: region point out of the coordinate"},
  };
  for (const auto& c : cases) {
    try {
      c.convert(host.Add(c.object));
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EExportError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
  EXPECT_TRUE(rec.calls.empty()) << Joined(rec.calls);
}

TEST_F(Converters, ComponentAsABlockInItsOwnFrame) {
  const uint32_t track = host.Add(Track(10000000, 0, 10000000, 1000000));
  const uint32_t comp = Component("DIP14", 1, 10000000, 0, 90, {track});
  ConvertComponent(comp);
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
  const uint32_t track = host.Add(Track(10000000, 0, 10000000, 1000000));
  const uint32_t comp = Component("DIP14", 1, 10000000, 0, 90, {track});
  host[host[comp].designator].text = ".PRINT_SCALE";  // written as it stands
  host[comp].commentVisible = 0;
  ConvertComponent(comp);
  EXPECT_EQ(Joined(rec.calls),
            "PLINE L1 0 100000 0 10000000 0 10000000 1000000\n"
            "TEXT L33 10000000 1000000 600000 1 0 0 0 \".PRINT_SCALE\"\n");
  EXPECT_EQ(BlockCounter(), 0);
}

TEST_F(Converters, BlockNumbersKeepCountingAcrossRuns) {
  ConvertComponent(Component("DIP14", 1, 0, 0, 0));
  SetBlockCounter(4);
  ConvertComponent(Component("sot-23", 32, 0, 0, 0));
  // A second export run while the module stays loaded: nothing resets the count.
  Placement() = TPlacement{};
  TRecorder secondRun;
  secondRun.existingBlocks.clear();
  ConvertComponent(Component("DIP14", 1, 0, 0, 0));
  EXPECT_EQ(rec.calls[0], "BLOCK DIP14_1");
  EXPECT_EQ(rec.calls[5], "BLOCK ____23_B_5");
  EXPECT_EQ(rec.calls[7], "INSERT 0 0 ____23_B_5 0");
  EXPECT_EQ(secondRun.calls[0], "BLOCK DIP14_6");
  EXPECT_EQ(BlockCounter(), 6);
}

TEST_F(Converters, BlockNamesThatCollideAfterTheCutStayApart) {
  const std::string pattern(250, 'P');
  const uint32_t t1 = host.Add(Track(0, 0, 10, 0, 32));
  const uint32_t t2 = host.Add(Track(0, 0, 20, 0, 32));
  SetBlockCounter(11);
  ConvertComponent(Component(pattern, 32, 0, 0, 0, {t1}));  // block 12
  SetBlockCounter(122);
  ConvertComponent(Component(pattern, 32, 0, 0, 0, {t2}));  // block 123: cut to ..._B_12
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
  SetBlockCounter(122);
  ConvertComponent(Component(std::string(250, 'P'), 32, 0, 0, 0));
  EXPECT_EQ(rec.calls[0], "BLOCK " + std::string(250, 'P') + "_B_12");
}

}  // namespace
}  // namespace quennet
