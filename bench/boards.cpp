// Whole exports of whole boards, as a user runs them: generated KiCad boards
// of N primitives of every kind (tracks, arcs, vias, texts, board graphics,
// footprints with pads and graphics, zones) and the KiCad demo boards, each
// exported by orvanta in every format and release the engine writes. Per run:
// the board's load time (the editor reading the file alone), the export's
// wall time with its phases as the plug-in reports them (scan, passes, save),
// the peak memory of the export process, and for DXF the time of a plain
// formatting loop over the same entities (shortest round-trip numbers into
// one buffer, one write) measured in the same run, right after each export,
// with the median of the pairs' ratios. Every export and loop runs
// --repeat times (3 by default) and the median is reported, or with --fastest
// the fastest run (on a machine whose speed drifts, the least disturbed one);
// CPU time (user and system) is reported beside wall time, since on a machine
// shared with other work the wall time mostly measures the wait for a core.
//
//   build-rel/bench/bench_boards [--sizes 10000,100000,1000000] [--boards a.kicad_pcb ...]
//                                [--pairs dxf:R12,dwg:R14] [--repeat 3] [--fastest]
//                                [--work DIR]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korvex/src/board.h"
#include "korvex/src/kicad/kicad_board.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// --- the board generator ---------------------------------------------------------

// Writes a KiCad board of about n primitives. Per block of 100: 40 tracks, 8
// track arcs, 10 vias, 4 board lines, 2 board texts, 2 footprints (4 pads of
// three shapes, 4 lines, 2 texts each: 20), 1 zone with a filled polygon of
// 16 corners (16 points, counted as one primitive) and fills to 100 with
// tracks on the inner layers.
void WriteBoard(const std::string& path, long n) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) {
    std::perror(path.c_str());
    std::exit(2);
  }
  std::fprintf(f,
               "(kicad_pcb (version 20221018) (generator bench)\n"
               "  (general (thickness 1.6))\n  (paper \"A4\")\n  (layers\n"
               "    (0 \"F.Cu\" signal)\n    (1 \"In1.Cu\" signal)\n    (2 \"In2.Cu\" signal)\n"
               "    (31 \"B.Cu\" signal)\n    (36 \"B.SilkS\" user)\n    (37 \"F.SilkS\" user)\n"
               "    (38 \"B.Mask\" user)\n    (39 \"F.Mask\" user)\n    (44 \"Edge.Cuts\" user)\n"
               "    (49 \"F.Fab\" user))\n  (setup (pad_to_mask_clearance 0.05))\n"
               "  (net 0 \"\")\n");
  const long blocks = std::max(1L, n / 100);
  const long side = std::max(10L, long(std::sqrt(double(blocks))));
  const char* copper[] = {"F.Cu", "In1.Cu", "In2.Cu", "B.Cu"};
  for (long b = 0; b < blocks; ++b) {
    const double ox = double(b % side) * 20.0, oy = double(b / side) * 20.0;
    for (int i = 0; i < 40 + 14; ++i)  // 40 tracks, 14 more to fill the block to 100
      std::fprintf(
          f, "  (segment (start %.4f %.4f) (end %.4f %.4f) (width 0.25) (layer \"%s\") (net 0))\n",
          ox + i * 0.3, oy, ox + i * 0.3, oy + 5, copper[i % 4]);
    for (int i = 0; i < 8; ++i)
      std::fprintf(f,
                   "  (arc (start %.4f %.4f) (mid %.4f %.4f) (end %.4f %.4f) (width 0.2) (layer "
                   "\"%s\") (net 0))\n",
                   ox + 1 + i, oy + 7, ox + 1.5 + i, oy + 6.5, ox + 2 + i, oy + 7, copper[i % 4]);
    for (int i = 0; i < 10; ++i)
      std::fprintf(
          f, "  (via (at %.4f %.4f) (size 0.6) (drill 0.3) (layers \"F.Cu\" \"B.Cu\") (net 0))\n",
          ox + i * 1.5, oy + 9);
    for (int i = 0; i < 4; ++i)
      std::fprintf(f,
                   "  (gr_line (start %.4f %.4f) (end %.4f %.4f) (stroke (width 0.1) (type solid)) "
                   "(layer \"Edge.Cuts\"))\n",
                   ox + i * 5, oy, ox + i * 5 + 5, oy);
    for (int i = 0; i < 2; ++i)
      std::fprintf(f,
                   "  (gr_text \"T%ld\" (at %.4f %.4f %d) (layer \"F.SilkS\") (effects (font (size "
                   "1 1) (thickness 0.15))))\n",
                   b * 2 + i, ox + 3 + i * 6, oy + 11, i * 90);
    for (int i = 0; i < 2; ++i) {
      const double fx = ox + 5 + i * 8, fy = oy + 14;
      std::fprintf(f, "  (footprint \"Bench:PART%d\" (layer \"%s\") (at %.4f %.4f %d)\n", i,
                   i ? "B.Cu" : "F.Cu", fx, fy, i * 90);
      std::fprintf(f,
                   "    (fp_text reference \"U%ld\" (at 0 -2) (layer \"%s\") (effects (font (size "
                   "1 1) (thickness 0.15))))\n",
                   b * 2 + i, i ? "B.SilkS" : "F.SilkS");
      std::fprintf(f,
                   "    (fp_text value \"PART\" (at 0 2) (layer \"F.Fab\") hide (effects (font "
                   "(size 1 1) (thickness 0.15))))\n");
      for (int k = 0; k < 4; ++k)
        std::fprintf(f,
                     "    (fp_line (start %d 0) (end %d 1) (stroke (width 0.12) (type solid)) "
                     "(layer \"F.SilkS\"))\n",
                     k - 2, k - 2);
      static const char* const kPads[] = {
          "smd roundrect (at -1.5 0) (size 0.8 0.9) (layers \"F.Cu\" \"F.Mask\") (roundrect_rratio "
          "0.25)",
          "smd rect (at -0.5 0) (size 0.8 0.9) (layers \"F.Cu\" \"F.Mask\")",
          "thru_hole circle (at 0.5 0) (size 1.2 1.2) (drill 0.6) (layers \"*.Cu\" \"*.Mask\")",
          "thru_hole oval (at 1.5 0) (size 1.2 2) (drill 0.6) (layers \"*.Cu\" \"*.Mask\")"};
      for (int k = 0; k < 4; ++k) std::fprintf(f, "    (pad \"%d\" %s)\n", k + 1, kPads[k]);
      std::fprintf(f, "  )\n");
    }
    std::fprintf(f,
                 "  (zone (net 0) (net_name \"\") (layer \"B.Cu\") (hatch edge 0.5)\n"
                 "    (polygon (pts (xy %.4f %.4f) (xy %.4f %.4f) (xy %.4f %.4f)))\n"
                 "    (filled_polygon (layer \"B.Cu\") (pts",
                 ox, oy + 16, ox + 4, oy + 16, ox + 4, oy + 19);
    for (int k = 0; k < 16; ++k) {
      const double a = k * 2 * 3.14159265358979 / 16;
      std::fprintf(f, " (xy %.4f %.4f)", ox + 2 + 1.5 * std::cos(a), oy + 18 + 1.5 * std::sin(a));
    }
    std::fprintf(f, "))\n  )\n");
  }
  std::fprintf(f, ")\n");
  std::fclose(f);
}

// --- one export, as its own process ----------------------------------------------

struct Run {
  bool ok = false, refused = false;
  double wall = 0, cpu = 0, scan = 0, passes = 0, save = 0;
  long peakKb = 0;
  std::string error;
};

Run Export(const std::string& orvanta, const std::string& board, const std::string& out,
           const std::string& format, const std::string& release, const std::string& work) {
  const std::string errPath = work + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {orvanta,    "export",   board,       "-o",           out,
                                   "--format", format,     "--version", release,        "--units",
                                   "mm",       "--layers", "all",       "--components", "blocks"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.push_back("QUENNET_TIMINGS=1");
  env.push_back("ORVANTA_OPTIONS_FILE=" + work + "/options.ini");
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  Run r;
  const auto t0 = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, orvanta.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
    r.error = "cannot start " + orvanta;
    return r;
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  r.wall = Seconds(t0, Clock::now());
  r.peakKb = ru.ru_maxrss;
  r.cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
  posix_spawn_file_actions_destroy(&actions);
  std::ifstream err(errPath);
  std::string line;
  while (std::getline(err, line)) {
    if (std::sscanf(line.c_str(), "quennet timings: scan %lf s, passes %lf s, save %lf s", &r.scan,
                    &r.passes, &r.save) == 3)
      continue;
    if (line.find("is not supported") != std::string::npos) r.refused = true;
    if (line.rfind("orvanta:", 0) == 0) r.error = line;
  }
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return r;
}

// --- the formatting baseline ----------------------------------------------------

// The entities of a written DXF file as (group code, value) pairs, numbers
// parsed, so that the loop below formats exactly what the export wrote.
struct Pair {
  int code;
  bool isDouble;
  double d;
  long i;
  std::string s;
};

std::vector<Pair> EntityPairs(const std::string& dxf) {
  std::ifstream in(dxf);
  std::vector<Pair> pairs;
  std::string code, value;
  bool inEntities = false;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (!value.empty() && value.back() == '\r') value.pop_back();
    const int c = std::atoi(code.c_str());
    if (c == 2 && (value == "ENTITIES" || value == "BLOCKS")) inEntities = true;
    if (c == 0 && value == "ENDSEC") inEntities = false;
    if (!inEntities) continue;
    Pair p{c, false, 0, 0, {}};
    if ((c >= 10 && c < 60) || (c >= 210 && c < 240)) {
      p.isDouble = true;
      p.d = std::strtod(value.c_str(), nullptr);
    } else if (c >= 60 && c < 100) {
      p.i = std::atol(value.c_str());
    } else {
      p.s = value;
    }
    pairs.push_back(std::move(p));
  }
  return pairs;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Timing {
  double wall = 0, cpu = 0;
};

Timing FormattingLoop(const std::vector<Pair>& pairs, const std::string& out) {
  const auto t0 = Clock::now();
  const double c0 = CpuSeconds();
  std::string buf;
  buf.reserve(pairs.size() * 24);
  char num[32];
  for (const Pair& p : pairs) {
    auto r = std::to_chars(num, num + sizeof num, p.code);
    buf.append(num, r.ptr);
    buf.push_back('\n');
    if (p.isDouble) {
      r = std::to_chars(num, num + sizeof num, p.d);
      buf.append(num, r.ptr);
    } else if (p.code >= 60 && p.code < 100) {
      r = std::to_chars(num, num + sizeof num, p.i);
      buf.append(num, r.ptr);
    } else {
      buf += p.s;
    }
    buf.push_back('\n');
  }
  std::FILE* f = std::fopen(out.c_str(), "wb");
  std::fwrite(buf.data(), 1, buf.size(), f);
  std::fclose(f);
  return {Seconds(t0, Clock::now()), CpuSeconds() - c0};
}

// The loop in a child of its own: what it holds must not count towards the
// peak memory of the exports, which start from this process.
Timing FormattingLoopAlone(const std::string& dxf, const std::string& out) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const Timing t = FormattingLoop(EntityPairs(dxf), out);
    if (write(fds[1], &t, sizeof t) != sizeof t) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Timing t;
  if (read(fds[0], &t, sizeof t) != sizeof t) t = {};
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return t;
}

// --- loading alone ----------------------------------------------------------------

struct Load {
  double seconds = 0;
  long peakKb = 0;
  size_t objects = 0;
};

// In a child of its own, so that its peak memory is the load's alone.
Load LoadAlone(const std::string& board) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Load l;
    const auto t0 = Clock::now();
    std::string summary;
    try {
      auto b = korvex::OpenBoardFile(board);
      l.seconds = Seconds(t0, Clock::now());
      l.objects = b->objects.size();
    } catch (const korvex::DocumentError& e) {
      std::fprintf(stderr, "%s\n", e.what().c_str());
    }
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    l.peakKb = ru.ru_maxrss;
    if (write(fds[1], &l, sizeof l) != sizeof l) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Load l;
  if (read(fds[0], &l, sizeof l) != sizeof l) l = {};
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return l;
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> out;
  size_t a = 0;
  while (a <= s.size()) {
    size_t b = s.find(',', a);
    if (b == std::string::npos) b = s.size();
    if (b > a) out.push_back(s.substr(a, b - a));
    a = b + 1;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes = {10000, 100000, 1000000};
  std::vector<std::string> boards;
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const char* f : {"dxf", "dwg"})
    for (const char* r : {"V2.5", "V2.6", "R9", "R10", "R12", "R13", "R14"})
      pairs.emplace_back(f, r);
  std::string work = (fs::temp_directory_path() / "orvanta-bench-boards").string();
  int repeat = 3;
  bool fastest = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--sizes" && i + 1 < argc) {
      sizes.clear();
      for (const auto& s : Split(argv[++i])) sizes.push_back(std::atol(s.c_str()));
    } else if (a == "--boards") {
      while (i + 1 < argc && argv[i + 1][0] != '-') boards.push_back(argv[++i]);
    } else if (a == "--pairs" && i + 1 < argc) {
      pairs.clear();
      for (const auto& p : Split(argv[++i]))
        pairs.emplace_back(p.substr(0, p.find(':')), p.substr(p.find(':') + 1));
    } else if (a == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--fastest") {
      fastest = true;
    } else if (a == "--work" && i + 1 < argc) {
      work = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: bench_boards [--sizes N,N...] [--boards FILE...] "
                   "[--pairs dxf:R12,dwg:R14...] [--repeat N] [--fastest] [--work DIR]\n");
      return 2;
    }
  }
  fs::create_directories(work);
  const std::string orvanta = std::string(ORVANTA_BIN_DIR) + "/orvanta";

  struct Case {
    std::string name, path;
    long primitives;
  };
  std::vector<Case> cases;
  for (long n : sizes) {
    const std::string path = work + "/generated-" + std::to_string(n) + ".kicad_pcb";
    WriteBoard(path, n);
    cases.push_back({"generated " + std::to_string(n), path, n});
  }
  for (const auto& b : boards) cases.push_back({fs::path(b).filename().string(), b, 0});

  std::printf(
      "| board | objects | load s | load MB | format | release | export s | scan s | "
      "passes s | save s | peak MB | µs/object | plain loop s | export/loop | export cpu s | "
      "cpu µs/object | loop cpu s | cpu export/loop |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const Case& c : cases) {
    const Load load = LoadAlone(c.path);
    for (const auto& [format, release] : pairs) {
      const std::string out = work + "/out";
      // The median (or fastest) of the runs by wall time, and of the CPU
      // times apart.
      // A DXF's plain loop runs right after each export, so that a machine
      // whose speed drifts (a shared or virtual one) weighs on both alike.
      std::vector<Run> runs;
      std::vector<Timing> loops;
      for (int k = 0; k < repeat; ++k) {
        runs.push_back(Export(orvanta, c.path, out, format, release, work));
        if (!runs.back().ok) break;
        if (format == "dxf") loops.push_back(FormattingLoopAlone(out + ".dxf", work + "/loop.dxf"));
      }
      // Each export against the loop run right after it: the ratio of a pair
      // taken within a second holds even where the machine's speed drifts.
      std::vector<double> wallRatios, cpuRatios;
      for (size_t k = 0; k < loops.size(); ++k) {
        wallRatios.push_back(runs[k].wall / loops[k].wall);
        cpuRatios.push_back(runs[k].cpu / loops[k].cpu);
      }
      std::sort(wallRatios.begin(), wallRatios.end());
      std::sort(cpuRatios.begin(), cpuRatios.end());
      std::vector<double> cpus;
      for (const Run& run : runs) cpus.push_back(run.cpu);
      std::sort(cpus.begin(), cpus.end());
      const Run last = runs.back();
      std::sort(runs.begin(), runs.end(),
                [](const Run& x, const Run& y) { return x.wall < y.wall; });
      const size_t pick = fastest ? 0 : runs.size() / 2;
      const Run r = last.ok ? runs[pick] : last;
      const double cpu = cpus[pick];
      if (r.refused) {
        std::printf(
            "| %s | | | | %s | %s | not written by the engine yet | | | | | | | | | | | |\n",
            c.name.c_str(), format.c_str(), release.c_str());
        continue;
      }
      if (!r.ok) {
        std::printf("| %s | | | | %s | %s | failed: %s | | | | | | | | | | | |\n", c.name.c_str(),
                    format.c_str(), release.c_str(), r.error.c_str());
        continue;
      }
      std::string loop = "", ratio = "", loopCpu = "", cpuRatio = "";
      if (format == "dxf" && !loops.empty()) {
        std::vector<double> walls, loopCpus;
        for (const Timing& t : loops) {
          walls.push_back(t.wall);
          loopCpus.push_back(t.cpu);
        }
        std::sort(walls.begin(), walls.end());
        std::sort(loopCpus.begin(), loopCpus.end());
        const size_t at = fastest ? 0 : walls.size() / 2;
        const Timing t{walls[at], loopCpus[at]};
        char b1[32], b2[32], b3[32], b4[32];
        std::snprintf(b1, sizeof b1, "%.3f", t.wall);
        std::snprintf(b2, sizeof b2, "%.2f", wallRatios[wallRatios.size() / 2]);
        std::snprintf(b3, sizeof b3, "%.3f", t.cpu);
        std::snprintf(b4, sizeof b4, "%.2f", cpuRatios[cpuRatios.size() / 2]);
        loop = b1, ratio = b2, loopCpu = b3, cpuRatio = b4;
      }
      std::printf(
          "| %s | %zu | %.3f | %.1f | %s | %s | %.3f | %.3f | %.3f | %.3f | %.1f | %.3f | %s | %s "
          "| %.3f | %.3f | %s | %s |\n",
          c.name.c_str(), load.objects, load.seconds, load.peakKb / 1024.0, format.c_str(),
          release.c_str(), r.wall, r.scan, r.passes, r.save, r.peakKb / 1024.0,
          load.objects ? r.wall * 1e6 / double(load.objects) : 0.0, loop.c_str(), ratio.c_str(),
          cpu, load.objects ? cpu * 1e6 / double(load.objects) : 0.0, loopCpu.c_str(),
          cpuRatio.c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}
