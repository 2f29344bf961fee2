#include "quennet/driver/tests/fake_host.h"

#include <cstring>

namespace test_support {

namespace {

FakeBoard* gBoard = nullptr;

struct Iter {
  uint8_t kind, method;
  size_t next = 0;
};
std::map<uint32_t, Iter> gIters;
uint32_t gNextIter = 1;

const FakeObject* Find(uint32_t h) {
  for (const FakeObject& o : gBoard->objects)
    if (o.handle == h) return &o;
  return nullptr;
}

uint32_t NextOf(Iter& it) {
  while (it.next < gBoard->objects.size()) {
    const FakeObject& o = gBoard->objects[it.next++];
    if (o.kind == it.kind && (it.method == 0 || o.free)) return o.handle;
  }
  return 0;
}

}  // namespace

FakeBoard::FakeBoard() {
  gBoard = this;
  gIters.clear();
  table_.GetCurrentBoardHandle = [] { return 77u; };
  table_.CreateIterator = [](uint32_t owner, uint8_t kind, uint8_t method, uint32_t layer) {
    gBoard->log.push_back("iterate " + std::to_string(kind) + "/" + std::to_string(method) +
                          " layer " + std::to_string(layer) + " of " + std::to_string(owner));
    gIters[gNextIter] = Iter{kind, method};
    return gNextIter++;
  };
  table_.GetFirstObject = [](uint32_t i) {
    gIters[i].next = 0;
    return NextOf(gIters[i]);
  };
  table_.GetNextObject = [](uint32_t i) { return NextOf(gIters[i]); };
  table_.DestroyIterator = [](uint32_t i) {
    gIters.erase(i);
    gBoard->log.push_back("destroy");
    return 0;
  };
  table_.Percent_Update = [] {
    ++gBoard->updates;
    gBoard->log.push_back("update");
    return 0;
  };
  table_.QueryPrimitive = [](uint8_t, uint32_t h, uint16_t*, uint16_t*, uint32_t* layer, uint32_t*,
                             uint32_t*, uint8_t*) {
    if (const FakeObject* o = Find(h)) *layer = o->layer;
    return 0;
  };
  table_.QueryObjectBoundingRectangle = [](uint32_t h, int32_t* x1, int32_t* y1, int32_t* x2,
                                           int32_t* y2) {
    if (const FakeObject* o = Find(h)) {
      *x1 = o->rect[0];
      *y1 = o->rect[1];
      *x2 = o->rect[2];
      *y2 = o->rect[3];
    }
    return 0;
  };
  table_.QueryTrack = [](uint8_t, uint32_t h, uint16_t*, uint16_t*, uint32_t* layer, uint32_t*,
                         uint8_t*, uint32_t*, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*,
                         int32_t* o1, int32_t* o2, int32_t* o3) {
    gBoard->log.push_back("track " + std::to_string(h));
    if (const FakeObject* o = Find(h)) {
      *layer = o->layer;
      *o1 = o->owners[0];
      *o2 = o->owners[1];
      *o3 = o->owners[2];
    }
    return 0;
  };
  SetPcbApiOverride(&table_);
}

FakeBoard::~FakeBoard() {
  SetPcbApiOverride(nullptr);
  gBoard = nullptr;
}

}  // namespace test_support
