// Network files of a sweep: read beside the sweep file, copied into the sweep's directory.
#include "cli/sweep_networks.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "cli/network_export.h"
#include "cli/network_import.h"
#include "cli/path_text.h"
#include "cli/program_support.h"

namespace veldaris::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNetworks = "networks";
constexpr const char* kPaths = "paths.csv";

// The copy's name: its digest and the extension of the path it was read from.
std::string CopyName(const std::string& sha256, const std::string& path) {
  return sha256 + (NetworkFormatOf(path) == NetworkFormat::EdgeCsv ? ".csv" : ".graphml");
}

// paths.csv: "<sha256>,<path as given>" per line; path -> digest.
std::map<std::string, std::string> ReadPaths(const fs::path& dir) {
  std::map<std::string, std::string> paths;
  const Outcome<std::string> read = ReadWholeFile(dir / kNetworks / kPaths);
  if (!read.ok()) {
    return paths;
  }
  const std::string* text = &read.value();
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    end = end == std::string::npos ? text->size() : end;
    const std::string line = text->substr(start, end - start);
    if (line.size() > 65 && line[64] == ',') {
      paths[line.substr(65)] = line.substr(0, 64);
    }
    start = end + 1;
  }
  return paths;
}

}  // namespace

NetworkLoader SweepNetworkLoader(const fs::path& sweep_file, const fs::path& dir) {
  const std::map<std::string, std::string> copies = ReadPaths(dir);
  const fs::path base = sweep_file.parent_path();
  return [copies, base, dir](const std::string& typed) -> Outcome<std::shared_ptr<const LoadedNetwork>> {
    if (typed.find_first_of("\r\n") != std::string::npos) {
      std::string message = EscapedForMessage(typed);
      message.insert(message.begin(), '"');
      message += "\": a network file name may not hold a line break";
      return Failure::Usage(std::move(message));
    }
    const auto copy = copies.find(typed);
    const fs::path given = PathOfText(typed);
    const fs::path path = copy != copies.end()                  ? dir / kNetworks / CopyName(copy->second, typed)
                          : given.is_absolute() || base.empty() ? given
                                                                : base / given;
    const Outcome<std::shared_ptr<const LoadedNetwork>> read = LoadNetworkFile(TextOfPath(path));
    if (!read.ok()) {
      return read.failure();
    }
    if (copy != copies.end() && read.value()->sha256 != copy->second) {
      return Failure::Usage("the sweep's copy \"" + TextOfPath(path) + "\" of \"" + typed + "\" has been changed");
    }
    auto network = std::make_shared<LoadedNetwork>(*read.value());
    network->path = typed;
    return std::shared_ptr<const LoadedNetwork>(std::move(network));
  };
}

Status KeepNetworkCopies(const SweepPlan& plan, const fs::path& dir) {
  std::map<std::string, std::string> paths = ReadPaths(dir);
  const size_t known = paths.size();
  std::error_code ec;
  for (const RunParameters& point : plan.points) {
    if (!point.network_from || paths.count(point.network_from->path) != 0) {
      continue;
    }
    const LoadedNetwork& network = *point.network_from;
    fs::create_directories(dir / kNetworks, ec);
    const fs::path copy = dir / kNetworks / CopyName(network.sha256, network.path);
    if (!fs::exists(copy, ec)) {
      if (Status written = WriteTextFile(copy, network.bytes); !written.ok()) {
        return written;
      }
    }
    paths[network.path] = network.sha256;
  }
  if (paths.size() == known) {
    return {};
  }
  std::string text;
  for (const auto& [path, sha256] : paths) {
    text += sha256 + "," + path + "\n";
  }
  const fs::path index = dir / kNetworks / kPaths;
  return WriteTextFile(index, text);
}

}  // namespace veldaris::cli
