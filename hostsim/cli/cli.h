// hostsim's command line: run a command of a module on a scene and see what
// it sent, list a scene, validate a module file, take the demo tour, save a
// scene. Every subcommand answers --help; console.h gives the exit statuses.
#ifndef QZ_HOSTSIM_CLI_H
#define QZ_HOSTSIM_CLI_H

#include <string>
#include <vector>

#include "hostsim/cli/console.h"

namespace hostsim {

// `arguments` excludes the program name.
int RunCommandLine(const std::vector<std::string>& arguments, Console& console);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_H
