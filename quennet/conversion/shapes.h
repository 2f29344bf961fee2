// The geometry of every converter, on plain values already read from the
// board. The Convert* handlers read an object and call these; keeping the two
// apart lets every construction be checked without a host.
//
// Points named P are already in the placement frame. Layers are TV7_Layer.
#pragma once

#include <cstdint>
#include <string_view>

namespace abi {
struct TPcbApiContourPoints;
}

namespace quennet {

class TPoints;

// Offset subtracted, then the placement rotation about (0, 0).
void ApplyPlacement(TPoints& list);

// Tracks: list holds both ends in the placement frame.
void DrawTrackShape(const TPoints& ends, int32_t width, uint32_t layer, bool zero);

// Arcs: centre in board coordinates, angles in degrees.
void DrawArcShape(int32_t x, int32_t y, int32_t radius, int32_t width, double startAngle,
                  double endAngle, uint32_t layer, bool zero);

// Pads and vias (sizes and holes in PCB units, prot in degrees). DrawPadShape
// draws the round, rectangular, octagonal and rounded-rectangle shapes
// (TPadShape 1..3 and 9); reliefs need the host's rule values (DrawRelief);
// any other shape is counted as not drawn (undrawn.h).
void DrawPadShape(int32_t px, int32_t py, uint8_t shape, int32_t sx, int32_t sy, int32_t hole,
                  double prot, uint32_t layer, bool zero, int32_t cornerRadius = 0);
// The rectangle sx by sy with its corners rounded by r (cut to half the
// smaller side): a closed polyline whose corner vertices carry the quarter
// circle's bulge, or its lines and arcs with zero width. HoleMode 2 adds the
// hole's circle inside it.
void DrawRoundedRectPad(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t r, int32_t hole,
                        double prot, uint32_t layer, bool zero);
void DrawRoundPad(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole, double prot,
                  uint32_t layer, bool zero);
void DrawCirclePad(int32_t px, int32_t py, int32_t d, int32_t hole, uint32_t layer, bool zero);
void DrawObroundPad(int32_t px, int32_t py, int32_t sx, int32_t sy, double prot, uint32_t layer,
                    bool zero);
void DrawRectPad(int32_t px, int32_t py, int32_t sx, int32_t sy, double prot, uint32_t layer,
                 bool zero);
void DrawOctagonPad(int32_t px, int32_t py, int32_t sx, int32_t sy, double prot, uint32_t layer,
                    bool zero);
// A ring of wide arcs of width w (the air gap) broken by n spokes of width g
// (the conductor width); r0 is the radius the ring's centre line keeps from
// the centre less half the air gap.
void DrawRelief(int32_t cx, int32_t cy, int32_t r0, int32_t w, int32_t g, int32_t n,
                uint32_t layer);
// Angular half-width in whole degrees of each gap between relief arcs, and
// the ring's radius.
int32_t ReliefRadius(int32_t r0, int32_t w);
int32_t ReliefGapDegrees(int32_t r, int32_t w, int32_t g);
void DrawViaOnLayer(int32_t px, int32_t py, int32_t d, int32_t hole, uint32_t layer, bool zero);

// Holes: on a hole layer (HoleMode 1), and the shapes left open (HoleMode 2).
void DrawHole(int32_t x, int32_t y, int32_t hole, double angle, uint32_t layer, bool zero);
void DrawObroundPadWithHole(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole,
                            double prot, uint32_t layer, bool zero);
void DrawRectPadWithHole(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole, double prot,
                         uint32_t layer, bool zero);
void DrawOctagonPadWithHole(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole,
                            double prot, uint32_t layer, bool zero);

// Fills: two opposite corners of the unrotated rectangle in board coordinates.
void DrawFillShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double rotation, uint32_t layer,
                   bool zero);

// Regions: the list is cleared and filled with the contour's points, rounded
// to the nearest unit (ties to even).
void ContourToPoints(const abi::TPcbApiContourPoints* contour, TPoints* list);
// Brings one contour (board coordinates) into the placement frame and writes
// its edges.
void DrawRegionContour(TPoints& list, uint32_t layer);

// Texts: position and rotation in board coordinates.
void DrawTextShape(int32_t x, int32_t y, int32_t size, int32_t textAttr, double rotation,
                   bool mirrored, std::string_view s, uint32_t layer);

}  // namespace quennet
