// "hostsim validate": the checks of validate.h from the command line.
#ifndef QZ_HOSTSIM_CLI_VALIDATE_H
#define QZ_HOSTSIM_CLI_VALIDATE_H

#include <string>
#include <vector>

#include "hostsim/cli/cli.h"

namespace hostsim {

int ValidateSubcommand(const std::vector<std::string>& arguments, Console& console);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_VALIDATE_H
