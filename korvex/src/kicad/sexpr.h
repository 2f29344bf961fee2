// A tokenizer for the S-expression text of KiCad board files. It walks the
// mapped file in place: every token is a view into the file, so reading a
// board of millions of tokens copies no text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvex::kicad {

enum class Tok { kOpen, kClose, kAtom, kString, kEnd };

struct Token {
  Tok kind = Tok::kEnd;
  std::string_view text;  // atoms: the atom; strings: the contents, escapes as written
  const char* at = nullptr;
};

// A fault of the file: where it is (1-based line and column) and what.
struct SyntaxFault {
  size_t offset = 0;
  std::string message;
};

class Tokenizer {
 public:
  Tokenizer(const char* begin, const char* end) : p_(begin), begin_(begin), end_(end) {}

  const Token& Peek() {
    if (!peeked_) {
      look_ = Scan();
      peeked_ = true;
    }
    return look_;
  }
  Token Next() {
    if (peeked_) {
      peeked_ = false;
      return look_;
    }
    return Scan();
  }
  size_t Offset(const char* at) const { return at ? size_t(at - begin_) : size_t(p_ - begin_); }
  const char* begin() const { return begin_; }
  const char* end() const { return end_; }

 private:
  static bool Blank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
  Token Scan() {
    while (p_ < end_ && Blank(*p_)) ++p_;
    Token t;
    t.at = p_;
    if (p_ == end_) return t;
    const char c = *p_;
    if (c == '(') {
      ++p_;
      t.kind = Tok::kOpen;
    } else if (c == ')') {
      ++p_;
      t.kind = Tok::kClose;
    } else if (c == '"') {
      const char* s = ++p_;
      while (p_ < end_ && *p_ != '"') p_ += *p_ == '\\' && p_ + 1 < end_ ? 2 : 1;
      if (p_ >= end_) throw SyntaxFault{size_t(t.at - begin_), "a string is not closed"};
      t.kind = Tok::kString;
      t.text = std::string_view(s, size_t(p_ - s));
      ++p_;
    } else {
      const char* s = p_;
      while (p_ < end_ && !Blank(*p_) && *p_ != '(' && *p_ != ')' && *p_ != '"') ++p_;
      t.kind = Tok::kAtom;
      t.text = std::string_view(s, size_t(p_ - s));
    }
    return t;
  }

  const char* p_;
  const char* begin_;
  const char* end_;
  Token look_;
  bool peeked_ = false;
};

// The text of a string token with its escapes (\" \\ \n ...) resolved.
std::string Unescape(std::string_view raw);

}  // namespace korvex::kicad
