#include "tav2/src/dwg/dwg_writer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "tav2/src/dwg/writer.h"
#include "tav2/src/output.h"

namespace tav2::dwg {

using schema::Dwg;
using schema::DwgFieldSpec;
using schema::Field;
using schema::Kind;

Writer::Writer(const Drawing& d, int release, Output& out)
    : d_(d), rel_(release), out_(out), values_(d, release) {
  for (size_t k = 0; k < fields_.size(); ++k)
    for (const DwgFieldSpec& f : schema::Layout(static_cast<Kind>(k)).dwg) {
      if (!schema::In(f, rel_)) continue;
      CompiledField c{&f, {}};
      for (int i = 0; i < 3; ++i) {
        CompiledField::Component& part = c.part[i];
        part.field = f.field;
        part.code = f.code;
        if (i) schema::StepComponent(part.field, part.code, i);
        part.direct = DirectNumber::For(part.field);
        part.toRadians = IsAngleCode(part.code) && InDegrees(part.field);
      }
      fields_[k].push_back(c);
    }
}

// ---------------------------------------------------------------------------
// Preparation: every table the format requires, every handle resolved.

bool Writer::Prepare() {
  // Handles the writer adds come after every handle the drawing holds, so
  // the handle seed stays above all of them.
  seed_ = values_.handseed;
  auto fix = [&](Handle h) { return h ? h : Fresh(); };
  const StructuralHandles& s = d_.handles;
  th_.blockControl = fix(s.blockRecordControl);
  th_.layerControl = fix(s.layerControl);
  th_.styleControl = fix(s.styleControl);
  th_.linetypeControl = fix(s.linetypeControl);
  th_.viewControl = fix(s.viewControl);
  th_.ucsControl = fix(s.ucsControl);
  th_.vportControl = fix(s.vportControl);
  th_.appidControl = fix(s.appidControl);
  th_.dimstyleControl = fix(s.dimstyleControl);
  th_.vxControl = fix(s.vxControl);
  th_.activeVport = fix(s.activeVport);
  th_.rootDictionary = fix(s.rootDictionary);
  th_.groupDictionary = fix(s.groupDictionary);
  th_.mlinestyleDictionary = fix(s.mlinestyleDictionary);
  th_.standardMlinestyle = fix(s.standardMlinestyle);
  if (rel_ >= schema::kR14) th_.variableDictionary = fix(s.variableDictionary);
  th_.linetypeByBlock = fix(s.linetypeByBlock);
  th_.linetypeByLayer = fix(s.linetypeByLayer);

  // Tables the format cannot do without get their standard row when the
  // drawing lacks it, so a reader always finds layer 0 and the STANDARD style.
  layers_ = d_.layers;
  if (layers_.empty()) {
    Layer zero;
    zero.name = "0";
    layers_.push_back(zero);
  }
  linetypes_ = d_.linetypes;
  continuous_ = d_.FindLinetype("CONTINUOUS");
  if (continuous_ == kNoIndex) {
    Linetype cont;
    cont.name = "CONTINUOUS";
    cont.description = "Solid line";
    continuous_ = static_cast<std::uint32_t>(linetypes_.size());
    linetypes_.push_back(cont);
  }
  styles_ = d_.styles;
  if (styles_.empty()) {
    TextStyle standard;
    standard.name = schema::kStandard;
    standard.font = "txt";
    styles_.push_back(standard);
  }
  appids_ = d_.appids;
  if (appids_.empty()) appids_.push_back(Appid{0, "ACAD"});
  dimstyles_ = d_.dimstyles;
  if (dimstyles_.empty()) dimstyles_.push_back(Dimstyle{0, schema::kStandard});
  for (auto& l : layers_) l.handle = fix(l.handle);
  for (auto& l : linetypes_) l.handle = fix(l.handle);
  for (auto& st : styles_) st.handle = fix(st.handle);
  for (auto& a : appids_) a.handle = fix(a.handle);
  for (auto& ds : dimstyles_) ds.handle = fix(ds.handle);
  for (const auto& l : layers_)
    if (l.linetype >= linetypes_.size())
      return Fail("layer \"" + l.name + "\": line type index " + std::to_string(l.linetype) +
                  " is not in the drawing");

  static const std::vector<EntityRef> kNone;
  for (std::size_t b = 0; b < std::max<std::size_t>(d_.blocks.size(), 2); ++b) {
    if (b < d_.blocks.size()) {
      const Block& blk = d_.blocks[b];
      blocks_.push_back(BlockInfo{fix(blk.handle), fix(blk.beginHandle), fix(blk.endHandle),
                                  blk.flags, blk.base, blk.beginLayer, blk.endLayer,
                                  &blk.entities});
      if (blk.beginLayer >= layers_.size() || blk.endLayer >= layers_.size())
        return Fail("block \"" + blk.name + "\": layer index is not in the drawing");
    } else {
      blocks_.push_back(BlockInfo{Fresh(), Fresh(), Fresh(), 0, Vec3{}, 0, 0, &kNone});
    }
  }
  // A polyline without a SEQEND handle gets one of a run kept for them, in
  // the order the polylines are written.
  std::size_t missing = 0;
  for (const Polyline& p : d_.polylines) missing += p.seqendHandle == 0;
  spareSeqend_ = seed_;
  seed_ += missing;
  return true;
}

// Rows the writer added (a drawing without them) keep their own names.
std::string_view Writer::LayerName(std::uint32_t i) const {
  return i < d_.layers.size() ? values_.LayerName(i) : std::string_view(layers_[i].name);
}
std::string_view Writer::LinetypeName(std::uint32_t i) const {
  return i < d_.linetypes.size() ? values_.LinetypeName(i) : std::string_view(linetypes_[i].name);
}
std::string_view Writer::StyleName(std::uint32_t i) const {
  return i < d_.styles.size() ? values_.StyleName(i) : std::string_view(styles_[i].name);
}

std::uint32_t Writer::StyleNamed(std::string_view headerVar) const {
  const HeaderValue* h = d_.header.Find(headerVar);
  if (h)
    for (std::uint32_t i = 0; i < styles_.size(); ++i)
      if (EqualsNoCase(styles_[i].name, h->text)) return i;
  return 0;
}

// The handle a header variable or a structural reference names.
Handle Writer::RefHandle(std::string_view ref) const {
  namespace s = schema;
  if (ref == "$HANDSEED") return seed_;
  if (ref == "$TEXTSTYLE" || ref == "$DIMTXSTY") return styles_[StyleNamed(ref)].handle;
  if (ref == "$CLAYER") {
    const HeaderValue* h = d_.header.Find(ref);
    const std::uint32_t i = h ? d_.FindLayer(h->text) : kNoIndex;
    return layers_[i == kNoIndex ? 0 : i].handle;
  }
  if (ref == "$CELTYPE") {
    const HeaderValue* h = d_.header.Find(ref);
    const std::string_view name = h ? std::string_view(h->text) : s::kRefByLayer;
    if (EqualsNoCase(name, s::kRefByLayer)) return th_.linetypeByLayer;
    if (EqualsNoCase(name, s::kRefByBlock)) return th_.linetypeByBlock;
    const std::uint32_t i = d_.FindLinetype(name);
    return i == kNoIndex ? th_.linetypeByLayer : linetypes_[i].handle;
  }
  if (ref == "$DIMSTYLE") {
    const HeaderValue* h = d_.header.Find(ref);
    if (h)
      for (const Dimstyle& ds : dimstyles_)
        if (EqualsNoCase(ds.name, h->text)) return ds.handle;
    return dimstyles_[0].handle;
  }
  if (ref == "$CMLSTYLE") return th_.standardMlinestyle;
  if (ref == s::kRefBlockControl) return th_.blockControl;
  if (ref == s::kRefLayerControl) return th_.layerControl;
  if (ref == s::kRefStyleControl) return th_.styleControl;
  if (ref == s::kRefLtypeControl) return th_.linetypeControl;
  if (ref == s::kRefViewControl) return th_.viewControl;
  if (ref == s::kRefUcsControl) return th_.ucsControl;
  if (ref == s::kRefVportControl) return th_.vportControl;
  if (ref == s::kRefAppidControl) return th_.appidControl;
  if (ref == s::kRefDimstyleControl) return th_.dimstyleControl;
  if (ref == s::kRefVxControl) return th_.vxControl;
  if (ref == s::kRefGroupDictionary) return th_.groupDictionary;
  if (ref == s::kRefMlinestyleDictionary) return th_.mlinestyleDictionary;
  if (ref == s::kRefVariableDictionary) return th_.variableDictionary;
  if (ref == s::kRefRootDictionary) return th_.rootDictionary;
  if (ref == s::kRefPaperSpace) return blocks_[1].handle;
  if (ref == s::kRefModelSpace) return blocks_[0].handle;
  if (ref == s::kRefByLayer) return th_.linetypeByLayer;
  if (ref == s::kRefByBlock) return th_.linetypeByBlock;
  if (ref == s::kRefContinuous) return linetypes_[continuous_].handle;
  return 0;  // no UCS, no current viewport entity
}

// ---------------------------------------------------------------------------
// The description walk

Handle Writer::FieldHandle(const DwgFieldSpec& f, const Record& r) const {
  switch (f.field) {
    case Field::TextStyle:
      return styles_[r.style].handle;
    case Field::BlockName:
      return blocks_[r.block].handle;
    case Field::LayerLinetype:
      return linetypes_[r.layerRow->linetype].handle;
    case Field::HeaderRef:
      return RefHandle(f.text ? f.text : "");
    default:
      return 0;
  }
}

namespace {

std::uint16_t Short(double x) {
  return static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(x)));
}

}  // namespace

void Writer::Fields(Kind kind, const Record& r, bool array) {
  for (const CompiledField& c : fields_[static_cast<size_t>(kind)]) {
    const DwgFieldSpec& f = *c.row;
    if ((f.flags & schema::kArrayOnly) && !array) continue;
    auto num = [&](int i = 0) {
      const CompiledField::Component& part = c.part[i];
      const double x = part.direct.Has() ? part.direct.Get(r)
                                         : values_.Number(part.field, part.code, f.def, f.text, r);
      return part.toRadians ? x * (std::numbers::pi / 180.0) : x;
    };
    switch (f.type) {
      case Dwg::B: {
        const double x = num();
        data_.B(f.field == Field::Flags ? (static_cast<int>(x) & static_cast<int>(f.def)) != 0
                                        : x != 0);
        break;
      }
      case Dwg::BB:
        data_.BB(static_cast<unsigned>(num()));
        break;
      case Dwg::Bits4:
        data_.Bits(static_cast<std::uint32_t>(num()), 4);
        break;
      case Dwg::BS: {
        double x = num();
        if (f.field == Field::Flags && f.def != 0)
          x = static_cast<int>(x) & static_cast<int>(f.def);
        data_.BS(Short(x));
        break;
      }
      case Dwg::BL:
        data_.BL(static_cast<std::uint32_t>(num()));
        break;
      case Dwg::BD:
        data_.BD(num());
        break;
      case Dwg::RC:
        data_.RC(static_cast<std::uint8_t>(static_cast<int>(num())));
        break;
      case Dwg::RS:
        data_.RS(Short(num()));
        break;
      case Dwg::RL:
        data_.RL(static_cast<std::uint32_t>(num()));
        break;
      case Dwg::RD:
        data_.RD(num());
        break;
      case Dwg::RD2:
        data_.RD2(num(0), num(1));
        break;
      case Dwg::BD3:
        data_.BD3(num(0), num(1), num(2));
        break;
      case Dwg::T:
        data_.T(values_.Text(f.field, f.text, r));
        break;
      case Dwg::TV: {
        const std::string_view text = values_.Text(f.field, f.text, r);
        data_.RS(static_cast<std::uint16_t>(text.size()));
        for (char c : text) data_.RC(static_cast<std::uint8_t>(c));
        break;
      }
      case Dwg::CMC:
        data_.CMC(static_cast<std::int16_t>(num()));
        break;
      case Dwg::H:
        handles_.H(static_cast<std::uint8_t>(f.def), FieldHandle(f, r));
        break;
      case Dwg::Date: {
        const double jd = num();
        const double days = std::floor(jd);
        data_.BL(static_cast<std::uint32_t>(days));
        data_.BL(static_cast<std::uint32_t>(std::lround((jd - days) * 86400000.0)));
        break;
      }
      case Dwg::Widths:
        // Equal widths are written once, negated.
        if (r.startWidth != 0 && r.startWidth == r.endWidth) {
          data_.BD(-r.startWidth);
        } else {
          data_.BD(r.startWidth);
          data_.BD(r.endWidth);
        }
        break;
      case Dwg::Dashes:
        if (!r.ltype) break;
        for (std::size_t i = 0; i < std::min<std::size_t>(r.ltype->dashes.size(), 255); ++i) {
          data_.BD(r.ltype->dashes[i]);
          data_.BS(0);  // shape number
          data_.RD(0);  // x offset
          data_.RD(0);  // y offset
          data_.BD(1);  // scale
          data_.BD(0);  // rotation
          data_.BS(0);  // plain dash
          handles_.H(kHardPointer, 0);
        }
        break;
      case Dwg::Zeros:
        for (int i = 0; i < static_cast<int>(f.def); ++i) data_.RC(0);
        break;
      case Dwg::RD3:
      case Dwg::TF:
      case Dwg::Row:
      case Dwg::RDashes:
      case Dwg::RDate:
      case Dwg::RH:
      case Dwg::Locator:
        break;  // the releases before R13 only, which pre13_writer writes
    }
  }
}

bool Writer::Run(std::string& error) {
  auto fail = [&] {
    error = error_;
    return false;
  };
  if (!Prepare()) return fail();
  WriteFileHeader();
  WriteHeaderVariables();
  WriteClasses();
  WriteTemplate();
  objectsStart_ = Offset();
  map_.Prepare(seed_, d_.EntityCount() + d_.vertices.size() + d_.polylines.size() + layers_.size() +
                          linetypes_.size() + blocks_.size() * 3 + 64);
  WriteControls();
  WriteTableEntries();
  WriteDictionaries();
  for (std::size_t b = 0; b < blocks_.size(); ++b)
    if (!WriteBlock(b)) return fail();
  if (!WriteObjectMap()) return fail();
  WriteFreeSpace();
  WriteSecondHeader();
  if (!error_.empty()) return fail();
  PatchFileHeader();
  return true;
}

namespace {

// Into a file: buffered appends, the file header rewritten in place.
class FileOutput final : public Output {
 public:
  explicit FileOutput(ReplacingFile& file) : file_(file), sink_(&file) {}
  void Write(const std::uint8_t* p, std::size_t n) override {
    sink_.Put(std::string_view(reinterpret_cast<const char*>(p), n));
  }
  std::uint64_t Offset() const override { return sink_.BytesWritten(); }
  void Rewrite(std::uint64_t at, const std::uint8_t* p, std::size_t n) override {
    patches_.push_back({at, std::vector<std::uint8_t>(p, p + n)});
  }
  bool Finish(std::string& error) override {
    if (!sink_.Finish(error)) return false;
    for (const auto& [at, bytes] : patches_)
      if (!file_.WriteAt(at, bytes.data(), bytes.size(), error)) return false;
    return true;
  }

 private:
  ReplacingFile& file_;
  OutputSink sink_;
  std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> patches_;
};

class MemoryOutput final : public Output {
 public:
  explicit MemoryOutput(std::vector<std::uint8_t>& out) : out_(out) {}
  void Write(const std::uint8_t* p, std::size_t n) override { out_.insert(out_.end(), p, p + n); }
  std::uint64_t Offset() const override { return out_.size(); }
  void Rewrite(std::uint64_t at, const std::uint8_t* p, std::size_t n) override {
    std::copy(p, p + n, out_.begin() + static_cast<std::ptrdiff_t>(at));
  }
  bool Finish(std::string&) override { return true; }

 private:
  std::vector<std::uint8_t>& out_;
};

bool Check(int release, std::string& error) {
  if (SupportsVersion(release)) return true;
  error = "unsupported AutoCAD version " + std::to_string(release) + " for DWG";
  return false;
}

}  // namespace

bool WriteDwg(const Drawing& drawing, int release, ReplacingFile& file, std::string& error) {
  if (!Check(release, error)) return false;
  FileOutput out(file);
  Writer writer(drawing, release, out);
  return writer.Run(error) && out.Finish(error);
}

bool WriteDwg(const Drawing& drawing, int release, std::vector<std::uint8_t>& out,
              std::string& error) {
  out.clear();
  if (!Check(release, error)) return false;
  MemoryOutput mem(out);
  Writer writer(drawing, release, mem);
  if (!writer.Run(error)) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace tav2::dwg
