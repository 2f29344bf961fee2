// The plug-in's entry points and its start-up and shut-down.
#include <bit>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "abi/hostbase.h"
#include "abi/pcbexporter.h"
#include "layers/rtl_errors.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "quennet/driver/client.h"
#include "quennet/driver/export_run.h"

static_assert(std::endian::native == std::endian::little,
              "the description text is stored as UTF-16 little-endian");

// Read by the host for its format list; this module never reads it.
ORVANTA_EXPORT const char16_t DESCRIPTION[abi::kPcbExporterDescriptionUnits] =
    u"||AutoCad DXF File (*.DXF)|||";
static_assert(sizeof(DESCRIPTION) == 60);

namespace quennet {
namespace {

constexpr char kFormatName[] = "AutoCAD files (*.DXF; *.DWG)";
constexpr size_t kFormatNameLength = sizeof(kFormatName) - 1;
static_assert(kFormatNameLength == 28);

struct FormatNameShort {
  abi::ShortString text{};
  constexpr FormatNameShort() {
    text[0] = static_cast<unsigned char>(kFormatNameLength);
    for (size_t i = 0; i < kFormatNameLength; ++i)
      text[i + 1] = static_cast<unsigned char>(kFormatName[i]);
  }
};
constexpr FormatNameShort kFormatNameShort;

// Why start-up refused; every entry point raises it again, since a shared
// object on Linux cannot fail its own loading. Kept as text: an exception
// object held past the module's life would never be freed.
bool gRefused = false;
char gRefusal[256] = {};
bool gExporting = false;

// The older host that this module must not come up in.
constexpr const char* kOlderHost = "HALBRIC.EXE";

void StartUp() {
  BindClient();
  const std::string exe = platform::ToUpper(platform::ExecutablePath());
  if (exe.find(kOlderHost) != std::string::npos) throw std::runtime_error("");
}

__attribute__((constructor)) void OnLoad() {
  try {
    StartUp();
  } catch (const std::exception& e) {
    gRefused = true;
    std::snprintf(gRefusal, sizeof gRefusal, "%s", e.what());
  }
}

// Nothing is released at unload: the last run's layer sets stay in holders of
// the export state that are never destroyed (see state.cpp).

void CheckStarted() {
  if (gRefused) throw std::runtime_error(gRefusal);
}

// The host's strings are copied before use and never written to.
void CopyShort(abi::ShortString& dst, const unsigned char* src) {
  if (!src) {
    dst[0] = 0;
    return;
  }
  std::memcpy(dst, src, static_cast<size_t>(src[0]) + 1);
}

bool IsOwnFormat(const abi::ShortString& format) {
  return std::memcmp(format, kFormatNameShort.text, kFormatNameLength + 1) == 0;
}

}  // namespace
}  // namespace quennet

ORVANTA_EXPORT const char* GetPcbExporterDescription() {
  quennet::CheckStarted();
  return quennet::kFormatName;
}

ORVANTA_EXPORT uint8_t RecognisedPcbFormat(const unsigned char* format) {
  quennet::CheckStarted();
  abi::ShortString copy;
  quennet::CopyShort(copy, format);
  return quennet::IsOwnFormat(copy) ? 1 : 0;
}

ORVANTA_EXPORT uint8_t ExportFileFromPcb(const unsigned char* fileName,
                                         const unsigned char* format) {
  quennet::CheckStarted();
  abi::ShortString name;
  abi::ShortString fmt;
  quennet::CopyShort(name, fileName);
  quennet::CopyShort(fmt, format);
  if (!RecognisedPcbFormat(fmt)) return 0;
  // Exports share module-level state; a nested call would corrupt the one running.
  if (quennet::gExporting) throw quennet::EExportError("An export is already running");
  quennet::gExporting = true;
  struct Done {
    ~Done() { quennet::gExporting = false; }
  } done;
  return quennet::RunExport(name) ? 1 : 0;
}
