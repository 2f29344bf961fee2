// Binding to the drawing engine library. The library is loaded and unloaded
// within each export run; every name the engine offers is bound at load, so a
// mismatched engine fails at once instead of in the middle of a drawing.
#pragma once

#include <string>

#include "abi/tav2.h"

namespace quennet::Tav2 {

// The engine's functions, bound by name. The typed ones are those the
// exporter calls; the rest are bound only to prove the engine complete.
struct TTav2Api {
#define QUENNET_TAV2_TYPED(ret, name, params) ret(*name) params = nullptr;
#define QUENNET_TAV2_UNTYPED(name) void* name = nullptr;
  TAV2_ALL_FUNCTIONS(QUENNET_TAV2_TYPED, QUENNET_TAV2_UNTYPED)
#undef QUENNET_TAV2_TYPED
#undef QUENNET_TAV2_UNTYPED
};

// Loads the engine from `path` and binds its functions. Does nothing when an
// engine is loaded already. Without a library nothing is bound and Loaded()
// stays false (LastLoadError() says why). A missing function is an assertion
// failure of the unit Tav2; the engine then counts as loaded, so that Unload
// frees it.
void Load(const std::string& path);
void Unload();
bool Loaded();
std::string LastLoadError();

// The bound functions; all null while no engine is loaded.
const TTav2Api& Api();

}  // namespace quennet::Tav2
