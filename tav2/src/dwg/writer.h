// The DWG writer's parts, shared by the files that implement them: object
// framing, file sections and the object map (file.cpp), header variables and
// classes (header.cpp), table controls, entries and dictionaries
// (tables.cpp), blocks and entities (entities.cpp), and the description walk
// with the preparation of handles (dwg_writer.cpp).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tav2/src/drawing.h"
#include "tav2/src/dwg/bit_writer.h"
#include "tav2/src/schema.h"
#include "tav2/src/values.h"

namespace tav2::dwg {

// Where the file's bytes go, in order. The file header, written first, is
// rewritten once the sections it locates are written.
class Output {
 public:
  virtual ~Output() = default;
  virtual void Write(const std::uint8_t* p, std::size_t n) = 0;
  virtual std::uint64_t Offset() const = 0;
  virtual void Rewrite(std::uint64_t at, const std::uint8_t* p, std::size_t n) = 0;
  virtual bool Finish(std::string& error) = 0;
};

// Entity placement: in one of the two spaces, or owned by the given handle.
enum EntMode : unsigned { kOwned = 0, kPaperSpace = 1, kModelSpace = 2 };

struct BlockInfo {
  Handle handle, begin, end;
  std::uint8_t flags;
  Vec3 base;
  std::uint32_t beginLayer, endLayer;
  const std::vector<EntityRef>* entities;
};

struct TableHandles {
  Handle blockControl, layerControl, styleControl, linetypeControl, viewControl, ucsControl,
      vportControl, appidControl, dimstyleControl, vxControl;
  Handle activeVport, rootDictionary, groupDictionary, mlinestyleDictionary, standardMlinestyle,
      variableDictionary;
  Handle linetypeByBlock, linetypeByLayer;
};

// Where each object starts, by handle, in about two bytes an object. The
// engine issues handles one after another; the writer writes the table
// entries, then model space, then the block definitions, each in handle
// order. So handles come in groups of 64 that keep up to three base offsets
// (the first object written of the group, and each first one far from the
// bases before); each object keeps which base it is near and its distance
// from it in 14 bits. An object far from all three is kept aside with its
// offset, as are all objects of a drawing whose handles lie far apart.
class ObjectMap {
 public:
  // For handles below `seed`, about `objects` of them.
  void Prepare(Handle seed, std::size_t objects);
  // Objects are added in the order they are written, at growing offsets.
  // False when an object with that handle is there already.
  bool Add(Handle h, std::uint32_t offset);
  std::size_t Size() const { return count_; }
  // Calls f(handle, offset) in ascending handle order.
  template <class F>
  void ForEach(F f) {
    SortAside();
    if (!grouped_) {
      for (const Pair& p : aside_) f(p.handle, p.offset);
      return;
    }
    std::size_t a = 0;
    for (std::size_t h = 0; h < delta_.size(); ++h) {
      const std::uint16_t d = delta_[h];
      if (d == 0) continue;
      const std::uint32_t offset =
          d == kAside
              ? aside_[a++].offset
              : bases_[(h >> kGroupBits) * kBases + (d >> kDistanceBits)] + (d & kDistanceMask) - 1;
      f(static_cast<Handle>(h), offset);
    }
  }
  // A handle given to two objects; 0 when none.
  Handle Duplicate();

 private:
  struct Pair {
    Handle handle;
    std::uint32_t offset;
  };
  static constexpr int kGroupBits = 6;
  static constexpr int kBases = 3;
  static constexpr int kDistanceBits = 14;
  static constexpr std::uint16_t kDistanceMask = (1u << kDistanceBits) - 1;
  static constexpr std::uint16_t kAside = 0xFFFF;  // base 3, which no group has
  void SortAside();

  bool grouped_ = true;
  std::vector<std::uint32_t> bases_;  // kBases per group; 0 = none yet (no object starts at 0)
  std::vector<std::uint16_t> delta_;  // per handle: base, distance from it + 1; 0 = none
  std::vector<Pair> aside_;
  bool sorted_ = true;
  std::size_t count_ = 0;
  Handle duplicate_ = 0;
};

// Section locator records: header variables, classes, object map, free-space
// record, template (the measurement).
constexpr int kSectionCount = 5;

class Writer {
 public:
  Writer(const Drawing& d, int release, Output& out);
  bool Run(std::string& error);

 private:
  // --- preparation and handles (dwg_writer.cpp)
  bool Prepare();
  Handle Fresh() { return seed_++; }
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }
  Handle RefHandle(std::string_view ref) const;
  std::uint32_t StyleNamed(std::string_view headerVar) const;
  std::string_view LayerName(std::uint32_t i) const;
  std::string_view LinetypeName(std::uint32_t i) const;
  std::string_view StyleName(std::uint32_t i) const;

  // --- the description walk (dwg_writer.cpp)
  void Fields(schema::Kind kind, const Record& r, bool array = false);
  Handle FieldHandle(const schema::DwgFieldSpec& f, const Record& r) const;

  // --- object framing and file sections (file.cpp)
  void BeginObject(std::uint16_t type, Handle handle);
  void BeginNonEntity(std::uint16_t type, Handle handle, Handle owner, bool reactor);
  void BeginTableEntry(std::uint16_t type, Handle handle, Handle control, std::string_view name);
  void BeginEntity(std::uint16_t type, Handle handle, EntMode mode, Handle owner,
                   std::uint32_t layer, std::uint32_t linetype, std::int16_t color, Handle prev,
                   Handle next);
  void EndObject();
  void Put(const std::uint8_t* p, std::size_t n) { out_.Write(p, n); }
  std::uint32_t Offset();
  void WriteSection(int index, const std::uint8_t (&begin)[16], const std::uint8_t (&end)[16]);
  void WriteFileHeader();
  void WriteTemplate();
  bool WriteObjectMap();
  void WriteFreeSpace();
  void WriteSecondHeader();
  void PatchFileHeader();

  // --- header variables and classes (header.cpp)
  void WriteHeaderVariables();
  void WriteClasses();

  // --- tables and dictionaries (tables.cpp)
  void WriteControls();
  void WriteTableEntries();
  void WriteDictionaries();

  // --- blocks and entities (entities.cpp)
  bool WriteBlock(std::size_t b);
  bool WriteEntity(const EntityRef& ref, EntMode mode, Handle owner, Handle prev, Handle next);
  bool WritePolyline(const Polyline& p, EntMode mode, Handle owner, Handle prev, Handle next);
  Handle EntityHandle(const EntityRef& ref) const;
  bool CheckCommon(const EntityCommon& c, const char* what);
  bool CheckText(std::string_view s, const char* what, Handle h);

  const Drawing& d_;
  const int rel_;
  Output& out_;
  const Values values_;
  std::string error_;

  // The fields each record kind has in this release, worked out once per
  // save: per component of a point (the first alone for a single value) its
  // field and group code, where a plain number sits in the record, and
  // whether it turns from degrees into radians.
  struct CompiledField {
    struct Component {
      schema::Field field;
      int code;
      DirectNumber direct;
      bool toRadians;
    };
    const schema::DwgFieldSpec* row;
    Component part[3];
  };
  std::array<std::vector<CompiledField>, static_cast<size_t>(schema::Kind::Count)> fields_;

  Handle seed_ = 1;
  TableHandles th_{};
  std::vector<Layer> layers_;
  std::vector<Linetype> linetypes_;
  std::vector<TextStyle> styles_;
  std::vector<Appid> appids_;
  std::vector<Dimstyle> dimstyles_;
  std::vector<BlockInfo> blocks_;
  Handle spareSeqend_ = 0;        // the next of the handles kept for SEQENDs the drawing lacks
  std::uint32_t continuous_ = 0;  // the CONTINUOUS line type's row

  BitWriter data_, handles_;
  std::size_t bitsizePos_ = 0;
  std::vector<std::uint8_t> bytes_;  // one framed object or section, before it is written
  ObjectMap map_;
  std::uint32_t objectsStart_ = 0;
  std::vector<std::uint8_t> fileHeader_;

  struct Section {
    std::uint32_t address = 0, size = 0;
  } sections_[kSectionCount];
};

}  // namespace tav2::dwg
