// veldaris-sweep: runs a sweep file's grid of parameter points x replicates on
// threads of one process, each thread running its runs one after another on a
// simulation of its own, resumably (a run directory is complete or absent),
// and summarises the finished runs. Or it plans a sweep's directory and writes
// the sbatch script that makes the sweep as a Slurm job array, each task a
// shard of it.
//
//   veldaris-sweep run SWEEP.toml --out DIR [--jobs N] [--shard I/N] [--quiet]
//   veldaris-sweep slurm SWEEP.toml --out DIR [--tasks T] [--max-parallel M] [--partition P]
//                        [--time HH:MM:SS] [--cpus-per-task C] [--sbatch-arg ARG]... [--write FILE]
//   veldaris-sweep collect DIR
#pragma once

#include <ostream>

namespace veldaris::cli {

struct SweepStreams {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal;  // progress is shown only on a terminal
};

// Exit statuses as veldaris-run's: 0 success, 1 a run or an output could not
// be written (the other runs were made), 2 bad command line, bad sweep file or
// a DIR of another sweep (nothing was written).
int RunSweepCommand(int argc, const char* const* argv, const SweepStreams& streams);

}  // namespace veldaris::cli
