#include "quennet/drawing/document.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "abi/tav2.h"
#include "layers/layers.h"
#include "layers/rtl_errors.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "quennet/drawing/layer_map.h"
#include "quennet/drawing/tav2_binding.h"
#include "quennet/driver/client.h"

namespace quennet {

namespace {

using namespace tav2abi;

constexpr const char* kUnit = "DXFInterface";
constexpr int32_t kUnitsPerInchDefault = 10000000;

const char* gFileName = nullptr;
int32_t gDrawing = 0;
int32_t gEntityList = 0;
int32_t gUnitsPerInch = kUnitsPerInchDefault;
double gUnitsFactor = 1.0;
std::unique_ptr<TLayerToACADHandle> gLayerMap;
std::string gEngineError;
std::string gLastSearch;

std::string Cut255(std::string s) {
  if (s.size() > 255) s.resize(255);
  return s;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool EndsWithDll(std::string_view name) {
  return name.size() >= 4 && platform::EqualsNoCase(name.substr(name.size() - 4), ".dll");
}

// Upper-cased candidates name files that are stored in any case on Linux:
// resolve them case-insensitively before asking whether they exist.
std::string CaseInsensitive(const std::string& candidate) {
  const std::string real = platform::ResolvePath(candidate);
  return real.empty() ? candidate : real;
}

// Where the host keeps its per-user preferences; created when missing.
std::string PreferenceFolder() {
  const std::string appData = platform::AppDataDirectory();
  // A relative HOME would put the folder under the working folder.
  if (appData.empty() || appData[0] != '/') return std::string();
  const std::string folder = appData + "/orvanta";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

void NoteSearched(const std::string& where) {
  // The second search (by the bare name) repeats most places: name each once.
  const std::string padded = "; " + gLastSearch + "; ";
  if (padded.find("; " + where + "; ") != std::string::npos) return;
  if (!gLastSearch.empty()) gLastSearch += "; ";
  gLastSearch += where;
}

bool Absolute(const std::string& path) {
  return !path.empty() && (path[0] == '/' || path[0] == '\\');
}

// Only absolute candidates are tried: a bare or relative name would resolve
// against the working folder, which is wherever the user happened to open a
// board, and a library found there would run inside the editor.
bool TryCandidate(std::string candidate, std::string& name) {
  candidate = Cut255(std::move(candidate));
  if (!Absolute(candidate)) return false;
  NoteSearched(candidate);
  if (!ClientExistSpecific(candidate)) return false;
  name = candidate;
  return true;
}

bool SearchAlongPath(std::string& name) {
  const char* path = std::getenv("PATH");
  NoteSearched(std::string("the absolute folders of PATH (") + (path ? path : "") + ")");
  const std::string found = platform::SearchPath(name);
  if (found.empty()) return false;
  name = Cut255(found);
  return true;
}

// The engine's files are looked for where the plug-in and its host are
// installed first, then in the user's preference folder, then along PATH; the
// name as given counts only when it is an absolute path.
bool Search(std::string& name) {
  const std::string filePart = ClientExtractWholeFileNameFromPath(name);
  if (TryCandidate(name, name)) return true;
  if (TryCandidate(ClientConvertFileNameToExeFileName(filePart), name)) return true;
  const std::string self =
      platform::ModuleFileNameOfAddress(reinterpret_cast<const void*>(&DXF_FindEngineFile));
  if (!self.empty() &&
      TryCandidate(CaseInsensitive(platform::ToUpper(FolderOf(self) + filePart)), name))
    return true;
  const std::string exe = platform::ExecutablePath();
  if (!exe.empty() &&
      TryCandidate(CaseInsensitive(platform::ToUpper(FolderOf(exe) + "System/" + filePart)), name))
    return true;
  const std::string prefs = PreferenceFolder();
  if (!prefs.empty() && !filePart.empty() && TryCandidate(prefs + "/" + filePart, name))
    return true;
  // The Windows folder, its system folder and its Command folder: Linux has
  // none of them, so they give no candidate unless the platform names one.
  const std::string windows = platform::WindowsDirectory();
  const std::string system = platform::SystemDirectory();
  if (!windows.empty() && !filePart.empty() && TryCandidate(windows + "/" + filePart, name))
    return true;
  if (!system.empty() && !filePart.empty() && TryCandidate(system + "/" + filePart, name))
    return true;
  if (!windows.empty() && !filePart.empty() && TryCandidate(windows + "/Command/" + filePart, name))
    return true;
  return SearchAlongPath(name);
}

void CaptureEngineError() {
  const Tav2::TTav2Api& api = Tav2::Api();
  const char* text = api.edaGetLastError ? api.edaGetLastError() : nullptr;
  gEngineError = text ? text : "";
}

}  // namespace

TLayerToACADHandle::TLayerToACADHandle() : TCustomBoxedLayerHash(false, 0, 8) {}

TLayerToACADHandle::~TLayerToACADHandle() {
  ReleaseAllValues();
}

void TLayerToACADHandle::ValueReleased(THashValue value) {
  delete reinterpret_cast<TDrawingHandle*>(value);
}

THashValue TLayerToACADHandle::CloneValue(THashValue value) {
  const auto* box = reinterpret_cast<const TDrawingHandle*>(value);
  return reinterpret_cast<THashValue>(new TDrawingHandle(box ? *box : 0));
}

bool DXF_FindEngineFile(abi::ShortString& name) {
  gLastSearch.clear();
  std::string n = abi::FromShortString(name);
  // The engine library keeps its Windows name in the system; on disk it is
  // the platform's module file.
  if (EndsWithDll(n)) n = platform::MapModuleName(n);
  bool found = Search(n);
  if (!found) {
    // The bare name is handed back when nothing is found; it is not looked
    // up once more on its own, which would find it in the working folder.
    n = ClientExtractWholeFileNameFromPath(n);
    found = Search(n);
  }
  abi::SetShortString(name, Cut255(n));
  return found;
}

const std::string& DXF_LastEngineFileSearch() {
  return gLastSearch;
}

bool DXF_InitEngine(const char* dataFilePath) {
  const Tav2::TTav2Api& api = Tav2::Api();
  int32_t unused = 0;
  const int16_t r = api.edaInitAd2(dataFilePath, 0, &unused);
  if (r == 0) CaptureEngineError();
  return r != 0;
}

void DXF_CloseEngine() {
  if (!Tav2::Loaded()) return;
  // A load that stopped at a missing function leaves later names unbound.
  const Tav2::TTav2Api& api = Tav2::Api();
  if (api.edaCloseAd2) api.edaCloseAd2();
  Tav2::Unload();
  gDrawing = 0;
  gEntityList = 0;
}

bool DXF_CreateDrawing(const char* fileName, uint16_t version, int32_t units, int32_t minX,
                       int32_t minY, int32_t maxX, int32_t maxY) {
  const Tav2::TTav2Api& api = Tav2::Api();
  gFileName = fileName;
  gUnitsPerInch = kUnitsPerInchDefault;
  gUnitsFactor = static_cast<double>(1.0L + 24.4L * static_cast<long double>(units));
  if (gLayerMap) gLayerMap->Clear();
  gDrawing = api.edaNewFile(0, 0, 0, static_cast<int16_t>(version));
  auto* header = static_cast<uint8_t*>(api.edaHeaderPointer(gDrawing));
  if (header != nullptr) {
    Put<double>(header, kHeaderExtMinX, ToDrawingUnits(minX));
    Put<double>(header, kHeaderExtMinY, ToDrawingUnits(minY));
    Put<double>(header, kHeaderExtMinZ, 0.0);
    Put<double>(header, kHeaderExtMaxX, ToDrawingUnits(maxX));
    Put<double>(header, kHeaderExtMaxY, ToDrawingUnits(maxY));
    Put<double>(header, kHeaderExtMaxZ, 0.0);
    Put<int16_t>(header, kHeaderMeasurement, static_cast<int16_t>(units));
    Put<int16_t>(header, kHeaderTileMode, 1);
  }
  uint8_t model[8] = {};
  api.edaFindBlockheaderByName(gDrawing, "*MODEL_SPACE", model);
  gEntityList = api.edaEntityList(gDrawing, model);
  return true;
}

bool DXF_SaveDrawing(uint16_t version, uint8_t format) {
  const Tav2::TTav2Api& api = Tav2::Api();
  const int16_t r =
      api.edaSaveFile(gDrawing, gFileName, format, static_cast<int16_t>(version), 0, 6, 1, 49);
  // The reason is only valid until the next engine call.
  if (r == 0) CaptureEngineError();
  api.edaCloseFile(gDrawing);
  return r != 0;
}

std::string DXF_EngineError() {
  return gEngineError;
}

std::string DXF_LayerName(TV7_Layer layer) {
  if (layer == LayerFromPartition(0)) return "Ignore";
  return LayerShortName(layer);
}

void DXF_AddLayer(TV7_Layer layer, uint16_t colour) {
  const Tav2::TTav2Api& api = Tav2::Api();
  alignas(8) uint8_t record[kLayerRecordSize];
  std::memset(record, 0, sizeof record);
  api.edaSetDefaultLayer(gDrawing, record);
  const std::string name = DXF_LayerName(layer);
  const size_t n = std::min(name.size(), kLayerNameMax);
  std::memcpy(record + kLayerName, name.data(), n);
  record[kLayerName + n] = 0;
  Put<int16_t>(record, kLayerColor, static_cast<int16_t>(colour));
  api.edaGenerateObjhandle(gDrawing, record + kLayerHandle);
  api.edaAddLayer(gDrawing, record);
}

TDrawingHandle DXF_LayerHandle(TV7_Layer layer) {
  if (!gLayerMap) gLayerMap = std::make_unique<TLayerToACADHandle>();
  THashValue boxed = 0;
  if (gLayerMap->TryGetValue(layer, boxed) && boxed != 0) {
    return *reinterpret_cast<const TDrawingHandle*>(boxed);
  }
  const std::string name = DXF_LayerName(layer);
  uint8_t handle[8] = {};
  Tav2::Api().edaFindLayerByName(gDrawing, name.c_str(), handle);
  const TDrawingHandle h = LoadHandle(handle);
  if (h == 0) {
    AssertionFailure("an object is been created that references a layer that has not been created",
                     kUnit, 146);
  }
  gLayerMap->SetValue(layer, reinterpret_cast<THashValue>(new TDrawingHandle(h)));
  return h;
}

double ToDrawingUnits(double v) {
  return static_cast<double>(static_cast<long double>(v) / static_cast<long double>(gUnitsPerInch) *
                             static_cast<long double>(gUnitsFactor));
}

uint32_t DXF_CurrentDrawing() {
  return static_cast<uint32_t>(gDrawing);
}
uint32_t DXF_CurrentEntityList() {
  return static_cast<uint32_t>(gEntityList);
}
void DXF_SetCurrentEntityList(uint32_t list) {
  gEntityList = static_cast<int32_t>(list);
}

}  // namespace quennet
