// A small in-process PCB editor for the converter tests: a table of objects
// behind the PcbApi_* functions and the PCB server's object interfaces, with
// only what the converters ask of a host.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "abi/pcbapi.h"
#include "layers/layers.h"
#include "quennet/pcbmodel/hostapi.h"
#include "quennet/pcbmodel/objects.h"

namespace test_support {

using namespace quennet;

struct TFakeObject {
  uint8_t kind = 0;
  uint16_t flags = 0;     // bit 4: selected
  uint8_t bitField2 = 0;  // bit 3: in a component
  uint32_t layer = 0;     // TV7_Layer
  uint32_t component = 0;
  int32_t x = 0, y = 0, x2 = 0, y2 = 0, width = 0;
  int32_t radius = 0;
  double startAngle = 0, endAngle = 0, rotation = 0;
  // texts
  int32_t size = 0, textAttr = 0;
  uint8_t mirrored = 0;
  std::string text;
  // pads and vias: per TLayer
  int32_t hole = 0;
  std::array<uint8_t, 83> shape{};
  std::array<int32_t, 83> xSize{}, ySize{}, cornerRadius{};
  int32_t reliefExpansion = 0, reliefConductor = 0, reliefEntries = 0, reliefGap = 0;
  // components
  std::string pattern;
  uint32_t designator = 0, comment = 0;
  uint8_t designatorVisible = 0, commentVisible = 0;
  std::vector<uint32_t> children;
  // regions
  std::vector<std::vector<abi::TPcbApiPointF>> contours;

  TFakeObject& OnLayer(TLayer l, uint8_t s, int32_t sx, int32_t sy) {
    shape[l] = s;
    xSize[l] = sx;
    ySize[l] = sy;
    return *this;
  }
};

// Installs itself as the host for its lifetime.
class TFakeHost {
 public:
  TFakeHost();
  ~TFakeHost();
  TFakeHost(const TFakeHost&) = delete;
  TFakeHost& operator=(const TFakeHost&) = delete;

  // Adds an object and returns its handle.
  uint32_t Add(const TFakeObject& object);
  TFakeObject& operator[](uint32_t handle) { return objects[handle]; }

  std::map<uint32_t, TFakeObject> objects;
  // The layers the board's layer iterator yields, in order.
  std::vector<TV7_Layer> boardLayers{1, 32, 39, 33, 34, 35, 36, 37, 38, 74};
  // What the special-string converter answers, by the text it is given.
  std::map<std::u16string, std::u16string> specialStrings;
  int32_t progressSteps = 0;
  // Answers for handles that are not in objects (large synthetic boards): the
  // object behind the handle, valid until the next call.
  std::function<TFakeObject*(uint32_t)> generator;

 private:
  uint32_t next_ = 100;
  abi::IPCB_ServerInterface* server_ = nullptr;
};

TFakeHost& CurrentFakeHost();

}  // namespace test_support
