#include "korvex/src/session.h"

#include <algorithm>
#include <cmath>

namespace korvex {

Session& Session::Get() {
  static Session session;
  return session;
}

void Session::Open(std::unique_ptr<Board> board) {
  Close();
  board_ = std::move(board);
  generation_ = generation_ % 7 + 1;  // 1..7, never 0, so a handle is never 0
}

void Session::Close() {
  board_.reset();
  for (Iterator& it : iterators_) it.list = nullptr;
}

Object* Session::Find(uint32_t handle) {
  if (!board_ || (handle >> 28) != generation_) return nullptr;
  const uint32_t index = (handle & 0x0FFFFFFFu);
  if (index == 0 || index > board_->objects.size()) return nullptr;
  return &board_->objects[index - 1];
}

// --- iterators ------------------------------------------------------------

uint32_t Session::CreateIterator(uint32_t owner, uint8_t kind, uint8_t method, TV7_Layer layer) {
  if (!board_) return 0;
  Iterator it;
  it.live = true;
  it.generation = generation_;
  it.kind = kind;
  it.method = method;
  it.layer = layer;
  static const std::vector<uint32_t> kNothing;
  if (IsBoard(owner)) {
    it.list = kind < kKindCount ? &board_->byKind[kind] : &kNothing;
  } else if (Object* o = Find(owner); o && o->kind == kComponent) {
    it.list = &board_->components[o->data].children;
    it.children = true;
  } else {
    return 0;
  }
  uint32_t slot;
  if (!freeIterators_.empty()) {
    slot = freeIterators_.back();
    freeIterators_.pop_back();
    iterators_[slot] = it;
  } else {
    slot = uint32_t(iterators_.size());
    iterators_.push_back(it);
  }
  return 0x80000000u | (slot + 1);
}

bool Session::Matches(const Iterator& it, uint32_t index) const {
  const Object& o = board_->objects[index];
  if (o.kind != it.kind) return false;
  // Method 1 asks for free objects: in no component and in no group.
  if (it.method == 1 && (o.owners[0] != 0 || (!it.children && o.component != 0))) return false;
  if (it.layer != 0 && o.layer != it.layer) {
    // Pads and vias lie on every layer where they have copper.
    if (it.layer > 82) return false;
    if (o.kind == kPad) return board_->pads[o.data].copper.xSize[it.layer] > 0;
    if (o.kind == kVia) return board_->vias[o.data].copper.xSize[it.layer] > 0;
    return false;
  }
  return true;
}

uint32_t Session::Advance(Iterator& it) {
  if (!it.list || it.generation != generation_ || !board_) return 0;
  const std::vector<uint32_t>& list = *it.list;
  while (it.position < list.size()) {
    const uint32_t index = it.children ? list[it.position] - 1 : list[it.position];
    ++it.position;
    if (Matches(it, index)) return HandleOf(index);
  }
  return 0;
}

uint32_t Session::First(uint32_t iterator) {
  if (!(iterator & 0x80000000u)) return 0;
  const uint32_t slot = (iterator & 0x7FFFFFFFu) - 1;
  if (slot >= iterators_.size() || !iterators_[slot].live) return 0;
  iterators_[slot].position = 0;
  return Advance(iterators_[slot]);
}

uint32_t Session::Next(uint32_t iterator) {
  if (!(iterator & 0x80000000u)) return 0;
  const uint32_t slot = (iterator & 0x7FFFFFFFu) - 1;
  if (slot >= iterators_.size() || !iterators_[slot].live) return 0;
  return Advance(iterators_[slot]);
}

bool Session::Destroy(uint32_t iterator) {
  if (!(iterator & 0x80000000u)) return false;
  const uint32_t slot = (iterator & 0x7FFFFFFFu) - 1;
  if (slot >= iterators_.size() || !iterators_[slot].live) return false;
  iterators_[slot] = Iterator{};
  freeIterators_.push_back(slot);
  return true;
}

// --- geometry -------------------------------------------------------------

namespace {

struct Box {
  double x1 = HUGE_VAL, y1 = HUGE_VAL, x2 = -HUGE_VAL, y2 = -HUGE_VAL;
  void Add(double x, double y) {
    x1 = std::min(x1, x);
    y1 = std::min(y1, y);
    x2 = std::max(x2, x);
    y2 = std::max(y2, y);
  }
  void Add(double x, double y, double r) {
    Add(x - r, y - r);
    Add(x + r, y + r);
  }
  void Add(const Rect& r) {
    Add(r.x1, r.y1);
    Add(r.x2, r.y2);
  }
  bool Empty() const { return x1 > x2; }
  Rect ToRect() const {
    // Round outwards, but not across the last bit of a sine or cosine.
    auto snap = [](double v, bool up) {
      const double r = std::nearbyint(v);
      v = std::fabs(v - r) < 1e-6 ? r : (up ? std::ceil(v) : std::floor(v));
      return int32_t(std::clamp(v, -2147483648.0, 2147483647.0));
    };
    return {snap(x1, false), snap(y1, false), snap(x2, true), snap(y2, true)};
  }
};

constexpr double kRad = 3.14159265358979323846 / 180.0;

// A w x h rectangle about (cx, cy) turned by deg.
void AddRotatedRect(Box& b, double cx, double cy, double w, double h, double deg) {
  const double c = std::cos(deg * kRad), s = std::sin(deg * kRad);
  for (int i = 0; i < 4; ++i) {
    const double dx = (i & 1 ? 0.5 : -0.5) * w, dy = (i & 2 ? 0.5 : -0.5) * h;
    b.Add(cx + dx * c - dy * s, cy + dx * s + dy * c);
  }
}

bool AngleWithin(double a, double start, double end) {
  auto norm = [](double v) {
    v = std::fmod(v, 360.0);
    return v < 0 ? v + 360.0 : v;
  };
  const double s = norm(start), e = norm(end), x = norm(a);
  if (s == e) return true;  // a full circle
  return s < e ? x >= s && x <= e : x >= s || x <= e;
}

}  // namespace

namespace {

// The objects whose box is made of other objects' boxes, in the order in
// which they are added.
void ContentsOf(const Board& board, const Object& o, std::vector<uint32_t>& out) {
  out.clear();
  if (o.kind == kComponent) {
    const Component& c = board.components[o.data];
    out = c.children;
    for (uint32_t t : {c.designator, c.comment})
      if (t && (t == c.designator ? c.designatorVisible : c.commentVisible)) out.push_back(t);
  } else if (o.kind == kPolygon || o.kind == kDimension || o.kind == kCoordinate ||
             o.kind == kSplitPlane) {
    out = board.groups[o.data].members;
  }
}

// The object's own geometry, without what it contains.
void AddOwn(const Board& board, const Object& o, Box& b) {
  switch (o.kind) {
    case kTrack: {
      const Track& t = board.tracks[o.data];
      b.Add(o.x, o.y, t.width / 2.0);
      b.Add(t.x2, t.y2, t.width / 2.0);
      break;
    }
    case kArc: {
      const Arc& a = board.arcs[o.data];
      const double w = a.width / 2.0;
      for (double deg : {a.startAngle, a.endAngle})
        b.Add(o.x + a.radius * std::cos(deg * kRad), o.y + a.radius * std::sin(deg * kRad), w);
      for (int q = 0; q < 4; ++q)
        if (AngleWithin(q * 90.0, a.startAngle, a.endAngle))
          b.Add(o.x + a.radius * std::cos(q * 90.0 * kRad),
                o.y + a.radius * std::sin(q * 90.0 * kRad), w);
      break;
    }
    case kFill: {
      const Fill& f = board.fills[o.data];
      AddRotatedRect(b, (o.x + double(f.x2)) / 2, (o.y + double(f.y2)) / 2,
                     std::fabs(double(f.x2) - o.x), std::fabs(double(f.y2) - o.y), f.rotation);
      break;
    }
    case kPad: {
      const Pad& p = board.pads[o.data];
      for (int l = 1; l < kLegacyLayers; ++l)
        if (p.copper.xSize[l] > 0 && p.copper.ySize[l] > 0)
          AddRotatedRect(b, o.x, o.y, p.copper.xSize[l], p.copper.ySize[l], p.rotation);
      if (b.Empty()) b.Add(o.x, o.y, p.hole / 2.0);
      break;
    }
    case kVia: {
      const Via& v = board.vias[o.data];
      b.Add(o.x, o.y, v.size / 2.0);
      break;
    }
    case kText: {
      // Stroke characters are about as wide as they are high; the box is
      // an estimate, as the editor's own is for a text it has not drawn.
      const Text& t = board.texts[o.data];
      const double w = 0.8 * t.height * double(t.text.size()), h = t.height;
      const double dir = t.mirrored ? -1.0 : 1.0;
      const double c = std::cos(t.rotation * kRad), s = std::sin(t.rotation * kRad);
      for (int i = 0; i < 4; ++i) {
        const double dx = dir * (i & 1 ? w : 0), dy = i & 2 ? h : 0;
        b.Add(o.x + dx * c - dy * s, o.y + dx * s + dy * c);
      }
      break;
    }
    case kRegion:
      for (const Contour& c : board.regions[o.data].contours)
        for (const Point& p : c.points) b.Add(p.x, p.y);
      break;
    case kComponent:
      break;
    case kPolygon:
    case kDimension:
    case kCoordinate:
    case kSplitPlane:
      for (const Point& p : board.groups[o.data].outline) b.Add(p.x, p.y);
      break;
    case kComponentBody:
      for (const Point& p : board.bodies[o.data].outline) b.Add(p.x, p.y);
      if (b.Empty()) b.Add(o.x, o.y);
      break;
    case kEmbeddedBoard: {
      const EmbeddedBoard& e = board.embedded[o.data];
      b.Add(o.x, o.y);
      b.Add(o.x + double(e.columns - 1) * e.columnSpacing, o.y + double(e.rows - 1) * e.rowSpacing);
      break;
    }
    default:
      b.Add(o.x, o.y);
      break;
  }
}

bool IsContainer(const Object& o) {
  return o.kind == kComponent || o.kind == kPolygon || o.kind == kDimension ||
         o.kind == kCoordinate || o.kind == kSplitPlane;
}

}  // namespace

// Groups hold groups: the walk keeps its own stack, so the depth of the
// nesting never reaches the call stack. A container with nothing inside it
// stands for its reference point.
Rect BoundingRect(const Board& board, const Object& o) {
  struct Frame {
    const Object* object;
    std::vector<uint32_t> contents;
    size_t next = 0;
    Box box;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{&o, {}, 0, {}});
  AddOwn(board, o, stack.back().box);
  ContentsOf(board, o, stack.back().contents);
  for (;;) {
    Frame& top = stack.back();
    if (top.next < top.contents.size()) {
      const Object& child = board.objects[top.contents[top.next++] - 1];
      Frame frame{&child, {}, 0, {}};
      AddOwn(board, child, frame.box);
      if (IsContainer(child)) ContentsOf(board, child, frame.contents);
      stack.push_back(std::move(frame));
      continue;
    }
    if (IsContainer(*top.object) && top.box.Empty()) top.box.Add(top.object->x, top.object->y);
    if (stack.size() == 1) return top.box.ToRect();
    const Box done = top.box;
    stack.pop_back();
    stack.back().box.Add(done.ToRect());
  }
}

uint32_t DominantPlaneRule(const Board& board, const Object& o) {
  const bool pad = o.kind == kPad;
  if (!pad && o.kind != kVia) return 0;
  const uint32_t own = pad ? board.pads[o.data].rule : board.vias[o.data].rule;
  if (own) return own;
  for (uint32_t index : board.byKind[kRule]) {
    const PlaneRule& r = board.rules[board.objects[index].data];
    if (r.scope == 0 || (pad && r.scope == 1) || (!pad && r.scope == 2)) return index + 1;
  }
  return 0;
}

}  // namespace korvex
