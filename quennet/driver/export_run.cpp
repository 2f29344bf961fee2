#include "quennet/driver/export_run.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "abi/pcbapi.h"
#include "layers/rtl_errors.h"
#include "platform/platform.h"
#include "quennet/conversion/undrawn.h"
#include "quennet/drawing/document.h"
#include "quennet/drawing/tav2_binding.h"
#include "quennet/driver/client.h"
#include "quennet/driver/state.h"
#include "quennet/driver/traversal.h"
#include "quennet/options/options.h"
#include "quennet/options/setup_form.h"
#include "quennet/pcbmodel/board.h"
#include "quennet/pcbmodel/hostapi.h"

namespace quennet {

namespace {

// AutoCAD colour of each drawing layer, by the layer's 0..82 number.
constexpr uint16_t kLayerColours[83] = {
    7,                                                                   // no layer
    1,                                                                   // top
    16,  76,  90,  156, 130, 216, 6,   54,  2,   8,   7,   216, 136,     // mid 1..13
    9,   9,   9,   9,   9,   9,   9,   9,   9,   9,   9,   9,   9,   9,  // mid 14..27
    9,   9,   9,                                                         // mid 28..30
    5,                                                                   // bottom
    2,   54,  8,   16,  216, 6,                                          // overlays, paste, solder
    76,  16,  216,                                                       // planes 1..3
    136, 136, 136, 136, 136, 136, 136, 136, 136, 136, 136, 136, 136,     // planes 4..16
    244, 6,   6,   216, 76,                                              // drill guide .. mech 3
    56,  56,  56,  56,  56,  56,  56,  56,  56,  56,  56,  56,  56,      // mech 4..16
    1,   9,                                                              // drill drawing, multi
    7,   7,   7,   7,   7,   7,                                          // 75..80
    156, 16,                                                             // pad and via holes
};
static_assert(sizeof(kLayerColours) / sizeof(kLayerColours[0]) == 83);

constexpr TLayer kTopPaste = 35, kBottomPaste = 36, kTopSolder = 37, kBottomSolder = 38;
constexpr TLayer kTopLayer = 1, kBottomLayer = 32, kMultiLayer = 74;
constexpr TV7_Layer kPadHoleLayer = 81, kViaHoleLayer = 82;

// The target name handed to the engine; stays in place after the run.
char gDrawingFileName[256] = {};

std::string Cut255(std::string s) {
  if (s.size() > 255) s.resize(255);
  return s;
}

void ScanObject(uint32_t handle) {
  auto object = std::make_unique<TPCBObject>(handle);
  object->Transfer(1);
  int32_t left = 0, bottom = 0, right = 0, top = 0;
  object->GetBoundingRect(left, bottom, right, top);
  if (left > right) std::swap(left, right);
  if (bottom > top) std::swap(bottom, top);
  Extents().Fold(left, bottom, right, top);
  UsedLayerSet().Include(object->Layer());
  object.reset();
  ++ObjectCount();
}

}  // namespace

void ScanBoard() {
  ObjectCount() = 0;
  Extents().Reset();
  UsedLayerSet() = NewEmptySet();
  const TPcbObjectKindSet kinds =
      KindBit(pokArc) | KindBit(pokPad) | KindBit(pokVia) | KindBit(pokTrack) | KindBit(pokText) |
      KindBit(pokFill) | KindBit(pokRegion) | KindBit(pokComponentBody) | KindBit(pokEmbeddedBoard);
  IterateBoardObjects(ScanObject, kinds, kIterateAllObjects);
}

void CompleteLayerSet(TPcbBoard& board) {
  const TLayerSetRef& used = UsedLayerSet();
  for (TLayerObject* layer = board.FirstStackLayer(); layer != nullptr;
       layer = board.NextStackLayer(layer)) {
    used.IncludeLegacyLayer(layer->LayerId());
  }
  abi::TLegacyLayerSet fixed{};
  for (TLayer l : {kTopPaste, kBottomPaste, kTopSolder, kBottomSolder}) LegacySetInclude(fixed, l);
  used.IncludeLegacySet(fixed);
  if (used.Contains(LayerToV7(kMultiLayer))) {
    abi::TLegacyLayerSet sides{};
    LegacySetInclude(sides, kTopLayer);
    LegacySetInclude(sides, kBottomLayer);
    used.IncludeLegacySet(sides);
  }
}

namespace {

// The store may hold any number; a value no choice stands for would be cut
// to a field's width or read as some other mode and export a wrong drawing.
void CheckOptionRanges(const TExportOptions& o) {
  const struct {
    const char* key;
    int32_t value, last;
  } options[] = {
      {"ACAD Version", o.AcadVersion, 6},
      {"Output Format", o.OutputFormat, 1},
      {"Units", o.Units, 1},
      {"Hole Mode", o.HoleMode, 2},
      {"Components Mode", o.ComponentsMode, 1},
      {"Zero Width Lines", o.ZeroWidthLines, 2},
  };
  for (const auto& option : options)
    if (option.value < 0 || option.value > option.last)
      throw EExportError("the option \"" + std::string(option.key) + "\" is " +
                         std::to_string(option.value) + ", out of its range 0.." +
                         std::to_string(option.last));
}

void CreateDrawingLayers() {
  const TLayerIteratorRef it = ExportLayerSet().CreateIterator();
  while (it.Next()) {
    const TV7_Layer layer = it.Layer();
    DXF_AddLayer(layer, kLayerColours[V7ToLayer(layer)]);
  }
}

// What went wrong with the engine, for the error the run reports once it has
// cleaned up.
struct TEngineOutcome {
  bool loaded = false;
  std::string error;
};

TEngineOutcome LoadDrawingEngine() {
  TEngineOutcome out;
  abi::ShortString library;
  abi::SetShortString(library, "TAV2.DLL");
  if (!DXF_FindEngineFile(library)) {
    out.error = "The drawing engine " + platform::MapModuleName("TAV2.DLL") +
                " was not found; looked in: " + DXF_LastEngineFileSearch();
    return out;
  }
  const std::string libraryPath = abi::FromShortString(library);
  Tav2::Load(libraryPath);
  if (!Tav2::Loaded()) {
    out.error =
        "The drawing engine " + libraryPath + " could not be loaded: " + Tav2::LastLoadError();
    return out;
  }
  abi::ShortString data;
  abi::SetShortString(data, "TAVINIT.DAT");
  if (!DXF_FindEngineFile(data)) {
    out.error = "The drawing engine's data file TAVINIT.DAT was not found; looked in: " +
                DXF_LastEngineFileSearch();
    return out;
  }
  const std::string dataPath = abi::FromShortString(data);
  if (!DXF_InitEngine(dataPath.c_str())) {
    const std::string reason = DXF_EngineError();
    out.error = "The drawing engine could not start with its data file " + dataPath +
                (reason.empty() ? std::string() : ": " + reason);
    return out;
  }
  out.loaded = true;
  return out;
}

// Closes the engine, finishes the progress display and frees the board in
// this order, also when an error leaves the run early.
class TRunCleanup {
 public:
  explicit TRunCleanup(std::unique_ptr<TPcbBoard>& board) : board_(board) {}
  void EngineStarted() { engine_ = true; }
  void ProgressStarted() { progress_ = true; }
  TRunCleanup(const TRunCleanup&) = delete;
  TRunCleanup& operator=(const TRunCleanup&) = delete;
  ~TRunCleanup() { Finish(); }
  void Finish() {
    if (done_) return;
    done_ = true;
    if (engine_) DXF_CloseEngine();
    if (progress_) PcbApi_Percent_Finish();
    board_.reset();
    CurrentBoardHandle() = 0;
  }

 private:
  std::unique_ptr<TPcbBoard>& board_;
  bool engine_ = false;
  bool progress_ = false;
  bool done_ = false;
};

}  // namespace

bool RunExport(const abi::ShortString& fileName) {
  const uint32_t boardHandle = PcbApi_GetCurrentBoardHandle();
  auto board = std::make_unique<TPcbBoard>(boardHandle);
  board->Transfer(1);
  TRunCleanup cleanup(board);
  CurrentBoardHandle() = boardHandle;

  abi::Ref<abi::IPCB_Board> boardInterface = board->GetBoardInterface();
  if (!RunSetupDialog(abi::FromShortString(fileName), boardInterface.get())) return false;
  // The host's pending window messages would be processed here; this host
  // has no message queue of its own that the run could drain.

  const TExportOptions& options = ExportOptions();
  CheckOptionRanges(options);
  std::string name = abi::FromShortString(fileName);
  if (options.OutputFormat == 0) {
    name = Cut255(ClientForceFileNameExtension(name, "DWG"));
  } else if (options.OutputFormat == 1) {
    name = Cut255(ClientForceFileNameExtension(name, "DXF"));
  }
  std::string extension = Cut255(ClientExtractFileExtFromPath(name));
  if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);

  // QUENNET_TIMINGS=1 reports where an export spends its time (benchmarks).
  using Clock = std::chrono::steady_clock;
  const bool timings = std::getenv("QUENNET_TIMINGS") != nullptr;
  const Clock::time_point started = Clock::now();
  Clock::time_point scanned, drawn, saved;
  ScanBoard();
  CompleteLayerSet(*board);
  ExportLayerSet() = UsedLayerSet();
  if (options.HoleMode == 1) ExportLayerSet().IncludeArray({kPadHoleLayer, kViaHoleLayer});
  if (options.OnlyVisibleLayers && boardInterface) {
    abi::Ref<abi::IPCB_LayerSet> visible;
    const abi::TStatus status = boardInterface->VisibleLayers(visible.put());
    if (abi::Failed(status)) {
      throw EExportError("The host could not report the board's visible layers");
    }
    if (visible) ExportLayerSet() = ExportLayerSet().Intersection(TLayerSetRef(std::move(visible)));
  }

  scanned = Clock::now();
  abi::ShortString caption;
  abi::SetShortString(caption, Cut255("Saving " + name + " (" + extension + ")"));
  PcbApi_Percent_Init(caption, ObjectCount());
  cleanup.ProgressStarted();

  cleanup.EngineStarted();
  const TEngineOutcome engine = LoadDrawingEngine();
  std::string failure = engine.error;
  if (engine.loaded) {
    const size_t n = std::min<size_t>(name.size(), sizeof gDrawingFileName - 1);
    std::memcpy(gDrawingFileName, name.data(), n);
    gDrawingFileName[n] = 0;
    const TExtents& e = Extents();
    if (DXF_CreateDrawing(gDrawingFileName, static_cast<uint16_t>(options.AcadVersion),
                          options.Units, e.MinX, e.MinY, e.MaxX, e.MaxY)) {
      Placement() = TPlacement{};
      ResetUndrawnShapes();
      CreateDrawingLayers();
      ExportFreePrimitives();
      ExportComponents();
      drawn = Clock::now();
      if (!DXF_SaveDrawing(static_cast<uint16_t>(options.AcadVersion),
                           static_cast<uint8_t>(options.OutputFormat))) {
        const std::string reason = DXF_EngineError();
        // The engine's own write errors already name the file: say it once.
        if (reason.rfind("cannot write ", 0) == 0)
          failure = "C" + reason.substr(1);
        else
          failure = "Cannot write " + name + (reason.empty() ? std::string() : ": " + reason);
      } else {
        saved = Clock::now();
        for (const std::string& line : UndrawnShapeReport())
          std::fprintf(stderr, "%s: %s\n", name.c_str(), line.c_str());
        if (timings) {
          auto s = [](Clock::time_point a, Clock::time_point b) {
            return std::chrono::duration<double>(b - a).count();
          };
          std::fprintf(stderr, "quennet timings: scan %.6f s, passes %.6f s, save %.6f s\n",
                       s(started, scanned), s(scanned, drawn), s(drawn, saved));
        }
      }
    }
  }
  if (!failure.empty()) {
    // Engine closed, progress finished and board freed before the host hears
    // of it, exactly as after a good run.
    cleanup.Finish();
    throw EExportError(failure);
  }
  return true;
}

}  // namespace quennet
