#include <iostream>

#include "cli/program_support.h"
#include "cli/sweep.h"

int main(int argc, char** argv) {
  const veldaris::cli::SweepStreams streams{std::cout, std::cerr, veldaris::cli::StderrIsTerminal()};
  return veldaris::cli::RunSweepCommand(argc, argv, streams);
}
