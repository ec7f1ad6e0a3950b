// The Python extension veldaris._core: a thin pybind11 layer over the run
// commands, the run's read interface, the result-file writer and the sweep's
// planning; the package veldaris (python/veldaris) builds the Python API on it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/run_parameters.h"
#include "cli/single_run.h"
#include "cli/sweep_plan.h"
#include "cli/sweep_summary.h"
#include "io/result_files.h"
#include "run/run.h"
#include "ui/svg_canvas.h"

namespace py = pybind11;

namespace veldaris::python {

namespace {

constexpr const char* kProgram = "veldaris-python";

// [(name, default text, help)] of every run parameter, in the table's order
// (a parameter not given by default has an empty default text).
std::vector<std::tuple<std::string, std::string, std::string>> ParameterRows() {
  std::vector<std::tuple<std::string, std::string, std::string>> rows;
  for (const cli::ParameterRow& row : cli::PARAMETER_TABLE) {
    rows.emplace_back(row.name, row.default_text, std::string(row.help) + ": " + row.allowed);
  }
  return rows;
}

// The parameters from texts by keyword; ValueError with the programs' message.
cli::RunParameters Validate(const std::map<std::string, std::string>& texts) {
  cli::ParameterTexts p;
  for (const auto& [name, text] : texts) {
    const std::optional<cli::ParameterId> id = cli::ParameterNamed(name);
    if (!id) {
      throw py::type_error("unknown parameter \"" + name + "\"");
    }
    p[*id] = text;
  }
  const cli::Outcome<cli::RunParameters> parameters = cli::ValidateRunParameters(p, cli::ParameterNaming::Key);
  if (!parameters.ok()) {
    throw py::value_error(parameters.failure().Message());
  }
  return parameters.value();
}

py::dict ParametersDict(const cli::RunParameters& p) {
  py::dict d;
  for (const cli::ParameterRow& row : cli::PARAMETER_TABLE) {
    d[row.name] = cli::ParameterText(p, row.id);
  }
  d["rewiring_percent"] = p.rewiring_percent;
  d["network_sha256"] = p.network_from ? p.network_from->sha256 : std::string();
  return d;
}

py::dict MeasuresDict(const NetworkMetrics& m) {
  py::dict d;
  d["average_degree"] = m.average_degree;
  d["degree_stdev"] = m.degree_stdev;
  d["characteristic_path_length"] = m.characteristic_path_length;
  d["clustering_coefficient"] = m.clustering_coefficient;
  d["components"] = m.components;
  d["reachable_path_length"] = m.reachable_path_length;
  return d;
}

// One simulation of the Python API: its own Simulation value (allocated per
// run), the run's record, and where its files were last written.
class PySimulation {
 public:
  PySimulation(const std::map<std::string, std::string>& texts, uint32_t network_seed)
      : sim_(NewSimulation()), parameters_(Validate(texts)) {
    if (!sim_) {
      throw std::bad_alloc();
    }
    py::gil_scoped_release release;
    cli::PrepareRun(*sim_, parameters_, cli::RunSeeds{network_seed, 0}, kProgram, record_);
  }

  void Start(uint32_t run_seed) {
    record_.seeds.run = run_seed;
    StartRun(*sim_, run_seed);
  }

  // Advances up to batches batches (stopping at the end); the generation
  // reached (the last one played).
  int32_t Step(int32_t batches) {
    if (sim_->generation < 1) {
      throw py::value_error("the run has not been started");
    }
    {
      py::gil_scoped_release release;
      for (int32_t i = 0; i < batches && !RunComplete(*sim_); ++i) {
        RunBatch(*sim_);
      }
    }
    return SeriesOf(*sim_).generations;
  }

  // Start(run_seed), then every batch, with the interpreter free meanwhile.
  void RunToEnd(uint32_t run_seed) {
    record_.seeds.run = run_seed;
    py::gil_scoped_release release;
    RunToCompletion(*sim_, run_seed);
  }

  bool Complete() const { return RunComplete(*sim_); }
  int32_t Generations() const { return sim_->params.generation_count; }

  // The series played so far: a (generations, 8) array, copied.
  py::array_t<double> Series() const {
    const RunSeries s = SeriesOf(*sim_);
    py::array_t<double> out({static_cast<py::ssize_t>(s.generations), static_cast<py::ssize_t>(SERIES_COUNT)});
    auto view = out.mutable_unchecked<2>();
    for (int32_t k = 0; k < SERIES_COUNT; ++k) {
      for (int32_t i = 0; i < s.generations; ++i) {
        view(i, k) = s.values[k][i];
      }
    }
    return out;
  }

  py::tuple DegreeClasses() const {
    const veldaris::DegreeClasses c = DegreeClassesOf(*sim_);
    return py::make_tuple(c.typical, c.minimum, c.maximum);
  }

  py::dict Measures() const { return MeasuresDict(sim_->metrics); }

  py::dict Outcomes() const {
    if (!RunComplete(*sim_)) {
      throw py::value_error("the run is not complete");
    }
    const cli::RunOutcomes o = cli::OutcomesOf(*sim_);
    py::dict d;
    d["c_avg_final"] = o.c_avg_final;
    d["d_avg_final"] = o.d_avg_final;
    d["c_avg_tail"] = o.c_avg_tail;
    d["d_avg_tail"] = o.d_avg_tail;
    return d;
  }

  // Every link once as (smaller, larger) group number, ascending: (E, 2).
  py::array_t<int32_t> Edges() const {
    std::vector<std::pair<int32_t, int32_t>> links;
    const int32_t n = sim_->params.group_count;
    for (int32_t g = 1; g <= n; ++g) {
      const GroupView group = GroupOf(*sim_, g);
      for (int32_t i = 0; i < group.degree; ++i) {
        links.emplace_back(std::min(g, group.neighbours[i]), std::max(g, group.neighbours[i]));
      }
    }
    std::sort(links.begin(), links.end());
    links.erase(std::unique(links.begin(), links.end()), links.end());
    py::array_t<int32_t> out({static_cast<py::ssize_t>(links.size()), py::ssize_t{2}});
    auto view = out.mutable_unchecked<2>();
    for (size_t i = 0; i < links.size(); ++i) {
      view(static_cast<py::ssize_t>(i), 0) = links[i].first;
      view(static_cast<py::ssize_t>(i), 1) = links[i].second;
    }
    return out;
  }

  // P(k) for k = 0..N.
  py::array_t<double> DegreeDistribution() const {
    const veldaris::DegreeDistribution d = DegreeDistributionOf(*sim_);
    return py::array_t<double>(static_cast<py::ssize_t>(d.group_count + 1), d.distribution);
  }

  py::dict Parameters() const { return ParametersDict(parameters_); }
  uint32_t NetworkSeed() const { return record_.seeds.network; }
  uint32_t RunSeed() const { return record_.seeds.run; }

  std::string Picture() const { return ui::PictureSvg(*sim_); }

  // The two result files and run.json into directory, as veldaris-run writes
  // them; {file name: None or why it is not in place}.
  py::dict Write(const std::string& directory) {
    if (!RunComplete(*sim_)) {
      throw py::value_error("the run is not complete");
    }
    ResultFiles files{};
    if (!SetResultDirectory(files, directory.c_str())) {
      throw py::value_error("the directory \"" + directory + "\" is too long");
    }
    {
      py::gil_scoped_release release;
      WriteResultFiles(*sim_, files);
      cli::RecordResultFiles(*sim_, files, record_);
    }
    py::dict outcome;
    for (int32_t i = 0; i < RESULT_FILE_COUNT; ++i) {
      const std::string error = ResultFileError(files, i);
      outcome[RESULT_FILE_NAMES[i]] = error.empty() ? py::object(py::none()) : py::object(py::str(error));
    }
    const std::string record_path = cli::PathInDirectory(directory, cli::RUN_RECORD_FILE);
    const cli::Status written = cli::WriteRunRecord(record_path, record_);
    outcome[cli::RUN_RECORD_FILE] = written.ok() ? py::object(py::none()) : py::object(py::str(written.failure().why));
    return outcome;
  }

 private:
  SimulationPtr sim_;
  cli::RunParameters parameters_;
  cli::RunRecord record_;
};

// A sweep file's plan from its TOML text; ValueError with veldaris-sweep's
// message. Columns: one list per plan.csv column.
cli::SweepPlan Plan(const std::string& toml) {
  cli::Outcome<cli::SweepPlan> plan = cli::ParseSweepFile(toml, "sweep");
  if (!plan.ok()) {
    throw py::value_error(plan.failure().Message());
  }
  return std::move(plan.value());
}

// Runs every run of the sweep on jobs threads (the interpreter free
// meanwhile) and returns the texts of summary.csv and aggregate.csv.
std::pair<std::string, std::string> SweepSummary(const std::string& toml, int32_t jobs) {
  const cli::SweepPlan plan = Plan(toml);
  cli::FinishedRuns finished(plan.runs.size());
  {
    py::gil_scoped_release release;
    std::atomic<size_t> next{0};
    const auto worker = [&plan, &finished, &next] {
      SimulationPtr sim = NewSimulation();
      for (size_t i = next++; i < plan.runs.size(); i = next++) {
        const cli::PlannedRun& run = plan.runs[i];
        cli::RunRecord record;
        cli::PrepareRun(*sim, plan.points[static_cast<size_t>(run.point)], run.seeds, kProgram, record);
        RunToCompletion(*sim, run.seeds.run);
        record.outcomes = cli::OutcomesOf(*sim);
        finished[static_cast<size_t>(run.run)] = std::move(record);
      }
    };
    std::vector<std::thread> threads;
    const size_t count = std::min(static_cast<size_t>(std::max(jobs, 1)), std::max<size_t>(plan.runs.size(), 1));
    for (size_t t = 0; t < count; ++t) {
      threads.emplace_back(worker);
    }
    for (std::thread& t : threads) {
      t.join();
    }
  }
  return {cli::SummaryCsv(plan, finished), cli::AggregateCsv(plan, cli::AggregatePoints(plan, finished))};
}

}  // namespace

}  // namespace veldaris::python

PYBIND11_MODULE(_core, m) {
  using veldaris::python::PySimulation;
  m.doc() = "The C++ core of veldaris; use the package's functions instead.";
  m.def("parameter_rows", &veldaris::python::ParameterRows);
  m.def("validate", [](const std::map<std::string, std::string>& texts) {
    return veldaris::python::ParametersDict(veldaris::python::Validate(texts));
  });
  m.def("plan_csv", [](const std::string& toml) { return veldaris::cli::PlanCsv(veldaris::python::Plan(toml)); });
  m.def("sweep_summary", &veldaris::python::SweepSummary, py::arg("toml"), py::arg("jobs"));
  m.attr("SERIES_NAMES") =
      std::vector<std::string>(veldaris::SERIES_NAMES, veldaris::SERIES_NAMES + veldaris::SERIES_COUNT);
  m.attr("VERSION") = veldaris::cli::VERSION;
  py::class_<PySimulation>(m, "Simulation")
      .def(py::init<const std::map<std::string, std::string>&, uint32_t>())
      .def("start", &PySimulation::Start)
      .def("step", &PySimulation::Step)
      .def("run_to_end", &PySimulation::RunToEnd)
      .def_property_readonly("complete", &PySimulation::Complete)
      .def_property_readonly("generations", &PySimulation::Generations)
      .def("series", &PySimulation::Series)
      .def("degree_classes", &PySimulation::DegreeClasses)
      .def("measures", &PySimulation::Measures)
      .def("outcomes", &PySimulation::Outcomes)
      .def("edges", &PySimulation::Edges)
      .def("degree_distribution", &PySimulation::DegreeDistribution)
      .def("parameters", &PySimulation::Parameters)
      .def_property_readonly("network_seed", &PySimulation::NetworkSeed)
      .def_property_readonly("run_seed", &PySimulation::RunSeed)
      .def("picture", &PySimulation::Picture)
      .def("write", &PySimulation::Write);
}
