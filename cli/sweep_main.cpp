// veldaris-sweep's entry point: the command line to the sweep's commands.
#include <iostream>

#include "cli/program_support.h"
#include "cli/sweep.h"

int main(int argc, char** argv) {
  return veldaris::cli::RunWithArguments("veldaris-sweep", argc, argv, [](int count, const char* const* arguments) {
    const veldaris::cli::SweepStreams streams{std::cout, std::cerr, veldaris::cli::StderrIsTerminal()};
    return veldaris::cli::RunSweepCommand(count, arguments, streams);
  });
}
