#include "orvanta/src/cli.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "abi/clientapi.h"
#include "orvanta/src/batch.h"
#include "orvanta/src/host.h"
#include "orvanta/src/host_client.h"
#include "orvanta/src/options_store.h"
#include "platform/text.h"

namespace orvanta {
namespace {

constexpr const char* kUsage =
    "usage: orvanta formats\n"
    "       orvanta export BOARD -o FILE [--version V2.5|V2.6|R9|R10|R11|R12|R13|R14]\n"
    "       orvanta export BOARD BOARD... -o FOLDER [options as above]\n"
    "              [--format dwg|dxf] [--units in|mm] [--holes off|layers|pads]\n"
    "              [--components blocks|primitives] [--ends round|square]\n"
    "              [--zero-width none|all|selected] [--layers all|visible] [--dialog]\n"
    "       orvanta options\n";

// The exporter's options in the store, and how each command-line value is
// encoded there (booleans as -1 for true).
constexpr const char* kSection = "Quennet";
constexpr const char* kGroup = "Dialog";

struct Choice {
  const char* word;
  int32_t value;
};
struct OptionSpec {
  const char* flag;
  const char* key;
  std::vector<Choice> choices;
};

const std::vector<OptionSpec>& OptionSpecs() {
  static const std::vector<OptionSpec> specs = {
      {"--version",
       "ACAD Version",
       {{"V2.5", 0},
        {"V2.6", 1},
        {"R9", 2},
        {"R10", 3},
        {"R11", 4},
        {"R12", 4},
        {"R13", 5},
        {"R14", 6}}},
      {"--format", "Output Format", {{"dwg", 0}, {"dxf", 1}}},
      {"--units", "Units", {{"in", 0}, {"mm", 1}}},
      {"--holes", "Hole Mode", {{"off", 0}, {"layers", 1}, {"pads", 2}}},
      {"--components", "Components Mode", {{"blocks", 0}, {"primitives", 1}}},
      {"--ends", "Rounded Tracks", {{"round", -1}, {"square", 0}}},
      {"--zero-width", "Zero Width Lines", {{"none", 0}, {"all", 1}, {"selected", 2}}},
      {"--layers", "Only Visible Layers", {{"all", 0}, {"visible", -1}}},
  };
  return specs;
}

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using platform::EqualsNoCase;

int Error(const std::string& text, int status = 2) {
  std::fprintf(stderr, "orvanta: %s\n", platform::PrintableText(text).c_str());
  return status;
}

struct ExportArgs {
  std::string board, output;
  // Several boards: where each and -o stand on the command line.
  std::vector<size_t> boardArgs, outputArgs;
  std::vector<std::pair<std::string, int32_t>> options;  // key -> stored value, in key order
  bool dialog = false;
  std::string formatName;  // empty: the exporter's own
};

ExportArgs ParseExport(const std::vector<std::string>& args) {
  ExportArgs a;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0) {
      if (const size_t eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasValue = true;
      }
    }
    auto take = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= args.size()) throw UsageError(arg + ": missing value");
      return args[++i];
    };
    if (arg == "-o" || arg == "--output") {
      if (!a.output.empty()) throw UsageError(arg + ": given twice");
      a.outputArgs.push_back(i);
      a.output = take();
      if (a.outputArgs.back() != i) a.outputArgs.push_back(i);
      if (a.output.empty()) throw UsageError(arg + ": empty file name");
      continue;
    }
    if (arg == "--dialog") {
      if (hasValue) throw UsageError("--dialog takes no value");
      a.dialog = true;
      continue;
    }
    if (arg == "--format-name") {
      a.formatName = take();
      continue;
    }
    bool known = false;
    for (const OptionSpec& option : OptionSpecs()) {
      if (arg != option.flag) continue;
      known = true;
      const std::string v = take();
      const Choice* found = nullptr;
      for (const Choice& c : option.choices)
        if (EqualsNoCase(v, c.word)) found = &c;
      if (!found) {
        std::string words;
        for (const Choice& c : option.choices)
          words += std::string(words.empty() ? "" : "|") + c.word;
        throw UsageError(arg + ": '" + v + "' is not one of " + words);
      }
      for (const auto& given : a.options)
        if (given.first == option.key) throw UsageError(arg + ": given twice");
      a.options.emplace_back(option.key, found->value);
    }
    if (known) continue;
    if (!arg.empty() && arg[0] == '-' && arg != "-") throw UsageError(arg + ": unknown option");
    a.boardArgs.push_back(i);
    if (a.board.empty()) a.board = arg;
  }
  // The store's key order, whatever the order on the command line.
  std::vector<std::pair<std::string, int32_t>> ordered;
  for (const OptionSpec& option : OptionSpecs())
    for (const auto& given : a.options)
      if (given.first == option.key) ordered.push_back(given);
  a.options = std::move(ordered);
  if (a.board.empty()) throw UsageError("export: no BOARD given");
  if (a.output.empty()) throw UsageError("export: no output file given (-o FILE)");
  return a;
}

std::string ForceExtension(const std::string& name, int32_t outputFormat) {
  if (outputFormat != 0 && outputFormat != 1) return name;
  char buf[abi::kClientTextBufferSize];
  ClientAPI_ForceFileNameExtension(name.c_str(), outputFormat == 0 ? "DWG" : "DXF", buf,
                                   sizeof buf);
  return buf;
}

// A stored value that no choice of its option stands for (booleans take any
// value), named with the store's file and line. The dialog shows such values
// for the user to correct; a run without it refuses them.
std::string StoredValueOutOfRange(const OptionsStore& store) {
  for (const OptionSpec& option : OptionSpecs()) {
    bool boolean = false, allowed = false;
    const std::optional<int32_t> value = store.ReadInteger(kSection, kGroup, option.key);
    if (!value) continue;
    for (const Choice& c : option.choices) {
      boolean = boolean || c.value == -1;
      allowed = allowed || c.value == *value;
    }
    if (boolean || allowed) continue;
    const OptionsStore::Entry& e = *store.Find(kSection, kGroup, option.key);
    const int32_t first = option.choices.front().value, last = option.choices.back().value;
    return store.path() + ":" + std::to_string(e.line) + ": \"" + option.key + "\" is " + e.value +
           ", out of its range " + std::to_string(first) + ".." + std::to_string(last);
  }
  return {};
}

// The same file under any name (a link, another spelling of the path).
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa;
  struct stat sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// A target that the run itself reads would be replaced by the drawing: the
// board, or the options store. Whatever format the dialog picks.
std::string TargetReadByTheRun(const ExportArgs& a, const std::string& storePath) {
  for (const std::string& target :
       {a.output, ForceExtension(a.output, 0), ForceExtension(a.output, 1)}) {
    if (SameFile(target, a.board))
      return target + ": the output file is the board document " + a.board;
    if (SameFile(target, storePath)) return target + ": the output file is the options store";
  }
  return {};
}

int32_t StoredOutputFormat(const std::string& path) {
  OptionsStore store(path);
  store.Load();
  return store.ReadInteger(kSection, kGroup, "Output Format").value_or(0);
}

// An exporter whose start-up refused raises its error, possibly without a
// message, from every entry point.
std::string ExporterError(const Exporter& e, const std::exception& error) {
  const std::string what = error.what();
  return e.path + ": " + (what.empty() ? "the exporter refused to start in this host" : what);
}

int RunExport(const std::vector<std::string>& args) {
  ExportArgs a;
  try {
    a = ParseExport(args);
  } catch (const UsageError& e) {
    return Error(std::string(e.what()) + " (see orvanta --help)");
  }
  if (a.boardArgs.size() > 1) {
    // Each board goes through the single-board export on its own.
    std::vector<std::string> boards, rest;
    for (size_t i = 0; i < args.size(); ++i) {
      const bool board = std::find(a.boardArgs.begin(), a.boardArgs.end(), i) != a.boardArgs.end();
      const bool output =
          std::find(a.outputArgs.begin(), a.outputArgs.end(), i) != a.outputArgs.end();
      if (board) boards.push_back(args[i]);
      if (!board && !output) rest.push_back(args[i]);
    }
    return RunBatchExport(boards, a.output, rest, RunExport);
  }

  // The store is read (and so checked) before anything else happens.
  std::string storePath;
  OptionsStore store;
  bool storeChanged = false;
  int32_t outputFormat = 0;
  try {
    storePath = OptionsStorePath();
    store = OptionsStore(storePath);
    store.Load();
    for (const auto& [key, value] : a.options) {
      const OptionsStore::Entry* stored = store.Find(kSection, kGroup, key);
      if (stored && stored->value == std::to_string(value)) continue;
      store.Set(kSection, kGroup, key, std::to_string(value));
      storeChanged = true;
    }
    outputFormat = store.ReadInteger(kSection, kGroup, "Output Format").value_or(0);
    if (!a.dialog)
      if (const std::string bad = StoredValueOutOfRange(store); !bad.empty()) return Error(bad);
  } catch (const std::exception& e) {
    return Error(e.what());
  }

  // The exporter hands the file name to its host as a length-prefixed string.
  const std::string target = ForceExtension(a.output, outputFormat);
  if (a.output.size() > 255 || target.size() > 255)
    return Error(a.output + ": the output path is longer than 255 characters");
  {
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return Error(a.output + ": the output folder " + folder + " does not exist");
  }

  if (const std::string clash = TargetReadByTheRun(a, storePath); !clash.empty())
    return Error(clash);

  platform::SetBatchMode(!a.dialog);
  Host host;
  try {
    host.OpenBoard(a.board);
    host.LoadExporters();
    // Only a command that can run changes the stored options.
    if (storeChanged) store.Save();
  } catch (const std::exception& e) {
    return Error(e.what());
  }

  const Exporter* exporter = nullptr;
  abi::ShortString format;
  abi::ShortString fileName;
  abi::SetShortString(fileName, a.output);
  try {
    for (const Exporter& e : host.LoadExporters()) {
      std::string name = a.formatName;
      try {
        if (name.empty()) name = e.getDescription();
      } catch (const std::exception& error) {
        return Error(ExporterError(e, error));
      }
      if (name.size() > 255) return Error("--format-name: longer than 255 characters");
      abi::SetShortString(format, name);
      if (e.recognised(format)) {
        exporter = &e;
        break;
      }
    }
    if (!exporter)
      return Error("no loaded exporter writes the format '" +
                       (a.formatName.empty() ? std::string("(any)") : a.formatName) + "'",
                   1);

    struct stat before {};
    const bool existed = ::stat(target.c_str(), &before) == 0;
    if (!exporter->exportFile(fileName, format))
      return Error("export of " + a.board + " to " + a.output + " was refused or cancelled", 1);

    // The dialog may have changed the format; the exporter named the file by it.
    const std::string written = ForceExtension(a.output, StoredOutputFormat(storePath));
    struct stat after {};
    const bool missing = ::stat(written.c_str(), &after) != 0;
    const bool untouched = existed && written == target && after.st_ino == before.st_ino &&
                           after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
                           after.st_mtim.tv_nsec == before.st_mtim.tv_nsec &&
                           after.st_size == before.st_size;
    if (missing || untouched)
      return Error(written + ": the exporter reported success but did not write the file");
    std::printf("%s\n", platform::PrintableText(written).c_str());
    return 0;
  } catch (const std::exception& e) {
    const std::string what = e.what();
    return Error("export of " + a.board + " to " + a.output + " failed: " +
                 (what.empty() ? "the exporter raised an error without a message" : what));
  }
}

int RunFormats() {
  Host host;
  try {
    host.LoadExporters();
  } catch (const std::exception& e) {
    return Error(e.what());
  }
  for (const Exporter& e : host.LoadExporters()) {
    try {
      const char* d = e.getDescription();
      std::printf("%s\n", d ? d : "");
    } catch (const std::exception& error) {
      return Error(ExporterError(e, error));
    }
  }
  return 0;
}

int RunOptions() {
  try {
    OptionsStore store(OptionsStorePath());
    store.Load();
    std::printf("options store: %s\n", store.path().c_str());
    std::string section, group;
    const auto entries = store.Entries();
    if (entries.empty()) std::printf("(nothing stored)\n");
    for (const auto& e : entries) {
      if (e.section != section || e.group != group) {
        section = e.section;
        group = e.group;
        std::printf("[%s/%s]\n", section.c_str(), group.c_str());
      }
      std::printf("%s=%s\n", e.key.c_str(), e.value.c_str());
    }
    return 0;
  } catch (const std::exception& e) {
    return Error(e.what());
  }
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "export") return RunExport(args);
  if ((command == "formats" || command == "options") && !args.empty())
    return Error(command + ": unexpected argument '" + args[0] + "' (see orvanta --help)");
  if (command == "formats") return RunFormats();
  if (command == "options") return RunOptions();
  return Error("'" + command + "': unknown command (see orvanta --help)");
}

}  // namespace orvanta
