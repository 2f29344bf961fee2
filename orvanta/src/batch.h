// Several boards in one command: each exported on its own into one folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvanta {

// Exports every board to folder/<board's name without extension>, each with
// the given further arguments, through exportOne (the single-board command,
// which prints the written file or the error, one line). A board that fails
// does not stop the others. Exit status: 0 when every board was written,
// else the worst status of the failures (1 refused or cancelled, 2 error).
int RunBatchExport(const std::vector<std::string>& boards, const std::string& folder,
                   const std::vector<std::string>& rest,
                   const std::function<int(const std::vector<std::string>&)>& exportOne);

}  // namespace orvanta
