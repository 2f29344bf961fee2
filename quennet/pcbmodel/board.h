// The plug-in's copy of the host's board: created for the board the host
// reports as current, filled with one Transfer(1), then serving the export
// run with the layer stack, the board's host interface and the iteration of
// its objects by kind and layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "abi/layerset.h"
#include "abi/pcbapi.h"
#include "layers/layers.h"
#include "quennet/pcbmodel/objects.h"

namespace quennet {

// A dielectric as the host describes one.
struct TDielectric {
  TShortStr<255> Material{"FR-4"};
  uint8_t Type = 1;
  double Constant = 4.8;
  int32_t Height = 126000;  // 12.6 mil
};

// One layer of the board's layer table (TLayer 1..82).
class TLayerObject {
 public:
  TLayerObject(uint32_t boardHandle, TLayer layer);
  virtual ~TLayerObject() = default;
  TLayerObject(const TLayerObject&) = delete;
  TLayerObject& operator=(const TLayerObject&) = delete;

  virtual int32_t Transfer(uint8_t mode);

  TLayer LayerId() const { return FLayer; }
  std::string Name() const { return FName.Str(); }
  std::string_view NameView() const { return FName.View(); }
  // Neighbours in the layer stack, 0 for none.
  TLayer PreviousLayer() const { return FPreviousLayer; }
  TLayer NextLayer() const { return FNextLayer; }

  uint32_t FBoardHandle;
  TLayer FLayer;
  TShortStr<255> FName;              // the short name until read from the host
  int32_t FCopperThickness = 14000;  // 1.4 mil
  TDielectric FDielectric;
  uint8_t FByte1 = 0, FByte2 = 0;
  TLayer FPreviousLayer = 0, FNextLayer = 0;
  uint8_t FLastValue = 0;

 protected:
  int32_t TransferDielectric(uint8_t mode);
};

// An internal plane (TLayer 39..54): a layer with the net it carries.
class TInternalPlane : public TLayerObject {
 public:
  TInternalPlane(uint32_t boardHandle, TLayer layer) : TLayerObject(boardHandle, layer) {}
  int32_t Transfer(uint8_t mode) override;
  std::string NetName() const { return FNetName.Str(); }

  TShortStr<255> FNetName{"(No Net)"};
};

// A drill layer pair.
class TPcblayerPair {
 public:
  TLayer FirstLayer() const { return V7ToLayer(FFirstLayer); }
  TLayer SecondLayer() const { return V7ToLayer(FSecondLayer); }
  std::string Name() const { return FName.Str(); }

  TShortStr<255> FName;
  TV7_Layer FFirstLayer = 0, FSecondLayer = 0;
  uint8_t FByte1 = 0, FByte2 = 0;
};

class TPcbBoard {
 public:
  explicit TPcbBoard(uint32_t handle);
  virtual ~TPcbBoard();
  TPcbBoard(const TPcbBoard&) = delete;
  TPcbBoard& operator=(const TPcbBoard&) = delete;

  // Exchanges everything with the host; the board query's status.
  virtual int32_t Transfer(uint8_t mode);

  uint32_t Handle() const { return FHandle; }
  // 1 imperial, anything else metric.
  uint8_t BoardUnit() const { return FBoardUnit; }
  TLayer BoardLayer() const { return FBoardLayer; }

  // The layer object of a TLayer 1..82; nullptr for 0 and above 82.
  TLayerObject* LayerObject(TLayer l) const {
    return (l >= 1 && l <= kMaxLayer) ? FLayerObjects[l].get() : nullptr;
  }
  // The stack: the lowest-numbered layer without a predecessor, then along
  // the NextLayer links.
  TLayerObject* FirstStackLayer() const;
  TLayerObject* NextStackLayer(const TLayerObject* l) const;
  // 1 for the first member of the set in the stack, 0 when l is not in it.
  int32_t StackPosition(const abi::TLegacyLayerSet& set, const TLayerObject* l) const;

  int32_t LayerPairCount() const { return static_cast<int32_t>(FLayerPairs.size()); }
  const TPcblayerPair& LayerPair(int32_t i) const { return *FLayerPairs.at(i); }
  // The name of a drill pair: the layer higher in the stack first.
  std::string LayerPairName(TLayer first, TLayer second) const;

  // The host's board interface; empty without a PCB server; a refused request
  // raises EPcbHostError.
  abi::Ref<abi::IPCB_Board> GetBoardInterface() const;

  // Every object the host reports for the kinds in the mask (bits 0..25,
  // ascending) and the TLayers 0..82 in the set (ascending), one host iterator
  // per pair, the method passed unchanged.
  void IterateObjects(TObjectProc callback, TPcbObjectKindSet kinds,
                      const abi::TLegacyLayerSet& layers, uint8_t method) const;
  void IterateObjects(TObjectProcEx callback, void* context, TPcbObjectKindSet kinds,
                      const abi::TLegacyLayerSet& layers, uint8_t method) const;

  uint32_t FHandle;
  // The board block, in the host's order.
  uint32_t FValue4 = 0;
  TShortStr<255> FFileName;
  uint8_t FByte1 = 0;
  int32_t FValues[4] = {};
  uint8_t FBoardUnit = 0;
  TLayer FBoardLayer = 0;
  int32_t FLastValue = 0;
  TDielectric FTopDielectric, FBottomDielectric;
  std::unique_ptr<TLayerObject> FLayerObjects[kLayerCount];  // [0] stays empty
  std::vector<std::unique_ptr<TPcblayerPair>> FLayerPairs;
  uint32_t FLayerInfo[kLayerCount] = {};
  abi::TPcbApiGridOptions FGrids{};
  abi::TPcbApiOutputOptions FOutput{};
  uint8_t FPlotLayers[110] = {};  // 1..109
  uint8_t FFlipLayers[110] = {};
  abi::TPcbApiGerberOptions FGerber{};
  abi::TPcbApiPrinterOptions FPrinter{};
  abi::TPcbApiPlotterPen FPens[9] = {};        // 1..8
  uint8_t FCompositeLayers[kLayerCount] = {};  // 1..82
  abi::TPcbApiPlacerOptions FPlacer{};
  abi::TPcbApiECOOptions FECO{};
  uint8_t FSplitPlaneMode = 1;

 private:
  void TransferLayerPairs(uint8_t mode);
};

// The electrical layers of the older scheme: TLayer 1..32 and 39..54.
abi::TLegacyLayerSet ElectricalLegacyLayers();

// The host's component type mappings.
class TComponentTypeMap {
 public:
  struct TEntry {
    TShortStr<255> Name;
    uint8_t Kind = 0;
  };
  int32_t Transfer(uint8_t mode);
  void Clear() { FEntries.clear(); }
  void Add(std::string_view name, uint8_t kind);
  // Leaves name and kind untouched for an index beyond the list.
  void Get(int32_t index, std::string& name, uint8_t& kind) const;
  int32_t Count() const { return static_cast<int32_t>(FEntries.size()); }

 private:
  std::vector<std::unique_ptr<TEntry>> FEntries;
};

// The host's system options; the export does not consult them.
class TPcbSystemOptions {
 public:
  TPcbSystemOptions() : FTypeMap(std::make_unique<TComponentTypeMap>()) {}
  virtual ~TPcbSystemOptions() = default;
  virtual int32_t Transfer(uint8_t mode);
  TComponentTypeMap& TypeMap() { return *FTypeMap; }

  abi::TPcbApiSystemOptions FOptions{};
  abi::TPcbApiSystemOptionsPart FPlaceArray{}, FPorts{}, FMiscellaneous{}, FPolygon{},
      FMiscellaneousEx{}, FProtection{};
  uint8_t FLayerDrawingOrder[kLayerCount] = {};

 private:
  std::unique_ptr<TComponentTypeMap> FTypeMap;
};

}  // namespace quennet
