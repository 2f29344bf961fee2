// An in-process board for the driver tests: objects by kind with their
// group memberships, served through the editor's function table, and a log
// of the calls the traversal makes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "quennet/pcbmodel/hostapi.h"

namespace test_support {

using namespace quennet;

struct FakeObject {
  uint32_t handle;
  uint8_t kind;
  bool free;  // yielded by iterators of method 1
  uint32_t layer;
  int32_t owners[3];
  int32_t rect[4];  // as the host reports it: x1, y1, x2, y2
};

class FakeBoard {
 public:
  FakeBoard();
  ~FakeBoard();
  std::vector<FakeObject> objects;
  std::vector<std::string> log;
  int updates = 0;

 private:
  TPcbApiTable table_{};
};

}  // namespace test_support
