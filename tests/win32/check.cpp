#include "tests/win32/check.h"

#include <cstdio>
#include <vector>

namespace veldaris::win32_test {

namespace {

struct TestCase {
  const char* name;
  TestFunction function;
};

std::vector<TestCase>& Registry() {
  static std::vector<TestCase> tests;
  return tests;
}

int g_failures_in_test = 0;

}  // namespace

TestRegistrar::TestRegistrar(const char* name, TestFunction function) { Registry().push_back({name, function}); }

void Fail(const char* file, int line, const std::string& what) {
  ++g_failures_in_test;
  std::printf("  %s:%d: %s\n", file, line, what.c_str());
  std::fflush(stdout);
}

int RunTests(const std::string& filter) {
  int passed = 0;
  int failed = 0;
  for (const TestCase& test : Registry()) {
    if (!filter.empty() && std::string(test.name).find(filter) == std::string::npos) {
      continue;
    }
    std::printf("[ RUN  ] %s\n", test.name);
    std::fflush(stdout);
    g_failures_in_test = 0;
    test.function();
    (g_failures_in_test == 0 ? passed : failed) += 1;
    std::printf("[ %s ] %s\n", g_failures_in_test == 0 ? " OK " : "FAIL", test.name);
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed;
}

}  // namespace veldaris::win32_test
