#include <unistd.h>

#include <iostream>

#include "cli/driver.h"

int main(int argc, char** argv) {
  const veldaris::cli::DriverStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0};
  return veldaris::cli::RunDriver(argc, argv, streams);
}
