#pragma once
// Ending the running instances of a tool by name, after a run was broken off.
#include <string>

namespace tl {

// Ends every process whose image path, or whose file name alone, equals name
// (letter case ignored). Both the executable's path and the first word of the
// process's command line are looked at, so a tool started under a name such
// as transcoder.dll is found either way. The process is killed outright: an
// exit code of our choosing cannot be given on this system. Our own process
// is never ended. The result is the outcome of the last termination; false
// when nothing matched.
bool EndToolProcesses(const std::string& name);

} // namespace tl
