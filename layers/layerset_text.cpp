// The layer sets' text forms: the description shown to users and the
// serialized form stored in documents and options, with the layer hashes'
// own serialized form inside it.
#include <cstring>
#include <string>
#include <vector>

#include "layers/layerset.h"
#include "layers/layerset_internal.h"
#include "layers/rtl_errors.h"
#include "platform/text.h"

namespace quennet {

using namespace layerset_internal;

namespace {

// --- Delimited lists of name-value items -------------------------------------------

std::string QuoteItem(const std::string& item, char delimiter) {
  if (item.find(delimiter) == std::string::npos && item.find('"') == std::string::npos) return item;
  std::string q = "\"";
  for (char c : item) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::vector<std::string> SplitItems(std::string_view text, char delimiter) {
  std::vector<std::string> items;
  size_t i = 0;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
      while (i < text.size() && text[i] != delimiter) item += text[i++];
    } else {
      while (i < text.size() && text[i] != delimiter) item += text[i++];
    }
    items.push_back(std::move(item));
    if (i < text.size()) ++i;  // the delimiter
  }
  return items;
}

std::pair<std::string, std::string> SplitNameValue(const std::string& item, char separator) {
  const size_t at = item.find(separator);
  if (at == std::string::npos) return {item, std::string()};
  return {item.substr(0, at), item.substr(at + 1)};
}

bool ParseInt32(const std::string& s, int64_t& out) {
  if (s.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 0x80000000LL) return false;
  }
  v = negative ? -v : v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  out = v;
  return true;
}

using platform::EqualsNoCase;

std::string SerializeHash(const TLayerHash& hash) {
  std::string text = "SerializeLayerHash.Version=2,ClassName=TLayerHash";
  ForEachKey(&hash, [&](TV7_Layer key) {
    THashValue v = 0;
    const_cast<TLayerHash&>(hash).TryGetValue(key, v);
    text += ',';
    text += std::to_string(LayerToSaveInteger(key));
    text += '=';
    text += std::to_string(v);
  });
  return text;
}

void DeserializeHash(std::string_view text, TLayerHash& hash) {
  hash.Clear();
  const std::vector<std::string> items = SplitItems(text, ',');
  bool byName = false;
  for (const std::string& item : items)
    if (EqualsNoCase(SplitNameValue(item, '=').first, "Text")) byName = true;
  for (const std::string& item : items) {
    const auto [name, valueText] = SplitNameValue(item, '=');
    int64_t value = 0;
    if (!ParseInt32(valueText, value)) continue;
    TV7_Layer layer = 0;
    if (byName) {
      if (EqualsNoCase(name, "Text")) continue;
      layer = LayerFromDisplayName(name);
      if (layer == 0) continue;
    } else {
      int64_t saved = 0;
      if (!ParseInt32(name, saved)) continue;
      layer = CreateFromInteger_ForSave(static_cast<int32_t>(saved));
    }
    hash.SetValue(layer, static_cast<THashValue>(value));
  }
}

[[noreturn]] void BadSetText(const std::string& item, const std::string& why) {
  throw EPCB_LayerSetException("Invalid layer set text at item \"" + item + "\": " + why);
}

// A layer read into another partition's hash would be iterated as a member
// yet never found by Contains, and a class would be iterated as a layer.
void CheckPartitionKeys(const TLayerHash& hash, int kind, const std::string& item) {
  ForEachKey(&hash, [&](TV7_Layer key) {
    if (PartitionOrNone(key) != kind)
      BadSetText(item, "layer ID=" + std::to_string(static_cast<int32_t>(key)) +
                           " does not belong to the " + kSetPartitionNames[kind] + " partition");
  });
}

}  // namespace

std::u16string TPCB_LayerSetBase::DoDescription() const {
  std::string text;
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& p = partitions_[k];
    text += kSetPartitionLongNames[k];
    text += p.IncludeAll ? " Include All : Exceptions\r\n" : " Exclude All : Exceptions\r\n";
    ForEachKey(p.Included.get(),
               [&](TV7_Layer key) { text += " + " + LayerDisplayName(key) + "\r\n"; });
    ForEachKey(p.Exceptions.get(),
               [&](TV7_Layer key) { text += " - " + LayerDisplayName(key) + "\r\n"; });
  }
  return std::u16string(text.begin(), text.end());
}

std::string TPCB_LayerSetBase::DoSerialize() const {
  std::string text;
  auto add = [&](const std::string& item) {
    if (!text.empty()) text += '_';
    text += QuoteItem(item, '_');
  };
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& p = partitions_[k];
    const std::string name = kSetPartitionNames[k];
    add(name + ".All~" + (p.IncludeAll ? "True" : "False"));
    if (p.Included) add(name + ".Include~" + SerializeHash(*p.Included));
    if (p.Exceptions) add(name + ".Exclude~" + SerializeHash(*p.Exceptions));
  }
  return text;
}

void TPCB_LayerSetBase::DoDeserialize(std::string_view text) {
  TSetPartition parts[kSetPartitionCount];
  for (const std::string& item : SplitItems(text, '_')) {
    const auto [name, value] = SplitNameValue(item, '~');
    const size_t dot = name.find('.');
    if (dot == std::string::npos) BadSetText(item, "expected <partition>.<field>~<value>");
    const std::string partition = name.substr(0, dot);
    const std::string field = name.substr(dot + 1);
    int k = 0;
    while (k < kSetPartitionCount && !EqualsNoCase(partition, kSetPartitionNames[k])) ++k;
    if (k == kSetPartitionCount) BadSetText(item, "unknown partition");
    TSetPartition& p = parts[k];
    if (EqualsNoCase(field, "All")) {
      int64_t n = 0;
      if (EqualsNoCase(value, "True"))
        p.IncludeAll = true;
      else if (EqualsNoCase(value, "False"))
        p.IncludeAll = false;
      else if (ParseInt32(value, n))
        p.IncludeAll = n != 0;
      else
        BadSetText(item, "not a boolean");
    } else if (EqualsNoCase(field, "Include")) {
      p.Included = NewSetHash();
      DeserializeHash(value, *p.Included);
      CheckPartitionKeys(*p.Included, k, item);
    } else if (EqualsNoCase(field, "Exclude")) {
      p.Exceptions = NewSetHash();
      DeserializeHash(value, *p.Exceptions);
      CheckPartitionKeys(*p.Exceptions, k, item);
    } else {
      BadSetText(item, "unknown field");
    }
  }
  for (int k = 0; k < kSetPartitionCount; ++k) partitions_[k] = std::move(parts[k]);
}

abi::TStatus TPCB_LayerSetBase::Description(char16_t* buffer, int32_t capacity, int32_t* length) {
  if (!length || capacity < 0 || (capacity > 0 && !buffer)) return abi::E_INVALIDARG;
  return Guard([&] {
    const std::u16string text = DoDescription();
    const size_t n = std::min(text.size(), static_cast<size_t>(capacity));
    if (n) std::memcpy(buffer, text.data(), n * sizeof(char16_t));
    *length = static_cast<int32_t>(text.size());
  });
}

abi::TStatus TPCB_LayerSetBase::Serialize(char* buffer, int32_t capacity, int32_t* length) {
  if (!length || capacity < 0 || (capacity > 0 && !buffer)) return abi::E_INVALIDARG;
  return Guard([&] {
    const std::string text = DoSerialize();
    const size_t n = std::min(text.size(), static_cast<size_t>(capacity));
    if (n) std::memcpy(buffer, text.data(), n);
    *length = static_cast<int32_t>(text.size());
  });
}

}  // namespace quennet
