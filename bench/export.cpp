// Entities per second through the emitters into the real drawing engine:
// layer lookup, unit conversion, record filling and the engine's append, and
// separately the same drawing saved as DXF R12.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "quennet/drawing/document.h"
#include "quennet/drawing/emitters.h"
#include "quennet/drawing/points.h"
#include "quennet/drawing/tav2_binding.h"

namespace {

using namespace quennet;

constexpr TV7_Layer kLayers[] = {1, 32, 33, 74};
const std::string kTarget =
    (std::filesystem::temp_directory_path() / "quennet_bench_export.dxf").string();

struct Engine {
  Engine() {
    Tav2::Load(std::string(ORVANTA_BIN_DIR) + "/libtav2.so");
    const std::string data = std::string(ORVANTA_BIN_DIR) + "/TAVINIT.DAT";
    ok = Tav2::Loaded() && DXF_InitEngine(data.c_str());
  }
  ~Engine() { DXF_CloseEngine(); }
  bool ok = false;
};

Engine& TheEngine() {
  static Engine engine;
  return engine;
}

void NewDrawing() {
  DXF_CreateDrawing(kTarget.c_str(), 4, 0, 0, 0, 100000000, 100000000);
  const uint16_t colours[] = {1, 5, 2, 9};
  for (int i = 0; i < 4; ++i) DXF_AddLayer(kLayers[i], colours[i]);
}

void DropDrawing() {
  Tav2::Api().edaCloseFile(static_cast<int32_t>(DXF_CurrentDrawing()));
}

// A board-like mix: per step a line, an arc, a donut (pad: polyline, two
// vertices, seqend), a text and a four-point outline polyline: 13 entities.
constexpr int kEntitiesPerStep = 13;

void EmitStep(int i, TPoints& outline) {
  const double x = (i % 1000) * 100000.0, y = (i / 1000) * 100000.0;
  const TV7_Layer layer = kLayers[i & 3];
  DXF_AddLine(layer, x, y, x + 50000, y + 25000, 0);
  DXF_AddArc(layer, x, y, 30000, 0.5, 2.5, 0);
  DXF_AddDonut(static_cast<int32_t>(x), static_cast<int32_t>(y), 600000, 300000, 74);
  DXF_AddText(static_cast<int32_t>(x), static_cast<int32_t>(y), 600000, 1.0, 100000, 0.0, false,
              "R123", 33);
  outline.Clear();
  outline.Add(static_cast<int32_t>(x), static_cast<int32_t>(y));
  outline.Add(static_cast<int32_t>(x) + 40000, static_cast<int32_t>(y));
  outline.Add(static_cast<int32_t>(x) + 40000, static_cast<int32_t>(y) + 40000);
  outline.Add(static_cast<int32_t>(x), static_cast<int32_t>(y) + 40000);
  DXF_AddPolyline(outline, layer, true, 10000, 0);
}

void BM_EmitIntoEngine(benchmark::State& state) {
  if (!TheEngine().ok) {
    state.SkipWithError("drawing engine not available");
    return;
  }
  const int steps = static_cast<int>(state.range(0));
  TPoints outline(64);
  for (auto _ : state) {
    state.PauseTiming();
    NewDrawing();
    state.ResumeTiming();
    for (int i = 0; i < steps; ++i) EmitStep(i, outline);
    state.PauseTiming();
    DropDrawing();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * steps * kEntitiesPerStep);
}
BENCHMARK(BM_EmitIntoEngine)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_EmitAndSaveDxfR12(benchmark::State& state) {
  if (!TheEngine().ok) {
    state.SkipWithError("drawing engine not available");
    return;
  }
  const int steps = static_cast<int>(state.range(0));
  TPoints outline(64);
  for (auto _ : state) {
    NewDrawing();
    for (int i = 0; i < steps; ++i) EmitStep(i, outline);
    if (!DXF_SaveDrawing(4, 1)) state.SkipWithError(DXF_EngineError().c_str());
  }
  state.SetItemsProcessed(state.iterations() * steps * kEntitiesPerStep);
  std::error_code ec;
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(kTarget, ec));
  std::remove(kTarget.c_str());
}
BENCHMARK(BM_EmitAndSaveDxfR12)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
