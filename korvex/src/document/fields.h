// The declarative description of the board document's object kinds: one row a
// field (its name, what kind of value it holds, whether the document must give
// it, its default, its limits and where the value goes), one row a kind. One
// routine reads every kind from these rows; what no row can say (a pad's
// copper levels, a region's holes, a component's texts, nested objects) is a
// named hook of the reader that the row points to.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "korvex/src/board.h"
#include "korvex/src/document/cursor.h"

namespace korvex::document {

class Reader;
struct Pending;

// Where a field's value is kept: the object's common record, the kind's own
// record, or what the reader holds for the object until all its fields are in.
enum class Home : uint8_t { kObject, kRecord, kPending };

enum class Type : uint8_t {
  kIgnored,      // read elsewhere
  kLength,       // int32_t, a coordinate or offset of either sign
  kNonNegative,  // int32_t, a length or size
  kAngle,        // double, degrees
  kFlag,         // bool, true or false
  kFlagByte,     // uint8_t, true or false as 1 or 0
  kString,       // std::string in the editor's code page, at most `hi` characters
  kInteger,      // int32_t in lo..hi
  kChoice,       // one of `choices`: its index as uint8_t
  kChoiceInt,    // the same as int32_t
  kPosition,     // [x, y] into two int32_t
  kOutline,      // std::vector<Point>
  kLayer,        // TV7_Layer, any layer
  kTableLayer,   // TV7_Layer, a layer of the 83-layer table
  kHook,         // read by the reader's routine `hook`
  kAlias,        // another name of the field named `alias`
};

using Hook = void (Reader::*)(sj::value& v, std::string_view key, const char* at, Pending& p);

struct Field {
  std::string_view name;
  Type type = Type::kIgnored;
  Home home = Home::kRecord;
  bool required = false;
  // The value's place inside its home (a position's y in `slotY`).
  void* (*slot)(void*) = nullptr;
  void* (*slotY)(void*) = nullptr;
  int64_t lo = 0, hi = 0;  // integers: the range; strings: hi is the longest
  bool hasDefault = false;
  int32_t fallback = 0;  // lengths: the value before the document's
  std::span<const std::string_view> choices;
  // Choices: the error after "field 'name': ", followed by the value given
  // in quotes when `namesValue`.
  const char* refusal = nullptr;
  bool namesValue = false;
  Hook hook = nullptr;
  std::string_view alias;

  template <class T>
  constexpr Field With(T Field::*member, T value) const {
    Field f = *this;
    f.*member = value;
    return f;
  }
  // Modifiers that complete a row: must the document give it, its value
  // before the document's, its limits.
  constexpr Field Required() const { return With(&Field::required, true); }
  constexpr Field Default(int32_t value) const {
    return With(&Field::fallback, value).With(&Field::hasDefault, true);
  }
  // A length that cannot be negative.
  constexpr Field NonNegative() const { return With(&Field::type, Type::kNonNegative); }
  // A layer of the 83-layer table.
  constexpr Field InLayerTable() const { return With(&Field::type, Type::kTableLayer); }
};

// How an object of a kind comes by its layer.
enum class LayerRule : uint8_t {
  kRequired,  // the document names it
  kOptional,  // the document may name it
  kTop,       // TopLayer unless the document names another
};

// The board's table of a kind's own records.
struct RecordTable {
  uint32_t (*append)(Board&);  // a new record: its index
  void* (*at)(Board&, uint32_t);
};

struct KindSpec {
  std::string_view name;  // as documents and messages name the kind
  const char* described;  // the kind in "missing field ... in <described>"
  Kind kind;
  LayerRule layer;
  bool inComponent;  // may be one of a component's primitives
  RecordTable table;
  std::span<const Field> fields;
  // Checks and completes the object once its fields are read.
  void (Reader::*finish)(Pending& p);
};

// The kind a document names, nullptr for none.
const KindSpec* FindKind(std::string_view name);

// Fields every object may have, after those of its kind.
extern const std::span<const Field> kCommonFields;

namespace field {

template <class>
struct MemberOf;
template <class C, class T>
struct MemberOf<T C::*> {
  using Class = C;
  using Value = T;
};

template <auto M>
void* SlotOf(void* home) {
  return &(static_cast<typename MemberOf<decltype(M)>::Class*>(home)->*M);
}

template <auto M, class... T>
constexpr Field Of(std::string_view name, Type type) {
  using C = typename MemberOf<decltype(M)>::Class;
  using V = typename MemberOf<decltype(M)>::Value;
  static_assert((std::is_same_v<V, T> || ...), "the member's type does not suit the field");
  Field f;
  f.name = name;
  f.type = type;
  f.home = std::is_same_v<C, Object>    ? Home::kObject
           : std::is_same_v<C, Pending> ? Home::kPending
                                        : Home::kRecord;
  f.slot = &SlotOf<M>;
  return f;
}

template <auto M>
constexpr Field Length(std::string_view name) {
  return Of<M, int32_t>(name, Type::kLength);
}
template <auto M>
constexpr Field Flag(std::string_view name) {
  constexpr bool kBool = std::is_same_v<typename MemberOf<decltype(M)>::Value, bool>;
  return Of<M, bool, uint8_t>(name, kBool ? Type::kFlag : Type::kFlagByte);
}
template <auto M>
constexpr Field Angle(std::string_view name) {
  return Of<M, double>(name, Type::kAngle);
}
template <auto M>
constexpr Field String(std::string_view name, int64_t longest) {
  Field f = Of<M, std::string>(name, Type::kString);
  f.hi = longest;
  return f;
}
template <auto M>
constexpr Field Outline(std::string_view name) {
  return Of<M, std::vector<korvex::Point>>(name, Type::kOutline);
}
template <auto M>
constexpr Field Integer(std::string_view name, int64_t lo, int64_t hi) {
  Field f = Of<M, int32_t>(name, Type::kInteger);
  f.lo = lo;
  f.hi = hi;
  return f;
}
template <auto M>
constexpr Field Choice(std::string_view name, std::span<const std::string_view> choices,
                       const char* refusal, bool namesValue = false) {
  constexpr bool kByte = std::is_same_v<typename MemberOf<decltype(M)>::Value, uint8_t>;
  Field f = Of<M, uint8_t, int32_t>(name, kByte ? Type::kChoice : Type::kChoiceInt);
  f.choices = choices;
  f.refusal = refusal;
  f.namesValue = namesValue;
  return f;
}
template <auto X, auto Y>
constexpr Field Position(std::string_view name) {
  static_assert(
      std::is_same_v<typename MemberOf<decltype(X)>::Class, typename MemberOf<decltype(Y)>::Class>);
  Field f = Of<X, int32_t>(name, Type::kPosition);
  f.slotY = Of<Y, int32_t>(name, Type::kPosition).slot;
  return f;
}
template <auto M>
constexpr Field Layer(std::string_view name) {
  return Of<M, TV7_Layer>(name, Type::kLayer);
}
constexpr Field Hooked(std::string_view name, Hook hook) {
  Field f;
  f.name = name;
  f.type = Type::kHook;
  f.hook = hook;
  return f;
}
constexpr Field Alias(std::string_view name, std::string_view of) {
  Field f;
  f.name = name;
  f.type = Type::kAlias;
  f.alias = of;
  return f;
}
constexpr Field Ignored(std::string_view name) {
  Field f;
  f.name = name;
  return f;
}

}  // namespace field

}  // namespace korvex::document
