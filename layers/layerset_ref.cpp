#include <vector>

#include "layers/layerset.h"
#include "layers/rtl_errors.h"

namespace quennet {
namespace {

[[noreturn]] void Empty(const char* operation) {
  throw EPCB_LayerSetException(std::string("Layer set operation ") + operation +
                               " on an empty reference");
}

template <class I>
[[noreturn]] void RaiseFrom(I* object, const char* operation) {
  abi::TLayerSetError error{};
  if (abi::Failed(object->GetLastError(&error))) error.Kind = abi::lseNone;
  RaiseLayerSetError(error, operation);
}

TLayerSetRef Adopt(IPCB_LayerSet* set) {
  return TLayerSetRef(abi::Ref<IPCB_LayerSet>(set));
}

}  // namespace

TLayerSetRef TLayerSetRef::Share(IPCB_LayerSet* set) {
  if (set) set->AddRef();
  return Adopt(set);
}

void TLayerSetRef::Check(abi::TStatus status, const char* operation) const {
  if (abi::Failed(status)) RaiseFrom(set_.get(), operation);
}

#define QUENNET_SET(op)  \
  if (!set_) Empty(#op); \
  IPCB_LayerSet* const s = set_.get()

bool TLayerSetRef::Contains(TV7_Layer layer) const {
  QUENNET_SET(Contains);
  bool r = false;
  Check(s->Contains(layer, &r), "Contains");
  return r;
}

#define QUENNET_CHAIN(Name, call)                \
  const TLayerSetRef& TLayerSetRef::Name const { \
    QUENNET_SET(Name);                           \
    Check(s->call, #Name);                       \
    return *this;                                \
  }
QUENNET_CHAIN(Include(TV7_Layer layer), Include(layer, nullptr))
QUENNET_CHAIN(IncludeArray(const TV7_Layer* layers, int32_t count),
              IncludeArray(layers, count, nullptr))
QUENNET_CHAIN(IncludePartitions(uint32_t mask), IncludePartitions(mask, nullptr))
QUENNET_CHAIN(IncludeSet(const TLayerSetRef& other), IncludeSet(other.get(), nullptr))
QUENNET_CHAIN(IncludeIterated(const TLayerIteratorRef& it), IncludeIterated(it.get(), nullptr))
QUENNET_CHAIN(Exclude(TV7_Layer layer), Exclude(layer, nullptr))
QUENNET_CHAIN(ExcludePartitions(uint32_t mask), ExcludePartitions(mask, nullptr))
QUENNET_CHAIN(ExcludeFixedPartitions(), ExcludeFixedPartitions(nullptr))
QUENNET_CHAIN(ClearSignal(), ClearSignal(nullptr))
QUENNET_CHAIN(ClearMechanical(), ClearMechanical(nullptr))
QUENNET_CHAIN(ClearInternal(), ClearInternal(nullptr))
QUENNET_CHAIN(IncludeAllSignal(), IncludeAllSignal(nullptr))
QUENNET_CHAIN(IncludeAllStandardToo(), IncludeAllStandardToo(nullptr))
QUENNET_CHAIN(IncludeAllMechanical(), IncludeAllMechanical(nullptr))
QUENNET_CHAIN(IncludeAllInternal(), IncludeAllInternal(nullptr))
QUENNET_CHAIN(IncludeAllStandard(), IncludeAllStandard(nullptr))
QUENNET_CHAIN(IncludeAll(), IncludeAll(nullptr))
QUENNET_CHAIN(IncludeLegacySet(const TLegacyLayerSet& set), IncludeLegacySet(&set, nullptr))
QUENNET_CHAIN(IncludeLegacyLayer(TLayer layer), IncludeLegacyLayer(layer, nullptr))
#undef QUENNET_CHAIN

const TLayerSetRef& TLayerSetRef::IncludeArray(std::initializer_list<TV7_Layer> layers) const {
  return IncludeArray(layers.begin(), static_cast<int32_t>(layers.size()));
}

const TLayerSetRef& TLayerSetRef::ExcludeArray(std::initializer_list<TV7_Layer> layers) const {
  QUENNET_SET(ExcludeArray);
  Check(s->ExcludeArray(layers.begin(), static_cast<int32_t>(layers.size()), nullptr),
        "ExcludeArray");
  return *this;
}

#define QUENNET_BOOL(Name)          \
  bool TLayerSetRef::Name() const { \
    QUENNET_SET(Name);              \
    bool r = false;                 \
    Check(s->Name(&r), #Name);      \
    return r;                       \
  }
QUENNET_BOOL(IsFinite)
QUENNET_BOOL(IsAll)
QUENNET_BOOL(IsEmpty)
QUENNET_BOOL(HasInternalPlanes)
#undef QUENNET_BOOL

TLayerIteratorRef TLayerSetRef::CreateIterator() const {
  QUENNET_SET(CreateIterator);
  IPCB_LayerIterator* it = nullptr;
  Check(s->CreateIterator(&it), "CreateIterator");
  return TLayerIteratorRef(abi::Ref<IPCB_LayerIterator>(it));
}

TV7_Layer TLayerSetRef::FirstLayer() const {
  QUENNET_SET(FirstLayer);
  TV7_Layer r = 0;
  Check(s->FirstLayer(&r), "FirstLayer");
  return r;
}

TLayerSetRef TLayerSetRef::Complement() const {
  QUENNET_SET(Complement);
  IPCB_LayerSet* r = nullptr;
  Check(s->Complement(&r), "Complement");
  return Adopt(r);
}

TLayerSetRef TLayerSetRef::Intersection(const TLayerSetRef& other) const {
  QUENNET_SET(Intersection);
  IPCB_LayerSet* r = nullptr;
  Check(s->Intersection(other.get(), &r), "Intersection");
  return Adopt(r);
}

TLayerSetRef TLayerSetRef::Union(const TLayerSetRef& other) const {
  QUENNET_SET(Union);
  IPCB_LayerSet* r = nullptr;
  Check(s->Union(other.get(), &r), "Union");
  return Adopt(r);
}

TLayerSetRef TLayerSetRef::Clone() const {
  QUENNET_SET(Clone);
  IPCB_LayerSet* r = nullptr;
  Check(s->Clone(&r), "Clone");
  return Adopt(r);
}

bool TLayerSetRef::EqualsSet(const TLayerSetRef& other) const {
  QUENNET_SET(EqualsSet);
  bool r = false;
  Check(s->EqualsSet(other.get(), &r), "EqualsSet");
  return r;
}

bool TLayerSetRef::EqualsLayer(TV7_Layer layer) const {
  QUENNET_SET(EqualsLayer);
  bool r = false;
  Check(s->EqualsLayer(layer, &r), "EqualsLayer");
  return r;
}

std::u16string TLayerSetRef::Description() const {
  QUENNET_SET(Description);
  int32_t length = 0;
  Check(s->Description(nullptr, 0, &length), "Description");
  std::u16string text(static_cast<size_t>(length), u'\0');
  Check(s->Description(text.data(), length, &length), "Description");
  text.resize(static_cast<size_t>(length));
  return text;
}

std::string TLayerSetRef::Serialize() const {
  QUENNET_SET(Serialize);
  int32_t length = 0;
  Check(s->Serialize(nullptr, 0, &length), "Serialize");
  std::string text(static_cast<size_t>(length), '\0');
  Check(s->Serialize(text.data(), length, &length), "Serialize");
  text.resize(static_cast<size_t>(length));
  return text;
}
#undef QUENNET_SET

// --- TLayerIteratorRef ----------------------------------------------------------------

void TLayerIteratorRef::Check(abi::TStatus status, const char* operation) const {
  if (abi::Failed(status)) RaiseFrom(it_.get(), operation);
}

#define QUENNET_IT(op)  \
  if (!it_) Empty(#op); \
  IPCB_LayerIterator* const i = it_.get()

bool TLayerIteratorRef::First() const {
  QUENNET_IT(First);
  bool r = false;
  Check(i->First(&r), "First");
  return r;
}

void TLayerIteratorRef::Reset() const {
  QUENNET_IT(Reset);
  Check(i->Reset(), "Reset");
}

bool TLayerIteratorRef::Next() const {
  QUENNET_IT(Next);
  bool r = false;
  Check(i->Next(&r), "Next");
  return r;
}

TV7_Layer TLayerIteratorRef::Layer() const {
  QUENNET_IT(Layer);
  TV7_Layer r = 0;
  Check(i->Layer(&r), "Layer");
  return r;
}

void TLayerIteratorRef::SetFilter(const TLayerSetRef& filter) const {
  QUENNET_IT(SetFilter);
  Check(i->SetFilter(filter.get()), "SetFilter");
}

void TLayerIteratorRef::SetFilterPartitions(uint32_t mask) const {
  QUENNET_IT(SetFilterPartitions);
  Check(i->SetFilterPartitions(mask), "SetFilterPartitions");
}
#undef QUENNET_IT

// --- Constructors ------------------------------------------------------------------------

namespace {

template <class F>
TLayerSetRef Make(const char* operation, F&& call) {
  IPCB_LayerSet* set = nullptr;
  if (abi::Failed(call(LayerSetUtils(), &set))) RaiseFrom(&LayerSetUtils(), operation);
  return Adopt(set);
}

}  // namespace

TLayerSetRef NewEmptySet() {
  return Make("NewEmptySet", [](TLayerSetUtils& u, IPCB_LayerSet** r) { return u.NewEmptySet(r); });
}

TLayerSetRef NewLayerSetFromPartitions(uint32_t mask) {
  return Make("FromPartitions",
              [&](TLayerSetUtils& u, IPCB_LayerSet** r) { return u.FromPartitions(mask, r); });
}

TLayerSetRef NewAllLayersSet() {
  return Make("AllLayers", [](TLayerSetUtils& u, IPCB_LayerSet** r) { return u.AllLayers(r); });
}

TLayerSetRef DeserializeLayerSet(std::string_view text) {
  return Make("Deserialize", [&](TLayerSetUtils& u, IPCB_LayerSet** r) {
    return u.Deserialize(text.data(), static_cast<int32_t>(text.size()), r);
  });
}

}  // namespace quennet
