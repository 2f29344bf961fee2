#include "layers/layerset.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "layers/rtl_errors.h"

namespace quennet {
namespace {

// Lines of the layer sets' consistency checks, as reported with unit
// RT_PCBProcs.
constexpr int kLineSetPartition = 2235;
constexpr int kLineIntersectionForeign = 2977;
constexpr int kLineIntersectionSelf = 2983;
constexpr int kLineUnionForeign = 3070;
constexpr int kLineUnionSelf = 3076;
constexpr int kLineEqualsForeign = 3121;

constexpr const char* kSetPartitionNames[kSetPartitionCount] = {"Signal", "Mechanical", "Internal",
                                                                "Standard"};
constexpr const char* kSetPartitionLongNames[kSetPartitionCount] = {
    "Signal Layers", "Mechanical Layers", "Internal Plane Layers", "Standard Layers"};

constexpr uint32_t kFixedPartitionsMask = 0x0001FFFEu;

bool SameGuid(const abi::TGUID& a, const abi::TGUID& b) {
  return a == b;
}

void CopyKeys(const TLayerHash* from, void (TSetPartition::*op)(TV7_Layer), TSetPartition& to) {
  if (!from) return;
  for (const TBucket& b : from->Buckets())
    for (int32_t i = 0; i < b.Count; ++i) (to.*op)(b.Items[static_cast<size_t>(i)].Key);
}

template <class F>
void ForEachKey(const TLayerHash* hash, F&& f) {
  if (!hash) return;
  for (const TBucket& b : hash->Buckets())
    for (int32_t i = 0; i < b.Count; ++i) f(b.Items[static_cast<size_t>(i)].Key);
}

bool HashHolds(const TLayerHash* hash, TV7_Layer layer) {
  return hash && hash->Contains(layer);
}

std::unique_ptr<TLayerHash> CopyHash(const std::unique_ptr<TLayerHash>& from) {
  if (!from) return nullptr;
  std::unique_ptr<TLayerHash> to = NewSetHash();
  to->Resize(from->Count());
  ForEachKey(from.get(), [&](TV7_Layer key) {
    THashValue v = 0;
    from->TryGetValue(key, v);
    to->SetValue(key, v);
  });
  return to;
}

// --- Delimited lists of name-value items -------------------------------------------

std::string QuoteItem(const std::string& item, char delimiter) {
  if (item.find(delimiter) == std::string::npos && item.find('"') == std::string::npos) return item;
  std::string q = "\"";
  for (char c : item) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::vector<std::string> SplitItems(std::string_view text, char delimiter) {
  std::vector<std::string> items;
  size_t i = 0;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
      while (i < text.size() && text[i] != delimiter) item += text[i++];
    } else {
      while (i < text.size() && text[i] != delimiter) item += text[i++];
    }
    items.push_back(std::move(item));
    if (i < text.size()) ++i;  // the delimiter
  }
  return items;
}

std::pair<std::string, std::string> SplitNameValue(const std::string& item, char separator) {
  const size_t at = item.find(separator);
  if (at == std::string::npos) return {item, std::string()};
  return {item.substr(0, at), item.substr(at + 1)};
}

bool ParseInt32(const std::string& s, int64_t& out) {
  if (s.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 0x80000000LL) return false;
  }
  v = negative ? -v : v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  out = v;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string SerializeHash(const TLayerHash& hash) {
  std::string text = "SerializeLayerHash.Version=2,ClassName=TLayerHash";
  ForEachKey(&hash, [&](TV7_Layer key) {
    THashValue v = 0;
    const_cast<TLayerHash&>(hash).TryGetValue(key, v);
    text += ',';
    text += std::to_string(LayerToSaveInteger(key));
    text += '=';
    text += std::to_string(v);
  });
  return text;
}

void DeserializeHash(std::string_view text, TLayerHash& hash) {
  hash.Clear();
  const std::vector<std::string> items = SplitItems(text, ',');
  bool byName = false;
  for (const std::string& item : items)
    if (EqualsNoCase(SplitNameValue(item, '=').first, "Text")) byName = true;
  for (const std::string& item : items) {
    const auto [name, valueText] = SplitNameValue(item, '=');
    int64_t value = 0;
    if (!ParseInt32(valueText, value)) continue;
    TV7_Layer layer = 0;
    if (byName) {
      if (EqualsNoCase(name, "Text")) continue;
      layer = LayerFromDisplayName(name);
      if (layer == 0) continue;
    } else {
      int64_t saved = 0;
      if (!ParseInt32(name, saved)) continue;
      layer = CreateFromInteger_ForSave(static_cast<int32_t>(saved));
    }
    hash.SetValue(layer, static_cast<THashValue>(value));
  }
}

[[noreturn]] void BadSetText(const std::string& item, const std::string& why) {
  throw EPCB_LayerSetException("Invalid layer set text at item \"" + item + "\": " + why);
}

// The set partition of a layer, or -1 for a class or a value of no partition.
int PartitionOrNone(TV7_Layer layer) {
  if (IsMechanicalLayer(layer)) return spMechanical;
  if (IsSignalLayer(layer)) return spSignal;
  if (IsInternalPlane(layer)) return spInternal;
  if ((layer >> 24) == 0 && !IsLayerClass(layer)) return spStandard;
  return -1;
}

// A layer read into another partition's hash would be iterated as a member
// yet never found by Contains, and a class would be iterated as a layer.
void CheckPartitionKeys(const TLayerHash& hash, int kind, const std::string& item) {
  ForEachKey(&hash, [&](TV7_Layer key) {
    if (PartitionOrNone(key) != kind)
      BadSetText(item, "layer ID=" + std::to_string(static_cast<int32_t>(key)) +
                           " does not belong to the " + kSetPartitionNames[kind] + " partition");
  });
}

}  // namespace

const char* SetPartitionName(int kind) {
  return kSetPartitionNames[kind];
}
const char* SetPartitionLongName(int kind) {
  return kSetPartitionLongNames[kind];
}

int SetPartitionOf(TV7_Layer layer) {
  if (const int kind = PartitionOrNone(layer); kind >= 0) return kind;
  AssertionFailure(
      "Layer has no layer set partition ID=" + std::to_string(static_cast<int32_t>(layer)),
      kLayerSetUnit, kLineSetPartition);
}

std::unique_ptr<TLayerHash> NewSetHash() {
  return std::make_unique<TLayerHash>(false, 0, 8);
}

// --- TSetPartition -------------------------------------------------------------------

TSetPartition::TSetPartition(const TSetPartition& other)
    : IncludeAll(other.IncludeAll),
      Included(CopyHash(other.Included)),
      Exceptions(CopyHash(other.Exceptions)) {}

TSetPartition& TSetPartition::operator=(const TSetPartition& other) {
  if (this != &other) {
    TSetPartition copy(other);
    *this = std::move(copy);
  }
  return *this;
}

bool TSetPartition::Contains(TV7_Layer layer) const {
  if (Included && Included->Contains(layer)) return true;
  if (Exceptions && Exceptions->Contains(layer)) return false;
  return IncludeAll;
}

void TSetPartition::Include(TV7_Layer layer) {
  if (!IncludeAll) {
    if (!Included) Included = NewSetHash();
    Included->SetValue(layer, 1);
  }
  if (Exceptions) Exceptions->Remove(layer);
}

void TSetPartition::Exclude(TV7_Layer layer) {
  if (IncludeAll) {
    if (!Exceptions) Exceptions = NewSetHash();
    Exceptions->SetValue(layer, 1);
  }
  if (Included) Included->Remove(layer);
}

void TSetPartition::Clear() {
  IncludeAll = false;
  Included.reset();
  Exceptions.reset();
}

void TSetPartition::SetAll() {
  IncludeAll = true;
  Included.reset();
  Exceptions.reset();
}

// --- Errors across the interface ------------------------------------------------------

void CaptureLayerSetError(abi::TLayerSetError& error) noexcept {
  error = abi::TLayerSetError{};
  try {
    throw;
  } catch (const EAssertionFailed& e) {
    error.Kind = abi::lseAssertion;
    error.Line = e.line();
    abi::SetShortString(error.Unit, e.unit());
    abi::SetShortString(error.Message, e.message());
  } catch (const ELayerException& e) {
    error.Kind = abi::lseLayer;
    abi::SetShortString(error.Message, e.what());
  } catch (const EPCB_LayerSetException& e) {
    error.Kind = abi::lseLayerSet;
    abi::SetShortString(error.Message, e.what());
  } catch (const EListError& e) {
    error.Kind = abi::lseList;
    abi::SetShortString(error.Message, e.what());
  } catch (const EEOFException& e) {
    error.Kind = abi::lseEOF;
    abi::SetShortString(error.Message, e.what());
  } catch (const std::exception& e) {
    error.Kind = abi::lseOther;
    abi::SetShortString(error.Message, e.what());
  } catch (...) {
    error.Kind = abi::lseOther;
    abi::SetShortString(error.Message, "Unknown error");
  }
}

void RaiseLayerSetError(const abi::TLayerSetError& error, const char* operation) {
  const std::string message = abi::FromShortString(error.Message);
  switch (error.Kind) {
    case abi::lseAssertion: {
      const std::string unit = abi::FromShortString(error.Unit);
      throw EAssertionFailed(message, unit.c_str(), error.Line);
    }
    case abi::lseLayer:
      throw ELayerException(message);
    case abi::lseLayerSet:
      throw EPCB_LayerSetException(message);
    case abi::lseList:
      throw EListError(message);
    case abi::lseEOF:
      throw EEOFException(message);
    case abi::lseOther:
      throw std::runtime_error(message);
    default:
      throw EPCB_LayerSetException(std::string("Layer set operation ") + operation + " failed");
  }
}

// --- TPCB_LayerSetBase ------------------------------------------------------------------

template <class F>
abi::TStatus TPCB_LayerSetBase::Guard(F&& body) noexcept {
  try {
    body();
    return abi::S_OK;
  } catch (...) {
    CaptureLayerSetError(lastError_);
    return abi::E_FAIL;
  }
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::New() {
  auto* set = new TPCB_LayerSetBase();
  set->AddRef();
  return abi::Ref<TPCB_LayerSetBase>(set);
}

abi::TStatus TPCB_LayerSetBase::QueryInterface(const abi::TGUID& iid, void** out) {
  if (!out) return abi::E_INVALIDARG;
  if (SameGuid(iid, abi::IID_IPCB_LayerSet) || SameGuid(iid, abi::IID_IUnknownRoot)) {
    *out = static_cast<IPCB_LayerSet*>(this);
  } else if (SameGuid(iid, IID_PCB_LayerSetPrivate)) {
    *out = static_cast<IPCB_LayerSetPrivate*>(this);
  } else {
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }
  AddRef();
  return abi::S_OK;
}

uint32_t TPCB_LayerSetBase::Release() {
  const uint32_t n = --refCount_;
  if (n == 0) delete this;
  return n;
}

abi::TStatus TPCB_LayerSetBase::Chain(IPCB_LayerSet** result) {
  if (result) {
    AddRef();
    *result = this;
  }
  return abi::S_OK;
}

void TPCB_LayerSetBase::Assign(const TPCB_LayerSetBase& other) {
  if (this == &other) return;
  for (int k = 0; k < kSetPartitionCount; ++k) partitions_[k] = other.partitions_[k];
}

namespace {

template <class F>
abi::TStatus Handing(abi::TLayerSetError& error, IPCB_LayerSet** result, F&& make) noexcept {
  if (!result) return abi::E_INVALIDARG;
  *result = nullptr;
  try {
    abi::Ref<TPCB_LayerSetBase> set = make();
    *result = static_cast<IPCB_LayerSet*>(set.detach());
    return abi::S_OK;
  } catch (...) {
    CaptureLayerSetError(error);
    return abi::E_FAIL;
  }
}

}  // namespace

TPCB_LayerSetBase* AsLayerSetBase(IPCB_LayerSet* set, int line) {
  void* p = nullptr;
  if (abi::Failed(set->QueryInterface(IID_PCB_LayerSetPrivate, &p)) || !p)
    AssertionFailure("", kLayerSetUnit, line);
  auto* priv = static_cast<IPCB_LayerSetPrivate*>(p);
  TPCB_LayerSetBase* self = priv->Self();
  priv->Release();  // the caller holds its own reference to set
  return self;
}

bool TPCB_LayerSetBase::DoContains(TV7_Layer layer) const {
  if (IsLayerClass(layer)) {
    switch (layer) {
      case kElectricalLayers:
        return partitions_[spSignal].IsFull() && partitions_[spInternal].IsFull();
      case kSignalLayers:
        return partitions_[spSignal].IsFull();
      case kInternalPlaneLayers:
        return partitions_[spInternal].IsFull();
      case kMechanicalLayers:
        return partitions_[spMechanical].IsFull();
      case kMidLayers: {
        const TSetPartition& s = partitions_[spSignal];
        if (!s.IncludeAll) return false;
        bool onlyOuter = true;
        ForEachKey(s.Exceptions.get(), [&](TV7_Layer key) {
          if (key != eTopLayer && key != eBottomLayer) onlyOuter = false;
        });
        return onlyOuter;
      }
      case kAllLayers:
        return false;
      default:
        break;  // no class: fails as a layer of no partition
    }
  }
  return partitions_[SetPartitionOf(layer)].Contains(layer);
}

void TPCB_LayerSetBase::DoInclude(TV7_Layer layer) {
  if (IsLayerClass(layer)) {
    switch (layer) {
      case kAllLayers:
        for (int k : {spStandard, spInternal, spMechanical, spSignal}) partitions_[k].SetAll();
        return;
      case kElectricalLayers:
        partitions_[spSignal].SetAll();
        partitions_[spInternal].SetAll();
        return;
      case kSignalLayers:
        partitions_[spSignal].SetAll();
        return;
      case kInternalPlaneLayers:
        partitions_[spInternal].SetAll();
        return;
      case kMechanicalLayers:
        partitions_[spMechanical].SetAll();
        return;
      case kMidLayers: {
        const bool top = DoContains(eTopLayer);
        const bool bottom = DoContains(eBottomLayer);
        partitions_[spSignal].SetAll();
        if (!top) DoExclude(eTopLayer);
        if (!bottom) DoExclude(eBottomLayer);
        return;
      }
      default:
        break;
    }
  }
  partitions_[SetPartitionOf(layer)].Include(layer);
}

void TPCB_LayerSetBase::DoExclude(TV7_Layer layer) {
  if (IsLayerClass(layer)) {
    switch (layer) {
      case kElectricalLayers:
        partitions_[spSignal].Clear();
        partitions_[spInternal].Clear();
        return;
      case kSignalLayers:
        partitions_[spSignal].Clear();
        return;
      case kInternalPlaneLayers:
        partitions_[spInternal].Clear();
        return;
      case kMechanicalLayers:
        partitions_[spMechanical].Clear();
        return;
      case kAllLayers:
      case kMidLayers:
        return;
      default:
        break;
    }
  }
  partitions_[SetPartitionOf(layer)].Exclude(layer);
}

bool TPCB_LayerSetBase::DoIsFinite() const {
  for (const TSetPartition& p : partitions_)
    if (p.IsFull()) return false;
  return true;
}

bool TPCB_LayerSetBase::DoIsAll() const {
  for (const TSetPartition& p : partitions_)
    if (!p.IsFull()) return false;
  return true;
}

bool TPCB_LayerSetBase::DoIsEmpty() const {
  for (const TSetPartition& p : partitions_)
    if (p.IncludeAll || p.HasIncluded()) return false;
  return true;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoClone() const {
  abi::Ref<TPCB_LayerSetBase> r = New();
  r->Assign(*this);
  return r;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoComplement() const {
  abi::Ref<TPCB_LayerSetBase> r = New();
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& a = partitions_[k];
    TSetPartition& c = r->partitions_[k];
    c.IncludeAll = !a.IncludeAll;
    if (a.IncludeAll)
      CopyKeys(a.Exceptions.get(), &TSetPartition::Include, c);
    else
      CopyKeys(a.Included.get(), &TSetPartition::Exclude, c);
  }
  return r;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoIntersection(IPCB_LayerSet* other) const {
  if (!other) return DoClone();
  const TPCB_LayerSetBase* b = AsLayerSetBase(other, kLineIntersectionForeign);
  if (!b) AssertionFailure("", kLayerSetUnit, kLineIntersectionSelf);
  abi::Ref<TPCB_LayerSetBase> r = New();
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& pa = partitions_[k];
    const TSetPartition& pb = b->partitions_[k];
    TSetPartition& pr = r->partitions_[k];
    pr.IncludeAll = pa.IncludeAll && pb.IncludeAll;
    if (!pr.IncludeAll) {
      if (pa.IncludeAll) {
        CopyKeys(pb.Included.get(), &TSetPartition::Include, pr);
      } else if (pb.IncludeAll) {
        CopyKeys(pa.Included.get(), &TSetPartition::Include, pr);
      } else {
        ForEachKey(pa.Included.get(), [&](TV7_Layer key) {
          if (HashHolds(pb.Included.get(), key)) pr.Include(key);
        });
      }
    }
    CopyKeys(pa.Exceptions.get(), &TSetPartition::Exclude, pr);
    CopyKeys(pb.Exceptions.get(), &TSetPartition::Exclude, pr);
  }
  return r;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoUnion(IPCB_LayerSet* other) const {
  abi::Ref<TPCB_LayerSetBase> r = New();
  if (!other) {
    for (TSetPartition& p : r->partitions_) p.SetAll();
    return r;
  }
  const TPCB_LayerSetBase* b = AsLayerSetBase(other, kLineUnionForeign);
  if (!b) AssertionFailure("", kLayerSetUnit, kLineUnionSelf);
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& pa = partitions_[k];
    const TSetPartition& pb = b->partitions_[k];
    TSetPartition& pr = r->partitions_[k];
    pr.IncludeAll = pa.IncludeAll || pb.IncludeAll;
    if (!pr.IncludeAll) {
      CopyKeys(pa.Included.get(), &TSetPartition::Include, pr);
      CopyKeys(pb.Included.get(), &TSetPartition::Include, pr);
    } else if (pa.IncludeAll && pb.IncludeAll) {
      ForEachKey(pa.Exceptions.get(), [&](TV7_Layer key) {
        if (HashHolds(pb.Exceptions.get(), key)) pr.Exclude(key);
      });
    } else {
      // An exception of the include-all side stays out only when the other
      // side does not hold it: a union keeps every member of both operands.
      const TSetPartition& all = pa.IncludeAll ? pa : pb;
      const TSetPartition& finite = pa.IncludeAll ? pb : pa;
      ForEachKey(all.Exceptions.get(), [&](TV7_Layer key) {
        if (!HashHolds(finite.Included.get(), key)) pr.Exclude(key);
      });
    }
  }
  return r;
}

bool TPCB_LayerSetBase::DoEqualsSet(IPCB_LayerSet* other) const {
  if (!other) return DoIsAll();
  TPCB_LayerSetBase* b = AsLayerSetBase(other, kLineEqualsForeign);
  abi::Ref<TPCB_LayerSetBase> notB = b->DoComplement();
  abi::Ref<TPCB_LayerSetBase> notA = DoComplement();
  return DoIntersection(static_cast<IPCB_LayerSet*>(notB.get()))->DoIsEmpty() &&
         b->DoIntersection(static_cast<IPCB_LayerSet*>(notA.get()))->DoIsEmpty();
}

std::u16string TPCB_LayerSetBase::DoDescription() const {
  std::string text;
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& p = partitions_[k];
    text += kSetPartitionLongNames[k];
    text += p.IncludeAll ? " Include All : Exceptions\r\n" : " Exclude All : Exceptions\r\n";
    ForEachKey(p.Included.get(),
               [&](TV7_Layer key) { text += " + " + LayerDisplayName(key) + "\r\n"; });
    ForEachKey(p.Exceptions.get(),
               [&](TV7_Layer key) { text += " - " + LayerDisplayName(key) + "\r\n"; });
  }
  return std::u16string(text.begin(), text.end());
}

std::string TPCB_LayerSetBase::DoSerialize() const {
  std::string text;
  auto add = [&](const std::string& item) {
    if (!text.empty()) text += '_';
    text += QuoteItem(item, '_');
  };
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& p = partitions_[k];
    const std::string name = kSetPartitionNames[k];
    add(name + ".All~" + (p.IncludeAll ? "True" : "False"));
    if (p.Included) add(name + ".Include~" + SerializeHash(*p.Included));
    if (p.Exceptions) add(name + ".Exclude~" + SerializeHash(*p.Exceptions));
  }
  return text;
}

void TPCB_LayerSetBase::DoDeserialize(std::string_view text) {
  TSetPartition parts[kSetPartitionCount];
  for (const std::string& item : SplitItems(text, '_')) {
    const auto [name, value] = SplitNameValue(item, '~');
    const size_t dot = name.find('.');
    if (dot == std::string::npos) BadSetText(item, "expected <partition>.<field>~<value>");
    const std::string partition = name.substr(0, dot);
    const std::string field = name.substr(dot + 1);
    int k = 0;
    while (k < kSetPartitionCount && !EqualsNoCase(partition, kSetPartitionNames[k])) ++k;
    if (k == kSetPartitionCount) BadSetText(item, "unknown partition");
    TSetPartition& p = parts[k];
    if (EqualsNoCase(field, "All")) {
      int64_t n = 0;
      if (EqualsNoCase(value, "True"))
        p.IncludeAll = true;
      else if (EqualsNoCase(value, "False"))
        p.IncludeAll = false;
      else if (ParseInt32(value, n))
        p.IncludeAll = n != 0;
      else
        BadSetText(item, "not a boolean");
    } else if (EqualsNoCase(field, "Include")) {
      p.Included = NewSetHash();
      DeserializeHash(value, *p.Included);
      CheckPartitionKeys(*p.Included, k, item);
    } else if (EqualsNoCase(field, "Exclude")) {
      p.Exceptions = NewSetHash();
      DeserializeHash(value, *p.Exceptions);
      CheckPartitionKeys(*p.Exceptions, k, item);
    } else {
      BadSetText(item, "unknown field");
    }
  }
  for (int k = 0; k < kSetPartitionCount; ++k) partitions_[k] = std::move(parts[k]);
}

TV7_Layer TPCB_LayerSetBase::DoFirstLayer() {
  if (DoIsEmpty()) return eNoLayer;
  if (DoIsFinite()) {
    IPCB_LayerIterator* raw = nullptr;
    if (abi::Failed(CreateIterator(&raw))) RaiseLayerSetError(lastError_, "CreateIterator");
    abi::Ref<IPCB_LayerIterator> it(raw);
    auto* base = static_cast<TLayerIteratorBase*>(raw);
    return base->DoNext() ? base->CurrentLayer() : eNoLayer;
  }
  for (TV7_Layer layer :
       {TV7_Layer{eInternalPlane1}, TV7_Layer{eMechanical1}, TV7_Layer{eTopOverlay}})
    if (DoContains(layer)) return layer;
  return eTopLayer;
}

// Interface methods.

abi::TStatus TPCB_LayerSetBase::Contains(TV7_Layer layer, bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoContains(layer); });
}

abi::TStatus TPCB_LayerSetBase::IncludeIterated(IPCB_LayerIterator* iterator,
                                                IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    if (!iterator) return;
    bool more = false;
    abi::TLayerSetError error{};
    auto check = [&](abi::TStatus st, const char* op) {
      if (abi::Failed(st)) {
        if (abi::Failed(iterator->GetLastError(&error))) error.Kind = abi::lseNone;
        RaiseLayerSetError(error, op);
      }
    };
    check(iterator->First(&more), "First");
    while (more) {
      TV7_Layer layer = 0;
      check(iterator->Layer(&layer), "Layer");
      DoInclude(layer);
      check(iterator->Next(&more), "Next");
    }
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::Include(TV7_Layer layer, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] { DoInclude(layer); });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludePartitions(uint32_t mask, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    for (int k = 0; k < 32; ++k)
      if (mask & (1u << k)) DoInclude(LayerFromPartition(static_cast<uint8_t>(k)));
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludeArray(const TV7_Layer* layers, int32_t count,
                                             IPCB_LayerSet** result) {
  if (count > 0 && !layers) return abi::E_INVALIDARG;
  const abi::TStatus s = Guard([&] {
    for (int32_t i = 0; i < count; ++i) DoInclude(layers[i]);
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludeSet(IPCB_LayerSet* other, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    abi::Ref<TPCB_LayerSetBase> u = DoUnion(other);
    for (int k = 0; k < kSetPartitionCount; ++k) partitions_[k] = std::move(u->partitions_[k]);
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::Exclude(TV7_Layer layer, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] { DoExclude(layer); });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::ExcludeArray(const TV7_Layer* layers, int32_t count,
                                             IPCB_LayerSet** result) {
  if (count > 0 && !layers) return abi::E_INVALIDARG;
  const abi::TStatus s = Guard([&] {
    for (int32_t i = 0; i < count; ++i) DoExclude(layers[i]);
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::ExcludePartitions(uint32_t mask, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    for (int k = 0; k < 32; ++k)
      if (mask & (1u << k)) DoExclude(LayerFromPartition(static_cast<uint8_t>(k)));
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::ExcludeFixedPartitions(IPCB_LayerSet** result) {
  return ExcludePartitions(kFixedPartitionsMask, result);
}

abi::TStatus TPCB_LayerSetBase::IsFinite(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = DoIsFinite();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::FirstLayer(TV7_Layer* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoFirstLayer(); });
}

#define QUENNET_PARTITION_OP(Name, kind, op)                     \
  abi::TStatus TPCB_LayerSetBase::Name(IPCB_LayerSet** result) { \
    partitions_[kind].op();                                      \
    return Chain(result);                                        \
  }
QUENNET_PARTITION_OP(ClearSignal, spSignal, Clear)
QUENNET_PARTITION_OP(ClearMechanical, spMechanical, Clear)
QUENNET_PARTITION_OP(ClearInternal, spInternal, Clear)
QUENNET_PARTITION_OP(IncludeAllSignal, spSignal, SetAll)
QUENNET_PARTITION_OP(IncludeAllStandardToo, spStandard, SetAll)
QUENNET_PARTITION_OP(IncludeAllMechanical, spMechanical, SetAll)
QUENNET_PARTITION_OP(IncludeAllInternal, spInternal, SetAll)
QUENNET_PARTITION_OP(IncludeAllStandard, spStandard, SetAll)
#undef QUENNET_PARTITION_OP

abi::TStatus TPCB_LayerSetBase::IncludeAll(IPCB_LayerSet** result) {
  IncludeAllStandard(nullptr);
  IncludeAllInternal(nullptr);
  IncludeAllMechanical(nullptr);
  IncludeAllSignal(nullptr);
  return Chain(result);
}

abi::TStatus TPCB_LayerSetBase::HasInternalPlanes(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  const TSetPartition& p = partitions_[spInternal];
  *result = p.IncludeAll || p.HasIncluded();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::Complement(IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoComplement(); });
}

abi::TStatus TPCB_LayerSetBase::Intersection(IPCB_LayerSet* other, IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoIntersection(other); });
}

abi::TStatus TPCB_LayerSetBase::Union(IPCB_LayerSet* other, IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoUnion(other); });
}

abi::TStatus TPCB_LayerSetBase::IsAll(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = DoIsAll();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::IsEmpty(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = DoIsEmpty();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::Clone(IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoClone(); });
}

abi::TStatus TPCB_LayerSetBase::Description(char16_t* buffer, int32_t capacity, int32_t* length) {
  if (!length || capacity < 0 || (capacity > 0 && !buffer)) return abi::E_INVALIDARG;
  return Guard([&] {
    const std::u16string text = DoDescription();
    const size_t n = std::min(text.size(), static_cast<size_t>(capacity));
    if (n) std::memcpy(buffer, text.data(), n * sizeof(char16_t));
    *length = static_cast<int32_t>(text.size());
  });
}

abi::TStatus TPCB_LayerSetBase::EqualsSet(IPCB_LayerSet* other, bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoEqualsSet(other); });
}

abi::TStatus TPCB_LayerSetBase::EqualsLayer(TV7_Layer layer, bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] {
    abi::Ref<TPCB_LayerSetBase> one = New();
    one->DoInclude(layer);
    *result = DoEqualsSet(static_cast<IPCB_LayerSet*>(one.get()));
  });
}

abi::TStatus TPCB_LayerSetBase::Serialize(char* buffer, int32_t capacity, int32_t* length) {
  if (!length || capacity < 0 || (capacity > 0 && !buffer)) return abi::E_INVALIDARG;
  return Guard([&] {
    const std::string text = DoSerialize();
    const size_t n = std::min(text.size(), static_cast<size_t>(capacity));
    if (n) std::memcpy(buffer, text.data(), n);
    *length = static_cast<int32_t>(text.size());
  });
}

abi::TStatus TPCB_LayerSetBase::IncludeLegacySet(const TLegacyLayerSet* set,
                                                 IPCB_LayerSet** result) {
  if (!set) return abi::E_INVALIDARG;
  const abi::TStatus s = Guard([&] {
    for (int layer = 0; layer <= kMaxLayer; ++layer)
      if (LegacySetContains(*set, static_cast<TLayer>(layer)))
        DoInclude(LayerToV7(static_cast<TLayer>(layer)));
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludeLegacyLayer(abi::TLegacyLayer layer,
                                                   IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] { DoInclude(LayerToV7(layer)); });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::GetLastError(abi::TLayerSetError* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = lastError_;
  return abi::S_OK;
}

// --- Iterators -----------------------------------------------------------------------------

namespace {

// Walks the Included hashes of the four partitions, in partition order. It
// holds a reference to its set, which must not change during the walk.
class TLayerSetIterator final : public TLayerIteratorBase {
 public:
  explicit TLayerSetIterator(TPCB_LayerSetBase* set) : set_(set) { set_->AddRef(); }
  ~TLayerSetIterator() override { set_->Release(); }

 protected:
  bool Step(bool restart, TV7_Layer& layer) override {
    if (restart) {
      partition_ = -1;
      it_.reset();
    }
    for (;;) {
      if (it_ && it_->Next()) {
        layer = it_->CurrentKey();
        return true;
      }
      if (partition_ + 1 >= kSetPartitionCount) {
        it_.reset();
        return false;
      }
      ++partition_;
      TLayerHash* hash = set_->Partition(partition_).Included.get();
      if (hash)
        it_.emplace(hash);
      else
        it_.reset();
    }
  }

 private:
  TPCB_LayerSetBase* set_;
  int partition_ = -1;
  std::optional<TBucketListIterator> it_;
};

}  // namespace

abi::TStatus TPCB_LayerSetBase::CreateIterator(IPCB_LayerIterator** result) {
  if (!result) return abi::E_INVALIDARG;
  *result = nullptr;
  return Guard([&] {
    for (const TSetPartition& p : partitions_)
      if (p.IncludeAll) throw EPCB_LayerSetException("Iterating an infinite layer set");
    auto* it = new TLayerSetIterator(this);
    it->AddRef();
    *result = it;
  });
}

template <class F>
abi::TStatus TLayerIteratorBase::Guard(F&& body) noexcept {
  try {
    body();
    return abi::S_OK;
  } catch (...) {
    CaptureLayerSetError(lastError_);
    return abi::E_FAIL;
  }
}

abi::TStatus TLayerIteratorBase::QueryInterface(const abi::TGUID& iid, void** out) {
  if (!out) return abi::E_INVALIDARG;
  if (SameGuid(iid, abi::IID_IPCB_LayerIterator) || SameGuid(iid, abi::IID_IUnknownRoot)) {
    *out = static_cast<IPCB_LayerIterator*>(this);
    AddRef();
    return abi::S_OK;
  }
  *out = nullptr;
  return abi::E_NOINTERFACE;
}

uint32_t TLayerIteratorBase::Release() {
  const uint32_t n = --refCount_;
  if (n == 0) delete this;
  return n;
}

bool TLayerIteratorBase::DoNext() {
  TV7_Layer layer = 0;
  for (;;) {
    const bool restart = restart_;
    restart_ = false;
    if (!Step(restart, layer)) {
      current_ = eNoLayer;
      return false;
    }
    if (!filter_) break;
    bool member = false;
    if (abi::Failed(filter_->Contains(layer, &member))) {
      abi::TLayerSetError error{};
      if (abi::Failed(filter_->GetLastError(&error))) error.Kind = abi::lseNone;
      RaiseLayerSetError(error, "Contains");
    }
    if (member) break;
  }
  current_ = layer;
  return true;
}

abi::TStatus TLayerIteratorBase::First(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  restart_ = true;
  return Guard([&] { *result = DoNext(); });
}

abi::TStatus TLayerIteratorBase::Reset() {
  restart_ = true;
  return abi::S_OK;
}

abi::TStatus TLayerIteratorBase::Next(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoNext(); });
}

abi::TStatus TLayerIteratorBase::Layer(TV7_Layer* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = current_;
  return abi::S_OK;
}

void TLayerIteratorBase::AddFilter(IPCB_LayerSet* group) {
  // Without a filter every layer passes; the first group added becomes the
  // filter, since growing "every layer" would filter nothing.
  if (!filter_) {
    filter_ = abi::Ref<IPCB_LayerSet>(group);
    return;
  }
  IPCB_LayerSet* grown = nullptr;
  if (abi::Failed(filter_->Union(group, &grown))) {
    abi::TLayerSetError error{};
    filter_->GetLastError(&error);
    group->Release();
    RaiseLayerSetError(error, "Union");
  }
  group->Release();
  filter_ = abi::Ref<IPCB_LayerSet>(grown);
}

#define QUENNET_FILTER_OP(Name, Utils)                                            \
  abi::TStatus TLayerIteratorBase::Name() {                                       \
    return Guard([&] {                                                            \
      IPCB_LayerSet* group = nullptr;                                             \
      if (abi::Failed(LayerSetUtils().Utils(&group)))                             \
        throw EPCB_LayerSetException("Could not build the filter group " #Utils); \
      AddFilter(group);                                                           \
    });                                                                           \
  }
QUENNET_FILTER_OP(AddFilter_SignalLayers, SignalLayers)
QUENNET_FILTER_OP(AddFilter_InternalPlanes, InternalPlanes)
QUENNET_FILTER_OP(AddFilter_MechanicalLayers, MechanicalLayers)
QUENNET_FILTER_OP(AddFilter_OverlayLayers, OverlayLayers)
QUENNET_FILTER_OP(AddFilter_MaskLayers, MaskLayers)
#undef QUENNET_FILTER_OP

abi::TStatus TLayerIteratorBase::SetFilter(IPCB_LayerSet* filter) {
  if (filter) filter->AddRef();
  filter_ = abi::Ref<IPCB_LayerSet>(filter);
  return abi::S_OK;
}

abi::TStatus TLayerIteratorBase::SetFilterPartitions(uint32_t mask) {
  IPCB_LayerSet* set = nullptr;
  const abi::TStatus s = LayerSetUtils().FromPartitions(mask, &set);
  if (abi::Failed(s)) {
    LayerSetUtils().GetLastError(&lastError_);
    return s;
  }
  filter_ = abi::Ref<IPCB_LayerSet>(set);
  return abi::S_OK;
}

abi::TStatus TLayerIteratorBase::GetLastError(abi::TLayerSetError* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = lastError_;
  return abi::S_OK;
}

bool TLayerValueIterator::Step(bool restart, TV7_Layer& layer) {
  if (restart) it_.Restart();
  if (!it_.Next()) return false;
  layer = it_.CurrentKey();
  return true;
}

// --- TLayerSetUtils -------------------------------------------------------------------------

template <class F>
abi::TStatus TLayerSetUtils::Build(IPCB_LayerSet** result, F&& fill) noexcept {
  return Handing(lastError_, result, [&] {
    abi::Ref<TPCB_LayerSetBase> set = TPCB_LayerSetBase::New();
    fill(*set.get());
    return set;
  });
}

TLayerSetUtils& LayerSetUtils() {
  static TLayerSetUtils utils;
  return utils;
}

abi::TStatus TLayerSetUtils::QueryInterface(const abi::TGUID& iid, void** out) {
  if (!out) return abi::E_INVALIDARG;
  if (SameGuid(iid, abi::IID_IPCB_LayerSetUtils) || SameGuid(iid, abi::IID_IUnknownRoot)) {
    *out = static_cast<abi::IPCB_LayerSetUtils*>(this);
    return abi::S_OK;
  }
  *out = nullptr;
  return abi::E_NOINTERFACE;
}

abi::TStatus TLayerSetUtils::NewEmptySet(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase&) {});
}
abi::TStatus TLayerSetUtils::AllLayers(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase& s) { s.DoInclude(kAllLayers); });
}
abi::TStatus TLayerSetUtils::SignalLayers(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase& s) { s.DoInclude(kSignalLayers); });
}
abi::TStatus TLayerSetUtils::ElectricalLayers(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase& s) { s.DoInclude(kElectricalLayers); });
}
abi::TStatus TLayerSetUtils::InternalPlanes(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase& s) { s.DoInclude(kInternalPlaneLayers); });
}
abi::TStatus TLayerSetUtils::MechanicalLayers(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase& s) { s.DoInclude(kMechanicalLayers); });
}
abi::TStatus TLayerSetUtils::OverlayLayers(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase& s) {
    s.DoInclude(eTopOverlay);
    s.DoInclude(eBottomOverlay);
  });
}
abi::TStatus TLayerSetUtils::MaskLayers(IPCB_LayerSet** result) {
  return Build(result, [](TPCB_LayerSetBase& s) {
    for (TV7_Layer l : {eTopPaste, eBottomPaste, eTopSolder, eBottomSolder}) s.DoInclude(l);
  });
}
abi::TStatus TLayerSetUtils::FromPartitions(uint32_t mask, IPCB_LayerSet** result) {
  return Build(result, [&](TPCB_LayerSetBase& s) {
    if (abi::Failed(s.IncludePartitions(mask, nullptr))) {
      abi::TLayerSetError e{};
      s.GetLastError(&e);
      RaiseLayerSetError(e, "IncludePartitions");
    }
  });
}
abi::TStatus TLayerSetUtils::FromLayer(TV7_Layer layer, IPCB_LayerSet** result) {
  return Build(result, [&](TPCB_LayerSetBase& s) { s.DoInclude(layer); });
}
abi::TStatus TLayerSetUtils::FromLayers(const TV7_Layer* layers, int32_t count,
                                        IPCB_LayerSet** result) {
  if (count > 0 && !layers) return abi::E_INVALIDARG;
  return Build(result, [&](TPCB_LayerSetBase& s) {
    for (int32_t i = 0; i < count; ++i) s.DoInclude(layers[i]);
  });
}
abi::TStatus TLayerSetUtils::FromLegacySet(const TLegacyLayerSet* set, IPCB_LayerSet** result) {
  if (!set) return abi::E_INVALIDARG;
  return Build(result, [&](TPCB_LayerSetBase& s) {
    for (int layer = 0; layer <= kMaxLayer; ++layer)
      if (LegacySetContains(*set, static_cast<TLayer>(layer)))
        s.DoInclude(LayerToV7(static_cast<TLayer>(layer)));
  });
}
abi::TStatus TLayerSetUtils::ComplementOf(IPCB_LayerSet* set, IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] {
    if (!set) {
      // The complement of every layer.
      return TPCB_LayerSetBase::New();
    }
    return AsLayerSetBase(set, kLineIntersectionForeign)->DoComplement();
  });
}
abi::TStatus TLayerSetUtils::IntersectionOf(IPCB_LayerSet* a, IPCB_LayerSet* b,
                                            IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] {
    if (!a) {
      abi::Ref<TPCB_LayerSetBase> all = TPCB_LayerSetBase::New();
      all->DoInclude(kAllLayers);
      return all->DoIntersection(b);
    }
    return AsLayerSetBase(a, kLineIntersectionForeign)->DoIntersection(b);
  });
}
abi::TStatus TLayerSetUtils::UnionOf(IPCB_LayerSet* a, IPCB_LayerSet* b, IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] {
    if (!a) return TPCB_LayerSetBase::New()->DoUnion(nullptr);
    return AsLayerSetBase(a, kLineUnionForeign)->DoUnion(b);
  });
}
abi::TStatus TLayerSetUtils::Deserialize(const char* text, int32_t length, IPCB_LayerSet** result) {
  if (length < 0 || (length > 0 && !text)) return abi::E_INVALIDARG;
  return Build(result, [&](TPCB_LayerSetBase& s) {
    s.DoDeserialize(std::string_view(text ? text : "", static_cast<size_t>(length)));
  });
}
abi::TStatus TLayerSetUtils::GetLastError(abi::TLayerSetError* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = lastError_;
  return abi::S_OK;
}

}  // namespace quennet
