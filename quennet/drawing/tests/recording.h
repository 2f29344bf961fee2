// Access to the recording engine from the drawing and driver tests.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <vector>

#include "abi/tav2.h"
#include "tests/recording_engine/recording_engine.h"

namespace test_support {

using namespace quennet;

inline std::string RecordingDir() {
  return std::string(ORVANTA_BIN_DIR) + "/../recording";
}
inline std::string RecordingEngine() {
  return RecordingDir() + "/libtav2.so";
}
inline std::string RecordingData() {
  return RecordingDir() + "/TAVINIT.DAT";
}

// The rec* functions of the recording engine that the binding has loaded.
struct Recorder {
  void* module = nullptr;
  int32_t (*callCount)() = nullptr;
  const char* (*call)(int32_t) = nullptr;
  int32_t (*entityCount)() = nullptr;
  const uint8_t* (*entityHeader)(int32_t) = nullptr;
  const uint8_t* (*entityData)(int32_t) = nullptr;
  int32_t (*entityList)(int32_t) = nullptr;
  int32_t (*listOf)(const char*) = nullptr;
  int32_t (*layerCount)() = nullptr;
  const uint8_t* (*layer)(int32_t) = nullptr;
  const uint8_t* (*header)() = nullptr;
  void (*failNext)(const char*, const char*) = nullptr;
  void (*reset)() = nullptr;
  int32_t (*openDrawings)() = nullptr;
  int32_t (*initialised)() = nullptr;

  // Attaches to the engine while the binding holds it loaded.
  bool Attach() {
    module = dlopen(RecordingEngine().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!module) return false;
    Bind(callCount, "recCallCount");
    Bind(call, "recCall");
    Bind(entityCount, "recEntityCount");
    Bind(entityHeader, "recEntityHeader");
    Bind(entityData, "recEntityData");
    Bind(entityList, "recEntityList");
    Bind(listOf, "recListOf");
    Bind(layerCount, "recLayerCount");
    Bind(layer, "recLayer");
    Bind(header, "recHeader");
    Bind(failNext, "recFailNext");
    Bind(reset, "recReset");
    Bind(openDrawings, "recOpenDrawings");
    Bind(initialised, "recInitialised");
    return reset != nullptr;
  }
  void Detach() {
    if (module) dlclose(module);
    module = nullptr;
  }

  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < callCount(); ++i) out.emplace_back(call(i));
    return out;
  }
  int CountCalls(const std::string& prefix) const {
    int n = 0;
    for (const auto& c : Calls()) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  int16_t Type(int32_t i) const {
    return tav2abi::Get<int16_t>(entityHeader(i), tav2abi::kEntType);
  }
  double D(int32_t i, size_t off) const { return tav2abi::Get<double>(entityData(i), off); }
  uint64_t LayerOf(int32_t i) const {
    return tav2abi::LoadHandle(entityHeader(i) + tav2abi::kEntLayer);
  }

 private:
  template <class F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(module, name));
  }
};

}  // namespace test_support
