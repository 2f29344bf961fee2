#include "tav2/src/dxf_writer.h"

#include "tav2/src/dxf/records.h"
#include "tav2/src/dxf/tags.h"
#include "tav2/src/schema.h"
#include "tav2/src/values.h"

namespace tav2 {

namespace {

using dxf::TypeOf;
using dxf::ValueType;
using schema::Kind;

// The file's sections in order; every record goes through Records.
class DxfWriter {
 public:
  DxfWriter(const Drawing& d, int release, OutputSink& out)
      : d_(d), rel_(release), v_(d, release), t_(out), rec_(t_, v_) {}

  void Write() {
    Header();
    if (schema::HasObjects(rel_)) Classes();
    Tables();
    Blocks();
    t_.Section("ENTITIES");
    const Block& model = d_.blocks[0];
    for (const EntityRef& ref : model.entities) {
      Entity(ref, model.handle);
      if (t_.Failed()) return;  // the sink reports the write error
    }
    t_.EndSection();
    if (schema::HasObjects(rel_)) Objects();
    t_.Text(0, "EOF");
  }

 private:
  void Header() {
    t_.Section("HEADER");
    for (const schema::HeaderVarSpec& var : schema::HeaderVars()) {
      if (rel_ < var.first || rel_ > var.last) continue;
      const std::string_view name = var.name;
      t_.Text(9, name);
      for (int i = 0; i < var.count; ++i) {
        const int code = var.code[i];
        // Group 5 is text elsewhere in the header, the handle seed here.
        if (name == "$HANDSEED")
          t_.Hex(code, v_.handseed);
        else if (TypeOf(code) == ValueType::Text)
          t_.Text(code, v_.HeaderText(var.name));
        else
          t_.Number(code, v_.HeaderNumber(var.name, code));
      }
    }
    t_.EndSection();
  }

  void Classes() {
    t_.Section("CLASSES");
    for (const schema::ClassSpec& c : schema::Classes()) {
      t_.Text(0, "CLASS");
      t_.Text(1, c.dxfName);
      t_.Text(2, c.cppName);
      t_.Text(3, c.application);
      t_.Int(90, c.proxyFlags);
      t_.Int(280, 0);
      t_.Int(281, c.entity ? 1 : 0);
    }
    t_.EndSection();
  }

  void TableHead(const char* name, Handle control, size_t count) {
    t_.Text(0, "TABLE");
    t_.Text(2, name);
    if (schema::HasObjects(rel_)) {
      t_.Hex(5, control);
      t_.Hex(330, 0);
      t_.Text(100, "AcDbSymbolTable");
    }
    t_.Int(70, static_cast<long>(count));
  }

  void Tables() {
    t_.Section("TABLES");
    const StructuralHandles& hs = d_.handles;
    const bool objects = schema::HasObjects(rel_);
    for (const schema::TableSpec& t : schema::Tables()) {
      if (rel_ < t.first || rel_ > t.last) continue;
      const std::string_view name = t.name;
      if (name == "VPORT") {
        TableHead(t.name, hs.vportControl, 1);
        Record r;
        r.handle = hs.activeVport;
        r.owner = hs.vportControl;
        r.name = schema::kActiveVport;
        rec_.Write(Kind::Vport, r);
      } else if (name == "LTYPE") {
        static const Linetype kByBlock{0, "BYBLOCK", "", 0, 'A', 0, {}};
        static const Linetype kByLayer{0, "BYLAYER", "", 0, 'A', 0, {}};
        TableHead(t.name, hs.linetypeControl, d_.linetypes.size() + (objects ? 2 : 0));
        auto row = [&](const Linetype& lt, std::string_view ltName, Handle h) {
          Record r;
          r.handle = h;
          r.owner = hs.linetypeControl;
          r.name = ltName;
          r.flags = lt.flags;
          r.ltype = &lt;
          rec_.Write(Kind::Ltype, r);
        };
        if (objects) {
          row(kByBlock, kByBlock.name, hs.linetypeByBlock);
          row(kByLayer, kByLayer.name, hs.linetypeByLayer);
        }
        for (uint32_t i = 0; i < d_.linetypes.size(); ++i)
          row(d_.linetypes[i], v_.LinetypeName(i), d_.linetypes[i].handle);
      } else if (name == "LAYER") {
        TableHead(t.name, hs.layerControl, d_.layers.size());
        for (uint32_t i = 0; i < d_.layers.size(); ++i) {
          const Layer& l = d_.layers[i];
          Record r;
          r.handle = l.handle;
          r.owner = hs.layerControl;
          r.name = v_.LayerName(i);
          r.flags = l.flags;
          r.layerRow = &l;
          rec_.Write(Kind::Layer, r);
        }
      } else if (name == "STYLE") {
        TableHead(t.name, hs.styleControl, d_.styles.size());
        for (uint32_t i = 0; i < d_.styles.size(); ++i) {
          const TextStyle& s = d_.styles[i];
          Record r;
          r.handle = s.handle;
          r.owner = hs.styleControl;
          r.name = v_.StyleName(i);
          r.flags = s.flags;
          r.styleRow = &s;
          rec_.Write(Kind::Style, r);
        }
      } else if (name == "VIEW") {
        TableHead(t.name, hs.viewControl, 0);
      } else if (name == "UCS") {
        TableHead(t.name, hs.ucsControl, 0);
      } else if (name == "APPID") {
        TableHead(t.name, hs.appidControl, d_.appids.size());
        for (const Appid& a : d_.appids) {
          Record r;
          r.handle = a.handle;
          r.owner = hs.appidControl;
          r.name = a.name;
          rec_.Write(Kind::Appid, r);
        }
      } else if (name == "DIMSTYLE") {
        TableHead(t.name, hs.dimstyleControl, d_.dimstyles.size());
        for (const Dimstyle& s : d_.dimstyles) {
          Record r;
          r.handle = s.handle;
          r.owner = hs.dimstyleControl;
          r.name = s.name;
          rec_.Write(Kind::Dimstyle, r);
        }
      } else if (name == "BLOCK_RECORD") {
        TableHead(t.name, hs.blockRecordControl, d_.blocks.size());
        for (uint32_t i = 0; i < d_.blocks.size(); ++i) {
          Record r;
          r.handle = d_.blocks[i].handle;
          r.owner = hs.blockRecordControl;
          r.name = v_.BlockName(i);
          rec_.Write(Kind::BlockRecord, r);
        }
      }
      t_.Text(0, "ENDTAB");
    }
    t_.EndSection();
  }

  // Model and paper space are blocks from R12 on; the paper space block's
  // own BLOCK and ENDBLK are marked as paper space, as AutoCAD marks them.
  void Blocks() {
    t_.Section("BLOCKS");
    for (uint32_t i = 0; i < d_.blocks.size(); ++i) {
      if (i < 2 && rel_ < schema::kR12) continue;
      const Block& b = d_.blocks[i];
      Record r;
      r.handle = b.beginHandle;
      r.owner = b.handle;
      r.layer = b.beginLayer;
      r.name = v_.BlockName(i);
      r.flags = b.flags;
      r.p[0] = &b.base;
      r.paperSpace = i == 1;
      rec_.Write(Kind::Block, r);
      if (i >= 2)
        for (const EntityRef& ref : b.entities) Entity(ref, b.handle);
      Record e;
      e.handle = b.endHandle;
      e.owner = b.handle;
      e.layer = b.endLayer;
      e.paperSpace = i == 1;
      rec_.Write(Kind::Endblk, e);
    }
    t_.EndSection();
  }

  static void Common(Record& r, const EntityCommon& c, Handle owner) {
    r.handle = c.handle;
    r.owner = owner;
    r.layer = c.layer;
    r.linetype = c.linetype;
    r.color = c.color;
  }

  void Entity(const EntityRef& ref, Handle owner) {
    Record r;
    switch (ref.kind) {
      case EntityKind::Line: {
        const Line& e = d_.lines[ref.index];
        Common(r, e.c, owner);
        r.thickness = e.thickness;
        r.p[0] = &e.p1;
        r.p[1] = &e.p2;
        return rec_.Write(Kind::Line, r);
      }
      case EntityKind::Circle: {
        const Circle& e = d_.circles[ref.index];
        Common(r, e.c, owner);
        r.thickness = e.thickness;
        r.p[0] = &e.center;
        r.radius = e.radius;
        return rec_.Write(Kind::Circle, r);
      }
      case EntityKind::Arc: {
        const Arc& e = d_.arcs[ref.index];
        Common(r, e.c, owner);
        r.thickness = e.thickness;
        r.p[0] = &e.center;
        r.radius = e.radius;
        r.start = e.startAngle;
        r.end = e.endAngle;
        return rec_.Write(Kind::Arc, r);
      }
      case EntityKind::Solid: {
        const Solid& e = d_.solids[ref.index];
        Common(r, e.c, owner);
        for (int i = 0; i < 4; ++i) r.p[i] = &e.corner[i];
        return rec_.Write(Kind::Solid, r);
      }
      case EntityKind::Text: {
        const tav2::Text& e = d_.texts[ref.index];
        Common(r, e.c, owner);
        SetTextFields(r, e);
        r.text = d_.TextValue(e);
        return rec_.Write(Kind::Text, r);
      }
      case EntityKind::Polyline: {
        const Polyline& e = d_.polylines[ref.index];
        Common(r, e.c, owner);
        r.elevation = e.elevation;
        r.startWidth = e.startWidth;
        r.endWidth = e.endWidth;
        r.flags = e.flags;
        rec_.Write(Kind::Polyline, r);
        for (uint32_t i = 0; i < e.vertexCount; ++i) {
          const Vertex& x = d_.vertices[e.firstVertex + i];
          const Vec3 p{x.x, x.y, x.z};
          Record w;
          w.handle = x.handle;
          w.owner = e.c.handle;
          w.layer = x.layer;
          w.p[0] = &p;
          w.startWidth = x.startWidth;
          w.endWidth = x.endWidth;
          w.bulge = x.bulge;
          w.flags = x.flags;
          rec_.Write(Kind::Vertex, w);
        }
        Record s;
        s.handle = e.seqendHandle;
        s.owner = e.c.handle;
        s.layer = e.seqendLayer;
        return rec_.Write(Kind::Seqend, s);
      }
      case EntityKind::Insert: {
        const Insert& e = d_.inserts[ref.index];
        Common(r, e.c, owner);
        SetInsertFields(r, e);
        r.name = v_.BlockName(e.block);
        return rec_.Write(Kind::Insert, r);
      }
    }
  }

  // A dictionary below the root links back to its owner, as AutoCAD's do.
  void Dictionary(Handle h, Handle owner,
                  std::initializer_list<std::pair<std::string_view, Handle>> entries = {}) {
    t_.Text(0, "DICTIONARY");
    t_.Hex(5, h);
    if (owner) {
      t_.Text(102, "{ACAD_REACTORS");
      t_.Hex(330, owner);
      t_.Text(102, "}");
    }
    t_.Hex(330, owner);
    t_.Text(100, "AcDbDictionary");
    for (const auto& [name, item] : entries) {
      t_.Text(3, name);
      t_.Hex(350, item);
    }
  }

  void Objects() {
    const StructuralHandles& hs = d_.handles;
    t_.Section("OBJECTS");
    t_.Text(0, "DICTIONARY");
    t_.Hex(5, hs.rootDictionary);
    t_.Hex(330, 0);
    t_.Text(100, "AcDbDictionary");
    for (const schema::DictionaryEntry& e : schema::RootDictionary()) {
      if (rel_ < e.first || rel_ > e.last) continue;
      t_.Text(3, e.name);
      t_.Hex(350, dxf::StructuralHandle(d_, e.object));
    }
    Dictionary(hs.groupDictionary, hs.rootDictionary);
    Dictionary(hs.mlinestyleDictionary, hs.rootDictionary,
               {{schema::kStandard, hs.standardMlinestyle}});
    if (rel_ >= schema::kR14) Dictionary(hs.variableDictionary, hs.rootDictionary);
    Record r;
    r.handle = hs.standardMlinestyle;
    r.owner = hs.mlinestyleDictionary;
    r.name = schema::kStandard;
    rec_.Write(Kind::Mlinestyle, r);
    t_.EndSection();
  }

  const Drawing& d_;
  const int rel_;
  const Values v_;
  dxf::Tags t_;
  dxf::Records rec_;
};

}  // namespace

bool WriteDxf(const Drawing& d, int release, OutputSink& out, std::string& error) {
  if (release < 0 || release >= schema::kReleaseCount) {
    error = "unsupported AutoCAD version " + std::to_string(release);
    return false;
  }
  if (d.blocks.size() < 2 || d.layers.empty() || d.styles.empty()) {
    error = "the drawing lacks its standard tables";
    return false;
  }
  DxfWriter w(d, release, out);
  w.Write();
  return true;
}

}  // namespace tav2
