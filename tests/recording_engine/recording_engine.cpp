// The recording engine. It keeps whole copies of records because tests read
// them back byte by byte; speed does not matter here.
#include "tests/recording_engine/recording_engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "abi/tav2.h"

using namespace tav2abi;

namespace {

struct Entity {
  std::vector<uint8_t> header, data;
  int32_t list;
};

struct Block {
  std::string name;
  uint64_t handle;
  int32_t list;
};

struct Layer {
  std::string name;
  uint64_t handle;
  std::vector<uint8_t> record;
};

struct Drawing {
  std::vector<uint8_t> header = std::vector<uint8_t>(kHeaderRecordSize, 0);
  std::vector<Block> blocks;
  std::vector<Layer> layers;
  int16_t version = 0;
};

struct State {
  std::vector<std::string> calls;
  std::vector<Entity> entities;
  std::vector<std::vector<uint8_t>> layerRecords;
  std::map<int32_t, Drawing> drawings;
  std::vector<uint8_t> lastHeader = std::vector<uint8_t>(kHeaderRecordSize, 0);
  // Handles are unique across drawings too, so a test can tell a layer of
  // one drawing from the same layer of the next.
  uint64_t nextHandle = 0x20;
  int32_t nextDrawing = 1;
  int32_t nextList = 100;
  int32_t newest = 0;
  bool initialised = false;
  std::map<std::string, std::string> failNext;
  std::string lastError;
};

State& S() {
  static State s;
  return s;
}

void Log(std::string line) {
  S().calls.push_back(std::move(line));
}

Drawing* Find(int32_t drawing) {
  auto it = S().drawings.find(drawing);
  return it == S().drawings.end() ? nullptr : &it->second;
}

bool ShouldFail(const char* fn) {
  auto it = S().failNext.find(fn);
  if (it == S().failNext.end()) return false;
  S().lastError = it->second;
  S().failNext.erase(it);
  return true;
}

std::string LayerNameOf(const Drawing& d, uint64_t h) {
  for (const Layer& l : d.layers)
    if (l.handle == h) return l.name;
  return "-";
}

}  // namespace

ORVANTA_EXPORT int16_t edaInitAd2(const char* dataFile, int32_t reserved, int32_t* out) {
  Log(std::string("edaInitAd2 ") + (dataFile ? dataFile : "(null)"));
  if (ShouldFail("edaInitAd2")) return 0;
  FILE* f = dataFile ? std::fopen(dataFile, "rb") : nullptr;
  if (f == nullptr) {
    S().lastError = std::string("cannot open the engine data file ") + (dataFile ? dataFile : "");
    return 0;
  }
  std::fclose(f);
  if (out) *out = 0;
  S().initialised = true;
  S().lastError.clear();
  return 1;
}

ORVANTA_EXPORT int32_t edaNewFile(int32_t a, int32_t b, int32_t c, int16_t version) {
  Log("edaNewFile " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
      std::to_string(version));
  State& s = S();
  const int32_t id = s.nextDrawing++;
  Drawing& d = s.drawings[id];
  d.version = version;
  for (const char* name : {"*MODEL_SPACE", "*PAPER_SPACE"}) {
    d.blocks.push_back(Block{name, s.nextHandle++, s.nextList++});
  }
  s.newest = id;
  return id;
}

ORVANTA_EXPORT void* edaHeaderPointer(int32_t drawing) {
  Log("edaHeaderPointer");
  Drawing* d = Find(drawing);
  return d ? d->header.data() : nullptr;
}

ORVANTA_EXPORT int16_t edaFindBlockheaderByName(int32_t drawing, const char* name,
                                                uint8_t* handle) {
  Log(std::string("edaFindBlockheaderByName ") + name);
  StoreHandle(handle, 0);
  Drawing* d = Find(drawing);
  if (!d) return 0;
  for (const Block& b : d->blocks) {
    if (b.name == name) {
      StoreHandle(handle, b.handle);
      return 1;
    }
  }
  return 0;
}

ORVANTA_EXPORT int32_t edaEntityList(int32_t drawing, const uint8_t* blockHandle) {
  const uint64_t h = LoadHandle(blockHandle);
  Log("edaEntityList");
  Drawing* d = Find(drawing);
  if (!d) return 0;
  for (const Block& b : d->blocks)
    if (b.handle == h) return b.list;
  return 0;
}

ORVANTA_EXPORT int16_t edaSetDefaultLayer(int32_t drawing, void* layerRecord) {
  Log("edaSetDefaultLayer");
  std::memset(layerRecord, kRecDefaultByte, kLayerRecordSize);
  return 1;
}

ORVANTA_EXPORT int16_t edaAddLayer(int32_t drawing, const void* layerRecord) {
  const auto* r = static_cast<const uint8_t*>(layerRecord);
  const std::string name(reinterpret_cast<const char*>(r + kLayerName));
  Log("edaAddLayer " + name);
  Drawing* d = Find(drawing);
  if (!d) return 0;
  d->layers.push_back(
      Layer{name, LoadHandle(r + kLayerHandle), std::vector<uint8_t>(r, r + kLayerRecordSize)});
  S().layerRecords.emplace_back(r, r + kLayerRecordSize);
  return 1;
}

ORVANTA_EXPORT int16_t edaFindLayerByName(int32_t drawing, const char* name, uint8_t* handle) {
  Log(std::string("edaFindLayerByName ") + name);
  StoreHandle(handle, 0);
  Drawing* d = Find(drawing);
  if (!d) return 0;
  for (const Layer& l : d->layers) {
    if (l.name == name) {
      StoreHandle(handle, l.handle);
      return 1;
    }
  }
  return 0;
}

ORVANTA_EXPORT int16_t edaSetDefaultBlockheader(void* blockRecord) {
  Log("edaSetDefaultBlockheader");
  std::memset(blockRecord, kRecDefaultByte, kBlockRecordSize);
  return 1;
}

ORVANTA_EXPORT int16_t edaAddBlockheader(int32_t drawing, const void* blockRecord) {
  const auto* r = static_cast<const uint8_t*>(blockRecord);
  const std::string name(reinterpret_cast<const char*>(r + kBlockName));
  Log("edaAddBlockheader " + name);
  Drawing* d = Find(drawing);
  if (!d) return 0;
  d->blocks.push_back(Block{name, LoadHandle(r + kBlockHandle), S().nextList++});
  return 1;
}

ORVANTA_EXPORT int16_t edaSeekBlockheader(int32_t drawing, const uint8_t* handle,
                                          void* blockRecord) {
  Log("edaSeekBlockheader");
  Drawing* d = Find(drawing);
  if (!d) return 0;
  const uint64_t h = LoadHandle(handle);
  for (const Block& b : d->blocks) {
    if (b.handle == h) {
      auto* r = static_cast<uint8_t*>(blockRecord);
      std::memset(r, 0, kBlockRecordSize);
      std::memcpy(r + kBlockName, b.name.c_str(), b.name.size() + 1);
      StoreHandle(r + kBlockHandle, b.handle);
      Put<int32_t>(r, kBlockEntityList, b.list);
      return 1;
    }
  }
  return 0;
}

ORVANTA_EXPORT int16_t edaSetEntityDefaults(int32_t drawing, void* header, void* data) {
  auto* h = static_cast<uint8_t*>(header);
  const int16_t type = Get<int16_t>(h, kEntType);
  Log(std::string("edaSetEntityDefaults ") + EntityTypeName(type));
  std::memset(h, kRecDefaultByte, kEntityHeaderSize);
  Put<int16_t>(h, kEntType, type);
  std::memset(data, kRecDefaultByte, kEntityDataSize);
  return 1;
}

ORVANTA_EXPORT int16_t edaGenerateObjhandle(int32_t drawing, uint8_t* handle) {
  Drawing* d = Find(drawing);
  const uint64_t h = d ? S().nextHandle++ : 0;
  Log("edaGenerateObjhandle " + std::to_string(h));
  StoreHandle(handle, h);
  return d ? 1 : 0;
}

ORVANTA_EXPORT int16_t edaAddEntityToList(int32_t drawing, int32_t list, const void* header,
                                          const void* data) {
  const auto* h = static_cast<const uint8_t*>(header);
  const auto* dd = static_cast<const uint8_t*>(data);
  Log(std::string("edaAddEntityToList ") + EntityTypeName(Get<int16_t>(h, kEntType)) + " " +
      std::to_string(list));
  S().entities.push_back(Entity{std::vector<uint8_t>(h, h + kEntityHeaderSize),
                                std::vector<uint8_t>(dd, dd + kEntityDataSize), list});
  return Find(drawing) ? 1 : 0;
}

// What a reader should find in the real engine's file for this drawing, in
// the readers' normalised JSON (tests/readers): layers with colours, blocks
// and model space entity by entity. End-to-end tests compare it with what
// ezdxf and libdxfrw read back.
namespace {

constexpr double kRadToDeg = 57.295779513082320876798154814105;

void Json(std::string& o, double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  o += buf;
}

void Json(std::string& o, const std::string& text) {
  o += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      o += '\\';
      o += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      o += buf;
    } else if (c >= 0x80) {
      // The host's 8-bit code page is Latin-1 here.
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      o += buf;
    } else {
      o += static_cast<char>(c);
    }
  }
  o += '"';
}

void Point(std::string& o, const uint8_t* d, size_t off) {
  o += '[';
  Json(o, Get<double>(d, off));
  o += ',';
  Json(o, Get<double>(d, off + 8));
  o += ',';
  Json(o, Get<double>(d, off + 16));
  o += ']';
}

std::string BlockNameOfHandle(const Drawing& d, uint64_t h) {
  for (const Block& b : d.blocks)
    if (b.handle == h) return b.name;
  return "";
}

// Appends the entities of one list; a POLYLINE swallows its VERTEXes and
// SEQEND; BLOCK and ENDBLK are the block's frame, not entities of it.
void ListJson(std::string& o, const Drawing& dr, int32_t list) {
  o += '[';
  bool first = true;
  const auto& all = S().entities;
  for (size_t i = 0; i < all.size(); ++i) {
    const Entity& e = all[i];
    if (e.list != list) continue;
    const uint8_t* h = e.header.data();
    const uint8_t* d = e.data.data();
    const int16_t type = Get<int16_t>(h, kEntType);
    if (type == kEntBlock || type == kEntEndblk || type == kEntVertex || type == kEntSeqend)
      continue;
    if (!first) o += ',';
    first = false;
    const bool layered = type != kEntInsert;
    std::string layer = layered ? LayerNameOf(dr, LoadHandle(h + kEntLayer)) : "0";
    o += "{\"layer\":";
    Json(o, layer);
    o += ",\"type\":\"";
    o += EntityTypeName(type);
    o += '"';
    switch (type) {
      case kEntLine:
        o += ",\"p1\":";
        Point(o, d, kLineX1);
        o += ",\"p2\":";
        Point(o, d, kLineX2);
        break;
      case kEntCircle:
      case kEntArc:
        o += ",\"center\":";
        Point(o, d, kCircleX);
        o += ",\"radius\":";
        Json(o, Get<double>(d, kCircleRadius));
        if (type == kEntArc) {
          o += ",\"start\":";
          Json(o, Get<double>(d, kArcStartAngle) * kRadToDeg);
          o += ",\"end\":";
          Json(o, Get<double>(d, kArcEndAngle) * kRadToDeg);
        }
        break;
      case kEntSolid:
        o += ",\"corners\":[";
        for (size_t c : {kSolidCorner1, kSolidCorner2, kSolidCorner3, kSolidCorner4}) {
          if (c != kSolidCorner1) o += ',';
          Point(o, d, c);
        }
        o += ']';
        break;
      case kEntText:
        o += ",\"insert\":";
        Point(o, d, kTextX);
        o += ",\"height\":";
        Json(o, Get<double>(d, kTextHeight));
        o += ",\"rotation\":";
        Json(o, Get<double>(d, kTextRotation) * kRadToDeg);
        o += ",\"width\":";
        Json(o, Get<double>(d, kTextWidthFactor));
        // Only "mirrored" (2) is ever set; anything else is the default 0.
        o += ",\"generation\":";
        o += d[kTextGeneration] == 2 ? "2" : "0";
        o += ",\"text\":";
        Json(o, std::string(reinterpret_cast<const char*>(d + kTextValue)));
        break;
      case kEntPolyline: {
        o += ",\"closed\":";
        o += Get<int16_t>(d, kPolylineClosed) ? "true" : "false";
        o += ",\"startWidth\":";
        Json(o, Get<double>(d, kPolylineStartWidth));
        o += ",\"endWidth\":";
        Json(o, Get<double>(d, kPolylineEndWidth));
        o += ",\"vertices\":[";
        bool firstVertex = true;
        for (size_t k = i + 1; k < all.size(); ++k) {
          if (all[k].list != list) continue;
          const uint8_t* vd = all[k].data.data();
          if (Get<int16_t>(all[k].header.data(), kEntType) != kEntVertex) break;
          if (!firstVertex) o += ',';
          firstVertex = false;
          o += '[';
          for (size_t off :
               {kVertexX, kVertexY, kVertexStartWidth, kVertexEndWidth, kVertexBulge}) {
            if (off != kVertexX) o += ',';
            Json(o, Get<double>(vd, off));
          }
          o += ']';
        }
        o += ']';
        break;
      }
      case kEntInsert:
        o += ",\"block\":";
        Json(o, BlockNameOfHandle(dr, LoadHandle(d + kInsertBlock)));
        o += ",\"insert\":";
        Point(o, d, kInsertX);
        o += ",\"rotation\":";
        Json(o, Get<double>(d, kInsertRotation) * kRadToDeg);
        o += ",\"scale\":";
        Point(o, d, kInsertScaleX);
        break;
    }
    o += '}';
  }
  o += ']';
}

}  // namespace

ORVANTA_EXPORT int16_t edaSaveFile(int32_t drawing, const char* fileName, uint8_t format,
                                   int16_t version, int32_t a, int32_t b, int32_t c, int32_t d) {
  Log(std::string("edaSaveFile ") + (fileName ? fileName : "(null)") + " " +
      std::to_string(format) + " " + std::to_string(version) + " " + std::to_string(a) + " " +
      std::to_string(b) + " " + std::to_string(c) + " " + std::to_string(d));
  if (ShouldFail("edaSaveFile")) return 0;
  Drawing* dr = Find(drawing);
  if (!dr || !fileName) return 0;
  std::string o = "{\"release\":" + std::to_string(version) + ",\"layers\":{\"0\":7";
  for (const Layer& l : dr->layers) {
    o += ',';
    Json(o, l.name);
    o += ':';
    o += std::to_string(Get<int16_t>(l.record.data(), kLayerColor));
  }
  o += "},\"blocks\":{";
  bool first = true;
  for (const Block& blk : dr->blocks) {
    if (blk.name[0] == '*') continue;
    if (!first) o += ',';
    first = false;
    Json(o, blk.name);
    o += ':';
    ListJson(o, *dr, blk.list);
  }
  o += "},\"entities\":";
  ListJson(o, *dr, dr->blocks.front().list);
  o += "}\n";
  const std::string temp = std::string(fileName) + ".part";
  FILE* f = std::fopen(temp.c_str(), "wb");
  bool ok = f != nullptr && std::fwrite(o.data(), 1, o.size(), f) == o.size();
  if (f != nullptr) ok = std::fclose(f) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), fileName) == 0;
  if (!ok) {
    std::remove(temp.c_str());
    S().lastError = std::string("cannot write ") + fileName;
  }
  return ok ? 1 : 0;
}

ORVANTA_EXPORT int16_t edaCloseFile(int32_t drawing) {
  Log("edaCloseFile");
  State& s = S();
  auto it = s.drawings.find(drawing);
  if (it == s.drawings.end()) return 0;
  s.lastHeader = it->second.header;
  s.drawings.erase(it);
  return 1;
}

// With QUENNET_RECORDING_LOG set, the engine's shut-down writes every call
// it saw to that file, one a line, for tests that run it inside the host.
ORVANTA_EXPORT int16_t edaCloseAd2(void) {
  Log("edaCloseAd2");
  S().initialised = false;
  if (const char* path = std::getenv("QUENNET_RECORDING_LOG")) {
    if (FILE* f = std::fopen(path, "wb")) {
      for (const std::string& c : S().calls) std::fprintf(f, "%s\n", c.c_str());
      std::fclose(f);
    }
  }
  return 1;
}

ORVANTA_EXPORT const char* edaGetLastError(void) {
  return S().lastError.c_str();
}
ORVANTA_EXPORT int32_t edaGetLastErrorCode(void) {
  return S().lastError.empty() ? 0 : 1;
}
ORVANTA_EXPORT int16_t edaClearError(void) {
  S().lastError.clear();
  return 1;
}

// Every other name the binding asks for: present, never serving.
#define REC_UNSERVED(name)        \
  ORVANTA_EXPORT int32_t name() { \
    return 0;                     \
  }
TAV2_OTHER_FUNCTIONS(REC_UNSERVED)
#undef REC_UNSERVED

ORVANTA_EXPORT int32_t recCallCount() {
  return static_cast<int32_t>(S().calls.size());
}
ORVANTA_EXPORT const char* recCall(int32_t i) {
  return S().calls.at(i).c_str();
}
ORVANTA_EXPORT int32_t recEntityCount() {
  return static_cast<int32_t>(S().entities.size());
}
ORVANTA_EXPORT const uint8_t* recEntityHeader(int32_t i) {
  return S().entities.at(i).header.data();
}
ORVANTA_EXPORT const uint8_t* recEntityData(int32_t i) {
  return S().entities.at(i).data.data();
}
ORVANTA_EXPORT int32_t recEntityList(int32_t i) {
  return S().entities.at(i).list;
}
ORVANTA_EXPORT int32_t recListOf(const char* blockName) {
  Drawing* d = Find(S().newest);
  if (!d) return 0;
  for (const Block& b : d->blocks)
    if (b.name == blockName) return b.list;
  return 0;
}
ORVANTA_EXPORT int32_t recLayerCount() {
  return static_cast<int32_t>(S().layerRecords.size());
}
ORVANTA_EXPORT const uint8_t* recLayer(int32_t i) {
  return S().layerRecords.at(i).data();
}
ORVANTA_EXPORT const uint8_t* recHeader() {
  Drawing* d = Find(S().newest);
  return d ? d->header.data() : S().lastHeader.data();
}
ORVANTA_EXPORT void recFailNext(const char* function, const char* reason) {
  S().failNext[function] = reason;
}
ORVANTA_EXPORT void recReset() {
  State& s = S();
  s.calls.clear();
  s.entities.clear();
  s.layerRecords.clear();
  s.failNext.clear();
  s.lastError.clear();
}
ORVANTA_EXPORT int32_t recOpenDrawings() {
  return static_cast<int32_t>(S().drawings.size());
}
ORVANTA_EXPORT int32_t recInitialised() {
  return S().initialised ? 1 : 0;
}
