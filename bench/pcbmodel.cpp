// Cost of the object wrappers' Transfer, which runs once per board object:
// create + Transfer(1) + free of a track and of a pad against an in-process
// host that answers at once, so the figures are the wrappers' own.
//
// Heap allocations are counted per iteration ("allocs"): a wrapper on the
// stack must need none, one made by the factory exactly its own.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "quennet/pcbmodel/hostapi.h"
#include "quennet/pcbmodel/objects.h"
#include "quennet/pcbmodel/pad.h"

namespace {
std::atomic<uint64_t> g_allocations{0};
}  // namespace

// The counting allocator pairs malloc with free itself; the compiler cannot
// see that through the replaced global operators.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using namespace quennet;

uint8_t Kind(uint32_t h) {
  return static_cast<uint8_t>(h);
}
int32_t Bits(uint8_t, uint32_t, uint8_t* b) {
  *b = 0x08;
  return 0;
}
int32_t Track(uint8_t, uint32_t, uint16_t* flags, uint16_t*, uint32_t* layer, uint32_t*, uint8_t*,
              uint32_t*, int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2, int32_t* width,
              int32_t*, int32_t*, int32_t*) {
  *flags = 0x10;
  *layer = 1;
  *x1 = 100, *y1 = 200, *x2 = 300, *y2 = 400, *width = 100000;
  return 0;
}
int32_t Pad(uint8_t, uint32_t, uint16_t*, uint16_t*, uint32_t* layer, uint32_t*, uint8_t*,
            uint32_t*, int32_t* x, int32_t* y, int32_t* txs, int32_t* tys, int32_t*, int32_t*,
            int32_t*, int32_t*, int32_t* hole, uint8_t* shape, uint8_t*, uint8_t*,
            unsigned char* name, uint8_t*, uint8_t*, double* rotation, unsigned char*,
            unsigned char*, uint32_t*, unsigned char*, uint8_t*, uint8_t*, uint32_t*, int64_t*,
            uint32_t*, uint32_t*, uint32_t*, uint8_t*, uint8_t*) {
  *layer = 74;
  *x = 1000, *y = 2000, *txs = 600000, *tys = 400000, *hole = 300000, *shape = 1;
  name[0] = 2, name[1] = '1', name[2] = '4';
  *rotation = 45;
  return 0;
}
int32_t StackMode(uint8_t, uint32_t, uint8_t* m) {
  *m = 0;
  return 0;
}
int32_t ShapeOn(uint32_t, uint8_t l, uint8_t* s) {
  *s = l <= 32 ? 1 : 0;
  return 0;
}
int32_t SizeOn(uint32_t, uint8_t l, int32_t* x, int32_t* y) {
  *x = l <= 32 ? 600000 : 0;
  *y = l <= 32 ? 400000 : 0;
  return 0;
}
int32_t RadiusOn(uint32_t, uint8_t, int32_t* r) {
  *r = 0;
  return 0;
}
int32_t PercentOn(uint32_t, uint8_t, uint8_t* p) {
  *p = 50;
  return 0;
}

const TPcbApiTable& HostTable() {
  static const TPcbApiTable table = [] {
    TPcbApiTable t;
    t.GetObjectIdFromObjectHandle = Kind;
    t.GetObjectBitField2 = Bits;
    t.GetObjectBitField3 = Bits;
    t.QueryTrack = Track;
    t.QueryPad = Pad;
    t.QueryPadStackMode = StackMode;
    t.QueryPadOrViaShapeOnLayer = ShapeOn;
    t.QueryPadOrViaSizeOnLayer = SizeOn;
    t.QueryPadCornerRadiusOnLayer = RadiusOn;
    t.QueryPadCRPercentageOnLayer = PercentOn;
    return t;
  }();
  return table;
}

template <class W>
void BM_OnStack(benchmark::State& state) {
  SetPcbApiOverride(&HostTable());
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    W w(pokTrack);
    benchmark::DoNotOptimize(w.Transfer(1));
    benchmark::DoNotOptimize(w.X2());
  }
  state.counters["allocs"] =
      benchmark::Counter(double(g_allocations.load() - before), benchmark::Counter::kAvgIterations);
  SetPcbApiOverride(nullptr);
}

// Through the factory, as a converter that does not know the kind would.
void BM_Factory(benchmark::State& state) {
  SetPcbApiOverride(&HostTable());
  const uint32_t handle = static_cast<uint32_t>(state.range(0));  // the kind, see Kind()
  const uint64_t before = g_allocations.load();
  for (auto _ : state) {
    auto w = CreateWrapperForHandle(handle);
    benchmark::DoNotOptimize(w->X());
  }
  state.counters["allocs"] =
      benchmark::Counter(double(g_allocations.load() - before), benchmark::Counter::kAvgIterations);
  SetPcbApiOverride(nullptr);
}

BENCHMARK(BM_OnStack<TPcbTrack>)->Name("TrackCreateTransferFree/stack");
BENCHMARK(BM_OnStack<TPcbPad>)->Name("PadCreateTransferFree/stack");
BENCHMARK(BM_Factory)->Name("TrackCreateTransferFree/factory")->Arg(pokTrack);
BENCHMARK(BM_Factory)->Name("PadCreateTransferFree/factory")->Arg(pokPad);

}  // namespace

BENCHMARK_MAIN();
