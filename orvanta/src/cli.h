#pragma once

namespace orvanta {

// The command line. Exit status: 0 the export wrote its file (or the command
// did its work), 1 the export was refused or cancelled, 2 usage, input and
// export errors. Every error is one line on stderr naming the file or option.
int RunCommandLine(int argc, char** argv);

}  // namespace orvanta
