#pragma once

#include <string>

namespace norvale {

// Where the log file called `name` is written: an absolute name as it is, a relative one inside
// folder (still relative, so in the current folder, when folder is empty).
std::string LogFileTarget(const std::string& name, const std::string& folder);

// path made absolute against the current folder, for showing the user where a file went;
// path itself when the current folder cannot be found.
std::string AbsoluteFileName(const std::string& path);

}  // namespace norvale
