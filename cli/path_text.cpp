// File names converted between command-line text and std::filesystem paths.
#include "cli/path_text.h"

#ifdef _WIN32
#ifndef NOGDI
#define NOGDI  // only the code page functions are needed
#endif
#include <windows.h>
#endif

namespace veldaris::cli {

std::filesystem::path PathOfText(const std::string& text) {
#ifdef _WIN32
  if (text.empty()) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  const int wide_length = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wide_length > 0 ? wide_length : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wide_length);
  return std::filesystem::path(wide);
#else
  return std::filesystem::path(text);
#endif
}

std::string TextOfPath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring& wide = path.native();
  if (wide.empty()) {
    return {};
  }
  // No "best fit" (a look-alike such as '/' for a full-width slash): a
  // character without an exact match becomes the default character '?'.
  // UTF-8 as the ANSI code page takes no flags.
  const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int length = static_cast<int>(wide.size());
  const int narrow_length = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(narrow_length > 0 ? narrow_length : 0), '\0');
  WideCharToMultiByte(CP_ACP, flags, wide.data(), length, text.data(), narrow_length, nullptr, nullptr);
  return text;
#else
  return path.string();
#endif
}

}  // namespace veldaris::cli
