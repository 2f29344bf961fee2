// Coverage-guided fuzzing of the board document reader: any input must end in
// a board or a DocumentError, never in a crash, a hang or a sanitizer report.
// The box of every object is asked for too, as the export's scan does.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "korvex/src/board.h"
#include "korvex/src/session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto board = korvex::LoadBoardFromText(text, "fuzz.json");
    for (const korvex::Object& o : board->objects) (void)korvex::BoundingRect(*board, o);
  } catch (const korvex::DocumentError&) {
  }
  return 0;
}
