// KiCad board files (.kicad_pcb of KiCad 6 and later) read into the editor's
// board model. docs/kicad-boards.md lists what becomes what.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "korvex/src/board.h"

namespace korvex {

// Whether the text is a KiCad board file: "(kicad_pcb" after any blanks.
bool IsKicadBoardText(std::string_view text);

// Reads a KiCad board held in memory; name is used in errors and the
// summary. Throws DocumentError with line, column and the token at fault.
// summary receives one line of what was approximated ("" when nothing was).
std::unique_ptr<Board> ReadKicadBoard(std::string_view text, const std::string& name,
                                      std::string* summary);

// Opens a board file of either kind, told apart by its content: a KiCad
// board, else a board document. A KiCad board's approximations are reported
// on stderr, one line.
std::unique_ptr<Board> OpenBoardFile(const std::string& path);

}  // namespace korvex
