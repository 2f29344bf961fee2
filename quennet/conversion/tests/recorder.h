// Records what the converters hand to the emitters, one line per call, with
// every number printed so that it reads back exactly (shortest round trip).
#pragma once

#include <charconv>
#include <string>
#include <vector>

#include "quennet/conversion/emit.h"
#include "quennet/driver/state.h"
#include "quennet/options/options.h"

namespace test_support {

using namespace quennet;

inline std::string Num(double v) {
  if (v == static_cast<double>(static_cast<int64_t>(v)) && v > -1e15 && v < 1e15)
    return std::to_string(static_cast<int64_t>(v));
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

class TRecorder final : public TEmitterSink {
 public:
  TRecorder() { previous_ = SetEmitterSink(this); }
  ~TRecorder() override { SetEmitterSink(previous_); }
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  std::vector<std::string> calls;
  // Names a BeginBlock refuses, as a drawing that has them already would.
  std::vector<std::string> existingBlocks;

  void AddLine(uint32_t layer, double x1, double y1, double x2, double y2,
               double trailing) override {
    Put("LINE", layer, {x1, y1, x2, y2, trailing});
  }
  void AddCircle(uint32_t layer, double cx, double cy, double radius, double trailing) override {
    Put("CIRCLE", layer, {cx, cy, radius, trailing});
  }
  void AddArc(uint32_t layer, double cx, double cy, double radius, double a, double b,
              double trailing) override {
    Put("ARC", layer, {cx, cy, radius, a, b, trailing});
  }
  void AddSolid(const TPoints& p, uint32_t layer) override { Put("SOLID", layer, Points(p)); }
  void AddText(int32_t x, int32_t y, int32_t height, double widthFactor, int32_t strokeWidth,
               double rotation, bool mirrored, const char* text, uint32_t layer) override {
    Put("TEXT", layer,
        {double(x), double(y), double(height), widthFactor, double(strokeWidth), rotation,
         double(mirrored)},
        text);
  }
  void AddPolyline(const TPoints& p, uint32_t layer, bool closed, double width,
                   double bulge) override {
    std::vector<double> v{double(closed), width, bulge};
    for (double d : Points(p)) v.push_back(d);
    Put("PLINE", layer, v);
  }
  void AddDonut(int32_t x, int32_t y, int32_t outer, int32_t inner, uint32_t layer) override {
    Put("DONUT", layer, {double(x), double(y), double(outer), double(inner)});
  }
  void AddWidePolyArc(const TPoints& p, int32_t width, uint32_t layer, double bulge,
                      bool full) override {
    Put("WARC", layer,
        {double(p.GetX(0)), double(p.GetY(0)), double(p.GetX(1)), double(p.GetY(1)), double(width),
         bulge, double(full)});
  }
  void AddBulgePolyline(const TPoints& p, const double* bulges, uint32_t layer,
                        bool closed) override {
    std::vector<double> v{double(closed)};
    for (int32_t i = 0; i < p.Count; ++i) {
      v.push_back(p.GetX(i));
      v.push_back(p.GetY(i));
      v.push_back(bulges[i]);
    }
    Put("BPLINE", layer, v);
  }
  bool BeginBlock(const char* name) override {
    for (const auto& n : existingBlocks)
      if (n == name) {
        calls.push_back(std::string("BLOCK refused ") + name);
        return false;
      }
    existingBlocks.push_back(name);
    calls.push_back(std::string("BLOCK ") + name);
    return true;
  }
  void EndBlock() override { calls.push_back("ENDBLK"); }
  void InsertBlock(int32_t x, int32_t y, const char* name, double rotation) override {
    calls.push_back("INSERT " + Num(x) + " " + Num(y) + " " + name + " " + Num(rotation));
  }

 private:
  static std::vector<double> Points(const TPoints& p) {
    std::vector<double> v;
    for (int32_t i = 0; i < p.Count; ++i) {
      v.push_back(p.GetX(i));
      v.push_back(p.GetY(i));
    }
    return v;
  }
  void Put(const char* what, uint32_t layer, const std::vector<double>& v,
           const char* text = nullptr) {
    std::string s = std::string(what) + " L" + std::to_string(layer);
    for (double d : v) s += " " + Num(d);
    if (text) s += std::string(" \"") + text + "\"";
    calls.push_back(std::move(s));
  }

  TEmitterSink* previous_ = nullptr;
};

// Options and placement as a test sets them, restored afterwards.
class TExportStateGuard {
 public:
  TExportStateGuard() : options_(ExportOptions()), placement_(Placement()) {
    ExportOptions() = TExportOptions{};
    Placement() = TPlacement{};
  }
  ~TExportStateGuard() {
    ExportOptions() = options_;
    Placement() = placement_;
  }

 private:
  TExportOptions options_;
  TPlacement placement_;
};

}  // namespace test_support
