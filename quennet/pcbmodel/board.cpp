#include "quennet/pcbmodel/board.h"

#include "layers/layerset.h"
#include "quennet/pcbmodel/hostapi.h"

namespace quennet {

namespace {

constexpr int kOutputLayerIndexCount = 109;
constexpr int kPlotterPenCount = 8;

}  // namespace

abi::TLegacyLayerSet ElectricalLegacyLayers() {
  abi::TLegacyLayerSet set{};
  for (int l = eTopLayer; l <= eBottomLayer; ++l) LegacySetInclude(set, static_cast<TLayer>(l));
  for (int l = eInternalPlane1; l <= eInternalPlane16; ++l)
    LegacySetInclude(set, static_cast<TLayer>(l));
  return set;
}

// --- Layer objects ------------------------------------------------------------

TLayerObject::TLayerObject(uint32_t boardHandle, TLayer layer)
    : FBoardHandle(boardHandle), FLayer(layer) {
  if (const char* name = LegacyLayerShortName(layer)) FName.Assign(name);
}

int32_t TLayerObject::TransferDielectric(uint8_t mode) {
  TStrExchange material(FDielectric.Material);
  return PcbApi_QueryLayerDielectric(mode, FLayer, FBoardHandle, material, &FDielectric.Type,
                                     &FDielectric.Constant, &FDielectric.Height);
}

int32_t TLayerObject::Transfer(uint8_t mode) {
  int32_t status;
  {
    TStrExchange name(FName);
    status = PcbApi_QueryLayer(mode, FLayer, FBoardHandle, name, &FCopperThickness, &FByte1,
                               &FByte2, &FPreviousLayer, &FNextLayer, &FLastValue);
  }
  TransferDielectric(mode);
  return status;
}

int32_t TInternalPlane::Transfer(uint8_t mode) {
  int32_t status;
  {
    TStrExchange name(FName), net(FNetName);
    status = PcbApi_QueryInternalPlane(mode, FLayer, FBoardHandle, name, &FCopperThickness, &FByte1,
                                       &FByte2, &FPreviousLayer, &FNextLayer, net);
  }
  TransferDielectric(mode);
  return status;
}

// --- Board -----------------------------------------------------------------------

TPcbBoard::TPcbBoard(uint32_t handle) : FHandle(handle) {
  for (int i = 1; i <= kMaxLayer; ++i) {
    const TLayer l = static_cast<TLayer>(i);
    if (i >= eInternalPlane1 && i <= eInternalPlane16)
      FLayerObjects[i] = std::make_unique<TInternalPlane>(handle, l);
    else
      FLayerObjects[i] = std::make_unique<TLayerObject>(handle, l);
  }
}

TPcbBoard::~TPcbBoard() = default;

int32_t TPcbBoard::Transfer(uint8_t mode) {
  int32_t status;
  {
    // The host speaks the newer layer scheme here; the board keeps the older.
    TV7_Layer boardLayer = LayerToV7(FBoardLayer);
    TStrExchange fileName(FFileName);
    status = PcbApi_QueryBoard(mode, FHandle, &FValue4, fileName, &FByte1, &FValues[0], &FValues[1],
                               &FValues[2], &FValues[3], &FBoardUnit, &boardLayer, &FLastValue);
    // The editor may stand on a pad master or DRC detail layer, which has no
    // TLayer; the export never uses this layer, so that is no reason to fail
    // the whole board: it is kept as no layer.
    const TLayerPartition p = LayerPartitionOf(boardLayer);
    FBoardLayer = p >= lpTopPadMaster && p <= lpDRCDetailLayer ? eNoLayer : V7ToLayer(boardLayer);
  }
  for (int i = 1; i <= kMaxLayer; ++i) {
    int32_t unused1 = 0, unused2 = 0;
    PcbApi_QueryBoardLayerInfo(mode, FHandle, static_cast<TLayer>(i), &FLayerInfo[i], &unused1,
                               &unused2);
  }
  for (int i = 1; i <= kMaxLayer; ++i) FLayerObjects[i]->Transfer(mode);

  PcbApi_QueryBoardSplitPlaneMode(mode, FHandle, &FSplitPlaneMode);
  PcbApi_QueryBoardGridsEx(mode, FHandle, &FGrids);
  PcbApi_QueryBoardOutputOptions(mode, FHandle, &FOutput);
  for (int i = 1; i <= kOutputLayerIndexCount; ++i) {
    PcbApi_QueryBoardOutputOptionsPlotLayers(mode, FHandle, i, &FPlotLayers[i]);
    PcbApi_QueryBoardOutputOptionsFlipLayers(mode, FHandle, i, &FFlipLayers[i]);
  }
  PcbApi_QueryBoardGerberOptions(mode, FHandle, &FGerber);
  PcbApi_QueryBoardPrinterOptions(mode, FHandle, &FPrinter);
  for (int pen = 1; pen <= kPlotterPenCount; ++pen)
    PcbApi_QueryBoardPrinterOptionsPlotterPen(mode, FHandle, pen, &FPens[pen]);
  for (int i = 1; i <= kMaxLayer; ++i)
    PcbApi_QueryBoardPrinterOptionsCompositeLayer(mode, FHandle, static_cast<TLayer>(i),
                                                  &FCompositeLayers[i]);
  PcbApi_QueryBoardAdvancedPlacerOptions(mode, FHandle, &FPlacer);
  PcbApi_QueryBoardECOOptions(mode, FHandle, &FECO);

  TransferLayerPairs(mode);

  {
    TStrExchange top(FTopDielectric.Material), bottom(FBottomDielectric.Material);
    PcbApi_QueryBoardExternalDielectrics(
        mode, FHandle, top, &FTopDielectric.Type, &FTopDielectric.Constant, &FTopDielectric.Height,
        bottom, &FBottomDielectric.Type, &FBottomDielectric.Constant, &FBottomDielectric.Height);
  }
  return status;
}

void TPcbBoard::TransferLayerPairs(uint8_t mode) {
  if (mode == 1) {
    FLayerPairs.clear();
    int32_t count = 0;
    if (PcbApi_QueryBoardLayerPairsCount(FHandle, &count, 1) != 0) count = 0;
    for (int32_t i = 0; i < count; ++i) {
      auto pair = std::make_unique<TPcblayerPair>();
      PcbApi_QueryBoardLayerPairAt(mode, FHandle, i, &pair->FSecondLayer, &pair->FFirstLayer,
                                   &pair->FByte1, &pair->FByte2);
      pair->FName.Assign(LayerPairName(pair->FirstLayer(), pair->SecondLayer()));
      FLayerPairs.push_back(std::move(pair));
    }
  } else {
    int32_t count = LayerPairCount();
    PcbApi_QueryBoardLayerPairsCount(FHandle, &count, 0);
    for (int32_t i = 0; i < LayerPairCount(); ++i) {
      TPcblayerPair& pair = *FLayerPairs[i];
      PcbApi_QueryBoardLayerPairAt(mode, FHandle, i, &pair.FSecondLayer, &pair.FFirstLayer,
                                   &pair.FByte1, &pair.FByte2);
    }
  }
}

std::string TPcbBoard::LayerPairName(TLayer first, TLayer second) const {
  const abi::TLegacyLayerSet electrical = ElectricalLegacyLayers();
  const TLayerObject* a = LayerObject(first);
  const TLayerObject* b = LayerObject(second);
  // A pair end that names no layer object (layer 0) keeps the short name of
  // "no layer" rather than failing the whole board.
  const std::string nameA(a ? a->NameView() : std::string_view(LegacyLayerShortName(0)));
  const std::string nameB(b ? b->NameView() : std::string_view(LegacyLayerShortName(0)));
  const int32_t pa = StackPosition(electrical, a);
  const int32_t pb = StackPosition(electrical, b);
  std::string name = pb >= pa ? nameA + " - " + nameB : nameB + " - " + nameA;
  if (name.size() > 255) name.resize(255);
  return name;
}

TLayerObject* TPcbBoard::FirstStackLayer() const {
  for (int i = 1; i <= kMaxLayer; ++i)
    if (FLayerObjects[i]->PreviousLayer() == 0) return FLayerObjects[i].get();
  return nullptr;
}

TLayerObject* TPcbBoard::NextStackLayer(const TLayerObject* l) const {
  // A link outside the layer table ends the stack.
  return l ? LayerObject(l->NextLayer()) : nullptr;
}

int32_t TPcbBoard::StackPosition(const abi::TLegacyLayerSet& set, const TLayerObject* l) const {
  if (!l || !LegacySetContains(set, l->LayerId())) return 0;
  int32_t count = 0;
  // A host whose links loop back would keep the walk going for ever: a layer
  // seen before ends it.
  bool seen[kLayerCount] = {};
  for (const TLayerObject* s = FirstStackLayer(); s && !seen[s->LayerId()]; s = NextStackLayer(s)) {
    seen[s->LayerId()] = true;
    if (LegacySetContains(set, s->LayerId())) ++count;
    if (s == l) break;
  }
  return count;
}

abi::Ref<abi::IPCB_Board> TPcbBoard::GetBoardInterface() const {
  return BoardInterfaceOf(FHandle);
}

void TPcbBoard::IterateObjects(TObjectProc callback, TPcbObjectKindSet kinds,
                               const abi::TLegacyLayerSet& layers, uint8_t method) const {
  IterateHostObjects(
      FHandle, [](void* c, uint32_t h) { (*static_cast<TObjectProc*>(c))(h); }, &callback, kinds,
      layers, method);
}

void TPcbBoard::IterateObjects(TObjectProcEx callback, void* context, TPcbObjectKindSet kinds,
                               const abi::TLegacyLayerSet& layers, uint8_t method) const {
  IterateHostObjects(FHandle, callback, context, kinds, layers, method);
}

// --- System options ----------------------------------------------------------------

void TComponentTypeMap::Add(std::string_view name, uint8_t kind) {
  auto entry = std::make_unique<TEntry>();
  entry->Name.Assign(name);
  entry->Kind = kind;
  FEntries.push_back(std::move(entry));
}

void TComponentTypeMap::Get(int32_t index, std::string& name, uint8_t& kind) const {
  if (index < 0 || index >= Count()) return;
  name = FEntries[index]->Name.Str();
  kind = FEntries[index]->Kind;
}

int32_t TComponentTypeMap::Transfer(uint8_t mode) {
  if (mode == 1) {
    Clear();
    const int32_t count = PcbApi_GetState_ComponentTypeMappingsCount();
    for (int32_t i = 0; i < count; ++i) {
      unsigned char name[256] = {};
      uint8_t kind = 0;
      PcbApi_GetState_ComponentTypeMappingAt(i, name, &kind);
      Add(std::string_view(reinterpret_cast<const char*>(name + 1), name[0]), kind);
    }
  } else if (mode == 0 || mode == 2) {
    PcbApi_SetState_DeleteAllComponentTypeMappings();
    for (const auto& entry : FEntries) {
      unsigned char name[256];
      entry->Name.ToHost(name);
      PcbApi_SetState_AddComponentTypeMapping(name, entry->Kind);
    }
  }
  return 0;
}

int32_t TPcbSystemOptions::Transfer(uint8_t mode) {
  const int32_t status = PcbApi_QuerySystemOptions(mode, &FOptions);
  PcbApi_QuerySystemOptionsPlaceArray(mode, &FPlaceArray);
  PcbApi_QuerySystemOptionsPorts(mode, &FPorts);
  PcbApi_QuerySystemOptionsMiscellaneous(mode, &FMiscellaneous);
  for (int i = kMinLayer; i <= kMaxLayer; ++i)
    PcbApi_QuerySystemOptionsLayerDrawingOrder(mode, static_cast<TLayer>(i),
                                               &FLayerDrawingOrder[i]);
  FTypeMap->Transfer(mode);
  PcbApi_QuerySystemOptionsPolygon(mode, &FPolygon);
  PcbApi_QuerySystemOptionsMiscellaneousEx(mode, &FMiscellaneousEx);
  PcbApi_QuerySystemOptionsProtection(mode, &FProtection);
  return status;
}

}  // namespace quennet
