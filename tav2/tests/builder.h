// Builds drawings through the engine's exported functions, the way the
// exporter does, for the tests.
#pragma once

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "abi/tav2.h"

namespace test_support {

using namespace tav2abi;

inline std::string DataFile() {
  return std::string(ORVANTA_SOURCE_DIR) + "/tav2/data/TAVINIT.DAT";
}

struct Records {
  uint8_t header[kEntityHeaderSize];
  uint8_t data[kEntityDataSize];
};

class Builder {
 public:
  explicit Builder(int16_t version = 4) {
    drawing = edaNewFile(0, 0, 0, version);
    uint8_t h[8];
    edaFindBlockheaderByName(drawing, "*MODEL_SPACE", h);
    list = model = edaEntityList(drawing, h);
  }
  ~Builder() {
    if (drawing) edaCloseFile(drawing);
  }

  void Extents(double x0, double y0, double x1, double y1, int16_t units = 0) {
    auto* r = static_cast<uint8_t*>(edaHeaderPointer(drawing));
    Put(r, kHeaderExtMinX, x0);
    Put(r, kHeaderExtMinY, y0);
    Put(r, kHeaderExtMinZ, 0.0);
    Put(r, kHeaderExtMaxX, x1);
    Put(r, kHeaderExtMaxY, y1);
    Put(r, kHeaderExtMaxZ, 0.0);
    Put<int16_t>(r, kHeaderMeasurement, units);
    Put<int16_t>(r, kHeaderTileMode, 1);
  }

  bool AddLayer(const char* name, int16_t color) {
    uint8_t rec[kLayerRecordSize];
    edaSetDefaultLayer(drawing, rec);
    Put<int16_t>(rec, kLayerColor, color);
    std::strncpy(reinterpret_cast<char*>(rec + kLayerName), name, kLayerNameMax);
    edaGenerateObjhandle(drawing, rec + kLayerHandle);
    return edaAddLayer(drawing, rec) != 0;
  }

  uint64_t Layer(const char* name) {
    uint8_t h[8];
    edaFindLayerByName(drawing, name, h);
    return LoadHandle(h);
  }

  // Starts an entity of `type` with the engine's defaults on `layer` (none: "").
  Records& Begin(int16_t type, const char* layer = "") {
    Put<int16_t>(r.header, kEntType, type);
    edaSetEntityDefaults(drawing, r.header, r.data);
    if (*layer) StoreHandle(r.header + kEntLayer, Layer(layer));
    return r;
  }
  int16_t Add() {
    edaGenerateObjhandle(drawing, r.header + kEntHandle);
    return edaAddEntityToList(drawing, list, r.header, r.data);
  }

  int16_t Line(const char* layer, double x1, double y1, double x2, double y2) {
    Begin(kEntLine, layer);
    Put(r.data, kLineX1, x1);
    Put(r.data, kLineY1, y1);
    Put(r.data, kLineX2, x2);
    Put(r.data, kLineY2, y2);
    return Add();
  }
  int16_t Circle(const char* layer, double x, double y, double radius) {
    Begin(kEntCircle, layer);
    Put(r.data, kCircleX, x);
    Put(r.data, kCircleY, y);
    Put(r.data, kCircleRadius, radius);
    return Add();
  }
  int16_t Arc(const char* layer, double x, double y, double radius, double a0, double a1) {
    Begin(kEntArc, layer);
    Put(r.data, kCircleX, x);
    Put(r.data, kCircleY, y);
    Put(r.data, kCircleRadius, radius);
    Put(r.data, kArcStartAngle, a0);
    Put(r.data, kArcEndAngle, a1);
    return Add();
  }
  int16_t Solid(const char* layer, const double (&xy)[8]) {
    Begin(kEntSolid, layer);
    for (int i = 0; i < 4; ++i) {
      Put(r.data, kSolidCorner1 + 24 * i, xy[2 * i]);
      Put(r.data, kSolidCorner1 + 24 * i + 8, xy[2 * i + 1]);
    }
    return Add();
  }
  int16_t Text(const char* layer, double x, double y, double height, double rotation, double width,
               bool mirrored, const char* text) {
    Begin(kEntText, layer);
    Put(r.data, kTextX, x);
    Put(r.data, kTextY, y);
    Put(r.data, kTextHeight, height);
    Put(r.data, kTextRotation, rotation);
    Put(r.data, kTextWidthFactor, width);
    if (mirrored) Put<uint8_t>(r.data, kTextGeneration, 2);
    Put<uint8_t>(r.data, kTextHAlign, 0);
    std::strncpy(reinterpret_cast<char*>(r.data + kTextValue), text, kTextValueMax);
    return Add();
  }
  int16_t Polyline(const char* layer, bool closed, double width,
                   const std::vector<std::array<double, 3>>& pts) {
    Begin(kEntPolyline, layer);
    Put(r.data, kPolylineStartWidth, width);
    Put(r.data, kPolylineEndWidth, width);
    Put<int16_t>(r.data, kPolylineKind, 8);
    Put<int16_t>(r.data, kPolylineClosed, closed ? 1 : 0);
    int16_t ok = Add();
    for (const auto& p : pts) {
      Begin(kEntVertex, layer);
      Put(r.data, kVertexX, p[0]);
      Put(r.data, kVertexY, p[1]);
      Put(r.data, kVertexStartWidth, width);
      Put(r.data, kVertexEndWidth, width);
      Put(r.data, kVertexBulge, p[2]);
      ok &= Add();
    }
    Begin(kEntSeqend);
    return ok & Add();
  }
  bool BeginBlock(const char* name) {
    uint8_t h[8];
    edaFindBlockheaderByName(drawing, name, h);
    if (LoadHandle(h)) return false;
    uint8_t rec[kBlockRecordSize];
    edaSetDefaultBlockheader(rec);
    std::strncpy(reinterpret_cast<char*>(rec + kBlockName), name, kBlockNameMax);
    edaGenerateObjhandle(drawing, rec + kBlockHandle);
    if (!edaAddBlockheader(drawing, rec)) return false;
    uint8_t handle[8];
    std::memcpy(handle, rec + kBlockHandle, 8);
    edaSeekBlockheader(drawing, handle, rec);
    list = Get<int32_t>(rec, kBlockEntityList);
    Begin(kEntBlock);
    std::strncpy(reinterpret_cast<char*>(r.data + kBlockEntName), name, kBlockNameMax);
    return Add() != 0;
  }
  int16_t EndBlock() {
    Begin(kEntEndblk);
    const int16_t ok = Add();
    list = model;
    return ok;
  }
  int16_t Insert(const char* name, double x, double y, double rotation) {
    Begin(kEntInsert);
    Put(r.data, kInsertX, x);
    Put(r.data, kInsertY, y);
    Put(r.data, kInsertRotation, rotation);
    edaFindBlockheaderByName(drawing, name, r.data + kInsertBlock);
    return Add();
  }

  int16_t Save(const std::string& file, uint8_t format, int16_t version) {
    return edaSaveFile(drawing, file.c_str(), format, version, 0, 6, 1, 49);
  }

  int32_t drawing = 0;
  int32_t model = 0;
  int32_t list = 0;
  Records r;
};

}  // namespace test_support
