#include "quennet/drawing/emitters.h"

#include <cstring>
#include <numbers>
#include <string>

#include "abi/tav2.h"
#include "layers/rtl_errors.h"
#include "quennet/drawing/document.h"
#include "quennet/drawing/tav2_binding.h"

namespace quennet {

namespace {

using namespace tav2abi;

constexpr const char* kUnit = "DXFInterface";

// The two records of one entity live only for the call and are filled in
// place: an emitter allocates nothing.
struct TEntityRecords {
  alignas(8) uint8_t header[kEntityHeaderSize];
  alignas(8) uint8_t data[kEntityDataSize];
};

// Handle of the block header DXF_BeginBlock created last.
uint64_t gCurrentBlock = 0;

void PutDU(uint8_t* rec, size_t off, double pcb) {
  Put<double>(rec, off, ToDrawingUnits(pcb));
}

void PutText(uint8_t* rec, size_t off, const char* text, size_t max) {
  const size_t n = text ? strnlen(text, max) : 0;
  if (n) std::memcpy(rec + off, text, n);
  rec[off + n] = 0;
}

// Writes one entity: defaults, the type's fields, the layer (an unknown
// layer throws before anything is appended), a fresh handle, then the list.
template <class Fill>
void WriteEntity(int16_t type, bool hasLayer, TV7_Layer layer, Fill&& fill) {
  const Tav2::TTav2Api& api = Tav2::Api();
  const int32_t drawing = static_cast<int32_t>(DXF_CurrentDrawing());
  // The engine clears both records when it sets the defaults; clearing them
  // here as well doubled the cost of every entity (3 KB each).
  TEntityRecords r;
  Put<int16_t>(r.header, kEntType, type);
  if (!api.edaSetEntityDefaults(drawing, r.header, r.data))
    AssertionFailure("the drawing engine has no defaults for entity type " + std::to_string(type),
                     kUnit, 48);
  fill(r.header, r.data);
  if (hasLayer) StoreHandle(r.header + kEntLayer, DXF_LayerHandle(layer));
  api.edaGenerateObjhandle(drawing, r.header + kEntHandle);
  api.edaAddEntityToList(drawing, static_cast<int32_t>(DXF_CurrentEntityList()), r.header, r.data);
}

void UseModelSpace() {
  const Tav2::TTav2Api& api = Tav2::Api();
  const int32_t drawing = static_cast<int32_t>(DXF_CurrentDrawing());
  uint8_t handle[8] = {};
  api.edaFindBlockheaderByName(drawing, "*MODEL_SPACE", handle);
  DXF_SetCurrentEntityList(static_cast<uint32_t>(api.edaEntityList(drawing, handle)));
}

}  // namespace

void DXF_AddLine(TV7_Layer layer, double x1, double y1, double x2, double y2, double trailing) {
  WriteEntity(kEntLine, true, layer, [&](uint8_t* h, uint8_t* d) {
    PutDU(d, kLineX1, x1);
    PutDU(d, kLineY1, y1);
    Put<double>(d, kLineZ1, 0.0);
    PutDU(d, kLineX2, x2);
    PutDU(d, kLineY2, y2);
    Put<double>(d, kLineZ2, 0.0);
    Put<double>(h, kEntThickness, trailing);
  });
}

void DXF_AddCircle(TV7_Layer layer, double cx, double cy, double radius, double trailing) {
  WriteEntity(kEntCircle, true, layer, [&](uint8_t* h, uint8_t* d) {
    PutDU(d, kCircleX, cx);
    PutDU(d, kCircleY, cy);
    Put<double>(d, kCircleZ, 0.0);
    PutDU(d, kCircleRadius, radius);
    Put<double>(h, kEntThickness, trailing);
  });
}

void DXF_AddArc(TV7_Layer layer, double cx, double cy, double radius, double startAngle,
                double endAngle, double trailing) {
  WriteEntity(kEntArc, true, layer, [&](uint8_t* h, uint8_t* d) {
    PutDU(d, kCircleX, cx);
    PutDU(d, kCircleY, cy);
    Put<double>(d, kCircleZ, 0.0);
    PutDU(d, kCircleRadius, radius);
    Put<double>(d, kArcStartAngle, startAngle);
    Put<double>(d, kArcEndAngle, endAngle);
    Put<double>(h, kEntThickness, trailing);
  });
}

void DXF_AddSolid(const TPoints* points, TV7_Layer layer) {
  if (points == nullptr) AssertionFailure("", kUnit, 392);
  if (points->Count != 4) AssertionFailure("", kUnit, 393);
  // Outline order P0 P1 P2 P3 becomes the solid's zig-zag corner order.
  static constexpr int kOrder[4] = {0, 1, 3, 2};
  static constexpr size_t kCorner[4] = {kSolidCorner1, kSolidCorner2, kSolidCorner3, kSolidCorner4};
  WriteEntity(kEntSolid, true, layer, [&](uint8_t*, uint8_t* d) {
    for (int c = 0; c < 4; ++c) {
      PutDU(d, kCorner[c], points->GetX(kOrder[c]));
      PutDU(d, kCorner[c] + 8, points->GetY(kOrder[c]));
      Put<double>(d, kCorner[c] + 16, 0.0);
    }
  });
}

void DXF_AddText(int32_t x, int32_t y, int32_t height, double widthFactor, int32_t strokeWidth,
                 double rotation, bool mirrored, const char* text, TV7_Layer layer) {
  WriteEntity(kEntText, true, layer, [&](uint8_t*, uint8_t* d) {
    PutDU(d, kTextX, x);
    PutDU(d, kTextY, y);
    Put<double>(d, kTextZ, 0.0);
    PutDU(d, kTextHeight, height);
    Put<double>(d, kTextRotation, rotation);
    Put<double>(d, kTextWidthFactor, widthFactor);
    if (mirrored) d[kTextGeneration] = 2;
    d[kTextHAlign] = 0;
    PutText(d, kTextValue, text, kTextValueMax);
  });
}

void DXF_BeginPolyline(TV7_Layer layer, bool closed, double width) {
  WriteEntity(kEntPolyline, true, layer, [&](uint8_t*, uint8_t* d) {
    PutDU(d, kPolylineStartWidth, width);
    PutDU(d, kPolylineEndWidth, width);
    Put<int16_t>(d, kPolylineKind, 8);
    Put<int16_t>(d, kPolylineClosed, closed ? 1 : 0);
  });
}

void DXF_AddVertex(TV7_Layer layer, double x, double y, double width, double bulge) {
  WriteEntity(kEntVertex, true, layer, [&](uint8_t*, uint8_t* d) {
    PutDU(d, kVertexX, x);
    PutDU(d, kVertexY, y);
    Put<double>(d, kVertexZ, 0.0);
    PutDU(d, kVertexStartWidth, width);
    PutDU(d, kVertexEndWidth, width);
    Put<double>(d, kVertexBulge, bulge);
  });
}

void DXF_EndPolyline() {
  WriteEntity(kEntSeqend, false, 0, [](uint8_t*, uint8_t*) {});
}

bool DXF_AddPolyline(const TPoints& points, TV7_Layer layer, bool closed, double width,
                     double bulge) {
  DXF_BeginPolyline(layer, closed, width);
  for (int32_t i = 0; i < points.Count; ++i) {
    DXF_AddVertex(layer, points.GetX(i), points.GetY(i), width, bulge);
  }
  DXF_EndPolyline();
  return true;
}

void DXF_AddDonut(int32_t x, int32_t y, int32_t outerDiameter, int32_t innerDiameter,
                  TV7_Layer layer) {
  // Integer halvings truncate toward zero, exactly as pads were always drawn.
  // 64-bit intermediates keep extreme diameters from overflowing.
  int64_t outer = outerDiameter;
  int64_t inner = innerDiameter;
  if (inner > outer) {
    outer = inner;
    inner = 0;
  }
  const int64_t w = (outer - inner) / 2;
  DXF_BeginPolyline(layer, true, static_cast<double>(w));
  const int64_t r = (outer - w) / 2;
  DXF_AddVertex(layer, static_cast<double>(x - r), y, static_cast<double>(w), 1.0);
  DXF_AddVertex(layer, static_cast<double>(x + r), y, static_cast<double>(w), 1.0);
  DXF_EndPolyline();
}

void DXF_AddWidePolyArc(const TPoints& points, int32_t width, TV7_Layer layer, double bulge,
                        bool full) {
  // Read both points first: fewer than two is the point list's assertion,
  // raised before anything is written.
  const double x0 = points.GetX(0), y0 = points.GetY(0);
  const double x1 = points.GetX(1), y1 = points.GetY(1);
  if (full) {
    DXF_BeginPolyline(layer, true, width);
    DXF_AddVertex(layer, x0, y0, width, 1.0);
    DXF_AddVertex(layer, x1, y1, width, 1.0);
  } else {
    DXF_BeginPolyline(layer, false, width);
    DXF_AddVertex(layer, x0, y0, width, -bulge);
    DXF_AddVertex(layer, x1, y1, width, 0.0);
  }
  DXF_EndPolyline();
}

bool DXF_BeginBlock(const char* name) {
  const Tav2::TTav2Api& api = Tav2::Api();
  const int32_t drawing = static_cast<int32_t>(DXF_CurrentDrawing());
  uint8_t existing[8] = {};
  api.edaFindBlockheaderByName(drawing, name, existing);
  if (LoadHandle(existing) != 0) return false;

  alignas(8) uint8_t record[kBlockRecordSize];
  std::memset(record, 0, sizeof record);
  api.edaSetDefaultBlockheader(record);
  record[kBlockFlags] = 0;
  PutText(record, kBlockName, name, kBlockNameMax);
  record[kBlockXref] = 0;
  Put<int16_t>(record, kBlockLayoutIndex, -1);
  api.edaGenerateObjhandle(drawing, record + kBlockHandle);
  record[kBlockHasAttributes] = 0;
  Put<int32_t>(record, kBlockInsertCount, 0);
  Put<int32_t>(record, kBlockPreviewSize, 0);
  Put<int32_t>(record, kBlockXrefPathLen, 0);
  api.edaAddBlockheader(drawing, record);

  gCurrentBlock = LoadHandle(record + kBlockHandle);
  uint8_t handle[8];
  StoreHandle(handle, gCurrentBlock);
  api.edaSeekBlockheader(drawing, handle, record);
  DXF_SetCurrentEntityList(static_cast<uint32_t>(Get<int32_t>(record, kBlockEntityList)));

  WriteEntity(kEntBlock, false, 0,
              [&](uint8_t*, uint8_t* d) { PutText(d, kBlockEntName, name, kBlockNameMax); });
  return true;
}

void DXF_EndBlock() {
  WriteEntity(kEntEndblk, false, 0, [](uint8_t*, uint8_t*) {});
  UseModelSpace();
}

void DXF_InsertBlock(int32_t x, int32_t y, const char* name, double rotation) {
  const Tav2::TTav2Api& api = Tav2::Api();
  const int32_t drawing = static_cast<int32_t>(DXF_CurrentDrawing());
  WriteEntity(kEntInsert, false, 0, [&](uint8_t*, uint8_t* d) {
    Put<int16_t>(d, kInsertAttribsFollow, 0);
    PutDU(d, kInsertX, x);
    PutDU(d, kInsertY, y);
    Put<double>(d, kInsertZ, 0.0);
    Put<double>(d, kInsertScaleX, 1.0);
    Put<double>(d, kInsertScaleY, 1.0);
    Put<double>(d, kInsertScaleZ, 1.0);
    Put<double>(d, kInsertRotation,
                static_cast<double>(static_cast<long double>(rotation) *
                                    std::numbers::pi_v<long double> / 180.0L));
    Put<double>(d, kInsertColumnSpacing, 0.0);
    Put<double>(d, kInsertRowSpacing, 0.0);
    Put<int16_t>(d, kInsertColumns, 1);
    Put<int16_t>(d, kInsertRows, 1);
    api.edaFindBlockheaderByName(drawing, name, d + kInsertBlock);
  });
}

}  // namespace quennet
