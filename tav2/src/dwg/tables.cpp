// Table control objects, table entries, the dictionaries and the multiline
// style.
#include "tav2/src/dwg/writer.h"

namespace tav2::dwg {

using schema::Kind;

void Writer::WriteControls() {
  auto control = [&](std::uint16_t type, Handle h) { BeginNonEntity(type, h, 0, false); };
  control(schema::kDwgBlockControl, th_.blockControl);
  data_.BL(static_cast<std::uint32_t>(blocks_.size() - 2));
  for (std::size_t b = 2; b < blocks_.size(); ++b) handles_.H(kSoftOwner, blocks_[b].handle);
  handles_.H(kHardOwner, blocks_[0].handle);
  handles_.H(kHardOwner, blocks_[1].handle);
  EndObject();

  control(schema::kDwgLayerControl, th_.layerControl);
  data_.BL(static_cast<std::uint32_t>(layers_.size()));
  for (const auto& l : layers_) handles_.H(kSoftOwner, l.handle);
  EndObject();

  control(schema::kDwgStyleControl, th_.styleControl);
  data_.BL(static_cast<std::uint32_t>(styles_.size()));
  for (const auto& s : styles_) handles_.H(kSoftOwner, s.handle);
  EndObject();

  control(schema::kDwgLtypeControl, th_.linetypeControl);
  data_.BS(static_cast<std::uint16_t>(linetypes_.size()));
  for (const auto& l : linetypes_) handles_.H(kSoftOwner, l.handle);
  handles_.H(kHardOwner, th_.linetypeByBlock);
  handles_.H(kHardOwner, th_.linetypeByLayer);
  EndObject();

  control(schema::kDwgViewControl, th_.viewControl);
  data_.BL(0);
  EndObject();

  control(schema::kDwgUcsControl, th_.ucsControl);
  data_.BS(0);
  EndObject();

  control(schema::kDwgVportControl, th_.vportControl);
  data_.BS(1);
  handles_.H(kSoftOwner, th_.activeVport);
  EndObject();

  control(schema::kDwgAppidControl, th_.appidControl);
  data_.BS(static_cast<std::uint16_t>(appids_.size()));
  for (const auto& a : appids_) handles_.H(kSoftOwner, a.handle);
  EndObject();

  control(schema::kDwgDimstyleControl, th_.dimstyleControl);
  data_.BS(static_cast<std::uint16_t>(dimstyles_.size()));
  for (const auto& ds : dimstyles_) handles_.H(kSoftOwner, ds.handle);
  EndObject();

  control(schema::kDwgVxControl, th_.vxControl);
  data_.BS(0);
  EndObject();
}

void Writer::WriteTableEntries() {
  auto entry = [&](Kind kind, Handle h, Handle control, std::string_view name, const Record& r) {
    BeginTableEntry(schema::Layout(kind).dwgType, h, control, name);
    Fields(kind, r);
  };

  for (std::uint32_t b = 0; b < blocks_.size(); ++b) {
    const BlockInfo& blk = blocks_[b];
    Record r;
    r.flags = blk.flags;
    r.p[0] = &blk.base;
    entry(Kind::BlockRecord, blk.handle, th_.blockControl, values_.BlockName(b), r);
    handles_.H(kHardOwner, blk.begin);
    const auto& list = *blk.entities;
    handles_.H(kSoftPointer, list.empty() ? 0 : EntityHandle(list.front()));
    handles_.H(kSoftPointer, list.empty() ? 0 : EntityHandle(list.back()));
    handles_.H(kHardOwner, blk.end);
    EndObject();
  }

  for (std::uint32_t i = 0; i < layers_.size(); ++i) {
    const Layer& l = layers_[i];
    Record r;
    r.flags = l.flags;
    r.layerRow = &l;
    entry(Kind::Layer, l.handle, th_.layerControl, LayerName(i), r);
    EndObject();
  }

  for (std::uint32_t i = 0; i < styles_.size(); ++i) {
    const TextStyle& s = styles_[i];
    Record r;
    r.flags = s.flags;
    r.styleRow = &s;
    entry(Kind::Style, s.handle, th_.styleControl, StyleName(i), r);
    EndObject();
  }

  static const Linetype kByBlock{0, schema::kRefByBlock, "", 0, 'A', 0, {}};
  static const Linetype kByLayer{0, schema::kRefByLayer, "", 0, 'A', 0, {}};
  auto ltype = [&](const Linetype& lt, Handle h, std::string_view name) {
    Record r;
    r.flags = lt.flags;
    r.ltype = &lt;
    entry(Kind::Ltype, h, th_.linetypeControl, name, r);
    EndObject();
  };
  ltype(kByBlock, th_.linetypeByBlock, kByBlock.name);
  ltype(kByLayer, th_.linetypeByLayer, kByLayer.name);
  for (std::uint32_t i = 0; i < linetypes_.size(); ++i)
    ltype(linetypes_[i], linetypes_[i].handle, LinetypeName(i));

  {
    Record r;
    entry(Kind::Vport, th_.activeVport, th_.vportControl, schema::kActiveVport, r);
    EndObject();
  }

  for (const auto& a : appids_) {
    entry(Kind::Appid, a.handle, th_.appidControl, a.name, Record{});
    EndObject();
  }

  for (const auto& ds : dimstyles_) {
    entry(Kind::Dimstyle, ds.handle, th_.dimstyleControl, ds.name, Record{});
    EndObject();
  }
}

void Writer::WriteDictionaries() {
  const bool r14 = rel_ >= schema::kR14;
  auto dictionary = [&](Handle h, Handle owner, std::initializer_list<std::string_view> names,
                        std::initializer_list<Handle> items) {
    BeginNonEntity(schema::kDwgDictionary, h, owner, owner != 0);
    data_.BL(static_cast<std::uint32_t>(names.size()));
    if (r14) data_.RC(0);  // not a hard owner
    for (auto n : names) data_.T(n);
    for (Handle item : items) handles_.H(kSoftOwner, item);
    EndObject();
  };

  // The root dictionary's entries, as the description lists them.
  BeginNonEntity(schema::kDwgDictionary, th_.rootDictionary, 0, false);
  std::uint32_t count = 0;
  for (const schema::DictionaryEntry& e : schema::RootDictionary())
    count += rel_ >= e.first && rel_ <= e.last;
  data_.BL(count);
  if (r14) data_.RC(0);
  for (const schema::DictionaryEntry& e : schema::RootDictionary()) {
    if (rel_ < e.first || rel_ > e.last) continue;
    data_.T(e.name);
    handles_.H(kSoftOwner, RefHandle(e.object));
  }
  EndObject();

  dictionary(th_.groupDictionary, th_.rootDictionary, {}, {});
  dictionary(th_.mlinestyleDictionary, th_.rootDictionary, {schema::kStandard},
             {th_.standardMlinestyle});
  if (r14) dictionary(th_.variableDictionary, th_.rootDictionary, {}, {});

  BeginNonEntity(schema::Layout(Kind::Mlinestyle).dwgType, th_.standardMlinestyle,
                 th_.mlinestyleDictionary, true);
  Record r;
  r.name = schema::kStandard;
  Fields(Kind::Mlinestyle, r);
  EndObject();
}

}  // namespace tav2::dwg
