#include "tav2/src/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tav2 {

namespace {

std::string Reason(const char* what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

ReplacingFile::~ReplacingFile() {
  Abandon();
}

void ReplacingFile::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool ReplacingFile::Open(const std::string& target, std::string& error) {
  Abandon();
  if (target.empty()) {
    error = "no file name given";
    return false;
  }
  target_ = target;
  // Beside the target, so the final rename stays within one file system.
  std::string pattern = target + ".tmp-XXXXXX";
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) {
    error = Reason("cannot write", target);
    return false;
  }
  temp_ = pattern;
  // mkstemp makes the file private; a drawing gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  return true;
}

bool ReplacingFile::Write(const void* data, size_t size, std::string& error) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = Reason("cannot write", target_);
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReplacingFile::WriteAt(uint64_t offset, const void* data, size_t size, std::string& error) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = Reason("cannot write", target_);
      return false;
    }
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReplacingFile::Commit(std::string& error) {
  if (fd_ < 0) {
    error = "no file open";
    return false;
  }
  if (::fsync(fd_) != 0) {
    error = Reason("cannot write", target_);
    Abandon();
    return false;
  }
  if (::close(fd_) != 0) {
    fd_ = -1;
    error = Reason("cannot write", target_);
    Abandon();
    return false;
  }
  fd_ = -1;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    error = Reason("cannot replace", target_);
    Abandon();
    return false;
  }
  temp_.clear();
  return true;
}

OutputSink::OutputSink(ReplacingFile* file, size_t capacity) : file_(file) {
  begin_ = static_cast<char*>(std::malloc(capacity));
  if (!begin_) std::abort();
  pos_ = begin_;
  end_ = begin_ + capacity;
}

OutputSink::~OutputSink() {
  std::free(begin_);
}

void OutputSink::Flush(size_t need) {
  const size_t n = static_cast<size_t>(pos_ - begin_);
  if (n && error_.empty() && file_) file_->Write(begin_, n, error_);
  written_ += n;
  pos_ = begin_;
  // A single request larger than the buffer grows it.
  if (need > static_cast<size_t>(end_ - begin_)) {
    char* grown = static_cast<char*>(std::realloc(begin_, need));
    if (!grown) std::abort();
    begin_ = pos_ = grown;
    end_ = grown + need;
  }
}

void OutputSink::PutLarge(std::string_view s) {
  std::memcpy(pos_, s.data(), s.size());
  pos_ += s.size();
}

bool OutputSink::Finish(std::string& error) {
  Flush(0);
  if (!error_.empty()) {
    error = error_;
    return false;
  }
  return true;
}

}  // namespace tav2
