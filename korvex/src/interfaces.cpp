// The editor's object interfaces and its PCB server. Interfaces hold only a
// handle: they read the board when asked, so one that outlives its board
// answers E_FAIL instead of reaching freed memory.
#include <cstring>
#include <string>
#include <vector>

#include "abi/korvex_host.h"
#include "abi/pcbapi.h"
#include "korvex/src/kicad/kicad_board.h"
#include "korvex/src/session.h"
#include "layers/layerset.h"

namespace korvex {

namespace {

using abi::E_FAIL;
using abi::E_INVALIDARG;
using abi::E_NOINTERFACE;
using abi::S_OK;
using abi::TGUID;
using abi::TStatus;

Session& S() {
  return Session::Get();
}

std::string& LastError() {
  static std::string text;
  return text;
}

TStatus Failure(TStatus status, std::string text) {
  LastError() = std::move(text);
  return status;
}

// Every interface object handed out: its creator's reference is the first,
// the last Release frees it.
template <class Base>
using Counted = abi::TRefCounted<abi::TRefCounting{}, Base>;

// QueryInterface of every object: the root or one of the object's own
// interfaces, answered as self (the interface the object is handed out as).
template <class Self>
TStatus Answer(Self* self, const TGUID& iid, std::initializer_list<TGUID> own, void** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (iid == abi::IID_IUnknownRoot) {
    *out = static_cast<abi::IHostUnknown*>(self);
  } else {
    for (const TGUID& g : own)
      if (iid == g) *out = self;
  }
  if (!*out) return E_NOINTERFACE;
  self->AddRef();
  return S_OK;
}

// --- the board and its layer iterator -------------------------------------

class BoardLayerIterator final : public quennet::TLayerIteratorBase {
 public:
  explicit BoardLayerIterator(std::vector<TV7_Layer> layers) : layers_(std::move(layers)) {}

 protected:
  bool Step(bool restart, TV7_Layer& layer) override {
    if (restart) next_ = 0;
    if (next_ >= layers_.size()) return false;
    layer = layers_[next_++];
    return true;
  }

 private:
  std::vector<TV7_Layer> layers_;
  size_t next_ = 0;
};

class BoardIntf final : public Counted<abi::IPCB_Board> {
 public:
  explicit BoardIntf(uint32_t handle) : handle_(handle) {}
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_Board*>(this), iid, {abi::IID_IPCB_Board}, out);
  }
  TStatus Handle(uint32_t* out) override {
    if (!out) return E_INVALIDARG;
    *out = handle_;
    return S_OK;
  }
  TStatus VisibleLayers(abi::IPCB_LayerSet** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    korvex::Board* b = Live();
    if (!b) return E_FAIL;
    try {
      quennet::TLayerSetRef set = quennet::NewEmptySet();
      if (b->visibleAll) {
        for (TV7_Layer l : b->layerOrder) set.Include(l);
      } else {
        for (TV7_Layer l : b->visible) set.Include(l);
      }
      *out = set.get();
      (*out)->AddRef();
      return S_OK;
    } catch (const std::exception& e) {
      return Failure(E_FAIL, e.what());
    }
  }
  TStatus LayerIterator(abi::IPCB_LayerIterator** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    korvex::Board* b = Live();
    if (!b) return E_FAIL;
    auto* it = new BoardLayerIterator(b->layerOrder);
    it->AddRef();
    *out = it;
    return S_OK;
  }

 private:
  korvex::Board* Live() {
    if (!S().IsBoard(handle_)) {
      Failure(E_FAIL, "the board is no longer open");
      return nullptr;
    }
    return S().board();
  }
  uint32_t handle_;
};

// --- primitives ---------------------------------------------------------------

template <class Iface>
class PrimitiveBase : public Counted<Iface> {
 public:
  explicit PrimitiveBase(uint32_t handle) : handle_(handle) {}

  TStatus Handle(uint32_t* out) override {
    if (!out) return E_INVALIDARG;
    *out = handle_;
    return S_OK;
  }
  TStatus ObjectId(uint8_t* out) override {
    const Object* o = Obj();
    if (!o || !out) return E_FAIL;
    *out = o->kind;
    return S_OK;
  }
  TStatus Layer(uint32_t* out) override {
    const Object* o = Obj();
    if (!o || !out) return E_FAIL;
    *out = o->layer;
    return S_OK;
  }
  TStatus Board(abi::IPCB_Board** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!Obj()) return E_FAIL;
    *out = new BoardIntf(S().BoardHandle());
    return S_OK;
  }

 protected:
  Object* Obj() { return S().Find(handle_); }
  korvex::Board& B() { return *S().board(); }
  template <class T>
  TStatus Give(T value, T* out) {
    if (!out) return E_INVALIDARG;
    if (!Obj()) return Failure(E_FAIL, "the object is no longer on the board");
    *out = value;
    return S_OK;
  }
  uint32_t handle_;
};

class PrimitiveIntf final : public PrimitiveBase<abi::IPCB_Primitive> {
 public:
  using PrimitiveBase::PrimitiveBase;
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_Primitive*>(this), iid, {abi::IID_IPCB_Primitive}, out);
  }
};

class PadIntf final : public PrimitiveBase<abi::IPCB_Pad> {
 public:
  using PrimitiveBase::PrimitiveBase;
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_Pad*>(this), iid,
                  {abi::IID_IPCB_Primitive, abi::IID_IPCB_Pad}, out);
  }
  TStatus XSizeOnLayer(uint32_t layer, int32_t* out) override {
    const korvex::Pad* p = P();
    return Give(p && layer < kLegacyLayers ? p->copper.xSize[layer] : 0, out);
  }
  TStatus YSizeOnLayer(uint32_t layer, int32_t* out) override {
    const korvex::Pad* p = P();
    return Give(p && layer < kLegacyLayers ? p->copper.ySize[layer] : 0, out);
  }
  TStatus ShapeOnLayer(uint32_t layer, uint8_t* out) override {
    const korvex::Pad* p = P();
    return Give<uint8_t>(p && layer < kLegacyLayers ? p->copper.shape[layer] : 0, out);
  }
  TStatus X(int32_t* out) override { return Give(Obj() ? Obj()->x : 0, out); }
  TStatus Y(int32_t* out) override { return Give(Obj() ? Obj()->y : 0, out); }
  TStatus HoleSize(int32_t* out) override { return Give(P() ? P()->hole : 0, out); }
  TStatus Rotation(double* out) override { return Give(P() ? P()->rotation : 0.0, out); }

 private:
  const korvex::Pad* P() {
    const Object* o = Obj();
    return o ? &B().pads[o->data] : nullptr;
  }
};

class ViaIntf final : public PrimitiveBase<abi::IPCB_Via> {
 public:
  using PrimitiveBase::PrimitiveBase;
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_Via*>(this), iid,
                  {abi::IID_IPCB_Primitive, abi::IID_IPCB_Via}, out);
  }
  TStatus X(int32_t* out) override { return Give(Obj() ? Obj()->x : 0, out); }
  TStatus Y(int32_t* out) override { return Give(Obj() ? Obj()->y : 0, out); }
  TStatus HoleSize(int32_t* out) override { return Give(V() ? V()->hole : 0, out); }
  TStatus SizeOnLayer(uint32_t layer, int32_t* out) override {
    const korvex::Via* v = V();
    return Give(v && layer < kLegacyLayers ? v->copper.xSize[layer] : 0, out);
  }
  TStatus ShapeOnLayer(uint32_t layer, uint8_t* out) override {
    const korvex::Via* v = V();
    return Give<uint8_t>(v && layer < kLegacyLayers ? v->copper.shape[layer] : 0, out);
  }
  TStatus ReliefExpansion(int32_t* out) override { return Give(R() ? R()->expansion : 0, out); }
  TStatus ReliefConductorWidth(int32_t* out) override {
    return Give(R() ? R()->conductorWidth : 0, out);
  }
  TStatus ReliefEntries(int32_t* out) override { return Give(R() ? R()->entries : 0, out); }
  TStatus ReliefAirGap(int32_t* out) override { return Give(R() ? R()->airGap : 0, out); }

 private:
  const korvex::Via* V() {
    const Object* o = Obj();
    return o ? &B().vias[o->data] : nullptr;
  }
  const PlaneRule* R() {
    const Object* o = Obj();
    if (!o) return nullptr;
    const uint32_t rule = DominantPlaneRule(B(), *o);
    return rule ? &B().rules[B().objects[rule - 1].data] : nullptr;
  }
};

class ContourIntf final : public Counted<abi::IPCB_Contour> {
 public:
  explicit ContourIntf(const Contour& c) {
    points_.reserve(c.points.size());
    for (const Point& p : c.points) points_.push_back({double(p.x), double(p.y)});
  }
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_Contour*>(this), iid, {abi::IID_IPCB_Contour}, out);
  }
  TStatus PointCount(int32_t* out) override {
    if (!out) return E_INVALIDARG;
    *out = int32_t(points_.size());
    return S_OK;
  }
  TStatus GetPoints(abi::TPcbApiContourPoints* out) override {
    if (!out) return E_INVALIDARG;
    out->Count = int32_t(points_.size());
    out->Points = points_.data();
    return S_OK;
  }

 private:
  std::vector<abi::TPcbApiPointF> points_;
};

class GeometricPolygonIntf final : public Counted<abi::IPCB_GeometricPolygon> {
 public:
  explicit GeometricPolygonIntf(uint32_t region) : region_(region) {}
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_GeometricPolygon*>(this), iid,
                  {abi::IID_IPCB_GeometricPolygon}, out);
  }
  TStatus ContourCount(int32_t* out) override {
    const Region* r = R();
    if (!out) return E_INVALIDARG;
    if (!r) return E_FAIL;
    *out = int32_t(r->contours.size());
    return S_OK;
  }
  TStatus Contour(int32_t index, abi::IPCB_Contour** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    const Region* r = R();
    if (!r) return E_FAIL;
    if (index < 0 || size_t(index) >= r->contours.size())
      return Failure(E_INVALIDARG, "contour index " + std::to_string(index) + " out of range");
    *out = new ContourIntf(r->contours[size_t(index)]);
    return S_OK;
  }
  TStatus IsHole(int32_t index, uint8_t* out) override {
    const Region* r = R();
    if (!out) return E_INVALIDARG;
    if (!r || index < 0 || size_t(index) >= r->contours.size()) return E_INVALIDARG;
    *out = index > 0;  // the outer boundary comes first, the holes after it
    return S_OK;
  }

 private:
  const Region* R() {
    const Object* o = S().Find(region_);
    return o && o->kind == kRegion ? &S().board()->regions[o->data] : nullptr;
  }
  uint32_t region_;
};

class RegionIntf final : public PrimitiveBase<abi::IPCB_Region> {
 public:
  using PrimitiveBase::PrimitiveBase;
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_Region*>(this), iid,
                  {abi::IID_IPCB_Primitive, abi::IID_IPCB_Region}, out);
  }
  TStatus GeometricPolygon(abi::IPCB_GeometricPolygon** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!Obj()) return E_FAIL;
    *out = new GeometricPolygonIntf(handle_);
    return S_OK;
  }
};

class TextIntf final : public PrimitiveBase<abi::IPCB_Text> {
 public:
  using PrimitiveBase::PrimitiveBase;
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_Text*>(this), iid,
                  {abi::IID_IPCB_Primitive, abi::IID_IPCB_Text}, out);
  }
  TStatus Text(unsigned char* out) override {
    if (!out) return E_INVALIDARG;
    const korvex::Text* t = T();
    if (!t) return E_FAIL;
    abi::SetShortString(*reinterpret_cast<abi::ShortString*>(out), t->text);
    return S_OK;
  }
  TStatus X(int32_t* out) override { return Give(Obj() ? Obj()->x : 0, out); }
  TStatus Y(int32_t* out) override { return Give(Obj() ? Obj()->y : 0, out); }
  TStatus Size(int32_t* out) override { return Give(T() ? T()->height : 0, out); }
  TStatus Rotation(double* out) override { return Give(T() ? T()->rotation : 0.0, out); }

 private:
  const korvex::Text* T() {
    const Object* o = Obj();
    return o ? &B().texts[o->data] : nullptr;
  }
};

// --- special strings and the server ------------------------------------------

class Converter final : public abi::TModuleObject<abi::IPCB_SpecialStringConverter> {
 public:
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_SpecialStringConverter*>(this), iid,
                  {abi::IID_IPCB_SpecialStringConverter}, out);
  }

  TStatus Convert(abi::IHostUnknown* textObject, const char16_t* text, uint32_t textLength,
                  char16_t* buffer, uint32_t bufferSize, uint32_t* convertedLength,
                  uint8_t* success) override {
    if (!success || (textLength && !text)) return E_INVALIDARG;
    *success = 0;
    korvex::Board* board = S().board();
    if (!board) return Failure(E_FAIL, "no board is open");
    // Texts of the host are 8-bit; one code unit stands for one byte.
    std::string narrow;
    narrow.reserve(textLength);
    for (uint32_t i = 0; i < textLength; ++i) {
      if (text[i] > 0xFF) return S_OK;  // no special string has such a character
      narrow.push_back(char(text[i]));
    }
    const Object* object = nullptr;
    if (textObject) {
      abi::Ref<abi::IPCB_Primitive> prim;
      if (textObject->QueryInterface(abi::IID_IPCB_Primitive,
                                     reinterpret_cast<void**>(prim.put())) == S_OK &&
          prim) {
        uint32_t handle = 0;
        if (prim->Handle(&handle) == S_OK) object = S().Find(handle);
      }
    }
    std::string result;
    if (!ResolveSpecialString(*board, object, narrow, result)) return S_OK;
    if (convertedLength) *convertedLength = uint32_t(result.size());
    if (buffer && bufferSize > 0) {
      const size_t n = std::min<size_t>(result.size(), bufferSize - 1);
      for (size_t i = 0; i < n; ++i) buffer[i] = char16_t(static_cast<unsigned char>(result[i]));
      buffer[n] = 0;
    }
    *success = 1;
    return S_OK;
  }
};

class Server final : public abi::TModuleObject<abi::IPCB_ServerInterface> {
 public:
  TStatus QueryInterface(const TGUID& iid, void** out) override {
    return Answer(static_cast<abi::IPCB_ServerInterface*>(this), iid,
                  {abi::IID_IPCB_ServerInterface}, out);
  }

  TStatus GetBoardFromHandle(uint32_t board, abi::IPCB_Board** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!S().IsBoard(board))
      return Failure(E_INVALIDARG, "handle " + std::to_string(board) + " is not the open board");
    LastError().clear();
    *out = new BoardIntf(board);
    return S_OK;
  }

  TStatus GetObjectFromHandle(uint32_t handle, const TGUID& iid, void** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    const Object* o = S().Find(handle);
    if (!o) return Failure(E_INVALIDARG, "handle " + std::to_string(handle) + " is no object");
    abi::IHostUnknown* made;
    switch (o->kind) {
      case kPad:
        made = new PadIntf(handle);
        break;
      case kVia:
        made = new ViaIntf(handle);
        break;
      case kRegion:
        made = new RegionIntf(handle);
        break;
      case kText:
        made = new TextIntf(handle);
        break;
      default:
        made = new PrimitiveIntf(handle);
        break;
    }
    const TStatus status = made->QueryInterface(iid, out);
    made->Release();
    if (status != S_OK)
      return Failure(status, "object " + std::to_string(handle) + " has no such interface");
    LastError().clear();
    return S_OK;
  }

  TStatus GetSpecialStringConverter(abi::IPCB_SpecialStringConverter** out) override {
    if (!out) return E_INVALIDARG;
    static Converter converter;
    *out = &converter;
    return S_OK;
  }

  TStatus GetLastErrorText(uint32_t size, char* buffer) override {
    if (!buffer || size == 0) return E_INVALIDARG;
    const std::string& text = LastError();
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return S_OK;
  }
};

Server& TheServer() {
  static Server server;
  return server;
}

}  // namespace

}  // namespace korvex

// --- what the host program asks of the module ------------------------------

int32_t KorvexOpenBoard(const char* path, char* error, uint32_t errorSize) {
  std::string message;
  try {
    if (!path || !*path) {
      message = "no board document given";
    } else {
      // A board that cannot be read leaves the open one as it is.
      korvex::Session::Get().Open(korvex::OpenBoardFile(path));
      return 0;
    }
  } catch (const korvex::DocumentError& e) {
    message = e.what();
  } catch (const std::bad_alloc&) {
    message = std::string(path) + ": not enough memory to open the board";
  } catch (const std::exception& e) {
    message = std::string(path) + ": " + e.what();
  }
  if (error && errorSize) {
    const size_t n = std::min<size_t>(message.size(), errorSize - 1);
    std::memcpy(error, message.data(), n);
    error[n] = '\0';
  }
  return 1;
}

void KorvexCloseBoard() {
  korvex::Session::Get().Close();
}

abi::TStatus KorvexGetServerModule(abi::IHostUnknown** out) {
  if (!out) return abi::E_INVALIDARG;
  *out = static_cast<abi::IPCB_ServerInterface*>(&korvex::TheServer());
  return abi::S_OK;
}
