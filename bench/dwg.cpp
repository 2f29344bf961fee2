// DWG writing against DXF writing of the same drawing, in entities per
// second, through the engine's save call (file written and renamed).
//
//   bench_dwg [--benchmark_filter=Board]
//
// Board/<format>/<release> saves a board-like drawing: lines, circles and arcs
// with two-vertex wide polylines (tracks) in between; format 0 is DWG, 1 DXF;
// releases 0 (V2.5), 4 (R11/R12), 5 (R13) and 6 (R14).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "abi/tav2.h"

namespace {

using namespace tav2abi;

struct Engine {
  Engine() {
    int32_t out;
    const std::string data = std::string(ORVANTA_SOURCE_DIR) + "/tav2/data/TAVINIT.DAT";
    if (!edaInitAd2(data.c_str(), 0, &out)) {
      std::fprintf(stderr, "bench_dwg: %s\n", edaGetLastError());
      std::exit(1);
    }
    char dir[] = "/tmp/bench_dwg-XXXXXX";
    if (!mkdtemp(dir)) std::exit(1);
    folder = dir;
  }
  ~Engine() {
    std::remove((folder + "/out").c_str());
    rmdir(folder.c_str());
  }
  std::string folder;
};

Engine& TheEngine() {
  static Engine e;
  return e;
}

// A drawing of `count` entities; every fourth is a wide two-vertex polyline.
int32_t Build(int64_t count, int16_t version) {
  const int32_t d = edaNewFile(0, 0, 0, version);
  uint8_t layer[kLayerRecordSize];
  edaSetDefaultLayer(d, layer);
  Put<int16_t>(layer, kLayerColor, 1);
  std::strcpy(reinterpret_cast<char*>(layer + kLayerName), "TopLayer");
  edaGenerateObjhandle(d, layer + kLayerHandle);
  edaAddLayer(d, layer);
  uint8_t model[8];
  edaFindBlockheaderByName(d, "*MODEL_SPACE", model);
  const int32_t list = edaEntityList(d, model);
  static uint8_t h[kEntityHeaderSize], data[kEntityDataSize];
  auto add = [&](int16_t type, auto&& fill) {
    Put<int16_t>(h, kEntType, type);
    edaSetEntityDefaults(d, h, data);
    fill();
    std::memcpy(h + kEntLayer, layer + kLayerHandle, 8);
    edaGenerateObjhandle(d, h + kEntHandle);
    edaAddEntityToList(d, list, h, data);
  };
  for (int64_t i = 0; i < count; ++i) {
    const double x = 0.0254 * static_cast<double>(i % 4000),
                 y = 1.27 * static_cast<double>(i / 4000);
    switch (i % 4) {
      case 0:
        add(kEntLine, [&] {
          Put(data, kLineX1, x);
          Put(data, kLineY1, y);
          Put(data, kLineX2, x + 0.3175);
          Put(data, kLineY2, y + 0.127);
        });
        break;
      case 1:
        add(kEntCircle, [&] {
          Put(data, kCircleX, x);
          Put(data, kCircleY, y);
          Put(data, kCircleRadius, 0.4064);
        });
        break;
      case 2:
        add(kEntArc, [&] {
          Put(data, kCircleX, x);
          Put(data, kCircleY, y);
          Put(data, kCircleRadius, 0.635);
          Put(data, kArcStartAngle, 0.25);
          Put(data, kArcEndAngle, 2.75);
        });
        break;
      default:
        add(kEntPolyline, [&] {
          Put(data, kPolylineStartWidth, 0.254);
          Put(data, kPolylineEndWidth, 0.254);
        });
        for (int v = 0; v < 2; ++v)
          add(kEntVertex, [&] {
            Put(data, kVertexX, x + v * 0.5);
            Put(data, kVertexY, y);
            Put(data, kVertexStartWidth, 0.254);
            Put(data, kVertexEndWidth, 0.254);
          });
        add(kEntSeqend, [] {});
        break;
    }
  }
  return d;
}

void Board(benchmark::State& state) {
  Engine& e = TheEngine();
  const auto format = static_cast<uint8_t>(state.range(0));
  const auto version = static_cast<int16_t>(state.range(1));
  const int64_t n = state.range(2);
  const int32_t d = Build(n, version);
  const std::string file = e.folder + "/out";
  int64_t bytes = 0;
  for (auto _ : state) {
    if (!edaSaveFile(d, file.c_str(), format, version, 0, 6, 1, 49)) {
      state.SkipWithError(edaGetLastError());
      break;
    }
    state.PauseTiming();
    FILE* f = std::fopen(file.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    bytes += std::ftell(f);
    std::fclose(f);
    state.ResumeTiming();
  }
  edaCloseFile(d);
  state.SetItemsProcessed(state.iterations() * n);
  state.SetBytesProcessed(bytes);
}
BENCHMARK(Board)
    ->ArgNames({"format", "release", "entities"})
    ->ArgsProduct({{kFormatDwg, kFormatDxf}, {0, 4, 5, 6}, {200000}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
