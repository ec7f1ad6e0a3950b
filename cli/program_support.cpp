// What the command-line programs share: their arguments, the terminal check, whole-file reads and writes.
#include "cli/program_support.h"

#ifdef _WIN32
#include <io.h>
#ifndef NOGDI
#define NOGDI
#endif
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/path_text.h"
#include "io/atomic_file.h"

namespace veldaris::cli {

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

Outcome<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return Failure::Write("cannot read \"" + TextOfPath(path) + "\"", std::strerror(errno));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    return Failure::Write("cannot read \"" + TextOfPath(path) + "\"", "read error");
  }
  return text.str();
}

namespace {

bool WriteText(std::FILE* file, const void* context) {
  const auto* text = static_cast<const std::string*>(context);
  return std::fwrite(text->data(), 1, text->size(), file) == text->size();
}

}  // namespace

Status WriteTextFile(const std::filesystem::path& path, const std::string& text) {
  const int32_t code = WriteFileAtomically(TextOfPath(path).c_str(), WriteText, &text);
  if (code != 0) {
    return Failure::Write("cannot write \"" + TextOfPath(path) + "\"", std::strerror(code));
  }
  return {};
}

#ifdef _WIN32
namespace {

// wide in code_page with no look-alikes; false when a character has no exact
// match (or, in UTF-8, is an unpaired surrogate).
bool NarrowExactly(const wchar_t* wide, UINT code_page, std::string* narrow) {
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL defaulted = FALSE;
  BOOL* used_default = utf8 ? nullptr : &defaulted;
  const int length = WideCharToMultiByte(code_page, flags, wide, -1, nullptr, 0, nullptr, used_default);
  if (length <= 0 || defaulted) {
    return false;
  }
  narrow->assign(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(code_page, flags, wide, -1, narrow->data(), length, nullptr, used_default) != length ||
      defaulted) {
    return false;
  }
  narrow->pop_back();  // the terminating NUL
  return true;
}

}  // namespace
#endif

Outcome<std::vector<std::string>> CommandLineArguments(int argc, const char* const* argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return Failure::Usage("cannot read the command line", "CommandLineToArgvW failed");
  }
  std::vector<std::string> arguments;
  const UINT code_page = GetACP();
  for (int i = 1; i < count; ++i) {
    std::string narrow;
    if (!NarrowExactly(wide[i], code_page, &narrow)) {
      std::string shown;
      const int length = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      if (length > 0) {
        shown.assign(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, shown.data(), length, nullptr, nullptr);
        shown.pop_back();
      }
      LocalFree(wide);
      return Failure::Usage("the argument \"" + shown + "\" cannot be used as a file name here",
                            "the ANSI code page " + std::to_string(code_page) +
                                " lacks one of its characters (Windows 10 1903 and later take any name)");
    }
    arguments.push_back(std::move(narrow));
  }
  LocalFree(wide);
  return arguments;
#else
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
}

int RunWithArguments(const char* program, int argc, const char* const* argv,
                     int (*run)(int argc, const char* const* argv)) {
  const Outcome<std::vector<std::string>> arguments = CommandLineArguments(argc, argv);
  if (!arguments.ok()) {
    std::cerr << program << ": " << arguments.failure().Message() << "\n";
    return arguments.failure().ExitStatus();
  }
  std::vector<const char*> pointers = {argc > 0 ? argv[0] : program};
  for (const std::string& argument : arguments.value()) {
    pointers.push_back(argument.c_str());
  }
  return run(static_cast<int>(pointers.size()), pointers.data());
}

}  // namespace veldaris::cli
