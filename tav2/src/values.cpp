#include "tav2/src/values.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <unordered_set>

#include "platform/text.h"

namespace tav2 {

using schema::Field;

bool InDegrees(Field f) {
  return f == Field::Const || f == Field::HeaderValue || f == Field::StyleOblique;
}

std::string SymbolName(std::string_view name) {
  std::string m(name);
  for (char& c : m) {
    c = platform::ToUpperAscii(c);
    const bool keep =
        (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '$' || c == '_' || c == '-';
    if (!keep) c = '_';
  }
  if (m.size() <= kSymbolNameMax) return m;
  // A trailing number (with the separator before it) usually tells rows of
  // one kind apart: keep it and cut the rest.
  size_t tail = m.size();
  while (tail > 0 && m[tail - 1] >= '0' && m[tail - 1] <= '9') --tail;
  if (tail < m.size() && tail > 0 && (m[tail - 1] == '_' || m[tail - 1] == '-')) --tail;
  const size_t keep = m.size() - tail;
  if (tail == m.size() || keep >= kSymbolNameMax) {
    m.resize(kSymbolNameMax);
    return m;
  }
  return m.substr(0, kSymbolNameMax - keep) + m.substr(tail);
}

std::vector<std::string> SymbolNames(const std::vector<std::string_view>& names,
                                     const std::vector<std::string_view>& reserved) {
  std::unordered_set<std::string> taken;
  for (std::string_view r : reserved) taken.emplace(r);
  std::vector<std::string> out;
  out.reserve(names.size());
  for (std::string_view name : names) {
    std::string m = SymbolName(name);
    if (taken.count(m)) {
      for (int n = 2;; ++n) {
        const std::string suffix = "_" + std::to_string(n);
        std::string candidate =
            m.substr(0, std::min(m.size(), kSymbolNameMax - suffix.size())) + suffix;
        if (!taken.count(candidate)) {
          m = std::move(candidate);
          break;
        }
      }
    }
    taken.insert(m);
    out.push_back(std::move(m));
  }
  return out;
}

namespace {

template <class Row>
std::vector<std::string> TableNames(const std::vector<Row>& rows,
                                    const std::vector<std::string_view>& reserved = {}) {
  std::vector<std::string_view> names;
  names.reserve(rows.size());
  for (const Row& r : rows) names.push_back(r.name);
  return SymbolNames(names, reserved);
}

double Component(const Vec3& v, int i) {
  return i == 0 ? v.x : i == 1 ? v.y : v.z;
}

// Which of X, Y, Z a group code names: 10/20/30, 11/21/31, ..., 210/220/230.
int Axis(int code) {
  return std::clamp((code % 100) / 10 - 1, 0, 2);
}

}  // namespace

double CreationDate() {
  double seconds = static_cast<double>(std::time(nullptr));
  // Only a plain count of seconds is taken; anything else leaves the clock.
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(epoch, &end, 10);
    if (*end == '\0' && errno == 0 && v >= 0 && epoch[0] != '-' && epoch[0] != '+')
      seconds = static_cast<double>(v);
  }
  return 2440587.5 + seconds / 86400.0;
}

Values::Values(const Drawing& d, int release) : d_(d), rel_(release) {
  const Header& h = d.header;
  const Vec3& lo = h.extMin;
  const Vec3& hi = h.extMax;
  haveExtents = hi.x >= lo.x && hi.y >= lo.y && (hi.x > lo.x || hi.y > lo.y);
  if (haveExtents) {
    limMin = {lo.x, lo.y, 0};
    limMax = {hi.x, hi.y, 0};
  } else {
    limMin = {0, 0, 0};
    limMax = h.measurement ? Vec3{420, 297, 0} : Vec3{12, 9, 0};
  }
  // The view shows the extents (or the limits) with a margin, in a window of
  // three to two.
  const Vec3& a = haveExtents ? lo : limMin;
  const Vec3& b = haveExtents ? hi : limMax;
  viewCenter = {(a.x + b.x) / 2, (a.y + b.y) / 2, 0};
  viewHeight = std::max(b.y - a.y, (b.x - a.x) / viewAspect) * 1.05;
  if (!(viewHeight > 0)) viewHeight = 1;
  viewWidth = viewHeight * viewAspect;
  created = h.created > 0 ? h.created : CreationDate();

  Handle top = d.nextHandle ? d.nextHandle - 1 : 0;
  auto see = [&top](Handle x) { top = std::max(top, x); };
  for (const auto& e : d.lines) see(e.c.handle);
  for (const auto& e : d.circles) see(e.c.handle);
  for (const auto& e : d.arcs) see(e.c.handle);
  for (const auto& e : d.solids) see(e.c.handle);
  for (const auto& e : d.texts) see(e.c.handle);
  for (const auto& e : d.inserts) see(e.c.handle);
  for (const auto& e : d.polylines) {
    see(e.c.handle);
    see(e.seqendHandle);
  }
  for (const auto& v : d.vertices) see(v.handle);
  for (const auto& b : d.blocks) {
    see(b.handle);
    see(b.beginHandle);
    see(b.endHandle);
  }
  for (const auto& l : d.layers) see(l.handle);
  for (const auto& l : d.linetypes) see(l.handle);
  for (const auto& s : d.styles) see(s.handle);
  for (const auto& x : d.appids) see(x.handle);
  for (const auto& x : d.dimstyles) see(x.handle);
  const StructuralHandles& s = d.handles;
  for (Handle x :
       {s.blockRecordControl, s.layerControl, s.styleControl, s.linetypeControl, s.viewControl,
        s.ucsControl, s.vportControl, s.appidControl, s.dimstyleControl, s.vxControl, s.activeVport,
        s.rootDictionary, s.groupDictionary, s.mlinestyleDictionary, s.standardMlinestyle,
        s.variableDictionary, s.linetypeByBlock, s.linetypeByLayer})
    see(x);
  handseed = top + 1;

  layerNames_ = TableNames(d.layers);
  linetypeNames_ = TableNames(d.linetypes, {"BYBLOCK", "BYLAYER"});
  styleNames_ = TableNames(d.styles);
  // The two spaces keep their own names; no block may take the names they
  // have before R13.
  std::vector<std::string_view> blocks;
  for (size_t i = 2; i < d.blocks.size(); ++i) blocks.push_back(d.blocks[i].name);
  blockNames_ = SymbolNames(blocks, {"$MODEL_SPACE", "$PAPER_SPACE"});
}

std::string_view Values::BlockName(uint32_t i) const {
  if (i == 0) return rel_ < schema::kR13 ? "$MODEL_SPACE" : "*MODEL_SPACE";
  if (i == 1) return rel_ < schema::kR13 ? "$PAPER_SPACE" : "*PAPER_SPACE";
  return blockNames_[i - 2];
}

double Values::HeaderNumber(std::string_view name, int code, double fallback) const {
  const Header& h = d_.header;
  if (name == "$EXTMIN") return Component(h.extMin, Axis(code));
  if (name == "$EXTMAX") return Component(h.extMax, Axis(code));
  if (name == "$LIMMIN") return Component(limMin, Axis(code));
  if (name == "$LIMMAX") return Component(limMax, Axis(code));
  if (name == "$VIEWCTR") return Component(viewCenter, Axis(code));
  if (name == "$VIEWSIZE") return viewHeight;
  if (name == "$HANDSEED") return static_cast<double>(handseed);
  if (name == "$HANDLING") return 1;
  if (name == "$MEASUREMENT") return h.measurement;
  if (name == "$TILEMODE") return h.tileMode;
  if (name == "$TDCREATE" || name == "$TDUPDATE") return created;
  const HeaderValue* v = h.Find(name);
  if (!v || v->count == 0) return fallback;
  for (int k = 0; k < v->count; ++k)
    if (v->code[k] == code) return v->num[k];
  if (v->count == 1) return v->num[0];
  // A point named by another record's codes (a viewport's 15/25 for $GRIDUNIT).
  const int axis = Axis(code);
  return axis < v->count ? v->num[axis] : fallback;
}

std::string_view Values::HeaderText(std::string_view name) const {
  if (name == "$ACADVER") return schema::Info(rel_).marker;
  const HeaderValue* v = d_.header.Find(name);
  if (!v) return {};
  // A variable that names a table row names it as the file spells it.
  if (name == "$CLAYER") {
    const uint32_t i = d_.FindLayer(v->text);
    if (i != kNoIndex) return layerNames_[i];
  } else if (name == "$CELTYPE") {
    const uint32_t i = d_.FindLinetype(v->text);
    if (i != kNoIndex) return linetypeNames_[i];
  } else if (name == "$TEXTSTYLE" || name == "$DIMTXSTY") {
    for (uint32_t i = 0; i < d_.styles.size(); ++i)
      if (EqualsNoCase(d_.styles[i].name, v->text)) return styleNames_[i];
  }
  return v->text;
}

DirectNumber DirectNumber::For(Field f) {
  DirectNumber d;
  if (f >= Field::P1X && f <= Field::P4Z) {
    const int i = static_cast<int>(f) - static_cast<int>(Field::P1X);
    constexpr double Vec3::*kComponents[] = {&Vec3::x, &Vec3::y, &Vec3::z};
    d.point = static_cast<int8_t>(i / 3);
    d.component = kComponents[i % 3];
    return d;
  }
  switch (f) {
    case Field::Thickness:
      d.member = &Record::thickness;
      break;
    case Field::Radius:
      d.member = &Record::radius;
      break;
    case Field::StartAngle:
      d.member = &Record::start;
      break;
    case Field::EndAngle:
      d.member = &Record::end;
      break;
    case Field::Elevation:
      d.member = &Record::elevation;
      break;
    case Field::StartWidth:
      d.member = &Record::startWidth;
      break;
    case Field::EndWidth:
      d.member = &Record::endWidth;
      break;
    case Field::Bulge:
      d.member = &Record::bulge;
      break;
    default:
      break;
  }
  return d;
}

double Values::Number(Field f, int code, double def, const char* text, const Record& r) const {
  const bool aligned = r.hAlign != 0 || r.vAlign != 0;
  switch (f) {
    case Field::Const:
      return def;
    case Field::Handle:
      return static_cast<double>(r.handle);
    case Field::Owner:
      return static_cast<double>(r.owner);
    case Field::Color:
      return r.color;
    case Field::Thickness:
      return r.thickness;
    case Field::P1X:
      return r.p[0]->x;
    case Field::P1Y:
      return r.p[0]->y;
    case Field::P1Z:
      return r.p[0]->z;
    case Field::P2X:
      return r.p[1]->x;
    case Field::P2Y:
      return r.p[1]->y;
    case Field::P2Z:
      return r.p[1]->z;
    case Field::P3X:
      return r.p[2]->x;
    case Field::P3Y:
      return r.p[2]->y;
    case Field::P3Z:
      return r.p[2]->z;
    case Field::P4X:
      return r.p[3]->x;
    case Field::P4Y:
      return r.p[3]->y;
    case Field::P4Z:
      return r.p[3]->z;
    case Field::Radius:
      return r.radius;
    case Field::StartAngle:
      return r.start;
    case Field::EndAngle:
      return r.end;
    case Field::TextHeight:
      return r.height;
    case Field::TextRotation:
    case Field::Rotation:
      return r.rotation;
    case Field::TextWidthFactor:
      return r.widthFactor;
    case Field::TextOblique:
      return r.oblique;
    case Field::TextGeneration:
      return r.generation;
    case Field::TextHAlign:
      return r.hAlign;
    case Field::TextVAlign:
      return r.vAlign;
    // Without alignment the second point is the insertion point.
    case Field::AlignX:
      return aligned && r.align ? r.align->x : r.p[0]->x;
    case Field::AlignY:
      return aligned && r.align ? r.align->y : r.p[0]->y;
    case Field::AlignZ:
      return aligned && r.align ? r.align->z : r.p[0]->z;
    case Field::Elevation:
      return r.elevation;
    case Field::StartWidth:
      return r.startWidth;
    case Field::EndWidth:
      return r.endWidth;
    case Field::Bulge:
      return r.bulge;
    case Field::Flags:
      return r.flags;
    case Field::ScaleX:
      return r.scale->x;
    case Field::ScaleY:
      return r.scale->y;
    case Field::ScaleZ:
      return r.scale->z;
    case Field::Columns:
      return r.columns;
    case Field::Rows:
      return r.rows;
    case Field::ColumnSpacing:
      return r.columnSpacing;
    case Field::RowSpacing:
      return r.rowSpacing;
    case Field::LayerColor: {
      const int c = std::abs(r.layerRow->color);
      return r.layerRow->off ? -c : c;
    }
    case Field::LayerOff:
      return r.layerRow->off ? 1 : 0;
    case Field::LtypeAlignment:
      return r.ltype ? r.ltype->alignment : 'A';
    case Field::LtypeDashCount:
      return r.ltype ? static_cast<double>(std::min<size_t>(r.ltype->dashes.size(), 255)) : 0;
    case Field::LtypePatternLength:
      return r.ltype ? r.ltype->patternLength : 0;
    case Field::StyleHeight:
      return r.styleRow->height;
    case Field::StyleWidthFactor:
      return r.styleRow->widthFactor;
    case Field::StyleOblique:
      return r.styleRow->oblique;
    case Field::StyleGeneration:
      return r.styleRow->generation;
    case Field::StyleLastHeight:
      return r.styleRow->lastHeight;
    case Field::HeaderValue:
      return HeaderNumber(text ? text : "", code, def);
    case Field::ViewValue:
      switch (code) {
        case 12:
          return viewCenter.x;
        case 22:
          return viewCenter.y;
        case 40:
          return viewHeight;
        case 41:
          return viewAspect;
      }
      return 0;
    case Field::ViewWidth:
      return viewWidth;
    case Field::Extrusion:
      return Axis(code) == 2 ? 1 : 0;
    case Field::PaperSpace:
      return r.paperSpace ? 1 : 0;
    default:
      return 0;
  }
}

std::string_view Values::Text(Field f, const char* text, const Record& r) const {
  switch (f) {
    case Field::Subclass:
    case Field::ConstText:
      return text ? text : "";
    case Field::Layer:
      return LayerName(r.layer);
    case Field::Linetype:
      return r.linetype == kNoIndex ? std::string_view("BYLAYER") : LinetypeName(r.linetype);
    case Field::TextValue:
      return r.text;
    case Field::TextStyle:
      return StyleName(r.style);
    case Field::BlockName:
    case Field::Name:
      return r.name;
    case Field::LayerLinetype:
      return LinetypeName(r.layerRow->linetype);
    case Field::LtypeDescription:
      return r.ltype ? std::string_view(r.ltype->description) : std::string_view();
    case Field::StyleFont:
      return r.styleRow->font;
    case Field::StyleBigFont:
      return r.styleRow->bigFont;
    case Field::HeaderValue:
      return HeaderText(text ? text : "");
    default:
      return {};
  }
}

}  // namespace tav2
