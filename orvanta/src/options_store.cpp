#include "orvanta/src/options_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "platform/text.h"

namespace orvanta {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

using platform::EqualsNoCase;

bool HasControl(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool MakeFolders(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash))) return false;
  return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::string OptionsStore::DefaultPath() {
  if (const char* file = std::getenv("ORVANTA_OPTIONS_FILE"); file && *file) return file;
  const std::string config = platform::AppDataDirectory();
  if (config.empty())
    throw EOptionsStore(
        "options store: neither ORVANTA_OPTIONS_FILE, XDG_CONFIG_HOME nor HOME is set");
  return config + "/orvanta/options.ini";
}

OptionsStore::OptionsStore(std::string path) : path_(std::move(path)) {}

void OptionsStore::Load() {
  lines_.clear();
  entries_.clear();
  struct stat st;
  if (::stat(path_.c_str(), &st) != 0) {
    if (errno == ENOENT) return;  // nothing stored yet
    throw EOptionsStore(Errno(path_ + ": cannot read the options store"));
  }
  if (S_ISDIR(st.st_mode)) throw EOptionsStore(path_ + ": the options store is a folder");
  std::ifstream in(path_, std::ios::binary);
  if (!in) throw EOptionsStore(Errno(path_ + ": cannot read the options store"));
  std::string section, group;
  bool inGroup = false;
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string where = path_ + ":" + std::to_string(lineNo) + ": ";
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string t = Trim(raw);
    Line line{raw, -1};
    if (t.empty() || t[0] == ';' || t[0] == '#') {
      // comment or blank
    } else if (t[0] == '[') {
      if (t.back() != ']') throw EOptionsStore(where + "a group header must end with ']': " + t);
      const std::string name = t.substr(1, t.size() - 2);
      const size_t slash = name.find('/');
      if (slash == std::string::npos || slash == 0 || slash + 1 == name.size())
        throw EOptionsStore(where + "a group header must read [Section/Group]: " + t);
      section = Trim(name.substr(0, slash));
      group = Trim(name.substr(slash + 1));
      inGroup = true;
    } else {
      const size_t eq = t.find('=');
      if (eq == std::string::npos || eq == 0)
        throw EOptionsStore(where + "expected Key=value or [Section/Group]: " + t);
      if (!inGroup) throw EOptionsStore(where + "a key before the first [Section/Group]: " + t);
      Entry e{section, group, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)), lineNo};
      if (const Entry* dup = Find(e.section, e.group, e.key))
        throw EOptionsStore(where + "key \"" + e.key + "\" repeats line " +
                            std::to_string(dup->line));
      line.entry = static_cast<int>(entries_.size());
      entries_.push_back(std::move(e));
    }
    lines_.push_back(std::move(line));
  }
  if (in.bad()) throw EOptionsStore(Errno(path_ + ": cannot read the options store"));
}

void OptionsStore::Save() const {
  std::ostringstream text;
  if (lines_.empty()) text << "; Orvanta options store: [Section/Group], then Key=value lines.\n";
  for (const Line& l : lines_) {
    if (l.entry >= 0) {
      const Entry& e = entries_[static_cast<size_t>(l.entry)];
      text << e.key << '=' << e.value << '\n';
    } else {
      text << l.text << '\n';
    }
  }
  const std::string data = text.str();

  const size_t slash = path_.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : path_.substr(0, slash);
  if (!MakeFolders(dir)) throw EOptionsStore(Errno(dir + ": cannot create the folder"));
  std::string tmp = path_ + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) throw EOptionsStore(Errno(path_ + ": cannot write the options store"));
  auto fail = [&](const std::string& what) {
    const std::string msg = Errno(path_ + ": " + what);
    ::close(fd);
    ::unlink(tmp.c_str());
    throw EOptionsStore(msg);
  };
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write the options store");
    }
    done += static_cast<size_t>(n);
  }
  if (::fchmod(fd, 0600) != 0 || ::fsync(fd) != 0) fail("cannot write the options store");
  if (::close(fd) != 0) {
    const std::string msg = Errno(path_ + ": cannot write the options store");
    ::unlink(tmp.c_str());
    throw EOptionsStore(msg);
  }
  if (::rename(tmp.c_str(), path_.c_str()) != 0) {
    const std::string msg = Errno(path_ + ": cannot replace the options store");
    ::unlink(tmp.c_str());
    throw EOptionsStore(msg);
  }
  // The rename itself must reach the disk for the new file to survive a crash.
  if (const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY); dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

const OptionsStore::Entry* OptionsStore::Find(const std::string& section, const std::string& group,
                                              const std::string& key) const {
  for (const Entry& e : entries_)
    if (EqualsNoCase(e.section, section) && EqualsNoCase(e.group, group) &&
        EqualsNoCase(e.key, key))
      return &e;
  return nullptr;
}

std::optional<int32_t> OptionsStore::ReadInteger(const std::string& section,
                                                 const std::string& group,
                                                 const std::string& key) const {
  const Entry* e = Find(section, group, key);
  if (!e) return std::nullopt;
  int32_t v = 0;
  const char* b = e->value.data();
  const char* end = b + e->value.size();
  if (b != end && *b == '+') ++b;
  const auto [p, ec] = std::from_chars(b, end, v);
  if (ec != std::errc() || p != end || b == end)
    throw EOptionsStore(path_ + ":" + std::to_string(e->line) + ": \"" + key +
                        "\" is not a 32-bit integer: " + e->value);
  return v;
}

void OptionsStore::Set(const std::string& section, const std::string& group, const std::string& key,
                       const std::string& value) {
  auto bad = [&](const std::string& what, const std::string& name) {
    throw EOptionsStore(path_ + ": cannot store " + what + " \"" + name + "\"");
  };
  if (section.empty() || section != Trim(section) || HasControl(section) ||
      section.find_first_of("/[]") != std::string::npos)
    bad("the section name", section);
  if (group.empty() || group != Trim(group) || HasControl(group) ||
      group.find(']') != std::string::npos)
    bad("the group name", group);
  if (key.empty() || key != Trim(key) || HasControl(key) || key.find('=') != std::string::npos ||
      key[0] == '[' || key[0] == ';' || key[0] == '#')
    bad("the key", key);
  if (HasControl(value) || value != Trim(value)) bad("the value", value);

  for (Entry& e : entries_)
    if (EqualsNoCase(e.section, section) && EqualsNoCase(e.group, group) &&
        EqualsNoCase(e.key, key)) {
      e.value = value;
      return;
    }
  // A new key goes after the last line of its group, or into a new group at the end.
  int insertAt = -1;
  bool inGroup = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string t = Trim(lines_[i].text);
    if (lines_[i].entry < 0 && !t.empty() && t[0] == '[') {
      const std::string name = t.substr(1, t.size() - 2);
      const size_t slash = name.find('/');
      inGroup = EqualsNoCase(Trim(name.substr(0, slash)), section) &&
                EqualsNoCase(Trim(name.substr(slash + 1)), group);
    }
    if (inGroup && lines_[i].entry >= 0) insertAt = static_cast<int>(i) + 1;
    if (inGroup && lines_[i].entry < 0 && !t.empty() && t[0] == '[' && insertAt < 0)
      insertAt = static_cast<int>(i) + 1;
  }
  entries_.push_back(Entry{section, group, key, value, 0});
  Line line{"", static_cast<int>(entries_.size() - 1)};
  if (insertAt < 0) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{"", -1});
    lines_.push_back(Line{"[" + section + "/" + group + "]", -1});
    lines_.push_back(std::move(line));
  } else {
    lines_.insert(lines_.begin() + insertAt, std::move(line));
  }
}

std::vector<OptionsStore::Entry> OptionsStore::Entries() const {
  std::vector<Entry> out;
  for (const Line& l : lines_)
    if (l.entry >= 0) out.push_back(entries_[static_cast<size_t>(l.entry)]);
  return out;
}

}  // namespace orvanta
