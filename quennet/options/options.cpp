#include "quennet/options/options.h"

#include <cstdio>
#include <string>

#include "quennet/driver/client.h"

namespace quennet {
namespace {

constexpr const char16_t* kSection = u"Quennet";
constexpr const char16_t* kGroup = u"Dialog";

std::string Narrow(const char16_t* s) {
  std::string r;
  for (; *s; ++s) r += *s < 0x80 ? static_cast<char>(*s) : '?';
  return r;
}

[[noreturn]] void Fail(abi::IClient* client, const std::string& what, abi::TStatus status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<uint32_t>(status));
  std::string msg = "Options store: " + what + " failed (status " + code + ")";
  if (client) {
    char text[abi::kClientTextBufferSize] = {};
    if (!abi::Failed(client->GetLastErrorText(sizeof text, text)) && text[0]) {
      text[sizeof text - 1] = '\0';
      msg += ": ";
      msg += text;
    }
  }
  throw EOptionsStoreError(msg);
}

void Check(abi::IClient* client, abi::TStatus status, const std::string& what) {
  if (abi::Failed(status)) Fail(client, what, status);
}

std::string KeyText(const char16_t* key) {
  std::string text;
  text.append("\"").append(Narrow(key)).append("\" in section \"").append(Narrow(kSection));
  text.append("\", group \"").append(Narrow(kGroup)).append("\"");
  return text;
}

abi::Ref<abi::IOptionsManager> Manager(abi::IClient* client) {
  if (!client) throw EOptionsStoreError("Options store: the host provides no client interface");
  abi::Ref<abi::IOptionsManager> manager;
  Check(client, client->GetOptionsManager(manager.put()), "getting the options manager");
  if (!manager) throw EOptionsStoreError("Options store: the host returned no options manager");
  return manager;
}

class Loader {
 public:
  Loader(abi::IClient* client, abi::IOptionsReader* reader) : client_(client), reader_(reader) {}
  bool Boolean(const char16_t* key, bool defaultValue) {
    int32_t v = 0;
    Check(client_, reader_->ReadBoolean(kGroup, key, defaultValue ? -1 : 0, &v),
          "reading " + KeyText(key));
    return v != 0;
  }
  int32_t Integer(const char16_t* key, int32_t defaultValue) {
    int32_t v = 0;
    Check(client_, reader_->ReadInteger(kGroup, key, defaultValue, &v), "reading " + KeyText(key));
    return v;
  }

 private:
  abi::IClient* client_;
  abi::IOptionsReader* reader_;
};

class Saver {
 public:
  Saver(abi::IClient* client, abi::IOptionsWriter* writer) : client_(client), writer_(writer) {}
  void Boolean(const char16_t* key, bool value) {
    Check(client_, writer_->WriteBoolean(kGroup, key, value ? -1 : 0), "writing " + KeyText(key));
  }
  void Integer(const char16_t* key, int32_t value) {
    Check(client_, writer_->WriteInteger(kGroup, key, value), "writing " + KeyText(key));
  }

 private:
  abi::IClient* client_;
  abi::IOptionsWriter* writer_;
};

}  // namespace

TExportOptions& ExportOptions() {
  static TExportOptions options;
  return options;
}

void LoadOptions(TExportOptions& options) {
  LoadOptions(options, Client());
}
void SaveOptions(const TExportOptions& options) {
  SaveOptions(options, Client());
}

void LoadOptions(TExportOptions& o, abi::IClient* client) {
  abi::Ref<abi::IOptionsManager> manager = Manager(client);
  abi::Ref<abi::IOptionsReader> reader;
  Check(client, manager->GetOptionsReader(kSection, 0, reader.put()),
        "opening section \"Quennet\" for reading");
  if (!reader) throw EOptionsStoreError("Options store: the host returned no reader");
  Loader in(client, reader.get());
  // Each value goes into its field at once, so a failure leaves the fields read
  // before it with their new values.
  o.OnlyVisibleLayers = in.Boolean(u"Only Visible Layers", false);
  o.AcadVersion = in.Integer(u"ACAD Version", 5);
  o.OutputFormat = in.Integer(u"Output Format", 0);
  o.Units = in.Integer(u"Units", 0);
  o.HoleMode = in.Integer(u"Hole Mode", 0);
  o.ComponentsMode = static_cast<uint8_t>(in.Integer(u"Components Mode", 0));
  o.RoundedTracks = in.Boolean(u"Rounded Tracks", true);
  o.ZeroWidthLines = static_cast<uint8_t>(in.Integer(u"Zero Width Lines", 0));
}

void SaveOptions(const TExportOptions& o, abi::IClient* client) {
  abi::Ref<abi::IOptionsManager> manager = Manager(client);
  abi::Ref<abi::IOptionsWriter> writer;
  Check(client, manager->GetOptionsWriter(kSection, writer.put()),
        "opening section \"Quennet\" for writing");
  if (!writer) throw EOptionsStoreError("Options store: the host returned no writer");
  Saver out(client, writer.get());
  out.Boolean(u"Only Visible Layers", o.OnlyVisibleLayers);
  out.Integer(u"ACAD Version", o.AcadVersion);
  out.Integer(u"Output Format", o.OutputFormat);
  out.Integer(u"Units", o.Units);
  out.Integer(u"Hole Mode", o.HoleMode);
  out.Integer(u"Components Mode", o.ComponentsMode);
  out.Boolean(u"Rounded Tracks", o.RoundedTracks);
  out.Integer(u"Zero Width Lines", o.ZeroWidthLines);
}

}  // namespace quennet
