// Entity emitters: the only way converters put geometry into the drawing.
// Every coordinate and length is in PCB units and is converted with
// ToDrawingUnits; angles, bulges and width factors pass unchanged unless a
// function says otherwise. Entities go to the current entity list: model
// space, or the block opened by DXF_BeginBlock.
#pragma once

#include <cstdint>

#include "quennet/drawing/points.h"

namespace quennet {

using TV7_Layer = uint32_t;

// Plain entities. `trailing` is stored unconverted in the entity header;
// every caller passes 0.
void DXF_AddLine(TV7_Layer layer, double x1, double y1, double x2, double y2, double trailing);
void DXF_AddCircle(TV7_Layer layer, double cx, double cy, double radius, double trailing);
// Angles in radians.
void DXF_AddArc(TV7_Layer layer, double cx, double cy, double radius, double startAngle,
                double endAngle, double trailing);
// Exactly four points in outline order P0..P3.
void DXF_AddSolid(const TPoints* points, TV7_Layer layer);
// Rotation in radians; the stroke width is accepted and not used.
void DXF_AddText(int32_t x, int32_t y, int32_t height, double widthFactor, int32_t strokeWidth,
                 double rotation, bool mirrored, const char* text, TV7_Layer layer);

// Polylines: BeginPolyline, AddVertex..., EndPolyline with nothing in between.
void DXF_BeginPolyline(TV7_Layer layer, bool closed, double width);
void DXF_AddVertex(TV7_Layer layer, double x, double y, double width, double bulge);
void DXF_EndPolyline();
// One vertex per point, each with the same width and bulge. Returns true.
bool DXF_AddPolyline(const TPoints& points, TV7_Layer layer, bool closed, double width,
                     double bulge);
// A ring (or a filled disc when inner is 0) as a closed polyline of two half
// circles; integer arithmetic with truncating halvings.
void DXF_AddDonut(int32_t x, int32_t y, int32_t outerDiameter, int32_t innerDiameter,
                  TV7_Layer layer);
// Uses the first two points. full: a closed ring whose centre line is the
// circle on P0 P1; otherwise one wide arc segment P0 -> P1 with bulge -bulge.
void DXF_AddWidePolyArc(const TPoints& points, int32_t width, TV7_Layer layer, double bulge,
                        bool full);

// Blocks. BeginBlock refuses (returns false, writes nothing) a name the
// drawing already has. Blocks do not nest: EndBlock returns to model space.
bool DXF_BeginBlock(const char* name);
void DXF_EndBlock();
// Rotation in degrees.
void DXF_InsertBlock(int32_t x, int32_t y, const char* name, double rotation);

}  // namespace quennet
