#include "orvanta/src/cli.h"

int main(int argc, char** argv) {
  return orvanta::RunCommandLine(argc, argv);
}
