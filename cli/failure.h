// How the command-line programs report errors, one way across cli/.
//
// A function that can fail returns a Status, or an Outcome<T> when it also gives
// a value. A failure is a value, Failure, that says what failed (quoting what
// was typed: an option, a path) and why, and of which kind it is. Functions
// pass it up unchanged or add to it; only the program's edge (RunDriver,
// RunSweepCommand and the sweep's collect and export, which report each run
// and file as they go) turns it into a message, "<program>: <what>: <why>",
// and an exit status. No errno integers, 0/1 flags or bare strings between functions.
// A question whose answer may be "none" (which format a file name asks for)
// is not a failure and returns std::optional.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace veldaris::cli {

// Exit statuses: 0 success, 1 an output could not be written, 2 bad command
// line (nothing was run and no file touched).
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_WRITE_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

struct Failure {
  enum class Kind {
    Usage,  // what was asked for cannot be done; nothing was run or written
    Write,  // a file or directory could not be made, or the system refused
  };
  Kind kind = Kind::Write;
  std::string what;  // e.g. "could not write the picture \"a.svg\""
  std::string why;   // e.g. "Permission denied"; may be empty

  static Failure Usage(std::string what, std::string why = {}) {
    return Failure{Kind::Usage, std::move(what), std::move(why)};
  }
  static Failure Write(std::string what, std::string why = {}) {
    return Failure{Kind::Write, std::move(what), std::move(why)};
  }
  // "what: why", or what alone.
  std::string Message() const { return why.empty() ? what : what + ": " + why; }
  int ExitStatus() const { return kind == Kind::Usage ? EXIT_USAGE : EXIT_WRITE_FAILED; }
};

// Done, or the failure that stopped it.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : failure_(std::move(failure)) {}  // NOLINT(google-explicit-constructor)
  bool ok() const { return !failure_.has_value(); }
  const Failure& failure() const { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

// A value, or the failure that stopped its making.
template <typename T>
class [[nodiscard]] Outcome {
 public:
  Outcome(T value) : state_(std::move(value)) {}            // NOLINT(google-explicit-constructor)
  Outcome(Failure failure) : state_(std::move(failure)) {}  // NOLINT(google-explicit-constructor)
  bool ok() const { return std::holds_alternative<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  T& value() { return std::get<T>(state_); }
  const Failure& failure() const { return std::get<Failure>(state_); }

 private:
  std::variant<T, Failure> state_;
};

}  // namespace veldaris::cli
