#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, FoldsAsciiLettersOnly) {
  struct Case {
    std::string_view a, b;
    bool equal;
  };
  const Case cases[] = {
      {"Top Layer", "TOP LAYER", true},
      {"", "", true},
      {"dxf", "DXF", true},
      {"DXF", "DXF ", false},             // length differs
      {"[", "{", false},                  // 0x5B and 0x7B are no letter pair
      {"\xC9t\xE9", "\xE9T\xE9", false},  // bytes of other encodings compare exactly
      {"\xC9t\xE9", "\xC9T\xE9", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::EqualsNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
  EXPECT_EQ(platform::ToLower("Korvex.DLL"), "korvex.dll");
  EXPECT_EQ(platform::ToUpper("c:\\orvanta\\halbric.exe\xE9"), "C:\\ORVANTA\\HALBRIC.EXE\xE9");
}

}  // namespace
