#pragma once

namespace norvale {

// Runs norvale-plot in place of this process with the same arguments, so that plot draws with
// Qt Charts while norvale-cli itself links no window library. Looked for beside the program (a
// build folder), then in ../libexec/norvale-download/ (an installed one). Returns only when it
// cannot be run: the exit code, after saying why.
int RunPlotProgram(char** argv);

}  // namespace norvale
