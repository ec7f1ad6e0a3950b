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

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  if (Resolved(a) == Resolved(b)) {
    return true;
  }
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

std::string OutputClash(const std::vector<NamedOutput>& outputs) {
  for (size_t i = 0; i < outputs.size(); ++i) {
    for (size_t j = i + 1; j < outputs.size(); ++j) {
      if (SameFile(outputs[i].path, outputs[j].path)) {
        return outputs[j].what + " \"" + outputs[j].path + "\" is also " + outputs[i].what + " \"" + outputs[i].path +
               "\"";
      }
    }
  }
  return std::string();
}

}  // namespace veldaris::cli
