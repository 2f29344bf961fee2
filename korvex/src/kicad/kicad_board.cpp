// KiCad boards: the file as a whole, its setup, what is settled once every
// item is read, and the entry points that tell a KiCad board from a board
// document.
#include "korvex/src/kicad/kicad_board.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "korvex/src/kicad/reader.h"
#include "korvex/src/layernames.h"

namespace korvex {

namespace kicad {

std::unique_ptr<Board> Reader::Run(std::string* summary) {
  board_ = std::make_unique<Board>();
  board_->fileName = name_;
  board_->unit = 0;  // metric
  for (int i = 0; i < kLegacyLayers; ++i) board_->layers[i].name = LegacyShortName(TLayer(i));
  try {
    ReadFile();
  } catch (const SyntaxFault& f) {
    Fail(f.offset, f.message);
  }
  Finish();
  if (summary) *summary = approx_.Line();
  return std::move(board_);
}

void Reader::ReadFile() {
  // A UTF-8 byte order mark carries nothing.
  Token t = tok_.Next();
  if (t.kind != Tok::kOpen) Unexpected(t, "'(kicad_pcb'");
  Token h = tok_.Next();
  if (h.kind != Tok::kAtom || h.text != "kicad_pcb") Unexpected(h, "'kicad_pcb'");
  bool version = false;
  Items([&](std::string_view head, const Token& at) {
    if (head == "version") {
      Token v = tok_.Peek();
      const double n = Number();
      if (n < kFirstVersion)
        Fail(tok_.Offset(v.at), "KiCad file version " + std::string(v.text) +
                                    " is not read: boards of KiCad 6 and later (version " +
                                    std::to_string(kFirstVersion) + " and newer) are");
      version = true;
      Close();
      return;
    }
    if (!version) Fail(tok_.Offset(at.at), "the file gives no (version ...) before its items");
    ReadBoardItem(head);
  });
  Token e = tok_.Next();
  if (e.kind != Tok::kEnd) Unexpected(e, "the end of the file");
}

void Reader::ReadBoardItem(std::string_view head) {
  if (head == "layers") {
    ReadLayers();
  } else if (head == "setup") {
    ReadSetup();
  } else if (head == "title_block") {
    Items([&](std::string_view h, const Token&) {
      if (h == "title")
        board_->title = Latin(Text(), 255), Close();
      else
        Skip();
    });
  } else if (head == "segment") {
    ReadSegment(nullptr, 0);
  } else if (head == "arc") {
    ReadTrackArc();
  } else if (head == "via") {
    ReadVia();
  } else if (head == "footprint") {
    ReadFootprint();
  } else if (head == "zone") {
    ReadZone(0);
  } else if (head == "gr_line" || head == "gr_arc" || head == "gr_circle" || head == "gr_rect" ||
             head == "gr_poly" || head == "gr_curve") {
    ReadGraphic(head, nullptr, 0);
  } else if (head == "gr_text") {
    ReadText(nullptr, 0, nullptr);
  } else if (head == "dimension") {
    approx_.Add("dimensions not drawn");
    Skip();
  } else if (head == "gr_text_box" || head == "image" || head == "target" || head == "table" ||
             head == "gr_bbox") {
    approx_.Add((std::string(head) + " items not drawn").c_str());
    Skip();
  } else if (head == "general" || head == "paper" || head == "page" || head == "net" ||
             head == "net_class" || head == "group" || head == "generator" ||
             head == "generator_version" || head == "property" || head == "embedded_fonts" ||
             head == "embedded_files" || head == "tstamp" || head == "uuid") {
    Skip();  // nothing of it is drawn
  } else {
    approx_.Add((std::string("unknown items '") + std::string(head) + "' not drawn").c_str());
    Skip();
  }
}

void Reader::ReadSetup() {
  Items([&](std::string_view h, const Token&) {
    if (h == "pad_to_mask_clearance")
      maskMargin_ = LengthList();
    else if (h == "pad_to_paste_clearance")
      pasteMargin_ = LengthList();
    else
      Skip();
  });
}

void Reader::Finish() {
  PlaneRule rule;
  rule.name = "PlaneConnect";
  NewObject(kRule, uint32_t(board_->rules.size()), 0, 0);
  board_->rules.push_back(rule);

  if (stack_.empty()) stack_ = {1, 32};
  if (board_->layers[1].next == 0 && stack_.size() == 2) {
    board_->layers[1].next = 32;
    board_->layers[32].previous = 1;
  }
  SetUsedLayersAndOrder(*board_, stack_);
  const std::vector<TV7_Layer>& order = board_->layerOrder;

  // Layers the file marks hidden are not visible; all others are.
  bool anyHidden = false;
  for (const auto& [l, hidden] : layerNames_) anyHidden |= hidden;
  if (anyHidden) {
    board_->visibleAll = false;
    for (TV7_Layer l : order) {
      bool hidden = false;
      for (const auto& [n, h] : layerNames_)
        if (n == l) hidden = h;
      if (!hidden) board_->visible.push_back(l);
    }
  }
}

}  // namespace kicad

namespace {

using kicad::Reader;

// The file mapped read-only for the time of the read.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) Throw(path, errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Throw(path, errno);
    if (!S_ISREG(st.st_mode)) throw DocumentError{path, 0, 0, "not a regular file"};
    size_ = size_t(st.st_size);
    if (size_ > 0) {
      void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
      if (p == MAP_FAILED) Throw(path, errno);
      data_ = static_cast<const char*>(p);
      ::madvise(p, size_, MADV_SEQUENTIAL);
    }
  }
  ~MappedFile() {
    if (data_) ::munmap(const_cast<char*>(data_), size_);
    if (fd_ >= 0) ::close(fd_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view Text() const { return {data_ ? data_ : "", size_}; }

 private:
  [[noreturn]] static void Throw(const std::string& path, int err) {
    throw DocumentError{path, 0, 0, std::string("cannot read the board: ") + std::strerror(err)};
  }
  int fd_ = -1;
  const char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace

bool IsKicadBoardText(std::string_view text) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  size_t i = 0;
  while (i < text.size() &&
         (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
    ++i;
  text.remove_prefix(i);
  if (text.substr(0, 10) != "(kicad_pcb") return false;
  return text.size() == 10 || text[10] == ' ' || text[10] == '\n' || text[10] == '\r' ||
         text[10] == '\t' || text[10] == '(' || text[10] == ')';
}

std::unique_ptr<Board> ReadKicadBoard(std::string_view text, const std::string& name,
                                      std::string* summary) {
  // A byte order mark reads as blanks, so columns stay those of the file.
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    std::string copy(text);
    copy[0] = copy[1] = copy[2] = ' ';
    return Reader(copy, name).Run(summary);
  }
  return Reader(text, name).Run(summary);
}

std::unique_ptr<Board> OpenBoardFile(const std::string& path) {
  struct stat st {};
  // Anything but a regular file (a FIFO, a device) is the document reader's
  // to refuse; peeking into it here could consume it.
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return LoadBoard(path);
  {
    char head[64] = {};
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return LoadBoard(path);
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (!IsKicadBoardText(std::string_view(head, n))) return LoadBoard(path);
  }
  MappedFile file(path);
  std::string summary;
  std::unique_ptr<Board> board = ReadKicadBoard(file.Text(), path, &summary);
  if (!summary.empty())
    std::fprintf(stderr, "%s: approximated: %s\n", path.c_str(), summary.c_str());
  return board;
}

}  // namespace korvex
