#include "tav2/src/engine.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "platform/text.h"
#include "tav2/src/dwg/dwg_writer.h"
#include "tav2/src/dwg/pre13_writer.h"
#include "tav2/src/dxf_writer.h"
#include "tav2/src/output.h"
#include "tav2/src/schema.h"
#include "tav2/src/validate.h"
#include "tav2/src/values.h"

namespace tav2 {

using namespace tav2abi;

namespace {

struct EngineState {
  bool initialised = false;
  EngineDefaults defaults;
  std::vector<std::unique_ptr<OpenDrawing>> drawings;  // drawing handle - 1
  std::string lastError;
  int32_t lastCode = 0;
  std::string dataFile;  // as given to edaInitAd2
};

EngineState& State() {
  static EngineState s;
  return s;
}

int16_t Fail(std::string reason, int32_t code = 1) {
  State().lastError = std::move(reason);
  State().lastCode = code;
  return 0;
}

void Clear() {
  State().lastError.clear();
  State().lastCode = 0;
}

std::string HandleText(uint64_t h) {
  char buf[24];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, h, 16);
  for (char* q = buf; q != p; ++q) *q = platform::ToUpperAscii(*q);
  return std::string(buf, p);
}

OpenDrawing* Find(int32_t drawing) {
  auto& ds = State().drawings;
  if (drawing <= 0 || static_cast<size_t>(drawing) > ds.size() || !ds[drawing - 1]) {
    Fail("no open drawing " + std::to_string(drawing));
    return nullptr;
  }
  return ds[drawing - 1].get();
}

// A NUL-terminated text inside a record field of `room` bytes.
bool FieldText(const void* rec, size_t off, size_t room, std::string_view& out) {
  const char* p = static_cast<const char*>(rec) + off;
  const void* nul = std::memchr(p, 0, room);
  if (!nul) return false;
  out = std::string_view(p, static_cast<const char*>(nul) - p);
  return true;
}

bool ValidName(std::string_view name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

// Marks a handle as taken; 0 asks for a fresh one.
bool ClaimHandle(OpenDrawing& od, uint64_t& h, const char* what) {
  if (h == 0) h = od.d.NewHandle();
  if (h >= od.d.nextHandle) {
    Fail(std::string(what) + ": handle " + HandleText(h) + " was not issued by this drawing");
    return false;
  }
  if (od.handleUsed.size() <= h)
    od.handleUsed.resize(std::max<size_t>(h + 1, od.handleUsed.size() * 2));
  if (od.handleUsed[h]) {
    Fail(std::string(what) + ": handle " + HandleText(h) + " is already in use");
    return false;
  }
  od.handleUsed[h] = true;
  return true;
}

Handle Issue(OpenDrawing& od) {
  uint64_t h = 0;
  ClaimHandle(od, h, "");
  return h;
}

}  // namespace

// A new drawing's structural objects and standard rows take the handles
// AutoCAD gives them (table controls 1 to B without 4, the root dictionary
// C, ACAD_GROUP D, layer 0 at 10, model space's block header 1F with its
// BLOCK and ENDBLK at 20 and 21): importers that take that layout for
// granted then find no clash. Everything else is issued from 22 on.
namespace {
constexpr Handle kFirstFreeHandle = 0x22;

Handle Fixed(OpenDrawing& od, Handle h) {
  ClaimHandle(od, h, "");
  return h;
}
}  // namespace

void InitDrawing(OpenDrawing& od, const EngineDefaults& defaults, int16_t version) {
  Drawing& d = od.d;
  d.version = version;
  d.header.created = CreationDate();
  d.header.defaults = defaults.header;
  d.nextHandle = kFirstFreeHandle;
  StructuralHandles& h = d.handles;
  h.blockRecordControl = Fixed(od, 0x1);
  h.layerControl = Fixed(od, 0x2);
  h.styleControl = Fixed(od, 0x3);
  h.linetypeControl = Fixed(od, 0x5);
  h.viewControl = Fixed(od, 0x6);
  h.ucsControl = Fixed(od, 0x7);
  h.vportControl = Fixed(od, 0x8);
  h.appidControl = Fixed(od, 0x9);
  h.dimstyleControl = Fixed(od, 0xA);
  h.vxControl = Fixed(od, 0xB);
  h.rootDictionary = Fixed(od, 0xC);
  h.groupDictionary = Fixed(od, 0xD);
  h.variableDictionary = Fixed(od, 0xE);
  h.linetypeByBlock = Fixed(od, 0x14);
  h.linetypeByLayer = Fixed(od, 0x15);
  h.mlinestyleDictionary = Fixed(od, 0x17);
  h.standardMlinestyle = Fixed(od, 0x18);
  h.activeVport = Issue(od);
  for (const Linetype& lt : defaults.linetypes) {
    Linetype row = lt;
    row.handle = EqualsNoCase(lt.name, "CONTINUOUS") && d.FindLinetype("CONTINUOUS") == kNoIndex
                     ? Fixed(od, 0x16)
                     : Issue(od);
    d.AddLinetype(std::move(row));
  }
  for (const EngineDefaults::LayerRow& l : defaults.layers) {
    Layer row;
    row.handle = d.layers.empty() ? Fixed(od, 0x10) : Issue(od);
    row.name = l.name;
    row.color = l.color;
    row.linetype = d.FindLinetype(l.linetype);
    d.AddLayer(std::move(row));
  }
  for (const TextStyle& s : defaults.styles) {
    TextStyle row = s;
    row.handle = d.styles.empty() ? Fixed(od, 0x11) : Issue(od);
    d.AddStyle(std::move(row));
  }
  for (const std::string& a : defaults.appids)
    d.appids.push_back({d.appids.empty() ? Fixed(od, 0x12) : Issue(od), a});
  for (const std::string& s : defaults.dimstyles) d.dimstyles.push_back({Issue(od), s});
  // Model space first, as the drawing keeps it; paper space's handles lie below.
  const Handle spaces[2][3] = {{0x1F, 0x20, 0x21}, {0x1B, 0x1C, 0x1D}};
  const char* names[2] = {"*MODEL_SPACE", "*PAPER_SPACE"};
  for (int i = 0; i < 2; ++i) {
    Block b;
    b.handle = Fixed(od, spaces[i][0]);
    b.name = names[i];
    b.beginHandle = Fixed(od, spaces[i][1]);
    b.endHandle = Fixed(od, spaces[i][2]);
    d.AddBlock(std::move(b));
  }
  od.blockEnded.assign(2, false);

  Put<int16_t>(od.headerRecord, kHeaderMeasurement, 0);
  Put<int16_t>(od.headerRecord, kHeaderTileMode, 1);
}

void PrepareForSave(OpenDrawing& od) {
  Drawing& d = od.d;
  const uint8_t* r = od.headerRecord;
  d.header.extMin = {Get<double>(r, kHeaderExtMinX), Get<double>(r, kHeaderExtMinY),
                     Get<double>(r, kHeaderExtMinZ)};
  d.header.extMax = {Get<double>(r, kHeaderExtMaxX), Get<double>(r, kHeaderExtMaxY),
                     Get<double>(r, kHeaderExtMaxZ)};
  d.header.measurement = Get<int16_t>(r, kHeaderMeasurement) ? 1 : 0;
  d.header.tileMode = Get<int16_t>(r, kHeaderTileMode) ? 1 : 0;
  // A polyline the caller never ended still gets its SEQEND: dropping its
  // vertices or writing a broken sequence would lose or corrupt it.
  if (od.openPolyline != kNoIndex) {
    Polyline& p = d.polylines[od.openPolyline];
    p.seqendHandle = Issue(od);
    p.seqendLayer = p.c.layer;
    od.openPolyline = od.openPolylineBlock = kNoIndex;
  }
  // Blocks defined without BLOCK or ENDBLK entities still need both.
  for (Block& b : d.blocks) {
    if (!b.beginHandle) b.beginHandle = Issue(od);
    if (!b.endHandle) b.endHandle = Issue(od);
  }
}

namespace {

// The engine's library and its data file are read by every run: a drawing
// saved over one of them (under any name) would break the installation.
bool IsEngineFile(const std::string& target) {
  struct stat t {};
  if (::stat(target.c_str(), &t) != 0) return false;
  const std::string own = platform::ModuleFileNameOfAddress(reinterpret_cast<const void*>(&Find));
  for (const std::string& file : {State().dataFile, own}) {
    struct stat f {};
    if (!file.empty() && ::stat(file.c_str(), &f) == 0 && f.st_dev == t.st_dev &&
        f.st_ino == t.st_ino)
      return true;
  }
  return false;
}

}  // namespace

bool SaveDrawing(OpenDrawing& od, const char* fileName, int format, int version,
                 std::string& error) {
  if (format != kFormatDwg && format != kFormatDxf) {
    error = "unsupported output format " + std::to_string(format);
    return false;
  }
  if (version < 0 || version >= kAcadVersionCount) {
    error = "unsupported AutoCAD version " + std::to_string(version);
    return false;
  }
  if (!fileName || !*fileName) {
    error = "no file name given";
    return false;
  }
  PrepareForSave(od);
  const Header& h = od.d.header;
  for (double v : {h.extMin.x, h.extMin.y, h.extMin.z, h.extMax.x, h.extMax.y, h.extMax.z}) {
    if (!std::isfinite(v)) {
      error = "the drawing's extents are not finite numbers";
      return false;
    }
  }
  if (!ValidateForSave(od.d, version, format, error)) return false;
  if (IsEngineFile(fileName)) {
    error = std::string(fileName) +
            ": is a file of the drawing engine itself; it is not replaced by a drawing";
    return false;
  }
  const std::string target(fileName);
  if (format == kFormatDwg && dwg::IsPre13(version)) {
    ReplacingFile file;
    if (!file.Open(target, error)) return false;
    OutputSink sink(&file);
    std::string why;
    if (!dwg::WritePre13(od.d, version, sink, why)) {
      error = "cannot write " + target + ": " + why;
      return false;
    }
    return sink.Finish(error) && file.Commit(error);
  }
  if (format == kFormatDwg) {
    if (!dwg::SupportsVersion(version)) {
      error = std::string("DWG for AutoCAD ") + schema::Info(version).name + " is not supported";
      return false;
    }
    // Streamed into the temporary file, which replaces the target only once complete.
    ReplacingFile file;
    if (!file.Open(target, error)) return false;
    std::string why;
    if (!dwg::WriteDwg(od.d, version, file, why)) {
      // A write error names the file already; a drawing fault does not.
      error = why.rfind("cannot ", 0) == 0 ? why : "cannot write " + target + ": " + why;
      return false;
    }
    return file.Commit(error);
  }
  ReplacingFile file;
  if (!file.Open(target, error)) return false;
  OutputSink sink(&file);
  std::string why;
  if (!WriteDxf(od.d, version, sink, why)) {
    error = "cannot write " + target + ": " + why;
    return false;
  }
  if (!sink.Finish(error) || !file.Commit(error)) return false;
  return true;
}

}  // namespace tav2

// ---------------------------------------------------------------------------
// The exported functions. None lets an exception out: a failure answers 0
// and leaves its reason for edaGetLastError.

using namespace tav2;
using namespace tav2abi;

#define GUARDED(...)                  \
  try {                               \
    Clear();                          \
    __VA_ARGS__                       \
  } catch (const std::bad_alloc&) {   \
    return Fail("out of memory", 2);  \
  } catch (const std::exception& e) { \
    return Fail(e.what(), 3);         \
  }

ORVANTA_EXPORT int16_t edaInitAd2(const char* dataFile, int32_t, int32_t* out){GUARDED({
  if (out) *out = 0;
  if (!dataFile || !*dataFile) return Fail("no engine data file given");
  EngineDefaults d;
  std::string error;
  if (!LoadTavinit(dataFile, d, error)) return Fail(error);
  State().defaults = std::move(d);
  State().dataFile = dataFile;
  State().initialised = true;
  return 1;
})}

ORVANTA_EXPORT int16_t edaCloseAd2(void){GUARDED({
  State().drawings.clear();
  State().initialised = false;
  return 1;
})}

ORVANTA_EXPORT int32_t edaNewFile(int32_t, int32_t, int32_t, int16_t version){GUARDED({
  if (!State().initialised) return Fail("the engine is not initialised (edaInitAd2)");
  auto od = std::make_unique<OpenDrawing>();
  InitDrawing(*od, State().defaults, version);
  auto& ds = State().drawings;
  for (size_t i = 0; i < ds.size(); ++i)
    if (!ds[i]) {
      ds[i] = std::move(od);
      return static_cast<int32_t>(i + 1);
    }
  ds.push_back(std::move(od));
  return static_cast<int32_t>(ds.size());
})}

ORVANTA_EXPORT void* edaHeaderPointer(int32_t drawing) {
  try {
    Clear();
    OpenDrawing* od = Find(drawing);
    return od ? od->headerRecord : nullptr;
  } catch (...) {
    return nullptr;
  }
}

ORVANTA_EXPORT int16_t edaCloseFile(int32_t drawing){GUARDED({
  if (!Find(drawing)) return 0;
  State().drawings[drawing - 1].reset();
  return 1;
})}

ORVANTA_EXPORT int16_t edaGenerateObjhandle(int32_t drawing, uint8_t* handle){GUARDED({
  OpenDrawing* od = Find(drawing);
  if (!od) return 0;
  if (!handle) return Fail("edaGenerateObjhandle: no handle address");
  StoreHandle(handle, od->d.NewHandle());
  return 1;
})}

ORVANTA_EXPORT int16_t edaSetDefaultLayer(int32_t drawing, void* rec){GUARDED({
  if (!rec) return Fail("edaSetDefaultLayer: no record");
  std::memset(rec, 0, kLayerRecordSize);
  Put<int16_t>(rec, kLayerColor, 7);
  return 1;
})}

ORVANTA_EXPORT int16_t edaAddLayer(int32_t drawing, const void* rec){GUARDED({
  OpenDrawing* od = Find(drawing);
  if (!od) return 0;
  if (!rec) return Fail("edaAddLayer: no record");
  std::string_view name;
  if (!FieldText(rec, kLayerName, kLayerNameMax + 1, name))
    return Fail("layer name is not terminated within " + std::to_string(kLayerNameMax) +
                " characters");
  if (!ValidName(name)) return Fail("layer name \"" + std::string(name) + "\" is not valid");
  // A second row of the same name would make the layer table invalid for
  // every reader; lookups by name find the first row anyway.
  if (od->d.FindLayer(name) != kNoIndex)
    return Fail("the drawing has a layer named " + std::string(name) + " already");
  const int16_t color = Get<int16_t>(rec, kLayerColor);
  if (color < 1 || color > 255)
    return Fail("layer " + std::string(name) + ": colour " + std::to_string(color) +
                " is not 1..255");
  Layer layer;
  layer.name = name;
  layer.color = color;
  layer.flags = Get<int16_t>(rec, kLayerFlags) & 5;
  layer.off = Get<uint8_t>(rec, kLayerOff) != 0;
  const uint64_t lt = LoadHandle(static_cast<const uint8_t*>(rec) + kLayerLinetype);
  layer.linetype = lt ? od->d.FindLinetypeByHandle(lt) : od->d.FindLinetype("CONTINUOUS");
  if (layer.linetype == kNoIndex)
    return Fail("layer " + layer.name + ": line type handle " + HandleText(lt) + " not found");
  uint64_t h = LoadHandle(static_cast<const uint8_t*>(rec) + kLayerHandle);
  if (!ClaimHandle(*od, h, ("layer " + layer.name).c_str())) return 0;
  layer.handle = h;
  od->d.AddLayer(std::move(layer));
  return 1;
})}

ORVANTA_EXPORT int16_t
    edaFindLayerByName(int32_t drawing, const char* name, uint8_t* handle){GUARDED({
      if (handle) StoreHandle(handle, 0);
      OpenDrawing* od = Find(drawing);
      if (!od) return 0;
      if (!name || !handle) return Fail("edaFindLayerByName: missing argument");
      const uint32_t i = od->d.FindLayer(name);
      if (i == kNoIndex) return Fail(std::string("no layer named ") + name);
      StoreHandle(handle, od->d.layers[i].handle);
      return 1;
    })}

ORVANTA_EXPORT int16_t edaSetDefaultBlockheader(void* rec){GUARDED({
  if (!rec) return Fail("edaSetDefaultBlockheader: no record");
  std::memset(rec, 0, kBlockRecordSize);
  Put<int16_t>(rec, kBlockLayoutIndex, -1);
  return 1;
})}

ORVANTA_EXPORT int16_t edaAddBlockheader(int32_t drawing, const void* rec){GUARDED({
  OpenDrawing* od = Find(drawing);
  if (!od) return 0;
  if (!rec) return Fail("edaAddBlockheader: no record");
  std::string_view name;
  if (!FieldText(rec, kBlockName, kBlockNameMax + 1, name))
    return Fail("block name is not terminated within " + std::to_string(kBlockNameMax) +
                " characters");
  if (!ValidName(name)) return Fail("block name \"" + std::string(name) + "\" is not valid");
  if (od->d.FindBlock(name) != kNoIndex)
    return Fail("the drawing has a block named " + std::string(name) + " already");
  if (Get<uint8_t>(rec, kBlockXref))
    return Fail("block " + std::string(name) + ": external references are not supported");
  Block b;
  b.name = name;
  b.flags = Get<uint8_t>(rec, kBlockFlags) & 3;
  b.base = {Get<double>(rec, kBlockBaseX), Get<double>(rec, kBlockBaseY),
            Get<double>(rec, kBlockBaseZ)};
  if (!std::isfinite(b.base.x) || !std::isfinite(b.base.y) || !std::isfinite(b.base.z))
    return Fail("block " + b.name + ": base point is not a finite number");
  uint64_t h = LoadHandle(static_cast<const uint8_t*>(rec) + kBlockHandle);
  if (!ClaimHandle(*od, h, ("block " + b.name).c_str())) return 0;
  b.handle = h;
  od->d.AddBlock(std::move(b));
  od->blockEnded.push_back(false);
  return 1;
})}

ORVANTA_EXPORT int16_t
    edaFindBlockheaderByName(int32_t drawing, const char* name, uint8_t* handle){GUARDED({
      if (handle) StoreHandle(handle, 0);
      OpenDrawing* od = Find(drawing);
      if (!od) return 0;
      if (!name || !handle) return Fail("edaFindBlockheaderByName: missing argument");
      const uint32_t i = od->d.FindBlock(name);
      if (i == kNoIndex) return Fail(std::string("no block named ") + name);
      StoreHandle(handle, od->d.blocks[i].handle);
      return 1;
    })}

ORVANTA_EXPORT int16_t
    edaSeekBlockheader(int32_t drawing, const uint8_t* handle, void* rec){GUARDED({
      OpenDrawing* od = Find(drawing);
      if (!od) return 0;
      if (!handle || !rec) return Fail("edaSeekBlockheader: missing argument");
      const uint64_t h = LoadHandle(handle);
      const uint32_t i = od->d.FindBlockByHandle(h);
      if (i == kNoIndex) return Fail("no block header with handle " + HandleText(h));
      const Block& b = od->d.blocks[i];
      std::memset(rec, 0, kBlockRecordSize);
      Put<uint8_t>(rec, kBlockFlags, b.flags);
      std::memcpy(static_cast<uint8_t*>(rec) + kBlockName, b.name.data(), b.name.size());
      Put<int16_t>(rec, kBlockLayoutIndex, -1);
      StoreHandle(static_cast<uint8_t*>(rec) + kBlockHandle, b.handle);
      Put<int32_t>(rec, kBlockEntityList, static_cast<int32_t>(i + 1));
      Put<double>(rec, kBlockBaseX, b.base.x);
      Put<double>(rec, kBlockBaseY, b.base.y);
      Put<double>(rec, kBlockBaseZ, b.base.z);
      return 1;
    })}

ORVANTA_EXPORT int32_t edaEntityList(int32_t drawing, const uint8_t* blockHandle){GUARDED({
  OpenDrawing* od = Find(drawing);
  if (!od) return 0;
  if (!blockHandle) return Fail("edaEntityList: no block handle");
  const uint64_t h = LoadHandle(blockHandle);
  const uint32_t i = od->d.FindBlockByHandle(h);
  if (i == kNoIndex) return Fail("no block header with handle " + HandleText(h));
  return static_cast<int32_t>(i + 1);
})}

ORVANTA_EXPORT int16_t edaSetEntityDefaults(int32_t drawing, void* header, void* data) {
  GUARDED({
    if (!header || !data) return Fail("edaSetEntityDefaults: missing record");
    const int16_t type = Get<int16_t>(header, kEntType);
    // Only the bytes of the type's own fields are cleared: a vertex, the most
    // frequent entity of a board, has 54 of the record's 2,648, and clearing
    // them all was the largest single cost of adding an entity.
    size_t used = 0;
    switch (type) {
      case kEntLine:
      case kEntCircle:
      case kEntArc:
        used = kArcEndAngle + 8;
        break;
      case kEntSolid:
        used = kSolidCorner4 + 24;
        break;
      case kEntText:
      case kEntBlock:
        used = kEntityDataSize;
        break;
      case kEntEndblk:
      case kEntSeqend:
        break;
      case kEntInsert:
        used = kInsertBlock + 8;
        break;
      case kEntPolyline:
        used = kPolylineClosed + 2;
        break;
      case kEntVertex:
        used = kVertexBulge + 8;
        break;
      default:
        return Fail("entity type " + std::to_string(type) + " is not supported");
    }
    // Likewise the header: past its extrusion direction it is reserved, and
    // nothing reads those bytes.
    std::memset(header, 0, kEntExtrusionZ + sizeof(double));
    std::memset(data, 0, used);
    Put<int16_t>(header, kEntType, type);
    Put<int16_t>(header, kEntColor, 256);
    Put<double>(header, kEntExtrusionZ, 1.0);
    switch (type) {
      case kEntText: {
        double size = 0.2;
        if (OpenDrawing* od = drawing > 0 ? Find(drawing) : nullptr)
          if (const HeaderValue* v = od->d.header.Find("$TEXTSIZE")) size = v->num[0];
        Clear();
        Put<double>(data, kTextHeight, size);
        Put<double>(data, kTextWidthFactor, 1.0);
        break;
      }
      case kEntInsert:
        Put<double>(data, kInsertScaleX, 1.0);
        Put<double>(data, kInsertScaleY, 1.0);
        Put<double>(data, kInsertScaleZ, 1.0);
        Put<int16_t>(data, kInsertColumns, 1);
        Put<int16_t>(data, kInsertRows, 1);
        break;
      case kEntPolyline:
        Put<int16_t>(data, kPolylineKind, 8);
        break;
      default:
        break;
    }
    return 1;
  })
}

namespace {

// Reads doubles at the given offsets of a data record, refusing NaN and infinity.
class Reader {
 public:
  Reader(const void* rec, const char* type) : rec_(rec), type_(type) {}
  bool ok = true;
  std::string error;
  double D(size_t off, const char* field) {
    const double v = Get<double>(rec_, off);
    if (!std::isfinite(v) && ok) {
      ok = false;
      error = std::string(type_) + ": " + field + " is not a finite number";
    }
    return v;
  }
  Vec3 P(size_t off, const char* field) {
    Vec3 p;
    p.x = D(off, field);
    p.y = D(off + 8, field);
    p.z = D(off + 16, field);
    return p;
  }

 private:
  const void* rec_;
  const char* type_;
};

int16_t AddEntity(OpenDrawing& od, int32_t list, const void* hdr, const void* data) {
  Drawing& d = od.d;
  const int16_t type = Get<int16_t>(hdr, kEntType);
  const char* tname = EntityTypeName(type);
  if (list <= 0 || static_cast<size_t>(list) > d.blocks.size())
    return Fail(std::string(tname) + ": no entity list " + std::to_string(list));
  const uint32_t bi = static_cast<uint32_t>(list - 1);
  Block& block = d.blocks[bi];
  if (bi >= 2 && od.blockEnded[bi])
    return Fail(std::string(tname) + ": block " + block.name + " is already ended");

  EntityCommon c;
  const uint64_t layerHandle = LoadHandle(static_cast<const uint8_t*>(hdr) + kEntLayer);
  c.layer = layerHandle ? d.FindLayerByHandle(layerHandle) : 0;
  if (c.layer == kNoIndex)
    return Fail(std::string(tname) + ": layer handle " + HandleText(layerHandle) +
                " is not a layer of this drawing");
  const uint64_t ltHandle = LoadHandle(static_cast<const uint8_t*>(hdr) + kEntLinetype);
  if (ltHandle) {
    c.linetype = d.FindLinetypeByHandle(ltHandle);
    if (c.linetype == kNoIndex)
      return Fail(std::string(tname) + ": line type handle " + HandleText(ltHandle) +
                  " is not a line type of this drawing");
  }
  c.color = Get<int16_t>(hdr, kEntColor);
  if (c.color < 0 || c.color > 256)
    return Fail(std::string(tname) + ": colour " + std::to_string(c.color) + " is not 0..256");
  if (Get<int16_t>(hdr, kEntPaperSpace))
    return Fail(std::string(tname) + ": paper space entities are not supported");
  if (Get<double>(hdr, kEntExtrusionX) != 0 || Get<double>(hdr, kEntExtrusionY) != 0 ||
      Get<double>(hdr, kEntExtrusionZ) != 1)
    return Fail(std::string(tname) +
                ": extrusion directions other than (0, 0, 1) are not "
                "supported");
  Reader r(data, tname);
  const double thickness = Get<double>(hdr, kEntThickness);
  if (!std::isfinite(thickness)) return Fail(std::string(tname) + ": thickness is not finite");

  const bool polylineOpen = od.openPolyline != kNoIndex;
  if (polylineOpen && type != kEntVertex && type != kEntSeqend)
    return Fail(std::string(tname) + ": the POLYLINE before it is not ended by a SEQEND");
  if (polylineOpen && od.openPolylineBlock != bi)
    return Fail(std::string(tname) + ": the open POLYLINE belongs to another entity list");

  uint64_t h = LoadHandle(static_cast<const uint8_t*>(hdr) + kEntHandle);
  // Checked before the handle is claimed, so a refused entity leaves no trace.
  auto claim = [&]() { return ClaimHandle(od, h, tname); };

  switch (type) {
    case kEntLine: {
      Line e{c, r.P(kLineX1, "start point"), r.P(kLineX2, "end point"), thickness};
      if (!r.ok) return Fail(r.error);
      if (!claim()) return 0;
      e.c.handle = h;
      block.entities.push_back({static_cast<uint32_t>(d.lines.size()), EntityKind::Line});
      d.lines.push_back(e);
      return 1;
    }
    case kEntCircle: {
      Circle e{c, r.P(kCircleX, "centre"), r.D(kCircleRadius, "radius"), thickness};
      if (!r.ok) return Fail(r.error);
      if (!claim()) return 0;
      e.c.handle = h;
      block.entities.push_back({static_cast<uint32_t>(d.circles.size()), EntityKind::Circle});
      d.circles.push_back(e);
      return 1;
    }
    case kEntArc: {
      Arc e{c,
            r.P(kCircleX, "centre"),
            r.D(kCircleRadius, "radius"),
            r.D(kArcStartAngle, "start angle"),
            r.D(kArcEndAngle, "end angle"),
            thickness};
      if (!r.ok) return Fail(r.error);
      if (!claim()) return 0;
      e.c.handle = h;
      block.entities.push_back({static_cast<uint32_t>(d.arcs.size()), EntityKind::Arc});
      d.arcs.push_back(e);
      return 1;
    }
    case kEntSolid: {
      Solid e{c,
              {r.P(kSolidCorner1, "corner 1"), r.P(kSolidCorner2, "corner 2"),
               r.P(kSolidCorner3, "corner 3"), r.P(kSolidCorner4, "corner 4")}};
      if (!r.ok) return Fail(r.error);
      if (!claim()) return 0;
      e.c.handle = h;
      block.entities.push_back({static_cast<uint32_t>(d.solids.size()), EntityKind::Solid});
      d.solids.push_back(e);
      return 1;
    }
    case kEntText: {
      Text e;
      e.c = c;
      e.insert = r.P(kTextX, "insertion point");
      e.align = r.P(kTextAlignX, "alignment point");
      e.height = r.D(kTextHeight, "height");
      e.rotation = r.D(kTextRotation, "rotation");
      e.widthFactor = r.D(kTextWidthFactor, "width factor");
      e.oblique = r.D(kTextOblique, "oblique angle");
      if (!r.ok) return Fail(r.error);
      e.generation = Get<uint8_t>(data, kTextGeneration) & 6;
      e.hAlign = Get<uint8_t>(data, kTextHAlign);
      e.vAlign = Get<uint8_t>(data, kTextVAlign);
      if (e.hAlign > 5 || e.vAlign > 3)
        return Fail("TEXT: alignment " + std::to_string(e.hAlign) + "/" + std::to_string(e.vAlign) +
                    " is not valid");
      std::string_view value;
      if (!FieldText(data, kTextValue, kTextValueMax + 1, value))
        return Fail("TEXT: the text is not terminated within " + std::to_string(kTextValueMax) +
                    " characters");
      const uint64_t sh = LoadHandle(static_cast<const uint8_t*>(data) + kTextStyle);
      e.style = sh ? d.FindStyleByHandle(sh) : 0;
      if (e.style == kNoIndex)
        return Fail("TEXT: style handle " + HandleText(sh) + " is not a style of this drawing");
      if (!claim()) return 0;
      e.c.handle = h;
      e.textOffset = static_cast<uint32_t>(d.strings.size());
      e.textLength = static_cast<uint32_t>(value.size());
      d.strings.append(value);
      block.entities.push_back({static_cast<uint32_t>(d.texts.size()), EntityKind::Text});
      d.texts.push_back(e);
      return 1;
    }
    case kEntPolyline: {
      Polyline e;
      e.c = c;
      e.elevation = r.D(kPolylineElevation, "elevation");
      e.startWidth = r.D(kPolylineStartWidth, "start width");
      e.endWidth = r.D(kPolylineEndWidth, "end width");
      if (!r.ok) return Fail(r.error);
      e.flags = Get<int16_t>(data, kPolylineClosed) ? 1 : 0;
      if (!claim()) return 0;
      e.c.handle = h;
      e.firstVertex = static_cast<uint32_t>(d.vertices.size());
      od.openPolyline = static_cast<uint32_t>(d.polylines.size());
      od.openPolylineBlock = bi;
      block.entities.push_back({od.openPolyline, EntityKind::Polyline});
      d.polylines.push_back(e);
      return 1;
    }
    case kEntVertex: {
      if (!polylineOpen) return Fail("VERTEX: no POLYLINE is open in this entity list");
      Vertex v;
      v.layer = layerHandle ? c.layer : d.polylines[od.openPolyline].c.layer;
      v.x = r.D(kVertexX, "X");
      v.y = r.D(kVertexY, "Y");
      v.z = r.D(kVertexZ, "Z");
      v.startWidth = r.D(kVertexStartWidth, "start width");
      v.endWidth = r.D(kVertexEndWidth, "end width");
      v.bulge = r.D(kVertexBulge, "bulge");
      if (!r.ok) return Fail(r.error);
      v.flags = Get<int16_t>(data, kVertexFlags) & 1;  // extra vertex from curve fitting
      if (!claim()) return 0;
      v.handle = h;
      d.vertices.push_back(v);
      d.polylines[od.openPolyline].vertexCount++;
      return 1;
    }
    case kEntSeqend: {
      if (!polylineOpen) return Fail("SEQEND: no POLYLINE is open in this entity list");
      if (!claim()) return 0;
      Polyline& p = d.polylines[od.openPolyline];
      p.seqendHandle = h;
      // A sequence end belongs with its polyline; readers take its layer for
      // the whole polyline.
      p.seqendLayer = layerHandle ? c.layer : p.c.layer;
      od.openPolyline = od.openPolylineBlock = kNoIndex;
      return 1;
    }
    case kEntInsert: {
      Insert e;
      e.c = c;
      e.point = r.P(kInsertX, "insertion point");
      e.scale = r.P(kInsertScaleX, "scale");
      e.rotation = r.D(kInsertRotation, "rotation");
      e.columnSpacing = r.D(kInsertColumnSpacing, "column spacing");
      e.rowSpacing = r.D(kInsertRowSpacing, "row spacing");
      if (!r.ok) return Fail(r.error);
      e.columns = Get<int16_t>(data, kInsertColumns);
      e.rows = Get<int16_t>(data, kInsertRows);
      if (e.columns < 1 || e.rows < 1)
        return Fail("INSERT: " + std::to_string(e.columns) + " columns and " +
                    std::to_string(e.rows) + " rows is not a valid array");
      if (Get<int16_t>(data, kInsertAttribsFollow))
        return Fail("INSERT: attributes are not supported");
      const uint64_t bh = LoadHandle(static_cast<const uint8_t*>(data) + kInsertBlock);
      e.block = bh ? d.FindBlockByHandle(bh) : kNoIndex;
      if (e.block == kNoIndex || e.block < 2)
        return Fail("INSERT: block handle " + HandleText(bh) +
                    " is not a block definition of this drawing");
      if (e.block == bi)
        return Fail("INSERT: block " + d.blocks[e.block].name + " cannot contain itself");
      if (!claim()) return 0;
      e.c.handle = h;
      block.entities.push_back({static_cast<uint32_t>(d.inserts.size()), EntityKind::Insert});
      d.inserts.push_back(e);
      return 1;
    }
    case kEntBlock: {
      if (bi < 2) return Fail("BLOCK: " + block.name + " takes no BLOCK entity");
      if (block.beginHandle) return Fail("BLOCK: block " + block.name + " has begun already");
      if (!block.entities.empty())
        return Fail("BLOCK: must come before the entities of block " + block.name);
      std::string_view name;
      if (!FieldText(data, kBlockEntName, kBlockNameMax + 1, name) ||
          !EqualsNoCase(name, block.name))
        return Fail("BLOCK: its name does not match the block header " + block.name);
      const Vec3 base = r.P(kBlockEntBaseX, "base point");
      if (!r.ok) return Fail(r.error);
      if (!claim()) return 0;
      block.beginHandle = h;
      block.beginLayer = c.layer;
      block.base = base;
      return 1;
    }
    case kEntEndblk: {
      if (bi < 2) return Fail("ENDBLK: " + block.name + " takes no ENDBLK entity");
      if (!claim()) return 0;
      block.endHandle = h;
      block.endLayer = layerHandle ? c.layer : block.beginLayer;
      od.blockEnded[bi] = true;
      return 1;
    }
  }
  return Fail("entity type " + std::to_string(type) + " is not supported");
}

}  // namespace

ORVANTA_EXPORT int16_t edaAddEntityToList(int32_t drawing, int32_t list, const void* header,
                                          const void* data){GUARDED({
  OpenDrawing* od = Find(drawing);
  if (!od) return 0;
  if (!header || !data) return Fail("edaAddEntityToList: missing record");
  return AddEntity(*od, list, header, data);
})}

ORVANTA_EXPORT int16_t edaSaveFile(int32_t drawing, const char* fileName, uint8_t format,
                                   int16_t version, int32_t, int32_t, int32_t, int32_t){GUARDED({
  OpenDrawing* od = Find(drawing);
  if (!od) return 0;
  std::string error;
  if (!SaveDrawing(*od, fileName, format, version, error)) return Fail(error);
  return 1;
})}

ORVANTA_EXPORT const char* edaGetLastError(void) {
  return State().lastError.c_str();
}
ORVANTA_EXPORT int32_t edaGetLastErrorCode(void) {
  return State().lastCode;
}
ORVANTA_EXPORT int16_t edaClearError(void) {
  Clear();
  return 1;
}

// Operations this engine does not serve: they exist so that a binding by name
// succeeds, and answer failure with a reason.
#define TAV2_UNSERVED(name)                                \
  ORVANTA_EXPORT int16_t name(void) {                      \
    return Fail(#name " is not supported by this engine"); \
  }
TAV2_OTHER_FUNCTIONS(TAV2_UNSERVED)
#undef TAV2_UNSERVED
