// What a KiCad board reader drew otherwise than the file describes it, by
// kind: the one-line summary the editor reports after the read.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace korvex::kicad {

class Approximations {
 public:
  void Add(const char* what, uint64_t n = 1) {
    for (auto& [k, c] : counts_)
      if (k == what) {
        c += n;
        return;
      }
    counts_.emplace_back(what, n);
  }
  std::string Line() const {
    std::string s;
    for (const auto& [k, c] : counts_) s += (s.empty() ? "" : ", ") + std::to_string(c) + " " + k;
    return s;
  }

 private:
  std::vector<std::pair<std::string, uint64_t>> counts_;
};

}  // namespace korvex::kicad
