// Error classes of the plug-in and its runtime. Errors are C++ exceptions
// derived from std::runtime_error; they travel out of the entry points to the
// host, which reports their text.
#pragma once

#include <stdexcept>
#include <string>

namespace quennet {

// Failure of one of the system's own invariants. The text has the form
// "<message> (<unit>, line <n>)"; an empty message reads "Assertion failure".
class EAssertionFailed : public std::runtime_error {
 public:
  EAssertionFailed(const std::string& message, const char* unit, int line)
      : std::runtime_error(Format(message, unit, line)),
        message_(message),
        unit_(unit),
        line_(line) {}
  // The bare message, without unit and line; empty for a plain assertion.
  const std::string& message() const { return message_; }
  const std::string& unit() const { return unit_; }
  int line() const { return line_; }

  static std::string Format(const std::string& message, const char* unit, int line) {
    return (message.empty() ? std::string("Assertion failure") : message) + " (" + unit +
           ", line " + std::to_string(line) + ")";
  }

 private:
  std::string message_;
  std::string unit_;
  int line_;
};

[[noreturn]] inline void AssertionFailure(const std::string& message, const char* unit, int line) {
  throw EAssertionFailed(message, unit, line);
}

// Raised by the layer constructors and the persistent-form reader.
class ELayerException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by layer-set iteration.
class EPCB_LayerSetException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by the bucket-list hash tables.
class EListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EEOFException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised where the export cannot go on and the user must be told why
// (engine not found, file not writable, ...).
class EExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quennet
