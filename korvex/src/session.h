// The editor's open board and the handles it hands out for it.
//
// Object handles are the object's index + 1 with the board's generation in
// bits 28..30, so a handle kept from a board that has since been closed or
// replaced never reaches an object of another board. The board itself has
// index 0 of its generation; iterators live in their own space (bit 31).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "korvex/src/board.h"

namespace korvex {

struct Rect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

class Session {
 public:
  static Session& Get();

  void Open(std::unique_ptr<Board> board);
  void Close();
  Board* board() { return board_.get(); }

  uint32_t BoardHandle() const { return board_ ? generation_ << 28 : 0; }
  bool IsBoard(uint32_t handle) const { return board_ && handle == BoardHandle(); }
  uint32_t HandleOf(uint32_t index) const { return (generation_ << 28) | (index + 1); }
  // The object of a handle, or nullptr for anything else.
  Object* Find(uint32_t handle);
  uint32_t IndexOf(const Object* o) const { return uint32_t(o - board_->objects.data()); }
  // Handle of an "index + 1" reference kept inside the board (0 stays 0).
  uint32_t HandleOfRef(uint32_t ref) const { return ref ? HandleOf(ref - 1) : 0; }

  uint32_t CreateIterator(uint32_t owner, uint8_t kind, uint8_t method, TV7_Layer layer);
  uint32_t First(uint32_t iterator);
  uint32_t Next(uint32_t iterator);
  bool Destroy(uint32_t iterator);

 private:
  struct Iterator {
    bool live = false;
    uint32_t generation = 0;
    const std::vector<uint32_t>* list = nullptr;  // indices, or index + 1 when children
    bool children = false;
    uint8_t kind = 0, method = 0;
    TV7_Layer layer = 0;
    size_t position = 0;
  };
  uint32_t Advance(Iterator& it);
  bool Matches(const Iterator& it, uint32_t index) const;

  std::unique_ptr<Board> board_;
  uint32_t generation_ = 0;
  std::vector<Iterator> iterators_;
  std::vector<uint32_t> freeIterators_;
};

// Geometry the editor reports.
Rect BoundingRect(const Board& board, const Object& o);

// Special strings of a text object (".Designator", ".Layer_Name" ...): true
// with the text to show, false when text is not a special string the editor
// knows (it then stays as it is).
bool ResolveSpecialString(const Board& board, const Object* textObject, std::string_view text,
                          std::string& out);

// The dominant power-plane connect rule of a pad or via (index + 1), or 0.
uint32_t DominantPlaneRule(const Board& board, const Object& o);

}  // namespace korvex
