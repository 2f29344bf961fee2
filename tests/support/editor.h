// The real PCB editor module for the plug-in's tests: a board document
// written by the test is opened in libkorvex.so, the way the host program
// opens the user's, and the plug-in reaches it through the same binding and
// server it uses in an export. For the tests that must see the calls, a
// recorder sits between the plug-in and the editor: it logs every call in
// order and can make a chosen call fail or answer differently.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "abi/korvex_host.h"
#include "platform/platform.h"
#include "quennet/pcbmodel/hostapi.h"
#include "tests/support/test_support.h"

namespace test_support {

// The editor module, loaded once per test program from the build's output
// folder, as the host program loads it.
inline platform::ModuleHandle EditorModule() {
  struct Loaded {
    platform::ModuleHandle module = nullptr;
    Loaded() {
      const std::string path = std::string(ORVANTA_BIN_DIR) + "/libkorvex.so";
      module = platform::LoadLibrary(path);
      if (!module) throw std::runtime_error(path + ": " + platform::LastLoadError());
    }
    ~Loaded() { platform::FreeLibrary(module); }
  };
  static const Loaded loaded;
  return loaded.module;
}

template <class Fn>
Fn EditorFunction(const char* name) {
  void* f = platform::GetProcAddress(EditorModule(), name);
  if (!f) throw std::runtime_error(std::string("the editor module lacks ") + name);
  return reinterpret_cast<Fn>(f);
}

// A board document open in the editor for the life of the object; the
// plug-in's binding and PCB server are the editor's meanwhile.
class EditorBoard {
 public:
  // Writes the document to `fileName` in a folder of its own and opens it.
  // A document the editor refuses throws with the editor's message.
  explicit EditorBoard(std::string_view document, const std::string& fileName = "board.json")
      : path_(dir_ / fileName) {
    fs::create_directories(fs::path(path_).parent_path());
    WriteFile(path_, std::string(document));
    char error[1024] = {};
    if (EditorFunction<TKorvexOpenBoard>("KorvexOpenBoard")(path_.c_str(), error, sizeof error))
      throw std::runtime_error(error);
#define TEST_SUPPORT_BIND(name, missing)               \
  table_.name = reinterpret_cast<abi::TPcbApi_##name>( \
      platform::GetProcAddress(EditorModule(), "PcbApi_" #name));
    PCBAPI_FUNCTIONS(TEST_SUPPORT_BIND)
#undef TEST_SUPPORT_BIND
    abi::Ref<abi::IHostUnknown> module;
    if (abi::Failed(
            EditorFunction<TKorvexGetServerModule>("KorvexGetServerModule")(module.put())) ||
        abi::Failed(module->QueryInterface(abi::IID_IPCB_ServerInterface,
                                           reinterpret_cast<void**>(server_.put()))))
      throw std::runtime_error("the editor module has no PCB server");
    quennet::SetPcbApiOverride(nullptr);  // bound by name, as in an export
    quennet::SetPcbServerOverride(server_.get());
  }
  ~EditorBoard() {
    quennet::SetPcbServerOverride(nullptr);
    quennet::SetPcbApiOverride(nullptr);
    EditorFunction<TKorvexCloseBoard>("KorvexCloseBoard")();
  }
  EditorBoard(const EditorBoard&) = delete;
  EditorBoard& operator=(const EditorBoard&) = delete;

  // The editor's own functions, for a test that calls past the plug-in.
  const quennet::TPcbApiTable& Table() const {
    return table_;
  }
  uint32_t Handle() const {
    return table_.GetCurrentBoardHandle();
  }
  const std::string& Path() const {
    return path_;
  }
  abi::IPCB_ServerInterface* Server() const {
    return server_.get();
  }

  // Every object of a kind, members of components and groups too, in the
  // editor's order.
  std::vector<uint32_t> Objects(uint8_t kind) const {
    std::vector<uint32_t> out;
    const uint32_t it = table_.CreateIterator(Handle(), kind, 0, 0);
    for (uint32_t h = table_.GetFirstObject(it); h; h = table_.GetNextObject(it)) out.push_back(h);
    table_.DestroyIterator(it);
    return out;
  }
  // The n-th of them; throws when there are fewer.
  uint32_t Object(uint8_t kind, size_t n = 0) const {
    return Objects(kind).at(n);
  }

 private:
  TempDir dir_;
  std::string path_;
  quennet::TPcbApiTable table_;
  abi::Ref<abi::IPCB_ServerInterface> server_;
};

// Logs every call the plug-in makes and forwards it to Answer, which starts
// as the editor's table. A test changes an answer by replacing an entry of
// Answer (nullptr: the editor lacks the function), or makes a call fail with
// Fail; an object interface the PCB server hands out passes through HandOut.
// One recorder at a time; it is the plug-in's binding while it lives.
class RecordingEditor {
 public:
  explicit RecordingEditor(const EditorBoard& editor)
      : Answer(editor.Table()), editor_(editor.Table()), server_(editor.Server()) {
    if (current_) throw std::logic_error("one recording editor at a time");
    current_ = this;
    quennet::SetPcbServerOverride(&passThrough_);
#define TEST_SUPPORT_RECORD(name, missing)                                                       \
  table_.name = &Stub<abi::TPcbApi_##name>::template Call<&quennet::TPcbApiTable::name, missing, \
                                                          kName_##name>;
    PCBAPI_FUNCTIONS(TEST_SUPPORT_RECORD)
#undef TEST_SUPPORT_RECORD
    quennet::SetPcbApiOverride(&table_);
  }
  ~RecordingEditor() {
    quennet::SetPcbServerOverride(server_);
    quennet::SetPcbApiOverride(nullptr);
    current_ = nullptr;
  }
  RecordingEditor(const RecordingEditor&) = delete;
  RecordingEditor& operator=(const RecordingEditor&) = delete;

  // The editor's own table, for a replaced answer that starts from the real one.
  static const quennet::TPcbApiTable& Editor() {
    return current_->editor_;
  }

  quennet::TPcbApiTable Answer;
  // May put an interface of the test's in place of the editor's *out, taking
  // over the editor's reference: a host that answers what the editor cannot.
  void (*HandOut)(uint32_t object, const abi::TGUID& iid, void** out) = nullptr;

  // Each call as "Name(a,b,...)": its arguments passed by value (numbers and
  // input strings), not the addresses it writes its answers to.
  std::vector<std::string> Log;
  void Clear() {
    Log.clear();
  }
  // The calls of one name, in order.
  std::vector<std::string> CallsOf(std::string_view name) const {
    std::vector<std::string> out;
    for (const std::string& e : Log)
      if (NameOf(e) == name) out.push_back(e);
    return out;
  }
  int Count(std::string_view name) const {
    return int(CallsOf(name).size());
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const std::string& e : Log) out.emplace_back(NameOf(e));
    return out;
  }

  // From its (after + 1)-th call on, `name` answers `status` without
  // reaching the editor and without touching any output.
  void Fail(const std::string& name, int64_t status, int after = 0) {
    fail_[name] = {status, after};
  }

 private:
  static std::string_view NameOf(std::string_view entry) {
    return entry.substr(0, entry.find('('));
  }

  template <class T>
  static void Append(std::string& args, T value) {
    if constexpr (std::is_integral_v<T>) {
      if (args.back() != '(') args += ',';
      args += std::to_string(+value);
    } else if constexpr (std::is_same_v<T, const unsigned char*>) {
      if (args.back() != '(') args += ',';
      args += value ? abi::FromShortString(value) : "";
    }
  }

  template <class Fn>
  struct Stub;
  template <class R, class... A>
  struct Stub<R (*)(A...)> {
    template <R (*quennet::TPcbApiTable::*Entry)(A...), int Missing, const char* Name>
    static R Call(A... args) {
      RecordingEditor& r = *current_;
      std::string entry = std::string(Name) + "(";
      (Append(entry, args), ...);
      r.Log.push_back(entry + ")");
      if (auto f = r.fail_.find(Name); f != r.fail_.end() && f->second.after-- <= 0)
        return static_cast<R>(f->second.status);
      const auto fn = r.Answer.*Entry;
      return fn ? fn(args...) : static_cast<R>(Missing);
    }
  };

#define TEST_SUPPORT_NAME(name, missing) static constexpr char kName_##name[] = #name;
  PCBAPI_FUNCTIONS(TEST_SUPPORT_NAME)
#undef TEST_SUPPORT_NAME

  // The editor's PCB server, with HandOut on the objects it gives.
  class PassThrough final : public abi::IPCB_ServerInterface {
   public:
    abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
      *out = iid == abi::IID_IPCB_ServerInterface || iid == abi::IID_IUnknownRoot ? this : nullptr;
      return *out ? abi::S_OK : abi::E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }  // lives as long as its recorder
    uint32_t Release() override { return 1; }
    abi::TStatus GetBoardFromHandle(uint32_t board, abi::IPCB_Board** out) override {
      return current_->server_->GetBoardFromHandle(board, out);
    }
    abi::TStatus GetObjectFromHandle(uint32_t object, const abi::TGUID& iid, void** out) override {
      const abi::TStatus status = current_->server_->GetObjectFromHandle(object, iid, out);
      if (!abi::Failed(status) && *out && current_->HandOut) current_->HandOut(object, iid, out);
      return status;
    }
    abi::TStatus GetSpecialStringConverter(abi::IPCB_SpecialStringConverter** out) override {
      return current_->server_->GetSpecialStringConverter(out);
    }
    abi::TStatus GetLastErrorText(uint32_t size, char* buffer) override {
      return current_->server_->GetLastErrorText(size, buffer);
    }
  };

  struct Failure {
    int64_t status;
    int after;
  };
  static inline RecordingEditor* current_ = nullptr;
  quennet::TPcbApiTable table_;
  quennet::TPcbApiTable editor_;
  abi::IPCB_ServerInterface* server_;
  PassThrough passThrough_;
  std::map<std::string, Failure, std::less<>> fail_;
};

}  // namespace test_support
