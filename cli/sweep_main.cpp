#include <unistd.h>

#include <iostream>

#include "cli/sweep.h"

int main(int argc, char** argv) {
  const veldaris::cli::SweepStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0};
  return veldaris::cli::RunSweepCommand(argc, argv, streams);
}
