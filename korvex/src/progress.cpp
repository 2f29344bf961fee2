// The editor's progress display. On a terminal it is a bar on stderr that is
// redrawn only when the shown percentage changes; anywhere else (a pipe, a
// log file, a test) it stays silent so that output stays clean.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/platform.h"

#define PCBAPI_DECLARE_EXPORTS
#include "abi/pcbapi.h"

namespace {

struct Progress {
  bool active = false;
  bool terminal = false;
  std::string caption;
  int64_t total = 0, done = 0;
  int shown = -1;
};

Progress& P() {
  static Progress p;
  return p;
}

void Draw(Progress& p) {
  int percent = p.total > 0 ? int(std::min<int64_t>(p.done * 100 / p.total, 100)) : 0;
  if (percent == p.shown) return;
  p.shown = percent;
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::string bar(size_t(filled), '#');
  bar.append(size_t(kWidth - filled), '-');
  std::fprintf(stderr, "\r%.60s [%s] %3d%%", platform::PrintableText(p.caption).c_str(),
               bar.c_str(), percent);
  std::fflush(stderr);
}

}  // namespace

int32_t PcbApi_Percent_Init(const unsigned char* caption, int32_t total) {
  Progress& p = P();
  p = Progress{};
  p.active = true;
  p.terminal = isatty(STDERR_FILENO) != 0;
  p.caption = abi::FromShortString(caption);
  p.total = total > 0 ? total : 0;
  if (p.terminal) Draw(p);
  return 0;
}

int32_t PcbApi_Percent_Update() {
  Progress& p = P();
  if (!p.active) return 0;
  ++p.done;  // the export may step past its total; the bar stops at 100%
  if (p.terminal) Draw(p);
  return 0;
}

int32_t PcbApi_Percent_Finish() {
  Progress& p = P();
  if (p.active && p.terminal) {
    p.done = p.total;
    Draw(p);
    std::fputc('\n', stderr);
  }
  p = Progress{};
  return 0;
}
