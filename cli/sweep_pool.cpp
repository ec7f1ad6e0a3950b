// The threads that make a sweep's runs into its store, and the progress they show.
#include "cli/sweep_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <thread>

#include "cli/single_run.h"
#include "cli/sweep_summary.h"
#include "io/number_text.h"
#include "io/result_files.h"

namespace veldaris::cli {

namespace {

// Calls tick about once a second and renew every CLAIM_RENEW_SECONDS on a
// thread of its own, until destroyed.
class Ticker {
 public:
  Ticker(Progress& progress, StoreWriter& store)
      : thread_([this, &progress, &store] {
          std::unique_lock<std::mutex> lock(mutex_);
          auto renewed = std::chrono::steady_clock::now();
          while (!stop_) {
            wake_.wait_for(lock, std::chrono::seconds(1));
            progress.Tick();
            if (std::chrono::steady_clock::now() - renewed >= std::chrono::seconds(CLAIM_RENEW_SECONDS)) {
              renewed = std::chrono::steady_clock::now();
              store.Renew();
            }
          }
        }) {}
  ~Ticker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  Ticker(const Ticker&) = delete;
  Ticker& operator=(const Ticker&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

Progress::Progress(std::ostream& err, Mode mode, size_t total, std::chrono::steady_clock::duration every)
    : err_(err), mode_(mode), total_(total), every_(every), start_(std::chrono::steady_clock::now()) {
  last_shown_ = start_;
}

void Progress::RunDone() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++done_;
  const auto now = std::chrono::steady_clock::now();
  if (mode_ == Mode::kTerminal && (done_ == total_ || now - last_shown_ >= std::chrono::milliseconds(200))) {
    last_shown_ = now;
    ShowLocked();
  }
}

void Progress::Tick() {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (mode_ == Mode::kLog && done_ < total_ && now - last_shown_ >= every_) {
    last_shown_ = now;
    err_ << "veldaris-sweep: " << LineLocked() << "\n" << std::flush;
  }
}

void Progress::Report(const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (shown_) {
    err_ << "\r" << std::string(line_length_, ' ') << "\r";
  }
  err_ << "veldaris-sweep: " << message << "\n";
  if (shown_) {
    ShowLocked();
  }
}

void Progress::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (shown_) {
    err_ << "\n" << std::flush;
    shown_ = false;
  }
}

std::string Progress::LineLocked() const {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = seconds > 0.0 ? static_cast<double>(done_) / seconds : 0.0;
  std::string line =
      std::to_string(done_) + "/" + std::to_string(total_) + " runs, " + FormatFixed(rate, 2) + " runs/s";
  if (rate > 0.0 && done_ < total_) {
    const auto left = static_cast<long long>(static_cast<double>(total_ - done_) / rate + 0.5);
    char eta[48];
    std::snprintf(eta, sizeof eta, ", ETA %lld:%02lld:%02lld", left / 3600, left / 60 % 60, left % 60);
    line += eta;
  }
  return line;
}

void Progress::ShowLocked() {
  std::string line = LineLocked();
  const size_t length = line.size();
  line.resize(std::max(length, line_length_), ' ');
  line_length_ = length;
  err_ << "\r" << line << std::flush;
  shown_ = true;
}

StoredRun MakeStoredRun(Simulation& sim, const SweepPlan& plan, const PlannedRun& run) {
  // The run is kept in the store, not written as files.
  const ResultFiles files{};
  RunRecord record;
  record.position = SweepPosition{run.run, run.point, run.replicate};
  PrepareRun(sim, plan.points[static_cast<size_t>(run.point)], run.seeds, SWEEP_PROGRAM, record);
  RunToCompletion(sim, record.seeds.run);
  RecordResultFiles(sim, files, record);
  StoredRun stored;
  stored.run = run.run;
  std::string* texts[RESULT_FILE_COUNT] = {&stored.initial, &stored.all};
  for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
    *texts[i] = ResultFileText(sim, i);
    record.files[i].error.clear();
    record.files[i].sha256 = DigestHex(*texts[i]);
  }
  stored.averages = AveragesBytes(sim.series.C_Avg, sim.series.D_Avg, sim.params.generation_count);
  stored.averages_sha256 = DigestHex(stored.averages);
  stored.record = RunRecordJson(record);
  return stored;
}

size_t MakeRuns(const SweepPlan& plan, const std::vector<size_t>& pending, unsigned threads, StoreWriter& store,
                Progress& progress) {
  std::atomic<size_t> next{0};
  std::atomic<size_t> made{0};
  std::atomic<bool> stop{false};
  const auto worker = [&] {
    const SimulationPtr sim = NewSimulation();  // one per thread, for all of its runs
    if (!sim) {
      progress.Report("not enough memory for a simulation");
      return;
    }
    for (size_t i = next.fetch_add(1); i < pending.size() && !stop; i = next.fetch_add(1)) {
      const Status added = store.Add(MakeStoredRun(*sim, plan, plan.runs[pending[i]]));
      if (!added.ok()) {
        progress.Report(added.failure().Message());
        stop = true;
      }
      ++made;
      progress.RunDone();
    }
  };
  {
    Ticker ticker(progress, store);
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads && !pending.empty(); ++t) {
      pool.emplace_back(worker);
    }
    if (!pending.empty()) {
      worker();
    }
    for (std::thread& thread : pool) {
      thread.join();
    }
  }
  if (const Status flushed = store.Flush(); !flushed.ok()) {
    progress.Report(flushed.failure().Message());
  }
  progress.Finish();
  return pending.size() - std::min(made.load(), pending.size()) + store.Lost();
}

double RunCost(const RunParameters& p) {
  const double n = p.groups;
  const double degree = p.network_from ? 2.0 * static_cast<double>(p.network_from->links.size()) / n : p.connectivity;
  return static_cast<double>(p.generations) * n * p.strategies * p.length * (degree + 1.0) + n * n * n;
}

}  // namespace veldaris::cli
