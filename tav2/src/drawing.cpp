#include "tav2/src/drawing.h"

namespace tav2 {

namespace {

template <class Map, class Key>
uint32_t Lookup(const Map& m, const Key& k) {
  auto it = m.find(k);
  return it == m.end() ? kNoIndex : it->second;
}

}  // namespace

const HeaderValue* Header::Find(std::string_view name) const {
  for (const HeaderValue& v : defaults)
    if (v.name == name) return &v;
  return nullptr;
}

uint32_t Drawing::AddLinetype(Linetype lt) {
  const auto i = static_cast<uint32_t>(linetypes.size());
  linetypeByName_.try_emplace(platform::ToUpper(lt.name), i);
  if (lt.handle) linetypeByHandle_.try_emplace(lt.handle, i);
  linetypes.push_back(std::move(lt));
  return i;
}

// A layer added twice stays in the table twice; lookups by name find the first.
uint32_t Drawing::AddLayer(Layer layer) {
  const auto i = static_cast<uint32_t>(layers.size());
  layerByName_.try_emplace(platform::ToUpper(layer.name), i);
  if (layer.handle) layerByHandle_.try_emplace(layer.handle, i);
  layers.push_back(std::move(layer));
  return i;
}

uint32_t Drawing::AddBlock(Block block) {
  const auto i = static_cast<uint32_t>(blocks.size());
  blockByName_.try_emplace(platform::ToUpper(block.name), i);
  if (block.handle) blockByHandle_.try_emplace(block.handle, i);
  blocks.push_back(std::move(block));
  return i;
}

uint32_t Drawing::AddStyle(TextStyle style) {
  const auto i = static_cast<uint32_t>(styles.size());
  if (style.handle) styleByHandle_.try_emplace(style.handle, i);
  styles.push_back(std::move(style));
  return i;
}

uint32_t Drawing::FindLayer(std::string_view name) const {
  return Lookup(layerByName_, platform::ToUpper(name));
}
uint32_t Drawing::FindBlock(std::string_view name) const {
  return Lookup(blockByName_, platform::ToUpper(name));
}
uint32_t Drawing::FindLinetype(std::string_view name) const {
  return Lookup(linetypeByName_, platform::ToUpper(name));
}
uint32_t Drawing::FindLayerByHandle(Handle h) const {
  return Lookup(layerByHandle_, h);
}
uint32_t Drawing::FindBlockByHandle(Handle h) const {
  return Lookup(blockByHandle_, h);
}
uint32_t Drawing::FindLinetypeByHandle(Handle h) const {
  return Lookup(linetypeByHandle_, h);
}
uint32_t Drawing::FindStyleByHandle(Handle h) const {
  return Lookup(styleByHandle_, h);
}

}  // namespace tav2
