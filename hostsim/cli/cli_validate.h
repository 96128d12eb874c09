// "hostsim validate": the checks of validate.h from the command line.
#ifndef QZ_HOSTSIM_CLI_VALIDATE_H
#define QZ_HOSTSIM_CLI_VALIDATE_H

#include <string>
#include <vector>

#include "hostsim/cli/options.h"

namespace hostsim {

extern const Subcommand kValidateSubcommand;

// Windows: validate's child processes are hostsim.exe again, started with
// kChildArgument first (process/child_process.h); main() hands them here.
[[noreturn]] void ServeValidateChild(const std::vector<std::string>& arguments);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_VALIDATE_H
