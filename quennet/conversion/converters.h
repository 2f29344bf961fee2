// The converters: each turns one board object, given by its host handle, into
// drawing entities through the DXF_* emitters. They read the module-level
// export state (options, export layer set, placement context) and keep none of
// their own, except the block counter, which lives as long as the module.
//
// All lengths are PCB units (10,000,000 per inch), coordinates signed 32-bit.
// Angles handed between converters are degrees; DrawArc converts them to
// radians for the emitters. Layers are TV7_Layer values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quennet {

class TPoints;
class TPcbComponent;
class TPcbText;

// --- Handlers of the board traversal -------------------------------------

void ConvertTrack(uint32_t handle);
void ConvertArc(uint32_t handle);
void ConvertFill(uint32_t handle);
void ConvertVia(uint32_t handle);
void ConvertPad(uint32_t handle);
void ConvertText(uint32_t handle);
void ConvertRegion(uint32_t handle);
void ConvertComponent(uint32_t handle);

// --- Shared drawing routines ---------------------------------------------

// Whether the object is drawn with hairline entities instead of wide ones.
bool UseZeroWidth(uint32_t handle);

// One LINE per edge of the closed outline through the points; nothing for an
// empty list.
void DrawOutlineLines(const TPoints& points, uint32_t layer);

// Points 0 and 1 are opposite corners; the rectangle is turned about its
// centre by angle (degrees) and written as one SOLID, or four LINEs when
// outline is set.
void DrawRotatedRect(const TPoints& corners, uint32_t layer, bool outline, double angle);

// Point 0 is the centre; R the radius, W the line width, A and B the start
// and end angles in degrees (counter-clockwise from A to B).
void DrawArc(const TPoints& centre, int32_t R, int32_t W, double A, double B, uint32_t layer,
             bool zero);

// Angles in radians: true when A and B are a whole number of turns apart to
// within 1/10000 of a turn.
bool IsFullCircle(double A, double B);

// End points of a wide arc, angles in radians. p0 is the END point and p1 the
// start point, unless full is set, then they are (X + R, Y) and (X - R, Y).
struct TArcEnds {
  int32_t x0, y0;  // first vertex of the polyline
  int32_t x1, y1;  // second vertex
  double bulge;    // tan(sweep / 4)
  bool full;
};
TArcEnds ArcEndPoints(double X, double Y, double R, double A, double B);
// The same, appending the two points to list (the form DXF_AddWidePolyArc takes).
void ArcEndPoints(double X, double Y, double R, double A, double B, TPoints& list, double& bulge,
                  bool& full);

// --- Texts ------------------------------------------------------------------

// The string a free text writes: ".PRINT_SCALE" replaced, special strings
// resolved by the host; at most 255 characters.
std::string ResolveTextString(const TPcbText& text);

// One TEXT at point 0 of the list; angle in radians.
void EmitText(const TPoints& point, int32_t height, int32_t v, double widthFactor, double angle,
              bool mirrored, std::string_view s, uint32_t layer);

// --- Components and blocks ----------------------------------------------------

// Characters outside 0-9, A-Z and "_" become "_".
std::string SanitizeBlockName(std::string_view name);

// The block name of the component for the current block counter: Pattern,
// "_B" for components off the top layer, "_" and the counter; cut to 255
// characters and sanitised.
std::string BlockName(const TPcbComponent& component);

// Raises the block counter, begins the component's block and sets the
// placement context to the component's frame. blockName receives the name the
// block was begun under (which the insert must use); the result tells whether
// a new block was begun.
bool BeginComponentBlock(const TPcbComponent& component, std::string& blockName);

// The designator and comment texts of a component, as free texts.
void DrawComponentTexts(const TPcbComponent& component);

// The block counter: 0 when the module is loaded, raised for every block
// begun, never reset by an export run.
int32_t BlockCounter();
// Only for tests that need a known starting number.
void SetBlockCounter(int32_t value);

}  // namespace quennet
