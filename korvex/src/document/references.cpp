// Board documents: what is settled once every object is known. References by
// id may point forwards, so owners and rules are resolved after the walk, and
// the copper where pads and vias meet internal planes waits for the stack,
// the planes' nets and the rules.
#include "korvex/src/document/reader.h"
#include "korvex/src/session.h"

namespace korvex::document {

void Reader::Resolve() {
  for (Reference& r : refs_) {
    auto it = ids_.find(r.id);
    if (it == ids_.end()) Fail(r.at, "dangling reference: no object has the id \"" + r.id + "\"");
    const Object& target = board_->objects[it->second - 1];
    Object& obj = board_->objects[r.object - 1];
    if (r.kind == Reference::kRule) {
      if (target.kind != kRule) Fail(r.at, "field 'rule': \"" + r.id + "\" is not a rule");
      if (obj.kind == kPad)
        board_->pads[obj.data].rule = it->second;
      else
        board_->vias[obj.data].rule = it->second;
      continue;
    }
    if (target.kind != kPolygon && target.kind != kDimension && target.kind != kCoordinate &&
        target.kind != kSplitPlane)
      Fail(r.at, "field 'owner': \"" + r.id +
                     "\" is not a polygon, dimension, coordinate or split plane");
    if (obj.owners[0]) Fail(r.at, "field 'owner': the object already belongs to a group");
    if (it->second == r.object) Fail(r.at, "field 'owner': an object cannot own itself");
    obj.owners[0] = it->second;
    ownerAt_.resize(board_->objects.size(), nullptr);
    ownerAt_[r.object - 1] = r.at;
    if (obj.kind == kRegion) obj.bitField2 |= kBitField2Grouped;
    board_->groups[target.data].members.push_back(r.object);
  }
  ChainOwners();
}

// Owner references may point forwards, backwards and into each other, so
// the chains are checked only once all are known: each object is climbed
// from at most once (its depth is kept), which keeps the work linear in the
// number of objects however long the chains; a cycle or a chain deeper than
// the documented nesting is a fault of the document. The enclosing owners
// are filled in from the outermost down, so they do not depend on the order
// in which the references were written.
void Reader::ChainOwners() {
  std::vector<Object>& objects = board_->objects;
  ownerAt_.resize(objects.size(), nullptr);
  constexpr int kUnknown = -1, kOnPath = -2;
  std::vector<int> depth(objects.size(), kUnknown);
  std::vector<uint32_t> path;
  for (uint32_t start = 1; start <= objects.size(); ++start) {
    if (depth[start - 1] != kUnknown) continue;
    path.clear();
    uint32_t o = start;
    while (o && depth[o - 1] == kUnknown) {
      depth[o - 1] = kOnPath;
      path.push_back(o);
      o = objects[o - 1].owners[0];
    }
    if (o && depth[o - 1] == kOnPath) {
      // The walk came back to itself: name a written reference of the loop.
      const char* at = nullptr;
      for (auto p = path.rbegin(); p != path.rend() && !at; ++p) {
        at = ownerAt_[*p - 1];
        if (*p == o) break;
      }
      Fail(at, "field 'owner': the owners form a cycle");
    }
    int level = o ? depth[o - 1] : 0;
    for (auto p = path.rbegin(); p != path.rend(); ++p) {
      Object& obj = objects[*p - 1];
      if (++level > kMaxNesting) {
        const char* at = ownerAt_[*p - 1] ? ownerAt_[*p - 1] : objectAt_[*p - 1];
        Fail(at, "objects nested deeper than " + std::to_string(kMaxNesting) +
                     " levels (counting their owners)");
      }
      depth[*p - 1] = level;
      if (const uint32_t up = obj.owners[0]) {
        obj.owners[1] = objects[up - 1].owners[0];
        obj.owners[2] = objects[up - 1].owners[1];
      }
    }
  }
}

bool Reader::InStack(TLayer l) const {
  for (TLayer s = 1; s; s = board_->layers[s].next)
    if (s == l) return true;
  return false;
}

// Where a pad or via meets an internal plane of its own net it joins it by
// the rule's style; a relief is what the plane shows there.
void Reader::ConnectPlanes() {
  for (auto& [self, net] : pendingPlanePads_) {
    Pad& pad = board_->pads[board_->objects[self - 1].data];
    uint32_t rule = DominantPlaneRule(*board_, board_->objects[self - 1]);
    for (TLayer l = 39; l <= 54; ++l) {
      bool explicitLayer = false;
      for (auto& [o, el] : explicitPlanes_)
        if (o == self && el == l) explicitLayer = true;
      if (explicitLayer || !InStack(l) || net.empty() || board_->layers[l].net != net) continue;
      if (rule && board_->rules[board_->objects[rule - 1].data].style == kStyleRelief) {
        pad.copper.xSize[l] = pad.midX;
        pad.copper.ySize[l] = pad.midY;
        pad.copper.shape[l] = psPlaneRelief;
      }
    }
  }
  for (auto& pv : pendingVias_) {
    Via& via = board_->vias[board_->objects[pv.self - 1].data];
    uint32_t rule = DominantPlaneRule(*board_, board_->objects[pv.self - 1]);
    int lo = std::min(StackIndex(TLayer(via.fromLayer)), StackIndex(TLayer(via.toLayer)));
    int hi = std::max(StackIndex(TLayer(via.fromLayer)), StackIndex(TLayer(via.toLayer)));
    if (lo < 0) Fail(pv.at, "a via spans a layer that is not in the layer stack");
    int i = 0;
    for (TLayer s = 1; s; s = board_->layers[s].next, ++i) {
      if (i < lo || i > hi) continue;
      if (s <= 32) {
        via.copper.xSize[s] = via.copper.ySize[s] = via.size;
        via.copper.shape[s] = psRound;
      } else if (!pv.net.empty() && board_->layers[s].net == pv.net && rule &&
                 board_->rules[board_->objects[rule - 1].data].style == kStyleRelief) {
        via.copper.xSize[s] = via.copper.ySize[s] = via.size;
        via.copper.shape[s] = psPlaneRelief;
      }
    }
    via.copper.xSize[74] = via.copper.ySize[74] = via.size;
    via.copper.shape[74] = psRound;
    for (const LayerSpec& s : pv.layers) {
      if (s.x >= 0) {
        via.copper.xSize[s.layer] = s.x;
        via.copper.ySize[s.layer] = s.y;
      }
      if (s.shape >= 0) via.copper.shape[s.layer] = uint8_t(s.shape);
    }
  }
}

int Reader::StackIndex(TLayer l) const {
  int i = 0;
  for (TLayer s = 1; s; s = board_->layers[s].next, ++i)
    if (s == l) return i;
  return -1;
}

}  // namespace korvex::document
