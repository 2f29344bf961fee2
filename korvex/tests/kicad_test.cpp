// KiCad boards: what each item becomes in the editor's model, what is
// approximated, and where a broken file is at fault.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "korvex/src/board.h"
#include "korvex/src/kicad/kicad_board.h"
#include "tests/support/test_support.h"

using korvex::Board;
using korvex::DocumentError;
using korvex::ReadKicadBoard;

namespace {

constexpr double kPerMm = 10000000.0 / 25.4;
int32_t Mm(double mm) {
  return int32_t(std::nearbyint(mm * kPerMm));
}

// A two-layer board with one of everything; the footprint is turned by 90
// degrees so that every child shows the footprint's frame at work.
const char* const kBoard = R"((kicad_pcb (version 20221018) (generator pcbnew)
  (general (thickness 1.6))
  (layers
    (0 "F.Cu" signal)
    (1 "In1.Cu" power "GND plane")
    (31 "B.Cu" signal)
    (37 "F.SilkS" user "F.Silkscreen")
    (39 "F.Mask" user)
    (44 "Edge.Cuts" user)
    (49 "F.Fab" user))
  (setup (pad_to_mask_clearance 0.05))
  (net 0 "")
  (footprint "Resistor_SMD:R_0603" (layer "F.Cu") (at 10 20 90)
    (fp_text reference "R1" (at 0 -1.5 90) (layer "F.SilkS")
      (effects (font (size 1 1) (thickness 0.15))))
    (fp_text value "10k" (at 0 1.5 90) (layer "F.Fab") hide
      (effects (font (size 1 1) (thickness 0.15))))
    (fp_line (start -1 0) (end 1 0) (stroke (width 0.12) (type solid)) (layer "F.SilkS"))
    (pad "1" smd roundrect (at -0.8 0 90) (size 0.8 0.9) (layers "F.Cu" "F.Paste" "F.Mask")
      (roundrect_rratio 0.25))
    (pad "2" thru_hole oval (at 0.8 0 90) (size 1.2 2) (drill oval 0.6 1.2)
      (layers "*.Cu" "*.Mask"))
    (pad "3" smd custom (at 0 2 90) (size 0.5 0.5) (layers "F.Cu")
      (options (clearance outline) (anchor circle))
      (primitives (gr_poly (pts (xy 0 0) (xy 1 0) (xy 1 1)) (width 0) (fill yes)))))
  (segment (start 0 0) (end 5 0) (width 0.25) (layer "F.Cu") (net 0))
  (arc (start 1 0) (mid 0 -1) (end -1 0) (width 0.2) (layer "B.Cu") (net 0))
  (via blind (at 3 4) (size 0.6) (drill 0.3) (layers "F.Cu" "In1.Cu") (net 0))
  (gr_poly (pts (xy 0 0) (xy 4 0) (xy 4 4)) (stroke (width 0) (type solid)) (fill solid)
    (layer "F.Cu"))
  (gr_circle (center 0 0) (end 2 0) (stroke (width 0.1) (type solid)) (fill none)
    (layer "Edge.Cuts"))
  (gr_text "Rev \"A\"" (at 5 6 45) (layer "F.SilkS")
    (effects (font (size 2 1.5) (thickness 0.3)) (justify mirror)))
  (zone (net 0) (layer "B.Cu") (hatch edge 0.5)
    (polygon (pts (xy 0 0) (xy 10 0) (xy 10 10)))
    (filled_polygon (layer "B.Cu") (pts (xy 0 0) (xy 10 0) (xy 10 10) (xy 0 10))))
  (dimension (type aligned) (layer "F.Fab") (pts (xy 0 0) (xy 1 0)))
)
)";

const korvex::Object& Only(const Board& b, korvex::Kind kind, size_t n = 0) {
  return b.objects[b.byKind[kind].at(n)];
}

TEST(KicadBoard, EveryItemBecomesItsEditorObject) {
  std::string summary;
  auto b = ReadKicadBoard(kBoard, "board.kicad_pcb", &summary);

  // Layers: the stack from the file's copper layers, the user name kept.
  EXPECT_EQ(b->layerOrder[0], 1u);
  EXPECT_EQ(b->layerOrder[1], 2u);
  EXPECT_EQ(b->layerOrder[2], 32u);
  EXPECT_EQ(b->layers[2].name, "GND plane");
  EXPECT_EQ(b->unit, 0);

  // The footprint: component at its point and angle, texts and visibility.
  const auto& comp = Only(*b, korvex::kComponent);
  const korvex::Component& c = b->components[comp.data];
  EXPECT_EQ(comp.x, Mm(10));
  EXPECT_EQ(comp.y, Mm(-20));
  EXPECT_EQ(c.rotation, 90);
  EXPECT_EQ(c.pattern, "R_0603");
  EXPECT_TRUE(c.designatorVisible);
  EXPECT_FALSE(c.commentVisible);
  const korvex::Object& des = b->objects[c.designator - 1];
  EXPECT_EQ(b->texts[des.data].text, "R1");
  EXPECT_EQ(des.layer, 33u);
  // (0, -1.5) in the footprint, Y up (0, 1.5), turned 90 degrees: (-1.5, 0).
  EXPECT_EQ(des.x, Mm(10 - 1.5));
  EXPECT_EQ(des.y, Mm(-20));

  // Pads: position through the footprint's frame, shape, corner radius, hole.
  ASSERT_EQ(b->byKind[korvex::kPad].size(), 3u);
  const auto& p1 = Only(*b, korvex::kPad, 0);
  const korvex::Pad& pad1 = b->pads[p1.data];
  EXPECT_EQ(p1.layer, 1u);
  EXPECT_EQ(p1.x, Mm(10));
  EXPECT_EQ(p1.y, Mm(-20 - 0.8));
  EXPECT_EQ(pad1.rotation, 90);
  EXPECT_EQ(pad1.copper.shape[1], korvex::psRoundedRectangle);
  EXPECT_EQ(pad1.copper.crPercent[1], 50);  // a quarter of the smaller side: half of its half
  EXPECT_EQ(pad1.copper.xSize[1], Mm(0.8));
  EXPECT_EQ(pad1.copper.xSize[37], Mm(0.9));  // mask opening: the board's margin on each side
  EXPECT_EQ(pad1.copper.xSize[35], Mm(0.8));
  EXPECT_EQ(pad1.copper.xSize[32], 0);
  const korvex::Pad& pad2 = b->pads[Only(*b, korvex::kPad, 1).data];
  EXPECT_EQ(Only(*b, korvex::kPad, 1).layer, 74u);
  EXPECT_EQ(pad2.hole, Mm(0.6));  // the slot's width
  for (int l : {1, 2, 32, 74}) EXPECT_EQ(pad2.copper.shape[l], korvex::psRound) << l;
  EXPECT_EQ(pad2.copper.ySize[2], Mm(2));
  // The custom pad: its anchor, and its own outline as a region turned with it.
  EXPECT_EQ(b->pads[Only(*b, korvex::kPad, 2).data].copper.shape[1], korvex::psRound);

  // Regions: the custom pad's outline, the filled polygon, the zone's fill.
  ASSERT_EQ(b->byKind[korvex::kRegion].size(), 3u);
  const auto& custom = Only(*b, korvex::kRegion, 0);
  EXPECT_EQ(custom.component, b->byKind[korvex::kComponent][0] + 1);
  const auto& outline = b->regions[custom.data].contours[0].points;
  ASSERT_EQ(outline.size(), 3u);
  // The pad at (0, 2), Y up (0, -2), turned 90: (12, -20); its point (1, 0)
  // turned with the pad: (0, 1).
  EXPECT_EQ(outline[1].x, Mm(12));
  EXPECT_EQ(outline[1].y, Mm(-20 + 1));
  EXPECT_EQ(Only(*b, korvex::kRegion, 2).layer, 32u);
  EXPECT_EQ(b->regions[Only(*b, korvex::kRegion, 2).data].contours[0].points.size(), 4u);

  // A track arc by three points: counter-clockwise from 0 to 180 degrees
  // once Y points up (the middle point (0, -1) is (0, 1) on the board).
  const auto& arc = Only(*b, korvex::kArc, 0);
  EXPECT_EQ(arc.layer, 32u);
  EXPECT_EQ(b->arcs[arc.data].radius, Mm(1));
  EXPECT_NEAR(b->arcs[arc.data].startAngle, 0, 1e-9);
  EXPECT_NEAR(b->arcs[arc.data].endAngle, 180, 1e-9);
  // The Edge.Cuts circle: a full circle on the first mechanical layer.
  const auto& circle = Only(*b, korvex::kArc, 1);
  EXPECT_EQ(circle.layer, 57u);
  EXPECT_EQ(b->arcs[circle.data].endAngle - b->arcs[circle.data].startAngle, 360);

  // The blind via: copper on the two layers it joins only.
  const korvex::Via& via = b->vias[Only(*b, korvex::kVia).data];
  EXPECT_EQ(via.copper.xSize[1], Mm(0.6));
  EXPECT_EQ(via.copper.xSize[2], Mm(0.6));
  EXPECT_EQ(via.copper.xSize[32], 0);
  EXPECT_EQ(via.hole, Mm(0.3));

  // The free text: escapes resolved, height, stroke, mirror.
  bool found = false;
  for (uint32_t i : b->byKind[korvex::kText]) {
    const korvex::Text& t = b->texts[b->objects[i].data];
    if (t.text != "Rev \"A\"") continue;
    found = true;
    EXPECT_EQ(t.height, Mm(2));
    EXPECT_EQ(t.width, Mm(0.3));
    EXPECT_EQ(t.rotation, 45);
    EXPECT_TRUE(t.mirrored);
  }
  EXPECT_TRUE(found);

  EXPECT_EQ(summary,
            "1 slotted holes drawn as round holes of the slot's width, 1 dimensions not drawn");
}

struct Broken {
  const char* name;
  const char* text;
  int line, column;
  const char* message;
};

const Broken kBroken[] = {
    {"older than KiCad 6", "(kicad_pcb (version 20210424)\n)", 1, 21,
     "KiCad file version 20210424 is not read"},
    {"unknown layer", "(kicad_pcb (version 20211014)\n(segment (layer \"F.Cuu\")))", 2, 17,
     "unknown layer \"F.Cuu\""},
    {"not a number", "(kicad_pcb (version 20211014)\n(segment (start 1 x) (layer \"F.Cu\")))", 2,
     19, "expected a number, found 'x'"},
    {"not closed", "(kicad_pcb (version 20211014)\n(segment (start 1 2)", 2, 21,
     "expected ')', found the end of the file"},
    {"cut off inside a list", "(kicad_pcb (version 20211014)\n(segment (start 1 2 3", 2, 22,
     "expected ')', found the end of the file"},
    {"unknown pad shape",
     "(kicad_pcb (version 20211014)\n(footprint \"x\" (at 0 0)\n(pad \"1\" smd star (at 0 0) "
     "(size 1 1) (layers \"F.Cu\"))))",
     3, 6, "unknown pad shape 'star'"},
    {"string not closed", "(kicad_pcb (version 20211014)\n(gr_text \"abc", 2, 10,
     "a string is not closed"},
    {"items before the version", "(kicad_pcb (segment (start 0 0)))", 1, 13,
     "gives no (version ...)"},
};

class BrokenKicad : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenKicad, IsRefusedWithLineColumnAndToken) {
  const Broken& c = GetParam();
  try {
    ReadKicadBoard(c.text, "b.kicad_pcb", nullptr);
    FAIL() << "accepted";
  } catch (const DocumentError& e) {
    EXPECT_EQ(e.line, c.line) << e.what();
    EXPECT_EQ(e.column, c.column) << e.what();
    EXPECT_NE(e.message.find(c.message), std::string::npos) << e.what();
    EXPECT_EQ(e.what().rfind("b.kicad_pcb:", 0), 0u) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(KicadBoard, BrokenKicad, ::testing::ValuesIn(kBroken),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

// The kind of a file is its content: the name says nothing.
TEST(KicadBoard, TheContentTellsTheKindNotTheName) {
  test_support::TempDir tmp;
  const std::filesystem::path& dir = tmp.path();
  {
    std::ofstream(dir / "board.json") << "\n  " << kBoard;
    std::ofstream(dir / "doc.kicad_pcb") << R"({"objects": [{"kind": "track", "layer": 1,
      "from": [0, 0], "to": [10, 0]}]})";
  }
  auto kicad = korvex::OpenBoardFile((dir / "board.json").string());
  EXPECT_EQ(kicad->byKind[korvex::kPad].size(), 3u);
  auto json = korvex::OpenBoardFile((dir / "doc.kicad_pcb").string());
  EXPECT_EQ(json->byKind[korvex::kTrack].size(), 1u);
  EXPECT_FALSE(korvex::IsKicadBoardText("(kicad_pcbx"));
  EXPECT_TRUE(korvex::IsKicadBoardText("\xEF\xBB\xBF\n(kicad_pcb (version 1))"));
}

}  // namespace
