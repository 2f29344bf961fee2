#include "tav2/src/dwg/dwg_writer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <span>
#include <unordered_map>

#include "tav2/src/drawing.h"
#include "tav2/src/dwg/bit_writer.h"

namespace tav2::dwg {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Section sentinels.
constexpr std::uint8_t kFileHeaderEnd[16] = {0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                             0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
constexpr std::uint8_t kHeaderBegin[16] = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                           0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
constexpr std::uint8_t kHeaderEnd[16] = {0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56,
                                         0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};
constexpr std::uint8_t kClassesBegin[16] = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                            0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
constexpr std::uint8_t kClassesEnd[16] = {0x72, 0x5E, 0x3B, 0x47, 0x3B, 0x56, 0x07, 0x3A,
                                          0x3F, 0x23, 0x0B, 0xA0, 0x18, 0x30, 0x49, 0x75};
constexpr std::uint8_t kSecondHeaderBegin[16] = {0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                                 0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};
constexpr std::uint8_t kSecondHeaderEnd[16] = {0x2B, 0x84, 0xDE, 0x31, 0xD7, 0x6C, 0x60, 0x40,
                                               0xAC, 0xDB, 0xBF, 0xF6, 0xED, 0xC3, 0x55, 0xFE};

constexpr std::uint16_t kSeed = 0xC0C1;
constexpr std::uint16_t kCodepageAnsi1252 = 30;
// Section locator records: header variables, classes, object map, free-space
// record, template (the measurement).
constexpr int kSectionCount = 5;
constexpr std::uint16_t kLocatorCrcMask = 0x3CC4;  // for five records
constexpr std::size_t kFileHeaderSize = 0x19 + 9 * kSectionCount + 2 + 16;
// Object map pages hold at most this many bytes, size field included.
constexpr std::size_t kMapPageLimit = 2032;

// Object type numbers.
enum Type : std::uint16_t {
  kText = 0x01,
  kBlock = 0x04,
  kEndblk = 0x05,
  kSeqend = 0x06,
  kInsert = 0x07,
  kMinsert = 0x08,
  kVertex2d = 0x0A,
  kPolyline2d = 0x0F,
  kArc = 0x11,
  kCircle = 0x12,
  kLine = 0x13,
  kSolid = 0x1F,
  kDictionary = 0x2A,
  kBlockControl = 0x30,
  kBlockHeader = 0x31,
  kLayerControl = 0x32,
  kLayer = 0x33,
  kStyleControl = 0x34,
  kStyle = 0x35,
  kLtypeControl = 0x38,
  kLtype = 0x39,
  kViewControl = 0x3C,
  kUcsControl = 0x3E,
  kVportControl = 0x40,
  kVport = 0x41,
  kAppidControl = 0x42,
  kAppid = 0x43,
  kDimstyleControl = 0x44,
  kDimstyle = 0x45,
  kVxControl = 0x46,
  kMlinestyle = 0x49,
};

// Entity placement: which of the two spaces, or owned by the given handle.
enum EntMode : unsigned { kOwned = 0, kPaperSpace = 1, kModelSpace = 2 };

std::string Hex(Handle h) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
  return buf;
}

struct BlockInfo {
  Handle handle, begin, end;
  std::string_view name;
  std::uint8_t flags;
  Vec3 base;
  std::uint32_t beginLayer, endLayer;
  const std::vector<EntityRef>* entities;
};

struct TableHandles {
  Handle blockControl, layerControl, styleControl, linetypeControl, viewControl, ucsControl,
      vportControl, appidControl, dimstyleControl, vxControl;
  Handle activeVport, rootDictionary, groupDictionary, mlinestyleDictionary, standardMlinestyle;
  Handle linetypeByBlock, linetypeByLayer;
};

struct MapEntry {
  Handle handle;
  std::uint32_t offset;
};

class Writer {
 public:
  Writer(const Drawing& d, int version, Bytes& out)
      : d_(d), r14_(version == kVersionR14), out_(out) {}

  bool Run(std::string& error);

 private:
  // --- validation and handles
  bool Prepare(std::string& error);
  Handle Fresh() { return seed_++; }
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }

  // --- sections
  void WriteFileHeader();
  void WriteHeaderVariables();
  void WriteClasses();
  void WriteTemplate();
  bool WriteObjects();
  bool WriteObjectMap();
  void WriteFreeSpace();
  void WriteSecondHeader();

  // --- objects
  void BeginObject(std::uint16_t type, Handle handle);
  void BeginTableEntry(std::uint16_t type, Handle handle, Handle control, std::string_view name);
  void BeginControl(std::uint16_t type, Handle handle);
  void BeginEntity(std::uint16_t type, Handle handle, EntMode mode, Handle owner,
                   std::uint32_t layer, std::uint32_t linetype, std::int16_t color, Handle prev,
                   Handle next);
  void EndObject();

  void WriteControls();
  void WriteTableEntries();
  void WriteDictionaries();
  bool WriteBlock(std::size_t b);
  bool WriteEntity(const EntityRef& ref, EntMode mode, Handle owner, Handle prev, Handle next);
  bool WritePolyline(const Polyline& p, EntMode mode, Handle owner, Handle prev, Handle next);

  Handle LayerHandle(std::uint32_t i) const { return layers_[layerRow_[i]].handle; }
  Handle EntityHandle(const EntityRef& ref) const;
  bool CheckCommon(const EntityCommon& c, const char* what);
  bool CheckText(std::string_view s, const char* what, Handle h);

  // Header values from the drawing's defaults, with the release's own value
  // when the defaults do not carry one.
  double Num(const char* name, double fallback, int i = 0) const {
    const HeaderValue* v = d_.header.Find(name);
    return v && i < v->count ? v->num[i] : fallback;
  }
  int Int(const char* name, int fallback) const {
    return static_cast<int>(std::lround(Num(name, fallback)));
  }
  bool Flag(const char* name, bool fallback) const { return Int(name, fallback ? 1 : 0) != 0; }
  std::string_view Str(const char* name, std::string_view fallback) const {
    const HeaderValue* v = d_.header.Find(name);
    return v ? std::string_view(v->text) : fallback;
  }
  void Time(const char* name, double fallbackJulian);

  const Drawing& d_;
  const bool r14_;
  Bytes& out_;
  std::string error_;

  Handle seed_ = 1;
  TableHandles th_{};
  std::vector<Layer> layers_;
  // Row each layer index is written as: a name given twice is one table
  // entry, since a table with two entries of one name is a damaged drawing.
  std::vector<std::uint32_t> layerRow_;
  std::vector<Linetype> linetypes_;
  std::vector<TextStyle> styles_;
  std::vector<Appid> appids_;
  std::vector<Dimstyle> dimstyles_;
  std::vector<BlockInfo> blocks_;
  std::vector<Handle> seqends_;  // per polyline
  double now_ = 0;               // Julian date of this save

  BitWriter data_, handles_;
  std::size_t bitsizePos_ = 0;
  std::vector<MapEntry> map_;
  std::size_t objectsStart_ = 0;

  struct Section {
    std::uint32_t address = 0, size = 0;
  } sections_[kSectionCount];
  std::uint32_t secondHeaderAddress_ = 0;
};

// ---------------------------------------------------------------------------
// Preparation: every table the format requires, every handle resolved.

bool Writer::Prepare(std::string& error) {
  // Handles the writer adds come after every handle the drawing holds, so
  // the handle seed stays above all of them.
  Handle top = d_.nextHandle ? d_.nextHandle - 1 : 0;
  auto see = [&top](Handle h) { top = std::max(top, h); };
  for (const auto& e : d_.lines) see(e.c.handle);
  for (const auto& e : d_.circles) see(e.c.handle);
  for (const auto& e : d_.arcs) see(e.c.handle);
  for (const auto& e : d_.solids) see(e.c.handle);
  for (const auto& e : d_.texts) see(e.c.handle);
  for (const auto& e : d_.inserts) see(e.c.handle);
  for (const auto& e : d_.polylines) {
    see(e.c.handle);
    see(e.seqendHandle);
  }
  for (const auto& v : d_.vertices) see(v.handle);
  for (const auto& b : d_.blocks) {
    see(b.handle);
    see(b.beginHandle);
    see(b.endHandle);
  }
  for (const auto& l : d_.layers) see(l.handle);
  for (const auto& l : d_.linetypes) see(l.handle);
  for (const auto& st : d_.styles) see(st.handle);
  for (const auto& a : d_.appids) see(a.handle);
  for (const auto& ds : d_.dimstyles) see(ds.handle);
  const StructuralHandles& sh = d_.handles;
  for (Handle h :
       {sh.blockRecordControl, sh.layerControl, sh.styleControl, sh.linetypeControl, sh.viewControl,
        sh.ucsControl, sh.vportControl, sh.appidControl, sh.dimstyleControl, sh.activeVport,
        sh.rootDictionary, sh.groupDictionary, sh.mlinestyleDictionary, sh.standardMlinestyle,
        sh.linetypeByBlock, sh.linetypeByLayer})
    see(h);
  seed_ = top + 1;
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
  th_.vxControl = Fresh();
  th_.activeVport = fix(s.activeVport);
  th_.rootDictionary = fix(s.rootDictionary);
  th_.groupDictionary = fix(s.groupDictionary);
  th_.mlinestyleDictionary = fix(s.mlinestyleDictionary);
  th_.standardMlinestyle = fix(s.standardMlinestyle);
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
  if (d_.FindLinetype("CONTINUOUS") == kNoIndex) {
    Linetype cont;
    cont.name = "CONTINUOUS";
    cont.description = "Solid line";
    linetypes_.push_back(cont);
  }
  styles_ = d_.styles;
  if (styles_.empty()) {
    TextStyle standard;
    standard.name = "STANDARD";
    standard.font = "txt";
    styles_.push_back(standard);
  }
  appids_ = d_.appids;
  if (appids_.empty()) appids_.push_back(Appid{0, "ACAD"});
  dimstyles_ = d_.dimstyles;
  if (dimstyles_.empty()) dimstyles_.push_back(Dimstyle{0, "STANDARD"});
  for (auto& l : layers_) l.handle = fix(l.handle);
  for (auto& l : linetypes_) l.handle = fix(l.handle);
  for (auto& st : styles_) st.handle = fix(st.handle);
  for (auto& a : appids_) a.handle = fix(a.handle);
  for (auto& ds : dimstyles_) ds.handle = fix(ds.handle);
  layerRow_.resize(layers_.size());
  {
    std::unordered_map<std::string, std::uint32_t> first;
    for (std::uint32_t i = 0; i < layers_.size(); ++i) {
      std::string key = layers_[i].name;
      for (char& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      layerRow_[i] = first.try_emplace(std::move(key), i).first->second;
    }
  }
  for (const auto& l : layers_)
    if (l.linetype >= linetypes_.size())
      return Fail("layer \"" + l.name + "\": line type index " + std::to_string(l.linetype) +
                  " is not in the drawing");

  static const std::vector<EntityRef> kNone;
  const char* spaceNames[2] = {"*MODEL_SPACE", "*PAPER_SPACE"};
  for (std::size_t b = 0; b < std::max<std::size_t>(d_.blocks.size(), 2); ++b) {
    if (b < d_.blocks.size()) {
      const Block& blk = d_.blocks[b];
      blocks_.push_back(
          BlockInfo{fix(blk.handle), fix(blk.beginHandle), fix(blk.endHandle),
                    b < 2 ? std::string_view(spaceNames[b]) : std::string_view(blk.name), blk.flags,
                    blk.base, blk.beginLayer, blk.endLayer, &blk.entities});
      if (blk.beginLayer >= layers_.size() || blk.endLayer >= layers_.size())
        return Fail("block \"" + blk.name + "\": layer index is not in the drawing");
    } else {
      blocks_.push_back(
          BlockInfo{Fresh(), Fresh(), Fresh(), spaceNames[b], 0, Vec3{}, 0, 0, &kNone});
    }
  }
  seqends_.resize(d_.polylines.size());
  for (std::size_t i = 0; i < d_.polylines.size(); ++i)
    seqends_[i] = fix(d_.polylines[i].seqendHandle);

  // The drawing's own creation date, so its DWG and DXF carry the same.
  now_ = d_.header.created > 0 ? d_.header.created
                               : 2440587.5 + static_cast<double>(std::time(nullptr)) / 86400.0;
  error = error_;
  return error_.empty();
}

Handle Writer::EntityHandle(const EntityRef& ref) const {
  switch (ref.kind) {
    case EntityKind::Line:
      return ref.index < d_.lines.size() ? d_.lines[ref.index].c.handle : 0;
    case EntityKind::Circle:
      return ref.index < d_.circles.size() ? d_.circles[ref.index].c.handle : 0;
    case EntityKind::Arc:
      return ref.index < d_.arcs.size() ? d_.arcs[ref.index].c.handle : 0;
    case EntityKind::Solid:
      return ref.index < d_.solids.size() ? d_.solids[ref.index].c.handle : 0;
    case EntityKind::Text:
      return ref.index < d_.texts.size() ? d_.texts[ref.index].c.handle : 0;
    case EntityKind::Polyline:
      return ref.index < d_.polylines.size() ? d_.polylines[ref.index].c.handle : 0;
    case EntityKind::Insert:
      return ref.index < d_.inserts.size() ? d_.inserts[ref.index].c.handle : 0;
  }
  return 0;
}

bool Writer::CheckCommon(const EntityCommon& c, const char* what) {
  if (c.handle == 0) return Fail(std::string(what) + " without a handle");
  if (c.layer >= layers_.size())
    return Fail(std::string(what) + " " + Hex(c.handle) + ": layer index " +
                std::to_string(c.layer) + " is not in the drawing");
  if (c.linetype != kNoIndex && c.linetype >= linetypes_.size())
    return Fail(std::string(what) + " " + Hex(c.handle) + ": line type index " +
                std::to_string(c.linetype) + " is not in the drawing");
  return true;
}

bool Writer::CheckText(std::string_view s, const char* what, Handle h) {
  if (s.size() > 0xFFFF)
    return Fail(std::string(what) + " " + Hex(h) + ": text of " + std::to_string(s.size()) +
                " bytes is longer than the format's 65535");
  return true;
}

// ---------------------------------------------------------------------------
// Object framing

void Writer::BeginObject(std::uint16_t type, Handle handle) {
  data_.Clear();
  handles_.Clear();
  data_.BS(type);
  data_.H(0, handle);
  data_.BS(0);  // no extended data
  map_.push_back(MapEntry{handle, static_cast<std::uint32_t>(out_.size())});
}

// Non-entity objects: the size of the data in bits comes before the reactor
// count; the owner, reactors and extension dictionary open the handles.
void Writer::BeginControl(std::uint16_t type, Handle handle) {
  BeginObject(type, handle);
  bitsizePos_ = data_.BitSize();
  data_.RL(0);
  data_.BL(0);                  // reactors
  handles_.H(kSoftPointer, 0);  // control objects have no owner
  handles_.H(kHardOwner, 0);    // extension dictionary
}

void Writer::BeginTableEntry(std::uint16_t type, Handle handle, Handle control,
                             std::string_view name) {
  BeginObject(type, handle);
  bitsizePos_ = data_.BitSize();
  data_.RL(0);
  data_.BL(0);
  data_.T(name);
  data_.B(true);   // referenced (64), as AutoCAD writes every entry
  data_.BS(0);     // xref index + 1
  data_.B(false);  // xref dependent
  handles_.H(kSoftPointer, control);
  handles_.H(kHardOwner, 0);    // extension dictionary
  handles_.H(kHardPointer, 0);  // xref block
}

void Writer::BeginEntity(std::uint16_t type, Handle handle, EntMode mode, Handle owner,
                         std::uint32_t layer, std::uint32_t linetype, std::int16_t color,
                         Handle prev, Handle next) {
  BeginObject(type, handle);
  data_.B(false);  // no preview image
  bitsizePos_ = data_.BitSize();
  data_.RL(0);
  data_.BB(mode);
  data_.BL(0);  // reactors
  const bool byLayer = linetype == kNoIndex;
  // Neighbours whose handles are one less and one more go without links.
  const bool implicitLinks = prev != 0 && next != 0 && prev + 1 == handle && handle + 1 == next;
  data_.B(byLayer);
  data_.B(implicitLinks);
  data_.CMC(color);
  data_.BD(1.0);  // line type scale
  data_.BS(0);    // visible
  if (mode == kOwned) handles_.H(kSoftPointer, owner);
  handles_.H(kHardOwner, 0);  // extension dictionary
  handles_.H(kHardPointer, LayerHandle(layer));
  if (!byLayer) handles_.H(kHardPointer, linetypes_[linetype].handle);
  if (!implicitLinks) {
    handles_.H(kSoftPointer, prev);
    handles_.H(kSoftPointer, next);
  }
}

// The data's size in bits marks where the handles begin; the object is then
// padded to a byte, framed by its size and followed by its CRC.
void Writer::EndObject() {
  data_.PatchRL(bitsizePos_, static_cast<std::uint32_t>(data_.BitSize()));
  data_.Append(handles_);
  const std::size_t start = out_.size();
  const std::size_t size = data_.ByteSize();
  PutMS(out_, static_cast<std::uint32_t>(size));
  PutBytes(out_, data_.Data(), size);
  PutRS(out_, Crc16(out_.data() + start, out_.size() - start, kSeed));
}

// ---------------------------------------------------------------------------
// Tables

void Writer::WriteControls() {
  BeginControl(kBlockControl, th_.blockControl);
  data_.BL(static_cast<std::uint32_t>(blocks_.size() - 2));
  for (std::size_t b = 2; b < blocks_.size(); ++b) handles_.H(kSoftOwner, blocks_[b].handle);
  handles_.H(kHardOwner, blocks_[0].handle);
  handles_.H(kHardOwner, blocks_[1].handle);
  EndObject();

  BeginControl(kLayerControl, th_.layerControl);
  std::uint32_t rows = 0;
  for (std::uint32_t i = 0; i < layers_.size(); ++i) rows += layerRow_[i] == i;
  data_.BL(rows);
  for (std::uint32_t i = 0; i < layers_.size(); ++i)
    if (layerRow_[i] == i) handles_.H(kSoftOwner, layers_[i].handle);
  EndObject();

  BeginControl(kStyleControl, th_.styleControl);
  data_.BL(static_cast<std::uint32_t>(styles_.size()));
  for (const auto& s : styles_) handles_.H(kSoftOwner, s.handle);
  EndObject();

  BeginControl(kLtypeControl, th_.linetypeControl);
  data_.BS(static_cast<std::uint16_t>(linetypes_.size()));
  for (const auto& l : linetypes_) handles_.H(kSoftOwner, l.handle);
  handles_.H(kHardOwner, th_.linetypeByBlock);
  handles_.H(kHardOwner, th_.linetypeByLayer);
  EndObject();

  BeginControl(kViewControl, th_.viewControl);
  data_.BL(0);
  EndObject();

  BeginControl(kUcsControl, th_.ucsControl);
  data_.BS(0);
  EndObject();

  BeginControl(kVportControl, th_.vportControl);
  data_.BS(1);
  handles_.H(kSoftOwner, th_.activeVport);
  EndObject();

  BeginControl(kAppidControl, th_.appidControl);
  data_.BS(static_cast<std::uint16_t>(appids_.size()));
  for (const auto& a : appids_) handles_.H(kSoftOwner, a.handle);
  EndObject();

  BeginControl(kDimstyleControl, th_.dimstyleControl);
  data_.BS(static_cast<std::uint16_t>(dimstyles_.size()));
  for (const auto& ds : dimstyles_) handles_.H(kSoftOwner, ds.handle);
  EndObject();

  BeginControl(kVxControl, th_.vxControl);
  data_.BS(0);
  EndObject();
}

void Writer::WriteTableEntries() {
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    const BlockInfo& blk = blocks_[b];
    BeginTableEntry(kBlockHeader, blk.handle, th_.blockControl, blk.name);
    data_.B(blk.flags & 1);  // anonymous
    data_.B(blk.flags & 2);  // has attribute definitions
    data_.B(false);          // external reference
    data_.B(false);          // overlaid
    data_.BD3(blk.base.x, blk.base.y, blk.base.z);
    data_.T("");  // xref path
    handles_.H(kHardOwner, blk.begin);
    const auto& list = *blk.entities;
    handles_.H(kSoftPointer, list.empty() ? 0 : EntityHandle(list.front()));
    handles_.H(kSoftPointer, list.empty() ? 0 : EntityHandle(list.back()));
    handles_.H(kHardOwner, blk.end);
    EndObject();
  }

  for (std::uint32_t i = 0; i < layers_.size(); ++i) {
    if (layerRow_[i] != i) continue;
    const Layer& l = layers_[i];
    BeginTableEntry(kLayer, l.handle, th_.layerControl, l.name);
    data_.B(l.flags & 1);  // frozen
    data_.B(l.off);
    data_.B(l.flags & 2);  // frozen in new viewports
    data_.B(l.flags & 4);  // locked
    const std::int16_t color = static_cast<std::int16_t>(std::abs(l.color));
    data_.CMC(l.off ? static_cast<std::int16_t>(-color) : color);
    handles_.H(kHardPointer, linetypes_[l.linetype].handle);
    EndObject();
  }

  for (const auto& s : styles_) {
    BeginTableEntry(kStyle, s.handle, th_.styleControl, s.name);
    data_.B(s.flags & 4);  // vertical
    data_.B(s.flags & 1);  // shape file
    data_.BD(s.height);
    data_.BD(s.widthFactor);
    data_.BD(s.oblique * std::numbers::pi / 180.0);
    data_.RC(static_cast<std::uint8_t>(s.generation));
    data_.BD(s.lastHeight);
    data_.T(s.font);
    data_.T(s.bigFont);
    EndObject();
  }

  auto ltype = [&](Handle h, std::string_view name, std::string_view description, char align,
                   double length, std::span<const double> dashes) {
    BeginTableEntry(kLtype, h, th_.linetypeControl, name);
    data_.T(description);
    data_.BD(length);
    data_.RC(static_cast<std::uint8_t>(align));
    data_.RC(static_cast<std::uint8_t>(dashes.size()));
    for (double dash : dashes) {
      data_.BD(dash);
      data_.BS(0);  // shape number
      data_.RD(0);  // x offset
      data_.RD(0);  // y offset
      data_.BD(1);  // scale
      data_.BD(0);  // rotation
      data_.BS(0);  // plain dash
      handles_.H(kHardPointer, 0);
    }
    for (int i = 0; i < 256; ++i) data_.RC(0);  // text area of complex dashes
    EndObject();
  };
  ltype(th_.linetypeByBlock, "BYBLOCK", "", 'A', 0, {});
  ltype(th_.linetypeByLayer, "BYLAYER", "", 'A', 0, {});
  for (const auto& l : linetypes_)
    ltype(l.handle, l.name, l.description, l.alignment, l.patternLength,
          std::span<const double>(l.dashes.data(), std::min<std::size_t>(l.dashes.size(), 255)));

  // The active viewport shows the drawing's extents.
  {
    const Vec3& lo = d_.header.extMin;
    const Vec3& hi = d_.header.extMax;
    double w = hi.x - lo.x, h = hi.y - lo.y;
    double cx = (lo.x + hi.x) / 2, cy = (lo.y + hi.y) / 2;
    if (!(w > 0) || !(h > 0)) {
      w = 12;
      h = 9;
      cx = 6;
      cy = 4.5;
    }
    BeginTableEntry(kVport, th_.activeVport, th_.vportControl, "*ACTIVE");
    data_.BD(h * 1.05);  // view height
    data_.BD(w * 1.05);  // view width
    data_.RD2(cx, cy);
    data_.BD3(0, 0, 0);  // target
    data_.BD3(0, 0, 1);  // direction
    data_.BD(0);         // twist
    data_.BD(50);        // lens length
    data_.BD(0);         // front clip
    data_.BD(0);         // back clip
    data_.Bits(0, 4);    // view mode
    data_.RD2(0, 0);     // lower left
    data_.RD2(1, 1);     // upper right
    data_.B(false);      // UCS follow
    data_.BS(100);       // circle zoom
    data_.B(true);       // fast zoom
    data_.BB(3);         // UCS icon on, at origin
    data_.B(false);      // grid
    data_.RD2(Num("$GRIDUNIT", 0.5, 0), Num("$GRIDUNIT", 0.5, 1));
    data_.B(false);  // snap
    data_.B(false);  // snap style
    data_.BS(0);     // isometric plane
    data_.BD(0);     // snap angle
    data_.RD2(0, 0);
    data_.RD2(Num("$SNAPUNIT", 0.5, 0), Num("$SNAPUNIT", 0.5, 1));
    EndObject();
  }

  for (const auto& a : appids_) {
    BeginTableEntry(kAppid, a.handle, th_.appidControl, a.name);
    data_.RC(0);
    EndObject();
  }

  for (const auto& ds : dimstyles_) {
    BeginTableEntry(kDimstyle, ds.handle, th_.dimstyleControl, ds.name);
    data_.B(false);  // DIMTOL
    data_.B(false);  // DIMLIM
    data_.B(true);   // DIMTIH
    data_.B(true);   // DIMTOH
    data_.B(false);  // DIMSE1
    data_.B(false);  // DIMSE2
    data_.B(false);  // DIMALT
    data_.B(false);  // DIMTOFL
    data_.B(false);  // DIMSAH
    data_.B(false);  // DIMTIX
    data_.B(false);  // DIMSOXD
    data_.RC(2);     // DIMALTD
    data_.RC(0);     // DIMZIN
    data_.B(false);  // DIMSD1
    data_.B(false);  // DIMSD2
    data_.RC(1);     // DIMTOLJ
    data_.RC(0);     // DIMJUST
    data_.RC(3);     // DIMFIT
    data_.B(false);  // DIMUPT
    data_.RC(0);     // DIMTZIN
    data_.RC(0);     // DIMALTZ
    data_.RC(0);     // DIMALTTZ
    data_.RC(0);     // DIMTAD
    data_.BS(2);     // DIMUNIT
    data_.BS(0);     // DIMAUNIT
    data_.BS(4);     // DIMDEC
    data_.BS(4);     // DIMTDEC
    data_.BS(2);     // DIMALTU
    data_.BS(2);     // DIMALTTD
    data_.BD(1);     // DIMSCALE
    for (double v : {0.18, 0.0625, 0.38, 0.18, 0.0, 0.0, 0.0, 0.0}) data_.BD(v);
    for (double v : {0.18, 0.09, 0.0, 25.4, 1.0, 0.0, 1.0, 0.09}) data_.BD(v);
    for (int i = 0; i < 5; ++i) data_.T("");   // DIMPOST .. DIMBLK2
    for (int i = 0; i < 3; ++i) data_.CMC(0);  // dimension colours BYBLOCK
    data_.B(false);
    handles_.H(kHardPointer, styles_[0].handle);  // DIMTXSTY
    EndObject();
  }
}

void Writer::WriteDictionaries() {
  auto dictionary = [&](Handle h, Handle owner, std::initializer_list<std::string_view> names,
                        std::initializer_list<Handle> items) {
    BeginControl(kDictionary, h);
    handles_.Clear();
    handles_.H(kSoftPointer, owner);
    handles_.H(kHardOwner, 0);
    data_.BL(static_cast<std::uint32_t>(names.size()));
    if (r14_) data_.RC(0);  // not a hard owner
    for (auto n : names) data_.T(n);
    for (Handle item : items) handles_.H(kSoftOwner, item);
    EndObject();
  };
  dictionary(th_.rootDictionary, 0, {"ACAD_GROUP", "ACAD_MLINESTYLE"},
             {th_.groupDictionary, th_.mlinestyleDictionary});
  dictionary(th_.groupDictionary, th_.rootDictionary, {}, {});
  dictionary(th_.mlinestyleDictionary, th_.rootDictionary, {"STANDARD"}, {th_.standardMlinestyle});

  BeginControl(kMlinestyle, th_.standardMlinestyle);
  handles_.Clear();
  handles_.H(kSoftPointer, th_.mlinestyleDictionary);
  handles_.H(kHardOwner, 0);
  data_.T("STANDARD");
  data_.T("");
  data_.BS(0);     // flags
  data_.CMC(256);  // fill colour BYLAYER
  data_.BD(std::numbers::pi / 2);
  data_.BD(std::numbers::pi / 2);
  data_.RC(2);
  for (double offset : {0.5, -0.5}) {
    data_.BD(offset);
    data_.CMC(256);
    data_.BSd(32767);  // BYLAYER line type
  }
  EndObject();
}

// ---------------------------------------------------------------------------
// Entities

bool Writer::WriteBlock(std::size_t b) {
  const BlockInfo& blk = blocks_[b];
  const EntMode mode = b == 0 ? kModelSpace : b == 1 ? kPaperSpace : kOwned;

  // BLOCK and ENDBLK name their block header as owner, the two spaces' too:
  // readers then find every list, model space included, through its header
  // and the entity links instead of by elimination.
  BeginEntity(kBlock, blk.begin, kOwned, blk.handle, blk.beginLayer, kNoIndex, 256, 0, 0);
  data_.T(blk.name);
  EndObject();

  const auto& list = *blk.entities;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Handle prev = i > 0 ? EntityHandle(list[i - 1]) : 0;
    const Handle next = i + 1 < list.size() ? EntityHandle(list[i + 1]) : 0;
    if (!WriteEntity(list[i], mode, blk.handle, prev, next)) return false;
  }

  BeginEntity(kEndblk, blk.end, kOwned, blk.handle, blk.endLayer, kNoIndex, 256, 0, 0);
  EndObject();
  return true;
}

bool Writer::WriteEntity(const EntityRef& ref, EntMode mode, Handle owner, Handle prev,
                         Handle next) {
  auto begin = [&](std::uint16_t type, const EntityCommon& c) {
    BeginEntity(type, c.handle, mode, owner, c.layer, c.linetype, c.color, prev, next);
  };
  auto extrusion = [&] { data_.BD3(0, 0, 1); };
  auto missing = [&](const char* what, std::size_t size) {
    return Fail(std::string(what) + " index " + std::to_string(ref.index) +
                " is out of range (the drawing has " + std::to_string(size) + ")");
  };

  switch (ref.kind) {
    case EntityKind::Line: {
      if (ref.index >= d_.lines.size()) return missing("LINE", d_.lines.size());
      const Line& e = d_.lines[ref.index];
      if (!CheckCommon(e.c, "LINE")) return false;
      begin(kLine, e.c);
      data_.BD3(e.p1.x, e.p1.y, e.p1.z);
      data_.BD3(e.p2.x, e.p2.y, e.p2.z);
      data_.BD(e.thickness);
      extrusion();
      break;
    }
    case EntityKind::Circle: {
      if (ref.index >= d_.circles.size()) return missing("CIRCLE", d_.circles.size());
      const Circle& e = d_.circles[ref.index];
      if (!CheckCommon(e.c, "CIRCLE")) return false;
      begin(kCircle, e.c);
      data_.BD3(e.center.x, e.center.y, e.center.z);
      data_.BD(e.radius);
      data_.BD(e.thickness);
      extrusion();
      break;
    }
    case EntityKind::Arc: {
      if (ref.index >= d_.arcs.size()) return missing("ARC", d_.arcs.size());
      const Arc& e = d_.arcs[ref.index];
      if (!CheckCommon(e.c, "ARC")) return false;
      begin(kArc, e.c);
      data_.BD3(e.center.x, e.center.y, e.center.z);
      data_.BD(e.radius);
      data_.BD(e.thickness);
      extrusion();
      data_.BD(e.startAngle);
      data_.BD(e.endAngle);
      break;
    }
    case EntityKind::Solid: {
      if (ref.index >= d_.solids.size()) return missing("SOLID", d_.solids.size());
      const Solid& e = d_.solids[ref.index];
      if (!CheckCommon(e.c, "SOLID")) return false;
      begin(kSolid, e.c);
      data_.BD(0);  // thickness
      data_.BD(e.corner[0].z);
      for (const Vec3& p : e.corner) data_.RD2(p.x, p.y);
      extrusion();
      break;
    }
    case EntityKind::Text: {
      if (ref.index >= d_.texts.size()) return missing("TEXT", d_.texts.size());
      const Text& e = d_.texts[ref.index];
      if (!CheckCommon(e.c, "TEXT")) return false;
      if (e.style >= styles_.size())
        return Fail("TEXT " + Hex(e.c.handle) + ": style index " + std::to_string(e.style) +
                    " is not in the drawing");
      if (static_cast<std::size_t>(e.textOffset) + e.textLength > d_.strings.size())
        return Fail("TEXT " + Hex(e.c.handle) + ": its value lies outside the text store");
      const std::string_view value = d_.TextValue(e);
      if (!CheckText(value, "TEXT", e.c.handle)) return false;
      const bool aligned = e.hAlign != 0 || e.vAlign != 0;
      begin(kText, e.c);
      data_.BD(e.insert.z);
      data_.RD2(e.insert.x, e.insert.y);
      data_.RD2(aligned ? e.align.x : e.insert.x, aligned ? e.align.y : e.insert.y);
      extrusion();
      data_.BD(0);  // thickness
      data_.BD(e.oblique);
      data_.BD(e.rotation);
      data_.BD(e.height);
      data_.BD(e.widthFactor);
      data_.T(value);
      data_.BS(e.generation);
      data_.BS(e.hAlign);
      data_.BS(e.vAlign);
      handles_.H(kHardPointer, styles_[e.style].handle);
      break;
    }
    case EntityKind::Polyline: {
      if (ref.index >= d_.polylines.size()) return missing("POLYLINE", d_.polylines.size());
      return WritePolyline(d_.polylines[ref.index], mode, owner, prev, next);
    }
    case EntityKind::Insert: {
      if (ref.index >= d_.inserts.size()) return missing("INSERT", d_.inserts.size());
      const Insert& e = d_.inserts[ref.index];
      if (!CheckCommon(e.c, "INSERT")) return false;
      if (e.block < 2 || e.block >= blocks_.size())
        return Fail("INSERT " + Hex(e.c.handle) + ": block index " + std::to_string(e.block) +
                    " is not a block definition of the drawing");
      const bool array = e.columns > 1 || e.rows > 1;
      begin(array ? kMinsert : kInsert, e.c);
      data_.BD3(e.point.x, e.point.y, e.point.z);
      data_.BD3(e.scale.x, e.scale.y, e.scale.z);
      data_.BD(e.rotation);
      extrusion();
      data_.B(false);  // no attributes
      if (array) {
        data_.BS(static_cast<std::uint16_t>(std::max<int16_t>(e.columns, 1)));
        data_.BS(static_cast<std::uint16_t>(std::max<int16_t>(e.rows, 1)));
        data_.BD(e.columnSpacing);
        data_.BD(e.rowSpacing);
      }
      handles_.H(kHardPointer, blocks_[e.block].handle);
      break;
    }
  }
  EndObject();
  return true;
}

// A 2D polyline owns its vertices and its SEQEND; they are not part of the
// block's entity chain.
bool Writer::WritePolyline(const Polyline& p, EntMode mode, Handle owner, Handle prev,
                           Handle next) {
  if (!CheckCommon(p.c, "POLYLINE")) return false;
  if (static_cast<std::size_t>(p.firstVertex) + p.vertexCount > d_.vertices.size())
    return Fail("POLYLINE " + Hex(p.c.handle) + ": its vertices lie outside the vertex store");
  const std::size_t index = static_cast<std::size_t>(&p - d_.polylines.data());
  const Handle seqend = seqends_[index];
  const Vertex* v = d_.vertices.data() + p.firstVertex;
  for (std::uint32_t i = 0; i < p.vertexCount; ++i) {
    if (v[i].handle == 0)
      return Fail("VERTEX of POLYLINE " + Hex(p.c.handle) + " without a handle");
    if (v[i].layer >= layers_.size())
      return Fail("VERTEX " + Hex(v[i].handle) + ": layer index " + std::to_string(v[i].layer) +
                  " is not in the drawing");
    if (v[i].startWidth < 0 || v[i].endWidth < 0)
      return Fail("VERTEX " + Hex(v[i].handle) + ": negative width");
  }
  if (p.seqendLayer >= layers_.size())
    return Fail("SEQEND of POLYLINE " + Hex(p.c.handle) + ": layer index is not in the drawing");

  BeginEntity(kPolyline2d, p.c.handle, mode, owner, p.c.layer, p.c.linetype, p.c.color, prev, next);
  // Only the bits of a 2D polyline: the 3D, mesh and face-mesh kinds are other objects.
  data_.BS(static_cast<std::uint16_t>(p.flags & ~(8 | 16 | 64)));
  data_.BS(0);  // no smoothing curve
  data_.BD(p.startWidth);
  data_.BD(p.endWidth);
  data_.BD(0);  // thickness
  data_.BD(p.elevation);
  data_.BD3(0, 0, 1);
  handles_.H(kSoftPointer, p.vertexCount ? v[0].handle : 0);
  handles_.H(kSoftPointer, p.vertexCount ? v[p.vertexCount - 1].handle : 0);
  handles_.H(kHardOwner, seqend);
  EndObject();

  for (std::uint32_t i = 0; i < p.vertexCount; ++i) {
    const Vertex& vx = v[i];
    // The vertices are chained; the last one links on to the polyline's own
    // successor, so a reader that follows links past the polyline stays on
    // the block's chain.
    BeginEntity(kVertex2d, vx.handle, kOwned, p.c.handle, vx.layer, kNoIndex, 256,
                i > 0 ? v[i - 1].handle : 0, i + 1 < p.vertexCount ? v[i + 1].handle : next);
    data_.RC(static_cast<std::uint8_t>(vx.flags));
    data_.BD3(vx.x, vx.y, vx.z);
    // Equal widths are written once, negated.
    if (vx.startWidth != 0 && vx.startWidth == vx.endWidth) {
      data_.BD(-vx.startWidth);
    } else {
      data_.BD(vx.startWidth);
      data_.BD(vx.endWidth);
    }
    data_.BD(vx.bulge);
    data_.BD(0);  // tangent direction
    EndObject();
  }

  BeginEntity(kSeqend, seqend, kOwned, p.c.handle, p.seqendLayer, kNoIndex, 256, 0, 0);
  EndObject();
  return true;
}

// ---------------------------------------------------------------------------
// Sections

void Writer::WriteFileHeader() {
  out_.assign(kFileHeaderSize, 0);
  std::memcpy(out_.data(), r14_ ? "AC1014" : "AC1012", 6);
  out_[0x0C] = 1;
  // Image seeker (0x0D) stays 0: no preview image.
  out_[0x13] = static_cast<std::uint8_t>(kCodepageAnsi1252);
  out_[0x14] = 0;
  PatchRL(out_, 0x15, kSectionCount);
}

void Writer::Time(const char* name, double fallbackJulian) {
  const double jd = Num(name, fallbackJulian);
  const double days = std::floor(jd);
  data_.BL(static_cast<std::uint32_t>(days));
  data_.BL(static_cast<std::uint32_t>(std::lround((jd - days) * 86400000.0)));
}

void Writer::WriteHeaderVariables() {
  BitWriter& w = data_;
  w.Clear();
  const bool metric = d_.header.measurement != 0;

  w.BD(412148564080.0);  // unit ratios
  w.BD(1.0);
  w.BD(1.0);
  w.BD(1.0);
  w.T("m");
  w.T("");
  w.T("");
  w.T("");
  w.BL(24);
  w.BL(0);
  w.BS(0);
  w.H(kHardPointer, 0);  // current viewport entity header
  w.B(Flag("$DIMASO", true));
  w.B(Flag("$DIMSHO", true));
  w.B(false);  // DIMSAV
  w.B(Flag("$PLINEGEN", false));
  w.B(Flag("$ORTHOMODE", false));
  w.B(Flag("$REGENMODE", true));
  w.B(Flag("$FILLMODE", true));
  w.B(Flag("$QTEXTMODE", false));
  w.B(Flag("$PSLTSCALE", true));
  w.B(Flag("$LIMCHECK", false));
  w.B(Flag("$BLIPMODE", false));
  w.B(Flag("$USRTIMER", true));
  w.B(Flag("$SKPOLY", false));
  w.B(Flag("$ANGDIR", false));
  w.B(Flag("$SPLFRAME", false));
  w.B(Flag("$ATTREQ", true));
  w.B(Flag("$ATTDIA", false));
  w.B(Flag("$MIRRTEXT", true));
  w.B(Flag("$WORLDVIEW", true));
  w.B(false);  // wireframe
  w.B(d_.header.tileMode != 0);
  w.B(Flag("$PLIMCHECK", false));
  w.B(Flag("$VISRETAIN", true));
  w.B(Flag("$DELOBJ", true));
  w.B(Flag("$DISPSILH", false));
  w.B(Flag("$PELLIPSE", false));
  w.BS(static_cast<std::uint16_t>(Int("$PROXYGRAPHICS", 1)));
  w.BS(static_cast<std::uint16_t>(Int("$DRAGMODE", 2)));
  w.BS(static_cast<std::uint16_t>(Int("$TREEDEPTH", 3020)));
  w.BS(static_cast<std::uint16_t>(Int("$LUNITS", 2)));
  w.BS(static_cast<std::uint16_t>(Int("$LUPREC", 4)));
  w.BS(static_cast<std::uint16_t>(Int("$AUNITS", 0)));
  w.BS(static_cast<std::uint16_t>(Int("$AUPREC", 0)));
  w.BS(static_cast<std::uint16_t>(Int("$OSMODE", 0)));
  w.BS(static_cast<std::uint16_t>(Int("$ATTMODE", 1)));
  w.BS(static_cast<std::uint16_t>(Int("$COORDS", 1)));
  w.BS(static_cast<std::uint16_t>(Int("$PDMODE", 0)));
  w.BS(static_cast<std::uint16_t>(Int("$PICKSTYLE", 1)));
  for (const char* n : {"$USERI1", "$USERI2", "$USERI3", "$USERI4", "$USERI5"})
    w.BSd(static_cast<std::int16_t>(Int(n, 0)));
  w.BS(static_cast<std::uint16_t>(Int("$SPLINESEGS", 8)));
  w.BS(static_cast<std::uint16_t>(Int("$SURFU", 6)));
  w.BS(static_cast<std::uint16_t>(Int("$SURFV", 6)));
  w.BS(static_cast<std::uint16_t>(Int("$SURFTYPE", 6)));
  w.BS(static_cast<std::uint16_t>(Int("$SURFTAB1", 6)));
  w.BS(static_cast<std::uint16_t>(Int("$SURFTAB2", 6)));
  w.BS(static_cast<std::uint16_t>(Int("$SPLINETYPE", 6)));
  w.BS(static_cast<std::uint16_t>(Int("$SHADEDGE", 3)));
  w.BS(static_cast<std::uint16_t>(Int("$SHADEDIF", 70)));
  w.BS(static_cast<std::uint16_t>(Int("$UNITMODE", 0)));
  w.BS(static_cast<std::uint16_t>(Int("$MAXACTVP", 48)));
  w.BS(static_cast<std::uint16_t>(Int("$ISOLINES", 4)));
  w.BS(static_cast<std::uint16_t>(Int("$CMLJUST", 0)));
  w.BS(static_cast<std::uint16_t>(Int("$TEXTQLTY", 50)));
  w.BD(Num("$LTSCALE", 1.0));
  w.BD(Num("$TEXTSIZE", metric ? 2.5 : 0.2));
  w.BD(Num("$TRACEWID", metric ? 1.0 : 0.05));
  w.BD(Num("$SKETCHINC", metric ? 1.0 : 0.1));
  w.BD(Num("$FILLETRAD", 0));
  w.BD(Num("$THICKNESS", 0));
  w.BD(Num("$ANGBASE", 0));
  w.BD(Num("$PDSIZE", 0));
  w.BD(Num("$PLINEWID", 0));
  for (const char* n : {"$USERR1", "$USERR2", "$USERR3", "$USERR4", "$USERR5"}) w.BD(Num(n, 0));
  w.BD(Num("$CHAMFERA", 0));
  w.BD(Num("$CHAMFERB", 0));
  w.BD(Num("$CHAMFERC", 0));
  w.BD(Num("$CHAMFERD", 0));
  w.BD(Num("$FACETRES", 0.5));
  w.BD(Num("$CMLSCALE", metric ? 20.0 : 1.0));
  w.BD(Num("$CELTSCALE", 1.0));
  w.T(Str("$MENU", "acad"));
  Time("$TDCREATE", now_);
  Time("$TDUPDATE", now_);
  w.BL(0);  // time in the drawing
  w.BL(0);
  w.BL(0);  // user timer
  w.BL(0);
  w.CMC(256);     // CECOLOR BYLAYER
  w.H(0, seed_);  // HANDSEED: the next free handle
  w.H(kHardPointer, layers_[0].handle);
  w.H(kHardPointer, styles_[0].handle);
  w.H(kHardPointer, th_.linetypeByLayer);
  w.H(kHardPointer, dimstyles_[0].handle);
  w.H(kHardPointer, th_.standardMlinestyle);

  // Paper space: insertion base, extents, limits, elevation, UCS.
  w.BD3(0, 0, 0);
  w.BD3(1e20, 1e20, 1e20);
  w.BD3(-1e20, -1e20, -1e20);
  w.RD2(0, 0);
  w.RD2(metric ? 420 : 12, metric ? 297 : 9);
  w.BD(0);
  w.BD3(0, 0, 0);
  w.BD3(1, 0, 0);
  w.BD3(0, 1, 0);
  w.H(kHardPointer, 0);

  // Model space.
  const Vec3& lo = d_.header.extMin;
  const Vec3& hi = d_.header.extMax;
  w.BD3(Num("$INSBASE", 0, 0), Num("$INSBASE", 0, 1), Num("$INSBASE", 0, 2));
  w.BD3(lo.x, lo.y, lo.z);
  w.BD3(hi.x, hi.y, hi.z);
  // The limits are the extents when there are any, as in the DXF.
  const bool haveExtents = hi.x >= lo.x && hi.y >= lo.y && (hi.x > lo.x || hi.y > lo.y);
  if (haveExtents) {
    w.RD2(lo.x, lo.y);
    w.RD2(hi.x, hi.y);
  } else {
    w.RD2(0, 0);
    w.RD2(metric ? 420 : 12, metric ? 297 : 9);
  }
  w.BD(Num("$ELEVATION", 0));
  w.BD3(0, 0, 0);
  w.BD3(1, 0, 0);
  w.BD3(0, 1, 0);
  w.H(kHardPointer, 0);

  // Dimension variables.
  w.B(false);                            // DIMTOL
  w.B(false);                            // DIMLIM
  w.B(true);                             // DIMTIH
  w.B(true);                             // DIMTOH
  w.B(false);                            // DIMSE1
  w.B(false);                            // DIMSE2
  w.B(false);                            // DIMALT
  w.B(false);                            // DIMTOFL
  w.B(false);                            // DIMSAH
  w.B(false);                            // DIMTIX
  w.B(false);                            // DIMSOXD
  w.RC(2);                               // DIMALTD
  w.RC(0);                               // DIMZIN
  w.B(false);                            // DIMSD1
  w.B(false);                            // DIMSD2
  w.RC(1);                               // DIMTOLJ
  w.RC(0);                               // DIMJUST
  w.RC(3);                               // DIMFIT
  w.B(false);                            // DIMUPT
  w.RC(0);                               // DIMTZIN
  w.RC(0);                               // DIMALTZ
  w.RC(0);                               // DIMALTTZ
  w.RC(0);                               // DIMTAD
  w.BS(2);                               // DIMUNIT
  w.BS(0);                               // DIMAUNIT
  w.BS(4);                               // DIMDEC
  w.BS(4);                               // DIMTDEC
  w.BS(2);                               // DIMALTU
  w.BS(2);                               // DIMALTTD
  w.H(kHardPointer, styles_[0].handle);  // DIMTXSTY
  w.BD(Num("$DIMSCALE", 1.0));
  for (double v : {0.18, 0.0625, 0.38, 0.18, 0.0, 0.0, 0.0, 0.0}) w.BD(v);
  for (double v : {0.18, 0.09, 0.0, 25.4, 1.0, 0.0, 1.0, 0.09}) w.BD(v);
  for (int i = 0; i < 5; ++i) w.T("");  // DIMPOST .. DIMBLK2
  for (int i = 0; i < 3; ++i) w.CMC(0);

  w.H(kHardOwner, th_.blockControl);
  w.H(kHardOwner, th_.layerControl);
  w.H(kHardOwner, th_.styleControl);
  w.H(kHardOwner, th_.linetypeControl);
  w.H(kHardOwner, th_.viewControl);
  w.H(kHardOwner, th_.ucsControl);
  w.H(kHardOwner, th_.vportControl);
  w.H(kHardOwner, th_.appidControl);
  w.H(kHardOwner, th_.dimstyleControl);
  w.H(kHardOwner, th_.vxControl);
  w.H(kHardPointer, th_.groupDictionary);
  w.H(kHardPointer, th_.mlinestyleDictionary);
  w.H(kHardOwner, th_.rootDictionary);
  w.H(kHardPointer, blocks_[1].handle);
  w.H(kHardPointer, blocks_[0].handle);
  w.H(kHardPointer, th_.linetypeByLayer);
  w.H(kHardPointer, th_.linetypeByBlock);
  const std::uint32_t continuous = d_.FindLinetype("CONTINUOUS") != kNoIndex
                                       ? d_.FindLinetype("CONTINUOUS")
                                       : static_cast<std::uint32_t>(linetypes_.size() - 1);
  w.H(kHardPointer, linetypes_[continuous].handle);
  w.BS(4);
  w.BS(0x0312);
  w.BS(0);
  w.BS(0);

  const std::size_t start = out_.size();
  sections_[0].address = static_cast<std::uint32_t>(start);
  PutBytes(out_, kHeaderBegin, 16);
  const std::size_t sizeAt = out_.size();
  PutRL(out_, static_cast<std::uint32_t>(w.ByteSize()));
  PutBytes(out_, w.Data(), w.ByteSize());
  PutRS(out_, Crc16(out_.data() + sizeAt, out_.size() - sizeAt, kSeed));
  PutBytes(out_, kHeaderEnd, 16);
  sections_[0].size = static_cast<std::uint32_t>(out_.size() - start);
}

// Only the class AutoCAD lists in every drawing: some readers reject an
// empty class section.
void Writer::WriteClasses() {
  BitWriter& w = data_;
  w.Clear();
  w.BS(500);  // class number
  w.BS(0);    // proxy flags
  w.T("ObjectDBX Classes");
  w.T("AcDbDictionaryVar");
  w.T("DICTIONARYVAR");
  w.B(false);   // not a zombie
  w.BS(0x1F3);  // an object, not an entity

  const std::size_t start = out_.size();
  sections_[1].address = static_cast<std::uint32_t>(start);
  PutBytes(out_, kClassesBegin, 16);
  const std::size_t sizeAt = out_.size();
  PutRL(out_, static_cast<std::uint32_t>(w.ByteSize()));
  PutBytes(out_, w.Data(), w.ByteSize());
  PutRS(out_, Crc16(out_.data() + sizeAt, out_.size() - sizeAt, kSeed));
  PutBytes(out_, kClassesEnd, 16);
  sections_[1].size = static_cast<std::uint32_t>(out_.size() - start);
}

// An empty description and the drawing's measurement (0 English, 1 metric).
void Writer::WriteTemplate() {
  sections_[4].address = static_cast<std::uint32_t>(out_.size());
  PutRS(out_, 0);
  PutRS(out_, static_cast<std::uint16_t>(d_.header.measurement != 0 ? 1 : 0));
  sections_[4].size = 4;
}

bool Writer::WriteObjects() {
  objectsStart_ = out_.size();
  // About 80 bytes an object; growing a large buffer by copies costs more
  // than asking once.
  out_.reserve(out_.size() + 80 * (d_.EntityCount() + 2 * d_.vertices.size()) + 65536);
  map_.reserve(d_.EntityCount() + d_.vertices.size() + layers_.size() + blocks_.size() * 3 + 64);
  WriteControls();
  WriteTableEntries();
  WriteDictionaries();
  for (std::size_t b = 0; b < blocks_.size(); ++b)
    if (!WriteBlock(b)) return false;
  return true;
}

// Handle and offset pairs, each page's first pair relative to zero, the
// others to their predecessor, in pages of bounded size with a big-endian
// size and CRC; an empty page ends the map.
bool Writer::WriteObjectMap() {
  if (!std::is_sorted(map_.begin(), map_.end(),
                      [](const MapEntry& a, const MapEntry& b) { return a.handle < b.handle; }))
    std::sort(map_.begin(), map_.end(),
              [](const MapEntry& a, const MapEntry& b) { return a.handle < b.handle; });
  // Two objects with one handle make a damaged drawing that readers resolve
  // differently; refuse it.
  for (std::size_t k = 1; k < map_.size(); ++k)
    if (map_[k].handle == map_[k - 1].handle)
      return Fail("two objects have the handle " + Hex(map_[k].handle));

  const std::size_t start = out_.size();
  sections_[2].address = static_cast<std::uint32_t>(start);
  std::size_t i = 0;
  for (;;) {
    const std::size_t page = out_.size();
    out_.push_back(0);
    out_.push_back(0);
    Handle lastHandle = 0;
    std::int64_t lastOffset = 0;
    while (i < map_.size()) {
      // A pair takes at most 10 + 6 bytes; encode it in place and take it
      // back when it does not fit the page.
      const std::size_t before = out_.size();
      PutUMC(out_, map_[i].handle - lastHandle);
      PutMC(out_, static_cast<std::int64_t>(map_[i].offset) - lastOffset);
      if (out_.size() - page > kMapPageLimit) {
        out_.resize(before);
        break;
      }
      lastHandle = map_[i].handle;
      lastOffset = map_[i].offset;
      ++i;
    }
    const std::size_t size = out_.size() - page;
    out_[page] = static_cast<std::uint8_t>(size >> 8);
    out_[page + 1] = static_cast<std::uint8_t>(size);
    const std::uint16_t crc = Crc16(out_.data() + page, size, kSeed);
    out_.push_back(static_cast<std::uint8_t>(crc >> 8));
    out_.push_back(static_cast<std::uint8_t>(crc));
    if (size == 2) break;
  }
  sections_[2].size = static_cast<std::uint32_t>(out_.size() - start);
  return true;
}

void Writer::WriteFreeSpace() {
  const std::size_t start = out_.size();
  sections_[3].address = static_cast<std::uint32_t>(start);
  PutRL(out_, 0);
  PutRL(out_, static_cast<std::uint32_t>(map_.size()));
  const double days = std::floor(now_);
  PutRL(out_, static_cast<std::uint32_t>(days));
  PutRL(out_, static_cast<std::uint32_t>(std::lround((now_ - days) * 86400000.0)));
  PutRL(out_, static_cast<std::uint32_t>(objectsStart_));
  out_.push_back(4);
  for (std::uint32_t v : {0x32u, 0x64u, 0x200u, 0xFFFFFFFFu}) {
    PutRL(out_, v);
    PutRL(out_, 0);
  }
  sections_[3].size = static_cast<std::uint32_t>(out_.size() - start);
}

// A copy of the file header's locators and of the structural handles, for
// recovery.
void Writer::WriteSecondHeader() {
  const std::size_t start = out_.size();
  secondHeaderAddress_ = static_cast<std::uint32_t>(start);
  PutBytes(out_, kSecondHeaderBegin, 16);

  BitWriter& w = data_;
  w.Clear();
  w.RL(0);  // size, patched below
  w.BL(static_cast<std::uint32_t>(start));
  for (int i = 0; i < 11; ++i) w.RC(i < 6 ? static_cast<std::uint8_t>(out_[i]) : 0);
  w.RC(0);  // maintenance release
  w.RC(1);
  w.BS(0);
  w.RS(kCodepageAnsi1252);
  w.BS(kSectionCount);
  for (int s = 0; s < kSectionCount; ++s) {
    w.RC(static_cast<std::uint8_t>(s));
    w.BL(sections_[s].address);
    w.BL(sections_[s].size);
  }
  const Handle list[14] = {seed_,
                           th_.blockControl,
                           th_.layerControl,
                           th_.styleControl,
                           th_.linetypeControl,
                           th_.viewControl,
                           th_.ucsControl,
                           th_.vportControl,
                           th_.appidControl,
                           th_.dimstyleControl,
                           th_.vxControl,
                           th_.rootDictionary,
                           th_.mlinestyleDictionary,
                           th_.groupDictionary};
  w.BS(14);
  for (int k = 0; k < 14; ++k) {
    int n = 0;
    for (Handle v = list[k]; v != 0; v >>= 8) ++n;
    w.RC(static_cast<std::uint8_t>(n));
    w.RC(static_cast<std::uint8_t>(k));
    for (int b = n - 1; b >= 0; --b) w.RC(static_cast<std::uint8_t>(list[k] >> (8 * b)));
  }
  const std::size_t body = w.ByteSize();
  const std::size_t total = body + 2 + (r14_ ? 8 : 0);
  Bytes bytes(w.Data(), w.Data() + body);
  PatchRL(bytes, 0, static_cast<std::uint32_t>(total));
  PutBytes(out_, bytes.data(), bytes.size());
  PutRS(out_, Crc16(bytes.data(), bytes.size(), kSeed));
  if (r14_)
    for (int i = 0; i < 8; ++i) out_.push_back(0);
  PutBytes(out_, kSecondHeaderEnd, 16);
}

bool Writer::Run(std::string& error) {
  if (!Prepare(error)) return false;
  WriteFileHeader();
  WriteHeaderVariables();
  WriteClasses();
  WriteTemplate();
  if (!WriteObjects()) {
    error = error_;
    return false;
  }
  if (!WriteObjectMap()) {
    error = error_;
    return false;
  }
  WriteFreeSpace();
  WriteSecondHeader();

  // Section locators and the file header's CRC.
  std::size_t at = 0x19;
  for (int s = 0; s < kSectionCount; ++s) {
    out_[at] = static_cast<std::uint8_t>(s);
    PatchRL(out_, at + 1, sections_[s].address);
    PatchRL(out_, at + 5, sections_[s].size);
    at += 9;
  }
  const std::uint16_t crc = Crc16(out_.data(), at, 0) ^ kLocatorCrcMask;
  out_[at] = static_cast<std::uint8_t>(crc);
  out_[at + 1] = static_cast<std::uint8_t>(crc >> 8);
  std::memcpy(out_.data() + at + 2, kFileHeaderEnd, 16);
  return true;
}

}  // namespace

bool WriteDwg(const Drawing& drawing, int version, std::vector<std::uint8_t>& out,
              std::string& error) {
  out.clear();
  if (!SupportsVersion(version)) {
    error = "unsupported AutoCAD version " + std::to_string(version) + " for DWG";
    return false;
  }
  Writer writer(drawing, version, out);
  if (!writer.Run(error)) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace tav2::dwg
