#include "korvex/src/layernames.h"

#include <cctype>
#include <charconv>

#include "layers/layers.h"
#include "platform/text.h"

namespace korvex {

std::string LegacyShortName(TLayer layer) {
  const char* name = quennet::LegacyLayerShortName(layer);
  return name ? name : "";
}

std::string DisplayName(TV7_Layer layer) {
  try {
    return quennet::LayerDisplayName(layer);
  } catch (const std::exception&) {
    return {};
  }
}

namespace {

using platform::EqualsNoCase;

// "MidLayer32" -> 32 when s is prefix + a decimal number without sign.
bool NumberAfter(std::string_view s, std::string_view prefix, int64_t& n) {
  if (s.size() <= prefix.size() || !EqualsNoCase(s.substr(0, prefix.size()), prefix)) return false;
  std::string_view digits = s.substr(prefix.size());
  if (!std::isdigit(static_cast<unsigned char>(digits[0]))) return false;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  return ec == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

TV7_Layer LayerFromName(std::string_view name) {
  if (name.empty()) return 0;
  for (int l = 1; l <= 82; ++l)
    if (EqualsNoCase(name, quennet::LegacyLayerShortName(TLayer(l)))) return TV7_Layer(l);
  int64_t n = 0;
  try {
    if (NumberAfter(name, "MidLayer", n)) return n >= 1 ? quennet::SignalLayer(n + 1) : 0;
    if (NumberAfter(name, "InternalPlane", n)) return quennet::InternalPlaneLayer(n);
    if (NumberAfter(name, "Mechanical", n)) return quennet::MechanicalLayer(n);
    TV7_Layer v = quennet::LayerFromDisplayName(name);
    if (quennet::IsLayerClass(v)) return 0;
    return v;
  } catch (const std::exception&) {
    return 0;  // a number out of range names no layer
  }
}

}  // namespace korvex
