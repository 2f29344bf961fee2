// The export options: one module-level record that the setup dialog fills and
// the export run, converters and drawing document read, kept between exports in
// the host's options store (section "Quennet", group "Dialog").
#pragma once

#include <cstdint>
#include <stdexcept>

#include "abi/clientapi.h"

namespace quennet {

// A failing call into the host's options store.
class EOptionsStoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TExportOptions {
  // 0 V2.5, 1 V2.6, 2 R9, 3 R10, 4 R11/R12, 5 R13, 6 R14.
  int32_t AcadVersion = 5;
  // true: tracks and arcs get rounded ends; false: square ends.
  bool RoundedTracks = true;
  // 0: one block and insert per component; 1: components as their primitives.
  uint8_t ComponentsMode = 0;
  // 0: no holes; 1: on the pad hole and via hole layers; 2: doughnuts on the
  // pad's or via's own layer.
  int32_t HoleMode = 0;
  // 0 inches, 1 millimetres.
  int32_t Units = 0;
  // 0 DWG, 1 DXF.
  int32_t OutputFormat = 0;
  bool OnlyVisibleLayers = false;
  // 0 none; 1 all; 2 selected primitives (or those of a selected component).
  uint8_t ZeroWidthLines = 0;
};

// The one record of the module. Not reset between exports; every export
// reloads it from the store before anything reads it.
TExportOptions& ExportOptions();

// Load and save through the options store of the given client (by default the
// IClient held since start-up). A failing store call raises an error at once,
// naming the key; fields read before it keep their new values.
void LoadOptions(TExportOptions& options);
void SaveOptions(const TExportOptions& options);
void LoadOptions(TExportOptions& options, abi::IClient* client);
void SaveOptions(const TExportOptions& options, abi::IClient* client);

}  // namespace quennet
