#include "cli/plot_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/exit_codes.h"

namespace norvale {

int RunPlotProgram(char** argv) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::read_symlink("/proc/self/exe", error).parent_path();
  const fs::path beside = folder / "norvale-plot";
  const fs::path installed = folder.parent_path() / "libexec" / "norvale-download" / "norvale-plot";
  const fs::path program = fs::exists(beside, error) ? beside : installed;
  argv[0] = const_cast<char*>(program.c_str());
  ::execv(program.c_str(), argv);
  std::fprintf(stderr,
               "norvale-cli: cannot run %s: %s (charts are drawn by the norvale-download "
               "package)\n",
               program.c_str(), std::strerror(errno));
  return kExitFileError;
}

}  // namespace norvale
