// The host's options store: sections, groups and keys with text values, kept
// in one human-readable file that is replaced atomically on every change.
//
// The file (UTF-8):
//   ; comment
//   [Section/Group]
//   Key=value
// Comments, blank lines and the order of lines survive every rewrite.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvanta {

// Raised for a store that cannot be read, parsed or written; the text names
// the file and, for parse errors, the line.
class EOptionsStore : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OptionsStore {
 public:
  // $ORVANTA_OPTIONS_FILE when set, else $XDG_CONFIG_HOME/orvanta/options.ini
  // (~/.config/orvanta/options.ini).
  static std::string DefaultPath();

  OptionsStore() = default;
  explicit OptionsStore(std::string path);

  // Reads the file; a missing file is an empty store. Throws EOptionsStore.
  void Load();
  // Writes the file through a temporary file in the same folder and a rename,
  // creating the folder when needed. Throws EOptionsStore.
  void Save() const;

  const std::string& path() const { return path_; }

  struct Entry {
    std::string section, group, key, value;
    int line = 0;  // line in the file, 0 when not yet written
  };
  const Entry* Find(const std::string& section, const std::string& group,
                    const std::string& key) const;
  // Throws EOptionsStore naming the file and line when the value is not a
  // 32-bit integer.
  std::optional<int32_t> ReadInteger(const std::string& section, const std::string& group,
                                     const std::string& key) const;
  // Throws EOptionsStore for a name that the file cannot hold.
  void Set(const std::string& section, const std::string& group, const std::string& key,
           const std::string& value);
  std::vector<Entry> Entries() const;

 private:
  struct Line {
    std::string text;
    int entry = -1;  // index into entries_, -1 for headers, comments, blanks
  };
  std::string path_;
  std::vector<Line> lines_;
  std::vector<Entry> entries_;
};

}  // namespace orvanta
