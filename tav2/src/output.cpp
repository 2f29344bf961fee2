#include "tav2/src/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

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
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    platform::ForgetTemporaryFile(temp_);
  }
  temp_.clear();
}

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A short name of its own in the target's folder, so that a target whose
// name is near the file system's limit still has room beside it. Registered
// for removal should the program be interrupted while it exists.
int MakeShortTemporary(const std::string& folder, std::string& path) {
  std::string pattern = folder + "/.tav2-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return fd;
  path = pattern;
  platform::RegisterTemporaryFile(path);
  return fd;
}

}  // namespace

bool ReplacingFile::Open(const std::string& target, std::string& error) {
  Abandon();
  if (target.empty()) {
    error = "no file name given";
    return false;
  }
  target_ = target;
  const std::string folder = FolderOf(target);
  // Where the file system allows, the file has no name at all until it is
  // complete: nothing of it can be left behind, whatever ends the program.
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd_ < 0) fd_ = MakeShortTemporary(folder, temp_);
  if (fd_ < 0) {
    error = Reason("cannot write", target);
    return false;
  }
  // A replaced drawing keeps its permissions, and its owner where the
  // process may give it; a new one gets the usual permissions.
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0)
      (void)::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    ::fchmod(fd_, st.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
  }
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
    written_ += static_cast<uint64_t>(n);
  }
  constexpr uint64_t kWritebackStep = 8 << 20;
  if (written_ - started_ >= kWritebackStep) {
    // Only a start: errors, if any, are for the flush in Commit to report.
    ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                      SYNC_FILE_RANGE_WRITE);
    started_ = written_;
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
  if (temp_.empty()) {
    // The unnamed file is linked in under the target's name when that is
    // free; over an existing file it gets a short name first, so that the
    // rename replaces the old file in one step.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      ::close(fd_);
      fd_ = -1;
      return true;
    }
    if (errno != EEXIST) {
      error = Reason("cannot write", target_);
      Abandon();
      return false;
    }
    const std::string folder = FolderOf(target_);
    for (int attempt = 0; temp_.empty(); ++attempt) {
      timespec now{};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "%08x",
                    static_cast<unsigned>(now.tv_nsec) ^ (static_cast<unsigned>(::getpid()) << 12) ^
                        static_cast<unsigned>(attempt));
      const std::string name = folder + "/.tav2-" + suffix;
      platform::RegisterTemporaryFile(name);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temp_ = name;
        break;
      }
      const int err = errno;
      platform::ForgetTemporaryFile(name);
      if (err != EEXIST || attempt > 100) {
        errno = err;
        error = Reason("cannot write", target_);
        Abandon();
        return false;
      }
    }
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
  platform::ForgetTemporaryFile(temp_);
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
