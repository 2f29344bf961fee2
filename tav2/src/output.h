// Streaming output for the writers, and the file replacement that keeps an
// existing drawing intact until a new one is complete.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tav2 {

// A file written beside its target, unnamed where the file system allows
// (else under a short temporary name), and put in place by Commit. Destroyed
// without Commit, it leaves nothing behind and the target as it was. A
// replaced target's permissions (and owner, where allowed) are kept.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // Creates the temporary file; false with a reason in `error`.
  bool Open(const std::string& target, std::string& error);
  bool Write(const void* data, size_t size, std::string& error);
  // Overwrites bytes already written at `offset` (a section address known
  // only at the end); the position of Write is unchanged.
  bool WriteAt(uint64_t offset, const void* data, size_t size, std::string& error);
  // Flushes to disk and renames over the target; false with a reason.
  bool Commit(std::string& error);
  // The temporary name while there is one; empty for an unnamed file.
  const std::string& TempPath() const { return temp_; }

 private:
  void Abandon();
  int fd_ = -1;
  std::string target_, temp_;
  // Written bytes not yet handed to the disk: large files start their way
  // there while the rest is still being formatted, so the closing flush
  // waits for the tail only.
  uint64_t written_ = 0, started_ = 0;
};

// Buffered text output into a ReplacingFile. Formatting goes straight into the
// buffer; the first write error is kept and everything after it is dropped.
class OutputSink {
 public:
  explicit OutputSink(ReplacingFile* file, size_t capacity = 1 << 20);
  ~OutputSink();
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;

  // Room for n more bytes; returns where to write them. Call Advance after.
  char* Reserve(size_t n) {
    if (static_cast<size_t>(end_ - pos_) < n) Flush(n);
    return pos_;
  }
  void Advance(char* to) { pos_ = to; }

  void Put(std::string_view s) {
    if (s.size() > static_cast<size_t>(end_ - pos_)) {
      Flush(s.size());
      if (s.size() > static_cast<size_t>(end_ - pos_)) return PutLarge(s);
    }
    std::memcpy(pos_, s.data(), s.size());
    pos_ += s.size();
  }
  void Put(char c) {
    if (pos_ == end_) Flush(1);
    *pos_++ = c;
  }

  // Writes what is buffered; false (with the reason) on a write error.
  bool Finish(std::string& error);
  uint64_t BytesWritten() const { return written_ + static_cast<uint64_t>(pos_ - begin_); }
  bool Failed() const { return !error_.empty(); }

 private:
  void Flush(size_t need);
  void PutLarge(std::string_view s);
  ReplacingFile* file_;
  char* begin_;
  char* pos_;
  char* end_;
  uint64_t written_ = 0;
  std::string error_;
};

}  // namespace tav2
