#pragma once

#include <string>

namespace norvale {

// Filled in at build time.
extern const char* const kProgramVersion;    // "1.25"
extern const char* const kBuildDescription;  // `git describe` of the source, e.g. "6b079a0-dirty"

// "<program> 1.25 (<description>)": the first line of --version.
inline std::string VersionLine(const char* program) {
  return std::string(program) + " " + kProgramVersion + " (" + kBuildDescription + ")";
}

}  // namespace norvale
