#include "tav2/src/dxf/records.h"

#include <numbers>

namespace tav2::dxf {

using schema::Field;
using schema::FieldSpec;
using schema::Kind;

namespace {
constexpr double kDegrees = 180.0 / std::numbers::pi;
}

Records::Records(Tags& tags, const Values& values) : t_(tags), v_(values) {
  for (size_t k = 0; k < static_cast<size_t>(Kind::Count); ++k)
    for (const FieldSpec& f : schema::Layout(static_cast<Kind>(k)).fields)
      if (schema::In(f, v_.release())) {
        const ValueType type = TypeOf(f.code);
        fields_[k].push_back(
            {f, type, IsAngleCode(f.code) && !InDegrees(f.field),
             type == ValueType::Text ? DirectNumber{} : DirectNumber::For(f.field)});
      }
}

void Records::Write(Kind kind, const Record& r) {
  t_.Text(0, schema::Layout(kind).dxfName);
  for (const Compiled& c : fields_[static_cast<size_t>(kind)]) Field(c, r);
}

void Records::Field(const Compiled& c, const Record& r) {
  const FieldSpec& f = c.row;
  if (c.direct.Has()) {
    double x = c.direct.Get(r);
    if (c.toDegrees) x *= kDegrees;
    if ((f.flags & schema::kOmitDefault) && x == f.def) return;
    return t_.Number(c.type, f.code, x);
  }
  const Drawing& d = v_.drawing();
  switch (f.field) {
    case Field::Handle:
      return t_.Hex(f.code, r.handle);
    case Field::Owner:
      return t_.Hex(f.code, r.owner);
    case Field::Linetype:
      if (r.linetype == kNoIndex) return;
      return t_.Text(f.code, v_.LinetypeName(r.linetype));
    case Field::TextStyle:
      if ((f.flags & schema::kOmitDefault) && r.style == 0) return;
      if (c.type == ValueType::Hex) return t_.Hex(f.code, d.styles[r.style].handle);
      return t_.Text(f.code, v_.StyleName(r.style));
    case Field::AlignX:
    case Field::AlignY:
    case Field::AlignZ:
      // Only an aligned text has its second point.
      if (!r.align || (r.hAlign == 0 && r.vAlign == 0)) return;
      return t_.Real(f.code, v_.Number(f.field, f.code, f.def, f.text, r));
    case Field::LtypeDashes:
      if (!r.ltype) return;
      for (double dash : r.ltype->dashes) {
        t_.Real(f.code, dash);
        if (schema::HasObjects(v_.release())) t_.Int(74, 0);
      }
      return;
    case Field::HeaderValue:
      if (!d.header.Find(f.text)) return;
      if (c.type == ValueType::Text) return t_.Text(f.code, v_.HeaderText(f.text));
      return t_.Number(f.code, v_.HeaderNumber(f.text, f.code));
    case Field::HeaderRef:
      return t_.Hex(f.code, StyleHandle(v_, f.text));
    default:
      break;
  }
  if (c.type == ValueType::Text) return t_.Text(f.code, v_.Text(f.field, f.text, r));
  double x = v_.Number(f.field, f.code, f.def, f.text, r);
  if (c.toDegrees) x *= kDegrees;
  if ((f.flags & schema::kOmitDefault) && x == f.def) return;
  t_.Number(c.type, f.code, x);
}

Handle StructuralHandle(const Drawing& d, std::string_view ref) {
  const StructuralHandles& h = d.handles;
  if (ref == schema::kRefGroupDictionary) return h.groupDictionary;
  if (ref == schema::kRefMlinestyleDictionary) return h.mlinestyleDictionary;
  if (ref == schema::kRefVariableDictionary) return h.variableDictionary;
  if (ref == schema::kRefRootDictionary) return h.rootDictionary;
  return 0;
}

Handle StyleHandle(const Values& v, std::string_view headerVar) {
  const Drawing& d = v.drawing();
  if (d.styles.empty()) return 0;
  const HeaderValue* h = d.header.Find(headerVar);
  if (h)
    for (const TextStyle& s : d.styles)
      if (EqualsNoCase(s.name, h->text)) return s.handle;
  return d.styles[0].handle;
}

}  // namespace tav2::dxf
