// The plug-in's entry points, called as a host calls them: the real module
// loaded into this process, which carries the host client like the host does.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "abi/pcbexporter.h"
#include "orvanta/tests/test_util.h"
#include "platform/platform.h"

namespace {

using namespace test_support;

class EntryPoints : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = platform::LoadLibrary(BinDir() + "/Quennet.dll");
    ASSERT_NE(module_, nullptr) << platform::LastLoadError();
    describe_ = reinterpret_cast<TGetPcbExporterDescription>(
        platform::GetProcAddress(module_, "GetPcbExporterDescription"));
    recognised_ = reinterpret_cast<TRecognisedPcbFormat>(
        platform::GetProcAddress(module_, "RecognisedPcbFormat"));
    export_ = reinterpret_cast<TExportFileFromPcb>(
        platform::GetProcAddress(module_, "ExportFileFromPcb"));
  }
  static void TearDownTestSuite() { platform::FreeLibrary(module_); }

  static bool Recognised(const std::string& s) {
    abi::ShortString f;
    abi::SetShortString(f, s);
    return recognised_(f) != 0;
  }

  static inline platform::ModuleHandle module_ = nullptr;
  static inline TGetPcbExporterDescription describe_ = nullptr;
  static inline TRecognisedPcbFormat recognised_ = nullptr;
  static inline TExportFileFromPcb export_ = nullptr;
};

TEST_F(EntryPoints, DescriptionIsOneConstantText) {
  ASSERT_TRUE(describe_ && recognised_ && export_);
  const char* first = describe_();
  EXPECT_EQ(describe_(), first);
  ASSERT_EQ(std::strlen(first), 28u);
  EXPECT_STREQ(first, "AutoCAD files (*.DXF; *.DWG)");
  EXPECT_EQ(first[27], ')');
  EXPECT_EQ(first[28], '\0');

  const auto* resource = static_cast<const unsigned char*>(
      platform::GetProcAddress(module_, abi::kPcbExporterDescriptionSymbol));
  ASSERT_NE(resource, nullptr);
  const char* text = "||AutoCad DXF File (*.DXF)|||";
  for (unsigned i = 0; i < abi::kPcbExporterDescriptionUnits; ++i) {
    const unsigned unit = resource[2 * i] | resource[2 * i + 1] << 8;  // UTF-16 little-endian
    EXPECT_EQ(unit, static_cast<unsigned char>(text[i])) << i;         // ends on the NUL
  }
}

TEST_F(EntryPoints, RecognisesOnlyTheExactFormatName) {
  const struct {
    std::string name;
    bool own;
  } cases[] = {
      {"AutoCAD files (*.DXF; *.DWG)", true},   {"AutoCAD files (*.dxf; *.dwg)", false},
      {"AutoCAD files (*.DXF; *.DWG) ", false}, {" AutoCAD files (*.DXF; *.DWG)", false},
      {"AutoCAD files (*.DXF; *.DWG", false},   {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Recognised(c.name), c.own) << '"' << c.name << '"';
  // The comparison stops at the length byte: what follows it does not count.
  abi::ShortString padded;
  abi::SetShortString(padded, "AutoCAD files (*.DXF; *.DWG)");
  padded[29] = 'x';
  EXPECT_TRUE(recognised_(padded));
  EXPECT_FALSE(recognised_(nullptr));
}

TEST_F(EntryPoints, AForeignFormatTouchesNothing) {
  TempDir dir;
  ScopedEnv store("ORVANTA_OPTIONS_FILE", dir / "options.ini");
  ScopedEnv registry("ORVANTA_REGISTRY_ROOT", dir / "registry");
  abi::ShortString file, format;
  abi::SetShortString(file, dir / "out");
  for (const char* name : {"Gerber files (*.GBR)", "AutoCAD files (*.dxf; *.dwg)", ""}) {
    abi::SetShortString(format, name);
    const unsigned char before[2] = {format[0], format[1]};
    EXPECT_EQ(export_(file, format), 0) << name;
    EXPECT_EQ(format[0], before[0]);  // the host's string is not written to
    EXPECT_EQ(format[1], before[1]);
  }
  // No dialog was prepared (it would have read the options store) and no
  // drawing was started.
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(EntryPoints, StoredOptionsOutOfRangeStopTheExportAfterTheDialog) {
  TempDir dir;
  ScopedEnv store("ORVANTA_OPTIONS_FILE", dir / "options.ini");
  ScopedEnv registry("ORVANTA_REGISTRY_ROOT", dir / "registry");
  ScopedEnv batch("ORVANTA_BATCH", "1");
  abi::ShortString file, format;
  abi::SetShortString(file, dir / "out");
  abi::SetShortString(format, describe_());
  const struct {
    const char* stored;
    const char* message;
  } cases[] = {
      // (The dialog itself reads any other components mode as primitives.)
      {"Units=2", "the option \"Units\" is 2, out of its range 0..1"},
      {"ACAD Version=65541", "the option \"ACAD Version\" is 65541, out of its range 0..6"},
      {"Hole Mode=7", "the option \"Hole Mode\" is 7, out of its range 0..2"},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("[Quennet/Dialog]\n") + c.stored + "\n";
    {
      std::ofstream out(dir / "options.ini");
      out << text;
    }
    try {
      export_(file, format);
      ADD_FAILURE() << c.stored << " was exported";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    // Nothing written: neither a drawing nor the store (its values are unchanged).
    EXPECT_EQ(std::vector<fs::path>{dir / "options.ini"},
              std::vector<fs::path>(fs::directory_iterator(dir.path()), {}));
    std::ifstream in(dir / "options.ini");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}).substr(0, text.size()), text);
  }
}

}  // namespace
