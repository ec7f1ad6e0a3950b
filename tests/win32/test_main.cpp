// The Windows front end's test program, run under Wine (or on Windows):
//
//   veldaris_win32_test [--filter TEXT] [--data-dir DIR] [--screenshot FILE.bmp] [GoogleTest's options]
//
// Without --screenshot it runs the tests (those whose name contains TEXT)
// with GoogleTest and exits 0 when all passed. With --screenshot it runs the
// reference case through the window and writes a picture of the whole window
// to FILE.bmp instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/win32/test_support.h"

namespace {

int WriteScreenshot(const std::string& path) {
  using namespace veldaris::win32_test;
  const TempCurrentDir dir;  // the result files of the run go here
  const MainWindow window;
  if (!RunReferenceCase(window)) {
    std::printf("the reference case did not run to its end\n");
    return 1;
  }
  return WriteBmp(CaptureWindow(window.Handle(), true), path) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);  // takes away GoogleTest's own options
  std::string filter;
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--filter" && i + 1 < argc) {
      filter = argv[++i];
    } else if (arg == "--data-dir" && i + 1 < argc) {
      veldaris::win32_test::DataDir() = argv[++i];
    } else if (arg == "--screenshot" && i + 1 < argc) {
      screenshot = argv[++i];
    } else {
      std::printf("usage: %s [--filter TEXT] [--data-dir DIR] [--screenshot FILE.bmp]\n", argv[0]);
      return 2;
    }
  }
  if (!screenshot.empty()) {
    return WriteScreenshot(screenshot);
  }
  if (!filter.empty()) {
    ::testing::GTEST_FLAG(filter) = "*" + filter + "*";
  }
  return RUN_ALL_TESTS();
}
