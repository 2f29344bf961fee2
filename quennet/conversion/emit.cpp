#include "quennet/conversion/emit.h"

#include "quennet/drawing/emitters.h"

namespace quennet {

namespace {

class TDrawingSink final : public TEmitterSink {
 public:
  void AddLine(uint32_t layer, double x1, double y1, double x2, double y2,
               double trailing) override {
    DXF_AddLine(layer, x1, y1, x2, y2, trailing);
  }
  void AddCircle(uint32_t layer, double cx, double cy, double radius, double trailing) override {
    DXF_AddCircle(layer, cx, cy, radius, trailing);
  }
  void AddArc(uint32_t layer, double cx, double cy, double radius, double startAngle,
              double endAngle, double trailing) override {
    DXF_AddArc(layer, cx, cy, radius, startAngle, endAngle, trailing);
  }
  void AddSolid(const TPoints& points, uint32_t layer) override { DXF_AddSolid(&points, layer); }
  void AddText(int32_t x, int32_t y, int32_t height, double widthFactor, int32_t strokeWidth,
               double rotation, bool mirrored, const char* text, uint32_t layer) override {
    DXF_AddText(x, y, height, widthFactor, strokeWidth, rotation, mirrored, text, layer);
  }
  void AddPolyline(const TPoints& points, uint32_t layer, bool closed, double width,
                   double bulge) override {
    DXF_AddPolyline(points, layer, closed, width, bulge);
  }
  void AddDonut(int32_t x, int32_t y, int32_t outer, int32_t inner, uint32_t layer) override {
    DXF_AddDonut(x, y, outer, inner, layer);
  }
  void AddWidePolyArc(const TPoints& points, int32_t width, uint32_t layer, double bulge,
                      bool full) override {
    DXF_AddWidePolyArc(points, width, layer, bulge, full);
  }
  void AddBulgePolyline(const TPoints& points, const double* bulges, uint32_t layer,
                        bool closed) override {
    DXF_BeginPolyline(layer, closed, 0);
    for (int32_t i = 0; i < points.Count; ++i)
      DXF_AddVertex(layer, points.GetX(i), points.GetY(i), 0, bulges[i]);
    DXF_EndPolyline();
  }
  bool BeginBlock(const char* name) override { return DXF_BeginBlock(name); }
  void EndBlock() override { DXF_EndBlock(); }
  void InsertBlock(int32_t x, int32_t y, const char* name, double rotation) override {
    DXF_InsertBlock(x, y, name, rotation);
  }
};

TDrawingSink gDrawing;
TEmitterSink* gSink = &gDrawing;

}  // namespace

TEmitterSink& Emit() {
  return *gSink;
}

TEmitterSink* SetEmitterSink(TEmitterSink* sink) {
  TEmitterSink* previous = gSink;
  gSink = sink ? sink : &gDrawing;
  return previous;
}

}  // namespace quennet
