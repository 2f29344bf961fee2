#include "orvanta/src/batch.h"

#include <sys/stat.h>

#include <cstdio>

namespace orvanta {

namespace {

// The board file's name without its folder and extension: out/video for
// boards/video.kicad_pcb.
std::string Stem(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
    name.resize(dot);
  return name;
}

}  // namespace

int RunBatchExport(const std::vector<std::string>& boards, const std::string& folder,
                   const std::vector<std::string>& rest,
                   const std::function<int(const std::vector<std::string>&)>& exportOne) {
  if (folder.empty()) {
    std::fprintf(stderr, "orvanta: export: no output folder given (-o FOLDER)\n");
    return 2;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "orvanta: %s: with several boards -o names an existing folder\n",
                 folder.c_str());
    return 2;
  }
  // Two boards of the same name would write one file: refuse before writing any.
  for (size_t i = 0; i < boards.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (Stem(boards[i]) == Stem(boards[j])) {
        std::fprintf(stderr, "orvanta: %s and %s would both be written to %s: give them apart\n",
                     boards[j].c_str(), boards[i].c_str(), Stem(boards[i]).c_str());
        return 2;
      }
  const std::string base = folder.back() == '/' ? folder : folder + "/";
  int worst = 0;
  for (const std::string& board : boards) {
    std::vector<std::string> args{board, "-o", base + Stem(board)};
    args.insert(args.end(), rest.begin(), rest.end());
    const int status = exportOne(args);
    if (status > worst) worst = status;
  }
  return worst;
}

}  // namespace orvanta
