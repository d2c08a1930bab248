#include "forms/ui_host.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace glim::forms {

std::string defaultSuffix(std::string_view defaultExt) {
  constexpr std::string_view kBlanks = " \t\n\v\f\r";
  const std::size_t first = defaultExt.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  defaultExt = defaultExt.substr(first, defaultExt.find_last_not_of(kBlanks) - first + 1);
  defaultExt.remove_prefix(std::min(defaultExt.find_first_not_of('.'), defaultExt.size()));
  return std::string(defaultExt);
}

std::string withDefaultExtension(std::string path, std::string_view defaultExt) {
  const std::string suffix = defaultSuffix(defaultExt);
  if (suffix.empty()) return path;
  const std::filesystem::path name = std::filesystem::path(path).filename();
  if (name.empty() || name.native().find('.') != std::filesystem::path::string_type::npos) return path;
  std::error_code error;  // a path that cannot be looked at is no directory
  if (std::filesystem::is_directory(path, error)) return path;
  path += '.';
  path += suffix;
  return path;
}

}  // namespace glim::forms
