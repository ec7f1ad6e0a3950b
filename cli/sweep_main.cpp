#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <iostream>

#include "cli/sweep.h"

namespace {

// The progress line is for a person watching a terminal (a console window on
// Windows), not for a file or a pipe.
bool ErrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const veldaris::cli::SweepStreams streams{std::cout, std::cerr, ErrIsTerminal()};
  return veldaris::cli::RunSweepCommand(argc, argv, streams);
}
