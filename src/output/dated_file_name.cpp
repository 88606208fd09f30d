#include "output/dated_file_name.h"

#include <cstdio>

namespace norvale {
namespace {

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

}  // namespace

std::optional<std::string> ExpandDatedName(const std::string& pattern, const std::tm& time) {
  std::string name;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      name += pattern[i];
      continue;
    }
    if (++i == pattern.size()) return std::nullopt;
    switch (pattern[i]) {
      case 'Y':
        name += std::to_string(time.tm_year + 1900);
        break;
      case 'm':
        name += TwoDigits(time.tm_mon + 1);
        break;
      case 'd':
        name += TwoDigits(time.tm_mday);
        break;
      case 'H':
        name += TwoDigits(time.tm_hour);
        break;
      case 'M':
        name += TwoDigits(time.tm_min);
        break;
      case 'S':
        name += TwoDigits(time.tm_sec);
        break;
      case '%':
        name += '%';
        break;
      default:
        return std::nullopt;
    }
  }
  return name;
}

std::string FirstFreeName(const std::string& name,
                          const std::function<bool(const std::string&)>& taken) {
  if (!taken(name)) return name;
  const size_t slash = name.rfind('/');
  const size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.rfind('.');
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string::npos || dot <= fileStart) dot = name.size();
  for (int copy = 2;; ++copy) {
    std::string candidate = name.substr(0, dot) + "-" + std::to_string(copy) + name.substr(dot);
    if (!taken(candidate)) return candidate;
  }
}

}  // namespace norvale
