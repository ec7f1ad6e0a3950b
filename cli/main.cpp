// veldaris-run's entry point: the command line to the driver.
#include <iostream>

#include "cli/driver.h"
#include "cli/program_support.h"

int main(int argc, char** argv) {
  return veldaris::cli::RunWithArguments("veldaris-run", argc, argv, [](int count, const char* const* arguments) {
    const veldaris::cli::DriverStreams streams{std::cout, std::cerr, veldaris::cli::StderrIsTerminal()};
    return veldaris::cli::RunDriver(count, arguments, streams);
  });
}
