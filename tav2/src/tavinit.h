// The engine's data file: default header values and the tables every new
// drawing starts with. Its form is described in docs/tavinit.md.
#pragma once

#include <string>
#include <vector>

#include "tav2/src/drawing.h"

namespace tav2 {

struct EngineDefaults {
  std::vector<HeaderValue> header;
  std::vector<Linetype> linetypes;  // handles not yet assigned
  struct LayerRow {
    std::string name;
    int16_t color;
    std::string linetype;
  };
  std::vector<LayerRow> layers;
  std::vector<TextStyle> styles;
  std::vector<std::string> appids;
  std::vector<std::string> dimstyles;
};

// Reads and checks the data file. On failure `error` says what is wrong and
// where ("TAVINIT.DAT line 12: ..."), and `out` is left unchanged.
bool LoadTavinit(const std::string& path, EngineDefaults& out, std::string& error);
bool ParseTavinit(std::string_view text, const std::string& fileName, EngineDefaults& out,
                  std::string& error);

}  // namespace tav2
