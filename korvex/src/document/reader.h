// The board document reader: walks the document once, straight into the
// board's tables. Its parts live beside this header: the JSON cursor
// (cursor.h), the board, its layer stack and its rules (board_section.cpp),
// the objects read by one routine from the table of kinds (objects.cpp,
// object_kinds.cpp), and what is settled once every object is known: owners,
// rule references and plane connections (references.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "korvex/src/board.h"
#include "korvex/src/document/cursor.h"
#include "korvex/src/document/fields.h"

namespace korvex::document {

// One level of a pad's copper: "size" and "shape", or "top", "mid", "bottom".
struct LevelSpec {
  bool given = false;
  int32_t x = 0, y = 0;
  uint8_t shape = psRound;
  bool haveShape = false, haveSize = false;
};

// An entry of a pad's or via's per-layer copper ("layers").
struct LayerSpec {
  TLayer layer = 0;
  int32_t x = -1, y = -1;
  int shape = -1;
  int crPercent = -1;
  const char* at = nullptr;
};

// What the reader holds for an object until all its fields are read.
struct Pending {
  uint32_t self = 0;       // the object: index + 1
  uint32_t component = 0;  // its component: index + 1
  const char* at = nullptr;
  uint64_t given = 0;  // the fields of the kind's table the document gave, by index
  bool haveLayer = false;
  // Pads and vias.
  std::string net;
  std::string rule;
  const char* ruleAt = nullptr;
  std::vector<LayerSpec> layers;
  // Pads.
  LevelSpec simple, top, mid, bottom;
  int32_t maskExpansion = 40000, pasteExpansion = 0;
  int32_t crPercent = 50;
  int stackMode = -1;
  const char* stackAt = nullptr;
  // Regions: the holes, which follow the outline whatever the field order.
  std::vector<Contour> holes;
  // Components: which fields of the designator and comment were given.
  uint64_t designatorGiven = 0, commentGiven = 0;
  // A component's designator or comment.
  bool visible = true;
};

class Reader : public Cursor {
 public:
  using Cursor::Cursor;

  std::unique_ptr<Board> Run();

  // --- the board, its layer stack and its rules (board_section.cpp) ----------
  void ReadBoard(sj::value& v);
  void ReadStack(sj::value& v, const char* at);
  void ReadLayer(sj::value& v);
  void ReadRules(sj::value& v);
  void AddDefaultRule();

  // --- objects (objects.cpp) -------------------------------------------------
  uint32_t NewObject(Kind kind, uint32_t data);
  void DefineId(const std::string& id, uint32_t object, const char* at);
  // The objects of a list named `field`. component: owning component
  // (index + 1); owner: innermost group (index + 1).
  void ReadObjects(sj::value& v, std::string_view field, uint32_t component, uint32_t owner);
  void ReadObject(sj::value& v, uint32_t component, uint32_t owner);
  // Where the fields of a table go: the object, its record in the kind's
  // table and what is pending for it. Looked up afresh for each field, since
  // nested objects grow the tables.
  struct Target {
    uint32_t self;
    void* (*record)(Board&, uint32_t);
    uint32_t data;
    Pending* pending;
  };
  // Reads the fields of o by the table `own`, then by `common`, and notes in
  // the pending `given` which of `own` the document gave. An unknown field's
  // error names where it stood as article + what ("a track").
  void ReadFields(sj::object& o, std::span<const Field> own, std::span<const Field> common,
                  const Target& target, std::string_view article, std::string_view what);
  void ReadField(const Field& f, sj::value& v, std::string_view key, const char* at,
                 const Target& target);
  Object& Obj(const Pending& p) { return board_->objects[p.self - 1]; }

  // --- hooks: what the table of kinds cannot say (object_kinds.cpp) ----------
  void Id(sj::value& v, std::string_view key, const char* at, Pending& p);
  void ObjectLayer(sj::value& v, std::string_view key, const char* at, Pending& p);
  void Selected(sj::value& v, std::string_view key, const char* at, Pending& p);
  void Owner(sj::value& v, std::string_view key, const char* at, Pending& p);
  void Rule(sj::value& v, std::string_view key, const char* at, Pending& p);
  void CopperLayers(sj::value& v, std::string_view key, const char* at, Pending& p);
  void PadSize(sj::value& v, std::string_view key, const char* at, Pending& p);
  void PadShape(sj::value& v, std::string_view key, const char* at, Pending& p);
  void PadLevel(sj::value& v, std::string_view key, const char* at, Pending& p);
  void PadStackMode(sj::value& v, std::string_view key, const char* at, Pending& p);
  void RegionOutline(sj::value& v, std::string_view key, const char* at, Pending& p);
  void RegionHoles(sj::value& v, std::string_view key, const char* at, Pending& p);
  void ComponentText(sj::value& v, std::string_view key, const char* at, Pending& p);
  void ComponentPrimitives(sj::value& v, std::string_view key, const char* at, Pending& p);
  void SourceLinks(sj::value& v, std::string_view key, const char* at, Pending& p);
  void GroupPrimitives(sj::value& v, std::string_view key, const char* at, Pending& p);
  void FinishPad(Pending& p);
  void FinishVia(Pending& p);
  void FinishRegion(Pending& p);
  void FinishComponent(Pending& p);
  uint32_t MakeComponentText(uint32_t comp, bool designator);
  void PlaceComponentText(uint32_t comp, uint32_t t, uint64_t given);

  // --- after the walk (references.cpp) ---------------------------------------
  void Resolve();
  void ChainOwners();
  void ConnectPlanes();
  bool InStack(TLayer l) const;
  int StackIndex(TLayer l) const;

  static bool IsElectrical(TV7_Layer l) { return (l >= 1 && l <= 32) || (l >= 39 && l <= 54); }

  // Groups hold groups; a depth no real board reaches keeps the reader's
  // stack bounded whatever a document nests.
  static constexpr int kMaxNesting = 32;

  struct Reference {
    std::string id;
    const char* at;
    uint32_t object;  // index + 1 of the object that refers, 0 for none
    enum Kind { kOwner, kRule } kind;
  };
  struct PendingVia {
    uint32_t self;
    std::string net;
    std::vector<LayerSpec> layers;
    const char* at;
  };

  int depth_ = 0;
  // Where each object and each written owner reference stands, for the
  // faults found only after the walk (object index).
  std::vector<const char*> objectAt_;
  std::vector<const char*> ownerAt_;
  std::unique_ptr<Board> board_;
  std::unordered_map<std::string, uint32_t> ids_;
  std::vector<Reference> refs_;
  std::vector<std::pair<uint32_t, std::string>> pendingPlanePads_;
  std::vector<std::pair<uint32_t, TLayer>> explicitPlanes_;
  std::vector<PendingVia> pendingVias_;
};

}  // namespace korvex::document
