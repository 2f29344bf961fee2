// Object framing, the file's sections and the object map.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "tav2/src/dwg/writer.h"

namespace tav2::dwg {

namespace {

// Section sentinels.
constexpr std::uint8_t kFileHeaderEnd[16] = {0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                             0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
constexpr std::uint8_t kSecondHeaderBegin[16] = {0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                                 0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};
constexpr std::uint8_t kSecondHeaderEnd[16] = {0x2B, 0x84, 0xDE, 0x31, 0xD7, 0x6C, 0x60, 0x40,
                                               0xAC, 0xDB, 0xBF, 0xF6, 0xED, 0xC3, 0x55, 0xFE};

constexpr std::uint16_t kSeed = 0xC0C1;
constexpr std::uint16_t kCodepageAnsi1252 = 30;
constexpr std::uint16_t kLocatorCrcMask = 0x3CC4;  // for five records
constexpr std::size_t kFileHeaderSize = 0x19 + 9 * kSectionCount + 2 + 16;
// Object map pages hold at most this many bytes, size field included.
constexpr std::size_t kMapPageLimit = 2032;

std::string Hex(Handle h) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
  return buf;
}

}  // namespace

// The format addresses its sections and objects with 32 bits.
std::uint32_t Writer::Offset() {
  const std::uint64_t at = out_.Offset();
  if (at > std::numeric_limits<std::uint32_t>::max()) {
    Fail("the drawing is larger than a DWG file can address (4 GB)");
    return 0;
  }
  return static_cast<std::uint32_t>(at);
}

// ---------------------------------------------------------------------------
// The object map in memory

void ObjectMap::Prepare(Handle seed, std::size_t objects) {
  grouped_ = seed <= 2 * objects + 65536;
  if (grouped_) {
    delta_.assign(static_cast<std::size_t>(seed), 0);
    bases_.assign(((static_cast<std::size_t>(seed) >> kGroupBits) + 1) * kBases, 0);
  }
}

bool ObjectMap::Add(Handle h, std::uint32_t offset) {
  ++count_;
  if (!grouped_) {
    sorted_ = sorted_ && (aside_.empty() || aside_.back().handle < h);
    aside_.push_back(Pair{h, offset});
    return true;
  }
  if (h >= delta_.size()) {
    delta_.resize(static_cast<std::size_t>(h) + 1, 0);
    bases_.resize(((static_cast<std::size_t>(h) >> kGroupBits) + 1) * kBases, 0);
  }
  if (delta_[h]) {
    duplicate_ = duplicate_ ? duplicate_ : h;
    return false;
  }
  // Objects come at growing offsets, so no base lies above a later object.
  std::uint32_t* base = bases_.data() + (h >> kGroupBits) * kBases;
  for (int b = 0; b < kBases; ++b) {
    if (base[b] == 0) base[b] = offset;
    const std::uint32_t distance = offset - base[b] + 1;
    if (distance <= kDistanceMask) {
      delta_[h] = static_cast<std::uint16_t>((b << kDistanceBits) | distance);
      return true;
    }
  }
  delta_[h] = kAside;
  sorted_ = sorted_ && (aside_.empty() || aside_.back().handle < h);
  aside_.push_back(Pair{h, offset});
  return true;
}

void ObjectMap::SortAside() {
  if (sorted_) return;
  std::sort(aside_.begin(), aside_.end(),
            [](const Pair& a, const Pair& b) { return a.handle < b.handle; });
  sorted_ = true;
}

Handle ObjectMap::Duplicate() {
  if (grouped_ || duplicate_) return duplicate_;
  SortAside();
  for (std::size_t k = 1; k < aside_.size(); ++k)
    if (aside_[k].handle == aside_[k - 1].handle) return aside_[k].handle;
  return 0;
}

// ---------------------------------------------------------------------------
// Object framing

void Writer::BeginObject(std::uint16_t type, Handle handle) {
  data_.Clear();
  handles_.Clear();
  data_.BS(type);
  data_.H(0, handle);
  data_.BS(0);  // no extended data
  if (!map_.Add(handle, Offset())) Fail("two objects have the handle " + Hex(handle));
}

// Non-entity objects: the size of the data in bits comes before the reactor
// count; the owner, the reactors and the extension dictionary open the
// handles. An object that names its owner among its reactors lets a reader
// that walks reactors find it too, as AutoCAD's dictionaries do.
void Writer::BeginNonEntity(std::uint16_t type, Handle handle, Handle owner, bool reactor) {
  BeginObject(type, handle);
  bitsizePos_ = data_.BitSize();
  data_.RL(0);
  data_.BL(reactor ? 1 : 0);
  handles_.H(kSoftPointer, owner);
  if (reactor) handles_.H(kSoftPointer, owner);
  handles_.H(kHardOwner, 0);  // extension dictionary
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

// An entity of model or paper space names no owner: its mode says where it
// belongs. Others name the object that owns them.
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
  handles_.H(kHardPointer, layers_[layer].handle);
  if (!byLayer) handles_.H(kHardPointer, linetypes_[linetype].handle);
  if (!implicitLinks) {
    handles_.H(kSoftPointer, prev);
    handles_.H(kSoftPointer, next);
  }
}

// The data's size in bits marks where the handles begin; the object is then
// padded to a byte, framed by its size and followed by its CRC, and goes to
// the file at once.
void Writer::EndObject() {
  data_.PatchRL(bitsizePos_, static_cast<std::uint32_t>(data_.BitSize()));
  data_.Append(handles_);
  const std::size_t size = data_.ByteSize();
  bytes_.clear();
  PutMS(bytes_, static_cast<std::uint32_t>(size));
  PutBytes(bytes_, data_.Data(), size);
  PutRS(bytes_, Crc16(bytes_.data(), bytes_.size(), kSeed));
  Put(bytes_.data(), bytes_.size());
}

// ---------------------------------------------------------------------------
// Sections

// Sentinel, size, the data held in data_, CRC over size and data, sentinel.
void Writer::WriteSection(int index, const std::uint8_t (&begin)[16],
                          const std::uint8_t (&end)[16]) {
  const std::uint32_t start = Offset();
  Put(begin, 16);
  bytes_.clear();
  PutRL(bytes_, static_cast<std::uint32_t>(data_.ByteSize()));
  PutBytes(bytes_, data_.Data(), data_.ByteSize());
  PutRS(bytes_, Crc16(bytes_.data(), bytes_.size(), kSeed));
  Put(bytes_.data(), bytes_.size());
  Put(end, 16);
  sections_[index] = {start, static_cast<std::uint32_t>(16 + bytes_.size() + 16)};
}

// The release marker and room for the section locators, which are known only
// at the end.
void Writer::WriteFileHeader() {
  fileHeader_.assign(kFileHeaderSize, 0);
  std::memcpy(fileHeader_.data(), schema::Info(rel_).marker, 6);
  fileHeader_[0x0C] = 1;
  // Image seeker (0x0D) stays 0: no preview image.
  fileHeader_[0x13] = static_cast<std::uint8_t>(kCodepageAnsi1252);
  fileHeader_[0x14] = 0;
  PatchRL(fileHeader_, 0x15, kSectionCount);
  Put(fileHeader_.data(), fileHeader_.size());
}

void Writer::PatchFileHeader() {
  std::size_t at = 0x19;
  for (int s = 0; s < kSectionCount; ++s) {
    fileHeader_[at] = static_cast<std::uint8_t>(s);
    PatchRL(fileHeader_, at + 1, sections_[s].address);
    PatchRL(fileHeader_, at + 5, sections_[s].size);
    at += 9;
  }
  const std::uint16_t crc = Crc16(fileHeader_.data(), at, 0) ^ kLocatorCrcMask;
  fileHeader_[at] = static_cast<std::uint8_t>(crc);
  fileHeader_[at + 1] = static_cast<std::uint8_t>(crc >> 8);
  std::memcpy(fileHeader_.data() + at + 2, kFileHeaderEnd, 16);
  out_.Rewrite(0, fileHeader_.data(), fileHeader_.size());
}

// An empty description and the drawing's measurement (0 English, 1 metric).
void Writer::WriteTemplate() {
  const std::uint32_t start = Offset();
  bytes_.clear();
  PutRS(bytes_, 0);
  PutRS(bytes_, static_cast<std::uint16_t>(d_.header.measurement != 0 ? 1 : 0));
  Put(bytes_.data(), bytes_.size());
  sections_[4] = {start, 4};
}

// Handle and offset pairs, each page's first pair relative to zero, the
// others to their predecessor, in pages of bounded size with a big-endian
// size and CRC; an empty page ends the map.
bool Writer::WriteObjectMap() {
  // Two objects with one handle make a damaged drawing that readers resolve
  // differently; refuse it.
  if (const Handle h = map_.Duplicate()) return Fail("two objects have the handle " + Hex(h));
  if (!error_.empty()) return false;

  const std::uint32_t start = Offset();
  std::uint64_t written = 0;
  Handle lastHandle = 0;
  std::int64_t lastOffset = 0;
  auto endPage = [&] {
    const std::size_t size = bytes_.size();
    bytes_[0] = static_cast<std::uint8_t>(size >> 8);
    bytes_[1] = static_cast<std::uint8_t>(size);
    const std::uint16_t crc = Crc16(bytes_.data(), size, kSeed);
    bytes_.push_back(static_cast<std::uint8_t>(crc >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(crc));
    Put(bytes_.data(), bytes_.size());
    written += bytes_.size();
    bytes_.assign(2, 0);
    lastHandle = 0;
    lastOffset = 0;
  };
  bytes_.assign(2, 0);
  map_.ForEach([&](Handle h, std::uint32_t offset) {
    // A pair takes at most 10 + 6 bytes; encode it in place and move it to
    // a new page when it does not fit.
    for (;;) {
      const std::size_t before = bytes_.size();
      PutUMC(bytes_, h - lastHandle);
      PutMC(bytes_, static_cast<std::int64_t>(offset) - lastOffset);
      if (bytes_.size() <= kMapPageLimit) break;
      bytes_.resize(before);
      endPage();
    }
    lastHandle = h;
    lastOffset = offset;
  });
  if (bytes_.size() > 2) endPage();
  endPage();  // the empty page that ends the map
  sections_[2] = {start, static_cast<std::uint32_t>(written)};
  return true;
}

void Writer::WriteFreeSpace() {
  const std::uint32_t start = Offset();
  bytes_.clear();
  PutRL(bytes_, 0);
  PutRL(bytes_, static_cast<std::uint32_t>(map_.Size()));
  const double days = std::floor(values_.created);
  PutRL(bytes_, static_cast<std::uint32_t>(days));
  PutRL(bytes_, static_cast<std::uint32_t>(std::lround((values_.created - days) * 86400000.0)));
  PutRL(bytes_, objectsStart_);
  bytes_.push_back(4);
  for (std::uint32_t v : {0x32u, 0x64u, 0x200u, 0xFFFFFFFFu}) {
    PutRL(bytes_, v);
    PutRL(bytes_, 0);
  }
  Put(bytes_.data(), bytes_.size());
  sections_[3] = {start, static_cast<std::uint32_t>(bytes_.size())};
}

// A copy of the file header's locators and of the structural handles, for
// recovery.
void Writer::WriteSecondHeader() {
  const std::uint32_t start = Offset();
  BitWriter& w = data_;
  w.Clear();
  w.RL(0);  // size, patched below
  w.BL(start);
  for (int i = 0; i < 11; ++i) w.RC(i < 6 ? fileHeader_[i] : 0);
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
  const bool r14 = rel_ >= schema::kR14;
  const std::size_t body = w.ByteSize();
  const std::size_t total = body + 2 + (r14 ? 8 : 0);
  Put(kSecondHeaderBegin, 16);
  bytes_.assign(w.Data(), w.Data() + body);
  PatchRL(bytes_, 0, static_cast<std::uint32_t>(total));
  PutRS(bytes_, Crc16(bytes_.data(), body, kSeed));
  if (r14) bytes_.resize(bytes_.size() + 8, 0);
  Put(bytes_.data(), bytes_.size());
  Put(kSecondHeaderEnd, 16);
}

}  // namespace tav2::dwg
