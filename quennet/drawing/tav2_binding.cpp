#include "quennet/drawing/tav2_binding.h"

#include "layers/rtl_errors.h"
#include "platform/platform.h"

namespace quennet::Tav2 {

namespace {

platform::ModuleHandle gModule = nullptr;
bool gLoaded = false;
TTav2Api gApi;
std::string gLoadError;

// Binding lines of the unit start here; the n-th name is at kFirstLine + n,
// so an assertion names exactly which entry of the list failed.
constexpr int kFirstLine = 100;

struct TBinding {
  const char* name;
  void** slot;
};

template <class F>
void** SlotOf(F*& fn) {
  return reinterpret_cast<void**>(&fn);
}

}  // namespace

void Load(const std::string& path) {
  if (gLoaded) return;
  const uint32_t previous = platform::SetErrorMode(platform::SEM_NOOPENFILEERRORBOX);
  platform::ModuleHandle module = platform::LoadLibrary(path);
  // A first attempt can fail on a transient lock of the file; one retry is
  // what the engine was always given.
  if (module == nullptr) module = platform::LoadLibrary(path);
  gLoadError = module == nullptr ? platform::LastLoadError() : std::string();
  platform::SetErrorMode(previous);
  if (module == nullptr) return;

  gModule = module;
  gLoaded = true;
  gApi = TTav2Api{};
  const TBinding bindings[] = {
#define QUENNET_TAV2_BIND_T(ret, name, params) {#name, SlotOf(gApi.name)},
#define QUENNET_TAV2_BIND_N(name) {#name, &gApi.name},
      TAV2_ALL_FUNCTIONS(QUENNET_TAV2_BIND_T, QUENNET_TAV2_BIND_N)
#undef QUENNET_TAV2_BIND_T
#undef QUENNET_TAV2_BIND_N
  };
  int line = kFirstLine;
  for (const TBinding& b : bindings) {
    void* address = platform::GetProcAddress(module, b.name);
    if (address == nullptr) {
      AssertionFailure(std::string("the drawing engine ") + path + " has no function " + b.name,
                       "Tav2", line);
    }
    *b.slot = address;
    ++line;
  }
}

void Unload() {
  if (!gLoaded) return;
  platform::FreeLibrary(gModule);
  gModule = nullptr;
  gLoaded = false;
  gApi = TTav2Api{};
}

bool Loaded() {
  return gLoaded;
}

std::string LastLoadError() {
  return gLoadError;
}

const TTav2Api& Api() {
  return gApi;
}

}  // namespace quennet::Tav2
