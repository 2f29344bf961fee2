// Board documents: the document as a whole and the file it comes from.
#include "korvex/src/document/reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "korvex/src/layernames.h"

namespace korvex {

std::string DocumentError::what() const {
  if (line == 0) return file + ": " + message;
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace document {

std::unique_ptr<Board> Reader::Run() {
  board_ = std::make_unique<Board>();
  board_->fileName = name_;
  // An object takes some 60 bytes of document or more; reserving for that
  // spares a large board the repeated growth of its main table.
  board_->objects.reserve(buffer_.size() / 64);
  for (int i = 0; i < kLegacyLayers; ++i) board_->layers[i].name = LegacyShortName(TLayer(i));
  // The default stack: a two-layer board.
  board_->layers[1].next = 32;
  board_->layers[32].previous = 1;

  sj::document doc;
  Syntax(parser_.iterate(buffer_).get(doc), nullptr);
  sj::object root;
  if (doc.type().error() == simdjson::SUCCESS) {
    sj::json_type t = sj::json_type::null;
    Syntax(doc.type().get(t), nullptr);
    if (t != sj::json_type::object) Fail(Location(doc), "the document must be a JSON object");
  }
  Syntax(doc.get_object().get(root), nullptr);

  // Units apply to every value, wherever the key stands.
  {
    sj::value units;
    auto e = root.find_field_unordered("units").get(units);
    if (e == simdjson::SUCCESS) {
      // Where the value stands: the text read may be a copy in the parser's
      // own buffer, which says nothing of the document's lines.
      const char* at = At(units);
      std::string_view s = String(units, "units");
      if (s == "pcb")
        scale_ = 1.0;
      else if (s == "mil")
        scale_ = 10000.0;
      else if (s == "mm")
        scale_ = kPcbPerInch / 25.4;
      else if (s == "in")
        scale_ = kPcbPerInch;
      else
        Fail(at, "field 'units': expected \"pcb\", \"mil\", \"mm\" or \"in\"");
    } else if (e != simdjson::NO_SUCH_FIELD) {
      Syntax(e, nullptr);
    }
    Syntax(root.reset().error(), nullptr);
  }

  bool sawRules = false;
  Fields(root, [&](std::string_view key, sj::value& v, const char* at) {
    if (key == "format") {
      if (String(v, "format") != "korvex-board")
        Fail(at, "field 'format': expected \"korvex-board\"");
    } else if (key == "version") {
      if (Int(v, "version") != 1) Fail(at, "field 'version': only version 1 is known");
    } else if (key == "units") {
      // read above
    } else if (key == "board") {
      ReadBoard(v);
    } else if (key == "rules") {
      ReadRules(v);
      sawRules = true;
    } else if (key == "objects") {
      ReadObjects(v, "objects", 0, 0);
    } else {
      Fail(at, "unknown field '" + std::string(key) + "' in the document");
    }
  });
  Trailing(doc);
  if (!sawRules || board_->rules.empty()) AddDefaultRule();
  Resolve();
  ConnectPlanes();
  std::vector<TLayer> stack;
  for (TLayer s = 1; s; s = board_->layers[s].next) stack.push_back(s);
  SetUsedLayersAndOrder(*board_, stack);
  return std::move(board_);
}

namespace {

[[noreturn]] void Unreadable(const std::string& path, const std::string& why) {
  throw DocumentError{path, 0, 0, "cannot read the board document: " + why};
}

const char* NotAFile(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder";
  if (S_ISFIFO(mode)) return "it is a named pipe (FIFO), not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
  if (S_ISSOCK(mode)) return "it is a socket, not a file";
  return "it is not a regular file";
}

}  // namespace

}  // namespace document

std::unique_ptr<Board> LoadBoardFromText(std::string_view text, const std::string& name) {
  return document::Reader(simdjson::padded_string(text), name).Run();
}

std::unique_ptr<Board> LoadBoard(const std::string& path) {
  using document::Unreadable;
  // Opened without blocking, so a pipe with no writer or a device cannot hold
  // the editor up before it is found out to be no document.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) Unreadable(path, std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) Unreadable(path, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) Unreadable(path, document::NotAFile(st.st_mode));
  simdjson::padded_string text(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Unreadable(path, std::strerror(errno));
    if (n == 0) break;  // shortened while being read: what is there is the document
    done += static_cast<size_t>(n);
  }
  if (done < text.size()) {
    simdjson::padded_string shorter(text.data(), done);
    text = std::move(shorter);
  }
  return document::Reader(std::move(text), path).Run();
}

}  // namespace korvex
