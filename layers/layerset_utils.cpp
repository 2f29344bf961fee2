// The layer set utilities the module hands to the host: the constructors of
// new sets from nothing, partitions, layers, older layer sets or text.
#include "layers/layerset.h"
#include "layers/layerset_internal.h"
#include "layers/rtl_errors.h"

namespace quennet {

using namespace layerset_internal;

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
