// Where the converters' entities go. In an export every call goes straight to
// the DXF_* emitter of the same name; tests put a recorder in between so that
// what a converter writes can be compared call by call, exactly.
#pragma once

#include <cstdint>

#include "quennet/drawing/points.h"

namespace quennet {

class TEmitterSink {
 public:
  virtual ~TEmitterSink() = default;
  virtual void AddLine(uint32_t layer, double x1, double y1, double x2, double y2,
                       double trailing) = 0;
  virtual void AddCircle(uint32_t layer, double cx, double cy, double radius, double trailing) = 0;
  virtual void AddArc(uint32_t layer, double cx, double cy, double radius, double startAngle,
                      double endAngle, double trailing) = 0;
  virtual void AddSolid(const TPoints& points, uint32_t layer) = 0;
  virtual void AddText(int32_t x, int32_t y, int32_t height, double widthFactor,
                       int32_t strokeWidth, double rotation, bool mirrored, const char* text,
                       uint32_t layer) = 0;
  virtual void AddPolyline(const TPoints& points, uint32_t layer, bool closed, double width,
                           double bulge) = 0;
  virtual void AddDonut(int32_t x, int32_t y, int32_t outer, int32_t inner, uint32_t layer) = 0;
  virtual void AddWidePolyArc(const TPoints& points, int32_t width, uint32_t layer, double bulge,
                              bool full) = 0;
  // A zero-width polyline whose vertex i carries bulges[i].
  virtual void AddBulgePolyline(const TPoints& points, const double* bulges, uint32_t layer,
                                bool closed) = 0;
  virtual bool BeginBlock(const char* name) = 0;
  virtual void EndBlock() = 0;
  virtual void InsertBlock(int32_t x, int32_t y, const char* name, double rotation) = 0;
};

// The sink in use: the drawing's emitters unless a test installed another.
TEmitterSink& Emit();
// nullptr restores the drawing's emitters. Returns the sink that was in use.
TEmitterSink* SetEmitterSink(TEmitterSink* sink);

}  // namespace quennet
