// Binding to the drawing engine library. The library is loaded and unloaded
// within each export run; every name the engine offers is bound at load, so a
// mismatched engine fails at once instead of in the middle of a drawing.
#pragma once

#include <string>

namespace quennet::Tav2 {

// Loads the engine from `path` and binds its functions. Does nothing when an
// engine is loaded already. Without a library nothing is bound and Loaded()
// stays false (LastLoadError() says why). A missing function is an assertion
// failure of the unit Tav2.
void Load(const std::string& path);
void Unload();
bool Loaded();
std::string LastLoadError();

}  // namespace quennet::Tav2
