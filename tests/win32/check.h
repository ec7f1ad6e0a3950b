// A small test harness for the Windows front end's test program: TEST cases
// registered at start-up, CHECK macros that record a failure and go on, and a
// runner that prints every failure and "N passed, M failed".
#pragma once

#include <sstream>
#include <string>

namespace veldaris::win32_test {

using TestFunction = void (*)();

struct TestRegistrar {
  TestRegistrar(const char* name, TestFunction function);
};

// Records a failed check of the running test.
void Fail(const char* file, int line, const std::string& what);

// Runs the tests whose name contains filter (all when empty); returns the
// number of failed tests.
int RunTests(const std::string& filter);

// Records a failure when a == b does not hold, with both values.
template <typename A, typename B>
void CheckEqual(const char* file, int line, const char* what, const A& a, const B& b) {
  if (!(a == b)) {
    std::ostringstream out;
    out << what << ": " << a << " != " << b;
    Fail(file, line, out.str());
  }
}

}  // namespace veldaris::win32_test

#define TEST(name)                                                                                \
  static void name();                                                                             \
  static const ::veldaris::win32_test::TestRegistrar name##_registrar(#name, &name); /* NOLINT */ \
  static void name()

#define CHECK(condition)                                                         \
  do {                                                                           \
    if (!(condition)) {                                                          \
      ::veldaris::win32_test::Fail(__FILE__, __LINE__, "CHECK(" #condition ")"); \
    }                                                                            \
  } while (false)

#define CHECK_EQ(a, b) ::veldaris::win32_test::CheckEqual(__FILE__, __LINE__, "CHECK_EQ(" #a ", " #b ")", (a), (b))

// Stops the running test (or the handler of a modal window) when a
// precondition of the rest does not hold.
#define REQUIRE(condition)                                                         \
  do {                                                                             \
    if (!(condition)) {                                                            \
      ::veldaris::win32_test::Fail(__FILE__, __LINE__, "REQUIRE(" #condition ")"); \
      return;                                                                      \
    }                                                                              \
  } while (false)
