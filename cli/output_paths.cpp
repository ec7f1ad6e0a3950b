// Checks, before a run, that every output a command line names can be written.
#include "cli/output_paths.h"

#include <filesystem>
#include <system_error>

#include "cli/path_text.h"

namespace veldaris::cli {

namespace {

namespace fs = std::filesystem;

fs::path Resolved(const std::string& path) {
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(PathOfText(path), ec);
  if (ec) {
    resolved = fs::absolute(PathOfText(path), ec).lexically_normal();
  }
  return resolved;
}

// What a file that is not a regular one is, for a message.
std::string KindOf(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory:
      return "a directory";
    case fs::file_type::symlink:
      return "a symbolic link";
    case fs::file_type::block:
      return "a block device";
    case fs::file_type::character:
      return "a character device";
    case fs::file_type::fifo:
      return "a FIFO";
    case fs::file_type::socket:
      return "a socket";
    default:
      return "not a regular file";
  }
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  if (Resolved(a) == Resolved(b)) {
    return true;
  }
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

Status CheckOutputs(const std::vector<NamedOutput>& outputs) {
  for (size_t i = 0; i < outputs.size(); ++i) {
    for (size_t j = i + 1; j < outputs.size(); ++j) {
      if (SameFile(outputs[i].path, outputs[j].path)) {
        return Failure::Usage(outputs[j].what + " \"" + outputs[j].path + "\" is also " + outputs[i].what + " \"" +
                                  outputs[i].path + "\"",
                              "every output needs a file of its own");
      }
    }
  }
  for (const NamedOutput& output : outputs) {
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(PathOfText(output.path), ec).type();
    // A path that cannot be looked at (file_type::none) is left to the write,
    // which reports why.
    if (type != fs::file_type::not_found && type != fs::file_type::regular && type != fs::file_type::none) {
      return Failure::Usage(output.what + " \"" + output.path + "\" exists and is " + KindOf(type),
                            "only a new file or a regular file is replaced");
    }
  }
  return {};
}

}  // namespace veldaris::cli
