#include "orvanta/src/cli.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // An export stopped by the user leaves no temporary file behind.
  platform::RemoveTemporaryFilesOnSignal();
  return orvanta::RunCommandLine(argc, argv);
}
