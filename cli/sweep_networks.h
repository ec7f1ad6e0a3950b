// The network files of a sweep: a relative network_from path is read from the
// sweep file's directory, and DIR keeps a copy of each file (networks/, named
// by its SHA-256, with networks/paths.csv saying which path it was), which
// every later process of the sweep reads instead, so that all of them (the
// tasks of a Slurm array too) play on the same bytes.
#pragma once

#include <filesystem>
#include <string>

#include "cli/parameter_table.h"
#include "cli/sweep_plan.h"

namespace veldaris::cli {

// Reads network_from values for the sweep file sweep_file planned into dir.
NetworkLoader SweepNetworkLoader(const std::filesystem::path& sweep_file, const std::filesystem::path& dir);

// Copies every network file the plan uses into dir/networks/ (those not there
// yet).
Status KeepNetworkCopies(const SweepPlan& plan, const std::filesystem::path& dir);

}  // namespace veldaris::cli
