#include <iostream>

#include "cli/driver.h"
#include "cli/program_support.h"

int main(int argc, char** argv) {
  const veldaris::cli::DriverStreams streams{std::cout, std::cerr, veldaris::cli::StderrIsTerminal()};
  return veldaris::cli::RunDriver(argc, argv, streams);
}
