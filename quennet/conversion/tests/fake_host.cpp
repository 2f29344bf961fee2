#include "quennet/conversion/tests/fake_host.h"

#include <cstring>
#include <stdexcept>

namespace test_support {

namespace {

TFakeHost* gHost = nullptr;

TFakeObject* Find(uint32_t h) {
  auto it = gHost->objects.find(h);
  if (it != gHost->objects.end()) return &it->second;
  return gHost->generator ? gHost->generator(h) : nullptr;
}

void PutString(unsigned char* out, const std::string& s) {
  const size_t n = s.size() > 255 ? 255 : s.size();
  out[0] = static_cast<unsigned char>(n);
  std::memcpy(out + 1, s.data(), n);
}

// --- Flat functions -------------------------------------------------------------

struct TIter {
  std::vector<uint32_t> handles;
  size_t pos = 0;
};
std::map<uint32_t, TIter> gIterators;
uint32_t gNextIterator = 1;

uint32_t CreateIterator(uint32_t owner, uint8_t kind, uint8_t, uint32_t) {
  TIter it;
  if (const TFakeObject* o = Find(owner))
    for (uint32_t c : o->children)
      if (const TFakeObject* child = Find(c); child && child->kind == kind) it.handles.push_back(c);
  gIterators[gNextIterator] = it;
  return gNextIterator++;
}
uint32_t NextObject(uint32_t iterator) {
  TIter& it = gIterators[iterator];
  return it.pos < it.handles.size() ? it.handles[it.pos++] : 0;
}
uint32_t FirstObject(uint32_t iterator) {
  gIterators[iterator].pos = 0;
  return NextObject(iterator);
}
int32_t DestroyIterator(uint32_t iterator) {
  gIterators.erase(iterator);
  return 0;
}
uint8_t ObjectId(uint32_t h) {
  const TFakeObject* o = Find(h);
  return o ? o->kind : 0;
}
int32_t PercentUpdate() {
  ++gHost->progressSteps;
  return 0;
}
int32_t BitField2(uint8_t, uint32_t h, uint8_t* bits) {
  if (const TFakeObject* o = Find(h)) *bits = o->bitField2;
  return 0;
}
int32_t QueryPrimitive(uint8_t, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer, uint32_t*,
                       uint32_t* component, uint8_t*) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = o->layer;
  *component = o->component;
  return 0;
}
int32_t QueryTrack(uint8_t, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer, uint32_t*,
                   uint8_t*, uint32_t* component, int32_t* x1, int32_t* y1, int32_t* x2,
                   int32_t* y2, int32_t* width, int32_t*, int32_t*, int32_t*) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = o->layer;
  *component = o->component;
  *x1 = o->x, *y1 = o->y, *x2 = o->x2, *y2 = o->y2, *width = o->width;
  return 0;
}
int32_t QueryArc(uint8_t, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer, uint32_t*,
                 uint8_t*, uint32_t* component, int32_t* x, int32_t* y, int32_t* radius, double* a1,
                 double* a2, int32_t* width, int32_t*) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = o->layer;
  *component = o->component;
  *x = o->x, *y = o->y, *radius = o->radius, *a1 = o->startAngle, *a2 = o->endAngle;
  *width = o->width;
  return 0;
}
int32_t QueryFill(uint8_t, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer, uint32_t*,
                  uint8_t*, uint32_t* component, int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2,
                  int32_t*, double* rotation) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = o->layer;
  *component = o->component;
  *x1 = o->x, *y1 = o->y, *x2 = o->x2, *y2 = o->y2, *rotation = o->rotation;
  return 0;
}
int32_t QueryRegion(uint8_t, uint32_t h, uint8_t*, uint16_t* flags, uint16_t*, uint32_t* layer,
                    uint32_t*, uint8_t*, uint32_t* component, int32_t*, int32_t*, int32_t*,
                    int32_t*, int32_t*, int32_t*) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = o->layer;
  *component = o->component;
  return 0;
}
int32_t QueryText(uint8_t, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer, uint32_t*,
                  uint8_t*, uint32_t* component, int32_t* x, int32_t* y, int32_t* size,
                  int32_t* attr, double* rotation, uint8_t* mirrored, unsigned char* text, int32_t*,
                  int32_t*, int32_t*) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = o->layer;
  *component = o->component;
  *x = o->x, *y = o->y, *size = o->size, *attr = o->textAttr, *rotation = o->rotation;
  *mirrored = o->mirrored;
  PutString(text, o->text);
  return 0;
}
int32_t QueryComponent(uint8_t, uint32_t h, uint16_t* flags, uint16_t*, uint8_t* layer, uint8_t*,
                       uint32_t* designator, uint32_t* comment, unsigned char* pattern,
                       uint8_t* designatorVisible, uint8_t* commentVisible, int32_t* x, int32_t* y,
                       int32_t*, double* rotation, uint8_t*) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = static_cast<uint8_t>(o->layer);
  *designator = o->designator, *comment = o->comment;
  PutString(pattern, o->pattern);
  *designatorVisible = o->designatorVisible, *commentVisible = o->commentVisible;
  *x = o->x, *y = o->y, *rotation = o->rotation;
  return 0;
}
int32_t QueryPad(uint8_t, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer, uint32_t*,
                 uint8_t*, uint32_t* component, int32_t* x, int32_t* y, int32_t*, int32_t*,
                 int32_t*, int32_t*, int32_t*, int32_t*, int32_t* hole, uint8_t*, uint8_t*,
                 uint8_t*, unsigned char*, uint8_t*, uint8_t*, double* rotation, unsigned char*,
                 unsigned char*, uint32_t*, unsigned char*, uint8_t*, uint8_t*, uint32_t*, int64_t*,
                 uint32_t*, uint32_t*, uint32_t*, uint8_t*, uint8_t*) {
  const TFakeObject* o = Find(h);
  if (!o) return 1;
  *flags = o->flags;
  *layer = o->layer;
  *component = o->component;
  *x = o->x, *y = o->y, *hole = o->hole, *rotation = o->rotation;
  return 0;
}
int32_t ShapeOnLayer(uint32_t h, uint8_t l, uint8_t* shape) {
  if (const TFakeObject* o = Find(h); o && l < 83) *shape = o->shape[l];
  return 0;
}
int32_t CornerRadiusOnLayer(uint32_t h, uint8_t l, int32_t* r) {
  if (const TFakeObject* o = Find(h); o && l < 83) *r = o->cornerRadius[l];
  return 0;
}
int32_t SizeOnLayer(uint32_t h, uint8_t l, int32_t* xs, int32_t* ys) {
  if (const TFakeObject* o = Find(h); o && l < 83) *xs = o->xSize[l], *ys = o->ySize[l];
  return 0;
}
// The rule of an object is the object itself, so its relief values are its own.
uint32_t DominantRule(uint32_t h, uint8_t kind) {
  const TFakeObject* o = Find(h);
  return kind == 6 && o && o->reliefEntries != 0 ? h : 0;
}
int32_t PowerPlaneRule(uint8_t, uint32_t rule, uint8_t* style, int32_t* expansion,
                       int32_t* conductor, int32_t* entries, int32_t* gap) {
  const TFakeObject* o = Find(rule);
  if (!o) return 1;
  *style = 0;
  *expansion = o->reliefExpansion, *conductor = o->reliefConductor;
  *entries = o->reliefEntries, *gap = o->reliefGap;
  return 0;
}

TPcbApiTable MakeTable() {
  TPcbApiTable t;
  t.CreateIterator = CreateIterator;
  t.GetFirstObject = FirstObject;
  t.GetNextObject = NextObject;
  t.DestroyIterator = DestroyIterator;
  t.GetObjectIdFromObjectHandle = ObjectId;
  t.Percent_Update = PercentUpdate;
  t.GetObjectBitField2 = BitField2;
  t.QueryPrimitive = QueryPrimitive;
  t.QueryTrack = QueryTrack;
  t.QueryArc = QueryArc;
  t.QueryFill = QueryFill;
  t.QueryRegion = QueryRegion;
  t.QueryText = QueryText;
  t.QueryComponent = QueryComponent;
  t.QueryPad = QueryPad;
  t.QueryPadOrViaShapeOnLayer = ShapeOnLayer;
  t.QueryPadOrViaSizeOnLayer = SizeOnLayer;
  t.QueryPadCornerRadiusOnLayer = CornerRadiusOnLayer;
  t.FindDominantRuleForObject = DominantRule;
  t.QueryRulePowerPlaneConnectStyleRule = PowerPlaneRule;
  return t;
}
const TPcbApiTable gTable = MakeTable();

// --- Object interfaces -------------------------------------------------------------

template <class Base>
class TRefCounted : public Base {
 public:
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t r = --refs_;
    if (r == 0) delete this;
    return r;
  }
  virtual ~TRefCounted() = default;

 protected:
  abi::TStatus Answer(const abi::TGUID& iid, const abi::TGUID& own, void** out) {
    if (iid == own || iid == abi::IID_IUnknownRoot) {
      AddRef();
      *out = static_cast<Base*>(this);
      return abi::S_OK;
    }
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }

 private:
  uint32_t refs_ = 1;
};

class TLayerIter final : public TRefCounted<abi::IPCB_LayerIterator> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    return Answer(iid, abi::IID_IPCB_LayerIterator, out);
  }
  abi::TStatus First(bool* r) override {
    pos_ = 0;
    return Next(r);
  }
  abi::TStatus Reset() override {
    pos_ = 0;
    return abi::S_OK;
  }
  abi::TStatus Next(bool* r) override {
    *r = pos_ < gHost->boardLayers.size();
    if (*r) layer_ = gHost->boardLayers[pos_++];
    return abi::S_OK;
  }
  abi::TStatus Layer(abi::TV7_Layer* r) override {
    *r = layer_;
    return abi::S_OK;
  }
  abi::TStatus AddFilter_SignalLayers() override { return abi::E_FAIL; }
  abi::TStatus AddFilter_InternalPlanes() override { return abi::E_FAIL; }
  abi::TStatus AddFilter_MechanicalLayers() override { return abi::E_FAIL; }
  abi::TStatus AddFilter_OverlayLayers() override { return abi::E_FAIL; }
  abi::TStatus AddFilter_MaskLayers() override { return abi::E_FAIL; }
  abi::TStatus SetFilter(abi::IPCB_LayerSet*) override { return abi::E_FAIL; }
  abi::TStatus SetFilterPartitions(uint32_t) override { return abi::E_FAIL; }
  abi::TStatus GetLastError(abi::TLayerSetError*) override { return abi::E_FAIL; }

 private:
  size_t pos_ = 0;
  abi::TV7_Layer layer_ = 0;
};

class TBoard final : public TRefCounted<abi::IPCB_Board> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    return Answer(iid, abi::IID_IPCB_Board, out);
  }
  abi::TStatus Handle(uint32_t* out) override {
    *out = 1;
    return abi::S_OK;
  }
  abi::TStatus VisibleLayers(abi::IPCB_LayerSet** out) override {
    *out = nullptr;
    return abi::E_FAIL;
  }
  abi::TStatus LayerIterator(abi::IPCB_LayerIterator** out) override {
    *out = new TLayerIter;
    return abi::S_OK;
  }
};

// One object behind all the object interfaces it may be asked for.
template <class Base>
class TPrimitive : public TRefCounted<Base> {
 public:
  TPrimitive(uint32_t h, const abi::TGUID& iid) : h_(h), iid_(iid) {}
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    if (iid == abi::IID_IPCB_Text && Obj().kind == pokText) {
      *out = new TPrimitive<abi::IPCB_Primitive>(h_, iid);
      return abi::S_OK;
    }
    return this->Answer(iid, iid_, out);
  }
  abi::TStatus Handle(uint32_t* out) override {
    *out = h_;
    return abi::S_OK;
  }
  abi::TStatus ObjectId(uint8_t* out) override {
    *out = Obj().kind;
    return abi::S_OK;
  }
  abi::TStatus Layer(uint32_t* out) override {
    *out = Obj().layer;
    return abi::S_OK;
  }
  abi::TStatus Board(abi::IPCB_Board** out) override {
    *out = new TBoard;
    return abi::S_OK;
  }

 protected:
  TFakeObject& Obj() { return *Find(h_); }
  uint32_t h_;
  abi::TGUID iid_;
};

// Sizes and shapes asked by TV7_Layer; the fixture keeps them by TLayer.
TLayer Legacy(uint32_t layer) {
  return V7ToLayer(layer);
}

class TPad final : public TPrimitive<abi::IPCB_Pad> {
 public:
  using TPrimitive::TPrimitive;
  abi::TStatus XSizeOnLayer(uint32_t l, int32_t* out) override {
    *out = Obj().xSize[Legacy(l)];
    return abi::S_OK;
  }
  abi::TStatus YSizeOnLayer(uint32_t l, int32_t* out) override {
    *out = Obj().ySize[Legacy(l)];
    return abi::S_OK;
  }
  abi::TStatus ShapeOnLayer(uint32_t l, uint8_t* out) override {
    *out = Obj().shape[Legacy(l)];
    return abi::S_OK;
  }
  abi::TStatus X(int32_t* out) override { return Put(out, Obj().x); }
  abi::TStatus Y(int32_t* out) override { return Put(out, Obj().y); }
  abi::TStatus HoleSize(int32_t* out) override { return Put(out, Obj().hole); }
  abi::TStatus Rotation(double* out) override {
    *out = Obj().rotation;
    return abi::S_OK;
  }

 private:
  static abi::TStatus Put(int32_t* out, int32_t v) {
    *out = v;
    return abi::S_OK;
  }
};

class TVia final : public TPrimitive<abi::IPCB_Via> {
 public:
  using TPrimitive::TPrimitive;
  abi::TStatus X(int32_t* out) override { return Put(out, Obj().x); }
  abi::TStatus Y(int32_t* out) override { return Put(out, Obj().y); }
  abi::TStatus HoleSize(int32_t* out) override { return Put(out, Obj().hole); }
  abi::TStatus SizeOnLayer(uint32_t l, int32_t* out) override {
    return Put(out, Obj().xSize[Legacy(l)]);
  }
  abi::TStatus ShapeOnLayer(uint32_t l, uint8_t* out) override {
    *out = Obj().shape[Legacy(l)];
    return abi::S_OK;
  }
  abi::TStatus ReliefExpansion(int32_t* out) override { return Put(out, Obj().reliefExpansion); }
  abi::TStatus ReliefConductorWidth(int32_t* out) override {
    return Put(out, Obj().reliefConductor);
  }
  abi::TStatus ReliefEntries(int32_t* out) override { return Put(out, Obj().reliefEntries); }
  abi::TStatus ReliefAirGap(int32_t* out) override { return Put(out, Obj().reliefGap); }

 private:
  static abi::TStatus Put(int32_t* out, int32_t v) {
    *out = v;
    return abi::S_OK;
  }
};

class TContour final : public TRefCounted<abi::IPCB_Contour> {
 public:
  explicit TContour(const std::vector<abi::TPcbApiPointF>& points) : points_(points) {}
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    return Answer(iid, abi::IID_IPCB_Contour, out);
  }
  abi::TStatus PointCount(int32_t* out) override {
    *out = static_cast<int32_t>(points_.size());
    return abi::S_OK;
  }
  abi::TStatus GetPoints(abi::TPcbApiContourPoints* out) override {
    *out = {static_cast<int32_t>(points_.size()), points_.data()};
    return abi::S_OK;
  }

 private:
  const std::vector<abi::TPcbApiPointF>& points_;
};

class TPolygon final : public TRefCounted<abi::IPCB_GeometricPolygon> {
 public:
  explicit TPolygon(uint32_t h) : h_(h) {}
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    return Answer(iid, abi::IID_IPCB_GeometricPolygon, out);
  }
  abi::TStatus ContourCount(int32_t* out) override {
    *out = static_cast<int32_t>(Find(h_)->contours.size());
    return abi::S_OK;
  }
  abi::TStatus Contour(int32_t i, abi::IPCB_Contour** out) override {
    *out = new TContour(Find(h_)->contours.at(static_cast<size_t>(i)));
    return abi::S_OK;
  }
  abi::TStatus IsHole(int32_t i, uint8_t* out) override {
    *out = i > 0;
    return abi::S_OK;
  }

 private:
  uint32_t h_;
};

class TRegion final : public TPrimitive<abi::IPCB_Region> {
 public:
  using TPrimitive::TPrimitive;
  abi::TStatus GeometricPolygon(abi::IPCB_GeometricPolygon** out) override {
    *out = new TPolygon(h_);
    return abi::S_OK;
  }
};

class TConverter final : public TRefCounted<abi::IPCB_SpecialStringConverter> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    return Answer(iid, abi::IID_IPCB_SpecialStringConverter, out);
  }
  abi::TStatus Convert(abi::IHostUnknown* textObject, const char16_t* text, uint32_t length,
                       char16_t* buffer, uint32_t bufferSize, uint32_t* convertedLength,
                       uint8_t* success) override {
    if (!textObject) return abi::E_INVALIDARG;
    auto it = gHost->specialStrings.find(std::u16string(text, length));
    if (it == gHost->specialStrings.end()) {
      *success = 0;
      return abi::S_OK;
    }
    const std::u16string& r = it->second;
    const size_t n = std::min<size_t>(r.size(), bufferSize - 1);
    std::memcpy(buffer, r.data(), n * sizeof(char16_t));
    buffer[n] = 0;
    *convertedLength = static_cast<uint32_t>(r.size());
    *success = 1;
    return abi::S_OK;
  }
};

class TServer final : public TRefCounted<abi::IPCB_ServerInterface> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    return Answer(iid, abi::IID_IPCB_ServerInterface, out);
  }
  abi::TStatus GetBoardFromHandle(uint32_t, abi::IPCB_Board** out) override {
    *out = new TBoard;
    return abi::S_OK;
  }
  abi::TStatus GetObjectFromHandle(uint32_t h, const abi::TGUID& iid, void** out) override {
    *out = nullptr;
    const TFakeObject* o = Find(h);
    if (!o) return abi::E_INVALIDARG;
    if (iid == abi::IID_IPCB_Primitive) {
      *out = static_cast<abi::IPCB_Primitive*>(new TPrimitive<abi::IPCB_Primitive>(h, iid));
    } else if (iid == abi::IID_IPCB_Pad && o->kind == pokPad) {
      *out = static_cast<abi::IPCB_Pad*>(new TPad(h, iid));
    } else if (iid == abi::IID_IPCB_Via && o->kind == pokVia) {
      *out = static_cast<abi::IPCB_Via*>(new TVia(h, iid));
    } else if (iid == abi::IID_IPCB_Region && o->kind == pokRegion) {
      *out = static_cast<abi::IPCB_Region*>(new TRegion(h, iid));
    } else {
      return abi::E_NOINTERFACE;
    }
    return abi::S_OK;
  }
  abi::TStatus GetSpecialStringConverter(abi::IPCB_SpecialStringConverter** out) override {
    *out = new TConverter;
    return abi::S_OK;
  }
  abi::TStatus GetLastErrorText(uint32_t size, char* buffer) override {
    if (size) buffer[0] = 0;
    return abi::S_OK;
  }
};

}  // namespace

TFakeHost::TFakeHost() {
  if (gHost) throw std::logic_error("one fake host at a time");
  gHost = this;
  SetPcbApiOverride(&gTable);
  server_ = new TServer;
  SetPcbServerOverride(server_);
}

TFakeHost::~TFakeHost() {
  SetPcbServerOverride(nullptr);
  SetPcbApiOverride(nullptr);
  server_->Release();
  gIterators.clear();
  gHost = nullptr;
}

uint32_t TFakeHost::Add(const TFakeObject& object) {
  const uint32_t h = next_++;
  objects[h] = object;
  return h;
}

TFakeHost& CurrentFakeHost() {
  return *gHost;
}

}  // namespace test_support
