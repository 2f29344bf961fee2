// Block names of components, apart from the component wrapper so that the
// naming rules can be checked on their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quennet {

inline constexpr size_t kMaxBlockName = 255;

// Pattern + ("_B" when not on the top layer) + "_" + n, cut to 255 characters
// and sanitised. Long patterns lose the tail of the number in the cut.
std::string PatternBlockName(std::string_view pattern, bool onTop, int32_t n);

// The same name with the pattern shortened instead, so that the whole number
// survives. Equal to PatternBlockName whenever that name needs no cut.
std::string WholeNumberBlockName(std::string_view pattern, bool onTop, int32_t n);

}  // namespace quennet
