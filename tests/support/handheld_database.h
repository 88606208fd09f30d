#pragma once

#include <string>
#include <vector>

namespace norvale::testing {

// Writes a handheld backup database with tools/handheld_db.py; the arguments follow its
// --output (e.g. {"--scenario", path} or {"--records", "500000"}). False, with the tool's
// words in `error`, when it failed.
bool GenerateHandheldDatabase(const std::string& output, const std::vector<std::string>& args,
                              std::string& error);

// tools/scenarios/<name>
std::string ToolScenario(const std::string& name);

}  // namespace norvale::testing
