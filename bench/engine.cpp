// Drawing engine throughput: entities appended per second, and entities and
// megabytes written per second for each release.
//
//   bench_engine [--benchmark_filter=Save/4]
//
// Save/<release> writes a drawing of simple entities (lines, circles, arcs in
// equal parts) as DXF; Polylines/<release> writes two-vertex wide polylines,
// the exporter's most common entity; Add measures building the drawing.
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
      std::fprintf(stderr, "bench_engine: %s\n", edaGetLastError());
      std::exit(1);
    }
    char dir[] = "/tmp/bench_engine-XXXXXX";
    if (!mkdtemp(dir)) std::exit(1);
    folder = dir;
  }
  ~Engine() {
    std::remove((folder + "/out.dxf").c_str());
    rmdir(folder.c_str());
  }
  std::string folder;
};

Engine& TheEngine() {
  static Engine e;
  return e;
}

// Appends `count` entities to a new drawing; polylines when `wide`.
int32_t Build(int64_t count, bool wide, int16_t version) {
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
    if (wide) {
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
      continue;
    }
    switch (i % 3) {
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
      default:
        add(kEntArc, [&] {
          Put(data, kCircleX, x);
          Put(data, kCircleY, y);
          Put(data, kCircleRadius, 0.635);
          Put(data, kArcStartAngle, 0.25);
          Put(data, kArcEndAngle, 2.75);
        });
        break;
    }
  }
  return d;
}

void Add(benchmark::State& state) {
  TheEngine();
  const int64_t n = state.range(0);
  for (auto _ : state) {
    const int32_t d = Build(n, false, 4);
    edaCloseFile(d);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(Add)->Arg(300000)->Unit(benchmark::kMillisecond);

void Save(benchmark::State& state, bool wide) {
  Engine& e = TheEngine();
  const auto version = static_cast<int16_t>(state.range(0));
  const int64_t n = state.range(1);
  const int32_t d = Build(n, wide, version);
  const std::string file = e.folder + "/out.dxf";
  int64_t bytes = 0;
  for (auto _ : state) {
    if (!edaSaveFile(d, file.c_str(), kFormatDxf, version, 0, 6, 1, 49)) {
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

void SaveSimple(benchmark::State& state) {
  Save(state, false);
}
void SavePolylines(benchmark::State& state) {
  Save(state, true);
}
BENCHMARK(SaveSimple)
    ->Name("Save")
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {300000}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SavePolylines)
    ->Name("Polylines")
    ->ArgsProduct({{4, 6}, {100000}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
