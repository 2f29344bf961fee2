// Board documents: objects. Every kind is read by the one routine below from
// its row in the table of kinds (object_kinds.cpp).
#include "korvex/src/document/reader.h"

namespace korvex::document {

namespace {

// Where a field's value goes. Found afresh for each value, once it is read:
// reading nested objects grows the tables.
void* HomeOf(Board& board, Home home, const Reader::Target& target) {
  switch (home) {
    case Home::kObject:
      return &board.objects[target.self - 1];
    case Home::kRecord:
      return target.record(board, target.data);
    case Home::kPending:
      break;
  }
  return target.pending;
}

// Stores a value read: the place is looked up only now, the value in hand.
template <class T>
void Store(Board& board, const Field& f, void* (*place)(void*), const Reader::Target& target,
           T value) {
  *static_cast<T*>(place(HomeOf(board, f.home, target))) = std::move(value);
}

}  // namespace

uint32_t Reader::NewObject(Kind kind, uint32_t data) {
  Object o;
  o.kind = kind;
  o.data = data;
  board_->objects.push_back(o);
  objectAt_.push_back(nullptr);
  uint32_t index = uint32_t(board_->objects.size() - 1);
  board_->byKind[kind].push_back(index);
  return index + 1;
}

void Reader::DefineId(const std::string& id, uint32_t object, const char* at) {
  auto [it, added] = ids_.emplace(id, object);
  if (!added) Fail(at, "duplicate id \"" + id + "\"");
}

void Reader::ReadObjects(sj::value& v, std::string_view field, uint32_t component, uint32_t owner) {
  const char* at = At(v);
  sj::array a = Array(v, field);
  Elements(a, at, [&](sj::value& e) { ReadObject(e, component, owner); });
}

void Reader::ReadObject(sj::value& v, uint32_t component, uint32_t owner) {
  const char* at = At(v);
  if (++depth_ > kMaxNesting)
    Fail(at, "objects nested deeper than " + std::to_string(kMaxNesting) + " levels");
  struct Leave {
    int& d;
    ~Leave() { --d; }
  } leave{depth_};
  sj::object o = ObjectValue(v, "objects");
  const KindSpec* kind = nullptr;
  {
    sj::value k;
    auto e = o.find_field_unordered("kind").get(k);
    if (e == simdjson::NO_SUCH_FIELD) Fail(at, "missing field 'kind' in an object");
    Syntax(e, at);
    const char* kat = At(k);
    std::string_view s = String(k, "kind");
    kind = FindKind(s);
    if (!kind) Fail(kat, "unknown object kind \"" + std::string(s) + "\"");
    Syntax(o.reset().error(), at);
  }
  if (component && !kind->inComponent)
    Fail(at, "a " + std::string(kind->name) + " cannot be part of a component");

  const uint32_t data = kind->table.append(*board_);
  const uint32_t self = NewObject(kind->kind, data);
  objectAt_[self - 1] = at;
  {
    Object& obj = board_->objects[self - 1];
    obj.component = component;
    if (component) obj.bitField2 |= kBitField2InComponent;
    if (owner) {
      obj.owners[0] = owner;
      // Enclosing groups follow the innermost one.
      const Object& outer = board_->objects[owner - 1];
      obj.owners[1] = outer.owners[0];
      obj.owners[2] = outer.owners[1];
    }
  }
  if (component) board_->components[board_->objects[component - 1].data].children.push_back(self);
  if (owner) board_->groups[board_->objects[owner - 1].data].members.push_back(self);

  Pending p;
  p.self = self;
  p.component = component;
  p.at = at;
  const Target target{self, kind->table.at, data, &p};
  for (const Field& f : kind->fields)
    if (f.hasDefault) Store(*board_, f, f.slot, target, f.fallback);
  ReadFields(o, kind->fields, kCommonFields, target, "a ", kind->name);
  for (size_t i = 0; i < kind->fields.size(); ++i)
    if (kind->fields[i].required && !(p.given >> i & 1))
      Fail(at, "missing field '" + std::string(kind->fields[i].name) + "' in " + kind->described);
  if (kind->layer == LayerRule::kTop && !p.haveLayer) {
    Obj(p).layer = 1;
    p.haveLayer = true;
  }
  if (kind->finish) (this->*kind->finish)(p);
  if (!p.haveLayer && kind->layer == LayerRule::kRequired)
    Fail(at, "missing field 'layer' in a " + std::string(kind->name));
  Object& obj = board_->objects[self - 1];
  if (obj.owners[0] && obj.kind == kRegion) obj.bitField2 |= kBitField2Grouped;
}

void Reader::ReadFields(sj::object& o, std::span<const Field> own, std::span<const Field> common,
                        const Target& target, std::string_view article, std::string_view what) {
  Fields(o, [&](std::string_view key, sj::value& v, const char* at) {
    for (size_t i = 0; i < own.size(); ++i) {
      if (own[i].name != key) continue;
      if (own[i].type == Type::kAlias) {
        const std::string_view to = own[i].alias;
        for (i = 0; own[i].name != to;) ++i;
      }
      target.pending->given |= uint64_t(1) << i;
      ReadField(own[i], v, key, at, target);
      return;
    }
    for (const Field& f : common) {
      if (f.name != key) continue;
      ReadField(f, v, key, at, target);
      return;
    }
    Unknown(at, key, std::string(article) + std::string(what));
  });
}

void Reader::ReadField(const Field& f, sj::value& v, std::string_view key, const char* at,
                       const Target& target) {
  switch (f.type) {
    case Type::kIgnored:
    case Type::kAlias:
      break;
    case Type::kLength:
      Store(*board_, f, f.slot, target, Coord(v, key));
      break;
    case Type::kNonNegative:
      Store(*board_, f, f.slot, target, NonNegative(v, key));
      break;
    case Type::kAngle:
      Store(*board_, f, f.slot, target, Angle(v, key));
      break;
    case Type::kFlag:
      Store(*board_, f, f.slot, target, Bool(v, key));
      break;
    case Type::kFlagByte:
      Store(*board_, f, f.slot, target, uint8_t(Bool(v, key)));
      break;
    case Type::kString:
      Store(*board_, f, f.slot, target, BoundedString(v, key, size_t(f.hi)));
      break;
    case Type::kInteger:
      Store(*board_, f, f.slot, target, Int32(v, key, f.lo, f.hi));
      break;
    case Type::kChoice:
      Store(*board_, f, f.slot, target,
            uint8_t(Choice(v, key, f.choices, f.refusal, f.namesValue)));
      break;
    case Type::kChoiceInt:
      Store(*board_, f, f.slot, target,
            int32_t(Choice(v, key, f.choices, f.refusal, f.namesValue)));
      break;
    case Type::kPosition: {
      const Point p = PointOf(v, key);
      Store(*board_, f, f.slot, target, p.x);
      Store(*board_, f, f.slotY, target, p.y);
      break;
    }
    case Type::kOutline:
      Store(*board_, f, f.slot, target, Points(v, key));
      break;
    case Type::kLayer:
      Store(*board_, f, f.slot, target, Layer(v, key));
      break;
    case Type::kTableLayer:
      Store(*board_, f, f.slot, target, TV7_Layer(LegacyLayer(v, key)));
      break;
    case Type::kHook:
      (this->*f.hook)(v, key, at, *target.pending);
      break;
  }
}

}  // namespace korvex::document
